// The substitute platform's one state record: host, desktop, window classes, windows, menus, the message
// queue, COM, modules, failures. Internal to src/platform; the library uses the Win32-shaped calls.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/cpu.h"
#include "platform/host/host.h"
#include "platform/host/input.h"
#include "platform/win32/user.h"

struct KernelEvent;

// The record behind an HWND. Records stay allocated until the platform is reset, so a stale handle is
// recognised as destroyed instead of pointing at freed memory.
struct HWND__ {
  std::string className;
  WNDPROC procedure = nullptr;
  HINSTANCE instance = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string title;
  RECT rect{};  // window rectangle in screen coordinates
  HMENU menu = nullptr;
  HWND parent = nullptr;
  bool shaped = false;
  std::vector<RECT> shape;  // a copy of the region given to SetWindowRgn; the caller keeps its own handle
  LONG_PTR userData = 0;
  DWORD threadId = 0;
  bool destroyed = false;
  bool destroying = false;
  bool shownOnce = false;
  bool topmost = false;
  bool needsPaint = false;
  int barRows = 1;  // rows the menu bar takes (its items wrap where the width ends)
};

struct MenuItem {
  UINT type = MFT_STRING;
  UINT state = 0;
  UINT id = 0;
  HMENU subMenu = nullptr;
  std::string text;
};

struct HMENU__ {
  std::vector<MenuItem> items;
  bool destroyed = false;
};

namespace media {
class SequencerDevice;
}

namespace host {

struct WindowClass {
  std::string name;
  WNDCLASSEXA description{};
};

// A message sent from another thread, waiting for the window's own thread to run its procedure.
struct CrossThreadSend {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  LRESULT result = 0;
  bool done = false;
};

struct FailureRule {
  int skip = 0;
  int times = -1;
};

// What the pumping thread's waits and rests go by (see platform/host/idle.h): the host's last poll, the change
// count at its last look at the queue, and what tells a spin from a loop that works. Only the thread that looks
// at the queue writes it; notes from other threads are ignored.
struct IdleWatch {
  std::atomic<std::thread::id> owner{};  // the thread that last looked at the queue
  bool polled = false;
  uint64_t lastPollSlot = 0;
  bool tookHostEvents = false;   // the host's events were taken since the look under way began
  uint64_t seenChanges = 0;      // PlatformState::changes at the owner's last look
  uint64_t clockReads = 0;       // the owner's clock reads
  uint64_t clockReadsAtRound = 0;
  bool presentedLast = false;    // the last surface work was a present of the DirectDraw primary
  bool timedLook = false;        // the look under way may be a round of a spin: lookStart holds its start
  uint64_t lookStart = 0;
  uint64_t lastRoundEnd = 0;     // when the last round's look ended (0: no round since the last present)
  int quickRounds = 0;           // rounds in a row that came back within the spin gap
};

// The menu a person works: the window, the bar item highlighted and whether its drop-down is open, the item
// selected and the first item shown in each open drop-down (outermost first), whether the keyboard works it (its
// access letters are underlined), the button held since a press on the menu, and the keys whose release the menu
// swallows because it took their press.
struct MenuTracking {
  HWND window = nullptr;
  int bar = -1;
  bool open = false;
  std::vector<int> selected;
  std::vector<int> firstShown;
  bool byKeyboard = false;
  bool buttonDown = false;
  bool swallowUp[256] = {};
  bool tookLastPress = false;  // the latest key press went to the menu (so does the text it types)
};

struct PlatformState {
  std::unique_ptr<Host> host;

  // Guards the queue and the failure rules; other threads post into the queue. Window procedures and host
  // calls never run while it is held.
  std::mutex lock;
  std::condition_variable sendDone;
  std::condition_variable queueChanged;  // the change count moved: wakes a wait
  // Counts posts, sends, quits and the ends of sounds: whatever a wait on the queue ends for. Changed under the
  // lock (so a wait under the lock misses none), read anywhere.
  std::atomic<uint64_t> changes{0};
  // A mixer source marked a notice since the pump last had them posted (platform/host/idle.h).
  std::atomic<bool> noticesMarked{false};
  std::deque<MSG> posted;
  // Posted messages by window (null: the thread's own), so a look for a window that has none costs nothing
  // however long the queue.
  std::map<HWND, size_t> postedPerWindow;
  std::deque<CrossThreadSend*> sent;
  bool quitPending = false;
  int quitCode = 0;
  std::map<std::string, FailureRule, std::less<>> failures;
  // Whether any failure rule is set: every surface lock asks, and without a rule the answer needs no lock.
  std::atomic<bool> failuresArmed{false};

  // Windows and classes (the pumping thread only).
  std::vector<WindowClass> classes;
  std::vector<std::unique_ptr<HWND__>> windows;
  std::vector<std::unique_ptr<HMENU__>> menus;
  std::atomic<DWORD> guiThread{0};  // other threads read it when they post or send
  bool applicationActive = false;
  HWND activeWindow = nullptr;
  HWND focusWindow = nullptr;
  HCURSOR cursor = nullptr;
  int cursorCount = 0;
  POINT cursorPosition{};
  int foregroundLockTimeout = 200000;

  // Display.
  bool modeSet = false;
  DisplayMode mode{};

  // COM and modules.
  int comInitCount = 0;
  std::map<std::string, int> moduleReferences;
  DWORD lastError = 0;
  uint32_t periodsBegun = 0;
  const ProcessorProvider* processor = nullptr;  // null: the real processor

  // Kernel events (under the lock) and the keyboard, joysticks and input method.
  std::map<HANDLE, std::shared_ptr<KernelEvent>> events;
  InputState input;
  IdleWatch idle;
  MenuTracking menuTracking;

  // Open MCI devices by identifier (platform/media/mci.cpp) and the identifier the next open gets.
  std::map<UINT, std::shared_ptr<media::SequencerDevice>> mciDevices;
  UINT nextMciDevice = 1;
};

PlatformState& State();
// Replaces the host and clears the whole record (used by the headless host's start).
void ResetPlatform(std::unique_ptr<Host> newHost);

// Window record lookups: null for a handle that is not a live window.
HWND__* LiveWindow(HWND window);
// Throws away the messages posted to a window (it is destroyed).
void DropPostedMessages(HWND window);
// Tells the host what a top-level window looks like now (size, title, menu bar, shape, place).
void TellHostOfWindow(HWND window);
// Gives a window another menu bar (null: none), keeping its outer rectangle: the client area changes by the bar.
void ChangeWindowMenu(HWND window, HMENU menu);
// The window's menu bar has other items: it takes the rows they need, the client area growing or shrinking by them.
void MenuBarChanged(HWND window);

// Host events, in window terms. Activation is sent to every visible top-level window; a close request posts
// WM_SYSCOMMAND/SC_CLOSE as the real close box does.
void SetApplicationActive(bool active);
void RequestClose(HWND window);
// Posts WM_DISPLAYCHANGE for the current display mode to every top-level window.
void BroadcastDisplayChange();
// The display mode a host changed on its own (the headless host's scripted display change).
void SetCurrentDisplayMode(const DisplayMode& mode);

uint64_t NowNanoseconds();

}  // namespace host
