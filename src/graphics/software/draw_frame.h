// The frame every software drawer runs its pixel loops in: refuse when DirectDraw is not usable, end the 3-D scene,
// pick the destination, make the system-memory work copies, lock, hand out pixel pointers, unlock.
//
// A drawer uses it as:
//   DrawFrame f;
//   if (OpenDrawFrame(&f) != 0) return -1;          // disabled drawing or no DirectDraw object
//   ... clip its rectangle with f.clip; empty: return ...
//   CopyBackgroundToWork(&f, rectInTarget, x, y);   // when the drawer's rule asks for a background copy
//   CopySourceToWork(&f, sourceSurface, sourceRect); // when the source lies in video memory (and fits)
//   LockDrawFrame(&f, sourceSurface, destFlags, sourceFlags, texts);  // a failed lock ends the process
//   ... loops on f.dst / f.src / f.bg ...
//   CloseDrawFrame(&f);
#pragma once
#include <cstdint>

#include "graphics/color_format.h"
#include "graphics/software/blit_loops.h"
#include "platform/win32/types.h"

class IDirectDrawSurface7;
struct SurfaceDataRecord;

// The fatal texts of one drawer's three locks.
struct DrawFrameTexts {
  const char* destination;
  const char* firstSource;   // the source (or its work copy)
  const char* secondSource;  // the background work copy
};

struct DrawFrame {
  // Filled by OpenDrawFrame.
  IDirectDrawSurface7* destination = nullptr;
  int destinationInVideoMemory = 0;  // the mask surface's flag while drawing into it, else the draw target's
  RECT clip{};                       // the draw state's clip rectangle, in draw coordinates (cut to the mask)
  POINT offset{};                    // added to draw coordinates to address the destination surface
  const ColorFormat* screen = nullptr;
  int depth = 0;
  int screenWidth = 0, screenHeight = 0;

  // Work copies made (each at (0, 0) of its work surface).
  bool backgroundCopied = false;
  bool sourceCopied = false;
  RECT sourceCopyRect{};             // the source rectangle that the second work surface holds

  // Filled by LockDrawFrame: origins (0, 0) of the locked surfaces and their pitches. src is the second work
  // surface when the source was copied; bg is the first work surface when the background was copied, else the
  // destination.
  uint8_t* dst = nullptr;
  intptr_t dstPitch = 0;
  const uint8_t* src = nullptr;
  intptr_t srcPitch = 0;
  const uint8_t* bg = nullptr;
  intptr_t bgPitch = 0;

  IDirectDrawSurface7* lockedSource = nullptr;
  bool locked = false;
};

// Step 1: -1 (nothing logged) when the software drawers are disabled or no DirectDraw object exists; else picks
// the destination (the mask surface when mask drawing is on and one exists, else the draw target), ends the
// current 3-D scene when the layer says one may be open, reads clip, offset and screen, and returns 0.
int OpenDrawFrame(DrawFrame* frame);

// The clip rectangle the drawers keep to: the draw state's, cut to the mask's extent while drawing into the mask.
RECT DrawFrameClip();

// Copies rect (target coordinates, the offset already added) of the destination to (atX, atY) of the first work
// surface through G_DDraw_CopySurfaceRect. Answers false, copying nothing, when it does not fit the work surface:
// the loops then read the destination itself, which gives the same pixels.
bool CopyBackgroundToWork(DrawFrame* frame, const RECT& rect, int atX = 0, int atY = 0);

// Copies rect (absolute in the source surface) to (0, 0) of the second work surface when the source is the
// destination surface itself. Answers false, copying nothing, for any other source or when it does not fit; the
// loops then read the source surface.
bool CopySourceToWork(DrawFrame* frame, IDirectDrawSurface7* source, const RECT& rect);

// Locks, whole surfaces, in the order destination, source (or its work copy), background work copy. A failed lock
// unlocks what this call locked and ends the process through ExitOnError with the matching text. A source that is
// the destination surface itself (a graph drawn onto itself) is locked again, nested.
void LockDrawFrame(DrawFrame* frame, IDirectDrawSurface7* source, DWORD destinationFlags, DWORD sourceFlags,
                   const DrawFrameTexts& texts);

// Unlocks destination, source and background copy (when locked); safe to call on a frame that never locked.
void CloseDrawFrame(DrawFrame* frame);

// The loops' settings from the draw state and the layer: blend mode and parameter, brightness, precision, MMX flag,
// screen format, multiply table, and the key PackScreenColor(transparent colour) when transparent is non-zero.
blit::Settings DrawFrameSettings(const DrawFrame& frame, int transparent, uint32_t transparentColor);

// Whether a source surface lies in system memory (its SurfaceDataRecord's creation setting).
bool SourceInSystemMemory(const SurfaceDataRecord& data);
