// The screen's device capabilities and the paint calls.
#include "platform/win32/dc.h"

#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/win32/user.h"

int HDC__::DeviceCaps(int index) const {
  host::DisplayMode mode = host::CurrentDisplayMode();
  switch (index) {
    case HORZRES:
      return mode.width;
    case VERTRES:
      return mode.height;
    case BITSPIXEL:
      return mode.bitsPerPixel;
    case PLANES:
      return 1;
    case SIZEPALETTE:
      return mode.bitsPerPixel == 8 ? 256 : 0;
    default:
      return 0;
  }
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  HWND__* w = host::LiveWindow(window);
  if (!w || !paint) return nullptr;
  *paint = {};
  GetClientRect(window, &paint->rcPaint);
  w->needsPaint = false;
  paint->hdc = GetDC(window);
  return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
  if (!paint) return FALSE;
  ReleaseDC(window, paint->hdc);
  return TRUE;
}
