// What a host shows of a top-level window and the menu bar both hosts work alike. A window's view is its menu
// bar strip (when it has a bar) above its client area; view coordinates put (0, 0) at the view's top-left. The
// bar's items and the drop-downs of their submenus are laid out here in the system's UI font, the pointer and the
// keys move through them, and the item chosen reaches the window as WM_COMMAND. The SDL host draws the scene;
// the headless host draws nothing but feeds its scripted pointer and keys through the same calls.
#pragma once
#include <string>
#include <vector>

#include "platform/host/host.h"

namespace host {

// Where a window's view lies on the screen and how large it is.
struct ViewPlacement {
  int left = 0, top = 0;      // the view's top-left corner in screen coordinates
  int width = 0, height = 0;  // the strip and the client area below it
  int stripHeight = 0;
};
ViewPlacement PlacementOf(const WindowView& view);
// The window's shape in view coordinates (the parts of the region over the caption and frame fall outside).
std::vector<RECT> ShapeInView(const WindowView& view);

// One item of the bar or of a drop-down, in view coordinates.
struct MenuCell {
  RECT rect{};
  UINT id = 0;
  HMENU subMenu = nullptr;
  bool separator = false;
  bool grayed = false;
  std::string text;      // Shift-JIS, without the '&' marks, up to a tab
  std::string shortcut;  // what follows a tab, shown on the right
  int textX = 0, textY = 0;      // where the text's cell begins
  bool Opens() const { return subMenu != nullptr && !grayed; }
  bool Commands() const { return !separator && !grayed && subMenu == nullptr; }
};

// An open drop-down: its frame and items, and the item selected (-1: none).
struct MenuPanel {
  HMENU menu = nullptr;
  RECT rect{};
  std::vector<MenuCell> cells;
  int selected = -1;
  int shortcutX = 0;  // where shortcuts begin, from the panel's left
};

// What a window's menu bar shows now.
struct MenuScene {
  int width = 0, stripHeight = 0;  // 0 when the window shows no bar
  std::vector<MenuCell> bar;       // the items that fit on the strip
  int barSelected = -1;            // the bar item highlighted (-1: none)
  bool barOpen = false;            // its drop-down is open (panels[0])
  std::vector<MenuPanel> panels;   // outermost first
};
MenuScene MenuSceneOf(HWND window);

// The font menu texts are measured and drawn in; the caller deletes it.
HFONT CreateMenuFont();

// The menu being worked (null: none), its start by the keyboard (WM_SYSCOMMAND/SC_KEYMENU), and its end
// (a null window ends any).
HWND MenuTrackingWindow();
void BeginKeyboardMenu(HWND window);
void EndMenuTracking(HWND window);
// A key while a menu is worked: true when the menu took it, so no key message is posted for it.
bool MenuTakesKey(int code, BYTE virtualKey, bool down);

}  // namespace host
