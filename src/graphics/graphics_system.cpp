// The graphics system's entries as the library core reaches them, until the graphics system is built here:
// the start records that it ran, the screen keeps its default settings and nothing is drawn.
#include "graphics/graphics_system.h"

namespace {

struct GraphicsEntryState {
  int started = 0;
  int flipWaitVBlank = 0;
  GraphRefillCallback refill = nullptr;
  int maskDrawOn = 0;
};
GraphicsEntryState graphicsEntries;

int DefaultGraphRefill() { return 0; }

}  // namespace

int GraphicsStartup(HWND) {
  if (graphicsEntries.started) return -1;
  graphicsEntries.started = 1;
  return 0;
}

int GraphicsShutdown() {
  graphicsEntries.started = 0;
  return 0;
}

int QueryScreenSize(int* width, int* height) {
  if (width) *width = 640;
  if (height) *height = 480;
  return 0;
}

int QueryScreenColorBitDepth() { return 16; }
IDirectDraw7* QueryDirectDrawObject() { return nullptr; }
int GetDisplayModeChangedFlag() { return 0; }
int GetAltPresentFlag() { return 0; }

int SetFlipWaitForVBlank(int value) {
  graphicsEntries.flipWaitVBlank = value;
  return 0;
}

int ReadDisplayPixelFormat() { return 0; }
int ChangeScreenMode(int, int, int, int, int) { return 0; }

int SetGraphRefillCallback(GraphRefillCallback callback) {
  graphicsEntries.refill = callback ? callback : DefaultGraphRefill;
  return 0;
}

int HasGraphRefillCallback() { return graphicsEntries.refill != nullptr; }
int ResetGraphicsAfterDisplayChange() { return 0; }
int RestoreAllGraphSurfaces() { return 0; }
int G_DDraw_CopyBackToFront() { return 0; }
int GetMaskDrawOn() { return graphicsEntries.maskDrawOn; }

int SetMaskDrawOn(int on) {
  graphicsEntries.maskDrawOn = on;
  return 0;
}

