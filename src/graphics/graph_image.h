// A picture in memory: its format, size, pitch and pixel block (rows top down, channels B, G, R, A in memory).
#pragma once
#include <cstdint>

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
