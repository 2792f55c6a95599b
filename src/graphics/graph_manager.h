// Graphs and their handles: the graph table, creation, loading, division, derivation, deletion and the
// start and end of the graphics system.
#pragma once
#include "vomak.h"
#include <cstdint>

#include "graphics/graph_image.h"
#include "graphics/handle_kind.h"
#include "platform/win32/types.h"

// Creation settings copied into every new graph and every surface data record it uses (eight bytes).
struct GraphCreateParams {
  uint8_t texture;        // 1: the graph lives on the Direct3D side
  uint8_t AlphaChFlag;    // the graph has an alpha channel
  uint8_t DrawValid;      // the graph may serve as a draw target
  uint8_t systemMemory;   // a standard surface in system memory
  uint8_t AlphaTestFlag;
  uint8_t ColorBitDepth;
  uint8_t reserved[2];
};
static_assert(sizeof(GraphCreateParams) == 8, "GraphCreateParams layout");

constexpr int kGraphPartMax = 16;
constexpr int kGraphTableSize = 30000;

struct GraphRecord {
  uint32_t check;
  int32_t* deletedFlag;         // set to 1 when the graph is deleted
  int32_t handle;
  GraphCreateParams params;
  uint32_t loadOption;          // option passed to the picture loader when the graph is reloaded
  int32_t parts[kGraphPartMax]; // Surface2DHandle (DirectDraw side) or Surface3DHandle (Direct3D side)
  int32_t partCount;
  char* fileName;               // path given to the load call, MemAlloc'd; null when none
  char* directory;              // current directory when the name was recorded, MemAlloc'd; null when none
  uint16_t srcX, srcY;          // top-left corner inside the picture shown
  uint16_t width, height;
  int32_t movie;                // MovieHandle, -1 none
  int32_t restorePending;
};

using GraphTable = HandleTable<GraphRecord, kGraphTableSize, GraphHandle>;

// Cleared whole by StartGraphicsManager except the fields it keeps (refill callback, kept front-end setting).
struct GraphicsManagerState {
  int started;
  GraphTable graphs;
  int threeDAvailable;
  GraphRefillCallback refill;
  int topLeftPixelOption;       // transparent colour from a picture's top-left pixel; nothing turns it on
  int keptFrontEndSetting;      // the front-end setting that survives a restart (frame boxes through Direct3D)
};

GraphicsManagerState& GetGraphicsManagerState();

// Start and end of the graphics system.
int GraphicsStartup(HWND window);
int GraphicsShutdown();
int StartGraphicsManager();
int StopGraphicsManager();

// Lookup: the record behind a valid graph handle, else null.
GraphRecord* GetGraphRecord(int graphHandle);
int GetGraphHandleOfRecord(const GraphRecord* record);

// Creation.
int AllocGraphSlot(int width, int height, int want3D, int ignored, GraphRecord** recordOut, int alphaFlag);
int CreateEmptyGraph(int width, int height, int want3D, int alphaFlag);
int CreateGraphSizedForImage(GraphImage* image, GraphImage* alphaImage, int want3D);
int BuildGraphFromImage(GraphImage* image, GraphImage* alphaImage, int want3D, int turned, int turnHere);
int CreateDivGraphFromGraphImage(GraphImage* image, GraphImage* alphaImage, int allNum, int xNum, int yNum,
                                 int xSize, int ySize, int* handleBuf, int want3D, int turned, int turnHere);

// Loading.
int LoadGraphFile(const char* path, int want3D, int turned, int movieOption);
int LoadDividedGraphFile(const char* path, int allNum, int xNum, int yNum, int xSize, int ySize, int* handleBuf,
                         int want3D, int turned);

// Filling and naming. srcFormat describes a GDI bitmap when fromBitmap is 1.
int FillGraphFromImage(const ColorFormat* srcFormat, HBITMAP bitmap, HBITMAP alphaBitmap, const char* name,
                       int fromBitmap, GraphImage* image, GraphImage* alphaImage, int srcX, int srcY, int handle,
                       int loadOption);
int FillGraphFromPixelData(const ColorFormat* srcFormat, HBITMAP bitmap, HBITMAP alphaBitmap, const char* name,
                           int fromBitmap, GraphImage* image, GraphImage* alphaImage, const RECT* srcRect,
                           int destX, int destY, int handle, int loadOption);
int SetGraphFileName(int handle, const char* name);
