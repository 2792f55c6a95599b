// The substitute's keyboard, joysticks and input method as the hosts feed them and the DirectInput, keyboard
// and IMM substitutes read them. Hosts report what the person does; these calls turn it into key state, window
// messages (WM_KEYDOWN, WM_CHAR of Shift-JIS bytes, WM_IME_*) and device notifications.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/win32/user.h"

namespace host {

// A DirectInput device that wants to hear of changes (the devices register while they live).
class InputListener {
 public:
  virtual void KeyChanged(int code, bool down, uint32_t timeMs, uint32_t sequence) = 0;
  virtual void JoystickChanged(uint32_t id) = 0;
  virtual void JoysticksReplugged() = 0;

 protected:
  ~InputListener() = default;
};

// What one composition message carries, kept until the message is dispatched.
struct ImeSnapshot {
  std::string composition;  // Shift-JIS
  int cursor = 0;           // bytes into the composition
  std::string result;       // Shift-JIS
};

struct InputState {
  uint8_t keyCodes[256] = {};     // by DirectInput key code: 0x80 while down
  uint8_t virtualKeys[256] = {};  // by virtual key: bit 7 down, bit 0 toggled by each press
  uint32_t sequence = 0;
  std::vector<InputListener*> listeners;
  int liveDevices = 0;  // DirectInput devices not yet released
  // Alt pressed and let go with no other key between: the key that opens the menu bar (see DefWindowProcA).
  bool altAlone = false;
  bool altReleasedAlone = false;
  // Input method: enabled for the process (WINNLSEnableIME), open, the composition in progress.
  bool imeEnabled = true;
  bool imeOpen = true;
  bool composing = false;
  ImeSnapshot current;
  std::deque<ImeSnapshot> pendingCompositions;
  std::vector<std::string> candidates;  // Shift-JIS; empty while no candidate window is open
  int candidateSelection = 0;
};
InputState& Input();

// Keys by DirectInput key code (1 to 255). A press of a key that is down is an auto-repeat: it repeats the
// window message but changes no state. Focus loss releases every key that is down. While a menu is worked the
// keys go to it alone (platform/host/menu_bar.h).
void KeyChanged(int code, bool down);
// Every key reads released; the next press of any key counts as a press.
void ReleaseAllKeys();
// The virtual key a DirectInput key code makes (0 when none).
BYTE VirtualKeyOfKeyCode(int code);
// Where keys and text go: the focused window, else the active one, else the first visible top-level window.
HWND KeyboardFocusWindow();

// The pointer over a top-level window, in view coordinates (platform/host/menu_bar.h), and its left button: the
// cursor follows it (not while a menu is open, as the program's pump would not run then) and the menu bar takes
// what falls on it. True when the menu bar took the event.
bool PointerMoved(HWND window, int x, int y);
bool PointerButton(HWND window, int x, int y, bool down);

// Joysticks: a joystick's state changed, or joysticks were attached or removed.
void JoystickChanged(uint32_t id);
void JoysticksReplugged();

// Text: committed text and the composition in progress, both UTF-8; cursor in characters. An empty
// composition ends it. Candidates: the conversion choices on show (empty: closed).
void TextCommitted(const std::string& utf8);
void TextComposing(const std::string& utf8, int cursorCharacters);
void CandidatesChanged(const std::vector<std::string>& utf8, int selection);
// Called by DispatchMessageA before a window procedure sees a message: a composition message makes the
// composition it was posted with the current one.
void BeforeDispatch(const MSG& message);

// UTF-8 to Shift-JIS (code page 932); characters without a Shift-JIS form are left out.
std::string Utf8ToShiftJis(const std::string& utf8);

}  // namespace host
