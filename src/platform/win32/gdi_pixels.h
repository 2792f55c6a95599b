// Pixel blocks as GDI and DirectDraw surfaces hold them, and the conversions between their formats.
#pragma once
#include <cstdint>
#include <cstring>

struct PixelBlock {
  uint8_t* top = nullptr;  // first pixel of the top row
  long pitch = 0;          // bytes from a row to the one below (negative for bottom-up DIBs)
  int width = 0, height = 0;
  int bits = 0;                        // 1, 4, 8, 16, 24 or 32
  uint32_t redMask = 0, greenMask = 0, blueMask = 0;  // 16 and 32 bits
  const uint32_t* palette = nullptr;   // 0x00RRGGBB entries for 1, 4 and 8 bits
  int paletteCount = 0;

  uint8_t* Row(int y) const { return top + static_cast<long>(y) * pitch; }
  bool Valid() const { return top && width > 0 && height > 0; }
};

// One colour channel given by its mask.
struct ChannelLayout {
  uint32_t mask = 0;
  int shift = 0;
  int width = 0;
  static ChannelLayout FromMask(uint32_t mask);
  uint32_t Expand(uint32_t pixel) const;  // the channel widened (or narrowed) to 8 bits
  uint32_t Pack(uint32_t value8) const { return width == 0 ? 0 : ((value8 >> (width > 8 ? 0 : 8 - width)) << shift) & mask; }
};

// Default masks of plain (BI_RGB) DIBs: 5:5:5 at 16 bits, 8:8:8 at 24 and 32.
void DefaultMasks(int bits, uint32_t* red, uint32_t* green, uint32_t* blue);

// Converts one row of count pixels from src (x, y) to dst (dx, dy) as 0x00RRGGBB would carry them; palette
// destinations take the nearest entry. step -1 reads the source from right to left (mirror).
class RowConverter {
 public:
  RowConverter(const PixelBlock& src, const PixelBlock& dst);
  void Convert(int x, int y, int dx, int dy, int count, int step = 1);
  // Reads count pixels of a row into 0x00RRGGBB values.
  static void ReadRgb(const PixelBlock& block, int x, int y, int count, int step, uint32_t* out);
  // Writes 0x00RRGGBB values; when mask is given, only pixels whose mask byte is non-zero.
  void WriteRgb(int dx, int dy, int count, const uint32_t* rgb, const uint8_t* mask = nullptr);

 private:
  uint32_t PackRgb(uint32_t rgb);
  const PixelBlock& src_;
  const PixelBlock& dst_;
  bool same_;
  ChannelLayout red_, green_, blue_;
  // Palette matches already made: direct-mapped by colour, an entry of 0xFFFFFFFF is empty.
  struct Match {
    uint32_t rgb = 0xFFFFFFFFu, index = 0;
  };
  Match matches_[4096];
  uint32_t row_[1024];
};

// Nearest palette entry by squared distance (first wins on ties).
uint32_t NearestPaletteIndex(const uint32_t* palette, int count, uint32_t rgb);
