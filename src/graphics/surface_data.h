// The surface data table: every pixel store of a graph is one DirectDraw surface owned by one reference-counted
// record here.
#pragma once
#include <cstdint>

#include "graphics/graph_manager.h"
#include "graphics/handle_kind.h"
#include "platform/win32/types.h"

class IDirectDrawSurface7;

constexpr int kSurfaceDataTableSize = 65535;

struct SurfaceDataRecord {
  uint32_t check;
  int32_t* deletedFlag;
  GraphCreateParams params;     // byte 3 becomes 1 when a standard surface lies in system memory
  int32_t textureFormat;
  int32_t zBufferWanted;
  IDirectDrawSurface7* surface; // null while released
  IDirectDrawSurface7* zBuffer;
  uint8_t* alphaBuffer;         // one byte per pixel for a standard surface with an alpha channel
  int32_t alphaPitch;
  uint32_t transparentColor;    // 0x00RRGGBB
  uint16_t width, height;
  int32_t refCount;
  int32_t lockedPitch;
  void* lockedPixels;
  int32_t lockNesting;
};

using SurfaceDataTable = HandleTable<SurfaceDataRecord, kSurfaceDataTableSize, SurfaceDataHandle>;
SurfaceDataTable& GetSurfaceDataTable();

int AddSurfaceRecord(int initialRefCount, int width, int height, uint32_t transparentColor,
                     const GraphCreateParams* params);
int DeleteSurfaceRecord(int handle);
int AddSurfaceRecordRef(int handle);
int ReleaseSurfaceRecordRef(int handle);
SurfaceDataRecord* GetSurfaceRecord(int handle);
int CreateSurfaceOfRecord(int handle);
int CreateSurfaceZBuffer(int handle, int want);
int ReleaseSurfaceOfRecord(int handle);
int SetSurfaceColorKey(int handle);
int RestoreSurfaceOfRecord(int handle);
// 0 on the outermost lock, -2 when already locked (stored pitch and pixels returned), -1 on failure.
int LockSurfaceRecord(int handle, int32_t* pitchOut, void** pixelsOut, int writeOnly, RECT* rect);
int UnlockSurfaceRecord(int handle, RECT* rect);
int FillSurfaceRecord(int handle, int red, int green, int blue, int alpha);
// The same fill limited to a rectangle of the surface (null: the whole surface).
int FillSurfaceRecordRect(int handle, const RECT* rect, int red, int green, int blue, int alpha);
int ReleaseAllSurfaceData();
