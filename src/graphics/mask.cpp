// Masks: drawing goes into a screen-sized mask surface and only the pixels the byte mask allows reach the target.
#include "graphics/mask.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "core/main_window.h"
#include "core/memory.h"
#include "core/message_pump.h"
#include "core/system_state.h"
#include "graphics/ddraw_layer.h"
#include "graphics/direct3d/d3d_services.h"
#include "graphics/draw_front.h"
#include "graphics/draw_state.h"
#include "graphics/graph_manager.h"
#include "graphics/handle_kind.h"
#include "graphics/software/backend_glue.h"
#include "platform/directx/ddraw.h"

namespace {

constexpr int kMaskTableSize = 512;

struct MaskRecord {
  uint32_t check;
  void* data;
  uint32_t unused[4];
  int32_t inUse;
};

struct MaskSystem {
  IDirectDrawSurface7* surface;
  uint8_t* buffer;
  int32_t pitch;
  int32_t width, height;  // the screen's size when the buffer was made: the mask's extent
  uint32_t colorKey;
  int32_t created;
  int32_t reverse;
  MaskRecord masks[kMaskTableSize];
};

MaskSystem mask;

RECT ClippedRect(int left, int top, int right, int bottom) {
  RECT r{left, top, right, bottom};
  ClipRectByRect(&r, &GetGraphicsDrawState().clip);
  ClipRectToMask(&r);
  return r;
}

// The target's coordinates are the desktop's when drawing goes to the primary surface of a window, and a derived
// graph's view lies inside its parent's surface.
void ToTargetPosition(int& x, int& y) {
  const RECT& view = GetDirectDrawLayerState().drawTargetArea;
  x += view.left;
  y += view.top;
  if (IsWindowModeOn() == 0 || GetGraphicsDrawState().drawTarget != -4) return;
  int client[4] = {0, 0, 0, 0};
  GetClientScreenRect(client);
  x += client[0];
  y += client[1];
}

// A buffer of the screen's size, keeping the bytes of an older one where both lie (the screen's size may differ
// after a display change).
void MakeMaskBuffer(int width, int height) {
  const int pitch = (width + 3) / 4 * 4;
  // Without a buffer mask drawing stays unavailable: SetMaskDrawOn answers -1.
  auto* made = static_cast<uint8_t*>(MemAllocZeroed(static_cast<size_t>(pitch) * height));
  if (made != nullptr && mask.buffer != nullptr)
    for (int row = 0; row < std::min(height, mask.height); row++)
      std::memcpy(made + row * pitch, mask.buffer + row * mask.pitch, std::min(width, mask.width));
  if (mask.buffer != nullptr) MemFree(mask.buffer);
  mask.buffer = made;
  mask.pitch = pitch;
  mask.width = made != nullptr ? width : 0;
  mask.height = made != nullptr ? height : 0;
}

// The part of a draw's rectangle that the mask handles: clipped, in mask coordinates, and its top-left corner in
// the target's coordinates. False when there is nothing to save or apply.
bool MaskedArea(int left, int top, int right, int bottom, IDirectDrawSurface7* target, RECT* inMask, int* x, int* y) {
  if (mask.surface == nullptr || target == nullptr) return false;
  EndCurrentD3DScene();
  *inMask = ClippedRect(left, top, right, bottom);
  if (inMask->right <= inMask->left || inMask->bottom <= inMask->top) return false;
  *x = inMask->left;
  *y = inMask->top;
  ToTargetPosition(*x, *y);
  return true;
}

bool Forbidden(uint8_t maskByte) { return mask.reverse == 0 ? maskByte != 0 : maskByte == 0; }

}  // namespace

IDirectDrawSurface7* QueryMaskSurface() { return mask.surface; }

void ClipRectToMask(RECT* rect) {
  const RECT extent{0, 0, mask.width, mask.height};
  ClipRectByRect(rect, &extent);
}

int BuildMaskSurface(int makeBuffer, int makeSurface) {
  int width = 0, height = 0;
  QueryScreenSize(&width, &height);
  if (makeBuffer != 0 && (mask.buffer == nullptr || mask.width != width || mask.height != height))
    MakeMaskBuffer(width, height);
  if (makeSurface != 0 && mask.surface == nullptr) {
    DDSURFACEDESC2 description;
    std::memset(&description, 0, sizeof description);
    description.dwSize = sizeof description;
    description.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    description.dwWidth = width;
    description.dwHeight = height;
    description.ddsCaps.dwCaps =
        DDSCAPS_OFFSCREENPLAIN | (GetSoftwareScreenFlag() != 0 ? DDSCAPS_SYSTEMMEMORY : DDSCAPS_3DDEVICE);
    IDirectDraw7* directDraw = QueryDirectDrawObject();
    if (directDraw == nullptr || directDraw->CreateSurface(&description, &mask.surface, nullptr) != DD_OK) {
      mask.surface = nullptr;
      ExitOnError("マスク用サーフェスの作成に失敗しました");
    }
    DDCOLORKEY key{mask.colorKey, mask.colorKey};
    mask.surface->SetColorKey(DDCKEY_SRCBLT, &key);
    DDSCAPS2 caps{};
    mask.surface->GetCaps(&caps);
    GetGraphicsDrawState().maskSurfaceInVideoMemory = (caps.dwCaps & DDSCAPS_VIDEOMEMORY) != 0 ? 1 : 0;
  }
  return 0;
}

int RebuildMaskSurface() {
  BuildMaskSurface(mask.created, mask.created);
  if (GetGraphicsDrawState().maskDrawing != 0) SetMaskDrawOn(1);
  return 0;
}

int FreeMaskSurface() {
  // The bytes are the program's drawing rules, not a copy of the screen: they outlive a display change.
  if (mask.surface != nullptr) mask.surface->Release();
  mask.surface = nullptr;
  return 0;
}

int StopMaskSurface() {
  // Waiting for activation would block a shut-down that starts while the window is inactive.
  if (mask.surface != nullptr && SystemState.closeState == 0) WaitForActivation();
  if (GetGraphicsDrawState().maskDrawing != 0) SetMaskDrawOn(0);
  FreeMaskSurface();
  if (mask.buffer != nullptr) MemFree(mask.buffer);
  mask.buffer = nullptr;
  mask.width = mask.height = 0;
  mask.created = 0;
  return 0;
}

int DeleteMaskHandle(int handle) {
  if (handle < 0 || (handle & HandleKindMask) != MaskHandle) return -1;
  int slot = HandleSlot(handle);
  if (slot >= kMaskTableSize) return -1;
  MaskRecord& record = mask.masks[slot];
  if (record.inUse != 1 || record.check != HandleCheck(handle)) return -1;
  if (record.data != nullptr) MemFree(record.data);
  std::memset(&record, 0, sizeof record);
  return 0;
}

int DeleteAllMasks() {
  for (int slot = 0; slot < kMaskTableSize; slot++)
    if (mask.masks[slot].inUse == 1) DeleteMaskHandle(MakeHandle(MaskHandle, mask.masks[slot].check, slot));
  return 0;
}

int MaskSaveBeforeDraw(int left, int top, int right, int bottom, IDirectDrawSurface7* target) {
  RECT r;
  int x = 0, y = 0;
  if (!MaskedArea(left, top, right, bottom, target, &r, &x, &y)) return 0;
  RECT source{x, y, x + (r.right - r.left), y + (r.bottom - r.top)};
  mask.surface->BltFast(r.left, r.top, target, &source, 0);
  return 0;
}

int MaskApplyAfterDraw(int left, int top, int right, int bottom, IDirectDrawSurface7* target) {
  RECT r;
  int x = 0, y = 0;
  if (!MaskedArea(left, top, right, bottom, target, &r, &x, &y)) return 0;
  const int bytes = QueryScreenColorBitDepth() / 8;
  if (bytes != 1 && bytes != 2 && bytes != 4) return 0;
  DDSURFACEDESC2 from, to;
  std::memset(&from, 0, sizeof from);
  std::memset(&to, 0, sizeof to);
  from.dwSize = to.dwSize = sizeof from;
  // A surface that cannot be locked skips the apply: the target keeps what it had.
  bool maskLocked = mask.surface->Lock(nullptr, &from, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) == DD_OK;
  bool targetLocked = maskLocked && target->Lock(nullptr, &to, DDLOCK_WAIT, nullptr) == DD_OK;
  if (!targetLocked) {
    if (maskLocked) mask.surface->Unlock(nullptr);
    AppLogWrite("マスク用サーフェスのロックに失敗しました\n");
    return 0;
  }
  // Allowed pixels are copied straight from the mask surface, so a drawn pixel equal to the key is kept too.
  const int width = r.right - r.left;
  for (int row = 0; row < r.bottom - r.top; row++) {
    const uint8_t* maskRow = mask.buffer + (r.top + row) * mask.pitch + r.left;
    const uint8_t* source = static_cast<const uint8_t*>(from.lpSurface) + (r.top + row) * from.lPitch + r.left * bytes;
    uint8_t* destination = static_cast<uint8_t*>(to.lpSurface) + (y + row) * to.lPitch + x * bytes;
    for (int column = 0; column < width; column++)
      if (!Forbidden(maskRow[column]))
        std::memcpy(destination + column * bytes, source + column * bytes, bytes);
  }
  target->Unlock(nullptr);
  mask.surface->Unlock(nullptr);
  return 0;
}

int SetMaskDrawOn(int on) {
  if (mask.buffer == nullptr) return -1;
  GraphicsDrawState& state = GetGraphicsDrawState();
  state.maskDrawing = on;
  if (IsDrawingToPrimaryInWindow() != 0 && on == 0) {
    int client[4] = {0, 0, 0, 0};
    GetClientScreenRect(client);
    state.screenOffset = RECT{client[0], client[1], client[2], client[3]};
  } else {
    int width = 0, height = 0;
    GetGraphSizeOf(state.drawTarget, &width, &height);
    state.screenOffset = RECT{0, 0, width, height};
  }
  G_D3D_SetMaskDrawing(on);
  G_DDraw_SetMaskDrawing(on);
  return 0;
}

int GetMaskDrawOn() { return GetGraphicsDrawState().maskDrawing; }

int CreateMaskScreen() {
  // Before start-up (and after shut-down) there is no screen to make a mask for.
  if (GetGraphicsManagerState().started == 0) return -1;
  mask.created = 1;
  BuildMaskSurface(1, 1);
  return mask.buffer != nullptr ? 0 : -1;
}

int DeleteMaskScreen() { return StopMaskSurface(); }

int FillMaskScreenRect(int left, int top, int right, int bottom, int value) {
  if (mask.buffer == nullptr) return -1;
  left = std::clamp(left, 0, mask.width);
  right = std::clamp(right, 0, mask.width);
  top = std::clamp(top, 0, mask.height);
  bottom = std::clamp(bottom, 0, mask.height);
  for (int row = top; row < bottom && left < right; row++)
    std::memset(mask.buffer + row * mask.pitch + left, value & 0xFF, right - left);
  return 0;
}
