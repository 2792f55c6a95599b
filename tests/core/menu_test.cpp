// Menus, cursor and window shape on the headless host: the item table filled from a real menu, commands chosen
// by id, the table's limits, the cursor rules and the shape recorded from a picture.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/core_test_support.h"
#include "core/menu_cursor.h"
#include "core/message_pump.h"
#include "platform/host/headless/headless_input.h"
#include "platform/win32/user.h"
#include "support/picture_writers.h"

namespace {

std::vector<std::string> namesSeen;
void RecordName(const char* name, int id) { namesSeen.push_back(std::string(name) + "#" + std::to_string(id)); }

// A window-mode library whose menu bar holds File (Open, a separator, Quit) and Help.
class MenuTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    SystemState.noGraphics = 1;
    SystemState.windowModeFlag = 1;
    ASSERT_EQ(EnableMainMenu(1), 0);
    bar = SystemState.menuHandle;
    file = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, 10, "Open");
    AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(file, MF_STRING, 11, "Quit");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "File");
    AppendMenuA(bar, MF_STRING, 20, "Help");
  }
  void Start() {
    ASSERT_EQ(StartupLibrary(), 0);
    window = GetLibraryWindowHandle();
  }
  void TearDown() override {
    ShutdownLibrary();
    namesSeen.clear();
    CoreTest::TearDown();
  }
  std::vector<std::string> Table() {
    std::vector<std::string> rows;
    for (int i = 0; i < SystemState.menuItemCount; ++i) {
      const MenuItemEntry& e = SystemState.menuItems[i];
      rows.push_back(std::string(e.menu == bar ? "bar" : e.menu == file ? "file" : "?") + ":" +
                     std::to_string(e.position) + ":" + std::to_string(e.id) + ":" + e.name);
    }
    return rows;
  }
  HMENU bar = nullptr, file = nullptr;
  HWND window = nullptr;
};

}  // namespace

TEST_F(MenuTest, CreationCollectsItemsDepthFirstAndCommandsCarryTheirNames) {
  Start();
  EXPECT_EQ(Table(), (std::vector<std::string>{"bar:0:0:File", "file:0:10:Open", "file:2:11:Quit", "bar:1:20:Help"}));
  PumpWindowMessages();
  host::WindowView view;
  ASSERT_TRUE(headless::FindWindowView(window, &view));
  // The menu bar sits above a client area of the screen's size.
  EXPECT_EQ(view.menu, bar);
  EXPECT_EQ(view.clientWidth * 10000 + view.clientHeight, 640 * 10000 + 480);

  SystemState.menuNameCallback = RecordName;
  EXPECT_TRUE(headless::ChooseMenuItem(window, 11));
  EXPECT_TRUE(headless::ChooseMenuItem(window, 20));
  EXPECT_FALSE(headless::ChooseMenuItem(window, 99));  // no such item
  EXPECT_FALSE(headless::ChooseMenuItem(window, 0));   // File opens its drop-down
  PumpWindowMessages();
  EXPECT_EQ(namesSeen, (std::vector<std::string>{"Quit#11", "Help#20"}));
  EXPECT_EQ(SystemState.pendingMenuCommandCount, 2);

  char name[128];
  EXPECT_EQ(GetMenuItemNameById(10, name), 0);
  EXPECT_STREQ(name, "Open");
  EXPECT_EQ(GetMenuItemNameById(12, name), -1);
}

TEST_F(MenuTest, TreeSearchFindsByTextOrId) {
  Start();
  struct Case {
    const char* name;
    int id;
    int result;
    HMENU menu;
    int position;
  } cases[] = {
      {"Quit", 0, 1, file, 2}, {nullptr, 20, 1, bar, 1}, {nullptr, 10, 1, file, 0},
      {"Qui", 0, 0, nullptr, -1}, {nullptr, 99, 0, nullptr, -1},
  };
  HMENU menu = nullptr;
  for (const Case& c : cases) {
    menu = nullptr;
    int position = -1;
    EXPECT_EQ(FindMenuItemInTree(c.name, c.id, bar, &menu, &position), c.result) << (c.name ? c.name : "id");
    EXPECT_EQ(menu, c.menu);
    EXPECT_EQ(position, c.position);
  }
  EXPECT_EQ(FindMenuItemInTree("Quit", 0, reinterpret_cast<HMENU>(&namesSeen), nullptr, nullptr), -1);
  // Submenus: the existing one, or a new one attached once.
  EXPECT_EQ(GetOrCreateSubMenu("File", 0), file);
  HMENU help = GetOrCreateSubMenu(nullptr, 20);
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(GetOrCreateSubMenu("Help", 0), help);
  EXPECT_EQ(FindMenuItemInTree(nullptr, 20, bar, &menu, nullptr), 1);
  EXPECT_EQ(GetOrCreateSubMenu("Nothing", 0), nullptr);
  EnableMainMenu(0);
  EXPECT_EQ(FindMenuItemInTree("Quit", 0, bar, nullptr, nullptr), -1);
  char name[128];
  EXPECT_EQ(GetMenuItemNameById(10, name), -1);
  EXPECT_EQ(SystemState.menuItemCount, 0);
}

TEST_F(MenuTest, TheTableHoldsAtMost128Items) {
  for (int i = 0; i < 130; ++i) AppendMenuA(file, MF_STRING, 100 + i, ("Item " + std::to_string(i)).c_str());
  Start();
  // File, Open, Quit and the first 125 new items; the rest and Help have no entry.
  ASSERT_EQ(SystemState.menuItemCount, 128);
  EXPECT_STREQ(SystemState.menuItems[127].name, "Item 124");
  EXPECT_EQ(FindMenuTableEntry("Help", 0), nullptr);
  EXPECT_EQ(AddMenuTableEntry(bar, 9, 9, "more"), -1);
  EXPECT_EQ(SystemState.menuItemCount, 128);
}

TEST_F(MenuTest, RemovingAndFreeIds) {
  Start();
  // Removing the last entry lowers the count; removing the first moves every later one down.
  EXPECT_EQ(RemoveMenuTableEntry("Help", 0), 0);
  EXPECT_EQ(Table(), (std::vector<std::string>{"bar:0:0:File", "file:0:10:Open", "file:2:11:Quit"}));
  EXPECT_EQ(RemoveMenuTableEntry(nullptr, 0), 0);
  EXPECT_EQ(Table(), (std::vector<std::string>{"file:0:10:Open", "file:2:11:Quit"}));
  EXPECT_EQ(RemoveMenuTableEntry("Help", 0), -1);

  struct Case {
    std::vector<int> ids;
    int expected;
  } cases[] = {{{}, 0}, {{2, 3}, 4}, {{0, 1}, 2}, {{5, 9}, 2}, {{3, 4, 5}, 6}, {{65535}, 1}};
  for (const Case& c : cases) {
    SystemState.menuItemCount = 0;
    for (int id : c.ids) AddMenuTableEntry(bar, 0, id, "x");
    EXPECT_EQ(FindFreeMenuItemId(), c.expected) << c.ids.size();
  }
}

TEST_F(MenuTest, CursorFollowsRequestMenuAndScale) {
  Start();
  PumpWindowMessages();
  // The shown menu bar keeps the cursor shown.
  EXPECT_EQ(SetCursorVisible(0), 0);
  EXPECT_TRUE(headless::IsCursorShown());
  ShowMainMenu(0);
  SetCursorVisible(0);
  EXPECT_FALSE(headless::IsCursorShown());
  EXPECT_EQ(GetMenu(window), nullptr);
  SetCursorVisible(1);
  EXPECT_TRUE(headless::IsCursorShown());

  SystemState.windowScale = 2.0;
  RECT client = SystemState.clientRect;
  struct Case {
    int dx, dy, x, y;
  } cases[] = {{101, 7, 50, 3}, {-3, -1, -1, 0}, {1279, 959, 639, 479}};
  for (const Case& c : cases) {
    SetCursorPos(client.left + c.dx, client.top + c.dy);
    int x = -9, y = -9;
    EXPECT_EQ(GetCursorPoint(&x, &y), 0);
    EXPECT_EQ(x, c.x);
    EXPECT_EQ(y, c.y);
  }
  EXPECT_EQ(GetCursorPoint(nullptr, nullptr), 0);
}

namespace {

// A 24-bit picture from rows of (blue, green, red) byte triples, top row first.
void WriteBmp(const std::string& path, int width, const std::vector<std::vector<int>>& rows) {
  picture_writers::BmpFile f(width, -static_cast<int>(rows.size()), 24);
  std::vector<picture_writers::Bytes> packed;
  for (const auto& row : rows) packed.emplace_back(row.begin(), row.end());
  f.data = picture_writers::StoreRows(packed, false);
  picture_writers::Bytes bytes = picture_writers::Build(f);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::vector<std::string> Shape(HWND window) {
  host::WindowView view;
  EXPECT_TRUE(headless::FindWindowView(window, &view));
  std::vector<std::string> rects;
  if (!view.shaped) return {"unshaped"};
  for (const RECT& r : view.shape) {
    rects.push_back(std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
                    std::to_string(r.bottom));
  }
  return rects;
}

}  // namespace

TEST_F(MenuTest, WindowShapeIsRecordedFromThePicture) {
  Start();
  // Pixel bytes as stored (blue, green, red): only all-zero pixels are outside.
  WriteBmp("shape.bmp", 5, {{0, 0, 0, 0x12, 0x34, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0},
                            {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5},
                            {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                            {9, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 9}});
  EXPECT_EQ(SetWindowShapeFromBitmap("shape.bmp"), 0);
  EXPECT_EQ(Shape(window), (std::vector<std::string>{"1,0,2,1", "3,0,4,1", "0,1,5,2", "0,3,1,4", "2,3,3,4",
                                                      "4,3,5,4"}));
  // A full row is one rectangle; a picture that cannot be loaded keeps the shape.
  WriteBmp("row.bmp", 3, {{7, 7, 7, 7, 7, 7, 7, 7, 7}});
  EXPECT_EQ(SetWindowShapeFromBitmap("row.bmp"), 0);
  EXPECT_EQ(Shape(window), (std::vector<std::string>{"0,0,3,1"}));
  EXPECT_EQ(SetWindowShapeFromBitmap("missing.bmp"), -1);
  EXPECT_EQ(Shape(window), (std::vector<std::string>{"0,0,3,1"}));
  ASSERT_NE(SystemState.windowShapeRegion, nullptr);
  // The window's copy stays when the library lets go of its own region.
  EXPECT_EQ(SetWindowShapeFromBitmap(nullptr), 0);
  EXPECT_EQ(SystemState.windowShapeRegion, nullptr);
  EXPECT_EQ(Shape(window), (std::vector<std::string>{"0,0,3,1"}));
}

TEST_F(MenuTest, HidingTheBarFitsTheWindowBackToTheScreenSize) {
  Start();
  PumpWindowMessages();
  RECT shown{};
  GetWindowRect(window, &shown);
  struct Case {
    int show;
    int bar;  // the strip the host shows
  } cases[] = {{0, 0}, {1, 19}, {0, 0}};
  for (const Case& c : cases) {
    ShowMainMenu(c.show);
    PumpWindowMessages();
    RECT client{}, outer{};
    GetClientRect(window, &client);
    GetWindowRect(window, &outer);
    EXPECT_EQ(client.right * 10000 + client.bottom, 640 * 10000 + 480) << c.show;
    EXPECT_EQ(outer.bottom - outer.top, shown.bottom - shown.top - 19 + c.bar) << c.show;
    host::WindowView view;
    ASSERT_TRUE(headless::FindWindowView(window, &view));
    EXPECT_EQ(view.menuBarHeight, c.bar);
    EXPECT_EQ(view.clientHeight, 480);
    // The library's client rectangle is where the client area is on the screen.
    POINT corner{0, 0};
    ClientToScreen(window, &corner);
    EXPECT_EQ(SystemState.clientRect.top, corner.y) << c.show;
    EXPECT_EQ(SystemState.clientRect.bottom - SystemState.clientRect.top, 480);
  }
}

TEST_F(MenuTest, FullScreenShowsTheBarOnlyWhileThePointerIsNearTheTop) {
  SystemState.windowModeFlag = 0;
  Start();
  PumpWindowMessages();
  struct Case {
    int y;    // the pointer in the view
    int bar;  // the strip the host shows then
  } cases[] = {{0, 19}, {300, 0}, {59, 19}, {60, 0}, {10, 19}};
  // The window is at the screen's corner: with or without the bar, the view's row y is the screen's row y.
  for (const Case& c : cases) {
    headless::MovePointer(window, 320, c.y);
    PumpWindowMessages();
    PumpWindowMessages();
    host::WindowView view;
    ASSERT_TRUE(headless::FindWindowView(window, &view));
    EXPECT_EQ(view.menuBarHeight, c.bar) << c.y;
    EXPECT_EQ(view.clientWidth * 10000 + view.clientHeight, 640 * 10000 + 480) << c.y;
  }
}
