// Coordinates worked out in 64 bits and held in the int range: a position past either end of the range stays at
// that end, further off every target, instead of wrapping round onto it.
#pragma once
#include <cstdint>
#include <limits>

constexpr int SaturateToInt(int64_t value) {
  return value < std::numeric_limits<int>::min()   ? std::numeric_limits<int>::min()
         : value > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                   : static_cast<int>(value);
}
