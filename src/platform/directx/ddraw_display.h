// Controls of the DirectDraw substitute's display for tests and hosts: the video memory the adapter reports
// and lost surfaces. Everything else (desktop, modes, failures, presented frames) comes from the platform host.
//
// Named failures the substitute asks the host about: "DirectDrawCreate" (DirectDrawCreate and COM creation),
// "DirectDrawCreateEx", "DirectDrawInitialize", "SetCooperativeLevel", "CreateSurface", "Surface::Lock",
// "Surface::GetDC"; "SetDisplayMode" is the host's own. A change of the display mode (set here or by another
// program) loses every surface made before it. Primary surfaces show their pictures through the host: the whole
// primary in exclusive mode, the window's client rectangle of the desktop-sized primary in window mode.
#pragma once
#include <cstdint>

// Video memory the display adapter has, in bytes (32 MiB until set).
void SetDirectDrawVideoMemory(uint32_t bytes);
uint32_t DirectDrawVideoMemory();

// Marks every live surface lost, as a display change made by another program would.
void MarkAllDirectDrawSurfacesLost();
