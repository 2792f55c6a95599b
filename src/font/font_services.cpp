// The font manager's entries until fonts are built: no font exists, so every handle is bad and nothing draws.
#include "font/font_services.h"

namespace {
// The default font's size and thickness, which survive a screen-mode change.
struct DefaultFontSettings {
  int size = 16;
  int thickness = 6;
} defaultFont;
}  // namespace

int IsValidFontHandle(int) { return 0; }
FontRecord* GetFontRecord(int) { return nullptr; }
int QueryDefaultFont() { return -1; }
int RebuildDefaultFontIfChanged() { return 0; }
int CreateFontToHandle(const char*, int, int, int, int, int, int, int) { return -1; }
int SetFontDeletedFlagPointer(int, int32_t*) { return -1; }
int DeleteFontHandle(int) { return -1; }

int GetFontInfoOfHandle(char*, int*, int*, int) { return -1; }

int ChangeDefaultFontSize(const char*, int size, int thickness) {
  defaultFont.size = size == -1 ? 16 : size;
  defaultFont.thickness = thickness == -1 ? 6 : thickness;
  return 0;
}

int StartFontManager() {
  defaultFont = DefaultFontSettings{};
  return 0;
}
int StopFontManager() { return 0; }
int RecreateAllFonts() { return 0; }
int BuildFontCacheSurface(int) { return -1; }

int FontCacheStringDraw(int, int, int, const char*, uint32_t, IDirectDrawSurface7*, uint8_t*, int, const RECT*, int,
                        int, int, uint32_t, int, int, int32_t*) {
  return -1;
}

int FontCacheInTextures(const FontRecord*) { return 0; }
int FontOptionBits(const FontRecord*) { return 0; }
int FontWorkSurface(const FontRecord*) { return -1; }
