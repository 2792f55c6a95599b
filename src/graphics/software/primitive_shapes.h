// The pixels of the software primitives as horizontal spans, each pixel of a shape in exactly one span, so that a
// blended or exclusive-or primitive touches every pixel once.
//   Box (x1, y1)-(x2, y2): corners in any order; columns min..max-1, rows min..max-1 (right and bottom exclusive).
//   Frame box: the box's outermost rows and columns.
//   Circle of radius r about (cx, cy): the midpoint circle (x = r, y = 0, err = 1 - r; step y, and x when err is not
//   negative) in its eight mirror images; filled, each row from its leftmost to its rightmost outline pixel. Radius
//   0 is the centre pixel; a negative radius is nothing.
#pragma once
#include <cstdint>
#include <utility>

namespace shapes {

// emit(y, x0, x1): the pixels x0..x1 (inclusive) of row y, in 64-bit coordinates so no radius overflows.
template <class Emit>
void BoxSpans(int64_t x1, int64_t y1, int64_t x2, int64_t y2, bool fill, Emit emit) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  if (x1 == x2 || y1 == y2) return;
  for (int64_t y = y1; y < y2; ++y) {
    if (fill || y == y1 || y == y2 - 1) {
      emit(y, x1, x2 - 1);
    } else {
      emit(y, x1, x1);
      if (x2 - 1 != x1) emit(y, x2 - 1, x2 - 1);
    }
  }
}

// The row dy (0..r) offsets are mirrored to cy +- dy and the column offsets to cx +- dx, each mirror once.
template <class Emit>
void CircleSpans(int64_t cx, int64_t cy, int64_t r, bool fill, Emit emit) {
  if (r < 0) return;
  auto rows = [&](int64_t dy, auto&& one) {
    one(cy + dy);
    if (dy != 0) one(cy - dy);
  };
  // Columns lo..hi (0 <= lo <= hi) of row offset dy, mirrored left without repeating column 0.
  auto run = [&](int64_t dy, int64_t lo, int64_t hi) {
    rows(dy, [&](int64_t y) {
      emit(y, cx + lo, cx + hi);
      const int64_t l = lo == 0 ? 1 : lo;
      if (hi >= l) emit(y, cx - hi, cx - l);
    });
  };
  int64_t x = r, y = 0, err = 1 - r;
  int64_t runRow = -1, runLo = 0, runHi = 0;  // the open run of the second octant: row offset x, columns y
  auto closeRun = [&]() {
    if (runRow < 0) return;
    if (fill) {
      // A row that the first octant also reaches (the diagonal) was filled there.
      if (runHi != runRow) run(runRow, 0, runHi);
    } else {
      const int64_t hi = runHi == runRow ? runHi - 1 : runHi;  // the diagonal pixel belongs to the first octant
      if (hi >= runLo) run(runRow, runLo, hi);
    }
    runRow = -1;
  };
  while (x >= y) {
    // First octant: (x, y) in row y.
    if (fill) run(y, 0, x);
    else run(y, x, x);
    // Second octant: (y, x) in row x, gathered into runs.
    if (runRow != x) {
      closeRun();
      runRow = x;
      runLo = y;
    }
    runHi = y;
    ++y;
    if (err < 0) {
      err += 2 * y + 1;
    } else {
      --x;
      err += 2 * (y - x) + 1;
    }
  }
  closeRun();
}

}  // namespace shapes
