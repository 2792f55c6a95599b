// The SDL host on SDL's own dummy video driver: no display is needed.
#include <SDL.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/core_test_support.h"
#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/host/sdl/sdl_audio.h"
#include "platform/host/sdl/sdl_host.h"
#include "platform/win32/dc.h"
#include "platform/win32/sync.h"
#include "platform/win32/user.h"
#include "support/headless_fixture.h"
#include "vomak.h"

namespace {

std::vector<UINT>* seen = nullptr;
bool keepOpen = false;  // the program answers a close by staying, as one that asks first does

LRESULT Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (seen) seen->push_back(message);
  if (message == WM_CLOSE && keepOpen) return 0;
  return DefWindowProcA(window, message, wparam, lparam);
}

class SdlHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    host::ResetPlatform(host::CreateSdlHost());
    seen = &messages;
    WNDCLASSEXA c{};
    c.lpfnWndProc = &Proc;
    c.lpszClassName = "SdlTest";
    ASSERT_NE(RegisterClassExA(&c), 0);
    window = CreateWindowExA(0, "SdlTest", "Qelt Ver1.03", WS_POPUP | WS_CAPTION, 0, 0, 646, 505, nullptr,
                             nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    Drain();
  }
  void TearDown() override {
    seen = nullptr;
    headless::Start();  // closes the SDL host
  }
  // The host's events are taken at most once a millisecond; a test takes them at once.
  void Drain() {
    host::Current().PumpEvents();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  // The one real window the host made (window ids are not reused within a process).
  static SDL_Window* RealWindow() {
    SDL_Window* found = nullptr;
    for (Uint32 id = 1; id < 1000; ++id) {
      if (SDL_Window* w = SDL_GetWindowFromID(id)) found = w;
    }
    return found;
  }
  static void PushWindowEvent(Uint8 event) {
    SDL_Window* w = RealWindow();
    ASSERT_NE(w, nullptr);
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = event;
    e.window.windowID = SDL_GetWindowID(w);
    SDL_PushEvent(&e);
  }
  HWND window = nullptr;
  std::vector<UINT> messages;
};

TEST_F(SdlHostTest, StartsActiveAndReportsTheDesktopAt32Bits) {
  EXPECT_STREQ(host::Current().Name(), "sdl");
  EXPECT_TRUE(host::State().applicationActive);
  HDC dc = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
  ReleaseDC(nullptr, dc);
  EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
}

TEST_F(SdlHostTest, ListsEveryDepthOfTheSizesThatFitTheDesktop) {
  const host::DisplayMode desktop = host::Current().DesktopMode();
  ASSERT_GE(desktop.width, 640);
  ASSERT_GE(desktop.height, 480);
  int vga = 0;
  for (const host::DisplayMode& m : host::Current().DisplayModes()) {
    EXPECT_LE(m.width, desktop.width);
    EXPECT_LE(m.height, desktop.height);
    if (m.width == 640 && m.height == 480) vga |= 1 << (m.bitsPerPixel / 8);
  }
  EXPECT_EQ(vga, (1 << 1) | (1 << 2) | (1 << 4));
}

// SDL's dummy driver shows nothing that another program shares, so each program is a desktop session of its own: a
// window that another process of the same user holds open there is not found, and the double-start check lets
// both run.
TEST_F(SdlHostTest, ProgramsWithoutASharedDisplayDoNotSeeEachOthersWindows) {
  EXPECT_EQ(host::SdlDesktopSession(), "");
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    ::close(release[1]);
    // What the window code tells the host when the other program's main window is made.
    host::Current().ClassWindowAdded("Vomak");
    char byte = 1, ignored = 0;
    static_cast<void>(::write(ready[1], &byte, 1));
    static_cast<void>(::read(release[0], &ignored, 1));  // until the test has looked
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(release[0]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  EXPECT_EQ(FindWindowA("Vomak", nullptr), nullptr);
  EXPECT_FALSE(host::Current().OtherProcessHasClassWindow("Vomak"));
  ::close(release[1]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(ready[0]);
}

TEST_F(SdlHostTest, FocusLostBeforeItWasGainedIsIgnored) {
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  Drain();
  EXPECT_TRUE(host::State().applicationActive);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  Drain();
  EXPECT_FALSE(host::State().applicationActive);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  Drain();
  EXPECT_TRUE(host::State().applicationActive);
}

TEST_F(SdlHostTest, CloseBoxArrivesAsCloseCommand) {
  messages.clear();
  PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  Drain();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.front(), static_cast<UINT>(WM_SYSCOMMAND));
  EXPECT_FALSE(IsWindow(window));
}

// An interrupt from the terminal closes the program as its close box would, once: a program that stays open is
// not asked again.
TEST_F(SdlHostTest, TerminalInterruptArrivesAsCloseCommand) {
  for (bool stays : {false, true}) {
    keepOpen = stays;
    messages.clear();
    SDL_Event e{};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
    Drain();
    Drain();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), static_cast<UINT>(WM_SYSCOMMAND)), 1) << stays;
    EXPECT_EQ(IsWindow(window) != FALSE, stays);
    if (!stays) {
      window = CreateWindowExA(0, "SdlTest", "Qelt Ver1.03", WS_POPUP | WS_CAPTION, 0, 0, 646, 505, nullptr,
                               nullptr, nullptr, nullptr);
      ShowWindow(window, SW_SHOW);
      Drain();
    }
  }
  keepOpen = false;
}

TEST_F(SdlHostTest, PresentsEveryDepth) {
  std::vector<uint32_t> pixels(640 * 480, 0x00336699);
  std::vector<uint32_t> palette(256, 0x00112233);
  for (int bits : {8, 16, 32}) {
    host::Frame f;
    f.pixels = pixels.data();
    f.width = 640;
    f.height = 480;
    f.pitch = 640 * 4;
    f.bitsPerPixel = bits;
    f.palette = palette.data();
    if (bits == 16) {
      f.redMask = 0xF800;
      f.greenMask = 0x07E0;
      f.blueMask = 0x001F;
    } else if (bits == 32) {
      f.redMask = 0xFF0000;
      f.greenMask = 0xFF00;
      f.blueMask = 0xFF;
    }
    host::PresentFrame(window, f);
  }
  SDL_Window* w = RealWindow();
  ASSERT_NE(w, nullptr);
  int width = 0, height = 0;
  SDL_GetWindowSize(w, &width, &height);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  EXPECT_STREQ(SDL_GetWindowTitle(w), "Qelt Ver1.03");
}

TEST_F(SdlHostTest, TheRealWindowShowsTheMenuBarAboveTheClientAreaAndTakesItsClicks) {
  HMENU bar = CreateMenu();
  AppendMenuA(bar, MF_STRING, 20, "Help");
  SetMenu(window, bar);
  // A frame of 3 a side and a 19-pixel caption: 646 x 524 leaves 640 x 480 under the 19-pixel strip.
  SetWindowPos(window, nullptr, 40, 30, 646, 524, SWP_NOZORDER);
  Drain();  // the real window follows when the host next takes its events
  SDL_Window* w = RealWindow();
  ASSERT_NE(w, nullptr);
  int width = 0, height = 0, x = 0, y = 0;
  SDL_GetWindowSize(w, &width, &height);
  EXPECT_EQ(width * 10000 + height, 640 * 10000 + 499);
  SDL_GetWindowPosition(w, &x, &y);
  EXPECT_EQ(x * 10000 + y, (40 + 3) * 10000 + 30 + 3 + 19);
  messages.clear();
  for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
    SDL_Event e{};
    e.type = type;
    e.button.windowID = SDL_GetWindowID(w);
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = 12;
    e.button.y = 9;
    SDL_PushEvent(&e);
  }
  Drain();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), static_cast<UINT>(WM_COMMAND)), 1);
  // An emulated display mode is centred on the desktop, and so is the window on it.
  const host::DisplayMode desktop = host::Current().DesktopMode();
  ASSERT_TRUE(host::SetDisplayMode(640, 480, 32, 0));
  Drain();
  SDL_GetWindowPosition(w, &x, &y);
  EXPECT_EQ(x * 10000 + y, ((desktop.width - 640) / 2 + 43) * 10000 + (desktop.height - 480) / 2 + 52);
  host::RestoreDisplayMode();
  Drain();
  SDL_GetWindowPosition(w, &x, &y);
  EXPECT_EQ(x * 10000 + y, 43 * 10000 + 52);
  // Without the bar the window is the client area alone.
  SetMenu(window, nullptr);
  Drain();
  SDL_GetWindowSize(w, &width, &height);
  EXPECT_EQ(width * 10000 + height, 640 * 10000 + 499);
  SetWindowPos(window, nullptr, 0, 0, 646, 505, SWP_NOZORDER | SWP_NOMOVE);
  Drain();
  SDL_GetWindowSize(w, &width, &height);
  EXPECT_EQ(width * 10000 + height, 640 * 10000 + 480);
}

}  // namespace

// A message posted from another thread once the wait has begun ends it at once, long before the wait's own end.
TEST_F(SdlHostTest, APostFromAnotherThreadEndsARest) {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
  }
  const auto begun = std::chrono::steady_clock::now();
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    PostMessageA(window, WM_USER, 0, 0);
  });
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 2 * kHangSeconds * 1000, QS_ALLINPUT), WAIT_OBJECT_0);
  EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(kHangSeconds));
  poster.join();
}

// Without a sound device the output still follows the real clock on its own, as a device pulls its mix.
TEST(SilentAudioTest, RendersAsTheClockMovesWithoutAnyPump) {
  std::atomic<uint64_t> now{5000000000u};
  host::SilentAudio output([&] { return now.load(); });
  now += 250000000u;  // a quarter of a second
  const uint64_t quarter = media::kMixRate / 4;
  // Waits for the output's own thread (it wakes every few milliseconds); the bound only stops a broken output.
  for (int i = 0; i < 100000000 && output.mixer().FramesRendered() < quarter; ++i) std::this_thread::yield();
  EXPECT_EQ(output.mixer().FramesRendered(), quarter);
}

// A sound device pulls the mix as it plays (SDL's own silent device here, whatever the machine has).
TEST(SdlAudioTest, TheDevicePullsTheMix) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::unique_ptr<media::AudioOutput> output = host::CreateSdlAudio([] { return uint64_t{0}; });
  EXPECT_STREQ(output->DeviceName(), "SDL dummy");
  // Waits for the device's own thread; the bound only stops a device that never plays.
  for (int i = 0; i < 100000000 && output->mixer().FramesRendered() == 0; ++i) std::this_thread::yield();
  EXPECT_GT(output->mixer().FramesRendered(), 0u);
  output.reset();
  unsetenv("SDL_AUDIODRIVER");
}

// The off-screen driver, like the dummy one, shows nothing another program shares; without video at all there is
// no session either.
TEST(SdlSessionTest, TheOffscreenDriverNamesNoSession) {
  ASSERT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  EXPECT_EQ(host::SdlDesktopSession(), "");
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  EXPECT_STREQ(SDL_GetCurrentVideoDriver(), "offscreen");
  EXPECT_EQ(host::SdlDesktopSession(), "");
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  setenv("SDL_VIDEODRIVER", "dummy", 1);
}

// Without a display SDL falls back to a video driver that shows nothing. The library takes one only when
// SDL_VIDEODRIVER names it; otherwise start-up fails as when its window cannot be made, and standard error tells
// how to run the program under a virtual X server.
TEST(SdlHostStartTest, WithoutADisplayStartupFailsUnlessADriverThatShowsNothingIsNamed) {
  std::vector<std::pair<std::string, std::string>> kept;
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "SDL_AUDIODRIVER"}) {
    if (const char* value = std::getenv(name)) kept.emplace_back(name, value);
    unsetenv(name);
  }
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const bool blind =
      SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 && SDL_GetCurrentVideoDriver() == std::string("offscreen");
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  for (const char* named : {"", "x11,offscreen"}) {  // "": none named
    if (!blind) break;
    if (*named) setenv("SDL_VIDEODRIVER", named, 1);
    ScratchDirectory scratch;
    host::ResetPlatform(host::CreateSdlHost());
    ResetSystemState();
    SystemState.noGraphics = 1;
    SystemState.hiddenWindow = 1;  // nothing to draw with: the off-screen driver's would be OpenGL's
    ChangeWindowMode(1);
    testing::internal::CaptureStderr();
    const int started = StartupLibrary();
    const std::string said = testing::internal::GetCapturedStderr();
    if (started == 0) ShutdownLibrary();
    const std::vector<std::string> log = ReadLogLines(scratch.path());
    EXPECT_EQ(started, *named ? 0 : -1) << named;
    EXPECT_EQ(said.find("no display was found") != said.npos && said.find("xvfb-run -a ") != said.npos, !*named)
        << said;
    EXPECT_EQ(std::count(log.begin(), log.end(), "T:ウインドウの作成に失敗しました"), *named ? 0 : 1) << named;
    headless::Start();
    unsetenv("SDL_VIDEODRIVER");
  }
  unsetenv("SDL_AUDIODRIVER");
  for (const auto& [name, value] : kept) setenv(name.c_str(), value.c_str(), 1);
  if (!blind) GTEST_SKIP() << "SDL reaches a display without X here";
}
