// The menu bar as people work it in a started library: while a menu is open its keys reach only the menu (never
// QueryKeyDown, the key state or the input-character ring), access letters, the wrapped second row and a
// drop-down taller than the window.
#include <map>
#include <sstream>

#include "input/input_test_support.h"
#include "platform/host/input.h"
#include "platform/host/menu_bar.h"
#include "platform/win32/keyboard.h"

namespace {

std::vector<int> commandsSeen;
void RecordCommand(int id) { commandsSeen.push_back(id); }

// DirectInput key codes by the names the scripts use; a lower-case letter is typed too, as a real keyboard does.
const std::map<std::string, int> kKeys = {
    {"Esc", 0x01},  {"Enter", 0x1C}, {"Alt", 0x38},   {"Space", 0x39}, {"F10", 0x44}, {"Up", 0xC8},
    {"Left", 0xCB}, {"Right", 0xCD}, {"Down", 0xD0},  {"a", 0x1E},     {"f", 0x21},   {"h", 0x23},
    {"l", 0x26},    {"m", 0x32},     {"o", 0x18},     {"q", 0x10},     {"s", 0x1F},   {"x", 0x2D},
    {"z", 0x2C},
};
constexpr int kTallItems = 40;  // Zed's drop-down: 40 rows of 18 in a 499-high view

// A window-mode library whose bar holds File (Open, Save, Select, Submenu > One and Two, "&&Literal", a
// double-byte item marked with '&'), Help (a command), seven long items and Zed (a tall drop-down, ids 100 on),
// which no longer fit one row of 640.
class MenuKeysTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    SystemState.noGraphics = 1;
    SystemState.windowModeFlag = 1;
    ASSERT_EQ(EnableMainMenu(1), 0);
    HMENU bar = SystemState.menuHandle, file = CreatePopupMenu(), sub = CreatePopupMenu(), tall = CreatePopupMenu();
    AppendMenuA(sub, MF_STRING, 30, "&One");
    AppendMenuA(sub, MF_STRING, 31, "&Two");
    AppendMenuA(file, MF_STRING, 10, "&Open");
    AppendMenuA(file, MF_STRING, 11, "&Save");
    AppendMenuA(file, MF_STRING, 12, "&Select");
    AppendMenuA(file, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "Sub&menu");
    AppendMenuA(file, MF_STRING, 13, "&&Literal");
    AppendMenuA(file, MF_STRING, 14, "&\x83\x41");  // a double-byte character whose second byte is 'A'
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    AppendMenuA(bar, MF_STRING, 20, "&Help");
    for (int i = 1; i <= 7; ++i) AppendMenuA(bar, MF_STRING, 40 + i, ("A long bar item " + std::to_string(i)).c_str());
    for (int i = 0; i < kTallItems; ++i) AppendMenuA(tall, MF_STRING, 100 + i, ("Row " + std::to_string(i)).c_str());
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(tall), "&Zed");
    SystemState.menuCommandCallback = RecordCommand;
    StartLibrary();
    window = GetLibraryWindowHandle();
    Pump();
  }
  void TearDown() override {
    commandsSeen.clear();
    InputTest::TearDown();
  }
  bool MenuOpen() const { return host::MenuTrackingWindow() == window; }
  std::string Ring() {
    std::string text;
    unsigned char bytes[2];
    while (int n = TakeInputChar(bytes, 1)) text.append(reinterpret_cast<char*>(bytes), n);
    return text;
  }
  void Key(int code, bool down) {
    down ? headless::PressKey(code) : headless::ReleaseKey(code);
    Pump(4);
  }
  void Click(POINT at) {
    headless::PressPointer(window, at.x, at.y);
    headless::ReleasePointer(window, at.x, at.y);
    Pump(4);
  }
  static POINT Middle(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
  // One step of a script: "Name" taps a key, "+Name" and "-Name" press and release it, "Alt+x" taps x with Alt
  // held, "@Text" clicks the bar item of that text, "#n" clicks item n of the deepest drop-down, "Away" is the focus
  // lost and back (every key let go).
  void Step(const std::string& step, std::vector<int>& pressed) {
    host::MenuScene scene = headless::MenuSceneOf(window);
    if (step[0] == '@') {
      for (const host::MenuCell& cell : scene.bar) {
        if (cell.text == step.substr(1)) return Click(Middle(cell.rect));
      }
      FAIL() << "no bar item " << step;
    }
    if (step == "Away") {
      host::ReleaseAllKeys();
      return Pump(4);
    }
    if (step[0] == '#') {
      ASSERT_FALSE(scene.panels.empty()) << step;
      return Click(Middle(scene.panels.back().cells.at(std::stoul(step.substr(1))).rect));
    }
    if (step.rfind("Alt+", 0) == 0) {
      Key(kKeys.at("Alt"), true);
      Step(step.substr(4), pressed);
      Key(kKeys.at("Alt"), false);
      return;
    }
    const bool press = step[0] == '+', release = step[0] == '-';
    const std::string name = press || release ? step.substr(1) : step;
    const int code = kKeys.at(name);
    pressed.push_back(code);
    if (!release) {
      headless::PressKey(code);
      if (name.size() == 1) headless::TypeText(name);
      Pump(4);
    }
    if (!press) Key(code, false);
  }
  HWND window = nullptr;
};

struct MenuCase {
  const char* name;
  const char* script;
  std::vector<int> commands;  // chosen, in order
  bool openAfter;             // a menu is still open at the end
  std::vector<int> downAfter;  // the keys QueryKeyDown reads down at the end
  const char* ring;           // the input-character ring at the end
};

const MenuCase kMenuCases[] = {
    {"keys reach the program while no menu is open", "+Space x", {}, false, {0x39}, "x"},
    {"arrows, Enter and Esc work the menu alone", "F10 Down Down Up Esc Right Enter", {20}, false, {}, ""},
    {"a key held as the menu opens reads released", "+Space F10 Esc", {}, false, {}, ""},
    {"its repeats after the menu stay away", "+Space F10 Esc +Space +Space", {}, false, {}, ""},
    {"until it is pressed again", "+Space F10 Esc +Space -Space +Space", {}, false, {0x39}, ""},
    {"nor do the characters of its repeats", "+x F10 Esc +x", {}, false, {}, "x"},
    {"or the focus went away and came back", "+Space F10 Esc Away +Space", {}, false, {0x39}, ""},
    {"a click opens the menu over a held key", "+Space @File Down Esc Esc", {}, false, {}, ""},
    {"Enter held after choosing stays away from the program", "F10 Down +Enter +Enter", {10}, false, {}, ""},
    {"a key pressed in the menu is taken until let go", "F10 +Right Esc", {}, false, {}, ""},
    {"Alt alone puts the bar in the keys' hands, and again takes it back", "Alt Down Alt z", {}, false, {}, "z"},
    {"Alt with an access letter opens its drop-down", "Alt+f", {}, true, {}, ""},
    {"the drop-down opens on its first item", "Alt+f Enter", {10}, false, {}, ""},
    {"Alt with a bar command's letter chooses it", "Alt+h", {20}, false, {}, ""},
    {"Alt with a letter of no item opens nothing and types nothing", "Alt+q", {}, false, {}, ""},
    {"a letter unique in the drop-down chooses at once", "Alt+f o", {10}, false, {}, ""},
    {"a shared letter selects the next item with it", "Alt+f s Enter", {11}, false, {}, ""},
    {"and the next again", "Alt+f s s Enter", {12}, false, {}, ""},
    {"and wraps among them", "Alt+f s s s Enter", {11}, false, {}, ""},
    {"a letter opens a submenu and chooses in it", "Alt+f m o", {30}, false, {}, ""},
    {"Enter opens a submenu on its first item", "Alt+f Down Down Down Enter Enter", {30}, false, {}, ""},
    {"Left and Right open the next drop-down on its first item", "Alt+z Down Right Left Enter", {100}, false, {}, ""},
    {"a literal '&' and a double-byte character mark no letter", "Alt+f l a", {}, true, {}, ""},
    {"a letter works on the bar", "F10 z Enter", {100}, false, {}, ""},
    {"the wrapped row is reached by the arrows", "F10 Left Down Enter", {100}, false, {}, ""},
    {"and by a click", "@Zed #0", {100}, false, {}, ""},
    {"the tall drop-down's last item", "@Zed Up Enter", {100 + kTallItems - 1}, false, {}, ""},
    {"all the way down by keys", "Alt+z Up Up Down Down Enter", {100}, false, {}, ""},
};

}  // namespace

TEST_F(MenuKeysTest, AnOpenMenuTakesItsKeysFromTheProgram) {
  // The bar wraps: Zed begins the second row, and the client area is still 640 x 480 under both rows.
  host::MenuScene scene = headless::MenuSceneOf(window);
  ASSERT_EQ(scene.bar.size(), 10u);
  EXPECT_EQ(scene.bar.back().rect.top, 19);
  EXPECT_EQ(scene.stripHeight, 38);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right * 10000 + client.bottom, 640 * 10000 + 480);

  for (const MenuCase& c : kMenuCases) {
    SCOPED_TRACE(c.name);
    commandsSeen.clear();
    std::vector<int> pressed;
    std::istringstream script(c.script);
    for (std::string step; script >> step;) {
      Step(step, pressed);
      if (!MenuOpen()) continue;
      // While the menu is open no key it took reads down, through DirectInput or the key state.
      BYTE state[256];
      ASSERT_TRUE(GetKeyboardState(state));
      for (int code : pressed) {
        EXPECT_EQ(QueryKeyDown(code), 0) << step << " " << std::hex << code;
        EXPECT_EQ(state[host::VirtualKeyOfKeyCode(code)] & 0x80, 0) << step << " " << std::hex << code;
      }
    }
    EXPECT_EQ(commandsSeen, c.commands);
    EXPECT_EQ(MenuOpen(), c.openAfter);
    std::vector<int> down;
    for (const auto& [name, code] : kKeys) {
      if (QueryKeyDown(code)) down.push_back(code);
    }
    EXPECT_EQ(down, c.downAfter);
    EXPECT_EQ(Ring(), c.ring);
    // Everything let go and folded for the next case.
    host::EndMenuTracking(nullptr);
    for (int code : pressed) Key(code, false);
    Ring();
  }
}
