// COM start-up and object creation: each class routes to the substitute object that stands for it.
#include "platform/win32/com.h"

#include "platform/directx/ddraw_entry.h"
#include "platform/directx/dinput.h"
#include "platform/directx/dmusic.h"
#include "platform/directx/dsound.h"
#include "platform/media/dshow.h"
#include "platform/host/platform.h"
#include "platform/host/platform_state.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

HRESULT CoInitialize(LPVOID) {
  if (host::ShouldFail("CoInitialize")) return E_FAIL;
  // The original platform answers S_FALSE to a thread that has COM already; each success needs its
  // CoUninitialize.
  return host::State().comInitCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  int& count = host::State().comInitCount;
  if (count > 0) --count;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID iid, LPVOID* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (host::State().comInitCount == 0) return CO_E_NOTINITIALIZED;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (host::ShouldFail("CoCreateInstance")) return REGDB_E_CLASSNOTREG;
  if (clsid == CLSID_DirectMusic) return CreateDirectMusicInstance(iid, out);
  if (clsid == CLSID_DirectMusicLoader) return CreateDirectMusicLoaderInstance(iid, out);
  if (clsid == CLSID_DirectMusicPerformance) return CreateDirectMusicPerformanceInstance(iid, out);
  if (clsid == CLSID_DirectSound) return CreateDirectSoundInstance(iid, out);
  if (clsid == CLSID_DirectInput) return CreateDirectInputInstance(clsid, iid, out);
  if (clsid == CLSID_FilterGraph) return CreateFilterGraphInstance(iid, out);
  return CreateDirectDrawInstance(clsid, iid, out);
}
