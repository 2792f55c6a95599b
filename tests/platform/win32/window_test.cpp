#include <gtest/gtest.h>

#include <vector>

#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/win32/dc.h"
#include "platform/win32/kernel.h"
#include "platform/win32/user.h"
#include "window_test_support.h"
#include "support/headless_fixture.h"

namespace {

class WindowTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    seen = &messages;
    WNDCLASSEXA c{};
    c.cbSize = 48;
    c.style = CS_HREDRAW | CS_VREDRAW;
    c.lpfnWndProc = &Proc;
    c.lpszClassName = "Vomak";
    ASSERT_NE(RegisterClassExA(&c), 0);
  }
  void TearDown() override {
    seen = nullptr;
    HeadlessTest::TearDown();
  }
  const Seen* Last(UINT message) const {
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
      if (it->message == message) return &*it;
    }
    return nullptr;
  }
  void Drain() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  std::vector<Seen> messages;
};

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE;

TEST_F(WindowTest, ClassesAreUniqueAndFoundWithoutRegardToCase) {
  WNDCLASSEXA c{};
  c.lpfnWndProc = &Proc;
  c.lpszClassName = "VOMAK";
  EXPECT_EQ(RegisterClassExA(&c), 0);
  HWND w = CreateWindowExA(0, "vomak", "t", kStyle, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(FindWindowA("VoMaK", nullptr), w);
  EXPECT_EQ(FindWindowA("Other", nullptr), nullptr);
  EXPECT_FALSE(UnregisterClassA("Vomak", nullptr));  // a window still uses it
  DestroyWindow(w);
  EXPECT_EQ(FindWindowA("Vomak", nullptr), nullptr);
  EXPECT_TRUE(UnregisterClassA("Vomak", nullptr));
  EXPECT_EQ(CreateWindowExA(0, "Vomak", "t", kStyle, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(WindowTest, AnotherProgramsWindowIsFoundByClass) {
  EXPECT_EQ(FindWindowA("Vomak", nullptr), nullptr);
  headless::AddOtherProcessWindow("VOMAK");
  HWND other = FindWindowA("Vomak", nullptr);
  EXPECT_NE(other, nullptr);
  EXPECT_FALSE(IsWindow(other));
  EXPECT_FALSE(PostMessageA(other, WM_CLOSE, 0, 0));
}

TEST_F(WindowTest, ClientAreaFollowsTheAdjustedRectangleWithAndWithoutMenu) {
  RECT r{0, 0, 640, 480};
  ASSERT_TRUE(AdjustWindowRectEx(&r, kStyle, TRUE, kExStyle));
  EXPECT_LT(r.left, 0);
  EXPECT_LT(r.top, -GetSystemMetrics(SM_CYCAPTION));
  HWND w = CreateWindowExA(kExStyle, "Vomak", "t", kStyle, 100, 50, r.right - r.left, r.bottom - r.top, nullptr,
                           nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  RECT client;
  ASSERT_TRUE(GetClientRect(w, &client));
  // Without a menu the menu bar's allowance shows up as extra client height.
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 480 + GetSystemMetrics(SM_CYMENU));
  RECT exact{0, 0, 640, 480};
  AdjustWindowRectEx(&exact, kStyle, FALSE, kExStyle);
  MoveWindow(w, 100, 50, exact.right - exact.left, exact.bottom - exact.top, TRUE);
  GetClientRect(w, &client);
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 480);
  POINT origin{0, 0};
  ClientToScreen(w, &origin);
  EXPECT_EQ(origin.x, 100 - exact.left);
  EXPECT_EQ(origin.y, 50 - exact.top);
  // A menu takes its bar from the client area.
  HMENU menu = CreateMenu();
  ASSERT_TRUE(AppendMenuA(menu, MF_STRING, 7, "File"));
  ASSERT_TRUE(SetMenu(w, menu));
  GetClientRect(w, &client);
  EXPECT_EQ(client.bottom, 480 - GetSystemMetrics(SM_CYMENU));
}

TEST_F(WindowTest, MovesAndSizesAreReportedWithClientOrigin) {
  HWND w = CreateWindowExA(0, "Vomak", "t", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr, nullptr, nullptr);
  ShowWindow(w, SW_SHOW);
  messages.clear();
  SetWindowPos(w, nullptr, -5, 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  const Seen* move = Last(WM_MOVE);
  ASSERT_NE(move, nullptr);
  EXPECT_EQ(GET_X_LPARAM(move->lparam), -5);
  EXPECT_EQ(GET_Y_LPARAM(move->lparam), 7);
  EXPECT_EQ(Last(WM_SIZE), nullptr);
  MoveWindow(w, -5, 7, 400, 300, TRUE);
  const Seen* size = Last(WM_SIZE);
  ASSERT_NE(size, nullptr);
  EXPECT_EQ(LOWORD(size->lparam), 400);
  EXPECT_EQ(HIWORD(size->lparam), 300);
  messages.clear();
  MoveWindow(w, -5, 7, 400, 300, TRUE);  // nothing changed: nothing reported
  EXPECT_TRUE(messages.empty());
  host::WindowView view;
  ASSERT_TRUE(headless::FindWindowView(w, &view));
  EXPECT_EQ(view.clientWidth, 400);
  EXPECT_TRUE(view.visible);
}

TEST_F(WindowTest, StylesAndTitle) {
  HWND w = CreateWindowExA(WS_EX_TOPMOST, "Vomak", "Qelt", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(w, GWL_EXSTYLE)), WS_EX_TOPMOST);
  SetWindowLongA(w, GWL_STYLE, static_cast<LONG>(kStyle));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)), kStyle);
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(w, GWLP_WNDPROC)), &Proc);
  char title[16];
  EXPECT_EQ(GetWindowTextA(w, title, sizeof(title)), 4);
  EXPECT_STREQ(title, "Qelt");
  SetWindowTextA(w, "タイトル");
  host::WindowView view;
  ASSERT_TRUE(headless::FindWindowView(w, &view));
  EXPECT_EQ(view.title, "タイトル");
  EXPECT_EQ(host::ShiftJisToUtf8(view.title.c_str()), "\xE3\x82\xBF\xE3\x82\xA4\xE3\x83\x88\xE3\x83\xAB");
}

TEST_F(WindowTest, DisplayChangeIsPostedOnEverySetAndRestore) {
  HWND w = CreateWindowExA(0, "Vomak", "t", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  HWND child = CreateWindowExA(0, "Vomak", "c", WS_CHILD, 0, 0, 5, 5, w, nullptr, nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(host::SetDisplayMode(640, 480, 16, 0));
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 16);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, w);  // top-level windows only
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_DISPLAYCHANGE));
  EXPECT_EQ(msg.wParam, 16u);
  EXPECT_EQ(LOWORD(msg.lParam), 640);
  EXPECT_EQ(HIWORD(msg.lParam), 480);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  // Setting the mode that is already set still tells the windows.
  ASSERT_TRUE(host::SetDisplayMode(640, 480, 16, 0));
  EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_DISPLAYCHANGE, WM_DISPLAYCHANGE, PM_REMOVE));
  host::RestoreDisplayMode();
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 32u);
  EXPECT_EQ(LOWORD(msg.lParam), 1024);
  host::RestoreDisplayMode();  // nothing set: told anyway
  EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_DISPLAYCHANGE, WM_DISPLAYCHANGE, PM_REMOVE));
  EXPECT_FALSE(host::SetDisplayMode(641, 480, 16, 0));  // no such mode
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  ReleaseDC(nullptr, screen);
}

TEST_F(WindowTest, ScriptedDisplayChangeChangesTheDesktop) {
  HWND w = CreateWindowExA(0, "Vomak", "t", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  headless::PostDisplayChange(800, 600, 24, 10);
  Sleep(10);
  Drain();
  const Seen* change = Last(WM_DISPLAYCHANGE);
  ASSERT_NE(change, nullptr);
  EXPECT_EQ(change->wparam, 24u);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
  HDC dc = GetDC(w);
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 24);
  EXPECT_EQ(GetDeviceCaps(dc, PLANES), 1);
  ReleaseDC(w, dc);
}

TEST_F(WindowTest, DesktopDepthsOfTheScreenContext) {
  for (int depth : {8, 16, 24, 32}) {
    headless::Config config;
    config.bitsPerPixel = depth;
    config.desktopWidth = 800;
    config.desktopHeight = 600;
    RestartHeadless(config);
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES), depth);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
  }
  headless::Config config;
  config.bitsPerPixel = 16;
  config.rgb555 = true;
  RestartHeadless(config);
  host::ChannelMasks masks = host::MasksOf(host::CurrentDisplayMode());
  EXPECT_EQ(masks.green, 0x03E0u);
}

TEST_F(WindowTest, ForegroundHelpers) {
  HWND w = CreateWindowExA(0, "Vomak", "t", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  DWORD timeout = 0;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0));
  ASSERT_TRUE(SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0));
  DWORD now = 1;
  SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &now, 0);
  EXPECT_EQ(now, 0u);
  SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<LPVOID>(uintptr_t{timeout}), 0);
  EXPECT_NE(GetWindowThreadProcessId(w, nullptr), 0u);
  EXPECT_TRUE(SetForegroundWindow(w));
  EXPECT_EQ(GetForegroundWindow(), w);
  EXPECT_TRUE(SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW));
  EXPECT_TRUE(host::LiveWindow(w)->topmost);
  SetWindowPos(w, nullptr, 5, 5, 0, 0, SWP_NOSIZE);
  EXPECT_TRUE(host::LiveWindow(w)->topmost);  // a move keeps the window on top
  SetWindowPos(w, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
  EXPECT_FALSE(host::LiveWindow(w)->topmost);
  // A destroyed window is gone from the host's windows.
  host::WindowView view;
  ShowWindow(w, SW_SHOW);
  EXPECT_TRUE(headless::FindWindowView(w, &view));
  DestroyWindow(w);
  EXPECT_FALSE(headless::FindWindowView(w, &view));
}

TEST_F(WindowTest, MenusReadBack) {
  HMENU bar = CreateMenu();
  HMENU sub = CreatePopupMenu();
  AppendMenuA(sub, MF_STRING, 11, "Open");
  AppendMenuA(sub, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "File");
  EXPECT_EQ(GetMenuItemCount(bar), 1);
  EXPECT_EQ(GetMenuItemCount(sub), 2);
  char text[128];
  MENUITEMINFOA info{};
  info.cbSize = 48;
  info.fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_TYPE;
  info.dwTypeData = text;
  info.cch = sizeof(text);
  ASSERT_TRUE(GetMenuItemInfoA(bar, 0, TRUE, &info));
  EXPECT_STREQ(text, "File");
  EXPECT_EQ(info.hSubMenu, sub);
  info.cch = sizeof(text);
  ASSERT_TRUE(GetMenuItemInfoA(bar, 11, FALSE, &info));  // by id, found in the submenu
  EXPECT_STREQ(text, "Open");
  info.cch = sizeof(text);
  ASSERT_TRUE(GetMenuItemInfoA(sub, 1, TRUE, &info));
  EXPECT_EQ(info.fType, MFT_SEPARATOR);
  EXPECT_FALSE(GetMenuItemInfoA(sub, 2, TRUE, &info));
  MENUITEMINFOA change{};
  change.fMask = MIIM_ID;
  change.wID = 12;
  ASSERT_TRUE(SetMenuItemInfoA(sub, 0, TRUE, &change));
  info.cch = sizeof(text);
  EXPECT_TRUE(GetMenuItemInfoA(bar, 12, FALSE, &info));
  EXPECT_TRUE(DestroyMenu(bar));
  EXPECT_EQ(GetMenuItemCount(sub), -1);  // went with its parent
}

TEST_F(WindowTest, CursorDisplayCount) {
  EXPECT_TRUE(headless::IsCursorShown());
  EXPECT_EQ(ShowCursor(FALSE), -1);
  EXPECT_FALSE(headless::IsCursorShown());
  EXPECT_EQ(ShowCursor(FALSE), -2);
  EXPECT_EQ(ShowCursor(TRUE), -1);
  EXPECT_EQ(ShowCursor(TRUE), 0);
  EXPECT_TRUE(headless::IsCursorShown());
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  EXPECT_EQ(SetCursor(arrow), nullptr);
  EXPECT_EQ(SetCursor(nullptr), arrow);
}

TEST_F(WindowTest, InjectedWindowFailures) {
  headless::FailCall("CreateWindowExA", 1);
  EXPECT_EQ(CreateWindowExA(0, "Vomak", "t", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
  HWND w = CreateWindowExA(0, "Vomak", "t", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  headless::FailCall("GetClientRect");
  RECT r;
  EXPECT_FALSE(GetClientRect(w, &r));
  headless::ClearFailures();
  EXPECT_TRUE(GetClientRect(w, &r));
  headless::FailCall("RegisterClassExA");
  WNDCLASSEXA c{};
  c.lpfnWndProc = &Proc;
  c.lpszClassName = "Another";
  EXPECT_EQ(RegisterClassExA(&c), 0);
}

}  // namespace
