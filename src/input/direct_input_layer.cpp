// Keyboard and joypads through DirectInput 7, with the Win32 keyboard state as the fall-back when there is no
// keyboard device. Devices are read at most once per millisecond unless their event says new data arrived.
#include "input/direct_input_layer.h"

#include <cstring>

#include "core/log.h"
#include "core/main_window.h"
#include "core/message_pump.h"
#include "core/system_state.h"
#include "platform/win32/kernel.h"
#include "platform/win32/keyboard.h"
#include "platform/win32/sync.h"
#include "platform/win32/user.h"
#include "platform/win32/winmm.h"
#include "vomak.h"

DirectInputLayerState DirectInputLayer;

namespace {

struct KeyPair {
  uint16_t virtualKey;
  uint16_t keyCode;
};

// Win32 virtual key to DirectInput key code, for the fall-back; Japanese keyboard layout.
constexpr KeyPair VkToKeyCodeTable[] = {
    {0x08, 0x0E}, {0x09, 0x0F}, {0x0D, 0x1C}, {0xA0, 0x2A}, {0xA1, 0x36}, {0xA2, 0x1D}, {0xA3, 0x9D},
    {0x1B, 0x01}, {0x20, 0x39}, {0x21, 0xC9}, {0x22, 0xD1}, {0x23, 0xCF}, {0x24, 0xC7}, {0x25, 0xCB},
    {0x26, 0xC8}, {0x27, 0xCD}, {0x28, 0xD0}, {0x2D, 0xD2}, {0x2E, 0xD3}, {0xBD, 0x0C}, {0xDC, 0x7D},
    {0xBE, 0x34}, {0xBF, 0x35}, {0xA4, 0x38}, {0xA5, 0xB8}, {0x91, 0x46}, {0xBB, 0x27}, {0xBA, 0x92},
    {0xDB, 0x1A}, {0xDD, 0x1B}, {0xC0, 0x91}, {0xE2, 0x2B}, {0xBC, 0x33}, {0x14, 0x3A}, {0x13, 0xC5},
    {0x60, 0x52}, {0x61, 0x4F}, {0x62, 0x50}, {0x63, 0x51}, {0x64, 0x4B}, {0x65, 0x4C}, {0x66, 0x4D},
    {0x67, 0x47}, {0x68, 0x48}, {0x69, 0x49}, {0x6A, 0x37}, {0x6B, 0x4E}, {0x6D, 0x4A}, {0x6E, 0x53},
    {0x6F, 0xB5}, {0x0D, 0x9C}, {0x70, 0x3B}, {0x71, 0x3C}, {0x72, 0x3D}, {0x73, 0x3E}, {0x74, 0x3F},
    {0x75, 0x40}, {0x76, 0x41}, {0x77, 0x42}, {0x78, 0x43}, {0x79, 0x44}, {0x7A, 0x57}, {0x7B, 0x58},
    {'A', 0x1E},  {'B', 0x30},  {'C', 0x2E},  {'D', 0x20},  {'E', 0x12},  {'F', 0x21},  {'G', 0x22},
    {'H', 0x23},  {'I', 0x17},  {'J', 0x24},  {'K', 0x25},  {'L', 0x26},  {'M', 0x32},  {'N', 0x31},
    {'O', 0x18},  {'P', 0x19},  {'Q', 0x10},  {'R', 0x13},  {'S', 0x1F},  {'T', 0x14},  {'U', 0x16},
    {'V', 0x2F},  {'W', 0x11},  {'X', 0x2D},  {'Y', 0x15},  {'Z', 0x2C},  {'0', 0x0B},  {'1', 0x02},
    {'2', 0x03},  {'3', 0x04},  {'4', 0x05},  {'5', 0x06},  {'6', 0x07},  {'7', 0x08},  {'8', 0x09},
    {'9', 0x0A},  {0xFFFF, 0},
};
static_assert(std::size(VkToKeyCodeTable) == 100);  // 99 pairs and the end mark

// The keyboard keys merged into the pad bits, two keys at most per bit (0: none).
struct KeyBit {
  int bit;
  uint8_t first, second;
};
constexpr KeyBit kKeyboardBits[] = {
    {0x1, 0xD0, 0x50},  {0x2, 0xCB, 0x4B},  {0x4, 0xCD, 0x4D},  {0x8, 0xC8, 0x48},  {0x10, 0x2C, 0},
    {0x20, 0x2D, 0},    {0x40, 0x2E, 0},    {0x80, 0x1E, 0},    {0x100, 0x1F, 0},   {0x200, 0x20, 0},
    {0x400, 0x10, 0},   {0x800, 0x11, 0},   {0x1000, 0x01, 0},  {0x2000, 0x39, 0},
};

constexpr DWORD kCooperation = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;

DIPROPHEADER PropertyHeader(DWORD size, DWORD object, DWORD how) { return {size, sizeof(DIPROPHEADER), object, how}; }

bool IsSignalled(HANDLE event) { return event != nullptr && WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

// Drops whatever a start made before it failed, and ends the process with the text.
[[noreturn]] void FailKeyboardStart(const char* text) {
  DirectInputLayerState& s = DirectInputLayer;
  if (s.keyboardDevice) s.keyboardDevice->Release();
  s.keyboardDevice = nullptr;
  if (s.keyboardEvent) CloseHandle(s.keyboardEvent);
  s.keyboardEvent = nullptr;
  s.directInput->Release();
  s.directInput = nullptr;
  ExitOnError(text);
}

// A pad that failed a step: its device and event go, and the enumeration goes on.
BOOL SkipJoypad(IDirectInputDevice7A* device, HANDLE event, const char* text) {
  device->Release();
  if (event) CloseHandle(event);
  AppLogWrite(text);
  return DIENUM_CONTINUE;
}

// Both queries start a stopped layer first; the query that started it answers "nothing held".
bool StartedForQuery() {
  WaitForActivation();
  if (DirectInputLayer.directInput != nullptr || IsWindowClosing()) return true;
  StartDirectInputLayer();
  return false;
}

}  // namespace

int StartDirectInputLayer() {
  DirectInputLayerState& s = DirectInputLayer;
  if (s.directInput) return 0;
  std::memset(&s, 0, sizeof s);
  AppLogWrite("DirectInput関係初期化処理\n");
  AppLogIndentIn();
  AppLogWrite("DirectInputオブジェクトの取得中... ");
  if (FAILED(CoCreateInstance(CLSID_DirectInput, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectInput7A,
                              reinterpret_cast<LPVOID*>(&s.directInput)))) {
    s.directInput = nullptr;
    AppLogWrite("取得に失敗\n");
    AppLogIndentOut();
    return -1;
  }
  AppLogWrite("成功\n");
  AppLogIndentIn();
  AppLogWrite("引き続き初期化処理... ");
  if (FAILED(s.directInput->Initialize(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION))) {
    AppLogWrite("初期化に失敗\n");
    s.directInput->Release();
    s.directInput = nullptr;
    AppLogIndentOut();
    AppLogIndentOut();
    return -1;
  }
  AppLogWrite("初期化成功\n");
  AppLogIndentOut();

  HWND window = GetLibraryWindowHandle();
  BringWindowToTop(window);
  // The pump would wait for an activation that may never come (a window started behind another).
  const bool windowGone = (SystemState.activeFlag || SystemState.alwaysRun) && PumpWindowMessages() != 0;
  if (!s.directInput) {  // stopped from inside the pump (a display change)
    AppLogIndentOut();
    return -1;
  }
  // A window closed meanwhile takes no devices: the queries read the Win32 keyboard until the program ends.
  if (windowGone) s.keyboardStateFallback = 1;

  AppLogWrite("ジョイパッドの初期化... \n");
  s.padCount = 0;
  if (!windowGone) s.directInput->EnumDevices(DIDEVTYPE_JOYSTICK, AddJoypadDevice, nullptr, DIEDFL_ATTACHEDONLY);
  AppLogWrite("ジョイパッドの初期化は正常に終了しました\n");

  s.keyboardDevice = nullptr;
  if (s.keyboardStateFallback != 1) {
    AppLogWrite("キーボードデバイスの初期化... ");
    if (FAILED(s.directInput->CreateDeviceEx(GUID_SysKeyboard, IID_IDirectInputDevice7A,
                                             reinterpret_cast<LPVOID*>(&s.keyboardDevice), nullptr))) {
      s.keyboardDevice = nullptr;
      FailKeyboardStart("キーボードデバイスの取得に失敗しました");
    }
    if (FAILED(s.keyboardDevice->SetDataFormat(&c_dfDIKeyboard))) {
      FailKeyboardStart("キーボードデバイスのデータ形式の設定に失敗しました");
    }
    if (FAILED(s.keyboardDevice->SetCooperativeLevel(window, kCooperation))) {
      FailKeyboardStart("キーボードデバイスの協調レベルの設定に失敗しました");
    }
    DIPROPDWORD buffer{PropertyHeader(sizeof(DIPROPDWORD), 0, DIPH_DEVICE), 100};
    if (FAILED(s.keyboardDevice->SetProperty(DIPROP_BUFFERSIZE, &buffer.diph))) {
      AppLogWrite("キーボードのプロパティ設定に失敗しました\n");
    }
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HRESULT hr = s.keyboardDevice->SetEventNotification(event);
    if (hr != DI_OK && hr != DI_POLLEDDEVICE) {
      AppLogWrite("キーボードイベントのセットアップが失敗しました\n");
      if (event) CloseHandle(event);
      AppLogIndentOut();
      return 1;
    }
    s.keyboardEvent = event;
    if (FAILED(s.keyboardDevice->Acquire()) && FAILED(s.keyboardDevice->Acquire())) {
      FailKeyboardStart("キーボードデバイスの取得に失敗しました");
    }
    AppLogWrite("初期化成功\n");
    s.lastKeyboardRefresh = timeGetTime();
  }
  AppLogIndentOut();
  AppLogWrite("DirectInput 関連の初期化は正常に終了しました\n");
  return 0;
}

BOOL AddJoypadDevice(const DIDEVICEINSTANCEA* instance, LPVOID) {
  DirectInputLayerState& s = DirectInputLayer;
  AppLogWrite("入力装置を見つけました\n");
  if (s.padCount >= 8 || !s.directInput) return DIENUM_STOP;
  JoypadRecord& pad = s.pads[s.padCount];
  IDirectInputDevice7A* device = nullptr;
  if (FAILED(s.directInput->CreateDeviceEx(instance->guidInstance, IID_IDirectInputDevice7A,
                                           reinterpret_cast<LPVOID*>(&device), nullptr))) {
    AppLogWrite("入力装置の取得に失敗しました\n");
    return DIENUM_CONTINUE;
  }
  DIDEVICEINSTANCEA info{};
  info.dwSize = sizeof info;
  device->GetDeviceInfo(&info);
  AppLogIndentIn();
  AppLogWriteFormat("デバイスの登録名:%s", info.tszInstanceName);
  AppLogWriteFormat("デバイスの製品登録名:%s", info.tszProductName);
  AppLogIndentOut();

  HWND window = GetLibraryWindowHandle();
  if (FAILED(device->SetDataFormat(&c_dfDIJoystick))) {
    return SkipJoypad(device, nullptr, "ジョイパッドデバイスではありませんでした、又は設定に失敗しました\n");
  }
  if (FAILED(device->SetCooperativeLevel(window, kCooperation))) {
    return SkipJoypad(device, nullptr, "ジョイパッドデバイスの協調レベルの設定に失敗しました\n");
  }
  DIPROPRANGE range{PropertyHeader(sizeof(DIPROPRANGE), DIJOFS_X, DIPH_BYOFFSET), -1000, 1000};
  if (FAILED(device->SetProperty(DIPROP_RANGE, &range.diph))) {
    return SkipJoypad(device, nullptr, "ジョイパッドデバイスのＸ軸関係の設定に失敗しました\n");
  }
  range.diph.dwObj = DIJOFS_Y;
  if (FAILED(device->SetProperty(DIPROP_RANGE, &range.diph))) {
    return SkipJoypad(device, nullptr, "ジョイパッドデバイスのＹ軸関係の設定に失敗しました\n");
  }
  DIPROPDWORD deadZone{PropertyHeader(sizeof(DIPROPDWORD), DIJOFS_X, DIPH_BYOFFSET), 2500};
  if (FAILED(device->SetProperty(DIPROP_DEADZONE, &deadZone.diph))) {
    return SkipJoypad(device, nullptr, "ジョイパッドデバイスのＸ軸の無効ゾーンの設定に失敗しました\n");
  }
  deadZone.diph.dwObj = DIJOFS_Y;
  if (FAILED(device->SetProperty(DIPROP_DEADZONE, &deadZone.diph))) {
    return SkipJoypad(device, nullptr, "ジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました\n");
  }
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HRESULT hr = device->SetEventNotification(event);
  if (hr != DI_OK && hr != DI_POLLEDDEVICE) {
    return SkipJoypad(device, event, "ジョイパッドイベントのセットアップが失敗しました\n");
  }
  device->Acquire();
  pad.device = device;
  pad.event = event;
  std::memset(&pad.state, 0, sizeof pad.state);
  ++s.padCount;
  AppLogWrite("ジョイパッドの追加は正常に終了しました\n");
  return s.padCount >= 8 ? DIENUM_STOP : DIENUM_CONTINUE;
}

int EndDirectInputLayer() {
  DirectInputLayerState& s = DirectInputLayer;
  if (!s.directInput) return 0;
  AppLogWrite("DirectInput 関連の終了処理... 完了\n");
  for (int i = 0; i < s.padCount; ++i) {
    JoypadRecord& pad = s.pads[i];
    if (pad.device) {
      pad.device->Unacquire();
      pad.device->SetEventNotification(nullptr);
      pad.device->Release();
      pad.device = nullptr;
    }
    if (pad.event) CloseHandle(pad.event);
    pad.event = nullptr;
  }
  if (s.keyboardDevice) {
    s.keyboardDevice->Unacquire();
    s.keyboardDevice->Release();
    s.keyboardDevice = nullptr;
  }
  if (s.keyboardEvent) CloseHandle(s.keyboardEvent);
  s.keyboardEvent = nullptr;
  s.directInput->Release();
  s.directInput = nullptr;
  return 0;
}

int RefreshKeyStateArray() {
  DirectInputLayerState& s = DirectInputLayer;
  if (s.keyboardStateFallback == 1 || !s.keyboardDevice) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    std::memset(s.keyStateArray, 0, sizeof s.keyStateArray);
    for (const KeyPair* row = VkToKeyCodeTable; row->virtualKey != 0xFFFF; ++row) {
      s.keyStateArray[row->keyCode] = keys[row->virtualKey];
    }
    return 1;
  }
  const uint32_t now = timeGetTime();
  if (now == s.lastKeyboardRefresh && !IsSignalled(s.keyboardEvent)) return 0;
  if (FAILED(s.keyboardDevice->GetDeviceState(sizeof s.keyStateArray, s.keyStateArray))) {
    if (FAILED(s.keyboardDevice->Acquire())) return 0;
    if (FAILED(s.keyboardDevice->GetDeviceState(sizeof s.keyStateArray, s.keyStateArray))) return 0;
  }
  s.lastKeyboardRefresh = now;
  if (IsSignalled(s.keyboardEvent)) ResetEvent(s.keyboardEvent);
  return 1;
}

int PollJoypadDevice(int index) {
  JoypadRecord& pad = DirectInputLayer.pads[index];
  const uint32_t now = timeGetTime();
  if (!pad.device || (now == pad.lastRead && !IsSignalled(pad.event))) return 0;
  pad.lastRead = now;
  pad.device->Poll();
  DIJOYSTATE state{};
  HRESULT hr = pad.device->GetDeviceState(sizeof state, &state);
  if (FAILED(hr)) {
    // The pump may stop the layer (a display change): the pad's device is then gone.
    if (PumpWindowMessages() != 0) return -1;
    if (pad.device && SUCCEEDED(pad.device->Acquire())) {
      if (PumpWindowMessages() != 0) return -1;
      if (pad.device) hr = pad.device->GetDeviceState(sizeof state, &state);
    }
  }
  if (SUCCEEDED(hr)) pad.state = state;
  if (IsSignalled(pad.event)) ResetEvent(pad.event);
  return 0;
}

int QueryKeyDown(int keyCode) {
  if (!StartedForQuery()) return 0;
  if (keyCode < 0 || keyCode > 255) return 0;
  RefreshKeyStateArray();
  return (DirectInputLayer.keyStateArray[keyCode] & 0x80) ? 1 : 0;
}

int GetPadInputBits(int inputType) {
  // Taken in 64 bits: the lowest input types would overflow the subtraction.
  const int64_t index = static_cast<int64_t>(inputType & ~0x1000) - 1;
  if (!StartedForQuery()) return 0;
  if (index < -1 || index > 7) return 0;
  DirectInputLayerState& s = DirectInputLayer;
  int bits = 0;
  if (index >= 0 && s.pads[index].device) {
    PollJoypadDevice(index);
    const DIJOYSTATE& state = s.pads[index].state;
    if (state.lY > 0) bits |= 0x1;
    if (state.lX < 0) bits |= 0x2;
    if (state.lX > 0) bits |= 0x4;
    if (state.lY < 0) bits |= 0x8;
    for (int button = 0; button < 24; ++button) {
      if (state.rgbButtons[button] & 0x80) bits |= 0x10 << button;
    }
  }
  if (inputType & 0x1000) {
    RefreshKeyStateArray();
    for (const KeyBit& key : kKeyboardBits) {
      if ((s.keyStateArray[key.first] & 0x80) || (key.second && (s.keyStateArray[key.second] & 0x80))) bits |= key.bit;
    }
  }
  return bits;
}

int DrainKeyboardEvents() {
  IDirectInputDevice7A* keyboard = DirectInputLayer.keyboardDevice;
  if (!keyboard) return 0;
  DIDEVICEOBJECTDATA events[5];
  for (;;) {
    DWORD count = 5;
    if (FAILED(keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), events, &count, 0)) || count != 5) break;
  }
  return 0;
}

int SetInputStateFlag46F() {
  DirectInputLayer.messageFlag46F = 1;
  return 0;
}
int ClearInputStateFlag46F() {
  DirectInputLayer.messageFlag46F = 0;
  return 0;
}
int SetInputStateFlag470() {
  DirectInputLayer.messageFlag470 = 1;
  return 0;
}
int ClearInputStateFlag470() {
  DirectInputLayer.messageFlag470 = 0;
  return 0;
}
