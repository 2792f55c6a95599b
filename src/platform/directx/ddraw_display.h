// The machine behind the DirectDraw substitute: the desktop it reports, the calls a test makes fail, the message a
// display change posts, the clock behind the vertical blank, and where presented pictures go. The headless and
// SDL hosts implement DisplayHost; a built-in one (1024 x 768, 32 bits, nothing shown) serves until one is set.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/directx/ddraw.h"

struct DisplayDesktop {
  int width = 1024;
  int height = 768;
  int bits = 32;         // 8, 16, 24 or 32
  bool rgb555 = false;   // 16-bit layout 5:5:5 instead of 5:6:5
};

// A picture on its way to the real window: a view of a primary surface's pixels (valid only during the call).
struct PresentedPicture {
  const uint8_t* pixels = nullptr;  // top-left pixel of the primary
  long pitch = 0;
  int width = 0, height = 0;
  DDPIXELFORMAT format{};
  const PALETTEENTRY* palette = nullptr;  // 256 entries on an 8-bit primary, else null
  RECT changed{};                         // the rectangle just written, in primary coordinates
  HWND window = nullptr;                  // the clipper's window when the write went through one
};

class DisplayHost {
 public:
  virtual ~DisplayHost() = default;
  virtual DisplayDesktop Desktop() { return {}; }
  // True when a test asked the named platform call ("DirectDrawCreate", "CreateSurface", "Lock",
  // "SetCooperativeLevel", "SetDisplayMode", "GetDC", ...) to fail now.
  virtual bool ShouldFail(const char* name) { (void)name; return false; }
  virtual uint32_t Milliseconds();
  // The window's client rectangle in screen (desktop) coordinates; false for an unknown window.
  virtual bool ClientRectOnScreen(HWND window, RECT* rect) { (void)window; (void)rect; return false; }
  // WM_DISPLAYCHANGE to every top-level window: wParam bits per pixel, lParam width | height << 16.
  virtual void PostDisplayChange(int bits, int width, int height) { (void)bits; (void)width; (void)height; }
  // Video memory the display adapter has, in bytes.
  virtual uint32_t VideoMemoryBytes() { return 32u << 20; }
  // A primary surface changed (a copy into it, a flip, an unlock or a released device context).
  virtual void Present(const PresentedPicture& picture) { (void)picture; }
};

// Installs the host; null puts the built-in one back. The host outlives every DirectDraw object.
void SetDisplayHost(DisplayHost* host);
DisplayHost& GetDisplayHost();

// The display mode in force on the machine (the desktop's until an exclusive owner sets another).
struct DisplayMode {
  int width, height, bits;
  bool rgb555;
};
DisplayMode CurrentDisplayMode();

// Test controls: mark every live surface lost (as a display change by another program would).
void MarkAllDirectDrawSurfacesLost();

// Converts a rectangle of a presented picture (clamped to it) to 0x00RRGGBB pixels, row by row.
std::vector<uint32_t> PresentedPixels(const PresentedPicture& picture, const RECT& rect);
