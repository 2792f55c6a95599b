// The software back-end's glue: graph surfaces, the draw-target switch, clearing, surface copies, presenting the
// frame by flip or window copy, vertical-blank waits and the count of presented frames.
#include "graphics/software/backend_glue.h"

#include <algorithm>
#include <cstring>

#include "core/clock.h"
#include "core/message_pump.h"
#include "core/main_window.h"
#include "core/menu_cursor.h"
#include "core/screen_log.h"
#include "graphics/ddraw_layer.h"
#include "graphics/direct3d/d3d_services.h"
#include "graphics/draw_state.h"
#include "graphics/mask.h"
#include "graphics/surface_data.h"
#include "platform/directx/ddraw.h"
#include "platform/win32/gdi.h"
#include "platform/win32/kernel.h"

namespace {
// The presented-frame count and the time of the last window-mode present.
struct SoftwareBackEndState {
  uint64_t FlipCounter;
  uint32_t lastPresentTime;
} backEnd;

constexpr uint32_t kVerticalBlankWaitLimitMs = 100;

DirectDrawLayerState& Layer() { return GetDirectDrawLayerState(); }
bool Suspended() { return GetGraphicsDrawState().suspended != 0; }
uint32_t Now() { return static_cast<uint32_t>(GetMillisecondCount(0)); }

Surface2DRecord* FirstView(const GraphRecord* graph) {
  return graph->partCount > 0 ? GetSurface2DRecord(graph->parts[0]) : nullptr;
}

bool ClipperWanted() {
  return IsWindowModeOn() != 0 || GetAltPresentFlag() != 0 || IsMainMenuEnabled() != 0;
}

// Draws the screen log overlay over the back buffer with the whole screen as clip and no blending.
void DrawScreenLogOverlay() {
  if (GetScreenLogLineCount() == 0) return;
  DirectDrawLayerState& layer = Layer();
  GraphicsDrawState& drawState = GetGraphicsDrawState();
  int blendMode = drawState.blendMode, blendParam = drawState.blendParam;
  int lowPrecision = layer.blendLowPrecision;
  RECT clip = drawState.clip;
  SetDrawClipRect(0, 0, layer.screenWidth, layer.screenHeight);
  SelectBlendMode(0, 0);
  DrawScreenLog();
  SetDrawClipRect(clip.left, clip.top, clip.right, clip.bottom);
  SelectBlendMode(blendMode, blendParam);
  layer.blendLowPrecision = lowPrecision;
}

bool FrontScreenIsTarget() {
  DirectDrawLayerState& layer = Layer();
  return layer.drawTarget != nullptr && layer.drawTarget == layer.primary;
}

// Drawing went straight to the front screen: there is nothing to copy, and a flip would show the stale back
// buffer. The frame counts, and waits for the vertical blank as a flip would when the flip wait is on.
int PresentDrawnFront() {
  G_DDraw_CountFlip();
  return Layer().flipWaitVBlank != 0 ? G_DDraw_WaitVerticalBlank(1) : 0;
}

void FrameWaitIfWanted() {
  if (Layer().flipWaitVBlank != 0) G_DDraw_WaitFrameInterval();
}
}  // namespace

Surface2DRecord* G_DDraw_GetSurface2DRecord(int surface2DHandle) { return GetSurface2DRecord(surface2DHandle); }

int G_DDraw_DeleteAllGraphSurfaces() {
  if (QueryDirectDrawObject() == nullptr) return -1;
  return DeleteAllSurface2D();
}

int G_DDraw_CreateGraphSurface(GraphRecord* graph) {
  if (QueryDirectDrawObject() == nullptr) return -1;
  graph->partCount = 1;
  int view = AddSurface2D(graph->width, graph->height, 0, 0, graph->handle, nullptr, 0, 0, &graph->params);
  graph->parts[0] = view;
  if (view == -1) {
    graph->partCount = 0;
    return -1;
  }
  return 0;
}

int G_DDraw_DeriveGraphSurface(GraphRecord* graph, int srcX, int srcY, int width, int height, GraphRecord* parent) {
  Surface2DRecord* parentView = FirstView(parent);
  if (parentView == nullptr) return -1;
  // The new view's place in the shared surface is the parent view's place plus the offset inside the parent.
  int view = AddSurface2D(width, height, 0, 0, graph->handle, parentView, parentView->srcX + srcX,
                          parentView->srcY + srcY, &graph->params);
  if (view == -1) return -1;
  graph->parts[0] = view;
  graph->partCount = 1;
  return 0;
}

int G_DDraw_DeleteGraphSurfaces(GraphRecord* graph) {
  if (QueryDirectDrawObject() == nullptr) return -1;
  int result = 0;
  for (int i = 0; i < graph->partCount && i < kGraphPartMax; i++) result |= DeleteSurface2D(graph->parts[i]);
  graph->partCount = 0;
  return result;
}

int G_DDraw_TransferImageToGraph(const ColorFormat* srcFormat, HBITMAP bitmap, HBITMAP alphaBitmap, int x, int y,
                                 GraphRecord* graph, int fromBitmap, GraphImage* image, GraphImage* alphaImage) {
  for (int i = 0; i < graph->partCount && i < kGraphPartMax; i++) {
    Surface2DRecord* view = GetSurface2DRecord(graph->parts[i]);
    if (view == nullptr) return -1;
    if (TransferImageToSurface2D(srcFormat, bitmap, alphaBitmap, x + view->partX, y + view->partY, graph->parts[i],
                                 fromBitmap, image, alphaImage) != 0)
      return -1;
  }
  return 0;
}

int G_DDraw_TransferImageRectToGraph(const ColorFormat* srcFormat, HBITMAP bitmap, HBITMAP alphaBitmap,
                                     const RECT* srcRect, int destX, int destY, GraphRecord* graph, int fromBitmap,
                                     GraphImage* image, GraphImage* alphaImage) {
  int64_t width = static_cast<int64_t>(srcRect->right) - srcRect->left;
  int64_t height = static_cast<int64_t>(srcRect->bottom) - srcRect->top;
  for (int i = 0; i < graph->partCount && i < kGraphPartMax; i++) {
    Surface2DRecord* view = GetSurface2DRecord(graph->parts[i]);
    if (view == nullptr) return -1;
    int64_t left = std::max<int64_t>(destX, view->partX), top = std::max<int64_t>(destY, view->partY);
    int64_t right = std::min<int64_t>(destX + width, view->partX + view->width);
    int64_t bottom = std::min<int64_t>(destY + height, view->partY + view->height);
    if (right <= left || bottom <= top) continue;
    RECT part{static_cast<LONG>(srcRect->left + (left - destX)), static_cast<LONG>(srcRect->top + (top - destY)),
              static_cast<LONG>(srcRect->left + (right - destX)), static_cast<LONG>(srcRect->top + (bottom - destY))};
    // Surface coordinates: the view's place in its surface plus the position inside the view.
    int surfaceX = static_cast<int>(view->srcX + (left - view->partX));
    int surfaceY = static_cast<int>(view->srcY + (top - view->partY));
    if (TransferImageToSurface2DRect(srcFormat, bitmap, alphaBitmap, &part, surfaceX, surfaceY, graph->parts[i],
                                     fromBitmap, image, alphaImage) != 0)
      return -1;
  }
  return 0;
}

int G_DDraw_RestoreGraphSurfaces(GraphRecord* graph) {
  if (QueryDirectDrawObject() == nullptr) return -1;
  int result = 0;
  for (int i = 0; i < graph->partCount && i < kGraphPartMax; i++) {
    Surface2DRecord* view = GetSurface2DRecord(graph->parts[i]);
    if (view == nullptr) return -1;
    result |= RestoreSurfaceOfRecord(view->surfaceData);
  }
  return result;
}

int G_DDraw_ApplyBlendMode(int, int) { return 0; }
int G_DDraw_ApplyClipRect(const RECT*) { return 0; }
int G_DDraw_SetMaskDrawing(int) { return 0; }
int G_DDraw_SetBackfaceCulling(int) { return 0; }

int G_DDraw_PaintGraph(GraphRecord* graph, int red, int green, int blue, int alpha) {
  if (QueryDirectDrawObject() == nullptr) return -1;
  if (Layer().drawFlush != 0) EndCurrentD3DScene();
  for (int i = 0; i < graph->partCount && i < kGraphPartMax; i++) {
    Surface2DRecord* view = GetSurface2DRecord(graph->parts[i]);
    if (view == nullptr) return -1;
    // Only the view's own rectangle: sibling cells share the surface.
    RECT area{view->srcX, view->srcY, view->srcX + view->width, view->srcY + view->height};
    FillSurfaceRecordRect(view->surfaceData, &area, red, green, blue, alpha);
  }
  return 0;
}

int G_DDraw_MaskSaveBeforeDraw(int left, int top, int right, int bottom) {
  MaskSaveBeforeDraw(left, top, right, bottom, QueryDrawTargetSurface());
  return 0;
}

int G_DDraw_MaskApplyAfterDraw(int left, int top, int right, int bottom) {
  MaskApplyAfterDraw(left, top, right, bottom, QueryDrawTargetSurface());
  return 0;
}

int G_DDraw_CopySurfaceRect(IDirectDrawSurface7* destination, IDirectDrawSurface7* source, int x, int y,
                            RECT* sourceRect) {
  if (Layer().gdiCopyFaster == 0) {
    destination->BltFast(x, y, source, sourceRect, 0);
    return 0;
  }
  HDC destinationDc = nullptr, sourceDc = nullptr;
  destination->GetDC(&destinationDc);
  source->GetDC(&sourceDc);
  BitBlt(destinationDc, x, y, sourceRect->right - sourceRect->left, sourceRect->bottom - sourceRect->top, sourceDc,
         sourceRect->left, sourceRect->top, SRCCOPY);
  GdiFlush();
  if (sourceDc != nullptr) source->ReleaseDC(sourceDc);
  if (destinationDc != nullptr) destination->ReleaseDC(destinationDc);
  return 0;
}

int G_DDraw_ResetFlipCount() {
  backEnd.FlipCounter = 0;
  return 0;
}

int G_DDraw_CountFlip() {
  backEnd.FlipCounter++;
  return 0;
}

uint64_t G_DDraw_GetFlipCount() { return backEnd.FlipCounter; }

int G_DDraw_SelectDrawTarget(int target) {
  DirectDrawLayerState& layer = Layer();
  GraphicsDrawState& drawState = GetGraphicsDrawState();
  RECT area{0, 0, layer.screenWidth, layer.screenHeight};
  if (target == -4) {
    layer.drawingDisabled = 0;
    layer.drawTarget = layer.primary;
    if (ClipperWanted() && layer.primary != nullptr) layer.primary->SetClipper(nullptr);
  } else {
    if (target == -2) {
      layer.drawingDisabled = 0;
      layer.drawTarget = layer.back;
    } else {
      GraphRecord* graph = GetGraphRecord(target);
      if (graph == nullptr) return -1;
      if (graph->params.texture) {
        if (graph->partCount <= 0 || LookupSurface3DData(graph->parts[0]) == nullptr) return -1;
        // A 3-D graph cannot be a target without a 3-D device.
        return -1;
      }
      Surface2DRecord* view = FirstView(graph);
      SurfaceDataRecord* data = view != nullptr ? GetSurfaceRecord(view->surfaceData) : nullptr;
      if (data == nullptr) return -1;
      layer.drawingDisabled = 0;
      layer.drawTarget = data->surface;
      area = RECT{view->srcX, view->srcY, view->srcX + view->width, view->srcY + view->height};
    }
    if (ClipperWanted() && layer.primary != nullptr) layer.primary->SetClipper(layer.clipper);
  }
  layer.drawTargetArea = area;
  DDSCAPS2 caps{};
  if (layer.drawTarget != nullptr) layer.drawTarget->GetCaps(&caps);
  drawState.targetInVideoMemory = static_cast<int32_t>(caps.dwCaps & DDSCAPS_VIDEOMEMORY);
  return 0;
}

int G_DDraw_ClearDrawTarget() {
  DirectDrawLayerState& layer = Layer();
  if (layer.drawingDisabled != 0 || layer.directDraw == nullptr) return -1;
  if (Suspended()) return 0;
  if (layer.drawFlush != 0) EndCurrentD3DScene();
  DDBLTFX effects;
  std::memset(&effects, 0, sizeof effects);
  effects.dwSize = sizeof effects;
  effects.dwFillColor = 0;
  int target = GetGraphicsDrawState().drawTarget;
  if (target != -4 && target != -2) {
    GraphRecord* graph = GetGraphRecord(target);
    if (graph == nullptr) return -1;
    if (graph->params.texture) return 0;
    Surface2DRecord* view = FirstView(graph);
    SurfaceDataRecord* data = view != nullptr ? GetSurfaceRecord(view->surfaceData) : nullptr;
    if (data == nullptr || data->surface == nullptr) return -1;
    // Only the graph's own view of the shared surface.
    RECT rect{view->srcX, view->srcY, std::min<LONG>(view->srcX + view->width, data->width),
              std::min<LONG>(view->srcY + view->height, data->height)};
    if (data->zBuffer != nullptr) {
      DDBLTFX depth;
      std::memset(&depth, 0, sizeof depth);
      depth.dwSize = sizeof depth;
      depth.dwFillDepth = 65535;
      data->zBuffer->Blt(&rect, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &depth);
    }
    data->surface->Blt(&rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &effects);
    return 0;
  }
  RECT rect{0, 0, layer.screenWidth, layer.screenHeight};
  if (target == -4 && IsWindowModeOn()) {
    RECT client{};
    GetClientScreenRect(&client.left);
    rect = RECT{client.left, client.top, client.left + layer.screenWidth, client.top + layer.screenHeight};
  }
  IDirectDrawSurface7* surface = target == -4 ? layer.primary : layer.back;
  if (surface != nullptr) surface->Blt(&rect, nullptr, nullptr, DDBLT_COLORFILL, &effects);
  return 0;
}

int G_DDraw_WaitVerticalBlank(int count) {
  IDirectDraw7* directDraw = QueryDirectDrawObject();
  if (directDraw == nullptr) return -1;
  if (Suspended()) return 0;
  if (count < 0) return 0;
  WaitForActivation();
  // Each poll pumps messages and rests until the next millisecond, when the scan line can next have moved; a
  // line below the last one seen means a whole blank went by during a rest. A display that never changes state
  // ends the wait after a bounded time.
  auto pollWhile = [&](BOOL state) {
    uint32_t start = Now();
    DWORD last = 0;
    directDraw->GetScanLine(&last);
    for (;;) {
      BOOL inBlank = FALSE;
      DWORD line = 0;
      directDraw->GetVerticalBlankStatus(&inBlank);
      directDraw->GetScanLine(&line);
      if ((inBlank != 0) != (state != 0) || line < last) return 0;
      last = line;
      if (PumpWaitStep() < 0) return -1;
      if (Now() - start >= kVerticalBlankWaitLimitMs) return 0;
    }
  };
  if (count == 0) return pollWhile(FALSE);
  for (int i = 0; i < count; i++) {
    if (pollWhile(TRUE) < 0) return -1;
    if (pollWhile(FALSE) < 0) return -1;
  }
  return 0;
}

int G_DDraw_WaitFrameInterval() {
  IDirectDraw7* directDraw = QueryDirectDrawObject();
  if (directDraw == nullptr) return -1;
  int interval = Layer().presentInterval == -1 ? 5 : Layer().presentInterval;
  if (interval < 0) interval = 0;
  while (Now() - backEnd.lastPresentTime < static_cast<uint32_t>(interval)) RestUntilNextMillisecond();
  BOOL inBlank = FALSE;
  directDraw->GetVerticalBlankStatus(&inBlank);
  if (inBlank == 0) directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
  backEnd.lastPresentTime = Now();
  return 0;
}

int G_DDraw_FlipScreen() {
  DirectDrawLayerState& layer = Layer();
  if (layer.directDraw == nullptr) return -1;
  WaitForActivation();
  if (layer.softwareScreen != 0 || layer.altPresent != 0 || IsWindowModeOn() != 0 || IsMainMenuEnabled() != 0)
    return G_DDraw_CopyBackToFront();
  DrawScreenLogOverlay();
  if (FrontScreenIsTarget()) return PresentDrawnFront();
  EndCurrentD3DScene();
  layer.primary->Flip(nullptr, layer.flipWaitVBlank != 0 ? DDFLIP_WAIT : DDFLIP_WAIT | DDFLIP_NOVSYNC);
  G_DDraw_CountFlip();
  return 0;
}

int G_DDraw_CopyBackToFront() {
  DirectDrawLayerState& layer = Layer();
  if (layer.directDraw == nullptr) return -1;
  DrawScreenLogOverlay();
  if (FrontScreenIsTarget()) return PresentDrawnFront();
  EndCurrentD3DScene();
  if (layer.primary == nullptr || layer.back == nullptr) return -1;
  RECT source{0, 0, layer.screenWidth, layer.screenHeight};
  if (IsWindowModeOn()) {
    RECT client{};
    GetClientScreenRect(&client.left);
    double scale = GetWindowScale();
    RECT destination{client.left, client.top, client.left + static_cast<LONG>(layer.screenWidth * scale),
                     client.top + static_cast<LONG>(layer.screenHeight * scale)};
    FrameWaitIfWanted();
    layer.primary->Blt(&destination, layer.back, &source, DDBLT_WAIT, nullptr);
  } else if (layer.altPresent != 1 && IsMainMenuEnabled() == 0) {
    FrameWaitIfWanted();
    layer.primary->BltFast(0, 0, layer.back, &source, DDBLTFAST_WAIT);
    G_DDraw_CountFlip();
    return 0;
  } else {
    FrameWaitIfWanted();
    layer.primary->Blt(nullptr, layer.back, nullptr, DDBLT_WAIT, nullptr);
  }
  G_DDraw_CountFlip();
  return 0;
}
