// The menu bar as both hosts work it: the strip's and drop-downs' layout in the UI font, the pointer and keys
// moving through them, and WM_COMMAND for the item chosen. The tracking lives in the platform's record; every
// change of what the menu shows is told to the host.
#include "platform/host/menu_bar.h"

#include <algorithm>
#include <cctype>
#include <iterator>

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
constexpr int kMarkHeight = 12;   // the row that marks items hidden above or below a cut drop-down

// Text widths in the menu font, through a memory context made for one layout.
class Measurer {
 public:
  Measurer() : dc_(CreateCompatibleDC(nullptr)), font_(CreateMenuFont()) {
    if (dc_ && font_) old_ = SelectObject(dc_, font_);
    TEXTMETRICA metrics{};
    if (dc_ && GetTextMetricsA(dc_, &metrics)) {
      height_ = metrics.tmHeight;
      ascent_ = metrics.tmAscent;
    }
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
  int Ascent() const { return ascent_; }

 private:
  HDC dc_;
  HFONT font_;
  HGDIOBJ old_ = nullptr;
  int height_ = kFontHeight;
  int ascent_ = kFontHeight;
};

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Where an item's access letter lies in its text (the bytes before it), and the letter in capitals.
struct AccessLetter {
  size_t at = 0;
  char letter = 0;
};

// An item's text as shown: '&' marks the next character as the access letter (a doubled one stands for itself;
// a double-byte character is never one), a tab begins the shortcut shown on the right.
AccessLetter SplitText(const std::string& raw, MenuCell& cell) {
  AccessLetter access;
  std::string* out = &cell.text;
  for (size_t i = 0; i < raw.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(raw[i]);
    if (IsLeadByte(c) && i + 1 < raw.size()) {
      out->append(raw, i++, 2);
      continue;
    }
    if (c == '&') {
      if (i + 1 < raw.size() && raw[i + 1] == '&') {
        out->push_back(raw[++i]);
      } else if (i + 1 < raw.size() && out == &cell.text && !access.letter) {
        const unsigned char next = static_cast<unsigned char>(raw[i + 1]);
        if (next > 0x20 && next < 0x7F) access = {out->size(), static_cast<char>(std::toupper(next))};
      }
      continue;
    }
    if (c == '\t' && out == &cell.text) {
      out = &cell.shortcut;
      continue;
    }
    out->push_back(raw[i]);
  }
  return access;
}

// The access letter's place once the text's cell is placed.
void MarkAccess(MenuCell& cell, const AccessLetter& access, const Measurer& m) {
  cell.access = access.letter;
  if (!access.letter) return;
  const int x = cell.textX + m.Width(cell.text.substr(0, access.at));
  const int y = cell.textY + m.Ascent() + 1;
  cell.accessMark = {x, y, x + m.Width(cell.text.substr(access.at, 1)), y + 1};
}

// An item as read, with where its access letter lies.
struct ReadItem {
  MenuCell cell;
  AccessLetter access;
};

std::vector<ReadItem> ReadItems(HMENU menu) {
  std::vector<ReadItem> items;
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
    cell.grayed = (info.fState & MF_GRAYED) != 0;
    cell.disabled = (info.fState & (MF_GRAYED | MF_DISABLED)) != 0;
    cell.checked = (info.fState & MFS_CHECKED) != 0;
    AccessLetter access;
    if (!cell.separator) access = SplitText(text.data(), cell);
    items.push_back({cell, access});
  }
  return items;
}

// The bar's items from the left, row under row: an item that would pass the width begins the next row (an item
// wider than the width has a row of its own). Separators take no room.
std::vector<MenuCell> LayOutBar(HMENU menu, int width, int rowHeight, const Measurer& m) {
  std::vector<MenuCell> bar;
  int x = 0, top = 0;
  for (ReadItem& item : ReadItems(menu)) {
    MenuCell& cell = item.cell;
    if (cell.separator) continue;
    int w = m.Width(cell.text) + 2 * kBarPad;
    if (x > 0 && x + w > width) {
      x = 0;
      top += rowHeight;
    }
    cell.rect = {x, top, x + w, top + rowHeight};
    cell.textX = x + kBarPad;
    cell.textY = top + (rowHeight - m.Height()) / 2;
    MarkAccess(cell, item.access, m);
    bar.push_back(cell);
    x += w;
  }
  return bar;
}

int RowsOf(const std::vector<MenuCell>& bar, int rowHeight) {
  return bar.empty() ? 1 : bar.back().rect.bottom / rowHeight;
}

// Where a drop-down may lie: its first place, the highest top it may move up to when it does not fit below, the
// view's size, and the first item shown should it be cut. A submenu's also names the drop-down it opens from
// and that drop-down's item, and whether the path has turned left.
struct PanelPlace {
  int left = 0, top = 0, highestTop = 0;
  int viewWidth = 0, viewHeight = 0;
  int firstShown = 0;
  RECT parent{}, opener{};  // empty for the bar's drop-down
  bool leftward = false;
};

bool Overlap(int left, int right, int otherLeft, int otherRight) { return left < otherRight && otherLeft < right; }

// A submenu lies beside its parent, so the path to it stays in sight: on the right, or on the left where the right
// has no room (and first on the left once the path has turned there). Where neither side has room it keeps inside
// the view on the side with more room, below or above the item that opens it when it fits there.
void PlaceSubmenu(const PanelPlace& place, int width, int height, int& left, int& top) {
  const RECT& parent = place.parent;
  const int right = parent.right - kBorder, onLeft = parent.left - width;
  const bool fitsRight = right + width <= place.viewWidth, fitsLeft = onLeft >= 0;
  if (fitsLeft && (place.leftward || !fitsRight)) {
    left = onLeft;
  } else if (fitsRight) {
    left = right;
  } else {
    left = place.viewWidth - parent.right >= parent.left ? std::max(0, place.viewWidth - width) : 0;
    if (!Overlap(left, left + width, place.opener.left, place.opener.right)) return;
    if (place.opener.bottom + height <= place.viewHeight) top = place.opener.bottom;
    else if (place.opener.top - height >= place.highestTop) top = place.opener.top - height;
  }
}

int RowHeightOf(const MenuCell& cell) { return cell.separator ? kSeparatorHeight : kRowHeight; }

// A drop-down, placed beside its parent or moved left to stay inside the view's width, and up (no higher than
// allowed) to stay inside its height. One that still does not fit is cut at the view's bottom: it shows the items
// from the first shown on, with marks where items lie hidden above or below.
MenuPanel LayOutPanel(HMENU menu, const PanelPlace& place, const Measurer& m) {
  MenuPanel panel;
  panel.menu = menu;
  std::vector<ReadItem> items = ReadItems(menu);
  int textWidth = 0, shortcutWidth = 0, natural = 2 * kBorder;
  for (const ReadItem& item : items) {
    textWidth = std::max(textWidth, m.Width(item.cell.text));
    shortcutWidth = std::max(shortcutWidth, m.Width(item.cell.shortcut));
    natural += RowHeightOf(item.cell);
  }
  const int count = static_cast<int>(items.size());
  int inner = kTextLeft + textWidth + (shortcutWidth > 0 ? kShortcutGap + shortcutWidth : 0) + kTextRight;
  int width = inner + 2 * kBorder;
  int left = place.left, top = place.top;
  if (place.parent.right > place.parent.left) PlaceSubmenu(place, width, natural, left, top);
  else if (left + width > place.viewWidth) left = std::max(0, place.viewWidth - width);
  if (top + natural > place.viewHeight) top = std::max(place.highestTop, place.viewHeight - natural);
  const bool cut = top + natural > place.viewHeight && count > 0;
  const int first = cut ? std::clamp(place.firstShown, 0, count - 1) : 0;
  const int bottom = place.viewHeight - kBorder;
  panel.shortcutX = kBorder + kTextLeft + textWidth + kShortcutGap;
  panel.firstShown = first;
  auto row = [&](int y, int h) { return RECT{left + kBorder, y, left + kBorder + inner, y + h}; };
  // A cut drop-down reaches the view's bottom and keeps a mark row at either end, so the marks stay put as it
  // scrolls; a mark shows only where items lie hidden.
  int y = top + kBorder;
  if (cut) {
    if (first > 0) panel.moreAbove = row(y, kMarkHeight);
    y += kMarkHeight;
  }
  const int limit = cut ? bottom - kMarkHeight : y + natural;
  bool stopped = false;
  for (int i = 0; i < count; ++i) {
    MenuCell& cell = items[i].cell;
    const int h = RowHeightOf(cell);
    if (i >= first && !stopped) {
      if (i == first || y + h <= limit) {
        cell.rect = row(y, h);
        cell.textX = left + kBorder + kTextLeft;
        cell.textY = y + (h - m.Height()) / 2;
        MarkAccess(cell, items[i].access, m);
        y += h;
      } else {
        stopped = true;
        panel.moreBelow = row(limit, kMarkHeight);
      }
    }
    panel.cells.push_back(cell);
  }
  if (cut) y = bottom;
  panel.rect = {left, top, left + width, y + kBorder};
  return panel;
}

bool Shown(const MenuCell& cell) { return cell.rect.bottom > cell.rect.top; }

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// Where a point falls: an item of a drop-down (panel >= 0), of the bar (panel -1), or nothing (panel -2); cell -1
// for a drop-down's frame or the strip outside the items; scroll -1 or 1 on a drop-down's mark of hidden items.
struct Hit {
  int panel = -2;
  int cell = -1;
  int scroll = 0;
};

Hit HitTest(const MenuScene& scene, int x, int y) {
  for (int k = static_cast<int>(scene.panels.size()) - 1; k >= 0; --k) {
    const MenuPanel& p = scene.panels[k];
    if (!Inside(p.rect, x, y)) continue;
    for (size_t i = 0; i < p.cells.size(); ++i) {
      if (Inside(p.cells[i].rect, x, y)) return {k, static_cast<int>(i)};
    }
    if (Inside(p.moreAbove, x, y)) return {k, -1, -1};
    if (Inside(p.moreBelow, x, y)) return {k, -1, 1};
    return {k, -1};
  }
  if (!Inside(RECT{0, 0, scene.width, scene.stripHeight}, x, y)) return {};
  for (size_t i = 0; i < scene.bar.size(); ++i) {
    if (Inside(scene.bar[i].rect, x, y)) return {-1, static_cast<int>(i)};
  }
  return {-1, -1};
}

MenuTracking& Tracking() { return State().menuTracking; }

// Opens one more drop-down level with an item selected, or keeps the first `levels` open.
void OpenLevel(int selected) {
  MenuTracking& t = Tracking();
  t.selected.push_back(selected);
  t.firstShown.push_back(0);
}
void KeepLevels(size_t levels) {
  MenuTracking& t = Tracking();
  t.selected.resize(levels);
  t.firstShown.resize(levels, 0);
}

// A cut drop-down scrolls so that its selected item shows.
void KeepSelectionShown(HWND window) {
  MenuTracking& t = Tracking();
  for (size_t k = 0; k < t.selected.size(); ++k) {
    for (int tries = 0; tries < 64; ++tries) {
      MenuScene s = MenuSceneOf(window);
      if (k >= s.panels.size()) return;
      const MenuPanel& p = s.panels[k];
      if (p.selected < 0 || Shown(p.cells[p.selected])) break;
      // Below: as many rows on as the drop-down shows at once brings the selection near its bottom.
      const int rows = static_cast<int>(std::count_if(p.cells.begin(), p.cells.end(), Shown));
      t.firstShown[k] = p.selected < p.firstShown ? p.selected : std::max(p.firstShown + 1, p.selected - rows + 1);
    }
  }
}

void Tell(HWND window) {
  if (!LiveWindow(window)) return;
  KeepSelectionShown(window);
  Current().MenuChanged(window);
}

void End() {
  MenuTracking& t = Tracking();
  HWND window = t.window;
  t.window = nullptr;
  t.bar = -1;
  t.open = false;
  t.byKeyboard = false;
  KeepLevels(0);
  t.buttonDown = false;
  if (LiveWindow(window)) Current().MenuChanged(window);
}

// The menu takes the keyboard from the program: keys held now read as released, and their repeats stay away,
// until they are let go and pressed again.
void Track(HWND window) {
  MenuTracking& t = Tracking();
  if (!t.window) {
    bool held[256];
    for (int code = 0; code < 256; ++code) held[code] = (Input().keyCodes[code] & 0x80) || t.swallowUp[code];
    ReleaseAllKeys();
    std::copy(std::begin(held), std::end(held), t.swallowUp);
  }
  t.window = window;
}

void Choose(HWND window, UINT id) {
  End();
  PostMessageA(window, WM_COMMAND, id & 0xFFFF, 0);
}

// The first item from `from` in the direction of step (wrapping) that is not a separator; -1 when none is.
int NextItem(HMENU menu, int from, int step) {
  std::vector<ReadItem> items = ReadItems(menu);
  int n = static_cast<int>(items.size());
  for (int k = 1; k <= n; ++k) {
    int i = ((from + step * k) % n + n) % n;
    if (!items[i].cell.separator) return i;
  }
  return -1;
}

// Highlights a bar item, its drop-down open (with the first or last item selected) or closed.
void SelectBar(const MenuScene& scene, int bar, bool open, int step) {
  MenuTracking& t = Tracking();
  t.bar = bar;
  t.open = open && scene.bar[bar].Opens();
  KeepLevels(0);
  if (t.open) OpenLevel(step == 0 ? -1 : NextItem(scene.bar[bar].subMenu, step > 0 ? -1 : 0, step));
}

// Selects an item of an open drop-down; pointing at a submenu's item opens it, deeper drop-downs close.
void SelectInPanel(const MenuScene& scene, int panel, int cell) {
  MenuTracking& t = Tracking();
  const MenuPanel& p = scene.panels[panel];
  if (cell >= 0 && p.cells[cell].separator) cell = -1;
  KeepLevels(panel + 1);
  t.selected[panel] = cell;
  if (cell >= 0 && p.cells[cell].Opens()) OpenLevel(-1);
}

// The items whose access letter is `letter`, and the one after `current` among them (wrapping); -1 when none.
struct AccessMatch {
  int next = -1;
  int count = 0;
};
AccessMatch MatchAccess(const std::vector<MenuCell>& cells, char letter, int current) {
  AccessMatch match;
  const int n = static_cast<int>(cells.size());
  for (int k = 1; k <= n; ++k) {
    const int i = ((current + k) % n + n) % n;
    if (cells[i].separator || cells[i].access != letter) continue;
    if (match.count++ == 0) match.next = i;
  }
  return match;
}

// The letter of a key that can be an access letter (0: none).
char LetterOfKey(BYTE key) {
  return (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9') ? static_cast<char>(key) : 0;
}

void MoveCursor(HWND window, int x, int y) {
  const HWND__* w = LiveWindow(window);
  POINT p{x, y - (w && w->menu ? w->barRows * GetSystemMetrics(SM_CYMENU) : 0)};
  if (ClientToScreen(window, &p)) State().cursorPosition = p;
}

bool Tracks(HWND window) {
  MenuTracking& t = Tracking();
  if (t.window && !LiveWindow(t.window)) End();
  return t.window != nullptr && t.window == window;
}

// The letter of an item's access key pressed inside the menu: an item the letter marks alone is chosen (a
// drop-down opens), among several the selection moves to the next.
void OnLetter(HWND window, const MenuScene& s, char letter) {
  MenuTracking& t = Tracking();
  if (s.panels.empty()) {
    AccessMatch match = MatchAccess(s.bar, letter, t.bar);
    if (match.count == 0) return;
    if (match.count > 1) return SelectBar(s, match.next, false, 0);
    if (s.bar[match.next].Commands()) return Choose(window, s.bar[match.next].id);
    return SelectBar(s, match.next, true, 1);
  }
  const MenuPanel& deepest = s.panels.back();
  AccessMatch match = MatchAccess(deepest.cells, letter, deepest.selected);
  if (match.count == 0) return;
  const MenuCell& cell = deepest.cells[match.next];
  t.selected.back() = match.next;
  if (match.count > 1) return;
  if (cell.Commands()) return Choose(window, cell.id);
  if (cell.Opens()) OpenLevel(NextItem(cell.subMenu, -1, 1));
}

void OnKey(HWND window, BYTE key) {
  MenuTracking& t = Tracking();
  MenuScene s = MenuSceneOf(window);
  const int bars = static_cast<int>(s.bar.size());
  if (bars == 0 || t.bar < 0 || t.bar >= bars) return End();
  t.byKeyboard = true;
  const int depth = static_cast<int>(s.panels.size());
  const MenuPanel* deepest = depth > 0 ? &s.panels.back() : nullptr;
  const MenuCell* chosen = deepest && deepest->selected >= 0 ? &deepest->cells[deepest->selected] : nullptr;
  switch (key) {
    case VK_MENU:
    case VK_F10:
      return End();
    case VK_ESCAPE:
      if (depth > 1) KeepLevels(depth - 1);
      else if (depth == 1) SelectBar(s, t.bar, false, 0);
      else return End();
      break;
    case VK_LEFT:
      if (depth > 1) KeepLevels(depth - 1);
      else SelectBar(s, (t.bar + bars - 1) % bars, depth > 0, 1);
      break;
    case VK_RIGHT:
      if (chosen && chosen->Opens()) OpenLevel(NextItem(chosen->subMenu, -1, 1));
      else SelectBar(s, (t.bar + 1) % bars, depth > 0, 1);
      break;
    case VK_DOWN:
    case VK_UP: {
      int step = key == VK_DOWN ? 1 : -1;
      if (depth == 0) {
        SelectBar(s, t.bar, true, step);
      } else {
        int from = deepest->selected >= 0 ? deepest->selected : (step > 0 ? -1 : 0);
        KeepLevels(depth);
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
        OpenLevel(NextItem(chosen->subMenu, -1, 1));
      }
      break;
    default:
      if (char letter = LetterOfKey(key)) {
        OnLetter(window, s, letter);
        if (!t.window) return;  // an item was chosen
      }
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

int MenuBarRows(HMENU menu, int width) {
  if (!menu) return 1;
  Measurer m;
  const int rowHeight = GetSystemMetrics(SM_CYMENU);
  return RowsOf(LayOutBar(menu, width, rowHeight, m), rowHeight);
}

MenuScene MenuSceneOf(HWND window) {
  MenuScene scene;
  HMENU menu = GetMenu(window);
  RECT client{};
  if (!menu || !GetClientRect(window, &client)) return scene;
  scene.width = client.right;
  const int rowHeight = GetSystemMetrics(SM_CYMENU);
  Measurer m;
  scene.bar = LayOutBar(menu, scene.width, rowHeight, m);
  scene.stripHeight = RowsOf(scene.bar, rowHeight) * rowHeight;
  scene.height = scene.stripHeight + client.bottom;
  const MenuTracking& t = Tracking();
  if (t.window != window || t.bar < 0 || t.bar >= static_cast<int>(scene.bar.size())) return scene;
  scene.barSelected = t.bar;
  scene.showAccess = t.byKeyboard;
  const MenuCell& item = scene.bar[t.bar];
  if (!t.open || !item.Opens()) return scene;
  scene.barOpen = true;
  HMENU sub = item.subMenu;
  // The bar's drop-down hangs from its item; deeper ones beside the item that opens them, moved up if need be.
  PanelPlace place{item.rect.left, item.rect.bottom, item.rect.bottom, scene.width, scene.height, 0};
  for (size_t k = 0; k < t.selected.size(); ++k) {
    place.firstShown = k < t.firstShown.size() ? t.firstShown[k] : 0;
    MenuPanel panel = LayOutPanel(sub, place, m);
    if (k > 0) place.leftward = panel.rect.left < place.parent.left;
    int selected = t.selected[k];
    panel.selected = selected >= 0 && selected < static_cast<int>(panel.cells.size()) ? selected : -1;
    scene.panels.push_back(panel);
    if (panel.selected < 0 || k + 1 >= t.selected.size()) break;
    const MenuCell& cell = scene.panels.back().cells[panel.selected];
    if (!cell.Opens() || !Shown(cell)) break;
    sub = cell.subMenu;
    place.parent = scene.panels.back().rect;
    place.opener = cell.rect;
    place.top = cell.rect.top - kBorder;
    place.highestTop = 0;
  }
  return scene;
}

HWND MenuTrackingWindow() {
  Tracks(nullptr);
  return Tracking().window;
}

void BeginKeyboardMenu(HWND window, char letter) {
  if (!LiveWindow(window) || !GetMenu(window)) return;
  if (Tracks(window)) return;  // already worked
  if (Tracking().window) End();
  MenuScene s = MenuSceneOf(window);
  if (s.bar.empty()) return;
  if (letter) {
    // Alt with an access letter: the first bar item it marks is chosen or opens.
    AccessMatch match = MatchAccess(s.bar, static_cast<char>(std::toupper(static_cast<unsigned char>(letter))), -1);
    if (match.count == 0) return;
    if (s.bar[match.next].Commands()) return Choose(window, s.bar[match.next].id);
    Track(window);
    Tracking().byKeyboard = true;
    SelectBar(s, match.next, true, 1);
  } else {
    Track(window);
    Tracking().byKeyboard = true;
    Tracking().bar = 0;
  }
  Tell(window);
}

void EndMenuTracking(HWND window) {
  const MenuTracking& t = Tracking();
  if (t.window && (!window || t.window == window)) End();
}

bool MenuTakesKey(int code, BYTE virtualKey, bool down) {
  MenuTracking& t = Tracking();
  if (code <= 0 || code > 255) return false;
  HWND window = MenuTrackingWindow();
  if (!down) {
    bool swallowed = t.swallowUp[code] || window != nullptr;
    t.swallowUp[code] = false;
    return swallowed;
  }
  if (!window) {
    // A repeat of a key the menu holds (it took the press, or the key was held as the menu began).
    t.tookLastPress = t.swallowUp[code];
    return t.swallowUp[code];
  }
  t.swallowUp[code] = true;
  t.tookLastPress = true;
  OnKey(window, virtualKey == 0xA4 || virtualKey == 0xA5 ? static_cast<BYTE>(VK_MENU) : virtualKey);
  return true;
}

bool MenuTookLastPress() { return Tracking().tookLastPress; }

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
  } else if (h.panel >= 0 && h.scroll == 0) {
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
      Track(window);
      SelectBar(s, h.cell, true, 0);
      t.buttonDown = true;
    } else if (h.panel >= 0 && h.scroll != 0) {
      // A press on a mark of hidden items scrolls the drop-down by one item; its selection goes.
      KeepLevels(h.panel + 1);
      t.selected[h.panel] = -1;
      t.firstShown[h.panel] = std::max(0, s.panels[h.panel].firstShown + h.scroll);
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
  if (held && h.panel >= 0 && h.cell >= 0 && s.panels[h.panel].cells[h.cell].Commands()) {
    Choose(window, s.panels[h.panel].cells[h.cell].id);
  } else if (h.panel == -1 && h.cell >= 0 && h.cell == t.bar && held && s.bar[h.cell].Commands()) {
    Choose(window, s.bar[h.cell].id);
  } else if (h.panel == -2 || (h.panel == -1 && !t.open)) {
    End();  // let go away from the menu, or away from a bar item without a drop-down
  }
  return true;
}

}  // namespace host
