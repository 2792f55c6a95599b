#include "platform/directx/dmusic_probe.h"

#include "platform/host/platform.h"

// Identifiers of the substitute's own; only its own code compares them.
const CLSID CLSID_DirectMusic = {0x566f6d61, 0x0001, 0x4d75, {0x73, 0x69, 0x63, 0x00, 0x00, 0x00, 0x00, 0x01}};
const IID IID_IDirectMusic = {0x566f6d61, 0x0002, 0x4d75, {0x73, 0x69, 0x63, 0x00, 0x00, 0x00, 0x00, 0x02}};

namespace {

class DirectMusicObject : public ComObject<IDirectMusic> {
 public:
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDirectMusic) {
      AddRef();
      *out = static_cast<IDirectMusic*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
};

}  // namespace

HRESULT CreateDirectMusicInstance(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (host::ShouldFail("DirectMusic")) return REGDB_E_CLASSNOTREG;
  auto* object = new DirectMusicObject;
  HRESULT result = object->QueryInterface(iid, out);
  object->Release();
  return result;
}
