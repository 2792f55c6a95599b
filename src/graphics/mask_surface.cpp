// The mask screen's surface as the drawers ask for it. No call of this program makes a mask screen, so there is
// none until the mask system builds one.
#include "graphics/mask.h"

IDirectDrawSurface7* QueryMaskSurface() { return nullptr; }
