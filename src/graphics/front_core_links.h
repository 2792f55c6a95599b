// What the draw front-end calls of the library core and the mask switch, for the files that have no header of
// their own in the tree yet (the declarations match the core's).
#pragma once

void WaitForActivation();
int GetClientScreenRect(int* rect);
int IsWindowModeOn();
int GetDesktopMetrics(int* width, int* height, int* bits);
int StoreRequestedDrawArea(const int* rect);
int GetMaskDrawOn();
int SetMaskDrawOn(int on);
