// The Direct3D back-end's entries as the rest of the library calls them. This platform has no 3-D device, so each
// entry gives its answer for that case; the texture-format tables are defined.
#pragma once
#include <cstdint>

#include "graphics/color_format.h"
#include "graphics/graph_image.h"
#include "graphics/graph_manager.h"
#include "platform/directx/ddraw.h"
#include "platform/win32/types.h"

// A texture format the 3-D device offers: its DirectDraw pixel format and its ColorFormat.
struct TextureFormatRecord {
  DDPIXELFORMAT pixelFormat;
  ColorFormat colorFormat;
};
struct Surface3DData;

int G_D3D_DrawGraph(int x, int y, GraphRecord* graph, int transparent);
int G_D3D_DrawExtendGraph(int x1, int y1, int x2, int y2, GraphRecord* graph, int transparent);
int G_D3D_DrawRotaGraph(int x, int y, double scale, double angle, GraphRecord* graph, int transparent, int turn);
int G_D3D_DrawModiGraph(uint32_t x1, uint32_t y1, uint32_t x2, uint32_t y2, uint32_t x3, uint32_t y3, uint32_t x4,
                        uint32_t y4, GraphRecord* graph, int transparent);
int G_D3D_PaintGraph(GraphRecord* graph, int red, int green, int blue, int alpha);
int G_D3D_DrawFillBox(int x1, int y1, int x2, int y2, uint32_t color);
int G_D3D_DrawFrameBox(int x1, int y1, int x2, int y2, uint32_t color);
int G_D3D_DrawCircle(int x, int y, int radius, uint32_t color, int fill);
int G_D3D_DrawTextWithFont(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor, int flag);
int G_D3D_ApplyBlendMode(int mode, int parameter);
int G_D3D_ApplyClipRect(const RECT* clip);
int G_D3D_SelectDrawTarget(int target);
int G_D3D_SetBackfaceCulling(int flag);
void* GetCurrentD3DDeviceInterface();
int EndCurrentD3DScene();
int G_D3D_SetMaskDrawing(int on);
int StartDirect3DLayer();
int EndDirect3DLayer();
int G_D3D_DeleteAllGraphTextures();
int G_D3D_CreateGraphTextures(GraphRecord* graph);
int G_D3D_DeleteGraphTextures(GraphRecord* graph);
int G_D3D_DeriveGraphTextures(GraphRecord* graph, int x, int y, int width, int height, GraphRecord* parent);
int G_D3D_TransferImageToGraph(const ColorFormat* srcFormat, HBITMAP bitmap, HBITMAP alphaBitmap, int srcX, int srcY,
                               GraphRecord* graph, int fromBitmap, GraphImage* image, GraphImage* alphaImage);
int G_D3D_TransferImageRectToGraph(const ColorFormat* srcFormat, HBITMAP bitmap, HBITMAP alphaBitmap,
                                   const RECT* srcRect, int destX, int destY, GraphRecord* graph, int fromBitmap,
                                   GraphImage* image, GraphImage* alphaImage);
int G_D3D_RestoreGraphTextures(GraphRecord* graph);
int G_D3D_ClearDrawTarget();
int ReleaseDirect3DObject();
int AcquireDirect3DObject();
int FlushCurrentD3DVertexBatch();
Surface3DData* LookupSurface3DData(int handle);

// Texture formats: 0 16-bit, 1 32-bit; +2 with an alpha channel, +4 with an alpha test (graphs that are no
// draw target).
int GetTextureFormatIndex(const GraphCreateParams* params);
const TextureFormatRecord* GetTextureFormatRecord(int index);
const ColorFormat* GetTextureColorData(int index);
const TextureFormatRecord* SelectTextureFormatByFlags(int alphaChannel, int alphaTest, int bitDepth, int drawValid);
const DDPIXELFORMAT* GetZBufferPixelFormat(int depth);
