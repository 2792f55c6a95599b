// Triangle set-up, edge walk and span clipping.
#include "graphics/software/triangle_raster.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int64_t kOne = 262144;
constexpr int64_t kHalf = 131072;
constexpr int32_t kTexLimit = 1 << 24;  // texel coordinates beyond this would overflow the gradients

int64_t Whole(int64_t v) { return v / kOne; }  // truncation toward zero

struct Edge {
  int64_t x = 0, step = 0, rows = 0;
};

Edge MakeEdge(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  Edge e;
  e.x = x0;
  e.rows = (y1 - y0) / kOne;
  e.step = e.rows > 0 ? (x1 - x0) / e.rows : 0;
  return e;
}

void Order(const int64_t* key, int* idx) {
  idx[0] = 0; idx[1] = 1; idx[2] = 2;
  for (int i = 0; i < 2; ++i)
    for (int j = i + 1; j < 3; ++j)
      if (key[idx[i]] > key[idx[j]]) std::swap(idx[i], idx[j]);
}

bool InRange(int32_t value, int32_t limit) { return value >= -limit && value <= limit; }

}  // namespace

int RotaRasterTriangle(const TriangleVertex* v, const RotaTexView* tex, const RotaNest& nest,
                       const RotaBlendContext& c, RotaSurfaceView dst, RotaSurfaceView bg, uint32_t colour,
                       const RotaRect& clip) {
  int64_t X[3], Y[3], U[3], V[3];
  for (int i = 0; i < 3; ++i) {
    if (!InRange(v[i].x, kTriangleCoordLimit) || !InRange(v[i].y, kTriangleCoordLimit)) return -1;
    if (!InRange(v[i].u, kTexLimit) || !InRange(v[i].v, kTexLimit)) return -1;
    X[i] = v[i].x * kOne + kHalf;
    Y[i] = v[i].y * kOne + kHalf;
    U[i] = v[i].u * kOne;
    V[i] = v[i].v * kOne;
  }
  int xo[3], yo[3];
  Order(X, xo);
  Order(Y, yo);

  // Texture plane about the leftmost vertex.
  int a0 = xo[0], a1 = xo[1], a2 = xo[2];
  int64_t dx1 = (X[a1] - X[a0]) / kOne, dy1 = (Y[a1] - Y[a0]) / kOne;
  int64_t dx2 = (X[a2] - X[a0]) / kOne, dy2 = (Y[a2] - Y[a0]) / kOne;
  int64_t du1 = (U[a1] - U[a0]) / kOne, dv1 = (V[a1] - V[a0]) / kOne;
  int64_t du2 = (U[a2] - U[a0]) / kOne, dv2 = (V[a2] - V[a0]) / kOne;
  int64_t det = dx2 * dy1 - dx1 * dy2;
  if (det == 0) return -1;
  int64_t dUdx = (du2 * dy1 - du1 * dy2) * kOne / det;
  int64_t dUdy = (du1 * dx2 - du2 * dx1) * kOne / det;
  int64_t dVdx = (dv2 * dy1 - dv1 * dy2) * kOne / det;
  int64_t dVdy = (dv1 * dx2 - dv2 * dx1) * kOne / det;
  int64_t x0 = Whole(X[a0]), y0 = Whole(Y[a0]);

  // Edges: up to two a side.
  int T = yo[0], M = yo[1], B = yo[2];
  Edge left[2], right[2];
  int leftCount = 1, rightCount = 1;
  if (Y[T] == Y[M]) {
    int l = X[T] <= X[M] ? T : M, r = l == T ? M : T;
    left[0] = MakeEdge(X[l], Y[l], X[B], Y[B]);
    right[0] = MakeEdge(X[r], Y[r], X[B], Y[B]);
  } else if (Y[B] == Y[M]) {
    int l = X[M] <= X[B] ? M : B, r = l == M ? B : M;
    left[0] = MakeEdge(X[T], Y[T], X[l], Y[l]);
    right[0] = MakeEdge(X[T], Y[T], X[r], Y[r]);
  } else {
    double slopeMiddle = static_cast<double>(X[M] - X[T]) / static_cast<double>(Y[M] - Y[T]);
    double slopeLong = static_cast<double>(X[B] - X[T]) / static_cast<double>(Y[B] - Y[T]);
    if (slopeMiddle < slopeLong) {
      left[0] = MakeEdge(X[T], Y[T], X[M], Y[M]);
      left[1] = MakeEdge(X[M], Y[M], X[B], Y[B]);
      leftCount = 2;
      right[0] = MakeEdge(X[T], Y[T], X[B], Y[B]);
    } else {
      left[0] = MakeEdge(X[T], Y[T], X[B], Y[B]);
      right[0] = MakeEdge(X[T], Y[T], X[M], Y[M]);
      right[1] = MakeEdge(X[M] + 1, Y[M], X[B], Y[B]);
      rightCount = 2;
    }
  }
  for (int i = 0; i < leftCount; ++i)
    if (left[i].rows <= 0) return -1;
  for (int i = 0; i < rightCount; ++i)
    if (right[i].rows <= 0) return -1;

  if (!nest.draw) return 0;

  auto walk = [&](auto&& span) {
    int li = 0, ri = 0;
    int64_t lx = left[0].x, rx = right[0].x, lstep = left[0].step, rstep = right[0].step;
    int64_t lrows = left[0].rows, rrows = right[0].rows;
    int64_t y = Whole(Y[T]);
    for (;;) {
      int64_t x = Whole(lx);
      int64_t count = Whole(rx) - x;
      if (x < clip.left) {
        count -= clip.left - x;
        x = clip.left;
      }
      count += 1;
      if (y >= clip.top && y < clip.bottom && x < clip.right && count > 0) {
        int64_t n = count < clip.right - x ? count : clip.right - x;
        span(x, y, n);
      }
      rx += rstep;
      lx += lstep;
      ++y;
      --lrows;
      --rrows;
      if (lrows == 0) {
        if (li + 1 >= leftCount) return;
        ++li;
        lx = left[li].x;
        lstep = left[li].step;
        lrows = left[li].rows;
        y = Whole(Y[M]);
      }
      if (rrows == 0) {
        if (ri + 1 >= rightCount) return;
        ++ri;
        rx = right[ri].x;
        rstep = right[ri].step;
        rrows = right[ri].rows;
      }
    }
  };

  if (tex) {
    const RotaTexLoop loop = RotaTexLoopOf(nest);
    if (loop.run == nullptr) return 0;
    walk([&](int64_t x, int64_t y, int64_t n) {
      rotaspan::Wide u = static_cast<rotaspan::Wide>(x - x0) * dUdx + static_cast<rotaspan::Wide>(y - y0) * dUdy + U[a0];
      rotaspan::Wide w = static_cast<rotaspan::Wide>(x - x0) * dVdx + static_cast<rotaspan::Wide>(y - y0) * dVdy + V[a0];
      RotaTexSpan(loop, c, dst.bits + x * loop.bytes + y * dst.pitch, bg.bits + x * loop.bytes + y * bg.pitch, n,
                  *tex, u, dUdx, w, dVdx, -1);
    });
  } else {
    const RotaFillLoop loop = RotaFillLoopOf(nest);
    if (loop.run == nullptr) return 0;
    const uint32_t t = loop.prepare(c, colour);
    walk([&](int64_t x, int64_t y, int64_t n) {
      loop.run(c, dst.bits + x * loop.bytes + y * dst.pitch, bg.bits + x * loop.bytes + y * bg.pitch, n, t);
    });
  }
  return 0;
}

RotaRect RotaQuadBox(const int32_t* x, const int32_t* y, const RotaRect& clip) {
  int64_t minX = x[0], maxX = x[0], minY = y[0], maxY = y[0];
  for (int i = 1; i < 4; ++i) {
    minX = std::min<int64_t>(minX, x[i]); maxX = std::max<int64_t>(maxX, x[i]);
    minY = std::min<int64_t>(minY, y[i]); maxY = std::max<int64_t>(maxY, y[i]);
  }
  // Spans include both ends, and a walk that starts above row 0 can reach the bottom corner's row.
  auto into = [](int64_t v, int32_t lo, int32_t hi) { return static_cast<int32_t>(std::clamp<int64_t>(v, lo, hi)); };
  RotaRect r;
  r.left = into(minX, clip.left, clip.right);
  r.right = into(maxX + 1, clip.left, clip.right);
  r.top = into(minY, clip.top, clip.bottom);
  r.bottom = into(maxY + 1, clip.top, clip.bottom);
  return r;
}

void RotaQuadVertices(const int32_t* x, const int32_t* y, int32_t width, int32_t height, TriangleVertex* out) {
  out[0] = {x[0], y[0], 0, 0};
  out[1] = {x[1], y[1], width, 0};
  out[2] = {x[2], y[2], 0, height};
  out[3] = {x[3], y[3], width, height};
}
