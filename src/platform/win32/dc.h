// The device context record behind every HDC, and the device capabilities. The GDI engine makes every context
// (GetDC, ReleaseDC, GetDeviceCaps are its own) from a record derived from this one; the base answers for the
// screen with the current display mode. BeginPaint and EndPaint take their contexts through GetDC and ReleaseDC.
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

// The capability indices are the GDI engine's.
#include "platform/win32/gdi.h"

int GetDeviceCaps(HDC dc, int index);
