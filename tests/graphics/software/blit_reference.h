// Plain reference pixels for the blitter tests, written straight from the blend formulas, one pixel at a time.
#pragma once
#include <cstdint>
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
