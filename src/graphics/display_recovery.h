// The DirectDraw side of a display change: the object, palette, clipper and every graph's surface are released
// and made again while the graph, surface data and 2-D surface records keep their handles.
#pragma once

int ReleaseDirectDrawObject();
// Does nothing while an object exists.
int RecreateDirectDrawObject();
int ReleasePaletteObject();
// On an 8-bit screen the palette object is made again with the 256 entries it had.
int ReapplyScreenPalette();
int Release2DSurfaceObjects();
// One surface per surface data record, however many 2-D surfaces name it, with its colour key.
int Recreate2DSurfaceObjects();
// Full screen only: back to the desktop's mode when the program had changed it.
int RestoreDisplayModeIfChanged();
int ReapplyScreenMode();
int ReleaseClipper();
// Releases a clipper that still exists first, so only one ever lives.
int RecreateClipper();
