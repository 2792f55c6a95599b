// Unscaled graph drawing: the choice of loop by depth, blend mode, alpha plane, parameter, brightness, 16-bit layout,
// precision, MMX flag and key, taken once per call; each leaf is a RunRows instance with its formula.
#include "graphics/software/avx2_rows.h"
#include "graphics/software/blend_formulas.h"
#include "graphics/software/blit_loops.h"
#include "graphics/software/pixel_rows.h"
#include "graphics/software/simd_formulas.h"

namespace blit {

uint32_t ColourBits(const ColorFormat& screen) {
  if (screen.bitDepth == 8) return 0xFF;
  return screen.redMask | screen.greenMask | screen.blueMask;
}

Layout16 ClassifyLayout16(const ColorFormat& f) {
  if (f.redMask == 0xF800 && f.greenMask == 0x07E0 && f.blueMask == 0x001F) return Layout16::R5G6B5;
  if (f.redMask == 0x7C00 && f.greenMask == 0x03E0 && f.blueMask == 0x001F) return Layout16::X1R5G5B5;
  return Layout16::General;
}

void CopyPixels(const Job& j, int bpp, bool keyed, uint32_t key, uint32_t keyMask, bool simd) {
  const KeyTest kt{keyMask, key & keyMask};
  if (!keyed) {
    for (int y = 0; y < j.h; ++y) std::memmove(j.dst + y * j.dstPitch, j.src + y * j.srcPitch, size_t(j.w) * bpp);
    return;
  }
  auto copy = [](uint32_t s, uint32_t, uint32_t) { return s; };
  auto vcopy = [](__m128i s, __m128i, __m128i) { return s; };
  Job k = j;
  k.bg = j.dst;
  k.bgPitch = j.dstPitch;
  switch (bpp) {
    case 1: RunRows<uint8_t, true, false>(k, kt, copy); break;
    case 2:
      if (simd) RunRowsSimd<uint16_t, true, false>(k, kt, vcopy, copy);
      else RunRows<uint16_t, true, false>(k, kt, copy);
      break;
    case 4:
      if (simd) RunRowsSimd<uint32_t, true, false>(k, kt, vcopy, copy);
      else RunRows<uint32_t, true, false>(k, kt, copy);
      break;
    default: break;
  }
}

namespace {

// The three brightness rows and the parameter rows, taken once per call.
struct Rows {
  const uint32_t* bright[3];  // c: 0 blue, 1 green, 2 red
  const uint32_t* p;
  const uint32_t* q;
  Rows(const Settings& st, int qRow) {
    for (int c = 0; c < 3; ++c) bright[c] = st.mul + 256 * ((st.bright >> (8 * c)) & 0xFF);
    p = st.mul + 256 * st.param;
    q = st.mul + 256 * qRow;
  }
};

Outcome Unscaled32(const Job& j, const Settings& st) {
  const int p = st.param, q = (p + 1) >> 4;
  const bool lp = st.lowPrecision, plane = j.alpha != nullptr, bright = st.brightOn(), key = st.trans != 0;
  const KeyTest kt{ColourBits(*st.screen), st.key & ColourBits(*st.screen)};
  const Rows r(st, 256 - p);
  auto bri = [&](uint32_t s) {
    return Pack32(r.bright[2][Ch32(s, 2)], r.bright[1][Ch32(s, 1)], r.bright[0][Ch32(s, 0)]);
  };
  auto tabPQ = [&](uint32_t s, uint32_t d) {
    return Pack32(r.p[Ch32(s, 2)] + r.q[Ch32(d, 2)], r.p[Ch32(s, 1)] + r.q[Ch32(d, 1)],
                  r.p[Ch32(s, 0)] + r.q[Ch32(d, 0)]);
  };
  auto scaleP = [&](uint32_t s) { return Pack32(r.p[Ch32(s, 2)], r.p[Ch32(s, 1)], r.p[Ch32(s, 0)]); };
  auto run = [&](bool withPlane, auto fn) { RunRowsAny<uint32_t>(j, key, kt, withPlane, fn); };

  auto mode0 = [&]() -> Outcome {
    if (plane) {
      if (bright) {
        run(true, [&](uint32_t s, uint32_t d, uint32_t a) { return a == 255 ? bri(s) : Chan32(bri(s), d, a); });
      } else if (st.simd && st.avx2 && HaveAvx2()) {
        FieldRows32Avx2(j, key, kt);
      } else if (st.simd) {
        RunRowsSimdAny<uint32_t, true>(j, key, kt, true, [](__m128i s, __m128i d, __m128i a) { return simd::Field32(s, d, a); },
                                 [](uint32_t s, uint32_t d, uint32_t a) { return a == 255 ? s : Field32(s, d, a); });
      } else {
        run(true, [](uint32_t s, uint32_t d, uint32_t a) { return a == 255 ? s : Field32(s, d, a); });
      }
      return Outcome::Drawn;
    }
    if (!bright) return Outcome::HardwareCopy;
    if (lp) run(false, [&](uint32_t s, uint32_t, uint32_t) { return WeightBright32(s, st.bright); });
    else run(false, [&](uint32_t s, uint32_t, uint32_t) { return bri(s); });
    return Outcome::Drawn;
  };

  switch (st.blendMode) {
    case 0: return mode0();
    case 1: {
      if ((!lp && p == 0) || (lp && q == 0)) return Outcome::Nothing;
      const bool full = (!lp && p == 255) || (lp && q == 16);
      if (plane) {
        if (full) return mode0();
        if (bright) {
          run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
            const uint32_t ap = (a * p) >> 8;
            uint32_t v[3];
            for (int c = 0; c < 3; ++c) v[c] = (Ch32(d, c) * (255 - ap) + r.bright[c][Ch32(s, c)] * ap) >> 8;
            return Pack32(v[2], v[1], v[0]);
          });
        } else if (lp) {
          run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
            return a == 255 ? Weight32(s, q) + Weight32(d, 16 - q) : Field32(s, d, (a * p) >> 8);
          });
        } else {
          run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
            return a == 255 ? tabPQ(s, d) : Field32(s, d, (a * p) >> 8);
          });
        }
        return Outcome::Drawn;
      }
      if (bright) {
        if (full) return mode0();
        if (lp) run(false, [&](uint32_t s, uint32_t d, uint32_t) {
            return Weight32(WeightBright32(s, st.bright), q) + Weight32(d, 16 - q);
          });
        else run(false, [&](uint32_t s, uint32_t d, uint32_t) { return tabPQ(bri(s), d); });
        return Outcome::Drawn;
      }
      if (full) return Outcome::HardwareCopy;
      if (lp) {
        run(false, [&](uint32_t s, uint32_t d, uint32_t) { return Weight32(s, q) + Weight32(d, 16 - q); });
      } else if (st.mmx) {
        auto fn = [&](uint32_t s, uint32_t d, uint32_t) { return MmxAlpha32(s, d, p); };
        if (st.simd) {
          const __m128i vp = _mm_set1_epi16(static_cast<int16_t>(p)), vq = _mm_set1_epi16(static_cast<int16_t>(256 - p));
          RunRowsSimdAny<uint32_t>(j, key, kt, false, [&](__m128i s, __m128i d, __m128i) {
            return simd::MmxAlpha32(s, d, vp, vq); }, fn);
        } else {
          run(false, fn);
        }
      } else {
        run(false, [&](uint32_t s, uint32_t d, uint32_t) { return tabPQ(s, d); });
      }
      return Outcome::Drawn;
    }
    case 2:
    case 3: {
      if (p == 0 || (lp && q == 0)) return Outcome::Nothing;
      const bool add = st.blendMode == 2;
      auto combine = [add](uint32_t S, uint32_t d) { return add ? Add32(S, d) : Sub32(d, S); };
      if (plane) {
        if (bright) {
          run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
            const uint32_t ap = (a * p) >> 8;
            uint32_t v[3];
            for (int c = 0; c < 3; ++c) v[c] = (r.bright[c][Ch32(s, c)] * ap) >> 8;
            return combine(Pack32(v[2], v[1], v[0]), d);
          });
        } else {
          run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
            if (a == 255) return combine(scaleP(s), d);
            const uint32_t ap = (a * p) >> 8;
            return combine(Pack32((Ch32(s, 2) * ap) >> 8, (Ch32(s, 1) * ap) >> 8, (Ch32(s, 0) * ap) >> 8), d);
          });
        }
        return Outcome::Drawn;
      }
      if (lp) {
        if (bright) run(false, [&](uint32_t s, uint32_t d, uint32_t) {
            return combine(Weight32(WeightBright32(s, st.bright), q), d);
          });
        else run(false, [&](uint32_t s, uint32_t d, uint32_t) { return combine(Weight32(s, q), d); });
      } else if (bright) {
        run(false, [&](uint32_t s, uint32_t d, uint32_t) { return combine(scaleP(bri(s)), d); });
      } else if (add && st.mmx) {
        auto fn = [&](uint32_t s, uint32_t d, uint32_t) { return MmxAdd32(s, d, p); };
        if (st.simd) {
          const __m128i vp = _mm_set1_epi16(static_cast<int16_t>(p));
          RunRowsSimdAny<uint32_t>(j, key, kt, false, [&](__m128i s, __m128i d, __m128i) {
            return simd::MmxAdd32(s, d, vp); }, fn);
        } else {
          run(false, fn);
        }
      } else {
        run(false, [&](uint32_t s, uint32_t d, uint32_t) { return combine(scaleP(s), d); });
      }
      return Outcome::Drawn;
    }
    case 4: {
      auto fn = [&](uint32_t s, uint32_t d, uint32_t) {
        const uint32_t sb = bright ? bri(s) : s;
        return Pack32(Ch32(sb, 2) * Ch32(d, 2) / 255, Ch32(sb, 1) * Ch32(d, 1) / 255, Ch32(sb, 0) * Ch32(d, 0) / 255);
      };
      RunRows<uint32_t, false, false>(j, kt, fn);
      return Outcome::Drawn;
    }
    default: return Outcome::Nothing;
  }
}

Outcome Unscaled16(const Job& j, const Settings& st) {
  const Layout16 layout = ClassifyLayout16(*st.screen);
  const Fmt16 f = MakeFmt16(*st.screen, layout != Layout16::General);
  const bool general = layout == Layout16::General;
  const int p = st.param, q = (p + 1) >> 4;
  const bool lp = st.lowPrecision, key = st.trans != 0;
  // The general layout drops the alpha plane and the brightness in every mode.
  const bool plane = j.alpha != nullptr && !general, bright = st.brightOn() && !general;
  const KeyTest kt{ColourBits(*st.screen), st.key & ColourBits(*st.screen)};
  const Rows r(st, 255 - p);
  auto bri = [&](uint32_t s) {
    uint32_t v[3];
    for (int c = 0; c < 3; ++c) v[c] = r.bright[c][Ch16(f, s, c)];
    return Pack16(f, v);
  };
  auto tabP = [&](uint32_t s) {
    uint32_t v[3];
    for (int c = 0; c < 3; ++c) v[c] = r.p[Ch16(f, s, c)];
    return Pack16(f, v);
  };
  auto tabPQ = [&](uint32_t s, uint32_t d) {
    uint32_t v[3];
    for (int c = 0; c < 3; ++c) v[c] = r.p[Ch16(f, s, c)] + r.q[Ch16(f, d, c)];
    return Pack16(f, v);
  };
  auto times = [&](uint32_t s, uint32_t w) {
    uint32_t v[3];
    for (int c = 0; c < 3; ++c) v[c] = (Ch16(f, s, c) * w) >> 8;
    return Pack16(f, v);
  };
  auto run = [&](bool withPlane, auto fn) { RunRowsAny<uint16_t>(j, key, kt, withPlane, fn); };
  const simd::Fmt16Vec fv(f);

  auto mode0 = [&]() -> Outcome {
    if (general) return Outcome::HardwareCopy;
    if (plane) {
      if (bright) {
        run(true, [&](uint32_t s, uint32_t d, uint32_t a) { return a == 255 ? bri(s) : Chan16(f, bri(s), d, a); });
      } else if (st.simd) {
        RunRowsSimdAny<uint16_t, true>(j, key, kt, true, [&](__m128i s, __m128i d, __m128i a) {
          return simd::Field16(fv, s, d, a); },
          [&](uint32_t s, uint32_t d, uint32_t a) { return a == 255 ? s : Field16(f, s, d, a); });
      } else {
        run(true, [&](uint32_t s, uint32_t d, uint32_t a) { return a == 255 ? s : Field16(f, s, d, a); });
      }
      return Outcome::Drawn;
    }
    if (!bright) return Outcome::HardwareCopy;
    if (lp) run(false, [&](uint32_t s, uint32_t, uint32_t) { return WeightBright16(f, s, st.bright); });
    else run(false, [&](uint32_t s, uint32_t, uint32_t) { return bri(s); });
    return Outcome::Drawn;
  };

  switch (st.blendMode) {
    case 0: return mode0();
    case 1: {
      if (!lp && p == 0) return Outcome::Nothing;
      if (plane) {
        if (!lp && p == 255) return mode0();
        if (bright) {
          run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
            const uint32_t ap = (a * p) >> 8;
            uint32_t v[3];
            for (int c = 0; c < 3; ++c) v[c] = (Ch16(f, d, c) * (255 - ap) + r.bright[c][Ch16(f, s, c)] * ap) >> 8;
            return Pack16(f, v);
          });
        } else if (lp) {
          if (q == 16) return mode0();
          if (q == 0) return Outcome::Nothing;
          if (q == 8) run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
              return a == 255 ? ((s >> 1) & f.h[1]) + ((d >> 1) & f.h[1]) : Field16(f, s, d, a >> 1);
            });
          else run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
              return a == 255 ? (Weight16(f, s, q) + Weight16(f, d, 16 - q)) & 0xFFFF : Field16(f, s, d, (a * p) >> 8);
            });
        } else {
          run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
            return a == 255 ? tabPQ(s, d) : Field16(f, s, d, (a * p) >> 8);
          });
        }
        return Outcome::Drawn;
      }
      if (lp && q == 0) return Outcome::Nothing;
      const bool full = (!lp && p == 255) || (lp && q == 16);
      if (bright) {
        if (full) return mode0();
        if (lp) run(false, [&](uint32_t s, uint32_t d, uint32_t) {
            return (Weight16(f, WeightBright16(f, s, st.bright), q) + Weight16(f, d, 16 - q)) & 0xFFFF;
          });
        else run(false, [&](uint32_t s, uint32_t d, uint32_t) { return tabPQ(bri(s), d); });
        return Outcome::Drawn;
      }
      if (full) return Outcome::HardwareCopy;
      if (st.mmx && !lp) {
        auto fn = [&](uint32_t s, uint32_t d, uint32_t) { return MmxAlpha16(f, s, d, p); };
        if (st.simd) {
          const __m128i vp = _mm_set1_epi16(static_cast<int16_t>(p)), vq = _mm_set1_epi16(static_cast<int16_t>(255 - p));
          RunRowsSimdAny<uint16_t>(j, key, kt, false, [&](__m128i s, __m128i d, __m128i) {
            return simd::MmxAlpha16(fv, s, d, vp, vq); }, fn);
        } else {
          run(false, fn);
        }
      } else if (lp && !general) {
        if (q == 8) run(false, [&](uint32_t s, uint32_t d, uint32_t) {
            return ((s >> 1) & f.h[1]) + ((d >> 1) & f.h[1]);
          });
        else run(false, [&](uint32_t s, uint32_t d, uint32_t) {
            return (Weight16(f, s, q) + Weight16(f, d, 16 - q)) & 0xFFFF;
          });
      } else {
        run(false, [&](uint32_t s, uint32_t d, uint32_t) { return tabPQ(s, d); });
      }
      return Outcome::Drawn;
    }
    case 2:
    case 3: {
      const bool add = st.blendMode == 2;
      auto combine = [&](uint32_t S, uint32_t d) {
        if (general) return add ? AddGeneral16(f, S, d) : SubGeneral16(f, d, S);
        return add ? Add16(f, S, d) : Sub16(f, d, S);
      };
      auto combineHalf = [&](uint32_t S, uint32_t d) { return add ? AddHalf16(f, S, d) : SubHalf16(f, d, S); };
      if (plane) {
        if (p == 0) return Outcome::Nothing;
        if (bright) {
          run(true, [&](uint32_t s, uint32_t d, uint32_t a) { return combine(times(bri(s), (a * p) >> 8), d); });
        } else if (lp) {
          if (q == 0) return Outcome::Nothing;
          if (q == 16) run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
              return combine(a == 255 ? s : times(s, a), d);
            });
          else run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
              return combine(a == 255 ? Weight16(f, s, q) : times(s, (a * p) >> 8), d);
            });
        } else {
          run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
            return combine(a == 255 ? tabP(s) : times(s, (a * p) >> 8), d);
          });
        }
        return Outcome::Drawn;
      }
      if ((!lp && p == 0) || (lp && q == 0)) return Outcome::Nothing;
      if (bright) {
        if (lp) run(false, [&](uint32_t s, uint32_t d, uint32_t) {
            return combineHalf(Weight16(f, WeightBright16(f, s, st.bright), q), d);
          });
        else run(false, [&](uint32_t s, uint32_t d, uint32_t) { return combine(tabP(bri(s)), d); });
        return Outcome::Drawn;
      }
      if (add && st.mmx && !lp) {
        auto fn = [&](uint32_t s, uint32_t d, uint32_t) { return MmxAdd16(f, s, d, p); };
        if (st.simd) {
          const __m128i vp = _mm_set1_epi16(static_cast<int16_t>(p));
          RunRowsSimdAny<uint16_t>(j, key, kt, false, [&](__m128i s, __m128i d, __m128i) {
            return simd::MmxAdd16(fv, s, d, vp); }, fn);
        } else {
          run(false, fn);
        }
      } else if (lp && !general) {
        run(false, [&](uint32_t s, uint32_t d, uint32_t) { return combineHalf(p == 255 ? s : Weight16(f, s, q), d); });
      } else {
        run(false, [&](uint32_t s, uint32_t d, uint32_t) { return combine(tabP(s), d); });
      }
      return Outcome::Drawn;
    }
    case 4: {
      RunRows<uint16_t, false, false>(j, kt, [&](uint32_t s, uint32_t d, uint32_t) {
        const uint32_t sb = bright ? bri(s) : s;
        uint32_t v[3];
        for (int c = 0; c < 3; ++c) v[c] = Ch16(f, sb, c) * Ch16(f, d, c) / f.max[c];
        return Pack16(f, v);
      });
      return Outcome::Drawn;
    }
    case 8:
      run(false, [](uint32_t s, uint32_t d, uint32_t) { return s ^ d; });
      return Outcome::Drawn;
    default: return Outcome::Nothing;
  }
}

}  // namespace

Outcome DrawUnscaled(const Job& job, const Settings& given) {
  if (job.w <= 0 || job.h <= 0) return Outcome::Nothing;
  Settings st = given;
  st.param = st.param < 0 ? 0 : st.param > 255 ? 255 : st.param;
  switch (st.screen->bitDepth) {
    case 8: return Outcome::HardwareCopy;
    case 16: return Unscaled16(job, st);
    case 32: return Unscaled32(job, st);
    default: return Outcome::Nothing;
  }
}

}  // namespace blit
