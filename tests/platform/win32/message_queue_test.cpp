#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/headless_fixture.h"
#include "platform/win32/kernel.h"
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

TEST_F(MessageQueueTest, SleepMovesTheVirtualClock) {
  DWORD before = GetTickCount();
  Sleep(250);
  DWORD after = GetTickCount();
  EXPECT_GE(after - before, 250u);
  EXPECT_LT(after - before, 252u);
}

}  // namespace
