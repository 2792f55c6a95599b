// The DirectMusic object: the system check asks for it, and music start-up lists its ports, of which there is
// one, the General MIDI synthesiser, while a SoundFont can be loaded.
#include "platform/directx/dmusic.h"

#include <cstring>

#include "platform/host/platform.h"
#include "platform/media/midi_synth.h"
#include "platform/media/mixer.h"

// Identifiers of the substitute's own; only its own code compares them.
const CLSID CLSID_DirectMusic = {0x566f6d61, 0x0001, 0x4d75, {0x73, 0x69, 0x63, 0x00, 0x00, 0x00, 0x00, 0x01}};
const IID IID_IDirectMusic = {0x566f6d61, 0x0002, 0x4d75, {0x73, 0x69, 0x63, 0x00, 0x00, 0x00, 0x00, 0x02}};
const IID IID_IDirectMusic2 = {0x566f6d61, 0x0003, 0x4d75, {0x73, 0x69, 0x63, 0x00, 0x00, 0x00, 0x00, 0x03}};
const IID IID_IDirectMusic8 = {0x566f6d61, 0x0004, 0x4d75, {0x73, 0x69, 0x63, 0x00, 0x00, 0x00, 0x00, 0x04}};

namespace {

const GUID kSynthPort = {0x566f6d61, 0x0010, 0x4d75, {0x73, 0x69, 0x63, 0x00, 0x00, 0x00, 0x00, 0x10}};
constexpr char16_t kSynthDescription[] = u"FluidSynth General MIDI synthesiser";

class DirectMusicObject : public ComObject<IDirectMusic> {
 public:
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IDirectMusic8 && host::ShouldFail("DirectMusic::QueryInterface:IDirectMusic8")) {
      return E_NOINTERFACE;
    }
    if (iid == IID_IUnknown || iid == IID_IDirectMusic || iid == IID_IDirectMusic2 || iid == IID_IDirectMusic8) {
      AddRef();
      *out = static_cast<IDirectMusic*>(this);
      return S_OK;
    }
    return E_NOINTERFACE;
  }

  HRESULT EnumPort(DWORD index, DMUS_PORTCAPS* caps) override {
    if (!caps) return E_POINTER;
    if (caps->dwSize != sizeof(DMUS_PORTCAPS)) return E_INVALIDARG;
    if (host::ShouldFail("DirectMusic::EnumPort")) return E_FAIL;
    if (index > 0 || !media::MidiSynth::Acquire(host::Current().SoundFontPath(), media::kMixRate)) return S_FALSE;
    std::memset(caps, 0, sizeof *caps);
    caps->dwSize = sizeof *caps;
    caps->dwFlags = DMUS_PC_SOFTWARESYNTH;
    caps->guidPort = kSynthPort;
    caps->dwClass = DMUS_PC_OUTPUTCLASS;
    caps->dwType = DMUS_PORT_USER_MODE_SYNTH;
    caps->dwMaxChannelGroups = 1;
    caps->dwMaxVoices = 256;
    caps->dwMaxAudioChannels = 2;
    std::memcpy(caps->wszDescription, kSynthDescription, sizeof kSynthDescription);
    return S_OK;
  }
};

}  // namespace

HRESULT CreateDirectMusicInstance(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (host::ShouldFail("DirectMusic")) return REGDB_E_CLASSNOTREG;
  if (iid == IID_IDirectMusic2 && host::ShouldFail("DirectMusic:IDirectMusic2")) return REGDB_E_CLASSNOTREG;
  return NewComObject<DirectMusicObject>(iid, out);
}
