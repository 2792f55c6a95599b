// The rotated drawer's and the triangle rasteriser's busiest nest, the copy through an alpha plane: a run of texels
// is gathered into a row, then blended by the blitter's vector rows (the scaled drawer's per-channel blend, which
// is this rule's formula), bit-exact to the per-pixel rule.
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "graphics/color_format.h"
#include "graphics/software/avx2_rows.h"
#include "graphics/software/blend_formulas.h"
#include "graphics/software/pixel_rows.h"
#include "graphics/software/rota_span.h"
#include "graphics/software/simd_formulas.h"

namespace {

constexpr int kPiece = 256;  // pixels gathered at a time

// Texels and plane bytes of m pixels from (u, v).
template <class P>
void Gather(const RotaTexView& t, uint64_t u, int64_t du, uint64_t v, int64_t dv, int m, P* row, uint8_t* alpha) {
  for (int k = 0; k < m; ++k) {
    const int64_t su = static_cast<int64_t>(u), sv = static_cast<int64_t>(v);
    const int64_t iu = su < 0 ? 0 : su >> 18, iv = sv < 0 ? 0 : sv >> 18;
    row[k] = blit::LoadPixel<P>(t.bits + iu * static_cast<int64_t>(sizeof(P)) + iv * t.pitch);
    alpha[k] = t.plane[iu + iv * t.planePitch];
    u += static_cast<uint64_t>(du);
    v += static_cast<uint64_t>(dv);
  }
}

// Whether every position and byte offset of the graph fits in 32-bit lanes: texel positions below 2^31 and the
// offsets of the last row within them.
bool FitsInLanes(const RotaTexView& t, int bytes) {
  constexpr int64_t kLane = int64_t{1} << 30;
  const int64_t rows = t.height, pitch = t.pitch < 0 ? -t.pitch : t.pitch;
  return t.width < (1u << 12) && t.height < (1u << 12) && t.pitch >= 0 && t.planePitch >= 0 &&
         rows * pitch + int64_t{t.width} * bytes < kLane && rows * t.planePitch + t.width < kLane;
}

#pragma GCC push_options
#pragma GCC target("avx2")

// Gather's work with the positions eight at a time in 32-bit lanes (FitsInLanes): texel and plane offsets come from
// the lanes; 32-bit texels are gathered by the processor, the rest loaded one at a time, and nothing outside the
// graph is read. The last group may be partial: only its first lanes are loaded.
template <class P>
void GatherInLanes(const RotaTexView& t, uint64_t u, int64_t du, uint64_t v, int64_t dv, int m, P* row,
                   uint8_t* alpha) {
  const __m256i steps = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  auto lanes = [&](uint64_t at, int64_t d) {
    return _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(at)),
                            _mm256_mullo_epi32(steps, _mm256_set1_epi32(static_cast<int32_t>(d))));
  };
  __m256i lu = lanes(u, du), lv = lanes(v, dv);
  const __m256i stepU = _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint64_t>(du) * 8));
  const __m256i stepV = _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint64_t>(dv) * 8));
  const __m256i pitch = _mm256_set1_epi32(static_cast<int32_t>(t.pitch));
  const __m256i planePitch = _mm256_set1_epi32(static_cast<int32_t>(t.planePitch));
  const __m256i zero = _mm256_setzero_si256();
  const uint8_t* const bits = t.bits;
  const uint8_t* const planeBits = t.plane;
  alignas(32) int32_t texel[8], plane[8];
  for (int k = 0; k < m; k += 8) {
    const int count = m - k < 8 ? m - k : 8;
    // A position just below 0 shifts to -1, read as texel 0 (the per-pixel rule takes it toward zero).
    const __m256i iu = _mm256_max_epi32(_mm256_srai_epi32(lu, 18), zero);
    const __m256i iv = _mm256_max_epi32(_mm256_srai_epi32(lv, 18), zero);
    const __m256i texelAt = sizeof(P) == 4 ? _mm256_slli_epi32(iu, 2) : _mm256_add_epi32(iu, iu);
    const __m256i texelOffset = _mm256_add_epi32(texelAt, _mm256_mullo_epi32(iv, pitch));
    _mm256_store_si256(reinterpret_cast<__m256i*>(plane), _mm256_add_epi32(iu, _mm256_mullo_epi32(iv, planePitch)));
    if constexpr (sizeof(P) == 4) {
      const __m256i wanted = _mm256_cmpgt_epi32(_mm256_set1_epi32(count), steps);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + k),
                          _mm256_mask_i32gather_epi32(zero, reinterpret_cast<const int*>(bits), texelOffset, wanted, 1));
    } else {
      _mm256_store_si256(reinterpret_cast<__m256i*>(texel), texelOffset);
    }
    // Whole groups in a loop of fixed length, which the compiler unrolls.
    auto load = [&](int lanesWanted) __attribute__((always_inline)) {
      for (int i = 0; i < lanesWanted; ++i) {
        if constexpr (sizeof(P) != 4) row[k + i] = blit::LoadPixel<P>(bits + texel[i]);
        alpha[k + i] = planeBits[plane[i]];
      }
    };
    if (count == 8)
      load(8);
    else
      load(count);
    lu = _mm256_add_epi32(lu, stepU);
    lv = _mm256_add_epi32(lv, stepV);
  }
}

#pragma GCC pop_options

// Gathers the span piece by piece and hands each piece to rows(job) as a one-row unscaled job: the whole groups of
// eight in place, the last few pixels in a group of eight copied out and back, the lanes past the span left out by
// a plane byte of 0, so every pixel goes through the vector rows.
template <class P, class Rows>
void GatherAndBlend(uint8_t* dst, const uint8_t* bg, int64_t n, const RotaTexView& t, uint64_t u, int64_t du,
                    uint64_t v, int64_t dv, Rows rows) {
  constexpr int kB = sizeof(P);
  const bool inLanes = blit::HaveAvx2() && FitsInLanes(t, kB);
  alignas(32) P row[kPiece + 8];
  alignas(32) uint8_t alpha[kPiece + 8];
  blit::Job j;
  j.h = 1;
  while (n > 0) {
    const int m = static_cast<int>(std::min<int64_t>(n, kPiece));
    if (inLanes)
      GatherInLanes<P>(t, u, du, v, dv, m, row, alpha);
    else
      Gather<P>(t, u, du, v, dv, m, row, alpha);
    u += static_cast<uint64_t>(du) * static_cast<uint64_t>(m);
    v += static_cast<uint64_t>(dv) * static_cast<uint64_t>(m);
    j.src = reinterpret_cast<const uint8_t*>(row);
    j.alpha = alpha;
    j.dst = dst;
    j.bg = bg;
    j.w = m;
    rows(j);
    dst += m * kB;
    bg += m * kB;
    n -= m;
  }
}

// A fixed 16-bit layout and its vector form, made once.
struct Layout16 {
  blit::Fmt16 f;
  blit::simd::Fmt16Vec v;
  explicit Layout16(uint32_t red, uint32_t green) : f(Make(red, green)), v(f) {}
  static blit::Fmt16 Make(uint32_t red, uint32_t green) {
    ColorFormat format{};
    ColorFormatFromMasks(&format, 16, red, green, 0x1F, 0);
    return blit::MakeFmt16(format, true);
  }
};

const Layout16& Fixed16(RotaLayout layout) {
  static const Layout16 k565(0xF800, 0x07E0), k555(0x7C00, 0x03E0);
  return layout == RotaLayout::R565 ? k565 : k555;
}

}  // namespace

void RotaGatheredSpan(RotaLayout layout, bool key, const RotaBlendContext& c, uint8_t* dst, const uint8_t* bg,
                      int64_t n, const RotaTexView& t, uint64_t u, int64_t du, uint64_t v, int64_t dv) {
  const blit::KeyTest kt{c.keyMask, c.key};
  if (layout == RotaLayout::X8R8G8B8) {
    if (blit::HaveAvx2()) {
      GatherAndBlend<uint32_t>(dst, bg, n, t, u, du, v, dv, [&](const blit::Job& j) { blit::ChanRows32Avx2(j, key, kt); });
      return;
    }
    auto vec = [](__m128i s, __m128i d, __m128i a) { return blit::simd::Chan32(s, d, a); };
    auto one = [](uint32_t s, uint32_t d, uint32_t a) { return a == 255 ? s : blit::Chan32(s, d, a); };
    GatherAndBlend<uint32_t>(dst, bg, n, t, u, du, v, dv, [&](const blit::Job& j) {
      blit::RunRowsSimdAny<uint32_t, true>(j, key, kt, true, vec, one);
    });
    return;
  }
  const Layout16& fixed = Fixed16(layout);
  const blit::Fmt16& f = fixed.f;
  const blit::simd::Fmt16Vec& fv = fixed.v;
  auto vec = [&fv](__m128i s, __m128i d, __m128i a) { return blit::simd::Chan16(fv, s, d, a); };
  auto one = [&f](uint32_t s, uint32_t d, uint32_t a) { return a == 255 ? s : blit::Chan16(f, s, d, a); };
  GatherAndBlend<uint16_t>(dst, bg, n, t, u, du, v, dv, [&](const blit::Job& j) {
    blit::RunRowsSimdAny<uint16_t, true>(j, key, kt, true, vec, one);
  });
}
