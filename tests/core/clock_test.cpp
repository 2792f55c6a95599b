#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/core_test_support.h"
#include "core/library.h"
#include "core/main_window.h"
#include "platform/host/headless/headless_host.h"

namespace {

class ClockTest : public CoreTest {
 protected:
  void StartAt(uint64_t milliseconds) {
    headless::Config config;
    config.startMilliseconds = milliseconds;
    RestartHeadless(config);
  }
};

}  // namespace

TEST_F(ClockTest, MillisecondCountWrapsAtThirtyTwoBits) {
  StartAt(0xFFFFFFFFull - 5);
  uint32_t before = static_cast<uint32_t>(GetMillisecondCount(0));
  EXPECT_GE(before, 0xFFFFFFFFu - 5);
  headless::AdvanceMilliseconds(10);
  uint32_t after = static_cast<uint32_t>(GetMillisecondCount(1));
  EXPECT_LT(after, 10u);
  EXPECT_GE(after - before, 10u);
  EXPECT_LT(after - before, 12u);
}

TEST_F(ClockTest, WaitsLastTheirTimeAcrossTheWrap) {
  for (uint64_t start : {0xFFFFFFFFull - 50, 0x7FFFFFFFull - 50, 1000ull}) {
    StartAt(start);
    uint64_t before = headless::Milliseconds();
    EXPECT_EQ(WaitMilliseconds(100), 0);
    uint64_t waited = headless::Milliseconds() - before;
    EXPECT_GE(waited, 100u) << start;
    EXPECT_LE(waited, 102u) << start;
  }
}

TEST_F(ClockTest, ZeroAndNegativeWaitsPumpOnceAndReturn) {
  SystemState.noGraphics = 1;
  ASSERT_EQ(StartupLibrary(), 0);
  uint64_t before = headless::Nanoseconds();
  EXPECT_EQ(WaitMilliseconds(0), 0);
  EXPECT_EQ(WaitMilliseconds(-5), 0);
  EXPECT_LT(headless::Nanoseconds() - before, 2000000u);  // two pumps, each a few clock reads, and no sleep
  ShutdownLibrary();
}

TEST_F(ClockTest, MicrosecondsFollowTheCounterOnceStarted) {
  // Before start-up the millisecond clock serves, in steps of 1,000.
  EXPECT_EQ(GetMicrosecondCount(0) % 1000, 0);
  SystemState.noGraphics = 1;
  ASSERT_EQ(StartupLibrary(), 0);
  ASSERT_EQ(SystemState.performanceCounterFlag, 1);
  int64_t first = GetMicrosecondCount(0);
  headless::AdvanceMilliseconds(3);
  int64_t second = GetMicrosecondCount(0);
  EXPECT_GE(second - first, 3000);
  EXPECT_LT(second - first, 3200);
  EXPECT_NEAR(static_cast<double>(second), headless::Nanoseconds() / 1000.0, 100.0);
  ShutdownLibrary();
}

TEST_F(ClockTest, WithoutACounterTheMultimediaTimerServes) {
  headless::FailCall("QueryPerformanceFrequency");
  SystemState.noGraphics = 1;
  ASSERT_EQ(StartupLibrary(), 0);
  EXPECT_EQ(SystemState.performanceCounterFlag, 0);
  EXPECT_EQ(GetMicrosecondCount(0) % 1000, 0);
  std::vector<std::string> lines = ReadLogLines(workDir());
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "T:タイマーの精度を検査します"), lines.end());
  ShutdownLibrary();
}
