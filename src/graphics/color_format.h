// How colours are laid out in pixel values: the screen's format and the head of every picture in memory.
#pragma once
#include "vomak.h"
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

struct DDPIXELFORMAT;

// Presets: each fills the header (never the palette) and returns 0.
int SetColorFormatPalette8(ColorFormat* format);
int SetColorFormatR8G8B8(ColorFormat* format);
int SetColorFormatAlpha8(ColorFormat* format);

// Header from a depth and four channel masks (0 = channel absent); returns 0.
int ColorFormatFromMasks(ColorFormat* format, int bitDepth, uint32_t redMask, uint32_t greenMask, uint32_t blueMask,
                         uint32_t alphaMask);
// Header from a DirectDraw pixel format; -1 with nothing written while no DirectDraw object exists.
int ColorFormatFromPixelFormat(const DDPIXELFORMAT* pixelFormat, ColorFormat* format);
void UpdateColorFormatUnusedMask(ColorFormat* format);
// 1 when depth and the four channel masks agree, else 0.
int ColorFormatsEqual(const ColorFormat* first, const ColorFormat* second);

// Packing by the format's masks alone: each argument cut to 8 bits, narrowed to its channel's width, plus the
// outside-channel mask; alpha is packed only when withAlpha is set and the format has an alpha channel.
uint32_t PackColorByMasks(const ColorFormat* format, int red, int green, int blue, int alpha, bool withAlpha);
// Index of the palette entry nearest to the colour (squared distance; the lowest index among equals).
// entries: 256 entries of four bytes red, green, blue, flags.
int FindNearestPaletteEntry(const uint8_t* entries, int red, int green, int blue);
// Splits a value by the format's masks, each channel scaled to 0..255 (0 for an absent channel).
void SplitColorByMasks(const ColorFormat* format, uint32_t value, int* red, int* green, int* blue);

// A colour for any format, alpha packed when the format has an alpha channel.
uint32_t PackColorForFormat(const ColorFormat* format, int red, int green, int blue, int alpha);
