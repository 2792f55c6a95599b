// The generated sounds: effects, the stage music loop and the clear fanfare.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "audio.h"

namespace assetgen {

// One effect: its file name under SE/ and its mono samples at 44.1 kHz.
struct Effect {
  std::string name;
  Samples samples;
};

// The five short effects: confirm, shot, player hit, laser, enemy hit.
std::vector<Effect> MakeEffects(uint64_t seed);
// The stage music: interleaved stereo at 44.1 kHz whose end joins its start seamlessly.
Samples MakeStageMusic(uint64_t seed);
// Writes the clear fanfare (General MIDI, format 0).
bool WriteFanfare(const std::string& path);

}  // namespace assetgen
