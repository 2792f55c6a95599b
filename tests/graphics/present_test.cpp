#include <gtest/gtest.h>

#include "graphics/draw_state.h"
#include "graphics/graphics_test_support.h"
#include "graphics/software/backend_glue.h"
#include "support/depth_case.h"

namespace {

class PresentTest : public GraphicsTest, public ::testing::WithParamInterface<DepthCase> {
 protected:
  // The presented pixel at (x, y) of the client area.
  static uint32_t ClientPixel(const headless::CapturedFrame& frame, int x, int y) {
    if (frame.width == 640 && frame.height == 480) return frame.Rgb(x, y);
    RECT client{};
    GetClientScreenRect(&client.left);
    return frame.Rgb(client.left + x, client.top + y);
  }
  // A pattern colour that every depth keeps exactly: channels on the 3-3-2 palette grid when 8-bit.
  static void PatternColour(int bits, int x, int y, int* r, int* g, int* b) {
    if (bits == 8) {
      *r = ((x + y) & 7) * 255 / 7;
      *g = (x & 7) * 255 / 7;
      *b = (y & 3) * 255 / 3;
    } else {
      *r = ((x * 8) & 0xF8);
      *g = ((y * 4) & 0xF8);
      *b = ((x + y) * 8) & 0xF8;
    }
  }
};

TEST_P(PresentTest, PresentedFrameEqualsWhatWasDrawnInTheClientRectangle) {
  const DepthCase& c = GetParam();
  ASSERT_EQ(Start(c.bits, c.rgb555), 0);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  EXPECT_EQ(ClearDrawTarget(), 0);
  {
    LockedSurface back(QueryBackSurface());
    ASSERT_NE(back.description.lpSurface, nullptr);
    for (int y = 0; y < 480; y += 7)
      for (int x = 0; x < 640; x += 5) {
        int r, g, b;
        PatternColour(c.bits, x, y, &r, &g, &b);
        back.Set(x, y, PackScreenColor(r, g, b));
      }
  }
  headless::ClearFrames();
  uint64_t presented = G_DDraw_GetFlipCount();
  EXPECT_EQ(G_DDraw_FlipScreen(), 0);
  EXPECT_EQ(G_DDraw_GetFlipCount(), presented + 1);
  ASSERT_FALSE(headless::Frames().empty());
  const headless::CapturedFrame& frame = headless::Frames().back();
  for (int y = 0; y < 480; y++)
    for (int x = 0; x < 640; x++) {
      int r = 0, g = 0, b = 0;
      if (y % 7 == 0 && x % 5 == 0) PatternColour(c.bits, x, y, &r, &g, &b);
      uint32_t expected = static_cast<uint32_t>(r) << 16 | g << 8 | b;
      if (c.bits == 8) {
        // The palette entry the colour was packed to.
        const ScreenPaletteEntry& e = GetDirectDrawLayerState().paletteEntries[PackScreenColor(r, g, b)];
        expected = static_cast<uint32_t>(e.red) << 16 | e.green << 8 | e.blue;
      }
      if (c.bits == 16 && c.rgb555 == false) expected &= 0xF8FCF8;
      if (c.bits == 16 && c.rgb555) expected &= 0xF8F8F8;
      uint32_t got = ClientPixel(frame, x, y);
      if (c.bits == 16) got &= c.rgb555 ? 0xF8F8F8 : 0xF8FCF8;
      ASSERT_EQ(got, expected) << x << "," << y;
    }

  // The copy lands in the client rectangle of the desktop-sized primary surface, and nowhere else.
  {
    RECT client{};
    GetClientScreenRect(&client.left);
    EXPECT_GT(client.left, 0);
    EXPECT_GT(client.top, 0);
    LockedSurface primary(QueryPrimarySurface());
    ASSERT_NE(primary.description.lpSurface, nullptr);
    LockedSurface back(QueryBackSurface());
    EXPECT_EQ(primary.Get(client.left + 5, client.top + 7), back.Get(5, 7));
    EXPECT_EQ(primary.Get(client.left + 635, client.top + 476), back.Get(635, 476));
    EXPECT_EQ(primary.Get(client.left - 1, client.top), 0u);
    EXPECT_EQ(primary.Get(client.left, client.top - 1), 0u);
    EXPECT_EQ(primary.Get(client.left + 640, client.top + 7), 0u);
  }

  // A cleared frame presents black.
  EXPECT_EQ(ClearDrawTarget(), 0);
  EXPECT_EQ(G_DDraw_FlipScreen(), 0);
  const headless::CapturedFrame& cleared = headless::Frames().back();
  EXPECT_EQ(ClientPixel(cleared, 0, 0), 0u);
  EXPECT_EQ(ClientPixel(cleared, 635, 476), 0u);
}

INSTANTIATE_TEST_SUITE_P(Depths, PresentTest,
                         ::testing::Values(DepthCase{8, false}, DepthCase{16, false}, DepthCase{16, true},
                                           DepthCase{32, false}),
                         ::testing::PrintToStringParamName());

class DrawTargetTest : public GraphicsTest {};

TEST_F(DrawTargetTest, TargetsSwitchTheSurfaceAndTheClipper) {
  ASSERT_EQ(Start(32), 0);
  DirectDrawLayerState& layer = GetDirectDrawLayerState();
  ASSERT_EQ(G_DDraw_SelectDrawTarget(-2), 0);
  EXPECT_EQ(QueryDrawTargetSurface(), layer.back);
  IDirectDrawClipper* clipper = nullptr;
  layer.primary->GetClipper(&clipper);
  EXPECT_EQ(clipper, layer.clipper);
  if (clipper != nullptr) clipper->Release();
  ASSERT_EQ(G_DDraw_SelectDrawTarget(-4), 0);
  EXPECT_EQ(QueryDrawTargetSurface(), layer.primary);
  EXPECT_EQ(IsDrawingToPrimaryInWindow(), 1);
  clipper = nullptr;
  EXPECT_NE(layer.primary->GetClipper(&clipper), DD_OK);
  int graph = CreateEmptyGraph(8, 8, 0, 0);
  ASSERT_EQ(G_DDraw_SelectDrawTarget(graph), 0);
  EXPECT_EQ(QueryDrawTargetSurface(), SurfaceOfGraph(graph)->surface);
  EXPECT_EQ(G_DDraw_SelectDrawTarget(graph + 1), -1);
  // Presenting with the front screen as target only counts and waits.
  ASSERT_EQ(G_DDraw_SelectDrawTarget(-4), 0);
  uint64_t count = G_DDraw_GetFlipCount();
  EXPECT_EQ(G_DDraw_FlipScreen(), 0);
  EXPECT_EQ(G_DDraw_GetFlipCount(), count + 1);
  EXPECT_EQ(G_DDraw_WaitVerticalBlank(-3), 0);
  EXPECT_EQ(G_DDraw_WaitVerticalBlank(0), 0);
}

// The wait rests between looks at the beam: a blank that begins and ends between two looks still ends it, on
// the first look after it, instead of a whole display frame later. Clocks that move a little on each read make
// some looks step over the one-millisecond blank at 16 ms.
TEST_F(DrawTargetTest, ABlankPassedBetweenTwoLooksEndsTheWait) {
  for (int windowMode : {1, 0}) {
    ASSERT_EQ(Start(32, false, windowMode), 0);
    ASSERT_EQ(SelectDrawTarget(kDrawTargetFront), 0);
    SetFlipWaitForVBlank(1);
    for (uint32_t step = 300; step <= 1500; step += 100) {
      headless::SetMilliseconds(1000000 + 5);
      headless::SetReadStepMicroseconds(step);
      EXPECT_EQ(G_DDraw_FlipScreen(), 0);
      const uint64_t waited = headless::Milliseconds() - 1000000;
      EXPECT_GE(waited, 16u) << windowMode << " " << step;
      EXPECT_LE(waited, 30u) << windowMode << " " << step;  // the next blank begins at 32 ms
    }
    headless::SetReadStepMicroseconds(100);
    ShutdownLibrary();
    started_ = false;
  }
}

TEST_F(DrawTargetTest, PresentingTheDrawnFrontScreenWaitsForTheBlankOnlyWithTheFlipWait) {
  // Virtual milliseconds from a frame's first line: the blank begins 15.25 ms later (60 Hz, 480 of 525 lines).
  for (int windowMode : {1, 0}) {
    ASSERT_EQ(Start(32, false, windowMode), 0);
    ASSERT_EQ(SelectDrawTarget(kDrawTargetFront), 0);
    for (int wait : {1, 0}) {
      SetFlipWaitForVBlank(wait);
      headless::SetMilliseconds(1000000);
      const uint64_t count = G_DDraw_GetFlipCount();
      EXPECT_EQ(G_DDraw_FlipScreen(), 0);
      EXPECT_EQ(G_DDraw_GetFlipCount(), count + 1);
      const uint64_t waited = headless::Milliseconds() - 1000000;
      EXPECT_EQ(waited >= 15 && waited <= 17, wait == 1) << windowMode << " " << waited;
    }
    ShutdownLibrary();
    started_ = false;
  }
}

TEST_F(DrawTargetTest, FullScreenFlipShowsTheBackScreen) {
  ASSERT_EQ(Start(32, false, 0), 0);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  ASSERT_EQ(DrawBoxShape(0, 0, 4, 4, PackScreenColor(255, 0, 0), 1), 0);
  headless::ClearFrames();
  EXPECT_EQ(G_DDraw_FlipScreen(), 0);
  ASSERT_EQ(headless::Frames().size(), 1u);
  EXPECT_EQ(headless::Frames()[0].Rgb(1, 1), 0xFF0000u);
  EXPECT_EQ(headless::Frames()[0].Rgb(5, 5), 0u);
}

TEST_F(DrawTargetTest, WithoutDirectDrawEveryEntryRefuses) {
  EXPECT_EQ(G_DDraw_FlipScreen(), -1);
  EXPECT_EQ(G_DDraw_CopyBackToFront(), -1);
  EXPECT_EQ(G_DDraw_ClearDrawTarget(), -1);
  EXPECT_EQ(G_DDraw_DeleteAllGraphSurfaces(), -1);
  EXPECT_EQ(G_DDraw_WaitVerticalBlank(1), -1);
  EXPECT_EQ(G_DDraw_ApplyBlendMode(1, 2), 0);
  EXPECT_EQ(G_DDraw_ResetFlipCount(), 0);
  G_DDraw_CountFlip();
  EXPECT_EQ(G_DDraw_GetFlipCount(), 1u);
}

}  // namespace
