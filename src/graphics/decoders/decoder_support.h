// What the picture decoders share: reads through a stream source, bounded pixel blocks and the colour formats
// they label their pictures with.
#pragma once
#include <cstddef>
#include <cstdint>

#include "graphics/graph_image.h"

namespace decoders {

inline uint32_t LoadLe16(const unsigned char* p) { return p[0] | (p[1] << 8); }
inline uint32_t LoadLe32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The largest block a decoder makes: above every pixel block a picture within the picture limit needs, it bounds
// the run-length data read whole and keeps every byte count inside the int that MemAlloc takes. It stays below
// 256 MB, so a header's padded rows cannot make one block of that size.
constexpr int64_t kMaxPictureBytes = (int64_t{1} << 28) - (int64_t{1} << 20);

// Widens a channel value of bits bits (1 to 8) to 8 bits by repeating its bits, so the largest value is 255.
inline uint32_t WidenChannel(uint32_t value, int bits) {
  uint32_t out = 0;
  for (int i = 0; i < 8; ++i) out = (out << 1) | ((value >> (bits - 1 - i % bits)) & 1);
  return out;
}

// Reads one element of size bytes; false when the stream gave none (a partial last element counts as one).
bool ReadElement(StreamSourceData* source, void* buffer, size_t size);
// Moves the stream; true when the stream accepted it.
bool SeekTo(StreamSourceData* source, int64_t offset, int origin);
int64_t StreamTell(StreamSourceData* source);
// The stream's length: tell, seek to the end, tell, seek back to where it was.
int64_t MeasureStreamEnd(StreamSourceData* source);

// A zeroed block of bytes for pixels, or null when bytes is not in 1 .. kMaxPictureBytes or memory is short.
void* AllocPixelBlock(int64_t bytes);
// bytes per row x rows, or -1 when either is not positive or the product passes kMaxPictureBytes.
int64_t BlockSize(int64_t rowBytes, int64_t rows);

// The 32-bit layout of pictures with alpha: the R8G8B8 preset widened to 32 bits with 8 bits of alpha on top
// (bytes blue, green, red, alpha).
void SetFormatB8G8R8A8(ColorFormat* format);
// One byte of grey per pixel (the Alpha8 preset, every channel reading the same byte) with the grey ramp as its
// palette, so readers that look an 8-bit picture up through its palette see the grey too.
void SetFormatGrey8(ColorFormat* format);

}  // namespace decoders
