// What the graphics core calls of the mask system.
#pragma once

class IDirectDrawSurface7;

// The mask screen's surface, null while no mask screen is made.
IDirectDrawSurface7* QueryMaskSurface();
int StopMaskSurface();
int DeleteAllMasks();
int MaskSaveBeforeDraw(int left, int top, int right, int bottom, IDirectDrawSurface7* target);
int MaskApplyAfterDraw(int left, int top, int right, int bottom, IDirectDrawSurface7* target);
