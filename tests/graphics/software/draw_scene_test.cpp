// A scene as the game draws it: a BMP background and a BMP sprite loaded from files, drawn with the key and with
// blend modes, a box and a circle, then presented; the presented frame is checked pixel by pixel.
#include <gtest/gtest.h>

#include "graphics/draw_front.h"
#include "graphics/graphics_test_support.h"
#include "graphics/software/backend_glue.h"

namespace {

class DrawSceneTest : public GraphicsTest, public ::testing::WithParamInterface<int> {};

uint32_t BackgroundPixel(int x, int y) { return uint32_t(((x * 3) & 0xF8) << 16 | ((y * 5) & 0xF8) << 8 | ((x + y) & 0xF8)); }
// The sprite: black (the default transparent colour) outside a disk, colours inside.
uint32_t SpritePixel(int x, int y) {
  const int dx = x - 8, dy = y - 8;
  return dx * dx + dy * dy > 49 ? 0u : uint32_t(0xF80000 | ((x * 16) & 0xF8) << 8 | ((y * 16) & 0xF8));
}

// What the frame shows for a colour: on 5:6:5 each channel cut to its bits and widened again by repeating them.
uint32_t Cut(uint32_t rgb, int bits) {
  if (bits == 32) return rgb;
  const uint32_t r = (rgb >> 19) & 31, g = (rgb >> 10) & 63, b = (rgb >> 3) & 31;
  return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

TEST_P(DrawSceneTest, PresentedFrameShowsTheScene) {
  const int bits = GetParam();
  ASSERT_EQ(Start(bits), 0);
  std::vector<uint32_t> bg(640 * 480), sprite(16 * 16);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) bg[y * 640 + x] = BackgroundPixel(x, y);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) sprite[y * 16 + x] = SpritePixel(x, y);
  WriteBmp24(workDir() + "/bg.bmp", 640, 480, bg);
  WriteBmp24(workDir() + "/sprite.bmp", 16, 16, sprite);
  const int background = LoadGraphFileSimple("bg.bmp");
  const int spriteGraph = LoadGraphFileSimple("sprite.bmp");
  ASSERT_GE(background, 0);
  ASSERT_GE(spriteGraph, 0);

  ASSERT_EQ(SelectDrawTarget(-2), 0);
  EXPECT_EQ(ClearDrawTarget(), 0);
  EXPECT_EQ(DrawGraph(0, 0, background, 0), 0);
  EXPECT_EQ(DrawGraph(100, 50, spriteGraph, 1), 0);   // keyed copy
  EXPECT_EQ(DrawGraph(200, 50, spriteGraph, 0), 0);   // unkeyed copy: black corners drawn
  EXPECT_EQ(SelectBlendMode(2, 255), 0);
  EXPECT_EQ(DrawGraph(300, 50, spriteGraph, 1), 0);   // add
  EXPECT_EQ(SelectBlendMode(0, 0), 0);
  EXPECT_EQ(DrawBoxShape(10, 400, 30, 420, PackScreenColor(0, 255, 0), 1), 0);
  EXPECT_EQ(DrawCircle(500, 300, 10, PackScreenColor(0, 0, 255), 0), 0);
  headless::ClearFrames();
  EXPECT_EQ(G_DDraw_FlipScreen(), 0);
  ASSERT_FALSE(headless::Frames().empty());
  const headless::CapturedFrame& frame = headless::Frames().back();

  for (int y = 0; y < 480; y += 3)
    for (int x = 0; x < 640; x += 3) {
      uint32_t want = Cut(BackgroundPixel(x, y), bits);
      if (x >= 100 && x < 116 && y >= 50 && y < 66 && SpritePixel(x - 100, y - 50) != 0)
        want = Cut(SpritePixel(x - 100, y - 50), bits);
      if (x >= 200 && x < 216 && y >= 50 && y < 66) want = Cut(SpritePixel(x - 200, y - 50), bits);
      if (x >= 10 && x < 30 && y >= 400 && y < 420) want = Cut(0x00FF00, bits);
      if (x >= 300 && x < 316 && y >= 50 && y < 66) continue;  // checked below
      if (x >= 489 && x <= 511 && y >= 289 && y <= 311) continue;  // the circle, checked below
      ASSERT_EQ(frame.Rgb(x, y), want) << bits << " at " << x << "," << y;
    }
  // Add with p = 255 on 32 bits (the MMX formula): each channel min(255, d + s * 255 / 256).
  if (bits == 32) {
    for (int y = 50; y < 66; ++y)
      for (int x = 300; x < 316; ++x) {
        const uint32_t s = SpritePixel(x - 300, y - 50), d = BackgroundPixel(x, y);
        uint32_t want = d;
        if (s != 0) {
          want = 0;
          for (int c = 0; c < 3; ++c) {
            const uint32_t v = ((d >> (8 * c)) & 0xFF) + ((((s >> (8 * c)) & 0xFF) * 255) >> 8);
            want |= std::min<uint32_t>(v, 255) << (8 * c);
          }
        }
        EXPECT_EQ(frame.Rgb(x, y), want) << x << "," << y;
      }
  }
  // The circle's outline: the rightmost point and the centre.
  EXPECT_EQ(frame.Rgb(510, 300), Cut(0x0000FF, bits));
  EXPECT_EQ(frame.Rgb(500, 300), Cut(BackgroundPixel(500, 300), bits));
}

INSTANTIATE_TEST_SUITE_P(Depths, DrawSceneTest, ::testing::Values(32, 16), ::testing::PrintToStringParamName());

}  // namespace
