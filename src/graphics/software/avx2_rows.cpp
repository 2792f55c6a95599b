// AVX2 forms of the busiest loops, mode 0 with an alpha plane on 32-bit screens, for processors that have it: the
// unscaled drawer's Field32 and the scaled drawer's Chan32, eight pixels at a time, bit-exact to the scalar forms.
#include <immintrin.h>

#include "graphics/software/avx2_rows.h"
#include "graphics/software/blend_formulas.h"
#include "graphics/software/pixel_rows.h"

namespace blit {

bool HaveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}

#pragma GCC push_options
#pragma GCC target("avx2")

namespace {

// The arithmetic of simd::Field32 in 256-bit lanes: a16 holds a | a << 16 in each pixel.
struct FieldBlend {
  static __m256i blend(__m256i s, __m256i d, __m256i a16) {
    const __m256i even = _mm256_set1_epi32(0x00FF00FF), low16 = _mm256_set1_epi32(0xFFFF);
    __m256i br = _mm256_mullo_epi16(_mm256_sub_epi16(_mm256_and_si256(s, even), _mm256_and_si256(d, even)), a16);
    br = _mm256_srli_epi16(_mm256_add_epi16(br, _mm256_slli_epi32(d, 8)), 8);
    __m256i g = _mm256_mullo_epi16(_mm256_sub_epi16(_mm256_srli_epi16(s, 8), _mm256_srli_epi16(d, 8)), a16);
    g = _mm256_srli_epi16(_mm256_add_epi16(g, _mm256_and_si256(d, low16)), 8);
    return _mm256_and_si256(_mm256_or_si256(br, _mm256_slli_epi16(g, 8)), _mm256_set1_epi32(0x00FFFFFF));
  }
  static uint32_t pixel(uint32_t s, uint32_t d, uint32_t a) { return Field32(s, d, a); }
};

// The arithmetic of simd::Chan32.
struct ChanBlend {
  static __m256i blend(__m256i s, __m256i d, __m256i a16) {
    const __m256i even = _mm256_set1_epi32(0x00FF00FF);
    const __m256i dbr = _mm256_and_si256(d, even), dg = _mm256_srli_epi16(d, 8);
    __m256i br = _mm256_mullo_epi16(_mm256_sub_epi16(_mm256_and_si256(s, even), dbr), a16);
    br = _mm256_srli_epi16(_mm256_add_epi16(br, _mm256_slli_epi16(dbr, 8)), 8);
    __m256i g = _mm256_mullo_epi16(_mm256_sub_epi16(_mm256_srli_epi16(s, 8), dg), a16);
    g = _mm256_srli_epi16(_mm256_add_epi16(g, _mm256_slli_epi16(dg, 8)), 8);
    return _mm256_and_si256(_mm256_or_si256(br, _mm256_slli_epi16(g, 8)), _mm256_set1_epi32(0x00FFFFFF));
  }
  static uint32_t pixel(uint32_t s, uint32_t d, uint32_t a) { return Chan32(s, d, a); }
};

// a = 255 copies s, a = 0 and key-coloured pixels are skipped, else Blend. A group of eight opaque pixels none of
// which is key-coloured is stored as it is, so a keyed draw keeps that shortcut.
template <class Blend>
void PlaneRows32(const Job& j, bool keyed, KeyTest key) {
  const __m256i zero = _mm256_setzero_si256(), full = _mm256_set1_epi32(255);
  const __m256i kmask = _mm256_set1_epi32(static_cast<int>(key.mask));
  const __m256i kval = _mm256_set1_epi32(static_cast<int>(key.key));
  const bool sameBg = j.bg == j.dst && j.bgPitch == j.dstPitch;
  for (int y = 0; y < j.h; ++y) {
    uint8_t* o = j.dst + y * j.dstPitch;
    const uint8_t* s = j.src + y * j.srcPitch;
    const uint8_t* d = j.bg + y * j.bgPitch;
    const uint8_t* a = j.alpha + y * j.alphaPitch;
    int x = 0;
    for (; x + 8 <= j.w; x += 8) {
      uint64_t bytes;
      std::memcpy(&bytes, a + x, 8);
      if (bytes == 0) continue;
      const __m256i sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 4 * x));
      __m256i* out = reinterpret_cast<__m256i*>(o + 4 * x);
      const __m256i hit = keyed ? _mm256_cmpeq_epi32(_mm256_and_si256(sv, kmask), kval) : zero;
      if (bytes == ~uint64_t{0} && (!keyed || _mm256_testz_si256(hit, hit))) {
        _mm256_storeu_si256(out, sv);
        continue;
      }
      const __m256i dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + 4 * x));
      const __m256i a32 = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<int64_t>(bytes)));
      const __m256i a16 = _mm256_or_si256(a32, _mm256_slli_epi32(a32, 16));
      const __m256i v = _mm256_blendv_epi8(Blend::blend(sv, dv, a16), sv, _mm256_cmpeq_epi32(a32, full));
      const __m256i skip = _mm256_or_si256(_mm256_cmpeq_epi32(a32, zero), hit);
      const __m256i old = sameBg ? dv : _mm256_loadu_si256(out);
      _mm256_storeu_si256(out, _mm256_blendv_epi8(v, old, skip));
    }
    auto fn = [](uint32_t sv, uint32_t dv, uint32_t av) { return av == 255 ? sv : Blend::pixel(sv, dv, av); };
    if (keyed) RowPixels<uint32_t, true, true>(o, s, d, a, x, j.w, key, fn);
    else RowPixels<uint32_t, false, true>(o, s, d, a, x, j.w, key, fn);
  }
}

}  // namespace

void FieldRows32Avx2(const Job& j, bool keyed, KeyTest key) { PlaneRows32<FieldBlend>(j, keyed, key); }
void ChanRows32Avx2(const Job& j, bool keyed, KeyTest key) { PlaneRows32<ChanBlend>(j, keyed, key); }

void GatherRow32Avx2(const uint32_t* s, const uint8_t* a, const int32_t* cols, const GatherPlan& plan, int w,
                     uint32_t* row, uint8_t* alphaRow) {
  int x = 0;
  for (int g = 0; x + 8 <= w; ++g, x += 8) {
    const int32_t base = plan.base[g];
    if (base == GatherPlan::kScattered) {
      for (int k = x; k < x + 8; ++k) row[k] = s[cols[k]];
      if (a != nullptr)
        for (int k = x; k < x + 8; ++k) alphaRow[k] = a[cols[k]];
      continue;
    }
    const __m256i rel = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(plan.rel + x));
    const __m256i near = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + base));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + x), _mm256_permutevar8x32_epi32(near, rel));
    if (a != nullptr) {
      const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + base));
      const __m128i order = _mm_cvtsi64_si128(static_cast<int64_t>(plan.relBytes[g]));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(alphaRow + x), _mm_shuffle_epi8(bytes, order));
    }
  }
  for (; x < w; ++x) {
    row[x] = s[cols[x]];
    if (a != nullptr) alphaRow[x] = a[cols[x]];
  }
}

#pragma GCC pop_options

}  // namespace blit
