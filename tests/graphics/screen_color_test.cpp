#include <gtest/gtest.h>

#include "graphics/color_format.h"
#include "graphics/ddraw_layer.h"
#include "platform/directx/ddraw.h"

namespace {

DDPIXELFORMAT PixelFormat(DWORD depth, DWORD red, DWORD green, DWORD blue, DWORD alpha) {
  DDPIXELFORMAT pf{};
  pf.dwSize = sizeof(pf);
  pf.dwRGBBitCount = depth;
  pf.dwRBitMask = red;
  pf.dwGBitMask = green;
  pf.dwBBitMask = blue;
  pf.dwRGBAlphaBitMask = alpha;
  return pf;
}

// Sets the screen's colour format (and palette) as the screen-mode change would, and puts it back afterwards.
class ScreenColor : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = GetDirectDrawLayerState(); }
  void TearDown() override { GetDirectDrawLayerState() = saved_; }
  void Screen(int depth, uint32_t r, uint32_t g, uint32_t b) {
    ColorFormatFromMasks(GetScreenColorFormat(), depth, r, g, b, 0);
  }
  void PaletteScreen() {
    ColorFormatFromMasks(GetScreenColorFormat(), 8, 0, 0, 0, 0);
    for (int i = 0; i < 256; ++i) GetDirectDrawLayerState().paletteEntries[i] = {255, 255, 255, 0};
    GetDirectDrawLayerState().paletteEntries[3] = {100, 0, 0, 0};
    GetDirectDrawLayerState().paletteEntries[4] = {110, 0, 0, 0};
    GetDirectDrawLayerState().paletteEntries[9] = {10, 20, 30, 0};
  }

 private:
  DirectDrawLayerState saved_;
};

TEST_F(ScreenColor, SixteenBitScreens) {
  Screen(16, 0xF800, 0x7E0, 0x1F);
  EXPECT_EQ(PackScreenColor(255, 255, 255), 0xFFFFu);
  EXPECT_EQ(PackScreenColor(255, 0, 0), 0xF800u);
  EXPECT_EQ(PackScreenColor(256, 0, 0), 0u);
  int r, g, b;
  EXPECT_EQ(UnpackScreenColor(PackScreenColor(100, 100, 100), &r, &g, &b), 0);
  EXPECT_EQ(r, 98);
  EXPECT_EQ(g, 101);
  EXPECT_EQ(b, 98);
  UnpackScreenColor(PackScreenColor(255, 0, 255), &r, &g, &b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 255);

  Screen(16, 0x7C00, 0x3E0, 0x1F);
  EXPECT_EQ(PackScreenColor(255, 255, 255), 0xFFFFu);
  EXPECT_EQ(PackScreenColor(0, 0, 0), 0x8000u);
  UnpackScreenColor(0x8000 | 16u << 10, &r, &g, &b);
  EXPECT_EQ(r, 131);
  EXPECT_EQ(g, 0);
}

TEST_F(ScreenColor, ThirtyTwoBitScreen) {
  Screen(32, 0xFF0000, 0xFF00, 0xFF);
  EXPECT_EQ(PackScreenColor(0, 0, 0), 0xFF000000u);
  EXPECT_EQ(PackScreenColor(0x12, 0x34, 0x56), 0xFF123456u);
  int r, g, b;
  EXPECT_EQ(UnpackScreenColor(0xFF123456u, &r, &g, &b), 0);
  EXPECT_EQ(r, 0x12);
  EXPECT_EQ(g, 0x34);
  EXPECT_EQ(b, 0x56);
  // A format with alpha gets its alpha packed too.
  ColorFormat argb{};
  ColorFormatFromMasks(&argb, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
  EXPECT_EQ(PackColorForFormat(&argb, 1, 2, 3, 0x80), 0x80010203u);
}

TEST_F(ScreenColor, EightBitScreenTakesTheNearestPaletteEntry) {
  PaletteScreen();
  EXPECT_EQ(PackScreenColor(105, 0, 0), 3u);  // exactly between 3 and 4: the lower index
  EXPECT_EQ(PackScreenColor(106, 0, 0), 4u);
  EXPECT_EQ(PackScreenColor(10, 20, 30), 9u);
  int r = -1, g = -1, b = -1;
  EXPECT_EQ(UnpackScreenColor(9, &r, &g, &b), 0);
  EXPECT_EQ(r, 10);
  EXPECT_EQ(g, 20);
  EXPECT_EQ(b, 30);
  r = -1;
  EXPECT_EQ(UnpackScreenColor(256, &r, &g, &b), -1);
  EXPECT_EQ(UnpackScreenColor(0xFFFFFFFFu, &r, &g, &b), -1);
  EXPECT_EQ(r, -1);
  // The screen's own format takes an index; texture and alpha-only formats are packed by their masks.
  EXPECT_EQ(PackColorForFormat(GetScreenColorFormat(), 10, 20, 30, 255), 9u);
  ColorFormat a1555{};
  ColorFormatFromMasks(&a1555, 16, 0x7C00, 0x3E0, 0x1F, 0x8000);
  EXPECT_EQ(PackColorForFormat(&a1555, 255, 0, 0, 255), 0xFC00u);
  ColorFormat alpha8{};
  SetColorFormatAlpha8(&alpha8);
  EXPECT_EQ(PackColorForFormat(&alpha8, 0, 0, 0, 0x40), 0x40u);
}

}  // namespace

namespace {

TEST(ColorFormatFromPixelFormat, NeedsTheDirectDrawObject) {
  DDPIXELFORMAT pf = PixelFormat(16, 0x7C00, 0x3E0, 0x1F, 0x8000);
  ColorFormat f{};
  f.bitDepth = 77;
  ASSERT_EQ(QueryDirectDrawObject(), nullptr);
  EXPECT_EQ(ColorFormatFromPixelFormat(&pf, &f), -1);
  EXPECT_EQ(f.bitDepth, 77);
}

}  // namespace

#include "graphics/graphics_test_support.h"

namespace {

class StartedScreenColor : public GraphicsTest {};

TEST_F(StartedScreenColor, ColoursFollowTheDesktopTheScreenCameUpOn) {
  ASSERT_EQ(Start(16, true), 0);
  EXPECT_EQ(PackScreenColor(0, 0, 0), 0x8000u);
  EXPECT_EQ(PackScreenColor(255, 255, 255), 0xFFFFu);
  DDPIXELFORMAT pf = PixelFormat(32, 0xFF0000, 0xFF00, 0xFF, 0);
  ColorFormat f{};
  ASSERT_EQ(ColorFormatFromPixelFormat(&pf, &f), 0);
  EXPECT_EQ(f.bytesPerPixel, 4);
  EXPECT_EQ(f.redShift, 16);
  EXPECT_EQ(f.outsideMask, 0xFF000000u);
}

TEST_F(StartedScreenColor, EightBitScreenUsesTheDefaultPalette) {
  ASSERT_EQ(Start(8), 0);
  const uint32_t white = PackScreenColor(255, 255, 255);
  int r = 0, g = 0, b = 0;
  ASSERT_EQ(UnpackScreenColor(white, &r, &g, &b), 0);
  EXPECT_EQ(r + g + b, 3 * 255);
  const uint32_t black = PackScreenColor(0, 0, 0);
  ASSERT_EQ(UnpackScreenColor(black, &r, &g, &b), 0);
  EXPECT_EQ(r + g + b, 0);
  EXPECT_EQ(UnpackScreenColor(256, &r, &g, &b), -1);
}

}  // namespace
