// The headless audio output: a clock-paced output whose sink keeps the rendered frames, newest last, up to a
// limit (oldest dropped first).
#include "platform/host/headless/headless_audio.h"

#include <algorithm>

#include "platform/host/headless/headless_host.h"
#include "platform/host/platform.h"

namespace headless {
namespace {

constexpr size_t kDefaultLimitFrames = static_cast<size_t>(media::kMixRate) * 120;

class HeadlessAudio final : public media::ClockedOutput {
 public:
  explicit HeadlessAudio(Clock clock)
      : ClockedOutput(std::move(clock), [this](const int16_t* samples, int frames) { Keep(samples, frames); },
                      kDefaultLimitFrames) {
    captured_.originNanoseconds = OriginNanoseconds();
  }
  const char* DeviceName() const override { return "headless"; }

  void Keep(const int16_t* samples, int frames) {
    // Frames skipped over a long jump of the clock leave a gap: what was kept before it is dropped.
    const uint64_t index = mixer().FramesRendered() - static_cast<uint64_t>(frames);
    if (index != captured_.firstFrame + captured_.samples.size() / 2) {
      captured_.samples.clear();
      captured_.firstFrame = index;
    }
    captured_.samples.insert(captured_.samples.end(), samples, samples + static_cast<size_t>(frames) * 2);
    // Trimmed in batches of a quarter of the limit, so keeping costs the same per frame however long the run.
    const size_t kept = captured_.samples.size() / 2;
    if (kept > limitFrames_ + limitFrames_ / 4) {
      const size_t drop = kept - limitFrames_;
      captured_.samples.erase(captured_.samples.begin(), captured_.samples.begin() + static_cast<ptrdiff_t>(drop * 2));
      captured_.firstFrame += drop;
    }
  }

  CapturedAudio captured_;
  size_t limitFrames_ = kDefaultLimitFrames;
};

HeadlessAudio& Output() {
  if (!IsStarted()) Start();
  return static_cast<HeadlessAudio&>(host::Current().Audio());
}

}  // namespace

std::unique_ptr<media::AudioOutput> CreateHeadlessAudio(media::ClockedOutput::Clock clock) {
  return std::make_unique<HeadlessAudio>(std::move(clock));
}

const CapturedAudio& Audio() {
  HeadlessAudio& output = Output();
  output.Update();
  return output.captured_;
}

void ClearAudio() {
  HeadlessAudio& output = Output();
  output.Update();
  output.captured_.firstFrame += output.captured_.samples.size() / 2;
  output.captured_.samples.clear();
}

void SetAudioLimitFrames(size_t frames) {
  HeadlessAudio& output = Output();
  output.limitFrames_ = std::max<size_t>(frames, 1);
  output.SetExactFrames(output.limitFrames_);
}

uint64_t CapturedAudio::FrameAtNanoseconds(uint64_t nanoseconds) const {
  if (nanoseconds <= originNanoseconds) return 0;
  return static_cast<uint64_t>(static_cast<unsigned __int128>(nanoseconds - originNanoseconds) * media::kMixRate /
                               1000000000u);
}

int16_t CapturedAudio::Sample(uint64_t frame, int channel) const {
  if (frame < firstFrame) return 0;
  const uint64_t index = (frame - firstFrame) * 2 + static_cast<uint64_t>(channel & 1);
  return index < samples.size() ? samples[index] : 0;
}

}  // namespace headless
