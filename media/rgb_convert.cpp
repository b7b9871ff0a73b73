#include "media/rgb_convert.h"

#include <cstring>

void TRGBConvertContext::Reset() {
  Bitmap.reset();
  if (RGBBuf && AV.av_free)
    AV.av_free(RGBBuf);
  RGBBuf = nullptr;
  RGBBufSize = 0;
  RGBPicture = TPictureRef{};
  RGBPictureRef = nullptr;
  if (AV.sws_freeContext) {
    AV.sws_freeContext(toRGB_convert_ctx);
    AV.sws_freeContext(fromRGB_convert_ctx);
  }
  toRGB_convert_ctx = nullptr;
  fromRGB_convert_ctx = nullptr;
  RGBPixFmt = AV_PIX_FMT_BGR24;
  BMPPixFmt = 24;
}

namespace {

bool EnsureRGBBuffer(TRGBConvertContext &c, int w, int h) {
  // Rows aligned to 32 bytes: the YUV-to-RGB converters write whole groups of pixels.
  const int size = AV.av_image_get_buffer_size(c.RGBPixFmt, w, h, 32);
  if (size < 0)
    return false;
  if (size > c.RGBBufSize) {
    AV.av_free(c.RGBBuf);
    // Slack after the last row: the converters' wide stores may run past it.
    c.RGBBuf = static_cast<uint8_t *>(AV.av_malloc(static_cast<size_t>(size) + 64));
    c.RGBBufSize = c.RGBBuf ? size : 0;
    if (!c.RGBBuf)
      return false;
  }
  AV.av_image_fill_arrays(c.RGBPicture.Data, c.RGBPicture.Linesize, c.RGBBuf, c.RGBPixFmt, w, h, 32);
  return true;
}

bool CopiesDirectly(const TRGBConvertContext &c, const TPictureRef &p, AVPixelFormat fmt, int w, int h) {
  return fmt == c.RGBPixFmt && w % 2 == 0 && h % 2 == 0 && p.Linesize[0] == c.Bitmap->RowSize();
}

} // namespace

bool PictureToBitmap(TRGBConvertContext &c, const TPictureRef &p, AVPixelFormat fmt, int w, int h) {
  if (w <= 0 || h <= 0)
    return false;
  if (!c.Bitmap)
    c.Bitmap = std::make_unique<TBitmap>();
  c.Bitmap->SetSize(w, h);
  const uint8_t *rows;
  int stride;
  if (CopiesDirectly(c, p, fmt, w, h)) {
    c.RGBPictureRef = const_cast<TPictureRef *>(&p);
    rows = p.Data[0];
    stride = p.Linesize[0];
  } else {
    c.toRGB_convert_ctx = AV.sws_getCachedContext(c.toRGB_convert_ctx, w, h, fmt, w, h, c.RGBPixFmt, SWS_BICUBIC,
                                                  nullptr, nullptr, nullptr);
    if (!c.toRGB_convert_ctx || !EnsureRGBBuffer(c, w, h))
      return false;
    AV.sws_scale(c.toRGB_convert_ctx, p.Data, p.Linesize, 0, h, c.RGBPicture.Data, c.RGBPicture.Linesize);
    c.RGBPictureRef = &c.RGBPicture;
    rows = c.RGBPicture.Data[0];
    stride = c.RGBPicture.Linesize[0];
  }
  for (int y = 0; y < h; ++y)
    std::memcpy(c.Bitmap->ScanLine(y), rows + static_cast<ptrdiff_t>(y) * stride, static_cast<size_t>(w) * 3);
  return true;
}

bool BitmapToPicture(TRGBConvertContext &c, TPictureRef &p, AVPixelFormat fmt, int w, int h) {
  if (!c.Bitmap || c.Bitmap->Width() != w || c.Bitmap->Height() != h)
    return false;
  if (fmt == c.RGBPixFmt) {
    for (int y = 0; y < h; ++y)
      std::memcpy(p.Data[0] + static_cast<ptrdiff_t>(y) * p.Linesize[0], c.Bitmap->ScanLine(y),
                  static_cast<size_t>(w) * 3);
    return true;
  }
  if (!EnsureRGBBuffer(c, w, h))
    return false;
  for (int y = 0; y < h; ++y)
    std::memcpy(c.RGBPicture.Data[0] + static_cast<ptrdiff_t>(y) * c.RGBPicture.Linesize[0], c.Bitmap->ScanLine(y),
                static_cast<size_t>(w) * 3);
  c.fromRGB_convert_ctx = AV.sws_getCachedContext(c.fromRGB_convert_ctx, w, h, c.RGBPixFmt, w, h, fmt, SWS_BICUBIC,
                                                  nullptr, nullptr, nullptr);
  if (!c.fromRGB_convert_ctx)
    return false;
  AV.sws_scale(c.fromRGB_convert_ctx, c.RGBPicture.Data, c.RGBPicture.Linesize, 0, h, p.Data, p.Linesize);
  return true;
}
