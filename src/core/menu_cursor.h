// The main window's menu bar, the system cursor, the window shape and the dropped-file list.
#pragma once

int EnableMainMenu(int on);
int ShowMainMenu(int show);
int IsMenuEffectivelyShown();
int IsMenuShowRequested();
int IsMainMenuEnabled();
int CollectMenuItems(void* menu);
int GetMenuItemNameById(int id, char* name);
int SetCursorVisible(int request);
int GetCursorRequest();
int GetCursorPoint(int* x, int* y);
int SetWindowShapeFromBitmap(const char* name);
int ReleaseDroppedFiles();
