// Truevision TGA: uncompressed and run-length, true colour and colour-mapped, 16, 24 or 32 bits.
#include <cstring>

#include "core/memory.h"
#include "graphics/color_format.h"
#include "graphics/decoders/decoder_support.h"
#include "graphics/decoders/decoders.h"

using namespace decoders;

namespace {

constexpr int kFooterSize = 26;
constexpr int kHeaderSize = 18;
constexpr int kExtensionSize = 495;
constexpr int kMaxSide = 4095;

enum AlphaKind { kAlphaUnused = 0, kAlphaDefault = 1, kAlphaUsed = 3 };

struct TgaHeader {
  int type;
  int mapFirst, mapLength;
  int depth;  // bits per pixel of the picture (of the palette entries when colour-mapped)
  int indexBits;
  int width, height;
  int descriptor;
  bool mapped() const { return type == 1 || type == 9; }
  bool runLength() const { return type == 9 || type == 10; }
};

// Finds where the header starts and how the file's alpha is to be taken. Files without the footer (the
// original format) have their header at 0; the footer's extension area tells whether alpha is used, and its
// developer directory, when there is one, moves the header.
bool LocateHeader(StreamSourceData* source, int64_t end, int64_t* headerAt, int* alphaKind, bool* hasFooter) {
  *headerAt = 0;
  *alphaKind = kAlphaDefault;
  *hasFooter = false;
  unsigned char footer[kFooterSize];
  if (end < kFooterSize || !SeekTo(source, -kFooterSize, 2) || !ReadElement(source, footer, sizeof(footer)) ||
      std::memcmp(footer + 8, "TRUEVISION-XFILE", 16) != 0) {
    return true;
  }
  *hasFooter = true;
  uint32_t extension = LoadLe32(footer);
  uint32_t directory = LoadLe32(footer + 4);
  if (extension == 0) return true;
  unsigned char area[kExtensionSize] = {};
  if (!SeekTo(source, extension, 0) || !ReadElement(source, area, sizeof(area))) return false;
  *alphaKind = area[494] == 3 ? kAlphaUsed : kAlphaUnused;
  if (directory == 0) return true;
  unsigned char entry[10] = {};
  if (!SeekTo(source, directory, 0) || !ReadElement(source, entry, sizeof(entry))) return false;
  *headerAt = LoadLe32(entry + 2);
  return true;
}

bool ParseHeader(const unsigned char* h, int alphaKind, TgaHeader* out) {
  out->type = h[2];
  out->mapFirst = static_cast<int>(LoadLe16(h + 3));
  out->mapLength = static_cast<int>(LoadLe16(h + 5));
  out->width = static_cast<int>(LoadLe16(h + 12));
  out->height = static_cast<int>(LoadLe16(h + 14));
  out->indexBits = h[16];
  out->descriptor = h[17];
  if (h[0] != 0 || LoadLe16(h + 8) != 0 || LoadLe16(h + 10) != 0) return false;
  if (out->type != 1 && out->type != 2 && out->type != 9 && out->type != 10) return false;
  if (out->width > kMaxSide || out->height > kMaxSide || !IsPictureSizeAllowed(out->width, out->height)) return false;
  out->depth = out->mapped() ? h[7] : h[16];
  if (out->depth != 16 && out->depth != 24 && out->depth != 32) return false;
  if (out->depth == 24 && alphaKind == kAlphaUsed) return false;
  // Colour-mapped pixels are one index byte each, and the map must fit the 256 entries.
  if (out->mapped() && (out->indexBits != 8 || out->mapFirst + out->mapLength > 256)) return false;
  return true;
}

void SetTgaFormat(int depth, int alphaKind, ColorFormat* format) {
  if (depth == 16) {
    ColorFormatFromMasks(format, 16, 0x7C00, 0x3E0, 0x1F, alphaKind == kAlphaUsed ? 0x8000 : 0);
  } else if (depth == 24) {
    SetColorFormatR8G8B8(format);
  } else {
    ColorFormatFromMasks(format, 32, 0xFF0000, 0xFF00, 0xFF, alphaKind != kAlphaUnused ? 0xFF000000u : 0);
  }
}

// Unpacks run-length packets into count pixel values of size bytes each, stopping at whichever ends first,
// the data or the picture; pixels the data does not reach stay as they were.
void UnpackRuns(const unsigned char* in, int64_t inSize, unsigned char* out, int64_t count, int size) {
  int64_t at = 0;
  int64_t made = 0;
  while (made < count && at < inSize) {
    int packet = in[at++];
    int64_t run = (packet & 0x7F) + 1;
    if (run > count - made) run = count - made;
    if (packet & 0x80) {
      if (inSize - at < size) break;
      for (int64_t i = 0; i < run; ++i) std::memcpy(out + (made + i) * size, in + at, size);
      at += size;
      made += run;
    } else {
      int64_t whole = (inSize - at) / size;
      if (run > whole) run = whole;
      std::memcpy(out + made * size, in + at, run * size);
      at += run * size;
      made += run;
      if (run == 0) break;
    }
  }
}

// Reads the run-length data, which ends where the footer starts (or at the end of the stream without one).
unsigned char* ReadRunData(StreamSourceData* source, int64_t end, bool hasFooter, int64_t limit, int64_t* size) {
  int64_t here = StreamTell(source);
  int64_t length = (hasFooter ? end - kFooterSize : end) - here;
  if (length > limit) length = limit;
  if (here < 0 || length <= 0) return nullptr;
  auto* data = static_cast<unsigned char*>(MemAllocZeroed(static_cast<int>(length)));
  if (data == nullptr) return nullptr;
  if (!ReadElement(source, data, static_cast<size_t>(length))) {
    MemFree(data);
    return nullptr;
  }
  *size = length;
  return data;
}

// Reads the stored pixels (after the colour map) into block, as values of bpp bytes in storage order.
bool ReadPixels(StreamSourceData* source, const TgaHeader& h, int64_t end, bool hasFooter, unsigned char* block) {
  int bpp = h.depth / 8;
  int64_t count = int64_t{h.width} * h.height;
  unsigned char* palette = nullptr;
  if (h.mapped()) {
    palette = static_cast<unsigned char*>(MemAllocZeroed(256 * bpp));
    if (palette == nullptr) return false;
    if (h.mapLength > 0 && !ReadElement(source, palette + h.mapFirst * bpp, static_cast<size_t>(h.mapLength) * bpp)) {
      MemFree(palette);
      return false;
    }
  }
  int valueSize = h.mapped() ? 1 : bpp;
  unsigned char* values = block;
  if (h.mapped()) {
    values = static_cast<unsigned char*>(MemAllocZeroed(static_cast<int>(count)));
    if (values == nullptr) {
      MemFree(palette);
      return false;
    }
  }
  bool ok;
  if (h.runLength()) {
    int64_t size = 0;
    unsigned char* data = ReadRunData(source, end, hasFooter, count * (valueSize + 1), &size);
    ok = data != nullptr;
    if (ok) {
      UnpackRuns(data, size, values, count, valueSize);
      MemFree(data);
    }
  } else {
    ok = ReadElement(source, values, static_cast<size_t>(count * valueSize));
  }
  if (h.mapped()) {
    if (ok) {
      for (int64_t i = 0; i < count; ++i) std::memcpy(block + i * bpp, palette + values[i] * bpp, bpp);
    }
    MemFree(values);
    MemFree(palette);
  }
  return ok;
}

// Turns the stored order into rows top down, each left to right; answers the block to keep.
unsigned char* Orient(unsigned char* block, const TgaHeader& h, int64_t bytes) {
  bool topDown = (h.descriptor & 0x20) != 0;
  bool rightToLeft = (h.descriptor & 0x10) != 0;
  if (topDown && !rightToLeft) return block;
  auto* out = static_cast<unsigned char*>(AllocPixelBlock(bytes));
  if (out == nullptr) {
    MemFree(block);
    return nullptr;
  }
  int bpp = h.depth / 8;
  int64_t pitch = int64_t{h.width} * bpp;
  for (int y = 0; y < h.height; ++y) {
    const unsigned char* in = block + (topDown ? y : h.height - 1 - y) * pitch;
    unsigned char* row = out + y * pitch;
    if (!rightToLeft) {
      std::memcpy(row, in, pitch);
    } else {
      for (int x = 0; x < h.width; ++x) std::memcpy(row + x * bpp, in + (h.width - 1 - x) * bpp, bpp);
    }
  }
  MemFree(block);
  return out;
}

}  // namespace

int DecodeTgaPicture(StreamSourceData* source, GraphImage* image) {
  int64_t end = MeasureStreamEnd(source);
  int64_t headerAt = 0;
  int alphaKind = kAlphaDefault;
  bool hasFooter = false;
  if (!LocateHeader(source, end, &headerAt, &alphaKind, &hasFooter)) return -1;
  unsigned char raw[kHeaderSize];
  TgaHeader h{};
  if (!SeekTo(source, headerAt, 0) || !ReadElement(source, raw, sizeof(raw)) || !ParseHeader(raw, alphaKind, &h)) {
    return -1;
  }
  int64_t pitch = int64_t{h.width} * (h.depth / 8);
  int64_t bytes = BlockSize(pitch, h.height);
  auto* block = static_cast<unsigned char*>(AllocPixelBlock(bytes));
  if (block == nullptr) return -1;
  if (!ReadPixels(source, h, end, hasFooter, block)) {
    MemFree(block);
    return -1;
  }
  block = Orient(block, h, bytes);
  if (block == nullptr) return -1;

  GraphImage result{};
  SetTgaFormat(h.depth, alphaKind, &result.format);
  result.width = h.width;
  result.height = h.height;
  result.pitch = static_cast<int32_t>(pitch);
  result.pixels = block;
  *image = result;
  return 0;
}
