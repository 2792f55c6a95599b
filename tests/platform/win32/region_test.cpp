// Regions: random rectangles combined by every mode agree pixel for pixel with a plain coverage grid, and equal
// pixel sets come out as the same rectangles.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "platform/win32/gdi.h"
#include "platform/win32/region.h"
#include "support/headless_fixture.h"

namespace {

constexpr int kGrid = 24;
using Grid = std::array<std::array<bool, kGrid>, kGrid>;

Grid Rasterise(HRGN region) {
  Grid g{};
  std::vector<RECT> rects;
  EXPECT_TRUE(RegionRectangles(region, &rects));
  for (const RECT& r : rects) {
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) g[y][x] = true;
    }
  }
  return g;
}

class RegionTest : public HeadlessTest {};

}  // namespace

TEST_F(RegionTest, CombinationsMatchAPixelGrid) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> coordinate(0, kGrid);
  for (int round = 0; round < 200; ++round) {
    HRGN a = CreateRectRgn(0, 0, 0, 0), b = CreateRectRgn(0, 0, 0, 0);
    Grid ga{}, gb{};
    for (auto [region, grid] : {std::pair{a, &ga}, std::pair{b, &gb}}) {
      for (int n = 0; n < 4; ++n) {
        int l = coordinate(random), t = coordinate(random), r = coordinate(random), btm = coordinate(random);
        HRGN piece = CreateRectRgn(l, t, r, btm);  // corners in any order
        CombineRgn(region, region, piece, RGN_OR);
        DeleteObject(piece);
        for (int y = std::min(t, btm); y < std::max(t, btm); ++y) {
          for (int x = std::min(l, r); x < std::max(l, r); ++x) (*grid)[y][x] = true;
        }
      }
    }
    const int mode = RGN_AND + round % 5;
    HRGN out = CreateRectRgn(0, 0, 0, 0);
    int kind = CombineRgn(out, a, b, mode);
    Grid expected{};
    int count = 0;
    for (int y = 0; y < kGrid; ++y) {
      for (int x = 0; x < kGrid; ++x) {
        bool p = ga[y][x], q = gb[y][x];
        expected[y][x] = mode == RGN_AND ? p && q : mode == RGN_OR ? p || q : mode == RGN_XOR ? p != q
                         : mode == RGN_DIFF ? p && !q : p;
        count += expected[y][x];
      }
    }
    ASSERT_EQ(Rasterise(out), expected) << "round " << round << " mode " << mode;
    EXPECT_EQ(kind == NULLREGION, count == 0);
    for (HRGN r : {a, b, out}) EXPECT_TRUE(DeleteObject(r));
  }
}

TEST_F(RegionTest, TouchingPiecesBecomeOneRectangleAndBadHandlesAreRefused) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  for (int at : {0, 4, 2, 6, 8, 3, 1, 7, 5}) {  // pixels of a 3 x 3 square, in no order
    HRGN pixel = CreateRectRgn(at % 3, at / 3, at % 3 + 1, at / 3 + 1);
    CombineRgn(region, region, pixel, RGN_OR);
    DeleteObject(pixel);
  }
  std::vector<RECT> rects;
  ASSERT_TRUE(RegionRectangles(region, &rects));
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0].right * 1000 + rects[0].bottom, 3003);
  EXPECT_EQ(CombineRgn(region, region, region, 6), RGN_ERROR);
  EXPECT_TRUE(DeleteObject(region));
  EXPECT_FALSE(DeleteObject(region));
  EXPECT_EQ(CombineRgn(region, region, region, RGN_OR), RGN_ERROR);
}
