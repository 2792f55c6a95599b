#include <gtest/gtest.h>

#include "graphics/software/blit_loops.h"
#include "unscaled_reference.h"

namespace {

using blit::Outcome;

struct Case {
  ColorFormat fmt;
  const char* name;
};

// Draws with the library and with the reference on the same random images; returns the number of mismatches.
struct Bench {
  std::mt19937 rng{1234};
  std::vector<uint32_t> mul = ref::MulTable();

  int run(const ColorFormat& fmt, blit::Settings st, bool plane, bool sameBg, int w, int h, std::string* where) {
    const int bpp = fmt.bytesPerPixel;
    ref::Image src(w, h, bpp, rng, 4), bg(w, h, bpp, rng, 8), dst(w, h, bpp, rng, 12), alpha(w, h, 1, rng, 3);
    const uint32_t colour = blit::ColourBits(fmt);
    const uint32_t key = (src.get(1, 0) & colour) | (rng() & ~colour);
    st.key = key;
    // Key-coloured source pixels with random bits outside the channels; alpha bytes biased to 0 and 255.
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t r = rng();
        if (r % 5 == 0) src.set(x, y, (key & colour) | (rng() & ~colour & (bpp == 4 ? 0xFFFFFFFF : 0xFFFF)));
        const uint32_t a = (r >> 8) % 4;
        alpha.set(x, y, a == 0 ? 0 : a == 1 ? 255 : (r >> 16) & 0xFF);
      }
    const ref::Image before = dst;
    ref::Image& back = sameBg ? dst : bg;
    const ref::Image backBefore = back;
    blit::Job j;
    j.dst = dst.at(0, 0);
    j.dstPitch = dst.pitch;
    j.src = src.at(0, 0);
    j.srcPitch = src.pitch;
    j.bg = back.at(0, 0);
    j.bgPitch = back.pitch;
    j.alpha = plane ? alpha.at(0, 0) : nullptr;
    j.alphaPitch = alpha.pitch;
    j.w = w;
    j.h = h;
    st.screen = &fmt;
    st.mul = mul.data();
    const Outcome got = blit::DrawUnscaled(j, st);
    const ref::Leaf leaf = fmt.bitDepth == 32 ? ref::Unscaled32(st, plane) : ref::Unscaled16(st, fmt, plane);
    int bad = 0;
    if (got != leaf.out) {
      *where = "outcome " + std::to_string(int(got)) + " expected " + std::to_string(int(leaf.out));
      return 1;
    }
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint32_t want = before.get(x, y);
        if (leaf.out == Outcome::Drawn) {
          const uint32_t s = src.get(x, y), a = alpha.get(x, y);
          const bool skip = (leaf.key && (s & colour) == (key & colour)) || (leaf.plane && a == 0);
          if (!skip) {
            const ref::Pixel px = leaf.fn(s, backBefore.get(x, y), a);
            if (px) want = *px & (bpp == 4 ? 0xFFFFFFFF : 0xFFFF);
          }
        }
        if (dst.get(x, y) != want && bad++ == 0) {
          char text[160];
          std::snprintf(text, sizeof text, "pixel (%d,%d) s=%x d=%x a=%u got %x want %x", x, y, src.get(x, y),
                        backBefore.get(x, y), alpha.get(x, y), dst.get(x, y), want);
          *where = text;
        }
      }
    // Nothing outside the w by h rectangle changes (pitch padding included).
    for (int y = 0; y < h; ++y)
      for (intptr_t i = intptr_t(w) * bpp; i < dst.pitch; ++i)
        if (dst.bytes[y * dst.pitch + i] != before.bytes[y * dst.pitch + i]) ++bad;
    return bad;
  }
};

const int kParams[] = {0, 1, 15, 128, 200, 254, 255};
const uint32_t kBright[] = {0xFFFFFFFF, 0x00FF80C0, 0x12345678, 0x00FFFFFF};
const int kModes[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, -1, 1000};

void Sweep(const ColorFormat& fmt, const char* name) {
  Bench b;
  int failures = 0;
  for (int mode : kModes)
    for (int p : kParams)
      for (uint32_t bright : kBright)
        for (int flags = 0; flags < 128; ++flags) {
          blit::Settings st;
          st.avx2 = flags & 64;
          st.blendMode = mode;
          st.param = p;
          st.bright = bright;
          st.trans = flags & 1 ? (flags & 32 ? 2 : 1) : 0;
          st.lowPrecision = flags & 4;
          st.mmx = flags & 8;
          st.simd = flags & 16;
          const bool plane = flags & 2, sameBg = flags & 32;
          std::string where;
          const int w = 19 + (flags % 5), h = 3;
          if (b.run(fmt, st, plane, sameBg, w, h, &where) != 0 && failures++ < 10)
            ADD_FAILURE() << name << " mode " << mode << " p " << p << " bright " << std::hex << bright << std::dec
                          << " key " << st.trans << " plane " << plane << " lp " << st.lowPrecision << " mmx "
                          << st.mmx << " simd " << st.simd << ": " << where;
        }
}

TEST(BlitUnscaled, MatchesReference32) { Sweep(ref::Format32(), "32"); }
TEST(BlitUnscaled, MatchesReference565) { Sweep(ref::Format565(), "565"); }
TEST(BlitUnscaled, MatchesReference555) { Sweep(ref::Format555(), "555"); }
TEST(BlitUnscaled, MatchesReferenceGeneralLayouts) {
  Sweep(ref::Format16(4, 8, 4, 4, 4, 0), "444");
  Sweep(ref::Format16(5, 0, 6, 5, 5, 11), "bgr565");  // blue above bit 0 takes its own shift
}

// The fast paths (SSE2, and AVX2 where the processor has it) against the plain loops on rows of many widths.
TEST(BlitUnscaled, SimdMatchesPlainLoops) {
  Bench b;
  for (const ColorFormat& fmt : {ref::Format32(), ref::Format565(), ref::Format555(), ref::Format16(5, 0, 6, 5, 5, 11)})
    for (int mode : {0, 1, 2})
      for (int p : {1, 77, 128, 254})
        for (int keyed = 0; keyed < 2; ++keyed)
          for (int plane = 0; plane < 4; ++plane)
            for (int w = 1; w < 40; w += 7) {
              blit::Settings st;
              st.avx2 = plane & 2;
              st.blendMode = mode;
              st.param = p;
              st.trans = keyed;
              std::string where;
              EXPECT_EQ(b.run(fmt, st, plane & 1, false, w, 5, &where), 0) << where;
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
