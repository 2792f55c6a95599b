// The menu-item table: a flat list of the main menu's items (menu, position, id, text), filled by walking the
// menu tree at window creation and used to find an item's name from the id a menu command carries.
#include "core/menu_items.h"

#include <cstring>

#include "core/win32_calls.h"

namespace {

// The text of the item QueryMenuItem read last.
char queriedItemText[128];

// At most 127 bytes and the terminator.
void CopyName(char* destination, const char* source) {
  const size_t length = source ? strnlen(source, 127) : 0;
  if (length > 0) std::memmove(destination, source, length);
  destination[length] = 0;
}

bool Matches(const char* itemName, UINT itemId, const char* name, int id) {
  return name ? std::strcmp(itemName, name) == 0 : itemId == static_cast<UINT>(id);
}

}  // namespace

int QueryMenuItem(HMENU menu, int position, MENUITEMINFOA* info) {
  std::memset(info, 0, sizeof *info);
  info->cbSize = sizeof *info;
  info->fMask = MIIM_TYPE;
  if (!GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, info)) return -1;
  if (info->fType & MFT_SEPARATOR) return 1;
  std::memset(info, 0, sizeof *info);
  info->cbSize = sizeof *info;
  info->fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_TYPE;
  info->dwTypeData = queriedItemText;
  info->cch = sizeof queriedItemText;
  return GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, info) ? 0 : -1;
}

int FindMenuItemInTree(const char* name, int id, HMENU menu, HMENU* menuOut, int* positionOut) {
  if (!SystemState.menuOn) return -1;
  int count = GetMenuItemCount(menu);
  if (count < 0) return -1;
  for (int position = 0; position < count; ++position) {
    MENUITEMINFOA info;
    // An item that cannot be read has no text or id to compare: it is passed over.
    if (QueryMenuItem(menu, position, &info) != 0) continue;
    if (Matches(queriedItemText, info.wID, name, id)) {
      if (menuOut) *menuOut = menu;
      if (positionOut) *positionOut = position;
      return 1;
    }
    if (info.hSubMenu) {
      int found = FindMenuItemInTree(name, id, info.hSubMenu, menuOut, positionOut);
      if (found != 0) return found;
    }
  }
  return 0;
}

int CollectMenuItems(HMENU menu) {
  int count = GetMenuItemCount(menu);
  if (count < 0) return -1;
  for (int position = 0; position < count; ++position) {
    MENUITEMINFOA info;
    int kind = QueryMenuItem(menu, position, &info);
    if (kind == -1) return -1;
    if (kind == 1) continue;
    // A menu of more items than the table holds keeps the first ones; the rest have no names.
    if (SystemState.menuItemCount < kMaxMenuItems) {
      AddMenuTableEntry(menu, position, static_cast<int>(info.wID), queriedItemText);
    }
    if (info.hSubMenu && CollectMenuItems(info.hSubMenu) == -1) return -1;
  }
  return 0;
}

int AddMenuTableEntry(HMENU menu, int position, int id, const char* name) {
  LibrarySystemState& s = SystemState;
  if (s.menuItemCount >= kMaxMenuItems) return -1;
  MenuItemEntry& entry = s.menuItems[s.menuItemCount++];
  entry.menu = menu;
  entry.position = static_cast<uint16_t>(position);
  entry.id = static_cast<uint16_t>(id);
  CopyName(entry.name, name);
  return 0;
}

int RemoveMenuTableEntry(const char* name, int id) {
  LibrarySystemState& s = SystemState;
  MenuItemEntry* entry = FindMenuTableEntry(name, static_cast<uint16_t>(id));
  if (!entry) return -1;
  MenuItemEntry* end = s.menuItems + s.menuItemCount;
  std::memmove(entry, entry + 1, static_cast<size_t>(end - entry - 1) * sizeof *entry);
  --s.menuItemCount;
  return 0;
}

MenuItemEntry* FindMenuTableEntry(const char* name, uint16_t id) {
  LibrarySystemState& s = SystemState;
  for (int i = 0; i < s.menuItemCount; ++i) {
    if (Matches(s.menuItems[i].name, s.menuItems[i].id, name, id)) return &s.menuItems[i];
  }
  return nullptr;
}

int FindFreeMenuItemId() {
  const int start = SystemState.menuItemCount;
  // At most 128 ids are held, so one of the next 129 is free.
  for (int step = 0;; ++step) {
    uint16_t id = static_cast<uint16_t>(start + step);
    if (!FindMenuTableEntry(nullptr, id)) return id;
  }
}

HMENU GetOrCreateSubMenu(const char* name, int id) {
  MenuItemEntry* entry = FindMenuTableEntry(name, static_cast<uint16_t>(id));
  if (!entry) return nullptr;
  MENUITEMINFOA info;
  if (QueryMenuItem(entry->menu, entry->position, &info) != 0) return nullptr;
  if (info.hSubMenu) return info.hSubMenu;
  HMENU subMenu = CreateMenu();
  if (!subMenu) return nullptr;
  info.hSubMenu = subMenu;
  if (!SetMenuItemInfoA(entry->menu, entry->position, TRUE, &info)) {
    DestroyMenu(subMenu);
    return nullptr;
  }
  return subMenu;
}

int GetMenuItemNameById(int id, char* name) {
  if (!SystemState.menuOn) return -1;
  MenuItemEntry* entry = FindMenuTableEntry(nullptr, static_cast<uint16_t>(id));
  if (!entry) return -1;
  MENUITEMINFOA info;
  if (QueryMenuItem(entry->menu, entry->position, &info) != 0) return -1;
  CopyName(name, queriedItemText);
  return 0;
}
