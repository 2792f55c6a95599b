// The headless host's scripted keys, text, compositions and joypads, delivered through the platform's input
// entry points at their virtual times.
#include "platform/host/headless/headless_input.h"

#include <mutex>

#include "platform/host/input.h"
#include "platform/host/platform_state.h"

namespace headless {

PadBoard::Pad* PadBoard::Find(uint32_t id) {
  for (Pad& p : pads) {
    if (p.info.id == id) return &p;
  }
  return nullptr;
}

namespace {

void ChangePad(uint32_t id, uint64_t delayMs, std::function<void(host::JoystickReading&)> change) {
  ScheduleAction(delayMs, [id, change] {
    if (PadBoard::Pad* p = Pads().Find(id)) {
      change(p->reading);
      host::JoystickChanged(id);
    }
  });
}

}  // namespace

void PressKey(int code, uint64_t delayMs) {
  ScheduleAction(delayMs, [code] { host::KeyChanged(code, true); });
}

void ReleaseKey(int code, uint64_t delayMs) {
  ScheduleAction(delayMs, [code] { host::KeyChanged(code, false); });
}

void MovePointer(HWND window, int x, int y, uint64_t delayMs) {
  ScheduleAction(delayMs, [=] { host::PointerMoved(window, x, y); });
}

void PressPointer(HWND window, int x, int y, uint64_t delayMs) {
  ScheduleAction(delayMs, [=] { host::PointerButton(window, x, y, true); });
}

void ReleasePointer(HWND window, int x, int y, uint64_t delayMs) {
  ScheduleAction(delayMs, [=] { host::PointerButton(window, x, y, false); });
}

host::MenuScene MenuSceneOf(HWND window) { return host::MenuSceneOf(window); }

void TypeText(const std::string& utf8, uint64_t delayMs) {
  ScheduleAction(delayMs, [utf8] { host::TextCommitted(utf8); });
}

void Compose(const std::string& utf8, int cursor, uint64_t delayMs) {
  ScheduleAction(delayMs, [utf8, cursor] { host::TextComposing(utf8, cursor); });
}

void ShowCandidates(const std::vector<std::string>& utf8, int selection, uint64_t delayMs) {
  ScheduleAction(delayMs, [utf8, selection] { host::CandidatesChanged(utf8, selection); });
}

uint32_t AttachPad(const std::string& name) {
  PadBoard& board = Pads();
  PadBoard::Pad pad;
  pad.info.id = board.nextId++;
  pad.info.name = name;
  pad.info.product = name;
  board.pads.push_back(pad);
  host::JoysticksReplugged();
  return pad.info.id;
}

void DetachPad(uint32_t id, uint64_t delayMs) {
  ScheduleAction(delayMs, [id] {
    std::erase_if(Pads().pads, [id](const PadBoard::Pad& p) { return p.info.id == id; });
    host::JoysticksReplugged();
  });
}

void SetPadAxis(uint32_t id, int axis, int32_t value, uint64_t delayMs) {
  ChangePad(id, delayMs, [axis, value](host::JoystickReading& r) { r.axes[axis & 7] = value; });
}

void SetPadButton(uint32_t id, int button, bool down, uint64_t delayMs) {
  ChangePad(id, delayMs, [button, down](host::JoystickReading& r) { r.buttons[button & 31] = down ? 1 : 0; });
}

void SetPadHat(uint32_t id, int hat, uint32_t value, uint64_t delayMs) {
  ChangePad(id, delayMs, [hat, value](host::JoystickReading& r) { r.hats[hat & 3] = value; });
}

int OpenEventCount() {
  host::PlatformState& s = host::State();
  std::lock_guard<std::mutex> guard(s.lock);
  return static_cast<int>(s.events.size());
}

int LiveInputDeviceCount() { return host::Input().liveDevices; }

}  // namespace headless
