#include "graphics/dib_graph.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "graphics/draw_state.h"
#include "graphics/picture_loader.h"
#include "graphics/pixel_converter.h"

namespace {

constexpr int kMaskedHeaderSize = static_cast<int>(sizeof(BITMAPINFOHEADER) + 3 * sizeof(DWORD));

int64_t DibRowBytes(int64_t width, int bitCount) { return (width * bitCount / 8 + 3) & ~int64_t{3}; }

// Width and row count of a DIB whose sizes the library can hold; false for anything else.
bool DibGeometry(const BITMAPINFOHEADER& h, int* width, int* rows) {
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT_MIN) return false;
  const int64_t rowBytes = DibRowBytes(h.biWidth, 32);
  const int64_t count = std::llabs(static_cast<int64_t>(h.biHeight));
  if (rowBytes * count > INT_MAX) return false;
  *width = h.biWidth;
  *rows = static_cast<int>(count);
  return true;
}

void SetTopDownHeader(BITMAPINFOHEADER* h, int width, int rows, int bitCount, DWORD compression) {
  std::memset(h, 0, sizeof(*h));
  h->biSize = sizeof(BITMAPINFOHEADER);
  h->biWidth = width;
  h->biHeight = -rows;
  h->biPlanes = 1;
  h->biBitCount = static_cast<WORD>(bitCount);
  h->biCompression = compression;
}

// A bitmap handed to the calls that take any GDI object.
HGDIOBJ AsObject(HBITMAP bitmap) { return reinterpret_cast<HGDIOBJ>(bitmap); }

DWORD* HeaderMasks(BITMAPINFO* info) { return reinterpret_cast<DWORD*>(&info->bmiColors[0]); }
const DWORD* HeaderMasks(const BITMAPINFO* info) { return reinterpret_cast<const DWORD*>(&info->bmiColors[0]); }

// Any other DIB is drawn by GDI into a top-down 24-bit section and copied out of it.
int DrawDIBAs24Bit(const BITMAPINFO* header, const void* bits, int width, int rows, GraphImage* image) {
  BITMAPINFO info{};
  SetTopDownHeader(&info.bmiHeader, width, rows, 24, BI_RGB);
  HDC dc = CreateCompatibleDC(nullptr);
  void* pixels = nullptr;
  HBITMAP section = dc ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0) : nullptr;
  if (!section || !pixels) {
    if (section) DeleteObject(AsObject(section));
    if (dc) DeleteDC(dc);
    return AppLogWrite("ＤＩＢの作成に失敗しました3\n");
  }
  HGDIOBJ old = SelectObject(dc, AsObject(section));
  const int lines = SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(rows), 0, 0, 0,
                                      static_cast<UINT>(rows), bits, header, DIB_RGB_COLORS);
  SelectObject(dc, old);
  DeleteDC(dc);
  // A DIB that GDI cannot draw (an unknown compression) is a failure, not a black picture.
  if (lines <= 0) {
    DeleteObject(AsObject(section));
    return AppLogWrite("ＤＩＢの作成に失敗しました3\n");
  }
  const int pitch = static_cast<int>(DibRowBytes(width, 24));
  void* block = MemAlloc(pitch * rows);
  if (!block) {
    DeleteObject(AsObject(section));
    return AppLogWrite("２４ビットカラー化したグラフィックを格納するメモリ領域の確保に失敗しました\n");
  }
  std::memcpy(block, pixels, static_cast<size_t>(pitch) * rows);
  DeleteObject(AsObject(section));
  std::memset(image, 0, sizeof(*image));
  SetColorFormatR8G8B8(&image->format);
  image->width = width;
  image->height = rows;
  image->pitch = pitch;
  image->pixels = block;
  return 1;
}

// The header of the section made for a picture, as the caller's format asks; rewrites that format when the
// section ends up 24-bit in its place.
BITMAPINFO* MakeSectionHeader(const BITMAPINFOHEADER& loaded, ColorFormat* format, bool ditherTo24) {
  const int depth = format ? format->bitDepth : 0;
  const bool loaded24 = loaded.biBitCount == 24;
  const bool masks = format && !ditherTo24 && (depth == 16 || (depth > 24 && !loaded24));
  auto* info = static_cast<BITMAPINFO*>(MemAllocZeroed(masks ? kMaskedHeaderSize : sizeof(BITMAPINFO)));
  if (!info) return nullptr;
  const int rows = loaded.biHeight < 0 ? -loaded.biHeight : loaded.biHeight;
  if (masks) {
    SetTopDownHeader(&info->bmiHeader, loaded.biWidth, rows, depth, BI_BITFIELDS);
    HeaderMasks(info)[0] = format->redMask;
    HeaderMasks(info)[1] = format->greenMask;
    HeaderMasks(info)[2] = format->blueMask;
  } else {
    SetTopDownHeader(&info->bmiHeader, loaded.biWidth, rows, 24, BI_RGB);
    // The section is 24-bit: a caller asking for another depth learns the format it got.
    if (format && depth != 24) SetColorFormatR8G8B8(format);
  }
  return info;
}

// Makes the section and draws the DIB into it (mirrored left to right when asked). Texts name the caller's step.
HBITMAP MakeSection(const BITMAPINFO* loaded, const void* bits, int mirrorFlag, ColorFormat* format, bool ditherTo24,
                    const char* sectionFailedText) {
  int width, rows;
  if (!DibGeometry(loaded->bmiHeader, &width, &rows)) return nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return nullptr;
  BITMAPINFO* info = MakeSectionHeader(loaded->bmiHeader, format, ditherTo24);
  if (!info) {
    AppLogWrite("メモリの確保に失敗しました in CreateDIBGraph \n");
    DeleteDC(dc);
    return nullptr;
  }
  void* pixels = nullptr;
  HBITMAP section = CreateDIBSection(dc, info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  MemFree(info);
  if (!section) {
    AppLogWrite(sectionFailedText);
    DeleteDC(dc);
    return nullptr;
  }
  if (!pixels) ExitOnError("ＤＩＢの作成に失敗しました2\n");
  HGDIOBJ old = SelectObject(dc, AsObject(section));
  if (mirrorFlag) {
    StretchDIBits(dc, 0, 0, width, rows, width - 1, 0, -width, rows, bits, loaded, DIB_RGB_COLORS, SRCCOPY);
  } else {
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(rows), 0, 0, 0,
                      static_cast<UINT>(rows), bits, loaded, DIB_RGB_COLORS);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  return section;
}

}  // namespace

int CopyImageToDIB(const GraphImage* image, BITMAPINFO* header, void** bits, int forceCopy) {
  if (!header || !bits || !IsGraphImageSane(image)) return -1;
  SetTopDownHeader(&header->bmiHeader, image->width, image->height, 24, BI_RGB);
  const int64_t rowBytes = DibRowBytes(image->width, 24);
  if (rowBytes * image->height > INT_MAX) return -1;
  const int row = static_cast<int>(rowBytes);
  const ColorFormat& f = image->format;
  const bool plain24 = f.bitDepth == 24 && f.redMask == 0xFF0000 && f.greenMask == 0xFF00 && f.blueMask == 0xFF;
  if (plain24 && forceCopy != 1 && image->pitch == row) {
    *bits = image->pixels;
    return 0;
  }
  auto* block = static_cast<uint8_t*>(MemAllocZeroed(row * image->height));
  if (!block) return -1;
  if (plain24 && forceCopy != 1) {
    for (int y = 0; y < image->height; ++y) {
      std::memcpy(block + static_cast<ptrdiff_t>(y) * row,
                  static_cast<const uint8_t*>(image->pixels) + static_cast<ptrdiff_t>(y) * image->pitch,
                  static_cast<size_t>(image->width) * 3);
    }
  } else {
    ColorFormat rgb{};
    SetColorFormatR8G8B8(&rgb);
    const RECT whole{0, 0, image->width, image->height};
    ConvertColorFormatRect(block, row, &rgb, image->pixels, image->pitch, &image->format, nullptr, 0, nullptr, 0, 0,
                           &whole, 0, 0, 0, CONVERT_DITHER_NONE, 0);
  }
  *bits = block;
  return 1;
}

int ConvertDIBToGraphImage(const BITMAPINFO* header, const void* bits, GraphImage* image, int forceCopy) {
  int width, rows;
  if (!header || !bits || !image || !DibGeometry(header->bmiHeader, &width, &rows)) return -1;
  const BITMAPINFOHEADER& h = header->bmiHeader;
  const int bitCount = h.biBitCount;
  const bool direct = h.biHeight < 0 && (bitCount == 16 || bitCount == 24 || bitCount == 32) &&
                      (h.biCompression == BI_RGB || h.biCompression == BI_BITFIELDS);
  if (!direct) return DrawDIBAs24Bit(header, bits, width, rows, image);
  std::memset(image, 0, sizeof(*image));
  if (h.biCompression == BI_BITFIELDS) {
    const DWORD* masks = HeaderMasks(header);
    ColorFormatFromMasks(&image->format, bitCount, masks[0], masks[1], masks[2], 0);
  } else if (bitCount == 16) {
    ColorFormatFromMasks(&image->format, 16, 0x7C00, 0x3E0, 0x1F, 0);
  } else {
    ColorFormatFromMasks(&image->format, bitCount, 0xFF0000, 0xFF00, 0xFF, 0);
  }
  image->width = width;
  image->height = rows;
  image->pitch = static_cast<int>(DibRowBytes(width, bitCount));
  if (forceCopy != 1) {
    image->pixels = const_cast<void*>(bits);
    return 0;
  }
  image->pixels = MemAlloc(image->pitch * rows);
  if (!image->pixels) {
    std::memset(image, 0, sizeof(*image));
    return -1;
  }
  std::memcpy(image->pixels, bits, static_cast<size_t>(image->pitch) * rows);
  return 1;
}

HBITMAP CreateDIBGraph(const char* fileName, const void* memoryImage, int memorySize, int memoryFlag, int mirrorFlag,
                       ColorFormat* format) {
  BITMAPINFO* header = nullptr;
  void* bits = nullptr;
  // The picture is loaded already mirrored, so the section is drawn the same way in both cases.
  if (LoadImageCore(fileName, memoryImage, memorySize, memoryFlag, IMAGE_RESULT_DIB, mirrorFlag, nullptr, &header,
                    &bits) != 0) {
    return nullptr;
  }
  const bool ditherTo24 = format && format->bitDepth == 16 && GetConvertDitherFlag() != 0;
  HBITMAP section = MakeSection(header, bits, 0, format, ditherTo24, "ＤＩＢの作成に失敗しました3\n");
  MemFree(header);
  MemFree(bits);
  return section;
}

HBITMAP CreateDIBGraphSimple(const char* fileName, int mirrorFlag, ColorFormat* format) {
  return CreateDIBGraph(fileName, nullptr, 0, 0, mirrorFlag, format);
}

HBITMAP CreateDIBGraphFromImage(const BITMAPINFO* header, const void* bits, int mirrorFlag, ColorFormat* format) {
  if (!header || !bits) return nullptr;
  return MakeSection(header, bits, mirrorFlag, format, false, "ＤＩＢの作成に失敗しました5\n");
}
