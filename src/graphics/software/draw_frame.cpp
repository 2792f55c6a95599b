// The software drawers' frame: destination choice, work copies, locks and the loops' settings.
#include "graphics/software/draw_frame.h"

#include "core/log.h"
#include "graphics/ddraw_layer.h"
#include "graphics/direct3d/d3d_services.h"
#include "graphics/draw_state.h"
#include "graphics/mask.h"
#include "graphics/software/backend_glue.h"
#include "graphics/surface_data.h"
#include "platform/directx/ddraw.h"

RECT DrawFrameClip() {
  RECT clip = GetGraphicsDrawState().clip;
  // The mask surface has the screen's size, which a graph target may pass.
  if (GetGraphicsDrawState().maskDrawing != 0 && QueryMaskSurface() != nullptr) ClipRectToMask(&clip);
  return clip;
}

int OpenDrawFrame(DrawFrame* f) {
  DirectDrawLayerState& layer = GetDirectDrawLayerState();
  const GraphicsDrawState& state = GetGraphicsDrawState();
  if (layer.drawingDisabled != 0 || layer.directDraw == nullptr) return -1;
  IDirectDrawSurface7* mask = state.maskDrawing != 0 ? QueryMaskSurface() : nullptr;
  f->destination = mask != nullptr ? mask : layer.drawTarget;
  f->destinationInVideoMemory = mask != nullptr ? state.maskSurfaceInVideoMemory : state.targetInVideoMemory;
  if (layer.drawFlush != 0) EndCurrentD3DScene();
  if (f->destination == nullptr) return -1;
  f->clip = DrawFrameClip();
  // Draw coordinates address the target's own area: the window's place on the front screen, a graph's view
  // inside its shared surface.
  f->offset = POINT{state.screenOffset.left, state.screenOffset.top};
  if (mask == nullptr) {
    f->offset.x += layer.drawTargetArea.left;
    f->offset.y += layer.drawTargetArea.top;
  }
  f->screen = &layer.screenFormat;
  f->depth = layer.screenDepth;
  f->screenWidth = layer.screenWidth;
  f->screenHeight = layer.screenHeight;
  return 0;
}

namespace {

bool FitsWork(const DrawFrame& f, const RECT& r, int atX, int atY) {
  return atX >= 0 && atY >= 0 && int64_t(atX) + r.right - r.left <= f.screenWidth &&
         int64_t(atY) + r.bottom - r.top <= f.screenHeight && r.right > r.left && r.bottom > r.top;
}

// Locks a whole surface; the description's pointer and pitch come back.
bool LockWhole(IDirectDrawSurface7* surface, DWORD flags, uint8_t** bits, intptr_t* pitch) {
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  if (FAILED(surface->Lock(nullptr, &desc, flags, nullptr)) || desc.lpSurface == nullptr) return false;
  *bits = static_cast<uint8_t*>(desc.lpSurface);
  *pitch = desc.lPitch;
  return true;
}

}  // namespace

bool CopyBackgroundToWork(DrawFrame* f, const RECT& rect, int atX, int atY) {
  IDirectDrawSurface7* work = GetDirectDrawLayerState().work1;
  if (work == nullptr || !FitsWork(*f, rect, atX, atY)) return false;
  RECT r = rect;
  G_DDraw_CopySurfaceRect(work, f->destination, atX, atY, &r);
  f->backgroundCopied = true;
  return true;
}

bool CopySourceToWork(DrawFrame* f, IDirectDrawSurface7* source, const RECT& rect) {
  IDirectDrawSurface7* work = GetDirectDrawLayerState().work2;
  // This platform's video memory is ordinary memory, as fast to read as a copy; only a source that is the
  // destination itself must be read from a copy, before the loops overwrite it.
  if (source != f->destination) return false;
  if (work == nullptr || source == nullptr || !FitsWork(*f, rect, 0, 0)) return false;
  RECT r = rect;
  G_DDraw_CopySurfaceRect(work, source, 0, 0, &r);
  f->sourceCopied = true;
  f->sourceCopyRect = rect;
  return true;
}

void LockDrawFrame(DrawFrame* f, IDirectDrawSurface7* source, DWORD destinationFlags, DWORD sourceFlags,
                   const DrawFrameTexts& texts) {
  const DirectDrawLayerState& layer = GetDirectDrawLayerState();
  if (!LockWhole(f->destination, destinationFlags, &f->dst, &f->dstPitch)) ExitOnError(texts.destination);
  f->locked = true;
  if (f->sourceCopied) source = layer.work2;
  if (source != nullptr) {
    uint8_t* bits = nullptr;
    if (!LockWhole(source, sourceFlags, &bits, &f->srcPitch)) {
      f->destination->Unlock(nullptr);
      ExitOnError(texts.firstSource);
    }
    f->src = bits;
    f->lockedSource = source;
  }
  if (f->backgroundCopied) {
    uint8_t* bits = nullptr;
    if (!LockWhole(layer.work1, sourceFlags, &bits, &f->bgPitch)) {
      if (f->lockedSource != nullptr) f->lockedSource->Unlock(nullptr);
      f->destination->Unlock(nullptr);
      ExitOnError(texts.secondSource);
    }
    f->bg = bits;
  } else {
    f->bg = f->dst;
    f->bgPitch = f->dstPitch;
  }
}

void CloseDrawFrame(DrawFrame* f) {
  if (!f->locked) return;
  f->destination->Unlock(nullptr);
  if (f->lockedSource != nullptr) f->lockedSource->Unlock(nullptr);
  if (f->backgroundCopied) GetDirectDrawLayerState().work1->Unlock(nullptr);
  f->locked = false;
  f->lockedSource = nullptr;
}

blit::Settings DrawFrameSettings(const DrawFrame& f, int transparent, uint32_t transparentColor) {
  const DirectDrawLayerState& layer = GetDirectDrawLayerState();
  const GraphicsDrawState& state = GetGraphicsDrawState();
  blit::Settings st;
  st.blendMode = state.blendMode;
  st.param = state.blendParam;
  st.bright = state.brightnessWord;
  st.trans = transparent;
  if (transparent != 0 && f.depth != 8)
    st.key = PackScreenColor((transparentColor >> 16) & 0xFF, (transparentColor >> 8) & 0xFF, transparentColor & 0xFF);
  st.lowPrecision = layer.blendLowPrecision != 0;
  st.mmx = layer.useMmx != 0;
  st.screen = f.screen;
  st.mul = &BlendMultiplyTable[0][0];
  return st;
}

bool SourceInSystemMemory(const SurfaceDataRecord& data) { return data.params.systemMemory != 0; }
