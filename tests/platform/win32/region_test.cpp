// Regions: random rectangles combined by every mode agree pixel for pixel with a plain coverage grid, and equal
// pixel sets come out as the same rectangles.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
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
    std::vector<RECT> pieces;
    RegionRectangles(out, &pieces);
    EXPECT_EQ(kind, count == 0 ? NULLREGION : pieces.size() == 1 ? SIMPLEREGION : COMPLEXREGION) << "round " << round;
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
  // One band of two pieces is complex; pieces that touch are one simple rectangle.
  struct Case {
    RECT a, b;
    int mode, kind;
  } cases[] = {{{0, 0, 2, 2}, {4, 0, 6, 2}, RGN_OR, COMPLEXREGION}, {{0, 0, 2, 2}, {2, 0, 4, 2}, RGN_OR, SIMPLEREGION},
               {{0, 0, 6, 2}, {2, 0, 4, 2}, RGN_DIFF, COMPLEXREGION}, {{0, 0, 6, 2}, {2, 1, 4, 3}, RGN_AND, SIMPLEREGION},
               {{0, 0, 2, 2}, {0, 0, 2, 2}, RGN_XOR, NULLREGION}};
  for (const Case& c : cases) {
    HRGN a = CreateRectRgn(c.a.left, c.a.top, c.a.right, c.a.bottom);
    HRGN b = CreateRectRgn(c.b.left, c.b.top, c.b.right, c.b.bottom);
    EXPECT_EQ(CombineRgn(a, a, b, c.mode), c.kind) << c.mode;
    DeleteObject(a);
    DeleteObject(b);
  }
  EXPECT_EQ(CombineRgn(region, region, region, 6), RGN_ERROR);
  EXPECT_TRUE(DeleteObject(region));
  EXPECT_FALSE(DeleteObject(region));
  EXPECT_EQ(CombineRgn(region, region, region, RGN_OR), RGN_ERROR);
}

namespace {

// A region from a rectangle list, as ExtCreateRegion takes it.
HRGN FromList(const std::vector<RECT>& rects) {
  std::vector<char> block(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
  RGNDATAHEADER header{sizeof(RGNDATAHEADER), RDH_RECTANGLES, static_cast<DWORD>(rects.size()), 0, RECT{}};
  std::memcpy(block.data(), &header, sizeof header);
  if (!rects.empty()) std::memcpy(block.data() + sizeof header, rects.data(), rects.size() * sizeof(RECT));
  return ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()), reinterpret_cast<const RGNDATA*>(block.data()));
}

std::vector<RECT> RectanglesOf(HRGN region) {
  std::vector<RECT> rects;
  EXPECT_TRUE(RegionRectangles(region, &rects));
  return rects;
}

std::vector<std::array<int, 4>> Corners(const std::vector<RECT>& rects) {
  std::vector<std::array<int, 4>> corners;
  for (const RECT& r : rects) corners.push_back({r.left, r.top, r.right, r.bottom});
  return corners;
}

}  // namespace

// A list in any order gives the region that combining its rectangles one by one gives; so does the same region
// listed row by row and pixel run by pixel run (the list taken in one pass, touching pieces joined).
TEST_F(RegionTest, RectangleListsMakeTheRegionOfTheirUnion) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> coordinate(0, kGrid);
  for (int round = 0; round < 200; ++round) {
    std::vector<RECT> list;
    HRGN combined = CreateRectRgn(0, 0, 0, 0);
    for (int n = round % 7; n > 0; --n) {
      RECT r{coordinate(random), coordinate(random), coordinate(random), coordinate(random)};
      list.push_back(r);  // swapped corners make an empty rectangle here
      HRGN piece = CreateRectRgn(r.left, r.top, std::max(r.left, r.right), std::max(r.top, r.bottom));
      CombineRgn(combined, combined, piece, RGN_OR);
      DeleteObject(piece);
    }
    std::vector<RECT> expected = RectanglesOf(combined);
    std::vector<RECT> pieces;  // each row of each band, cut at every pixel
    for (const RECT& r : expected) {
      for (int y = r.top; y < r.bottom; ++y) pieces.push_back({r.left, y, r.right, y + 1});
    }
    std::stable_sort(pieces.begin(), pieces.end(), [](const RECT& a, const RECT& b) { return a.top < b.top; });
    std::vector<RECT> cut;
    for (const RECT& r : pieces) {
      for (int x = r.left; x < r.right; ++x) cut.push_back({x, r.top, x + 1, r.bottom});
    }
    for (const std::vector<RECT>* given : {&list, &expected, &cut}) {
      HRGN made = FromList(*given);
      ASSERT_NE(made, nullptr);
      EXPECT_EQ(Corners(RectanglesOf(made)), Corners(expected)) << "round " << round;
      DeleteObject(made);
    }
    DeleteObject(combined);
  }
}

// Lists that leave the regions' order part way (overlapping or backward in a band, a band above the last) still
// give their union.
TEST_F(RegionTest, RectangleListsOutOfOrderGiveTheirUnion) {
  using Corners4 = std::vector<std::array<int, 4>>;
  struct Case {
    std::vector<RECT> list;
    Corners4 expected;
  } cases[] = {
      {{{0, 0, 4, 2}, {2, 0, 6, 2}}, {{0, 0, 6, 2}}},
      {{{4, 0, 6, 2}, {0, 0, 2, 2}}, {{0, 0, 2, 2}, {4, 0, 6, 2}}},
      {{{0, 0, 2, 2}, {0, 1, 2, 3}}, {{0, 0, 2, 3}}},
      {{{0, 2, 2, 4}, {0, 0, 2, 2}}, {{0, 0, 2, 4}}},
      {{{0, 0, 2, 2}, {2, 0, 4, 2}, {0, 2, 4, 4}}, {{0, 0, 4, 4}}},
      {{{0, 0, 2, 1}, {0, 1, 2, 3}, {3, 1, 4, 3}}, {{0, 0, 2, 1}, {0, 1, 2, 3}, {3, 1, 4, 3}}},
  };
  for (const Case& c : cases) {
    HRGN made = FromList(c.list);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(Corners(RectanglesOf(made)), c.expected) << "case " << &c - cases;
    DeleteObject(made);
  }
}

TEST_F(RegionTest, RectangleListsOutsideTheirBlockOrWithATransformAreRefused) {
  struct Case {
    DWORD bytes, type, count, headerSize;
    bool transform;
  } cases[] = {{16, RDH_RECTANGLES, 0, 32, false}, {48, 2, 1, 32, false},  {48, RDH_RECTANGLES, 2, 32, false},
               {48, RDH_RECTANGLES, 1, 64, false}, {48, RDH_RECTANGLES, 1, 16, false},
               {48, RDH_RECTANGLES, 1, 32, true}};
  std::vector<char> block(64, 0);
  for (const Case& c : cases) {
    RGNDATAHEADER header{c.headerSize, c.type, c.count, 0, RECT{}};
    std::memcpy(block.data(), &header, sizeof header);
    const auto* transform = c.transform ? reinterpret_cast<const XFORM*>(block.data()) : nullptr;
    EXPECT_EQ(ExtCreateRegion(transform, c.bytes, reinterpret_cast<const RGNDATA*>(block.data())), nullptr)
        << c.bytes << " " << c.type << " " << c.count << " " << c.headerSize;
  }
  EXPECT_EQ(ExtCreateRegion(nullptr, 64, nullptr), nullptr);
  // A platform that cannot make the region says so once; the next call makes it.
  headless::FailCall("ExtCreateRegion", 1);
  EXPECT_EQ(FromList({{0, 0, 2, 2}}), nullptr);
  HRGN made = FromList({{0, 0, 2, 2}});
  EXPECT_EQ(Corners(RectanglesOf(made)), (std::vector<std::array<int, 4>>{{0, 0, 2, 2}}));
  DeleteObject(made);
}
