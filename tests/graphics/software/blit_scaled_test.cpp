// The scaled loops: stepping, clipping and mirroring against plain proportions, each nest against its formula,
// and the scaled drawer's choice of nest against a table.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "blit_reference.h"
#include "graphics/software/blit_loops.h"

namespace {

using blit::Outcome;
using blit::Var;

struct Scene {
  std::mt19937 rng{99};
  std::vector<uint32_t> mul = ref::MulTable();
  int dstW = 64, dstH = 48;

  // Draws a gw by gh view (at (vx, vy) of a larger surface) into (x1, y1)-(x2, y2), corners in any order, clipped to
  // clip; compares with the reference. Returns the number of mismatching pixels.
  int run(const ColorFormat& fmt, blit::Settings st, bool plane, int gw, int gh, int x1, int y1, int x2, int y2,
          const int clip[4], std::string* where) {
    const int bpp = fmt.bytesPerPixel, vx = 3, vy = 2;
    ref::Image surf(gw + 7, gh + 5, bpp, rng, 4), alpha(gw + 7, gh + 5, 1, rng, 2), dst(dstW, dstH, bpp, rng, 8);
    const uint32_t colour = blit::ColourBits(fmt), width = bpp == 4 ? 0xFFFFFFFF : bpp == 2 ? 0xFFFF : 0xFF;
    st.key = fmt.bitDepth == 8 ? 0 : (surf.get(vx, vy) & colour) | (fmt.bitDepth == 32 ? 0xAB000000 : 0);
    for (int y = 0; y < surf.h; ++y)
      for (int x = 0; x < surf.w; ++x) {
        const uint32_t r = rng();
        if (r % 4 == 0) surf.set(x, y, (st.key & colour) | (rng() & ~colour & width));  // bits outside the key
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
    j.bg = j.dst = dst.at(cl, ct);
    j.dstPitch = j.bgPitch = dst.pitch;
    j.w = cr - cl;
    j.h = cb - ct;
    st.screen = &fmt;
    st.mul = mul.data();
    const blit::Nest nest = blit::ChooseScaled(st, plane);
    if (blit::DrawScaled(j, st) != nest.outcome) return *where = "outcome", 1;
    const ref::PixelFn fn = ref::Formula(nest, fmt, st, true);
    int bad = 0;
    for (int y = 0; y < dst.h; ++y)
      for (int x = 0; x < dst.w; ++x) {
        uint32_t want = before.get(x, y);
        if (nest.outcome == Outcome::Drawn && x >= cl && x < cr && y >= ct && y < cb) {
          // The source pixel under the destination pixel, by plain proportion.
          int c = (x - x1) * gw / (x2 - x1), r = (y - y1) * gh / (y2 - y1);
          if (mx) c = gw - 1 - c;
          if (my) r = gh - 1 - r;
          const uint32_t s = surf.get(vx + c, vy + r), a = alpha.get(vx + c, vy + r);
          const bool skip = (nest.key && (s & colour) == (st.key & colour)) || (nest.plane && a == 0);
          if (!skip) want = fn(s, before.get(x, y), a).value_or(want) & width;
        }
        if (dst.get(x, y) != want && bad++ == 0) *where = "pixel " + std::to_string(x) + "," + std::to_string(y);
      }
    return bad;
  }
};

// Every mode, parameter, brightness, key, precision and plane, shrunk, enlarged, mirrored and partly clipped.
void Sweep(const ColorFormat& fmt) {
  Scene sc;
  const int clip[4] = {2, 3, 60, 44};
  int failures = 0;
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
            const int geo[][6] = {{7, 5, 0, 1, 30, 20}, {13, 9, 50, 40, -5, 7}, {9, 6, 5, 45, 66, 2}, {16, 11, 4, 4, 12, 9}};
            for (const auto& g : geo) {
              st.simd = (g[0] + flags) % 2 == 0;  // the vector walks and the plain loops alike
              std::string where;
              if (sc.run(fmt, st, flags & 2, g[0], g[1], g[2], g[3], g[4], g[5], clip, &where) && failures++ < 10)
                ADD_FAILURE() << "depth " << fmt.bitDepth << " red " << std::hex << fmt.redMask << std::dec << " mode "
                              << mode << " p " << p << " flags " << flags << " geo " << g[0] << ": " << where;
            }
          }
}

TEST(BlitScaled, EveryNestDrawsItsFormula32) { Sweep(ref::Format32()); }
TEST(BlitScaled, EveryNestDrawsItsFormula565) { Sweep(ref::Format565()); }
TEST(BlitScaled, EveryNestDrawsItsFormula555) { Sweep(ref::Format555()); }
TEST(BlitScaled, EveryNestDrawsItsFormulaGeneral16) { Sweep(ref::Format16(4, 8, 4, 4, 4, 0)); }
TEST(BlitScaled, EveryNestDrawsItsFormula8) { Sweep(ref::Format8()); }

// The vector walks (SSE2, and AVX2 where the processor has it; the copy gathering each source row once) and the
// plain loops on every destination width from 1 to 40, enlarged, shrunk (also by a little, so eight columns span
// nine source pixels) and mirrored, with and without a plane and a key.
TEST(BlitScaled, FastPathsOnEveryRowWidth) {
  Scene sc;
  const int clip[4] = {0, 0, 64, 48};
  const int modes[][2] = {{0, 255}, {1, 77}, {1, 254}};
  for (const ColorFormat& fmt :
       {ref::Format32(), ref::Format565(), ref::Format555(), ref::Format16(4, 8, 4, 4, 4, 0), ref::Format8()})
    for (const auto& mp : modes)
      for (int flags = 0; flags < 16; ++flags)
        for (int w = 1; w <= 40; ++w) {
          blit::Settings st;
          st.blendMode = mp[0];
          st.param = mp[1];
          st.trans = flags & 2 ? 1 : 0;
          st.simd = flags & 4;
          st.avx2 = flags & 8;
          const int x1 = w % 2 ? 2 + w : 2, x2 = w % 2 ? 2 : 2 + w;  // odd widths mirrored
          for (int gw : {5 + w % 11, w + w / 7 + 1}) {
            std::string where;
            EXPECT_EQ(sc.run(fmt, st, flags & 1, gw, 6, x1, 3, x2, 12, clip, &where), 0)
                << "depth " << fmt.bitDepth << " red " << std::hex << fmt.redMask << std::dec << " mode " << mp[0]
                << " flags " << flags << " width " << w << " graph " << gw << ": " << where;
          }
        }
}

// Spans wider than the drawer's stack buffers take their working memory from the heap and draw the same (sizes in
// whole ratios, where the 16.16 steps are the plain proportion).
TEST(BlitScaled, SpansWiderThanTheLocalBuffers) {
  Scene sc;
  sc.dstW = 1600;
  sc.dstH = 12;
  const int clip[4] = {0, 0, 1600, 12};
  for (const ColorFormat& fmt : {ref::Format32(), ref::Format565(), ref::Format8()})
    for (int flags = 0; flags < 16; ++flags) {
      blit::Settings st;
      st.blendMode = flags & 2 ? 1 : 0;
      st.param = 77;
      st.trans = 1;
      st.simd = flags & 4;
      st.avx2 = flags & 8;
      for (const auto& [x1, x2, gw] : {std::tuple{1, 1501, 500}, std::tuple{1590, 490, 2200}}) {
        std::string where;
        EXPECT_EQ(sc.run(fmt, st, flags & 1, gw, 3, x1, 2, x2, 9, clip, &where), 0)
            << "depth " << fmt.bitDepth << " flags " << flags << " graph " << gw << ": " << where;
      }
    }
}

TEST(BlitScaled, NestChoice) {
  struct Case {
    const char* format;
    int mode, param, trans;
    bool low, bright, plane;
    Outcome outcome;
    int nestMode;
    bool nestPlane, key;
    Var var;
  };
  const Outcome D = Outcome::Drawn, N = Outcome::Nothing;
  const Case cases[] = {
      {"32", 0, 0, 2, false, false, false, D, 0, false, false, Var::Plain},  // the copy keys on the lowest bit
      {"32", 0, 0, 1, true, true, false, D, 0, false, true, Var::LowBright},
      {"32", 0, 0, 2, false, true, true, D, 0, true, true, Var::Bright},
      {"32", 1, 255, 1, false, false, false, D, 0, false, true, Var::Plain},
      {"32", 1, 255, 0, true, false, false, D, 0, false, false, Var::Plain},
      {"32", 1, 240, 0, true, false, false, D, 1, false, false, Var::Low},
      {"32", 1, 14, 0, true, false, false, N, 0, false, false, Var::Plain},
      {"32", 1, 14, 0, true, false, true, D, 1, true, false, Var::Plain},  // the plane runs in full precision
      {"32", 1, 0, 0, false, false, true, N, 0, false, false, Var::Plain},
      {"32", 2, 128, 1, true, true, false, D, 2, false, true, Var::LowBright},
      {"32", 3, 128, 1, false, true, true, D, 3, true, true, Var::Bright},
      {"32", 4, 128, 1, false, true, true, D, 4, false, false, Var::Bright},
      {"32", 5, 128, 0, false, false, false, N, 0, false, false, Var::Plain},
      {"444", 0, 0, 0, true, true, false, D, 0, false, false, Var::Plain},  // no brightness, no sixteenths
      {"444", 0, 0, 0, false, true, true, D, 0, true, false, Var::Bright},  // but the plane keeps both
      {"444", 1, 128, 0, true, true, false, D, 1, false, false, Var::Plain},
      {"444", 4, 128, 0, false, true, false, D, 4, false, false, Var::Plain},
      {"8", 3, 0, 3, false, false, false, D, 0, false, true, Var::Plain},
  };
  const std::vector<uint32_t> mul = ref::MulTable();
  for (const Case& c : cases) {
    const std::string name = c.format;
    const ColorFormat fmt = name == "32" ? ref::Format32() : name == "444" ? ref::Format16(4, 8, 4, 4, 4, 0) : ref::Format8();
    blit::Settings st;
    st.screen = &fmt;
    st.mul = mul.data();
    st.blendMode = c.mode;
    st.param = c.param;
    st.trans = c.trans;
    st.lowPrecision = c.low;
    st.bright = c.bright ? 0x00804020 : 0xFFFFFFFF;
    const blit::Nest n = blit::ChooseScaled(st, c.plane);
    const std::string at = name + " mode " + std::to_string(c.mode) + " p " + std::to_string(c.param);
    EXPECT_EQ(n.outcome, c.outcome) << at;
    if (n.outcome != Outcome::Drawn || c.outcome != Outcome::Drawn) continue;
    EXPECT_EQ(n.mode, c.nestMode) << at;
    EXPECT_EQ(n.plane, c.nestPlane) << at;
    EXPECT_EQ(n.key, c.key) << at;
    EXPECT_EQ(n.var, c.var) << at;
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
  EXPECT_EQ(blit::MakeScaledAxis(436, 125, 187, 38).count, 12);
  // Destination spans of 32,768 pixels and more step correctly in 64 bits.
  blit::ScaledAxis wide = blit::MakeScaledAxis(40000, 100, 20000, 10);
  EXPECT_EQ(wide.step, 26214400);
  EXPECT_EQ(wide.first, 50);
  EXPECT_EQ(wide.count, 1);
}

}  // namespace
