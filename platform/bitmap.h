// A 24-bit bitmap: rows top to bottom, three bytes per pixel in B, G, R order,
// each row padded to a multiple of 4 bytes (the layout picture files and
// windows expect). The conversion hooks and snapshots hand it around.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TBitmap {
public:
  TBitmap() = default;
  TBitmap(int AWidth, int AHeight) { SetSize(AWidth, AHeight); }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // Bytes from one row to the next.
  int RowSize() const { return FRowSize; }
  // Resizes; the content is undefined afterwards unless the size is unchanged.
  void SetSize(int AWidth, int AHeight) {
    if (AWidth == FWidth && AHeight == FHeight)
      return;
    FWidth = AWidth < 0 ? 0 : AWidth;
    FHeight = AHeight < 0 ? 0 : AHeight;
    FRowSize = (FWidth * 3 + 3) & ~3;
    FPixels.assign(static_cast<size_t>(FRowSize) * static_cast<size_t>(FHeight), 0);
  }
  uint8_t *ScanLine(int ARow) { return FPixels.data() + static_cast<size_t>(ARow) * static_cast<size_t>(FRowSize); }
  const uint8_t *ScanLine(int ARow) const {
    return FPixels.data() + static_cast<size_t>(ARow) * static_cast<size_t>(FRowSize);
  }
  bool Empty() const { return FWidth == 0 || FHeight == 0; }

private:
  int FWidth = 0;
  int FHeight = 0;
  int FRowSize = 0;
  std::vector<uint8_t> FPixels;
};
