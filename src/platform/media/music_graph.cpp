// The DirectShow filter graph stand-in for music: RenderFile opens the file (recognised by content) and decodes
// it as it plays, into a ring of a fraction of a second that the mixer reads. On a device that pulls its mix on
// a thread of its own a decoding thread keeps the ring ahead, so the device never reads the file nor waits; a
// clock-driven output decodes into the ring as it mixes, so what it renders is the same on every run. A looped
// graph starts again from the beginning at the frame after the end. Otherwise reaching the end queues
// EC_COMPLETE and marks the notify message for the pump to post; the graph stays running, so seeking back to
// the start plays it again, from the frame after the end when the seek answers the end's event. A sound cut
// short by its decoder's failure (a damaged file, a rewind or seek that could not be done) is not started again
// for a loop: it queues EC_ERRORABORT instead.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "platform/host/platform.h"
#include "platform/media/dshow.h"
#include "platform/media/mixer.h"
#include "platform/media/music_decode.h"
#include "platform/win32/file_paths.h"
#include "platform/win32/kernel.h"

const CLSID CLSID_FilterGraph = {0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const IID IID_IGraphBuilder = {0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const IID IID_IMediaControl = {0x56A868B1, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const IID IID_IMediaEventEx = {0x56A868C0, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const IID IID_IMediaSeeking = {0x36B73880, 0xC2C8, 0x11CF, {0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x60}};
const IID IID_IBasicAudio = {0x56A868B3, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

namespace {

// The ring: about three quarters of a second, decoded ahead in blocks of an eighth of that; the first frames are
// decoded before a device's decoding thread starts.
constexpr size_t kRingFrames = 32768;
constexpr size_t kBlockFrames = 4096;
constexpr size_t kFirstFrames = 1024;

// Why a decode stopped short: the end of a sound that is not looped, a sound with nothing left to play from its
// beginning, or a decoder that failed.
enum class DecodeEnd { kNone, kEnd, kEmpty, kFailed };

// Decodes up to `frames` frames, from the beginning again at the end of a looped sound; fewer only at an end
// `*end` names. A failed decoder is never rewound: a block can hold thousands of passes.
size_t DecodeLooping(media::MusicDecoder& decoder, int16_t* out, size_t frames, bool loop, DecodeEnd* end) {
  size_t done = 0;
  bool fromStart = false;
  *end = DecodeEnd::kNone;
  while (done < frames) {
    const size_t got = decoder.Read(out + 2 * done, frames - done);
    done += got;
    if (got > 0) {
      fromStart = false;
      continue;
    }
    if (decoder.Failed()) {
      *end = DecodeEnd::kFailed;
    } else if (!loop) {
      *end = DecodeEnd::kEnd;
    } else if (fromStart) {
      *end = DecodeEnd::kEmpty;
    } else {
      decoder.Rewind();
      fromStart = true;
      continue;
    }
    break;
  }
  return done;
}

// The graph's sound in the mixer and its event queue; shared under lock_ by the library's thread, the mixing
// thread and the decoding thread. The decoder is used by the decoding thread alone when there is one, else
// under lock_.
class GraphSound final : public media::MixerSource {
 public:
  GraphSound(std::unique_ptr<media::MusicDecoder> decoder, bool decodeAhead)
      : decoder_(std::move(decoder)), decodeAhead_(decodeAhead), ring_(kRingFrames * 2),
        heldBytes_(ring_.size() * sizeof(int16_t) + decoder_->BufferedBytes() +
                   (decodeAhead ? kBlockFrames * 2 * sizeof(int16_t) : 0)) {
    if (!decodeAhead_) return;
    std::lock_guard<std::mutex> guard(lock_);
    FillLocked(kFirstFrames);  // the device's first pull finds sound even before the decoding thread runs
    decoding_ = std::thread([this] { DecodeAhead(); });
  }
  ~GraphSound() override {
    decoder_->Abandon();  // the decoding thread's work ends at its next read
    {
      std::lock_guard<std::mutex> guard(lock_);
      quitting_ = true;
    }
    wake_.notify_all();
    if (decoding_.joinable()) decoding_.join();
  }

  void MixInto(int32_t* mix, int count) override {
    std::lock_guard<std::mutex> guard(lock_);
    if (!running_) return;
    toldEnd_.Mixing(count);
    int done = 0;
    while (done < count) {
      if (held_ == 0 && !decodeAhead_) FillLocked(static_cast<size_t>(count - done));
      if (held_ == 0) break;  // the end, or a decoding thread not yet ahead again after a seek
      const size_t n = std::min({static_cast<size_t>(count - done), held_, kRingFrames - head_});
      const int16_t* from = ring_.data() + 2 * head_;
      int32_t* to = mix + 2 * static_cast<size_t>(done);
      for (size_t i = 0; i < 2 * n; ++i) to[i] += static_cast<int32_t>(int64_t{from[i]} * gain_ / 65536);
      head_ = (head_ + n) % kRingFrames;
      held_ -= n;
      done += static_cast<int>(n);
    }
    if (decodeAhead_ && kRingFrames - held_ >= kBlockFrames) wake_.notify_one();
    if (held_ == 0 && decodedEnd_ && !completeSent_) {
      completeSent_ = true;
      toldEnd_.Reached(done == count, window_ != nullptr);
      QueueEvent(decodeFailed_ ? EC_ERRORABORT : EC_COMPLETE);
    }
  }

  uint64_t FramesBeforeToldEnd() override {
    std::lock_guard<std::mutex> guard(lock_);
    const bool tells = running_ && !completeSent_ && window_ && !looping_;
    if (tells && !decodeAhead_) FillLocked(media::kToldEndLookahead + 1);
    // An end not decoded yet lies beyond the ring, further than any output looks ahead.
    if (tells && !decodedEnd_) return kNoToldEnd;
    return toldEnd_.FramesBefore(tells, held_);
  }

  bool JustEnded() {
    std::lock_guard<std::mutex> guard(lock_);
    return toldEnd_.Pending();
  }

  void SetRunning(bool running) {
    std::lock_guard<std::mutex> guard(lock_);
    running_ = running;
  }
  void SetLooping(bool looping) {
    std::lock_guard<std::mutex> guard(lock_);
    looping_ = looping;
    // An end decoded already is followed by the beginning, unless the decoder failed there.
    if (looping && !completeSent_ && !decodeFailed_) decodedEnd_ = false;
    if (decodeAhead_) wake_.notify_one();
  }
  void Seek(LONGLONG hundredNanoseconds) {
    std::lock_guard<std::mutex> guard(lock_);
    const auto frame = static_cast<uint64_t>(static_cast<__int128>(hundredNanoseconds) * media::kMixRate / 10000000);
    head_ = held_ = 0;
    decodedEnd_ = decodeFailed_ = completeSent_ = false;
    toldEnd_.Answered();
    ++generation_;
    if (decodeAhead_) {
      seekTo_ = frame;
      seekPending_ = true;
      wake_.notify_one();
    } else {
      decoder_->Seek(frame);
    }
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
  size_t BufferedBytes() const { return heldBytes_; }

  bool PostNotices() override {
    std::lock_guard<std::mutex> guard(lock_);
    return notices_.Post();
  }

 private:
  // While mixing, maybe on the device's thread: the notify message is marked, and posted by the pump.
  void QueueEvent(long code) {
    events_.push_back(code);
    if (window_) notices_.Mark(window_, message_, 0, instance_);
  }

  void EndDecodedLocked(DecodeEnd end) {
    decodedEnd_ = true;
    decodeFailed_ = end == DecodeEnd::kFailed;
  }

  // Adds decoded frames at the ring's tail.
  void PushLocked(const int16_t* frames, size_t count) {
    for (size_t done = 0; done < count;) {
      const size_t tail = (head_ + held_) % kRingFrames;
      const size_t n = std::min(count - done, kRingFrames - tail);
      std::copy_n(frames + 2 * done, 2 * n, ring_.data() + 2 * tail);
      held_ += n;
      done += n;
    }
  }

  // Decodes into the ring, on the mixing or the library's thread, until it holds `frames` or the end.
  void FillLocked(size_t frames) {
    frames = std::min(frames, kRingFrames);
    while (held_ < frames && !decodedEnd_) {
      const size_t tail = (head_ + held_) % kRingFrames;
      const size_t want = std::min(frames - held_, kRingFrames - tail);
      DecodeEnd end;
      held_ += DecodeLooping(*decoder_, ring_.data() + 2 * tail, want, looping_, &end);
      if (end != DecodeEnd::kNone) EndDecodedLocked(end);
    }
  }

  // The decoding thread: keeps the ring ahead of the mix, a block at a time, decoding with lock_ released; a
  // block decoded across a seek is of the old place and dropped. A loop switched on while a block decoded past
  // the end is not lost: the next block starts from the beginning.
  void DecodeAhead() {
    std::vector<int16_t> block(kBlockFrames * 2);
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
      wake_.wait(guard, [this] {
        return quitting_ || seekPending_ || (!decodedEnd_ && kRingFrames - held_ >= kBlockFrames);
      });
      if (quitting_) return;
      const uint64_t generation = generation_;
      const bool seek = seekPending_;
      const uint64_t seekTo = seekTo_;
      const bool loop = looping_;
      seekPending_ = false;
      guard.unlock();
      if (seek) decoder_->Seek(seekTo);
      DecodeEnd end;
      const size_t got = DecodeLooping(*decoder_, block.data(), kBlockFrames, loop, &end);
      guard.lock();
      if (generation != generation_) continue;
      PushLocked(block.data(), got);
      if (end != DecodeEnd::kNone && !(end == DecodeEnd::kEnd && looping_)) EndDecodedLocked(end);
    }
  }

  std::mutex lock_;
  std::condition_variable wake_;  // the decoding thread waits here for room, a seek or the end
  std::unique_ptr<media::MusicDecoder> decoder_;
  const bool decodeAhead_;
  std::vector<int16_t> ring_;  // stereo frames from head_ on, held_ of them
  size_t head_ = 0;
  size_t held_ = 0;
  const size_t heldBytes_;  // the ring, the decoding thread's block and the decoder's buffers, all made up front
  bool decodedEnd_ = false;  // the ring holds the sound's last frame
  bool decodeFailed_ = false;  // that frame is where the decoder failed
  bool looping_ = false;
  bool running_ = false;
  bool completeSent_ = false;
  bool quitting_ = false;
  bool seekPending_ = false;
  uint64_t seekTo_ = 0;
  uint64_t generation_ = 0;  // counts seeks
  media::ToldEnd toldEnd_;
  int32_t gain_ = 65536;  // 16.16 fixed point
  std::deque<long> events_;
  media::MarkedNotices notices_;
  HWND window_ = nullptr;
  UINT message_ = 0;
  LONG_PTR instance_ = 0;
  std::thread decoding_;  // last: started once everything above is made
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
    try {
      // Found as every file of the library is: the name in the system code page through the one path rule.
      std::unique_ptr<media::MusicDecoder> decoder;
      switch (media::MusicDecoder::Open(host::ResolvePath(WideToNarrow(file).c_str()), &decoder)) {
        case media::MusicOpenResult::kMissing: return VFW_E_NOT_FOUND;
        case media::MusicOpenResult::kUnsupported: return VFW_E_UNSUPPORTED_STREAM;
        case media::MusicOpenResult::kOpened: break;
      }
      sound_ = std::make_shared<GraphSound>(std::move(decoder), host::Current().Audio().PullsOnItsOwnThread());
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

  HRESULT SetLooping(BOOL loop) override {
    if (!sound_) return VFW_E_WRONG_STATE;
    sound_->SetLooping(loop != FALSE);
    return S_OK;
  }

  size_t BufferedBytes() const { return sound_ ? sound_->BufferedBytes() : 0; }

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

size_t MusicGraphBufferedBytes(IGraphBuilder* graph) {
  return graph ? static_cast<FilterGraph*>(graph)->BufferedBytes() : 0;
}

HRESULT CreateFilterGraphInstance(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (host::ShouldFail("FilterGraph")) return REGDB_E_CLASSNOTREG;
  auto* graph = new FilterGraph;
  HRESULT result = graph->QueryInterface(iid, out);
  graph->Release();
  return result;
}
