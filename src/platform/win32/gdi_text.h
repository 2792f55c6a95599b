// GDI text on the substitute platform: fonts (FreeType faces found through fontconfig), their metrics and glyph
// bitmaps, text drawn into memory contexts, and logical palettes.
#pragma once
#include "platform/win32/gdi.h"
#include "platform/win32/types.h"

constexpr DWORD ANSI_CHARSET = 0;
constexpr DWORD DEFAULT_CHARSET = 1;
constexpr DWORD SHIFTJIS_CHARSET = 128;
constexpr DWORD HANGEUL_CHARSET = 129;
constexpr DWORD NONANTIALIASED_QUALITY = 3;
constexpr DWORD ANTIALIASED_QUALITY = 4;
constexpr DWORD FIXED_PITCH = 1;

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr UINT ETO_OPAQUE = 2;
constexpr UINT ETO_CLIPPED = 4;

constexpr UINT GGO_METRICS = 0;
constexpr UINT GGO_BITMAP = 1;
constexpr UINT GGO_GRAY4_BITMAP = 5;
constexpr DWORD GDI_GLYPH_ERROR = 0xFFFFFFFFu;  // GetGlyphOutlineA's GDI_ERROR as a DWORD

constexpr COLORREF RGB(int red, int green, int blue) {
  return static_cast<COLORREF>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr COLORREF PALETTEINDEX(int index) { return 0x01000000u | static_cast<WORD>(index); }

struct TEXTMETRICA {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  BYTE tmFirstChar;
  BYTE tmLastChar;
  BYTE tmDefaultChar;
  BYTE tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};

struct GLYPHMETRICS {
  UINT gmBlackBoxX;
  UINT gmBlackBoxY;
  POINT gmptGlyphOrigin;  // y: from the base line up to the black box's top
  SHORT gmCellIncX;
  SHORT gmCellIncY;
};

struct FIXED {
  WORD fract;
  SHORT value;
};
struct MAT2 {
  FIXED eM11, eM12, eM21, eM22;
};

struct LOGPALETTE {
  WORD palVersion;
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[1];
};
constexpr BYTE PC_EXPLICIT = 2;

// A font by cell height (positive: ascent + descent) or character height (negative), weight and face; null when
// no face can be loaded or the size is beyond what the substitute renders (more than 1,024 pixels).
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCSTR face);
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
// One character's metrics and bitmap (code: a byte, or lead byte x 256 + trail byte, in the font's code page).
// Answers the bitmap's size in bytes (0 for a blank glyph), or GDI_GLYPH_ERROR. A code the font cannot map gives
// the default glyph.
DWORD GetGlyphOutlineA(HDC dc, UINT code, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize, LPVOID buffer,
                       const MAT2* matrix);
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size);
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int count);
// TextOutA with an optional clip rectangle (ETO_CLIPPED) and background box (ETO_OPAQUE).
BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count, const INT* dx);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
int SetBkMode(HDC dc, int mode);

HPALETTE CreatePalette(const LOGPALETTE* palette);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
UINT RealizePalette(HDC dc);
