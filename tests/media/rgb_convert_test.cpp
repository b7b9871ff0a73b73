#include "media/ffmpeg_loader.h"
#include "media/rgb_convert.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// A solid YUV 4:2:0 picture and its round trip through a bitmap.
TEST(RGBConvert, PictureToBitmapAndBack) {
  FFLoader().SetLibraryPath(DefaultLibraryPath());
  ASSERT_TRUE(FFLoader().Load(LIBS_CONVERT)) << FFLoader().LastErrMsg();
  constexpr int w = 66, h = 50; // not a multiple of 8: the last columns must convert too
  AVFrame *f = AV.av_frame_alloc();
  f->format = AV_PIX_FMT_YUV420P;
  f->width = w;
  f->height = h;
  ASSERT_EQ(AV.av_frame_get_buffer(f, 0), 0);
  // Pure red in BT.601 limited range.
  for (int y = 0; y < h; ++y)
    std::memset(f->data[0] + y * f->linesize[0], 81, w);
  for (int y = 0; y < h / 2; ++y) {
    std::memset(f->data[1] + y * f->linesize[1], 90, w / 2);
    std::memset(f->data[2] + y * f->linesize[2], 240, w / 2);
  }
  TPictureRef pic;
  for (int i = 0; i < 4; ++i) {
    pic.Data[i] = f->data[i];
    pic.Linesize[i] = f->linesize[i];
  }
  TRGBConvertContext ctx;
  ASSERT_TRUE(PictureToBitmap(ctx, pic, AV_PIX_FMT_YUV420P, w, h));
  ASSERT_EQ(ctx.Bitmap->Width(), w);
  ASSERT_EQ(ctx.Bitmap->Height(), h);
  const uint8_t *px = ctx.Bitmap->ScanLine(h / 2) + 3 * (w / 2);
  EXPECT_LT(px[0], 10);  // B
  EXPECT_LT(px[1], 10);  // G
  EXPECT_GT(px[2], 245); // R
  const uint8_t *last = ctx.Bitmap->ScanLine(h - 1) + 3 * (w - 1);
  EXPECT_LT(last[0], 10);
  EXPECT_GT(last[2], 245) << "the rightmost column is converted";

  // A hook paints the bitmap green; the picture follows.
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t *p = ctx.Bitmap->ScanLine(y) + 3 * x;
      p[0] = 0, p[1] = 255, p[2] = 0;
    }
  ASSERT_TRUE(BitmapToPicture(ctx, pic, AV_PIX_FMT_YUV420P, w, h));
  EXPECT_NEAR(f->data[0][0], 145, 3);
  EXPECT_NEAR(f->data[1][0], 54, 3);
  EXPECT_NEAR(f->data[2][0], 34, 3);

  ctx.Reset();
  EXPECT_EQ(ctx.Bitmap, nullptr);
  EXPECT_EQ(ctx.toRGB_convert_ctx, nullptr);
  AV.av_frame_free(&f);
}

} // namespace
