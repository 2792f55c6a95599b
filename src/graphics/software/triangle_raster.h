// The textured (or one-colour) triangle rasteriser on plain surface views: set-up in 14.18 fixed point, clipping,
// the row walk and the dispatch to one blend nest. The caller has locked everything it reads and writes.
#pragma once
#include <cstdint>

#include "graphics/software/rota_blend.h"
#include "graphics/software/rota_draw.h"
#include "graphics/software/rota_span.h"

struct TriangleVertex {
  int32_t x, y;  // destination, whole pixels
  int32_t u, v;  // texel position in the graph
};

// Vertices beyond this distance from the origin would leave the 14.18 range.
constexpr int32_t kTriangleCoordLimit = 8191;

// Draws the triangle of the three vertices at v. tex null: a one-colour triangle of colour (fill nest).
// Returns -1 for a triangle it refuses (no area, a vertex out of range), else 0.
int RotaRasterTriangle(const TriangleVertex* v, const RotaTexView* tex, const RotaNest& nest,
                       const RotaBlendContext& c, RotaSurfaceView dst, RotaSurfaceView bg, uint32_t colour,
                       const RotaRect& clip);

// The rectangle a four-corner draw can touch (corners top-left, top-right, bottom-left, bottom-right), clipped;
// right <= left or bottom <= top when nothing can be drawn.
RotaRect RotaQuadBox(const int32_t* x, const int32_t* y, const RotaRect& clip);

// The four vertices that put a width x height picture on the corners top-left, top-right, bottom-left,
// bottom-right: (x1, y1, 0, 0), (x2, y2, w, 0), (x3, y3, 0, h), (x4, y4, w, h); the picture is the two triangles
// of vertices 0, 1, 2 and 1, 2, 3.
void RotaQuadVertices(const int32_t* x, const int32_t* y, int32_t width, int32_t height, TriangleVertex* out);

struct GraphRecord;

// The rasteriser as the four-corner drawer calls it, on surfaces it has locked: the draw frame's clip, blend mode,
// parameter, brightness and precision, the screen's depth and format; graph null for a one-colour triangle.
// dst and bg are addressed by draw coordinates, src from the graph's texel 0, 0. -1 without a DirectDraw object,
// for a graph whose first 2-D surface (or its surface data) is gone, and for a refused triangle; else 0.
int G_DDraw_RasterTriangle(const TriangleVertex* v, GraphRecord* graph, int transparent, uint8_t* dst,
                           intptr_t dstPitch, const uint8_t* src, intptr_t srcPitch, const uint8_t* bg,
                           intptr_t bgPitch, uint32_t colour);
