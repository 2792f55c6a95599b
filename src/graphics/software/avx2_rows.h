// Loops with an AVX2 form, taken when the processor has AVX2 and the SSE2 fast paths are on.
#pragma once
#include "graphics/software/pixel_rows.h"

namespace blit {

bool HaveAvx2();
// Mode 0 with an alpha plane, brightness off, on 32-bit pixels: a = 255 copies s, a = 0 skips, else Field32.
void FieldRows32Avx2(const Job& j, bool keyed, KeyTest key);
// The same walk with the scaled drawer's per-channel blend, Chan32, where a is neither 0 nor 255.
void ChanRows32Avx2(const Job& j, bool keyed, KeyTest key);

}  // namespace blit
