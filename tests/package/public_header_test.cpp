// A program that includes only the public header starts the library, draws a frame with graphs, shapes and a blend
// mode, and presents it: a public call missing from the header fails this build.
#include <gtest/gtest.h>
#include <malloc.h>

#include "support/headless_fixture.h"
#include "vomak.h"

TEST_F(HeadlessTest, PublicHeaderAloneDrawsAFrame) {
  SetMainWindowTitle("public");
  ChangeWindowMode(1);
  ASSERT_EQ(StartupLibrary(), 0);
  ASSERT_EQ(SelectDrawTarget(kDrawTargetBack), 0);
  ClearDrawTarget();
  const int graph = CreateEmptyGraphDefault(8, 8);
  ASSERT_NE(graph, -1);
  PaintGraphWithColor(graph, 0, 0, 255, 255);
  EXPECT_EQ(DrawGraph(10, 10, graph, 0), 0);
  EXPECT_EQ(DrawFillBox(30, 10, 40, 20, PackScreenColor(255, 0, 0)), 0);
  SelectBlendMode(kBlendAdd, 255);
  EXPECT_EQ(DrawBoxShape(30, 10, 40, 20, PackScreenColor(0, 255, 0), 1), 0);
  SelectBlendMode(kBlendNone, 0);
  headless::ClearFrames();
  EXPECT_EQ(G_DDraw_FlipScreen(), 0);
  ASSERT_FALSE(headless::Frames().empty());
  const headless::CapturedFrame& frame = headless::Frames().back();
  EXPECT_EQ(frame.Rgb(12, 12), 0x0000FFu);
  EXPECT_EQ(frame.Rgb(35, 15) >> 16, 0xFFu);  // green added onto red
  EXPECT_GE((frame.Rgb(35, 15) >> 8) & 0xFF, 0xF0u);
  EXPECT_EQ(frame.Rgb(50, 50), 0x000000u);
  EXPECT_EQ(DeleteGraphHandle(graph, 0), 0);
  EXPECT_EQ(DrawGraph(0, 0, graph, 0), -1);
  EXPECT_EQ(ShutdownLibrary(), 0);
}

// Start-up and shut-down again and again in one process: every shut-down frees what its start-up made.
TEST_F(HeadlessTest, RestartsLeaveLiveAllocationsWhereTheyStarted) {
  auto cycle = [] {
    ChangeWindowMode(1);
    ASSERT_EQ(StartupLibrary(), 0);
    ShutdownLibrary();
    headless::ClearFrames();  // what the test host captures is not the library's
    headless::ClearDebugOutput();
  };
  cycle();  // the first start fills what lives for the whole process
  const size_t before = mallinfo2().uordblks;
  for (int i = 0; i < 50; ++i) cycle();
  EXPECT_LE(mallinfo2().uordblks, before + 4096);
}
