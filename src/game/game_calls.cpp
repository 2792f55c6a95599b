// The library calls every unit of the game makes the same way: colours, effects, draw positions, input.
#include <cmath>

#include "game_units.h"
#include "vomak.h"

uint32_t White() { return PackScreenColor(255, 255, 255); }

void PlayEffect(int sound) { StartSoundPlayback(sound, 1, 1); }

int Truncated(double position) {
  // Positions far beyond any screen (the ship swept off by the laser) are clamped to stay representable.
  if (!(position > -1e9)) return -1000000000;
  if (position > 1e9) return 1000000000;
  return static_cast<int>(std::trunc(position));
}

uint32_t ReadPadBits() { return static_cast<uint32_t>(GetPadInputBits(kPadInputType)); }

bool EscapeHeld() { return QueryKeyDown(kKeyEscape) != 0; }
