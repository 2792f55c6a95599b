// What the graphics core calls of the font manager.
#pragma once
#include <cstdint>

#include "platform/win32/types.h"

class IDirectDrawSurface7;
struct FontRecord;

int IsValidFontHandle(int font);
FontRecord* GetFontRecord(int font);
int QueryDefaultFont();
int RebuildDefaultFontIfChanged();
int CreateFontToHandle(const char* face, int size, int thickness, int type, int charSet, int edgeSize, int slot,
                       int checkNumber);
int SetFontDeletedFlagPointer(int font, int32_t* flagPointer);
int DeleteFontHandle(int font);
int GetFontInfoOfHandle(char* face, int* size, int* thickness, int font);
int ChangeDefaultFontSize(const char* face, int size, int thickness);
// Writes the default font settings (empty face, size 16, thickness 6, type 0, edge 1); the graphics manager's
// start calls it before StartFontManager.
void WriteDefaultFontSettings();
int StartFontManager();
int StopFontManager();
int RecreateAllFonts();
int BuildFontCacheSurface(int font);

// The fields of a font record that the software text entry reads.
int FontCacheInTextures(const FontRecord* font);
int FontOptionBits(const FontRecord* font);
int FontWorkSurface(const FontRecord* font);

// Draws (drawFlag 1) or measures (0) a string through the font's glyph cache; the advance in pixels, or -1.
int FontCacheStringDraw(int drawFlag, int x, int y, const char* text, uint32_t color, IDirectDrawSurface7* surface,
                        uint8_t* alphaBuffer, int alphaPitch, const RECT* clip, int depth, int transparent, int font,
                        uint32_t edgeColor, int length, int vertical, int32_t* sizeOut);
