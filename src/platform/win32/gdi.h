// GDI on the substitute platform: device contexts over memory (DIB sections and DirectDraw surfaces), DIB
// transfers with format conversion, and the display context's capabilities.
#pragma once
#include "platform/win32/dc.h"  // the device-context record and GetDeviceCaps
#include "platform/win32/types.h"

// The record behind every GDI object handle; each kind of object derives from it.
struct HGDIOBJ__ {
  HGDIOBJ__() = default;
  HGDIOBJ__(const HGDIOBJ__&) = delete;
  HGDIOBJ__& operator=(const HGDIOBJ__&) = delete;
  virtual ~HGDIOBJ__() = default;
};

struct BITMAPINFOHEADER {
  DWORD biSize;  // 40
  LONG biWidth;
  LONG biHeight;  // negative: rows run top down
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER layout");

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

// The header followed by the colour table (palette pictures) or three colour masks (BI_BITFIELDS).
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

// One colour of a palette (GDI logical palettes and DirectDraw palettes).
struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};

struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3];
  HANDLE dshSection;
  DWORD dsOffset;
};

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;

constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;

// GetDeviceCaps indexes (window and screen contexts answer with the display mode, memory and surface contexts
// with their pixels).
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int SIZEPALETTE = 104;

constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

#define HGDI_ERROR (reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(-1)))
constexpr int GDI_ERROR = -1;

HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
// GetObjectA on a bitmap: a BITMAP (size of BITMAP), or a DIBSECTION for a DIB section (size of DIBSECTION).
int GetObjectA(HANDLE object, int size, LPVOID out);
BOOL GdiFlush();

// A DIB section of 1, 4, 8 (with colour table), 16, 24 or 32 bits, BI_RGB or BI_BITFIELDS, either row order.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);

// Draws scan lines of a DIB into the context's bitmap at (x, y). Sources: 1, 4 and 8 bits with a colour table,
// 16, 24 and 32 bits (plain or with masks), run-length 8 and 4 bits (read no further than biSizeImage).
// Answers the number of scan lines drawn, 0 on failure.
int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int srcX, int srcY, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
// Copies a rectangle of a DIB into the context; a negative source width mirrors it left to right (source x then
// names the right-most column), a sign difference between the heights turns it upside down. Sizes that differ
// stretch by nearest pixel. Answers the number of scan lines drawn, 0 on failure.
int StretchDIBits(HDC dc, int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);

// Copies between the bitmaps of two contexts, converting the pixel format (SRCCOPY, BLACKNESS, WHITENESS).
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
