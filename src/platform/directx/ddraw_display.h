// Controls of the DirectDraw substitute's display for tests and hosts: the video memory the adapter reports
// and lost surfaces. Everything else (desktop, modes, failures, presented frames) comes from the platform host.
#pragma once
#include <cstdint>

// Video memory the display adapter has, in bytes (32 MiB until set).
void SetDirectDrawVideoMemory(uint32_t bytes);
uint32_t DirectDrawVideoMemory();

// Marks every live surface lost, as a display change made by another program would.
void MarkAllDirectDrawSurfacesLost();
