// SSE2 forms of the blend formulas that have fast paths, bit-exact to their scalar forms in blend_formulas.h.
#pragma once
#include <emmintrin.h>

#include <cstdint>

#include "graphics/software/blend_formulas.h"

namespace blit::simd {

// 32-bit pixels; the alpha byte a of each pixel arrives as the 32-bit lane a | a << 16.

// Field32 for a in 1..254 (a = 255 gives s): per channel ((d_c << 8 | the channel below it in d) + (s_c - d_c) * a)
// >> 8. The sum lies in 0..65535, so 16-bit wrapping lanes give it exactly, and it equals the wrapping field
// arithmetic. Blue and red work in the even bytes' lanes, green in the odd byte's; (d << 8) and d itself hold the
// 16-bit bases.
inline __m128i Field32(__m128i s, __m128i d, __m128i a16) {
  const __m128i even = _mm_set1_epi32(0x00FF00FF);
  __m128i br = _mm_mullo_epi16(_mm_sub_epi16(_mm_and_si128(s, even), _mm_and_si128(d, even)), a16);
  br = _mm_srli_epi16(_mm_add_epi16(br, _mm_slli_epi32(d, 8)), 8);
  // Green in the low lane; the high lane works on the top bytes and is cut off below.
  __m128i g = _mm_mullo_epi16(_mm_sub_epi16(_mm_srli_epi16(s, 8), _mm_srli_epi16(d, 8)), a16);
  g = _mm_srli_epi16(_mm_add_epi16(g, _mm_and_si128(d, _mm_set1_epi32(0xFFFF))), 8);
  const __m128i blended = _mm_and_si128(_mm_or_si128(br, _mm_slli_epi16(g, 8)), _mm_set1_epi32(0x00FFFFFF));
  const __m128i opaque = _mm_cmpeq_epi32(a16, _mm_set1_epi32(0x00FF00FF));
  return _mm_or_si128(_mm_and_si128(opaque, s), _mm_andnot_si128(opaque, blended));
}

// The per-channel blend ((s_c - d_c) * a + (d_c << 8)) >> 8 of the scaled drawer, a in 0..255 (a = 255 gives s):
// the sum lies in 0..65280, so 16-bit wrapping lanes give it exactly. Blue and red in the even bytes' lanes, green
// (and the padding byte, cut off below) in the odd ones'.
[[gnu::always_inline]] inline __m128i Chan32(__m128i s, __m128i d, __m128i a16) {
  const __m128i even = _mm_set1_epi32(0x00FF00FF);
  const __m128i dbr = _mm_and_si128(d, even), dg = _mm_srli_epi16(d, 8);
  __m128i br = _mm_mullo_epi16(_mm_sub_epi16(_mm_and_si128(s, even), dbr), a16);
  br = _mm_srli_epi16(_mm_add_epi16(br, _mm_slli_epi16(dbr, 8)), 8);
  __m128i g = _mm_mullo_epi16(_mm_sub_epi16(_mm_srli_epi16(s, 8), dg), a16);
  g = _mm_srli_epi16(_mm_add_epi16(g, _mm_slli_epi16(dg, 8)), 8);
  const __m128i blended = _mm_and_si128(_mm_or_si128(br, _mm_slli_epi16(g, 8)), _mm_set1_epi32(0x00FFFFFF));
  const __m128i opaque = _mm_cmpeq_epi32(a16, _mm_set1_epi32(0x00FF00FF));
  return _mm_or_si128(_mm_and_si128(opaque, s), _mm_andnot_si128(opaque, blended));
}

// Two multiply-table rows per channel: ((s_c * p) >> 8) + ((d_c * q) >> 8), p + q = 255; the padding byte is 0.
[[gnu::always_inline]] inline __m128i TablePQ32(__m128i s, __m128i d, __m128i p, __m128i q) {
  const __m128i even = _mm_set1_epi32(0x00FF00FF);
  auto lanes = [&](__m128i sl, __m128i dl) {
    return _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(sl, p), 8), _mm_srli_epi16(_mm_mullo_epi16(dl, q), 8));
  };
  const __m128i br = lanes(_mm_and_si128(s, even), _mm_and_si128(d, even));
  const __m128i g = lanes(_mm_srli_epi16(s, 8), _mm_srli_epi16(d, 8));
  return _mm_and_si128(_mm_or_si128(br, _mm_slli_epi16(g, 8)), _mm_set1_epi32(0x00FFFFFF));
}

// The scaled drawer's alpha blend with a plane: a = 255 takes the two table rows, else Chan32 at (a * p) >> 8.
[[gnu::always_inline]] inline __m128i PlaneAlpha32(__m128i s, __m128i d, __m128i a16, __m128i p, __m128i q) {
  const __m128i blended = Chan32(s, d, _mm_srli_epi16(_mm_mullo_epi16(a16, p), 8));
  const __m128i opaque = _mm_cmpeq_epi32(a16, _mm_set1_epi32(0x00FF00FF));
  return _mm_or_si128(_mm_and_si128(opaque, TablePQ32(s, d, p, q)), _mm_andnot_si128(opaque, blended));
}

inline __m128i MmxAlpha32(__m128i s, __m128i d, __m128i p, __m128i q) {
  const __m128i zero = _mm_setzero_si128();
  auto half = [&](__m128i sh, __m128i dh) {
    return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(sh, p), _mm_mullo_epi16(dh, q)), 8);
  };
  return _mm_packus_epi16(half(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero)),
                          half(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero)));
}

inline __m128i MmxAdd32(__m128i s, __m128i d, __m128i p) {
  const __m128i zero = _mm_setzero_si128();
  auto half = [&](__m128i sh, __m128i dh) {
    return _mm_srli_epi16(_mm_adds_epu16(_mm_mullo_epi16(sh, p), _mm_slli_epi16(dh, 8)), 8);
  };
  return _mm_packus_epi16(half(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero)),
                          half(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero)));
}

// 16-bit pixels: channel masks and shifts of the layout, prepared once.
struct Fmt16Vec {
  __m128i mask[3], max[3], shift[3], up[3], down[3];
  bool left[3];  // field shift left (channel at or above bit 8) or right
  explicit Fmt16Vec(const Fmt16& f) {
    for (int c = 0; c < 3; ++c) {
      mask[c] = _mm_set1_epi16(static_cast<int16_t>(f.mask[c]));
      max[c] = _mm_set1_epi16(static_cast<int16_t>(f.max[c]));
      shift[c] = _mm_cvtsi32_si128(f.shift[c]);
      left[c] = f.shift[c] >= 8;
      up[c] = _mm_cvtsi32_si128(left[c] ? f.shift[c] - 8 : 0);
      down[c] = _mm_cvtsi32_si128(left[c] ? 0 : 8 - f.shift[c]);
    }
  }
  __m128i ch(__m128i x, int c) const { return _mm_and_si128(_mm_srl_epi16(x, shift[c]), max[c]); }
};

// Field16 for the 565 and 555 layouts: ((field difference) * a) >> 8 reduces to a shift of the channel product.
inline __m128i Field16(const Fmt16Vec& f, __m128i s, __m128i d, __m128i a) {
  __m128i o = _mm_setzero_si128();
  for (int c = 0; c < 3; ++c) {
    const __m128i prod = _mm_mullo_epi16(_mm_sub_epi16(f.ch(s, c), f.ch(d, c)), a);
    const __m128i term = f.left[c] ? _mm_sll_epi16(prod, f.up[c]) : _mm_sra_epi16(prod, f.down[c]);
    o = _mm_or_si128(o, _mm_and_si128(_mm_add_epi16(d, term), f.mask[c]));
  }
  const __m128i opaque = _mm_cmpeq_epi16(a, _mm_set1_epi16(255));
  return _mm_or_si128(_mm_and_si128(opaque, s), _mm_andnot_si128(opaque, o));
}

// Chan32 on 16-bit pixels of any layout with channels of at most 8 bits; a arrives in every 16-bit lane.
[[gnu::always_inline]] inline __m128i Chan16(const Fmt16Vec& f, __m128i s, __m128i d, __m128i a) {
  __m128i o = _mm_setzero_si128();
  for (int c = 0; c < 3; ++c) {
    const __m128i dc = f.ch(d, c);
    const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(f.ch(s, c), dc), a), _mm_slli_epi16(dc, 8));
    o = _mm_or_si128(o, _mm_sll_epi16(_mm_srli_epi16(sum, 8), f.shift[c]));
  }
  const __m128i opaque = _mm_cmpeq_epi16(a, _mm_set1_epi16(255));
  return _mm_or_si128(_mm_and_si128(opaque, s), _mm_andnot_si128(opaque, o));
}

[[gnu::always_inline]] inline __m128i TablePQ16(const Fmt16Vec& f, __m128i s, __m128i d, __m128i p, __m128i q) {
  __m128i o = _mm_setzero_si128();
  for (int c = 0; c < 3; ++c) {
    const __m128i v = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(f.ch(s, c), p), 8),
                                    _mm_srli_epi16(_mm_mullo_epi16(f.ch(d, c), q), 8));
    o = _mm_or_si128(o, _mm_sll_epi16(v, f.shift[c]));
  }
  return o;
}

[[gnu::always_inline]] inline __m128i PlaneAlpha16(const Fmt16Vec& f, __m128i s, __m128i d, __m128i a, __m128i p,
                                                   __m128i q) {
  const __m128i blended = Chan16(f, s, d, _mm_srli_epi16(_mm_mullo_epi16(a, p), 8));
  const __m128i opaque = _mm_cmpeq_epi16(a, _mm_set1_epi16(255));
  return _mm_or_si128(_mm_and_si128(opaque, TablePQ16(f, s, d, p, q)), _mm_andnot_si128(opaque, blended));
}

inline __m128i MmxAlpha16(const Fmt16Vec& f, __m128i s, __m128i d, __m128i p, __m128i q) {
  __m128i o = _mm_setzero_si128();
  for (int c = 0; c < 3; ++c) {
    const __m128i v = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(f.ch(s, c), p), _mm_mullo_epi16(f.ch(d, c), q)), 8);
    o = _mm_or_si128(o, _mm_and_si128(_mm_sll_epi16(v, f.shift[c]), f.mask[c]));
  }
  return o;
}

inline __m128i MmxAdd16(const Fmt16Vec& f, __m128i s, __m128i d, __m128i p) {
  __m128i o = _mm_setzero_si128();
  for (int c = 0; c < 3; ++c) {
    const __m128i v = _mm_add_epi16(f.ch(d, c), _mm_srli_epi16(_mm_mullo_epi16(f.ch(s, c), p), 8));
    o = _mm_or_si128(o, _mm_sll_epi16(_mm_min_epi16(v, f.max[c]), f.shift[c]));
  }
  return o;
}

}  // namespace blit::simd
