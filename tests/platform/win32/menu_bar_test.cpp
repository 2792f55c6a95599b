// The menu bar as the hosts work it, on the headless host: the strip's and drop-downs' layout in the UI font, the
// pointer and the keys choosing items (WM_COMMAND as a real menu sends it), the client area when the bar comes and
// goes, and the place and shape a host is given.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/host/headless/headless_host.h"
#include "platform/host/headless/headless_input.h"
#include "platform/host/input.h"
#include "platform/host/menu_bar.h"
#include "platform/host/platform_state.h"
#include "platform/win32/gdi.h"
#include "platform/win32/gdi_text.h"
#include "platform/win32/region.h"
#include "platform/win32/user.h"
#include "window_test_support.h"
#include "support/headless_fixture.h"

namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE;
// The frame of that style: 5 pixels a side, 19 of caption and 19 of menu bar above the client area.
constexpr int kSide = 5, kAbove = 5 + 19 + 19;

// Key codes of the keyboard (DirectInput).
constexpr int kEscape = 0x01, kEnter = 0x1C, kAlt = 0x38, kF10 = 0x44, kUp = 0xC8, kLeft = 0xCB, kRight = 0xCD,
              kDown = 0xD0;

// A window at (100, 50) with a 640 x 480 client area under the bar: "&File" (Open with its shortcut, a
// separator, Recent with One, Quit), Help, and Gone (grayed).
class MenuBarTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    headless::Config config;
    config.fontFiles[""] = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
    RestartHeadless(config);
    seen = &messages;
    WNDCLASSEXA c{};
    c.cbSize = 48;
    c.lpfnWndProc = &Proc;
    c.lpszClassName = "MenuBarTest";
    ASSERT_NE(RegisterClassExA(&c), 0);
    bar = CreateMenu();
    file = CreatePopupMenu();
    recent = CreatePopupMenu();
    AppendMenuA(recent, MF_STRING, 30, "One");
    AppendMenuA(file, MF_STRING, 10, "&Open\tCtrl+O");
    AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(file, MF_POPUP, reinterpret_cast<UINT_PTR>(recent), "Recent");
    AppendMenuA(file, MF_STRING, 11, "Quit");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    AppendMenuA(bar, MF_STRING, 20, "Help");
    AppendMenuA(bar, MF_STRING, 21, "Gone");
    MENUITEMINFOA gray{};
    gray.cbSize = sizeof gray;
    gray.fMask = MIIM_STATE;
    gray.fState = MFS_GRAYED;
    SetMenuItemInfoA(bar, 21, FALSE, &gray);
    window = CreateWindowExA(kExStyle, "MenuBarTest", "menu", kStyle, 100, 50, 640 + 2 * kSide, 480 + kAbove + kSide,
                             nullptr, bar, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    Drain();
    messages.clear();
  }
  void TearDown() override {
    seen = nullptr;
    HeadlessTest::TearDown();
  }
  void Drain() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  // The commands the window received since the last look, and the messages of one kind.
  std::vector<int> Commands() {
    Drain();
    std::vector<int> ids;
    for (const Seen& s : messages) {
      if (s.message != WM_COMMAND) continue;
      ids.push_back(static_cast<int>(s.wparam));
      EXPECT_EQ(s.lparam, 0) << "a menu's command names no control";
    }
    messages.clear();
    return ids;
  }
  int Count(UINT message) const {
    int n = 0;
    for (const Seen& s : messages) n += s.message == message;
    return n;
  }
  void Click(int x, int y) {
    host::PointerButton(window, x, y, true);
    host::PointerButton(window, x, y, false);
  }
  void Tap(int code) {
    host::KeyChanged(code, true);
    Drain();
    host::KeyChanged(code, false);
    Drain();
  }
  static POINT Middle(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
  host::MenuScene Scene() { return headless::MenuSceneOf(window); }
  // Text widths in the UI face at the menu's size, measured by GDI itself.
  static int Width(const char* text) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontA(12, 0, 0, 0, 400, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, "");
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::string(text).size()), &size);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    return size.cx;
  }
  HMENU bar = nullptr, file = nullptr, recent = nullptr;
  HWND window = nullptr;
  std::vector<Seen> messages;
};

std::string Text(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

}  // namespace

TEST_F(MenuBarTest, TheStripLaysItsItemsOutByTheirTexts) {
  const int file = Width("File"), help = Width("Help"), gone = Width("Gone"), open = Width("Open"),
            shortcut = Width("Ctrl+O"), recentWidth = Width("Recent"), quit = Width("Quit");
  ASSERT_GT(file, 10);
  host::MenuScene s = Scene();
  EXPECT_EQ(s.stripHeight, 19);
  EXPECT_EQ(s.width, 640);
  ASSERT_EQ(s.bar.size(), 3u);
  // Seven pixels left and right of each text, items side by side from the left; the '&' is not shown.
  int x = 0;
  const int widths[] = {file, help, gone};
  const char* texts[] = {"File", "Help", "Gone"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(s.bar[i].text, texts[i]);
    EXPECT_EQ(Text(s.bar[i].rect), Text(RECT{x, 0, x + widths[i] + 14, 19})) << texts[i];
    EXPECT_EQ(s.bar[i].textX, x + 7);
    EXPECT_EQ(s.bar[i].textY, 3);  // a 12-pixel cell in the middle of 19
    x += widths[i] + 14;
  }
  EXPECT_TRUE(s.bar[2].grayed);
  EXPECT_TRUE(s.panels.empty());

  // The drop-down: under its bar item, a 2-pixel frame, rows of 18 and separators of 8; the widest text and the
  // widest shortcut, 16 apart, with 18 on either side.
  host::PointerButton(window, 5, 5, true);
  s = Scene();
  ASSERT_EQ(s.panels.size(), 1u);
  const host::MenuPanel& p = s.panels[0];
  const int textWidth = std::max({open, recentWidth, quit});
  const int width = 2 + 18 + textWidth + 16 + shortcut + 18 + 2;
  EXPECT_EQ(Text(p.rect), Text(RECT{0, 19, width, 19 + 2 + 18 + 8 + 18 + 18 + 2}));
  EXPECT_EQ(Text(p.cells[1].rect), Text(RECT{2, 39, width - 2, 47}));
  EXPECT_EQ(Text(p.cells[3].rect), Text(RECT{2, 65, width - 2, 83}));
  EXPECT_EQ(p.cells[0].text, "Open");
  EXPECT_EQ(p.cells[0].shortcut, "Ctrl+O");
  EXPECT_EQ(p.shortcutX, 2 + 18 + textWidth + 16);
  EXPECT_TRUE(p.cells[1].separator);
  EXPECT_EQ(p.selected, -1);

  // A window too narrow for every item wraps them to further rows, each row 19 high; they come out of the client
  // area (a window that wants its client area whole grows itself, as the library's main window does).
  host::EndMenuTracking(window);
  SetWindowPos(window, nullptr, 0, 0, file + help + 14 + 2 * kSide, 300, SWP_NOMOVE | SWP_NOZORDER);
  s = Scene();
  ASSERT_EQ(s.bar.size(), 3u);
  EXPECT_EQ(Text(s.bar[1].rect), Text(RECT{0, 19, help + 14, 38}));
  EXPECT_EQ(s.bar[1].textY, 22);
  EXPECT_EQ(s.bar[2].rect.top, gone + 14 > file ? 38 : 19);
  EXPECT_EQ(s.stripHeight, s.bar[2].rect.bottom);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.bottom, 300 - kAbove - kSide - (s.stripHeight - 19));
  host::WindowView view;
  ASSERT_TRUE(headless::FindWindowView(window, &view));
  EXPECT_EQ(view.menuBarHeight, s.stripHeight);
  EXPECT_EQ(view.clientHeight + view.menuBarHeight, 300 - kAbove - kSide + 19);
  // The pointer under every row is in the client area.
  host::PointerMoved(window, 3, s.stripHeight + 10);
  POINT cursor{}, expected{3, 10};
  GetCursorPos(&cursor);
  ClientToScreen(window, &expected);
  EXPECT_EQ(cursor.x * 10000 + cursor.y, expected.x * 10000 + expected.y);
  // Narrower than any item: each has a row of its own, the first at the top.
  SetWindowPos(window, nullptr, 0, 0, 10 + 2 * kSide, 300, SWP_NOMOVE | SWP_NOZORDER);
  s = Scene();
  ASSERT_EQ(s.bar.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Text(s.bar[i].rect), Text(RECT{0, 19 * i, widths[i] + 14, 19 * i + 19}));
  EXPECT_EQ(s.stripHeight, 57);
  // Wide again, one row.
  SetWindowPos(window, nullptr, 0, 0, 640 + 2 * kSide, 300, SWP_NOMOVE | SWP_NOZORDER);
  GetClientRect(window, &client);
  EXPECT_EQ(Scene().stripHeight, 19);
  EXPECT_EQ(client.bottom, 300 - kAbove - kSide);
  // A submenu with room on neither side of its parent moves left to end at the right edge, below the item that
  // opens it.
  const int narrow = width + 20;
  SetWindowPos(window, nullptr, 0, 0, narrow + 2 * kSide, 300, SWP_NOMOVE | SWP_NOZORDER);
  for (int key : {kF10, kDown, kDown, kRight}) Tap(key);  // File > Recent
  s = Scene();
  ASSERT_EQ(s.panels.size(), 2u);
  EXPECT_EQ(Text(s.panels[1].rect), Text(RECT{narrow - (2 + 18 + Width("One") + 18 + 2), 65, narrow, 65 + 2 + 18 + 2}));
  host::EndMenuTracking(window);
}

TEST_F(MenuBarTest, TheStripIsOnlyShownWithAMenuAndTexts) {
  struct Case {
    const char* raw;
    const char* text;
    const char* shortcut;
    char access;  // the access letter, in capitals (0: none)
  } cases[] = {{"&Save", "Save", "", 'S'},       {"A && B", "A & B", "", 0},  {"Go\tF5", "Go", "F5", 0},
               {"Tab\tA\tB", "Tab", "A\tB", 0},  {"End&", "End", "", 0},      {"a&b&c", "abc", "", 'B'},
               {"& x", " x", "", 0},             {"x\t&Y", "x", "Y", 0},     {"&\x83\x41", "\x83\x41", "", 0},
               {"\x83\x74\x83\x40\x83\x43\x83\x8B", "\x83\x74\x83\x40\x83\x43\x83\x8B", "", 0}};
  for (const Case& c : cases) {
    HMENU m = CreateMenu();
    AppendMenuA(m, MF_STRING, 1, c.raw);
    SetMenu(window, m);
    host::MenuScene s = Scene();
    ASSERT_EQ(s.bar.size(), 1u) << c.raw;
    EXPECT_EQ(s.bar[0].text, c.text) << c.raw;
    EXPECT_EQ(s.bar[0].shortcut, c.shortcut) << c.raw;
    EXPECT_EQ(s.bar[0].access, c.access) << c.raw;
  }
  HMENU empty = CreateMenu();  // a menu without items still has its strip
  SetMenu(window, empty);
  EXPECT_EQ(Scene().stripHeight, 19);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.bottom, 480);
  SetMenu(window, nullptr);
  host::MenuScene s = Scene();
  EXPECT_EQ(s.stripHeight, 0);
  EXPECT_TRUE(s.bar.empty());
  host::PointerButton(window, 5, 5, true);  // the client area now: nothing happens
  EXPECT_EQ(host::MenuTrackingWindow(), nullptr);
}

TEST_F(MenuBarTest, ThePointerChoosesItemsAndFoldsTheMenu) {
  host::MenuScene s = Scene();
  POINT help = Middle(s.bar[1].rect), gone = Middle(s.bar[2].rect), fileItem = Middle(s.bar[0].rect);
  Click(help.x, help.y);
  EXPECT_EQ(Commands(), std::vector<int>{20});
  EXPECT_EQ(host::MenuTrackingWindow(), nullptr);
  Click(gone.x, gone.y);  // grayed
  EXPECT_EQ(Commands(), std::vector<int>{});
  EXPECT_EQ(host::MenuTrackingWindow(), nullptr);

  // A click on File opens its drop-down and leaves it open; pointing at Recent opens Recent beside it.
  Click(fileItem.x, fileItem.y);
  s = Scene();
  ASSERT_TRUE(s.barOpen);
  const host::MenuPanel fileMenu = s.panels[0];
  POINT recentRow = Middle(fileMenu.cells[2].rect);
  host::PointerMoved(window, recentRow.x, recentRow.y);
  s = Scene();
  ASSERT_EQ(s.panels.size(), 2u);
  EXPECT_EQ(s.panels[0].selected, 2);
  EXPECT_EQ(s.panels[1].rect.left, fileMenu.rect.right - 2);
  EXPECT_EQ(s.panels[1].rect.top, fileMenu.cells[2].rect.top - 2);
  // Separator and frame choose nothing; the item of the nested drop-down is chosen.
  POINT separator = Middle(fileMenu.cells[1].rect);
  Click(separator.x, separator.y);
  EXPECT_EQ(Scene().panels[0].selected, -1);  // a separator is never selected
  Click(fileMenu.rect.left, fileMenu.rect.top);
  EXPECT_EQ(Commands(), std::vector<int>{});
  EXPECT_EQ(host::MenuTrackingWindow(), window);
  host::PointerMoved(window, recentRow.x, recentRow.y);
  POINT one = Middle(Scene().panels[1].cells[0].rect);
  Click(one.x, one.y);
  EXPECT_EQ(Commands(), std::vector<int>{30});
  EXPECT_EQ(host::MenuTrackingWindow(), nullptr);

  // Pressed on File and let go on Quit: Quit. A press outside, or on the open item again, folds the menu.
  host::PointerButton(window, fileItem.x, fileItem.y, true);
  POINT quit = Middle(fileMenu.cells[3].rect);
  host::PointerMoved(window, quit.x, quit.y);
  host::PointerButton(window, quit.x, quit.y, false);
  EXPECT_EQ(Commands(), std::vector<int>{11});
  Click(fileItem.x, fileItem.y);
  host::PointerButton(window, 600, 400, true);
  EXPECT_EQ(host::MenuTrackingWindow(), nullptr);
  host::PointerButton(window, 600, 400, false);
  Click(fileItem.x, fileItem.y);
  host::PointerButton(window, fileItem.x, fileItem.y, true);
  EXPECT_EQ(host::MenuTrackingWindow(), nullptr);
  EXPECT_EQ(Commands(), std::vector<int>{});
  // Pressed on Help, dragged over File (which opens) and let go elsewhere: nothing.
  host::PointerButton(window, help.x, help.y, true);
  host::PointerMoved(window, fileItem.x, fileItem.y);
  EXPECT_TRUE(Scene().barOpen);
  host::PointerButton(window, 600, 400, false);
  EXPECT_EQ(Commands(), std::vector<int>{});
  EXPECT_EQ(host::MenuTrackingWindow(), nullptr);
  // A press on an item of an open drop-down highlights it at once; letting go there chooses it.
  Click(fileItem.x, fileItem.y);
  host::PointerButton(window, quit.x, quit.y, true);
  EXPECT_EQ(Scene().panels[0].selected, 3);
  host::PointerButton(window, quit.x, quit.y, false);
  EXPECT_EQ(Commands(), std::vector<int>{11});
}

TEST_F(MenuBarTest, TheCursorFollowsThePointerWhileNoMenuIsOpen) {
  POINT at{};
  host::PointerMoved(window, 30, 119);  // the client area's row 100
  GetCursorPos(&at);
  EXPECT_EQ(at.x, 100 + kSide + 30);
  EXPECT_EQ(at.y, 50 + kAbove + 100);
  host::PointerButton(window, 5, 5, true);
  host::PointerMoved(window, 300, 300);
  GetCursorPos(&at);
  EXPECT_EQ(at.y, 50 + kAbove - 14);  // where the press was
  host::EndMenuTracking(window);
  host::PointerMoved(window, 300, 300);
  GetCursorPos(&at);
  EXPECT_EQ(at.y, 50 + kAbove + 281);
}

TEST_F(MenuBarTest, KeysMoveThroughTheMenuAndPostNothingElse) {
  Tap(kF10);
  ASSERT_EQ(host::MenuTrackingWindow(), window);
  host::MenuScene s = Scene();
  EXPECT_EQ(s.barSelected, 0);
  EXPECT_FALSE(s.barOpen);
  messages.clear();
  struct Step {
    int key;
    int depth;     // drop-downs open
    int selected;  // in the deepest (the bar item when none is open)
  } steps[] = {{kDown, 1, 0}, {kDown, 1, 2},  {kRight, 2, 0}, {kLeft, 1, 2}, {kDown, 1, 3},
               {kDown, 1, 0}, {kUp, 1, 3},    {kRight, 0, 1}, {kLeft, 0, 0},
               {kLeft, 0, 2}, {kRight, 0, 0}, {kEnter, 1, 0}, {kEscape, 0, 0}, {kUp, 1, 3}};
  for (const Step& step : steps) {
    Tap(step.key);
    s = Scene();
    ASSERT_EQ(static_cast<int>(s.panels.size()), step.depth) << step.key;
    EXPECT_EQ(step.depth ? s.panels.back().selected : s.barSelected, step.selected) << step.key;
  }
  EXPECT_EQ(Count(WM_KEYDOWN) + Count(WM_KEYUP) + Count(WM_SYSKEYDOWN) + Count(WM_SYSKEYUP), 0);
  Tap(kEnter);  // Quit
  EXPECT_EQ(Commands(), std::vector<int>{11});
  EXPECT_EQ(host::MenuTrackingWindow(), nullptr);
  // The keys go to the window again.
  Tap(kDown);
  EXPECT_EQ(Count(WM_KEYDOWN), 1);

  // Alt alone, then Right and Enter: Help. Esc at the bar ends the menu; Alt or F10 end it too.
  Tap(kAlt);
  Tap(kRight);
  Tap(kEnter);
  EXPECT_EQ(Commands(), std::vector<int>{20});
  for (int end : {kEscape, kAlt, kF10}) {
    Tap(kAlt);
    ASSERT_EQ(host::MenuTrackingWindow(), window);
    Tap(end);
    EXPECT_EQ(host::MenuTrackingWindow(), nullptr) << end;
  }
  // Alt with another key between its press and release opens nothing; nor does the grayed item choose.
  host::KeyChanged(kAlt, true);
  Tap(kEnter);
  host::KeyChanged(kAlt, false);
  Drain();
  EXPECT_EQ(host::MenuTrackingWindow(), nullptr);
  Tap(kF10);
  Tap(kLeft);
  Tap(kEnter);
  EXPECT_EQ(Commands(), std::vector<int>{});
  EXPECT_EQ(Scene().barSelected, 2);
  // Losing the focus folds the menu.
  host::SetApplicationActive(false);
  EXPECT_EQ(host::MenuTrackingWindow(), nullptr);
  host::SetApplicationActive(true);

  // A letter two bar items share moves between them (wrapping) and opens nothing; Down opens the one selected.
  constexpr int kF = 0x21;
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(recent), "&Far");
  DrawMenuBar(window);
  Tap(kF10);
  for (int expected : {3, 0, 3}) {
    Tap(kF);
    s = Scene();
    EXPECT_EQ(s.barSelected, expected);
    EXPECT_TRUE(s.panels.empty());
  }
  Tap(kDown);
  s = Scene();
  ASSERT_EQ(s.panels.size(), 1u);
  EXPECT_EQ(s.panels[0].menu, recent);
  EXPECT_EQ(Commands(), std::vector<int>{});
}

TEST_F(MenuBarTest, TheClientAreaChangesByTheBarAndTheWindowHearsOfIt) {
  // Hiding the bar keeps the outer rectangle: the client area grows by the strip and the window is told.
  SetMenu(window, nullptr);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(Text(client), "0,0,640,499");
  Drain();
  ASSERT_EQ(Count(WM_SIZE), 1);
  ASSERT_EQ(Count(WM_MOVE), 1);
  for (const Seen& m : messages) {
    if (m.message == WM_SIZE) {
      EXPECT_EQ(m.lparam, MAKELPARAM(640, 499));
    }
    if (m.message == WM_MOVE) {
      EXPECT_EQ(m.lparam, MAKELPARAM(100 + kSide, 50 + kAbove - 19));
    }
  }
  host::WindowView view;
  ASSERT_TRUE(headless::FindWindowView(window, &view));
  EXPECT_EQ(view.menuBarHeight, 0);
  EXPECT_EQ(view.clientHeight, 499);
  messages.clear();
  SetMenu(window, bar);
  Drain();
  ASSERT_EQ(Count(WM_SIZE), 1);
  ASSERT_TRUE(headless::FindWindowView(window, &view));
  EXPECT_EQ(view.menuBarHeight, 19);
  EXPECT_EQ(view.clientHeight, 480);
  // A menu open on the bar folds when the bar goes.
  Tap(kF10);
  SetMenu(window, nullptr);
  EXPECT_EQ(host::MenuTrackingWindow(), nullptr);
}

TEST_F(MenuBarTest, TheHostLearnsThePlaceAndTheShapeInItsOwnTerms) {
  host::WindowView view;
  ASSERT_TRUE(headless::FindWindowView(window, &view));
  host::ViewPlacement p = host::PlacementOf(view);
  EXPECT_EQ(Text(RECT{p.left, p.top, p.width, p.height}), Text(RECT{100 + kSide, 50 + kAbove - 19, 640, 499}));
  EXPECT_EQ(p.stripHeight, 19);
  SetWindowPos(window, nullptr, -30, 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ASSERT_TRUE(headless::FindWindowView(window, &view));
  p = host::PlacementOf(view);
  EXPECT_EQ(p.left, -30 + kSide);
  EXPECT_EQ(p.top, 7 + kAbove - 19);

  // The region is in window coordinates: the caption's and frame's part falls away, the rest moves to the view.
  HRGN region = CreateRectRgn(0, 0, 650, 30);  // caption and the strip's first 6 rows
  HRGN dot = CreateRectRgn(10, 200, 20, 210);
  HRGN caption = CreateRectRgn(0, 0, 650, 20);
  HRGN edge = CreateRectRgn(0, 100, 3, 110);  // in the left frame alone
  CombineRgn(region, region, dot, RGN_OR);
  CombineRgn(region, region, caption, RGN_OR);
  CombineRgn(region, region, edge, RGN_OR);
  ASSERT_EQ(SetWindowRgn(window, region, TRUE), 1);
  ASSERT_TRUE(headless::FindWindowView(window, &view));
  ASSERT_TRUE(view.shaped);
  std::vector<std::string> rects;
  for (const RECT& r : host::ShapeInView(view)) rects.push_back(Text(r));
  EXPECT_EQ(rects, (std::vector<std::string>{"0,0,640,6", "5,176,15,186"}));
  // Without the bar the client area's top is the view's top.
  SetMenu(window, nullptr);
  ASSERT_TRUE(headless::FindWindowView(window, &view));
  rects.clear();
  for (const RECT& r : host::ShapeInView(view)) rects.push_back(Text(r));
  EXPECT_EQ(rects, (std::vector<std::string>{"0,0,640,6", "5,176,15,186"}));
  EXPECT_EQ(host::PlacementOf(view).top, 7 + kAbove - 19);
  ASSERT_EQ(SetWindowRgn(window, nullptr, TRUE), 1);
  ASSERT_TRUE(headless::FindWindowView(window, &view));
  EXPECT_FALSE(view.shaped);
  for (HRGN r : {region, dot, caption, edge}) DeleteObject(r);
}

namespace {

constexpr uint32_t kFace = 0xF0F0F0, kLit = 0x316AC5, kShadow = 0xA0A0A0, kDarkShadow = 0x696969, kWhite = 0xFFFFFF,
                   kBlack = 0x000000;

// A pixel counted from a rectangle's corner: negative offsets count from its right or bottom edge.
POINT Corner(const RECT& r, int dx, int dy) {
  return {(dx < 0 ? r.right : r.left) + dx, (dy < 0 ? r.bottom : r.top) + dy};
}

// The pixels of one colour inside a rectangle of a picture.
int PixelsOf(const headless::CapturedFrame& picture, const RECT& r, uint32_t rgb) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) n += picture.Rgb(x, y) == rgb;
  }
  return n;
}

}  // namespace

TEST_F(MenuBarTest, TheWindowPictureShowsTheMenu) {
  struct Spot {
    const char* name;
    POINT at;
    uint32_t rgb;
  };
  auto check = [this](const std::vector<Spot>& spots) {
    headless::CapturedFrame picture = headless::WindowPicture(window);
    ASSERT_EQ(picture.width * 10000 + picture.height, 640 * 10000 + 499);
    for (const Spot& spot : spots) EXPECT_EQ(picture.Rgb(spot.at.x, spot.at.y), spot.rgb) << spot.name;
  };
  host::MenuScene s = Scene();
  check({{"the strip's left column, top", {0, 0}, kFace},
         {"the strip's left column, bottom", {0, 18}, kFace},
         {"the strip's right end", {639, 18}, kFace},
         {"the client area, nothing presented yet", {0, 19}, kBlack},
         {"no underline while no key works the menu", Corner(s.bar[0].accessMark, 0, 0), kFace}});
  Click(5, 5);
  s = Scene();
  check({{"the lit bar item's left column", {0, 0}, kLit},
         {"no underline in a drop-down the pointer opened", Corner(s.panels[0].cells[0].accessMark, 0, 0), kFace}});
  host::EndMenuTracking(nullptr);
  Tap(kF10);
  Tap(kDown);
  s = Scene();
  const RECT recent = s.panels[0].cells[2].rect, panel = s.panels[0].rect, separator = s.panels[0].cells[1].rect;
  const int middle = (recent.top + recent.bottom) / 2;
  check({{"the lit bar item's underlined F", Corner(s.bar[0].accessMark, 0, 0), kWhite},
         {"the underline's last pixel", Corner(s.bar[0].accessMark, -1, 0), kWhite},
         {"the selected item's underlined O", Corner(s.panels[0].cells[0].accessMark, 0, 0), kWhite},
         {"the submenu arrow's tip", {recent.right - 7, middle}, kBlack},
         {"the submenu arrow's base", {recent.right - 10, middle - 3}, kBlack},
         {"beside the arrow", {recent.right - 11, middle}, kFace},
         {"the drop-down's last row, left", Corner(panel, 0, -1), kDarkShadow},
         {"the drop-down's last row, right", Corner(panel, -1, -1), kDarkShadow},
         {"the row above it", Corner(panel, 1, -2), kShadow},
         {"the drop-down's top-left", Corner(panel, 0, 0), kWhite},
         {"the separator's light line", {separator.left + 1, Middle(separator).y}, kWhite},
         {"the separator's dark line", {separator.right - 2, Middle(separator).y - 1}, kShadow},
         {"beside the separator", {separator.left, Middle(separator).y - 1}, kFace}});
  // Some ink in the last item's row, the selected item's shortcut in its light ink, and the grayed bar item's text
  // in gray alone.
  headless::CapturedFrame picture = headless::WindowPicture(window);
  EXPECT_GT(PixelsOf(picture, s.panels[0].cells[3].rect, kBlack), 10);
  RECT shortcut = s.panels[0].cells[0].rect;
  shortcut.left = panel.left + s.panels[0].shortcutX;
  EXPECT_GT(PixelsOf(picture, shortcut, kWhite), 10);
  EXPECT_GT(PixelsOf(picture, s.bar[2].rect, 0x808080), 10);
  EXPECT_EQ(PixelsOf(picture, s.bar[2].rect, kBlack), 0);
}

// Items appended grayed, disabled or checked: the state read back, the text's ink, a check mark in the left margin
// (the text in its place) and whether a click sends the command. Ink is that of the text and the mark unselected.
TEST_F(MenuBarTest, AppendedStateFlagsRuleTheLookAndTheChoice) {
  const struct { const char* text; UINT flags; uint32_t ink; bool commands; } cases[] = {
      {"Grayed", MF_GRAYED, 0x808080, false},
      {"Disabled", MF_DISABLED, kBlack, false},
      {"Checked", MF_CHECKED, kBlack, true},
      {"Both", MF_GRAYED | MF_CHECKED, 0x808080, false}};
  HMENU look = CreatePopupMenu();
  for (int i = 0; i < 4; ++i) AppendMenuA(look, cases[i].flags, 50 + i, cases[i].text);
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(look), "Look");
  const POINT lookItem = Middle(Scene().bar[3].rect);
  Click(lookItem.x, lookItem.y);
  const host::MenuPanel panel = Scene().panels.at(0);
  const headless::CapturedFrame picture = headless::WindowPicture(window);
  for (int i = 0; i < 4; ++i) {
    const auto& c = cases[i];
    const RECT& r = panel.cells[i].rect;
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE;
    ASSERT_TRUE(GetMenuItemInfoA(look, i, TRUE, &info));
    EXPECT_EQ(info.fState, c.flags) << c.text;
    // The mark is seven columns of three, alone in the 18-pixel margin.
    const int textX = panel.cells[i].textX, mark = c.flags & MF_CHECKED ? 21 : 0;
    EXPECT_EQ(textX, panel.rect.left + 2 + 18) << c.text;
    EXPECT_EQ(PixelsOf(picture, RECT{r.left, r.top, textX, r.bottom}, c.ink), mark) << c.text;
    EXPECT_GT(PixelsOf(picture, RECT{textX, r.top, r.right, r.bottom}, c.ink), 10) << c.text;
    host::EndMenuTracking(nullptr);
    Click(lookItem.x, lookItem.y);
    Click(Middle(r).x, Middle(r).y);
    EXPECT_EQ(Commands(), c.commands ? std::vector<int>{50 + i} : std::vector<int>{}) << c.text;
  }
  host::EndMenuTracking(nullptr);
}

// Three levels of submenu from a bar item near the middle: each opens on its parent's right (R) while it fits
// there, else on its left (L), and stays left once turned, though the third would fit right of the second, over
// the first.
TEST_F(MenuBarTest, ASubmenuWithoutRoomOnTheRightOpensOnTheLeft) {
  HMENU nest = CreatePopupMenu(), second = CreatePopupMenu(), third = CreatePopupMenu();
  AppendMenuA(third, MF_STRING, 60, "X");
  AppendMenuA(second, MF_POPUP, reinterpret_cast<UINT_PTR>(third), "In");
  AppendMenuA(nest, MF_POPUP, reinterpret_cast<UINT_PTR>(second), "Sub");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(nest), "Nest");
  std::vector<host::MenuPanel> p;
  auto open = [&](int viewWidth) {
    host::EndMenuTracking(nullptr);
    SetWindowPos(window, nullptr, 0, 0, viewWidth + 2 * kSide, 300, SWP_NOMOVE | SWP_NOZORDER);
    for (int key : {kF10, kLeft, kDown, kRight, kRight}) Tap(key);  // Nest > Sub > In
    p = Scene().panels;
    return p.size() == 3;
  };
  ASSERT_TRUE(open(640));
  const int right = p[0].rect.right - 2 + p[1].rect.right - p[1].rect.left;  // the second level's right edge
  ASSERT_GE(p[0].rect.left, p[1].rect.right - p[1].rect.left + p[2].rect.right - p[2].rect.left);
  const struct { int viewWidth; const char* sides; } cases[] = {{640, "RR"}, {right, "RL"}, {right - 1, "LL"}};
  for (const auto& c : cases) {
    ASSERT_TRUE(open(c.viewWidth)) << c.viewWidth;
    for (int k = 1; k <= 2; ++k) {
      const int width = p[k].rect.right - p[k].rect.left;
      EXPECT_EQ(p[k].rect.left, c.sides[k - 1] == 'R' ? p[k - 1].rect.right - 2 : p[k - 1].rect.left - width)
          << c.viewWidth << " " << k;
    }
  }
  host::EndMenuTracking(nullptr);
}

TEST_F(MenuBarTest, ADropDownTallerThanTheViewIsCutWithMarksAndScrolls) {
  HMENU tall = CreatePopupMenu();
  for (int i = 0; i < 40; ++i) AppendMenuA(tall, MF_STRING, 100 + i, ("Row " + std::to_string(i)).c_str());
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(tall), "&Tall");
  DrawMenuBar(window);
  Tap(kF10);
  Tap(kLeft);  // Tall, the last bar item
  Tap(kDown);
  host::MenuScene s = Scene();
  ASSERT_EQ(s.panels.size(), 1u);
  const host::MenuPanel* p = &s.panels[0];
  // Cut at the view's bottom: a mark row of 12 at either end (marked only where items lie hidden), the rows that
  // fit between.
  EXPECT_EQ(p->rect.bottom, 499);
  EXPECT_EQ(p->moreAbove.bottom, 0);
  EXPECT_EQ(Text(p->moreBelow), Text(RECT{p->rect.left + 2, 499 - 2 - 12, p->rect.right - 2, 499 - 2}));
  const int shown = (499 - 19 - 2 - 2 - 12 - 12) / 18;
  EXPECT_EQ(p->cells[0].rect.top, 19 + 2 + 12);
  EXPECT_TRUE(p->cells[shown - 1].rect.bottom > 0);
  EXPECT_EQ(p->cells[shown].rect.bottom, 0);
  headless::CapturedFrame picture = headless::WindowPicture(window);
  POINT mark = Middle(p->moreBelow);
  EXPECT_EQ(picture.Rgb(mark.x, mark.y), kBlack);
  EXPECT_EQ(picture.Rgb(mark.x, mark.y + 1), kBlack);  // a triangle pointing down: widest at its top

  // The keys reach the last row (Up from the first): the drop-down scrolls so that the selection shows, with a
  // mark above now.
  EXPECT_EQ(p->selected, 0);
  Tap(kUp);
  s = Scene();
  p = &s.panels[0];
  EXPECT_EQ(p->selected, 39);
  EXPECT_EQ(p->firstShown, 40 - shown);  // as many rows as fit, the selection at the bottom
  EXPECT_GT(p->cells[39].rect.bottom, 0);
  EXPECT_LE(p->rect.bottom, 499);
  EXPECT_EQ(p->moreAbove.bottom - p->moreAbove.top, 12);
  EXPECT_EQ(p->moreBelow.bottom, 0);
  picture = headless::WindowPicture(window);
  POINT lastRow = Corner(p->cells[39].rect, 0, 0);
  EXPECT_EQ(picture.Rgb(lastRow.x, lastRow.y), kLit);
  mark = Middle(p->moreAbove);  // a triangle pointing up: widest at its bottom
  EXPECT_EQ(picture.Rgb(mark.x - 3, mark.y + 1), kBlack);
  EXPECT_EQ(picture.Rgb(mark.x - 3, mark.y - 2), kFace);
  // Back down over the end: the first row shows again.
  Tap(kDown);
  s = Scene();
  EXPECT_EQ(s.panels[0].firstShown, 0);
  EXPECT_GT(s.panels[0].cells[0].rect.bottom, 0);
  // Down past the last row shown scrolls by one.
  for (int i = 0; i < shown; ++i) Tap(kDown);
  s = Scene();
  EXPECT_EQ(s.panels[0].selected, shown);
  EXPECT_EQ(s.panels[0].firstShown, 1);
  // Opened again, from the top. Presses on the lower mark scroll by one row each; the marks stay where they are.
  Tap(kEscape);
  Tap(kDown);
  s = Scene();
  ASSERT_EQ(s.panels[0].firstShown, 0);
  const POINT below = Middle(s.panels[0].moreBelow);
  Click(below.x, below.y);
  Click(below.x, below.y);
  s = Scene();
  ASSERT_EQ(s.panels.size(), 1u);
  EXPECT_EQ(s.panels[0].firstShown, 2);
  EXPECT_EQ(s.panels[0].cells[1].rect.bottom, 0);
  EXPECT_EQ(s.panels[0].cells[2].rect.top, 19 + 2 + 12);
  EXPECT_EQ(Middle(s.panels[0].moreBelow).y, below.y);
  EXPECT_EQ(s.panels[0].moreAbove.bottom, 19 + 2 + 12);
  const POINT above = Middle(s.panels[0].moreAbove);
  Click(above.x, above.y);  // back up by one
  EXPECT_EQ(Scene().panels[0].firstShown, 1);
  Tap(kEnter);  // nothing is selected after a scroll by the pointer
  EXPECT_EQ(Commands(), std::vector<int>{});

  // A nested drop-down taller than the view moves up to the view's top, over the bar, and is cut there.
  HMENU deep = CreatePopupMenu();
  for (int i = 0; i < 40; ++i) AppendMenuA(deep, MF_STRING, 200 + i, ("Deep " + std::to_string(i)).c_str());
  AppendMenuA(recent, MF_POPUP, reinterpret_cast<UINT_PTR>(deep), "Deep");
  host::EndMenuTracking(nullptr);
  for (int key : {kF10, kDown, kDown, kRight, kDown, kRight}) Tap(key);  // File > Recent > Deep
  s = Scene();
  ASSERT_EQ(s.panels.size(), 3u);
  EXPECT_EQ(s.panels[2].rect.top, 0);
  EXPECT_EQ(s.panels[2].rect.bottom, 499);
  EXPECT_GT(s.panels[2].moreBelow.bottom, 0);
}

TEST(MenuCanvasTest, FillsOnlyWhatLiesOnTheCanvas) {
  headless::Start();
  struct Case {
    RECT rect;
    int covered;  // pixels of the 8 x 6 canvas it covers
  } cases[] = {
      {{9, 0, 12, 6}, 0},   {{100, 2, 200, 3}, 0}, {{-5, 0, -1, 6}, 0},  {{0, -5, 8, -1}, 0},   {{0, 7, 8, 9}, 0},
      {{6, 1, 20, 3}, 4},   {{-3, 0, 2, 1}, 2},    {{3, -4, 5, 2}, 4},   {{0, 5, 8, 40}, 8},    {{5, 5, 2, 2}, 0},
      {{8, 0, 9, 6}, 0},    {{0, 6, 8, 7}, 0},     {{-1000000000, -1000000000, 1000000000, 1000000000}, 48},
  };
  for (const Case& c : cases) {
    host::MenuCanvas canvas(8, 6);
    canvas.Fill(RECT{0, 0, 8, 6}, 0x111111);
    canvas.Fill(c.rect, 0xABCDEF);
    host::MenuPicture picture = canvas.Take(RECT{0, 0, 8, 6});
    ASSERT_EQ(picture.pixels.size(), 48u);
    EXPECT_EQ(std::count(picture.pixels.begin(), picture.pixels.end(), 0xABCDEFu), c.covered) << Text(c.rect);
  }
}
