// The main window's procedure.
#include <cstring>

#include "core/log.h"
#include "core/main_window.h"
#include "core/memory.h"
#include "core/menu_cursor.h"
#include "core/services.h"
#include "core/system_state.h"
#include "core/win32_calls.h"
#include "graphics/graphics_system.h"

namespace {

void RequestClose() {
  LibrarySystemState& s = SystemState;
  if (s.closingRequested) return;
  s.closingRequested = 1;
  PostMessageA(s.mainWindow, WM_CLOSE, 0, 0);
}

using SetHookFunction = HHOOK (*)(HWND window);

// Loads the companion keyboard-hook library and lets it hook the window; without it there is no hook.
void ApplyKeyboardHook(HWND window) {
  LibrarySystemState& s = SystemState;
  if (s.hookLibraryPath.empty()) return;
  HMODULE library = LoadLibraryA(s.hookLibraryPath.c_str());
  if (library == nullptr) return;
  auto setHook = reinterpret_cast<SetHookFunction>(reinterpret_cast<void (*)()>(GetProcAddress(library, "SetMSGHookDll")));
  if (setHook == nullptr) {
    FreeLibrary(library);
    return;
  }
  s.hookLibrary = library;
  s.hookHandle = setHook(window);
}

void OnActivate(HWND window, WPARAM first) {
  LibrarySystemState& s = SystemState;
  bool activated = (first & 0xFFFF) != 0;
  s.activeFlag = activated ? 1 : 0;
  if (s.creatingFlag) return;
  if (activated) {
    if (!s.windowModeFlag && s.displayLostWhileInactive && s.initialisedFlag) {
      ResetGraphicsAfterDisplayChange();
      s.displayLostWhileInactive = 0;
    } else {
      ResumeAllGraphMovies();
    }
  } else {
    if (!s.windowModeFlag && GetDisplayModeChangedFlag() && QueryDirectDrawObject() != nullptr) {
      // Without a way to refill the graphs the program closes; the rows after this one still run.
      if (!HasGraphRefillCallback() && !s.userWindowMode) {
        AppLogWrite("復元関数が登録されていないため終了します\n");
        RequestClose();
      } else {
        s.displayLostWhileInactive = 1;
      }
    } else {
      PauseAllGraphMovies();
    }
    HDC dc = GetDC(window);
    if (s.savedImage) PaintSavedImage(dc);
    ReleaseDC(window, dc);
  }
  if (s.systemKeysOff) {
    if (s.windowsVersionCode < 0x104) {
      SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, s.activeFlag, nullptr, 0);
    } else if (activated && s.hookHandle == nullptr) {
      ApplyKeyboardHook(window);
    } else if (!activated && s.hookHandle != nullptr) {
      UnhookWindowsHookEx(s.hookHandle);
      FreeLibrary(static_cast<HMODULE>(s.hookLibrary));
      s.hookHandle = nullptr;
      s.hookLibrary = nullptr;
    }
    s.hookApplied = 1;
  }
}

void OnDisplayChange(WPARAM first, LPARAM second) {
  LibrarySystemState& s = SystemState;
  if (!s.windowModeFlag && s.displayLostWhileInactive) {
    s.displayChangeArrived = 1;
    return;
  }
  if (!s.windowModeFlag || s.modeChanging) {
    s.displayChangeArrived = 1;
    return;
  }
  int newDepth = static_cast<int>(first);
  int newWidth = static_cast<int>(second & 0xFFFF), newHeight = static_cast<int>((second >> 16) & 0xFFFF);
  int width = 0, height = 0, depth = 0;
  GetScreenSizeAndDepth(&width, &height, &depth);
  if (width == newWidth && height == newHeight && depth == newDepth) {
    s.displayChangeArrived = 1;
    return;
  }
  if (!HasGraphRefillCallback() || newDepth == 24 || (depth != newDepth && newDepth == 8) || width > newWidth ||
      height > newHeight) {
    AppLogWrite("復元関数が登録されていないためか画面が２４ビットカラーに変更されたため終了します\n");
    AppLogWrite("またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します\n");
    RequestClose();
    return;
  }
  ReleaseAllMovieObjects();
  ReadDisplayPixelFormat();
  ResetGraphicsAfterDisplayChange();
  ResumeAllGraphMovies();
  s.displayChangeArrived = 1;
}

void OnSizing(WPARAM edge, RECT* proposed) {
  LibrarySystemState& s = SystemState;
  int screenWidth = 640, screenHeight = 480;
  QueryScreenSize(&screenWidth, &screenHeight);
  RECT window{}, client{};
  GetWindowRect(s.mainWindow, &window);
  GetClientRect(s.mainWindow, &client);
  int borderWidth = (window.right - window.left) - (client.right - client.left);
  int borderHeight = (window.bottom - window.top) - (client.bottom - client.top);
  int clientWidth = (proposed->right - proposed->left) - borderWidth;
  int clientHeight = (proposed->bottom - proposed->top) - borderHeight;
  bool heightBound = static_cast<double>(clientHeight) / screenHeight < static_cast<double>(clientWidth) / screenWidth;
  auto widthFollows = [&] {
    clientWidth = clientHeight * screenWidth / screenHeight;
    proposed->right = proposed->left + borderWidth + clientWidth;
  };
  auto heightFollows = [&] {
    clientHeight = clientWidth * screenHeight / screenWidth;
    proposed->bottom = proposed->top + borderHeight + clientHeight;
  };
  switch (edge) {
    case WMSZ_TOP:
    case WMSZ_BOTTOM: widthFollows(); break;
    case WMSZ_LEFT:
    case WMSZ_RIGHT: heightFollows(); break;
    case WMSZ_TOPLEFT:
    case WMSZ_TOPRIGHT:
    case WMSZ_BOTTOMLEFT:
    case WMSZ_BOTTOMRIGHT:
      if (heightBound) {
        heightFollows();
      } else {
        widthFollows();
      }
      break;
    default: return;
  }
  s.windowScale = static_cast<double>(clientWidth) / screenWidth;
}

void OnDropFiles(HDROP drop) {
  LibrarySystemState& s = SystemState;
  UINT count = DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
  for (UINT i = 0; i < count && s.droppedFileCount < kMaxDroppedFiles; ++i) {
    UINT length = DragQueryFileA(drop, i, nullptr, 0);
    auto* name = static_cast<char*>(MemAlloc(static_cast<int>(length + 1)));
    if (name == nullptr) break;
    DragQueryFileA(drop, i, name, length + 1);
    s.droppedFiles[s.droppedFileCount++] = name;
  }
  DragFinish(drop);
}

void OnCommand(WPARAM first) {
  LibrarySystemState& s = SystemState;
  int id = static_cast<int>(first & 0xFFFF);
  if (s.menuCommandCallback) s.menuCommandCallback(id);
  if (s.menuNameCallback) {
    char name[128] = "";
    GetMenuItemNameById(id, name);
    s.menuNameCallback(name, id);
  }
  if (s.pendingMenuCommandCount >= kMaxPendingMenuCommands) return;
  for (int i = 0; i < s.pendingMenuCommandCount; ++i) {
    if (s.pendingMenuCommands[i] == id) return;
  }
  s.pendingMenuCommands[s.pendingMenuCommandCount++] = id;
}

void OnPaint(HWND window) {
  LibrarySystemState& s = SystemState;
  PAINTSTRUCT paint{};
  if (BeginPaint(window, &paint) == nullptr) return;
  if (!s.activeFlag && s.savedImage && !s.alwaysRun) {
    PaintSavedImage(paint.hdc);
  } else if (!s.initialisedFlag && s.windowShapeRegion == nullptr) {
    const RECT& r = paint.rcPaint;
    BitBlt(paint.hdc, r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, 0, 0, BLACKNESS);
  } else {
    G_DDraw_CopyBackToFront();
  }
  EndPaint(window, &paint);
}

void HideSystemCursor() {
  if (SystemState.systemCursorShown) return;
  SetCursor(nullptr);
  while (ShowCursor(FALSE) >= 0) {
  }
}

}  // namespace

LRESULT MainWindowProc(HWND window, UINT message, WPARAM first, LPARAM second) {
  LibrarySystemState& s = SystemState;
  bool userMode = s.userWindowMode != 0;
  LRESULT userResult = 0;
  if (userMode && s.userWindowProc) userResult = s.userWindowProc(window, message, first, second);
  if (s.messageHook) s.messageHook(window, message, first, second);
  auto defaultResult = [&] { return userMode ? userResult : DefWindowProcA(window, message, first, second); };

  switch (message) {
    case WM_CREATE:
      if (s.windowShapeRegion) SetWindowRgn(window, static_cast<HRGN>(s.windowShapeRegion), FALSE);
      break;
    case WM_DESTROY:
      if (!userMode) {
        AppLogWrite("ウインドウが破棄されようとしています\n");
        s.destroyedFlag = 1;
        AppLogWrite("ソフトを終了する準備が整いました\n");
        if (!s.noQuitMessage) PostQuitMessage(0);
        s.quitFlag = 1;
      }
      break;
    case WM_MOVE:
      if (s.windowModeFlag && !s.modeChanging) UpdateClientRectOnMove(second);
      break;
    case WM_SIZE:
      if (first == SIZE_MAXIMIZED) {
        if (s.modeToggleAllowed && !s.modeChanging && !s.creatingFlag && s.windowModeFlag) s.modeToggleRequested = 1;
      } else {
        FitWindowToScreenSize();
      }
      break;
    case WM_ACTIVATE: OnActivate(window, first); break;
    case WM_PAINT: OnPaint(window); break;
    case WM_CLOSE:
      if (userMode) break;
      AppLogWrite("ウインドウを閉じようとしています\n");
      if (s.keepWindowOnClose == 0 || s.closeState == 1) DestroyWindow(s.mainWindow ? s.mainWindow : window);
      if (s.closeState == 0) s.closeState = 4;
      return 0;
    case WM_SETCURSOR:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: HideSystemCursor(); break;
    case WM_DISPLAYCHANGE: OnDisplayChange(first, second); break;
    case WM_KEYDOWN:
      if (!IsInputCharRingFull()) {
        // Cursor and delete keys go into the input-character ring as control codes.
        for (const InputControlKey* row = InputControlKeyTable; row->virtualKey != 0; ++row) {
          if (row->virtualKey == first) {
            PushInputCharByte(row->code);
            break;
          }
        }
      }
      break;
    case WM_CHAR: PushInputCharByte(static_cast<unsigned char>(first & 0xFF)); break;
    case WM_SYSCHAR:
      if (first == '\r' && s.modeToggleAllowed) {
        s.modeToggleRequested = 1;
        return 0;
      }
      break;
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_SETCONTEXT:
    case WM_IME_NOTIFY: return HandleImeMessage(window, message, first, second);
    case WM_COMMAND:
      if (s.menuOn) OnCommand(first);
      break;
    case WM_SYSCOMMAND:
      if ((first & 0xFFF0) == SC_SCREENSAVE) return 1;
      if ((first & 0xFFF0) == SC_CLOSE && s.systemKeysOff) return 0;
      break;
    case WM_MOUSEWHEEL: s.wheelCounter += static_cast<int16_t>((first >> 16) & 0xFFFF) > 0 ? 1 : -1; break;
    case WM_SIZING:
      if (s.windowModeFlag && !userMode) OnSizing(first, reinterpret_cast<RECT*>(second));
      break;
    case WM_MOVING:
      if (!s.windowModeFlag) GetWindowRect(window, reinterpret_cast<RECT*>(second));
      break;
    case WM_DROPFILES: OnDropFiles(reinterpret_cast<HDROP>(first)); break;
    case MM_MCINOTIFY: OnMciNotify(first, second); break;
    case 0x46F:
      if (first == 1) {
        SetInputStateFlag46F();
      } else {
        ClearInputStateFlag46F();
      }
      break;
    case 0x470:
      if (first == 1) {
        SetInputStateFlag470();
      } else {
        ClearInputStateFlag470();
      }
      break;
    case 0x505: return HandleSocketEvent(window, message, first, second);
    case 0x522: OnDirectShowMusicEvent(); break;
    default: break;
  }
  return defaultResult();
}

int PaintSavedImage(HDC dc) {
  HDC memory = CreateCompatibleDC(nullptr);
  if (memory == nullptr) return 0;
  HGDIOBJ old = SelectObject(memory, static_cast<HGDIOBJ>(SystemState.savedImage));
  int screenWidth = 640, screenHeight = 480;
  QueryScreenSize(&screenWidth, &screenHeight);
  BITMAP image{};
  GetObjectA(SystemState.savedImage, sizeof image, &image);
  BitBlt(dc, (screenWidth - image.bmWidth) / 2, (screenHeight - image.bmHeight) / 2, image.bmWidth, image.bmHeight,
         memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  return 0;
}
