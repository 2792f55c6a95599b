#include "graphics/decoders/decoder_support.h"

#include "core/memory.h"
#include "graphics/color_format.h"

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

void SetFormatB8G8R8A8(ColorFormat* format) {
  SetColorFormatR8G8B8(format);
  format->bitDepth = 32;
  format->bytesPerPixel = 4;
  format->alphaWidth = 8;
  format->alphaShift = 24;
  format->alphaMask = 0xFF000000u;
}

void SetFormatGrey8(ColorFormat* format) {
  SetColorFormatAlpha8(format);
  for (uint32_t i = 0; i < 256; ++i) format->palette[i] = i * 0x010101u;
}

}  // namespace decoders
