// The menu bar as both hosts work it: the strip's and drop-downs' layout in the UI font, the pointer and keys
// moving through them, and WM_COMMAND for the item chosen. The tracking lives in the platform's record; every
// change of what the menu shows is told to the host.
#include "platform/host/menu_bar.h"

#include <algorithm>

#include "platform/host/input.h"
#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/win32/gdi.h"
#include "platform/win32/gdi_text.h"
#include "platform/win32/user.h"

namespace host {
namespace {

constexpr int kFontHeight = 12;
constexpr int kBarPad = 7;        // room left and right of a bar item's text
constexpr int kBorder = 2;        // a drop-down's frame
constexpr int kRowHeight = 18;
constexpr int kSeparatorHeight = 8;
constexpr int kTextLeft = 18;     // room for a check mark
constexpr int kTextRight = 18;    // room for the arrow of a submenu
constexpr int kShortcutGap = 16;

// Text widths in the menu font, through a memory context made for one layout.
class Measurer {
 public:
  Measurer() : dc_(CreateCompatibleDC(nullptr)), font_(CreateMenuFont()) {
    if (dc_ && font_) old_ = SelectObject(dc_, font_);
    TEXTMETRICA metrics{};
    if (dc_ && GetTextMetricsA(dc_, &metrics)) height_ = metrics.tmHeight;
  }
  ~Measurer() {
    if (dc_ && old_) SelectObject(dc_, old_);
    if (font_) DeleteObject(font_);
    if (dc_) DeleteDC(dc_);
  }
  Measurer(const Measurer&) = delete;
  Measurer& operator=(const Measurer&) = delete;
  int Width(const std::string& text) const {
    SIZE size{};
    if (!dc_ || !GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &size)) return 0;
    return size.cx;
  }
  int Height() const { return height_; }

 private:
  HDC dc_;
  HFONT font_;
  HGDIOBJ old_ = nullptr;
  int height_ = kFontHeight;
};

// An item's text as shown: '&' marks the next character (a doubled one stands for itself), a tab begins the
// shortcut shown on the right. Neither byte can be the second byte of a Shift-JIS character.
void SplitText(const std::string& raw, MenuCell& cell) {
  std::string* out = &cell.text;
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '&') {
      if (i + 1 < raw.size() && raw[i + 1] == '&') out->push_back(raw[++i]);
      continue;
    }
    if (c == '\t' && out == &cell.text) {
      out = &cell.shortcut;
      continue;
    }
    out->push_back(c);
  }
}

std::vector<MenuCell> ReadItems(HMENU menu) {
  std::vector<MenuCell> cells;
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_TYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) continue;
    std::vector<char> text(info.cch + 1u, 0);
    info.dwTypeData = text.data();
    info.cch = static_cast<UINT>(text.size());
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) continue;
    MenuCell cell;
    cell.id = info.wID;
    cell.subMenu = info.hSubMenu;
    cell.separator = (info.fType & MFT_SEPARATOR) != 0;
    cell.grayed = (info.fState & MFS_GRAYED) != 0;
    if (!cell.separator) SplitText(text.data(), cell);
    cells.push_back(cell);
  }
  return cells;
}

// The bar's items from the left; separators take no room and items that begin beyond the width are left out.
std::vector<MenuCell> LayOutBar(HMENU menu, int width, int stripHeight, const Measurer& m) {
  std::vector<MenuCell> bar;
  int x = 0;
  for (MenuCell& cell : ReadItems(menu)) {
    if (cell.separator) continue;
    if (x >= width) break;
    int w = m.Width(cell.text) + 2 * kBarPad;
    cell.rect = {x, 0, x + w, stripHeight};
    cell.textX = x + kBarPad;
    cell.textY = (stripHeight - m.Height()) / 2;
    bar.push_back(cell);
    x += w;
  }
  return bar;
}

// A drop-down at (left, top), moved left to stay inside the view's width where it can.
MenuPanel LayOutPanel(HMENU menu, int left, int top, int viewWidth, const Measurer& m) {
  MenuPanel panel;
  panel.menu = menu;
  panel.cells = ReadItems(menu);
  int textWidth = 0, shortcutWidth = 0;
  for (const MenuCell& cell : panel.cells) {
    textWidth = std::max(textWidth, m.Width(cell.text));
    shortcutWidth = std::max(shortcutWidth, m.Width(cell.shortcut));
  }
  int inner = kTextLeft + textWidth + (shortcutWidth > 0 ? kShortcutGap + shortcutWidth : 0) + kTextRight;
  int width = inner + 2 * kBorder;
  if (left + width > viewWidth) left = std::max(0, viewWidth - width);
  panel.shortcutX = kBorder + kTextLeft + textWidth + kShortcutGap;
  int y = top + kBorder;
  for (MenuCell& cell : panel.cells) {
    int h = cell.separator ? kSeparatorHeight : kRowHeight;
    cell.rect = {left + kBorder, y, left + kBorder + inner, y + h};
    cell.textX = left + kBorder + kTextLeft;
    cell.textY = y + (h - m.Height()) / 2;
    y += h;
  }
  panel.rect = {left, top, left + width, y + kBorder};
  return panel;
}

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// Where a point falls: an item of a drop-down (panel >= 0), of the bar (panel -1), or nothing (panel -2); cell -1
// for a drop-down's frame or the strip outside the items.
struct Hit {
  int panel = -2;
  int cell = -1;
};

Hit HitTest(const MenuScene& scene, int x, int y) {
  for (int k = static_cast<int>(scene.panels.size()) - 1; k >= 0; --k) {
    const MenuPanel& p = scene.panels[k];
    if (!Inside(p.rect, x, y)) continue;
    for (size_t i = 0; i < p.cells.size(); ++i) {
      if (Inside(p.cells[i].rect, x, y)) return {k, static_cast<int>(i)};
    }
    return {k, -1};
  }
  if (!Inside(RECT{0, 0, scene.width, scene.stripHeight}, x, y)) return {};
  for (size_t i = 0; i < scene.bar.size(); ++i) {
    if (Inside(scene.bar[i].rect, x, y)) return {-1, static_cast<int>(i)};
  }
  return {-1, -1};
}

MenuTracking& Tracking() { return State().menuTracking; }

void Tell(HWND window) {
  if (LiveWindow(window)) Current().MenuChanged(window);
}

void End() {
  MenuTracking& t = Tracking();
  HWND window = t.window;
  t.window = nullptr;
  t.bar = -1;
  t.open = false;
  t.selected.clear();
  t.buttonDown = false;
  Tell(window);
}

void Choose(HWND window, UINT id) {
  End();
  PostMessageA(window, WM_COMMAND, id & 0xFFFF, 0);
}

// The first item from `from` in the direction of step (wrapping) that is not a separator; -1 when none is.
int NextItem(HMENU menu, int from, int step) {
  std::vector<MenuCell> cells = ReadItems(menu);
  int n = static_cast<int>(cells.size());
  for (int k = 1; k <= n; ++k) {
    int i = ((from + step * k) % n + n) % n;
    if (!cells[i].separator) return i;
  }
  return -1;
}

// Highlights a bar item, its drop-down open (with the first or last item selected) or closed.
void SelectBar(const MenuScene& scene, int bar, bool open, int step) {
  MenuTracking& t = Tracking();
  t.bar = bar;
  t.open = open && scene.bar[bar].Opens();
  t.selected.clear();
  if (t.open) t.selected.push_back(step == 0 ? -1 : NextItem(scene.bar[bar].subMenu, step > 0 ? -1 : 0, step));
}

// Selects an item of an open drop-down; pointing at a submenu's item opens it, deeper drop-downs close.
void SelectInPanel(const MenuScene& scene, int panel, int cell) {
  MenuTracking& t = Tracking();
  const MenuPanel& p = scene.panels[panel];
  if (cell >= 0 && p.cells[cell].separator) cell = -1;
  t.selected.resize(panel + 1);
  t.selected[panel] = cell;
  if (cell >= 0 && p.cells[cell].Opens()) t.selected.push_back(-1);
}

void MoveCursor(HWND window, int x, int y) {
  POINT p{x, y - (GetMenu(window) ? GetSystemMetrics(SM_CYMENU) : 0)};
  if (ClientToScreen(window, &p)) State().cursorPosition = p;
}

bool Tracks(HWND window) {
  MenuTracking& t = Tracking();
  if (t.window && !LiveWindow(t.window)) End();
  return t.window != nullptr && t.window == window;
}

void OnKey(HWND window, BYTE key) {
  MenuTracking& t = Tracking();
  MenuScene s = MenuSceneOf(window);
  const int bars = static_cast<int>(s.bar.size());
  if (bars == 0 || t.bar < 0 || t.bar >= bars) return End();
  const int depth = static_cast<int>(s.panels.size());
  const MenuPanel* deepest = depth > 0 ? &s.panels.back() : nullptr;
  const MenuCell* chosen = deepest && deepest->selected >= 0 ? &deepest->cells[deepest->selected] : nullptr;
  switch (key) {
    case VK_MENU:
    case VK_F10:
      return End();
    case VK_ESCAPE:
      if (depth > 1) t.selected.pop_back();
      else if (depth == 1) SelectBar(s, t.bar, false, 0);
      else return End();
      break;
    case VK_LEFT:
      if (depth > 1) t.selected.pop_back();
      else SelectBar(s, (t.bar + bars - 1) % bars, depth > 0, 1);
      break;
    case VK_RIGHT:
      if (chosen && chosen->Opens()) t.selected.push_back(NextItem(chosen->subMenu, -1, 1));
      else SelectBar(s, (t.bar + 1) % bars, depth > 0, 1);
      break;
    case VK_DOWN:
    case VK_UP: {
      int step = key == VK_DOWN ? 1 : -1;
      if (depth == 0) {
        SelectBar(s, t.bar, true, step);
      } else {
        int from = deepest->selected >= 0 ? deepest->selected : (step > 0 ? -1 : 0);
        t.selected.back() = NextItem(deepest->menu, from, step);
      }
      break;
    }
    case VK_RETURN:
      if (depth == 0) {
        if (s.bar[t.bar].Commands()) return Choose(window, s.bar[t.bar].id);
        SelectBar(s, t.bar, true, 1);
      } else if (chosen && chosen->Commands()) {
        return Choose(window, chosen->id);
      } else if (chosen && chosen->Opens()) {
        t.selected.push_back(NextItem(chosen->subMenu, -1, 1));
      }
      break;
    default:
      break;
  }
  Tell(window);
}

}  // namespace

HFONT CreateMenuFont() {
  return CreateFontA(kFontHeight, 0, 0, 0, 400, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, "");
}

ViewPlacement PlacementOf(const WindowView& view) {
  ViewPlacement p;
  p.stripHeight = view.menuBarHeight;
  p.left = view.left + view.frameLeft;
  p.top = view.top + view.frameTop - view.menuBarHeight;
  p.width = view.clientWidth;
  p.height = view.clientHeight + view.menuBarHeight;
  return p;
}

std::vector<RECT> ShapeInView(const WindowView& view) {
  ViewPlacement p = PlacementOf(view);
  const int dx = view.frameLeft, dy = view.frameTop - view.menuBarHeight;
  std::vector<RECT> rects;
  for (const RECT& r : view.shape) {
    RECT v{std::max(r.left - dx, 0), std::max(r.top - dy, 0), std::min(r.right - dx, p.width),
           std::min(r.bottom - dy, p.height)};
    if (v.left < v.right && v.top < v.bottom) rects.push_back(v);
  }
  return rects;
}

MenuScene MenuSceneOf(HWND window) {
  MenuScene scene;
  HMENU menu = GetMenu(window);
  RECT client{};
  if (!menu || !GetClientRect(window, &client)) return scene;
  scene.width = client.right;
  scene.stripHeight = GetSystemMetrics(SM_CYMENU);
  Measurer m;
  scene.bar = LayOutBar(menu, scene.width, scene.stripHeight, m);
  const MenuTracking& t = Tracking();
  if (t.window != window || t.bar < 0 || t.bar >= static_cast<int>(scene.bar.size())) return scene;
  scene.barSelected = t.bar;
  const MenuCell& item = scene.bar[t.bar];
  if (!t.open || !item.Opens()) return scene;
  scene.barOpen = true;
  HMENU sub = item.subMenu;
  int left = item.rect.left, top = scene.stripHeight;
  for (size_t k = 0; k < t.selected.size(); ++k) {
    MenuPanel panel = LayOutPanel(sub, left, top, scene.width, m);
    int selected = t.selected[k];
    panel.selected = selected >= 0 && selected < static_cast<int>(panel.cells.size()) ? selected : -1;
    scene.panels.push_back(panel);
    if (panel.selected < 0 || k + 1 >= t.selected.size()) break;
    const MenuCell& cell = scene.panels.back().cells[panel.selected];
    if (!cell.Opens()) break;
    sub = cell.subMenu;
    left = scene.panels.back().rect.right - kBorder;
    top = cell.rect.top - kBorder;
  }
  return scene;
}

HWND MenuTrackingWindow() {
  Tracks(nullptr);
  return Tracking().window;
}

void BeginKeyboardMenu(HWND window) {
  if (!LiveWindow(window) || !GetMenu(window)) return;
  if (Tracking().window) End();
  MenuScene s = MenuSceneOf(window);
  if (s.bar.empty()) return;
  Tracking().window = window;
  Tracking().bar = 0;
  Tell(window);
}

void EndMenuTracking(HWND window) {
  const MenuTracking& t = Tracking();
  if (t.window && (!window || t.window == window)) End();
}

bool MenuTakesKey(int code, BYTE virtualKey, bool down) {
  MenuTracking& t = Tracking();
  if (code <= 0 || code > 255) return false;
  if (!down) {
    bool swallowed = t.swallowUp[code];
    t.swallowUp[code] = false;
    return swallowed;
  }
  HWND window = MenuTrackingWindow();
  if (!window) return false;
  t.swallowUp[code] = true;
  OnKey(window, virtualKey == 0xA4 || virtualKey == 0xA5 ? static_cast<BYTE>(VK_MENU) : virtualKey);
  return true;
}

bool PointerMoved(HWND window, int x, int y) {
  if (!LiveWindow(window)) return false;
  if (!Tracks(window)) {
    MoveCursor(window, x, y);
    return false;
  }
  MenuTracking& t = Tracking();
  MenuScene s = MenuSceneOf(window);
  Hit h = HitTest(s, x, y);
  const int bar = t.bar;
  const bool open = t.open;
  const std::vector<int> selected = t.selected;
  if (h.panel == -1 && h.cell >= 0 && h.cell != t.bar) {
    SelectBar(s, h.cell, t.open || t.buttonDown, 0);
  } else if (h.panel >= 0) {
    SelectInPanel(s, h.panel, h.cell);
  }
  if (t.bar != bar || t.open != open || t.selected != selected) Tell(window);
  return true;
}

bool PointerButton(HWND window, int x, int y, bool down) {
  if (!LiveWindow(window)) return false;
  const bool tracking = Tracks(window);
  if (!tracking) MoveCursor(window, x, y);
  MenuTracking& t = Tracking();
  MenuScene s = MenuSceneOf(window);
  Hit h = HitTest(s, x, y);
  if (!tracking && h.panel != -1) return false;
  if (down) {
    if (h.panel == -1 && h.cell >= 0) {
      // A press on the item whose drop-down is open folds it away.
      if (tracking && t.bar == h.cell && t.open) {
        End();
        return true;
      }
      if (!tracking && t.window) End();
      t.window = window;
      SelectBar(s, h.cell, true, 0);
      t.buttonDown = true;
    } else if (h.panel >= 0) {
      SelectInPanel(s, h.panel, h.cell);
      t.buttonDown = true;
    } else if (tracking) {
      End();  // a press anywhere else closes the menu
      return true;
    }
    Tell(window);
    return true;
  }
  if (!tracking) return true;
  const bool held = t.buttonDown;
  t.buttonDown = false;
  if (h.panel >= 0 && h.cell >= 0 && s.panels[h.panel].cells[h.cell].Commands()) {
    Choose(window, s.panels[h.panel].cells[h.cell].id);
  } else if (h.panel == -1 && h.cell >= 0 && h.cell == t.bar && held && s.bar[h.cell].Commands()) {
    Choose(window, s.bar[h.cell].id);
  } else if (h.panel == -2 || (h.panel == -1 && !t.open)) {
    End();  // let go away from the menu, or away from a bar item without a drop-down
  }
  return true;
}

}  // namespace host
