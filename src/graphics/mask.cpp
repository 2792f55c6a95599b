// The mask system's entries until masks are built: no mask surface exists, so there is nothing to save or apply.
#include "graphics/mask.h"

int StopMaskSurface() { return 0; }
int DeleteAllMasks() { return 0; }
int MaskSaveBeforeDraw(int, int, int, int, IDirectDrawSurface7*) { return 0; }
int MaskApplyAfterDraw(int, int, int, int, IDirectDrawSurface7*) { return 0; }
