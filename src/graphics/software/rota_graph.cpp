// The software rotated drawer (G_DDraw_DrawRotaGraph) and the four-corner drawer (G_DDraw_DrawModiGraph), inside
// the drawing frame: validation, geometry, work copies, locks, then the shared pixel loops.
#include "graphics/ddraw_layer.h"
#include "graphics/direct3d/d3d_services.h"
#include "graphics/draw_state.h"
#include "graphics/software/draw_frame.h"
#include "graphics/software/graph_draw.h"
#include "graphics/software/rota_draw.h"
#include "graphics/software/triangle_raster.h"
#include "graphics/surface_2d.h"
#include "graphics/surface_data.h"
#include "platform/directx/ddraw.h"

namespace {

const DrawFrameTexts kRotaTexts = {
    "転送先サーフェスのロックに失敗しました in G_DDraw_DrawRotaGraph ",
    "転送元サーフェス１のロックに失敗しました in G_DDraw_DrawRotaGraph ",
    "転送元サーフェス２のロックに失敗しました in G_DDraw_DrawPloly ",
};
const DrawFrameTexts kModiTexts = {
    "転送先サーフェスのロックに失敗しました in G_DDraw_DrawModiGraph ",
    "転送元サーフェス１のロックに失敗しました in G_DDraw_DrawModiGraph ",
    "転送元サーフェス２のロックに失敗しました in G_DDraw_DrawModiGraph ",
};

// What both drawers need of the graph: its first 2-D surface and that surface's data.
struct GraphSource {
  const Surface2DRecord* view = nullptr;
  SurfaceDataRecord* data = nullptr;
  bool plane = false;
  uint32_t width = 0, height = 0;  // the sampling bounds
};

// Opens the frame and looks the graph up; -1 when the drawer refuses (drawing off, no DirectDraw, bad graph).
int OpenForGraph(DrawFrame* f, GraphRecord* graph, GraphSource* s) {
  const DirectDrawLayerState& layer = GetDirectDrawLayerState();
  if (layer.drawingDisabled != 0 || layer.directDraw == nullptr) return -1;
  if (OpenDrawFrame(f) != 0) return -1;
  FlushCurrentD3DVertexBatch();
  if (graph == nullptr || graph->partCount <= 0) return -1;
  s->view = GetSurface2DRecord(graph->parts[0]);
  s->data = s->view != nullptr ? GetSurfaceRecord(s->view->surfaceData) : nullptr;
  if (s->data == nullptr || s->data->surface == nullptr) return -1;
  s->plane = s->data->params.AlphaChFlag != 0 && s->data->alphaBuffer != nullptr;
  // Sampling stays inside both the graph and its first surface's view.
  s->width = graph->width < s->view->width ? graph->width : s->view->width;
  s->height = graph->height < s->view->height ? graph->height : s->view->height;
  return 0;
}

RotaRect FromRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

// Work copies and locks for a draw whose pixels stay inside box (draw coordinates), then the views the loops read:
// destination and background addressed by draw coordinates, the texture from the graph's texel 0, 0.
struct LockedViews {
  RotaSurfaceView dst, bg;
  RotaTexView tex;
  RotaNest nest;
  RotaBlendContext c;
};

void CopyAndLock(DrawFrame* f, const GraphSource& s, const RotaRect& box, int transparent,
                 const DrawFrameTexts& texts, LockedViews* v) {
  const GraphicsDrawState& state = GetGraphicsDrawState();
  const DirectDrawLayerState& layer = GetDirectDrawLayerState();
  if (state.blendMode != 0 && f->depth != 8 && (f->destinationInVideoMemory != 0 || s.plane)) {
    const RECT target{box.left + f->offset.x, box.top + f->offset.y, box.right + f->offset.x,
                      box.bottom + f->offset.y};
    CopyBackgroundToWork(f, target, box.left, box.top);
  }
  const RECT source{s.view->srcX, s.view->srcY, s.view->srcX + s.view->width, s.view->srcY + s.view->height};
  // A graph drawn onto its own surface reads a copy of itself.
  if (!SourceInSystemMemory(*s.data) || s.data->surface == f->destination) CopySourceToWork(f, s.data->surface, source);
  // The destination is read as the background whenever no copy was made, so it is locked for reading too.
  LockDrawFrame(f, s.data->surface, DDLOCK_WAIT | (f->backgroundCopied ? DDLOCK_WRITEONLY : 0),
                DDLOCK_WAIT | DDLOCK_READONLY, texts);
  const int64_t bpp = f->depth / 8;
  v->dst = {f->dst + f->offset.x * bpp + f->offset.y * f->dstPitch, f->dstPitch};
  v->bg = f->backgroundCopied ? RotaSurfaceView{const_cast<uint8_t*>(f->bg), f->bgPitch} : v->dst;
  v->tex.bits = f->sourceCopied ? f->src : f->src + s.view->srcX * bpp + s.view->srcY * f->srcPitch;
  v->tex.pitch = f->srcPitch;
  v->tex.width = s.width;
  v->tex.height = s.height;
  if (s.plane) {
    // The plane covers the whole surface data: the view's own place in it comes first.
    v->tex.plane = s.data->alphaBuffer + s.view->srcX + int64_t(s.view->srcY) * s.data->alphaPitch;
    v->tex.planePitch = s.data->alphaPitch;
  }
  RotaBlendSettings blend{state.blendMode, state.blendParam, state.brightnessWord, layer.blendLowPrecision != 0};
  uint32_t key = 0;
  const uint32_t colour = s.data->transparentColor;
  if (f->depth != 8) key = PackScreenColor((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
  v->nest = RotaChooseTexNest(*f->screen, blend, s.plane, transparent);
  RotaPrepareContext(&v->c, *f->screen, blend, key);
}

}  // namespace

int G_DDraw_DrawRotaGraph(int x, int y, double scale, double angle, GraphRecord* graph, int transparent, int turn) {
  DrawFrame f;
  GraphSource s;
  if (OpenForGraph(&f, graph, &s) != 0) return -1;
  RotaGeometry g;
  RotaComputeGeometry(x, y, scale, angle, s.width, s.height, turn != 0, FromRect(f.clip), &g);
  if (g.plan == RotaPlan::Turn)
    return G_DDraw_DrawModiGraph(g.modiX[0], g.modiY[0], g.modiX[1], g.modiY[1], g.modiX[2], g.modiY[2], g.modiX[3],
                                 g.modiY[3], graph, transparent);
  if (g.plan != RotaPlan::Scan) return 0;
  LockedViews v;
  CopyAndLock(&f, s, g.box, transparent, kRotaTexts, &v);
  RotaScanPixels(g, v.nest, v.c, v.dst, v.bg, v.tex);
  CloseDrawFrame(&f);
  return 0;
}

int G_DDraw_DrawModiGraph(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GraphRecord* graph,
                          int transparent) {
  DrawFrame f;
  GraphSource s;
  if (OpenForGraph(&f, graph, &s) != 0) return -1;
  const int32_t xs[4] = {x1, x2, x3, x4}, ys[4] = {y1, y2, y3, y4};
  const RotaRect clip = FromRect(f.clip);
  const RotaRect box = RotaQuadBox(xs, ys, clip);
  if (box.right <= box.left || box.bottom <= box.top) return 0;
  LockedViews v;
  CopyAndLock(&f, s, box, transparent, kModiTexts, &v);
  RotaRasterQuad(xs, ys, v.tex, v.nest, v.c, v.dst, v.bg, clip);
  CloseDrawFrame(&f);
  return 0;
}
