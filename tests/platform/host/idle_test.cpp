// The host's events taken once per poll interval, and loops that wait held until the next millisecond.
#include <gtest/gtest.h>

#include <thread>

#include "platform/directx/dsound.h"
#include "platform/host/headless/headless_input.h"
#include "platform/host/idle.h"
#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/media/mci.h"
#include "platform/win32/com.h"
#include "platform/win32/kernel.h"
#include "platform/win32/keyboard.h"
#include "platform/win32/sync.h"
#include "platform/win32/user.h"
#include "platform/win32/winmm.h"
#include "support/headless_fixture.h"
#include "support/midi_writers.h"

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
  static bool Posted() {
    host::PlatformState& s = host::State();
    std::lock_guard<std::mutex> guard(s.lock);
    return !s.posted.empty();
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

// A loop that spins on an empty queue and the clock after a present: once two rounds have come straight back,
// every later one rests half a millisecond, never past the next whole one. Looks without a clock read between
// them (a pump looks three times) make one round.
TEST_F(IdleTest, ASpinAfterAPresentRestsAMomentAtATime) {
  for (int looks : {1, 3}) {
    headless::SetReadStepMicroseconds(0);
    headless::SetMilliseconds(7000);
    host::NoteSurfaceWork(true);
    timeGetTime();
    const uint64_t expected[] = {7000 * kMs, 7000 * kMs, 7000500000, 7001 * kMs, 7001500000, 7002 * kMs};
    for (uint64_t at : expected) {
      for (int i = 0; i < looks; ++i) EXPECT_TRUE(Empty());
      timeGetTime();
      EXPECT_EQ(headless::Nanoseconds(), at) << looks;
    }
  }
}

// Taking the host's events is the platform's time, not the loop's: a take that costs 30 us neither breaks a
// spin's count of quick rounds nor is rested through.
TEST_F(IdleTest, TakingTheHostsEventsIsNotTheSpinsOwnTime) {
  headless::SetReadStepMicroseconds(0);
  headless::SetPollIntervalMicroseconds(1000);
  headless::SetMilliseconds(7000);
  EXPECT_TRUE(Empty());
  headless::ScheduleAction(1, [] {
    headless::SetReadStepMicroseconds(30);
    host::Current().Nanoseconds();
    headless::SetReadStepMicroseconds(0);
  });
  headless::SetMilliseconds(7001);
  host::NoteSurfaceWork(true);
  timeGetTime();
  const uint64_t expected[] = {7001030000, 7001030000, 7001530000, 7002 * kMs, 7002500000, 7003 * kMs};
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

// The watch belongs to the thread that pumps: another thread's sleeps, clock reads and surface work leave a
// spin's rests as they were.
TEST_F(IdleTest, OtherThreadsDoNotTouchThePumpsWatch) {
  headless::SetReadStepMicroseconds(0);
  headless::SetMilliseconds(6000);
  host::NoteSurfaceWork(true);
  timeGetTime();
  for (int i = 0; i < 6; ++i) {
    EXPECT_TRUE(Empty());
    std::thread([] {
      Sleep(0);
      host::NoteSurfaceWork(false);
      timeGetTime();
    }).join();
    timeGetTime();
  }
  EXPECT_EQ(headless::Nanoseconds(), 6002 * kMs);
}

// Only a spin rests: a loop whose own time between looks is more than a few microseconds (here 50: it loads,
// decodes or catches up), or that draws, sleeps, or reads no clock, runs on its own time alone.
TEST_F(IdleTest, LoopsThatWorkDrawSleepOrReadNoClockAreNeverHeld) {
  headless::SetMilliseconds(7000);
  struct Case {
    const char* name;
    uint32_t workMicroseconds;
    void (*between)();
    bool presented;
    bool held;
  } cases[] = {
      {"spinning", 5, [] { timeGetTime(); }, true, true},
      {"spinning at the limit", 10, [] { timeGetTime(); }, true, true},
      {"working just past the limit", 11, [] { timeGetTime(); }, true, false},
      {"working", 50, [] { timeGetTime(); }, true, false},
      {"drawing", 0, [] { host::NoteSurfaceWork(false); timeGetTime(); }, true, false},
      {"no present", 0, [] { timeGetTime(); }, false, false},
      {"no clock read", 0, [] {}, true, false},
      {"sleeping", 0, [] { timeGetTime(); Sleep(0); }, true, false},
  };
  for (const Case& c : cases) {
    headless::SetReadStepMicroseconds(0);
    const uint64_t start = headless::Nanoseconds();
    host::NoteSurfaceWork(c.presented);
    for (int i = 0; i < 10; ++i) {
      EXPECT_TRUE(Empty());
      headless::SetReadStepMicroseconds(c.workMicroseconds);  // the work: the clock moves on while it runs
      host::Current().Nanoseconds();
      headless::SetReadStepMicroseconds(0);
      c.between();
    }
    const uint64_t own = 10u * c.workMicroseconds * 1000;
    if (c.held) {
      EXPECT_GT(headless::Nanoseconds() - start, own + 2 * kMs) << c.name;
    } else {
      EXPECT_EQ(headless::Nanoseconds() - start, own) << c.name;
    }
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
    timeGetTime();
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
    if (c.interval == 0) {
      // The rest itself takes the close, and it is not looked at: the wait after that look ends at once.
      while (!Posted()) {
        Empty();
        timeGetTime();
        ASSERT_LT(++looks, 10);
      }
      EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT), WAIT_OBJECT_0);
    }
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

// The wait goes from the last look at the queue: a post between that look and the wait (here from another
// thread) ends it at once, and a wait that ended on a change counts it as seen, so the next one rests.
TEST_F(IdleTest, APostSinceTheLastLookEndsAWaitAtOnce) {
  headless::SetReadStepMicroseconds(0);
  headless::SetMilliseconds(4000);
  EXPECT_TRUE(Empty());
  std::thread([this] { PostMessageA(window, WM_USER, 0, 0); }).join();
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT), WAIT_OBJECT_0);
  EXPECT_EQ(headless::Nanoseconds(), 4000 * kMs);
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT), WAIT_TIMEOUT);
  EXPECT_EQ(headless::Nanoseconds(), 4002 * kMs);
}

// A long wait still takes the host's events once per poll interval: a close due inside it ends it at the next
// take, as a message.
TEST_F(IdleTest, ALongWaitTakesTheHostsEventsEveryInterval) {
  headless::SetReadStepMicroseconds(0);
  headless::SetPollIntervalMicroseconds(1000);
  headless::SetMilliseconds(5000);
  EXPECT_TRUE(Empty());
  headless::SetReadStepMicroseconds(300);
  host::Current().Nanoseconds();
  headless::SetReadStepMicroseconds(0);
  headless::Close(window, 2);  // due at 5002.3 ms
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT), WAIT_OBJECT_0);
  EXPECT_EQ(headless::Nanoseconds(), 5003 * kMs);
  EXPECT_TRUE(CloseSeen());
}

// A sound that plays to its end wakes a wait: the waiter learns of it within a millisecond of its last frame,
// not at the wait's limit.
TEST_F(IdleTest, ASoundsEndEndsAWait) {
  headless::SetReadStepMicroseconds(0);
  CoInitialize(nullptr);
  IDirectSound* sound = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound,
                             reinterpret_cast<void**>(&sound)), S_OK);
  sound->Initialize(nullptr);
  sound->SetCooperativeLevel(window, DSSCL_PRIORITY);
  WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  DSBUFFERDESC description{sizeof description, DSBCAPS_STATIC, 441 * 4, 0, &format, {}};  // 10 ms
  IDirectSoundBuffer* buffer = nullptr;
  ASSERT_EQ(sound->CreateSoundBuffer(&description, &buffer, nullptr), S_OK);
  EXPECT_TRUE(Empty());
  const uint64_t start = headless::Nanoseconds();
  buffer->Play(0, 0, 0);
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT), WAIT_TIMEOUT);
  const uint64_t waited = headless::Nanoseconds() - start;
  EXPECT_GE(waited, 10 * kMs);
  EXPECT_LE(waited, 11 * kMs);
  DWORD status = 1;
  buffer->GetStatus(&status);
  EXPECT_EQ(status, 0u);
  // So does a song's end told to the window, posted by the wait: a quarter note at 120 beats a minute.
  testing_support::WriteBytes("tiny.sf2", testing_support::TinySoundFont());
  headless::SetSoundFont("tiny.sf2");
  testing_support::WriteBytes("quarter.mid", testing_support::MidiFile(0, 96, {testing_support::Track().End(96)}));
  MCI_OPEN_PARMSA open{0, 0, "sequencer", "quarter.mid", nullptr};
  ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&open)), 0u);
  MCI_PLAY_PARMS play{reinterpret_cast<DWORD_PTR>(window), 0, 0};
  const uint64_t played = headless::Nanoseconds();
  ASSERT_EQ(mciSendCommandA(open.wDeviceID, MCI_PLAY, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play)), 0u);
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_ALLINPUT), WAIT_OBJECT_0);
  EXPECT_EQ((headless::Nanoseconds() - played) / kMs, 500u);
  mciSendCommandA(open.wDeviceID, MCI_CLOSE, 0, 0);
  // A loop that only pumps sees the end too: taking the host's events reads the clock as any reader does.
  headless::SetReadStepMicroseconds(100);
  buffer->Play(0, 0, 0);
  int looks = 0;
  do {
    Empty();
    buffer->GetStatus(&status);
  } while (status != 0 && ++looks < 1000);
  EXPECT_EQ(status, 0u);
  buffer->Release();
  sound->Release();
  CoUninitialize();
}

// A queue holds 10,000 posts: the next is refused, from any thread, until the pump takes one.
TEST_F(IdleTest, AFullQueueRefusesPosts) {
  for (int i = 0; i < 10000; ++i) ASSERT_TRUE(PostMessageA(window, WM_USER, static_cast<WPARAM>(i), 0));
  EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
  BOOL fromThread = TRUE;
  std::thread([&] { fromThread = PostMessageA(nullptr, WM_USER, 0, 0); }).join();
  EXPECT_FALSE(fromThread);
  MSG m;
  // A look for a window with nothing posted passes the backlog by.
  EXPECT_FALSE(PeekMessageA(&m, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
  ASSERT_TRUE(PeekMessageA(&m, window, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.wParam, 0u);
  EXPECT_TRUE(PostMessageA(nullptr, WM_USER + 1, 0, 0));
  ASSERT_TRUE(PeekMessageA(&m, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 1));
  // A destroyed window's messages leave the queue with it.
  HWND other = CreateWindowExA(0, "Idle", "u", WS_POPUP, 0, 0, 4, 2, nullptr, nullptr, nullptr, nullptr);
  EXPECT_TRUE(PostMessageA(other, WM_USER, 0, 0));
  EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
  DestroyWindow(other);
  EXPECT_FALSE(PeekMessageA(&m, other, 0, 0, PM_REMOVE));
  EXPECT_TRUE(PostMessageA(window, WM_USER, 0, 0));
}
