// The DirectInput object: initialisation, the enumeration of the keyboard and of the host's joysticks (read
// afresh each time, so a joystick plugged in since shows up), and device creation; the module and COM entries.
#include <cstdio>
#include <cstring>

#include "platform/directx/dinput_device.h"
#include "platform/host/platform.h"
#include "platform/host/platform_state.h"

const GUID CLSID_DirectInput = {0x25E609E0, 0xB259, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInput7A = {0x9A4CB684, 0x236D, 0x11D3, {0x8E, 0x9D, 0x00, 0xC0, 0x4F, 0x68, 0x44, 0xAE}};
const IID IID_IDirectInputDevice7A = {0x57D7C6BC, 0x2356, 0x11D3, {0x8E, 0x9D, 0x00, 0xC0, 0x4F, 0x68, 0x44, 0xAE}};
const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

namespace {

// Joystick instance GUIDs carry the host's id in their first field; product GUIDs differ in the second.
constexpr GUID kJoystickInstanceBase = {0, 0x7A31, 0x11D3, {0x9B, 0x4E, 0x56, 0x4F, 0x4D, 0x41, 0x4B, 0x4A}};
constexpr DWORD kGamepadType = DIDEVTYPE_JOYSTICK | (5u << 8);
constexpr DWORD kKeyboardType = DIDEVTYPE_KEYBOARD | (4u << 8);

void CopyName(CHAR* destination, const std::string& utf8) {
  std::string text = host::Utf8ToShiftJis(utf8);
  std::snprintf(destination, MAX_PATH, "%s", text.c_str());
}

DIDEVICEINSTANCEA KeyboardInstance() {
  DIDEVICEINSTANCEA d{};
  d.dwSize = sizeof d;
  d.guidInstance = GUID_SysKeyboard;
  d.guidProduct = GUID_SysKeyboard;
  d.dwDevType = kKeyboardType;
  CopyName(d.tszInstanceName, "Keyboard");
  CopyName(d.tszProductName, "Keyboard");
  return d;
}

DIDEVICEINSTANCEA JoystickInstance(const host::JoystickInfo& joystick) {
  DIDEVICEINSTANCEA d{};
  d.dwSize = sizeof d;
  d.guidInstance = kJoystickInstanceBase;
  d.guidInstance.Data1 = joystick.id;
  d.guidProduct = d.guidInstance;
  d.guidProduct.Data2 = 0x7A32;
  d.dwDevType = kGamepadType;
  CopyName(d.tszInstanceName, joystick.name);
  CopyName(d.tszProductName, joystick.product);
  return d;
}

bool IsJoystickInstance(REFGUID guid) {
  GUID base = guid;
  base.Data1 = 0;
  return base == kJoystickInstanceBase;
}

class DirectInputObject final : public ComObject<IDirectInput7A> {
 public:
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!(iid == IID_IUnknown || iid == IID_IDirectInput7A)) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IDirectInput7A*>(this);
    return S_OK;
  }

  HRESULT Initialize(HINSTANCE instance, DWORD version) override {
    if (!instance || version == 0) return DIERR_INVALIDPARAM;
    if (version > DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
    if (host::ShouldFail("DirectInput::Initialize")) return DIERR_GENERIC;
    initialised_ = true;
    return DI_OK;
  }

  HRESULT EnumDevices(DWORD deviceType, LPDIENUMDEVICESCALLBACKA callback, LPVOID context, DWORD) override {
    if (!initialised_) return DIERR_NOTINITIALIZED;
    if (!callback) return DIERR_INVALIDPARAM;
    host::Current().PumpEvents();
    std::vector<DIDEVICEINSTANCEA> found;
    if (deviceType == 0 || deviceType == DIDEVTYPE_KEYBOARD) found.push_back(KeyboardInstance());
    if (deviceType == 0 || deviceType == DIDEVTYPE_JOYSTICK) {
      for (const host::JoystickInfo& j : host::Current().Joysticks()) found.push_back(JoystickInstance(j));
    }
    for (const DIDEVICEINSTANCEA& d : found) {
      if (callback(&d, context) == DIENUM_STOP) break;
    }
    return DI_OK;
  }

  HRESULT CreateDeviceEx(REFGUID instance, REFIID iid, LPVOID* out, IUnknown* outer) override {
    if (!out) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (!initialised_) return DIERR_NOTINITIALIZED;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!(iid == IID_IUnknown || iid == IID_IDirectInputDevice7A)) return DIERR_NOINTERFACE;
    DirectInputDevice* device = nullptr;
    if (instance == GUID_SysKeyboard) {
      if (host::ShouldFail("CreateDevice:KEYBOARD")) return DIERR_GENERIC;
      device = new DirectInputDevice(true, KeyboardInstance(), 0);
    } else if (IsJoystickInstance(instance)) {
      for (const host::JoystickInfo& j : host::Current().Joysticks()) {
        if (j.id != instance.Data1) continue;
        if (host::ShouldFail("CreateDevice:JOYSTICK")) return DIERR_GENERIC;
        device = new DirectInputDevice(false, JoystickInstance(j), j.id);
      }
    }
    if (!device) return DIERR_DEVICENOTREG;
    HRESULT hr = device->QueryInterface(iid, out);
    device->Release();
    return hr;
  }

 private:
  bool initialised_ = false;
};

}  // namespace

HRESULT CreateDirectInputInstance(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!(clsid == CLSID_DirectInput)) return REGDB_E_CLASSNOTREG;
  if (host::ShouldFail("DirectInputCreate")) return DIERR_GENERIC;
  auto* object = new DirectInputObject;
  HRESULT hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

HRESULT DirectInputCreateA(HINSTANCE instance, DWORD version, void** out, IUnknown* outer) {
  if (!out) return DIERR_INVALIDPARAM;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  IDirectInput7A* object = nullptr;
  HRESULT hr = CreateDirectInputInstance(CLSID_DirectInput, IID_IDirectInput7A, reinterpret_cast<void**>(&object));
  if (FAILED(hr)) return hr;
  hr = object->Initialize(instance, version);
  if (FAILED(hr)) {
    object->Release();
    return hr;
  }
  *out = object;
  return DI_OK;
}
