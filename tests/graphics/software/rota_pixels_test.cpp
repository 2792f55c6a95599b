#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "graphics/software/rota_draw.h"
#include "graphics/software/triangle_raster.h"
#include "rota_reference.h"

namespace {

struct Case {
  ref::Format f;
  ref::Settings st;
  bool plane = false;
};

struct Impl {
  ColorFormat cf;
  RotaBlendSettings blend;
  RotaNest nest, fill;
  RotaBlendContext c;
  explicit Impl(const Case& k) {
    cf = ref::ToColorFormat(k.f);
    blend = {k.st.mode, k.st.param, k.st.bright, k.st.low};
    nest = RotaChooseTexNest(cf, blend, k.plane, k.st.trans);
    fill = RotaChooseFillNest(cf, blend);
    RotaPrepareContext(&c, cf, blend, k.st.key);
  }
};

RotaSurfaceView View(ref::Surface& s) { return {s.Origin(), s.pitch}; }
RotaRect ToRect(ref::Rect r) { return {r.left, r.top, r.right, r.bottom}; }

RotaTexView TexOf(const ref::Surface& t, const std::vector<uint8_t>* plane) {
  RotaTexView v;
  v.bits = t.Origin();
  v.pitch = t.pitch;
  v.width = static_cast<uint32_t>(t.w);
  v.height = static_cast<uint32_t>(t.h);
  if (plane) {
    v.plane = plane->data();
    v.planePitch = t.w;
  }
  return v;
}

void DrawRotated(const Case& k, ref::Surface& dst, ref::Surface& bg, const ref::Surface& tex,
                 const std::vector<uint8_t>* plane, int x, int y, double scale, double angle, ref::Rect clip) {
  Impl im(k);
  RotaGeometry g;
  RotaComputeGeometry(x, y, scale, angle, static_cast<uint32_t>(tex.w), static_cast<uint32_t>(tex.h), false,
                      ToRect(clip), &g);
  RotaScanPixels(g, im.nest, im.c, View(dst), View(bg), TexOf(tex, plane));
}

ref::Format PickFormat(std::mt19937& rng) {
  switch (rng() % 6) {
    case 0: return ref::F8();
    case 1: return ref::F565();
    case 2: return ref::F555();
    case 3: return ref::FBgr565();
    case 4: return ref::F448();
    default: return ref::F32();
  }
}

Case RandomCase(std::mt19937& rng) {
  Case k;
  k.f = PickFormat(rng);
  static const int kModes[] = {0, 1, 2, 3, 4, 0, 1, 2, 3, 5, -1};
  k.st.mode = kModes[rng() % 11];
  static const int kParams[] = {0, 255, 128, 7, 14, 15, 127, 135, 142, 239, 240, 254};
  k.st.param = rng() % 3 ? static_cast<int>(rng() % 256) : kParams[rng() % 12];
  k.st.bright = rng() % 2 ? 0xFFFFFFFF : static_cast<uint32_t>(rng());
  k.st.low = rng() % 3 == 0;
  k.st.trans = static_cast<int>(rng() % 3);
  k.plane = rng() % 2;
  return k;
}

struct Scene {
  ref::Surface tex, dst, refDst, bg;
  std::vector<uint8_t> plane;
  bool separateBg = false;
  ref::Rect clip{};
};

Scene MakeScene(std::mt19937& rng, Case& k, int tw, int th) {
  Scene s;
  int b = k.f.Bytes();
  s.tex = ref::Surface(tw, th, b);
  s.tex.Fill(rng);
  // Make some texels the key, and the plane rich in 0 and 255.
  k.st.key = s.tex.Get(rng() % tw, rng() % th) ^ (b == 4 && rng() % 2 ? 0xFF000000u : 0u);
  for (int i = 0; i < tw * th / 4; ++i) s.tex.Set(rng() % tw, rng() % th, k.st.key);
  s.plane.resize(static_cast<size_t>(tw * th));
  for (auto& a : s.plane) a = rng() % 3 == 0 ? 0 : rng() % 3 == 0 ? 255 : static_cast<uint8_t>(rng());
  s.dst = ref::Surface(48, 40, b);
  s.dst.Fill(rng);
  s.refDst = s.dst;
  s.separateBg = rng() % 2;
  s.bg = ref::Surface(48, 40, b);
  s.bg.Fill(rng);
  int l = static_cast<int>(rng() % 12), t = static_cast<int>(rng() % 12);
  s.clip = {l, t, l + static_cast<int>(rng() % (48 - l + 1)), t + static_cast<int>(rng() % (40 - t + 1))};
  return s;
}

TEST(RotatedPixels, MatchesPlainReferenceOnRandomDraws) {
  std::mt19937 rng(1234);
  for (int iter = 0; iter < 4000; ++iter) {
    Case k = RandomCase(rng);
    Scene s = MakeScene(rng, k, 1 + static_cast<int>(rng() % 24), 1 + static_cast<int>(rng() % 24));
    int x = static_cast<int>(rng() % 80) - 16, y = static_cast<int>(rng() % 72) - 16;
    double scale = (rng() % 8 == 0) ? -1.3 : 0.2 + (rng() % 1000) / 300.0;
    double angle = (static_cast<double>(rng() % 20000) - 10000.0) / 1000.0;
    if (rng() % 8 == 0) angle = 0;
    ref::Surface& bgImpl = s.separateBg ? s.bg : s.dst;
    ref::Surface& bgRef = s.separateBg ? s.bg : s.refDst;
    DrawRotated(k, s.dst, bgImpl, s.tex, k.plane ? &s.plane : nullptr, x, y, scale, angle, s.clip);
    ref::Rotated(k.f, k.st, s.refDst, bgRef, ref::Texture{&s.tex, k.plane ? &s.plane : nullptr}, x, y, scale,
                 angle, s.clip);
    ASSERT_EQ(s.dst.mem, s.refDst.mem) << "iteration " << iter << " depth " << k.f.depth << " kind " << k.f.kind
                                       << " mode " << k.st.mode << " param " << k.st.param << " low " << k.st.low
                                       << " plane " << k.plane << " trans " << k.st.trans;
  }
}

TEST(TrianglePixels, MatchesPlainReferenceOnRandomTriangles) {
  std::mt19937 rng(99);
  for (int iter = 0; iter < 4000; ++iter) {
    Case k = RandomCase(rng);
    Scene s = MakeScene(rng, k, 1 + static_cast<int>(rng() % 24), 1 + static_cast<int>(rng() % 24));
    ref::Vertex rv[3];
    TriangleVertex tv[3];
    for (int i = 0; i < 3; ++i) {
      rv[i] = {static_cast<int>(rng() % 80) - 16, static_cast<int>(rng() % 70) - 16,
               static_cast<int>(rng() % (s.tex.w + 5)) - 2, static_cast<int>(rng() % (s.tex.h + 5)) - 2};
      if (rng() % 6 == 0 && i > 0) rv[i].y = rv[i - 1].y;  // flat tops and bottoms
      tv[i] = {rv[i].x, rv[i].y, rv[i].u, rv[i].v};
    }
    bool textured = rng() % 4 != 0;
    uint32_t colour = static_cast<uint32_t>(rng()) & (k.f.depth == 32 ? 0xFFFFFF : k.f.depth == 16 ? 0xFFFF : 0xFF);
    ref::Surface& bgImpl = s.separateBg ? s.bg : s.dst;
    ref::Surface& bgRef = s.separateBg ? s.bg : s.refDst;
    Impl im(k);
    RotaTexView tex = TexOf(s.tex, k.plane ? &s.plane : nullptr);
    int got = RotaRasterTriangle(tv, textured ? &tex : nullptr, textured ? im.nest : im.fill, im.c, View(s.dst),
                                 View(bgImpl), colour, ToRect(s.clip));
    int want = ref::Triangle(k.f, k.st, s.refDst, bgRef,
                             ref::Texture{textured ? &s.tex : nullptr, k.plane ? &s.plane : nullptr}, rv, colour,
                             s.clip);
    ASSERT_EQ(got, want) << "iteration " << iter;
    ASSERT_EQ(s.dst.mem, s.refDst.mem) << "iteration " << iter << " textured " << textured << " depth "
                                       << k.f.depth << " kind " << k.f.kind << " mode " << k.st.mode << " param "
                                       << k.st.param << " low " << k.st.low << " plane " << k.plane;
  }
}

// One pixel through the whole path: a 1 x 1 graph at angle 0 and scale 1 on a 1 x 1 target.
uint32_t DrawOne(const ref::Format& f, ref::Settings st, uint32_t s, uint32_t d, int a = -1) {
  ref::Surface tex(1, 1, f.Bytes()), dst(1, 1, f.Bytes());
  tex.Set(0, 0, s);
  dst.Set(0, 0, d);
  std::vector<uint8_t> plane{static_cast<uint8_t>(a < 0 ? 0 : a)};
  Case k{f, st, a >= 0};
  DrawRotated(k, dst, dst, tex, a >= 0 ? &plane : nullptr, 0, 0, 1.0, 0.0, {0, 0, 1, 1});
  return dst.Get(0, 0);
}

TEST(RotatedPixels, PinnedBlendValues) {
  ref::Settings st;
  // 5:6:5, p = 255: a source red of 20 scales to 19; added to 20 it saturates, subtracted from 5 it floors.
  st.mode = 2;
  EXPECT_EQ(DrawOne(ref::F565(), st, 20u << 11, 20u << 11) >> 11, 31u);
  st.mode = 3;
  EXPECT_EQ(DrawOne(ref::F565(), st, 20u << 11, 5u << 11) >> 11, 0u);
  // Alpha at 255 is the copy, at 0 nothing; the same with an alpha plane.
  st.mode = 1;
  EXPECT_EQ(DrawOne(ref::F32(), st, 0xAB123456, 0x00FFFFFF), 0xAB123456u);
  EXPECT_EQ(DrawOne(ref::F32(), st, 0x00123456, 0x00FFFFFF, 200),
            [] { ref::Settings c; return DrawOne(ref::F32(), c, 0x00123456, 0x00FFFFFF, 200); }());
  st.param = 0;
  EXPECT_EQ(DrawOne(ref::F32(), st, 0x00123456, 0x00FFFFFF), 0x00FFFFFFu);
  // A plane byte of 0 leaves the pixel in every mode that reads the plane.
  for (int mode = 0; mode < 4; ++mode) {
    ref::Settings m;
    m.mode = mode;
    m.param = 200;
    EXPECT_EQ(DrawOne(ref::F565(), m, 0x1234, 0x4321, 0), 0x4321u) << mode;
  }
  // Low precision: below 15 modes 1 to 3 draw nothing; mode 1 from 127 to 142 averages exactly.
  ref::Settings low;
  low.low = true;
  for (int mode = 1; mode < 4; ++mode) {
    low.mode = mode;
    low.param = 14;
    EXPECT_EQ(DrawOne(ref::F32(), low, 0x00FFFFFF, 0x00102030), 0x00102030u) << mode;
  }
  low.mode = 1;
  for (int p = 127; p <= 142; ++p) {
    low.param = p;
    EXPECT_EQ(DrawOne(ref::F32(), low, 0x00FF8001, 0x00010203), 0x00804102u) << p;
  }
  // Multiply ignores the key; an 8-bit screen copies the index whatever the mode.
  ref::Settings mul;
  mul.mode = 4;
  mul.trans = 1;
  mul.key = 0x00FFFFFF;
  EXPECT_EQ(DrawOne(ref::F32(), mul, 0x00FFFFFF, 0x00804020), 0x00804020u);
  for (int mode = 0; mode < 5; ++mode) {
    ref::Settings e;
    e.mode = mode;
    e.param = 77;
    EXPECT_EQ(DrawOne(ref::F8(), e, 42, 9), 42u);
  }
  // The key compares the colour bits only: a cleared padding byte still keys.
  ref::Settings key;
  key.trans = 1;
  key.key = 0xFF000000;
  EXPECT_EQ(DrawOne(ref::F32(), key, 0x00000000, 0x00123456), 0x00123456u);
  key.trans = 2;  // only exactly 1 keys on 16 and 32 bits
  EXPECT_EQ(DrawOne(ref::F32(), key, 0x00000000, 0x00123456), 0u);
}

TEST(RotatedPixels, AngleZeroScaleOneIsTheUnscaledPicture) {
  std::mt19937 rng(5);
  for (int tw : {1, 5, 8, 13}) {
    for (int th : {1, 4, 7}) {
      ref::Surface tex(tw, th, 4), dst(40, 30, 4);
      tex.Fill(rng);
      int x = static_cast<int>(rng() % 50) - 5, y = static_cast<int>(rng() % 40) - 5;
      Case k{ref::F32(), {}, false};
      DrawRotated(k, dst, dst, tex, nullptr, x, y, 1.0, 0.0, {0, 0, 40, 30});
      for (int py = 0; py < 30; ++py)
        for (int px = 0; px < 40; ++px) {
          int u = px - x + tw / 2, v = py - y + th / 2;
          uint32_t want = (u >= 0 && u < tw && v >= 0 && v < th) ? tex.Get(u, v) : 0xA5A5A5A5u;
          ASSERT_EQ(dst.Get(px, py), want) << tw << "x" << th << " at " << px << "," << py;
        }
    }
  }
}

TEST(RotatedPixels, NegativeSourceJustBelowZeroSamplesColumnZero) {
  // Angle 0 at scale 2: destination pixel x - 17 maps to u = -0.5 texel, which truncates to column 0.
  ref::Surface tex(16, 16, 4), dst(64, 64, 4);
  for (int v = 0; v < 16; ++v)
    for (int u = 0; u < 16; ++u) tex.Set(u, v, static_cast<uint32_t>(u + 1));
  Case k{ref::F32(), {}, false};
  DrawRotated(k, dst, dst, tex, nullptr, 32, 32, 2.0, 0.0, {0, 0, 64, 64});
  EXPECT_EQ(dst.Get(32 - 16, 32), 1u);
  EXPECT_EQ(dst.Get(32 - 17, 32), 1u);  // u = -0.5 texel
  EXPECT_EQ(dst.Get(32 - 18, 32), 0xA5A5A5A5u);
}

TEST(RotatedPixels, DegenerateInputsDrawNothingOrStayInside) {
  ref::Surface tex(8, 8, 2);
  std::mt19937 rng(3);
  tex.Fill(rng);
  Case k{ref::F565(), {}, false};
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  for (double scale : {0.0, -0.0, inf, -inf, nan}) {
    ref::Surface dst(16, 16, 2), before = dst;
    DrawRotated(k, dst, dst, tex, nullptr, 8, 8, scale, 0.3, {0, 0, 16, 16});
    EXPECT_EQ(dst.mem, before.mem) << scale;
  }
  for (double angle : {inf, nan}) {
    ref::Surface dst(16, 16, 2), before = dst;
    DrawRotated(k, dst, dst, tex, nullptr, 8, 8, 1.0, angle, {0, 0, 16, 16});
    EXPECT_EQ(dst.mem, before.mem);
  }
  // Huge and tiny scales, far centres: every write stays inside the clip.
  for (double scale : {1e300, 1e12, 3e5, 1e-300, 1e-9}) {
    for (int c : {8, -100000, 2000000000}) {
      ref::Surface dst(16, 16, 2);
      DrawRotated(k, dst, dst, tex, nullptr, c, 8, scale, 0.7, {2, 2, 14, 14});
      for (int y = -ref::Surface::kGuard; y < 16 + ref::Surface::kGuard; ++y)
        for (int x = -ref::Surface::kGuard; x < 16 + ref::Surface::kGuard; ++x)
          if (x < 2 || y < 2 || x >= 14 || y >= 14) {
            ASSERT_EQ(dst.Get(x, y), 0xA5A5u) << scale << " " << c;
          }
    }
  }
  // A huge scale fills the clip with one texel.
  ref::Surface dst(16, 16, 2);
  DrawRotated(k, dst, dst, tex, nullptr, 8, 8, 1e12, 0.0, {2, 2, 14, 14});
  EXPECT_EQ(dst.Get(2, 2), tex.Get(4, 4));
  EXPECT_EQ(dst.Get(13, 13), tex.Get(4, 4));
}

TEST(RotatedPixels, OnePixelHighGraphDrawsItsRow) {
  ref::Surface tex(6, 1, 4), dst(20, 10, 4);
  for (int u = 0; u < 6; ++u) tex.Set(u, 0, 0x100 + static_cast<uint32_t>(u));
  Case k{ref::F32(), {}, false};
  DrawRotated(k, dst, dst, tex, nullptr, 10, 5, 1.0, 0.0, {0, 0, 20, 10});
  for (int u = 0; u < 6; ++u) EXPECT_EQ(dst.Get(7 + u, 5), 0x100u + static_cast<uint32_t>(u));
  EXPECT_EQ(dst.Get(6, 5), 0xA5A5A5A5u);
  EXPECT_EQ(dst.Get(10, 4), 0xA5A5A5A5u);
}

// A 1-pixel-wide graph turned a quarter either way lies on one row too: all its texels are drawn, once each.
TEST(RotatedPixels, OnePixelWideGraphTurnedAQuarterDrawsItsColumnAsARow) {
  for (double angle : {M_PI / 2, -M_PI / 2}) {
    ref::Surface tex(1, 6, 4), dst(20, 10, 4);
    for (int v = 0; v < 6; ++v) tex.Set(0, v, 0x100 + static_cast<uint32_t>(v));
    Case k{ref::F32(), {}, false};
    DrawRotated(k, dst, dst, tex, nullptr, 10, 5, 1.0, angle, {0, 0, 20, 10});
    std::vector<uint32_t> seen;
    int row = -1;
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 20; ++x)
        if (dst.Get(x, y) != 0xA5A5A5A5u) {
          seen.push_back(dst.Get(x, y));
          if (row < 0) row = y;
          EXPECT_EQ(y, row) << angle;
        }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<uint32_t>{0x100, 0x101, 0x102, 0x103, 0x104, 0x105})) << angle;
  }
}

TEST(RotatedPixels, TurnHandsTheMirroredCornersToTheFourCornerDrawer) {
  RotaGeometry g;
  RotaComputeGeometry(100, 50, 1.0, 0.0, 64, 32, true, {0, 0, 640, 480}, &g);
  ASSERT_EQ(g.plan, RotaPlan::Turn);
  // Top-left, top-right, bottom-left, bottom-right of the call: corners 3, 0, 2, 1.
  EXPECT_EQ(g.modiX[0], 132); EXPECT_EQ(g.modiY[0], 34);
  EXPECT_EQ(g.modiX[1], 68); EXPECT_EQ(g.modiY[1], 34);
  EXPECT_EQ(g.modiX[2], 132); EXPECT_EQ(g.modiY[2], 66);
  EXPECT_EQ(g.modiX[3], 68); EXPECT_EQ(g.modiY[3], 66);
  // Turned by a right angle, the corners turn with the picture (clockwise on the screen).
  RotaComputeGeometry(100, 50, 1.0, M_PI / 2, 64, 32, true, {0, 0, 640, 480}, &g);
  EXPECT_NEAR(g.modiX[0], 116, 1); EXPECT_NEAR(g.modiY[0], 82, 1);
}

void DrawQuad(const Case& k, ref::Surface& dst, const ref::Surface& tex, const std::vector<uint8_t>* plane,
              const int32_t* x, const int32_t* y, ref::Rect clip) {
  Impl im(k);
  TriangleVertex v[4];
  RotaQuadVertices(x, y, tex.w, tex.h, v);
  RotaTexView tv = TexOf(tex, plane);
  RotaRasterTriangle(v, &tv, im.nest, im.c, View(dst), View(dst), 0, ToRect(clip));
  RotaRasterTriangle(v + 1, &tv, im.nest, im.c, View(dst), View(dst), 0, ToRect(clip));
}

TEST(TrianglePixels, UprightRectangleOfTheGraphsSizeWritesExactlyThePicture) {
  std::mt19937 rng(8);
  ref::Surface tex(9, 6, 4), dst(30, 20, 4);
  tex.Fill(rng);
  const int32_t x[4] = {5, 14, 5, 14}, y[4] = {3, 3, 9, 9};
  Case k{ref::F32(), {}, false};
  DrawQuad(k, dst, tex, nullptr, x, y, {0, 0, 30, 20});
  for (int py = 0; py < 20; ++py)
    for (int px = 0; px < 30; ++px) {
      bool inside = px >= 5 && px < 14 && py >= 3 && py < 9;
      ASSERT_EQ(dst.Get(px, py), inside ? tex.Get(px - 5, py - 3) : 0xA5A5A5A5u) << px << "," << py;
    }
  // Blending: the diagonal from top-right to bottom-left is drawn by both triangles.
  ref::Surface flat(1, 1, 4), blend(30, 20, 4);
  Case add{ref::F32(), {}, false};
  add.st.mode = 2;
  for (int py = 0; py < 20; ++py)
    for (int px = 0; px < 30; ++px) blend.Set(px, py, 0);
  ref::Surface one(9, 6, 4);
  for (int v = 0; v < 6; ++v)
    for (int u = 0; u < 9; ++u) one.Set(u, v, 0x00000010);
  DrawQuad(add, blend, one, nullptr, x, y, {0, 0, 30, 20});
  int twice = 0;
  for (int py = 3; py < 9; ++py)
    for (int px = 5; px < 14; ++px) twice += blend.Get(px, py) == 0x1E;
  EXPECT_GT(twice, 0);
  EXPECT_EQ(blend.Get(5, 3), 0x0Fu);
}

TEST(TrianglePixels, MirroredShotTakesTheTurnedPath) {
  std::mt19937 rng(11);
  ref::Surface tex(8, 6, 2), dst(40, 30, 2);
  tex.Fill(rng);
  RotaGeometry g;
  RotaComputeGeometry(20, 15, 1.0, 0.0, 8, 6, true, {0, 0, 40, 30}, &g);
  Case k{ref::F565(), {}, false};
  DrawQuad(k, dst, tex, nullptr, g.modiX, g.modiY, {0, 0, 40, 30});
  // Columns 17 .. 24 hold the picture mirrored: texel column 24 - x.
  for (int py = 0; py < 30; ++py)
    for (int px = 0; px < 40; ++px) {
      bool inside = px >= 17 && px <= 24 && py >= 12 && py < 18;
      ASSERT_EQ(dst.Get(px, py), inside ? tex.Get(24 - px, py - 12) : 0xA5A5u) << px << "," << py;
    }
}

TEST(TrianglePixels, RowsAtNegativeCoordinates) {
  // A vertex at y = -1 starts its walk at row 0: the triangle draws as if it started at row 0.
  Case k{ref::F32(), {}, false};
  Impl im(k);
  auto draw = [&](int top) {
    ref::Surface dst(20, 20, 4);
    TriangleVertex v[3] = {{0, top, 0, 0}, {10, top, 0, 0}, {0, 9, 0, 0}};
    EXPECT_EQ(RotaRasterTriangle(v, nullptr, im.fill, im.c, View(dst), View(dst), 0x123456, {0, 0, 20, 20}), 0);
    return dst;
  };
  ref::Surface a = draw(-1), b = draw(0);
  EXPECT_EQ(a.Get(0, 0), 0x123456u);
  EXPECT_EQ(a.Get(10, 0), 0x123456u);
  EXPECT_EQ(a.Get(11, 0), 0xA5A5A5A5u);
  // Each row includes both ends; the bottom vertex's row is not drawn.
  EXPECT_EQ(b.Get(10, 0), 0x123456u);
  EXPECT_EQ(b.Get(0, 8), 0x123456u);
  EXPECT_EQ(b.Get(0, 9), 0xA5A5A5A5u);
  // A span that starts left of the clip begins at the clip's left edge with that pixel's texel.
  ref::Surface tex(8, 4, 4), dst(20, 10, 4);
  for (int v = 0; v < 4; ++v)
    for (int u = 0; u < 8; ++u) tex.Set(u, v, static_cast<uint32_t>(u));
  const int32_t x[4] = {-3, 5, -3, 5}, y[4] = {2, 2, 6, 6};
  DrawQuad(k, dst, tex, nullptr, x, y, {0, 0, 20, 10});
  // x0 of a vertex at -3 truncates toward zero to -2, so the texels run one column ahead.
  EXPECT_EQ(dst.Get(0, 2), 2u);
  EXPECT_EQ(dst.Get(4, 2), 6u);
}

TEST(TrianglePixels, RefusedAndDegenerateTriangles) {
  Case k{ref::F32(), {}, false};
  Impl im(k);
  ref::Surface dst(16, 16, 4), before = dst;
  auto run = [&](TriangleVertex a, TriangleVertex b, TriangleVertex c) {
    TriangleVertex v[3] = {a, b, c};
    return RotaRasterTriangle(v, nullptr, im.fill, im.c, View(dst), View(dst), 7, {0, 0, 16, 16});
  };
  EXPECT_EQ(run({1, 1, 0, 0}, {1, 1, 0, 0}, {5, 9, 0, 0}), -1);   // two equal vertices
  EXPECT_EQ(run({1, 1, 0, 0}, {4, 4, 0, 0}, {8, 8, 0, 0}), -1);   // one line
  EXPECT_EQ(run({1, 3, 0, 0}, {4, 3, 0, 0}, {9, 3, 0, 0}), -1);   // one row
  EXPECT_EQ(run({0, -8192, 0, 0}, {10, 0, 0, 0}, {0, 9, 0, 0}), -1);  // beyond the fixed-point range
  EXPECT_EQ(run({0, 0, 0, 0}, {INT32_MAX, 0, 0, 0}, {0, INT32_MIN, 0, 0}), -1);
  EXPECT_EQ(dst.mem, before.mem);
  // The tallest and widest triangles in range walk their 16,382 rows and write only inside the target.
  EXPECT_EQ(run({-8191, -8191, 0, 0}, {8191, -8191, 0, 0}, {0, 8191, 0, 0}), 0);
  EXPECT_EQ(run({-8191, 8191, 0, 0}, {8191, 100, 0, 0}, {3, -8191, 0, 0}), 0);
  for (int y = -ref::Surface::kGuard; y < 16 + ref::Surface::kGuard; ++y)
    for (int x = -ref::Surface::kGuard; x < 16 + ref::Surface::kGuard; ++x) {
      bool inside = x >= 0 && y >= 0 && x < 16 && y < 16;
      ASSERT_EQ(dst.Get(x, y), inside ? 7u : 0xA5A5A5A5u) << x << "," << y;
    }
  // Textured with a huge graph: the plane arithmetic does not wrap into the graph.
  ref::Surface tex(4, 4, 4), out(16, 16, 4), untouched = out;
  std::mt19937 rng(1);
  tex.Fill(rng);
  RotaTexView tv = TexOf(tex, nullptr);
  TriangleVertex v[3] = {{0, 0, 0, 0}, {1, 0, 1 << 24, 0}, {0, 15, 0, 1 << 24}};
  EXPECT_EQ(RotaRasterTriangle(v, &tv, im.nest, im.c, View(out), View(out), 0, {0, 0, 16, 16}), 0);
  EXPECT_EQ(out.Get(0, 0), tex.Get(0, 0));
  EXPECT_EQ(out.Get(1, 0), 0xA5A5A5A5u);
}

TEST(TrianglePixels, QuadBoxCoversEveryWrite) {
  std::mt19937 rng(21);
  for (int iter = 0; iter < 500; ++iter) {
    int32_t x[4], y[4];
    for (int i = 0; i < 4; ++i) {
      x[i] = static_cast<int32_t>(rng() % 60) - 10;
      y[i] = static_cast<int32_t>(rng() % 50) - 10;
    }
    ref::Surface tex(5, 5, 4), dst(40, 30, 4);
    for (int v = 0; v < 5; ++v)
      for (int u = 0; u < 5; ++u) tex.Set(u, v, 1);
    Case k{ref::F32(), {}, false};
    DrawQuad(k, dst, tex, nullptr, x, y, {0, 0, 40, 30});
    RotaRect box = RotaQuadBox(x, y, {0, 0, 40, 30});
    for (int py = -8; py < 38; ++py)
      for (int px = -8; px < 48; ++px)
        if (dst.Get(px, py) != 0xA5A5A5A5u) {
          ASSERT_TRUE(px >= box.left && px < box.right && py >= box.top && py < box.bottom) << iter;
        }
  }
}

}  // namespace

namespace {

TEST(TrianglePixels, CopyWithAlphaPlaneDrawsAtEveryParameter) {
  // 32 bits, mode 0, parameter 0: the parameter takes no part in a copy.
  ref::Surface tex(4, 4, 4), dst(10, 10, 4);
  std::mt19937 rng(2);
  tex.Fill(rng);
  std::vector<uint8_t> plane(16, 255);
  Case k{ref::F32(), {}, true};
  k.st.param = 0;
  const int32_t x[4] = {2, 6, 2, 6}, y[4] = {2, 2, 6, 6};
  DrawQuad(k, dst, tex, &plane, x, y, {0, 0, 10, 10});
  EXPECT_EQ(dst.Get(2, 2), tex.Get(0, 0));
  EXPECT_EQ(dst.Get(5, 5), tex.Get(3, 3));
}

TEST(RotatedPixels, WideGenericChannelsAndPlaneWithBrightnessDraw) {
  // A 4:4:8 format indexes the parameter rows with an 8-bit channel, and alpha with a plane and brightness has
  // its nest in a generic format.
  ref::Settings st;
  st.mode = 1;
  st.param = 128;
  st.bright = 0x008080FF;  // red and green at half, blue full
  uint32_t got = DrawOne(ref::F448(), st, 0xF0FF, 0x0000, 255);
  EXPECT_EQ(got & 0xFF, (128u * ((0xFFu * 255u) >> 8)) >> 8);
  EXPECT_EQ(got >> 12, (128u * ((0x80u * 15u) >> 8)) >> 8);
}

}  // namespace

// The copy through an alpha plane runs vector rows over gathered texels; the plain per-pixel loop of the same nest
// must draw the same pixels, turned or mirrored (two triangles), keyed or not, onto the destination or a separate
// background, for every graph width from 1 to 40 and positions across the clip's edges.
TEST(RotatedPixels, VectorRowsMatchThePlainLoop) {
  struct Row {
    ref::Format f;
    int trans;
    bool mirrored, separateBg;
  };
  const Row rows[] = {
      {ref::F32(), 0, false, false}, {ref::F32(), 1, false, true},  {ref::F32(), 1, true, false},
      {ref::F32(), 0, true, true},   {ref::F565(), 1, false, false}, {ref::F565(), 0, false, true},
      {ref::F565(), 1, true, true},  {ref::F565(), 0, true, false},  {ref::F555(), 1, false, true},
      {ref::F555(), 0, true, false},
  };
  std::mt19937 rng(2024);
  for (const Row& row : rows) {
    for (int width = 1; width <= 40; ++width) {
      Case k{row.f, {}, true};
      k.st.trans = row.trans;
      Scene s = MakeScene(rng, k, width, 1 + static_cast<int>(rng() % 40));
      ref::Surface plainDst = s.dst;
      Impl vector(k), plain(k);
      ASSERT_TRUE(vector.nest.draw);
      plain.nest.simd = false;
      const int x = static_cast<int>(rng() % 64) - 8, y = static_cast<int>(rng() % 56) - 8;
      const double scale = 0.4 + (rng() % 1000) / 400.0, angle = (static_cast<double>(rng() % 6284)) / 1000.0;
      const RotaTexView tex = TexOf(s.tex, &s.plane);
      const RotaRect clip = ToRect(s.clip);
      auto draw = [&](const Impl& im, ref::Surface& dst) {
        const RotaSurfaceView bg = row.separateBg ? View(s.bg) : View(dst);
        RotaGeometry g;
        RotaComputeGeometry(x, y, scale, angle, tex.width, tex.height, row.mirrored, clip, &g);
        if (!row.mirrored) return RotaScanPixels(g, im.nest, im.c, View(dst), bg, tex);
        TriangleVertex v[4];
        RotaQuadVertices(g.modiX, g.modiY, static_cast<int32_t>(tex.width), static_cast<int32_t>(tex.height), v);
        for (int first = 0; first < 2; ++first) RotaRasterTriangle(v + first, &tex, im.nest, im.c, View(dst), bg, 0, clip);
      };
      draw(vector, s.dst);
      draw(plain, plainDst);
      ASSERT_EQ(s.dst.mem, plainDst.mem) << "depth " << row.f.depth << " kind " << row.f.kind << " key " << row.trans
                                         << " mirrored " << row.mirrored << " width " << width;
    }
  }
}

// Spans are narrowed by reciprocals where the positions are small enough: every quotient must still be the exact
// floor and ceiling, at multiples of the divisor and one either side, for small and large operands of both signs.
TEST(RotatedPixels, ReciprocalNarrowingIsExact) {
  std::mt19937_64 rng(7);
  const int64_t divisors[] = {1, 2, 3, 7, 262143, 262144, 262145, 226995, 151310, (int64_t{1} << 48) - 1};
  for (int64_t d : divisors) {
    const rotaspan::ReciprocalDivisor div{d, 1.0 / static_cast<double>(d)};
    for (int i = 0; i < 2000; ++i) {
      const int64_t bound = i % 2 ? (int64_t{1} << 49) : 1 << 20;
      int64_t n = static_cast<int64_t>(rng() % static_cast<uint64_t>(2 * bound)) - bound;
      if (i % 3 == 0) n = (n / d) * d + static_cast<int64_t>(i % 5) - 2;  // at and beside multiples
      ASSERT_EQ(div.Floor(n), rotaspan::FloorDiv<int64_t>(n, d)) << n << " / " << d;
      ASSERT_EQ(div.Ceil(n), rotaspan::CeilDiv<int64_t>(n, d)) << n << " / " << d;
    }
  }
}

// Spans longer than one gathered piece, and graphs too large for 32-bit lanes (gathered one pixel at a time), must
// draw what the plain per-pixel loop draws, stepping forward and backward through the graph.
TEST(RotatedPixels, LongSpansAndLargeGraphsMatchThePlainLoop) {
  struct Row {
    ref::Format f;
    int texW, texH, trans;
    double scale, angle;
  };
  const Row rows[] = {
      {ref::F32(), 300, 3, 0, 2.0, 0.004},   {ref::F32(), 300, 3, 1, 1.9, 3.1432},
      {ref::F565(), 300, 3, 1, 2.0, 0.004},  {ref::F555(), 280, 4, 0, 2.2, 3.1412},
      {ref::F32(), 4200, 40, 1, 0.15, 0.0},  {ref::F32(), 5000, 40, 0, 0.13, 3.14159},
      {ref::F565(), 4200, 40, 0, 0.15, 0.0}, {ref::F32(), 40, 4200, 0, 0.15, 1.5708},
  };
  std::mt19937 rng(77);
  for (const Row& row : rows) {
    Case k{row.f, {}, true};
    k.st.trans = row.trans;
    const int b = row.f.Bytes();
    ref::Surface tex(row.texW, row.texH, b), vectorDst(680, 12, b);
    tex.Fill(rng);
    vectorDst.Fill(rng);
    k.st.key = tex.Get(1, 1);
    std::vector<uint8_t> plane(static_cast<size_t>(row.texW * row.texH));
    for (auto& a : plane) a = rng() % 4 == 0 ? 0 : static_cast<uint8_t>(rng());
    const ref::Surface before = vectorDst;
    ref::Surface plainDst = vectorDst;
    Impl vector(k), plain(k);
    ASSERT_TRUE(vector.nest.draw);
    plain.nest.simd = false;
    for (auto [im, dst] : {std::pair{&vector, &vectorDst}, std::pair{&plain, &plainDst}}) {
      RotaGeometry g;
      RotaComputeGeometry(340, 6, row.scale, row.angle, tex.w, tex.h, false, {0, 0, 680, 12}, &g);
      RotaScanPixels(g, im->nest, im->c, View(*dst), View(*dst), TexOf(tex, &plane));
    }
    ASSERT_EQ(vectorDst.mem, plainDst.mem) << "graph " << row.texW << "x" << row.texH << " depth " << row.f.depth;
    int changed = 0;
    for (int x = 0; x < 680; ++x) changed += vectorDst.Get(x, 6) != before.Get(x, 6);
    EXPECT_GT(changed, 300) << "graph " << row.texW << "x" << row.texH;
  }
}
