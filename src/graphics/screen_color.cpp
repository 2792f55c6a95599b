// Colours of the current screen: packing and splitting through the screen's format, or its palette on 8 bits.
#include "graphics/color_format.h"
#include "graphics/ddraw_layer.h"
#include "platform/directx/ddraw.h"

namespace {

bool IsPaletteScreen() { return GetScreenColorFormat()->bitDepth == 8; }

const uint8_t* ScreenPaletteBytes() {
  static_assert(sizeof(ScreenPaletteEntry) == 4, "palette entries are four bytes");
  return &GetDirectDrawLayerState().paletteEntries[0].red;
}

}  // namespace

uint32_t PackScreenColor(int red, int green, int blue) {
  if (IsPaletteScreen()) return static_cast<uint32_t>(FindNearestPaletteEntry(ScreenPaletteBytes(), red, green, blue));
  return PackColorByMasks(GetScreenColorFormat(), red, green, blue, 0, false);
}

// Only a palette format (8 bits, no alpha) on an 8-bit screen takes a palette index; every other format, alpha-only
// and texture formats included, is packed by its own masks.
uint32_t PackColorForFormat(const ColorFormat* format, int red, int green, int blue, int alpha) {
  if (IsPaletteScreen() && format->bitDepth == 8 && format->alphaWidth == 0) {
    return static_cast<uint32_t>(FindNearestPaletteEntry(ScreenPaletteBytes(), red, green, blue));
  }
  return PackColorByMasks(format, red, green, blue, alpha, true);
}

int UnpackScreenColor(uint32_t value, int* red, int* green, int* blue) {
  int channels[3] = {0, 0, 0};
  if (IsPaletteScreen()) {
    if (value > 255) return -1;
    const ScreenPaletteEntry& entry = GetDirectDrawLayerState().paletteEntries[value];
    channels[0] = entry.red;
    channels[1] = entry.green;
    channels[2] = entry.blue;
  } else {
    SplitColorByMasks(GetScreenColorFormat(), value, &channels[0], &channels[1], &channels[2]);
  }
  // Null pointers are skipped, as the other out-pointer calls do.
  int* outputs[3] = {red, green, blue};
  for (int i = 0; i < 3; ++i)
    if (outputs[i] != nullptr) *outputs[i] = channels[i];
  return 0;
}

int ColorFormatFromPixelFormat(const DDPIXELFORMAT* pixelFormat, ColorFormat* format) {
  if (!QueryDirectDrawObject()) return -1;
  return ColorFormatFromMasks(format, static_cast<int>(pixelFormat->dwRGBBitCount), pixelFormat->dwRBitMask,
                              pixelFormat->dwGBitMask, pixelFormat->dwBBitMask, pixelFormat->dwRGBAlphaBitMask);
}
