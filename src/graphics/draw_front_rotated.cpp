// The rotated and four-corner public draws, whose rectangles come from floating-point corners.
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/main_window.h"
#include "core/message_pump.h"
#include "graphics/direct3d/d3d_services.h"
#include "graphics/draw_front.h"
#include "graphics/draw_route.h"
#include "graphics/mask.h"
#include "graphics/software/graph_draw.h"
#include "movie/movie_services.h"

namespace {

// Truncation toward zero into the int range; false for a value that is not finite.
bool ToInt(double v, int* out) {
  if (!std::isfinite(v)) return false;
  const double lo = std::numeric_limits<int>::min(), hi = std::numeric_limits<int>::max();
  *out = static_cast<int>(v < lo ? lo : v > hi ? hi : std::trunc(v));
  return true;
}

uint32_t Bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

}  // namespace

int G_DDraw_DrawModiGraphFloat(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                               GraphRecord* graph, int transparent) {
  int v[8];
  const float f[8] = {x1, y1, x2, y2, x3, y3, x4, y4};
  for (int i = 0; i < 8; ++i)
    if (!ToInt(f[i], &v[i])) return 0;
  return G_DDraw_DrawModiGraph(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], graph, transparent);
}

int DrawRotaGraph(int x, int y, double scale, double angle, int handle, int transparent, int turn) {
  if (DrawCallIdle()) return 0;
  GraphRecord* graph = GetGraphRecord(handle);
  if (graph == nullptr) return -1;
  // The rectangle for the mask and the subtract emulation: the turned corners, widened by 5.
  const double a = std::fmod(angle, 2.0 * M_PI), sinA = std::sin(a), cosA = std::cos(a);
  const int w = graph->width, h = graph->height, hw = w / 2, hh = h / 2;
  const int px[4] = {-hw, w - hw, -hw, w - hw}, py[4] = {-hh, -hh, h - hh, h - hh};
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  for (int i = 0; i < 4; ++i) {
    const double X = (px[i] * cosA - py[i] * sinA) * scale + x, Y = (px[i] * sinA + py[i] * cosA) * scale + y;
    if (i == 0 || X < minX) minX = X;
    if (i == 0 || X > maxX) maxX = X;
    if (i == 0 || Y < minY) minY = Y;
    if (i == 0 || Y > maxY) maxY = Y;
  }
  RECT r;
  if (!ToInt(minX - 5.0, &r.left) || !ToInt(minY - 5.0, &r.top) || !ToInt(maxX + 5.0, &r.right) ||
      !ToInt(maxY + 5.0, &r.bottom))
    return 0;
  WaitForActivation();
  if (graph->movie >= 0) UpdateMovieFrame(graph->handle);
  const int t = transparent != 0 ? 1 : 0;
  return RouteGraphDraw(graph, r, [&] { return G_DDraw_DrawRotaGraph(x, y, scale, angle, graph, t, turn); },
                        [&] { return G_D3D_DrawRotaGraph(x, y, scale, angle, graph, t, turn); });
}

int DrawModiGraph(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int handle,
                  int transparent) {
  if (DrawCallIdle()) return 0;
  GraphRecord* graph = GetGraphRecord(handle);
  if (graph == nullptr) return -1;
  const float xs[4] = {x1, x2, x3, x4}, ys[4] = {y1, y2, y3, y4};
  int minX = 0xFFFFFF, minY = 0xFFFFFF, maxX = 0, maxY = 0;
  for (int i = 0; i < 4; ++i) {
    int ix = 0, iy = 0;
    if (!ToInt(xs[i], &ix) || !ToInt(ys[i], &iy)) return 0;
    minX = std::min(minX, ix);
    maxX = std::max(maxX, ix);
    minY = std::min(minY, iy);
    maxY = std::max(maxY, iy);
  }
  WaitForActivation();
  if (graph->movie >= 0) UpdateMovieFrame(graph->handle);
  const int t = transparent != 0 ? 1 : 0;
  // The back-ends take the corners as top-left, top-right, bottom-left, bottom-right: public order 1, 2, 4, 3.
  // The rectangle holds the pixels of the right and bottom corners too, which the drawers may touch.
  // A corner at the largest int keeps its rectangle at that edge rather than wrapping.
  const int right = maxX == INT_MAX ? maxX : maxX + 1, bottom = maxY == INT_MAX ? maxY : maxY + 1;
  return RouteGraphDraw(graph, RECT{minX, minY, right, bottom},
                        [&] { return G_DDraw_DrawModiGraphFloat(x1, y1, x2, y2, x4, y4, x3, y3, graph, t); },
                        [&] {
                          return G_D3D_DrawModiGraph(Bits(x1), Bits(y1), Bits(x2), Bits(y2), Bits(x4), Bits(y4),
                                                     Bits(x3), Bits(y3), graph, t);
                        });
}
