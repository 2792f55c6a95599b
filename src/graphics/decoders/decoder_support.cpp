#include "graphics/decoders/decoder_support.h"

#include <cstring>

#include "core/memory.h"

namespace decoders {

bool ReadElement(StreamSourceData* source, void* buffer, size_t size) {
  return source->functions.read(buffer, size, 1, source->handle) != 0;
}

bool SeekTo(StreamSourceData* source, int64_t offset, int origin) {
  if (offset < INT32_MIN || offset > INT32_MAX) return false;
  return source->functions.seek(source->handle, static_cast<int32_t>(offset), origin) == 0;
}

int64_t StreamTell(StreamSourceData* source) { return source->functions.tell(source->handle); }

int64_t MeasureStreamEnd(StreamSourceData* source) {
  int64_t start = StreamTell(source);
  SeekTo(source, 0, 2);
  int64_t end = StreamTell(source);
  SeekTo(source, start, 0);
  return end < 0 ? 0 : end;
}

void* AllocPixelBlock(int64_t bytes) {
  if (bytes <= 0 || bytes > kMaxPictureBytes) return nullptr;
  return MemAllocZeroed(static_cast<int>(bytes));
}

int64_t BlockSize(int64_t rowBytes, int64_t rows) {
  if (rowBytes <= 0 || rows <= 0 || rowBytes > kMaxPictureBytes || rows > kMaxPictureBytes) return -1;
  int64_t bytes = rowBytes * rows;
  return bytes > kMaxPictureBytes ? -1 : bytes;
}

namespace {

// The lowest run of set bits of a mask: its position and length.
void ScanMask(uint32_t mask, uint8_t* width, uint8_t* shift) {
  *width = 0;
  *shift = 0;
  if (mask == 0) return;
  int s = 0;
  while (!(mask & (1u << s))) ++s;
  int w = 0;
  while (s + w < 32 && (mask & (1u << (s + w)))) ++w;
  *shift = static_cast<uint8_t>(s);
  *width = static_cast<uint8_t>(w);
}

void UpdateOutsideMask(ColorFormat* f) {
  if (f->redWidth + f->greenWidth + f->blueWidth + f->alphaWidth == f->bitDepth) {
    f->outsideMask = 0;
    return;
  }
  uint32_t all = f->bitDepth >= 32 ? 0xFFFFFFFFu : (1u << f->bitDepth) - 1;
  f->outsideMask = all & ~(f->redMask | f->greenMask | f->blueMask | f->alphaMask);
}

}  // namespace

void SetFormatFromMasks(ColorFormat* format, int depth, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
  std::memset(format, 0, sizeof(*format));
  format->bitDepth = static_cast<uint16_t>(depth);
  format->bytesPerPixel = static_cast<uint16_t>(depth / 8);
  format->redMask = red;
  format->greenMask = green;
  format->blueMask = blue;
  format->alphaMask = alpha;
  ScanMask(red, &format->redWidth, &format->redShift);
  ScanMask(green, &format->greenWidth, &format->greenShift);
  ScanMask(blue, &format->blueWidth, &format->blueShift);
  ScanMask(alpha, &format->alphaWidth, &format->alphaShift);
  UpdateOutsideMask(format);
}

void SetFormatR8G8B8(ColorFormat* format) { SetFormatFromMasks(format, 24, 0xFF0000, 0xFF00, 0xFF, 0); }

void SetFormatB8G8R8A8(ColorFormat* format) {
  SetFormatFromMasks(format, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
}

void SetFormatPalette8(ColorFormat* format) {
  SetFormatFromMasks(format, 8, 0xFF0000, 0xFF00, 0xFF, 0);
  format->outsideMask = 0xFF000000u;
}

void SetFormatGrey8(ColorFormat* format) {
  std::memset(format, 0, sizeof(*format));
  format->bitDepth = 8;
  format->bytesPerPixel = 1;
  format->redWidth = format->greenWidth = format->blueWidth = format->alphaWidth = 8;
  format->redMask = format->greenMask = format->blueMask = format->alphaMask = 0xFF;
  for (uint32_t i = 0; i < 256; ++i) format->palette[i] = i * 0x010101u;
}

}  // namespace decoders
