#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/core_test_support.h"
#include "core/library.h"
#include "core/main_window.h"
#include "core/menu_cursor.h"
#include "core/message_pump.h"
#include "input/input_services.h"
#include "graphics/draw_front.h"
#include "graphics/graphics_system.h"
#include "platform/host/headless/headless_host.h"
#include "platform/host/platform_state.h"
#include "platform/win32/gdi.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/user.h"

namespace {

class WindowProcTest : public StartedCoreTest {
 protected:
  LRESULT Send(UINT message, WPARAM first, LPARAM second) { return SendMessageA(window, message, first, second); }
};

}  // namespace

TEST_F(WindowProcTest, ActivationFollowsActivateMessages) {
  Send(WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_EQ(SystemState.activeFlag, 0);
  Send(WM_ACTIVATE, WA_CLICKACTIVE, 0);
  EXPECT_EQ(SystemState.activeFlag, 1);
  // The application-level message is read by the pump.
  SystemState.alwaysRun = 1;
  PostMessageA(window, WM_ACTIVATEAPP, 0, 0);
  PumpWindowMessages();
  EXPECT_EQ(SystemState.activeFlag, 0);
  PostMessageA(window, WM_ACTIVATEAPP, 1, 0);
  PumpWindowMessages();
  EXPECT_EQ(SystemState.activeFlag, 1);
}

TEST_F(WindowProcTest, CloseOutsideShutdownDestroysAndMarksTheUserClose) {
  EXPECT_EQ(Send(WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(SystemState.closeState, 4);
  EXPECT_EQ(SystemState.quitFlag, 1);
  EXPECT_EQ(SystemState.destroyedFlag, 1);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(PumpWindowMessages(), -1);
}

TEST_F(WindowProcTest, KeptWindowSurvivesAUserClose) {
  SystemState.keepWindowOnClose = 1;
  EXPECT_EQ(Send(WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(SystemState.closeState, 4);
  // Shut-down still closes it.
  EXPECT_EQ(ShutdownLibrary(), 0);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(WindowProcTest, WheelStepsCountUpAndDown) {
  Send(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
  Send(WM_MOUSEWHEEL, MAKEWPARAM(0, 240), 0);
  Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
  Send(WM_MOUSEWHEEL, MAKEWPARAM(0, 0), 0);
  EXPECT_EQ(SystemState.wheelCounter, 0);
  Send(WM_MOUSEWHEEL, MAKEWPARAM(0, 1), 0);
  EXPECT_EQ(SystemState.wheelCounter, 1);
}

TEST_F(WindowProcTest, AltEnterTogglesOnlyWhenAllowed) {
  EXPECT_EQ(Send(WM_SYSCHAR, '\r', 0), DefWindowProcA(window, WM_SYSCHAR, '\r', 0));
  EXPECT_EQ(SystemState.modeToggleRequested, 0);
  SystemState.modeToggleAllowed = 1;
  EXPECT_EQ(Send(WM_SYSCHAR, '\r', 0), 0);
  EXPECT_EQ(SystemState.modeToggleRequested, 1);
}

TEST_F(WindowProcTest, SizingKeepsTheScreenAspect) {
  RECT frame{}, client{};
  GetWindowRect(window, &frame);
  GetClientRect(window, &client);
  int borderWidth = (frame.right - frame.left) - client.right;
  int borderHeight = (frame.bottom - frame.top) - client.bottom;
  RECT proposed{100, 100, 100 + borderWidth + 800, 100 + borderHeight + 480};
  Send(WM_SIZING, WMSZ_LEFT, reinterpret_cast<LPARAM>(&proposed));
  EXPECT_EQ(proposed.bottom - proposed.top - borderHeight, 600);
  EXPECT_DOUBLE_EQ(GetWindowScale(), 1.25);
  RECT tall{0, 0, borderWidth + 640, borderHeight + 960};
  Send(WM_SIZING, WMSZ_BOTTOM, reinterpret_cast<LPARAM>(&tall));
  EXPECT_EQ(tall.right - tall.left - borderWidth, 1280);
  EXPECT_DOUBLE_EQ(GetWindowScale(), 2.0);
}

TEST_F(WindowProcTest, MenuCommandsArePendingOnce) {
  SystemState.menuOn = 1;
  Send(WM_COMMAND, 7, 0);
  Send(WM_COMMAND, 7, 0);
  Send(WM_COMMAND, 9, 0);
  EXPECT_EQ(SystemState.pendingMenuCommandCount, 2);
  SystemState.menuOn = 0;
  Send(WM_COMMAND, 11, 0);
  EXPECT_EQ(SystemState.pendingMenuCommandCount, 2);
}

namespace {
std::vector<std::string> namesSeen;
void RecordMenuName(const char* name, int id) { namesSeen.push_back(std::string(name) + "#" + std::to_string(id)); }
}  // namespace

TEST_F(WindowProcTest, MenuNameOfAnUnknownItemIsTheEmptyText) {
  namesSeen.clear();
  SystemState.menuOn = 1;
  SystemState.menuNameCallback = RecordMenuName;
  Send(WM_COMMAND, 12, 0);
  SystemState.menuNameCallback = nullptr;
  EXPECT_EQ(namesSeen, (std::vector<std::string>{"#12"}));
}

TEST_F(WindowProcTest, ScreenSaverAndCloseCommands) {
  EXPECT_EQ(Send(WM_SYSCOMMAND, SC_SCREENSAVE, 0), 1);
  SystemState.systemKeysOff = 1;
  EXPECT_EQ(Send(WM_SYSCOMMAND, SC_CLOSE, 0), 0);
  PumpWindowMessages();
  EXPECT_TRUE(IsWindow(window));
  SystemState.systemKeysOff = 0;
}

TEST_F(WindowProcTest, DisplayChangeOfTheSameModeArrives) {
  Send(WM_DISPLAYCHANGE, 16, MAKELPARAM(640, 480));
  EXPECT_EQ(SystemState.displayChangeArrived, 1);
  EXPECT_EQ(SystemState.closingRequested, 0);
}

// In window mode the library's screen follows a display change only with a refill callback, to a
// desktop at least as large, not of 24 bits and not newly of 8; otherwise the window closes (following is in
// the graphics start-up test).
TEST_F(WindowProcTest, DisplayChangesTheScreenCanAndCannotFollow) {
  int w = 0, h = 0, d = 0;
  GetScreenSizeAndDepth(&w, &h, &d);
  ASSERT_NE(d, 8);
  struct Case {
    int depth, width, height;
    bool callback, closes;
  } const cases[] = {
      {d, w, h, false, false},       {d, w, h - 1, true, true},         {d, w - 1, h, true, true},
      {24, w + 160, h + 120, true, true}, {8, w + 160, h + 120, true, true}, {d, w + 160, h + 120, false, true},
  };
  for (const Case& c : cases) {
    SystemState.closingRequested = 0;
    SystemState.displayChangeArrived = 0;
    GetGraphicsManagerState().refill = nullptr;
    if (c.callback) SetGraphRefillCallback(nullptr);
    Send(WM_DISPLAYCHANGE, c.depth, MAKELPARAM(c.width, c.height));
    EXPECT_EQ(SystemState.closingRequested, c.closes ? 1 : 0) << c.depth << " " << c.width << "x" << c.height;
    EXPECT_EQ(SystemState.displayChangeArrived, c.closes ? 0 : 1) << c.depth << " " << c.width << "x" << c.height;
  }
}

TEST_F(WindowProcTest, CursorFollowsItsRequestAndTheMenu) {
  SetCursorVisible(0);
  EXPECT_EQ(GetCursorRequest(), 0);
  EXPECT_FALSE(headless::IsCursorShown());
  SetCursorVisible(1);
  EXPECT_EQ(GetCursorRequest(), 1);
  EXPECT_TRUE(headless::IsCursorShown());
  // A menu shown in window mode keeps the cursor shown whatever the request.
  ASSERT_EQ(EnableMainMenu(1), 0);
  EXPECT_EQ(IsMainMenuEnabled(), 1);
  EXPECT_EQ(IsMenuEffectivelyShown(), 1);
  EXPECT_NE(GetMenu(window), nullptr);
  SetCursorVisible(0);
  EXPECT_TRUE(headless::IsCursorShown());
  ShowMainMenu(0);
  EXPECT_EQ(IsMenuEffectivelyShown(), 0);
  EXPECT_EQ(GetMenu(window), nullptr);
  SetCursorVisible(0);
  EXPECT_FALSE(headless::IsCursorShown());
  ASSERT_EQ(EnableMainMenu(0), 0);
  EXPECT_EQ(IsMainMenuEnabled(), 0);
}

// While inactive the window shows the saved picture, centred on the 640 x 480 screen, with no context left behind.
TEST_F(WindowProcTest, InactiveWindowShowsTheSavedPicture) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = 40;
  info.bmiHeader.biWidth = 4;
  info.bmiHeader.biHeight = -2;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP picture = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(picture, nullptr);
  for (int i = 0; i < 8; ++i) static_cast<uint32_t*>(bits)[i] = 0xFF0000;
  SystemState.savedImage = picture;
  const size_t contexts = LiveContextCount();
  headless::ClearFrames();
  Send(WM_ACTIVATE, WA_INACTIVE, 0);
  ASSERT_FALSE(headless::Frames().empty());
  const headless::CapturedFrame& frame = headless::Frames().back();
  EXPECT_EQ(frame.Rgb(318, 239), 0xFF0000u);
  EXPECT_EQ(frame.Rgb(321, 240), 0xFF0000u);
  EXPECT_NE(frame.Rgb(322, 239), 0xFF0000u);
  EXPECT_NE(frame.Rgb(318, 238), 0xFF0000u);
  EXPECT_NE(frame.Rgb(318, 241), 0xFF0000u);
  EXPECT_EQ(LiveContextCount(), contexts);
}

TEST_F(WindowProcTest, UserWindowModeAnswersWhatItsProcedureAnswers) {
  SystemState.userWindowMode = 1;
  EXPECT_EQ(Send(WM_USER + 77, 1, 2), 0);  // no procedure: 0
  EXPECT_EQ(Send(WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(IsWindow(window));
  SystemState.userWindowMode = 0;
}

TEST_F(WindowProcTest, ForcedForegroundCanMakeTheWindowTopMost) {
  ForceForeground(window, 0);
  EXPECT_EQ(GetForegroundWindow(), window);
  EXPECT_FALSE(host::LiveWindow(window)->topmost);
  ForceForeground(window, 1);
  EXPECT_TRUE(host::LiveWindow(window)->topmost);
}

TEST_F(WindowProcTest, DisplayChangeTheScreenCannotFollowClosesTheWindow) {
  Send(WM_DISPLAYCHANGE, 24, MAKELPARAM(1024, 768));
  EXPECT_EQ(SystemState.displayChangeArrived, 0);
  EXPECT_EQ(SystemState.closingRequested, 1);
  EXPECT_EQ(PumpWindowMessages(), -1);
  std::vector<std::string> lines = ReadLogLines(workDir());
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "T:またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します"),
            lines.end());
}

TEST_F(WindowProcTest, PrivateAndSocketMessages) {
  EXPECT_EQ(Send(0x505, 3, 1), 1);
  // With the IME switched off its messages are answered 0.
  EXPECT_EQ(Send(WM_IME_SETCONTEXT, 1, 0xC000000F), 0);
  EXPECT_EQ(Send(WM_IME_NOTIFY, 8, 0), 0);
  EXPECT_EQ(Send(0x46F, 1, 0), DefWindowProcA(window, 0x46F, 1, 0));
}

TEST_F(WindowProcTest, UnknownMessagesGoToDefaultProcessing) {
  EXPECT_EQ(Send(WM_USER + 77, 1, 2), DefWindowProcA(window, WM_USER + 77, 1, 2));
}

TEST_F(WindowProcTest, ScaleThatIsNotPositiveReadsAsOne) {
  SystemState.windowScale = 0.0;
  EXPECT_DOUBLE_EQ(GetWindowScale(), 1.0);
  SystemState.windowScale = -2.0;
  EXPECT_DOUBLE_EQ(GetWindowScale(), 1.0);
  SystemState.windowScale = std::nan("");
  EXPECT_DOUBLE_EQ(GetWindowScale(), 1.0);
}

TEST_F(WindowProcTest, GettersReportTheStartedWindow) {
  int rect[4] = {};
  GetClientScreenRect(rect);
  EXPECT_EQ(rect[2] - rect[0], 640);
  EXPECT_EQ(rect[3] - rect[1], 480);
  // Centred on the 1,024 by 768 desktop.
  EXPECT_EQ(rect[0], (1024 - 640) / 2);
  int width = 0, height = 0, bits = 0;
  GetDesktopMetrics(&width, &height, &bits);
  EXPECT_EQ(width, 1024);
  EXPECT_EQ(height, 768);
  EXPECT_EQ(bits, 32);
  int library = 0, directX = 0, windows = 0;
  GetLibraryVersionInfo(&library, &directX, &windows);
  EXPECT_EQ(library, 0x219B);
  EXPECT_EQ(directX, 0x70000);
  EXPECT_EQ(windows, 0x107);
  EXPECT_EQ(IsWindowModeOn(), 1);
  EXPECT_EQ(IsWindowClosing(), 0);
  EXPECT_EQ(GetCursorRequest(), 1);
  EXPECT_EQ(HasWindowShapeRegion(), 0);
}

TEST(WindowPlacement, ConfiguredPlacesAndWindowsPartlyOffTheScreen) {
  // Off on both axes, or on one axis only: the client area moves to (0, 0). On the desktop, the configured place
  // is the window's own corner.
  struct Case {
    POINT place, frame, client;
  } const cases[] = {
      {{-100, -60}, {}, {0, 0}}, {{-100, 50}, {}, {0, 0}}, {{30, -60}, {}, {0, 0}}, {{100, 80}, {100, 80}, {}},
  };
  for (const Case& c : cases) {
    ScratchDirectory scratch;
    headless::Start();
    ResetSystemState();
    SystemState.noGraphics = 1;
    SystemState.windowModeFlag = 1;
    SystemState.useConfiguredPosition = 1;
    SystemState.configuredX = c.place.x;
    SystemState.configuredY = c.place.y;
    ASSERT_EQ(StartupLibrary(), 0);
    POINT corner{0, 0};
    ClientToScreen(GetLibraryWindowHandle(), &corner);
    RECT frame{};
    GetWindowRect(GetLibraryWindowHandle(), &frame);
    if (c.place.x < 0 || c.place.y < 0) {
      EXPECT_EQ(SystemState.clientRect.left, 0) << c.place.x << "," << c.place.y;
      EXPECT_EQ(SystemState.clientRect.top, 0) << c.place.x << "," << c.place.y;
      EXPECT_EQ(corner.x, c.client.x);
      EXPECT_EQ(corner.y, c.client.y);
    } else {
      EXPECT_EQ(frame.left, c.frame.x);
      EXPECT_EQ(frame.top, c.frame.y);
    }
    ShutdownLibrary();
  }
}

TEST_F(WindowProcTest, TypedCharactersFillTheInputRing) {
  ResetTextInputState();
  for (int i = 0; i < 1023; ++i) Send(WM_CHAR, 'a' + i % 26, 0);
  EXPECT_EQ(IsInputCharRingFull(), 0);
  Send(WM_KEYDOWN, VK_LEFT, 0);
  EXPECT_EQ(IsInputCharRingFull(), 1);
  EXPECT_EQ(PushInputCharByte('x'), -1);
  // A full ring takes no more control codes.
  Send(WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(IsInputCharRingFull(), 1);
  ResetTextInputState();
  EXPECT_EQ(IsInputCharRingFull(), 0);
}
