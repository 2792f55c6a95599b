// The GDI engine's own objects behind HDC and HGDIOBJ, and the device contexts DirectDraw surfaces hand out.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/win32/dc.h"
#include "platform/win32/gdi.h"
#include "platform/win32/gdi_pixels.h"

struct GdiBitmap : HGDIOBJ__ {
  PixelBlock block;
  BITMAPINFOHEADER header{};
  DWORD masks[3]{};
  std::vector<uint32_t> palette;
  uint8_t* storage = nullptr;  // the section's bits (owned)
  long stride = 0;             // bytes per stored row
  HDC selectedInto = nullptr;
  bool stock = false;
};

struct GdiContext : HDC__ {
  int DeviceCaps(int index) const override;
  enum class Kind { Memory, Surface, Window } kind = Kind::Memory;
  GdiBitmap* bitmap = nullptr;       // memory contexts: the selected bitmap (the stock one at first)
  PixelBlock surface;                // surface contexts: the surface's pixels; window contexts: the picture
  std::vector<uint32_t> palette;     // surface contexts on 8 bits: the surface's palette
  HGDIOBJ font = nullptr;            // the selected font (null: the stock font)
  HGDIOBJ logicalPalette = nullptr;  // the selected logical palette, or null
  COLORREF textColor = 0;
  COLORREF backColor = 0xFFFFFF;
  int backMode = 2;                  // OPAQUE
};

// Text objects (fonts, logical palettes) as SelectObject and DeleteObject reach them: true when the object is
// one of them (previous receives what was selected before); ReleaseTextObjects lets a dying context go of them.
bool SelectTextObject(GdiContext* context, HGDIOBJ object, HGDIOBJ* previous);
bool DeleteTextObject(HGDIOBJ object, BOOL* result);
void ReleaseTextObjects(GdiContext* context);

// A context over a surface's pixels (8-bit blocks carry their palette, copied). Null when the block is unusable.
HDC CreateSurfaceContext(const PixelBlock& block);
void DestroySurfaceContext(HDC dc);

// The pixels a context draws into, or null (the screen's context, a bad handle).
const PixelBlock* ContextPixels(HDC dc);
// After a drawing call: a window context shows its picture in the window.
void ContextDrawn(HDC dc);

// The registry of live contexts.
HDC RegisterContext(GdiContext* context);
GdiContext* FindContext(HDC dc);
void ForgetContext(GdiContext* context);
// How many contexts are live (for checks that none is left behind).
size_t LiveContextCount();
// A window context's picture of the client area (kept per window between contexts), sized to the client now.
const PixelBlock* WindowPicture(GdiContext* context);
void ShowWindowPicture(GdiContext* context);
// Frees the picture of a window's client area (the window is being destroyed).
void ForgetWindowPicture(HWND window);
GdiBitmap* LiveBitmap(HGDIOBJ object);
HBITMAP RegisterBitmap(GdiBitmap* bitmap);  // the bitmap becomes a live handle
