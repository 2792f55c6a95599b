// How colours are laid out in pixel values: the screen's format and the head of every picture in memory.
#pragma once
#include <cstdint>

struct ColorFormat {
  uint16_t bitDepth;       // 8, 16, 24 or 32
  uint16_t bytesPerPixel;  // bitDepth / 8
  uint8_t redWidth, greenWidth, blueWidth, alphaWidth;
  uint8_t redShift, greenShift, blueShift, alphaShift;
  uint32_t redMask, greenMask, blueMask, alphaMask;
  uint32_t outsideMask;    // bits below bitDepth that no channel covers; set in every packed value
  uint32_t palette[256];   // 0x00RRGGBB, for 8-bit palette pictures
};
static_assert(sizeof(ColorFormat) == 1056, "ColorFormat layout");
