#include <gtest/gtest.h>

#include "graphics/software/blit_loops.h"
#include "unscaled_reference.h"

namespace {

using blit::Outcome;
using ref::Leaf;
using ref::Pixel;

// The scaled drawer's own rules, per pixel (alpha plane weights, 255 - p, no halved add, no MMX).
Leaf ScaledRef(const blit::Settings& st, const ColorFormat& fmt, bool plane) {
  const ref::Chan ch{fmt};
  const bool is565 = fmt.redMask == 0xF800 && fmt.greenMask == 0x07E0 && fmt.blueMask == 0x1F;
  const bool is555 = fmt.redMask == 0x7C00 && fmt.greenMask == 0x03E0 && fmt.blueMask == 0x1F;
  const bool general = fmt.bitDepth == 16 && !is565 && !is555;
  const uint32_t p = static_cast<uint32_t>(st.param), b = st.bright;
  const int q = static_cast<int>(p + 1) >> 4;
  const bool key = st.trans != 0, bright = st.brightOn();
  const bool brightNp = bright && !general, lpNp = st.lowPrecision && !general;
  auto bri = [=](uint32_t s) { return ch.map([&](int c) { return ref::M(ref::BrightByte(b, c), ch.get(s, c)); }); };
  uint32_t m[5] = {};
  for (int j = 0; j < 5; ++j)
    for (int c = 0; c < 3; ++c) m[j] |= (ch.mask(c) >> j) & ch.mask(c);
  auto W = [=](uint32_t x, int f) {
    uint32_t o = f & 16 ? x : 0;
    for (int j = 1; j < 5; ++j)
      if (f & (16 >> j)) o += (x >> j) & m[j];
    return o;
  };
  auto WB = [=](uint32_t x) {
    uint32_t o = 0;
    for (int c = 0; c < 3; ++c) {
      const int f = static_cast<int>((ref::BrightByte(b, c) + 1) >> 4);
      for (int j = 0; j < 5; ++j)
        if (f & (16 >> j)) o += (x >> j) & ((ch.mask(c) >> j) & ch.mask(c));
    }
    return o;
  };
  auto C = [=](uint32_t x, uint32_t y, uint32_t a) {
    return ch.map([&](int c) { return (ch.get(x, c) * a + ch.get(y, c) * (256 - a)) >> 8; });
  };
  auto PQ = [=](uint32_t s, uint32_t d) {
    return ch.map([&](int c) { return ref::M(p, ch.get(s, c)) + ref::M(255 - p, ch.get(d, c)); });
  };
  auto P = [=](uint32_t s) { return ch.map([&](int c) { return ref::M(p, ch.get(s, c)); }); };
  // The packed saturating add and subtract of the depth (565/555 constants, the general derivation, or 32-bit).
  uint32_t G = 0, L = 0, Lall = 0, all = 0;
  for (int c = 0; c < 3; ++c) {
    G |= 1u << (ch.shift(c) + ch.width(c));
    Lall |= 1u << ch.shift(c);
    all |= ch.mask(c);
  }
  L = Lall & ~1u;
  const uint32_t N = all & ~G, wR = fmt.redWidth;
  auto add = [=](uint32_t S, uint32_t d) -> uint32_t {
    if (fmt.bitDepth == 32) return ref::Add32(S, d);
    const uint32_t t = (S & N) + (d & N), carry = t & G;
    return ((carry - (carry >> (general ? wR : 5))) | t | ((S | d) & (general ? Lall : L))) & 0xFFFF;
  };
  auto sub = [=](uint32_t d, uint32_t S) -> uint32_t {
    if (fmt.bitDepth == 32) return ref::Sub32(d, S);
    const uint32_t t = (d | G) - (S & ~G), g = t & G;
    return ((g - (g >> (general ? wR : 5))) & t) & 0xFFFF;
  };
  auto srcB = [=](uint32_t s, bool useBright) { return useBright ? bri(s) : s; };

  auto mode0 = [&]() -> Leaf {
    if (plane) return ref::Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
        const uint32_t sb = srcB(s, bright);
        return a == 255 ? sb : C(sb, d, a); }, key, true);
    if (brightNp) {
      if (st.lowPrecision) return ref::Drawn([=](uint32_t s, uint32_t, uint32_t) -> Pixel { return WB(s); }, key, false);
      return ref::Drawn([=](uint32_t s, uint32_t, uint32_t) -> Pixel { return bri(s); }, key, false);
    }
    return ref::Drawn([](uint32_t s, uint32_t, uint32_t) -> Pixel { return s; }, (st.trans & 1) != 0, false);
  };
  const int mode = st.blendMode;
  if (mode == 0) return mode0();
  if (mode == 4)
    return ref::Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel {
      const uint32_t x = srcB(s, bright && !general);
      return ch.map([&](int c) { return ch.get(x, c) * ch.get(d, c) / ch.max(c); });
    }, false, false);
  if (mode < 1 || mode > 3) return ref::Result(Outcome::Nothing);
  const bool low = st.lowPrecision && !plane;
  if (low ? q == 0 : p == 0) return ref::Result(Outcome::Nothing);
  if (mode == 1 && (low ? q == 16 : p == 255)) return mode0();
  if (mode == 1) {
    if (plane) return ref::Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
        const uint32_t sb = srcB(s, bright);
        return a == 255 ? PQ(sb, d) : C(sb, d, (a * p) >> 8); }, key, true);
    if (lpNp) return ref::Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel {
        return W(brightNp ? WB(s) : s, q) + W(d, 16 - q); }, key, false);
    return ref::Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel { return PQ(srcB(s, brightNp), d); }, key, false);
  }
  auto comb = [=](uint32_t S, uint32_t d) { return mode == 2 ? add(S, d) : sub(d, S); };
  if (plane) return ref::Drawn([=](uint32_t s, uint32_t d, uint32_t a) -> Pixel {
      const uint32_t S = P(srcB(s, bright));
      return comb(a == 255 ? S : ch.map([&](int c) { return a * ch.get(S, c) >> 8; }), d); }, key, true);
  if (lpNp) return ref::Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel {
      return comb(W(brightNp ? WB(s) : s, q), d); }, key, false);
  return ref::Drawn([=](uint32_t s, uint32_t d, uint32_t) -> Pixel { return comb(P(srcB(s, brightNp)), d); }, key, false);
}

struct Scene {
  std::mt19937 rng{99};
  std::vector<uint32_t> mul = ref::MulTable();

  // Draws a gw by gh view (at (vx, vy) of a larger surface) into (x1, y1)-(x2, y2), corners in any order, clipped to
  // clip; compares with the reference. Returns the number of mismatching pixels.
  int run(const ColorFormat& fmt, blit::Settings st, bool plane, int gw, int gh, int x1, int y1, int x2, int y2,
          const int clip[4], std::string* where) {
    const int bpp = fmt.bytesPerPixel, vx = 3, vy = 2;
    ref::Image surf(gw + 7, gh + 5, bpp, rng, 4), alpha(gw + 7, gh + 5, 1, rng, 2), dst(64, 48, bpp, rng, 8);
    const uint32_t colour = blit::ColourBits(fmt);
    st.key = (surf.get(vx, vy) & colour) | (fmt.bitDepth == 32 ? 0xAB000000 : 0);
    if (fmt.bitDepth == 8) st.key = 0;
    for (int y = 0; y < surf.h; ++y)
      for (int x = 0; x < surf.w; ++x) {
        const uint32_t r = rng();
        if (r % 4 == 0) surf.set(x, y, fmt.bitDepth == 8 ? 0 : st.key & colour);
        alpha.set(x, y, (r >> 8) % 3 == 0 ? 0 : (r >> 8) % 3 == 1 ? 255 : (r >> 16) & 0xFF);
      }
    const ref::Image before = dst;
    const bool mx = x1 > x2, my = y1 > y2;
    if (mx) std::swap(x1, x2);
    if (my) std::swap(y1, y2);
    const int cl = std::clamp(x1, clip[0], clip[2]), cr = std::clamp(x2, clip[0], clip[2]);
    const int ct = std::clamp(y1, clip[1], clip[3]), cb = std::clamp(y2, clip[1], clip[3]);
    if (cr <= cl || cb <= ct) return 0;
    blit::ScaledJob j;
    j.x = blit::MakeScaledAxis(x2 - x1, gw, cl - x1, cr - cl);
    j.y = blit::MakeScaledAxis(y2 - y1, gh, ct - y1, cb - ct);
    const int64_t sx = mx ? vx + gw - 1 - j.x.first : vx + j.x.first;
    const int64_t sy = my ? vy + gh - 1 - j.y.first : vy + j.y.first;
    j.src = surf.bytes.data() + sy * surf.pitch + sx * bpp;
    j.srcPitch = my ? -surf.pitch : surf.pitch;
    j.alpha = plane ? alpha.bytes.data() + sy * alpha.pitch + sx : nullptr;
    j.alphaPitch = my ? -alpha.pitch : alpha.pitch;
    j.srcStepX = mx ? -1 : 1;
    j.dst = dst.at(cl, ct);
    j.dstPitch = dst.pitch;
    j.bg = j.dst;
    j.bgPitch = dst.pitch;
    j.w = cr - cl;
    j.h = cb - ct;
    st.screen = &fmt;
    st.mul = mul.data();
    const Outcome got = blit::DrawScaled(j, st);
    Leaf leaf = fmt.bitDepth == 8
                    ? ref::Drawn([](uint32_t s, uint32_t, uint32_t) -> Pixel { return s; }, (st.trans & 1) != 0, false)
                    : ScaledRef(st, fmt, plane);
    if (got != leaf.out) {
      *where = "outcome";
      return 1;
    }
    int bad = 0;
    const int64_t stepX = (int64_t(x2 - x1) << 16) / gw, stepY = (int64_t(y2 - y1) << 16) / gh;
    for (int y = 0; y < dst.h; ++y)
      for (int x = 0; x < dst.w; ++x) {
        uint32_t want = before.get(x, y);
        if (leaf.out == Outcome::Drawn && x >= cl && x < cr && y >= ct && y < cb) {
          int64_t c = (int64_t(x - x1) << 16) / stepX, r = (int64_t(y - y1) << 16) / stepY;
          if (c >= gw || r >= gh) {
            *where = "stepping leaves the graph";
            return 1;
          }
          if (mx) c = gw - 1 - c;
          if (my) r = gh - 1 - r;
          const uint32_t s = surf.get(vx + int(c), vy + int(r)), a = alpha.get(vx + int(c), vy + int(r));
          const bool skip = (leaf.key && (s & colour) == (st.key & colour)) || (leaf.plane && a == 0);
          if (!skip) {
            const Pixel px = leaf.fn(s, before.get(x, y), a);
            if (px) want = *px & (bpp == 4 ? 0xFFFFFFFF : bpp == 2 ? 0xFFFF : 0xFF);
          }
        }
        if (dst.get(x, y) != want && bad++ == 0) *where = "pixel " + std::to_string(x) + "," + std::to_string(y);
      }
    return bad;
  }
};

TEST(BlitScaled, MatchesReferenceEveryDepthModeAndMirror) {
  Scene sc;
  const int clip[4] = {2, 3, 60, 44};
  int failures = 0;
  for (const ColorFormat& fmt : {ref::Format32(), ref::Format565(), ref::Format555(), ref::Format16(4, 8, 4, 4, 4, 0),
                                 ref::Format8()})
    for (int mode : {0, 1, 2, 3, 4, 5, 8, -2})
      for (int p : {0, 1, 14, 128, 254, 255})
        for (uint32_t bright : {0xFFFFFFFFu, 0x00C08040u})
          for (int flags = 0; flags < 16; ++flags) {
            blit::Settings st;
            st.blendMode = mode;
            st.param = p;
            st.bright = bright;
            st.trans = flags & 1 ? 1 : flags & 8 ? 2 : 0;
            st.lowPrecision = flags & 4;
            const bool plane = flags & 2;
            // Shrink, enlarge, mirror on each axis, and partly outside the clip.
            const int geo[][6] = {{7, 5, 0, 1, 30, 20}, {13, 9, 50, 40, -5, 7}, {9, 6, 5, 45, 66, 2}, {16, 11, 4, 4, 12, 9}};
            for (const auto& g : geo) {
              std::string where;
              if (sc.run(fmt, st, plane, g[0], g[1], g[2], g[3], g[4], g[5], clip, &where) && failures++ < 10)
                ADD_FAILURE() << "depth " << fmt.bitDepth << " red " << std::hex << fmt.redMask << std::dec << " mode "
                              << mode << " p " << p << " flags " << flags << " geo " << g[0] << ": " << where;
            }
          }
}

TEST(BlitScaled, StepsAndClippedSpans) {
  // Half width shows every second column; double width covers each source column twice.
  blit::ScaledAxis half = blit::MakeScaledAxis(5, 10, 0, 5);
  EXPECT_EQ(half.step, 0x8000);
  EXPECT_EQ(half.count, 9);
  blit::ScaledAxis twice = blit::MakeScaledAxis(20, 10, 3, 4);
  EXPECT_EQ(twice.first, 1);
  EXPECT_EQ(twice.count, 3);  // destination 3..6 shows source 1..3
  // A clipped left edge needs the exact span, not spanW + 1.
  blit::ScaledAxis cut = blit::MakeScaledAxis(436, 125, 187, 38);
  EXPECT_EQ(cut.count, 12);
  EXPECT_GT(cut.count, ((38LL << 16) / cut.step) + 1);
  // Destination spans of 32,768 pixels and more step correctly in 64 bits.
  blit::ScaledAxis wide = blit::MakeScaledAxis(40000, 100, 20000, 10);
  EXPECT_EQ(wide.step, (40000LL << 16) / 100);
  EXPECT_EQ(wide.first, 50);
  EXPECT_EQ(wide.count, 1);
}

}  // namespace
