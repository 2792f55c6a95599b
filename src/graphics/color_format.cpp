#include "graphics/color_format.h"

namespace {

struct ChannelScan {
  uint8_t width;
  uint8_t shift;
};

// Position of the lowest set bit and the length of the run of set bits from there.
ChannelScan ScanMask(uint32_t mask) {
  ChannelScan scan{0, 0};
  if (mask == 0) return scan;
  while (!(mask & 1u)) {
    mask >>= 1;
    ++scan.shift;
  }
  while (mask & 1u) {
    mask >>= 1;
    ++scan.width;
  }
  return scan;
}

void SetHeader(ColorFormat* format, int depth, const uint8_t widths[4], const uint8_t shifts[4],
               const uint32_t masks[4], uint32_t outside) {
  format->bitDepth = static_cast<uint16_t>(depth);
  format->bytesPerPixel = static_cast<uint16_t>(depth / 8);
  format->redWidth = widths[0];
  format->greenWidth = widths[1];
  format->blueWidth = widths[2];
  format->alphaWidth = widths[3];
  format->redShift = shifts[0];
  format->greenShift = shifts[1];
  format->blueShift = shifts[2];
  format->alphaShift = shifts[3];
  format->redMask = masks[0];
  format->greenMask = masks[1];
  format->blueMask = masks[2];
  format->alphaMask = masks[3];
  format->outsideMask = outside;
}

// One 8-bit component narrowed (or, for channels wider than 8 bits, widened) to its width, at its shift.
uint32_t PackComponent(int value, unsigned width, unsigned shift) {
  if (width == 0 || shift >= 32) return 0;
  uint32_t v = static_cast<uint32_t>(value) & 0xFFu;
  v = width <= 8 ? v >> (8 - width) : (width - 8 >= 32 ? 0 : v << (width - 8));
  return v << shift;
}

// A channel of a value scaled so that its full value gives 255; an absent channel gives 0.
int SplitComponent(uint32_t value, uint32_t mask, unsigned shift, unsigned width) {
  if (width == 0 || shift >= 32) return 0;
  const uint64_t v = (value & mask) >> shift;
  const uint64_t full = width >= 32 ? 0xFFFFFFFFull : (1ull << width) - 1;
  return static_cast<int>(v * 255 / full);
}

}  // namespace

int SetColorFormatPalette8(ColorFormat* format) {
  static constexpr uint8_t widths[4] = {8, 8, 8, 0}, shifts[4] = {16, 8, 0, 0};
  static constexpr uint32_t masks[4] = {0xFF0000, 0xFF00, 0xFF, 0};
  SetHeader(format, 8, widths, shifts, masks, 0xFF000000u);
  return 0;
}

int SetColorFormatR8G8B8(ColorFormat* format) {
  static constexpr uint8_t widths[4] = {8, 8, 8, 0}, shifts[4] = {16, 8, 0, 0};
  static constexpr uint32_t masks[4] = {0xFF0000, 0xFF00, 0xFF, 0};
  SetHeader(format, 24, widths, shifts, masks, 0);
  return 0;
}

int SetColorFormatAlpha8(ColorFormat* format) {
  static constexpr uint8_t widths[4] = {8, 8, 8, 8}, shifts[4] = {0, 0, 0, 0};
  static constexpr uint32_t masks[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  SetHeader(format, 8, widths, shifts, masks, 0);
  return 0;
}

int ColorFormatFromMasks(ColorFormat* format, int bitDepth, uint32_t redMask, uint32_t greenMask, uint32_t blueMask,
                         uint32_t alphaMask) {
  const uint32_t masks[4] = {redMask, greenMask, blueMask, alphaMask};
  uint8_t widths[4], shifts[4];
  for (int c = 0; c < 4; ++c) {
    const ChannelScan scan = ScanMask(masks[c]);
    widths[c] = scan.width;
    shifts[c] = scan.shift;
  }
  SetHeader(format, bitDepth, widths, shifts, masks, 0);
  UpdateColorFormatUnusedMask(format);
  return 0;
}

void UpdateColorFormatUnusedMask(ColorFormat* format) {
  const int widths = format->redWidth + format->greenWidth + format->blueWidth + format->alphaWidth;
  if (widths == format->bitDepth) {
    format->outsideMask = 0;
    return;
  }
  const uint32_t low = format->bitDepth >= 32 ? 0xFFFFFFFFu : (1u << format->bitDepth) - 1;
  format->outsideMask = low & ~(format->redMask | format->greenMask | format->blueMask | format->alphaMask);
}

int ColorFormatsEqual(const ColorFormat* first, const ColorFormat* second) {
  return first->bitDepth == second->bitDepth && first->redMask == second->redMask &&
                 first->greenMask == second->greenMask && first->blueMask == second->blueMask &&
                 first->alphaMask == second->alphaMask
             ? 1
             : 0;
}

uint32_t PackColorByMasks(const ColorFormat* format, int red, int green, int blue, int alpha, bool withAlpha) {
  uint32_t value = PackComponent(red, format->redWidth, format->redShift) +
                   PackComponent(green, format->greenWidth, format->greenShift) +
                   PackComponent(blue, format->blueWidth, format->blueShift) + format->outsideMask;
  if (withAlpha && format->alphaWidth != 0) value += PackComponent(alpha, format->alphaWidth, format->alphaShift);
  return value;
}

int FindNearestPaletteEntry(const uint8_t* entries, int red, int green, int blue) {
  int64_t best = 0xFFFFFF;
  int index = 0;
  for (int i = 0; i < 256; ++i) {
    const int64_t dr = entries[i * 4] - static_cast<int64_t>(red);
    const int64_t dg = entries[i * 4 + 1] - static_cast<int64_t>(green);
    const int64_t db = entries[i * 4 + 2] - static_cast<int64_t>(blue);
    const int64_t distance = dr * dr + dg * dg + db * db;
    if (distance < best) {
      best = distance;
      index = i;
    }
  }
  return index;
}

void SplitColorByMasks(const ColorFormat* format, uint32_t value, int* red, int* green, int* blue) {
  *red = SplitComponent(value, format->redMask, format->redShift, format->redWidth);
  *green = SplitComponent(value, format->greenMask, format->greenShift, format->greenWidth);
  *blue = SplitComponent(value, format->blueMask, format->blueShift, format->blueWidth);
}
