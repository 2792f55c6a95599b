// The SDL host's audio output: the mixer played through SDL2 audio.
#pragma once
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/media/mixer.h"

namespace host {

// Opens the default SDL audio device at the mix's format. When no device opens the output is a silent device
// paced by `clock` (nanoseconds), so positions still move with time.
std::unique_ptr<media::AudioOutput> CreateSdlAudio(media::ClockedOutput::Clock clock);

// The output without a sound device: paced by `clock`, rendered into nothing on a thread of its own.
class SilentAudio final : public media::ClockedOutput {
 public:
  explicit SilentAudio(Clock clock);
  ~SilentAudio() override;
  const char* DeviceName() const override { return "silent"; }

 private:
  std::mutex lock_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace host
