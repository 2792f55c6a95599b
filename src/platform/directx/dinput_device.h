// The DirectInput substitute's device: the system keyboard or one of the host's joysticks.
#pragma once
#include <deque>
#include <string>

#include "platform/directx/dinput.h"
#include "platform/host/input.h"

class DirectInputDevice final : public ComObject<IDirectInputDevice7A>, public host::InputListener {
 public:
  // joystick: the host's id and names; keyboard: id 0 and the keyboard's names.
  DirectInputDevice(bool keyboard, const DIDEVICEINSTANCEA& instance, uint32_t joystickId);
  ~DirectInputDevice() override;

  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT SetProperty(DIPROPERTY property, const DIPROPHEADER* header) override;
  HRESULT Acquire() override;
  HRESULT Unacquire() override;
  HRESULT GetDeviceState(DWORD size, LPVOID data) override;
  HRESULT GetDeviceData(DWORD objectSize, DIDEVICEOBJECTDATA* data, DWORD* count, DWORD flags) override;
  HRESULT SetDataFormat(const DIDATAFORMAT* format) override;
  HRESULT SetEventNotification(HANDLE event) override;
  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
  HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* instance) override;
  HRESULT Poll() override;

  void KeyChanged(int code, bool down, uint32_t timeMs, uint32_t sequence) override;
  void JoystickChanged(uint32_t id) override;
  void JoysticksReplugged() override;

 private:
  struct Axis {
    LONG min = 0, max = 65535;
    DWORD deadZone = 0, saturation = 10000;  // ten-thousandths of the travel from the centre
  };
  bool Fails(const char* method) const;
  bool Hears() const;  // acquired, and for a foreground device the application is active
  void ReadJoystick(DIJOYSTATE& state) const;
  HRESULT LoseInput();

  bool keyboard_;
  DIDEVICEINSTANCEA instance_;
  uint32_t joystickId_;
  const DIDATAFORMAT* format_ = nullptr;
  HWND window_ = nullptr;
  DWORD cooperation_ = 0;
  bool acquired_ = false;
  bool unplugged_ = false;
  HANDLE event_ = nullptr;
  DWORD bufferSize_ = 0;
  bool overflowed_ = false;
  std::deque<DIDEVICEOBJECTDATA> buffer_;
  Axis axes_[8];
};
