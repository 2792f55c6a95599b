// The generated sounds: effects, the stage music loop and the clear fanfare.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "audio.h"

namespace assetgen {

// Peak levels as shares of full scale. The mixer adds its sources as they are, and the game can sound all five
// effects at once over the stage music and the clear fanfare: their peaks together stay below full scale, with room
// for the fanfare (its channel volumes in WriteFanfare) and for the music's small overshoot in decoding.
namespace level {
constexpr float kMusic = 0.15f;
constexpr float kConfirm = 0.14f, kShot = 0.09f, kPlayerHit = 0.15f, kLaser = 0.13f, kEnemyHit = 0.09f;
}  // namespace level

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
