// The surface data table: records that own one DirectDraw surface each (with an optional Z buffer and an optional
// alpha buffer in memory), shared by reference count between the views of divided and derived graphs.
#include "graphics/surface_data.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "graphics/color_format.h"
#include "graphics/ddraw_layer.h"
#include "graphics/direct3d/d3d_services.h"
#include "platform/directx/ddraw.h"

namespace {
SurfaceDataTable surfaceDataTable;

void ClearDescription(DDSURFACEDESC2& description) {
  std::memset(&description, 0, sizeof description);
  description.dwSize = sizeof description;
}
}  // namespace

SurfaceDataTable& GetSurfaceDataTable() { return surfaceDataTable; }

SurfaceDataRecord* GetSurfaceRecord(int handle) { return surfaceDataTable.Find(handle); }

int AddSurfaceRecord(int initialRefCount, int width, int height, uint32_t transparentColor,
                     const GraphCreateParams* params) {
  if (surfaceDataTable.count >= kSurfaceDataTableSize)
    return AppLogWrite("サーフェスのデータ数が許容量を越えました。\n");
  int slot = surfaceDataTable.FreeSlot();
  if (slot < 0) return AppLogWrite("サーフェスのデータ数が許容量を越えました。\n");
  auto* record = static_cast<SurfaceDataRecord*>(MemAllocZeroed(sizeof(SurfaceDataRecord)));
  if (record == nullptr) return AppLogWrite("サーフェス用データを保存するメモリ領域の確保に失敗しました\n");
  record->params = *params;
  record->zBufferWanted = 0;
  record->width = static_cast<uint16_t>(width);
  record->height = static_cast<uint16_t>(height);
  record->refCount = initialRefCount;
  record->transparentColor = transparentColor;
  int handle = surfaceDataTable.Insert(slot, record);
  if (CreateSurfaceOfRecord(handle) != 0) {
    DeleteSurfaceRecord(handle);
    return -1;
  }
  SetSurfaceColorKey(handle);
  return handle;
}

int DeleteSurfaceRecord(int handle) {
  int slot = surfaceDataTable.SlotOf(handle);
  if (slot < 0) return -1;
  SurfaceDataRecord* record = surfaceDataTable.slots[slot];
  ReleaseSurfaceOfRecord(handle);
  if (record->deletedFlag != nullptr) *record->deletedFlag = 1;
  MemFree(record);
  surfaceDataTable.Remove(slot);
  return 0;
}

int AddSurfaceRecordRef(int handle) {
  SurfaceDataRecord* record = GetSurfaceRecord(handle);
  if (record == nullptr) return -1;
  return ++record->refCount;
}

int ReleaseSurfaceRecordRef(int handle) {
  SurfaceDataRecord* record = GetSurfaceRecord(handle);
  if (record == nullptr) return -1;
  return --record->refCount;
}

int CreateSurfaceOfRecord(int handle) {
  IDirectDraw7* directDraw = QueryDirectDrawObject();
  if (directDraw == nullptr) return -1;
  SurfaceDataRecord* record = GetSurfaceRecord(handle);
  if (record == nullptr) return -1;
  if (record->surface != nullptr) return 0;

  GraphCreateParams& params = record->params;
  DDSURFACEDESC2 description;
  ClearDescription(description);
  description.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  description.dwWidth = record->width;
  description.dwHeight = record->height;
  bool failed = false;
  if (params.texture == 1) {
    if (params.DrawValid == 1) {
      params.AlphaChFlag = 0;
      params.AlphaTestFlag = 0;
    }
    if (params.AlphaChFlag == 1) params.AlphaTestFlag = 0;
    record->textureFormat = GetTextureFormatIndex(&params);
    description.dwFlags |= DDSD_PIXELFORMAT | DDSD_TEXTURESTAGE;
    description.ddpfPixelFormat = GetTextureFormatRecord(record->textureFormat)->pixelFormat;
    description.dwTextureStage = 0;
    description.ddsCaps.dwCaps = DDSCAPS_TEXTURE | (params.DrawValid == 1 ? DDSCAPS_3DDEVICE : 0);
    description.ddsCaps.dwCaps2 = params.DrawValid == 0 ? DDSCAPS2_TEXTUREMANAGE : 0;
    if (directDraw->CreateSurface(&description, &record->surface, nullptr) != DD_OK) {
      record->surface = nullptr;
      AppLogWrite("テクスチャサーフェスの作成に失敗しました\n");
      AppLogWriteFormat("DrawValid:%d  AlphaChFlag%d  AlphaTestFlag:%d  ColorBitDepth:%d", params.DrawValid,
                        params.AlphaChFlag, params.AlphaTestFlag, params.ColorBitDepth);
      failed = true;
    }
  } else {
    int screenWidth = 0;
    QueryScreenSize(&screenWidth, nullptr);
    if (params.systemMemory == 1 || record->width > screenWidth || GetSoftwareScreenFlag() != 0)
      description.ddsCaps.dwCaps = DDSCAPS_SYSTEMMEMORY;
    else
      description.ddsCaps.dwCaps = DDSCAPS_VIDEOMEMORY | DDSCAPS_3DDEVICE;
    description.ddsCaps.dwCaps |= DDSCAPS_OFFSCREENPLAIN;
    if (directDraw->CreateSurface(&description, &record->surface, nullptr) != DD_OK) {
      record->surface = nullptr;
      description.ddsCaps.dwCaps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_OFFSCREENPLAIN;
      if (directDraw->CreateSurface(&description, &record->surface, nullptr) != DD_OK) {
        record->surface = nullptr;
        AppLogWrite("標準サーフェスの作成に失敗しました\n");
        failed = true;
      }
    }
    if (!failed) {
      DDSCAPS2 caps{};
      record->surface->GetCaps(&caps);
      params.systemMemory = (caps.dwCaps & DDSCAPS_VIDEOMEMORY) == 0 ? 1 : 0;
      params.DrawValid = 1;
      if (params.AlphaChFlag == 1) {
        record->alphaPitch = record->width;
        record->alphaBuffer = static_cast<uint8_t*>(MemAlloc(record->width * record->height));
        if (record->alphaBuffer == nullptr) {
          AppLogWrite("αチャンネル用メモリ領域の確保に失敗しました\n");
          failed = true;
        } else {
          std::memset(record->alphaBuffer, 0, static_cast<size_t>(record->width) * record->height);
        }
      }
    }
  }
  if (!failed) {
    CreateSurfaceZBuffer(handle, record->zBufferWanted);
    return 0;
  }
  if (record->alphaBuffer != nullptr) MemFree(record->alphaBuffer);
  record->alphaBuffer = nullptr;
  if (record->surface != nullptr) record->surface->Release();
  record->surface = nullptr;
  return -1;
}

int CreateSurfaceZBuffer(int handle, int want) {
  SurfaceDataRecord* record = GetSurfaceRecord(handle);
  if (record == nullptr) return -1;
  if (want == record->zBufferWanted && (record->zBuffer != nullptr) == (want != 0)) return 0;
  if (record->surface == nullptr || record->params.systemMemory == 1 || record->params.DrawValid == 0) return -1;
  if (want == 0) {
    // Nothing to detach when no Z buffer was ever made.
    if (record->zBuffer != nullptr) {
      record->surface->DeleteAttachedSurface(0, record->zBuffer);
      record->zBuffer->Release();
      record->zBuffer = nullptr;
    }
  } else {
    IDirectDraw7* directDraw = QueryDirectDrawObject();
    const DDPIXELFORMAT* zFormat = GetZBufferPixelFormat(16);
    if (directDraw == nullptr || zFormat == nullptr) return AppLogWrite("Ｚバッファの作成に失敗しました");
    DDSURFACEDESC2 description;
    ClearDescription(description);
    description.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    description.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY;
    description.dwWidth = record->width;
    description.dwHeight = record->height;
    description.ddpfPixelFormat = *zFormat;
    if (directDraw->CreateSurface(&description, &record->zBuffer, nullptr) != DD_OK) {
      record->zBuffer = nullptr;
      return AppLogWrite("Ｚバッファの作成に失敗しました");
    }
    record->surface->AddAttachedSurface(record->zBuffer);
  }
  record->zBufferWanted = want;
  return 0;
}

int ReleaseSurfaceOfRecord(int handle) {
  SurfaceDataRecord* record = GetSurfaceRecord(handle);
  if (record == nullptr) return -1;
  if (record->alphaBuffer != nullptr) MemFree(record->alphaBuffer);
  record->alphaBuffer = nullptr;
  if (record->zBuffer != nullptr) {
    if (record->surface != nullptr) record->surface->DeleteAttachedSurface(0, record->zBuffer);
    record->zBuffer->Release();
    record->zBuffer = nullptr;
  }
  if (record->surface != nullptr) {
    // A surface that goes away while locked leaves no lock behind.
    if (record->lockNesting > 0) record->surface->Unlock(nullptr);
    record->surface->Release();
    record->surface = nullptr;
  }
  record->lockNesting = 0;
  record->lockedPixels = nullptr;
  return 0;
}

int SetSurfaceColorKey(int handle) {
  SurfaceDataRecord* record = GetSurfaceRecord(handle);
  if (record == nullptr || record->surface == nullptr) return -1;
  int red = (record->transparentColor >> 16) & 0xFF;
  int green = (record->transparentColor >> 8) & 0xFF;
  int blue = record->transparentColor & 0xFF;
  DDCOLORKEY key;
  bool texture = record->params.texture == 1;
  if (texture)
    key.dwColorSpaceLowValue = PackColorForFormat(GetTextureColorData(record->textureFormat), red, green, blue, 255);
  else if (record->params.ColorBitDepth == 8)
    key.dwColorSpaceLowValue = 0;
  else
    key.dwColorSpaceLowValue = PackScreenColor(red, green, blue);
  key.dwColorSpaceHighValue = key.dwColorSpaceLowValue;
  if (record->surface->SetColorKey(DDCKEY_SRCBLT, &key) != DD_OK)
    return AppLogWrite(texture ? "テクスチャサーフェスのカラーキーの設定に失敗しました\n"
                               : "標準サーフェスのカラーキーの設定に失敗しました\n");
  return 0;
}

int RestoreSurfaceOfRecord(int handle) {
  SurfaceDataRecord* record = GetSurfaceRecord(handle);
  if (record == nullptr) return -1;
  if (record->surface == nullptr) return 0;
  if (record->surface->IsLost() != DDERR_SURFACELOST) return 0;
  record->surface->Restore();
  return -1;
}

int LockSurfaceRecord(int handle, int32_t* pitchOut, void** pixelsOut, int writeOnly, RECT* rect) {
  SurfaceDataRecord* record = GetSurfaceRecord(handle);
  if (record == nullptr || record->surface == nullptr) return -1;
  if (record->lockNesting != 0) {
    if (pitchOut != nullptr && pixelsOut != nullptr) {
      *pitchOut = record->lockedPitch;
      *pixelsOut = record->lockedPixels;
    }
    record->lockNesting++;
    return -2;
  }
  DDSURFACEDESC2 description;
  ClearDescription(description);
  DWORD flags = DDLOCK_WAIT | (writeOnly == 1 ? DDLOCK_WRITEONLY : 0);
  if (record->surface->Lock(rect, &description, flags, nullptr) != DD_OK)
    return AppLogWrite("グラフィックのロックに失敗しました");
  record->lockedPitch = description.lPitch;
  record->lockedPixels = description.lpSurface;
  if (pitchOut != nullptr && pixelsOut != nullptr) {
    *pitchOut = record->lockedPitch;
    *pixelsOut = record->lockedPixels;
  }
  record->lockNesting = 1;
  return 0;
}

int UnlockSurfaceRecord(int handle, RECT* rect) {
  SurfaceDataRecord* record = GetSurfaceRecord(handle);
  if (record == nullptr || record->lockNesting <= 0) return -1;
  if (--record->lockNesting == 0 && record->surface != nullptr) record->surface->Unlock(rect);
  return 0;
}

int FillSurfaceRecord(int handle, int red, int green, int blue, int alpha) {
  return FillSurfaceRecordRect(handle, nullptr, red, green, blue, alpha);
}

int FillSurfaceRecordRect(int handle, const RECT* rect, int red, int green, int blue, int alpha) {
  if (QueryDirectDrawObject() == nullptr) return -1;
  SurfaceDataRecord* record = GetSurfaceRecord(handle);
  if (record == nullptr || record->surface == nullptr) return -1;
  RECT area{0, 0, record->width, record->height};
  if (rect != nullptr) {
    area.left = std::clamp<LONG>(rect->left, 0, record->width);
    area.top = std::clamp<LONG>(rect->top, 0, record->height);
    area.right = std::clamp<LONG>(rect->right, area.left, record->width);
    area.bottom = std::clamp<LONG>(rect->bottom, area.top, record->height);
    if (area.right == area.left || area.bottom == area.top) return 0;
  }
  const ColorFormat* format =
      record->params.texture == 1 ? GetTextureColorData(record->textureFormat) : GetScreenColorFormat();
  DDBLTFX effects;
  std::memset(&effects, 0, sizeof effects);
  effects.dwSize = sizeof effects;
  effects.dwFillColor = PackColorForFormat(format, red, green, blue, alpha);
  record->surface->Blt(rect != nullptr ? &area : nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &effects);
  // The alpha plane takes the fill too, so the whole pixel has the requested colour.
  if (record->alphaBuffer != nullptr)
    for (LONG y = area.top; y < area.bottom; y++)
      std::memset(record->alphaBuffer + static_cast<size_t>(y) * record->alphaPitch + area.left, alpha & 0xFF,
                  static_cast<size_t>(area.right - area.left));
  return 0;
}

int ReleaseAllSurfaceData() {
  for (int slot = 0; slot < surfaceDataTable.highWater; slot++) {
    SurfaceDataRecord* record = surfaceDataTable.slots[slot];
    if (record != nullptr) DeleteSurfaceRecord(MakeHandle(SurfaceDataHandle, record->check, slot));
  }
  surfaceDataTable.highWater = 0;
  return 0;
}
