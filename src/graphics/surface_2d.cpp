// The 2-D surface table: views into surface data records, and the transfer of pictures into them.
#include "graphics/surface_2d.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "graphics/color_format.h"
#include "graphics/ddraw_layer.h"
#include "graphics/dib_graph.h"
#include "graphics/draw_state.h"
#include "graphics/pixel_converter.h"
#include "graphics/surface_data.h"
#include "platform/directx/ddraw.h"
#include "platform/win32/gdi.h"

namespace {
Surface2DTable surface2DTable;

// Cuts a copy of a w x h block from (srcX, srcY) of a picture to (dstX, dstY) of a surface area so that both ends
// stay inside their bounds. False when nothing is left.
struct CopyBox {
  int64_t srcX, srcY, dstX, dstY, width, height;
};

bool ClipCopyBox(CopyBox& box, int srcWidth, int srcHeight, const RECT& dstArea) {
  auto cutStart = [](int64_t& src, int64_t& dst, int64_t& length, int64_t srcLow, int64_t dstLow) {
    int64_t cut = std::max(srcLow - src, dstLow - dst);
    if (cut > 0) {
      src += cut;
      dst += cut;
      length -= cut;
    }
  };
  cutStart(box.srcX, box.dstX, box.width, 0, dstArea.left);
  cutStart(box.srcY, box.dstY, box.height, 0, dstArea.top);
  box.width = std::min<int64_t>({box.width, srcWidth - box.srcX, dstArea.right - box.dstX});
  box.height = std::min<int64_t>({box.height, srcHeight - box.srcY, dstArea.bottom - box.dstY});
  return box.width > 0 && box.height > 0;
}

// After clipping every value of the box lies inside a 16-bit surface and its picture.
RECT SourceRect(const CopyBox& box) {
  return RECT{static_cast<LONG>(box.srcX), static_cast<LONG>(box.srcY), static_cast<LONG>(box.srcX + box.width),
              static_cast<LONG>(box.srcY + box.height)};
}

// Copies one channel of an alpha source into the alpha buffer rectangle through the converter.
void ConvertAlphaRows(SurfaceDataRecord* record, const GraphImage* source, const ColorFormat* sourceFormat,
                      const CopyBox& box) {
  ColorFormat alphaOnly;
  std::memset(&alphaOnly, 0, sizeof alphaOnly);
  SetColorFormatAlpha8(&alphaOnly);
  RECT srcRect = SourceRect(box);
  ConvertColorFormatRect(record->alphaBuffer, record->alphaPitch, &alphaOnly, source->pixels, source->pitch,
                         sourceFormat, nullptr, 0, nullptr, static_cast<int>(box.dstX), static_cast<int>(box.dstY),
                         &srcRect, 0, 0, 0, 0, 1);
}

int TransferThroughGdi(SurfaceDataRecord* record, HBITMAP bitmap, int fromBitmap, GraphImage* image,
                       const CopyBox& box) {
  HDC memoryDc = CreateCompatibleDC(nullptr);
  HDC surfaceDc = nullptr;
  if (record->surface->GetDC(&surfaceDc) != DD_OK) {
    DeleteDC(memoryDc);
    return -1;
  }
  HBITMAP made = nullptr;
  if (fromBitmap == 1) {
    made = nullptr;
  } else {
    BITMAPINFO info;
    void* bits = nullptr;
    int copied = CopyImageToDIB(image, &info, &bits, 0);
    if (copied == -1) ExitOnError("GraphImage を BMP に変換する処理が失敗しました");
    made = CreateDIBGraphFromImage(&info, bits, 0, nullptr);
    if (made == nullptr) ExitOnError("ＢＭＰデータからＢＭＰハンドルを作成する処理が失敗しました");
    if (copied == 1) MemFree(bits);
    bitmap = made;
  }
  HGDIOBJ previous = SelectObject(memoryDc, reinterpret_cast<HGDIOBJ>(bitmap));
  BitBlt(surfaceDc, static_cast<int>(box.dstX), static_cast<int>(box.dstY), static_cast<int>(box.width),
         static_cast<int>(box.height), memoryDc, static_cast<int>(box.srcX), static_cast<int>(box.srcY), SRCCOPY);
  record->surface->ReleaseDC(surfaceDc);
  SelectObject(memoryDc, previous);
  DeleteDC(memoryDc);
  if (made != nullptr) DeleteObject(reinterpret_cast<HGDIOBJ>(made));
  return 0;
}

// Size of a GDI bitmap and its bits, row pitch rounded up to four bytes.
struct BitmapView {
  int width = 0, height = 0, pitch = 0, bitsPerPixel = 0;
  const uint8_t* bits = nullptr;
};

BitmapView ReadBitmap(HBITMAP bitmap) {
  BitmapView view;
  BITMAP info{};
  if (bitmap == nullptr || GetObjectA(reinterpret_cast<HANDLE>(bitmap), sizeof info, &info) == 0) return view;
  view.width = info.bmWidth;
  view.height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  view.pitch = (info.bmWidthBytes + 3) & ~3;
  view.bitsPerPixel = info.bmBitsPixel;
  view.bits = static_cast<const uint8_t*>(info.bmBits);
  return view;
}
}  // namespace

Surface2DTable& GetSurface2DTable() { return surface2DTable; }

Surface2DRecord* GetSurface2DRecord(int handle) { return surface2DTable.Find(handle); }

int AddSurface2D(int width, int height, int partX, int partY, int ownerGraph, const Surface2DRecord* parentView,
                 int srcX, int srcY, const GraphCreateParams* params) {
  if (QueryDirectDrawObject() == nullptr) return AppLogWrite("ＶＯＭＡＫライブラリが初期化されていません\n");
  int slot = surface2DTable.FreeSlot();
  if (slot < 0) return AppLogWrite("２Ｄグラフィックの量が許容量を越えました\n");
  auto* view = static_cast<Surface2DRecord*>(MemAllocZeroed(sizeof(Surface2DRecord)));
  if (view == nullptr) return AppLogWrite("メモリの確保に失敗しました in AddSurface2D \n");
  int surfaceData;
  if (parentView == nullptr) {
    surfaceData = AddSurfaceRecord(1, width, height, GetGraphicsDrawState().transparentColor, params);
  } else {
    surfaceData = parentView->surfaceData;
    if (AddSurfaceRecordRef(surfaceData) < 0) surfaceData = -1;
  }
  if (surfaceData == -1) {
    MemFree(view);
    return AppLogWrite("メモリの確保に失敗しました in AddSurface2D \n");
  }
  view->partX = static_cast<uint16_t>(partX);
  view->partY = static_cast<uint16_t>(partY);
  view->srcX = static_cast<uint16_t>(srcX);
  view->srcY = static_cast<uint16_t>(srcY);
  view->width = static_cast<uint16_t>(width);
  view->height = static_cast<uint16_t>(height);
  view->ownerGraph = ownerGraph;
  view->surfaceData = surfaceData;
  return surface2DTable.Insert(slot, view);
}

int DeleteSurface2D(int handle) {
  int slot = surface2DTable.SlotOf(handle);
  if (slot < 0) return 0;
  Surface2DRecord* view = surface2DTable.slots[slot];
  if (ReleaseSurfaceRecordRef(view->surfaceData) == 0) DeleteSurfaceRecord(view->surfaceData);
  if (view->deletedFlag != nullptr) *view->deletedFlag = 1;
  MemFree(view);
  surface2DTable.Remove(slot);
  return 0;
}

int DeleteAllSurface2D() {
  if (QueryDirectDrawObject() == nullptr) return -1;
  for (int slot = 0; slot < surface2DTable.highWater; slot++) {
    Surface2DRecord* view = surface2DTable.slots[slot];
    if (view != nullptr) DeleteSurface2D(MakeHandle(Surface2DHandle, view->check, slot));
  }
  return 0;
}

int SetSurface2DDeletedFlagPointer(int handle, int32_t* flagPointer) {
  Surface2DRecord* view = GetSurface2DRecord(handle);
  if (view == nullptr) return 0;
  view->deletedFlag = flagPointer;
  if (flagPointer != nullptr) *flagPointer = 0;
  return 0;
}

int TransferImageToSurface2D(const ColorFormat* srcFormat, HBITMAP bitmap, HBITMAP alphaBitmap, int x, int y,
                             int handle, int fromBitmap, GraphImage* image, GraphImage* alphaImage) {
  Surface2DRecord* view = GetSurface2DRecord(handle);
  if (view == nullptr) return -1;
  RECT srcRect{x, y, x + view->width, y + view->height};
  return TransferImageToSurface2DRect(srcFormat, bitmap, alphaBitmap, &srcRect, view->srcX, view->srcY, handle,
                                      fromBitmap, image, alphaImage);
}

int TransferImageToSurface2DRect(const ColorFormat* srcFormat, HBITMAP bitmap, HBITMAP alphaBitmap,
                                 const RECT* srcRect, int dstX, int dstY, int handle, int fromBitmap,
                                 GraphImage* image, GraphImage* alphaImage) {
  if (GetGraphicsDrawState().suspended != 0) return 0;
  if (QueryDirectDrawObject() == nullptr) return -1;
  Surface2DRecord* view = GetSurface2DRecord(handle);
  if (view == nullptr) return -1;
  SurfaceDataRecord* record = GetSurfaceRecord(view->surfaceData);
  if (record == nullptr || record->surface == nullptr) return -1;

  // Both ends are cut to what exists: the picture (and its alpha picture) and the view inside the surface.
  BitmapView source = fromBitmap == 1 ? ReadBitmap(bitmap) : BitmapView{};
  int srcWidth = fromBitmap == 1 ? source.width : (image != nullptr ? image->width : 0);
  int srcHeight = fromBitmap == 1 ? source.height : (image != nullptr ? image->height : 0);
  if (fromBitmap == 0 && (image == nullptr || image->pixels == nullptr)) return -1;
  if (fromBitmap == 1 && source.bits == nullptr) return -1;
  CopyBox box{srcRect->left, srcRect->top, dstX, dstY, static_cast<int64_t>(srcRect->right) - srcRect->left,
              static_cast<int64_t>(srcRect->bottom) - srcRect->top};
  RECT area{view->srcX, view->srcY, std::min<int>(view->srcX + view->width, record->width),
            std::min<int>(view->srcY + view->height, record->height)};
  if (!ClipCopyBox(box, srcWidth, srcHeight, area)) {
    SetSurfaceColorKey(view->surfaceData);
    return 0;
  }

  if (QueryScreenBitDepth() == 8) {
    if (TransferThroughGdi(record, bitmap, fromBitmap, image, box) != 0) return -1;
    SetSurfaceColorKey(view->surfaceData);
    return 0;
  }

  RECT lockRect{static_cast<LONG>(box.dstX), static_cast<LONG>(box.dstY), static_cast<LONG>(box.dstX + box.width),
                static_cast<LONG>(box.dstY + box.height)};
  DDSURFACEDESC2 description;
  std::memset(&description, 0, sizeof description);
  description.dwSize = sizeof description;
  if (record->surface->Lock(&lockRect, &description, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) != DD_OK)
    ExitOnError("２Ｄサーフェスのロックに失敗しました");
  RECT boxRect = SourceRect(box);
  if (fromBitmap == 1) {
    ConvertColorFormatRect(description.lpSurface, description.lPitch, GetScreenColorFormat(), source.bits,
                           source.pitch, srcFormat, nullptr, 0, nullptr, 0, 0, &boxRect, 0, 0, 0,
                           GetConvertDitherFlag(), 0);
  } else {
    ConvertColorFormatRect(description.lpSurface, description.lPitch, GetScreenColorFormat(), image->pixels,
                           image->pitch, &image->format, nullptr, 0, nullptr, 0, 0, &boxRect, 0, 0, 0, 0, 0);
  }
  record->surface->Unlock(&lockRect);

  if (record->params.AlphaChFlag != 0 && record->alphaBuffer != nullptr) {
    BitmapView alpha = fromBitmap == 1 ? ReadBitmap(alphaBitmap) : BitmapView{};
    uint8_t* alphaRow = record->alphaBuffer + static_cast<size_t>(box.dstY) * record->alphaPitch + box.dstX;
    if (fromBitmap == 1 && alpha.bits != nullptr && alpha.bitsPerPixel == 24 && alpha.width >= box.srcX + box.width &&
        alpha.height >= box.srcY + box.height) {
      CopyChannelFrom24BitRows(alphaRow, record->alphaPitch,
                               alpha.bits + static_cast<size_t>(box.srcY) * alpha.pitch + box.srcX * 3, alpha.pitch,
                               static_cast<int>(box.width), static_cast<int>(box.height));
    } else if (fromBitmap == 0 && image->format.alphaWidth != 0) {
      ConvertAlphaRows(record, image, &image->format, box);
    } else if (fromBitmap == 0 && alphaImage != nullptr && alphaImage->pixels != nullptr &&
               alphaImage->width >= box.srcX + box.width && alphaImage->height >= box.srcY + box.height) {
      // The alpha picture's red channel is the alpha.
      ColorFormat redAsAlpha = alphaImage->format;
      redAsAlpha.alphaWidth = redAsAlpha.redWidth;
      redAsAlpha.alphaShift = redAsAlpha.redShift;
      redAsAlpha.alphaMask = redAsAlpha.redMask;
      ConvertAlphaRows(record, alphaImage, &redAsAlpha, box);
    } else {
      for (int row = 0; row < box.height; row++)
        std::memset(alphaRow + static_cast<size_t>(row) * record->alphaPitch, 255, static_cast<size_t>(box.width));
    }
  }
  SetSurfaceColorKey(view->surfaceData);
  return 0;
}

void CopyChannelFrom24BitRows(uint8_t* dst, int dstPitch, const uint8_t* src, int srcPitch, int width, int rows) {
  for (int row = 0; row < rows; row++) {
    const uint8_t* from = src + static_cast<ptrdiff_t>(row) * srcPitch;
    uint8_t* to = dst + static_cast<ptrdiff_t>(row) * dstPitch;
    for (int x = 0; x < width; x++) to[x] = from[x * 3];
  }
}
