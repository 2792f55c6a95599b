// The record behind a font handle, with its glyph cache, and the font manager's calls inside the font code.
#pragma once
#include <cstdint>

#include "graphics/graph_image.h"
#include "platform/win32/types.h"

constexpr int kFontTableSize = 40;
constexpr int kGlyphSlotCount = 2025;
constexpr int kGlyphCapacityMax = 2024;
constexpr int kGlyphCodeCount = 65536;
constexpr int kNewCodeListSize = 256;
// An edge's cells grow with the square of its size and each glyph pixel visits them all, so the edge is bounded:
// its size, and its size times the font's height (a 512-pixel font takes an edge of 4, a 16-pixel one of 127).
constexpr int kMaxEdgeSize = 127;
constexpr int kMaxEdgeTimesHeight = 2048;

struct GlyphIndexEntry;

struct GlyphSlot {
  uint16_t used;
  int16_t xOffset;
  int16_t yOffset;
  int16_t advance;
  int32_t cellNumber;
  int16_t width;
  int16_t height;
  GlyphIndexEntry* indexEntry;
};

struct GlyphIndexEntry {
  uint32_t present;
  GlyphSlot* slot;
};

struct FontRecord {
  uint32_t check;
  int32_t* deletedFlag;
  GlyphSlot slots[kGlyphSlotCount];
  GlyphIndexEntry index[kGlyphCodeCount];
  int32_t nextSlot;
  int32_t capacity;
  HBITMAP cacheDib;
  uint8_t* dibPixels;
  int32_t dibPitch;
  HPALETTE dibPalette;
  void* paletteMemory;
  char faceName[256];
  int32_t thickness;
  int32_t size;
  int32_t cellHeight;
  int32_t cellWidth;
  HFONT gdiFont;
  int32_t type;  // bit value 1 edged, 2 anti-aliased
  int32_t charSet;
  int32_t edgeSize;
  int32_t cacheWidth, cacheHeight;
  int32_t cellsPerColumn;
  int32_t workSurface;
  int32_t workSurfaceLost;
  int32_t cacheGraph;
  int32_t cacheGraphLost;
  GraphImage glyphWork;
  int32_t cacheIsGraph;
};

// The default font settings the graphics manager writes before it starts the font manager.
struct DefaultFontSettings {
  char faceName[128];
  int32_t size;
  int32_t thickness;
  int32_t type;
  int32_t charSet;
  int32_t edgeSize;
  int32_t handle;
};
DefaultFontSettings& GetDefaultFontSettings();

// 1 when the byte at text leads a double-byte character under the char-set index, else 0.
int IsDoubleByteLead(const char* text, int charSet);

// Glyph cache.
int ClearFontGlyphCache(int font);
int CacheStringGlyphs(int font, const char* text, int length, uint8_t* codeBuffer, int* countOut);
GlyphSlot* RenderGlyphToCache(int count, const uint8_t* codes, int font);
// Sizes the font's cache and makes its surface during creation; 0, or -1 after logging (the creation fails).
int SetUpGlyphCache(FontRecord* font);
// Releases the cache surfaces (DIB, palette, work surface, cache graph, work image) of a record being deleted.
void ReleaseGlyphCache(FontRecord* font);
// A glyph's code from its one or two bytes (lead byte in the low half).
inline uint16_t GlyphCodeOf(const uint8_t* bytes, int width) {
  return static_cast<uint16_t>(width == 2 ? bytes[0] | bytes[1] << 8 : bytes[0]);
}
// How many bytes the character at text takes (a lead byte before the terminator is a single byte).
int CharacterWidth(const char* text, int charSet);
// The font manager's suspension check: graphics suspended or no DirectDraw object.
bool FontsUnavailable();
