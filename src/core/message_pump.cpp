#include "core/message_pump.h"

#include "core/main_window.h"
#include "core/menu_cursor.h"
#include "core/services.h"
#include "core/system_state.h"
#include "core/win32_calls.h"
#include "graphics/graphics_system.h"

namespace {

// Set only while the text-input step runs: a pump called from there returns at once.
int pumpReentryGuard = 0;

bool BlockingWhileInactive() {
  const LibrarySystemState& s = SystemState;
  // Without a main window nothing can activate the program again, so there is nothing to wait for; while the
  // window is being created its own messages are taken without waiting for an activation.
  return s.closingRequested == 0 && s.activeFlag == 0 && s.alwaysRun == 0 && s.mainWindow != nullptr &&
         s.creatingFlag == 0;
}

void Dispatch(MSG& message) {
  TranslateMessage(&message);
  DispatchMessageA(&message);
}

int PumpNetWorkMessagesClosingLost() { return PumpNetWorkMessages(1); }

int ProcessActiveTextInputGuarded() {
  pumpReentryGuard = 1;
  int result = ProcessActiveTextInput();
  pumpReentryGuard = 0;
  return result;
}

int UpdateCursorAndMenuUnlessOff() { return SystemState.cursorMenuUpdateOff ? 0 : UpdateCursorAndMenu(); }

// The periodic work run at the end of every call, in this order.
void Housekeeping() {
  UpdateCursorAndMenuUnlessOff();
  RefillAllStreamSounds();
  PollMusicHandles();
  DrainKeyboardEvents();
  PumpNetWorkMessagesClosingLost();
  ProcessDownloads();
  ProcessActiveTextInputGuarded();
}

// Takes the messages of one pass: up to the queue's end, the fifth counted message of the call, or a message
// met after the quit flag was set (dropped).
enum class TakeResult { QueueEmpty, LimitReached, Dropped };

TakeResult TakeMessages(int& count, int& passIdle) {
  LibrarySystemState& s = SystemState;
  for (;;) {
    MSG message{};
    bool found = false;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) && message.message == WM_SYSCOMMAND &&
        (message.wParam & 0xFFF0) == SC_SCREENSAVE) {
      found = PeekMessageA(&message, nullptr, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE) != 0;
    } else {
      found = PeekMessageA(&message, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE) != 0 ||
              (s.mainWindow != nullptr && PeekMessageA(&message, s.mainWindow, 0, 0, PM_REMOVE) != 0);
    }
    if (found && !(s.dialogHandle != nullptr && IsDialogMessageA(s.dialogHandle, &message))) {
      if (message.message == WM_ACTIVATEAPP) s.activeFlag = static_cast<int>(message.wParam & 0xFFFF);
      if (s.quitFlag) return TakeResult::Dropped;
      if (message.message == WM_QUIT) s.quitFlag = 1;
      if (s.acceleratorTable == nullptr ||
          !TranslateAcceleratorA(s.mainWindow, static_cast<HACCEL>(s.acceleratorTable), &message)) {
        Dispatch(message);
      }
      if (++count >= 5) return TakeResult::LimitReached;
      passIdle = 0;
    }
    for (int i = 0; i < s.extraWindowCount; ++i) {
      MSG extra{};
      if (PeekMessageA(&extra, s.extraWindows[i], 0, 0, PM_REMOVE)) Dispatch(extra);
    }
    if (!found) return TakeResult::QueueEmpty;
  }
}

}  // namespace

int PumpWindowMessages() {
  if (pumpReentryGuard) return 0;
  LibrarySystemState& s = SystemState;

  if (s.modeToggleRequested == 1 && s.modeToggleAllowed == 1) {
    s.modeToggleRequested = 0;
    ChangeWindowMode(s.windowModeFlag == 1 ? 0 : 1);
    if (s.modeChangeCallback) s.modeChangeCallback(s.modeChangeData);
  }

  int count = 0;
  int passIdle = 0;
  while (BlockingWhileInactive() || (passIdle == 0 && s.quitFlag == 0)) {
    passIdle = 1;
    bool inactive = s.activeFlag == 0 && s.alwaysRun == 0;
    if (inactive) RestUntilNextMillisecond();
    if (TakeMessages(count, passIdle) == TakeResult::Dropped) break;
    if (s.activeFlag == 0) {
      // The background work of every pass while the application is inactive, in this order.
      PumpNetWorkMessagesClosingLost();
      ProcessDownloads();
      RefillAllStreamSounds();
      RestUntilNextMillisecond();
    }
    if (s.quitFlag) break;
  }

  Housekeeping();
  return s.quitFlag ? -1 : 0;
}

void RestUntilNextMillisecond() { MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT); }

int PumpWaitStep() {
  const int result = PumpWindowMessages();
  if (result == 0) RestUntilNextMillisecond();
  return result;
}

void WaitForActivation() {
  LibrarySystemState& s = SystemState;
  if (s.activeFlag || s.userWindowMode) return;
  // Creation's own messages (a move before the window is shown) must not wait for an activation.
  if (s.creatingFlag) return;
  if (s.windowModeFlag && s.alwaysRun) return;
  if (!s.windowModeFlag && s.alwaysRun && GetAltPresentFlag()) return;
  while (PumpWindowMessages() == 0 && s.activeFlag == 0) {
    if (s.mainWindow == nullptr) break;
  }
  RestoreAllGraphSurfaces();
}

int UpdateCursorAndMenu() {
  LibrarySystemState& s = SystemState;
  if (s.windowModeFlag) return 0;
  int x = 0, y = 0;
  GetCursorPoint(&x, &y);
  s.menuNearTop = y < 60 ? 1 : 0;
  SetCursorVisible(GetCursorRequest());
  ShowMainMenu(IsMenuShowRequested());
  return 0;
}
