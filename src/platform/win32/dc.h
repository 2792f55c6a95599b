// The device context record behind every HDC, and the device capabilities. Window and screen contexts
// (GetDC, BeginPaint) are plain records that answer with the current display mode; the GDI engine's memory
// and surface contexts derive from the record and answer for their own pixels.
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

// The capability indices are the GDI engine's (its header holds them); until the engine is in the tree the
// window code names the ones it answers itself.
#if __has_include("platform/win32/gdi.h")
#include "platform/win32/gdi.h"
#else
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int SIZEPALETTE = 104;
#endif

int GetDeviceCaps(HDC dc, int index);
