// DirectInput devices: state reads, the bounded event buffer, notification events, cooperative levels and the
// axis properties. Axes are scaled into their range here, the dead zone and saturation applied.
#include "platform/directx/dinput_device.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/host/idle.h"
#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/win32/sync.h"

const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), 16, 2, 256, 256, nullptr};
const DIDATAFORMAT c_dfDIJoystick = {sizeof(DIDATAFORMAT), 16, 1, sizeof(DIJOYSTATE), 44, nullptr};

namespace {

bool SameFormat(const DIDATAFORMAT& a, const DIDATAFORMAT& b) {
  return a.dwSize == b.dwSize && a.dwFlags == b.dwFlags && a.dwDataSize == b.dwDataSize;
}

// An axis value from -32768 to 32767 in the axis's range: inside the dead zone the centre, beyond the
// saturation the end, between them the remaining travel stretched over the whole half range.
LONG ScaleAxis(int32_t raw, LONG min, LONG max, DWORD deadZone, DWORD saturation) {
  const double position = raw < 0 ? std::max(raw, -32768) / 32768.0 : std::min(raw, 32767) / 32767.0;
  const double zone = deadZone / 10000.0, full = std::max(saturation / 10000.0, zone);
  const double magnitude = std::fabs(position);
  double travel = 0;
  if (magnitude >= full) {
    travel = magnitude > zone ? 1 : 0;
  } else if (magnitude > zone) {
    travel = (magnitude - zone) / (full - zone);
  }
  const double centre = (static_cast<double>(min) + max) / 2, half = (static_cast<double>(max) - min) / 2;
  return static_cast<LONG>(std::lround(centre + std::copysign(travel, position) * half));
}

}  // namespace

DirectInputDevice::DirectInputDevice(bool keyboard, const DIDEVICEINSTANCEA& instance, uint32_t joystickId)
    : keyboard_(keyboard), instance_(instance), joystickId_(joystickId) {
  host::InputState& input = host::Input();
  input.listeners.push_back(this);
  ++input.liveDevices;
}

DirectInputDevice::~DirectInputDevice() {
  host::InputState& input = host::Input();
  std::erase(input.listeners, static_cast<host::InputListener*>(this));
  if (input.liveDevices > 0) --input.liveDevices;
}

bool DirectInputDevice::Fails(const char* method) const {
  return host::ShouldFail(((keyboard_ ? "Keyboard::" : "Joystick::") + std::string(method)).c_str());
}

bool DirectInputDevice::Hears() const {
  return acquired_ && (!(cooperation_ & DISCL_FOREGROUND) || host::State().applicationActive);
}

HRESULT DirectInputDevice::LoseInput() {
  acquired_ = false;
  return DIERR_INPUTLOST;
}

HRESULT DirectInputDevice::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!(iid == IID_IUnknown || iid == IID_IDirectInputDevice7A)) return E_NOINTERFACE;
  AddRef();
  *out = static_cast<IDirectInputDevice7A*>(this);
  return S_OK;
}

HRESULT DirectInputDevice::SetDataFormat(const DIDATAFORMAT* format) {
  if (!format) return DIERR_INVALIDPARAM;
  if (acquired_) return DIERR_ACQUIRED;
  if (Fails("SetDataFormat")) return DIERR_GENERIC;
  if (!SameFormat(*format, keyboard_ ? c_dfDIKeyboard : c_dfDIJoystick)) return DIERR_INVALIDPARAM;
  format_ = keyboard_ ? &c_dfDIKeyboard : &c_dfDIJoystick;
  return DI_OK;
}

HRESULT DirectInputDevice::SetCooperativeLevel(HWND window, DWORD flags) {
  HWND__* w = host::LiveWindow(window);
  if (!w || w->parent) return DIERR_INVALIDPARAM;
  const DWORD sharing = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
  const DWORD when = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
  if (sharing == 0 || sharing == (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE) || when == 0 ||
      when == (DISCL_FOREGROUND | DISCL_BACKGROUND)) {
    return DIERR_INVALIDPARAM;
  }
  if (keyboard_ && flags == (DISCL_EXCLUSIVE | DISCL_BACKGROUND)) return DIERR_UNSUPPORTED;
  if (acquired_) return DIERR_ACQUIRED;
  if (Fails("SetCooperativeLevel")) return DIERR_GENERIC;
  window_ = window;
  cooperation_ = flags;
  return DI_OK;
}

HRESULT DirectInputDevice::SetProperty(DIPROPERTY property, const DIPROPHEADER* header) {
  if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
  if (Fails("SetProperty")) return DIERR_GENERIC;
  if (property == DIPROP_BUFFERSIZE) {
    if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE || header->dwObj != 0) {
      return DIERR_INVALIDPARAM;
    }
    if (acquired_) return DIERR_ACQUIRED;
    bufferSize_ = std::min(reinterpret_cast<const DIPROPDWORD*>(header)->dwData, kDirectInputBufferLimit);
    return DI_OK;
  }
  if (property != DIPROP_RANGE && property != DIPROP_DEADZONE && property != DIPROP_SATURATION) {
    return DIERR_UNSUPPORTED;
  }
  if (keyboard_) return DIERR_UNSUPPORTED;
  // The axes the property applies to: all of them for the device, else the one at the offset.
  int first = 0, last = 7;
  if (header->dwHow == DIPH_BYOFFSET) {
    if (header->dwObj % 4 != 0 || header->dwObj > DIJOFS_SLIDER1) return DIERR_OBJECTNOTFOUND;
    first = last = static_cast<int>(header->dwObj / 4);
  } else if (header->dwHow != DIPH_DEVICE || header->dwObj != 0) {
    return DIERR_INVALIDPARAM;
  }
  if (property == DIPROP_RANGE) {
    if (header->dwSize != sizeof(DIPROPRANGE)) return DIERR_INVALIDPARAM;
    const auto* range = reinterpret_cast<const DIPROPRANGE*>(header);
    if (range->lMin >= range->lMax) return DIERR_INVALIDPARAM;
    for (int i = first; i <= last; ++i) {
      axes_[i].min = range->lMin;
      axes_[i].max = range->lMax;
    }
    return DI_OK;
  }
  if (header->dwSize != sizeof(DIPROPDWORD)) return DIERR_INVALIDPARAM;
  const DWORD value = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
  if (value > 10000) return DIERR_INVALIDPARAM;
  for (int i = first; i <= last; ++i) (property == DIPROP_DEADZONE ? axes_[i].deadZone : axes_[i].saturation) = value;
  return DI_OK;
}

HRESULT DirectInputDevice::SetEventNotification(HANDLE event) {
  if (acquired_) return DIERR_ACQUIRED;
  if (Fails("SetEventNotification")) return DIERR_GENERIC;
  event_ = event;
  return DI_OK;
}

HRESULT DirectInputDevice::Acquire() {
  if (!format_ || !window_) return DIERR_INVALIDPARAM;
  if (acquired_) return DI_NOEFFECT;
  if (Fails("Acquire")) return DIERR_OTHERAPPHASPRIO;
  if (unplugged_) return DIERR_INPUTLOST;
  if ((cooperation_ & DISCL_FOREGROUND) && !(host::State().applicationActive && host::State().activeWindow == window_)) {
    return DIERR_OTHERAPPHASPRIO;
  }
  acquired_ = true;
  buffer_.clear();
  overflowed_ = false;
  return DI_OK;
}

HRESULT DirectInputDevice::Unacquire() {
  if (!acquired_) return DI_NOEFFECT;
  acquired_ = false;
  return DI_OK;
}

void DirectInputDevice::ReadJoystick(DIJOYSTATE& state) const {
  host::JoystickReading reading;
  host::Current().ReadJoystick(joystickId_, reading);
  LONG* axes[8] = {&state.lX, &state.lY, &state.lZ, &state.lRx, &state.lRy, &state.lRz, &state.rglSlider[0],
                   &state.rglSlider[1]};
  for (int i = 0; i < 8; ++i) {
    const Axis& a = axes_[i];
    *axes[i] = ScaleAxis(reading.axes[i], a.min, a.max, a.deadZone, a.saturation);
  }
  std::memcpy(state.rgdwPOV, reading.hats, sizeof state.rgdwPOV);
  for (int i = 0; i < 32; ++i) state.rgbButtons[i] = reading.buttons[i] ? 0x80 : 0;
}

HRESULT DirectInputDevice::GetDeviceState(DWORD size, LPVOID data) {
  if (!data || !format_ || size != format_->dwDataSize) return DIERR_INVALIDPARAM;
  if (!acquired_) return DIERR_NOTACQUIRED;
  host::PollHostEvents();
  if (Fails("GetDeviceState")) return LoseInput();
  if (keyboard_) {
    std::memcpy(data, host::Input().keyCodes, 256);
    return DI_OK;
  }
  host::JoystickReading probe;
  if (unplugged_ || !host::Current().ReadJoystick(joystickId_, probe)) {
    unplugged_ = true;
    return LoseInput();
  }
  DIJOYSTATE state{};
  ReadJoystick(state);
  std::memcpy(data, &state, sizeof state);
  return DI_OK;
}

HRESULT DirectInputDevice::GetDeviceData(DWORD objectSize, DIDEVICEOBJECTDATA* data, DWORD* count, DWORD flags) {
  if (!count || objectSize != sizeof(DIDEVICEOBJECTDATA)) return DIERR_INVALIDPARAM;
  if (!acquired_) return DIERR_NOTACQUIRED;
  if (bufferSize_ == 0) return DIERR_NOTBUFFERED;
  host::PollHostEvents();
  if (Fails("GetDeviceData")) return LoseInput();
  const size_t n = std::min<size_t>(*count, buffer_.size());
  if (data) std::copy_n(buffer_.begin(), n, data);
  if (!(flags & DIGDD_PEEK)) buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<ptrdiff_t>(n));
  *count = static_cast<DWORD>(n);
  const bool overflowed = overflowed_;
  if (!(flags & DIGDD_PEEK)) overflowed_ = false;
  return overflowed ? DI_BUFFEROVERFLOW : DI_OK;
}

HRESULT DirectInputDevice::GetDeviceInfo(DIDEVICEINSTANCEA* instance) {
  if (!instance || instance->dwSize != sizeof(DIDEVICEINSTANCEA)) return DIERR_INVALIDPARAM;
  *instance = instance_;
  return DI_OK;
}

HRESULT DirectInputDevice::Poll() {
  if (!acquired_) return DIERR_NOTACQUIRED;
  if (keyboard_) return DI_NOEFFECT;
  host::PollHostEvents();
  return unplugged_ ? LoseInput() : DI_OK;
}

void DirectInputDevice::KeyChanged(int code, bool down, uint32_t timeMs, uint32_t sequence) {
  if (!keyboard_ || !Hears()) return;
  if (bufferSize_ > 0) {
    // A full buffer keeps its oldest events and reports the overflow at the next read.
    if (buffer_.size() < bufferSize_) {
      buffer_.push_back({static_cast<DWORD>(code), down ? 0x80u : 0u, timeMs, sequence});
    } else {
      overflowed_ = true;
    }
  }
  if (event_) SetEvent(event_);
}

void DirectInputDevice::JoystickChanged(uint32_t id) {
  if (keyboard_ || id != joystickId_ || !Hears()) return;
  if (event_) SetEvent(event_);
}

void DirectInputDevice::JoysticksReplugged() {
  if (keyboard_ || unplugged_) return;
  const auto attached = host::Current().Joysticks();
  unplugged_ = std::none_of(attached.begin(), attached.end(),
                            [this](const host::JoystickInfo& j) { return j.id == joystickId_; });
  if (unplugged_ && event_ && acquired_) SetEvent(event_);
}
