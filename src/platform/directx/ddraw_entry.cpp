#include "platform/directx/ddraw_entry.h"

// Placeholder until the DirectDraw objects exist: every creation fails.
HRESULT DirectDrawCreate(GUID*, void** out, IUnknown*) {
  if (out) *out = nullptr;
  return E_FAIL;
}

HRESULT DirectDrawCreateEx(GUID*, void** out, REFIID, IUnknown*) {
  if (out) *out = nullptr;
  return E_FAIL;
}

HRESULT CreateDirectDrawInstance(REFCLSID, REFIID, void** out) {
  if (out) *out = nullptr;
  return REGDB_E_CLASSNOTREG;
}
