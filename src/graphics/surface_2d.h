// The 2-D surface table: a graph's view (position and size) into a surface data record.
#pragma once
#include <cstdint>

#include "graphics/graph_image.h"
#include "graphics/graph_manager.h"
#include "graphics/handle_kind.h"
#include "platform/win32/types.h"

constexpr int kSurface2DTableSize = 30000;

struct Surface2DRecord {
  uint32_t check;
  int32_t* deletedFlag;
  uint16_t partX, partY;  // the view's place inside its graph
  uint16_t srcX, srcY;    // the view's top-left corner inside the surface data record's surface
  uint16_t width, height;
  int32_t ownerGraph;     // GraphHandle, -1 for a view made for the font cache
  int32_t surfaceData;    // SurfaceDataHandle
};

using Surface2DTable = HandleTable<Surface2DRecord, kSurface2DTableSize, Surface2DHandle>;
Surface2DTable& GetSurface2DTable();

Surface2DRecord* GetSurface2DRecord(int handle);
int AddSurface2D(int width, int height, int partX, int partY, int ownerGraph, const Surface2DRecord* parentView,
                 int srcX, int srcY, const GraphCreateParams* params);
int DeleteSurface2D(int handle);
int DeleteAllSurface2D();
int SetSurface2DDeletedFlagPointer(int handle, int32_t* flagPointer);
int TransferImageToSurface2D(const ColorFormat* srcFormat, HBITMAP bitmap, HBITMAP alphaBitmap, int x, int y,
                             int handle, int fromBitmap, GraphImage* image, GraphImage* alphaImage);
int TransferImageToSurface2DRect(const ColorFormat* srcFormat, HBITMAP bitmap, HBITMAP alphaBitmap,
                                 const RECT* srcRect, int dstX, int dstY, int handle, int fromBitmap,
                                 GraphImage* image, GraphImage* alphaImage);
void CopyChannelFrom24BitRows(uint8_t* dst, int dstPitch, const uint8_t* src, int srcPitch, int width, int rows);
