// Entry point of the DirectInput substitute that "DINPUT.DLL" exports.
#pragma once
#include "platform/win32/com.h"

// Until the DirectInput objects exist every creation fails with E_FAIL; the export itself exists, which is
// what the system check looks for.
HRESULT DirectInputCreateA(HINSTANCE instance, DWORD version, void** out, IUnknown* outer);
