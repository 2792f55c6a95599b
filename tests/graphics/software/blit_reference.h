// Plain reference pixels for the blitter tests, written straight from the blend formulas, one pixel at a time.
#pragma once
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <random>
#include <vector>

#include "graphics/color_format.h"
#include "graphics/software/blit_loops.h"

namespace ref {

using Pixel = std::optional<uint32_t>;  // nullopt: the pixel is not written
// s, d, a -> result; the key and a = 0 tests are applied by the caller where the formula uses them.
using PixelFn = std::function<Pixel(uint32_t s, uint32_t d, uint32_t a)>;

inline ColorFormat Format32() {
  ColorFormat f{};
  f.bitDepth = 32;
  f.bytesPerPixel = 4;
  f.redWidth = f.greenWidth = f.blueWidth = 8;
  f.redShift = 16;
  f.greenShift = 8;
  f.redMask = 0xFF0000;
  f.greenMask = 0xFF00;
  f.blueMask = 0xFF;
  f.outsideMask = 0xFF000000;
  return f;
}
inline ColorFormat Format16(int rw, int rs, int gw, int gs, int bw, int bs) {
  ColorFormat f{};
  f.bitDepth = 16;
  f.bytesPerPixel = 2;
  f.redWidth = static_cast<uint8_t>(rw);
  f.greenWidth = static_cast<uint8_t>(gw);
  f.blueWidth = static_cast<uint8_t>(bw);
  f.redShift = static_cast<uint8_t>(rs);
  f.greenShift = static_cast<uint8_t>(gs);
  f.blueShift = static_cast<uint8_t>(bs);
  f.redMask = ((1u << rw) - 1) << rs;
  f.greenMask = ((1u << gw) - 1) << gs;
  f.blueMask = ((1u << bw) - 1) << bs;
  f.outsideMask = 0xFFFF & ~(f.redMask | f.greenMask | f.blueMask);
  return f;
}
inline ColorFormat Format565() { return Format16(5, 11, 6, 5, 5, 0); }
inline ColorFormat Format555() { return Format16(5, 10, 5, 5, 5, 0); }
inline ColorFormat Format8() {
  ColorFormat f{};
  f.bitDepth = 8;
  f.bytesPerPixel = 1;
  return f;
}

inline std::vector<uint32_t> MulTable() {
  std::vector<uint32_t> t(65536);
  for (uint32_t i = 0; i < 256; ++i)
    for (uint32_t j = 0; j < 256; ++j) t[i * 256 + j] = (i * j) >> 8;
  return t;
}
inline uint32_t M(uint32_t i, uint32_t j) { return (i * j) >> 8; }

// A pixel as channel values (c: 0 blue, 1 green, 2 red) in the screen's layout.
struct Chan {
  const ColorFormat& f;
  uint32_t mask(int c) const { return c == 0 ? f.blueMask : c == 1 ? f.greenMask : f.redMask; }
  int shift(int c) const { return c == 0 ? f.blueShift : c == 1 ? f.greenShift : f.redShift; }
  int width(int c) const { return c == 0 ? f.blueWidth : c == 1 ? f.greenWidth : f.redWidth; }
  uint32_t get(uint32_t x, int c) const { return (x & mask(c)) >> shift(c); }
  uint32_t max(int c) const { return mask(c) >> shift(c); }
  template <class F>
  uint32_t map(F fn) const {
    uint32_t o = 0;
    for (int c = 0; c < 3; ++c) o |= fn(c) << shift(c);
    return o;
  }
};

inline uint32_t BrightByte(uint32_t bright, int c) { return (bright >> (8 * c)) & 0xFF; }

// The pixel a nest writes, from the blend formulas: channel arithmetic through Chan, the packed forms (field
// blend, sixteenths, saturating add and subtract) from the screen's masks. scaled: the scaled drawer's rules
// (parameter rows p and 255 - p at every depth).
inline PixelFn Formula(const blit::Nest& n, const ColorFormat& fmt, const blit::Settings& st, bool scaled) {
  const Chan ch{fmt};
  const bool w32 = fmt.bitDepth == 32;
  const uint32_t p = static_cast<uint32_t>(std::clamp(st.param, 0, 255)), b = st.bright, qRow = w32 && !scaled ? 256 - p : 255 - p;
  const int q = static_cast<int>(p + 1) >> 4;
  const bool fixed = fmt.redMask == 0xF800 || fmt.redMask == 0x7C00 || w32;
  uint32_t all = 0, above = 0, lows = 0, h[5] = {0xFFFFFFFF, 0, 0, 0, 0};
  for (int c = 0; c < 3; ++c) {
    all |= ch.mask(c);
    above |= 1u << (ch.shift(c) + ch.width(c));
    lows |= 1u << ch.shift(c);
    for (int j = 1; j < 5; ++j) h[j] |= (ch.mask(c) >> j) & ch.mask(c);
  }
  const uint32_t width = w32 ? 0xFFFFFFFF : 0xFFFF, or1 = fixed ? lows & ~1u : lows, red = fmt.redWidth;
  auto map = [ch](auto fn) { return ch.map(fn); };
  auto bri = [=](uint32_t s) { return map([&](int c) { return M(BrightByte(b, c), ch.get(s, c)); }); };
  auto sp = [=](uint32_t s) { return n.var == blit::Var::Bright ? bri(s) : s; };
  auto pq = [=](uint32_t s, uint32_t d) { return map([&](int c) { return M(p, ch.get(s, c)) + M(qRow, ch.get(d, c)); }); };
  auto P = [=](uint32_t s) { return map([&](int c) { return M(p, ch.get(s, c)); }); };
  auto times = [=](uint32_t s, uint32_t w) { return map([&](int c) { return ch.get(s, c) * w >> 8; }); };
  auto C = [=](uint32_t x, uint32_t y, uint32_t a) {
    return map([&](int c) { return (ch.get(x, c) * a + ch.get(y, c) * (256 - a)) >> 8; });
  };
  auto F = [=](uint32_t s, uint32_t d, uint32_t a) {
    uint32_t o = 0;
    for (int c = 0; c < 3; ++c) {
      const int64_t m = ch.mask(c);
      o |= static_cast<uint32_t>((int64_t(d) + ((((int64_t(s) & m) - (int64_t(d) & m)) * a) >> 8)) & m);
    }
    return o;
  };
  auto W = [=](uint32_t x, int f) {
    uint32_t o = 0;
    for (int j = 0; j < 5; ++j)
      if (f & (16 >> j)) o += (x >> j) & h[j];
    return o & width;
  };
  auto WB = [=](uint32_t x) {
    uint32_t o = 0;
    for (int c = 0; c < 3; ++c)
      for (int j = 0; j < 5; ++j)
        if (((BrightByte(b, c) + 1) >> 4) & (16 >> j)) o += (x >> j) & ((ch.mask(c) >> j) & ch.mask(c));
    return o & width;
  };
  auto add = [=](uint32_t S, uint32_t d) {
    const uint32_t t = (S & all & ~above) + (d & all & ~above), g = t & above;
    return ((g - (g >> red)) | t | ((S | d) & or1)) & width;
  };
  auto sub = [=](uint32_t d, uint32_t S) {
    const uint32_t t = (d | above) - (S & ~above), g = t & above;
    return ((g - (g >> red)) & t) & width;
  };
  // Halved forms of the fixed 16-bit layouts: both operands at half, the result doubled.
  auto halves = [=](uint32_t s, uint32_t d) { return ((s >> 1) & h[1]) + ((d >> 1) & h[1]); };
  auto addHalf = [=](uint32_t S, uint32_t d) {
    const uint32_t t = halves(S, d), g = t & (above >> 1);
    return ((((g - (g >> (red - 1))) | t) << 1) | ((S | d) & lows)) & width;
  };
  auto subHalf = [=](uint32_t d, uint32_t S) {
    const uint32_t t = ((d >> 1) | (above >> 1)) - ((S >> 1) & h[1]), g = t & (above >> 1);
    return (((g - (g >> (red - 1))) & t) << 1) & width;
  };
  auto bytes = [](uint32_t s, uint32_t d, auto fn) {  // every byte of a 32-bit pixel, the spare one too
    uint32_t o = 0;
    for (int k = 0; k < 4; ++k) o |= fn(s >> 8 * k & 0xFF, d >> 8 * k & 0xFF) << 8 * k;
    return o;
  };
  using blit::Var;
  const Var v = n.var;
  const bool a2 = n.mode == 2, lowVar = v == Var::Low || v == Var::LowBright;
  auto comb = [=](uint32_t S, uint32_t d) { return a2 ? add(S, d) : sub(d, S); };
  auto combHalf = [=](uint32_t S, uint32_t d) { return a2 ? addHalf(S, d) : subHalf(d, S); };
  auto src = [=](uint32_t s) { return v == Var::LowBright ? WB(s) : s; };
  auto mix = [=](uint32_t s, uint32_t d) { return (W(s, q) + W(d, 16 - q)) & width; };
  switch (n.mode) {
    case 0:
      if (n.plane) return [=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
          return a == 255 ? sp(s) : v == Var::Bright || scaled ? C(sp(s), d, a) : F(s, d, a); };
      return [=](uint32_t s, uint32_t, uint32_t) -> Pixel { return v == Var::LowBright ? WB(s) : sp(s); };
    case 1:
      if (n.plane) return [=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
          const uint32_t ap = (a * p) >> 8;
          if (scaled) return a == 255 ? pq(sp(s), d) : C(sp(s), d, ap);
          if (v == Var::Bright)
            return map([&](int c) { return (ch.get(d, c) * (255 - ap) + ch.get(bri(s), c) * ap) >> 8; });
          if (v == Var::LowSpecial) return a == 255 ? halves(s, d) : F(s, d, a >> 1);
          if (a == 255) return v == Var::Low ? mix(s, d) : pq(s, d);
          return F(s, d, ap);
        };
      return [=](uint32_t s, uint32_t d, uint32_t) -> Pixel {
        if (lowVar) return mix(src(s), d);
        if (v == Var::LowSpecial) return halves(s, d);
        if (v == Var::Mmx && w32) return bytes(s, d, [p](uint32_t x, uint32_t y) { return (x * p + y * (256 - p)) >> 8; });
        if (v == Var::Mmx) return map([&](int c) { return (ch.get(s, c) * p + ch.get(d, c) * (255 - p)) >> 8; });
        return pq(sp(s), d);
      };
    case 2:
    case 3:
      if (n.plane) return [=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
          const uint32_t ap = (a * p) >> 8;
          if (scaled) return comb(a == 255 ? P(sp(s)) : times(P(sp(s)), a), d);
          if (v == Var::Bright) return comb(times(bri(s), ap), d);
          if (v == Var::LowSpecial) return comb(a == 255 ? s : times(s, a), d);
          return comb(a == 255 ? (v == Var::Low ? W(s, q) : P(s)) : times(s, ap), d);
        };
      return [=](uint32_t s, uint32_t d, uint32_t) -> Pixel {
        if (lowVar) return w32 || scaled ? comb(W(src(s), q), d) : combHalf(W(src(s), q), d);
        if (v == Var::Mmx && w32)
          return bytes(s, d, [p](uint32_t x, uint32_t y) { return std::min<uint32_t>(255, (x * p + (y << 8)) >> 8); });
        if (v == Var::Mmx) return map([&](int c) { return std::min(ch.max(c), ch.get(d, c) + ((ch.get(s, c) * p) >> 8)); });
        return comb(P(sp(s)), d);
      };
    case 4: return [=](uint32_t s, uint32_t d, uint32_t) -> Pixel {
        return map([&](int c) { return ch.get(sp(s), c) * ch.get(d, c) / ch.max(c); }); };
    case 8: return [](uint32_t s, uint32_t d, uint32_t) -> Pixel { return s ^ d; };
    default: return [](uint32_t, uint32_t, uint32_t) -> Pixel { return std::nullopt; };
  }
}

// A random image of w by h pixels of the given size, with random pitch padding.
struct Image {
  int w = 0, h = 0, bpp = 4;
  intptr_t pitch = 0;
  std::vector<uint8_t> bytes;
  Image() = default;
  Image(int w_, int h_, int bpp_, std::mt19937& rng, int pad) : w(w_), h(h_), bpp(bpp_) {
    pitch = static_cast<intptr_t>(w) * bpp + pad;
    bytes.resize(static_cast<size_t>(pitch) * h + 16);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  }
  uint8_t* at(int x, int y) { return bytes.data() + y * pitch + x * bpp; }
  uint32_t get(int x, int y) const {
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + y * pitch + x * bpp, bpp);
    return v;
  }
  void set(int x, int y, uint32_t v) { std::memcpy(bytes.data() + y * pitch + x * bpp, &v, bpp); }
};

}  // namespace ref
