// Row drivers that the blitter's loops are generated from: one template per walk (unscaled, SSE2, scaled),
// specialised at compile time by pixel size, key test and alpha plane, with the per-pixel formula as a functor.
#pragma once
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "graphics/software/blit_loops.h"

namespace blit {

template <class P>
inline P LoadPixel(const uint8_t* p) {
  P v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <class P>
inline void StorePixel(uint8_t* p, uint32_t v) {
  const P x = static_cast<P>(v);
  std::memcpy(p, &x, sizeof x);
}

// The key test: only the screen's colour bits are compared.
struct KeyTest {
  uint32_t mask, key;
  bool hit(uint32_t s) const { return (s & mask) == key; }
};

// Pixels x0..x1-1 of one row: fn(s, d, a) -> the pixel to write; skipped pixels (key, a = 0) are not written.
template <class P, bool Key, bool Plane, class Fn>
inline void RowPixels(uint8_t* o, const uint8_t* s, const uint8_t* d, const uint8_t* a, int x0, int x1, KeyTest key,
                      Fn& fn) {
  for (int x = x0; x < x1; ++x) {
    const uint32_t sv = LoadPixel<P>(s + x * sizeof(P));
    if (Key && key.hit(sv)) continue;
    uint32_t av = 255;
    if constexpr (Plane) {
      av = a[x];
      if (av == 0) continue;
    }
    StorePixel<P>(o + x * sizeof(P), fn(sv, static_cast<uint32_t>(LoadPixel<P>(d + x * sizeof(P))), av));
  }
}

template <class P, bool Key, bool Plane, class Fn>
void RunRows(const Job& j, KeyTest key, Fn fn) {
  for (int y = 0; y < j.h; ++y)
    RowPixels<P, Key, Plane>(j.dst + y * j.dstPitch, j.src + y * j.srcPitch, j.bg + y * j.bgPitch,
                             Plane ? j.alpha + y * j.alphaPitch : nullptr, 0, j.w, key, fn);
}

template <class P, class Fn>
void RunRowsAny(const Job& j, bool key, KeyTest kt, bool plane, Fn fn) {
  if (key) {
    if (plane) RunRows<P, true, true>(j, kt, fn);
    else RunRows<P, true, false>(j, kt, fn);
  } else {
    if (plane) RunRows<P, false, true>(j, kt, fn);
    else RunRows<P, false, false>(j, kt, fn);
  }
}

// SSE2 walk: 16 bytes of pixels per step (4 of 32 bits, 8 of 16 bits); vec(s, d, a) gets the alpha bytes widened
// to the pixel size (for 32-bit pixels each lane holds a | a << 16); the write mask comes from the key and a = 0;
// row tails run the scalar formula. Pixels whose alpha bytes are all 0 are not touched; with OpaqueCopies (formulas
// that give s at a = 255) pixels whose alpha bytes are all 255 and none of which is key-coloured take the source
// without blending. 32-bit pixels with a plane go eight at a time.
template <class P, bool Key, bool Plane, class Vec, class Fn, bool OpaqueCopies = false>
void RunRowsSimd(const Job& j, KeyTest key, Vec vec, Fn fn) {
  constexpr int n = 16 / sizeof(P);
  const __m128i zero = _mm_setzero_si128();
  const __m128i kmask = sizeof(P) == 4 ? _mm_set1_epi32(static_cast<int>(key.mask))
                                       : _mm_set1_epi16(static_cast<int16_t>(key.mask));
  const __m128i kval = sizeof(P) == 4 ? _mm_set1_epi32(static_cast<int>(key.key))
                                      : _mm_set1_epi16(static_cast<int16_t>(key.key));
  const bool sameBg = j.bg == j.dst && j.bgPitch == j.dstPitch;  // skipped lanes keep the background as read
  const int w = j.w;
  for (int y = 0; y < j.h; ++y) {
    uint8_t* o = j.dst + y * j.dstPitch;
    const uint8_t* s = j.src + y * j.srcPitch;
    const uint8_t* d = j.bg + y * j.bgPitch;
    const uint8_t* a = Plane ? j.alpha + y * j.alphaPitch : nullptr;
    // One step of n pixels at x; av holds the alpha bytes widened to the pixel size.
    auto step = [&](int x, __m128i av, bool opaque) __attribute__((always_inline)) {
      const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x * sizeof(P)));
      __m128i* out = reinterpret_cast<__m128i*>(o + x * sizeof(P));
      __m128i hit = zero;
      if constexpr (Key)
        hit = sizeof(P) == 4 ? _mm_cmpeq_epi32(_mm_and_si128(sv, kmask), kval)
                             : _mm_cmpeq_epi16(_mm_and_si128(sv, kmask), kval);
      // Opaque pixels none of which is key-coloured take the source as it is.
      if (opaque && (!Key || _mm_movemask_epi8(hit) == 0)) {
        _mm_storeu_si128(out, sv);
        return;
      }
      const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + x * sizeof(P)));
      __m128i skip = hit;
      if constexpr (Plane)
        skip = _mm_or_si128(skip, sizeof(P) == 4 ? _mm_cmpeq_epi32(av, zero) : _mm_cmpeq_epi16(av, zero));
      if constexpr (Key)
        if (_mm_movemask_epi8(skip) == 0xFFFF) return;
      __m128i v = opaque ? sv : vec(sv, dv, av);
      if constexpr (Key || Plane) {
        const __m128i old = sameBg ? dv : _mm_loadu_si128(out);
        v = _mm_or_si128(_mm_and_si128(skip, old), _mm_andnot_si128(skip, v));
      }
      _mm_storeu_si128(out, v);
    };
    int x = 0;
    if constexpr (Plane && sizeof(P) == 4) {
      for (; x + 8 <= w; x += 8) {
        uint64_t bytes;
        std::memcpy(&bytes, a + x, 8);
        if (bytes == 0) continue;
        const __m128i a16 = _mm_unpacklo_epi8(_mm_cvtsi64_si128(static_cast<int64_t>(bytes)), zero);
        const uint32_t lo = static_cast<uint32_t>(bytes), hi = static_cast<uint32_t>(bytes >> 32);
        if (lo != 0) step(x, _mm_unpacklo_epi16(a16, a16), OpaqueCopies && lo == 0xFFFFFFFF);
        if (hi != 0) step(x + 4, _mm_unpackhi_epi16(a16, a16), OpaqueCopies && hi == 0xFFFFFFFF);
      }
    }
    for (; x + n <= w; x += n) {
      __m128i av = zero;
      bool opaque = false;
      if constexpr (Plane) {
        if constexpr (sizeof(P) == 4) {
          uint32_t bytes;
          std::memcpy(&bytes, a + x, 4);
          if (bytes == 0) continue;
          opaque = OpaqueCopies && bytes == 0xFFFFFFFF;
          const __m128i a16 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(bytes)), zero);
          av = _mm_unpacklo_epi16(a16, a16);
        } else {
          uint64_t bytes;
          std::memcpy(&bytes, a + x, 8);
          if (bytes == 0) continue;
          opaque = OpaqueCopies && bytes == ~uint64_t{0};
          av = _mm_unpacklo_epi8(_mm_cvtsi64_si128(static_cast<int64_t>(bytes)), zero);
        }
      }
      step(x, av, opaque);
    }
    RowPixels<P, Key, Plane>(o, s, d, a, x, w, key, fn);
  }
}

template <class P, bool OpaqueCopies = false, class Vec, class Fn>
void RunRowsSimdAny(const Job& j, bool key, KeyTest kt, bool plane, Vec vec, Fn fn) {
  if (key) {
    if (plane) RunRowsSimd<P, true, true, Vec, Fn, OpaqueCopies>(j, kt, vec, fn);
    else RunRowsSimd<P, true, false, Vec, Fn, OpaqueCopies>(j, kt, vec, fn);
  } else {
    if (plane) RunRowsSimd<P, false, true, Vec, Fn, OpaqueCopies>(j, kt, vec, fn);
    else RunRowsSimd<P, false, false, Vec, Fn, OpaqueCopies>(j, kt, vec, fn);
  }
}

}  // namespace blit
