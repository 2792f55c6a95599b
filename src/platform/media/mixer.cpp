// The mixer: sums every source into 32-bit accumulators and clamps once per sample; the notices its sources
// mark; the clock-paced output.
#include "platform/media/mixer.h"

#include <algorithm>

#include "platform/host/idle.h"
#include "platform/win32/user.h"

namespace media {

void MixerSource::Skip(int frames) {
  std::vector<int32_t> scratch(static_cast<size_t>(std::min(frames, 4096)) * kMixChannels);
  for (int left = frames; left > 0;) {
    const int n = std::min(left, 4096);
    MixInto(scratch.data(), n);
    left -= n;
  }
}

void Mixer::Add(std::shared_ptr<MixerSource> source) {
  if (!source) return;
  std::lock_guard<std::mutex> guard(lock_);
  for (const auto& s : sources_) {
    if (s == source) return;
  }
  sources_.push_back(std::move(source));
}

void Mixer::Remove(const MixerSource* source) {
  std::shared_ptr<MixerSource> last;  // destroyed after the lock is released
  std::lock_guard<std::mutex> guard(lock_);
  auto it = std::find_if(sources_.begin(), sources_.end(), [source](const auto& s) { return s.get() == source; });
  if (it == sources_.end()) return;
  last = std::move(*it);
  sources_.erase(it);
}

void Mixer::Render(int16_t* out, int frames) {
  if (frames <= 0) return;
  std::lock_guard<std::mutex> guard(lock_);
  const size_t count = static_cast<size_t>(frames) * kMixChannels;
  if (sums_.size() < count) sums_.resize(count);
  std::fill_n(sums_.begin(), count, 0);
  for (const auto& s : sources_) s->MixInto(sums_.data(), frames);
  for (size_t i = 0; i < count; ++i) out[i] = static_cast<int16_t>(std::clamp(sums_[i], -32768, 32767));
  rendered_ += static_cast<uint64_t>(frames);
}

void Mixer::Skip(uint64_t frames) {
  std::lock_guard<std::mutex> guard(lock_);
  for (uint64_t left = frames; left > 0;) {
    const int n = static_cast<int>(std::min<uint64_t>(left, 1u << 30));
    for (const auto& s : sources_) s->Skip(n);
    left -= static_cast<uint64_t>(n);
  }
  rendered_ += frames;
}

uint64_t Mixer::FramesBeforeToldEnd() {
  std::lock_guard<std::mutex> guard(lock_);
  uint64_t fewest = MixerSource::kNoToldEnd;
  for (const auto& s : sources_) fewest = std::min(fewest, s->FramesBeforeToldEnd());
  return fewest;
}

bool Mixer::PostNotices() {
  std::vector<std::shared_ptr<MixerSource>> sources;
  {
    std::lock_guard<std::mutex> guard(lock_);
    sources = sources_;
  }
  bool all = true;
  for (const auto& s : sources) all = s->PostNotices() && all;
  return all;
}

void MarkedNotices::Mark(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  marked_.push_back({window, message, wparam, lparam});
  host::SignalNotice();
}

// A notice to a window that is gone is dropped, as its post would have been; only a full queue keeps one.
bool MarkedNotices::Post() {
  size_t done = 0;
  while (done < marked_.size()) {
    const Notice& n = marked_[done];
    if (!PostMessageA(n.window, n.message, n.wparam, n.lparam) && IsWindow(n.window)) break;
    ++done;
  }
  marked_.erase(marked_.begin(), marked_.begin() + static_cast<ptrdiff_t>(done));
  return marked_.empty();
}

uint64_t Mixer::FramesRendered() const {
  std::lock_guard<std::mutex> guard(lock_);
  return rendered_;
}

size_t Mixer::SourceCount() {
  std::lock_guard<std::mutex> guard(lock_);
  return sources_.size();
}

ClockedOutput::ClockedOutput(Clock clock, Sink sink, uint64_t exactFrames)
    : clock_(std::move(clock)), sink_(std::move(sink)), origin_(clock_()), exactFrames_(exactFrames) {}

void ClockedOutput::Render(bool untilToldEnd) {
  std::lock_guard<std::mutex> guard(updating_);
  const uint64_t now = clock_();
  if (now <= origin_) return;
  const auto elapsed = static_cast<unsigned __int128>(now - origin_);
  const auto due = static_cast<uint64_t>(elapsed * kMixRate / 1000000000u);
  constexpr int kChunkFrames = kToldEndLookahead;
  chunk_.resize(static_cast<size_t>(kChunkFrames) * kMixChannels);
  uint64_t done = mixer_->FramesRendered();
  if (due > done + exactFrames_) {
    mixer_->Skip(due - exactFrames_ - done);
    done = due - exactFrames_;
  }
  // Holding back more than this would leave the output audibly late behind its clock.
  constexpr uint64_t kLongestHold = kMixRate / 10;
  while (done < due) {
    uint64_t frames = std::min<uint64_t>(due - done, kChunkFrames);
    bool stop = false;
    if (untilToldEnd) {
      const uint64_t told = mixer_->FramesBeforeToldEnd();
      if (told <= frames && due - done - told <= kLongestHold) {
        if (told == 0) break;  // an end told before and not answered yet
        frames = told;
        stop = true;
      }
    }
    mixer_->Render(chunk_.data(), static_cast<int>(frames));
    if (sink_) sink_(chunk_.data(), static_cast<int>(frames));
    done += frames;
    if (stop) break;
  }
}

}  // namespace media
