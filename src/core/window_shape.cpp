// The window shape from a picture: the runs of non-zero pixels, row by row, made into one region.
#include "core/window_shape.h"

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "core/log.h"
#include "core/system_state.h"
#include "core/win32_calls.h"
#include "graphics/dib_graph.h"
#include "platform/win32/region.h"

namespace {

using Runs = std::vector<std::pair<int, int>>;

bool PixelIsZero(const uint8_t* pixel, int bytesPerPixel) {
  for (int i = 0; i < bytesPerPixel; ++i) {
    if (pixel[i] != 0) return false;
  }
  return true;
}

// The runs [start, end) of non-zero pixels of one row.
void RowRuns(const uint8_t* row, int width, int bytesPerPixel, Runs* runs) {
  runs->clear();
  int runStart = -1;
  for (int x = 0; x <= width; ++x) {
    bool inside = x < width && !PixelIsZero(row + static_cast<ptrdiff_t>(x) * bytesPerPixel, bytesPerPixel);
    if (inside && runStart < 0) runStart = x;
    if (!inside && runStart >= 0) {
      runs->emplace_back(runStart, x);
      runStart = -1;
    }
  }
}

}  // namespace

HRGN BuildRegionFromPixels(int width, int height, const void* pixels, int rowBytes, int bytesPerPixel) {
  // Rows with equal runs become one band of rectangles, listed as regions list them, and the platform takes the
  // list at once: adding rectangle by rectangle costs the whole region at every step.
  std::vector<RECT> rects;
  Runs band, row;
  size_t bandStart = 0;
  int bandBottom = -1;
  for (int y = 0; y < height; ++y) {
    RowRuns(static_cast<const uint8_t*>(pixels) + static_cast<ptrdiff_t>(y) * rowBytes, width, bytesPerPixel, &row);
    if (row.empty()) continue;
    if (bandBottom == y && row == band) {
      for (size_t i = bandStart; i < rects.size(); ++i) rects[i].bottom = y + 1;
    } else {
      if (rects.size() + row.size() > static_cast<size_t>(kMaxShapeRectangles)) {
        AppLogWriteFormat("ウインドウの形は作成できません（形を作る矩形は %d 個まで）", kMaxShapeRectangles);
        return nullptr;
      }
      bandStart = rects.size();
      for (const auto& run : row) rects.push_back(RECT{run.first, y, run.second, y + 1});
      band.swap(row);
    }
    bandBottom = y + 1;
  }
  std::vector<uint8_t> block(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
  RGNDATAHEADER header{};
  header.dwSize = sizeof header;
  header.iType = RDH_RECTANGLES;
  header.nCount = static_cast<DWORD>(rects.size());
  header.rcBound = RECT{0, 0, width, height};
  std::memcpy(block.data(), &header, sizeof header);
  if (!rects.empty()) std::memcpy(block.data() + sizeof header, rects.data(), rects.size() * sizeof(RECT));
  return ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()), reinterpret_cast<const RGNDATA*>(block.data()));
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
