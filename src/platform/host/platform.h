// Services of the substitute platform for its own units (window code, DirectX objects, media): the current
// host, named failures, the display mode, presenting, and the text conversion at the host's edge.
#pragma once
#include <string>

#include "platform/host/host.h"

namespace host {

// The host in use. A program that selected none gets the SDL host on first use; tests select the headless
// host first (platform/host/headless/headless_host.h).
Host& Current();

// True when a test has asked the platform call of this name to fail now (headless only). Names are those of
// the calls ("CoInitialize", "CreateWindowExA", "DirectDrawCreate", "Surface::Lock", "CreateSurface", ...);
// a call that fails for a particular argument also asks "Name:ARGUMENT" (for example "LoadLibraryA:DDRAW.DLL").
bool ShouldFail(const char* name);

// The current display mode (the desktop until a mode is set) and mode changes. Every set and every restore
// posts WM_DISPLAYCHANGE (depth, width | height << 16) to each top-level window, also when nothing changed.
DisplayMode CurrentDisplayMode();
bool SetDisplayMode(int width, int height, int bitsPerPixel, int refreshRate);
void RestoreDisplayMode();
bool IsDisplayModeChanged();

// Shows a picture in a window's client area (the DirectDraw primary's client rectangle in window mode).
void PresentFrame(HWND window, const Frame& frame);

// Shift-JIS (code page 932) to UTF-8, for titles, message boxes and terminal output.
std::string ShiftJisToUtf8(const char* text);
// Writes Shift-JIS text to the terminal's standard error as UTF-8.
void WriteStandardError(const char* text);

}  // namespace host
