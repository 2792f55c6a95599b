// The on-screen log overlay: nothing in this program adds a line, so it holds none and draws nothing.
#include "core/screen_log.h"

#include "core/system_state.h"
#include "graphics/graphics_system.h"

namespace {
int screenLogInitialised = 0;
}  // namespace

int InitScreenLog() {
  if (QueryDirectDrawObject() == nullptr || SystemState.mainWindow == nullptr) return -1;
  screenLogInitialised = 1;
  return 0;
}

int EndScreenLog() {
  screenLogInitialised = 0;
  return 0;
}

int GetScreenLogLineCount() { return 0; }

int DrawScreenLog() { return 0; }
