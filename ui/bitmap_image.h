// Bitmaps of the core (TBitmap: BGR24, rows top-down) as Qt images, for the
// windows that show pictures a conversion or the player produced.
#pragma once

#include "platform/bitmap.h"

#include <QImage>

// A copy of ABitmap that owns its pixels (RGB32, same size), so the caller may
// reuse or free the bitmap at once. A null image for an empty bitmap.
QImage BitmapToImage(const TBitmap &ABitmap);
