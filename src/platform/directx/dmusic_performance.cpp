// The DirectMusic performance: each played segment becomes a song voice on the General MIDI synthesiser in the
// host's mixer (as an MCI sequencer device does), repeating inside the mix without a gap; the master volume
// scales every voice. Calls that read or change what plays first bring the output up to now.
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "platform/directx/dmusic_segment.h"
#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/media/song_voice.h"
#include "platform/win32/user.h"

const CLSID CLSID_DirectMusicPerformance = {0x566f6d61, 0x000b, 0x4d75, {0x73, 0x69, 0x63, 0, 0, 0, 0, 0x0b}};
const IID IID_IDirectMusicPerformance8 = {0x566f6d61, 0x000c, 0x4d75, {0x73, 0x69, 0x63, 0, 0, 0, 0, 0x0c}};
const GUID GUID_PerfMasterVolume = {0x566f6d61, 0x000d, 0x4d75, {0x73, 0x69, 0x63, 0, 0, 0, 0, 0x0d}};

namespace {

constexpr LONG kLowestVolume = -20000;
constexpr LONG kHighestVolume = 2000;

// Hundredths of a decibel as an amplitude factor.
float GainOf(LONG volume) { return static_cast<float>(std::pow(10.0, volume / 2000.0)); }

void CatchUp() { host::Current().Audio().Update(); }

class Performance final : public ComObject<IDirectMusicPerformance8> {
 public:
  ~Performance() override { LetGo(); }

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!(iid == IID_IUnknown || iid == IID_IDirectMusicPerformance8)) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IDirectMusicPerformance8*>(this);
    return S_OK;
  }

  HRESULT InitAudio(IDirectMusic** directMusic, IDirectSound** directSound, HWND window, DWORD pathType,
                    DWORD channels, DWORD, DMUS_AUDIOPARAMS* params) override {
    if (synth_ || closed_) return DMUS_E_ALREADY_INITED;
    const bool knownPath = pathType == 0 || pathType == DMUS_APATH_SHARED_STEREOPLUSREVERB ||
                           (pathType >= DMUS_APATH_DYNAMIC_3D && pathType <= DMUS_APATH_DYNAMIC_STEREO);
    if (!knownPath || (pathType != 0 && channels == 0)) return E_INVALIDARG;
    if (params && params->dwSize != sizeof(DMUS_AUDIOPARAMS)) return E_INVALIDARG;
    if (host::ShouldFail("DirectMusicPerformance::InitAudio")) return DMUS_E_DRIVER_FAILED;
    auto synth = media::MidiSynth::Acquire(host::Current().SoundFontPath(), media::kMixRate);
    if (!synth) return DMUS_E_DRIVER_FAILED;
    IDirectSound* device = directSound ? *directSound : nullptr;
    if (device) {
      device->AddRef();
    } else {
      HRESULT made = CreateDirectSoundInstance(IID_IDirectSound, reinterpret_cast<void**>(&device));
      if (made == S_OK) made = device->Initialize(nullptr);
      if (made == S_OK) made = device->SetCooperativeLevel(window ? window : GetDesktopWindow(), DSSCL_PRIORITY);
      if (made != S_OK) {
        if (device) device->Release();
        return made;
      }
    }
    if (directMusic && !*directMusic) {
      HRESULT made = CreateDirectMusicInstance(IID_IDirectMusic8, reinterpret_cast<void**>(directMusic));
      if (made != S_OK) {
        device->Release();
        return made;
      }
    }
    if (directSound && !*directSound) {
      device->AddRef();
      *directSound = device;
    }
    device_ = device;
    synth_ = std::move(synth);
    mixer_ = host::Current().Audio().shared_mixer();
    return S_OK;
  }

  HRESULT PlaySegmentEx(IUnknown* source, const WCHAR*, IUnknown*, DWORD flags, LONGLONG, IDirectMusicSegmentState** state,
                        IUnknown*, IUnknown*) override {
    if (state) *state = nullptr;
    if (!synth_) return DMUS_E_NOT_INIT;
    if (!source) return E_POINTER;
    auto* segment = dynamic_cast<DirectMusicSegment*>(source);
    if (!segment) return E_INVALIDARG;
    // The one synthesiser plays one song: a secondary segment would take it from the primary and silence it.
    if (flags & DMUS_SEGF_SECONDARY) return E_NOTIMPL;
    if (host::ShouldFail("DirectMusicPerformance::PlaySegmentEx")) return E_FAIL;
    CatchUp();
    StopWhere([](const Play&) { return true; });
    auto voice = std::make_shared<media::SongVoice>(segment->Song(), synth_);
    voice->SetRepeats(segment->Repeats());
    voice->SetGain(GainOf(volume_));
    voice->Play(0);
    segment->AddRef();
    plays_.push_back({segment, voice});
    mixer_->Add(std::move(voice));
    return S_OK;
  }

  HRESULT GetTime(REFERENCE_TIME* reference, MUSIC_TIME* music) override {
    const uint64_t now = host::NowNanoseconds();
    if (reference) *reference = static_cast<REFERENCE_TIME>(now / 100);
    if (music) *music = static_cast<MUSIC_TIME>(now / 1000000 * 1536 / 1000);
    return S_OK;
  }

  HRESULT IsPlaying(IDirectMusicSegment8* segment, IDirectMusicSegmentState* state) override {
    if (!segment && !state) return E_POINTER;
    if (!synth_) return DMUS_E_NOT_INIT;
    CatchUp();
    for (const Play& p : plays_) {
      if (p.segment == segment && p.voice->Playing()) return S_OK;
    }
    return S_FALSE;
  }

  HRESULT StopEx(IUnknown* object, LONGLONG, DWORD) override {
    if (!synth_) return DMUS_E_NOT_INIT;
    return StopSegment(object);
  }

  HRESULT Stop(IDirectMusicSegment8* segment, IDirectMusicSegmentState*, MUSIC_TIME, DWORD) override {
    if (!synth_) return DMUS_E_NOT_INIT;
    return StopSegment(segment);
  }

  HRESULT CloseDown() override {
    if (synth_) CatchUp();
    LetGo();
    return S_OK;
  }

  HRESULT GetGlobalParam(REFGUID type, void* data, DWORD size) override {
    if (!data) return E_POINTER;
    if (!(type == GUID_PerfMasterVolume)) return DMUS_E_GET_UNSUPPORTED;
    if (size != sizeof(LONG)) return E_INVALIDARG;
    *static_cast<LONG*>(data) = volume_;
    return S_OK;
  }

  HRESULT SetGlobalParam(REFGUID type, void* data, DWORD size) override {
    if (!data) return E_POINTER;
    if (!(type == GUID_PerfMasterVolume)) return DMUS_E_SET_UNSUPPORTED;
    if (size != sizeof(LONG)) return E_INVALIDARG;
    volume_ = std::clamp(*static_cast<const LONG*>(data), kLowestVolume, kHighestVolume);
    if (!plays_.empty()) CatchUp();
    for (const Play& p : plays_) p.voice->SetGain(GainOf(volume_));
    return S_OK;
  }

 private:
  struct Play {
    DirectMusicSegment* segment;  // a reference held while the segment is in the list
    std::shared_ptr<media::SongVoice> voice;
  };

  // Stops a segment (null: everything); another object is refused.
  HRESULT StopSegment(IUnknown* object) {
    auto* segment = dynamic_cast<DirectMusicSegment*>(object);
    if (object && !segment) return E_INVALIDARG;
    CatchUp();
    StopWhere([segment](const Play& p) { return !segment || p.segment == segment; });
    return S_OK;
  }

  void LetGo() {
    if (!synth_) return;
    StopWhere([](const Play&) { return true; });
    device_->Release();
    device_ = nullptr;
    synth_.reset();
    closed_ = true;
  }

  // Takes the plays that match, and every one that has ended, out of the mix.
  template <class Matches>
  void StopWhere(Matches matches) {
    auto kept = std::stable_partition(plays_.begin(), plays_.end(), [&](const Play& p) {
      return !matches(p) && p.voice->Playing();
    });
    for (auto it = kept; it != plays_.end(); ++it) {
      mixer_->Remove(it->voice.get());
      it->voice->Stop();
      it->segment->Release();
    }
    plays_.erase(kept, plays_.end());
  }

  std::shared_ptr<media::MidiSynth> synth_;  // set from InitAudio to CloseDown
  std::shared_ptr<media::Mixer> mixer_;
  IDirectSound* device_ = nullptr;
  bool closed_ = false;
  LONG volume_ = 0;
  std::vector<Play> plays_;
};

}  // namespace

HRESULT CreateDirectMusicPerformanceInstance(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (host::ShouldFail("DirectMusicPerformance")) return REGDB_E_CLASSNOTREG;
  return NewComObject<Performance>(iid, out);
}
