// The window shape from a picture: runs of non-zero pixels, row by row, added to a region that starts empty.
#include "core/window_shape.h"

#include <cstdint>

#include "core/system_state.h"
#include "core/win32_calls.h"
#include "graphics/ddraw_layer.h"
#include "graphics/dib_graph.h"
#include "platform/win32/region.h"

namespace {

bool AddRectangle(HRGN region, int left, int top, int right, int bottom) {
  HRGN rectangle = CreateRectRgn(left, top, right, bottom);
  if (!rectangle) return false;
  CombineRgn(region, region, rectangle, RGN_OR);
  DeleteObject(rectangle);
  return true;
}

bool PixelIsZero(const uint8_t* pixel, int bytesPerPixel) {
  for (int i = 0; i < bytesPerPixel; ++i) {
    if (pixel[i] != 0) return false;
  }
  return true;
}

}  // namespace

HRGN BuildRegionFromPixels(int width, int height, const void* pixels, int rowBytes, int bytesPerPixel) {
  int screenWidth = 640, screenHeight = 480;
  QueryScreenSize(&screenWidth, &screenHeight);
  HRGN region = CreateRectRgn(0, 0, screenWidth, screenHeight);
  HRGN same = CreateRectRgn(0, 0, screenWidth, screenHeight);
  if (!region || !same) {
    if (region) DeleteObject(region);
    if (same) DeleteObject(same);
    return nullptr;
  }
  CombineRgn(region, region, same, RGN_XOR);
  DeleteObject(same);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = static_cast<const uint8_t*>(pixels) + static_cast<ptrdiff_t>(y) * rowBytes;
    int runStart = -1;
    for (int x = 0; x <= width; ++x) {
      bool inside = x < width && !PixelIsZero(row + static_cast<ptrdiff_t>(x) * bytesPerPixel, bytesPerPixel);
      if (inside && runStart < 0) runStart = x;
      if (!inside && runStart >= 0) {
        if (!AddRectangle(region, runStart, y, x, y + 1)) {
          DeleteObject(region);
          return nullptr;
        }
        runStart = -1;
      }
    }
  }
  return region;
}

int SetWindowShapeFromBitmap(const char* name) {
  LibrarySystemState& s = SystemState;
  if (name == nullptr) {
    if (s.windowShapeRegion != nullptr) {
      DeleteObject(static_cast<HGDIOBJ>(s.windowShapeRegion));
      s.windowShapeRegion = nullptr;
    }
    return 0;
  }
  HBITMAP picture = CreateDIBGraphSimple(name, 0, nullptr);
  if (picture == nullptr) return -1;
  BITMAP description{};
  GetObjectA(picture, sizeof description, &description);
  const int rowBytes = (description.bmWidthBytes + 3) / 4 * 4;
  const int bytesPerPixel = description.bmBitsPixel / 8;
  // Pictures below 8 bits per pixel have no whole bytes to test (the loader makes 24-bit sections anyway).
  HRGN region = (bytesPerPixel >= 1 && bytesPerPixel <= 4)
                    ? BuildRegionFromPixels(description.bmWidth, description.bmHeight, description.bmBits, rowBytes,
                                            bytesPerPixel)
                    : nullptr;
  // The picture served only to build the region.
  DeleteObject(picture);
  if (region == nullptr) return -1;
  if (s.windowShapeRegion != nullptr) DeleteObject(static_cast<HGDIOBJ>(s.windowShapeRegion));
  s.windowShapeRegion = region;
  // The window keeps a copy of the region; the handle stays ours to delete.
  if (s.mainWindow != nullptr) SetWindowRgn(s.mainWindow, region, TRUE);
  return 0;
}
