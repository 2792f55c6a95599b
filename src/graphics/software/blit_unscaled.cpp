// Unscaled graph drawing: the choice of loop nest by depth, blend mode, alpha plane, parameter, brightness, 16-bit
// layout, precision, MMX flag and key, taken once per call as a value; each nest is a RunRows instance with its formula.
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

Settings Clamped(const Settings& given) {
  Settings st = given;
  st.param = st.param < 0 ? 0 : st.param > 255 ? 255 : st.param;
  return st;
}

Nest Drawn(int mode, bool plane, Var var, bool key) { return Nest{Outcome::Drawn, mode, plane, var, key}; }
constexpr Nest kNothing{Outcome::Nothing};
constexpr Nest kCopy{Outcome::HardwareCopy};

// The copy mode's nest (also what alpha at its full parameter turns into).
Nest Mode0(bool plane, bool bright, bool lp, bool key) {
  if (plane) return Drawn(0, true, bright ? Var::Bright : Var::Plain, key);
  if (!bright) return kCopy;
  return Drawn(0, false, lp ? Var::LowBright : Var::Bright, key);
}

Nest Choose32(const Settings& st, bool plane) {
  const int p = st.param, q = (p + 1) >> 4;
  const bool lp = st.lowPrecision, bright = st.brightOn(), key = st.trans != 0;
  auto mode0 = [&] { return Mode0(plane, bright, lp, key); };
  switch (st.blendMode) {
    case 0: return mode0();
    case 1: {
      if ((!lp && p == 0) || (lp && q == 0)) return kNothing;
      const bool full = (!lp && p == 255) || (lp && q == 16);
      if (full) return plane || bright ? mode0() : kCopy;
      if (plane) return Drawn(1, true, bright ? Var::Bright : lp ? Var::Low : Var::Plain, key);
      if (bright) return Drawn(1, false, lp ? Var::LowBright : Var::Bright, key);
      return Drawn(1, false, lp ? Var::Low : st.mmx ? Var::Mmx : Var::Plain, key);
    }
    case 2:
    case 3: {
      const int mode = st.blendMode;
      if (p == 0 || (lp && q == 0)) return kNothing;
      if (plane) return Drawn(mode, true, bright ? Var::Bright : Var::Plain, key);
      if (lp) return Drawn(mode, false, bright ? Var::LowBright : Var::Low, key);
      if (bright) return Drawn(mode, false, Var::Bright, key);
      return Drawn(mode, false, mode == 2 && st.mmx ? Var::Mmx : Var::Plain, key);
    }
    case 4: return Drawn(4, false, bright ? Var::Bright : Var::Plain, false);
    default: return kNothing;
  }
}

Nest Choose16(const Settings& st, bool hasPlane) {
  const bool general = ClassifyLayout16(*st.screen) == Layout16::General;
  const int p = st.param, q = (p + 1) >> 4;
  const bool lp = st.lowPrecision, key = st.trans != 0;
  // The general layout drops the alpha plane and the brightness in every mode.
  const bool plane = hasPlane && !general, bright = st.brightOn() && !general;
  auto mode0 = [&] { return Mode0(plane, bright, lp, key); };  // the general layout copies
  switch (st.blendMode) {
    case 0: return mode0();
    case 1: {
      if (!lp && p == 0) return kNothing;
      if (plane) {
        if (!lp && p == 255) return mode0();
        if (bright) return Drawn(1, true, Var::Bright, key);
        if (lp) {
          if (q == 16) return mode0();
          if (q == 0) return kNothing;
          return Drawn(1, true, q == 8 ? Var::LowSpecial : Var::Low, key);
        }
        return Drawn(1, true, Var::Plain, key);
      }
      if (lp && q == 0) return kNothing;
      const bool full = (!lp && p == 255) || (lp && q == 16);
      if (bright) return full ? mode0() : Drawn(1, false, lp ? Var::LowBright : Var::Bright, key);
      if (full) return kCopy;
      if (st.mmx && !lp) return Drawn(1, false, Var::Mmx, key);
      if (lp && !general) return Drawn(1, false, q == 8 ? Var::LowSpecial : Var::Low, key);
      return Drawn(1, false, Var::Plain, key);
    }
    case 2:
    case 3: {
      const int mode = st.blendMode;
      if (plane) {
        if (p == 0) return kNothing;
        if (bright) return Drawn(mode, true, Var::Bright, key);
        if (lp) {
          if (q == 0) return kNothing;
          return Drawn(mode, true, q == 16 ? Var::LowSpecial : Var::Low, key);
        }
        return Drawn(mode, true, Var::Plain, key);
      }
      if ((!lp && p == 0) || (lp && q == 0)) return kNothing;
      if (bright) return Drawn(mode, false, lp ? Var::LowBright : Var::Bright, key);
      if (mode == 2 && st.mmx && !lp) return Drawn(mode, false, Var::Mmx, key);
      return Drawn(mode, false, lp && !general ? Var::Low : Var::Plain, key);
    }
    case 4: return Drawn(4, false, bright ? Var::Bright : Var::Plain, false);
    case 8: return Drawn(8, false, Var::Plain, key);
    default: return kNothing;
  }
}

void Run32(const Job& j, const Settings& st, const Nest& n) {
  const int p = st.param, q = (p + 1) >> 4;
  const bool key = n.key;
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

  switch (n.mode) {
    case 0:
      if (!n.plane) {
        if (n.var == Var::LowBright) run(false, [&](uint32_t s, uint32_t, uint32_t) { return WeightBright32(s, st.bright); });
        else run(false, [&](uint32_t s, uint32_t, uint32_t) { return bri(s); });
      } else if (n.var == Var::Bright) {
        run(true, [&](uint32_t s, uint32_t d, uint32_t a) { return a == 255 ? bri(s) : Chan32(bri(s), d, a); });
      } else if (st.simd && st.avx2 && HaveAvx2()) {
        FieldRows32Avx2(j, key, kt);
      } else if (st.simd) {
        RunRowsSimdAny<uint32_t, true>(j, key, kt, true, [](__m128i s, __m128i d, __m128i a) { return simd::Field32(s, d, a); },
                                 [](uint32_t s, uint32_t d, uint32_t a) { return a == 255 ? s : Field32(s, d, a); });
      } else {
        run(true, [](uint32_t s, uint32_t d, uint32_t a) { return a == 255 ? s : Field32(s, d, a); });
      }
      return;
    case 1:
      if (n.plane) {
        if (n.var == Var::Bright) {
          run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
            const uint32_t ap = (a * p) >> 8;
            uint32_t v[3];
            for (int c = 0; c < 3; ++c) v[c] = (Ch32(d, c) * (255 - ap) + r.bright[c][Ch32(s, c)] * ap) >> 8;
            return Pack32(v[2], v[1], v[0]);
          });
        } else if (n.var == Var::Low) {
          run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
            return a == 255 ? Weight32(s, q) + Weight32(d, 16 - q) : Field32(s, d, (a * p) >> 8);
          });
        } else {
          run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
            return a == 255 ? tabPQ(s, d) : Field32(s, d, (a * p) >> 8);
          });
        }
        return;
      }
      switch (n.var) {
        case Var::LowBright:
          run(false, [&](uint32_t s, uint32_t d, uint32_t) {
            return Weight32(WeightBright32(s, st.bright), q) + Weight32(d, 16 - q);
          });
          return;
        case Var::Bright: run(false, [&](uint32_t s, uint32_t d, uint32_t) { return tabPQ(bri(s), d); }); return;
        case Var::Low:
          run(false, [&](uint32_t s, uint32_t d, uint32_t) { return Weight32(s, q) + Weight32(d, 16 - q); });
          return;
        case Var::Mmx: {
          auto fn = [&](uint32_t s, uint32_t d, uint32_t) { return MmxAlpha32(s, d, p); };
          if (st.simd) {
            const __m128i vp = _mm_set1_epi16(static_cast<int16_t>(p)), vq = _mm_set1_epi16(static_cast<int16_t>(256 - p));
            RunRowsSimdAny<uint32_t>(j, key, kt, false, [&](__m128i s, __m128i d, __m128i) {
              return simd::MmxAlpha32(s, d, vp, vq); }, fn);
          } else {
            run(false, fn);
          }
          return;
        }
        default: run(false, [&](uint32_t s, uint32_t d, uint32_t) { return tabPQ(s, d); }); return;
      }
    case 2:
    case 3: {
      const bool add = n.mode == 2;
      auto combine = [add](uint32_t S, uint32_t d) { return add ? Add32(S, d) : Sub32(d, S); };
      if (n.plane) {
        if (n.var == Var::Bright) {
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
        return;
      }
      switch (n.var) {
        case Var::LowBright:
          run(false, [&](uint32_t s, uint32_t d, uint32_t) {
            return combine(Weight32(WeightBright32(s, st.bright), q), d);
          });
          return;
        case Var::Low: run(false, [&](uint32_t s, uint32_t d, uint32_t) { return combine(Weight32(s, q), d); }); return;
        case Var::Bright:
          run(false, [&](uint32_t s, uint32_t d, uint32_t) { return combine(scaleP(bri(s)), d); });
          return;
        case Var::Mmx: {
          auto fn = [&](uint32_t s, uint32_t d, uint32_t) { return MmxAdd32(s, d, p); };
          if (st.simd) {
            const __m128i vp = _mm_set1_epi16(static_cast<int16_t>(p));
            RunRowsSimdAny<uint32_t>(j, key, kt, false, [&](__m128i s, __m128i d, __m128i) {
              return simd::MmxAdd32(s, d, vp); }, fn);
          } else {
            run(false, fn);
          }
          return;
        }
        default: run(false, [&](uint32_t s, uint32_t d, uint32_t) { return combine(scaleP(s), d); }); return;
      }
    }
    case 4: {
      const bool bright = n.var == Var::Bright;
      auto fn = [&](uint32_t s, uint32_t d, uint32_t) {
        const uint32_t sb = bright ? bri(s) : s;
        return Pack32(Ch32(sb, 2) * Ch32(d, 2) / 255, Ch32(sb, 1) * Ch32(d, 1) / 255, Ch32(sb, 0) * Ch32(d, 0) / 255);
      };
      RunRows<uint32_t, false, false>(j, kt, fn);
      return;
    }
    default: return;
  }
}

void Run16(const Job& j, const Settings& st, const Nest& n) {
  const Layout16 layout = ClassifyLayout16(*st.screen);
  const Fmt16 f = MakeFmt16(*st.screen, layout != Layout16::General);
  const bool general = layout == Layout16::General;
  const int p = st.param, q = (p + 1) >> 4;
  const bool key = n.key;
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

  switch (n.mode) {
    case 0:
      if (!n.plane) {
        if (n.var == Var::LowBright) run(false, [&](uint32_t s, uint32_t, uint32_t) { return WeightBright16(f, s, st.bright); });
        else run(false, [&](uint32_t s, uint32_t, uint32_t) { return bri(s); });
      } else if (n.var == Var::Bright) {
        run(true, [&](uint32_t s, uint32_t d, uint32_t a) { return a == 255 ? bri(s) : Chan16(f, bri(s), d, a); });
      } else if (st.simd) {
        RunRowsSimdAny<uint16_t, true>(j, key, kt, true, [&](__m128i s, __m128i d, __m128i a) {
          return simd::Field16(fv, s, d, a); },
          [&](uint32_t s, uint32_t d, uint32_t a) { return a == 255 ? s : Field16(f, s, d, a); });
      } else {
        run(true, [&](uint32_t s, uint32_t d, uint32_t a) { return a == 255 ? s : Field16(f, s, d, a); });
      }
      return;
    case 1:
      if (n.plane) {
        switch (n.var) {
          case Var::Bright:
            run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
              const uint32_t ap = (a * p) >> 8;
              uint32_t v[3];
              for (int c = 0; c < 3; ++c) v[c] = (Ch16(f, d, c) * (255 - ap) + r.bright[c][Ch16(f, s, c)] * ap) >> 8;
              return Pack16(f, v);
            });
            return;
          case Var::LowSpecial:
            run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
              return a == 255 ? ((s >> 1) & f.h[1]) + ((d >> 1) & f.h[1]) : Field16(f, s, d, a >> 1);
            });
            return;
          case Var::Low:
            run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
              return a == 255 ? (Weight16(f, s, q) + Weight16(f, d, 16 - q)) & 0xFFFF : Field16(f, s, d, (a * p) >> 8);
            });
            return;
          default:
            run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
              return a == 255 ? tabPQ(s, d) : Field16(f, s, d, (a * p) >> 8);
            });
            return;
        }
      }
      switch (n.var) {
        case Var::LowBright:
          run(false, [&](uint32_t s, uint32_t d, uint32_t) {
            return (Weight16(f, WeightBright16(f, s, st.bright), q) + Weight16(f, d, 16 - q)) & 0xFFFF;
          });
          return;
        case Var::Bright: run(false, [&](uint32_t s, uint32_t d, uint32_t) { return tabPQ(bri(s), d); }); return;
        case Var::Mmx: {
          auto fn = [&](uint32_t s, uint32_t d, uint32_t) { return MmxAlpha16(f, s, d, p); };
          if (st.simd) {
            const __m128i vp = _mm_set1_epi16(static_cast<int16_t>(p)), vq = _mm_set1_epi16(static_cast<int16_t>(255 - p));
            RunRowsSimdAny<uint16_t>(j, key, kt, false, [&](__m128i s, __m128i d, __m128i) {
              return simd::MmxAlpha16(fv, s, d, vp, vq); }, fn);
          } else {
            run(false, fn);
          }
          return;
        }
        case Var::LowSpecial:
          run(false, [&](uint32_t s, uint32_t d, uint32_t) { return ((s >> 1) & f.h[1]) + ((d >> 1) & f.h[1]); });
          return;
        case Var::Low:
          run(false, [&](uint32_t s, uint32_t d, uint32_t) {
            return (Weight16(f, s, q) + Weight16(f, d, 16 - q)) & 0xFFFF;
          });
          return;
        default: run(false, [&](uint32_t s, uint32_t d, uint32_t) { return tabPQ(s, d); }); return;
      }
    case 2:
    case 3: {
      const bool add = n.mode == 2;
      auto combine = [&](uint32_t S, uint32_t d) {
        if (general) return add ? AddGeneral16(f, S, d) : SubGeneral16(f, d, S);
        return add ? Add16(f, S, d) : Sub16(f, d, S);
      };
      auto combineHalf = [&](uint32_t S, uint32_t d) { return add ? AddHalf16(f, S, d) : SubHalf16(f, d, S); };
      if (n.plane) {
        switch (n.var) {
          case Var::Bright:
            run(true, [&](uint32_t s, uint32_t d, uint32_t a) { return combine(times(bri(s), (a * p) >> 8), d); });
            return;
          case Var::LowSpecial:
            run(true, [&](uint32_t s, uint32_t d, uint32_t a) { return combine(a == 255 ? s : times(s, a), d); });
            return;
          case Var::Low:
            run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
              return combine(a == 255 ? Weight16(f, s, q) : times(s, (a * p) >> 8), d);
            });
            return;
          default:
            run(true, [&](uint32_t s, uint32_t d, uint32_t a) {
              return combine(a == 255 ? tabP(s) : times(s, (a * p) >> 8), d);
            });
            return;
        }
      }
      switch (n.var) {
        case Var::LowBright:
          run(false, [&](uint32_t s, uint32_t d, uint32_t) {
            return combineHalf(Weight16(f, WeightBright16(f, s, st.bright), q), d);
          });
          return;
        case Var::Bright: run(false, [&](uint32_t s, uint32_t d, uint32_t) { return combine(tabP(bri(s)), d); }); return;
        case Var::Mmx: {
          auto fn = [&](uint32_t s, uint32_t d, uint32_t) { return MmxAdd16(f, s, d, p); };
          if (st.simd) {
            const __m128i vp = _mm_set1_epi16(static_cast<int16_t>(p));
            RunRowsSimdAny<uint16_t>(j, key, kt, false, [&](__m128i s, __m128i d, __m128i) {
              return simd::MmxAdd16(fv, s, d, vp); }, fn);
          } else {
            run(false, fn);
          }
          return;
        }
        case Var::Low:
          run(false, [&](uint32_t s, uint32_t d, uint32_t) { return combineHalf(p == 255 ? s : Weight16(f, s, q), d); });
          return;
        default: run(false, [&](uint32_t s, uint32_t d, uint32_t) { return combine(tabP(s), d); }); return;
      }
    }
    case 4: {
      const bool bright = n.var == Var::Bright;
      RunRows<uint16_t, false, false>(j, kt, [&](uint32_t s, uint32_t d, uint32_t) {
        const uint32_t sb = bright ? bri(s) : s;
        uint32_t v[3];
        for (int c = 0; c < 3; ++c) v[c] = Ch16(f, sb, c) * Ch16(f, d, c) / f.max[c];
        return Pack16(f, v);
      });
      return;
    }
    case 8: run(false, [](uint32_t s, uint32_t d, uint32_t) { return s ^ d; }); return;
    default: return;
  }
}

}  // namespace

Nest ChooseUnscaled(const Settings& given, bool hasPlane) {
  const Settings st = Clamped(given);
  switch (st.screen->bitDepth) {
    case 8: return kCopy;
    case 16: return Choose16(st, hasPlane);
    case 32: return Choose32(st, hasPlane);
    default: return kNothing;
  }
}

void RunUnscaled(const Job& job, const Settings& given, const Nest& nest) {
  if (job.w <= 0 || job.h <= 0 || nest.outcome != Outcome::Drawn) return;
  const Settings st = Clamped(given);
  if (st.screen->bitDepth == 16) Run16(job, st, nest);
  else if (st.screen->bitDepth == 32) Run32(job, st, nest);
}

Outcome DrawUnscaled(const Job& job, const Settings& settings) {
  if (job.w <= 0 || job.h <= 0) return Outcome::Nothing;
  const Nest nest = ChooseUnscaled(settings, job.alpha != nullptr);
  RunUnscaled(job, settings, nest);
  return nest.outcome;
}

}  // namespace blit
