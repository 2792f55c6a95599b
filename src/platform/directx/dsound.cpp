// The DirectSound substitute: the device object and its buffers. A secondary buffer's sound and play state
// live in a voice that the host's mixer renders; the COM object only forwards to it. Every call that reads or
// changes play state first brings the output up to now, so on a clock-driven output a change takes effect at
// the exact frame it was made.
#include "platform/directx/dsound.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/host/idle.h"
#include "platform/host/platform.h"
#include "platform/media/mixer.h"

const CLSID CLSID_DirectSound = {0x47D4D946, 0x62E8, 0x11CF, {0x93, 0xBC, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectSound = {0x279AFA83, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectSoundBuffer = {0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

namespace {

constexpr uint64_t kOne = uint64_t{1} << 32;  // positions are frames in 32.32 fixed point

bool ValidPcm(const WAVEFORMATEX* f) {
  return f && f->wFormatTag == WAVE_FORMAT_PCM && (f->nChannels == 1 || f->nChannels == 2) &&
         (f->wBitsPerSample == 8 || f->wBitsPerSample == 16) && f->nSamplesPerSec >= DSBFREQUENCY_MIN &&
         f->nSamplesPerSec <= DSBFREQUENCY_MAX && f->nBlockAlign == f->nChannels * f->wBitsPerSample / 8;
}

// One secondary buffer's sound and play state, rendered by the mixer.
class Voice final : public media::MixerSource {
 public:
  Voice(const WAVEFORMATEX& format, DWORD bytes) : format_(format), data_(bytes, format.wBitsPerSample == 8 ? 0x80 : 0) {
    frames_ = bytes / format.nBlockAlign;
    step_ = static_cast<uint64_t>((static_cast<unsigned __int128>(format.nSamplesPerSec) << 32) / media::kMixRate);
  }

  void MixInto(int32_t* mix, int frames) override {
    std::lock_guard<std::mutex> guard(lock_);
    if (!playing_ || frames_ == 0) return;
    const bool exact = step_ == kOne;
    const int kind = (format_.wBitsPerSample == 16 ? 2 : 0) + (format_.nChannels == 2 ? 1 : 0);
    switch (kind * 2 + (exact ? 1 : 0)) {
      case 0: Run<1, 1, false>(mix, frames); break;
      case 1: Run<1, 1, true>(mix, frames); break;
      case 2: Run<1, 2, false>(mix, frames); break;
      case 3: Run<1, 2, true>(mix, frames); break;
      case 4: Run<2, 1, false>(mix, frames); break;
      case 5: Run<2, 1, true>(mix, frames); break;
      case 6: Run<2, 2, false>(mix, frames); break;
      default: Run<2, 2, true>(mix, frames); break;
    }
  }

  // Sample of a channel of a frame at 16-bit scale.
  template <int Bytes>
  int32_t Sample(uint64_t frame, int channel) const {
    const uint8_t* p = data_.data() + frame * format_.nBlockAlign + static_cast<size_t>(channel) * Bytes;
    if constexpr (Bytes == 1) {
      return (static_cast<int32_t>(*p) - 128) * 256;
    } else {
      return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
    }
  }

  // Adds frames to the mix until the buffer ends (a non-looping buffer then stops and rewinds to 0).
  template <int Bytes, int Channels, bool Exact>
  void Run(int32_t* mix, int frames) {
    for (int i = 0; i < frames; ++i) {
      uint64_t index = position_ >> 32;
      if (index >= frames_) {
        if (!looping_) {
          Ended();
          return;
        }
        position_ %= frames_ << 32;  // a step may be longer than a tiny buffer
        index = position_ >> 32;
      }
      int32_t left, right;
      if constexpr (Exact) {
        left = Sample<Bytes>(index, 0);
        right = Channels == 2 ? Sample<Bytes>(index, 1) : left;
      } else {
        uint64_t next = index + 1;
        if (next >= frames_) next = looping_ ? 0 : index;
        const int64_t fraction = static_cast<int64_t>((position_ >> 16) & 0xFFFF);
        auto blend = [&](int channel) {
          const int32_t a = Sample<Bytes>(index, channel), b = Sample<Bytes>(next, channel);
          return a + static_cast<int32_t>(((b - a) * fraction) >> 16);
        };
        left = blend(0);
        right = Channels == 2 ? blend(1) : left;
      }
      mix[2 * i] += left;
      mix[2 * i + 1] += right;
      position_ += step_;
    }
    if ((position_ >> 32) >= frames_) {
      if (looping_) {
        position_ %= frames_ << 32;
      } else {
        Ended();
      }
    }
  }

  // A sound that plays once has played its last frame: it rewinds, and whoever waits for its end is woken.
  void Ended() {
    playing_ = false;
    position_ = 0;
    host::SignalChange();
  }

  // The same movement as mixing `frames` frames, without reading a sample.
  void Skip(int frames) override {
    std::lock_guard<std::mutex> guard(lock_);
    if (!playing_ || frames_ == 0) return;
    const unsigned __int128 end = static_cast<unsigned __int128>(frames_) << 32;
    // Each frame is taken at the position before its step: the last one taken lies (frames - 1) steps on.
    const unsigned __int128 lastTaken = position_ + static_cast<unsigned __int128>(step_) * static_cast<unsigned>(frames - 1);
    const unsigned __int128 after = lastTaken + step_;
    if (looping_) {
      position_ = static_cast<uint64_t>(after % end);
    } else if (lastTaken >= end || after >= end) {
      Ended();
    } else {
      position_ = static_cast<uint64_t>(after);
    }
  }

  std::mutex lock_;
  WAVEFORMATEX format_;
  std::vector<uint8_t> data_;
  uint64_t frames_ = 0;
  uint64_t step_ = kOne;
  uint64_t position_ = 0;
  bool playing_ = false;
  bool looping_ = false;
};

// Brings the current host's output up to now (clock-driven outputs render what is due).
void CatchUp() { host::Current().Audio().Update(); }

class SoundBuffer final : public ComObject<IDirectSoundBuffer> {
 public:
  // A secondary buffer: a voice in the mixer for the buffer's life.
  SoundBuffer(std::shared_ptr<media::Mixer> mixer, const WAVEFORMATEX& format, DWORD bytes)
      : mixer_(std::move(mixer)), voice_(std::make_shared<Voice>(format, bytes)), format_(format) {
    mixer_->Add(voice_);
  }
  // The primary buffer: a format and nothing to play.
  SoundBuffer() : primary_(true) {
    format_ = {WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0};
  }
  ~SoundBuffer() override {
    if (mixer_) mixer_->Remove(voice_.get());
  }

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDirectSoundBuffer) {
      AddRef();
      *out = static_cast<IDirectSoundBuffer*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }

  HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override {
    if (host::ShouldFail("SoundBuffer::GetCurrentPosition")) return DSERR_INVALIDCALL;
    DWORD p = 0, w = 0;
    if (voice_) {
      CatchUp();
      std::lock_guard<std::mutex> guard(voice_->lock_);
      const DWORD align = format_.nBlockAlign;
      p = static_cast<DWORD>((voice_->position_ >> 32) * align);
      w = p;
      if (voice_->playing_) {
        const uint64_t lead = format_.nSamplesPerSec / 100 * align;
        w = static_cast<DWORD>((p + lead) % voice_->data_.size());
      }
    }
    if (play) *play = p;
    if (write) *write = w;
    return S_OK;
  }

  HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) override {
    if (!format && !written) return DSERR_INVALIDPARAM;
    if (written) *written = sizeof(WAVEFORMATEX);
    if (format) std::memcpy(format, &format_, std::min<size_t>(size, sizeof(WAVEFORMATEX)));
    return S_OK;
  }

  HRESULT GetStatus(DWORD* status) override {
    if (!status) return DSERR_INVALIDPARAM;
    if (host::ShouldFail("SoundBuffer::GetStatus")) return DSERR_INVALIDCALL;
    *status = 0;
    if (voice_) {
      CatchUp();
      std::lock_guard<std::mutex> guard(voice_->lock_);
      if (voice_->playing_) *status = DSBSTATUS_PLAYING | (voice_->looping_ ? DSBSTATUS_LOOPING : 0);
    }
    return S_OK;
  }

  HRESULT Lock(DWORD offset, DWORD bytes, void** first, DWORD* firstBytes, void** second, DWORD* secondBytes,
               DWORD flags) override {
    if (!voice_ || !first || !firstBytes) return DSERR_INVALIDPARAM;
    if (host::ShouldFail("SoundBuffer::Lock")) return DSERR_INVALIDCALL;
    const DWORD size = static_cast<DWORD>(voice_->data_.size());
    if (flags & DSBLOCK_ENTIREBUFFER) bytes = size;
    if (flags & DSBLOCK_FROMWRITECURSOR) GetCurrentPosition(nullptr, &offset);
    if (bytes == 0 || bytes > size || offset >= size) return DSERR_INVALIDPARAM;
    if (locked_) return DSERR_INVALIDCALL;  // one lock at a time, as the library uses it
    uint8_t* base = voice_->data_.data();
    const DWORD head = std::min(bytes, size - offset);
    *first = base + offset;
    *firstBytes = head;
    if (second) *second = head < bytes ? base : nullptr;
    if (secondBytes) *secondBytes = bytes - head;
    if (head < bytes && !second) return DSERR_INVALIDPARAM;
    locked_ = true;
    return S_OK;
  }

  HRESULT Unlock(void* first, DWORD, void*, DWORD) override {
    if (!voice_ || !locked_ || !first) return DSERR_INVALIDPARAM;
    if (host::ShouldFail("SoundBuffer::Unlock")) return DSERR_INVALIDCALL;
    locked_ = false;
    return S_OK;
  }

  HRESULT Play(DWORD, DWORD, DWORD flags) override {
    if (host::ShouldFail("SoundBuffer::Play")) return DSERR_INVALIDCALL;
    if (!voice_) return S_OK;  // the primary buffer plays whenever anything does
    CatchUp();
    std::lock_guard<std::mutex> guard(voice_->lock_);
    voice_->playing_ = true;
    voice_->looping_ = (flags & DSBPLAY_LOOPING) != 0;
    return S_OK;
  }

  HRESULT SetCurrentPosition(DWORD position) override {
    if (!voice_) return DSERR_INVALIDCALL;
    if (position >= voice_->data_.size()) return DSERR_INVALIDPARAM;
    CatchUp();
    std::lock_guard<std::mutex> guard(voice_->lock_);
    voice_->position_ = static_cast<uint64_t>(position / format_.nBlockAlign) << 32;
    return S_OK;
  }

  HRESULT SetFormat(const WAVEFORMATEX* format) override {
    if (!primary_) return DSERR_INVALIDCALL;
    if (!ValidPcm(format)) return DSERR_BADFORMAT;
    if (host::ShouldFail("SoundBuffer::SetFormat")) return DSERR_INVALIDCALL;
    format_ = *format;
    format_.cbSize = 0;
    return S_OK;
  }

  HRESULT Stop() override {
    if (!voice_) return S_OK;
    CatchUp();
    std::lock_guard<std::mutex> guard(voice_->lock_);
    voice_->playing_ = false;
    return S_OK;
  }

 private:
  std::shared_ptr<media::Mixer> mixer_;
  std::shared_ptr<Voice> voice_;
  WAVEFORMATEX format_{};
  bool primary_ = false;
  bool locked_ = false;
};

class DirectSound final : public ComObject<IDirectSound> {
 public:
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDirectSound) {
      AddRef();
      *out = static_cast<IDirectSound*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }

  HRESULT Initialize(const GUID* device) override {
    if (mixer_) return DSERR_ALREADYINITIALIZED;
    if (device || host::ShouldFail("DirectSound::Initialize")) return DSERR_NODRIVER;
    mixer_ = host::Current().Audio().shared_mixer();
    return S_OK;
  }

  HRESULT SetCooperativeLevel(HWND, DWORD level) override {
    if (!mixer_) return DSERR_UNINITIALIZED;
    if (level < DSSCL_NORMAL || level > 4 || host::ShouldFail("DirectSound::SetCooperativeLevel")) {
      return DSERR_INVALIDPARAM;
    }
    level_ = level;
    return S_OK;
  }

  HRESULT CreateSoundBuffer(const DSBUFFERDESC* d, IDirectSoundBuffer** buffer, IUnknown* outer) override {
    if (!buffer) return DSERR_INVALIDPARAM;
    *buffer = nullptr;
    if (!mixer_) return DSERR_UNINITIALIZED;
    if (!d || d->dwSize < 20 || outer) return DSERR_INVALIDPARAM;
    if (level_ == 0) return DSERR_INVALIDCALL;
    if (d->dwFlags & DSBCAPS_PRIMARYBUFFER) {
      if (d->dwBufferBytes != 0 || d->lpwfxFormat) return DSERR_INVALIDPARAM;
      if (host::ShouldFail("CreateSoundBuffer") || host::ShouldFail("CreateSoundBuffer:PRIMARY")) {
        return DSERR_ALLOCATED;
      }
      *buffer = new SoundBuffer();
      return S_OK;
    }
    if (d->dwBufferBytes < DSBSIZE_MIN || d->dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;
    if (!ValidPcm(d->lpwfxFormat)) return DSERR_BADFORMAT;
    if (host::ShouldFail("CreateSoundBuffer") || host::ShouldFail("CreateSoundBuffer:SECONDARY")) {
      return DSERR_OUTOFMEMORY;
    }
    WAVEFORMATEX format = *d->lpwfxFormat;
    format.cbSize = 0;
    *buffer = new SoundBuffer(mixer_, format, d->dwBufferBytes);
    return S_OK;
  }

  HRESULT GetCaps(DSCAPS* caps) override {
    if (!caps || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
    if (!mixer_) return DSERR_UNINITIALIZED;
    std::memset(caps, 0, sizeof *caps);
    caps->dwSize = sizeof(DSCAPS);
    caps->dwFlags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT | DSCAPS_PRIMARY16BIT |
                    DSCAPS_CONTINUOUSRATE | DSCAPS_SECONDARYMONO | DSCAPS_SECONDARYSTEREO |
                    DSCAPS_SECONDARY8BIT | DSCAPS_SECONDARY16BIT;
    caps->dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
    caps->dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
    caps->dwPrimaryBuffers = 1;
    return S_OK;
  }

 private:
  std::shared_ptr<media::Mixer> mixer_;
  DWORD level_ = 0;
};

}  // namespace

HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context) {
  if (!callback) return DSERR_INVALIDPARAM;
  const std::string name = host::Current().Audio().DeviceName();
  callback(nullptr, name.c_str(), "vomak-mixer", context);
  return S_OK;
}

HRESULT CreateDirectSoundInstance(REFIID iid, void** out) {
  auto* device = new DirectSound();
  HRESULT result = device->QueryInterface(iid, out);
  device->Release();
  return result;
}
