#include "core/random.h"

#include "platform/host/cpu.h"

namespace {

constexpr int N = 624;
constexpr int M = 397;
constexpr uint32_t kMatrix = 0x9908B0DFu;
constexpr uint32_t kUpper = 0x80000000u;
constexpr uint32_t kLower = 0x7FFFFFFFu;

struct RandomState {
  uint32_t state[N];
  uint32_t output[N];
  int index = N;
  int seeded = 0;
  int mmx = 0;
};
RandomState generator;

inline uint32_t Twist(uint32_t upper, uint32_t lower, uint32_t far) {
  uint32_t y = (upper & kUpper) | (lower & kLower);
  return far ^ (y >> 1) ^ ((y & 1u) ? kMatrix : 0u);
}

inline uint32_t Temper(uint32_t y) {
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

void TemperAll() {
  for (int i = 0; i < N; ++i) generator.output[i] = Temper(generator.state[i]);
  generator.index = 0;
}

}  // namespace

void SeedRandom(uint32_t seed) {
  for (int i = 0; i < N; ++i) {
    uint32_t word = seed & 0xFFFF0000u;
    seed = seed * 69069u + 1u;
    word |= seed >> 16;
    seed = seed * 69069u + 1u;
    generator.state[i] = word;
  }
  generator.mmx = HasMmx();
  generator.seeded = 1;
  if (generator.mmx) {
    RegenerateRandomStateMmx();
  } else {
    RegenerateRandomState();
  }
}

void RegenerateRandomState() {
  uint32_t* mt = generator.state;
  for (int k = 0; k < N; ++k) mt[k] = Twist(mt[k], mt[(k + 1) % N], mt[(k + M) % N]);
  TemperAll();
}

// Two words per step; gives exactly the words of RegenerateRandomState.
void RegenerateRandomStateMmx() {
  uint32_t* mt = generator.state;
  for (int k = 0; k < N; k += 2) {
    mt[k] = Twist(mt[k], mt[k + 1], mt[(k + M) % N]);
    mt[k + 1] = Twist(mt[k + 1], mt[(k + 2) % N], mt[(k + 1 + M) % N]);
  }
  TemperAll();
}

uint32_t NextRandomWord() {
  if (generator.index >= N) {
    if (!generator.seeded) {
      SeedRandom(4357);
    } else if (generator.mmx) {
      RegenerateRandomStateMmx();
    } else {
      RegenerateRandomState();
    }
  }
  return generator.output[generator.index++];
}

int GetRandomUpTo(int n) {
  // Every call takes one word, also when there is no range to draw from, so the sequence stays the same.
  uint64_t word = NextRandomWord();
  if (n < 0) return 0;
  uint64_t range = static_cast<uint64_t>(n) + 1;
  return static_cast<int>((word * range) >> 32);
}

int HasMmx() {
  if (!host::ProcessorHasCpuid() || host::ProcessorCpuid(0).eax < 1) return 0;
  return (host::ProcessorCpuid(1).edx & 0x800000u) ? 1 : 0;
}
