// The message queue: posted and sent messages, PeekMessageA, translation, dispatch and the default procedure.
#include <algorithm>

#include "platform/host/idle.h"
#include "platform/host/input.h"
#include "platform/host/menu_bar.h"
#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/win32/kernel.h"
#include "platform/win32/sync.h"
#include "platform/win32/user.h"
#include "platform/win32/winmm.h"

using host::LiveWindow;
using host::State;

namespace {

HWND const kThreadOnly = reinterpret_cast<HWND>(-1);

bool InRange(UINT message, UINT low, UINT high) {
  if (low == 0 && high == 0) return true;
  return message >= low && message <= high;
}

bool WindowMatches(HWND messageWindow, HWND filter) {
  if (filter == nullptr) return true;
  if (filter == kThreadOnly) return messageWindow == nullptr;
  return messageWindow == filter;
}

bool OnGuiThread() {
  DWORD gui = State().guiThread;
  return gui == 0 || gui == GetCurrentThreadId();
}

MSG MakeMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  MSG m{};
  m.hwnd = window;
  m.message = message;
  m.wParam = wparam;
  m.lParam = lparam;
  m.time = timeGetTime();
  m.pt = State().cursorPosition;
  return m;
}

constexpr size_t kPostedLimit = 10000;

// Takes the first posted message the filters let through (under the queue's lock). A look for a window with
// nothing posted, the pump's usual case, does not walk the queue.
bool TakePosted(host::PlatformState& s, MSG* msg, HWND window, UINT filterMin, UINT filterMax, bool remove) {
  if (s.posted.empty()) return false;
  if (window != nullptr) {
    const auto count = s.postedPerWindow.find(window == kThreadOnly ? nullptr : window);
    if (count == s.postedPerWindow.end()) return false;
  }
  for (auto it = s.posted.begin(); it != s.posted.end(); ++it) {
    if (!WindowMatches(it->hwnd, window) || !InRange(it->message, filterMin, filterMax)) continue;
    if (msg) *msg = *it;
    if (remove) {
      const auto count = s.postedPerWindow.find(it->hwnd);
      if (--count->second == 0) s.postedPerWindow.erase(count);
      s.posted.erase(it);
    }
    return true;
  }
  return false;
}

// Runs the procedures of messages other threads sent, as the original platform does inside its queue calls.
void RunCrossThreadSends() {
  host::PlatformState& s = State();
  for (;;) {
    host::CrossThreadSend* send = nullptr;
    {
      std::lock_guard<std::mutex> guard(s.lock);
      if (s.sent.empty()) return;
      send = s.sent.front();
      s.sent.pop_front();
    }
    LRESULT result = 0;
    if (HWND__* w = LiveWindow(send->window); w && w->procedure) {
      result = w->procedure(w, send->message, send->wparam, send->lparam);
    }
    {
      std::lock_guard<std::mutex> guard(s.lock);
      send->result = result;
      send->done = true;
    }
    s.sendDone.notify_all();
  }
}

// Characters of the keys that make one, for TranslateMessage. Printable text comes from the host's text input
// as WM_CHAR of its own (it knows the layout and the input method), so only the control keys are made here.
int CharacterOfKey(WPARAM key) {
  switch (key) {
    case VK_RETURN:
    case VK_BACK:
    case VK_TAB:
    case VK_ESCAPE:
      return static_cast<int>(key);
    default:
      return -1;
  }
}

}  // namespace

BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  host::PlatformState& s = State();
  if (window && window != kThreadOnly) {
    // Window records change only on the pumping thread; other threads check validity when the message is
    // taken instead.
    if (OnGuiThread() && !LiveWindow(window)) return FALSE;
  }
  if (window == kThreadOnly) window = nullptr;
  MSG m = MakeMessage(window, message, wparam, lparam);
  {
    std::lock_guard<std::mutex> guard(s.lock);
    // A queue holds so many posts at most, as the original platform's does: a poster that outruns the pump is
    // refused instead of growing the queue without end.
    if (s.posted.size() >= kPostedLimit) return FALSE;
    s.posted.push_back(m);
    ++s.postedPerWindow[window];
    s.changes.fetch_add(1, std::memory_order_release);
  }
  s.queueChanged.notify_all();
  return TRUE;
}

BOOL PostThreadMessageA(DWORD, UINT message, WPARAM wparam, LPARAM lparam) {
  return PostMessageA(nullptr, message, wparam, lparam);
}

void PostQuitMessage(int exitCode) {
  host::PlatformState& s = State();
  {
    std::lock_guard<std::mutex> guard(s.lock);
    s.quitPending = true;
    s.quitCode = exitCode;
    s.changes.fetch_add(1, std::memory_order_release);
  }
  s.queueChanged.notify_all();
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  HWND__* w = LiveWindow(window);
  if (OnGuiThread()) {
    if (!w || !w->procedure) return 0;
    return w->procedure(w, message, wparam, lparam);
  }
  // From another thread: the window's thread runs the procedure when it next looks at its queue.
  host::PlatformState& s = State();
  host::CrossThreadSend send{window, message, wparam, lparam};
  std::unique_lock<std::mutex> guard(s.lock);
  s.sent.push_back(&send);
  s.changes.fetch_add(1, std::memory_order_release);
  s.queueChanged.notify_all();
  s.sendDone.wait(guard, [&] { return send.done; });
  return send.result;
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  host::PlatformState& s = State();
  if (s.guiThread == 0) s.guiThread = GetCurrentThreadId();
  host::LookBegins();
  RunCrossThreadSends();
  host::PollHostEvents();
  // What the look saw is the count before its last run of notices and sends: one that lands after that run
  // ends the next wait at once instead of counting as seen.
  const uint64_t seen = host::ChangeCount();
  host::PostMarkedNotices();
  RunCrossThreadSends();
  bool remove = (removeFlags & PM_REMOVE) != 0;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    host::LookSaw(seen);
    if (TakePosted(s, msg, window, filterMin, filterMax, remove)) return TRUE;
    if (s.quitPending && (window == nullptr || window == kThreadOnly)) {
      if (msg) *msg = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(s.quitCode), 0);
      if (remove) s.quitPending = false;
      return TRUE;
    }
  }
  // A window that needs painting gets WM_PAINT once nothing else waits; it stays until the window is
  // validated (BeginPaint, ValidateRect or the default procedure).
  if (window != kThreadOnly && InRange(WM_PAINT, filterMin, filterMax)) {
    for (auto& w : s.windows) {
      if (w->destroyed || !w->needsPaint || !(w->style & WS_VISIBLE)) continue;
      if (window && window != w.get()) continue;
      if (msg) *msg = MakeMessage(w.get(), WM_PAINT, 0, 0);
      return TRUE;
    }
  }
  host::LookFoundNothing();
  return FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg) return FALSE;
  if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) {
    return (msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP) ? TRUE : FALSE;
  }
  int c = CharacterOfKey(msg->wParam);
  // With Alt, a letter or digit makes a system character: the menu's access letters.
  const bool letter = (msg->wParam >= 'A' && msg->wParam <= 'Z') || (msg->wParam >= '0' && msg->wParam <= '9');
  if (msg->message == WM_SYSKEYDOWN && letter && (msg->lParam & (1 << 29))) c = static_cast<int>(msg->wParam) | 0x20;
  if (c >= 0) {
    PostMessageA(msg->hwnd, msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, static_cast<WPARAM>(c),
                 msg->lParam);
  }
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg) return 0;
  HWND__* w = LiveWindow(msg->hwnd);
  if (!w || !w->procedure) return 0;
  host::BeforeDispatch(*msg);
  return w->procedure(w, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  HWND__* w = LiveWindow(window);
  if (!w) return 0;
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SYSCOMMAND:
      switch (wparam & 0xFFF0) {
        case SC_CLOSE:
          SendMessageA(window, WM_CLOSE, 0, 0);
          return 0;
        case SC_MINIMIZE:
          ShowWindow(window, SW_MINIMIZE);
          return 0;
        case SC_RESTORE:
          ShowWindow(window, SW_RESTORE);
          return 0;
        case SC_KEYMENU:
          host::BeginKeyboardMenu(window, static_cast<char>(lparam & 0xFF));
          return 0;
        default:
          return 0;
      }
    case WM_SYSKEYDOWN:
      if (wparam == VK_F4) PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSCHAR:
      // Alt with a character: the menu bar item whose access letter it is.
      if (wparam != VK_RETURN && wparam != VK_ESCAPE && (lparam & (1 << 29))) {
        SendMessageA(window, WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(wparam));
      }
      return 0;
    case WM_SYSKEYUP: {
      // F10, or Alt pressed and let go alone, puts the menu bar in the keyboard's hands.
      bool& alone = host::Input().altReleasedAlone;
      bool menuKey = wparam == VK_F10 || (wparam == VK_MENU && alone);
      if (wparam == VK_MENU) alone = false;
      if (menuKey) SendMessageA(window, WM_SYSCOMMAND, SC_KEYMENU, 0);
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      if (BeginPaint(window, &paint)) EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 0;
    case WM_NCACTIVATE:
    case WM_SIZING:
    case WM_MOVING:
      return TRUE;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE) SetFocus(window);
      return 0;
    case WM_SETCURSOR:
      return FALSE;
    case WM_SETTEXT:
      SetWindowTextA(window, reinterpret_cast<LPCSTR>(lparam));
      return TRUE;
    default:
      return 0;
  }
}

int TranslateAcceleratorA(HWND, HACCEL, MSG*) { return 0; }

BOOL IsDialogMessageA(HWND, MSG*) { return FALSE; }

DWORD GetMessageTime() { return timeGetTime(); }

// Waits from the pumping thread's last look at the queue: a post since then ends the wait at once.
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE*, BOOL, DWORD milliseconds, DWORD) {
  if (count != 0) return WAIT_FAILED;
  host::NoteSleep();
  if (milliseconds == 0 || !host::WaitForNextMillisecond(milliseconds)) return WAIT_TIMEOUT;
  // The change may have been a sound's end rather than input, or a notice marked to post.
  host::PostMarkedNotices();
  host::PlatformState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.posted.empty() && s.sent.empty() && !s.quitPending ? WAIT_TIMEOUT : WAIT_OBJECT_0;
}

namespace host {

void SetApplicationActive(bool active) {
  PlatformState& s = State();
  if (active == s.applicationActive) return;
  if (active) {
    HWND target = LiveWindow(s.activeWindow);
    if (!target) {
      for (auto& w : s.windows) {
        if (!w->destroyed && !w->parent && (w->style & WS_VISIBLE)) {
          target = w.get();
          break;
        }
      }
    }
    if (target) {
      SetActiveWindow(target);
    } else {
      s.applicationActive = true;
    }
    return;
  }
  EndMenuTracking(nullptr);  // a menu folds away when the application loses the focus
  HWND previous = LiveWindow(s.activeWindow);
  if (previous) {
    SendMessageA(previous, WM_NCACTIVATE, FALSE, 0);
    SendMessageA(previous, WM_ACTIVATE, WA_INACTIVE, 0);
  }
  s.applicationActive = false;
  std::vector<HWND> topLevel;
  for (auto& w : s.windows) {
    if (!w->destroyed && !w->parent && (w->style & WS_VISIBLE)) topLevel.push_back(w.get());
  }
  for (HWND w : topLevel) {
    if (LiveWindow(w)) SendMessageA(w, WM_ACTIVATEAPP, FALSE, 0);
  }
  if (previous) SetFocus(nullptr);
}

void RequestClose(HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

void DropPostedMessages(HWND window) {
  PlatformState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  std::erase_if(s.posted, [window](const MSG& m) { return m.hwnd == window; });
  s.postedPerWindow.erase(window);
}

}  // namespace host
