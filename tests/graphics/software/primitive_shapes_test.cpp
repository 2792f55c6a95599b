#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "graphics/software/primitive_shapes.h"

namespace {

using Pixels = std::map<std::pair<int64_t, int64_t>, int>;  // (y, x) -> times emitted

template <class Shape>
Pixels Collect(Shape shape) {
  Pixels p;
  shape([&](int64_t y, int64_t x0, int64_t x1) {
    EXPECT_LE(x0, x1);
    for (int64_t x = x0; x <= x1; ++x) ++p[{y, x}];
  });
  return p;
}

std::string Picture(const Pixels& p, int64_t x0, int64_t y0, int w, int h) {
  std::string s;
  for (int64_t y = y0; y < y0 + h; ++y) {
    for (int64_t x = x0; x < x0 + w; ++x) s += p.count({y, x}) ? '#' : '.';
    s += '\n';
  }
  return s;
}

Pixels Circle(int64_t r, bool fill) {
  return Collect([&](auto emit) { shapes::CircleSpans(0, 0, r, fill, emit); });
}

TEST(PrimitiveShapes, SmallCirclesExactPixels) {
  EXPECT_EQ(Picture(Circle(0, false), -1, -1, 3, 3), "...\n.#.\n...\n");
  EXPECT_EQ(Picture(Circle(1, false), -2, -2, 5, 5), ".....\n..#..\n.#.#.\n..#..\n.....\n");
  EXPECT_EQ(Picture(Circle(2, false), -2, -2, 5, 5), ".###.\n#...#\n#...#\n#...#\n.###.\n");
  EXPECT_EQ(Picture(Circle(2, true), -2, -2, 5, 5), ".###.\n#####\n#####\n#####\n.###.\n");
  EXPECT_EQ(Picture(Circle(3, false), -3, -3, 7, 7),
            "..###..\n.#...#.\n#.....#\n#.....#\n#.....#\n.#...#.\n..###..\n");
  EXPECT_TRUE(Circle(-1, false).empty());
  EXPECT_TRUE(Circle(-1, true).empty());
}

TEST(PrimitiveShapes, EveryPixelOnceSymmetricAndFilledToTheOutline) {
  for (int64_t r = 0; r <= 60; ++r) {
    const Pixels outline = Circle(r, false), disk = Circle(r, true);
    for (const Pixels* p : {&outline, &disk})
      for (const auto& [at, n] : *p) {
        ASSERT_EQ(n, 1) << "r " << r << " pixel " << at.second << "," << at.first;
        ASSERT_TRUE(p->count({-at.first, at.second}) && p->count({at.first, -at.second}) &&
                    p->count({at.second, at.first}))
            << "r " << r;
      }
    // The disk holds the outline and, in each row, everything between its outermost pixels.
    std::map<int64_t, std::pair<int64_t, int64_t>> extent;
    for (const auto& [at, n] : outline) {
      ASSERT_TRUE(disk.count(at));
      auto [it, fresh] = extent.try_emplace(at.first, at.second, at.second);
      it->second.first = std::min(it->second.first, at.second);
      it->second.second = std::max(it->second.second, at.second);
    }
    size_t inside = 0;
    for (const auto& [y, e] : extent) inside += size_t(e.second - e.first + 1);
    EXPECT_EQ(disk.size(), inside) << "r " << r;
    // Outline pixels lie within half a pixel of the true circle.
    for (const auto& [at, n] : outline) {
      const double d = std::hypot(double(at.first), double(at.second));
      EXPECT_LT(std::fabs(d - double(r)), 0.75) << "r " << r;
    }
  }
}

TEST(PrimitiveShapes, BoxesAndFrames) {
  auto box = [](int x1, int y1, int x2, int y2, bool fill) {
    return Collect([&](auto emit) { shapes::BoxSpans(x1, y1, x2, y2, fill, emit); });
  };
  EXPECT_EQ(Picture(box(1, 1, 4, 3, true), 0, 0, 5, 4), ".....\n.###.\n.###.\n.....\n");
  EXPECT_EQ(box(4, 3, 1, 1, true), box(1, 1, 4, 3, true));  // corners in any order
  EXPECT_EQ(Picture(box(0, 0, 4, 4, false), 0, 0, 4, 4), "####\n#..#\n#..#\n####\n");
  EXPECT_EQ(Picture(box(0, 0, 1, 3, false), 0, 0, 2, 3), "#.\n#.\n#.\n");  // one column, each pixel once
  for (const auto& [at, n] : box(0, 0, 1, 3, false)) EXPECT_EQ(n, 1);
  EXPECT_EQ(Picture(box(0, 0, 3, 1, false), 0, 0, 3, 1), "###\n");
  EXPECT_TRUE(box(2, 2, 2, 9, true).empty());
  EXPECT_TRUE(box(2, 2, 9, 2, false).empty());
}


// The midpoint walk the row-by-row circle must reproduce span for span: x = r, y = 0, err = 1 - r, stepping y and,
// when err is not negative, x; the first octant gives one point per row, the second a run of points per row.
std::multiset<std::tuple<int64_t, int64_t, int64_t>> WalkedCircle(int64_t r, bool fill) {
  std::multiset<std::tuple<int64_t, int64_t, int64_t>> spans;
  auto run = [&](int64_t dy, int64_t lo, int64_t hi) {
    for (int64_t y : {dy, -dy}) {
      spans.insert({y, lo, hi});
      if (hi >= std::max<int64_t>(lo, 1)) spans.insert({y, -hi, -std::max<int64_t>(lo, 1)});
      if (dy == 0) break;
    }
  };
  int64_t x = r, y = 0, err = 1 - r, runRow = -1, runLo = 0, runHi = 0;
  auto closeRun = [&] {
    const int64_t hi = runHi == runRow ? runHi - 1 : runHi;
    if (runRow >= 0 && fill && runHi != runRow) run(runRow, 0, runHi);
    if (runRow >= 0 && !fill && hi >= runLo) run(runRow, runLo, hi);
  };
  while (x >= y) {
    fill ? run(y, 0, x) : run(y, x, x);
    if (runRow != x) {
      closeRun();
      runRow = x;
      runLo = y;
    }
    runHi = y++;
    err += err < 0 ? 2 * y + 1 : 2 * (y - --x) + 1;
  }
  closeRun();
  return spans;
}

TEST(PrimitiveShapes, RowsWorkedOutOneByOneMatchTheWalkAndKeepToTheirWindow) {
  for (int64_t r : {0, 1, 2, 3, 7, 40, 99, 100, 257, 1000, 4097, 20001}) {
    for (bool fill : {false, true}) {
      std::multiset<std::tuple<int64_t, int64_t, int64_t>> rows;
      shapes::CircleSpans(0, 0, r, fill, [&](int64_t y, int64_t x0, int64_t x1) { rows.insert({y, x0, x1}); });
      ASSERT_TRUE(rows == WalkedCircle(r, fill)) << "r " << r << " fill " << fill;
      // A window of rows gives exactly those rows of the whole circle.
      const int64_t first = -r / 3, end = r / 2 + 1;
      std::multiset<std::tuple<int64_t, int64_t, int64_t>> window, wanted;
      shapes::CircleSpans(0, 0, r, fill, [&](int64_t y, int64_t x0, int64_t x1) { window.insert({y, x0, x1}); },
                          first, end);
      for (const auto& span : rows)
        if (std::get<0>(span) >= first && std::get<0>(span) < end) wanted.insert(span);
      EXPECT_TRUE(window == wanted) << "r " << r << " fill " << fill;
    }
  }
  // The largest radius: a few rows at its top and through its centre lie on the circle, each pixel once.
  const int64_t big = 2147483647;
  for (int64_t first : {-big, -big + 1000, int64_t(-5)}) {
    Pixels outline = Collect([&](auto emit) { shapes::CircleSpans(0, 0, big, false, emit, first, first + 4); });
    ASSERT_FALSE(outline.empty());
    for (const auto& [at, n] : outline) {
      if (std::abs(at.second) > 70000) continue;  // a run along the flat top, checked at its ends below
      EXPECT_EQ(n, 1);
      const long double d = std::hypot(static_cast<long double>(at.first), static_cast<long double>(at.second));
      EXPECT_LT(std::fabs(d - big), 0.75L) << at.first << "," << at.second;
    }
  }
}

}  // namespace
