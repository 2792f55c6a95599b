// Draw calls a hostile caller can make: the draw target deleted under the caller, boxes and circles far larger
// than the screen, and positions at the ends of the int range.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "graphics/draw_front.h"
#include "graphics/graphics_test_support.h"

namespace {

class HostileDrawTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    ASSERT_EQ(Start(32), 0);
    ASSERT_EQ(SelectDrawTarget(-2), 0);
    font_ = CreateFontToHandle(nullptr, 16, -1, -1, -1, -1, -1, -1);
    ASSERT_GE(font_, 0);
  }
  // The whole back screen, pixel by pixel.
  static std::vector<uint32_t> BackScreen() {
    LockedSurface back(QueryBackSurface());
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) pixels.push_back(back.Get(x, y) & 0xFFFFFF);
    return pixels;
  }
  static void ClearBack() {
    ASSERT_EQ(SetDrawClipRect(0, 0, 640, 480), 0);
    ASSERT_EQ(DrawFillBox(0, 0, 640, 480, 0), 0);
  }
  // A graph of w x h pixels of one colour.
  static int Graph(int w, int h, uint32_t colour) {
    const int graph = CreateEmptyGraph(w, h, 0, 0);
    EXPECT_GT(graph, 0);
    EXPECT_EQ(PaintGraphWithColor(graph, colour >> 16 & 0xFF, colour >> 8 & 0xFF, colour & 0xFF, 255), 0);
    return graph;
  }
  int font_ = -1;
};

constexpr uint32_t kRed = 0xFF0000;

// Every route that deletes the selected graph target leaves the back screen selected, and each draw call after it
// lands there.
TEST_F(HostileDrawTest, DeletingTheSelectedTargetSelectsTheBackScreen) {
  struct Route {
    const char* name;
    std::function<void(int target, int parent)> remove;
    bool derived;  // the target is a cell derived from a parent graph
  };
  const Route routes[] = {
      {"DeleteGraphHandle", [](int target, int) { EXPECT_EQ(DeleteGraphHandle(target, 0), 0); }, false},
      {"DeleteAllGraphs", [](int, int) { EXPECT_EQ(DeleteAllGraphs(0), 0); }, false},
      {"derived target, then parent", [](int target, int parent) {
         EXPECT_EQ(DeleteGraphHandle(target, 0), 0);
         EXPECT_EQ(DeleteGraphHandle(parent, 0), 0);
       }, true},
      {"parent, then derived target", [](int target, int parent) {
         EXPECT_EQ(DeleteGraphHandle(parent, 0), 0);
         EXPECT_EQ(DeleteGraphHandle(target, 0), 0);
       }, true},
      {"derived target, DeleteAllGraphs", [](int, int) { EXPECT_EQ(DeleteAllGraphs(0), 0); }, true},
  };
  struct Draw {
    const char* name;
    std::function<int()> call;
    int x, y;  // a pixel the call paints
  };
  int sprite = -1;
  const Draw draws[] = {
      {"DrawFillBox", [] { return DrawFillBox(10, 10, 20, 20, kRed); }, 15, 15},
      {"DrawFrameBox", [] { return DrawFrameBox(10, 10, 20, 20, kRed); }, 10, 15},
      {"DrawBoxShape", [] { return DrawBoxShape(10, 10, 20, 20, kRed, 1); }, 12, 12},
      {"DrawCircle", [] { return DrawCircle(30, 30, 5, kRed, 1); }, 30, 30},
      {"DrawGraph", [&] { return DrawGraph(40, 40, sprite, 0); }, 41, 41},
      {"DrawTextWithFont", [&] { return DrawTextWithFont(100, 100, "\x81\xA1", kRed, font_, 0, 0); }, -1, -1},
  };
  for (const Route& route : routes) {
    for (const Draw& draw : draws) {
      SCOPED_TRACE(std::string(route.name) + " / " + draw.name);
      ASSERT_EQ(SelectDrawTarget(-2), 0);
      ClearBack();
      const int parent = Graph(64, 64, 0x0000FF);
      const int target = route.derived ? DeriveGraph(16, 16, 32, 32, parent) : parent;
      ASSERT_GT(target, 0);
      ASSERT_EQ(SelectDrawTarget(target), 0);
      route.remove(target, parent);
      EXPECT_EQ(GetDrawTarget(), -2);
      const RECT clip = GetGraphicsDrawState().clip;
      EXPECT_EQ(clip.right - clip.left, 640);
      EXPECT_EQ(clip.bottom - clip.top, 480);
      sprite = Graph(4, 4, kRed);
      EXPECT_EQ(draw.call(), 0);
      const std::vector<uint32_t> back = BackScreen();
      if (draw.x >= 0) {
        EXPECT_EQ(back[draw.y * 640 + draw.x], kRed);
      } else {
        // The filled square glyph paints somewhere inside its line.
        bool painted = false;
        for (int y = 100; y < 120; ++y)
          for (int x = 100; x < 120; ++x) painted = painted || back[y * 640 + x] == kRed;
        EXPECT_TRUE(painted);
      }
      DeleteGraphHandle(sprite, 0);
    }
  }
  // A deleted graph that is not the target leaves the target alone, also the parent of a derived target, whose
  // pixels live on in the cell; the library then shuts down with a graph target selected.
  const int parent = Graph(8, 8, 0), cell = DeriveGraph(2, 2, 4, 4, parent);
  ASSERT_EQ(SelectDrawTarget(cell), 0);
  EXPECT_EQ(DeleteGraphHandle(parent, 0), 0);
  EXPECT_EQ(GetDrawTarget(), cell);
  EXPECT_EQ(DrawFillBox(0, 0, 2, 2, kRed), 0);
  EXPECT_EQ(LockedSurface(SurfaceOfGraph(cell)->surface).Get(3, 3) & 0xFFFFFF, kRed);
  EXPECT_EQ(LockedSurface(SurfaceOfGraph(cell)->surface).Get(4, 4) & 0xFFFFFF, 0u);
}

// Boxes reaching far past the screen draw exactly their visible part, whatever their corners; circles far larger
// than the screen draw their visible part too.
TEST_F(HostileDrawTest, HugeBoxesDrawTheirVisiblePartOnly) {
  struct Box {
    int x1, y1, x2, y2;
  };
  const Box boxes[] = {
      {0, INT_MIN, 100, INT_MAX},      {INT_MIN, INT_MIN, 100000, 100000}, {INT_MAX, INT_MAX, INT_MIN, INT_MIN},
      {-5, INT_MIN, 3, 200},           {300, 470, INT_MAX, INT_MIN},       {INT_MIN, 5, INT_MAX, 6},
      {INT_MIN, INT_MIN, INT_MIN, 0},  {50, 60, 700, 500},                 {INT_MIN, INT_MAX, -1, 479},
  };
  // The plain box: corners held just outside the screen, so its edges off the screen stay off it.
  auto hold = [](int v, int limit) { return std::clamp(v, -1, limit + 1); };
  for (const Box& b : boxes) {
    for (int kind = 0; kind < 3; ++kind) {
      SCOPED_TRACE(std::to_string(b.x1) + "," + std::to_string(b.y1) + "," + std::to_string(b.x2) + "," +
                   std::to_string(b.y2) + " kind " + std::to_string(kind));
      auto draw = [&](int x1, int y1, int x2, int y2) {
        return kind == 0 ? DrawFillBox(x1, y1, x2, y2, kRed)
               : kind == 1 ? DrawFrameBox(x1, y1, x2, y2, kRed)
                           : DrawBoxShape(x1, y1, x2, y2, kRed, 0);
      };
      ClearBack();
      EXPECT_EQ(draw(b.x1, b.y1, b.x2, b.y2), 0);
      const std::vector<uint32_t> drawn = BackScreen();
      ClearBack();
      EXPECT_EQ(draw(hold(b.x1, 640), hold(b.y1, 480), hold(b.x2, 640), hold(b.y2, 480)), 0);
      EXPECT_TRUE(drawn == BackScreen());
    }
  }
  // A huge circle whose outline crosses the screen: the outline's top passes through (320, 240).
  ClearBack();
  EXPECT_EQ(DrawCircle(320, 240 + 1000000000, 1000000000, kRed, 0), 0);
  std::vector<uint32_t> back = BackScreen();
  EXPECT_EQ(back[240 * 640 + 320], kRed);
  EXPECT_EQ(back[239 * 640 + 320], 0u);
  EXPECT_EQ(back[241 * 640 + 320], 0u);
  ClearBack();
  EXPECT_EQ(DrawCircle(320, 240 + 1000000000, 1000000000, kRed, 1), 0);
  back = BackScreen();
  EXPECT_EQ(back[239 * 640 + 320], 0u);
  EXPECT_EQ(back[479 * 640 + 0], kRed);
  EXPECT_EQ(back[479 * 640 + 639], kRed);
  ClearBack();
  EXPECT_EQ(DrawCircle(INT_MIN, 240, INT_MAX, kRed, 0), 0);
  EXPECT_EQ(DrawCircle(INT_MAX, INT_MIN, INT_MAX, kRed, 0), 0);
}

// Graphs and text placed at the ends of the int range draw nothing and answer what the same call answers a little
// way off the screen, on the back screen and on the front screen (whose window offset is added to positions), on
// both depths (a 16-bit screen keeps glyphs in a graph), with and without blending (text through a work surface)
// and through the mask.
TEST_F(HostileDrawTest, DrawsAtTheEndsOfTheIntRangeDrawNothing) {
  for (int bits : {32, 16}) {
    if (bits == 16) {
      ShutdownLibrary();
      ASSERT_EQ(Start(16), 0);
      font_ = CreateFontToHandle(nullptr, 16, -1, -1, -1, -1, -1, -1);
      ASSERT_GE(font_, 0);
    }
    const int g = Graph(8, 8, kRed);
    const char* text = "AB\x81\xA1";
    struct Case {
      const char* name;
      std::function<int(int x, int y)> call;
    };
    const Case cases[] = {
        {"DrawGraph", [&](int x, int y) { return DrawGraph(x, y, g, 0); }},
        {"DrawGraph keyed", [&](int x, int y) { return DrawGraph(x, y, g, 1); }},
        {"DrawGraphMirrored", [&](int x, int y) { return DrawGraphMirrored(x, y, g, 0); }},
        {"DrawGraphPart", [&](int x, int y) { return DrawGraphPart(x, y, 2, 2, 4, 4, g, 0, 0); }},
        {"DrawGraphPart turned", [&](int x, int y) { return DrawGraphPart(x, y, 2, 2, 4, 4, g, 0, 1); }},
        {"DrawGraphPart far source", [&](int x, int y) { return DrawGraphPart(0, 0, x, y, 4, 4, g, 0, 0); }},
        {"DrawGraphPart far size", [&](int x, int y) { return DrawGraphPart(x, y, 0, 0, x, y, g, 0, 1); }},
        {"DrawExtendGraph", [&](int x, int y) { return DrawExtendGraph(x, y, x + (x > 0 ? -9 : 9), y, g, 0); }},
        {"DrawRotaGraph", [&](int x, int y) { return DrawRotaGraph(x, y, 1.0, 0.3, g, 0, 0); }},
        {"DrawRotaGraph turned", [&](int x, int y) { return DrawRotaGraph(x, y, 2.0, 0.0, g, 0, 1); }},
        {"DrawModiGraph",
         [&](int x, int y) {
           const float fx = static_cast<float>(x), fy = static_cast<float>(y);
           return DrawModiGraph(fx, fy, fx + 8, fy, fx + 8, fy + 8, fx, fy + 8, g, 0);
         }},
        {"DrawTextWithFont", [&](int x, int y) { return DrawTextWithFont(x, y, text, kRed, font_, 0, 0); }},
        {"DrawTextWithFont vertical", [&](int x, int y) { return DrawTextWithFont(x, y, text, kRed, font_, 0, 1); }},
        {"DrawFormattedText", [&](int x, int y) { return DrawFormattedText(x, y, kRed, "%s", text); }},
    };
    const std::pair<int, int> farPlaces[] = {{INT_MAX, 0},           {INT_MAX - 3, 100},     {0, INT_MAX - 1},
                                             {INT_MIN, 0},           {INT_MIN + 2, INT_MIN}, {INT_MAX, INT_MAX},
                                             {INT_MIN, INT_MAX - 5}};
    struct Setting {
      int target, blend, mask;
    };
    for (const Setting& at : {Setting{-2, 0, 0}, Setting{-2, 1, 0}, Setting{-4, 0, 0}, Setting{-4, 1, 0},
                              Setting{-2, 0, 1}, Setting{-2, 1, 1}}) {
      if (at.mask != 0) {
        ASSERT_EQ(CreateMaskScreen(), 0);
      }
      for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " target " + std::to_string(at.target) + " blend " +
                     std::to_string(at.blend) + " mask " + std::to_string(at.mask) + " bits " + std::to_string(bits));
        ASSERT_EQ(SelectDrawTarget(-2), 0);
        ASSERT_EQ(SelectBlendMode(0, 0), 0);
        ClearBack();
        ASSERT_EQ(SelectDrawTarget(at.target), 0);
        ASSERT_EQ(SelectBlendMode(at.blend, 128), 0);
        const int offScreenAnswer = c.call(5000, 5000);
        for (const auto& [x, y] : farPlaces) EXPECT_EQ(c.call(x, y), offScreenAnswer) << x << "," << y;
        if (at.target == -2) {
          const std::vector<uint32_t> back = BackScreen();
          EXPECT_TRUE(std::all_of(back.begin(), back.end(), [](uint32_t p) { return p == 0; }));
        }
        const RECT clip = GetGraphicsDrawState().clip;
        EXPECT_EQ(clip.right - clip.left, 640);
      }
      if (at.mask != 0) {
        ASSERT_EQ(DeleteMaskScreen(), 0);
      }
    }
    ASSERT_EQ(SelectBlendMode(0, 0), 0);
  }
}

// A primitive in black (the colour key of graphs) still paints, also blended, and a circle of radius 0 paints its
// centre alone.
TEST_F(HostileDrawTest, BlackPrimitivesAndRadiusZeroCirclesPaint) {
  struct Case {
    std::function<int()> draw;
    uint32_t ground;  // the screen's colour before the draw
    int x, y;         // painted
    int offX, offY;   // beside it, left alone
  };
  const Case cases[] = {
      {[] { return DrawFillBox(10, 10, 12, 12, 0); }, kRed, 11, 11, 12, 11},
      {[] { return DrawFrameBox(10, 10, 14, 14, 0); }, kRed, 10, 13, 11, 12},
      {[] { return DrawCircle(30, 30, 3, 0, 1); }, kRed, 30, 30, 34, 30},
      {[] { return SelectBlendMode(1, 128) + DrawFillBox(10, 10, 12, 12, 0) + SelectBlendMode(0, 0); }, kRed, 10, 10,
       9, 10},
      {[] { return DrawCircle(30, 30, 0, kRed, 0); }, 0, 30, 30, 31, 30},
      {[] { return DrawCircle(30, 30, 0, kRed, 1); }, 0, 30, 30, 30, 29},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(&c - cases));
    ASSERT_EQ(DrawFillBox(0, 0, 640, 480, c.ground), 0);
    EXPECT_EQ(c.draw(), 0);
    const std::vector<uint32_t> back = BackScreen();
    EXPECT_NE(back[c.y * 640 + c.x], c.ground);
    EXPECT_EQ(back[c.offY * 640 + c.offX], c.ground);
  }
}

// A new target keeps the clip only when both its width and its height match the old one; else the clip is the
// whole new target.
TEST_F(HostileDrawTest, ANewTargetOfAnotherSizeClipsToItsWhole) {
  for (auto [w, h, kept] : {std::tuple{640, 100, false}, std::tuple{100, 480, false}, std::tuple{640, 480, true}}) {
    ASSERT_EQ(SelectDrawTarget(-2), 0);
    ASSERT_EQ(SetDrawClipRect(10, 10, 50, 50), 0);
    const int graph = CreateEmptyGraph(w, h, 0, 0);
    ASSERT_EQ(SelectDrawTarget(graph), 0);
    const RECT clip = GetGraphicsDrawState().clip;
    const RECT want = kept ? RECT{10, 10, 50, 50} : RECT{0, 0, w, h};
    EXPECT_TRUE(clip.left == want.left && clip.top == want.top && clip.right == want.right &&
                clip.bottom == want.bottom)
        << w << "x" << h << ": " << clip.left << "," << clip.top << "," << clip.right << "," << clip.bottom;
    ASSERT_EQ(SelectDrawTarget(-2), 0);
    DeleteGraphHandle(graph, 0);
  }
}

}  // namespace
