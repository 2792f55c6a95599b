#include "core/system_state.h"

#include <algorithm>
#include <iterator>
#include <utility>

LibrarySystemState SystemState{};

void ClearSystemStateForWindowCreation() {
  LibrarySystemState old = std::move(SystemState);
  SystemState = LibrarySystemState{};
  LibrarySystemState& s = SystemState;
  s.windowModeFlag = old.windowModeFlag;
  s.styleIndex = old.styleIndex;
  s.userWindowMode = old.userWindowMode;
  s.modeToggleAllowed = old.modeToggleAllowed;
  s.modeChangeCallback = old.modeChangeCallback;
  s.modeChangeData = old.modeChangeData;
  s.keepWindowOnClose = old.keepWindowOnClose;
  s.noQuitMessage = old.noQuitMessage;
  s.doubleStartAllowed = old.doubleStartAllowed;
  s.timeStampsOff = old.timeStampsOff;
  s.loggingOff = old.loggingOff;
  s.logFolder = std::move(old.logFolder);
  std::copy(std::begin(old.title), std::end(old.title), std::begin(s.title));
  s.alwaysRun = old.alwaysRun;
  s.iconId = old.iconId;
  s.acceleratorTable = old.acceleratorTable;
  s.menuHandle = old.menuHandle;
  s.menuOn = old.menuOn;
  s.menuCommandCallback = old.menuCommandCallback;
  s.menuNameCallback = old.menuNameCallback;
  s.menuHideRequest = old.menuHideRequest;
  s.cursorMenuUpdateOff = old.cursorMenuUpdateOff;
  s.sizableWindow = old.sizableWindow;
  s.windowScale = old.windowScale;
  s.hiddenWindow = old.hiddenWindow;
  s.directXVersionCode = old.directXVersionCode;
  s.windowsVersionCode = old.windowsVersionCode;
  s.useMmx = old.useMmx;
  s.messageHook = old.messageHook;
  s.logTimeBase = old.logTimeBase;
  s.useConfiguredPosition = old.useConfiguredPosition;
  s.configuredX = old.configuredX;
  s.configuredY = old.configuredY;
  s.noGraphics = old.noGraphics;
  s.windowShapeRegion = old.windowShapeRegion;
  s.userWindow = old.userWindow;
  s.comStarted = old.comStarted;
  s.allocTotalSize = old.allocTotalSize;
  s.allocBlockCount = old.allocBlockCount;
  // In user-window mode the caller's window is the main window and survives the clear.
  if (s.userWindowMode) s.mainWindow = old.mainWindow;
}

void ResetSystemState() { SystemState = LibrarySystemState{}; }
