// The library's own raw picture: "BGRA", channel sizes, width, height, then rows of B, G, R, A top down.
#include <cstring>

#include "core/memory.h"
#include "graphics/decoders/decoder_support.h"
#include "graphics/decoders/decoders.h"

using namespace decoders;

namespace {

constexpr uint32_t kEightBitChannels = 0x08080808;
constexpr uint32_t kSixteenBitChannels = 0x10101010;

// Keeps the high byte of each 16-bit little-endian channel of one row.
void NarrowRow(const unsigned char* in, unsigned char* out, int32_t width) {
  for (int32_t x = 0; x < width * 4; ++x) out[x] = in[x * 2 + 1];
}

}  // namespace

int DecodeBgraPicture(StreamSourceData* source, GraphImage* image) {
  unsigned char header[16];
  if (!ReadElement(source, header, sizeof(header)) || std::memcmp(header, "BGRA", 4) != 0) return -1;
  uint32_t channels = LoadLe32(header + 4);
  if (channels != kEightBitChannels && channels != kSixteenBitChannels) return -1;
  int32_t width = static_cast<int32_t>(LoadLe32(header + 8));
  int32_t height = static_cast<int32_t>(LoadLe32(header + 12));
  if (!IsPictureSizeAllowed(width, height)) return -1;
  int64_t bytes = BlockSize(int64_t{width} * 4, height);
  if (bytes < 0) return -1;

  auto* pixels = static_cast<unsigned char*>(AllocPixelBlock(bytes));
  if (pixels == nullptr) return -1;
  int32_t pitch = width * 4;
  if (channels == kEightBitChannels) {
    if (!ReadElement(source, pixels, static_cast<size_t>(bytes))) {
      MemFree(pixels);
      return -1;
    }
  } else {
    auto* row = static_cast<unsigned char*>(MemAlloc(pitch * 2));
    if (row == nullptr) {
      MemFree(pixels);
      return -1;
    }
    for (int32_t y = 0; y < height; ++y) {
      // A short last row leaves zeros, not the previous row, behind it.
      std::memset(row, 0, static_cast<size_t>(pitch) * 2);
      if (!ReadElement(source, row, static_cast<size_t>(pitch) * 2)) {
        MemFree(row);
        MemFree(pixels);
        return -1;
      }
      NarrowRow(row, pixels + static_cast<int64_t>(y) * pitch, width);
    }
    MemFree(row);
  }

  GraphImage result{};
  SetFormatB8G8R8A8(&result.format);
  result.width = width;
  result.height = height;
  result.pitch = pitch;
  result.pixels = pixels;
  *image = result;
  return 0;
}
