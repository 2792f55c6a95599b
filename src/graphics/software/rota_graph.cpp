// The software rotated drawer (G_DDraw_DrawRotaGraph), the four-corner drawer (G_DDraw_DrawModiGraph) and the
// triangle rasteriser's entry (G_DDraw_RasterTriangle), inside the drawing frame: validation, geometry, work copies,
// locks, then the shared pixel loops.
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

// What the drawers need of a graph: its first 2-D surface and that surface's data.
struct GraphSource {
  const Surface2DRecord* view = nullptr;
  SurfaceDataRecord* data = nullptr;
  bool plane = false;
  uint32_t width = 0, height = 0;  // the sampling bounds
};

// False for a graph without a live first 2-D surface and surface data.
bool LookUpGraph(GraphRecord* graph, GraphSource* s) {
  if (graph == nullptr || graph->partCount <= 0) return false;
  s->view = GetSurface2DRecord(graph->parts[0]);
  s->data = s->view != nullptr ? GetSurfaceRecord(s->view->surfaceData) : nullptr;
  if (s->data == nullptr || s->data->surface == nullptr) return false;
  s->plane = s->data->params.AlphaChFlag != 0 && s->data->alphaBuffer != nullptr;
  // Sampling stays inside both the graph and its first surface's view.
  s->width = graph->width < s->view->width ? graph->width : s->view->width;
  s->height = graph->height < s->view->height ? graph->height : s->view->height;
  return true;
}

// Opens the frame and looks the graph up; -1 when the drawer refuses (drawing off, no DirectDraw, bad graph).
int OpenForGraph(DrawFrame* f, GraphRecord* graph, GraphSource* s) {
  const DirectDrawLayerState& layer = GetDirectDrawLayerState();
  if (layer.drawingDisabled != 0 || layer.directDraw == nullptr) return -1;
  if (OpenDrawFrame(f) != 0) return -1;
  FlushCurrentD3DVertexBatch();
  return LookUpGraph(graph, s) ? 0 : -1;
}

RotaRect FromRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

// The loops' blend settings, nest and prepared context for a graph (s null: one colour) on the current screen.
void PrepareBlend(const GraphSource* s, int transparent, RotaNest* nest, RotaBlendContext* c) {
  const GraphicsDrawState& state = GetGraphicsDrawState();
  const DirectDrawLayerState& layer = GetDirectDrawLayerState();
  const RotaBlendSettings blend{state.blendMode, state.blendParam, state.brightnessWord, layer.blendLowPrecision != 0};
  uint32_t key = 0;
  if (s != nullptr && layer.screenDepth != 8) {
    const uint32_t colour = s->data->transparentColor;
    key = PackScreenColor((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
  }
  *nest = s != nullptr ? RotaChooseTexNest(layer.screenFormat, blend, s->plane, transparent)
                       : RotaChooseFillNest(layer.screenFormat, blend);
  RotaPrepareContext(c, layer.screenFormat, blend, key);
}

// The graph's texels from its texel 0, 0, and its alpha plane from the same texel (the plane covers the whole
// surface data, so the view's place in it comes first).
RotaTexView TexOf(const GraphSource& s, const uint8_t* src, int64_t srcPitch) {
  RotaTexView t;
  t.bits = src;
  t.pitch = srcPitch;
  t.width = s.width;
  t.height = s.height;
  if (s.plane) {
    t.plane = s.data->alphaBuffer + s.view->srcX + int64_t(s.view->srcY) * s.data->alphaPitch;
    t.planePitch = s.data->alphaPitch;
  }
  return t;
}

// Work copies and locks for a draw whose pixels stay inside box (draw coordinates); then the destination and
// background addressed by draw coordinates and the source from the graph's texel 0, 0.
struct LockedViews {
  RotaSurfaceView dst, bg;
  const uint8_t* src = nullptr;
  int64_t srcPitch = 0;
};

LockedViews CopyAndLock(DrawFrame* f, const GraphSource& s, const RotaRect& box, const DrawFrameTexts& texts) {
  const GraphicsDrawState& state = GetGraphicsDrawState();
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
  LockedViews v;
  v.dst = {f->dst + f->offset.x * bpp + f->offset.y * f->dstPitch, f->dstPitch};
  v.bg = f->backgroundCopied ? RotaSurfaceView{const_cast<uint8_t*>(f->bg), f->bgPitch} : v.dst;
  v.src = f->sourceCopied ? f->src : f->src + s.view->srcX * bpp + s.view->srcY * f->srcPitch;
  v.srcPitch = f->srcPitch;
  return v;
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
  const LockedViews v = CopyAndLock(&f, s, g.box, kRotaTexts);
  RotaNest nest;
  RotaBlendContext c;
  PrepareBlend(&s, transparent, &nest, &c);
  RotaScanPixels(g, nest, c, v.dst, v.bg, TexOf(s, v.src, v.srcPitch));
  CloseDrawFrame(&f);
  return 0;
}

int G_DDraw_DrawModiGraph(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GraphRecord* graph,
                          int transparent) {
  DrawFrame f;
  GraphSource s;
  if (OpenForGraph(&f, graph, &s) != 0) return -1;
  const int32_t xs[4] = {x1, x2, x3, x4}, ys[4] = {y1, y2, y3, y4};
  const RotaRect box = RotaQuadBox(xs, ys, FromRect(f.clip));
  if (box.right <= box.left || box.bottom <= box.top) return 0;
  const LockedViews v = CopyAndLock(&f, s, box, kModiTexts);
  TriangleVertex corners[4];
  RotaQuadVertices(xs, ys, graph->width, graph->height, corners);
  for (int first = 0; first < 2; ++first)
    G_DDraw_RasterTriangle(corners + first, graph, transparent, v.dst.bits, v.dst.pitch, v.src, v.srcPitch,
                           v.bg.bits, v.bg.pitch, 0);
  CloseDrawFrame(&f);
  return 0;
}

int G_DDraw_RasterTriangle(const TriangleVertex* v, GraphRecord* graph, int transparent, uint8_t* dst,
                           intptr_t dstPitch, const uint8_t* src, intptr_t srcPitch, const uint8_t* bg,
                           intptr_t bgPitch, uint32_t colour) {
  if (GetDirectDrawLayerState().directDraw == nullptr) return -1;
  const RotaRect clip = FromRect(DrawFrameClip());
  GraphSource s;
  if (graph != nullptr && !LookUpGraph(graph, &s)) return -1;
  RotaNest nest;
  RotaBlendContext c;
  PrepareBlend(graph != nullptr ? &s : nullptr, transparent, &nest, &c);
  const RotaTexView tex = graph != nullptr ? TexOf(s, src, srcPitch) : RotaTexView{};
  return RotaRasterTriangle(v, graph != nullptr ? &tex : nullptr, nest, c, {dst, dstPitch},
                            {const_cast<uint8_t*>(bg), bgPitch}, colour, clip);
}
