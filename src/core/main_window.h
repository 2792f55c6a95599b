// The main window: creation and destruction, styles and mode change, title, geometry and the core's getters.
#pragma once
#include "vomak.h"
#include "platform/win32/types.h"

int CreateMainWindow();
int DestroyMainWindow();
int StoreWindowModeFlag(int flag);
int ApplyWindowStyle();
int FitWindowToScreenSize();
int UpdateClientRectOnMove(LPARAM position);
int StoreRequestedDrawArea(const int* rect);

// The desktop's colour bits from the screen device context (bits per pixel times planes).
int ReadDesktopBits();

int GetClientScreenRect(int* rect);
HWND GetLibraryWindowHandle();
int IsWindowModeOn();
int GetDesktopMetrics(int* width, int* height, int* bits);
int GetLibraryVersionInfo(int* library, int* directX, int* windows);
int GetMmxUseFlag();
int IsWindowClosing();
int HasWindowShapeRegion();
double GetWindowScale();

LRESULT MainWindowProc(HWND window, UINT message, WPARAM first, LPARAM second);
int PaintSavedImage(HDC dc);

constexpr int kLibraryVersion = 0x219B;
constexpr const char* kWindowClassName = "Vomak";
