// The library's one random-number generator: MT19937 with the 1998 seeding.
#pragma once
#include <cstdint>

void SeedRandom(uint32_t seed);
uint32_t NextRandomWord();
// A uniform integer from 0 to n inclusive; 0 for n below 0.
int GetRandomUpTo(int n);
int HasMmx();
void RegenerateRandomState();
void RegenerateRandomStateMmx();
