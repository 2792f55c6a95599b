// The host's one audio mixer and the output that plays it. Every sound the platform makes (DirectSound
// buffers, the MIDI synthesiser, the music graph) is a MixerSource added to the mixer of the current host's
// output (host::Current().Audio().mixer()). The mix is 44,100 frames a second of interleaved 16-bit stereo.
//
// How a source plugs in:
//
//   class Synth final : public media::MixerSource {
//     void MixInto(int32_t* mix, int frames) override { ... add frames * 2 samples into mix ... }
//   };
//   auto synth = std::make_shared<Synth>();
//   std::shared_ptr<media::Mixer> mixer = host::Current().Audio().shared_mixer();
//   mixer->Add(synth);         // heard from the next rendered frame on
//   ...                        // from the library thread: call Audio().Update() before reading or changing
//   mixer->Remove(synth.get());  // state that the output's position decides (headless renders up to "now")
//
// Threads: a real device renders on its own thread; clock-driven outputs (the headless capture, a machine
// without a sound device) render inside Update(), on the caller's thread. Either way MixInto runs with the
// mixer's lock held, never concurrently with Add or Remove, and must not block or call back into the mixer. A
// device thread never waits for the program: a looped sound repeats inside its source, and a source that reads
// files does so ahead, on a thread of its own, when the output pulls on its own thread (PullsOnItsOwnThread).
// Nor does it touch the message queue: a source marks the window messages it tells the program by
// (MarkedNotices) and the pumping thread posts them.
#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/win32/types.h"

namespace media {

// The mix's format: frames per second and interleaved channels (left, right) of signed 16-bit samples.
constexpr int kMixRate = 44100;
constexpr int kMixChannels = 2;

// Something the mixer plays.
class MixerSource {
 public:
  virtual ~MixerSource() = default;
  // Adds the next `frames` frames of this source to `mix` (frames × 2 sums, left then right, at 16-bit scale)
  // and moves the source on by that much. A silent or stopped source adds nothing.
  virtual void MixInto(int32_t* mix, int frames) = 0;
  // Moves the source on by `frames` frames that nobody hears (a clock-driven output catching up over a long
  // jump of its clock). By default it mixes them into scratch; a source can do it more cheaply.
  virtual void Skip(int frames);
  // Frames this source plays before it reaches an end that it tells the program of (a notice posted to a
  // window); 0 from such an end until the program answers; kNoToldEnd when it has none ahead, or none within
  // kToldEndLookahead frames. Only clock-driven outputs ask (see ToldEnd).
  virtual uint64_t FramesBeforeToldEnd() { return kNoToldEnd; }
  static constexpr uint64_t kNoToldEnd = ~uint64_t{0};
  // Posts the notices this source marked while mixing (MarkedNotices); false when the queue refused one, which
  // is kept for the next call. The pumping thread calls it, without the mixer's lock.
  virtual bool PostNotices() { return true; }
};

// Window messages a source tells the program by (the end of a song or of a graph's music), marked on whatever
// thread mixes and posted by the pumping thread when it next looks at the queue or answers a wait
// (host::PostMarkedNotices), so a device's thread never reads the queue's or the windows' state. Kept under the
// source's own lock.
class MarkedNotices {
 public:
  // Marks a notice and wakes every wait.
  void Mark(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // Posts the marked notices in order; false when the queue refused one, which stays marked with those after it.
  bool Post();

 private:
  struct Notice {
    HWND window;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
  };
  std::vector<Notice> marked_;
};

// Where a source stands to an end it tells the program of (a notice posted to a window). A clock-driven output
// stops there until the program answers (AudioOutput::UpdateUntilToldEnd), so that a restart in answer follows
// the end at the very next frame; a device thread never waits for it. Kept under the source's own lock.
class ToldEnd {
 public:
  // What MixerSource::FramesBeforeToldEnd answers: 0 from a told end until it is answered or a later frame is
  // mixed; else the frames left (at least 1) while the source tells its end, kNoToldEnd while it does not.
  uint64_t FramesBefore(bool tells, uint64_t framesLeft) const {
    if (pending_) return 0;
    return tells ? std::max<uint64_t>(framesLeft, 1) : MixerSource::kNoToldEnd;
  }
  // Mixing a frame moves past a told end.
  void Mixing(int frames) {
    if (frames > 0) pending_ = false;
  }
  // The source has ended, on the last frame of the mix when `onLastFrame`, telling the program when `told`.
  void Reached(bool onLastFrame, bool told) { pending_ = onLastFrame && told; }
  // The program answered: played, moved or stopped the source.
  void Answered() { pending_ = false; }
  // True from a told end on the last mixed frame until the answer: a restart now follows the end without a
  // gap, so the caller need not bring the output up to the present first.
  bool Pending() const { return pending_; }

 private:
  bool pending_ = false;
};

// How far ahead of the output a source must know an end it tells of: a clock-driven output renders in chunks of
// this many frames and asks before each.
constexpr int kToldEndLookahead = 4096;

class Mixer {
 public:
  // Adds a source, heard from the next rendered frame on. Thread-safe; adding a source twice adds it once.
  void Add(std::shared_ptr<MixerSource> source);
  // Removes a source; once this returns, no render uses it. Thread-safe; an unknown source is ignored.
  void Remove(const MixerSource* source);
  // Renders the next frames into out (frames × 2 samples), each sum clamped to 16 bits. Thread-safe.
  void Render(int16_t* out, int frames);
  // Moves every source on by frames nobody hears; they count as rendered. Thread-safe.
  void Skip(uint64_t frames);
  // The fewest frames any source plays before an end it tells of (MixerSource::kNoToldEnd: none).
  uint64_t FramesBeforeToldEnd();
  // Has every source post what it marked (MixerSource::PostNotices), outside the mixer's lock; false when the
  // queue refused a notice.
  bool PostNotices();
  // Frames rendered since the mixer was made: the output's clock.
  uint64_t FramesRendered() const;
  // Sources in the mix.
  size_t SourceCount();

 private:
  mutable std::mutex lock_;
  std::vector<std::shared_ptr<MixerSource>> sources_;
  std::vector<int32_t> sums_;
  uint64_t rendered_ = 0;  // written under lock_, read through FramesRendered
};

// A host's audio output: its mixer and what plays it.
class AudioOutput {
 public:
  AudioOutput() : mixer_(std::make_shared<Mixer>()) {}
  virtual ~AudioOutput() = default;
  Mixer& mixer() { return *mixer_; }
  // The mixer as shared ownership, for objects that may outlive the output (released after a host change).
  std::shared_ptr<Mixer> shared_mixer() { return mixer_; }
  // Brings the output up to now: a clock-driven output renders every frame due by its clock; a device that
  // pulls on its own thread does nothing.
  virtual void Update() = 0;
  // As Update, but a clock-driven output stops at the first end a source tells the program of, and stays there
  // until that source is answered (restarted, stopped or removed) or a plain Update renders on; never more than
  // a tenth of a second behind its clock. The pump calls this before it hands out the notices, so that a
  // restart in answer follows the end at the very next frame.
  virtual void UpdateUntilToldEnd() { Update(); }
  // Whether a device renders the mix on a thread of its own as it pulls it, where sources must not read files
  // or decode more than a little (they decode ahead on a thread of their own instead).
  virtual bool PullsOnItsOwnThread() const { return false; }
  // The device's name for reports ("headless", the SDL device's name, or the silent device).
  virtual const char* DeviceName() const = 0;

 protected:
  std::shared_ptr<Mixer> mixer_;
};

// An output paced by a nanosecond clock: frame i is due at origin + i / kMixRate seconds, the origin being the
// clock's reading when the output was made. Rendered frames go to the sink (null: discarded). After a long jump
// of the clock only the last `exactFrames` due frames are rendered; the sources skip the ones before them.
class ClockedOutput : public AudioOutput {
 public:
  using Clock = std::function<uint64_t()>;
  using Sink = std::function<void(const int16_t* samples, int frames)>;
  ClockedOutput(Clock clock, Sink sink, uint64_t exactFrames);
  void Update() override { Render(false); }
  void UpdateUntilToldEnd() override { Render(true); }
  void SetExactFrames(uint64_t frames) { exactFrames_ = frames; }
  uint64_t OriginNanoseconds() const { return origin_; }

 private:
  void Render(bool untilToldEnd);

  Clock clock_;
  Sink sink_;
  uint64_t origin_;
  uint64_t exactFrames_;
  std::mutex updating_;
  std::vector<int16_t> chunk_;
};

}  // namespace media
