// The SDL host's audio output: the mixer played through SDL2 audio.
#pragma once
#include <memory>

#include "platform/media/mixer.h"

namespace host {

// Opens the default SDL audio device at the mix's format. When no device opens the output is a silent device
// paced by `clock` (nanoseconds), so positions still move with time.
std::unique_ptr<media::AudioOutput> CreateSdlAudio(media::ClockedOutput::Clock clock);

}  // namespace host
