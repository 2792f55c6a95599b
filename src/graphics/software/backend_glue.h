// The software back-end outside the graph drawers: graph surfaces, the draw-target switch, clearing, text through
// a work surface, surface copies, presenting the frame, vertical-blank waits and the count of presented frames.
#pragma once
#include "vomak.h"
#include <cstdint>

#include "graphics/graph_image.h"
#include "graphics/graph_manager.h"
#include "graphics/surface_2d.h"
#include "platform/win32/types.h"

class IDirectDrawSurface7;
struct MovieEntry;

Surface2DRecord* G_DDraw_GetSurface2DRecord(int surface2DHandle);
int G_DDraw_DeleteAllGraphSurfaces();
int G_DDraw_CreateGraphSurface(GraphRecord* graph);
int G_DDraw_DeriveGraphSurface(GraphRecord* graph, int srcX, int srcY, int width, int height, GraphRecord* parent);
int G_DDraw_DeleteGraphSurfaces(GraphRecord* graph);
int G_DDraw_TransferImageToGraph(const ColorFormat* srcFormat, HBITMAP bitmap, HBITMAP alphaBitmap, int x, int y,
                                 GraphRecord* graph, int fromBitmap, GraphImage* image, GraphImage* alphaImage);
int G_DDraw_TransferImageRectToGraph(const ColorFormat* srcFormat, HBITMAP bitmap, HBITMAP alphaBitmap,
                                     const RECT* srcRect, int destX, int destY, GraphRecord* graph, int fromBitmap,
                                     GraphImage* image, GraphImage* alphaImage);
int G_DDraw_RestoreGraphSurfaces(GraphRecord* graph);
// Copies the movie's current frame into the graph, converting it into the graph's format.
int G_DDraw_TransferMovieFrameToGraph(MovieEntry* movie, GraphRecord* graph);
int G_DDraw_ApplyBlendMode(int mode, int parameter);
int G_DDraw_ApplyClipRect(const RECT* clip);
int G_DDraw_SetMaskDrawing(int on);
int G_DDraw_SetBackfaceCulling(int flag);
int G_DDraw_DrawGraphRecord(int x, int y, GraphRecord* graph, int transparent);
int G_DDraw_PaintGraph(GraphRecord* graph, int red, int green, int blue, int alpha);
int G_DDraw_MaskSaveBeforeDraw(int left, int top, int right, int bottom);
int G_DDraw_MaskApplyAfterDraw(int left, int top, int right, int bottom);
int G_DDraw_CopySurfaceRect(IDirectDrawSurface7* destination, IDirectDrawSurface7* source, int x, int y,
                            RECT* sourceRect);
int G_DDraw_ResetFlipCount();
int G_DDraw_CountFlip();
uint64_t G_DDraw_GetFlipCount();
int G_DDraw_SelectDrawTarget(int target);
int G_DDraw_ClearDrawTarget();
int G_DDraw_DrawTextWithFont(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor,
                             int flag);
int G_DDraw_WaitVerticalBlank(int count);
int G_DDraw_WaitFrameInterval();
int G_DDraw_CopyBackToFront();

// The unscaled graph drawer, which draws one 2-D surface.
int G_DDraw_DrawGraph(int x, int y, int surface2DHandle, int transparent);
