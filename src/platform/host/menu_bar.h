// What a host shows of a top-level window and the menu bar both hosts work alike. A window's view is its menu
// bar strip (when it has a bar) above its client area; view coordinates put (0, 0) at the view's top-left. The
// bar's items and the drop-downs of their submenus are laid out here in the system's UI font, the pointer and the
// keys move through them, and the item chosen reaches the window as WM_COMMAND. The menu is painted here too:
// hosts only place its pictures (the SDL host over its window, the headless host into a captured picture).
#pragma once
#include <cstdint>
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
  RECT rect{};           // empty while scrolled out of a drop-down cut by the view's bottom
  UINT id = 0;
  HMENU subMenu = nullptr;
  bool separator = false;
  bool grayed = false;    // drawn grey (and inert)
  bool disabled = false;  // inert: chooses and opens nothing
  bool checked = false;   // a check mark in the drop-down's left margin
  std::string text;      // Shift-JIS, without the '&' marks, up to a tab
  std::string shortcut;  // what follows a tab, shown on the right
  int textX = 0, textY = 0;      // where the text's cell begins
  char access = 0;       // the access letter marked by '&', in capitals (0: none)
  RECT accessMark{};     // the line under it
  bool Opens() const { return subMenu != nullptr && !disabled; }
  bool Commands() const { return !separator && !disabled && subMenu == nullptr; }
};

// An open drop-down: its frame and items, and the item selected (-1: none). One taller than the view is cut:
// it shows the items from `firstShown` on, with a mark row where items lie hidden above or below.
struct MenuPanel {
  HMENU menu = nullptr;
  RECT rect{};
  std::vector<MenuCell> cells;
  int selected = -1;
  int shortcutX = 0;  // where shortcuts begin, from the panel's left
  int firstShown = 0;
  RECT moreAbove{}, moreBelow{};  // the marks (empty: nothing hidden there)
};

// What a window's menu bar shows now.
struct MenuScene {
  int width = 0, stripHeight = 0;  // 0 when the window shows no bar; the strip holds every row of the bar
  int height = 0;                  // the view's: drop-downs are cut at its bottom
  std::vector<MenuCell> bar;       // every item, wrapped to further rows where the width ends
  int barSelected = -1;            // the bar item highlighted (-1: none)
  bool barOpen = false;            // its drop-down is open (panels[0])
  bool showAccess = false;         // the keyboard works the menu: access letters are underlined
  std::vector<MenuPanel> panels;   // outermost first
};
MenuScene MenuSceneOf(HWND window);
// The rows a menu bar takes at a width (1 at least): the window code makes room for them.
int MenuBarRows(HMENU menu, int width);

// A picture of part of the view, X8R8G8B8 rows from the top, `place` in view coordinates.
struct MenuPicture {
  RECT place{};
  std::vector<uint32_t> pixels;
  int Width() const { return place.right - place.left; }
  int Height() const { return place.bottom - place.top; }
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * Width() + x]; }  // picture coordinates
};
// What the menu shows: the strip first, then each open drop-down (none without a bar).
std::vector<MenuPicture> PaintMenu(const MenuScene& scene);

// A 32-bit picture painted through GDI: rectangles clipped to it, texts in the menu font.
class MenuCanvas {
 public:
  MenuCanvas(int width, int height);
  ~MenuCanvas();
  MenuCanvas(const MenuCanvas&) = delete;
  MenuCanvas& operator=(const MenuCanvas&) = delete;
  void Fill(RECT r, uint32_t rgb);
  void Text(int x, int y, const std::string& text, COLORREF color);
  // The arrow of an item that opens a submenu: a small triangle pointing right, centred on (x, y).
  void Arrow(int x, int y, uint32_t rgb);
  // The mark of a checked item: a tick 7 pixels wide, centred on (x, y).
  void Check(int x, int y, uint32_t rgb);
  // A mark of hidden items: a small triangle pointing up or down, centred on (x, y).
  void Pointer(int x, int y, bool up, uint32_t rgb);
  MenuPicture Take(RECT place);  // the pixels, placed (their size is the canvas's)

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HFONT font_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr, oldFont_ = nullptr;
  uint32_t* pixels_ = nullptr;
};

// The font menu texts are measured and drawn in; the caller deletes it.
HFONT CreateMenuFont();

// The menu being worked (null: none), its start by the keyboard (WM_SYSCOMMAND/SC_KEYMENU: the first bar item
// highlighted, or with an access letter the drop-down of the bar item it marks) and its end (a null window ends
// any). While a menu is worked it holds the keyboard: keys held when it begins read as released.
HWND MenuTrackingWindow();
void BeginKeyboardMenu(HWND window, char letter = 0);
void EndMenuTracking(HWND window);
// A key before the program's key state sees it: true when the menu takes it (every key while a menu is worked;
// after, the repeats and release of a key whose press it took or that was held as it began), so neither the key
// state nor any message hears of it.
bool MenuTakesKey(int code, BYTE virtualKey, bool down);
// Whether the latest key press went to the menu: the text that key types goes there too, even when the press
// closed the menu.
bool MenuTookLastPress();

}  // namespace host
