// A picture in memory: its format, size, pitch and pixel block (rows top down, channels B, G, R, A in memory).
#pragma once
#include <cstdint>
#include <string>

#include "core/file_access.h"
#include "graphics/color_format.h"

struct GraphImage {
  ColorFormat format;
  int32_t width;
  int32_t height;
  int32_t pitch;
  void* pixels;  // height * pitch bytes, owned by the record, allocated with MemAlloc
};

// The one limit on pictures, which every decoder checks from its header before it allocates anything: each side at
// most what a surface can hold, and at most 4096 x 4096 pixels in all (64 MB at four bytes a pixel), so a claimed
// size cannot make a small file demand gigabytes or minutes of decoding.
constexpr int kPictureMaxSide = 16384;
constexpr int64_t kPictureMaxPixels = int64_t{4096} * 4096;
inline bool IsPictureSizeAllowed(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kPictureMaxSide && height <= kPictureMaxSide &&
         width * height <= kPictureMaxPixels;
}

// A decoder answers 0 when it took the picture (the image then owns a new pixel block), else -1 leaving
// nothing allocated and the image untouched.
using ImageDecoder = int (*)(StreamSourceData* source, GraphImage* image);

// Frees the pixels and leaves an all-zero record; 0.
int DiscardGraphImage(GraphImage* image);
// Mirrors every row in place, left to right; -1 for an empty picture.
int MirrorGraphImage(GraphImage* image);
// One pixel as 0xAARRGGBB (channels not widened: a 5-bit 31 reads 248); 0 without pixels or outside the picture.
uint32_t ReadGraphImagePixel(const GraphImage* image, int x, int y);
// The picture's geometry is usable: positive size, known depth, a pitch holding a row, a block that fits an int.
bool IsGraphImageSane(const GraphImage* image);
// The alpha companion of a picture file: the stem (up to the last "."), then "_a", then the rest.
std::string MakeAlphaCompanionName(const char* fileName);
