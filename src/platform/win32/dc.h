// The device context record of window and screen contexts, and the device capabilities.
// BeginPaint and EndPaint take their contexts through GetDC and ReleaseDC. Until the GDI engine is linked,
// the window code's own GetDC, ReleaseDC and GetDeviceCaps make contexts of this record that answer with the
// current display mode; the engine's definitions replace those three together.
#pragma once
#include "platform/win32/types.h"

struct HDC__ {
  HDC__() = default;
  HDC__(const HDC__&) = delete;
  HDC__& operator=(const HDC__&) = delete;
  virtual ~HDC__() = default;
  // Answers GetDeviceCaps; the base answers for the screen (the current display mode).
  virtual int DeviceCaps(int index) const;

  HWND window = nullptr;  // the window of a window context; null for the screen and for memory contexts
  bool windowContext = false;  // made by GetDC or BeginPaint and given back by ReleaseDC or EndPaint
};

constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int RASTERCAPS = 38;
constexpr int SIZEPALETTE = 104;
constexpr int VREFRESH = 116;
constexpr int RC_PALETTE = 0x0100;

int GetDeviceCaps(HDC dc, int index);
