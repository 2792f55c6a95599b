#include "platform/directx/dinput_entry.h"

HRESULT DirectInputCreateA(HINSTANCE, DWORD, void** out, IUnknown*) {
  if (out) *out = nullptr;
  return E_FAIL;
}
