// The software back-end's drawers: unscaled and scaled graphs, and the primitives.
#pragma once
#include <cstdint>

#include "graphics/graph_manager.h"

// Draws one 2-D surface unscaled at (x, y) (before the draw offset); 0 also when nothing was drawn, -1 when drawing
// is off, there is no DirectDraw object or the handle is bad.
int G_DDraw_DrawGraph(int x, int y, int surface2DHandle, int transparent);
// Draws the whole graph into (x1, y1)-(x2, y2), mirrored on each axis whose corners come in reverse order; -1 also
// for a zero-sized or fully clipped rectangle.
int G_DDraw_DrawExtendGraph(int x1, int y1, int x2, int y2, GraphRecord* graph, int transparent);

// Primitives with the current blend mode, parameter and brightness inside the clip rectangle (pixel rules in
// primitive_shapes.h); -1 when drawing is off or there is no DirectDraw object, else 0.
int G_DDraw_DrawFillBox(int x1, int y1, int x2, int y2, uint32_t color);
int G_DDraw_DrawFrameBox(int x1, int y1, int x2, int y2, uint32_t color);
int G_DDraw_DrawCircle(int x, int y, int radius, uint32_t color, int fill);

// The rotated and four-corner drawers (the rotated drawing subsystem builds the first two).
int G_DDraw_DrawRotaGraph(int x, int y, double scale, double angle, GraphRecord* graph, int transparent, int turn);
int G_DDraw_DrawModiGraph(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GraphRecord* graph,
                          int transparent);
// Corners as floats in the order top-left, top-right, bottom-left, bottom-right: each truncated toward zero (clamped
// into the int range; a non-finite corner draws nothing and answers 0), then G_DDraw_DrawModiGraph.
int G_DDraw_DrawModiGraphFloat(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                               GraphRecord* graph, int transparent);
