// Screen-mode change with its fall-backs, and the screen surfaces (primary, back and two work surfaces).
#pragma once
#include <cstdint>

#include "platform/win32/types.h"

class IDirectDraw7;

// -1 keeps a value; force rebuilds even when nothing changes. 0, -1 (previous mode set again) or -2 (640 x 480
// in 16-bit colour set).
int ChangeScreenMode(int width, int height, int depth, int force, int refreshRate);
int SetCooperativeLevelAndDisplayMode(IDirectDraw7* directDraw, int desktopWidth, int desktopHeight, int width,
                                      int height, int depth, int32_t* depthOut, uint32_t* flagsOut, int windowMode,
                                      int32_t* displayModeChanged, HWND window);
int ReadDisplayPixelFormat();
int CreateScreenSurfaces();
int DestroyScreenSurfaces();
int RestoreScreenMode();
int RestoreLostScreenSurfaces();

// The frame time of one pass of four samples: the first of samples 0, 1, 2 that equals a later one, else -1.
int FrameTimeFromSamples(const int samples[4]);
// (2 x frame time - 4) / 3, or -1 without a frame time.
int PresentIntervalOf(int frameTime);
