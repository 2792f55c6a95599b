// The screen log overlay's drawing, which the frame presenter calls and which has no header of its own yet.
#pragma once

int DrawScreenLog();
