// Geometry and pixel scan of rotated graph drawing.
#include "graphics/software/rota_draw.h"

#include <cmath>

namespace {

constexpr int64_t kOne = 262144;  // one pixel or texel in 18-bit fixed point

int64_t Whole(int64_t v) { return v / kOne; }  // truncation toward zero, as the fixed point is read everywhere

int32_t Saturate32(int64_t v) {
  return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

int32_t ClampInto(int64_t v, int32_t lo, int32_t hi) {
  return v < lo ? lo : v > hi ? hi : static_cast<int32_t>(v);
}

}  // namespace

int64_t RotaTruncate(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9.2e18) return INT64_MAX;
  if (value <= -9.2e18) return INT64_MIN;
  return static_cast<int64_t>(value);
}

void RotaComputeGeometry(int32_t x, int32_t y, double scale, double angle, uint32_t width, uint32_t height,
                         bool turn, const RotaRect& clip, RotaGeometry* g) {
  *g = RotaGeometry{};
  // A scale of 0 draws nothing; a non-finite scale or angle has no picture to draw.
  if (scale == 0.0 || !std::isfinite(scale) || !std::isfinite(angle)) return;

  int64_t sinNeg = RotaTruncate(std::sin(-angle) * 262144.0);
  int64_t cosNeg = RotaTruncate(std::cos(-angle) * 262144.0);
  int64_t cosA = RotaTruncate(std::cos(angle) * 262144.0);
  int64_t sinA = RotaTruncate(std::sin(angle) * 262144.0);

  // Half sizes in whole pixels; held within 32 bits so the corners stay exact in 64.
  int64_t hw = Saturate32(RotaTruncate(width * scale * 0.5));
  int64_t hh = Saturate32(RotaTruncate(height * scale * 0.5));
  const int64_t ox[4] = {-hw, -hw, hw, hw}, oy[4] = {-hh, hh, hh, -hh};
  int64_t cx = static_cast<int64_t>(x) * kOne, cy = static_cast<int64_t>(y) * kOne;
  for (int i = 0; i < 4; ++i) {
    g->cornerX[i] = cx + ox[i] * cosA - oy[i] * sinA;
    g->cornerY[i] = cy + ox[i] * sinA + oy[i] * cosA;
  }

  if (turn) {
    static constexpr int kOrder[4] = {3, 0, 2, 1};
    for (int i = 0; i < 4; ++i) {
      g->modiX[i] = Saturate32(Whole(g->cornerX[kOrder[i]]));
      g->modiY[i] = Saturate32(Whole(g->cornerY[kOrder[i]]));
    }
    g->plan = RotaPlan::Turn;
    return;
  }

  g->duPixel = RotaTruncate(static_cast<double>(cosA) / scale);
  g->dvPixel = RotaTruncate(static_cast<double>(sinNeg) / scale);

  // Extreme corners, scanning 1 to 3 against 0 and keeping the first on ties.
  int minX = 0, maxX = 0, minY = 0, maxY = 0;
  for (int i = 1; i < 4; ++i) {
    if (g->cornerX[i] < g->cornerX[minX]) minX = i;
    if (g->cornerX[i] > g->cornerX[maxX]) maxX = i;
    if (g->cornerY[i] < g->cornerY[minY]) minY = i;
    if (g->cornerY[i] > g->cornerY[maxY]) maxY = i;
  }
  RotaRect box;
  box.left = ClampInto(Whole(g->cornerX[minX]) - 2, clip.left, clip.right);
  box.right = ClampInto(Whole(g->cornerX[maxX]) + 4, clip.left, clip.right);
  box.top = ClampInto(Whole(g->cornerY[minY]) - 2, clip.top, clip.bottom);
  box.bottom = ClampInto(Whole(g->cornerY[maxY]) + 4, clip.top, clip.bottom);
  if (box.right <= box.left || box.bottom <= box.top) return;
  g->box = box;

  // Source positions at the box's top-left and bottom-left; the rows are the clipped box's own, so a graph one
  // pixel high (all corners on one row) still has its row.
  auto source = [&](int64_t dx, int64_t dy, int64_t cosTerm, int64_t sinTerm, uint32_t size, bool isU) {
    int64_t product = isU ? cosTerm * dx - sinTerm * dy : sinTerm * dx + cosTerm * dy;
    return static_cast<rotaspan::Wide>(RotaTruncate(static_cast<double>(product) / scale)) +
           static_cast<rotaspan::Wide>(size / 2) * kOne;
  };
  int64_t dx = static_cast<int64_t>(box.left) - x;
  int64_t dyTop = static_cast<int64_t>(box.top) - y, dyBottom = static_cast<int64_t>(box.bottom) - y;
  g->uTop = source(dx, dyTop, cosNeg, sinNeg, width, true);
  g->vTop = source(dx, dyTop, cosNeg, sinNeg, height, false);
  rotaspan::Wide uBottom = source(dx, dyBottom, cosNeg, sinNeg, width, true);
  rotaspan::Wide vBottom = source(dx, dyBottom, cosNeg, sinNeg, height, false);
  int64_t rows = static_cast<int64_t>(box.bottom) - box.top;
  g->duRow = (uBottom - g->uTop) / rows;
  g->dvRow = (vBottom - g->vTop) / rows;
  g->plan = RotaPlan::Scan;
}

void RotaScanPixels(const RotaGeometry& g, const RotaNest& nest, const RotaBlendContext& c, RotaSurfaceView dst,
                    RotaSurfaceView bg, const RotaTexView& tex) {
  if (g.plan != RotaPlan::Scan) return;
  const RotaTexLoop loop = RotaTexLoopOf(nest);
  if (loop.run == nullptr) return;
  int64_t count = static_cast<int64_t>(g.box.right) - g.box.left;
  for (int64_t row = 0; row < static_cast<int64_t>(g.box.bottom) - g.box.top; ++row) {
    int64_t y = g.box.top + row;
    uint8_t* d = dst.bits + g.box.left * loop.bytes + y * dst.pitch;
    const uint8_t* b = bg.bits + g.box.left * loop.bytes + y * bg.pitch;
    RotaTexSpan(loop, c, d, b, count, tex, g.uTop + row * g.duRow, g.duPixel, g.vTop + row * g.dvRow, g.dvPixel,
                -kOne);
  }
}
