// Taking the DirectDraw side down to nothing and building it again after a display change.
#include "graphics/display_recovery.h"

#include <cstring>

#include "core/log.h"
#include "core/main_window.h"
#include "graphics/ddraw_layer.h"
#include "graphics/screen_mode.h"
#include "graphics/surface_2d.h"
#include "graphics/surface_data.h"
#include "platform/directx/ddraw.h"

namespace {

DirectDrawLayerState& Layer() { return GetDirectDrawLayerState(); }

template <typename T>
void ReleaseAndClear(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

// Calls step on the surface data handle of every live 2-D surface, in slot order.
template <typename Step>
void ForEachSurface2D(Step step) {
  Surface2DTable& table = GetSurface2DTable();
  for (int slot = 0; slot < table.highWater; slot++)
    if (table.slots[slot] != nullptr) step(table.slots[slot]->surfaceData);
}

}  // namespace

int ReleaseDirectDrawObject() {
  AppLogWrite("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
  if (Layer().directDraw == nullptr) {
    AppLogWrite("既に解放されています\n");
    return 0;
  }
  Release2DSurfaceObjects();
  RestoreDisplayModeIfChanged();
  ReleasePaletteObject();
  ReleaseClipper();
  ReleaseAndClear(Layer().directDraw);
  AppLogWrite("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n");
  return 0;
}

int RecreateDirectDrawObject() {
  if (Layer().directDraw != nullptr) return 0;
  if (CreateDirectDrawObject(&Layer().directDraw) != 0)
    ExitOnError("DirectDraw オブジェクトの作成処理時にエラーが発生しました");
  ReapplyScreenMode();
  Recreate2DSurfaceObjects();
  RecreateClipper();
  return 0;
}

int ReleasePaletteObject() { return ReleaseScreenPalette(); }

int ReapplyScreenPalette() {
  DirectDrawLayerState& layer = Layer();
  if (QueryScreenBitDepth() != 8) return 0;
  ScreenPaletteEntry kept[256];
  std::memcpy(kept, layer.paletteEntries, sizeof kept);
  if (layer.palette != nullptr) {
    // A palette that outlived the change (the copy-present path) still has to reach the new screen surfaces.
    if (layer.primary != nullptr) layer.primary->SetPalette(layer.palette);
    if (layer.back != nullptr) layer.back->SetPalette(layer.palette);
    if (!IsWindowModeOn() && layer.primary != nullptr)
      layer.primary->EnumAttachedSurfaces(nullptr, SetPaletteOnAttached);
  } else {
    CreateScreenPalette();
  }
  std::memcpy(layer.paletteEntries, kept, sizeof kept);
  return UpdatePaletteEntries();
}

int Release2DSurfaceObjects() {
  if (Layer().directDraw == nullptr) return 0;
  ForEachSurface2D([](int surfaceData) { ReleaseSurfaceOfRecord(surfaceData); });
  return 0;
}

int Recreate2DSurfaceObjects() {
  if (Layer().directDraw == nullptr) return 0;
  ForEachSurface2D([](int surfaceData) {
    CreateSurfaceOfRecord(surfaceData);
    SetSurfaceColorKey(surfaceData);
  });
  return 0;
}

int RestoreDisplayModeIfChanged() {
  DirectDrawLayerState& layer = Layer();
  if (IsWindowModeOn() || layer.displayModeChanged == 0 || layer.directDraw == nullptr) return 0;
  layer.directDraw->SetCooperativeLevel(layer.mainWindow, DDSCL_NORMAL);
  layer.directDraw->RestoreDisplayMode();
  SetDisplayModeChangedFlag(0);
  return 0;
}

int ReapplyScreenMode() {
  DirectDrawLayerState& layer = Layer();
  int desktopWidth = 0, desktopHeight = 0, desktopBits = 0;
  GetDesktopMetrics(&desktopWidth, &desktopHeight, &desktopBits);
  SetCooperativeLevelAndDisplayMode(layer.directDraw, desktopWidth, desktopHeight, layer.screenWidth,
                                    layer.screenHeight, layer.screenDepth, nullptr, &layer.cooperativeFlags,
                                    IsWindowModeOn(), &layer.displayModeChanged, layer.mainWindow);
  return 0;
}

int ReleaseClipper() {
  ReleaseAndClear(Layer().clipper);
  return 0;
}

int RecreateClipper() {
  DirectDrawLayerState& layer = Layer();
  ReleaseClipper();
  if (CreateClipperForWindow(layer.directDraw, &layer.clipper, layer.mainWindow) != 0)
    ExitOnError("クリッパーオブジェクトの作成失敗しました");
  return 0;
}
