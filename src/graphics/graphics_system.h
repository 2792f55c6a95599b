// What the library core calls of the graphics system: its start and end, the screen settings it reads, the
// refill callback and the steps of a display change, the draw target and the clip area.
#pragma once
#include "graphics/ddraw_layer.h"
#include "graphics/draw_front.h"
#include "graphics/draw_state.h"
#include "graphics/graph_manager.h"
#include "graphics/mask.h"
#include "graphics/screen_mode.h"
#include "graphics/software/backend_glue.h"
#include "platform/win32/types.h"

int HasGraphRefillCallback();
int DefaultGraphRefill();
// The whole rebuild after a display change; every graph, font and handle value survives it.
int ResetGraphicsAfterDisplayChange();
// Restores a graph's lost surfaces (no pixels are refilled); -1 for a bad handle.
int RestoreGraphSurfaces(int handle);
int RestoreAllGraphSurfaces();
// Fonts made again, every graph marked restore-pending, then the refill callback.
int RestoreAllGraphics();
