// The DirectDraw layer: the process's one DirectDraw object, its clipper, palette and screen surfaces, the screen
// settings and colour format, the layer's flags and the blend multiply table.
#pragma once
#include "vomak.h"
#include <cstdint>

#include "core/file_access.h"
#include "graphics/color_format.h"
#include "platform/win32/com.h"
#include "platform/win32/types.h"

class IDirectDraw7;
class IDirectDrawSurface7;
class IDirectDrawClipper;
class IDirectDrawPalette;
struct DDPIXELFORMAT;
struct DDSURFACEDESC2;

// One 8-bit palette entry as the platform's palette object takes it.
struct ScreenPaletteEntry {
  uint8_t red, green, blue, flags;
};

struct DirectDrawDeviceEntry {
  GUID guid;
  char driverName[512];
  char description[512];
  uint32_t totalVideoMemory;
  int32_t threeDCapable;
  int32_t used;
};

constexpr int kDirectDrawCapsSize = 380;
constexpr int kDirectDrawDeviceMax = 10;

struct DirectDrawLayerState {
  IDirectDraw7* directDraw;
  IDirectDrawClipper* clipper;
  IDirectDrawPalette* palette;
  ScreenPaletteEntry paletteEntries[256];
  HWND mainWindow;
  DirectDrawDeviceEntry chosenDevice;
  GUID* deviceGuid;
  alignas(8) uint8_t driverCaps[kDirectDrawCapsSize];
  DirectDrawDeviceEntry devices[kDirectDrawDeviceMax];
  int32_t deviceCount;
  int32_t screenWidth, screenHeight, screenDepth;
  int32_t refreshRate;
  uint32_t cooperativeFlags;
  int32_t overlayFormatIndex;
  IDirectDrawSurface7* primary;
  IDirectDrawSurface7* back;
  IDirectDrawSurface7* work1;
  IDirectDrawSurface7* work2;
  IDirectDrawSurface7* drawTarget;
  RECT drawTargetArea;          // the part of the draw-target surface that drawing may address (a graph's view)
  ColorFormat screenFormat;
  int32_t frameTime;            // ms, -1 when none was measured
  int32_t presentInterval;      // (2 * frame time - 4) / 3, -1 without a frame time
  uint32_t lastModeChangeTime;
  int32_t hadModeChange;        // a screen-mode change has happened (the spacing applies only after one)
  // Flags.
  int32_t displayModeChanged;
  int32_t flipWaitVBlank;
  int32_t noDirect3D;
  int32_t drawFlush;            // end the 3-D scene before software drawing
  int32_t useMmx;
  int32_t blendLowPrecision;
  int32_t softwareScreen;
  int32_t altPresent;           // presents become a copy
  int32_t multithreaded;
  int32_t gdiCopyFaster;
  int32_t drawingDisabled;
  int32_t layerStarted;
};

DirectDrawLayerState& GetDirectDrawLayerState();

// BlendMultiplyTable[i][j] = (i * j) >> 8, built when the layer starts.
extern uint32_t BlendMultiplyTable[256][256];

int StartDirectDrawLayer();
int StopDirectDrawLayer();
int CreateDirectDrawObject(IDirectDraw7** out);
int CreateClipperForWindow(IDirectDraw7* directDraw, IDirectDrawClipper** out, HWND window);
int CreateScreenPalette();
int ReleaseScreenPalette();
int UpdatePaletteEntries();
HRESULT SetPaletteOnAttached(IDirectDrawSurface7* surface, DDSURFACEDESC2* description, void* context);
int EnumerateDirectDrawDevices();
int OnDirectDrawDeviceFound(GUID* guid, char* description, char* driverName, void* context, void* monitor);
// Entries are 0x00RRGGBB as little-endian words.
int LoadPaletteFromBmpFile(const char* path, uint32_t* entries);
int LoadPaletteFromPngFile(FileHandle file, uint32_t* entries);

// Accessors.
int SetDrawFlushFlag(int value);
int SetNoDirect3DFlag(int value);
int SetBlendLowPrecisionFlag(int value);
int QueryScreenSize(int* width, int* height);
int QueryScreenBitDepth();
int QueryScreenColorBitDepth();
IDirectDrawSurface7* QueryDrawTargetSurface();
IDirectDrawSurface7* QueryPrimarySurface();
IDirectDrawSurface7* QueryBackSurface();
IDirectDrawSurface7* QueryWorkSurface();
int IsDrawingToPrimaryInWindow();
IDirectDraw7* QueryDirectDrawObject();
int GetDisplayModeChangedFlag();
int SetDisplayModeChangedFlag(int value);
ColorFormat* GetScreenColorFormat();
int GetSoftwareScreenFlag();
const DDPIXELFORMAT* GetOverlayPixelFormat();
void CopyDirectDrawCaps(void* capsOut);
int GetAltPresentFlag();
// The main window given to GraphicsStartup.
int SetDirectDrawMainWindow(HWND window);
