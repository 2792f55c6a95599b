// The unscaled loops against the plain formulas of the nest they choose, and the choice itself against a table.
#include <gtest/gtest.h>

#include <string>

#include "blit_reference.h"
#include "graphics/software/blit_loops.h"

namespace {

using blit::Outcome;
using blit::Var;

// Draws with the library and with the reference on the same random images; returns the number of mismatches.
struct Bench {
  std::mt19937 rng{1234};
  std::vector<uint32_t> mul = ref::MulTable();

  // mostlyOpaque: alpha 255 but for one pixel in eight, key-coloured pixels one in eleven, so groups of opaque
  // pixels come with and without a key-coloured one.
  int run(const ColorFormat& fmt, blit::Settings st, bool plane, bool sameBg, int w, int h, std::string* where,
          bool mostlyOpaque = false) {
    const int bpp = fmt.bytesPerPixel;
    ref::Image src(w, h, bpp, rng, 4), bg(w, h, bpp, rng, 8), dst(w, h, bpp, rng, 12), alpha(w, h, 1, rng, 3);
    const uint32_t colour = blit::ColourBits(fmt), width = bpp == 4 ? 0xFFFFFFFF : 0xFFFF;
    st.key = (src.get(1, 0) & colour) | (rng() & ~colour);
    // Key-coloured source pixels with random bits outside the channels; alpha bytes biased to 0 and 255.
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t r = rng(), a = (r >> 8) % 4;
        if (r % (mostlyOpaque ? 11 : 5) == 0) src.set(x, y, (st.key & colour) | (rng() & ~colour & width));
        if (mostlyOpaque) alpha.set(x, y, (r >> 8) % 8 == 0 ? (r >> 16) & 0xFF : 255);
        else alpha.set(x, y, a == 0 ? 0 : a == 1 ? 255 : (r >> 16) & 0xFF);
      }
    const ref::Image before = dst;
    ref::Image& back = sameBg ? dst : bg;
    const ref::Image backBefore = back;
    const blit::Job j{dst.at(0, 0), dst.pitch, src.at(0, 0), src.pitch, back.at(0, 0), back.pitch,
                      plane ? alpha.at(0, 0) : nullptr, alpha.pitch, w, h};
    st.screen = &fmt;
    st.mul = mul.data();
    const blit::Nest nest = blit::ChooseUnscaled(st, plane);
    if (blit::DrawUnscaled(j, st) != nest.outcome) return *where = "outcome", 1;
    const ref::PixelFn fn = ref::Formula(nest, fmt, st, false);
    int bad = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint32_t want = before.get(x, y);
        const uint32_t s = src.get(x, y), a = alpha.get(x, y);
        const bool skip = (nest.key && (s & colour) == (st.key & colour)) || (nest.plane && a == 0);
        if (nest.outcome == Outcome::Drawn && !skip) want = fn(s, backBefore.get(x, y), a).value_or(want) & width;
        if (dst.get(x, y) != want && bad++ == 0)
          *where = "pixel " + std::to_string(x) + " s " + std::to_string(s) + " d " +
                   std::to_string(backBefore.get(x, y)) + " a " + std::to_string(a);
      }
    // Nothing outside the w by h rectangle changes (pitch padding included).
    for (int y = 0; y < h; ++y)
      for (intptr_t i = intptr_t(w) * bpp; i < dst.pitch; ++i) bad += dst.bytes[y * dst.pitch + i] != before.bytes[y * dst.pitch + i];
    return bad;
  }
};

void Sweep(const ColorFormat& fmt, const char* name) {
  Bench b;
  int failures = 0;
  for (int mode : {0, 1, 2, 3, 4, 5, 7, 8, 9, -1, 1000})
    for (int p : {0, 1, 15, 128, 200, 254, 255, 300})
      for (uint32_t bright : {0xFFFFFFFFu, 0x00FF80C0u, 0x12345678u})
        for (int flags = 0; flags < 128; ++flags) {
          blit::Settings st;
          st.blendMode = mode;
          st.param = p;
          st.bright = bright;
          st.trans = flags & 1 ? (flags & 32 ? 2 : 1) : 0;
          st.lowPrecision = flags & 4;
          st.mmx = flags & 8;
          st.simd = flags & 16;
          st.avx2 = flags & 64;
          std::string where;
          if (b.run(fmt, st, flags & 2, flags & 32, 19 + flags % 5, 3, &where) != 0 && failures++ < 10)
            ADD_FAILURE() << name << " mode " << mode << " p " << p << " bright " << std::hex << bright << std::dec
                          << " flags " << flags << ": " << where;
        }
}

TEST(BlitUnscaled, EveryNestDrawsItsFormula32) { Sweep(ref::Format32(), "32"); }
TEST(BlitUnscaled, EveryNestDrawsItsFormula565) { Sweep(ref::Format565(), "565"); }
TEST(BlitUnscaled, EveryNestDrawsItsFormula555) { Sweep(ref::Format555(), "555"); }
TEST(BlitUnscaled, EveryNestDrawsItsFormulaGeneral16) {
  Sweep(ref::Format16(4, 8, 4, 4, 4, 0), "444");
  Sweep(ref::Format16(5, 0, 6, 5, 5, 11), "bgr565");  // blue above bit 0 takes its own shift
}

// The fast paths (SSE2, and AVX2 where the processor has it) on rows of many widths.
TEST(BlitUnscaled, FastPathsOnEveryRowWidth) {
  Bench b;
  for (const ColorFormat& fmt : {ref::Format32(), ref::Format565(), ref::Format555(), ref::Format16(5, 0, 6, 5, 5, 11)})
    for (int mode : {0, 1, 2})
      for (int p : {1, 77, 128, 254})
        for (int flags = 0; flags < 8; ++flags)
          for (int w = 1; w < 40; w += 7) {
            blit::Settings st;
            st.avx2 = flags & 2;
            st.blendMode = mode;
            st.param = p;
            st.trans = flags & 4 ? 1 : 0;
            std::string where;
            EXPECT_EQ(b.run(fmt, st, flags & 1, false, w, 5, &where), 0) << where;
          }
}

// A keyed draw with a plane keeps the opaque shortcut only for groups without a key-coloured pixel.
TEST(BlitUnscaled, KeyedOpaqueGroupsOnEveryRowWidth) {
  Bench b;
  for (const ColorFormat& fmt : {ref::Format32(), ref::Format565(), ref::Format555()})
    for (int flags = 0; flags < 8; ++flags)
      for (int w = 1; w <= 40; ++w) {
        blit::Settings st;
        st.trans = 1;
        st.simd = flags & 1;
        st.avx2 = flags & 2;
        std::string where;
        EXPECT_EQ(b.run(fmt, st, true, flags & 4, w, 4, &where, true), 0)
            << "depth " << fmt.bitDepth << " red " << std::hex << fmt.redMask << std::dec << " flags " << flags
            << " width " << w << ": " << where;
      }
}

// Which nest the settings choose: depth or layout, mode, parameter, low precision, brightness, MMX flag, plane.
TEST(BlitUnscaled, NestChoice) {
  struct Case {
    const char* format;
    int mode, param;
    bool low, bright, mmx, plane;
    Outcome outcome;
    int nestMode;
    bool nestPlane;
    Var var;
  };
  const Outcome D = Outcome::Drawn, N = Outcome::Nothing, H = Outcome::HardwareCopy;
  const Case cases[] = {
      {"32", 0, 0, false, false, true, false, H, 0, false, Var::Plain},
      {"32", 0, 0, false, false, true, true, D, 0, true, Var::Plain},
      {"32", 0, 0, true, true, true, false, D, 0, false, Var::LowBright},
      {"32", 0, 0, false, true, true, true, D, 0, true, Var::Bright},
      {"32", 1, 0, false, false, true, false, N, 0, false, Var::Plain},
      {"32", 1, 14, true, false, true, false, N, 0, false, Var::Plain},
      {"32", 1, 255, false, false, true, false, H, 0, false, Var::Plain},
      {"32", 1, 255, true, false, true, false, H, 0, false, Var::Plain},  // sixteen sixteenths
      {"32", 1, 255, false, true, true, false, D, 0, false, Var::Bright},
      {"32", 1, 255, false, false, true, true, D, 0, true, Var::Plain},
      {"32", 1, 128, false, false, true, false, D, 1, false, Var::Mmx},
      {"32", 1, 128, false, false, false, false, D, 1, false, Var::Plain},
      {"32", 1, 128, true, false, true, false, D, 1, false, Var::Low},
      {"32", 1, 128, true, true, true, false, D, 1, false, Var::LowBright},
      {"32", 1, 128, true, false, true, true, D, 1, true, Var::Low},
      {"32", 1, 128, false, true, true, true, D, 1, true, Var::Bright},
      {"32", 2, 128, false, false, true, false, D, 2, false, Var::Mmx},
      {"32", 3, 128, false, false, true, false, D, 3, false, Var::Plain},
      {"32", 2, 128, true, true, true, false, D, 2, false, Var::LowBright},
      {"32", 2, 128, true, false, true, true, D, 2, true, Var::Plain},  // the plane runs in full precision
      {"32", 3, 0, false, false, true, false, N, 0, false, Var::Plain},
      {"32", 4, 0, false, true, true, true, D, 4, false, Var::Bright},
      {"32", 8, 128, false, false, true, false, N, 0, false, Var::Plain},
      {"565", 0, 0, false, false, true, false, H, 0, false, Var::Plain},
      {"565", 1, 128, true, false, true, false, D, 1, false, Var::LowSpecial},  // exactly a half
      {"565", 1, 128, true, false, true, true, D, 1, true, Var::LowSpecial},
      {"565", 1, 100, true, false, true, true, D, 1, true, Var::Low},
      {"565", 1, 255, true, false, true, true, D, 0, true, Var::Plain},
      {"565", 1, 0, true, false, true, true, N, 0, false, Var::Plain},
      {"565", 1, 128, false, false, true, false, D, 1, false, Var::Mmx},
      {"565", 1, 128, true, false, false, false, D, 1, false, Var::LowSpecial},
      {"565", 2, 255, true, false, true, true, D, 2, true, Var::LowSpecial},  // sixteen sixteenths
      {"565", 2, 128, true, false, true, true, D, 2, true, Var::Low},
      {"565", 2, 0, true, false, true, true, N, 0, false, Var::Plain},
      {"565", 3, 128, true, false, true, false, D, 3, false, Var::Low},
      {"565", 2, 128, false, false, true, false, D, 2, false, Var::Mmx},
      {"565", 3, 128, false, true, true, false, D, 3, false, Var::Bright},
      {"565", 8, 0, false, false, true, false, D, 8, false, Var::Plain},
      {"444", 0, 0, false, true, true, true, H, 0, false, Var::Plain},  // no plane, no brightness
      {"444", 1, 128, true, false, false, false, D, 1, false, Var::Plain},
      {"444", 2, 128, true, false, false, false, D, 2, false, Var::Plain},
      {"444", 1, 255, false, true, true, true, H, 0, false, Var::Plain},
      {"8", 1, 128, false, false, true, false, H, 0, false, Var::Plain},
  };
  const std::vector<uint32_t> mul = ref::MulTable();
  for (const Case& c : cases) {
    const std::string name = c.format;
    const ColorFormat fmt = name == "32"    ? ref::Format32()
                            : name == "565" ? ref::Format565()
                            : name == "444" ? ref::Format16(4, 8, 4, 4, 4, 0)
                                            : ref::Format8();
    blit::Settings st;
    st.screen = &fmt;
    st.mul = mul.data();
    st.blendMode = c.mode;
    st.param = c.param;
    st.lowPrecision = c.low;
    st.bright = c.bright ? 0x00804020 : 0xFFFFFFFF;
    st.mmx = c.mmx;
    st.trans = 1;
    const blit::Nest n = blit::ChooseUnscaled(st, c.plane);
    const std::string at = name + " mode " + std::to_string(c.mode) + " p " + std::to_string(c.param);
    EXPECT_EQ(n.outcome, c.outcome) << at;
    if (n.outcome != Outcome::Drawn || c.outcome != Outcome::Drawn) continue;
    EXPECT_EQ(n.mode, c.nestMode) << at;
    EXPECT_EQ(n.plane, c.nestPlane) << at;
    EXPECT_EQ(n.var, c.var) << at;
    EXPECT_EQ(n.key, c.nestMode != 4) << at;  // multiply draws the key colour too
  }
}
// The pinned values of the blend statement.
struct One {
  ColorFormat fmt;
  std::vector<uint32_t> mul = ref::MulTable();
  blit::Settings st;
  explicit One(const ColorFormat& f) : fmt(f) {
    st.screen = &fmt;
    st.mul = mul.data();
  }
  uint32_t draw(uint32_t s, uint32_t d, int a = -1, Outcome* out = nullptr) {
    uint8_t sb[4], db[4], ab = static_cast<uint8_t>(a);
    std::memcpy(sb, &s, 4);
    std::memcpy(db, &d, 4);
    blit::Job j;
    j.dst = db;
    j.src = sb;
    j.bg = db;
    j.alpha = a >= 0 ? &ab : nullptr;
    j.w = j.h = 1;
    const Outcome o = blit::DrawUnscaled(j, st);
    if (out) *out = o;
    uint32_t r = 0;
    std::memcpy(&r, db, fmt.bytesPerPixel);
    return r;
  }
};

TEST(BlitUnscaled, PinnedValues32) {
  One t(ref::Format32());
  t.st.mmx = false;
  t.st.blendMode = 2;
  t.st.param = 255;
  EXPECT_EQ(t.draw(0xFFFFFF, 0xFFFFFF), 0x01FFFFFFu);  // every channel 255, the top byte 1
  t.st.mmx = true;
  EXPECT_EQ(t.draw(0xFFFFFF, 0xFFFFFF), 0x00FFFFFFu);
  t.st.blendMode = 3;
  EXPECT_EQ(t.draw(0xFFFFFF, 0x123456), 0u);
  EXPECT_EQ(t.draw(0xFFFFFF, 0xFFFFFF), 0x010101u);
  EXPECT_EQ(t.draw(0x000000, 0x123456), 0x133556u);  // (19, 53, 86): the low bits carry the no-borrow flags
  t.st.blendMode = 0;
  EXPECT_EQ(t.draw(0x000000, 0xFFFFFF, 128), 0x80807Fu);
  EXPECT_EQ(t.draw(0xFFFFFF, 0x000000, 128), 0x7F7F7Fu);
  for (int a : {1, 77, 128, 254}) EXPECT_EQ(t.draw(0x3C5A96, 0x3C5A96, a), 0x3C5A96u);
  EXPECT_EQ(t.draw(0xAB123456, 0x00FFFFFF, 255), 0xAB123456u);  // a = 255 copies all 32 bits
  EXPECT_EQ(t.draw(0x123456, 0xCDABCDEF, 0), 0xCDABCDEFu);
  t.st.blendMode = 4;
  t.st.trans = 1;
  t.st.key = 0xFFFFFF;
  EXPECT_EQ(t.draw(0xFFFFFF, 0x406080), 0x406080u);  // the key colour is drawn in multiply
  EXPECT_EQ(t.draw(0x000000, 0x406080), 0u);
  Outcome o;
  for (int mode : {5, 6, 7, 8, -3}) {
    t.st.blendMode = mode;
    EXPECT_EQ(t.draw(0x123456, 0x654321, -1, &o), 0x654321u);
    EXPECT_EQ(o, Outcome::Nothing);
  }
  t.st.trans = 0;
  t.st.blendMode = 1;
  t.st.param = 0;
  t.draw(1, 2, -1, &o);
  EXPECT_EQ(o, Outcome::Nothing);
  t.st.param = 255;
  t.draw(1, 2, -1, &o);
  EXPECT_EQ(o, Outcome::HardwareCopy);
  t.st.param = 300;  // an unclamped parameter counts as 255
  t.draw(1, 2, -1, &o);
  EXPECT_EQ(o, Outcome::HardwareCopy);
}

TEST(BlitUnscaled, PinnedValues565) {
  One t(ref::Format565());
  t.st.blendMode = 1;
  t.st.param = 128;
  t.st.mmx = false;
  EXPECT_EQ(t.draw(0x0821, 0x1042), 0u);  // s_c = 1, d_c = 2: the scalar loop gives 0
  t.st.mmx = true;
  EXPECT_EQ(t.draw(0x0821, 0x1042), 0x0821u);  // the MMX loop gives (128 + 254) >> 8 = 1
  t.st.blendMode = 2;
  t.st.param = 255;
  EXPECT_EQ(t.draw(0xFFFF, 0xFFFF), 0xFFFFu);
  // S = s through the low-precision alpha-plane path at q = 16 and a = 255.
  t.st.lowPrecision = true;
  EXPECT_EQ(t.draw(0x0841, 0x0841, 255), 0x0882u);
  t.st.blendMode = 3;
  EXPECT_EQ(t.draw(0xFFFF, 0x1234, 255), 0x0000u);
  EXPECT_EQ(t.draw(0xFFFF, 0xFFFF, 255), 0x0800u);
  EXPECT_EQ(t.draw(0x0000, 0x1234, 255), 0x1A14u);
  t.st.lowPrecision = false;
  EXPECT_EQ(t.draw(0xF800, 0xF800), 0x0800u);  // M(255, 31) = 30 is subtracted from red 31
  t.st.blendMode = 0;
  t.st.bright = 0x00FF0000;  // red 255: red 31 becomes 30
  EXPECT_EQ(t.draw(0xF800, 0) >> 11, 30u);
  t.st.bright = 0xFFFFFFFF;
  t.st.blendMode = 4;
  EXPECT_EQ(t.draw(0xFFFF, 0x1234), 0x1234u);
  t.st.blendMode = 8;
  EXPECT_EQ(t.draw(0xF0F0, 0x0FF0), 0xFF00u);
}

}  // namespace
