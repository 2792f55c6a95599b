// The public draw calls: each returns 0 at once while graphics are suspended or the clip rectangle is empty, -1 for
// a bad graph handle (nothing logged), else its back-end's result. Colours are screen values (PackScreenColor).
#pragma once
#include "vomak.h"
#include <cstdint>

#include "graphics/draw_state.h"
#include "graphics/graph_manager.h"
#include "platform/win32/types.h"

int SetScreenOffsetRect(const RECT* rect);
// Cuts rect in place to clip: bottom, top, right, left, each clamped into clip's range on its axis. A result with
// right <= left or bottom <= top means nothing to draw.
int ClipRectByRect(RECT* rect, const RECT* clip);

// The size the font was made with; -1 for a bad handle.
int GetFontSizeOfHandle(int font);
