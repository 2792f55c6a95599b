// Loops with an AVX2 form, taken when the processor has AVX2 and the SSE2 fast paths are on.
#pragma once
#include <climits>

#include "graphics/software/pixel_rows.h"

namespace blit {

bool HaveAvx2();
// Mode 0 with an alpha plane, brightness off, on 32-bit pixels: a = 255 copies s, a = 0 skips, else Field32.
void FieldRows32Avx2(const Job& j, bool keyed, KeyTest key);
// The same walk with the scaled drawer's per-channel blend, Chan32, where a is neither 0 nor 255.
void ChanRows32Avx2(const Job& j, bool keyed, KeyTest key);

// How a scaled draw reads a source row for eight destination columns at a time: when their source columns lie
// within eight pixels of the lowest one, by one load and one permutation (base: that lowest column; rel: each
// column's distance from it, also as eight bytes); else (base kScattered) one pixel at a time.
struct GatherPlan {
  static constexpr int32_t kScattered = INT32_MIN;
  int32_t* base;       // one per group of eight columns
  int32_t* rel;        // one per column
  uint64_t* relBytes;  // one per group
};
// row[x] = s[cols[x]] and, with a plane, alphaRow[x] = a[cols[x]], for x below w.
void GatherRow32Avx2(const uint32_t* s, const uint8_t* a, const int32_t* cols, const GatherPlan& plan, int w,
                     uint32_t* row, uint8_t* alphaRow);

}  // namespace blit
