// The menu bar and cursor rules, and the dropped-file list.
#include "core/menu_cursor.h"

#include "core/main_window.h"
#include "core/memory.h"
#include "core/system_state.h"
#include "core/win32_calls.h"

int EnableMainMenu(int on) {
  LibrarySystemState& s = SystemState;
  if (on == s.menuOn) return 0;
  if (on) {
    if (s.menuHandle == nullptr && (s.menuHandle = CreateMenu()) == nullptr) return -1;
    s.menuOn = 1;
    s.menuShownNow = 0;
    ShowMainMenu(1);
  } else {
    if (s.menuHandle != nullptr) {
      ShowMainMenu(0);
      DestroyMenu(s.menuHandle);
      s.menuHandle = nullptr;
    }
    s.menuOn = 0;
  }
  s.pendingMenuCommandCount = 0;
  s.menuItemCount = 0;
  return 0;
}

int ShowMainMenu(int show) {
  LibrarySystemState& s = SystemState;
  if (!s.menuOn) return 0;
  s.menuHideRequest = show == 0;
  if (s.mainWindow == nullptr) return 0;
  int shown = IsMenuEffectivelyShown();
  if (shown != s.menuShownNow) {
    SetMenu(s.mainWindow, shown ? s.menuHandle : nullptr);
    if (s.windowModeFlag) ApplyWindowStyle();
    UpdateWindow(s.mainWindow);
    s.menuShownNow = shown;
  }
  return 0;
}

int IsMenuEffectivelyShown() {
  const LibrarySystemState& s = SystemState;
  if (s.mainWindow == nullptr || !s.menuOn || s.menuHideRequest) return 0;
  if (s.cursorMenuUpdateOff == 1) return 1;
  return (s.windowModeFlag || s.menuNearTop) ? 1 : 0;
}

int IsMenuShowRequested() { return SystemState.menuHideRequest ? 0 : 1; }
int IsMainMenuEnabled() { return SystemState.menuOn; }

int SetCursorVisible(int request) {
  LibrarySystemState& s = SystemState;
  s.cursorShownRequest = request;
  int show = (request == 1 || IsMenuEffectivelyShown()) ? 1 : 0;
  if (show != s.systemCursorShown) {
    if (show) {
      while (ShowCursor(TRUE) < 0) {
      }
    } else {
      while (ShowCursor(FALSE) >= 0) {
      }
    }
    if (s.mainWindow) PostMessageA(s.mainWindow, WM_SETCURSOR, reinterpret_cast<WPARAM>(s.mainWindow), 0);
    s.systemCursorShown = show;
  }
  return 0;
}

int GetCursorRequest() { return SystemState.cursorShownRequest; }

int GetCursorPoint(int* x, int* y) {
  const LibrarySystemState& s = SystemState;
  POINT point{};
  GetCursorPos(&point);
  int px = point.x, py = point.y;
  if (s.windowModeFlag) {
    double scale = GetWindowScale();
    px = static_cast<int>((px - s.clientRect.left) / scale);
    py = static_cast<int>((py - s.clientRect.top) / scale);
  }
  if (x) *x = px;
  if (y) *y = py;
  return 0;
}

int ReleaseDroppedFiles() {
  LibrarySystemState& s = SystemState;
  for (int i = 0; i < s.droppedFileCount; ++i) {
    MemFree(s.droppedFiles[i]);
    s.droppedFiles[i] = nullptr;
  }
  s.droppedFileCount = 0;
  return 0;
}
