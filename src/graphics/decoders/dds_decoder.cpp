// DirectDraw Surface files with uncompressed pixels: the top-level surface only.
#include <cstring>

#include "core/memory.h"
#include "graphics/color_format.h"
#include "graphics/decoders/decoder_support.h"
#include "graphics/decoders/decoders.h"

using namespace decoders;

namespace {

constexpr uint32_t kPitchGiven = 0x8;
constexpr uint32_t kFormatCodeOnly = 0x4;
constexpr uint32_t kRgbWithAlpha = 0x41;
constexpr int kR3G3B2 = 27;

struct DdsFormatRow {
  int code;
  int depth;
  uint32_t red, green, blue, alpha;
};

// The format codes taken alone, with the depth and masks each gives.
constexpr DdsFormatRow DdsFormatTable[] = {
    {20, 24, 0xff0000, 0xff00, 0xff, 0},
    {21, 32, 0xff0000, 0xff00, 0xff, 0xff000000},
    {22, 32, 0xff0000, 0xff00, 0xff, 0},
    {23, 16, 0xf800, 0x7e0, 0x1f, 0},
    {24, 16, 0x7c00, 0x3e0, 0x1f, 0},
    {25, 16, 0x7c00, 0x3e0, 0x1f, 0x8000},
    {26, 16, 0xf00, 0xf0, 0xf, 0xf000},
    {27, 8, 0xe0, 0x1c, 0x3, 0},
    {29, 16, 0xe0, 0x1c, 0x3, 0xff00},
    {30, 16, 0xf00, 0xf0, 0xf, 0},
    {31, 32, 0x3ff, 0xffc00, 0x3ff00000, 0xc0000000},
    {32, 32, 0xff, 0xff00, 0xff0000, 0xff000000},
    {33, 32, 0xff, 0xff00, 0xff0000, 0},
    {35, 32, 0x3ff00000, 0xffc00, 0x3ff, 0xc0000000},
    {-1, 0, 0, 0, 0, 0},
};

// 8-bit R3G3B2 pixels are direct colour; readers look every 8-bit picture up through its palette, so the
// palette holds each value's own colour.
void SetR3G3B2Format(ColorFormat* format) {
  SetColorFormatPalette8(format);
  for (uint32_t i = 0; i < 256; ++i) {
    format->palette[i] =
        (WidenChannel(i >> 5, 3) << 16) | (WidenChannel((i >> 2) & 7, 3) << 8) | WidenChannel(i & 3, 2);
  }
}

// Builds the picture's format from the surface description's pixel format; false for anything not taken.
bool ChooseFormat(const unsigned char* desc, ColorFormat* format) {
  uint32_t flags = LoadLe32(desc + 76);
  int code = static_cast<int>(LoadLe32(desc + 80));
  uint32_t bits = LoadLe32(desc + 84);
  if (flags == kFormatCodeOnly) {
    for (const DdsFormatRow* row = DdsFormatTable; row->code != -1; ++row) {
      if (row->code != code) continue;
      if (code == kR3G3B2) {
        SetR3G3B2Format(format);
      } else {
        ColorFormatFromMasks(format, row->depth, row->red, row->green, row->blue, row->alpha);
      }
      return true;
    }
    return false;
  }
  if ((flags & kRgbWithAlpha) == kRgbWithAlpha && (bits == 16 || bits == 24 || bits == 32)) {
    ColorFormatFromMasks(format, static_cast<int>(bits), LoadLe32(desc + 88), LoadLe32(desc + 92), LoadLe32(desc + 96),
                       LoadLe32(desc + 100));
    return true;
  }
  return false;
}

}  // namespace

int DecodeDdsPicture(StreamSourceData* source, GraphImage* image) {
  unsigned char magic[4];
  if (!ReadElement(source, magic, sizeof(magic)) || std::memcmp(magic, "DDS", 3) != 0) return -1;
  unsigned char desc[124];
  if (!ReadElement(source, desc, sizeof(desc))) return -1;
  GraphImage result{};
  if (!ChooseFormat(desc, &result.format)) return -1;
  uint32_t height = LoadLe32(desc + 8);
  uint32_t width = LoadLe32(desc + 12);
  uint32_t pitchField = LoadLe32(desc + 16);
  if (!IsPictureSizeAllowed(width, height)) return -1;
  int64_t rowBytes = int64_t{width} * result.format.bytesPerPixel;
  int64_t pitch = (LoadLe32(desc + 4) & kPitchGiven) && pitchField >= rowBytes ? pitchField : rowBytes;
  int64_t bytes = BlockSize(pitch, height);
  auto* pixels = static_cast<unsigned char*>(AllocPixelBlock(bytes));
  if (pixels == nullptr) return -1;
  if (!ReadElement(source, pixels, static_cast<size_t>(bytes))) {
    MemFree(pixels);
    return -1;
  }
  result.width = static_cast<int32_t>(width);
  result.height = static_cast<int32_t>(height);
  result.pitch = static_cast<int32_t>(pitch);
  result.pixels = pixels;
  *image = result;
  return 0;
}
