// Helpers of the GDI tests: DIB headers with colour tables or masks, and 32-bit sections to draw into.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/win32/gdi.h"

// A BITMAPINFO with room for 256 colour table entries (or three masks).
struct DibInfo {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(40 + 256 * 4, 0);
  BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(bytes.data()); }
  BITMAPINFOHEADER& header() { return info()->bmiHeader; }
  DibInfo(int width, int height, int bits, DWORD compression = BI_RGB) {
    header().biSize = 40;
    header().biWidth = width;
    header().biHeight = height;
    header().biPlanes = 1;
    header().biBitCount = static_cast<WORD>(bits);
    header().biCompression = compression;
  }
  void SetColour(int index, uint32_t rgb) {
    RGBQUAD q{static_cast<BYTE>(rgb), static_cast<BYTE>(rgb >> 8), static_cast<BYTE>(rgb >> 16), 0};
    std::memcpy(bytes.data() + 40 + index * 4, &q, 4);
  }
  void SetMasks(uint32_t red, uint32_t green, uint32_t blue) {
    uint32_t masks[3] = {red, green, blue};
    std::memcpy(bytes.data() + 40, masks, sizeof masks);
  }
};

// A top-down 32-bit DIB section selected into a memory context; pixels read as 0x00RRGGBB.
class Canvas {
 public:
  Canvas(int width, int height, uint32_t fill = 0) : width_(width), height_(height) {
    DibInfo d(width, -height, 32);
    bitmap_ = CreateDIBSection(nullptr, d.info(), DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels_), nullptr, 0);
    EXPECT_NE(bitmap_, nullptr);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
    for (int i = 0; i < width * height; ++i) pixels_[i] = fill;
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  HDC dc() const { return dc_; }
  uint32_t At(int x, int y) const { return pixels_[y * width_ + x] & 0xFFFFFF; }
  void Set(int x, int y, uint32_t rgb) { pixels_[y * width_ + x] = rgb; }
  std::vector<uint32_t> All() const {
    std::vector<uint32_t> out;
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) out.push_back(At(x, y));
    return out;
  }

 private:
  int width_, height_;
  uint32_t* pixels_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};
