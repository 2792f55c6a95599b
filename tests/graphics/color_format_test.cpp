#include <gtest/gtest.h>

#include <cstring>

#include "graphics/color_format.h"

namespace {

ColorFormat Masks(int depth, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  ColorFormat f{};
  ColorFormatFromMasks(&f, depth, r, g, b, a);
  return f;
}

TEST(ColorFormat, PresetsFillTheHeaderOnly) {
  ColorFormat f;
  std::memset(&f, 0x5A, sizeof f);
  EXPECT_EQ(SetColorFormatPalette8(&f), 0);
  EXPECT_EQ(f.bitDepth, 8);
  EXPECT_EQ(f.bytesPerPixel, 1);
  EXPECT_EQ(f.redShift, 16);
  EXPECT_EQ(f.redMask, 0xFF0000u);
  EXPECT_EQ(f.alphaWidth, 0);
  EXPECT_EQ(f.outsideMask, 0xFF000000u);
  EXPECT_EQ(f.palette[7], 0x5A5A5A5Au);

  SetColorFormatR8G8B8(&f);
  EXPECT_EQ(f.bitDepth, 24);
  EXPECT_EQ(f.bytesPerPixel, 3);
  EXPECT_EQ(f.blueMask, 0xFFu);
  EXPECT_EQ(f.outsideMask, 0u);

  SetColorFormatAlpha8(&f);
  EXPECT_EQ(f.bitDepth, 8);
  EXPECT_EQ(f.alphaWidth, 8);
  EXPECT_EQ(f.redMask, 0xFFu);
  EXPECT_EQ(f.alphaMask, 0xFFu);
  EXPECT_EQ(f.greenShift, 0);
  EXPECT_EQ(f.outsideMask, 0u);
}

TEST(ColorFormat, MasksGiveWidthsShiftsAndOutsideBits) {
  ColorFormat x555 = Masks(16, 0x7C00, 0x3E0, 0x1F, 0);
  EXPECT_EQ(x555.redWidth, 5);
  EXPECT_EQ(x555.redShift, 10);
  EXPECT_EQ(x555.outsideMask, 0x8000u);
  EXPECT_EQ(Masks(16, 0xF800, 0x7E0, 0x1F, 0).outsideMask, 0u);
  EXPECT_EQ(Masks(16, 0xF800, 0x7E0, 0x1F, 0).greenWidth, 6);
  EXPECT_EQ(Masks(24, 0xFF0000, 0xFF00, 0xFF, 0).outsideMask, 0u);
  EXPECT_EQ(Masks(32, 0xFF0000, 0xFF00, 0xFF, 0).outsideMask, 0xFF000000u);
  EXPECT_EQ(Masks(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u).outsideMask, 0u);
  // Only the lowest run of a mask with gaps counts; the mask itself is kept.
  ColorFormat gap = Masks(16, 0xF00F, 0, 0, 0);
  EXPECT_EQ(gap.redShift, 0);
  EXPECT_EQ(gap.redWidth, 4);
  EXPECT_EQ(gap.redMask, 0xF00Fu);
  EXPECT_EQ(gap.greenWidth, 0);
  EXPECT_EQ(gap.greenShift, 0);
}

TEST(ColorFormat, EqualityLooksAtDepthAndMasksOnly) {
  ColorFormat x = Masks(16, 0x7C00, 0x3E0, 0x1F, 0);
  ColorFormat a = Masks(16, 0x7C00, 0x3E0, 0x1F, 0x8000);
  EXPECT_EQ(ColorFormatsEqual(&x, &a), 0);
  ColorFormat y = x;
  y.palette[3] = 0x123456;
  y.outsideMask = 0;
  EXPECT_EQ(ColorFormatsEqual(&x, &y), 1);
}

TEST(ColorFormat, PackingBy565And555And32BitMasks) {
  ColorFormat f565 = Masks(16, 0xF800, 0x7E0, 0x1F, 0);
  EXPECT_EQ(PackColorByMasks(&f565, 255, 255, 255, 0, false), 0xFFFFu);
  EXPECT_EQ(PackColorByMasks(&f565, 255, 0, 0, 0, false), 0xF800u);
  EXPECT_EQ(PackColorByMasks(&f565, 256, 0, 0, 0, false), 0u);  // cut to the low 8 bits
  ColorFormat f555 = Masks(16, 0x7C00, 0x3E0, 0x1F, 0);
  EXPECT_EQ(PackColorByMasks(&f555, 255, 255, 255, 0, false), 0xFFFFu);
  EXPECT_EQ(PackColorByMasks(&f555, 0, 0, 0, 0, false), 0x8000u);
  ColorFormat x888 = Masks(32, 0xFF0000, 0xFF00, 0xFF, 0);
  EXPECT_EQ(PackColorByMasks(&x888, 0, 0, 0, 0, false), 0xFF000000u);
  EXPECT_EQ(PackColorByMasks(&x888, 0x12, 0x34, 0x56, 0, false), 0xFF123456u);
  ColorFormat a4444 = Masks(16, 0xF00, 0xF0, 0xF, 0xF000);
  EXPECT_EQ(PackColorByMasks(&a4444, 0xFF, 0x80, 0x10, 0x70, true), 0x7F81u);
  EXPECT_EQ(PackColorByMasks(&a4444, 0xFF, 0x80, 0x10, 0x70, false), 0x0F81u);
}

TEST(ColorFormat, SplittingScalesEachChannelToFullRange) {
  ColorFormat f565 = Masks(16, 0xF800, 0x7E0, 0x1F, 0);
  int r, g, b;
  SplitColorByMasks(&f565, PackColorByMasks(&f565, 100, 100, 100, 0, false), &r, &g, &b);
  EXPECT_EQ(r, 98);
  EXPECT_EQ(g, 101);
  EXPECT_EQ(b, 98);
  SplitColorByMasks(&f565, 0xFFFF, &r, &g, &b);
  EXPECT_EQ(r + g + b, 3 * 255);
  SplitColorByMasks(&f565, 0, &r, &g, &b);
  EXPECT_EQ(r + g + b, 0);
  SplitColorByMasks(&f565, 16u << 11 | 32u << 5, &r, &g, &b);
  EXPECT_EQ(r, 131);
  EXPECT_EQ(g, 129);
  ColorFormat f555 = Masks(16, 0x7C00, 0x3E0, 0x1F, 0);
  SplitColorByMasks(&f555, 0x8000 | 31u << 10, &r, &g, &b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 0);
  // A missing channel reads 0 rather than dividing by zero.
  ColorFormat redOnly = Masks(16, 0xF800, 0, 0, 0);
  SplitColorByMasks(&redOnly, 0xFFFF, &r, &g, &b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 0);
}

TEST(ColorFormat, NearestPaletteEntryPrefersTheLowerIndexOnTies) {
  uint8_t entries[256 * 4] = {};
  for (int i = 0; i < 256; ++i) entries[i * 4] = entries[i * 4 + 1] = entries[i * 4 + 2] = 255;
  auto set = [&](int i, uint8_t r, uint8_t g, uint8_t b) {
    entries[i * 4] = r;
    entries[i * 4 + 1] = g;
    entries[i * 4 + 2] = b;
  };
  set(10, 100, 0, 0);
  set(20, 110, 0, 0);
  set(30, 0, 0, 200);
  EXPECT_EQ(FindNearestPaletteEntry(entries, 105, 0, 0), 10);
  EXPECT_EQ(FindNearestPaletteEntry(entries, 106, 0, 0), 20);
  EXPECT_EQ(FindNearestPaletteEntry(entries, 0, 0, 200), 30);
  EXPECT_EQ(FindNearestPaletteEntry(entries, 250, 250, 250), 0);
  // Huge arguments neither overflow nor leave the table.
  EXPECT_EQ(FindNearestPaletteEntry(entries, 1 << 30, -(1 << 30), 0), 0);
}

}  // namespace
