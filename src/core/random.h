// The library's one random-number generator: MT19937 with the 1998 seeding.
#pragma once
#include "vomak.h"
#include <cstdint>

uint32_t NextRandomWord();
int HasMmx();
void RegenerateRandomState();
void RegenerateRandomStateMmx();
