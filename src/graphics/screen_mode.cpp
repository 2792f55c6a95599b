// The screen-mode change: tear down, cooperative level and display mode with fall-backs, the display's pixel
// format, the screen surfaces, the restart of what hangs on them, and the copy and frame timings.
#include "graphics/screen_mode.h"

#include <cstring>

#include "core/clock.h"
#include "core/log.h"
#include "core/message_pump.h"
#include "font/font_services.h"
#include "graphics/color_format.h"
#include "core/main_window.h"
#include "core/menu_cursor.h"
#include "core/screen_log.h"
#include "graphics/ddraw_layer.h"
#include "graphics/direct3d/d3d_services.h"
#include "graphics/draw_state.h"
#include "graphics/graph_manager.h"
#include "graphics/software/backend_glue.h"
#include "graphics/surface_2d.h"
#include "platform/directx/ddraw.h"
#include "platform/win32/gdi.h"
#include "platform/win32/user.h"

namespace {
constexpr char kCooperativeLevelFailed[] = "DirectDrawの協調レベルの設定に失敗しました、ソフトを終了します";
constexpr uint32_t kVerticalBlankWaitLimitMs = 100;

DirectDrawLayerState& Layer() { return GetDirectDrawLayerState(); }

DWORD ThreadFlag() { return Layer().multithreaded ? DDSCL_MULTITHREADED : 0; }

bool ToleratedFullScreenResult(HRESULT result) {
  return result == DD_OK || result == DDERR_EXCLUSIVEMODEALREADYSET || result == DDERR_HWNDALREADYSET ||
         result == DDERR_HWNDSUBCLASSED;
}

uint32_t Now() { return static_cast<uint32_t>(GetMillisecondCount(0)); }

void FillWithBlack(IDirectDrawSurface7* surface, DWORD flags) {
  DDBLTFX effects;
  std::memset(&effects, 0, sizeof effects);
  effects.dwSize = sizeof effects;
  effects.dwFillColor = 0;
  surface->Blt(nullptr, nullptr, nullptr, flags, &effects);
}

IDirectDrawSurface7* CreatePlainSurface(DWORD flags, DWORD caps, DWORD width, DWORD height, DWORD backBuffers) {
  DDSURFACEDESC2 description;
  std::memset(&description, 0, sizeof description);
  description.dwSize = sizeof description;
  description.dwFlags = flags;
  description.ddsCaps.dwCaps = caps;
  description.dwWidth = width;
  description.dwHeight = height;
  description.dwBackBufferCount = backBuffers;
  IDirectDrawSurface7* surface = nullptr;
  if (Layer().directDraw->CreateSurface(&description, &surface, nullptr) != DD_OK) return nullptr;
  return surface;
}

const char* MemoryPlace(IDirectDrawSurface7* surface) {
  DDSCAPS2 caps{};
  if (surface != nullptr) surface->GetCaps(&caps);
  return (caps.dwCaps & DDSCAPS_VIDEOMEMORY) ? "VIDEOMEMORY" : "SYSTEMMEMORY";
}

// Vertical-blank waits of the frame timing, each bounded so that a display without blanks cannot hang us.
bool WaitNextBlank() {
  IDirectDraw7* directDraw = Layer().directDraw;
  uint32_t start = Now();
  DWORD first = 0;
  directDraw->GetScanLine(&first);
  for (;;) {
    BOOL inBlank = FALSE;
    DWORD line = 0;
    directDraw->GetVerticalBlankStatus(&inBlank);
    directDraw->GetScanLine(&line);
    if (line < first || inBlank != 0) return true;
    if (Now() - start >= kVerticalBlankWaitLimitMs) return false;
  }
}

bool WaitBlankEnd() {
  IDirectDraw7* directDraw = Layer().directDraw;
  uint32_t start = Now();
  for (;;) {
    BOOL inBlank = FALSE;
    directDraw->GetVerticalBlankStatus(&inBlank);
    if (inBlank != 1) return true;
    if (Now() - start >= kVerticalBlankWaitLimitMs) return false;
  }
}

void MeasureCopyTiming() {
  DirectDrawLayerState& layer = Layer();
  if (layer.primary == nullptr || layer.work1 == nullptr) return;
  RECT rect{0, 0, layer.screenWidth, layer.screenHeight};
  int64_t start = GetMicrosecondCount(0);
  for (int i = 0; i < 8; i++) layer.work1->BltFast(0, 0, layer.primary, &rect, 0);
  int64_t bltFastTime = GetMicrosecondCount(0) - start;
  HDC workDc = nullptr, primaryDc = nullptr;
  layer.work1->GetDC(&workDc);
  layer.primary->GetDC(&primaryDc);
  start = GetMicrosecondCount(0);
  for (int i = 0; i < 8; i++)
    BitBlt(workDc, 0, 0, layer.screenWidth, layer.screenHeight, primaryDc, 0, 0, SRCCOPY);
  int64_t bitBltTime = GetMicrosecondCount(0) - start;
  if (primaryDc != nullptr) layer.primary->ReleaseDC(primaryDc);
  if (workDc != nullptr) layer.work1->ReleaseDC(workDc);
  layer.gdiCopyFaster = bitBltTime <= bltFastTime ? 1 : 0;
  AppLogWriteFormat("サーフェス間転送には %s を使用します", layer.gdiCopyFaster ? "BitBlt" : "BltFast");
  AppLogWriteFormat("BitBlt:%.0lfμs   BltFast:%.0lfμs", static_cast<double>(bitBltTime),
                    static_cast<double>(bltFastTime));
}

void MeasureFrameTime() {
  DirectDrawLayerState& layer = Layer();
  for (int i = 0; i < 3; i++) {
    WaitNextBlank();
    WaitBlankEnd();
  }
  WaitNextBlank();
  layer.frameTime = -1;
  int samples[4] = {0, 0, 0, 0};
  for (int pass = 0; pass < 5; pass++) {
    bool complete = true;
    for (int& sample : samples) {
      uint32_t start = Now();
      complete = WaitBlankEnd() && complete;
      complete = WaitNextBlank() && complete;
      sample = static_cast<int>(Now() - start);
    }
    if (pass == 4 || !complete) continue;
    layer.frameTime = FrameTimeFromSamples(samples);
    if (layer.frameTime != -1) break;
  }
  if (layer.frameTime == -1)
    AppLogWrite("１フレームの時間を正常に取得できませんでした\n");
  else
    AppLogWriteFormat("１フレーム当たりの時間は %d msecです", layer.frameTime);
  for (int i = 0; i < 4; i++) AppLogWriteFormat("\tTri%02d:%d msec", i, samples[i]);
  layer.presentInterval = PresentIntervalOf(layer.frameTime);
}

// Full screen after the layer's start: the requested mode, then without refresh rate, then the previous mode,
// then 640 x 480 in 16-bit colour. Answers the change's result.
int SetFullScreenModeWithFallbacks(int previousWidth, int previousHeight, int previousDepth, int previousRefresh) {
  DirectDrawLayerState& layer = Layer();
  IDirectDraw7* directDraw = layer.directDraw;
  AppLogWrite("画面解像度を変更します... ");
  int result = 0;
  if (directDraw->SetDisplayMode(layer.screenWidth, layer.screenHeight, layer.screenDepth, layer.refreshRate, 0) !=
      DD_OK) {
    layer.refreshRate = 0;
    if (directDraw->SetDisplayMode(layer.screenWidth, layer.screenHeight, layer.screenDepth, 0, 0) != DD_OK) {
      layer.screenWidth = previousWidth;
      layer.screenHeight = previousHeight;
      layer.screenDepth = previousDepth;
      layer.refreshRate = previousRefresh;
      result = -1;
      if (directDraw->SetDisplayMode(previousWidth, previousHeight, previousDepth, 0, 0) != DD_OK) {
        layer.screenWidth = 640;
        layer.screenHeight = 480;
        layer.screenDepth = 16;
        layer.refreshRate = 0;
        result = -2;
        if (directDraw->SetDisplayMode(640, 480, 16, 0, 0) != DD_OK)
          ExitOnError("予期せぬ画面モード変更不能現象が起きました2\n");
      }
    }
  }
  layer.displayModeChanged = 1;
  AppLogWrite("成功しました\n");
  return result;
}

// A later change: the old object goes and a new one (with a clipper of its own) takes its place.
void ReplaceDirectDrawObject() {
  DirectDrawLayerState& layer = Layer();
  AppLogWrite("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
  DeleteAllSurface2D();
  layer.cooperativeFlags = DDSCL_NORMAL;
  layer.directDraw->SetCooperativeLevel(layer.mainWindow, DDSCL_NORMAL);
  if (layer.clipper != nullptr) layer.clipper->Release();
  layer.clipper = nullptr;
  layer.directDraw->Release();
  layer.directDraw = nullptr;
  AppLogWrite("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n");
  if (CreateDirectDrawObject(&layer.directDraw) != 0)
    ExitOnError("DirectDraw オブジェクトの作成処理時にエラーが発生しました");
  if (CreateClipperForWindow(layer.directDraw, &layer.clipper, layer.mainWindow) != 0)
    ExitOnError("DirectDrawClipperオブジェクトの作成時にエラーが発生しました");
}
}  // namespace

int FrameTimeFromSamples(const int samples[4]) {
  for (int i = 0; i < 3; i++)
    for (int j = i + 1; j < 4; j++)
      if (samples[i] == samples[j]) return samples[i];
  return -1;
}

int PresentIntervalOf(int frameTime) { return frameTime == -1 ? -1 : (2 * frameTime - 4) / 3; }

int ChangeScreenMode(int width, int height, int depth, int force, int refreshRate) {
  DirectDrawLayerState& layer = Layer();
  GraphicsDrawState& drawState = GetGraphicsDrawState();
  uint32_t transparentColor = drawState.transparentColor;
  if (width == -1) width = layer.screenWidth;
  if (height == -1) height = layer.screenHeight;
  if (depth == -1) depth = layer.screenDepth;
  if (refreshRate == -1) refreshRate = layer.refreshRate;
  if (width == layer.screenWidth && height == layer.screenHeight && depth == layer.screenDepth &&
      refreshRate == layer.refreshRate && force == 0)
    return 0;

  AppLogWrite("画面モード変更処理を開始します\n");
  AppLogIndentIn();
  char face[256] = {};
  int fontSize = 0, fontThickness = 0;
  bool fontRead = false;
  int defaultFont = QueryDefaultFont();
  if (IsValidFontHandle(defaultFont) && GetFontInfoOfHandle(face, &fontSize, &fontThickness, defaultFont) == 0)
    fontRead = true;

  int previousWidth = layer.screenWidth, previousHeight = layer.screenHeight;
  int previousDepth = layer.screenDepth, previousRefresh = layer.refreshRate;
  layer.screenWidth = width;
  layer.screenHeight = height;
  layer.screenDepth = depth;
  layer.refreshRate = refreshRate;
  if (layer.directDraw == nullptr) {
    AppLogIndentOut();
    return 0;
  }

  // Changes keep 2 s apart; the spacing only counts from a change that really happened.
  uint32_t now = Now();
  uint32_t elapsed = now - layer.lastModeChangeTime;
  if (layer.hadModeChange != 0 && elapsed < 2000)
    WaitMilliseconds(static_cast<int>(2000 - elapsed + 60));
  else
    WaitMilliseconds(60);
  layer.lastModeChangeTime = Now();
  layer.hadModeChange = 1;

  DeleteAllGraphs(0);
  StopGraphicsManager();
  EndDirect3DLayer();
  ReleaseScreenPalette();
  DestroyScreenSurfaces();

  int result = 0;
  bool windowMode = IsWindowModeOn() != 0;
  if (layer.layerStarted != 0) {
    transparentColor = drawState.transparentColor;
    ReplaceDirectDrawObject();
    if (windowMode) {
      layer.cooperativeFlags = DDSCL_NORMAL | ThreadFlag();
      if (layer.directDraw->SetCooperativeLevel(layer.mainWindow, layer.cooperativeFlags) != DD_OK) {
        AppLogIndentOut();
        ExitOnError(kCooperativeLevelFailed);
      }
    } else {
      layer.cooperativeFlags = DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | ThreadFlag();
      if (!ToleratedFullScreenResult(layer.directDraw->SetCooperativeLevel(layer.mainWindow, layer.cooperativeFlags))) {
        AppLogIndentOut();
        ExitOnError(kCooperativeLevelFailed);
      }
    }
    layer.displayModeChanged = 0;
    if (!windowMode) result = SetFullScreenModeWithFallbacks(previousWidth, previousHeight, previousDepth, previousRefresh);
  } else {
    if (!windowMode) ApplyWindowStyle();
    int desktopWidth = 0, desktopHeight = 0;
    GetDesktopMetrics(&desktopWidth, &desktopHeight, nullptr);
    if (layer.screenWidth == 0) layer.screenWidth = 640;
    if (layer.screenHeight == 0) layer.screenHeight = 480;
    if (layer.screenDepth == 0) layer.screenDepth = 16;
    auto attempt = [&]() {
      return SetCooperativeLevelAndDisplayMode(layer.directDraw, desktopWidth, desktopHeight, layer.screenWidth,
                                               layer.screenHeight, layer.screenDepth, &layer.screenDepth,
                                               &layer.cooperativeFlags, windowMode ? 1 : 0, &layer.displayModeChanged,
                                               layer.mainWindow);
    };
    if (attempt() != 0) {
      result = -1;
      bool sameAsPrevious = width == previousWidth && height == previousHeight && depth == previousDepth;
      layer.screenWidth = previousWidth;
      layer.screenHeight = previousHeight;
      layer.screenDepth = previousDepth;
      layer.refreshRate = previousRefresh;
      if (!windowMode) ApplyWindowStyle();
      if (sameAsPrevious && previousRefresh == 0 ? true : attempt() != 0) {
        result = -2;
        layer.screenWidth = 640;
        layer.screenHeight = 480;
        layer.screenDepth = 16;
        layer.refreshRate = 0;
        if (!windowMode) ApplyWindowStyle();
        if (attempt() != 0) ExitOnError("予期せぬ画面モード変更不能現象が起きました\n");
      }
    }
  }

  ReadDisplayPixelFormat();
  if (windowMode) ApplyWindowStyle();
  CreateScreenSurfaces();
  if (layer.noDirect3D == 0 && layer.softwareScreen == 0) StartDirect3DLayer();
  StartGraphicsManager();
  if (fontRead) ChangeDefaultFontSize(face, fontSize, fontThickness);
  InitScreenLog();
  CreateScreenPalette();
  MeasureCopyTiming();
  MeasureFrameTime();
  if (layer.layerStarted != 0) drawState.transparentColor = transparentColor;
  AppLogIndentOut();
  AppLogWrite("画面モード変更処理は正常に終了しました\n");
  PumpWindowMessages();
  G_DDraw_ResetFlipCount();
  return result;
}

int SetCooperativeLevelAndDisplayMode(IDirectDraw7* directDraw, int desktopWidth, int desktopHeight, int width,
                                      int height, int depth, int32_t* depthOut, uint32_t* flagsOut, int windowMode,
                                      int32_t* displayModeChanged, HWND window) {
  AppLogWriteFormat("画面モードの変更処理を開始します %u x %u  %u bit ", static_cast<unsigned>(width),
                    static_cast<unsigned>(height), static_cast<unsigned>(depth));
  AppLogIndentIn();
  if (Layer().multithreaded) AppLogWrite("協調レベルはマルチスレッド対応にします\n");
  if (windowMode) {
    AppLogWrite("ウインドウモードにします\n");
    if (width > desktopWidth || height > desktopHeight) {
      AppLogIndentOut();
      ExitOnError("デスクトップ画面のサイズが足りません、ソフトを終了します");
    }
    if (*displayModeChanged != 0) {
      AppLogWrite("フルスクリーンモードから抜けます\n");
      directDraw->RestoreDisplayMode();
      *displayModeChanged = 0;
    }
    HDC screen = GetDC(nullptr);
    int desktopDepth = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    if (desktopDepth == 24) {
      AppLogIndentOut();
      return -1;
    }
    if (depthOut != nullptr) *depthOut = desktopDepth;
    DWORD flags = DDSCL_NORMAL | ThreadFlag();
    if (directDraw->SetCooperativeLevel(window, flags) != DD_OK) {
      AppLogIndentOut();
      ExitOnError(kCooperativeLevelFailed);
    }
    if (flagsOut != nullptr) *flagsOut = flags;
  } else {
    if (depth == 24) {
      AppLogIndentOut();
      return -1;
    }
    AppLogWrite("画面解像度を変更します... ");
    DWORD flags = DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | ThreadFlag();
    if (!ToleratedFullScreenResult(directDraw->SetCooperativeLevel(window, flags))) {
      AppLogIndentOut();
      ExitOnError(kCooperativeLevelFailed);
    }
    if (flagsOut != nullptr) *flagsOut = flags;
    if (directDraw->SetDisplayMode(width, height, depth, Layer().refreshRate, 0) != DD_OK) {
      Layer().refreshRate = 0;
      if (directDraw->SetDisplayMode(width, height, depth, 0, 0) != DD_OK) {
        AppLogWrite("画面モードの変更に失敗しました\n");
        AppLogIndentOut();
        return -1;
      }
    }
    if (depthOut != nullptr) *depthOut = depth;
    *displayModeChanged = 1;
    AppLogWrite("成功しました\n");
  }
  AppLogIndentOut();
  AppLogWrite("画面モードの変更は正常に終了しました \n");
  return 0;
}

int ReadDisplayPixelFormat() {
  DirectDrawLayerState& layer = Layer();
  if (layer.directDraw == nullptr) return 0;
  DDSURFACEDESC2 description;
  std::memset(&description, 0, sizeof description);
  description.dwSize = sizeof description;
  description.ddpfPixelFormat.dwSize = sizeof description.ddpfPixelFormat;
  layer.directDraw->GetDisplayMode(&description);
  ColorFormatFromPixelFormat(&description.ddpfPixelFormat, &layer.screenFormat);
  AppLogWrite("カラー情報\n");
  AppLogIndentIn();
  AppLogWriteFormat("%08X %08X %08X %08X", layer.screenFormat.alphaMask, layer.screenFormat.redMask,
                    layer.screenFormat.greenMask, layer.screenFormat.blueMask);
  AppLogIndentOut();
  layer.screenDepth = static_cast<int32_t>(description.ddpfPixelFormat.dwRGBBitCount);
  return 0;
}

int CreateScreenSurfaces() {
  DirectDrawLayerState& layer = Layer();
  if (layer.directDraw == nullptr || layer.primary != nullptr) return -1;
  AppLogWrite("出力画面用の DirectDrawSurface を作成します\n");
  AppLogIndentIn();
  DWORD width = layer.screenWidth, height = layer.screenHeight;
  bool software = layer.softwareScreen != 0;
  if (IsWindowModeOn()) {
    layer.primary = CreatePlainSurface(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE | (software ? 0 : DDSCAPS_3DDEVICE), 0, 0, 0);
    if (layer.primary == nullptr) ExitOnError("プライマリサーフェスの作成に失敗しました");
    layer.back = CreatePlainSurface(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH,
                                    software ? DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY
                                             : DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE,
                                    width, height, 0);
    if (layer.back == nullptr) ExitOnError("バックサーフェスの作成に失敗しました");
    FillWithBlack(layer.back, DDBLT_COLORFILL | DDBLT_WAIT);
  } else if (!software) {
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_VIDEOMEMORY;
    DWORD total = 0, free = 0;
    layer.directDraw->GetAvailableVidMem(&caps, &total, &free);
    uint64_t needed = 8ull * width * height * static_cast<uint64_t>(layer.screenDepth / 8);
    DWORD backBuffers = total >= 0x800000u && total >= needed ? 2 : 1;
    layer.primary = CreatePlainSurface(DDSD_CAPS | DDSD_BACKBUFFERCOUNT,
                                       DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE, 0,
                                       0, backBuffers);
    if (layer.primary == nullptr) ExitOnError("プライマリサーフェスの作成に失敗しました");
    DDSCAPS2 backCaps{};
    backCaps.dwCaps = DDSCAPS_BACKBUFFER;
    if (layer.primary->GetAttachedSurface(&backCaps, &layer.back) != DD_OK || layer.back == nullptr) {
      layer.back = nullptr;
      ExitOnError("バックバッファのポインタ取得に失敗しました");
    }
    for (int i = 0; i < 3; i++) {
      FillWithBlack(layer.back, DDBLT_COLORFILL | DDBLT_WAIT);
      layer.primary->Flip(nullptr, DDFLIP_NOVSYNC);
    }
  } else {
    layer.primary = CreatePlainSurface(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE, 0, 0, 0);
    if (layer.primary == nullptr) ExitOnError("プライマリサーフェスの作成に失敗しました");
    layer.back = CreatePlainSurface(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH,
                                    DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, width, height, 0);
    if (layer.back == nullptr) ExitOnError("バックサーフェスの作成に失敗しました");
    FillWithBlack(layer.back, DDBLT_COLORFILL | DDBLT_WAIT);
    FillWithBlack(layer.primary, DDBLT_COLORFILL | DDBLT_WAIT);
  }
  DDCOLORKEY key{0, 0};
  layer.work1 = CreatePlainSurface(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH,
                                   DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, width, height, 0);
  if (layer.work1 == nullptr) ExitOnError("作業用サーフェスの作成に失敗しました");
  layer.work1->SetColorKey(DDCKEY_SRCBLT, &key);
  layer.work2 = CreatePlainSurface(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH,
                                   DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, width, height, 0);
  if (layer.work2 == nullptr) ExitOnError("作業用サーフェス２の作成に失敗しました");
  layer.work2->SetColorKey(DDCKEY_SRCBLT, &key);
  AppLogWrite("各スクリーンメモリの配置位置\n");
  AppLogIndentIn();
  AppLogWriteFormat("PrimaryBuffer : %s  ", MemoryPlace(layer.primary));
  AppLogWriteFormat("BaskBuffer : %s  ", MemoryPlace(layer.back));
  AppLogIndentOut();
  AppLogIndentOut();
  AppLogWrite("出力画面用の DirectDrawSurface の作成は正常に終了しました\n");
  return 0;
}

int DestroyScreenSurfaces() {
  DirectDrawLayerState& layer = Layer();
  if (layer.directDraw == nullptr) return -1;
  if (layer.primary != nullptr) {
    AppLogWrite("メインサーフェスを破棄をします... 完了しました\n");
    layer.primary->SetClipper(nullptr);
    if (layer.back != nullptr) layer.back->Release();
    layer.back = nullptr;
    layer.primary->Release();
    layer.primary = nullptr;
  }
  if (layer.work1 != nullptr) layer.work1->Release();
  layer.work1 = nullptr;
  if (layer.work2 != nullptr) layer.work2->Release();
  layer.work2 = nullptr;
  layer.drawTarget = nullptr;
  return 0;
}

int RestoreScreenMode() {
  DirectDrawLayerState& layer = Layer();
  if (layer.directDraw == nullptr) return -1;
  if (layer.cooperativeFlags & DDSCL_EXCLUSIVE) {
    layer.directDraw->SetCooperativeLevel(layer.mainWindow, DDSCL_NORMAL);
    layer.directDraw->RestoreDisplayMode();
  }
  layer.displayModeChanged = 0;
  AppLogWrite("画面モードを元に戻す処理は正常に終了しました\n");
  return 0;
}

int RestoreLostScreenSurfaces() {
  DirectDrawLayerState& layer = Layer();
  if (layer.directDraw == nullptr) return -1;
  if (GetGraphicsDrawState().suspended != 0) return 0;
  for (IDirectDrawSurface7* surface : {layer.primary, layer.back})
    if (surface != nullptr && surface->IsLost() == DDERR_SURFACELOST) surface->Restore();
  return 0;
}
