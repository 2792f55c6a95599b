#include "graphics/graph_image.h"

#include <climits>
#include <cstring>

#include "core/memory.h"

namespace {

uint32_t ReadRawPixel(const uint8_t* p, int bytes) {
  switch (bytes) {
    case 1: return p[0];
    case 2: return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
    case 3: return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
    default: {
      uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
}

// A channel brought to 8 bits by position only (no filling of the low bits) and placed at `place`.
uint32_t ChannelByte(uint32_t value, uint32_t mask, unsigned shift, unsigned width, unsigned place) {
  if (width == 0 || shift >= 32) return 0;
  uint32_t v = (value & mask) >> shift;
  v = width <= 8 ? v << (8 - width) : (width - 8 >= 32 ? 0 : v >> (width - 8));
  return (v & 0xFF) << place;
}

}  // namespace

int DiscardGraphImage(GraphImage* image) {
  if (!image) return 0;
  if (image->pixels) MemFree(image->pixels);
  std::memset(image, 0, sizeof(*image));
  return 0;
}

bool IsGraphImageSane(const GraphImage* image) {
  if (!image || !image->pixels || image->width <= 0 || image->height <= 0) return false;
  const int bytes = image->format.bitDepth / 8;
  if (bytes < 1 || bytes > 4 || image->format.bitDepth % 8 != 0 || image->format.bytesPerPixel != bytes) return false;
  const int64_t row = static_cast<int64_t>(image->width) * bytes;
  return image->pitch >= row && static_cast<int64_t>(image->pitch) * image->height <= INT_MAX;
}

int MirrorGraphImage(GraphImage* image) {
  if (!image || image->width <= 0 || image->height <= 0 || !image->pixels) return -1;
  const int bytes = image->format.bytesPerPixel;
  if (bytes < 1 || bytes > 4) return 0;
  if (image->pitch < static_cast<int64_t>(image->width) * bytes) return -1;
  auto* base = static_cast<uint8_t*>(image->pixels);
  uint8_t swap[4];
  for (int y = 0; y < image->height; ++y) {
    uint8_t* row = base + static_cast<ptrdiff_t>(y) * image->pitch;
    for (int i = 0; i < image->width / 2; ++i) {
      uint8_t* left = row + static_cast<ptrdiff_t>(i) * bytes;
      uint8_t* right = row + static_cast<ptrdiff_t>(image->width - 1 - i) * bytes;
      std::memcpy(swap, left, bytes);
      std::memcpy(left, right, bytes);
      std::memcpy(right, swap, bytes);
    }
  }
  return 0;
}

uint32_t ReadGraphImagePixel(const GraphImage* image, int x, int y) {
  if (!image || !image->pixels || x < 0 || y < 0 || x >= image->width || y >= image->height) return 0;
  const ColorFormat& f = image->format;
  const int bytes = f.bytesPerPixel;
  if (bytes < 1 || bytes > 4 || image->pitch < static_cast<int64_t>(image->width) * bytes) return 0;
  const auto* p = static_cast<const uint8_t*>(image->pixels) + static_cast<ptrdiff_t>(y) * image->pitch +
                  static_cast<ptrdiff_t>(x) * bytes;
  uint32_t value = ReadRawPixel(p, bytes);
  // A one-byte pixel is an index; its header describes the palette entry.
  if (bytes == 1) value = f.palette[value];
  uint32_t result = ChannelByte(value, f.redMask, f.redShift, f.redWidth, 16) |
                    ChannelByte(value, f.greenMask, f.greenShift, f.greenWidth, 8) |
                    ChannelByte(value, f.blueMask, f.blueShift, f.blueWidth, 0);
  if (f.alphaWidth != 0) result |= ChannelByte(value, f.alphaMask, f.alphaShift, f.alphaWidth, 24);
  return result;
}

std::string MakeAlphaCompanionName(const char* fileName) {
  const std::string name = fileName ? fileName : "";
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return name + "_a";
  return name.substr(0, dot) + "_a" + name.substr(dot);
}
