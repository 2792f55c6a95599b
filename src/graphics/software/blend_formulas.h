// The blend arithmetic of the software blitter, one pixel at a time, exactly as the loops compute it.
// 32-bit pixels are X8R8G8B8; 16-bit pixels follow a Fmt16 built from the screen's colour format.
#pragma once
#include <cstdint>
#include <initializer_list>

#include "graphics/color_format.h"

namespace blit {

// ---- 32-bit building blocks ----

inline uint32_t Ch32(uint32_t x, int c) { return (x >> (8 * c)) & 0xFF; }  // c: 0 blue, 1 green, 2 red
inline uint32_t Pack32(uint32_t r, uint32_t g, uint32_t b) { return (r << 16) | (g << 8) | b; }

// Sum of shifted, masked copies of x for the set bits of f (0 to 16): the multiplication-free weight.
inline uint32_t Weight32(uint32_t x, int f) {
  uint32_t o = 0;
  if (f & 16) o += x;
  if (f & 8) o += (x >> 1) & 0x7F7F7F;
  if (f & 4) o += (x >> 2) & 0x3F3F3F;
  if (f & 2) o += (x >> 3) & 0x1F1F1F;
  if (f & 1) o += (x >> 4) & 0x0F0F0F;
  return o;
}

// Each channel weighted by its own brightness step fc = (bc + 1) >> 4, with masks that keep to the channel.
inline uint32_t WeightBright32(uint32_t x, uint32_t bright) {
  uint32_t o = 0;
  for (int c = 0; c < 3; ++c) {
    const int f = static_cast<int>((((bright >> (8 * c)) & 0xFF) + 1) >> 4);
    const uint32_t m = 0xFFu << (8 * c);
    for (int j = 0; j <= 4; ++j)
      if (f & (16 >> j)) o += (x >> j) & ((m >> j) & m);
  }
  return o;
}

// Packed blend of whole channel fields with 32-bit wrapping and a logical shift; the low channel's bits carry
// into the field above.
inline uint32_t Field32(uint32_t s, uint32_t d, uint32_t a) {
  uint32_t o = 0;
  for (uint32_t m : {0xFF0000u, 0xFF00u, 0xFFu}) o |= (((((s & m) - (d & m)) * a) >> 8) + d) & m;
  return o;
}

// Per-channel blend (s * a + d * (256 - a)) >> 8.
inline uint32_t Chan32(uint32_t s, uint32_t d, uint32_t a) {
  uint32_t o = 0;
  for (int c = 0; c < 3; ++c) o |= ((((Ch32(s, c) - Ch32(d, c)) * a) + (Ch32(d, c) << 8)) >> 8 & 0xFF) << (8 * c);
  return o;
}

// Saturating packed add; the lowest bits of green and red are ORed, not added.
inline uint32_t Add32(uint32_t s, uint32_t d) {
  const uint32_t sum = (s & 0xFEFEFF) + (d & 0xFEFEFF);
  const uint32_t carry = sum & 0x1010100;
  return (carry - (carry >> 8)) | sum | ((s | d) & 0x10100);
}

// Saturating packed subtract d - s with guard bits 8, 16 and 24.
inline uint32_t Sub32(uint32_t d, uint32_t s) {
  const uint32_t diff = (d | 0x1010100) - (s & 0xFEFEFEFF);
  const uint32_t g = diff & 0x1010100;
  return (g - (g >> 8)) & diff;
}

// The MMX formulas: all four bytes in 16-bit fields.
inline uint32_t MmxAlpha32(uint32_t s, uint32_t d, uint32_t p) {
  uint32_t o = 0;
  for (int k = 0; k < 4; ++k) {
    const uint32_t v = (((s >> (8 * k)) & 0xFF) * p + ((d >> (8 * k)) & 0xFF) * (256 - p)) >> 8;
    o |= (v > 255 ? 255 : v) << (8 * k);
  }
  return o;
}
inline uint32_t MmxAdd32(uint32_t s, uint32_t d, uint32_t p) {
  uint32_t o = 0;
  for (int k = 0; k < 4; ++k) {
    uint32_t v = ((s >> (8 * k)) & 0xFF) * p + (((d >> (8 * k)) & 0xFF) << 8);
    if (v > 0xFFFF) v = 0xFFFF;
    o |= (v >> 8) << (8 * k);
  }
  return o;
}

// ---- 16-bit layouts and building blocks ----

struct Fmt16 {
  uint32_t mask[3];  // c: 0 blue, 1 green, 2 red
  int shift[3];
  int width[3];
  uint32_t max[3];
  uint32_t h[5];     // h[j]: the OR over the channels of (mask >> j) & mask (h[0] all channel bits)
  uint32_t guard;    // the bits just above each channel
  uint32_t operand;  // channel bits without the guard bits
  uint32_t low;      // lowest bits of red and green (565, 555)
  uint32_t lowAll;   // lowest bits of every channel
  bool known;        // 565 or 555
};

inline Fmt16 MakeFmt16(const ColorFormat& f, bool known) {
  Fmt16 o{};
  const uint32_t masks[3] = {f.blueMask, f.greenMask, f.redMask};
  const int shifts[3] = {f.blueShift, f.greenShift, f.redShift};
  const int widths[3] = {f.blueWidth, f.greenWidth, f.redWidth};
  uint32_t all = 0;
  for (int c = 0; c < 3; ++c) {
    o.mask[c] = masks[c];
    o.shift[c] = shifts[c];
    o.width[c] = widths[c];
    o.max[c] = masks[c] >> shifts[c];
    o.guard |= 1u << (shifts[c] + widths[c]);
    o.lowAll |= 1u << shifts[c];
    all |= masks[c];
  }
  for (int j = 0; j <= 4; ++j)
    for (int c = 0; c < 3; ++c) o.h[j] |= (o.mask[c] >> j) & o.mask[c];
  o.operand = all & ~o.guard;
  o.low = (1u << o.shift[2]) | (1u << o.shift[1]);
  o.known = known;
  return o;
}

inline uint32_t Ch16(const Fmt16& f, uint32_t x, int c) { return (x & f.mask[c]) >> f.shift[c]; }
inline uint32_t Pack16(const Fmt16& f, const uint32_t v[3]) {
  return (v[0] << f.shift[0]) | (v[1] << f.shift[1]) | (v[2] << f.shift[2]);
}

// F: field blend with a signed shift and a 16-bit add of the whole background pixel.
inline uint32_t Field16(const Fmt16& f, uint32_t x, uint32_t y, uint32_t w) {
  uint32_t o = 0;
  for (int c = 0; c < 3; ++c) {
    const int32_t diff = static_cast<int32_t>(x & f.mask[c]) - static_cast<int32_t>(y & f.mask[c]);
    const int32_t t = static_cast<int32_t>(y) + ((diff * static_cast<int32_t>(w)) >> 8);
    o |= static_cast<uint32_t>(t) & f.mask[c];
  }
  return o & 0xFFFF;
}

// C: channel blend ((x - y) * w + (y << 8)) >> 8.
inline uint32_t Chan16(const Fmt16& f, uint32_t x, uint32_t y, uint32_t w) {
  uint32_t v[3];
  for (int c = 0; c < 3; ++c) {
    const int32_t xc = static_cast<int32_t>(Ch16(f, x, c)), yc = static_cast<int32_t>(Ch16(f, y, c));
    v[c] = static_cast<uint32_t>((xc - yc) * static_cast<int32_t>(w) + (yc << 8)) >> 8;
  }
  return Pack16(f, v);
}

inline uint32_t Weight16(const Fmt16& f, uint32_t x, int w) {
  uint32_t o = 0;
  if (w & 16) o += x;
  for (int j = 1; j <= 4; ++j)
    if (w & (16 >> j)) o += (x >> j) & f.h[j];
  return o & 0xFFFF;
}

inline uint32_t WeightBright16(const Fmt16& f, uint32_t x, uint32_t bright) {
  uint32_t o = 0;
  for (int c = 0; c < 3; ++c) {
    const int w = static_cast<int>((((bright >> (8 * c)) & 0xFF) + 1) >> 4);
    for (int j = 0; j <= 4; ++j)
      if (w & (16 >> j)) o += (x >> j) & ((f.mask[c] >> j) & f.mask[c]);
  }
  return o & 0xFFFF;
}

// Saturating add (565/555): the lowest bits of red and green are ORed back.
inline uint32_t Add16(const Fmt16& f, uint32_t s, uint32_t d) {
  const uint32_t t = (s & f.operand) + (d & f.operand);
  const uint32_t carry = t & f.guard;
  return ((carry - (carry >> 5)) | t | ((s | d) & f.low)) & 0xFFFF;
}
// Halved saturating add: every channel's lowest bit is the OR of the two lowest bits.
inline uint32_t AddHalf16(const Fmt16& f, uint32_t s, uint32_t d) {
  const uint32_t g = f.guard >> 1;
  const uint32_t h = ((s >> 1) & f.h[1]) + ((d >> 1) & f.h[1]);
  const uint32_t carry = h & g;
  return (((((carry - (carry >> 4)) | h) << 1)) | ((s | d) & (f.low | 1))) & 0xFFFF;
}
inline uint32_t Sub16(const Fmt16& f, uint32_t d, uint32_t s) {
  const uint32_t t = (d | f.guard) - (s & ~f.guard);
  const uint32_t g = t & f.guard;
  return ((g - (g >> 5)) & t) & 0xFFFF;
}
inline uint32_t SubHalf16(const Fmt16& f, uint32_t d, uint32_t s) {
  const uint32_t g2 = f.guard >> 1;
  const uint32_t t = ((d >> 1) | g2) - ((s >> 1) & f.h[1]);
  const uint32_t g = t & g2;
  return (((g - (g >> 4)) & t) << 1) & 0xFFFF;
}
// The general layout's add and subtract: guard bits above each channel, borrow fill by the red width.
inline uint32_t AddGeneral16(const Fmt16& f, uint32_t s, uint32_t d) {
  const uint32_t t = (s & f.operand) + (d & f.operand);
  const uint32_t carry = t & f.guard;
  return ((carry - (carry >> f.width[2])) | t | ((s | d) & f.lowAll)) & 0xFFFF;
}
inline uint32_t SubGeneral16(const Fmt16& f, uint32_t d, uint32_t s) {
  const uint32_t t = (d | f.guard) - (s & ~f.guard);
  const uint32_t g = t & f.guard;
  return ((g - (g >> f.width[2])) & t) & 0xFFFF;
}

// MMX formulas on 16-bit pixels: channels in 16-bit fields, one truncation of the whole sum.
inline uint32_t MmxAlpha16(const Fmt16& f, uint32_t s, uint32_t d, uint32_t p) {
  uint32_t o = 0;
  for (int c = 0; c < 3; ++c) {
    uint32_t v = ((Ch16(f, s, c) * p + Ch16(f, d, c) * (255 - p)) & 0xFFFF) >> 8;
    if (v > 255) v = 255;
    o |= (v << f.shift[c]) & f.mask[c];
  }
  return o;
}
inline uint32_t MmxAdd16(const Fmt16& f, uint32_t s, uint32_t d, uint32_t p) {
  uint32_t o = 0;
  for (int c = 0; c < 3; ++c) {
    uint32_t v = Ch16(f, d, c) + ((Ch16(f, s, c) * p) >> 8);
    if (v > f.max[c]) v = f.max[c];
    o |= v << f.shift[c];
  }
  return o;
}

}  // namespace blit
