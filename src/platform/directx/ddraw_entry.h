// Entry points of the DirectDraw substitute that the module table and COM creation hand out.
#pragma once
#include "platform/win32/com.h"

HRESULT DirectDrawCreate(GUID* driver, void** out, IUnknown* outer);
HRESULT DirectDrawCreateEx(GUID* driver, void** out, REFIID iid, IUnknown* outer);
// CoCreateInstance's route for CLSID_DirectDraw and CLSID_DirectDraw7; REGDB_E_CLASSNOTREG for other classes.
HRESULT CreateDirectDrawInstance(REFCLSID clsid, REFIID iid, void** out);
