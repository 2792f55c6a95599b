// The keyboard of the substitute: key state by DirectInput key code and by virtual key, the key messages to the
// focused window, and the DirectInput devices told of each change.
#include "platform/win32/keyboard.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "platform/host/input.h"
#include "platform/host/idle.h"
#include "platform/host/menu_bar.h"
#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/win32/winmm.h"

namespace {

// DirectInput key code (the keyboard's scan code, 0x80 for the extended keys) to virtual key, for the Japanese
// layout the library expects (the semicolon key is VK_OEM_PLUS, the colon key VK_OEM_1, the at-sign key VK_OEM_3).
struct KeyRow {
  BYTE code;
  BYTE virtualKey;
};
constexpr KeyRow kKeyRows[] = {
    {0x01, 0x1B}, {0x02, '1'},  {0x03, '2'},  {0x04, '3'},  {0x05, '4'},  {0x06, '5'},  {0x07, '6'},
    {0x08, '7'},  {0x09, '8'},  {0x0A, '9'},  {0x0B, '0'},  {0x0C, 0xBD}, {0x0D, 0xDE}, {0x0E, 0x08},
    {0x0F, 0x09}, {0x10, 'Q'},  {0x11, 'W'},  {0x12, 'E'},  {0x13, 'R'},  {0x14, 'T'},  {0x15, 'Y'},
    {0x16, 'U'},  {0x17, 'I'},  {0x18, 'O'},  {0x19, 'P'},  {0x1A, 0xDB}, {0x1B, 0xDD}, {0x1C, 0x0D},
    {0x1D, 0xA2}, {0x1E, 'A'},  {0x1F, 'S'},  {0x20, 'D'},  {0x21, 'F'},  {0x22, 'G'},  {0x23, 'H'},
    {0x24, 'J'},  {0x25, 'K'},  {0x26, 'L'},  {0x27, 0xBB}, {0x28, 0xBA}, {0x29, 0xF3}, {0x2A, 0xA0},
    {0x2B, 0xE2}, {0x2C, 'Z'},  {0x2D, 'X'},  {0x2E, 'C'},  {0x2F, 'V'},  {0x30, 'B'},  {0x31, 'N'},
    {0x32, 'M'},  {0x33, 0xBC}, {0x34, 0xBE}, {0x35, 0xBF}, {0x36, 0xA1}, {0x37, 0x6A}, {0x38, 0xA4},
    {0x39, 0x20}, {0x3A, 0x14}, {0x3B, 0x70}, {0x3C, 0x71}, {0x3D, 0x72}, {0x3E, 0x73}, {0x3F, 0x74},
    {0x40, 0x75}, {0x41, 0x76}, {0x42, 0x77}, {0x43, 0x78}, {0x44, 0x79}, {0x45, 0x90}, {0x46, 0x91},
    {0x47, 0x67}, {0x48, 0x68}, {0x49, 0x69}, {0x4A, 0x6D}, {0x4B, 0x64}, {0x4C, 0x65}, {0x4D, 0x66},
    {0x4E, 0x6B}, {0x4F, 0x61}, {0x50, 0x62}, {0x51, 0x63}, {0x52, 0x60}, {0x53, 0x6E}, {0x56, 0xE2},
    {0x57, 0x7A}, {0x58, 0x7B}, {0x64, 0x7C}, {0x65, 0x7D}, {0x66, 0x7E}, {0x70, 0x15}, {0x73, 0xE2},
    {0x79, 0x1C}, {0x7B, 0x1D}, {0x7D, 0xDC}, {0x90, 0xDE}, {0x91, 0xC0}, {0x92, 0xBA}, {0x94, 0x19},
    {0x9C, 0x0D}, {0x9D, 0xA3}, {0xB5, 0x6F}, {0xB7, 0x2C}, {0xB8, 0xA5}, {0xC5, 0x13}, {0xC7, 0x24},
    {0xC8, 0x26}, {0xC9, 0x21}, {0xCB, 0x25}, {0xCD, 0x27}, {0xCF, 0x23}, {0xD0, 0x28}, {0xD1, 0x22},
    {0xD2, 0x2D}, {0xD3, 0x2E}, {0xDB, 0x5B}, {0xDC, 0x5C}, {0xDD, 0x5D},
};

constexpr BYTE kLeftShift = 0xA0, kLeftControl = 0xA2, kLeftMenu = 0xA4;

// The key that window messages name: one code for both Shift, both Ctrl and both Alt keys.
BYTE MessageKey(BYTE virtualKey) {
  if (virtualKey >= kLeftShift && virtualKey <= kLeftMenu + 1) return static_cast<BYTE>(VK_SHIFT + (virtualKey - kLeftShift) / 2);
  return virtualKey;
}

void UpdateSideIndependentKeys(BYTE* keys) {
  for (BYTE generic = VK_SHIFT; generic <= VK_MENU; ++generic) {
    BYTE left = static_cast<BYTE>(kLeftShift + (generic - VK_SHIFT) * 2);
    bool down = ((keys[left] | keys[left + 1]) & 0x80) != 0;
    keys[generic] = static_cast<BYTE>((keys[generic] & 0x01) | (down ? 0x80 : 0));
  }
}

void PostKeyMessage(int code, BYTE virtualKey, bool down, bool wasDown) {
  HWND target = host::KeyboardFocusWindow();
  if (!target || !virtualKey) return;
  const BYTE* keys = host::Input().virtualKeys;
  bool alt = (keys[VK_MENU] & 0x80) != 0;
  // Alt combinations, F10, and the release of Alt itself (Alt is up by then).
  bool system = (alt && !(keys[VK_CONTROL] & 0x80)) || virtualKey == VK_F10 ||
                (!down && MessageKey(virtualKey) == VK_MENU && !(keys[VK_CONTROL] & 0x80));
  UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
  DWORD flags = 1u | (static_cast<DWORD>(code & 0x7F) << 16) | ((code & 0x80) ? 1u << 24 : 0u) |
                (alt ? 1u << 29 : 0u) | (wasDown ? 1u << 30 : 0u) | (down ? 0u : 1u << 31);
  PostMessageA(target, message, MessageKey(virtualKey), static_cast<LPARAM>(flags));
}

}  // namespace

namespace host {

InputState& Input() { return State().input; }

HWND KeyboardFocusWindow() {
  PlatformState& s = State();
  if (HWND w = LiveWindow(s.focusWindow)) return w;
  if (HWND w = LiveWindow(s.activeWindow)) return w;
  for (auto& w : s.windows) {
    if (!w->destroyed && !w->parent && (w->style & WS_VISIBLE)) return w.get();
  }
  return nullptr;
}

BYTE VirtualKeyOfKeyCode(int code) {
  for (const KeyRow& row : kKeyRows) {
    if (row.code == code) return row.virtualKey;
  }
  return 0;
}

void KeyChanged(int code, bool down) {
  if (code <= 0 || code > 255) return;
  InputState& input = Input();
  const bool wasDown = (input.keyCodes[code] & 0x80) != 0;
  const BYTE virtualKey = VirtualKeyOfKeyCode(code);
  // A menu being worked holds the keyboard: the key state, the devices and the messages hear nothing.
  if (MenuTakesKey(code, virtualKey, down)) return;
  if (down != wasDown) {
    input.keyCodes[code] = down ? 0x80 : 0;
    if (virtualKey) {
      BYTE& key = input.virtualKeys[virtualKey];
      key = static_cast<BYTE>(down ? ((key ^ 0x01) & 0x01) | 0x80 : key & 0x01);
      UpdateSideIndependentKeys(input.virtualKeys);
    }
    const bool alt = virtualKey == kLeftMenu || virtualKey == kLeftMenu + 1;
    if (down) {
      input.altAlone = alt;
      input.altReleasedAlone = false;
    } else if (alt) {
      input.altReleasedAlone = input.altAlone;
      input.altAlone = false;
    }
    const uint32_t sequence = ++input.sequence;
    const uint32_t time = timeGetTime();
    // A listener may go away while being told (a device released from a window procedure): copy first.
    std::vector<InputListener*> listeners = input.listeners;
    for (InputListener* l : listeners) l->KeyChanged(code, down, time, sequence);
  } else if (!down) {
    return;  // a release of a key that is up
  }
  PostKeyMessage(code, virtualKey, down, wasDown);
}

void ReleaseAllKeys() {
  for (int code = 1; code < 256; ++code) {
    if (Input().keyCodes[code] & 0x80) KeyChanged(code, false);
  }
  // No release is awaited any more: the next press of any key is a press.
  std::fill(std::begin(State().menuTracking.swallowUp), std::end(State().menuTracking.swallowUp), false);
}

void JoystickChanged(uint32_t id) {
  std::vector<InputListener*> listeners = Input().listeners;
  for (InputListener* l : listeners) l->JoystickChanged(id);
}

void JoysticksReplugged() {
  std::vector<InputListener*> listeners = Input().listeners;
  for (InputListener* l : listeners) l->JoysticksReplugged();
}

}  // namespace host

BOOL GetKeyboardState(BYTE* state) {
  if (!state) return FALSE;
  host::PollHostEvents();
  std::memcpy(state, host::Input().virtualKeys, 256);
  return TRUE;
}

SHORT GetKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey > 255) return 0;
  host::PollHostEvents();
  const BYTE key = host::Input().virtualKeys[virtualKey];
  return static_cast<SHORT>(((key & 0x80) ? 0x8000 : 0) | (key & 0x01));
}
