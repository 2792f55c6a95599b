// The host's events taken once per poll interval, and loops that wait held until the next millisecond.
#include <gtest/gtest.h>

#include "platform/host/headless/headless_input.h"
#include "platform/host/idle.h"
#include "platform/host/platform.h"
#include "platform/win32/kernel.h"
#include "platform/win32/keyboard.h"
#include "platform/win32/sync.h"
#include "platform/win32/user.h"
#include "platform/win32/winmm.h"
#include "support/headless_fixture.h"

namespace {

constexpr uint64_t kMs = 1000000;
constexpr int kKeyZ = 0x2C;  // DirectInput's Z; virtual key 'Z'

LRESULT Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(window, message, wparam, lparam);
}

class IdleTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    WNDCLASSEXA c{};
    c.lpfnWndProc = &Proc;
    c.lpszClassName = "Idle";
    RegisterClassExA(&c);
    window = CreateWindowExA(0, "Idle", "t", WS_POPUP | WS_VISIBLE, 0, 0, 4, 2, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }
  static bool Empty() {
    MSG m;
    return !PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);
  }
  static bool CloseSeen() {
    MSG m;
    return PeekMessageA(&m, nullptr, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_NOREMOVE) && (m.wParam & 0xFFF0) == SC_CLOSE;
  }
  static bool KeyZDown() {
    BYTE keys[256];
    GetKeyboardState(keys);
    return (keys['Z'] & 0x80) != 0;
  }
  HWND window = nullptr;
};

}  // namespace

TEST_F(IdleTest, WithoutAnIntervalEveryLookTakesTheHostsEvents) {
  headless::SetReadStepMicroseconds(0);
  headless::Close(window);
  EXPECT_TRUE(CloseSeen());
}

TEST_F(IdleTest, EventsAreTakenOncePerIntervalAndNoLater) {
  headless::SetReadStepMicroseconds(0);
  headless::SetPollIntervalMicroseconds(1000);
  headless::SetMilliseconds(5000);
  EXPECT_TRUE(Empty());  // taken in this millisecond
  headless::Close(window);
  headless::PressKey(kKeyZ);
  for (int i = 0; i < 100; ++i) EXPECT_FALSE(CloseSeen());
  EXPECT_FALSE(KeyZDown());
  // Within the same millisecond nothing more is taken; from the next one on, the first look takes them.
  headless::SetMilliseconds(5000);
  headless::AdvanceMilliseconds(0);
  EXPECT_FALSE(CloseSeen());
  headless::SetMilliseconds(5001);
  EXPECT_TRUE(KeyZDown());
  EXPECT_TRUE(CloseSeen());
}

TEST_F(IdleTest, WithAMovingClockAnEventArrivesWithinAMillisecond) {
  headless::SetReadStepMicroseconds(100);
  headless::SetPollIntervalMicroseconds(1000);
  EXPECT_TRUE(Empty());
  headless::Close(window);
  const uint64_t posted = headless::Nanoseconds();
  while (!CloseSeen()) ASSERT_LT(headless::Nanoseconds() - posted, 1200000u);
}

// A loop that looks at an empty queue and reads the clock after a present: the first two rounds run, every
// later one rests half a millisecond, never past the next whole one.
TEST_F(IdleTest, AWaitingLoopAfterAPresentRestsAMomentAtATime) {
  headless::SetReadStepMicroseconds(700);
  headless::SetMilliseconds(7000);
  timeGetTime();
  headless::SetReadStepMicroseconds(0);
  host::NoteSurfaceWork(true);
  const uint64_t expected[] = {7000700000, 7000700000, 7001 * kMs, 7001500000, 7002 * kMs, 7002500000};
  for (uint64_t at : expected) {
    EXPECT_TRUE(Empty());
    timeGetTime();
    EXPECT_EQ(headless::Nanoseconds(), at);
  }
}

// A 17 ms pacing wait, then the one pump of the loop's own test before the next frame starts: that pump may
// rest, but the next frame still starts in the seventeenth millisecond.
TEST_F(IdleTest, ThePumpAfterAWaitEndsKeepsTheNextFrameInItsMillisecond) {
  headless::SetReadStepMicroseconds(0);
  headless::SetMilliseconds(8000);
  host::NoteSurfaceWork(true);
  const DWORD start = timeGetTime();
  for (;;) {
    Empty();
    if (timeGetTime() - start >= 17) break;
  }
  Empty();
  EXPECT_EQ(timeGetTime(), start + 17);
}

TEST_F(IdleTest, LoopsThatDrawSleepOrReadNoClockAreNeverHeld) {
  headless::SetReadStepMicroseconds(0);
  headless::SetMilliseconds(7000);
  struct Case {
    const char* name;
    void (*between)();
    bool presented;
  } cases[] = {
      {"drawing", [] { host::NoteSurfaceWork(false); timeGetTime(); }, true},
      {"no present", [] { timeGetTime(); }, false},
      {"no clock read", [] {}, true},
      {"sleeping", [] { timeGetTime(); Sleep(0); }, true},
  };
  for (const Case& c : cases) {
    host::NoteSurfaceWork(c.presented);
    for (int i = 0; i < 10; ++i) {
      EXPECT_TRUE(Empty());
      c.between();
    }
    EXPECT_EQ(headless::Nanoseconds(), 7000 * kMs) << c.name;
  }
}

// A close or a key scripted for a moment inside a rest is seen on the first look after it: at once when every
// look takes the host's events, else at the next millisecond, when the next take is due.
TEST_F(IdleTest, AnEventDuringARestIsSeenOnTheNextLook) {
  const struct {
    uint32_t interval;
    uint64_t seenAt;
  } cases[] = {{0, 9002250000}, {1000, 9003 * kMs}};
  for (const auto& c : cases) {
    headless::SetReadStepMicroseconds(0);
    headless::SetPollIntervalMicroseconds(c.interval);
    headless::SetMilliseconds(9000);
    host::NoteSurfaceWork(true);
    for (int i = 0; i < 3; ++i) {
      Empty();
      timeGetTime();
    }
    ASSERT_EQ(headless::Nanoseconds(), 9000500000u);  // resting from now on
    headless::SetReadStepMicroseconds(750);
    timeGetTime();
    headless::SetReadStepMicroseconds(0);
    headless::Close(window, 1);  // due at 9002.25 ms
    headless::PressKey(kKeyZ, 1);
    int looks = 0;
    while (!CloseSeen()) {
      timeGetTime();
      ASSERT_LT(++looks, 10) << c.interval;
    }
    EXPECT_EQ(headless::Nanoseconds(), c.seenAt) << c.interval;
    EXPECT_TRUE(KeyZDown()) << c.interval;
    headless::ReleaseKey(kKeyZ);
    headless::AdvanceMilliseconds(1);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
}

TEST_F(IdleTest, MessageWaitsRestWholeMillisecondsOnTheQueueAlone) {
  headless::SetReadStepMicroseconds(0);
  headless::SetMilliseconds(3000);
  headless::AdvanceMilliseconds(0);
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 3, QS_ALLINPUT), WAIT_TIMEOUT);
  EXPECT_EQ(headless::Nanoseconds(), 3003 * kMs);
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT), WAIT_TIMEOUT);
  EXPECT_EQ(headless::Nanoseconds(), 3003 * kMs);
  HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 3, QS_ALLINPUT), WAIT_FAILED);
  CloseHandle(event);
}
