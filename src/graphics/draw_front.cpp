// The draw state and the public draw calls: checks, the rectangle for the mask and the subtract emulation, and
// the dispatch to the Direct3D or the software back-end.
#include "graphics/draw_front.h"

#include "graphics/draw_route.h"

#include <algorithm>

#include "core/main_window.h"
#include "core/message_pump.h"
#include "core/saturate.h"
#include "graphics/ddraw_layer.h"
#include "graphics/direct3d/d3d_services.h"
#include "graphics/mask.h"
#include "graphics/software/backend_glue.h"
#include "graphics/software/graph_draw.h"
#include "movie/movie_services.h"

GraphicsDrawState& GetGraphicsDrawState() {
  static GraphicsDrawState state{};
  return state;
}

namespace {

GraphicsDrawState& State() { return GetGraphicsDrawState(); }
bool ThreeDAvailable() { return GetGraphicsManagerState().threeDAvailable != 0; }
// Boxes and circles go to Direct3D only when it is in use on a screen that is not a software screen.
bool PrimitivesIn3D() { return State().use3D != 0 && ThreeDAvailable() && GetSoftwareScreenFlag() == 0; }

RECT Ordered(int x1, int y1, int x2, int y2) {
  return RECT{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

}  // namespace

int ClipRectByRect(RECT* rect, const RECT* clip) {
  auto clamp = [](LONG v, LONG lo, LONG hi) { return v > hi ? hi : v < lo ? lo : v; };
  rect->bottom = clamp(rect->bottom, clip->top, clip->bottom);
  rect->top = clamp(rect->top, clip->top, clip->bottom);
  rect->right = clamp(rect->right, clip->left, clip->right);
  rect->left = clamp(rect->left, clip->left, clip->right);
  return 0;
}

// ---- draw state ----

int SelectBlendMode(int mode, int parameter) {
  GraphicsDrawState& s = State();
  if (s.suspended != 0) return 0;
  if (mode == s.blendMode && parameter == s.blendParam) return 0;
  WaitForActivation();
  const int clamped = std::clamp(parameter, 0, 255);
  if (mode != 7) {
    s.blendMode = mode;
    s.blendParam = clamped;
  }
  const int p = mode == 7 ? parameter : clamped;
  if (ThreeDAvailable()) G_D3D_ApplyBlendMode(mode, p);
  G_DDraw_ApplyBlendMode(mode, p);
  return 0;
}

namespace {

// The clip setter after its wait for activation.
void ApplyDrawClipRect(int x1, int y1, int x2, int y2) {
  GraphicsDrawState& s = State();
  const int requested[4] = {x1, y1, x2, y2};
  StoreRequestedDrawArea(requested);
  if (x2 < x1) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  int width = 0, height = 0;
  if (s.drawTarget == -4 || s.drawTarget == -2) {
    QueryScreenSize(&width, &height);
    if (s.drawTarget == -4) {
      // Only the part of the client area that lies on the desktop can be drawn.
      int client[4] = {0, 0, 0, 0}, desktopW = 0, desktopH = 0, bits = 0;
      GetClientScreenRect(client);
      GetDesktopMetrics(&desktopW, &desktopH, &bits);
      if (client[0] < 0) x1 = std::max(x1, -client[0]);
      if (client[1] < 0) y1 = std::max(y1, -client[1]);
      if (client[1] + height >= desktopH) height = desktopH - client[1];
      if (client[0] + width >= desktopW) width = desktopW - client[0];
      width = std::max(width, 0);
      height = std::max(height, 0);
    }
  } else {
    const GraphRecord* graph = GetGraphRecord(s.drawTarget);
    if (graph == nullptr) return;
    width = graph->width;
    height = graph->height;
  }
  x1 = std::clamp(x1, 0, width);
  x2 = std::clamp(x2, 0, width);
  y1 = std::clamp(y1, 0, height);
  y2 = std::clamp(y2, 0, height);
  s.clip = RECT{x1, y1, x2, y2};
  s.clipEmpty = x1 == x2 || y1 == y2 ? 1 : 0;
  if (s.clipEmpty == 0) {
    if (ThreeDAvailable()) G_D3D_ApplyClipRect(&s.clip);
    G_DDraw_ApplyClipRect(&s.clip);
  }
}

}  // namespace

int SetDrawClipRect(int x1, int y1, int x2, int y2) {
  if (State().suspended != 0) return 0;
  WaitForActivation();
  ApplyDrawClipRect(x1, y1, x2, y2);
  return 0;
}

int GetGraphSizeOf(int target, int* widthOut, int* heightOut) {
  int w = 0, h = 0;
  if (target == -4 || target == -2) {
    QueryScreenSize(&w, &h);
  } else {
    const GraphRecord* graph = GetGraphRecord(target);
    if (graph == nullptr) return -1;
    w = graph->width;
    h = graph->height;
  }
  if (widthOut != nullptr) *widthOut = w;
  if (heightOut != nullptr) *heightOut = h;
  return 0;
}

namespace {

// Stores the target, its screen offset, tells the back-ends; true when at least one of them took it.
bool ApplyTarget(int target, int maskWasOn) {
  GraphicsDrawState& s = State();
  s.drawTarget = target;
  s.screenOffset = RECT{0, 0, 0, 0};
  if (target == -4 && IsWindowModeOn() != 0 && !(QueryMaskSurface() != nullptr && maskWasOn != 0)) {
    int client[4] = {0, 0, 0, 0};
    GetClientScreenRect(client);
    s.screenOffset = RECT{client[0], client[1], client[2], client[3]};
  }
  const int r3 = ThreeDAvailable() ? G_D3D_SelectDrawTarget(target) : -1;
  const int r2 = G_DDraw_SelectDrawTarget(target);
  return r2 == 0 || (ThreeDAvailable() && r3 == 0);
}

// The target's size, and the clip kept when the size did not change, else the whole target.
void FitClipToTarget(int previousWidth, int previousHeight) {
  GraphicsDrawState& s = State();
  int w = 0, h = 0;
  GetGraphSizeOf(s.drawTarget, &w, &h);
  s.targetWidth = w;
  s.targetHeight = h;
  if (w == previousWidth && h == previousHeight)
    ApplyDrawClipRect(s.clip.left, s.clip.top, s.clip.right, s.clip.bottom);
  else
    ApplyDrawClipRect(0, 0, w, h);
}

// The target switch after the checks and the wait for activation.
int SwitchDrawTarget(int target) {
  GraphicsDrawState& s = State();
  const int maskWasOn = GetMaskDrawOn();
  SetMaskDrawOn(0);
  const int previous = s.drawTarget;
  const int previousWidth = s.targetWidth, previousHeight = s.targetHeight;
  int result = 0;
  if (!ApplyTarget(target, maskWasOn)) {
    // Both back-ends refused: fall back once, to the previous target or else the back screen, and say so.
    if (!ApplyTarget(previous, maskWasOn)) ApplyTarget(-2, maskWasOn);
    result = -1;
  }
  FitClipToTarget(previousWidth, previousHeight);
  SetMaskDrawOn(maskWasOn);
  return result;
}

}  // namespace

int SelectDrawTarget(int target) {
  if (GetGraphicsManagerState().started == 0) return -1;
  if (State().suspended != 0) return 0;
  if (target != -4 && target != -2 && GetGraphRecord(target) == nullptr) return -1;
  WaitForActivation();
  return SwitchDrawTarget(target);
}

// Deletion does not wait for activation: it may run while the library shuts down behind an inactive window.
void ReleaseDeletedDrawTarget(int graphHandle) {
  if (State().drawTarget == graphHandle) SwitchDrawTarget(-2);
}

int SetBackFaceCulling(int flag) {
  if (ThreeDAvailable()) G_D3D_SetBackfaceCulling(flag);
  G_DDraw_SetBackfaceCulling(flag);
  return 0;
}

int SetUse3DGraphs(int flag) {
  if (QueryDirectDrawObject() == nullptr) SetNoDirect3DFlag(flag == 0 ? 1 : 0);
  State().use3D = flag;
  return 0;
}

int SetGraphAlphaTestFlag(int value) {
  State().alphaTest = value;
  return 0;
}
int GetGraphAlphaTestFlag() { return State().alphaTest; }
int SetGraphAlphaFlag(int value) {
  State().alphaChannel = value;
  return 0;
}
int GetGraphAlphaFlag() { return State().alphaChannel; }
int SetGraphBitDepth(int value) {
  State().bitDepth = value;
  return 0;
}
int GetGraphBitDepth() { return State().bitDepth; }
int SetGraphCreateFlagB(int value) {
  State().systemMemory = value != 1 ? 1 : 0;
  return 0;
}
int GetGraphCreateFlagB() { return State().systemMemory != 1 ? 1 : 0; }
int GetConvertDitherFlag() { return State().convertDither; }
int GetDrawTarget() { return State().drawTarget; }

int GetEffectiveUse3DGraphs() {
  return State().use3D != 0 && ThreeDAvailable() && GetSoftwareScreenFlag() == 0 &&
                 GetCurrentD3DDeviceInterface() != nullptr
             ? 1
             : 0;
}

int SetScreenOffsetRect(const RECT* rect) {
  State().screenOffset = *rect;
  return 0;
}

int GetScreenSizeAndDepth(int* width, int* height, int* depth) {
  GetGraphSizeOf(-4, width, height);
  if (depth != nullptr) *depth = QueryScreenColorBitDepth();
  return 0;
}

// ---- graph draws ----

// Brings a graph's movie up to its current frame; answers true when the movie drew that frame itself in place of
// the graph, with the movie drawer's result in *result, which the draw answers.
static bool DrawnByItsMovie(const GraphRecord* graph, int x, int y, int factor, int* result) {
  MovieEntry* entry = GetMovieEntry(graph->movie);
  if (entry == nullptr) return false;
  UpdateMovieFrame(graph->handle);
  if (entry->drawsFramesItself != 1) return false;
  *result = DrawMovieFrameScaled(x, y, factor, entry, 1);
  return true;
}

int DrawGraph(int x, int y, int handle, int transparent) {
  if (DrawCallIdle()) return 0;
  GraphRecord* graph = GetGraphRecord(handle);
  if (graph == nullptr) return -1;
  WaitForActivation();
  if (int drawn = 0; DrawnByItsMovie(graph, x, y, 1, &drawn)) return drawn;
  const int t = transparent != 0 ? 1 : 0;
  const RECT r{x, y, SaturateToInt(int64_t(x) + graph->width), SaturateToInt(int64_t(y) + graph->height)};
  return RouteGraphDraw(graph, r, [&] { return G_DDraw_DrawGraphRecord(x, y, graph, t); },
                    [&] { return G_D3D_DrawGraph(x, y, graph, t); });
}

int DrawExtendGraph(int x1, int y1, int x2, int y2, int handle, int transparent) {
  if (DrawCallIdle()) return 0;
  GraphRecord* graph = GetGraphRecord(handle);
  if (graph == nullptr) return -1;
  WaitForActivation();
  const int factor = graph->width != 0 ? SaturateToInt((int64_t(x2) - x1) / graph->width) : 0;
  if (int drawn = 0; DrawnByItsMovie(graph, x1, y1, factor, &drawn)) return drawn;
  const int t = transparent != 0 ? 1 : 0;
  return RouteGraphDraw(graph, Ordered(x1, y1, x2, y2),
                    [&] { return G_DDraw_DrawExtendGraph(x1, y1, x2, y2, graph, t); },
                    [&] { return G_D3D_DrawExtendGraph(x1, y1, x2, y2, graph, t); });
}

int DrawGraphMirrored(int x, int y, int handle, int transparent) {
  const GraphRecord* graph = GetGraphRecord(handle);
  if (graph == nullptr) return -1;
  return DrawExtendGraph(SaturateToInt(int64_t(x) + graph->width), y, x, SaturateToInt(int64_t(y) + graph->height),
                         handle, transparent);
}

int DrawGraphPart(int destX, int destY, int srcX, int srcY, int width, int height, int handle, int transparent,
                  int turn) {
  GraphicsDrawState& s = State();
  const RECT saved = s.clip;
  RECT part{destX, destY, SaturateToInt(int64_t(destX) + width), SaturateToInt(int64_t(destY) + height)};
  ClipRectByRect(&part, &saved);
  s.clip = part;
  const GraphRecord* graph = GetGraphRecord(handle);
  int result = -1;
  if (graph != nullptr) {
    // A position past the int range is as far off the part's clip as the range's end.
    const int y = SaturateToInt(int64_t(destY) - srcY);
    result = turn != 0
                 ? DrawGraphMirrored(SaturateToInt(int64_t(destX) - (int64_t(graph->width) - srcX - width)), y, handle,
                                     transparent)
                 : DrawGraph(SaturateToInt(int64_t(destX) - srcX), y, handle, transparent);
  }
  s.clip = saved;
  return result;
}

int PaintGraphWithColor(int handle, int red, int green, int blue, int alpha) {
  GraphRecord* graph = GetGraphRecord(handle);
  if (graph == nullptr) return -1;
  if (graph->params.texture != 0) return G_D3D_PaintGraph(graph, red, green, blue, alpha);
  return G_DDraw_PaintGraph(graph, red, green, blue, alpha);
}

// ---- primitives ----

int DrawFillBox(int x1, int y1, int x2, int y2, uint32_t color) {
  if (DrawCallIdle()) return 0;
  WaitForActivation();
  return MaskedDraw(Ordered(x1, y1, x2, y2), [&] {
    return PrimitivesIn3D() ? G_D3D_DrawFillBox(x1, y1, x2, y2, color) : G_DDraw_DrawFillBox(x1, y1, x2, y2, color);
  });
}

int DrawFrameBox(int x1, int y1, int x2, int y2, uint32_t color) {
  if (DrawCallIdle()) return 0;
  WaitForActivation();
  // Frame boxes go to Direct3D only when the kept front-end setting asks for it.
  const bool hard = PrimitivesIn3D() && GetGraphicsManagerState().keptFrontEndSetting != 0;
  return MaskedDraw(Ordered(x1, y1, x2, y2), [&] {
    return hard ? G_D3D_DrawFrameBox(x1, y1, x2, y2, color) : G_DDraw_DrawFrameBox(x1, y1, x2, y2, color);
  });
}

int DrawBoxShape(int x1, int y1, int x2, int y2, uint32_t color, int fill) {
  if (DrawCallIdle()) return 0;
  WaitForActivation();
  return fill != 0 ? DrawFillBox(x1, y1, x2, y2, color) : DrawFrameBox(x1, y1, x2, y2, color);
}

int DrawCircle(int x, int y, int radius, uint32_t color, int fill) {
  if (DrawCallIdle()) return 0;
  WaitForActivation();
  if (radius < 0) return 0;
  const RECT r{SaturateToInt(int64_t(x) - radius - 1), SaturateToInt(int64_t(y) - radius - 1),
               SaturateToInt(int64_t(x) + radius + 1), SaturateToInt(int64_t(y) + radius + 1)};
  return MaskedDraw(r, [&] {
    return PrimitivesIn3D() ? G_D3D_DrawCircle(x, y, radius, color, fill) : G_DDraw_DrawCircle(x, y, radius, color, fill);
  });
}
