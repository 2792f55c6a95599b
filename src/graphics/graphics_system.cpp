// Graphics entries the library core reaches that belong to display-change recovery, graph restore and masks,
// which are not built yet: the refill callback is kept, recovery has nothing to restore, mask drawing is a flag.
#include "graphics/graphics_system.h"

namespace {

struct GraphicsEntryState {
  GraphRefillCallback refill = nullptr;
  int maskDrawOn = 0;
};
GraphicsEntryState graphicsEntries;

int DefaultGraphRefill() { return 0; }

}  // namespace

int SetGraphRefillCallback(GraphRefillCallback callback) {
  graphicsEntries.refill = callback ? callback : DefaultGraphRefill;
  return 0;
}

int HasGraphRefillCallback() { return graphicsEntries.refill != nullptr; }
int ResetGraphicsAfterDisplayChange() { return 0; }
int RestoreAllGraphSurfaces() { return 0; }
int GetMaskDrawOn() { return graphicsEntries.maskDrawOn; }

int SetMaskDrawOn(int on) {
  graphicsEntries.maskDrawOn = on;
  return 0;
}

