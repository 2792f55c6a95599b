#include "core/library.h"

#include "core/file_access.h"
#include "core/log.h"
#include "core/main_window.h"
#include "core/message_pump.h"
#include "core/screen_log.h"
#include "core/services.h"
#include "core/system_info.h"
#include "core/system_state.h"
#include "core/win32_calls.h"
#include "graphics/graphics_system.h"

namespace {

int FailStartup() {
  ShutdownLibrary();
  return -1;
}

}  // namespace

int StartupLibrary() {
  LibrarySystemState& s = SystemState;
  SetFileAccessFunctions(nullptr);
  s.logFolder = FileAccessGetDirString();
  // A second instance must not empty the log of the one that runs: it appends to it.
  if (FindWindowA(kWindowClassName, nullptr) == nullptr) AppLogOpen();
  else AppLogJoin();

  int desktopBits = ReadDesktopBits();
  if ((desktopBits == 24 && s.windowModeFlag == 1) || QueryScreenColorBitDepth() == 24) {
    return AppLogWrite("ＶＯＭＡＫライブラリは２４ビットカラーモードに対応していません\n");
  }

  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  s.performanceFrequency = frequency.QuadPart;
  s.performanceCounterFlag = (frequency.u.LowPart != 0 || frequency.u.HighPart != 0) ? 1 : 0;

  LogSystemInfoAndCheckDirectX();
  FillStreamFunctionSets();
  SetGraphRefillCallback(nullptr);

  if (StartComLibrary() == -1) return FailStartup();
  if (CreateMainWindow() == -1) return FailStartup();
  if (InitDownloadTable() == -1) return FailStartup();
  if (StartDirectInputLayer() == -1) return FailStartup();
  SoundSystemStartup();
  MusicStartupStub();
  if (!s.noGraphics && GraphicsStartup(s.mainWindow) < 0) return FailStartup();
  ResetTextInputState();
  s.initialisedFlag = 1;
  SetFlipWaitForVBlank(1);
  if (s.windowModeFlag == 0) ForceForeground(s.mainWindow, 1);
  InitScreenLog();
  return 0;
}

int ShutdownLibrary() {
  LibrarySystemState& s = SystemState;
  s.closeState = 1;
  EndScreenLog();
  EndDownloadTable();
  StopNetWorkLayer();
  MusicShutdown();
  StopCurrentMusic();
  GraphicsShutdown();
  EndDirectInputLayer();
  SoundSystemShutdown();
  DestroyMainWindow();
  EndComLibrary();
  AppLogClose();
  s.initialisedFlag = 0;
  // Without a main window nothing can set the quit flag: one pump call is the whole of the final pumping.
  while (PumpWindowMessages() == 0 && s.quitFlag == 0 && s.mainWindow != nullptr) {
  }
  if (!s.logFolder.empty()) FileAccessSetDir(s.logFolder.c_str());
  return 0;
}

int StartComLibrary() {
  LibrarySystemState& s = SystemState;
  if (s.comStarted) return -1;
  AppLogWrite("ＣＯＭの初期化... ");
  if (FAILED(CoInitialize(nullptr))) return AppLogWrite("ＣＯＭの初期化に失敗しました\n");
  AppLogWrite("成功しました\n");
  s.comStarted = 1;
  return 0;
}

int EndComLibrary() {
  LibrarySystemState& s = SystemState;
  if (!s.comStarted) return -1;
  CoUninitialize();
  AppLogWrite("ＣＯＭを終了... 完了\n");
  s.comStarted = 0;
  return 0;
}

int ForceForeground(HWND window, int topmost) {
  DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  DWORD windowThread = GetWindowThreadProcessId(window, nullptr);
  AttachThreadInput(windowThread, foregroundThread, TRUE);
  DWORD timeout = 0;
  SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
  SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
  SetForegroundWindow(window);
  SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<LPVOID>(static_cast<uintptr_t>(timeout)), 0);
  BOOL result = AttachThreadInput(windowThread, foregroundThread, FALSE);
  if (topmost == 1) {
    result = SetWindowPos(SystemState.mainWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW);
  }
  return result;
}
