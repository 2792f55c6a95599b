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

int GetMaskDrawOn();
int SetMaskDrawOn(int on);
int SetGraphRefillCallback(GraphRefillCallback callback);
int HasGraphRefillCallback();
int ResetGraphicsAfterDisplayChange();
int RestoreAllGraphSurfaces();
