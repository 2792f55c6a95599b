// The draw state read by every drawer at each call, and the front-end's setters and getters of it.
#pragma once
#include "vomak.h"
#include <cstdint>

#include "platform/win32/types.h"

// One process-wide record; zero at process start and not cleared when the graph manager starts.
struct GraphicsDrawState {
  int32_t suspended;
  int32_t blendMode;
  int32_t blendParam;
  union {
    uint8_t brightness[4];      // blue, green, red, fourth byte
    uint32_t brightnessWord;    // 0xFFFFFFFF: no brightness
  };
  int32_t drawTarget;           // -4 front screen, -2 back screen, else a GraphHandle
  int32_t targetWidth, targetHeight;
  RECT clip;
  int32_t clipEmpty;
  RECT screenOffset;
  int32_t maskDrawing;
  int32_t use3D;
  int32_t alphaChannel;
  int32_t alphaTest;
  int32_t systemMemory;         // stored inverted by SetGraphCreateFlagB
  int32_t bitDepth;
  int32_t drawValid;
  int32_t convertDither;
  int32_t targetInVideoMemory;  // written by the software draw-target switch
  int32_t maskSurfaceInVideoMemory;
  uint32_t transparentColor;    // 0x00RRGGBB, the colour key of new graphs
};

GraphicsDrawState& GetGraphicsDrawState();

int SetBackFaceCulling(int flag);
int SetUse3DGraphs(int flag);
int SetGraphAlphaTestFlag(int value);
int GetGraphAlphaTestFlag();
int SetGraphCreateFlagB(int value);
int GetGraphCreateFlagB();
int GetConvertDitherFlag();
int GetDrawTarget();
// Called as a graph is deleted: when it is the draw target, the back screen becomes the target.
void ReleaseDeletedDrawTarget(int graphHandle);
int GetEffectiveUse3DGraphs();
