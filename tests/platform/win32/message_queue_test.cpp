#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/headless_fixture.h"
#include "platform/host/headless/headless_input.h"
#include "platform/host/platform_state.h"
#include "platform/win32/kernel.h"
#include "platform/win32/sync.h"
#include "platform/win32/user.h"

namespace {

// What the test window's procedure saw, in order, with the default procedure behind it.
std::vector<UINT>* seen = nullptr;

LRESULT RecordingProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (seen) seen->push_back(message);
  return DefWindowProcA(window, message, wparam, lparam);
}

class MessageQueueTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    seen = &messages;
    WNDCLASSEXA c{};
    c.cbSize = 48;
    c.lpfnWndProc = &RecordingProc;
    c.lpszClassName = "TestClass";
    ASSERT_NE(RegisterClassExA(&c), 0);
  }
  void TearDown() override {
    seen = nullptr;
    HeadlessTest::TearDown();
  }
  HWND MakeWindow(DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU) {
    return CreateWindowExA(0, "TestClass", "title", style, 10, 20, 200, 100, nullptr, nullptr, nullptr, nullptr);
  }
  bool Saw(UINT message) const {
    for (UINT m : messages) {
      if (m == message) return true;
    }
    return false;
  }
  int IndexOf(UINT message) const {
    for (size_t i = 0; i < messages.size(); ++i) {
      if (messages[i] == message) return static_cast<int>(i);
    }
    return -1;
  }
  // Takes and dispatches everything waiting; returns the messages taken.
  std::vector<UINT> Drain(HWND filter = nullptr) {
    std::vector<UINT> taken;
    MSG msg;
    while (PeekMessageA(&msg, filter, 0, 0, PM_REMOVE)) {
      taken.push_back(msg.message);
      if (msg.message == WM_QUIT) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    return taken;
  }
  std::vector<UINT> messages;
};

TEST_F(MessageQueueTest, CreationSendsCreateMessagesButNoSizeOrMove) {
  HWND w = MakeWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(IndexOf(WM_NCCREATE), 0);
  EXPECT_EQ(IndexOf(WM_CREATE), 1);
  EXPECT_FALSE(Saw(WM_SIZE));
  EXPECT_FALSE(Saw(WM_MOVE));
  EXPECT_FALSE(IsWindowVisible(w));
}

TEST_F(MessageQueueTest, ShowingDeliversActivationBeforeSizeAndMove) {
  HWND w = MakeWindow();
  messages.clear();
  ShowWindow(w, SW_SHOW);
  int activateApp = IndexOf(WM_ACTIVATEAPP);
  int activate = IndexOf(WM_ACTIVATE);
  int size = IndexOf(WM_SIZE);
  int move = IndexOf(WM_MOVE);
  ASSERT_GE(activateApp, 0);
  ASSERT_GE(activate, 0);
  EXPECT_LT(activateApp, activate);
  EXPECT_LT(activate, size);
  EXPECT_LT(size, move);
  EXPECT_TRUE(headless::IsActive());
  EXPECT_EQ(GetActiveWindow(), w);
}

TEST_F(MessageQueueTest, PostedMessagesComeInOrderAndNoRemoveLeavesThem) {
  HWND w = MakeWindow();
  PostMessageA(w, WM_USER + 1, 1, 0);
  PostMessageA(w, WM_USER + 2, 2, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_USER + 1u);
  ASSERT_TRUE(PeekMessageA(&msg, w, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 1u);
  EXPECT_EQ(msg.hwnd, w);
  ASSERT_TRUE(PeekMessageA(&msg, w, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 2u);
  EXPECT_FALSE(PeekMessageA(&msg, w, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueueTest, ThreadFilterTakesOnlyThreadMessagesAndQuit) {
  HWND w = MakeWindow();
  PostMessageA(w, WM_USER, 0, 0);
  PostMessageA(nullptr, WM_USER + 5, 0, 0);
  PostQuitMessage(3);
  MSG msg;
  HWND threadOnly = reinterpret_cast<HWND>(-1);
  ASSERT_TRUE(PeekMessageA(&msg, threadOnly, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 5u);
  EXPECT_EQ(msg.hwnd, nullptr);
  ASSERT_TRUE(PeekMessageA(&msg, threadOnly, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_FALSE(PeekMessageA(&msg, threadOnly, 0, 0, PM_REMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, w, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER);
}

TEST_F(MessageQueueTest, CloseBoxDestroysWindowThroughDefaultProcedure) {
  HWND w = MakeWindow();
  ShowWindow(w, SW_SHOW);
  messages.clear();
  headless::Close(w);
  Drain();
  EXPECT_FALSE(IsWindow(w));
  int sys = IndexOf(WM_SYSCOMMAND);
  int close = IndexOf(WM_CLOSE);
  int destroy = IndexOf(WM_DESTROY);
  ASSERT_GE(sys, 0);
  EXPECT_LT(sys, close);
  EXPECT_LT(close, destroy);
}

TEST_F(MessageQueueTest, MessageSentFromAnotherThreadRunsBeforePostedOnesAreTaken) {
  HWND w = MakeWindow();
  PostMessageA(w, WM_USER + 1, 0, 0);
  std::atomic<bool> sending{false};
  LRESULT answer = 0;
  std::thread other([&] {
    sending = true;
    answer = SendMessageA(w, WM_USER + 2, 0, 0);
  });
  while (!sending) std::this_thread::yield();
  MSG msg;
  // The sent message is handled inside the queue calls; the posted one stays first in the queue.
  while (!Saw(WM_USER + 2)) {
    ASSERT_TRUE(PeekMessageA(&msg, w, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_USER + 1u);
    std::this_thread::yield();
  }
  other.join();
  EXPECT_EQ(answer, 0);
  EXPECT_FALSE(Saw(WM_USER + 1));
  Drain();
  EXPECT_LT(IndexOf(WM_USER + 2), IndexOf(WM_USER + 1));
}

// A send that arrives while the host's events are taken runs in the same look, not the next one.
TEST_F(MessageQueueTest, AMessageSentWhileTheHostIsPolledRunsInTheSameLook) {
  HWND w = MakeWindow();
  std::thread other;
  headless::ScheduleAction(0, [&] {
    other = std::thread([&] { SendMessageA(w, WM_USER + 2, 0, 0); });
    host::PlatformState& s = host::State();
    for (bool queued = false; !queued; std::this_thread::yield()) {
      std::lock_guard<std::mutex> guard(s.lock);
      queued = !s.sent.empty();
    }
  });
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, w, 0, 0, PM_NOREMOVE));
  EXPECT_TRUE(Saw(WM_USER + 2));
  PeekMessageA(&msg, w, 0, 0, PM_NOREMOVE);  // the send is done by now either way
  other.join();
}

// A send that lands as a look ends has not been run: it is not counted as seen, so the next wait ends at once
// for it. A wait that should end and does not runs to its limit, which on virtual time comes at once: the loop
// stays quick whether or not the fault is there.
TEST_F(MessageQueueTest, ASendPendingAfterALookEndsTheNextWait) {
  HWND w = MakeWindow();
  std::atomic<bool> stop{false}, stopped{false};
  std::thread other([&] {
    while (!stop) SendMessageA(w, WM_USER + 3, 0, 0);
    stopped = true;
  });
  host::PlatformState& s = host::State();
  MSG msg;
  int pending = 0, slept = 0;
  for (int i = 0; pending < 400 && i < 100000000; ++i) {
    PeekMessageA(&msg, w, 0, 0, PM_NOREMOVE);
    {
      std::lock_guard<std::mutex> guard(s.lock);
      if (s.sent.empty()) continue;
    }
    ++pending;
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0) ++slept;
  }
  stop = true;
  while (!stopped) PeekMessageA(&msg, w, 0, 0, PM_NOREMOVE);
  other.join();
  EXPECT_EQ(pending, 400);
  EXPECT_EQ(slept, 0);
}

TEST_F(MessageQueueTest, OtherThreadsPostIntoTheQueue) {
  HWND w = MakeWindow();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([w, t] {
      for (int i = 0; i < 100; ++i) PostMessageA(w, WM_USER + 10, static_cast<WPARAM>(t), i);
    });
  }
  for (auto& t : threads) t.join();
  int count = 0;
  int last[4] = {-1, -1, -1, -1};
  MSG msg;
  while (PeekMessageA(&msg, w, WM_USER + 10, WM_USER + 10, PM_REMOVE)) {
    ++count;
    // Each thread's messages keep their order.
    EXPECT_GT(msg.lParam, last[msg.wParam]);
    last[msg.wParam] = static_cast<int>(msg.lParam);
  }
  EXPECT_EQ(count, 400);
}

TEST_F(MessageQueueTest, QuitComesAfterPostedMessagesAndPaintLast) {
  HWND w = MakeWindow();
  ShowWindow(w, SW_SHOW);  // leaves the window to be painted
  PostQuitMessage(0);
  PostMessageA(w, WM_USER, 0, 0);
  std::vector<UINT> taken = Drain();
  ASSERT_EQ(taken.size(), 3u);
  EXPECT_EQ(taken[0], WM_USER);
  EXPECT_EQ(taken[1], static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(taken[2], static_cast<UINT>(WM_PAINT));  // the default procedure validated it: once only
}

TEST_F(MessageQueueTest, PaintStaysUntilValidated) {
  HWND hidden = MakeWindow();
  InvalidateRect(hidden, nullptr, FALSE);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // a hidden window is not painted
  HWND w = MakeWindow();
  ShowWindow(w, SW_SHOW);
  // Neither a look for thread messages nor a range without WM_PAINT takes the paint.
  EXPECT_FALSE(PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
  EXPECT_FALSE(PeekMessageA(&msg, w, WM_USER, WM_USER, PM_REMOVE));
  EXPECT_FALSE(PeekMessageA(&msg, hidden, 0, 0, PM_REMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, w, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  ASSERT_TRUE(PeekMessageA(&msg, w, 0, 0, PM_REMOVE));  // not dispatched, so still invalid
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(w, &paint);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(paint.rcPaint.right, 200 - 6);
  EndPaint(w, &paint);
  EXPECT_FALSE(PeekMessageA(&msg, w, 0, 0, PM_REMOVE));
  InvalidateRect(w, nullptr, FALSE);
  UpdateWindow(w);  // sends the paint at once
  EXPECT_EQ(messages.back(), static_cast<UINT>(WM_PAINT));
  EXPECT_FALSE(PeekMessageA(&msg, w, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueueTest, MessageRangeFilter) {
  HWND w = MakeWindow();
  PostMessageA(w, WM_USER, 0, 0);
  PostMessageA(w, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE));
  EXPECT_EQ(msg.wParam, SC_SCREENSAVE);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER);
}

TEST_F(MessageQueueTest, DestroyingWindowDropsItsMessagesAndFailsLaterPosts) {
  HWND w = MakeWindow();
  PostMessageA(w, WM_USER, 0, 0);
  DestroyWindow(w);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(PostMessageA(w, WM_USER, 0, 0));
  EXPECT_EQ(SendMessageA(w, WM_USER, 0, 0), 0);
  EXPECT_FALSE(DestroyWindow(w));
}

TEST_F(MessageQueueTest, DefaultProcedureClosePaths) {
  HWND w = MakeWindow();
  // Alt+F4 asks for the close command, which closes and destroys.
  DefWindowProcA(w, WM_SYSKEYDOWN, VK_F4, 0);
  Drain();
  EXPECT_FALSE(IsWindow(w));
  HWND second = MakeWindow();
  messages.clear();
  EXPECT_EQ(DefWindowProcA(second, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
  EXPECT_TRUE(IsWindow(second));
  EXPECT_EQ(SendMessageA(second, WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(IsWindow(second));
  EXPECT_TRUE(Saw(WM_DESTROY));
  EXPECT_TRUE(Saw(WM_NCDESTROY));
}

// What the default procedure answers for the messages a window leaves to it.
TEST_F(MessageQueueTest, DefaultProcedureAnswers) {
  HWND w = MakeWindow();
  RECT place{};
  struct Case {
    UINT message;
    LRESULT result;
  } cases[] = {{WM_NCCREATE, TRUE}, {WM_NCACTIVATE, TRUE}, {WM_SIZING, TRUE}, {WM_MOVING, TRUE},
               {WM_SETCURSOR, FALSE}, {WM_ERASEBKGND, 0},  {WM_USER, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(DefWindowProcA(w, c.message, 0, reinterpret_cast<LPARAM>(&place)), c.result) << c.message;
  }
  EXPECT_EQ(DefWindowProcA(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("renamed")), TRUE);
  char title[16] = {};
  GetWindowTextA(w, title, sizeof title);
  EXPECT_STREQ(title, "renamed");
}

// Printable characters come from the host's text input, so a letter key makes none here.
TEST_F(MessageQueueTest, TranslateMakesCharactersOfControlKeys) {
  HWND w = MakeWindow();
  MSG letter{w, WM_KEYDOWN, 'A', 0, 0, {}};
  EXPECT_TRUE(TranslateMessage(&letter));
  MSG key{w, WM_KEYDOWN, VK_BACK, 0, 0, {}};
  EXPECT_TRUE(TranslateMessage(&key));
  MSG alt{w, WM_SYSKEYDOWN, VK_RETURN, 0, 0, {}};
  TranslateMessage(&alt);
  MSG arrow{w, WM_KEYDOWN, VK_LEFT, 0, 0, {}};
  TranslateMessage(&arrow);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, w, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(8));
  ASSERT_TRUE(PeekMessageA(&msg, w, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_SYSCHAR));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>('\r'));
  EXPECT_FALSE(PeekMessageA(&msg, w, 0, 0, PM_REMOVE));
  // With Alt held a letter or digit makes the small system character that access letters are matched by; without
  // Alt, or as a plain key (Ctrl with Alt), none.
  constexpr LPARAM kAltHeld = 1 << 29;
  struct Case {
    UINT message;
    WPARAM key;
    LPARAM flags;
    int character;  // -1: none
  } cases[] = {{WM_SYSKEYDOWN, 'F', kAltHeld, 'f'},  {WM_SYSKEYDOWN, '7', kAltHeld, '7'},
               {WM_SYSKEYDOWN, 'F', 0, -1},          {WM_KEYDOWN, 'F', kAltHeld, -1},
               {WM_SYSKEYDOWN, VK_LEFT, kAltHeld, -1}, {WM_SYSKEYUP, 'F', kAltHeld, -1}};
  for (const Case& c : cases) {
    MSG key{w, c.message, c.key, c.flags, 0, {}};
    EXPECT_TRUE(TranslateMessage(&key));
    if (c.character < 0) {
      EXPECT_FALSE(PeekMessageA(&msg, w, 0, 0, PM_REMOVE)) << c.message << " " << c.key;
      continue;
    }
    ASSERT_TRUE(PeekMessageA(&msg, w, 0, 0, PM_REMOVE)) << c.key;
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_SYSCHAR));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(c.character));
    EXPECT_EQ(msg.lParam, c.flags);
  }
  MSG other{w, WM_USER, 'F', 0, 0, {}};
  EXPECT_FALSE(TranslateMessage(&other));
  EXPECT_FALSE(TranslateMessage(nullptr));
}

TEST_F(MessageQueueTest, ScriptedActivationArrivesWhenItsTimeComes) {
  HWND w = MakeWindow();
  ShowWindow(w, SW_SHOW);
  Drain();
  messages.clear();
  headless::Deactivate(50);
  Drain();
  EXPECT_TRUE(headless::IsActive());
  Sleep(50);
  Drain();
  EXPECT_FALSE(headless::IsActive());
  // Deactivation: the window first, then the application.
  EXPECT_LT(IndexOf(WM_ACTIVATE), IndexOf(WM_ACTIVATEAPP));
  messages.clear();
  headless::Activate();
  Drain();
  EXPECT_TRUE(headless::IsActive());
  EXPECT_LT(IndexOf(WM_ACTIVATEAPP), IndexOf(WM_ACTIVATE));
  EXPECT_EQ(GetForegroundWindow(), w);
}

TEST_F(MessageQueueTest, SleepMovesTheVirtualClock) {
  DWORD before = GetTickCount();
  Sleep(250);
  DWORD after = GetTickCount();
  EXPECT_GE(after - before, 250u);
  EXPECT_LT(after - before, 252u);
}

}  // namespace
