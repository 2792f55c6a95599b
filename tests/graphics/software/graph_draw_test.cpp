// The drawers and the public draw calls on the running library (headless host, window mode).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "graphics/draw_front.h"
#include "graphics/graphics_system.h"
#include "graphics/graphics_test_support.h"
#include "graphics/software/backend_glue.h"
#include "graphics/software/graph_draw.h"

namespace {

class DrawTest : public GraphicsTest {
 protected:
  // A graph of w x h screen pixels from fn(x, y), with an alpha plane from alpha(x, y) when given.
  int Graph(int w, int h, const std::function<uint32_t(int, int)>& fn,
            const std::function<uint8_t(int, int)>& alpha = nullptr) {
    const int graph = CreateEmptyGraph(w, h, 0, alpha ? 1 : 0);
    EXPECT_GE(graph, 0);
    SurfaceDataRecord* data = SurfaceOfGraph(graph);
    const Surface2DRecord* view = ViewOfGraph(graph);
    EXPECT_NE(data, nullptr);
    {
      LockedSurface s(data->surface);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.Set(view->srcX + x, view->srcY + y, fn(x, y));
    }
    if (alpha) {
      EXPECT_NE(data->alphaBuffer, nullptr);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) data->alphaBuffer[(view->srcY + y) * data->alphaPitch + view->srcX + x] = alpha(x, y);
    }
    return graph;
  }
  void FillBack(const std::function<uint32_t(int, int)>& fn) {
    LockedSurface back(QueryBackSurface());
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) back.Set(x, y, fn(x, y));
  }
  uint32_t Back(int x, int y) { return LockedSurface(QueryBackSurface()).Get(x, y); }
  static uint32_t Noise(int x, int y, uint32_t seed) {
    uint32_t v = (uint32_t(x) * 73856093u) ^ (uint32_t(y) * 19349663u) ^ seed;
    v ^= v >> 13;
    v *= 0x5bd1e995u;
    return (v ^ (v >> 15)) & 0xFFFFFF;
  }
};

TEST_F(DrawTest, UnscaledCopyHonoursClipAndKey) {
  ASSERT_EQ(Start(32), 0);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  FillBack([](int, int) { return 0x101010u; });
  const int g = Graph(20, 10, [](int x, int y) { return (x + y) % 3 == 0 ? 0u : PackScreenColor(x * 10, y * 20, 99); });
  ASSERT_EQ(SetDrawClipRect(10, 5, 25, 12), 0);
  EXPECT_EQ(DrawGraph(5, 3, g, 1), 0);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) {
      const bool inside = x >= 10 && x < 25 && y >= 5 && y < 12 && x < 25 && y < 13;
      const int sx = x - 5, sy = y - 3;
      const bool key = (sx + sy) % 3 == 0;
      const uint32_t want = inside && !key ? PackScreenColor(sx * 10, sy * 20, 99) : 0x101010u;
      EXPECT_EQ(Back(x, y) & 0xFFFFFF, want & 0xFFFFFF) << x << "," << y;
    }
}

TEST_F(DrawTest, BadHandlesSuspendedAndEmptyClip) {
  ASSERT_EQ(Start(32), 0);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  const int g = Graph(4, 4, [](int, int) { return 0xFFFFFFu; });
  const std::string log = Log();
  EXPECT_EQ(DrawGraph(0, 0, g + 1, 0), -1);
  EXPECT_EQ(DrawGraph(0, 0, -5, 0), -1);
  EXPECT_EQ(DrawExtendGraph(0, 0, 9, 9, 0x08001234, 0), -1);
  EXPECT_EQ(DrawGraphMirrored(0, 0, -1, 0), -1);
  EXPECT_EQ(DrawGraphPart(0, 0, 0, 0, 2, 2, g + 1, 0, 0), -1);
  EXPECT_EQ(DrawRotaGraph(5, 5, 1.0, 0.5, g + 1, 0, 0), -1);
  EXPECT_EQ(DrawModiGraph(0, 0, 4, 0, 4, 4, 0, 4, -3, 0), -1);
  EXPECT_EQ(Log(), log);  // no log line
  FillBack([](int, int) { return 0u; });
  GetGraphicsDrawState().suspended = 1;
  EXPECT_EQ(DrawGraph(0, 0, g, 0), 0);
  EXPECT_EQ(DrawGraph(0, 0, g + 1, 0), 0);
  EXPECT_EQ(DrawCircle(5, 5, 3, 0xFFFFFF, 1), 0);
  EXPECT_EQ(DrawExtendGraph(0, 0, 9, 9, g, 0), 0);
  EXPECT_EQ(DrawGraphPart(0, 0, 0, 0, 2, 2, g, 0, 1), 0);
  EXPECT_EQ(DrawRotaGraph(5, 5, 1.0, 0.5, g, 0, 0), 0);
  EXPECT_EQ(DrawRotaGraph(5, 5, 1.0, 0.5, g + 1, 0, 0), 0);
  EXPECT_EQ(DrawModiGraph(0, 0, 4, 0, 4, 4, 0, 4, g, 0), 0);
  EXPECT_EQ(DrawBoxShape(0, 0, 5, 5, 0xFFFFFF, 1), 0);
  GetGraphicsDrawState().suspended = 0;
  EXPECT_EQ(Back(1, 1) & 0xFFFFFF, 0u);
  ASSERT_EQ(SetDrawClipRect(0, 0, 0, 480), 0);
  EXPECT_EQ(GetGraphicsDrawState().clipEmpty, 1);
  EXPECT_EQ(DrawGraph(0, 0, g, 0), 0);
  EXPECT_EQ(DrawBoxShape(0, 0, 5, 5, 0xFFFFFF, 1), 0);
  EXPECT_EQ(Back(1, 1) & 0xFFFFFF, 0u);
}

TEST_F(DrawTest, ShapesBeforeAnyScreenAnswerMinusOne) {
  EXPECT_EQ(DrawBoxShape(0, 0, 4, 4, 0xFFFFFF, 1), -1);
  EXPECT_EQ(DrawBoxShape(0, 0, 4, 4, 0xFFFFFF, 0), -1);
  EXPECT_EQ(DrawCircle(5, 5, 3, 0xFFFFFF, 1), -1);
}

TEST_F(DrawTest, ClipRectangleSetterOrdersAndClamps) {
  ASSERT_EQ(Start(32), 0);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  SetDrawClipRect(100, 80, 20, 10);
  const RECT c = GetGraphicsDrawState().clip;
  EXPECT_EQ(c.left, 20);
  EXPECT_EQ(c.top, 10);
  EXPECT_EQ(c.right, 100);
  EXPECT_EQ(c.bottom, 80);
  SetDrawClipRect(-50, -50, 9999, 9999);
  const RECT d = GetGraphicsDrawState().clip;
  EXPECT_EQ(d.left, 0);
  EXPECT_EQ(d.right, 640);
  EXPECT_EQ(d.bottom, 480);
  EXPECT_EQ(SelectBlendMode(1, 300), 0);
  EXPECT_EQ(GetGraphicsDrawState().blendParam, 255);
  SelectBlendMode(1, -5);
  EXPECT_EQ(GetGraphicsDrawState().blendParam, 0);
  SelectBlendMode(7, 99);
  EXPECT_EQ(GetGraphicsDrawState().blendMode, 1);
  RECT r{-5, 3, 700, 500};
  const RECT clip{0, 0, 640, 480};
  ClipRectByRect(&r, &clip);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.right, 640);
  EXPECT_EQ(r.bottom, 480);
}

// Blended draws on the back screen equal the formulas (MMX alpha is the default on this processor).
TEST_F(DrawTest, BlendedAndAlphaPlaneDrawsMatchTheFormulas) {
  for (int bits : {32, 16}) {
    ASSERT_EQ(Start(bits), 0);
    ASSERT_EQ(SelectDrawTarget(-2), 0);
    FillBack([&](int x, int y) { return PackScreenColor(Noise(x, y, 1) >> 16, (Noise(x, y, 1) >> 8) & 0xFF, Noise(x, y, 1) & 0xFF); });
    std::vector<uint32_t> before(640 * 480);
    {
      LockedSurface back(QueryBackSurface());
      for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) before[y * 640 + x] = back.Get(x, y);
    }
    const int g = Graph(
        16, 16, [&](int x, int y) { uint32_t n = Noise(x, y, 2); return PackScreenColor(n >> 16, (n >> 8) & 0xFF, n & 0xFF); },
        [](int x, int y) { return uint8_t((x * 37 + y * 11) % 256); });
    ASSERT_EQ(DrawGraph(-3, 470, g, 0), 0);  // partly outside the screen
    const ColorFormat& f = *GetScreenColorFormat();
    {
    LockedSurface back(QueryBackSurface());
    LockedSurface src(SurfaceOfGraph(g)->surface);
    const Surface2DRecord* view = ViewOfGraph(g);
    for (int y = 470; y < 480; ++y)
      for (int x = 0; x < 13; ++x) {
        const uint32_t s = src.Get(view->srcX + x + 3, view->srcY + y - 470), d = before[y * 640 + x];
        const uint32_t a = uint32_t(((x + 3) * 37 + (y - 470) * 11) % 256);
        uint32_t want = d;
        if (a == 255) {
          want = s;
        } else if (a != 0) {
          want = 0;
          for (uint32_t m : {f.redMask, f.greenMask, f.blueMask}) {
            if (bits == 32) want |= (((((s & m) - (d & m)) * a) >> 8) + d) & m;
            else want |= uint32_t(int32_t(d) + ((int32_t(s & m) - int32_t(d & m)) * int32_t(a) >> 8)) & m;
          }
        }
        EXPECT_EQ(back.Get(x, y), want) << bits << " at " << x << "," << y;
      }
    }
    ShutdownLibrary();
    started_ = false;
  }
}

TEST_F(DrawTest, GraphDrawnOntoItselfAndOntoLargeTargets) {
  ASSERT_EQ(Start(32), 0);
  // A graph larger than the screen as the target, an alpha-plane graph drawn onto it: the background copy would
  // not fit the work surface, so the drawer reads the target itself.
  const int big = Graph(1000, 700, [](int x, int y) { return Noise(x, y, 3); });
  const int sprite = Graph(8, 8, [](int, int) { return 0xFF8040u; }, [](int, int) { return uint8_t(255); });
  ASSERT_EQ(SelectDrawTarget(big), 0);
  EXPECT_EQ(DrawGraph(900, 650, sprite, 0), 0);
  {
    LockedSurface s(SurfaceOfGraph(big)->surface);
    const Surface2DRecord* view = ViewOfGraph(big);
    EXPECT_EQ(s.Get(view->srcX + 903, view->srcY + 652) & 0xFFFFFF, 0xFF8040u);
  }
  // Onto itself with a blend: the source is read from a copy, so the result is the formula on the old pixels.
  SelectBlendMode(1, 128);
  const int self = Graph(32, 4, [](int x, int) { return uint32_t(x * 8) * 0x010101u; });
  ASSERT_EQ(SelectDrawTarget(self), 0);
  EXPECT_EQ(DrawGraph(1, 0, self, 0), 0);
  LockedSurface s(SurfaceOfGraph(self)->surface);
  const Surface2DRecord* view = ViewOfGraph(self);
  for (int x = 1; x < 32; ++x) {
    const uint32_t src = uint32_t((x - 1) * 8), dst = uint32_t(x * 8);
    const uint32_t c = (src * 128 + dst * 128) >> 8;
    EXPECT_EQ(s.Get(view->srcX + x, view->srcY) & 0xFFFFFF, c * 0x010101u) << x;
  }
}

// Every drawer that reads a graph drawn onto its own surface gives what it gives drawing the same pixels onto
// another graph: mirrored and turned draws would otherwise read pixels they have already written.
TEST_F(DrawTest, EveryDrawerDrawsAGraphOntoItselfAsOntoACopy) {
  ASSERT_EQ(Start(32), 0);
  auto pattern = [](int x, int y) { return Noise(x, y, 11); };
  auto contents = [&](int graph) {
    LockedSurface s(SurfaceOfGraph(graph)->surface);
    const Surface2DRecord* view = ViewOfGraph(graph);
    std::vector<uint32_t> out;
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 32; ++x) out.push_back(s.Get(view->srcX + x, view->srcY + y) & 0xFFFFFF);
    return out;
  };
  const std::function<int(int)> draws[] = {
      [](int g) { return DrawExtendGraph(32, 0, 0, 6, g, 0); },
      [](int g) { return DrawExtendGraph(31, 5, -1, -1, g, 0); },
      [](int g) { return DrawRotaGraph(16, 3, 1.0, 0.0, g, 0, 1); },
      [](int g) { return DrawRotaGraph(16, 3, 1.0, M_PI, g, 0, 0); },
      [](int g) { return DrawModiGraph(32, 0, 0, 0, 0, 6, 32, 6, g, 0); },
  };
  for (int mode : {0, 1}) {
    SelectBlendMode(mode, 200);
    for (size_t i = 0; i < std::size(draws); ++i) {
      const int source = Graph(32, 6, pattern), other = Graph(32, 6, pattern);
      ASSERT_EQ(SelectDrawTarget(other), 0);
      EXPECT_EQ(draws[i](source), 0);
      ASSERT_EQ(SelectDrawTarget(source), 0);
      EXPECT_EQ(draws[i](source), 0);
      EXPECT_EQ(contents(source), contents(other)) << "draw " << i << " mode " << mode;
      EXPECT_NE(contents(source), contents(Graph(32, 6, pattern))) << "draw " << i << " mode " << mode;
    }
  }
  // Too large for any work copy: the drawers read the surface itself under a nested lock, and carry on.
  const int big = Graph(1000, 700, pattern);
  ASSERT_EQ(SelectDrawTarget(big), 0);
  SelectBlendMode(1, 128);
  EXPECT_EQ(DrawGraph(1, 0, big, 0), 0);
  EXPECT_EQ(DrawExtendGraph(1000, 0, 0, 700, big, 0), 0);
  EXPECT_EQ(DrawRotaGraph(500, 350, 1.0, 0.5, big, 0, 0), 0);
  // A cell onto its sibling cell in the same sheet: the sibling takes the blend, the source cell stays.
  std::vector<uint32_t> sheet(8 * 4);
  for (int i = 0; i < 32; ++i) sheet[i] = (i % 8) < 4 ? 0x204060u : 0xA0C0E0u;
  WriteBmp24(workDir() + "/sheet.bmp", 8, 4, sheet);
  int cells[2] = {-1, -1};
  ASSERT_EQ(LoadDividedGraphFileSimple("sheet.bmp", 2, 2, 1, 4, 4, cells), 0);
  const int apart = Graph(4, 4, [](int, int) { return 0xA0C0E0u; });
  for (int target : {apart, cells[1]}) {
    ASSERT_EQ(SelectDrawTarget(target), 0);
    EXPECT_EQ(DrawGraph(0, 0, cells[0], 0), 0);
    EXPECT_EQ(DrawExtendGraph(4, 0, 0, 4, cells[0], 0), 0);
    EXPECT_EQ(DrawRotaGraph(2, 2, 1.0, 0.0, cells[0], 0, 0), 0);
  }
  LockedSurface s(SurfaceOfGraph(cells[1])->surface);
  const uint32_t drawn = LockedSurface(SurfaceOfGraph(apart)->surface).Get(ViewOfGraph(apart)->srcX + 1, ViewOfGraph(apart)->srcY + 1);
  EXPECT_EQ(s.Get(1, 1) & 0xFFFFFF, 0x204060u);
  EXPECT_EQ(s.Get(5, 1) & 0xFFFFFF, drawn & 0xFFFFFF);
  EXPECT_NE(drawn & 0xFFFFFF, 0xA0C0E0u);
}

TEST_F(DrawTest, DrawingIntoADividedCellStaysInsideTheCell) {
  ASSERT_EQ(Start(32), 0);
  std::vector<uint32_t> sheet(8 * 4, 0x000000);
  WriteBmp24(workDir() + "/sheet.bmp", 8, 4, sheet);
  int cells[2] = {-1, -1};
  ASSERT_EQ(LoadDividedGraphFileSimple("sheet.bmp", 2, 2, 1, 4, 4, cells), 0);
  ASSERT_EQ(SelectDrawTarget(cells[1]), 0);
  EXPECT_EQ(DrawBoxShape(-10, -10, 100, 100, 0xFFFFFF, 1), 0);
  LockedSurface s(SurfaceOfGraph(cells[1])->surface);
  const Surface2DRecord* view = ViewOfGraph(cells[1]);
  EXPECT_EQ(view->srcX, 4);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(s.Get(x, 1) & 0xFFFFFF, x >= 4 ? 0xFFFFFFu : 0u) << x;
}

TEST_F(DrawTest, KeyedCopyTakesTheSourceKeyEvenWhenGdiIsFaster) {
  ASSERT_EQ(Start(32), 0);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  GetDirectDrawLayerState().gdiCopyFaster = 1;
  FillBack([](int, int) { return 0x123456u; });
  const int g = Graph(640, 480, [](int x, int) { return x % 2 ? 0xFFFFFFu : 0u; });
  SurfaceOfGraph(g)->params.systemMemory = 0;  // a video-memory source is what the GDI route serves
  EXPECT_EQ(DrawGraph(0, 0, g, 1), 0);
  EXPECT_EQ(Back(0, 0) & 0xFFFFFF, 0x123456u);  // black is the key
  EXPECT_EQ(Back(1, 0) & 0xFFFFFF, 0xFFFFFFu);
  // A graph keyed on magenta, drawn into a graph in system memory (where the GDI route is taken for unkeyed
  // copies), keeps its black pixels and drops its magenta ones, also when wider than the screen.
  const uint32_t kept = GetGraphicsDrawState().transparentColor;
  GetGraphicsDrawState().transparentColor = 0xFF00FF;
  const int magenta = Graph(700, 480, [](int x, int) { return x % 2 ? 0xFF00FFu : 0u; });
  GetGraphicsDrawState().transparentColor = kept;
  SurfaceOfGraph(magenta)->params.systemMemory = 0;
  const int target = Graph(700, 480, [](int, int) { return 0x123456u; });
  ASSERT_EQ(SelectDrawTarget(target), 0);
  ASSERT_EQ(GetGraphicsDrawState().targetInVideoMemory, 0);
  EXPECT_EQ(DrawGraph(0, 0, magenta, 1), 0);
  LockedSurface s(SurfaceOfGraph(target)->surface);
  const Surface2DRecord* view = ViewOfGraph(target);
  EXPECT_EQ(s.Get(view->srcX, view->srcY) & 0xFFFFFF, 0u);
  EXPECT_EQ(s.Get(view->srcX + 1, view->srcY) & 0xFFFFFF, 0x123456u);
  EXPECT_EQ(s.Get(view->srcX + 699, view->srcY + 479) & 0xFFFFFF, 0x123456u);
}

TEST_F(DrawTest, FiveFiveFiveKeyIgnoresTheTopBit) {
  ASSERT_EQ(Start(16, true), 0);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  // Black with and without the unused top bit is the key; pure red is drawn.
  const int g = Graph(3, 1, [](int x, int) { return x == 0 ? 0x8000u : x == 1 ? 0u : 0x7C00u; });
  for (int mode : {0, 1}) {
    FillBack([](int, int) { return 0x1234u; });
    ASSERT_EQ(SelectBlendMode(mode, 255), 0);
    EXPECT_EQ(DrawGraph(0, 0, g, 1), 0);
    EXPECT_EQ(Back(0, 0) & 0xFFFF, 0x1234u) << mode;
    EXPECT_EQ(Back(1, 0) & 0xFFFF, 0x1234u) << mode;
    EXPECT_EQ(Back(2, 0) & 0x7FFF, 0x7C00u) << mode;
  }
  ASSERT_EQ(SelectBlendMode(0, 0), 0);
}

TEST_F(DrawTest, ScaledDrawsStepMirrorAndFailWhenNothingIsLeft) {
  ASSERT_EQ(Start(32), 0);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  FillBack([](int, int) { return 0u; });
  const int g = Graph(10, 4, [](int x, int y) { return uint32_t(0x10 * x + 0x1000 * y + 0x010000); });
  EXPECT_EQ(DrawExtendGraph(5, 5, 5, 20, g, 0), -1);
  EXPECT_EQ(DrawExtendGraph(-500, -500, -400, -400, g, 0), -1);
  // Double width, mirrored left to right.
  EXPECT_EQ(DrawExtendGraph(40, 0, 20, 4, g, 0), 0);
  for (int x = 20; x < 40; ++x) EXPECT_EQ(Back(x, 1) & 0xFFFFFF, uint32_t(0x10 * (9 - (x - 20) / 2) + 0x1000 + 0x010000));
  // A span wider than 32,768 pixels steps in 64 bits: destination column i shows source column i * 10 / 40000.
  EXPECT_EQ(DrawExtendGraph(-20000, 100, 20000, 104, g, 0), 0);
  for (int x = 0; x < 640; x += 17) EXPECT_EQ(Back(x, 101) & 0xFFFFFF, uint32_t(0x10 * ((x + 20000) / 4000) + 0x011000)) << x;
}

TEST_F(DrawTest, PrimitivesDrawTheirPixelsOnceWithTheBlendMode) {
  ASSERT_EQ(Start(16), 0);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  FillBack([](int, int) { return 0u; });
  const uint32_t red = PackScreenColor(255, 0, 0);
  EXPECT_EQ(DrawBoxShape(2, 2, 6, 5, red, 1), 0);
  EXPECT_EQ(Back(2, 2), red);
  EXPECT_EQ(Back(5, 4), red);
  EXPECT_EQ(Back(6, 4), 0u);
  EXPECT_EQ(DrawBoxShape(10, 10, 14, 14, red, 0), 0);
  EXPECT_EQ(Back(10, 12), red);
  EXPECT_EQ(Back(12, 12), 0u);
  EXPECT_EQ(DrawCircle(100, 100, -1, red, 1), 0);
  EXPECT_EQ(Back(100, 100), 0u);
  // Exclusive-or twice restores the screen; each pixel of the circle is touched once.
  SelectBlendMode(8, 255);
  EXPECT_EQ(DrawCircle(50, 50, 7, 0xFFFF, 0), 0);
  EXPECT_EQ(Back(57, 50), 0xFFFFu);
  EXPECT_EQ(Back(50, 50), 0u);
  EXPECT_EQ(DrawCircle(50, 50, 7, 0xFFFF, 0), 0);
  EXPECT_EQ(Back(57, 50), 0u);
  // A huge circle: the screen inside its disk is filled at once, its outline far away draws nothing.
  SelectBlendMode(0, 0);
  EXPECT_EQ(DrawCircle(300, 200, 2000000000, 0, 0), 0);
  EXPECT_EQ(Back(300, 200), 0u);
  EXPECT_EQ(DrawCircle(300, 200, 2147483647, red, 1), 0);
  EXPECT_EQ(Back(0, 0), red);
  EXPECT_EQ(Back(639, 479), red);
  FillBack([](int, int) { return 0u; });
  EXPECT_EQ(DrawCircle(2147483647, -2147483647, 5, red, 1), 0);  // far outside, no overflow
  // At the clip edge only the inside is drawn.
  SelectBlendMode(0, 0);
  SetDrawClipRect(0, 0, 100, 100);
  EXPECT_EQ(DrawCircle(99, 99, 3, red, 1), 0);
  EXPECT_EQ(Back(99, 99), red);
  EXPECT_EQ(Back(100, 99), 0u);
  // Boxes across the clip edges keep to the clip, frames keep only their edges inside it. Each case lists the
  // pixels that must be red and those that must stay black.
  struct Case {
    int x1, y1, x2, y2, fill;
    std::vector<std::pair<int, int>> red, black;
  };
  const Case cases[] = {
      {5, 5, 15, 15, 1, {{10, 10}, {14, 14}}, {{9, 12}, {12, 9}, {15, 12}}},
      {17, 17, 30, 30, 0, {{17, 19}, {19, 17}}, {{18, 18}, {20, 17}, {17, 20}}},
      {-30, -30, 10, 10, 1, {}, {{9, 9}, {10, 10}}},  // ends where the clip starts
      {-30, -30, 11, 11, 0, {{10, 10}}, {{11, 10}, {10, 11}}},  // only its bottom-right corner is inside
  };
  SetDrawClipRect(10, 10, 20, 20);
  for (const Case& c : cases) {
    FillBack([](int, int) { return 0u; });
    EXPECT_EQ(DrawBoxShape(c.x1, c.y1, c.x2, c.y2, red, c.fill), 0);
    for (const auto& [x, y] : c.red) EXPECT_EQ(Back(x, y), red) << c.x1 << " " << x << "," << y;
    for (const auto& [x, y] : c.black) EXPECT_EQ(Back(x, y), 0u) << c.x1 << " " << x << "," << y;
  }
}

TEST_F(DrawTest, PartsMirrorsAndTargetSizesKeepTheClipAsTheyFoundIt) {
  ASSERT_EQ(Start(32), 0);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  FillBack([](int, int) { return 0u; });
  const int g = Graph(8, 2, [](int x, int y) { return uint32_t(0x010000 * (x + 1) + 0x100 * y); });
  SetDrawClipRect(0, 0, 600, 400);
  EXPECT_EQ(DrawGraphPart(50, 60, 2, 0, 3, 2, g, 0, 0), 0);
  EXPECT_EQ(Back(50, 60) & 0xFFFFFF, 0x030000u);
  EXPECT_EQ(Back(52, 61) & 0xFFFFFF, 0x050100u);
  EXPECT_EQ(Back(53, 60) & 0xFFFFFF, 0u);  // outside the part
  EXPECT_EQ(DrawGraphPart(0, 0, 0, 0, 2, 2, g + 1, 0, 0), -1);
  const RECT clip = GetGraphicsDrawState().clip;
  EXPECT_EQ(clip.right, 600);
  EXPECT_EQ(clip.bottom, 400);
  // Mirrored: DrawGraphMirrored equals the reversed-corner scaled draw.
  EXPECT_EQ(DrawGraphMirrored(100, 100, g, 0), 0);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(Back(100 + x, 100) & 0xFFFFFF, uint32_t(0x010000 * (8 - x))) << x;
  // The same size keeps the clip; another size resets it to the whole target.
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  EXPECT_EQ(GetGraphicsDrawState().clip.right, 600);
  ASSERT_EQ(SelectDrawTarget(g), 0);
  EXPECT_EQ(GetGraphicsDrawState().clip.right, 8);
  EXPECT_EQ(GetGraphicsDrawState().clip.bottom, 2);
  EXPECT_EQ(SelectDrawTarget(g + 1), -1);
  EXPECT_EQ(GetDrawTarget(), g);
}

TEST_F(DrawTest, RotatedAndFourCornerCallsRefuseValuesOutsideTheNumbers) {
  ASSERT_EQ(Start(32), 0);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  FillBack([](int, int) { return 0u; });
  const int g = Graph(8, 8, [](int, int) { return 0x40A0F0u; });
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(DrawRotaGraph(100, 100, nan, 0.0, g, 0, 0), 0);
  EXPECT_EQ(DrawRotaGraph(100, 100, 1.0, inf, g, 0, 0), 0);
  EXPECT_EQ(DrawModiGraph(0, 0, float(nan), 0, 8, 8, 0, 8, g, 0), 0);
  EXPECT_EQ(DrawRotaGraph(100, 100, 1.0, 0.0, g + 1, 0, 0), -1);
  EXPECT_EQ(Back(100, 100), 0u);
  EXPECT_EQ(DrawRotaGraph(100, 100, 1.0, 2 * M_PI, g, 0, 0), 0);
  EXPECT_EQ(Back(100, 100) & 0xFFFFFF, 0x40A0F0u);
  // Public corners walk the edges: top-left, top-right, bottom-right, bottom-left.
  EXPECT_EQ(DrawModiGraph(200, 50, 208, 50, 208, 58, 200, 58, g, 0), 0);
  EXPECT_EQ(Back(204, 54) & 0xFFFFFF, 0x40A0F0u);
  // Corners beyond the rasteriser's range draw nothing (the four-corner drawer answers 0 whatever its triangles
  // answer); huge ones are held in the int range first.
  FillBack([](int, int) { return 0u; });
  EXPECT_EQ(DrawModiGraph(0, 0, 9000, 0, 9000, 10, 0, 10, g, 0), 0);
  EXPECT_EQ(DrawModiGraph(0, 0, 1e30f, 0, 1e30f, -1e30f, 0, 3e9f, g, 0), 0);
  EXPECT_EQ(Back(5, 5), 0u);
  // A huge but finite scale: the rectangle is held in the int range and the graph covers the screen.
  EXPECT_EQ(DrawRotaGraph(100, 100, 1e300, 0.5, g, 0, 0), 0);
}

// On the front screen only the part of the client area on the desktop is drawn: a request further in keeps its
// own edge, and a window wholly off the desktop leaves an empty clip.
TEST_F(DrawTest, FrontScreenClipKeepsToTheVisibleClientArea) {
  ASSERT_EQ(Start(32), 0);
  ASSERT_EQ(SelectDrawTarget(-4), 0);
  int desktopW = 0, desktopH = 0, bits = 0;
  GetDesktopMetrics(&desktopW, &desktopH, &bits);
  SystemState.clientRect = RECT{-100, -50, 540, 430};
  SetDrawClipRect(0, 0, 640, 480);
  RECT c = GetGraphicsDrawState().clip;
  EXPECT_EQ(c.left, 100);
  EXPECT_EQ(c.top, 50);
  EXPECT_EQ(c.right, 640);
  SetDrawClipRect(300, 200, 200, 60);
  c = GetGraphicsDrawState().clip;
  EXPECT_EQ(c.left, 200);
  EXPECT_EQ(c.top, 60);
  SystemState.clientRect = RECT{desktopW + 10, 0, desktopW + 650, 480};
  SetDrawClipRect(0, 0, 640, 480);
  EXPECT_EQ(GetGraphicsDrawState().clipEmpty, 1);
}

// Any non-zero transparency flag keys, also in the scaled plain copy that looks at the flag's lowest bit.
TEST_F(DrawTest, TransparencyFlagsAreOneOrZeroForTheDrawers) {
  ASSERT_EQ(Start(32), 0);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  FillBack([](int, int) { return 0x333333u; });
  const int g = Graph(2, 1, [](int x, int) { return x == 0 ? 0u : 0xFFFFFFu; });
  EXPECT_EQ(DrawExtendGraph(0, 0, 4, 2, g, 2), 0);
  EXPECT_EQ(Back(0, 0) & 0xFFFFFF, 0x333333u);
  EXPECT_EQ(Back(2, 0) & 0xFFFFFF, 0xFFFFFFu);
}

// The rotated and four-corner drawers key only on a flag of exactly 1: the public calls hand them 1 for any
// non-zero flag.
TEST_F(DrawTest, RotatedAndFourCornerDrawsKeyOnAnyNonZeroFlag) {
  ASSERT_EQ(Start(32), 0);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  FillBack([](int, int) { return 0x333333u; });
  const int g = Graph(4, 4, [](int x, int) { return x < 2 ? 0u : 0xFFFFFFu; });
  for (int flag : {2, -1}) {
    EXPECT_EQ(DrawRotaGraph(100, 100, 1.0, 0.0, g, flag, 0), 0);
    EXPECT_EQ(Back(98, 99) & 0xFFFFFF, 0x333333u) << flag;
    EXPECT_EQ(Back(101, 99) & 0xFFFFFF, 0xFFFFFFu) << flag;
    EXPECT_EQ(DrawModiGraph(200, 50, 204, 50, 204, 54, 200, 54, g, flag), 0);
    EXPECT_EQ(Back(200, 51) & 0xFFFFFF, 0x333333u) << flag;
    EXPECT_EQ(Back(203, 51) & 0xFFFFFF, 0xFFFFFFu) << flag;
  }
}

// A target both back-ends refuse falls back once: to the previous target, or when that is refused too, to the
// back screen; the call answers -1 and keeps the mask switch as it found it.
TEST_F(DrawTest, RefusedTargetFallsBackOnceAndAnswersMinusOne) {
  ASSERT_EQ(Start(32), 0);
  const int a = Graph(8, 8, [](int, int) { return 0u; });
  const int b = Graph(8, 8, [](int, int) { return 0u; });
  ASSERT_EQ(SelectDrawTarget(a), 0);
  GetGraphRecord(b)->params.texture = 1;  // a 3-D graph: no back-end takes it here
  EXPECT_EQ(SelectDrawTarget(b), -1);
  EXPECT_EQ(GetDrawTarget(), a);
  GetGraphRecord(a)->params.texture = 1;
  EXPECT_EQ(SelectDrawTarget(b), -1);
  EXPECT_EQ(GetDrawTarget(), -2);
  EXPECT_EQ(GetGraphicsDrawState().clip.right, 640);
  GetGraphRecord(a)->params.texture = 0;
  GetGraphRecord(b)->params.texture = 0;
}

TEST_F(DrawTest, EightBitScreensCopyIndicesWhateverTheBlendMode) {
  ASSERT_EQ(Start(8), 0);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  FillBack([](int, int) { return 7u; });
  const int g = Graph(4, 2, [](int x, int) { return uint32_t(x); });  // index 0 is the key
  SelectBlendMode(1, 100);
  EXPECT_EQ(DrawExtendGraph(10, 10, 18, 14, g, 1), 0);
  for (int x = 10; x < 18; ++x) EXPECT_EQ(Back(x, 11), (x - 10) / 2 == 0 ? 7u : uint32_t((x - 10) / 2)) << x;
  EXPECT_EQ(DrawGraph(30, 10, g, 0), 0);
  for (int x = 30; x < 34; ++x) EXPECT_EQ(Back(x, 10), uint32_t(x - 30));
}

TEST_F(DrawTest, FailedLockEndsTheProcessWithTheDrawersText) {
  ASSERT_EQ(Start(32), 0);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  const int g = Graph(4, 4, [](int, int) { return 0x808080u; });
  SelectBlendMode(1, 100);
  ExpectFatal(
      [&] {
        headless::FailCall("Surface::Lock");
        DrawGraph(0, 0, g, 0);
      },
      "転送先サーフェスのロックに失敗しました in G_DDraw_DrawGraph ");
}

}  // namespace
