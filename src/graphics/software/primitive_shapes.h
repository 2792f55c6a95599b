// The pixels of the software primitives as horizontal spans, each pixel of a shape in exactly one span, so that a
// blended or exclusive-or primitive touches every pixel once.
//   Box (x1, y1)-(x2, y2): corners in any order; columns min..max-1, rows min..max-1 (right and bottom exclusive).
//   Frame box: the box's outermost rows and columns.
//   Circle of radius r about (cx, cy): the midpoint circle (x = r, y = 0, err = 1 - r; step y, and x when err is not
//   negative) in its eight mirror images; filled, each row from its leftmost to its rightmost outline pixel. Radius
//   0 is the centre pixel; a negative radius is nothing. Each row is worked out on its own, not by walking.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace shapes {

// emit(y, x0, x1): the pixels x0..x1 (inclusive) of row y, in 64-bit coordinates so no radius overflows.
// Only the rows firstRow..endRow - 1 are walked, so a box costs the rows it draws, however tall it is.
template <class Emit>
void BoxSpans(int64_t x1, int64_t y1, int64_t x2, int64_t y2, bool fill, Emit emit, int64_t firstRow = INT64_MIN,
              int64_t endRow = INT64_MAX) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  if (x1 == x2 || y1 == y2) return;
  for (int64_t y = std::max(y1, firstRow), end = std::min(y2, endRow); y < end; ++y) {
    if (fill || y == y1 || y == y2 - 1) {
      emit(y, x1, x2 - 1);
    } else {
      emit(y, x1, x1);
      if (x2 - 1 != x1) emit(y, x2 - 1, x2 - 1);
    }
  }
}

// floor(sqrt(n)).
inline int64_t FloorSqrt(uint64_t n) {
  using Wide = unsigned __int128;
  auto s = static_cast<uint64_t>(std::sqrt(static_cast<double>(n)));
  while (static_cast<Wide>(s) * s > n) --s;
  while (static_cast<Wide>(s + 1) * (s + 1) <= n) ++s;
  return static_cast<int64_t>(s);
}

// The midpoint circle's pixels, row by row: only the rows firstRow..endRow - 1 are worked out, so a circle costs
// the rows it draws, however large its radius (below 2^31). The walk (x = r, y = 0, err = 1 - r) is at column x(y)
// in row offset y, the largest x with x * (x - 1) < r^2 - y^2; a row offset d holds the walk's first-octant point
// when d <= x(d), and its second-octant points y = lo..hi, those with x(y) = d and y <= d.
template <class Emit>
void CircleSpans(int64_t cx, int64_t cy, int64_t r, bool fill, Emit emit, int64_t firstRow = INT64_MIN,
                 int64_t endRow = INT64_MAX) {
  if (r < 0) return;
  for (int64_t y = std::max(cy - r, firstRow), end = std::min(cy + r + 1, endRow); y < end; ++y) {
    const int64_t d = y > cy ? y - cy : cy - y;
    // Columns lo..hi (0 <= lo <= hi) right of the centre, mirrored left without repeating column 0.
    auto run = [&](int64_t lo, int64_t hi) {
      emit(y, cx + lo, cx + hi);
      const int64_t l = lo == 0 ? 1 : lo;
      if (hi >= l) emit(y, cx - hi, cx - l);
    };
    if (r == 0) {
      run(0, 0);
      continue;
    }
    const int64_t left = r * r - d * d;
    // The first-octant point: x(d) >= d exactly when d * (d - 1) < left.
    if (d * (d - 1) < left) {
      int64_t x = (1 + FloorSqrt(4 * static_cast<uint64_t>(left) + 1)) / 2;
      while (x * (x - 1) >= left) --x;
      while ((x + 1) * x < left) ++x;
      fill ? run(0, x) : run(x, x);
    }
    // The second-octant points: x(y) >= d + 1 exactly when y^2 < left - d, and x(y) >= d when y^2 < left + d; none
    // lies at y <= d while d^2 < left - d.
    if (d * d >= left - d && left + d - 1 >= 0) {
      const int64_t lo = left - d <= 0 ? 0 : FloorSqrt(static_cast<uint64_t>(left - d - 1)) + 1;
      const int64_t hi = std::min(FloorSqrt(static_cast<uint64_t>(left + d - 1)), d);
      // The diagonal point (hi == d) belongs to the first octant.
      if (fill) {
        if (lo <= hi && hi != d) run(0, hi);
      } else if (const int64_t last = hi == d ? hi - 1 : hi; lo <= last) {
        run(lo, last);
      }
    }
  }
}

}  // namespace shapes
