#include "ui/bitmap_image.h"

QImage BitmapToImage(const TBitmap &ABitmap) {
  if (ABitmap.Empty())
    return {};
  // Wraps the bitmap's rows without copying (BGR888 is B, G, R in memory);
  // the conversion then makes the owned copy.
  const QImage view(ABitmap.ScanLine(0), ABitmap.Width(), ABitmap.Height(), ABitmap.RowSize(),
                    QImage::Format_BGR888);
  return view.convertToFormat(QImage::Format_RGB32);
}
