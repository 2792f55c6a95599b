// The keyboard's messages to the focused window: which message, the key it names (one code for both sides of
// Shift, Ctrl and Alt) and the flags of its lParam, and the toggle bit of the key state.
#include <gtest/gtest.h>

#include "platform/host/input.h"
#include "platform/win32/keyboard.h"
#include "platform/win32/user.h"
#include "support/headless_fixture.h"
#include "window_test_support.h"

namespace {

class KeyboardTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    WNDCLASSEXA c{};
    c.cbSize = 48;
    c.lpfnWndProc = &Proc;
    c.lpszClassName = "KeyboardTest";
    ASSERT_NE(RegisterClassExA(&c), 0);
    window = CreateWindowExA(0, "KeyboardTest", "keys", WS_POPUP, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  HWND window = nullptr;
};

constexpr UINT kKeyFirst = WM_KEYDOWN, kKeyLast = WM_SYSKEYUP;
constexpr int kCapital = 0x14, kLeftShiftKey = 0xA0, kRightShiftKey = 0xA1;
constexpr LPARAM kExtended = 1 << 24, kAlt = 1 << 29, kWasDown = 1 << 30;
constexpr LPARAM kUp = static_cast<LPARAM>(1u << 31);
LPARAM Scan(int code) { return 1 | (code & 0x7F) << 16 | (code & 0x80 ? kExtended : 0); }

}  // namespace

TEST_F(KeyboardTest, KeysPostTheirMessagesWithTheirFlags) {
  constexpr int kLeftShift = 0x2A, kRightShift = 0x36, kLeftCtrl = 0x1D, kRightCtrl = 0x9D, kLeftAlt = 0x38,
                kRightAlt = 0xB8, kF = 0x21, kF10 = 0x44, kRight = 0xCD;
  struct Step {
    int code;
    bool down;
    UINT message;  // 0: none
    WPARAM key;
    LPARAM flags;  // beside the scan code, the extended bit and the repeat count of 1
  } steps[] = {
      {kLeftShift, true, WM_KEYDOWN, VK_SHIFT, 0},
      {kLeftShift, true, WM_KEYDOWN, VK_SHIFT, kWasDown},  // a repeat
      {kLeftShift, false, WM_KEYUP, VK_SHIFT, kWasDown | kUp},
      {kLeftShift, false, 0, 0, 0},  // a release of a key that is up
      {kRightShift, true, WM_KEYDOWN, VK_SHIFT, 0},
      {kRightShift, false, WM_KEYUP, VK_SHIFT, kWasDown | kUp},
      {kRightCtrl, true, WM_KEYDOWN, VK_CONTROL, 0},
      {kRight, true, WM_KEYDOWN, VK_RIGHT, 0},
      {kRight, false, WM_KEYUP, VK_RIGHT, kWasDown | kUp},
      {kRightCtrl, false, WM_KEYUP, VK_CONTROL, kWasDown | kUp},
      {kLeftAlt, true, WM_SYSKEYDOWN, VK_MENU, kAlt},
      {kF, true, WM_SYSKEYDOWN, 'F', kAlt},
      {kF, false, WM_SYSKEYUP, 'F', kAlt | kWasDown | kUp},
      {kLeftAlt, false, WM_SYSKEYUP, VK_MENU, kWasDown | kUp},
      {kRightAlt, true, WM_SYSKEYDOWN, VK_MENU, kAlt},
      {kRightAlt, false, WM_SYSKEYUP, VK_MENU, kWasDown | kUp},
      {kLeftCtrl, true, WM_KEYDOWN, VK_CONTROL, 0},  // Ctrl with Alt is no system key
      {kLeftAlt, true, WM_KEYDOWN, VK_MENU, kAlt},
      {kF, true, WM_KEYDOWN, 'F', kAlt},
      {kF, false, WM_KEYUP, 'F', kAlt | kWasDown | kUp},
      {kLeftAlt, false, WM_KEYUP, VK_MENU, kWasDown | kUp},
      {kLeftCtrl, false, WM_KEYUP, VK_CONTROL, kWasDown | kUp},
      {kF10, true, WM_SYSKEYDOWN, VK_F10, 0},
      {kF10, false, WM_SYSKEYUP, VK_F10, kWasDown | kUp},
      {0x54, true, 0, 0, 0},  // a key without a virtual key names nothing to the window
      {0x54, false, 0, 0, 0},
      {0, true, 0, 0, 0},
      {256, true, 0, 0, 0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << std::hex << step.code << (step.down ? " down" : " up"));
    host::KeyChanged(step.code, step.down);
    MSG msg;
    if (step.message == 0) {
      EXPECT_FALSE(PeekMessageA(&msg, nullptr, kKeyFirst, kKeyLast, PM_REMOVE));
      continue;
    }
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, kKeyFirst, kKeyLast, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_EQ(msg.message, step.message);
    EXPECT_EQ(msg.wParam, step.key);
    EXPECT_EQ(msg.lParam, Scan(step.code) | step.flags);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, kKeyFirst, kKeyLast, PM_NOREMOVE));
  }
}

// Each press of a key flips its toggle bit; Shift reads down while either side is held.
TEST_F(KeyboardTest, TheKeyStateKeepsTogglesAndBothSides) {
  constexpr int kCapsLock = 0x3A, kRightShift = 0x36;
  struct Step {
    int code;
    bool down;
    SHORT capital, shift, rightShift;
  } steps[] = {
      {kCapsLock, true, static_cast<SHORT>(0x8001), 0, 0}, {kCapsLock, false, 1, 0, 0},
      {kCapsLock, true, static_cast<SHORT>(0x8000), 0, 0}, {kCapsLock, false, 0, 0, 0},
      {kRightShift, true, 0, static_cast<SHORT>(0x8000), static_cast<SHORT>(0x8001)},
      {kRightShift, false, 0, 0, 1},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << std::hex << step.code << (step.down ? " down" : " up"));
    host::KeyChanged(step.code, step.down);
    EXPECT_EQ(GetKeyState(kCapital), step.capital);
    EXPECT_EQ(GetKeyState(VK_SHIFT) & 0x8000, step.shift & 0x8000);
    EXPECT_EQ(GetKeyState(kRightShiftKey), step.rightShift);
    EXPECT_EQ(GetKeyState(kLeftShiftKey), 0);
  }
  EXPECT_EQ(GetKeyState(-1), 0);
  EXPECT_EQ(GetKeyState(256), 0);
}
