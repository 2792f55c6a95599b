// Graphics entries the library core reaches that belong to display-change recovery, graph restore and masks,
// which are not built yet: the refill callback is kept with the graph manager, recovery has nothing to restore,
// and mask drawing is the draw state's switch.
#include "graphics/graphics_system.h"

namespace {
int DefaultGraphRefill() { return 0; }
}  // namespace

int SetGraphRefillCallback(GraphRefillCallback callback) {
  GetGraphicsManagerState().refill = callback != nullptr ? callback : DefaultGraphRefill;
  return 0;
}

int HasGraphRefillCallback() { return GetGraphicsManagerState().refill != nullptr ? 1 : 0; }
int ResetGraphicsAfterDisplayChange() { return 0; }
int RestoreAllGraphSurfaces() { return 0; }
int GetMaskDrawOn() { return GetGraphicsDrawState().maskDrawing; }

int SetMaskDrawOn(int on) {
  GetGraphicsDrawState().maskDrawing = on;
  return 0;
}
