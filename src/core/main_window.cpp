#include "core/main_window.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/clock.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/menu_cursor.h"
#include "core/message_pump.h"
#include "core/random.h"
#include "core/services.h"
#include "core/system_state.h"
#include "core/win32_calls.h"
#include "graphics/graphics_system.h"
#include "platform/host/platform.h"

namespace {

struct StyleRow {
  DWORD windowStyle, windowExStyle, fullStyle, fullExStyle;
};

constexpr DWORD kEdges = WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE;
constexpr StyleRow kStyles[6] = {
    {WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, kEdges, WS_POPUP, WS_EX_TOPMOST},
    {WS_POPUP | WS_SYSMENU, kEdges, WS_POPUP, WS_EX_TOPMOST},
    {WS_POPUP | WS_SYSMENU, 0, WS_POPUP, WS_EX_TOPMOST},
    {WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, WS_EX_TOOLWINDOW, WS_POPUP, WS_EX_TOPMOST},
    {WS_POPUP | WS_SYSMENU, WS_EX_TOOLWINDOW, WS_POPUP, WS_EX_TOPMOST},
    {WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0},
};

const StyleRow& Style() {
  int index = SystemState.styleIndex;
  return kStyles[(index >= 0 && index < 6) ? index : 0];
}

DWORD WindowModeStyle() {
  const LibrarySystemState& s = SystemState;
  DWORD style = Style().windowStyle;
  if (s.modeToggleAllowed) style |= WS_MAXIMIZEBOX;
  if (s.windowShownFlag) style |= WS_VISIBLE;
  if (s.sizableWindow) style |= WS_THICKFRAME;
  return style;
}

DWORD WindowModeExStyle() { return Style().windowExStyle | (SystemState.hiddenWindow ? WS_EX_TRANSPARENT : 0); }

void RefreshClientRect() {
  LibrarySystemState& s = SystemState;
  RECT client{};
  if (!GetClientRect(s.mainWindow, &client)) return;
  POINT topLeft{client.left, client.top}, bottomRight{client.right, client.bottom};
  ClientToScreen(s.mainWindow, &topLeft);
  ClientToScreen(s.mainWindow, &bottomRight);
  s.clientRect = {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

int RegisterMainClass() {
  LibrarySystemState& s = SystemState;
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = 48;
  windowClass.style = CS_VREDRAW | CS_HREDRAW;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = s.instance;
  windowClass.hIcon = LoadIconA(s.instance, MAKEINTRESOURCEA(s.iconId == 0 ? 32512 : s.iconId));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = nullptr;  // the null brush: the window paints its own background
  windowClass.lpszClassName = kWindowClassName;
  AppLogWrite("ウインドウクラスを登録します... ");
  if (RegisterClassExA(&windowClass) == 0) return AppLogWrite("ウインドウクラスの登録に失敗しました\n");
  AppLogWrite("登録に成功しました\n");
  return 0;
}

HWND CreateWindowForMode(int screenWidth, int screenHeight) {
  LibrarySystemState& s = SystemState;
  if (s.windowModeFlag) {
    AppLogWrite("ウインドウモード起動用のウインドウを作成します\n");
    s.cursorShownRequest = 1;
    DWORD style = WindowModeStyle(), exStyle = WindowModeExStyle();
    RECT rect{0, 0, screenWidth, screenHeight};
    AdjustWindowRectEx(&rect, style, TRUE, exStyle);
    int dx = (GetSystemMetrics(SM_CXSCREEN) - screenWidth) / 2;
    int dy = (GetSystemMetrics(SM_CYSCREEN) - screenHeight) / 2;
    rect.left += dx;
    rect.right += dx;
    rect.top += dy;
    rect.bottom += dy;
    int x = s.useConfiguredPosition == 1 ? s.configuredX : rect.left;
    int y = s.useConfiguredPosition == 1 ? s.configuredY : rect.top;
    HWND window = CreateWindowExA(exStyle, kWindowClassName, s.title, style, x, y, rect.right - rect.left,
                                  rect.bottom - rect.top, nullptr, s.menuHandle, s.instance, nullptr);
    // The window comes with the menu bar on, so hiding it later has a shown bar to take away.
    if (window != nullptr && s.menuOn && s.menuHandle != nullptr) s.menuShownNow = 1;
    return window;
  }
  AppLogWrite("フルスクリーンモード用のウインドウを作成します\n");
  s.cursorShownRequest = 0;
  return CreateWindowExA(Style().fullExStyle, kWindowClassName, s.title, Style().fullStyle, 0, 0, screenWidth,
                         screenHeight, nullptr, nullptr, s.instance, nullptr);
}

// Chooses the clock that changes more often: the performance counter or the multimedia timer.
void ChooseTimer() {
  LibrarySystemState& s = SystemState;
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  s.performanceFrequency = frequency.QuadPart;
  s.performanceCounterFlag = frequency.QuadPart != 0;
  TIMECAPS caps{};
  timeGetDevCaps(&caps, sizeof caps);
  timeBeginPeriod(caps.wPeriodMin);
  if (!s.performanceCounterFlag) return;
  AppLogWrite("タイマーの精度を検査します\n");
  DWORD lastTime = timeGetTime();
  LARGE_INTEGER lastCounter{};
  QueryPerformanceCounter(&lastCounter);
  int timeChanges = 0, counterChanges = 0;
  // Bounded as well, for a clock that never moves.
  for (int pass = 0; pass < 1000000 && PumpWindowMessages() == 0 && timeChanges < 60 && counterChanges < 60;
       ++pass) {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    if (counter.QuadPart != lastCounter.QuadPart) ++counterChanges;
    lastCounter = counter;
    DWORD time = timeGetTime();
    if (time != lastTime) ++timeChanges;
    lastTime = time;
  }
  AppLogWriteFormat("精度結果 更新回数 マルチメディアタイマー：%d  パフォーマンスカウンター：%d", timeChanges,
                    counterChanges);
  if (counterChanges >= timeChanges) {
    AppLogWriteFormat("パフォーマンスカウンターを使用します タイマー分解能 : %lf KHz ",
                      static_cast<double>(s.performanceFrequency) / 1000.0);
  } else {
    AppLogWriteFormat("マルチメディアタイマーを使用します タイマー分解能 : %d.00 ms ", static_cast<int>(caps.wPeriodMin));
    s.performanceCounterFlag = 0;
  }
}

bool CloseStillPending(HWND window) {
  MSG message{};
  return PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_NOREMOVE) != 0;
}

}  // namespace

int ReadDesktopBits() {
  HDC dc = GetDC(nullptr);
  int bits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
  ReleaseDC(nullptr, dc);
  return bits;
}

int CreateMainWindow() {
  ClearSystemStateForWindowCreation();
  LibrarySystemState& s = SystemState;
  s.instance = GetModuleHandleA(nullptr);

  AppLogWrite("ソフトの２重起動検査... ");
  if (FindWindowA(kWindowClassName, nullptr) != nullptr) {
    if (s.doubleStartAllowed == 0) {
      AppLogWrite("２重起動されています、ソフトを終了します\n");
      // The log is not where a person looks when a program ends at once.
      host::WriteStandardError(
          "vomak: another program on this library is already running in this desktop session (a window of class "
          "\"Vomak\" is open), so this one ends: ２重起動されています、ソフトを終了します\n");
      std::exit(0);
    }
    AppLogWrite("２重起動されていますが続行します\n");
  } else {
    AppLogWrite("２重起動はされていませんでした\n");
  }

  MEMORYSTATUS memory{};
  memory.dwLength = sizeof memory;
  GlobalMemoryStatus(&memory);
  AppLogWriteFormat("メモリ総量:%.2fMB  空きメモリ領域:%.2fMB ", memory.dwTotalPhys / 1048576.0,
                    memory.dwAvailPhys / 1048576.0);

  if (s.menuOn) CollectMenuItems(s.menuHandle);

  s.desktopWidth = GetSystemMetrics(SM_CXSCREEN);
  s.desktopHeight = GetSystemMetrics(SM_CYSCREEN);
  s.desktopBits = ReadDesktopBits();
  int screenWidth = 640, screenHeight = 480;
  QueryScreenSize(&screenWidth, &screenHeight);

  if (s.userWindowMode) {
    s.userWindowProc = reinterpret_cast<WindowProcedure>(GetWindowLongPtrA(s.mainWindow, GWLP_WNDPROC));
    SetWindowLongPtrA(s.mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MainWindowProc));
  } else {
    s.creatingFlag = 1;
    if (RegisterMainClass() != 0) return -1;
    if (s.title[0] == '\0') CopyText(s.title, kWindowClassName);
    s.mainWindow = CreateWindowForMode(screenWidth, screenHeight);
    if (s.mainWindow == nullptr) {
      s.creatingFlag = 0;
      UnregisterClassA(kWindowClassName, s.instance);
      return AppLogWrite("ウインドウの作成に失敗しました\n");
    }
    if (!s.hiddenWindow) {
      ShowWindow(s.mainWindow, SW_SHOW);
      UpdateWindow(s.mainWindow);
    } else {
      ShowWindow(s.mainWindow, SW_HIDE);
    }
  }

  s.closingRequested = 0;
  s.destroyedFlag = 0;
  s.activeFlag = 1;
  if (!s.windowModeFlag) {
    AppLogWrite("カーソルを不可視にしました\n");
    SetCursor(nullptr);
  }
  AppLogWrite("ＩＭＥを無効にしました\n");
  WINNLSEnableIME(s.mainWindow, FALSE);
  if (s.windowModeFlag) RefreshClientRect();
  s.doubleByteKind = GetOEMCP() == 949 ? 2 : 1;
  SetCursorVisible(s.cursorShownRequest);
  s.closeState = 0;
  ChooseTimer();
  SeedRandom(static_cast<uint32_t>(GetMillisecondCount(0)));
  if (s.userWindowMode) return 0;

  if (!s.hiddenWindow) BringWindowToTop(s.mainWindow);
  uint32_t start = static_cast<uint32_t>(GetMillisecondCount(0));
  while (static_cast<uint32_t>(GetMillisecondCount(0)) - start < 200) PumpWindowMessages();
  if (!s.hiddenWindow) FitWindowToScreenSize();
  s.creatingFlag = 0;
  return 0;
}

int DestroyMainWindow() {
  LibrarySystemState& s = SystemState;
  if (s.mainWindow == nullptr) return 0;
  SetCursorVisible(1);
  if (s.keyboardHook) {
    UnhookWindowsHookEx(s.keyboardHook);
    s.keyboardHook = nullptr;
  }
  if (s.hookHandle) {
    UnhookWindowsHookEx(s.hookHandle);
    FreeLibrary(static_cast<HMODULE>(s.hookLibrary));
    s.hookHandle = nullptr;
    s.hookLibrary = nullptr;
  }
  SetWindowShapeFromBitmap(nullptr);
  EnableMainMenu(0);
  if (!s.userWindowMode) {
    if (!s.closingRequested) {
      s.closingRequested = 1;
      PostMessageA(s.mainWindow, WM_CLOSE, 0, 0);
    }
    // The pumping ends once the window is gone, also when it went without a message (its host restarted), when a
    // quit came first, or when its close was taken earlier without destroying it; a window still there goes now,
    // so no later start-up takes it for another program's.
    while (IsWindow(s.mainWindow) && CloseStillPending(s.mainWindow) && PumpWindowMessages() == 0) {
    }
    if (IsWindow(s.mainWindow)) DestroyWindow(s.mainWindow);
    UnregisterClassA(kWindowClassName, s.instance);
  } else {
    SetWindowLongPtrA(s.mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s.userWindowProc));
  }
  DeleteAllTextInputs();
  if (s.savedImage) {
    DeleteObject(static_cast<HGDIOBJ>(s.savedImage));
    s.savedImage = nullptr;
  }
  ReleaseDroppedFiles();
  s.mainWindow = nullptr;
  return 0;
}

int SetMainWindowTitle(const char* title) {
  LibrarySystemState& s = SystemState;
  if (title == nullptr) title = "";
  size_t length = TextPrefixLength(title, sizeof s.title - 1);
  std::memcpy(s.title, title, length);
  s.title[length] = '\0';
  if (s.mainWindow) SetWindowTextA(s.mainWindow, s.title);
  return 0;
}

int ChangeWindowMode(int flag) {
  LibrarySystemState& s = SystemState;
  AppLogWrite("ChangeWindowMode実行 \n");
  if (flag == s.windowModeFlag) return 0;
  s.windowShownFlag = 1;
  StoreWindowModeFlag(flag);
  if (s.mainWindow == nullptr) return 0;
  s.modeChanging = 1;
  s.displayChangeArrived = 0;
  ApplyWindowStyle();
  int result = ChangeScreenMode(-1, -1, -1, 1, -1);
  // A switch that changes no display mode may bring no display change: give up waiting after 3 s.
  uint32_t start = static_cast<uint32_t>(GetMillisecondCount(0));
  while (PumpWindowMessages() == 0 && !s.displayChangeArrived) {
    if (static_cast<uint32_t>(GetMillisecondCount(0)) - start >= 3000) break;
  }
  s.modeChanging = 0;
  return result;
}

int StoreWindowModeFlag(int flag) {
  LibrarySystemState& s = SystemState;
  s.windowModeFlag = flag;
  if (flag) {
    AppLogWrite("ウインドウモードフラグが立てられました\n");
    if (s.menuOn) SetMenu(s.mainWindow, s.menuHandle);
  } else {
    AppLogWrite("ウインドウモードフラグが倒されました\n");
    if (s.menuOn) SetMenu(s.mainWindow, nullptr);
  }
  return 0;
}

int ApplyWindowStyle() {
  LibrarySystemState& s = SystemState;
  if (s.mainWindow == nullptr) return 0;
  int screenWidth = 640, screenHeight = 480;
  QueryScreenSize(&screenWidth, &screenHeight);
  if (s.userWindowMode) {
    RefreshClientRect();
    SetCursorVisible(s.windowModeFlag ? 1 : 0);
  } else if (!s.windowModeFlag) {
    AppLogWrite("ウインドウスタイルをフルスクリーンモード用に変更します... ");
    SetWindowLongA(s.mainWindow, GWL_EXSTYLE, static_cast<LONG>(Style().fullExStyle));
    SetWindowLongA(s.mainWindow, GWL_STYLE, static_cast<LONG>(Style().fullStyle));
    s.clientRect = {0, 0, screenWidth, screenHeight};
    SetWindowPos(s.mainWindow, nullptr, 0, 0, screenWidth, screenHeight, SWP_NOREDRAW);
    SetCursorVisible(0);
    AppLogWrite("完了\n");
    SetActiveWindow(s.mainWindow);
  } else {
    AppLogWrite("ウインドウスタイルをウインドウモード用に変更します... ");
    DWORD style = WindowModeStyle(), exStyle = WindowModeExStyle();
    SetWindowLongA(s.mainWindow, GWL_EXSTYLE, static_cast<LONG>(exStyle));
    SetWindowLongA(s.mainWindow, GWL_STYLE, static_cast<LONG>(style));
    double scale = GetWindowScale();
    int width = static_cast<int>(screenWidth * scale), height = static_cast<int>(screenHeight * scale);
    RECT rect{0, 0, width, height};
    AdjustWindowRectEx(&rect, style, TRUE, exStyle);
    int dx = (s.desktopWidth - width) / 2, dy = (s.desktopHeight - height) / 2;
    int x = s.useConfiguredPosition == 1 ? s.configuredX : rect.left + dx;
    int y = s.useConfiguredPosition == 1 ? s.configuredY : rect.top + dy;
    int windowWidth = rect.right - rect.left, windowHeight = rect.bottom - rect.top;
    SetWindowPos(s.mainWindow, nullptr, x, y, windowWidth, windowHeight, 0);
    RefreshClientRect();
    // A window partly off the desktop's top or left edge moves whole: its client area to the desktop's corner.
    if (s.clientRect.left < 0 || s.clientRect.top < 0) {
      int moveX = -s.clientRect.left, moveY = -s.clientRect.top;
      x += moveX;
      y += moveY;
      s.clientRect.left += moveX;
      s.clientRect.right += moveX;
      s.clientRect.top += moveY;
      s.clientRect.bottom += moveY;
      SetWindowPos(s.mainWindow, nullptr, x, y, windowWidth, windowHeight, 0);
    }
    SetCursorVisible(1);
    AppLogWrite("完了\n");
    SetActiveWindow(s.mainWindow);
  }
  PostMessageA(s.mainWindow, WM_SETCURSOR, reinterpret_cast<WPARAM>(s.mainWindow), 0);
  return 0;
}

int FitWindowToScreenSize() {
  LibrarySystemState& s = SystemState;
  int screenWidth = 640, screenHeight = 480;
  QueryScreenSize(&screenWidth, &screenHeight);
  double scale = GetWindowScale();
  int width = static_cast<int>(screenWidth * scale), height = static_cast<int>(screenHeight * scale);
  if (s.userWindowMode) return 0;
  RECT window{}, client{};
  GetWindowRect(s.mainWindow, &window);
  if (!GetClientRect(s.mainWindow, &client)) return 0;
  int newWidth = (window.right - window.left) - (client.right - client.left) + width;
  int newHeight = (window.bottom - window.top) - (client.bottom - client.top) + height;
  MoveWindow(s.mainWindow, window.left, window.top, newWidth, newHeight, TRUE);
  if (s.windowModeFlag && s.windowShownFlag == 0) {
    s.windowShownFlag = 1;
    ApplyWindowStyle();
  }
  return 0;
}

int UpdateClientRectOnMove(LPARAM position) {
  LibrarySystemState& s = SystemState;
  RECT client{};
  if (!GetClientRect(s.mainWindow, &client)) return 0;
  s.clientRect.left = GET_X_LPARAM(position);
  s.clientRect.top = GET_Y_LPARAM(position);
  s.clientRect.right = s.clientRect.left + client.right - client.left;
  s.clientRect.bottom = s.clientRect.top + client.bottom - client.top;
  if (GetDrawTarget() == -4) {
    int maskOn = GetMaskDrawOn();
    SetMaskDrawOn(0);
    SetScreenOffsetRect(&s.clientRect);
    SetMaskDrawOn(maskOn);
  }
  const RECT& area = s.requestedDrawArea;
  SetDrawClipRect(area.left, area.top, area.right, area.bottom);
  return 0;
}

int StoreRequestedDrawArea(const int* rect) {
  SystemState.requestedDrawArea = {rect[0], rect[1], rect[2], rect[3]};
  return 0;
}

int GetClientScreenRect(int* rect) {
  const RECT& r = SystemState.clientRect;
  rect[0] = r.left;
  rect[1] = r.top;
  rect[2] = r.right;
  rect[3] = r.bottom;
  return 0;
}

HWND GetLibraryWindowHandle() { return SystemState.mainWindow; }
int IsWindowModeOn() { return SystemState.windowModeFlag; }

int GetDesktopMetrics(int* width, int* height, int* bits) {
  if (width) *width = SystemState.desktopWidth;
  if (height) *height = SystemState.desktopHeight;
  if (bits) *bits = SystemState.desktopBits;
  return 0;
}

int GetLibraryVersionInfo(int* library, int* directX, int* windows) {
  if (library) *library = kLibraryVersion;
  if (directX) *directX = SystemState.directXVersionCode;
  if (windows) *windows = SystemState.windowsVersionCode;
  return 0;
}

int GetMmxUseFlag() { return SystemState.useMmx; }
int IsWindowClosing() { return SystemState.closingRequested; }
int HasWindowShapeRegion() { return SystemState.windowShapeRegion != nullptr; }

double GetWindowScale() {
  double& scale = SystemState.windowScale;
  if (!(scale > 0.0) || std::isnan(scale)) scale = 1.0;
  return scale;
}
