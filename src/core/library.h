// Start-up and shut-down of the whole library, the COM wrappers and pulling a window to the front.
#pragma once
#include "vomak.h"
#include "platform/win32/types.h"

int StartComLibrary();
int EndComLibrary();
int ForceForeground(HWND window, int topmost);
