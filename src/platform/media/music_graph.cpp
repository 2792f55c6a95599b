// The DirectShow filter graph stand-in for music: RenderFile decodes the whole file (recognised by content)
// into the mix format; running plays it through the host's mixer. Reaching the end queues EC_COMPLETE and
// posts the notify message; the graph stays running, so seeking back to the start plays it again, from the
// frame after the end when the seek answers the end's event.
#include <atomic>
#include <cmath>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/host/platform.h"
#include "platform/media/dshow.h"
#include "platform/media/mixer.h"
#include "platform/media/music_decode.h"
#include "platform/win32/file_paths.h"
#include "platform/win32/kernel.h"
#include "platform/win32/user.h"

const CLSID CLSID_FilterGraph = {0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const IID IID_IGraphBuilder = {0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const IID IID_IMediaControl = {0x56A868B1, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const IID IID_IMediaEventEx = {0x56A868C0, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const IID IID_IMediaSeeking = {0x36B73880, 0xC2C8, 0x11CF, {0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x60}};
const IID IID_IBasicAudio = {0x56A868B3, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

namespace {

constexpr size_t kLargestMusicFile = 256u << 20;

// The graph's sound in the mixer and its event queue; shared by the library's thread and the mixing thread.
class GraphSound final : public media::MixerSource {
 public:
  explicit GraphSound(std::vector<int16_t> frames) : frames_(std::move(frames)) {}

  void MixInto(int32_t* mix, int count) override {
    std::lock_guard<std::mutex> guard(lock_);
    if (!running_) return;
    if (count > 0) justEnded_ = false;
    size_t total = frames_.size() / 2;
    int i = 0;
    for (; i < count && position_ < total; ++i, ++position_) {
      mix[2 * i] += static_cast<int32_t>(int64_t{frames_[2 * position_]} * gain_ / 65536);
      mix[2 * i + 1] += static_cast<int32_t>(int64_t{frames_[2 * position_ + 1]} * gain_ / 65536);
    }
    if (position_ >= total && !completeSent_) {
      completeSent_ = true;
      justEnded_ = i == count && window_;
      QueueEvent(EC_COMPLETE);
    }
  }

  uint64_t FramesBeforeToldEnd() override {
    std::lock_guard<std::mutex> guard(lock_);
    if (justEnded_) return 0;  // told, and not answered yet
    if (!running_ || completeSent_ || !window_) return kNoToldEnd;
    return std::max<uint64_t>(frames_.size() / 2 - position_, 1);
  }

  // True from the end until a later frame is mixed: a seek now follows the end without a gap.
  bool JustEnded() {
    std::lock_guard<std::mutex> guard(lock_);
    return justEnded_;
  }

  void SetRunning(bool running) {
    std::lock_guard<std::mutex> guard(lock_);
    running_ = running;
  }
  void Seek(LONGLONG hundredNanoseconds) {
    std::lock_guard<std::mutex> guard(lock_);
    auto frame = static_cast<size_t>(hundredNanoseconds * media::kMixRate / 10000000);
    position_ = std::min(frame, frames_.size() / 2);
    completeSent_ = false;
    justEnded_ = false;
  }
  void SetGain(int32_t gain) {
    std::lock_guard<std::mutex> guard(lock_);
    gain_ = gain;
  }
  bool TakeEvent(long* code) {
    std::lock_guard<std::mutex> guard(lock_);
    if (events_.empty()) return false;
    *code = events_.front();
    events_.pop_front();
    return true;
  }
  void SetNotify(HWND window, UINT message, LONG_PTR instance) {
    std::lock_guard<std::mutex> guard(lock_);
    window_ = window;
    message_ = message;
    instance_ = instance;
  }

 private:
  void QueueEvent(long code) {
    events_.push_back(code);
    if (window_) PostMessageA(window_, message_, 0, instance_);
  }

  std::mutex lock_;
  std::vector<int16_t> frames_;  // the whole music in the mix format
  size_t position_ = 0;
  bool running_ = false;
  bool completeSent_ = false;
  bool justEnded_ = false;
  int32_t gain_ = 65536;  // 16.16 fixed point
  std::deque<long> events_;
  HWND window_ = nullptr;
  UINT message_ = 0;
  LONG_PTR instance_ = 0;
};

class FilterGraph final : public IGraphBuilder,
                          public IMediaControl,
                          public IMediaEventEx,
                          public IMediaSeeking,
                          public IBasicAudio {
 public:
  ~FilterGraph() override {
    if (sound_) mixer_->Remove(sound_.get());
  }

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IGraphBuilder) {
      *out = static_cast<IGraphBuilder*>(this);
    } else if (iid == IID_IMediaControl) {
      *out = static_cast<IMediaControl*>(this);
    } else if (iid == IID_IMediaEventEx) {
      *out = static_cast<IMediaEventEx*>(this);
    } else if (iid == IID_IMediaSeeking) {
      *out = static_cast<IMediaSeeking*>(this);
    } else if (iid == IID_IBasicAudio) {
      *out = static_cast<IBasicAudio*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT RenderFile(LPCWSTR file, LPCWSTR) override {
    if (!file) return E_POINTER;
    if (sound_) return VFW_E_WRONG_STATE;
    // Found as every file of the library is: the name in the system code page through the one path rule.
    std::ifstream in(host::ResolvePath(WideToNarrow(file).c_str()), std::ios::binary);
    if (!in) return VFW_E_NOT_FOUND;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size <= 0 || static_cast<size_t>(size) > kLargestMusicFile) return VFW_E_UNSUPPORTED_STREAM;
    in.seekg(0);
    try {
      std::vector<uint8_t> bytes(static_cast<size_t>(size));
      if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return VFW_E_UNSUPPORTED_STREAM;
      std::vector<int16_t> frames;
      if (!media::DecodeMusicFile(bytes.data(), bytes.size(), &frames)) return VFW_E_UNSUPPORTED_STREAM;
      sound_ = std::make_shared<GraphSound>(std::move(frames));
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    mixer_ = host::Current().Audio().shared_mixer();
    mixer_->Add(sound_);
    return S_OK;
  }

  HRESULT Run() override { return SetRunning(true); }
  HRESULT Stop() override { return SetRunning(false); }

  HRESULT GetEvent(long* code, LONG_PTR* first, LONG_PTR* second, long) override {
    if (!code || !first || !second) return E_POINTER;
    *first = *second = 0;
    if (!sound_) return E_ABORT;
    // An event already queued is taken as it is, so that a seek in answer to it still follows the end.
    if (sound_->TakeEvent(code)) return S_OK;
    host::Current().Audio().Update();
    return sound_->TakeEvent(code) ? S_OK : E_ABORT;
  }
  HRESULT FreeEventParams(long, LONG_PTR, LONG_PTR) override { return S_OK; }
  HRESULT SetNotifyWindow(OAHWND window, long message, LONG_PTR instance) override {
    notifyWindow_ = reinterpret_cast<HWND>(window);
    notifyMessage_ = static_cast<UINT>(message);
    notifyInstance_ = instance;
    if (sound_) sound_->SetNotify(notifyWindow_, notifyMessage_, notifyInstance_);
    return S_OK;
  }

  HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG*, DWORD) override {
    if (!sound_) return VFW_E_WRONG_STATE;
    if ((currentFlags & 3) == AM_SEEKING_AbsolutePositioning) {
      if (!current || *current < 0) return E_INVALIDARG;
      if (!sound_->JustEnded()) host::Current().Audio().Update();  // else the rewind follows the end at once
      sound_->Seek(*current);
    }
    return S_OK;
  }

  HRESULT put_Volume(long volume) override {
    if (volume > 0 || volume < -10000) return E_INVALIDARG;
    volume_ = volume;
    if (sound_) sound_->SetGain(GainOf(volume));
    return S_OK;
  }

 private:
  // Hundredths of a decibel as a 16.16 amplitude factor; -10000 is silence.
  static int32_t GainOf(long volume) {
    if (volume <= -10000) return 0;
    return static_cast<int32_t>(65536.0 * std::pow(10.0, volume / 2000.0));
  }

  HRESULT SetRunning(bool running) {
    if (!sound_) return VFW_E_WRONG_STATE;
    host::Current().Audio().Update();  // starts and stops at the output's present
    sound_->SetNotify(notifyWindow_, notifyMessage_, notifyInstance_);
    sound_->SetGain(GainOf(volume_));
    sound_->SetRunning(running);
    return S_OK;
  }

  std::atomic<ULONG> references_{1};
  std::shared_ptr<GraphSound> sound_;
  std::shared_ptr<media::Mixer> mixer_;
  HWND notifyWindow_ = nullptr;
  UINT notifyMessage_ = 0;
  LONG_PTR notifyInstance_ = 0;
  long volume_ = 0;
};

}  // namespace

HRESULT CreateFilterGraphInstance(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (host::ShouldFail("FilterGraph")) return REGDB_E_CLASSNOTREG;
  auto* graph = new FilterGraph;
  HRESULT result = graph->QueryInterface(iid, out);
  graph->Release();
  return result;
}
