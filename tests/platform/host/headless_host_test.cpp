#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "platform/host/platform.h"
#include "platform/win32/kernel.h"
#include "platform/win32/user.h"
#include "support/headless_fixture.h"

namespace {

LRESULT Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(window, message, wparam, lparam);
}

class HeadlessHostTest : public HeadlessTest {
 protected:
  HWND MakeWindow() {
    WNDCLASSEXA c{};
    c.lpfnWndProc = &Proc;
    c.lpszClassName = "Host";
    RegisterClassExA(&c);
    HWND w = CreateWindowExA(0, "Host", "t", WS_POPUP | WS_VISIBLE, 0, 0, 4, 2, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(w, nullptr);
    return w;
  }
  static void Present(HWND w, const void* pixels, int pitch, int bits, host::ChannelMasks masks,
                      const uint32_t* palette = nullptr) {
    host::Frame f;
    f.pixels = pixels;
    f.pitch = pitch;
    f.width = 2;
    f.height = 2;
    f.bitsPerPixel = bits;
    f.redMask = masks.red;
    f.greenMask = masks.green;
    f.blueMask = masks.blue;
    f.palette = palette;
    host::PresentFrame(w, f);
  }
};

TEST_F(HeadlessHostTest, FramesAreCapturedAtEveryDepth) {
  HWND w = MakeWindow();
  host::DisplayMode mode;
  // 32 bits, X8R8G8B8, with a pitch wider than the row.
  const uint32_t p32[6] = {0x00FF0000, 0xFF00FF00, 0xDEAD, 0x000000FF, 0x00123456, 0};
  mode.bitsPerPixel = 32;
  Present(w, p32, 12, 32, host::MasksOf(mode));
  // 16 bits in both layouts: white, full red, full green, full blue.
  const uint16_t p565[4] = {0xFFFF, 0xF800, 0x07E0, 0x001F};
  mode.bitsPerPixel = 16;
  Present(w, p565, 4, 16, host::MasksOf(mode));
  const uint16_t p555[4] = {0x7FFF, 0x7C00, 0x03E0, 0x0010};
  mode.rgb555 = true;
  Present(w, p555, 4, 16, host::MasksOf(mode));
  // 24 bits: blue, green, red bytes.
  const uint8_t p24[12] = {0x01, 0x02, 0x03, 0xFF, 0x00, 0x00, 0, 0, 0, 0x10, 0x20, 0x30};
  mode.bitsPerPixel = 24;
  Present(w, p24, 6, 24, host::MasksOf(mode));
  // 8 bits through the palette.
  std::vector<uint32_t> palette(256, 0);
  palette[3] = 0x00ABCDEF;
  const uint8_t p8[4] = {3, 0, 0, 3};
  Present(w, p8, 2, 8, {}, palette.data());

  const auto& frames = headless::Frames();
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_EQ(frames[0].window, w);
  EXPECT_EQ(frames[0].pitch, 8);  // stored tightly
  EXPECT_EQ(frames[0].Rgb(0, 0), 0xFF0000u);
  EXPECT_EQ(frames[0].Rgb(1, 0), 0x00FF00u);  // padding bits ignored
  EXPECT_EQ(frames[0].Rgb(0, 1), 0x0000FFu);
  EXPECT_EQ(frames[0].Rgb(1, 1), 0x123456u);
  EXPECT_EQ(frames[1].Rgb(0, 0), 0xFFFFFFu);
  EXPECT_EQ(frames[1].Rgb(1, 0), 0xFF0000u);
  EXPECT_EQ(frames[1].Rgb(0, 1), 0x00FF00u);
  EXPECT_EQ(frames[1].Rgb(1, 1), 0x0000FFu);
  EXPECT_EQ(frames[2].Rgb(0, 0), 0xFFFFFFu);
  EXPECT_EQ(frames[2].Rgb(0, 1), 0x00FF00u);
  EXPECT_EQ(frames[2].Rgb(1, 1), 0x000084u);  // 5-bit 16 widened by repeating its top bits
  EXPECT_EQ(frames[3].Rgb(0, 0), 0x030201u);
  EXPECT_EQ(frames[3].Rgb(1, 0), 0x0000FFu);
  EXPECT_EQ(frames[3].Rgb(1, 1), 0x302010u);
  EXPECT_EQ(frames[4].Rgb(0, 0), 0xABCDEFu);
  EXPECT_EQ(frames[4].Rgb(1, 0), 0u);
  EXPECT_EQ(frames[4].Rgb(2, 0), 0u);  // outside
}

TEST_F(HeadlessHostTest, FrameLimitAndDestroyedWindows) {
  HWND w = MakeWindow();
  headless::SetFrameLimit(2);
  const uint32_t pixels[4] = {1, 2, 3, 4};
  host::DisplayMode mode;
  for (int i = 0; i < 3; ++i) {
    Sleep(10);
    Present(w, pixels, 8, 32, host::MasksOf(mode));
  }
  ASSERT_EQ(headless::Frames().size(), 2u);
  EXPECT_EQ(headless::Frames()[1].milliseconds - headless::Frames()[0].milliseconds, 10u);
  DestroyWindow(w);
  Present(w, pixels, 8, 32, host::MasksOf(mode));
  EXPECT_EQ(headless::Frames().size(), 2u);
  headless::ClearFrames();
  EXPECT_TRUE(headless::Frames().empty());
}

TEST_F(HeadlessHostTest, ScheduledCloseWaitsForItsTime) {
  HWND w = MakeWindow();
  headless::Close(nullptr, 100);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  EXPECT_TRUE(IsWindow(w));
  headless::AdvanceMilliseconds(100);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_SYSCOMMAND));
  EXPECT_EQ(msg.wParam, SC_CLOSE);
  DispatchMessageA(&msg);
  EXPECT_FALSE(IsWindow(w));
}

TEST_F(HeadlessHostTest, DisplayModesAndDesktop) {
  host::DisplayMode desktop = host::CurrentDisplayMode();
  EXPECT_EQ(desktop.width, 1024);
  EXPECT_EQ(desktop.height, 768);
  EXPECT_EQ(desktop.bitsPerPixel, 32);
  EXPECT_TRUE(host::SetDisplayMode(640, 480, 8, 0));
  EXPECT_TRUE(host::IsDisplayModeChanged());
  EXPECT_EQ(host::CurrentDisplayMode().bitsPerPixel, 8);
  EXPECT_GT(desktop.refreshRate, 0);
  EXPECT_EQ(host::CurrentDisplayMode().refreshRate, desktop.refreshRate);  // 0 asks for the mode's own rate
  EXPECT_FALSE(host::SetDisplayMode(1280, 1024, 16, 0));  // larger than the desktop
  host::RestoreDisplayMode();
  EXPECT_FALSE(host::IsDisplayModeChanged());
  EXPECT_EQ(host::CurrentDisplayMode().width, 1024);
  headless::FailCall("SetDisplayMode");
  EXPECT_FALSE(host::SetDisplayMode(640, 480, 16, 0));
  headless::SetDesktop(800, 600, 16, true);
  EXPECT_TRUE(host::CurrentDisplayMode().rgb555);
}

// The headless machine offers 320 x 240, 640 x 480, 800 x 600 and 1,024 x 768 at 8, 16 and 32 bits on its
// 1,024 x 768 desktop, as a game's full-screen start-up expects to find them; sizes off the list are refused.
TEST_F(HeadlessHostTest, EveryListedSizeThatFitsTheDesktopCanBeSet) {
  struct Case {
    int width, height;
    bool offered;
  };
  const Case cases[] = {{320, 240, true},  {640, 480, true},   {800, 600, true},   {1024, 768, true},
                        {320, 239, false}, {321, 240, false},  {640, 400, false},  {1280, 1024, false}};
  for (const Case& c : cases) {
    for (const int depth : {8, 16, 32}) {
      EXPECT_EQ(host::SetDisplayMode(c.width, c.height, depth, 0), c.offered) << c.width << "x" << c.height << "x" << depth;
      if (!c.offered) continue;
      const host::DisplayMode now = host::CurrentDisplayMode();
      EXPECT_EQ(now.width, c.width);
      EXPECT_EQ(now.height, c.height);
      EXPECT_EQ(now.bitsPerPixel, depth);
      host::RestoreDisplayMode();
    }
  }
  EXPECT_FALSE(host::SetDisplayMode(640, 480, 24, 0));
}

// A desktop of a size off the list, even one sharing its width with a listed size, is offered as it is.
TEST_F(HeadlessHostTest, ADesktopOffTheListIsOfferedToo) {
  for (const auto& [width, height] : {std::pair{1280, 1100}, std::pair{1366, 768}, std::pair{800, 500}}) {
    headless::SetDesktop(width, height, 32, false);
    EXPECT_TRUE(host::SetDisplayMode(width, height, 32, 0)) << width << "x" << height;
    EXPECT_FALSE(host::SetDisplayMode(width, height, 16, 0)) << width << "x" << height;
    host::RestoreDisplayMode();
  }
}

TEST_F(HeadlessHostTest, ShiftJisBecomesUtf8) {
  EXPECT_EQ(host::ShiftJisToUtf8("Qelt Ver1.03"), "Qelt Ver1.03");
  EXPECT_EQ(host::ShiftJisToUtf8("エラー"), "\xE3\x82\xA8\xE3\x83\xA9\xE3\x83\xBC");
  EXPECT_EQ(host::ShiftJisToUtf8("\\"), "\\");
  // A cut double-byte character is shown as a replacement, not dropped with the rest.
  EXPECT_EQ(host::ShiftJisToUtf8("a\x83"), "a?");
  EXPECT_EQ(host::ShiftJisToUtf8(nullptr), "");
}

TEST_F(HeadlessHostTest, FixtureGivesEachTestAnEmptyWorkingDirectory) {
  EXPECT_EQ(std::filesystem::current_path().string(), workDir());
  EXPECT_TRUE(std::filesystem::is_empty(workDir()));
  EXPECT_TRUE(headless::IsStarted());
  EXPECT_STREQ(host::Current().Name(), "headless");
}

}  // namespace
