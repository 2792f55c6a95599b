// Scripted input of the headless host: keys by DirectInput key code, typed text, compositions and candidate
// lists (UTF-8), joypads attached, moved and removed. Each happens when the platform next looks at its events
// once the virtual clock has reached now + delayMs, in the order scheduled.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/host/menu_bar.h"

namespace headless {

void PressKey(int code, uint64_t delayMs = 0);
void ReleaseKey(int code, uint64_t delayMs = 0);
void TypeText(const std::string& utf8, uint64_t delayMs = 0);
// An empty text ends the composition; cursor in characters.
void Compose(const std::string& utf8, int cursor, uint64_t delayMs = 0);
// An empty list closes the candidate window.
void ShowCandidates(const std::vector<std::string>& utf8, int selection, uint64_t delayMs = 0);

// The pointer over a window's view (the top-left of its menu bar strip, or of its client area without a bar) and
// its left button, as a person moves and clicks it: the cursor follows and the menu bar takes what falls on it.
void MovePointer(HWND window, int x, int y, uint64_t delayMs = 0);
void PressPointer(HWND window, int x, int y, uint64_t delayMs = 0);
void ReleasePointer(HWND window, int x, int y, uint64_t delayMs = 0);
// What the menu bar of a window shows now (laid out as the SDL host draws it), and the number of times the host was
// told that it changed.
host::MenuScene MenuSceneOf(HWND window);
int MenuChangeCount();

// Joypads: attached at once (seen at the next enumeration); the id names it in the other calls.
uint32_t AttachPad(const std::string& name);
void DetachPad(uint32_t id, uint64_t delayMs = 0);
// Axis 0 to 7 (X, Y, Z, rotations, sliders) from -32768 to 32767.
void SetPadAxis(uint32_t id, int axis, int32_t value, uint64_t delayMs = 0);
void SetPadButton(uint32_t id, int button, bool down, uint64_t delayMs = 0);
// Hundredths of degrees clockwise from up, 0xFFFFFFFF centred.
void SetPadHat(uint32_t id, int hat, uint32_t value, uint64_t delayMs = 0);

// Failures (headless::FailCall) the input substitutes ask for: "DirectInputCreate", "DirectInput::Initialize",
// "CreateDevice:KEYBOARD", "CreateDevice:JOYSTICK", and per device kind "Keyboard::" or "Joystick::" followed by
// "SetDataFormat", "SetCooperativeLevel", "SetProperty", "SetEventNotification", "Acquire", "GetDeviceState" or
// "GetDeviceData"; "CreateEventA".

// Kernel events not yet closed, and DirectInput devices not yet released.
int OpenEventCount();
int LiveInputDeviceCount();

// For the headless host's own units: its joypads, and an action run at a virtual time.
struct PadBoard {
  struct Pad {
    host::JoystickInfo info;
    host::JoystickReading reading;
  };
  std::vector<Pad> pads;
  uint32_t nextId = 1;
  Pad* Find(uint32_t id);
};
PadBoard& Pads();
void ScheduleAction(uint64_t delayMs, std::function<void()> action);

}  // namespace headless
