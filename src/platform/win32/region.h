// GDI regions on the substitute platform: sets of pixels kept as horizontal bands of spans, combined exactly.
#pragma once
#include <vector>

#include "platform/win32/types.h"

// CombineRgn modes and answers.
constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
constexpr int RGN_ERROR = 0;

// A rectangular region (corners swapped into order); null when the platform refuses it.
HRGN CreateRectRgn(int left, int top, int right, int bottom);

// A region from a list of rectangles: the header, then nCount RECTs from dwSize bytes into the block.
constexpr DWORD RDH_RECTANGLES = 1;
struct RGNDATAHEADER {
  DWORD dwSize;
  DWORD iType;
  DWORD nCount;
  DWORD nRgnSize;
  RECT rcBound;
};
struct RGNDATA {
  RGNDATAHEADER rdh;
  char Buffer[1];
};
struct XFORM;
// The union of the rectangles (empty ones add nothing); null for a transform (not offered here), a header that is
// not RDH_RECTANGLES, rectangles past the block's `bytes`, or when the platform refuses it. Rectangles listed as
// regions list them (bands from the top, each band's spans left to right) are taken in one pass.
HRGN ExtCreateRegion(const XFORM* transform, DWORD bytes, const RGNDATA* data);
// destination = first op second (RGN_COPY takes the first alone); the destination may be either source.
// Answers NULLREGION, SIMPLEREGION or COMPLEXREGION, or RGN_ERROR for a bad handle or mode.
int CombineRgn(HRGN destination, HRGN first, HRGN second, int mode);

// Platform-internal: the region's rectangles, band by band from the top, each band left to right (false for a
// handle that is not a live region); DeleteObject's share for regions (false: not a region).
bool RegionRectangles(HRGN region, std::vector<RECT>* rectangles);
bool DeleteRegionObject(HGDIOBJ object);
