// Entry point of the DirectInput substitute that "DINPUT.DLL" exports.
#pragma once
#include "platform/win32/com.h"

// An initialised DirectInput object for the version asked (0x0700 or below), through the interface of *out.
HRESULT DirectInputCreateA(HINSTANCE instance, DWORD version, void** out, IUnknown* outer);
