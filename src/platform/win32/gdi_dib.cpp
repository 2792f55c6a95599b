// DIB sections and DIB transfers into device contexts (plain, bit-field and run-length sources).
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "platform/win32/gdi_objects.h"

namespace {

constexpr int64_t kMaxDibSide = 65535;
constexpr int64_t kMaxDibBytes = int64_t{512} << 20;

// A DIB header read and checked once: sizes, row order, colour table and masks.
struct DibLayout {
  int width = 0, height = 0;  // height: number of rows
  bool topDown = false;
  int bits = 0;
  DWORD compression = BI_RGB;
  long stride = 0;
  uint32_t masks[3]{};
  std::vector<uint32_t> palette;
};

bool ReadLayout(const BITMAPINFO* info, UINT usage, DibLayout& out) {
  if (!info) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < 40 || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) return false;
  int64_t rows = h.biHeight < 0 ? -int64_t{h.biHeight} : h.biHeight;
  if (h.biWidth > kMaxDibSide || rows > kMaxDibSide) return false;
  out.width = h.biWidth;
  out.height = static_cast<int>(rows);
  out.topDown = h.biHeight < 0;
  out.bits = h.biBitCount;
  out.compression = h.biCompression;
  switch (out.bits) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  switch (out.compression) {
    case BI_RGB: break;
    case BI_RLE8: if (out.bits != 8 || out.topDown) return false; break;
    case BI_RLE4: if (out.bits != 4 || out.topDown) return false; break;
    case BI_BITFIELDS: if (out.bits != 16 && out.bits != 32) return false; break;
    default: return false;
  }
  out.stride = static_cast<long>((int64_t{out.width} * out.bits + 31) / 32 * 4);
  if (out.stride * rows > kMaxDibBytes) return false;
  const uint8_t* after = reinterpret_cast<const uint8_t*>(info) + 40;
  const uint8_t* table = reinterpret_cast<const uint8_t*>(info) + h.biSize;
  if (out.compression == BI_BITFIELDS) {
    std::memcpy(out.masks, after, sizeof out.masks);
    if (h.biSize == 40) table = after + sizeof out.masks;
  } else {
    DefaultMasks(out.bits, &out.masks[0], &out.masks[1], &out.masks[2]);
  }
  if (out.bits <= 8) {
    if (usage != DIB_RGB_COLORS) return false;  // no logical palettes here
    uint32_t count = 1u << out.bits;
    if (h.biClrUsed != 0 && h.biClrUsed < count) count = h.biClrUsed;
    out.palette.assign(1u << out.bits, 0);
    for (uint32_t i = 0; i < count; ++i) {
      RGBQUAD q;
      std::memcpy(&q, table + i * 4, 4);
      out.palette[i] = (static_cast<uint32_t>(q.rgbRed) << 16) | (q.rgbGreen << 8) | q.rgbBlue;
    }
  }
  return true;
}

// The source pixels in top-down order; rows [firstRow, firstRow + block.height) are present.
struct DibSource {
  PixelBlock block;
  int firstRow = 0;
  int width = 0, rows = 0;
  std::vector<uint8_t> indexes, written;  // run-length sources: decoded indexes and which were written
  int rowsWritten = 0;                    // run-length sources: rows the stream put a pixel in
};

// Decodes a run-length stream of size bytes into one index per pixel, top-down, never past either buffer.
void DecodeRunLength(const uint8_t* data, size_t size, bool fourBit, DibSource& out) {
  int width = out.width, rows = out.rows;
  out.indexes.assign(static_cast<size_t>(width) * rows, 0);
  out.written.assign(static_cast<size_t>(width) * rows, 0);
  auto put = [&](int64_t x, int64_t y, uint8_t value) {
    if (x < 0 || x >= width || y < 0 || y >= rows) return;
    size_t at = static_cast<size_t>(rows - 1 - y) * width + static_cast<size_t>(x);
    out.indexes[at] = value;
    out.written[at] = 1;
  };
  int64_t x = 0, y = 0;
  size_t at = 0;
  while (at + 1 < size && y < rows) {
    uint8_t count = data[at], value = data[at + 1];
    at += 2;
    if (count > 0) {
      for (int i = 0; i < count && x < width; ++i, ++x)
        put(x, y, fourBit ? static_cast<uint8_t>((i & 1) ? value & 0xF : value >> 4) : value);
      continue;
    }
    if (value == 0) {
      x = 0, ++y;
    } else if (value == 1) {
      break;
    } else if (value == 2) {
      if (at + 1 >= size) break;
      x += data[at], y += data[at + 1];
      at += 2;
    } else {
      size_t bytes = fourBit ? (value + 1u) / 2 : value;
      for (int i = 0; i < value; ++i, ++x) {
        size_t byte = at + (fourBit ? static_cast<size_t>(i / 2) : static_cast<size_t>(i));
        if (byte >= size) break;
        uint8_t v = data[byte];
        if (fourBit) v = (i & 1) ? v & 0xF : v >> 4;
        if (x < width) put(x, y, v);
      }
      at += (bytes + 1) & ~size_t{1};
    }
  }
}

// Prepares the source of a transfer: bits hold rows [startScan, startScan + lines) counted from the DIB's first
// stored row (the bottom one for bottom-up DIBs).
bool MakeSource(const DibLayout& layout, const void* bits, UINT startScan, UINT lines, DibSource& out,
                const uint32_t* palette) {
  out.width = layout.width;
  out.rows = layout.height;
  PixelBlock& b = out.block;
  b.width = layout.width;
  b.bits = layout.bits;
  b.redMask = layout.masks[0], b.greenMask = layout.masks[1], b.blueMask = layout.masks[2];
  b.palette = palette;
  b.paletteCount = static_cast<int>(layout.palette.size());
  if (!bits) return false;
  if (layout.compression == BI_RLE8 || layout.compression == BI_RLE4) {
    return true;  // decoded by the caller, which knows the stream size
  }
  if (startScan >= static_cast<UINT>(layout.height) || lines == 0) return false;
  int count = static_cast<int>(std::min<int64_t>(lines, int64_t{layout.height} - startScan));
  auto* base = static_cast<uint8_t*>(const_cast<void*>(bits));
  b.height = count;
  if (layout.topDown) {
    out.firstRow = static_cast<int>(startScan);
    b.top = base;
    b.pitch = layout.stride;
  } else {
    out.firstRow = layout.height - static_cast<int>(startScan) - count;
    b.top = base + static_cast<long>(count - 1) * layout.stride;
    b.pitch = -layout.stride;
  }
  return true;
}

bool FinishRunLength(const BITMAPINFO* info, const DibLayout& layout, const void* bits, DibSource& src) {
  size_t size = info->bmiHeader.biSizeImage;
  if (size == 0) return false;  // a run-length stream must say how long it is
  DecodeRunLength(static_cast<const uint8_t*>(bits), size, layout.compression == BI_RLE4, src);
  src.block.bits = 8;
  src.block.top = src.indexes.data();
  src.block.pitch = src.width;
  src.block.height = src.rows;
  src.firstRow = 0;
  for (int row = 0; row < src.rows; ++row) {
    auto begin = src.written.begin() + static_cast<long>(row) * src.width;
    if (std::find(begin, begin + src.width, 1) != begin + src.width) ++src.rowsWritten;
  }
  return true;
}

// Scales a position by from / to without overflow (sizes up to 2^32).
int64_t Scale(int64_t position, int64_t from, int64_t to) {
  if (from == to) return position;
  return static_cast<int64_t>(static_cast<__int128>(position) * from / to);
}

// Copies a source range onto the destination: destination (x, y, width, height), source columns starting at
// srcLeft spanning srcWidth, source rows (top-down) starting at srcTop spanning srcHeight; flips mirror them.
// Sizes that differ map by nearest pixel. Answers the number of destination rows written.
int Transfer(const PixelBlock& dst, const DibSource& src, int64_t x, int64_t y, int64_t width, int64_t height,
             int64_t srcLeft, int64_t srcWidth, int64_t srcTop, int64_t srcHeight, bool flipX, bool flipY) {
  if (width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) return 0;
  int64_t left = std::max<int64_t>(x, 0), right = std::min<int64_t>(x + width, dst.width);
  int64_t top = std::max<int64_t>(y, 0), bottom = std::min<int64_t>(y + height, dst.height);
  if (right <= left || bottom <= top) return 0;
  int span = static_cast<int>(right - left);
  std::vector<uint32_t> sourceRow(static_cast<size_t>(src.width)), out(static_cast<size_t>(span));
  std::vector<uint8_t> mask(static_cast<size_t>(span));
  std::vector<int64_t> column(static_cast<size_t>(span));
  for (int i = 0; i < span; ++i) {
    int64_t offset = Scale(left - x + i, srcWidth, width);
    column[i] = srcLeft + (flipX ? srcWidth - 1 - offset : offset);
  }
  RowConverter writer(dst, dst);
  int drawn = 0;
  int64_t loaded = -1;
  for (int64_t dy = top; dy < bottom; ++dy) {
    int64_t offset = Scale(dy - y, srcHeight, height);
    int64_t row = srcTop + (flipY ? srcHeight - 1 - offset : offset);
    if (row < src.firstRow || row >= src.firstRow + src.block.height) continue;
    int stored = static_cast<int>(row - src.firstRow);
    if (row != loaded) {
      RowConverter::ReadRgb(src.block, 0, stored, src.width, 1, sourceRow.data());
      loaded = row;
    }
    bool any = false;
    for (int i = 0; i < span; ++i) {
      int64_t c = column[i];
      bool inside = c >= 0 && c < src.width &&
                    (src.written.empty() || src.written[static_cast<size_t>(row) * src.width + c]);
      mask[i] = inside;
      any |= inside;
      if (inside) out[i] = sourceRow[c];
    }
    if (!any) continue;
    writer.WriteRgb(static_cast<int>(left), static_cast<int>(dy), span, out.data(), mask.data());
    ++drawn;
  }
  return drawn;
}

}  // namespace

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD) {
  if (bits) *bits = nullptr;
  DibLayout layout;
  if (section || !ReadLayout(info, usage, layout)) return nullptr;
  if (layout.compression != BI_RGB && layout.compression != BI_BITFIELDS) return nullptr;
  size_t bytes = static_cast<size_t>(layout.stride) * layout.height;
  auto* storage = static_cast<uint8_t*>(std::calloc(bytes, 1));
  if (!storage) return nullptr;
  auto* b = new GdiBitmap;
  b->storage = storage;
  b->stride = layout.stride;
  b->header = info->bmiHeader;
  b->header.biSize = 40;
  b->header.biSizeImage = static_cast<DWORD>(bytes);
  std::copy(layout.masks, layout.masks + 3, b->masks);
  b->palette = layout.palette;
  PixelBlock& block = b->block;
  block.width = layout.width;
  block.height = layout.height;
  block.bits = layout.bits;
  block.redMask = layout.masks[0], block.greenMask = layout.masks[1], block.blueMask = layout.masks[2];
  block.palette = b->palette.empty() ? nullptr : b->palette.data();
  block.paletteCount = static_cast<int>(b->palette.size());
  block.top = layout.topDown ? storage : storage + static_cast<long>(layout.height - 1) * layout.stride;
  block.pitch = layout.topDown ? layout.stride : -layout.stride;
  if (bits) *bits = storage;
  return RegisterBitmap(b);
}

int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int srcX, int srcY, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
  const PixelBlock* dst = ContextPixels(dc);
  DibLayout layout;
  if (!dst || !ReadLayout(info, usage, layout)) return 0;
  DibSource src;
  if (!MakeSource(layout, bits, startScan, lines, src, layout.palette.data())) return 0;
  bool runLength = layout.compression == BI_RLE8 || layout.compression == BI_RLE4;
  if (runLength && !FinishRunLength(info, layout, bits, src)) return 0;
  int64_t w = width, h = height;
  // Source rows are counted from the DIB's origin: the bottom row for bottom-up DIBs.
  int64_t top = layout.topDown ? int64_t{srcY} : int64_t{layout.height} - srcY - h;
  Transfer(*dst, src, x, y, w, h, srcX, w, top, h, false, false);
  ContextDrawn(dc);
  // Scan lines of the DIB the call had pixels for; 0 tells the caller nothing could be drawn.
  return runLength ? src.rowsWritten : src.block.height;
}

int StretchDIBits(HDC dc, int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
  const PixelBlock* dst = ContextPixels(dc);
  DibLayout layout;
  if (!dst || rop != SRCCOPY || !ReadLayout(info, usage, layout)) return 0;
  DibSource src;
  if (!MakeSource(layout, bits, 0, static_cast<UINT>(layout.height), src, layout.palette.data())) return 0;
  if ((layout.compression == BI_RLE8 || layout.compression == BI_RLE4) && !FinishRunLength(info, layout, bits, src))
    return 0;
  if (width == 0 || height == 0 || srcWidth == 0 || srcHeight == 0) return 0;
  // Normalise each rectangle to a positive size; the signs that differ become flips.
  int64_t dx = width < 0 ? int64_t{x} + width + 1 : x, dw = width < 0 ? -int64_t{width} : width;
  int64_t dy = height < 0 ? int64_t{y} + height + 1 : y, dh = height < 0 ? -int64_t{height} : height;
  int64_t sx = srcWidth < 0 ? int64_t{srcX} + srcWidth + 1 : srcX, sw = srcWidth < 0 ? -int64_t{srcWidth} : srcWidth;
  int64_t sy = srcHeight < 0 ? int64_t{srcY} + srcHeight + 1 : srcY;
  int64_t sh = srcHeight < 0 ? -int64_t{srcHeight} : srcHeight;
  bool flipX = (width < 0) != (srcWidth < 0);
  bool flipY = (height < 0) != (srcHeight < 0);
  int64_t top = layout.topDown ? sy : int64_t{layout.height} - sy - sh;
  Transfer(*dst, src, dx, dy, dw, dh, sx, sw, top, sh, flipX, flipY);
  ContextDrawn(dc);
  return src.written.empty() ? layout.height : src.rowsWritten;
}
