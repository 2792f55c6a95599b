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
