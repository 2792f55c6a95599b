// The headless host's audio output: the mixer rendered at virtual time and kept for tests to read.
#pragma once
#include <memory>

#include "platform/media/mixer.h"

namespace headless {

// Makes the output of a headless host whose virtual clock (nanoseconds, not stepping) is `clock`.
std::unique_ptr<media::AudioOutput> CreateHeadlessAudio(media::ClockedOutput::Clock clock);

}  // namespace headless
