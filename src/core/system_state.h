// LibrarySystemState: the core's single process-wide record (window, activation, clocks, log, configuration).
#pragma once
#include <cstdint>
#include <string>

#include "platform/win32/types.h"

using WindowProcedure = LRESULT (*)(HWND window, UINT message, WPARAM first, LPARAM second);
using MessageHookCallback = void (*)(HWND window, UINT message, WPARAM first, LPARAM second);
using ModeChangeCallback = void (*)(void* data);
using MenuCommandCallback = void (*)(int id);
using MenuNameCallback = void (*)(const char* name, int id);

constexpr int kMaxPendingMenuCommands = 64;
constexpr int kMaxDroppedFiles = 1000;
constexpr int kMaxExtraWindows = 16;
constexpr int kMaxMenuItems = 128;

// One item of the main menu as the menu-item table holds it.
struct MenuItemEntry {
  HMENU menu;          // the menu that holds the item
  uint16_t position;   // its position in that menu
  uint16_t id;         // its command id
  char name[128];      // its text, zero-terminated
};

// Fields marked "kept" survive the clear at window creation (ClearSystemStateForWindowCreation).
struct LibrarySystemState {
  // Configuration (kept).
  int windowModeFlag;
  int styleIndex;
  int userWindowMode;
  int modeToggleAllowed;
  ModeChangeCallback modeChangeCallback;
  void* modeChangeData;
  int keepWindowOnClose;
  int noQuitMessage;
  int doubleStartAllowed;
  int timeStampsOff;
  int loggingOff;
  std::string logFolder;  // empty: the log is not started
  char title[256];
  int alwaysRun;
  int iconId;
  HANDLE acceleratorTable;
  HMENU menuHandle;
  int menuOn;
  MenuCommandCallback menuCommandCallback;
  MenuNameCallback menuNameCallback;
  int menuHideRequest;
  int cursorMenuUpdateOff;
  int sizableWindow;
  double windowScale;
  int hiddenWindow;
  int directXVersionCode;
  int windowsVersionCode;
  int useMmx;
  MessageHookCallback messageHook;
  uint32_t logTimeBase;
  int useConfiguredPosition;
  int configuredX, configuredY;
  int noGraphics;
  HANDLE windowShapeRegion;
  HWND userWindow;  // the main window handle in user-window mode
  int comStarted;   // kept: a second start must fail at StartComLibrary
  int allocTotalSize;   // debug allocation totals: bytes and blocks
  int allocBlockCount;

  // Cleared at window creation.
  HINSTANCE instance;
  HWND mainWindow;
  WindowProcedure userWindowProc;
  RECT clientRect;
  int modeChanging;
  int quitFlag;
  int closingRequested;
  int destroyedFlag;
  int displayChangeArrived;
  int activeFlag;
  int displayLostWhileInactive;
  int modeToggleRequested;
  int closeState;
  int cursorShownRequest;
  int systemCursorShown;
  int wheelCounter;
  int performanceCounterFlag;
  int64_t performanceFrequency;
  int desktopWidth, desktopHeight, desktopBits;
  int creatingFlag;
  int logIndent;
  int logMidLine;
  RECT requestedDrawArea;
  HANDLE savedImage;
  int initialisedFlag;
  int menuShownNow;
  int menuNearTop;
  int pendingMenuCommands[kMaxPendingMenuCommands];
  int pendingMenuCommandCount;
  int windowShownFlag;
  int systemKeysOff;
  std::string hookLibraryPath;  // the companion keyboard-hook library; empty: none
  HANDLE hookLibrary;
  HHOOK hookHandle;
  HHOOK keyboardHook;
  int hookApplied;
  int timeStampCounterAvailable;
  uint64_t timeStampTicksPer500ms;
  HWND extraWindows[kMaxExtraWindows];
  int extraWindowCount;
  HWND dialogHandle;
  char* droppedFiles[kMaxDroppedFiles];
  int droppedFileCount;
  int doubleByteKind;
  MenuItemEntry menuItems[kMaxMenuItems];
  int menuItemCount;
};

extern LibrarySystemState SystemState;

// Window creation: clears every field but the kept ones.
void ClearSystemStateForWindowCreation();
// Puts the whole record back to its process-start value (tests and a process that starts the library again).
void ResetSystemState();
