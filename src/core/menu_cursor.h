// The main window's menu bar, the system cursor and the dropped-file list; the menu-item table and the window
// shape have their own units, included here for the callers of all three.
#pragma once
#include "core/menu_items.h"
#include "core/window_shape.h"

// Switches the menu bar on (making an empty menu when none is configured) or off; resets the item table; 0, or
// -1 when no menu can be made.
int EnableMainMenu(int on);
// Asks for the menu bar shown (1) or hidden (0) and applies what the rules make of it; 0.
int ShowMainMenu(int show);
// 1 when the menu bar is to be on screen now: window mode, or full screen with the cursor near the top.
int IsMenuEffectivelyShown();
// 1 unless hiding the menu bar was asked for.
int IsMenuShowRequested();
// The menu-on flag.
int IsMainMenuEnabled();
// Asks for the system cursor shown (1) or not; a shown menu bar keeps it shown; 0.
int SetCursorVisible(int request);
// The cursor-shown request.
int GetCursorRequest();
// The cursor in screen coordinates of the program (window mode: client-relative, divided by the scale); 0.
int GetCursorPoint(int* x, int* y);
// Frees the dropped-file names; 0.
int ReleaseDroppedFiles();
