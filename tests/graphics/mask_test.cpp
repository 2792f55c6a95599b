// Masks: every kind of draw reaches exactly the pixels the mask allows, at every depth and on every target, and the
// mask's bytes outlive a display change.
#include <functional>

#include "core/message_pump.h"
#include "font/font_test_support.h"
#include "graphics/draw_front.h"
#include "graphics/graphics_system.h"

namespace {

constexpr int kArea = 96;  // the square of the back screen the comparisons read

// Forbidden where either coordinate's block of three (counted from 1) is odd: runs of allowed and forbidden pixels
// that start and end at every position of a four-byte mask word.
bool Forbidden(int x, int y) { return ((x + 1) / 3 + (y + 1) / 3) % 2 == 1; }

// A picture with a black (transparent) corner.
uint32_t Picture(int x, int y) {
  return x < 4 && y < 4 ? 0 : 0x203040u + static_cast<uint32_t>(x * 0x0F0000 + y * 0x0B);
}

struct DrawKind {
  const char* name;
  std::function<int(int graph, int font, int edged)> draw;
};

const std::vector<DrawKind>& Kinds() {
  static const std::vector<DrawKind> kinds = {
      {"graph", [](int g, int, int) { return DrawGraph(5, 7, g, 0); }},
      {"keyed graph", [](int g, int, int) { return DrawGraph(5, 7, g, 1); }},
      {"stretched graph", [](int g, int, int) { return DrawExtendGraph(3, 2, 61, 43, g, 1); }},
      {"rotated graph", [](int g, int, int) { return DrawRotaGraph(40, 40, 2.5, 0.6, g, 1, 0); }},
      {"four-corner graph", [](int g, int, int) { return DrawModiGraph(4, 6, 70, 2, 60, 50, 9, 44, g, 0); }},
      {"fill box", [](int, int, int) { return DrawFillBox(2, 3, 50, 41, PackScreenColor(250, 200, 10)); }},
      {"frame box", [](int, int, int) { return DrawFrameBox(1, 1, 47, 44, PackScreenColor(10, 250, 90)); }},
      {"circle", [](int, int, int) { return DrawCircle(30, 30, 22, PackScreenColor(90, 20, 250), 1); }},
      {"text",
       [](int, int f, int) { return DrawTextWithFont(2, 4, "AAAAAA", PackScreenColor(255, 255, 255), f, 0, 0); }},
      {"edged text",
       [](int, int, int e) {
         return DrawTextWithFont(3, 3, "AAAA", PackScreenColor(255, 255, 0), e, PackScreenColor(0, 0, 255), 0);
       }},
      {"vertical text",
       [](int, int f, int) { return DrawTextWithFont(40, 2, "AAAAA", PackScreenColor(255, 255, 255), f, 0, 1); }},
      {"blended text",
       [](int, int f, int) {
         SelectBlendMode(1, 160);
         const int r = DrawTextWithFont(2, 4, "AAAAAA", PackScreenColor(255, 255, 255), f, 0, 0);
         SelectBlendMode(0, 0);
         return r;
       }},
      {"formatted text",
       [](int, int, int) { return DrawFormattedText(1, 30, PackScreenColor(255, 255, 255), "%s", "MASKED"); }},
  };
  return kinds;
}

class MaskTest : public FontTest {
 protected:
  // A synthetic face whose 'A' is a solid block, so every glyph covers pixels of both kinds.
  void StartAt(int bits) {
    const SyntheticGlyph block{'A', std::vector<std::string>(9, "########"), 9};
    ASSERT_EQ(StartWithFonts(bits, {{"Block", Synthetic("block", 12, 10, 2, {block})}}), 0);
  }
  uint32_t Background() const { return PackScreenColor(60, 120, 180); }
  void PaintBackground() {
    SelectDrawTarget(-2);
    DrawFillBox(0, 0, 640, 480, Background());
  }
  std::vector<uint32_t> Area() {
    LockedSurface back(QueryBackSurface());
    std::vector<uint32_t> out;
    for (int y = 0; y < kArea; y++)
      for (int x = 0; x < kArea; x++) out.push_back(back.Get(x, y));
    return out;
  }
  int SourceGraph() {
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 16; y++)
      for (int x = 0; x < 16; x++) pixels.push_back(Picture(x, y));
    WriteBmp24(workDir() + "/source.bmp", 16, 16, pixels);
    return LoadGraphFileSimple("source.bmp");
  }
  void FillMask() {
    for (int y = 0; y < kArea; y++)
      for (int x = 0; x < kArea; x++)
        if (Forbidden(x, y)) FillMaskScreenRect(x, y, x + 1, y + 1, 1);
  }
  void DisplayChange() {
    headless::PostDisplayChange(1280, 1024, 32);
    for (int i = 0; i < 4; i++) PumpWindowMessages();
  }
};

// Each draw with the mask on shows the same draw without it where the mask allows, and the old pixels elsewhere.
TEST_F(MaskTest, EveryDrawKindReachesOnlyAllowedPixelsAtEveryDepth) {
  for (int bits : {8, 16, 32}) {
    StartAt(bits);
    const int graph = SourceGraph();
    const int font = CreateFontToHandle("Block", 12, 4, 0, -1, -1, -1, -1);
    const int edged = CreateFontToHandle("Block", 12, 4, 1, -1, 4, -1, -1);
    ASSERT_GE(graph, 0);
    ASSERT_GE(font, 0);
    ASSERT_GE(edged, 0);
    ASSERT_EQ(CreateMaskScreen(), 0);
    SetMaskDrawOn(0);  // the switch has been on since start-up
    FillMask();
    for (const DrawKind& kind : Kinds()) {
      PaintBackground();
      ASSERT_EQ(kind.draw(graph, font, edged), 0) << bits << " " << kind.name;
      const std::vector<uint32_t> unmasked = Area();
      PaintBackground();
      ASSERT_EQ(SetMaskDrawOn(1), 0);
      EXPECT_EQ(kind.draw(graph, font, edged), 0) << bits << " " << kind.name;
      SetMaskDrawOn(0);
      const std::vector<uint32_t> masked = Area();
      int wrong = 0, drawnAllowed = 0, drawnForbidden = 0;
      for (int y = 0; y < kArea; y++)
        for (int x = 0; x < kArea; x++) {
          const uint32_t want = Forbidden(x, y) ? Background() : unmasked[y * kArea + x];
          wrong += masked[y * kArea + x] != want;
          if (unmasked[y * kArea + x] != Background()) (Forbidden(x, y) ? drawnForbidden : drawnAllowed)++;
        }
      EXPECT_EQ(wrong, 0) << bits << " " << kind.name;
      // The draw itself covers pixels of both kinds, or the comparison proves nothing.
      EXPECT_GT(drawnAllowed, 20) << bits << " " << kind.name;
      EXPECT_GT(drawnForbidden, 20) << bits << " " << kind.name;
    }
    ShutdownLibrary();
    started_ = false;
  }
}

// The mask covers the screen; on a larger graph, draws beyond the mask's extent leave the graph as it was.
TEST_F(MaskTest, DrawsBeyondTheMaskOnALargerGraphLeaveItUntouched) {
  for (int bits : {8, 16, 32}) {
    StartAt(bits);
    const int source = SourceGraph();
    const int font = CreateFontToHandle("Block", 12, 4, 0, -1, -1, -1, -1);
    const int big = CreateEmptyGraphDefault(900, 700);
    ASSERT_GE(big, 0);
    ASSERT_EQ(CreateMaskScreen(), 0);
    SetMaskDrawOn(0);
    FillMaskScreenRect(0, 0, 320, 480, 1);  // the left half forbidden, the right half allowed
    const std::vector<std::function<int()>> draws = {
        [&] { return DrawFillBox(0, 0, 900, 700, PackScreenColor(250, 200, 10)); },
        [&] { return DrawExtendGraph(-10, -10, 910, 710, source, 0); },
        [&] { return DrawRotaGraph(620, 460, 20.0, 0.3, source, 0, 0); },
        [&] { return DrawModiGraph(600, 400, 899, 420, 880, 690, 610, 699, source, 0); },
        [&] { return DrawCircle(640, 480, 200, PackScreenColor(90, 20, 250), 1); },
        [&] { return DrawTextWithFont(560, 470, "AAAAAAAAAAAAAAAAAAAA", PackScreenColor(255, 255, 255), font, 0, 0); },
    };
    for (size_t i = 0; i < draws.size(); i++) {
      SelectDrawTarget(big);
      DrawFillBox(0, 0, 900, 700, Background());
      ASSERT_EQ(SetMaskDrawOn(1), 0);
      EXPECT_EQ(draws[i](), 0) << bits << " " << i;
      SetMaskDrawOn(0);
      LockedSurface pixels(SurfaceOfGraph(big)->surface);
      int changedOutside = 0, changedForbidden = 0, changedAllowed = 0;
      for (int y = 0; y < 700; y++)
        for (int x = 0; x < 900; x++) {
          const bool changed = pixels.Get(x, y) != Background();
          if (x >= 640 || y >= 480) changedOutside += changed;
          else if (x < 320) changedForbidden += changed;
          else changedAllowed += changed;
        }
      EXPECT_EQ(changedOutside, 0) << bits << " " << i;
      EXPECT_EQ(changedForbidden, 0) << bits << " " << i;
      EXPECT_GT(changedAllowed, 20) << bits << " " << i;
    }
    SelectDrawTarget(-2);
    ShutdownLibrary();
    started_ = false;
  }
}

// A derived graph as target: the mask's coordinates are the view's, not its parent surface's.
TEST_F(MaskTest, ADerivedTargetIsMaskedInItsOwnCoordinates) {
  StartAt(32);
  const int parent = CreateEmptyGraphDefault(64, 32);
  const int view = DeriveGraph(32, 0, 32, 32, parent);
  ASSERT_GE(view, 0);
  ASSERT_EQ(CreateMaskScreen(), 0);
  SetMaskDrawOn(0);
  FillMaskScreenRect(0, 0, 16, 32, 1);
  SelectDrawTarget(parent);
  DrawFillBox(0, 0, 64, 32, Background());
  SelectDrawTarget(view);
  ASSERT_EQ(SetMaskDrawOn(1), 0);
  const uint32_t ink = PackScreenColor(250, 200, 10);
  EXPECT_EQ(DrawFillBox(0, 0, 32, 32, ink), 0);
  SetMaskDrawOn(0);
  SelectDrawTarget(-2);
  LockedSurface pixels(SurfaceOfGraph(parent)->surface);
  for (int x = 0; x < 64; x++) EXPECT_EQ(pixels.Get(x, 5), x >= 48 ? ink : Background()) << x;
}

// A display change rebuilds the mask's surface and keeps what its bytes forbid.
TEST_F(MaskTest, TheMaskOutlivesADisplayChange) {
  StartAt(32);
  ASSERT_EQ(CreateMaskScreen(), 0);
  FillMaskScreenRect(10, 0, 20, 480, 1);
  DisplayChange();
  EXPECT_EQ(GetMaskDrawOn(), 1);
  SetMaskDrawOn(0);
  PaintBackground();
  ASSERT_EQ(SetMaskDrawOn(1), 0);
  const uint32_t ink = PackScreenColor(250, 200, 10);
  EXPECT_EQ(DrawFillBox(0, 0, 40, 40, ink), 0);
  SetMaskDrawOn(0);
  LockedSurface back(QueryBackSurface());
  for (int x = 0; x < 40; x++) EXPECT_EQ(back.Get(x, 20), x >= 10 && x < 20 ? Background() : ink) << x;
}

}  // namespace
