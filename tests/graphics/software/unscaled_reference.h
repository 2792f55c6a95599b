// Reference for unscaled drawing: the choice of formula and the formula, per pixel.
#pragma once
#include "blit_reference.h"

namespace ref {

struct Leaf {
  blit::Outcome out = blit::Outcome::Drawn;
  PixelFn fn;
  bool key = false;    // the leaf tests the transparent key
  bool plane = false;  // the leaf reads the alpha plane (a = 0 skips)
};

inline Leaf Drawn(PixelFn fn, bool key, bool plane) { return Leaf{blit::Outcome::Drawn, std::move(fn), key, plane}; }
inline Leaf Result(blit::Outcome o) { return Leaf{o, nullptr, false, false}; }

// ---- 32-bit ----
inline uint32_t C32(uint32_t x, int c) { return (x >> (8 * c)) & 0xFF; }
inline uint32_t P32(uint32_t r, uint32_t g, uint32_t b) { return r << 16 | g << 8 | b; }
inline uint32_t Bright32(uint32_t s, uint32_t b) {
  return P32(M(BrightByte(b, 2), C32(s, 2)), M(BrightByte(b, 1), C32(s, 1)), M(BrightByte(b, 0), C32(s, 0)));
}
inline uint32_t W32(uint32_t x, int f) {
  return (f & 16 ? x : 0) + (f & 8 ? (x >> 1) & 0x7F7F7F : 0) + (f & 4 ? (x >> 2) & 0x3F3F3F : 0) +
         (f & 2 ? (x >> 3) & 0x1F1F1F : 0) + (f & 1 ? (x >> 4) & 0x0F0F0F : 0);
}
inline uint32_t WB32(uint32_t x, uint32_t b) {
  const uint32_t red[5] = {0xFF0000, 0x7F0000, 0x3F0000, 0x1F0000, 0x0F0000};
  uint32_t o = 0;
  for (int c = 0; c < 3; ++c) {
    const int f = static_cast<int>((BrightByte(b, c) + 1) >> 4);
    for (int j = 0; j < 5; ++j)
      if (f & (16 >> j)) o += (x >> j) & (red[j] >> (8 * (2 - c)));
  }
  return o;
}
inline uint32_t F32(uint32_t s, uint32_t d, uint32_t a) {
  uint32_t o = 0;
  for (uint32_t m : {0xFF0000u, 0xFF00u, 0xFFu}) o |= (((((s & m) - (d & m)) * a) >> 8) + d) & m;
  return o;
}
inline uint32_t Blend32(uint32_t s, uint32_t d, uint32_t a) {  // (s * a + d * (256 - a)) >> 8 per channel
  return P32((C32(s, 2) * a + C32(d, 2) * (256 - a)) >> 8, (C32(s, 1) * a + C32(d, 1) * (256 - a)) >> 8,
             (C32(s, 0) * a + C32(d, 0) * (256 - a)) >> 8);
}
inline uint32_t Add32(uint32_t S, uint32_t d) {
  const uint32_t sum = (S & 0xFEFEFF) + (d & 0xFEFEFF), carry = sum & 0x1010100;
  return (carry - (carry >> 8)) | sum | ((S | d) & 0x10100);
}
inline uint32_t Sub32(uint32_t d, uint32_t S) {
  const uint32_t diff = (d | 0x1010100) - (S & 0xFEFEFEFF), g = diff & 0x1010100;
  return (g - (g >> 8)) & diff;
}

inline Leaf Unscaled32(const blit::Settings& st, bool plane) {
  using blit::Outcome;
  const uint32_t p = static_cast<uint32_t>(st.param), b = st.bright;
  const int q = static_cast<int>(p + 1) >> 4;
  const bool lp = st.lowPrecision, bright = st.brightOn(), key = st.trans != 0;
  auto sp = [=](uint32_t s) { return bright ? Bright32(s, b) : s; };
  auto pq = [=](uint32_t s, uint32_t d) {
    return P32(M(p, C32(s, 2)) + M(256 - p, C32(d, 2)), M(p, C32(s, 1)) + M(256 - p, C32(d, 1)),
               M(p, C32(s, 0)) + M(256 - p, C32(d, 0)));
  };
  auto mode0 = [&]() -> Leaf {
    if (plane && bright) return Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
        return a == 255 ? sp(s) : Blend32(sp(s), d, a); }, key, true);
    if (plane) return Drawn([](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
        return a == 255 ? s : F32(s, d, a); }, key, true);
    if (!bright) return Result(Outcome::HardwareCopy);
    if (lp) return Drawn([=](uint32_t s, uint32_t, uint32_t) -> Pixel { return WB32(s, b); }, key, false);
    return Drawn([=](uint32_t s, uint32_t, uint32_t) -> Pixel { return sp(s); }, key, false);
  };
  switch (st.blendMode) {
    case 0: return mode0();
    case 1:
      if (lp ? q == 0 : p == 0) return Result(Outcome::Nothing);
      if (lp ? q == 16 : p == 255) return plane || bright ? mode0() : Result(Outcome::HardwareCopy);
      if (plane && bright)
        return Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
          const uint32_t ap = (a * p) >> 8, x = Bright32(s, b);
          return P32((C32(d, 2) * (255 - ap) + C32(x, 2) * ap) >> 8, (C32(d, 1) * (255 - ap) + C32(x, 1) * ap) >> 8,
                     (C32(d, 0) * (255 - ap) + C32(x, 0) * ap) >> 8);
        }, key, true);
      if (plane)
        return Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
          if (a == 255) return lp ? W32(s, q) + W32(d, 16 - q) : pq(s, d);
          return F32(s, d, (a * p) >> 8);
        }, key, true);
      if (lp) return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel {
          return W32(bright ? WB32(s, b) : s, q) + W32(d, 16 - q); }, key, false);
      if (bright) return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel { return pq(sp(s), d); }, key, false);
      if (st.mmx)
        return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel {
          uint32_t o = 0;
          for (int k = 0; k < 4; ++k) o |= (((s >> 8 * k & 0xFF) * p + (d >> 8 * k & 0xFF) * (256 - p)) >> 8) << 8 * k;
          return o;
        }, key, false);
      return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel { return pq(s, d); }, key, false);
    case 2:
    case 3: {
      if (p == 0 || (lp && q == 0)) return Result(Outcome::Nothing);
      const bool add = st.blendMode == 2;
      auto comb = [=](uint32_t S, uint32_t d) { return add ? Add32(S, d) : Sub32(d, S); };
      auto times = [](uint32_t x, uint32_t w) { return P32(C32(x, 2) * w >> 8, C32(x, 1) * w >> 8, C32(x, 0) * w >> 8); };
      auto scaled = [=](uint32_t x) { return P32(M(p, C32(x, 2)), M(p, C32(x, 1)), M(p, C32(x, 0))); };
      if (plane && bright)
        return Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
          return comb(times(Bright32(s, b), (a * p) >> 8), d); }, key, true);
      if (plane)
        return Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
          return comb(a == 255 ? scaled(s) : times(s, (a * p) >> 8), d); }, key, true);
      if (lp) return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel {
          return comb(W32(bright ? WB32(s, b) : s, q), d); }, key, false);
      if (add && st.mmx && !bright)
        return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel {
          uint32_t o = 0;
          for (int k = 0; k < 4; ++k)
            o |= std::min<uint32_t>(255, ((s >> 8 * k & 0xFF) * p + ((d >> 8 * k & 0xFF) << 8)) >> 8) << 8 * k;
          return o;
        }, key, false);
      return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel { return comb(scaled(sp(s)), d); }, key, false);
    }
    case 4:
      return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel {
        const uint32_t x = sp(s);
        return P32(C32(x, 2) * C32(d, 2) / 255, C32(x, 1) * C32(d, 1) / 255, C32(x, 0) * C32(d, 0) / 255);
      }, false, false);
    default: return Result(Outcome::Nothing);
  }
}

// ---- 16-bit ----
struct Consts16 {
  uint32_t N, G, L, G2, L2, H[5];
};
inline Consts16 Known16(bool is565) {
  if (is565) return {0xF7DF, 0x10820, 0x0820, 0x8410, 0x0821, {0, 0x7BEF, 0x39E7, 0x18E3, 0x0861}};
  return {0x7BDF, 0x8420, 0x0420, 0x4210, 0x0421, {0, 0x3DEF, 0x1CE7, 0x0C63, 0x0421}};
}

inline Leaf Unscaled16(const blit::Settings& st, const ColorFormat& fmt, bool planeGiven) {
  using blit::Outcome;
  const Chan ch{fmt};
  const bool is565 = fmt.redMask == 0xF800 && fmt.greenMask == 0x07E0 && fmt.blueMask == 0x1F;
  const bool is555 = fmt.redMask == 0x7C00 && fmt.greenMask == 0x03E0 && fmt.blueMask == 0x1F;
  const bool general = !is565 && !is555;
  const Consts16 k = Known16(is565);
  const uint32_t p = static_cast<uint32_t>(st.param), b = st.bright;
  const int q = static_cast<int>(p + 1) >> 4;
  const bool lp = st.lowPrecision, key = st.trans != 0;
  const bool plane = planeGiven && !general, bright = st.brightOn() && !general;
  auto sp = [=](uint32_t s) { return bright ? ch.map([&](int c) { return M(BrightByte(b, c), ch.get(s, c)); }) : s; };
  auto F = [=](uint32_t x, uint32_t y, uint32_t f) {
    uint32_t o = 0;
    for (int c = 0; c < 3; ++c) {
      const int32_t m = static_cast<int32_t>(ch.mask(c));
      o |= static_cast<uint32_t>((static_cast<int32_t>(y) + ((((static_cast<int32_t>(x) & m) - (static_cast<int32_t>(y) & m)) * static_cast<int32_t>(f)) >> 8)) & m);
    }
    return o;
  };
  auto C = [=](uint32_t x, uint32_t y, uint32_t f) {
    return ch.map([&](int c) {
      return static_cast<uint32_t>((static_cast<int32_t>(ch.get(x, c)) - static_cast<int32_t>(ch.get(y, c))) * static_cast<int32_t>(f) +
                                   static_cast<int32_t>(ch.get(y, c) << 8)) >> 8;
    });
  };
  auto W = [=](uint32_t x, int f) {
    return (f & 16 ? x : 0) + (f & 8 ? (x >> 1) & k.H[1] : 0) + (f & 4 ? (x >> 2) & k.H[2] : 0) +
           (f & 2 ? (x >> 3) & k.H[3] : 0) + (f & 1 ? (x >> 4) & k.H[4] : 0);
  };
  auto WB = [=](uint32_t x) {
    uint32_t o = 0;
    for (int c = 0; c < 3; ++c) {
      const int f = static_cast<int>((BrightByte(b, c) + 1) >> 4);
      for (int j = 0; j < 5; ++j)
        if (f & (16 >> j)) o += (x >> j) & ((ch.mask(c) >> j) & ch.mask(c));
    }
    return o & 0xFFFF;
  };
  auto ADD = [=](uint32_t S, uint32_t d) {
    const uint32_t t = (S & k.N) + (d & k.N), carry = t & k.G;
    return ((carry - (carry >> 5)) | t | ((S | d) & k.L)) & 0xFFFF;
  };
  auto ADDH = [=](uint32_t S, uint32_t d) {
    const uint32_t h = ((S >> 1) & k.H[1]) + ((d >> 1) & k.H[1]), carry = h & k.G2;
    return ((((carry - (carry >> 4)) | h) << 1) | ((S | d) & k.L2)) & 0xFFFF;
  };
  auto SUB = [=](uint32_t d, uint32_t S) {
    const uint32_t t = (d | k.G) - (S & ~k.G), g = t & k.G;
    return ((g - (g >> 5)) & t) & 0xFFFF;
  };
  auto SUBH = [=](uint32_t d, uint32_t S) {
    const uint32_t t = ((d >> 1) | k.G2) - ((S >> 1) & k.H[1]), g = t & k.G2;
    return (((g - (g >> 4)) & t) << 1) & 0xFFFF;
  };
  uint32_t gG = 0, gL = 0, all = 0;
  for (int c = 0; c < 3; ++c) {
    gG |= 1u << (ch.shift(c) + ch.width(c));
    gL |= 1u << ch.shift(c);
    all |= ch.mask(c);
  }
  const uint32_t gN = all & ~gG, wR = static_cast<uint32_t>(fmt.redWidth);
  auto GADD = [=](uint32_t S, uint32_t d) {
    const uint32_t t = (S & gN) + (d & gN), carry = t & gG;
    return ((carry - (carry >> wR)) | t | ((S | d) & gL)) & 0xFFFF;
  };
  auto GSUB = [=](uint32_t d, uint32_t S) {
    const uint32_t t = (d | gG) - (S & ~gG), g = t & gG;
    return ((g - (g >> wR)) & t) & 0xFFFF;
  };
  auto P = [=](uint32_t s) { return ch.map([&](int c) { return M(p, ch.get(s, c)); }); };
  auto PQ = [=](uint32_t s, uint32_t d) {
    return ch.map([&](int c) { return M(p, ch.get(s, c)) + M(255 - p, ch.get(d, c)); });
  };
  auto times = [=](uint32_t s, uint32_t w) { return ch.map([&](int c) { return ch.get(s, c) * w >> 8; }); };
  auto halves = [=](uint32_t s, uint32_t d) { return ((s >> 1) & k.H[1]) + ((d >> 1) & k.H[1]); };

  auto mode0 = [&]() -> Leaf {
    if (general) return Result(Outcome::HardwareCopy);
    if (plane && bright) return Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
        return a == 255 ? sp(s) : C(sp(s), d, a); }, key, true);
    if (plane) return Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
        return a == 255 ? s : F(s, d, a); }, key, true);
    if (!bright) return Result(Outcome::HardwareCopy);
    if (lp) return Drawn([=](uint32_t s, uint32_t, uint32_t) -> Pixel { return WB(s); }, key, false);
    return Drawn([=](uint32_t s, uint32_t, uint32_t) -> Pixel { return sp(s); }, key, false);
  };
  switch (st.blendMode) {
    case 0: return mode0();
    case 1:
      if (!lp && p == 0) return Result(Outcome::Nothing);
      if (plane) {
        if (!lp && p == 255) return mode0();
        if (bright)
          return Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
            const uint32_t ap = (a * p) >> 8;
            return ch.map([&](int c) { return (ch.get(d, c) * (255 - ap) + ch.get(sp(s), c) * ap) >> 8; });
          }, key, true);
        if (lp) {
          if (q == 16) return mode0();
          if (q == 0) return Result(Outcome::Nothing);
          if (q == 8) return Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
              return a == 255 ? halves(s, d) : F(s, d, a >> 1); }, key, true);
          return Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
            return a == 255 ? W(s, q) + W(d, 16 - q) : F(s, d, (a * p) >> 8); }, key, true);
        }
        return Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
          return a == 255 ? PQ(s, d) : F(s, d, (a * p) >> 8); }, key, true);
      }
      if (lp && q == 0) return Result(Outcome::Nothing);
      if (bright) {
        if ((!lp && p == 255) || (lp && q == 16)) return mode0();
        if (lp) return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel { return W(WB(s), q) + W(d, 16 - q); },
                             key, false);
        return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel { return PQ(sp(s), d); }, key, false);
      }
      if ((!lp && p == 255) || (lp && q == 16)) return Result(Outcome::HardwareCopy);
      if (st.mmx && !lp)
        return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel {
          return ch.map([&](int c) { return (ch.get(s, c) * p + ch.get(d, c) * (255 - p)) >> 8; });
        }, key, false);
      if (lp && !general) {
        if (q == 8) return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel { return halves(s, d); }, key, false);
        return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel { return W(s, q) + W(d, 16 - q); }, key, false);
      }
      return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel { return PQ(s, d); }, key, false);
    case 2:
    case 3: {
      const bool add = st.blendMode == 2;
      auto comb = [=](uint32_t S, uint32_t d) {
        return general ? (add ? GADD(S, d) : GSUB(d, S)) : (add ? ADD(S, d) : SUB(d, S));
      };
      auto combH = [=](uint32_t S, uint32_t d) { return add ? ADDH(S, d) : SUBH(d, S); };
      if (plane) {
        if (p == 0) return Result(Outcome::Nothing);
        if (bright) return Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
            return comb(times(sp(s), (a * p) >> 8), d); }, key, true);
        if (lp) {
          if (q == 0) return Result(Outcome::Nothing);
          if (q == 16) return Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
              return comb(a == 255 ? s : times(s, a), d); }, key, true);
          return Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
            return comb(a == 255 ? W(s, q) : times(s, (a * p) >> 8), d); }, key, true);
        }
        return Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
          return comb(a == 255 ? P(s) : times(s, (a * p) >> 8), d); }, key, true);
      }
      if ((!lp && p == 0) || (lp && q == 0)) return Result(Outcome::Nothing);
      if (bright) {
        if (lp) return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel { return combH(W(WB(s), q), d); }, key, false);
        return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel { return comb(P(sp(s)), d); }, key, false);
      }
      if (add && st.mmx && !lp)
        return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel {
          return ch.map([&](int c) { return std::min(ch.max(c), ch.get(d, c) + ((ch.get(s, c) * p) >> 8)); });
        }, key, false);
      if (lp && !general)
        return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel { return combH(p == 255 ? s : W(s, q), d); }, key, false);
      return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel { return comb(P(s), d); }, key, false);
    }
    case 4:
      return Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel {
        const uint32_t x = sp(s);
        return ch.map([&](int c) { return ch.get(x, c) * ch.get(d, c) / ch.max(c); });
      }, false, false);
    case 8: return Drawn([](uint32_t s, uint32_t d, uint32_t) -> Pixel { return s ^ d; }, key, false);
    default: return Result(Outcome::Nothing);
  }
}

}  // namespace ref
