#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/clock.h"
#include "core/core_test_support.h"
#include "core/library.h"
#include "core/main_window.h"
#include "core/message_pump.h"
#include "platform/host/headless/headless_host.h"
#include "platform/win32/kernel.h"
#include "platform/win32/user.h"

namespace {

constexpr UINT kProbe = WM_USER + 0x123;
int probesSeen = 0;
std::vector<UINT> messagesSeen;

void CountProbes(HWND, UINT message, WPARAM, LPARAM) {
  messagesSeen.push_back(message);
  if (message == kProbe) ++probesSeen;
}

class PumpTest : public StartedCoreTest {
 protected:
  void SetUp() override {
    StartedCoreTest::SetUp();
    SystemState.messageHook = CountProbes;
    while (PumpUntilIdle()) {
    }
    probesSeen = 0;
    messagesSeen.clear();
  }
  // Takes a deactivation without waiting for the activation that follows it.
  void DeactivateNow() {
    headless::Deactivate();
    SystemState.alwaysRun = 1;
    PumpWindowMessages();
    SystemState.alwaysRun = 0;
    ASSERT_EQ(SystemState.activeFlag, 0);
  }
  // One pump call; true when it dispatched anything.
  bool PumpUntilIdle() {
    size_t before = messagesSeen.size();
    PumpWindowMessages();
    return messagesSeen.size() != before;
  }
};

}  // namespace

TEST_F(PumpTest, ACallDispatchesAtMostSixCountedMessages) {
  for (int i = 0; i < 10; ++i) PostMessageA(window, kProbe, i, 0);
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_EQ(probesSeen, 6);
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_EQ(probesSeen, 10);
  // Messages posted to the thread itself count too.
  for (int i = 0; i < 3; ++i) PostThreadMessageA(GetCurrentThreadId(), kProbe, 0, 0);
  PostMessageA(window, kProbe, 0, 0);
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_EQ(probesSeen, 11);  // thread messages have no window procedure; only the window's one is seen
}

TEST_F(PumpTest, InactiveWindowBlocksUntilActivatedAgain) {
  headless::Deactivate();
  headless::Activate(50);
  uint64_t start = headless::Milliseconds();
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_EQ(SystemState.activeFlag, 1);
  uint64_t waited = headless::Milliseconds() - start;
  EXPECT_GE(waited, 50u);
  EXPECT_LT(waited, 60u);
  // An active window with an empty queue never sleeps.
  const uint64_t before = headless::Nanoseconds();
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_LT(headless::Nanoseconds() - before, 1000000u);
}

TEST_F(PumpTest, InactivePassesStillTakeMessages) {
  headless::Deactivate();
  headless::Activate(20);
  PostMessageA(window, kProbe, 0, 0);
  EXPECT_EQ(PumpWindowMessages(), 0);
  // Messages still arrive while the call waits.
  EXPECT_EQ(probesSeen, 1);
}

TEST_F(PumpTest, AlwaysRunNeverBlocks) {
  SystemState.alwaysRun = 1;
  headless::Deactivate();
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_EQ(SystemState.activeFlag, 0);
  uint64_t start = headless::Milliseconds();
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_LT(headless::Milliseconds() - start, 5u);
}

TEST_F(PumpTest, ClosingWhileInactiveEndsTheWait) {
  headless::Deactivate();
  headless::Close(window, 30);
  EXPECT_EQ(PumpWindowMessages(), -1);
  EXPECT_EQ(SystemState.quitFlag, 1);
}

TEST_F(PumpTest, CloseBoxDestroysTheWindowAndEveryLaterCallAnswersMinusOne) {
  headless::Close(window);
  int result = 0;
  for (int i = 0; i < 10 && result == 0; ++i) result = PumpWindowMessages();
  EXPECT_EQ(result, -1);
  EXPECT_EQ(SystemState.quitFlag, 1);
  EXPECT_EQ(SystemState.destroyedFlag, 1);
  EXPECT_EQ(SystemState.closeState, 4);
  EXPECT_FALSE(IsWindow(window));
  PostThreadMessageA(GetCurrentThreadId(), kProbe, 0, 0);
  EXPECT_EQ(PumpWindowMessages(), -1);
  EXPECT_EQ(PumpWindowMessages(), -1);
  std::vector<std::string> lines = ReadLogLines(workDir());
  std::vector<std::string> tail(lines.end() - 3, lines.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"T:ウインドウを閉じようとしています", "T:ウインドウが破棄されようとしています",
                                            "T:ソフトを終了する準備が整いました"}));
  // Shut-down after the user closed the window ends at once.
  EXPECT_EQ(ShutdownLibrary(), 0);
}

TEST_F(PumpTest, ScreenSaverRequestIsTakenAndRefused) {
  PostMessageA(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
  PumpWindowMessages();
  ASSERT_FALSE(messagesSeen.empty());
  EXPECT_EQ(messagesSeen.front(), WM_SYSCOMMAND);
  EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 1);
}

TEST_F(PumpTest, WaitForActivationReturnsAtOnceWhenActive) {
  PostMessageA(window, kProbe, 0, 0);
  WaitForActivation();
  EXPECT_EQ(probesSeen, 0);
  DeactivateNow();
  headless::Activate(40);
  uint64_t start = headless::Milliseconds();
  WaitForActivation();
  EXPECT_EQ(SystemState.activeFlag, 1);
  EXPECT_GE(headless::Milliseconds() - start, 40u);
}

TEST_F(PumpTest, WhileTheWindowIsBeingCreatedNothingWaitsForActivation) {
  DeactivateNow();
  headless::Activate(1000);  // a late activation, so a wrong wait ends instead of hanging
  SystemState.creatingFlag = 1;
  uint64_t start = headless::Milliseconds();
  WaitForActivation();
  EXPECT_EQ(PumpWindowMessages(), 0);
  SystemState.creatingFlag = 0;
  EXPECT_LT(headless::Milliseconds() - start, 5u);
  EXPECT_EQ(SystemState.activeFlag, 0);
}

TEST_F(PumpTest, WaitsEndWhenTheWindowNeverComesBack) {
  DeactivateNow();
  headless::Close(window, 100);
  WaitForActivation();
  EXPECT_EQ(SystemState.quitFlag, 1);
  uint64_t start = headless::Milliseconds();
  EXPECT_EQ(WaitMilliseconds(1000), 0);
  EXPECT_LT(headless::Milliseconds() - start, 5u);
}

namespace {

// Full screen, where the pump's first housekeeping step places the menu by the cursor.
class FullScreenPumpTest : public StartedCoreTest {
 protected:
  FullScreenPumpTest() { fullScreen = true; }
};

// Moves the cursor to the top and asks to quit, both from inside the pump's message taking.
void MoveCursorToTheTopAndQuitOnProbe(HWND, UINT message, WPARAM, LPARAM) {
  if (message != kProbe) return;
  SetCursorPos(100, 10);
  PostQuitMessage(0);
}

}  // namespace

TEST_F(FullScreenPumpTest, HousekeepingFollowsTheMessagesOfItsCallAlsoWhenQuitting) {
  SetCursorPos(100, 300);
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_EQ(SystemState.menuNearTop, 0);
  SetCursorPos(100, 59);
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_EQ(SystemState.menuNearTop, 1);

  // Switched off, the cursor and menu step is skipped.
  SystemState.cursorMenuUpdateOff = 1;
  SetCursorPos(100, 60);
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_EQ(SystemState.menuNearTop, 1);
  SystemState.cursorMenuUpdateOff = 0;
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_EQ(SystemState.menuNearTop, 0);

  // A message of the call moves the cursor and the quit message it posts ends the passes; the housekeeping
  // that follows still sees the move.
  SystemState.messageHook = MoveCursorToTheTopAndQuitOnProbe;
  PostMessageA(window, kProbe, 0, 0);
  EXPECT_EQ(PumpWindowMessages(), -1);
  EXPECT_EQ(SystemState.menuNearTop, 1);
  SystemState.messageHook = nullptr;
}
