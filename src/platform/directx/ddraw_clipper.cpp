// Clippers bound to a window and 8-bit palettes.
#include <algorithm>

#include "platform/directx/ddraw_objects.h"

HRESULT DirectDrawClipper::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!(iid == IID_IUnknown || iid == IID_IDirectDrawClipper)) return E_NOINTERFACE;
  AddRef();
  *out = static_cast<IDirectDrawClipper*>(this);
  return S_OK;
}

HRESULT DirectDrawClipper::GetHWnd(HWND* window) {
  if (!window) return DDERR_INVALIDPARAMS;
  *window = window_;
  return DD_OK;
}

HRESULT DirectDrawClipper::SetHWnd(DWORD, HWND window) {
  window_ = window;
  return DD_OK;
}

DirectDrawPalette::DirectDrawPalette(DWORD caps, const PALETTEENTRY* entries) : caps_(caps) {
  SetEntries(0, 0, 256, entries);
}

HRESULT DirectDrawPalette::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!(iid == IID_IUnknown || iid == IID_IDirectDrawPalette)) return E_NOINTERFACE;
  AddRef();
  *out = static_cast<IDirectDrawPalette*>(this);
  return S_OK;
}

HRESULT DirectDrawPalette::GetCaps(DWORD* caps) {
  if (!caps) return DDERR_INVALIDPARAMS;
  *caps = caps_;
  return DD_OK;
}

HRESULT DirectDrawPalette::GetEntries(DWORD, DWORD first, DWORD count, PALETTEENTRY* entries) {
  if (!entries || first > 256 || count > 256 - first) return DDERR_INVALIDPARAMS;
  std::copy(entries_ + first, entries_ + first + count, entries);
  return DD_OK;
}

HRESULT DirectDrawPalette::SetEntries(DWORD, DWORD first, DWORD count, const PALETTEENTRY* entries) {
  if (!entries || first > 256 || count > 256 - first) return DDERR_INVALIDPARAMS;
  std::copy(entries, entries + count, entries_ + first);
  for (DWORD i = first; i < first + count; ++i)
    rgb_[i] = (static_cast<uint32_t>(entries_[i].peRed) << 16) | (entries_[i].peGreen << 8) | entries_[i].peBlue;
  return DD_OK;
}
