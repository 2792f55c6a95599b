// The mask system: a screen-sized byte mask that limits drawing, its DirectDraw surface, and the mask handles.
#pragma once
#include <cstdint>

#include "platform/win32/types.h"
#include "vomak.h"

class IDirectDrawSurface7;

// The mask screen's surface, null while no mask screen is made.
IDirectDrawSurface7* QueryMaskSurface();
// Makes the buffer and/or the surface when asked for and missing; 0. A surface that cannot be made is fatal.
int BuildMaskSurface(int makeBuffer, int makeSurface);
// Builds both again when a mask screen is wanted and turns mask drawing back on; 0.
int RebuildMaskSurface();
// Cuts a rectangle (target coordinates) to the mask's extent, the screen's size; empty without a mask buffer.
// Drawing with the mask on reaches nothing outside it.
void ClipRectToMask(RECT* rect);
// Releases the surface around a display change; the mask's bytes, the wish for a mask screen and the switch stay.
int FreeMaskSurface();
// Ends the mask screen: drawing switch off, buffer and surface gone, no mask screen wanted.
int StopMaskSurface();
int DeleteMaskHandle(int handle);
int DeleteAllMasks();
// Around one draw: save the target's rectangle into the mask surface, then copy back what the mask allows.
int MaskSaveBeforeDraw(int left, int top, int right, int bottom, IDirectDrawSurface7* target);
int MaskApplyAfterDraw(int left, int top, int right, int bottom, IDirectDrawSurface7* target);
