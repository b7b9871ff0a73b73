// Conversion between decoded pictures and 24-bit BGR bitmaps, for the custom
// hook, the preview bitmaps, the probe's snapshots and the player's frames.
// One context per user; not shared between threads.
#pragma once

#include "media/ffmpeg_loader.h"
#include "platform/bitmap.h"

#include <memory>

// A picture as the libraries describe it: up to four planes with row sizes.
struct TPictureRef {
  uint8_t *Data[4] = {nullptr, nullptr, nullptr, nullptr};
  int Linesize[4] = {0, 0, 0, 0};
};

struct TRGBConvertContext {
  AVPixelFormat RGBPixFmt = AV_PIX_FMT_BGR24; // format of the RGB picture
  int BMPPixFmt = 24;                          // bits per pixel of the bitmap
  std::unique_ptr<TBitmap> Bitmap;             // created on demand
  uint8_t *RGBBuf = nullptr;                   // owned, av_malloc'ed
  int RGBBufSize = 0;
  TPictureRef RGBPicture;                      // over RGBBuf
  TPictureRef *RGBPictureRef = nullptr;        // RGBPicture, or the source when it already is BGR24
  SwsContext *toRGB_convert_ctx = nullptr;
  SwsContext *fromRGB_convert_ctx = nullptr;

  TRGBConvertContext() = default;
  TRGBConvertContext(const TRGBConvertContext &) = delete;
  TRGBConvertContext &operator=(const TRGBConvertContext &) = delete;
  ~TRGBConvertContext() { Reset(); }

  // Frees bitmap, buffer and scalers; restores the two formats.
  void Reset();
};

// Converts the picture into the context's bitmap (created or resized to the
// picture's size). BGR24 pictures with even size whose rows match the bitmap's
// are copied directly; others go through a cached bicubic scaler. False when
// no scaler can be made for the format (the bitmap is then undefined).
bool PictureToBitmap(TRGBConvertContext &ACtx, const TPictureRef &APicture, AVPixelFormat APixFmt, int AWidth,
                     int AHeight);

// Writes the context's bitmap back into the picture (same size), converting
// from BGR24 when the picture has another format. False when no scaler can be made.
bool BitmapToPicture(TRGBConvertContext &ACtx, TPictureRef &APicture, AVPixelFormat APixFmt, int AWidth, int AHeight);
