// One row of a textured span with fixed-point (18 fraction bits) texel stepping, shared by the rotated drawer
// and the triangle rasteriser. Instead of testing every pixel's texel against the graph, each row works out the
// run of pixels whose texel lies inside and runs the rule over that run alone: the same pixels, no test inside,
// and no arithmetic that can wrap however far the steps reach. The nests' loops are values the drawers pick once
// per call: instantiated once, in one unit, rather than inlined into each drawer's walk (which built slowly).
#pragma once
#include <cstdint>

#include "graphics/software/rota_blend.h"

// A locked surface as the loops see it.
struct RotaSurfaceView {
  uint8_t* bits = nullptr;
  int64_t pitch = 0;
};

// The graph's pixels from its texel 0,0, and its alpha plane from the same texel (null without one).
struct RotaTexView {
  const uint8_t* bits = nullptr;
  int64_t pitch = 0;
  uint32_t width = 0, height = 0;
  const uint8_t* plane = nullptr;
  int64_t planePitch = 0;
};

namespace rotaspan {

using Wide = __int128;

template <class T>
inline T FloorDiv(T n, T d) {  // d > 0
  T q = n / d;
  return (n % d != 0 && n < 0) ? q - 1 : q;
}
template <class T>
inline T CeilDiv(T n, T d) {  // d > 0
  T q = n / d;
  return (n % d != 0 && n > 0) ? q + 1 : q;
}

// Division by one positive divisor d, exact in T.
template <class T>
struct ExactDivisor {
  T d;
  T Floor(T n) const { return FloorDiv<T>(n, d); }
  T Ceil(T n) const { return CeilDiv<T>(n, d); }
};

// The same for operands below 2^50 without a division instruction per quotient: the product with the reciprocal is
// within two of the quotient, and the remainder's correction makes it exact.
struct ReciprocalDivisor {
  int64_t d;
  double inverse;
  int64_t Floor(int64_t n) const {
    int64_t q = static_cast<int64_t>(static_cast<double>(n) * inverse);
    int64_t r = n - q * d;
    for (; r < 0; r += d) --q;
    for (; r >= d; r -= d) ++q;
    return q;
  }
  int64_t Ceil(int64_t n) const { return -Floor(-n); }
};

// Narrows [n0, n1) to the n with lo < a + n * d < hi, working in T (which holds a - hi, hi - a, a - lo, lo - a);
// divisor(e) divides by e = |d|.
template <class T, class MakeDivisor>
inline void NarrowIn(T a, T d, T lo, T hi, Wide& n0, Wide& n1, MakeDivisor divisor) {
  if (d == 0) {
    if (!(lo < a && a < hi)) n1 = n0;
    return;
  }
  T first, end;
  if (d > 0) {
    const auto div = divisor(d);
    first = div.Floor(lo - a) + 1;
    end = div.Ceil(hi - a);
  } else {
    const auto div = divisor(-d);
    first = div.Floor(a - hi) + 1;
    end = div.Ceil(a - lo);
  }
  if (first > n0) n0 = first;
  if (end < n1) n1 = end;
}

// The same by reciprocals where the operands allow (every draw of a sane size), else exactly in 64 or 128 bits.
inline void Narrow(Wide a, int64_t d, Wide lo, Wide hi, Wide& n0, Wide& n1) {
  auto within = [&](Wide limit) { return a > -limit && a < limit && lo > -limit && lo < limit && hi > -limit && hi < limit; };
  constexpr int64_t kSmall = int64_t{1} << 48;
  if (within(kSmall) && d > -kSmall && d < kSmall)
    NarrowIn<int64_t>(static_cast<int64_t>(a), d, static_cast<int64_t>(lo), static_cast<int64_t>(hi), n0, n1,
                      [](int64_t e) { return ReciprocalDivisor{e, 1.0 / static_cast<double>(e)}; });
  else if (within(Wide{1} << 61) && d > INT64_MIN)
    NarrowIn<int64_t>(static_cast<int64_t>(a), d, static_cast<int64_t>(lo), static_cast<int64_t>(hi), n0, n1,
                      [](int64_t e) { return ExactDivisor<int64_t>{e}; });
  else
    NarrowIn<Wide>(a, d, lo, hi, n0, n1, [](Wide e) { return ExactDivisor<Wide>{e}; });
}

}  // namespace rotaspan

// Runs the copy through the alpha plane (key tested when key) over the n pixels from dst and bg, whose texel
// positions start at (u, v), lie inside the graph and step by (du, dv): gathered in pieces, then blended by the
// vector rows.
void RotaGatheredSpan(RotaLayout layout, bool key, const RotaBlendContext& c, uint8_t* dst, const uint8_t* bg,
                      int64_t n, const RotaTexView& t, uint64_t u, int64_t du, uint64_t v, int64_t dv);

// A textured nest's pixel loop: the n pixels from dst and bg whose texel positions start at (u, v), lie inside the
// graph and step by (du, dv).
struct RotaTexLoop {
  int bytes = 0;  // per pixel
  void (*run)(const RotaBlendContext& c, uint8_t* dst, const uint8_t* bg, int64_t n, const RotaTexView& t, uint64_t u,
              int64_t du, uint64_t v, int64_t dv) = nullptr;
};

// A one-colour nest's loop: prepare makes the source term of a colour once, run meets it with n background pixels.
struct RotaFillLoop {
  int bytes = 0;  // per pixel
  uint32_t (*prepare)(const RotaBlendContext& c, uint32_t colour) = nullptr;
  void (*run)(const RotaBlendContext& c, uint8_t* dst, const uint8_t* bg, int64_t n, uint32_t term) = nullptr;
};

// The loops of a nest, instantiated once for every drawer (rota_span.cpp); run is null when the nest draws nothing.
RotaTexLoop RotaTexLoopOf(const RotaNest& nest);
RotaFillLoop RotaFillLoopOf(const RotaNest& nest);

// Runs the loop over the pixels 0 .. count-1 of a row whose texel position starts at (u, v) and steps by (du, dv);
// a pixel is drawn when lo < u < width << 18 and lo < v < height << 18 (lo is -2^18 where the whole texel is
// taken toward zero, -1 where it is taken by a shift).
inline void RotaTexSpan(const RotaTexLoop& loop, const RotaBlendContext& c, uint8_t* dst, const uint8_t* bg,
                        int64_t count, const RotaTexView& t, rotaspan::Wide u, int64_t du, rotaspan::Wide v,
                        int64_t dv, rotaspan::Wide lo) {
  using rotaspan::Wide;
  Wide n0 = 0, n1 = count;
  rotaspan::Narrow(u, du, lo, static_cast<Wide>(t.width) << 18, n0, n1);
  rotaspan::Narrow(v, dv, lo, static_cast<Wide>(t.height) << 18, n0, n1);
  if (n0 >= n1) return;
  int64_t first = static_cast<int64_t>(n0);
  loop.run(c, dst + first * loop.bytes, bg + first * loop.bytes, static_cast<int64_t>(n1 - n0), t,
           static_cast<uint64_t>(static_cast<int64_t>(u + n0 * du)), du,
           static_cast<uint64_t>(static_cast<int64_t>(v + n0 * dv)), dv);
}
