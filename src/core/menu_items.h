// The main menu's item table: items read from the platform's menus, found by text or id, and their submenus.
#pragma once
#include <cstdint>

#include "core/system_state.h"

struct MENUITEMINFOA;

// Reads the item at position: 1 separator, 0 item read (its text in a static 128-byte buffer), -1 refused.
int QueryMenuItem(HMENU menu, int position, MENUITEMINFOA* info);
// Depth-first search of menu and its submenus for the item whose text equals name (or, name null, whose id
// equals id): 1 found (menuOut, positionOut set), 0 not found, -1 menu off or a menu that cannot be counted.
int FindMenuItemInTree(const char* name, int id, HMENU menu, HMENU* menuOut, int* positionOut);
// Enters every item but separators into the table, depth first, while it has room; 0, or -1 when a count or an
// item cannot be read.
int CollectMenuItems(HMENU menu);
// Appends an entry (name cut to 127 characters); 0, or -1 when the table is full.
int AddMenuTableEntry(HMENU menu, int position, int id, const char* name);
// Removes the entry FindMenuTableEntry finds, moving the later ones down; 0, or -1 when there is none.
int RemoveMenuTableEntry(const char* name, int id);
// The first entry whose name equals name (or, name null, whose id equals id); null when none.
MenuItemEntry* FindMenuTableEntry(const char* name, uint16_t id);
// The first id, counting up from the number of entries and wrapping after 65,535, that no entry holds.
int FindFreeMenuItemId();
// The submenu of the item in the table, made (empty) and attached when it has none; null when the item is not in
// the table or no submenu can be had.
HMENU GetOrCreateSubMenu(const char* name, int id);
// Copies the current text of the item with this id (at most 127 characters) into name (128 bytes); 0, or -1
// when the menu is off, the id is not in the table or the item cannot be read as an item.
int GetMenuItemNameById(int id, char* name);
