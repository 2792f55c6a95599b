// The software back-end's graph draw entry and its text draw, which goes straight to the destination (the target,
// or the mask surface while masking) or through the font's work surface.
#include <algorithm>
#include <cstring>

#include "core/saturate.h"
#include "font/font_services.h"
#include "graphics/color_format.h"
#include "graphics/ddraw_layer.h"
#include "graphics/direct3d/d3d_services.h"
#include "graphics/draw_state.h"
#include "graphics/software/backend_glue.h"
#include "graphics/software/draw_frame.h"
#include "graphics/surface_data.h"
#include "platform/directx/ddraw.h"

int G_DDraw_DrawGraphRecord(int x, int y, GraphRecord* graph, int transparent) {
  FlushCurrentD3DVertexBatch();
  return G_DDraw_DrawGraph(x, y, graph->partCount > 0 ? graph->parts[0] : -1, transparent);
}

int G_DDraw_DrawTextWithFont(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor,
                             int flag) {
  FontRecord* record = GetFontRecord(font);
  if (record == nullptr) return -1;
  if (FontCacheInTextures(record) == 1) return G_D3D_DrawTextWithFont(x, y, text, color, font, edgeColor, flag);
  DirectDrawLayerState& layer = GetDirectDrawLayerState();
  if (layer.drawingDisabled != 0) return -1;
  FlushCurrentD3DVertexBatch();
  // The graph drawers' frame picks the destination: the mask surface while masking, else the target's view.
  DrawFrame frame;
  if (OpenDrawFrame(&frame) != 0) return -1;
  GraphicsDrawState& drawState = GetGraphicsDrawState();
  if (drawState.suspended != 0) return 0;
  int depth = QueryScreenBitDepth();
  bool throughWork = (FontOptionBits(record) & 2) != 0;
  if ((drawState.blendMode == 0 || depth == 8) && !throughWork) {
    const POINT& offset = frame.offset;
    RECT clip{frame.clip.left + offset.x, frame.clip.top + offset.y, frame.clip.right + offset.x,
              frame.clip.bottom + offset.y};
    const int left = SaturateToInt(int64_t(x) + offset.x), top = SaturateToInt(int64_t(y) + offset.y);
    int drawn = FontCacheStringDraw(1, left, top, text, color, frame.destination, nullptr, 0, &clip, depth, 1, font,
                                    edgeColor, -1, flag, nullptr);
    return drawn == -1 ? -1 : 0;
  }

  BuildFontCacheSurface(font);
  int work = FontWorkSurface(record);
  Surface2DRecord* view = GetSurface2DRecord(work);
  SurfaceDataRecord* data = view != nullptr ? GetSurfaceRecord(view->surfaceData) : nullptr;
  if (data == nullptr || data->surface == nullptr) return -1;
  bool keyed = drawState.blendMode == 1 || throughWork;
  const ColorFormat* screen = GetScreenColorFormat();
  if (keyed) {
    uint32_t key = ~(color + edgeColor + 100u);
    uint32_t packed = depth == 8 ? 0 : PackScreenColor((key >> 16) & 0xFF, (key >> 8) & 0xFF, key & 0xFF);
    data->transparentColor = packed & (screen->redMask | screen->greenMask | screen->blueMask);
  } else {
    data->transparentColor = 0;
  }
  SetSurfaceColorKey(view->surfaceData);
  int32_t size[2] = {0, 0};
  if (FontCacheStringDraw(0, 0, 0, text, color, nullptr, nullptr, 0, nullptr, depth, 1, font, edgeColor, -1, flag,
                          size) == -1)
    return -1;
  RECT area{0, 0, std::min<LONG>(size[0], layer.screenWidth), std::min<LONG>(size[1], layer.screenHeight)};
  if (area.right <= 0 || area.bottom <= 0) return 0;
  DDBLTFX effects;
  std::memset(&effects, 0, sizeof effects);
  effects.dwSize = sizeof effects;
  uint32_t stored = data->transparentColor;
  effects.dwFillColor = depth == 8 ? 0 : PackScreenColor((stored >> 16) & 0xFF, (stored >> 8) & 0xFF, stored & 0xFF);
  data->surface->Blt(&area, nullptr, nullptr, DDBLT_COLORFILL, &effects);
  if (FontCacheStringDraw(1, 0, 0, text, color, data->surface, data->alphaBuffer, data->alphaPitch, &area, depth, 1,
                          font, edgeColor, -1, flag, nullptr) == -1)
    return -1;
  RECT clip = drawState.clip;
  uint32_t brightness = drawState.brightnessWord;
  drawState.brightnessWord = 0xFFFFFFFFu;
  LONG left = std::max<LONG>(clip.left, x), top = std::max<LONG>(clip.top, y);
  LONG right = std::min<LONG>(clip.right, SaturateToInt(int64_t(x) + size[0]));
  LONG bottom = std::min<LONG>(clip.bottom, SaturateToInt(int64_t(y) + size[1]));
  if (right > left && bottom > top) {
    SetDrawClipRect(left, top, right, bottom);
    G_DDraw_DrawGraph(x, y, work, keyed ? 1 : 0);
  }
  SetDrawClipRect(clip.left, clip.top, clip.right, clip.bottom);
  drawState.brightnessWord = brightness;
  return 0;
}
