// Copies a rectangle of pixels between two images of any colour formats, with an optional alpha image, colour key,
// left-right mirroring and dithering.
#pragma once
#include <cstdint>

#include "graphics/color_format.h"
#include "platform/win32/types.h"

enum ConvertDither { CONVERT_DITHER_NONE = 0, CONVERT_DITHER_ORDERED = 1, CONVERT_DITHER_ERROR = 2 };

// srcRect's top-left is also the rectangle's place in the alpha image. alphaFormat null reads as all zeros.
// keyColor is 0x00RRGGBB. force 1 takes the per-pixel path and writes red, green and blue as 0.
// The caller guarantees that both rectangles lie inside their images. Always returns 0.
int ConvertColorFormatRect(void* dstPixels, int dstPitch, const ColorFormat* dstFormat, const void* srcPixels,
                           int srcPitch, const ColorFormat* srcFormat, const void* alphaPixels, int alphaPitch,
                           const ColorFormat* alphaFormat, int dstX, int dstY, const RECT* srcRect, int mirror,
                           int alphaTest, uint32_t keyColor, int dither, int force);
