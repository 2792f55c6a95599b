// The pixel loops of every blend nest, instantiated here once and handed to the drawers as values.
#include "graphics/software/rota_span.h"

namespace {

template <class R>
void TexLoop(const RotaBlendContext& c, uint8_t* dst, const uint8_t* bg, int64_t n, const RotaTexView& t, uint64_t u,
             int64_t du, uint64_t v, int64_t dv) {
  if constexpr (requires { R::kGathered; }) {
    RotaGatheredSpan(R::kLayout, R::kKey, c, dst, bg, n, t, u, du, v, dv);
  } else {
    constexpr int kB = R::kBytes;
    for (; n > 0; --n) {
      int64_t su = static_cast<int64_t>(u), sv = static_cast<int64_t>(v);
      int64_t iu = su < 0 ? 0 : su >> 18, iv = sv < 0 ? 0 : sv >> 18;
      const uint8_t* ap = nullptr;
      if constexpr (R::kPlane) ap = t.plane + iu + iv * t.planePitch;
      R::Px(c, dst, bg, t.bits + iu * kB + iv * t.pitch, ap);
      u += static_cast<uint64_t>(du);
      v += static_cast<uint64_t>(dv);
      dst += kB;
      bg += kB;
    }
  }
}

template <class R>
void FillLoop(const RotaBlendContext& c, uint8_t* dst, const uint8_t* bg, int64_t n, uint32_t term) {
  constexpr int kB = R::kBytes;
  for (; n > 0; --n) {
    R::Px(c, dst, bg, term);
    dst += kB;
    bg += kB;
  }
}

}  // namespace

RotaTexLoop RotaTexLoopOf(const RotaNest& nest) {
  RotaTexLoop loop;
  RotaVisitTexNest(nest, [&]<class R>() { loop = {R::kBytes, &TexLoop<R>}; });
  return loop;
}

RotaFillLoop RotaFillLoopOf(const RotaNest& nest) {
  RotaFillLoop loop;
  RotaVisitFillNest(nest, [&]<class R>() { loop = {R::kBytes, &R::Prepare, &FillLoop<R>}; });
  return loop;
}
