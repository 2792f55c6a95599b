// The software graph drawers: G_DDraw_DrawGraph (unscaled, with the hardware copy when no arithmetic is needed) and
// G_DDraw_DrawExtendGraph (scaled and mirrored, always through the loops), inside the drawing frame.
#include <algorithm>

#include "core/saturate.h"
#include "graphics/ddraw_layer.h"
#include "graphics/direct3d/d3d_services.h"
#include "graphics/draw_front.h"
#include "graphics/draw_state.h"
#include "graphics/software/backend_glue.h"
#include "graphics/software/draw_frame.h"
#include "graphics/software/graph_draw.h"
#include "graphics/surface_2d.h"
#include "graphics/surface_data.h"
#include "platform/directx/ddraw.h"

namespace {

const DrawFrameTexts kGraphTexts = {
    "転送先サーフェスのロックに失敗しました in G_DDraw_DrawGraph ",
    "転送元１サーフェスのロックに失敗しました in G_DDraw_DrawGraph ",
    "転送元２サーフェスのロックに失敗しました in G_DDraw_DrawGraph ",
};
const DrawFrameTexts kExtendTexts = {
    "転送先サーフェスのロックに失敗しました in G_DDraw_DrawExtendGraph ",
    "転送元サーフェス１のロックに失敗しました in G_DDraw_DrawExtendGraph ",
    "転送元サーフェス２のロックに失敗しました in G_DDraw_DrawExtendGraph ",
};

bool HasAlphaPlane(const SurfaceDataRecord& data) { return data.params.AlphaChFlag != 0 && data.alphaBuffer != nullptr; }

// The copy that needs no arithmetic. A keyed copy always goes through BltFast with the source's own key; only an
// unkeyed copy takes the GDI route when that was measured faster.
void HardwareCopy(const DrawFrame& f, const SurfaceDataRecord& data, int x, int y, RECT source, int transparent) {
  const bool gdi = GetDirectDrawLayerState().gdiCopyFaster == 1 && f.destinationInVideoMemory == 0 &&
                   !SourceInSystemMemory(data) && transparent == 0;
  if (gdi) G_DDraw_CopySurfaceRect(f.destination, data.surface, x + f.offset.x, y + f.offset.y, &source);
  else
    f.destination->BltFast(x + f.offset.x, y + f.offset.y, data.surface, &source,
                           transparent != 0 ? DDBLTFAST_SRCCOLORKEY : DDBLTFAST_NOCOLORKEY);
}

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace

int G_DDraw_DrawGraph(int x, int y, int surface2DHandle, int transparent) {
  DrawFrame f;
  if (OpenDrawFrame(&f) != 0) return -1;
  const Surface2DRecord* view = GetSurface2DRecord(surface2DHandle);
  SurfaceDataRecord* data = view != nullptr ? GetSurfaceRecord(view->surfaceData) : nullptr;
  if (data == nullptr || data->surface == nullptr) return -1;
  RECT rect{x, y, SaturateToInt(int64_t(x) + view->width), SaturateToInt(int64_t(y) + view->height)};
  ClipRectByRect(&rect, &f.clip);
  if (Empty(rect)) return 0;
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  // The source rectangle, absolute in the source surface.
  const RECT source{view->srcX + (rect.left - x), view->srcY + (rect.top - y), view->srcX + (rect.left - x) + w,
                    view->srcY + (rect.top - y) + h};
  x = rect.left;
  y = rect.top;
  const GraphicsDrawState& state = GetGraphicsDrawState();
  const bool plane = HasAlphaPlane(*data), bright = state.brightnessWord != 0xFFFFFFFF;
  if ((state.blendMode == 0 && !bright && !plane) || f.depth == 8) {
    HardwareCopy(f, *data, x, y, source, transparent);
    return 0;
  }
  const RECT target{x + f.offset.x, y + f.offset.y, x + f.offset.x + w, y + f.offset.y + h};
  // Each destination pixel is written once, after it is read: the loops read the destination itself. A work copy
  // would only spare reading slow video memory, and this platform's memory reads fast.
  // A graph drawn onto its own surface reads a copy of itself.
  if (!SourceInSystemMemory(*data) || data->surface == f.destination) CopySourceToWork(&f, data->surface, source);
  LockDrawFrame(&f, data->surface, DDLOCK_WAIT, DDLOCK_WAIT | DDLOCK_READONLY, kGraphTexts);
  const int bpp = f.depth / 8;
  blit::Job job;
  job.dst = f.dst + target.top * f.dstPitch + target.left * bpp;
  job.dstPitch = f.dstPitch;
  job.src = f.sourceCopied ? f.src : f.src + source.top * f.srcPitch + source.left * bpp;
  job.srcPitch = f.srcPitch;
  job.bg = f.backgroundCopied ? f.bg : job.dst;
  job.bgPitch = f.backgroundCopied ? f.bgPitch : f.dstPitch;
  if (plane) {
    job.alpha = data->alphaBuffer + source.top * data->alphaPitch + source.left;
    job.alphaPitch = data->alphaPitch;
  }
  job.w = w;
  job.h = h;
  const blit::Outcome out = blit::DrawUnscaled(job, DrawFrameSettings(f, transparent, data->transparentColor));
  CloseDrawFrame(&f);
  if (out == blit::Outcome::HardwareCopy) HardwareCopy(f, *data, x, y, source, transparent);
  return 0;
}

int G_DDraw_DrawExtendGraph(int x1, int y1, int x2, int y2, GraphRecord* graph, int transparent) {
  if (GetDirectDrawLayerState().drawingDisabled != 0) return -1;
  FlushCurrentD3DVertexBatch();
  DrawFrame f;
  if (OpenDrawFrame(&f) != 0) return -1;
  const bool mirrorX = x1 > x2, mirrorY = y1 > y2;
  if (mirrorX) std::swap(x1, x2);
  if (mirrorY) std::swap(y1, y2);
  const Surface2DRecord* view = graph != nullptr && graph->partCount > 0 ? GetSurface2DRecord(graph->parts[0]) : nullptr;
  SurfaceDataRecord* data = view != nullptr ? GetSurfaceRecord(view->surfaceData) : nullptr;
  if (data == nullptr || data->surface == nullptr) return -1;
  // Widths in 64 bits: corners 32,768 or more apart step correctly.
  const int64_t w = int64_t(x2) - x1, h = int64_t(y2) - y1;
  if (w == 0 || h == 0 || graph->width == 0 || graph->height == 0) return -1;
  if (w == graph->width && h == graph->height && !mirrorX && !mirrorY)
    return G_DDraw_DrawGraphRecord(x1, y1, graph, transparent);
  RECT rect{x1, y1, x2, y2};
  ClipRectByRect(&rect, &f.clip);
  if (Empty(rect)) return -1;
  blit::ScaledJob job;
  job.w = rect.right - rect.left;
  job.h = rect.bottom - rect.top;
  job.x = blit::MakeScaledAxis(w, graph->width, rect.left - int64_t(x1), job.w);
  job.y = blit::MakeScaledAxis(h, graph->height, rect.top - int64_t(y1), job.h);
  // The first source pixel read, and the rectangle of every source pixel the stepping reaches.
  const int64_t firstX = mirrorX ? view->srcX + graph->width - 1 - job.x.first : view->srcX + job.x.first;
  const int64_t firstY = mirrorY ? view->srcY + graph->height - 1 - job.y.first : view->srcY + job.y.first;
  const int64_t readLeft = mirrorX ? firstX - (job.x.count - 1) : firstX;
  const int64_t readTop = mirrorY ? firstY - (job.y.count - 1) : firstY;
  const RECT read{static_cast<LONG>(readLeft), static_cast<LONG>(readTop), static_cast<LONG>(readLeft + job.x.count),
                  static_cast<LONG>(readTop + job.y.count)};
  const bool plane = HasAlphaPlane(*data);
  const RECT target{rect.left + f.offset.x, rect.top + f.offset.y, rect.right + f.offset.x, rect.bottom + f.offset.y};
  if (!SourceInSystemMemory(*data) || data->surface == f.destination) CopySourceToWork(&f, data->surface, read);
  LockDrawFrame(&f, data->surface, DDLOCK_WAIT, DDLOCK_WAIT, kExtendTexts);
  const int bpp = f.depth / 8;
  job.dst = f.dst + target.top * f.dstPitch + target.left * bpp;
  job.dstPitch = f.dstPitch;
  job.bg = f.backgroundCopied ? f.bg : job.dst;
  job.bgPitch = f.backgroundCopied ? f.bgPitch : f.dstPitch;
  const int64_t srcX = f.sourceCopied ? firstX - readLeft : firstX, srcY = f.sourceCopied ? firstY - readTop : firstY;
  job.src = f.src + srcY * f.srcPitch + srcX * bpp;
  job.srcPitch = mirrorY ? -f.srcPitch : f.srcPitch;
  job.srcStepX = mirrorX ? -1 : 1;
  if (plane) {
    job.alpha = data->alphaBuffer + firstY * data->alphaPitch + firstX;
    job.alphaPitch = mirrorY ? -intptr_t(data->alphaPitch) : data->alphaPitch;
  }
  blit::DrawScaled(job, DrawFrameSettings(f, transparent, data->transparentColor));
  CloseDrawFrame(&f);
  return 0;
}
