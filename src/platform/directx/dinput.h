// DirectInput 7 on the substitute platform: records, constants and the interfaces the library calls. The
// system keyboard and the host's joysticks are the devices; the host feeds their state.
#pragma once
#include "platform/directx/dinput_entry.h"
#include "platform/win32/com.h"

// ---- Results -------------------------------------------------------------------------------------------------

constexpr HRESULT DI_OK = S_OK;
constexpr HRESULT DI_NOEFFECT = S_FALSE;
constexpr HRESULT DI_BUFFEROVERFLOW = S_FALSE;
constexpr HRESULT DI_POLLEDDEVICE = 2;
constexpr HRESULT DIERR_GENERIC = E_FAIL;
constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DIERR_NOINTERFACE = E_NOINTERFACE;
constexpr HRESULT DIERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DIERR_UNSUPPORTED = E_NOTIMPL;
constexpr HRESULT DIERR_DEVICENOTREG = REGDB_E_CLASSNOTREG;
constexpr HRESULT DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT DIERR_OBJECTNOTFOUND = static_cast<HRESULT>(0x80070002u);
constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
constexpr HRESULT DIERR_NOTINITIALIZED = static_cast<HRESULT>(0x80070015u);
constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
constexpr HRESULT DIERR_ACQUIRED = static_cast<HRESULT>(0x800700AAu);
constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = static_cast<HRESULT>(0x8007047Eu);
constexpr HRESULT DIERR_ALREADYINITIALIZED = static_cast<HRESULT>(0x800704DFu);
constexpr HRESULT DIERR_NOTBUFFERED = static_cast<HRESULT>(0x80040207u);

// ---- Constants -----------------------------------------------------------------------------------------------

constexpr DWORD DIRECTINPUT_VERSION = 0x0700;
constexpr DWORD DIDEVTYPE_KEYBOARD = 3;
constexpr DWORD DIDEVTYPE_JOYSTICK = 4;
constexpr DWORD DIEDFL_ALLDEVICES = 0;
constexpr DWORD DIEDFL_ATTACHEDONLY = 1;
constexpr BOOL DIENUM_STOP = 0;
constexpr BOOL DIENUM_CONTINUE = 1;
constexpr DWORD DISCL_EXCLUSIVE = 0x1;
constexpr DWORD DISCL_NONEXCLUSIVE = 0x2;
constexpr DWORD DISCL_FOREGROUND = 0x4;
constexpr DWORD DISCL_BACKGROUND = 0x8;
constexpr DWORD DIPH_DEVICE = 0;
constexpr DWORD DIPH_BYOFFSET = 1;
constexpr DWORD DIGDD_PEEK = 1;
constexpr LONG DIPROPRANGE_NOMIN = static_cast<LONG>(0x80000000u);
constexpr LONG DIPROPRANGE_NOMAX = 0x7FFFFFFF;

// Properties are small numbers standing where a GUID is asked for.
using DIPROPERTY = const GUID*;
inline const DIPROPERTY DIPROP_BUFFERSIZE = reinterpret_cast<DIPROPERTY>(uintptr_t{1});
inline const DIPROPERTY DIPROP_RANGE = reinterpret_cast<DIPROPERTY>(uintptr_t{4});
inline const DIPROPERTY DIPROP_DEADZONE = reinterpret_cast<DIPROPERTY>(uintptr_t{5});
inline const DIPROPERTY DIPROP_SATURATION = reinterpret_cast<DIPROPERTY>(uintptr_t{6});

// Offsets of DIJOYSTATE's fields, as the by-offset properties name them.
constexpr DWORD DIJOFS_X = 0;
constexpr DWORD DIJOFS_Y = 4;
constexpr DWORD DIJOFS_Z = 8;
constexpr DWORD DIJOFS_RX = 12;
constexpr DWORD DIJOFS_RY = 16;
constexpr DWORD DIJOFS_RZ = 20;
constexpr DWORD DIJOFS_SLIDER0 = 24;
constexpr DWORD DIJOFS_SLIDER1 = 28;

extern const GUID CLSID_DirectInput;
extern const IID IID_IDirectInput7A;
extern const IID IID_IDirectInputDevice7A;
extern const GUID GUID_SysKeyboard;

// ---- Records -------------------------------------------------------------------------------------------------

// A data format: the keyboard's 256 key bytes or the joystick's DIJOYSTATE. Only the two stock formats exist.
struct DIDATAFORMAT {
  DWORD dwSize;
  DWORD dwObjSize;
  DWORD dwFlags;
  DWORD dwDataSize;
  DWORD dwNumObjs;
  const void* rgodf;
};
extern const DIDATAFORMAT c_dfDIKeyboard;
extern const DIDATAFORMAT c_dfDIJoystick;

struct DIJOYSTATE {
  LONG lX, lY, lZ;
  LONG lRx, lRy, lRz;
  LONG rglSlider[2];
  DWORD rgdwPOV[4];
  BYTE rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80);

struct DIDEVICEOBJECTDATA {
  DWORD dwOfs;
  DWORD dwData;
  DWORD dwTimeStamp;
  DWORD dwSequence;
};
static_assert(sizeof(DIDEVICEOBJECTDATA) == 16);

struct DIDEVICEINSTANCEA {
  DWORD dwSize;
  GUID guidInstance;
  GUID guidProduct;
  DWORD dwDevType;
  CHAR tszInstanceName[MAX_PATH];
  CHAR tszProductName[MAX_PATH];
  GUID guidFFDriver;
  WORD wUsagePage;
  WORD wUsage;
};

struct DIPROPHEADER {
  DWORD dwSize;
  DWORD dwHeaderSize;
  DWORD dwObj;
  DWORD dwHow;
};
struct DIPROPDWORD {
  DIPROPHEADER diph;
  DWORD dwData;
};
struct DIPROPRANGE {
  DIPROPHEADER diph;
  LONG lMin;
  LONG lMax;
};

using LPDIENUMDEVICESCALLBACKA = BOOL (*)(const DIDEVICEINSTANCEA* instance, LPVOID context);

// ---- Interfaces ----------------------------------------------------------------------------------------------

class IDirectInputDevice7A : public IUnknown {
 public:
  virtual HRESULT SetProperty(DIPROPERTY property, const DIPROPHEADER* header) = 0;
  virtual HRESULT Acquire() = 0;
  virtual HRESULT Unacquire() = 0;
  virtual HRESULT GetDeviceState(DWORD size, LPVOID data) = 0;
  virtual HRESULT GetDeviceData(DWORD objectSize, DIDEVICEOBJECTDATA* data, DWORD* count, DWORD flags) = 0;
  virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
  virtual HRESULT SetEventNotification(HANDLE event) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* instance) = 0;
  virtual HRESULT Poll() = 0;
};

class IDirectInput7A : public IUnknown {
 public:
  virtual HRESULT EnumDevices(DWORD deviceType, LPDIENUMDEVICESCALLBACKA callback, LPVOID context, DWORD flags) = 0;
  virtual HRESULT Initialize(HINSTANCE instance, DWORD version) = 0;
  virtual HRESULT CreateDeviceEx(REFGUID instance, REFIID iid, LPVOID* out, IUnknown* outer) = 0;
};

// The buffered events a device keeps at most, whatever DIPROP_BUFFERSIZE asks.
constexpr DWORD kDirectInputBufferLimit = 1024;

// CoCreateInstance's route for CLSID_DirectInput: an object that still needs Initialize.
HRESULT CreateDirectInputInstance(REFCLSID clsid, REFIID iid, void** out);
