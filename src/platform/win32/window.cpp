// Window classes, windows and their geometry.
#include <strings.h>

#include <algorithm>
#include <cstring>

#include "platform/host/menu_bar.h"
#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/kernel.h"
#include "platform/win32/region.h"
#include "platform/win32/user.h"

namespace host {

HWND__* LiveWindow(HWND window) {
  if (!window) return nullptr;
  for (auto& w : State().windows) {
    if (w.get() == window) return w->destroyed ? nullptr : w.get();
  }
  return nullptr;
}

}  // namespace host

using host::LiveWindow;
using host::State;

namespace {
void TellHost(HWND__& w);
BOOL Replaced(HWND__& window, const RECT& oldClient, UINT flags);
}  // namespace

void host::TellHostOfWindow(HWND window) {
  if (HWND__* w = LiveWindow(window)) TellHost(*w);
}

namespace {

// Frame metrics of the substitute's window decorations (what GetSystemMetrics reports).
constexpr int kCaption = 19;
constexpr int kSmallCaption = 15;
constexpr int kFixedFrame = 3;
constexpr int kSizingFrame = 4;
constexpr int kBorder = 1;
constexpr int kEdge = 2;
constexpr int kMenuBar = 19;

RECT FrameOf(DWORD style, DWORD exStyle, bool menu) {
  RECT f{};
  int side = 0;
  if (style & WS_THICKFRAME) {
    side = kSizingFrame;
  } else if (style & WS_DLGFRAME) {
    side = kFixedFrame;
  } else if (style & WS_BORDER) {
    side = kBorder;
  }
  if (exStyle & WS_EX_CLIENTEDGE) side += kEdge;
  f.left = f.right = f.top = f.bottom = side;
  if ((style & WS_CAPTION) == WS_CAPTION) f.top += (exStyle & WS_EX_TOOLWINDOW) ? kSmallCaption : kCaption;
  if (menu) f.top += kMenuBar;
  return f;
}

RECT ClientOf(const HWND__& w) {
  const bool menu = w.menu != nullptr && !(w.style & WS_CHILD);
  RECT f = FrameOf(w.style, w.exStyle, menu);
  if (menu) f.top += (w.barRows - 1) * kMenuBar;
  RECT c{w.rect.left + f.left, w.rect.top + f.top, w.rect.right - f.right, w.rect.bottom - f.bottom};
  if (c.right < c.left) c.right = c.left;
  if (c.bottom < c.top) c.bottom = c.top;
  return c;
}

bool IsTopLevel(const HWND__& w) { return w.parent == nullptr && !(w.style & WS_CHILD); }

// The menu bar takes the rows its items need at the client area's width (which the rows do not change); rows
// beyond the first come out of the client area, as the frame AdjustWindowRectEx measures holds one.
void FitMenuBar(HWND__& w) {
  w.barRows = 1;
  if (w.menu && IsTopLevel(w)) {
    RECT c = ClientOf(w);
    w.barRows = host::MenuBarRows(w.menu, c.right - c.left);
  }
}

void TellHost(HWND__& w) {
  if (!IsTopLevel(w)) return;
  RECT c = ClientOf(w);
  host::WindowView view;
  view.window = &w;
  view.title = w.title;
  view.clientWidth = c.right - c.left;
  view.clientHeight = c.bottom - c.top;
  view.visible = (w.style & WS_VISIBLE) != 0;
  view.menu = w.menu;
  view.menuBarHeight = w.menu ? w.barRows * kMenuBar : 0;
  view.shaped = w.shaped;
  view.shape = w.shape;
  view.frameLeft = c.left - w.rect.left;
  view.frameTop = c.top - w.rect.top;
  view.left = w.rect.left;
  view.top = w.rect.top;
  host::Current().WindowChanged(view);
}

void SendSizeAndMove(HWND__& w) {
  RECT c = ClientOf(w);
  SendMessageA(&w, WM_SIZE, SIZE_RESTORED,
               MAKELPARAM(static_cast<WORD>(c.right - c.left), static_cast<WORD>(c.bottom - c.top)));
  if (!LiveWindow(&w)) return;
  SendMessageA(&w, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(c.left), static_cast<WORD>(c.top)));
}

host::WindowClass* FindClass(const char* name) {
  if (!name) return nullptr;
  for (auto& c : State().classes) {
    if (strcasecmp(c.name.c_str(), name) == 0) return &c;
  }
  return nullptr;
}

// Shows a hidden window: activation first (a top-level window becomes the active one), then its size and
// position, so a procedure that needs an active application sees one when the first move arrives.
void ShowHidden(HWND__& w, bool activate) {
  w.style |= WS_VISIBLE;
  SendMessageA(&w, WM_SHOWWINDOW, TRUE, 0);
  if (!LiveWindow(&w)) return;
  TellHost(w);
  if (activate && IsTopLevel(w)) SetActiveWindow(&w);
  if (!LiveWindow(&w)) return;
  if (!w.shownOnce) {
    w.shownOnce = true;
    SendSizeAndMove(w);
  }
  w.needsPaint = true;
}

void HideShown(HWND__& w) {
  w.style &= ~WS_VISIBLE;
  SendMessageA(&w, WM_SHOWWINDOW, FALSE, 0);
  if (LiveWindow(&w)) TellHost(w);
  if (State().activeWindow == &w) {
    State().activeWindow = nullptr;
    State().focusWindow = nullptr;
  }
}

}  // namespace

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
  if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc ||
      host::ShouldFail("RegisterClassExA")) {
    return 0;
  }
  if (FindClass(windowClass->lpszClassName)) return 0;
  host::WindowClass c;
  c.name = windowClass->lpszClassName;
  c.description = *windowClass;
  c.description.lpszClassName = nullptr;
  c.description.lpszMenuName = nullptr;
  State().classes.push_back(c);
  return static_cast<ATOM>(0xC000 + State().classes.size());
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  auto& classes = State().classes;
  for (auto it = classes.begin(); it != classes.end(); ++it) {
    if (strcasecmp(it->name.c_str(), className ? className : "") != 0) continue;
    for (auto& w : State().windows) {
      if (!w->destroyed && strcasecmp(w->className.c_str(), className) == 0) return FALSE;  // still in use
    }
    classes.erase(it);
    return TRUE;
  }
  return FALSE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  host::WindowClass* c = FindClass(className);
  if (!c || host::ShouldFail("CreateWindowExA")) return nullptr;
  if (parent && !LiveWindow(parent)) return nullptr;
  // A top-level window nobody can see would leave its program running unseen.
  if (!parent && !(style & WS_CHILD) && !host::Current().HasDisplay()) return nullptr;
  host::PlatformState& s = State();
  if (s.guiThread == 0) s.guiThread = GetCurrentThreadId();
  auto record = std::make_unique<HWND__>();
  HWND__& w = *record;
  w.className = c->name;
  w.procedure = c->description.lpfnWndProc;
  w.instance = instance;
  w.style = style & ~WS_VISIBLE;
  w.exStyle = exStyle;
  w.title = windowName ? windowName : "";
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) width = height = 0;
  w.rect = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
  w.parent = parent;
  w.menu = (style & WS_CHILD) ? nullptr : menu;
  w.topmost = (exStyle & WS_EX_TOPMOST) != 0;
  w.threadId = GetCurrentThreadId();
  // Records of destroyed windows are freed here; nothing reads one once its destruction has ended.
  std::erase_if(s.windows, [](const std::unique_ptr<HWND__>& other) { return other->destroyed; });
  s.windows.push_back(std::move(record));
  FitMenuBar(w);
  if (IsTopLevel(w)) host::Current().ClassWindowAdded(w.className);

  CREATESTRUCTA create{param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style),
                       windowName, className, exStyle};
  LPARAM createParam = reinterpret_cast<LPARAM>(&create);
  if (!SendMessageA(&w, WM_NCCREATE, 0, createParam)) {
    if (LiveWindow(&w)) DestroyWindow(&w);
    return nullptr;
  }
  if (!LiveWindow(&w)) return nullptr;
  if (SendMessageA(&w, WM_CREATE, 0, createParam) == -1) {
    if (LiveWindow(&w)) DestroyWindow(&w);
    return nullptr;
  }
  if (!LiveWindow(&w)) return nullptr;
  TellHost(w);
  if (style & WS_VISIBLE) ShowHidden(w, true);
  return LiveWindow(&w) ? &w : nullptr;
}

BOOL DestroyWindow(HWND window) {
  HWND__* w = LiveWindow(window);
  if (!w || w->destroying) return FALSE;
  w->destroying = true;
  host::EndMenuTracking(w);
  host::PlatformState& s = State();
  // Children go first, as their parent's destruction takes them along.
  std::vector<HWND> children;
  for (auto& other : s.windows) {
    if (!other->destroyed && other->parent == w) children.push_back(other.get());
  }
  for (HWND child : children) DestroyWindow(child);
  if (s.activeWindow == w) {
    s.activeWindow = nullptr;
    s.applicationActive = false;
  }
  if (s.focusWindow == w) s.focusWindow = nullptr;
  SendMessageA(w, WM_DESTROY, 0, 0);
  SendMessageA(w, WM_NCDESTROY, 0, 0);
  w->destroyed = true;
  ForgetWindowPicture(w);
  host::DropPostedMessages(w);
  if (IsTopLevel(*w)) {
    host::Current().WindowDestroyed(w);
    host::Current().ClassWindowRemoved(w->className);
  }
  return TRUE;
}

BOOL IsWindow(HWND window) { return LiveWindow(window) ? TRUE : FALSE; }

BOOL IsWindowVisible(HWND window) {
  HWND__* w = LiveWindow(window);
  return (w && (w->style & WS_VISIBLE)) ? TRUE : FALSE;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
  for (auto& w : State().windows) {
    if (w->destroyed || !IsTopLevel(*w)) continue;
    if (className && strcasecmp(w->className.c_str(), className) != 0) continue;
    if (windowName && w->title != windowName) continue;
    return w.get();
  }
  // Another program's window is found by its class only; the handle answers nothing else.
  if (className && !windowName && host::Current().OtherProcessHasClassWindow(className)) {
    static HWND__ otherProcessWindow;
    return &otherProcessWindow;
  }
  return nullptr;
}

BOOL ShowWindow(HWND window, int command) {
  HWND__* w = LiveWindow(window);
  if (!w) return FALSE;
  BOOL wasVisible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
  switch (command) {
    case SW_HIDE:
      if (wasVisible) HideShown(*w);
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
      w->style |= WS_MINIMIZE;
      if (!wasVisible) ShowHidden(*w, command == SW_SHOWMINIMIZED);
      break;
    default:
      w->style &= ~WS_MINIMIZE;
      if (!wasVisible) ShowHidden(*w, true);
      break;
  }
  return wasVisible;
}

BOOL UpdateWindow(HWND window) {
  HWND__* w = LiveWindow(window);
  if (!w) return FALSE;
  if (w->needsPaint && (w->style & WS_VISIBLE)) SendMessageA(w, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  HWND__* w = LiveWindow(window);
  if (!w) return FALSE;
  w->title = text ? text : "";
  TellHost(*w);
  return TRUE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
  HWND__* w = LiveWindow(window);
  if (!w || !buffer || size <= 0) return 0;
  int n = std::min<int>(static_cast<int>(w->title.size()), size - 1);
  std::memcpy(buffer, w->title.data(), n);
  buffer[n] = 0;
  return n;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  HWND__* w = LiveWindow(window);
  if (!w) return 0;
  switch (index) {
    case GWL_STYLE:
      return static_cast<LONG>(w->style);
    case GWL_EXSTYLE:
      return static_cast<LONG>(w->exStyle);
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->procedure);
    case GWLP_USERDATA:
      return w->userData;
    default:
      return 0;
  }
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  HWND__* w = LiveWindow(window);
  if (!w) return 0;
  LONG_PTR old = GetWindowLongPtrA(window, index);
  switch (index) {
    case GWL_STYLE: {
      // The visible bit follows ShowWindow, not the style word.
      DWORD visible = w->style & WS_VISIBLE;
      w->style = (static_cast<DWORD>(value) & ~WS_VISIBLE) | visible;
      break;
    }
    case GWL_EXSTYLE:
      w->exStyle = static_cast<DWORD>(value);
      w->topmost = (w->exStyle & WS_EX_TOPMOST) != 0;
      break;
    case GWLP_WNDPROC:
      w->procedure = reinterpret_cast<WNDPROC>(value);
      break;
    case GWLP_USERDATA:
      w->userData = value;
      break;
    default:
      return 0;
  }
  return old;
}

LONG GetWindowLongA(HWND window, int index) { return static_cast<LONG>(GetWindowLongPtrA(window, index)); }

LONG SetWindowLongA(HWND window, int index, LONG value) {
  if (index == GWLP_WNDPROC) return 0;  // a procedure does not fit 32 bits here; GetWindowLongPtrA holds it
  return static_cast<LONG>(SetWindowLongPtrA(window, index, value));
}

BOOL GetClientRect(HWND window, RECT* rect) {
  HWND__* w = LiveWindow(window);
  if (!w || !rect || host::ShouldFail("GetClientRect")) return FALSE;
  RECT c = ClientOf(*w);
  *rect = {0, 0, c.right - c.left, c.bottom - c.top};
  return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  HWND__* w = LiveWindow(window);
  if (!w || !rect) return FALSE;
  *rect = w->rect;
  return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
  HWND__* w = LiveWindow(window);
  if (!w || !point) return FALSE;
  RECT c = ClientOf(*w);
  point->x += c.left;
  point->y += c.top;
  return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
  HWND__* w = LiveWindow(window);
  if (!w || !point) return FALSE;
  RECT c = ClientOf(*w);
  point->x -= c.left;
  point->y -= c.top;
  return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {
  if (!rect) return FALSE;
  RECT f = FrameOf(style, exStyle, menu != FALSE);
  rect->left -= f.left;
  rect->top -= f.top;
  rect->right += f.right;
  rect->bottom += f.bottom;
  return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  HWND__* w = LiveWindow(window);
  if (!w) return FALSE;
  if (!(flags & SWP_NOZORDER)) {
    if (insertAfter == HWND_TOPMOST) w->topmost = true;
    if (insertAfter == HWND_NOTOPMOST) w->topmost = false;
  }
  RECT old = w->rect;
  RECT next = old;
  if (!(flags & SWP_NOMOVE)) {
    next.right = x + (old.right - old.left);
    next.bottom = y + (old.bottom - old.top);
    next.left = x;
    next.top = y;
  }
  if (!(flags & SWP_NOSIZE)) {
    next.right = next.left + std::max(width, 0);
    next.bottom = next.top + std::max(height, 0);
  }
  RECT oldClient = ClientOf(*w);
  w->rect = next;
  FitMenuBar(*w);
  return Replaced(*w, oldClient, flags);
}

namespace {

// Tells the host and the window of a new place or client size (the window's rectangle or menu has changed).
BOOL Replaced(HWND__& window, const RECT& oldClient, UINT flags) {
  HWND__* w = &window;
  RECT newClient = ClientOf(*w);
  bool sized = (oldClient.right - oldClient.left) != (newClient.right - newClient.left) ||
               (oldClient.bottom - oldClient.top) != (newClient.bottom - newClient.top);
  bool moved = oldClient.left != newClient.left || oldClient.top != newClient.top;
  if (flags & SWP_SHOWWINDOW && !(w->style & WS_VISIBLE)) {
    ShowHidden(*w, !(flags & SWP_NOACTIVATE));
    if (!LiveWindow(w)) return TRUE;
  }
  if (flags & SWP_HIDEWINDOW && (w->style & WS_VISIBLE)) HideShown(*w);
  if (sized || moved) TellHost(*w);
  if (sized && LiveWindow(w)) {
    SendMessageA(w, WM_SIZE, SIZE_RESTORED,
                 MAKELPARAM(static_cast<WORD>(newClient.right - newClient.left),
                            static_cast<WORD>(newClient.bottom - newClient.top)));
  }
  if (moved && LiveWindow(w)) {
    SendMessageA(w, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(newClient.left), static_cast<WORD>(newClient.top)));
  }
  if (sized && !(flags & SWP_NOREDRAW) && LiveWindow(w)) w->needsPaint = true;
  if (!(flags & SWP_NOACTIVATE) && LiveWindow(w) && (w->style & WS_VISIBLE) && IsTopLevel(*w) &&
      State().activeWindow != w && State().applicationActive) {
    SetActiveWindow(w);
  }
  return TRUE;
}

}  // namespace

// The client area shrinks or grows by the menu bar while the window keeps its outer rectangle; measured before
// the change, so the window hears of its new client size.
void host::ChangeWindowMenu(HWND window, HMENU menu) {
  HWND__* w = LiveWindow(window);
  if (!w || w->menu == menu) return;
  EndMenuTracking(window);
  RECT oldClient = ClientOf(*w);
  w->menu = menu;
  FitMenuBar(*w);
  Replaced(*w, oldClient, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
  TellHostOfWindow(window);
}

void host::MenuBarChanged(HWND window) {
  HWND__* w = LiveWindow(window);
  if (!w) return;
  RECT oldClient = ClientOf(*w);
  FitMenuBar(*w);
  Replaced(*w, oldClient, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
  TellHostOfWindow(window);
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(window, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND window) { return SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

BOOL SetForegroundWindow(HWND window) {
  HWND__* w = LiveWindow(window);
  if (!w) return FALSE;
  SetActiveWindow(w);
  return TRUE;
}

HWND GetForegroundWindow() { return State().applicationActive ? State().activeWindow : nullptr; }

// Activation sends WM_ACTIVATEAPP when the application turns active, then WM_NCACTIVATE and WM_ACTIVATE, and
// gives the window the focus.
HWND SetActiveWindow(HWND window) {
  host::PlatformState& s = State();
  HWND previous = s.activeWindow;
  HWND__* w = LiveWindow(window);
  if (!w || !IsTopLevel(*w)) return previous;
  if (previous == w && s.applicationActive) return previous;
  if (previous && previous != w && LiveWindow(previous)) {
    SendMessageA(previous, WM_NCACTIVATE, FALSE, 0);
    SendMessageA(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(w));
  }
  s.activeWindow = w;
  if (!s.applicationActive) {
    s.applicationActive = true;
    SendMessageA(w, WM_ACTIVATEAPP, TRUE, 0);
  }
  if (!LiveWindow(w)) return previous;
  SendMessageA(w, WM_NCACTIVATE, TRUE, 0);
  SendMessageA(w, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
  if (LiveWindow(w)) SetFocus(w);
  return previous;
}

HWND GetActiveWindow() { return State().activeWindow; }

HWND SetFocus(HWND window) {
  host::PlatformState& s = State();
  HWND previous = s.focusWindow;
  HWND__* w = LiveWindow(window);
  if (window && !w) return nullptr;
  if (previous == window) return previous;
  s.focusWindow = w;
  if (previous && LiveWindow(previous)) SendMessageA(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(w), 0);
  if (w) SendMessageA(w, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
  return previous;
}

DWORD GetWindowThreadProcessId(HWND window, DWORD* processId) {
  HWND__* w = LiveWindow(window);
  if (!w) return 0;
  if (processId) *processId = GetCurrentProcessId();
  return w->threadId;
}

BOOL AttachThreadInput(DWORD attachThread, DWORD toThread, BOOL) {
  // One input queue serves the process; attaching a thread to itself fails as on the original platform.
  return (attachThread != 0 && toThread != 0 && attachThread != toThread) ? TRUE : FALSE;
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL) {
  HWND__* w = LiveWindow(window);
  if (!w) return FALSE;
  w->needsPaint = true;
  return TRUE;
}

BOOL ValidateRect(HWND window, const RECT*) {
  HWND__* w = LiveWindow(window);
  if (!w) return FALSE;
  w->needsPaint = false;
  return TRUE;
}

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN:
      return host::CurrentDisplayMode().width;
    case SM_CYSCREEN:
      return host::CurrentDisplayMode().height;
    case SM_CYCAPTION:
      return kCaption;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return kBorder;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
      return kFixedFrame;
    case SM_CYMENU:
      return kMenuBar;
    case SM_CXFRAME:
    case SM_CYFRAME:
      return kSizingFrame;
    case SM_CXEDGE:
    case SM_CYEDGE:
      return kEdge;
    default:
      return 0;
  }
}

BOOL SystemParametersInfoA(UINT action, UINT param, LPVOID value, UINT) {
  host::PlatformState& s = State();
  switch (action) {
    case SPI_GETFOREGROUNDLOCKTIMEOUT:
      if (!value) return FALSE;
      *static_cast<DWORD*>(value) = static_cast<DWORD>(s.foregroundLockTimeout);
      return TRUE;
    case SPI_SETFOREGROUNDLOCKTIMEOUT:
      // The new time-out travels in the pointer argument, as on the original platform.
      s.foregroundLockTimeout = static_cast<int>(reinterpret_cast<uintptr_t>(value));
      return TRUE;
    case SPI_SETSCREENSAVERRUNNING:
      (void)param;
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL SetRect(RECT* rect, int left, int top, int right, int bottom) {
  if (!rect) return FALSE;
  *rect = {left, top, right, bottom};
  return TRUE;
}

int SetWindowRgn(HWND window, HRGN region, BOOL redraw) {
  HWND__* w = LiveWindow(window);
  if (!w) return 0;
  // The window keeps a copy of the region, so the caller stays the owner of its handle; null removes the shape.
  std::vector<RECT> shape;
  if (region && !RegionRectangles(region, &shape)) return 0;
  w->shaped = region != nullptr;
  w->shape = std::move(shape);
  TellHost(*w);
  if (redraw) w->needsPaint = true;
  return 1;
}
