// Cursor, icons, menus, message boxes, hooks, the input method switch and dropped files.
#include <algorithm>
#include <cstring>

#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/win32/user.h"

using host::LiveWindow;
using host::State;

namespace {

// Stock cursors and icons are fixed tokens; nothing draws them.
HCURSOR ArrowCursor() {
  static int token;
  return reinterpret_cast<HCURSOR>(&token);
}
HICON ApplicationIcon() {
  static int token;
  return reinterpret_cast<HICON>(&token);
}

HMENU__* LiveMenu(HMENU menu) {
  if (!menu) return nullptr;
  for (auto& m : State().menus) {
    if (m.get() == menu) return m->destroyed ? nullptr : m.get();
  }
  return nullptr;
}

MenuItem* FindItem(HMENU menu, UINT item, BOOL byPosition) {
  HMENU__* m = LiveMenu(menu);
  if (!m) return nullptr;
  if (byPosition) return item < m->items.size() ? &m->items[item] : nullptr;
  for (MenuItem& i : m->items) {
    if (i.id == item && !(i.type & MFT_SEPARATOR)) return &i;
  }
  for (MenuItem& i : m->items) {
    if (MenuItem* found = i.subMenu ? FindItem(i.subMenu, item, FALSE) : nullptr) return found;
  }
  return nullptr;
}

void ApplyItemInfo(MenuItem& item, const MENUITEMINFOA& info) {
  if (info.fMask & MIIM_STATE) item.state = info.fState;
  if (info.fMask & MIIM_ID) item.id = info.wID;
  if (info.fMask & MIIM_SUBMENU) item.subMenu = info.hSubMenu;
  if (info.fMask & MIIM_TYPE) {
    item.type = info.fType;
    if (!(info.fType & MFT_SEPARATOR)) item.text = info.dwTypeData ? info.dwTypeData : "";
  } else if (info.fMask & MIIM_STRING) {
    item.text = info.dwTypeData ? info.dwTypeData : "";
  }
}

HMENU NewMenu() {
  State().menus.push_back(std::make_unique<HMENU__>());
  return State().menus.back().get();
}

}  // namespace

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR previous = State().cursor;
  State().cursor = cursor;
  return previous;
}

// The display count starts at 0; the cursor shows while it is 0 or more.
int ShowCursor(BOOL show) {
  int& count = State().cursorCount;
  const bool wasShown = count >= 0;
  count += show ? 1 : -1;
  if ((count >= 0) != wasShown) host::Current().CursorVisible(count >= 0);
  return count;
}

BOOL GetCursorPos(POINT* point) {
  if (!point) return FALSE;
  *point = State().cursorPosition;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  State().cursorPosition = {x, y};
  return TRUE;
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR) { return ArrowCursor(); }

HICON LoadIconA(HINSTANCE, LPCSTR) { return ApplicationIcon(); }

HMENU CreateMenu() {
  if (host::ShouldFail("CreateMenu")) return nullptr;
  return NewMenu();
}

HMENU CreatePopupMenu() { return CreateMenu(); }

BOOL DestroyMenu(HMENU menu) {
  HMENU__* m = LiveMenu(menu);
  if (!m) return FALSE;
  m->destroyed = true;
  for (MenuItem& i : m->items) {
    if (i.subMenu) DestroyMenu(i.subMenu);
  }
  for (auto& w : State().windows) {
    if (w->menu == menu) w->menu = nullptr;
  }
  return TRUE;
}

BOOL SetMenu(HWND window, HMENU menu) {
  HWND__* w = LiveWindow(window);
  if (!w || (menu && !LiveMenu(menu))) return FALSE;
  host::ChangeWindowMenu(window, menu);
  return TRUE;
}

HMENU GetMenu(HWND window) {
  HWND__* w = LiveWindow(window);
  return w ? w->menu : nullptr;
}

int GetMenuItemCount(HMENU menu) {
  HMENU__* m = LiveMenu(menu);
  return m ? static_cast<int>(m->items.size()) : -1;
}

BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOA* info) {
  MenuItem* i = FindItem(menu, item, byPosition);
  if (!i || !info) return FALSE;
  if (info->fMask & MIIM_STATE) info->fState = i->state;
  if (info->fMask & MIIM_ID) info->wID = i->id;
  if (info->fMask & MIIM_SUBMENU) info->hSubMenu = i->subMenu;
  if (info->fMask & (MIIM_TYPE | MIIM_STRING)) {
    if (info->fMask & MIIM_TYPE) info->fType = i->type;
    bool text = !(i->type & MFT_SEPARATOR);
    UINT length = text ? static_cast<UINT>(i->text.size()) : 0;
    if (info->dwTypeData && info->cch > 0) {
      UINT n = std::min(length, info->cch - 1);
      std::memcpy(info->dwTypeData, i->text.data(), n);
      info->dwTypeData[n] = 0;
      info->cch = n;
    } else {
      info->cch = length;
    }
  }
  return TRUE;
}

BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info) {
  MenuItem* i = FindItem(menu, item, byPosition);
  if (!i || !info) return FALSE;
  ApplyItemInfo(*i, *info);
  return TRUE;
}

BOOL InsertMenuItemA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info) {
  HMENU__* m = LiveMenu(menu);
  if (!m || !info) return FALSE;
  size_t at = m->items.size();
  if (byPosition) {
    at = std::min<size_t>(item, m->items.size());
  } else {
    for (size_t k = 0; k < m->items.size(); ++k) {
      if (m->items[k].id == item) at = k;
    }
  }
  MenuItem fresh;
  ApplyItemInfo(fresh, *info);
  m->items.insert(m->items.begin() + static_cast<std::ptrdiff_t>(at), fresh);
  return TRUE;
}

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR idOrSubMenu, LPCSTR text) {
  HMENU__* m = LiveMenu(menu);
  if (!m) return FALSE;
  MenuItem item;
  item.state = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED);  // the same bits as MFS_GRAYED and MFS_CHECKED
  if (flags & MF_SEPARATOR) {
    item.type = MFT_SEPARATOR;
  } else {
    item.text = text ? text : "";
  }
  if (flags & MF_POPUP) {
    item.subMenu = reinterpret_cast<HMENU>(idOrSubMenu);
  } else {
    item.id = static_cast<UINT>(idOrSubMenu);
  }
  m->items.push_back(item);
  return TRUE;
}

BOOL DrawMenuBar(HWND window) {
  if (!LiveWindow(window)) return FALSE;
  host::MenuBarChanged(window);
  return TRUE;
}

BOOL UnhookWindowsHookEx(HHOOK hook) { return hook ? TRUE : FALSE; }

HWND GetDesktopWindow() {
  static HWND__ desktop;
  return &desktop;
}

UINT DragQueryFileA(HDROP, UINT, LPSTR buffer, UINT size) {
  if (buffer && size > 0) buffer[0] = 0;
  return 0;
}

void DragFinish(HDROP) {}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  (void)owner;
  return host::Current().MessageBox(text ? text : "", caption ? caption : "", type);
}
