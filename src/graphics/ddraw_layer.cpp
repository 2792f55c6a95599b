// The DirectDraw layer: start and stop, the object and its clipper and palette, the device enumeration, the
// palette readers, the overlay probe, the blend multiply table and the layer's accessors.
#include "graphics/ddraw_layer.h"

#include <png.h>

#include <array>
#include <cstring>

#include "core/file_access.h"
#include "core/log.h"
#include "core/main_window.h"
#include "core/menu_cursor.h"
#include "core/screen_log.h"
#include "graphics/direct3d/d3d_services.h"
#include "graphics/draw_state.h"
#include "graphics/graph_manager.h"
#include "graphics/screen_mode.h"
#include "graphics/software/backend_glue.h"
#include "graphics/surface_2d.h"
#include "platform/directx/ddraw.h"
#include "platform/win32/kernel.h"
#include "platform/win32/keyboard.h"
#include "platform/win32/user.h"

uint32_t BlendMultiplyTable[256][256];

namespace {
DirectDrawLayerState layer;

constexpr int kNonConvertKey = 0x1D;  // virtual-key code

// 256 distinct colours: a 3-3-2 cube whose only greys are black and white, with five greys of our own placed
// where the library's drawers expect them.
constexpr std::array<std::array<uint8_t, 3>, 256> MakeDefaultPalette() {
  std::array<std::array<uint8_t, 3>, 256> table{};
  for (int i = 0; i < 256; i++) {
    table[i][0] = static_cast<uint8_t>(((i >> 5) & 7) * 255 / 7);
    table[i][1] = static_cast<uint8_t>(((i >> 2) & 7) * 255 / 7);
    table[i][2] = static_cast<uint8_t>((i & 3) * 255 / 3);
  }
  const int greys[][2] = {{46, 48}, {62, 63}, {85, 79}, {160, 128}, {191, 159}};
  for (const auto& grey : greys)
    for (int c = 0; c < 3; c++) table[grey[0]][c] = static_cast<uint8_t>(grey[1]);
  return table;
}
constexpr auto kDefaultPalette = MakeDefaultPalette();

struct OverlayFormatRow {
  const char* name;
  DWORD flags;
  DWORD fourCCOrBits;
  DWORD red, green, blue;
};

constexpr DWORD FourCC(char a, char b, char c, char d) {
  return static_cast<DWORD>(static_cast<uint8_t>(a)) | static_cast<DWORD>(static_cast<uint8_t>(b)) << 8 |
         static_cast<DWORD>(static_cast<uint8_t>(c)) << 16 | static_cast<DWORD>(static_cast<uint8_t>(d)) << 24;
}

const OverlayFormatRow OverlayFormatTable[] = {
    {" UYVY", DDPF_FOURCC, FourCC('U', 'Y', 'V', 'Y'), 0, 0, 0},
    {" YUY2", DDPF_FOURCC, FourCC('Y', 'U', 'Y', '2'), 0, 0, 0},
    {" 16-bit RGB 5:5:5 ", DDPF_RGB, 16, 0x7C00, 0x03E0, 0x001F},
    {" 16-bit RGB 5:6:5 ", DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F},
    {"", 0, 0, 0, 0, 0},
};
DDPIXELFORMAT PixelFormatOfRow(const OverlayFormatRow& row) {
  DDPIXELFORMAT format;
  std::memset(&format, 0, sizeof format);
  format.dwSize = sizeof format;
  format.dwFlags = row.flags;
  if (row.flags == DDPF_FOURCC) {
    format.dwFourCC = row.fourCCOrBits;
  } else {
    format.dwRGBBitCount = row.fourCCOrBits;
    format.dwRBitMask = row.red;
    format.dwGBitMask = row.green;
    format.dwBBitMask = row.blue;
  }
  return format;
}

template <class T>
void ReleaseAndClear(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

// Overlay probe on the first-version interface: the first table row whose test surface lands in video memory.
void ProbeOverlayFormats(IDirectDraw* first) {
  const DDCAPS& caps = *reinterpret_cast<const DDCAPS*>(layer.driverCaps);
  if (caps.dwMinOverlayStretch >= 1000 && caps.dwMaxOverlayStretch >= 2000) {
    layer.overlayFormatIndex = -1;
    AppLogWrite("オーバーレイサーフェスは使用しません\n");
    return;
  }
  for (int row = 0; OverlayFormatTable[row].name[0] != '\0'; row++) {
    DDSURFACEDESC description;
    std::memset(&description, 0, sizeof description);
    description.dwSize = sizeof description;
    description.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    description.dwWidth = 16;
    description.dwHeight = 16;
    description.dwBackBufferCount = 2;
    description.ddsCaps.dwCaps = DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY;
    description.ddpfPixelFormat = PixelFormatOfRow(OverlayFormatTable[row]);
    IDirectDrawSurface* surface = nullptr;
    if (first->CreateSurface(&description, &surface, nullptr) != DD_OK || surface == nullptr) continue;
    DDSCAPS surfaceCaps{};
    surface->GetCaps(&surfaceCaps);
    surface->Release();
    if (surfaceCaps.dwCaps & DDSCAPS_SYSTEMMEMORY) continue;
    layer.overlayFormatIndex = row;
    AppLogWriteFormat("オーバーレイサーフェスを使用します　　　%s", OverlayFormatTable[row].name);
    return;
  }
  layer.overlayFormatIndex = -1;
  AppLogWrite("オーバーレイサーフェスは使用しません\n");
}

void FillBlendMultiplyTable() {
  for (uint32_t i = 0; i < 256; i++)
    for (uint32_t j = 0; j < 256; j++) BlendMultiplyTable[i][j] = (i * j) >> 8;
}
}  // namespace

DirectDrawLayerState& GetDirectDrawLayerState() { return layer; }

int SetDirectDrawMainWindow(HWND window) {
  layer.mainWindow = window;
  return 0;
}

int StartDirectDrawLayer() {
  if (layer.directDraw != nullptr) return -1;
  AppLogWrite("DirectDraw 関連の初期化を行います\n");
  AppLogIndentIn();
  layer.chosenDevice.used = 0;
  if (CreateDirectDrawObject(&layer.directDraw) != 0) ExitOnError("DirectDrawオブジェクトの作成に失敗しました");
  if (CreateClipperForWindow(layer.directDraw, &layer.clipper, layer.mainWindow) != 0)
    ExitOnError("DirectDrawClipperオブジェクトの作成時にエラーが発生しました");
  if (layer.screenWidth == 0) layer.screenWidth = 640;
  if (layer.screenHeight == 0) layer.screenHeight = 480;
  if (layer.screenDepth == 0) layer.screenDepth = 16;
  ChangeScreenMode(-1, -1, -1, 1, -1);
  if (HasWindowShapeRegion() == 0) {
    SelectDrawTarget(-2);
    ClearDrawTarget();
    G_DDraw_CopyBackToFront();
    SelectDrawTarget(-4);
  }
  SetDrawFlushFlag(1);
  layer.useMmx = GetMmxUseFlag();

  IDirectDraw* first = nullptr;
  if (layer.directDraw->QueryInterface(IID_IDirectDraw, reinterpret_cast<void**>(&first)) == DD_OK &&
      first != nullptr) {
    DDCAPS caps;
    std::memset(&caps, 0, sizeof caps);
    caps.dwSize = sizeof caps;
    first->GetCaps(&caps, nullptr);
    std::memcpy(layer.driverCaps, &caps, sizeof caps);
    ProbeOverlayFormats(first);
    first->Release();
  }
  AppLogIndentOut();
  AppLogWrite("DirectDraw 関連の初期化は正常に終了しました\n");
  FillBlendMultiplyTable();
  layer.layerStarted = 1;
  return 0;
}

int StopDirectDrawLayer() {
  if (layer.directDraw == nullptr) return 0;
  AppLogWrite("DirectDraw 関連の終了処理をおこないます\n");
  AppLogIndentIn();
  ReleaseScreenPalette();
  StopGraphicsManager();
  DeleteAllSurface2D();
  EndDirect3DLayer();
  DestroyScreenSurfaces();
  ReleaseAndClear(layer.clipper);
  RestoreScreenMode();
  AppLogWrite("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
  ReleaseAndClear(layer.directDraw);
  AppLogWrite("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n");
  AppLogIndentOut();
  AppLogWrite("DirectDraw 関連の終了処理は正常に終了しました\n");
  layer.layerStarted = 0;
  return 0;
}

int CreateDirectDrawObject(IDirectDraw7** out) {
  AppLogWrite("DirectDraw オブジェクトの取得を行います....  ");
  IDirectDraw7* object = nullptr;
  if (CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, reinterpret_cast<void**>(&object)) !=
          S_OK ||
      object == nullptr)
    return AppLogWrite("オブジェクトの取得に失敗しました\n");
  AppLogWrite("成功\n");
  AppLogWrite("引き続き初期化処理... ");
  GUID* guid = layer.deviceGuid != nullptr         ? layer.deviceGuid
               : layer.chosenDevice.used != 0 ? &layer.chosenDevice.guid
                                              : nullptr;
  if (object->Initialize(guid) != DD_OK) {
    AppLogWrite("DirectDrawオブジェクトの初期化に失敗しました\n");
    object->Release();
    return -1;
  }
  AppLogWrite("初期化に成功しました\n");
  if (layer.chosenDevice.used != 0) {
    const DirectDrawDeviceEntry& device = layer.chosenDevice;
    AppLogIndentIn();
    AppLogWriteFormat("ビデオカードドライバ:%s ", device.driverName);
    AppLogWriteFormat("ドライバ記述:%s ", device.description);
    AppLogWriteFormat("３Ｄ機能の有無:%s ", device.threeDCapable ? "あり" : "なし");
    AppLogWriteFormat("ビデオメモリ総量:%.2fMB ", device.totalVideoMemory / 1048576.0);
    AppLogIndentOut();
  } else {
    AppLogWrite("ビデオカードの情報\n");
    AppLogIndentIn();
    // Held while the library starts, the non-convert key skips reading the card's identifier.
    if ((GetKeyState(kNonConvertKey) & 0x8000) == 0) {
      DDDEVICEIDENTIFIER2 identifier;
      std::memset(&identifier, 0, sizeof identifier);
      object->GetDeviceIdentifier(&identifier, 0);
      identifier.szDriver[sizeof identifier.szDriver - 1] = '\0';
      identifier.szDescription[sizeof identifier.szDescription - 1] = '\0';
      uint64_t version = static_cast<uint64_t>(identifier.liDriverVersion.QuadPart);
      AppLogWriteFormat("ビデオカードドライバ:%s バージョン:%u.%u.%u.%u ", identifier.szDriver,
                        static_cast<unsigned>((version >> 48) & 0xFFFF), static_cast<unsigned>((version >> 32) & 0xFFFF),
                        static_cast<unsigned>((version >> 16) & 0xFFFF), static_cast<unsigned>(version & 0xFFFF));
      AppLogWriteFormat("ドライバ記述:%s \n", identifier.szDescription);
    }
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_VIDEOMEMORY;
    DWORD total = 0, free = 0;
    object->GetAvailableVidMem(&caps, &total, &free);
    AppLogWriteFormat("ビデオメモリ総量:%.2fMB ビデオメモリ空き容量:%.2fMB", total / 1048576.0, free / 1048576.0);
    AppLogIndentOut();
  }
  *out = object;
  return 0;
}

int CreateClipperForWindow(IDirectDraw7* directDraw, IDirectDrawClipper** out, HWND window) {
  IDirectDrawClipper* clipper = nullptr;
  if (directDraw == nullptr || directDraw->CreateClipper(0, &clipper, nullptr) != DD_OK || clipper == nullptr)
    return AppLogWrite("ＤｉｒｅｃｔＤｒａｗＣｌｉｐｐｅｒオブジェクトの作成に失敗しました\n");
  clipper->SetHWnd(0, window);
  *out = clipper;
  return 0;
}

HRESULT SetPaletteOnAttached(IDirectDrawSurface7* surface, DDSURFACEDESC2*, void*) {
  surface->SetPalette(layer.palette);
  // The enumeration hands each surface over with a reference of its own.
  surface->Release();
  return DDENUMRET_OK;
}

int CreateScreenPalette() {
  if (layer.palette != nullptr || layer.screenDepth != 8) return 0;
  for (int i = 0; i < 256; i++)
    layer.paletteEntries[i] = {kDefaultPalette[i][0], kDefaultPalette[i][1], kDefaultPalette[i][2], 0};
  if (layer.directDraw == nullptr ||
      layer.directDraw->CreatePalette(DDPCAPS_8BIT, reinterpret_cast<PALETTEENTRY*>(layer.paletteEntries),
                                      &layer.palette, nullptr) != DD_OK)
    ExitOnError("パレットの作成に失敗しました");
  if (IsWindowModeOn()) {
    if (layer.primary != nullptr) layer.primary->SetPalette(layer.palette);
    if (layer.back != nullptr) layer.back->SetPalette(layer.palette);
  } else if (layer.primary != nullptr) {
    layer.primary->SetPalette(layer.palette);
    layer.primary->EnumAttachedSurfaces(nullptr, SetPaletteOnAttached);
  }
  return 0;
}

int ReleaseScreenPalette() {
  ReleaseAndClear(layer.palette);
  return 0;
}

int UpdatePaletteEntries() {
  if (layer.palette == nullptr) return 0;
  auto* entries = reinterpret_cast<PALETTEENTRY*>(layer.paletteEntries);
  layer.palette->SetEntries(0, 0, 256, entries);
  layer.palette->GetEntries(0, 0, 256, entries);
  return 0;
}

int EnumerateDirectDrawDevices() {
  AppLogWrite("DirectDraw デバイスを列挙します\n");
  AppLogIndentIn();
  std::memset(layer.devices, 0, sizeof layer.devices);
  layer.deviceCount = 0;
  HMODULE library = LoadLibraryA("DDRAW.DLL");
  if (library == nullptr) {
    AppLogWrite("DDRAW.DLL のロードに失敗しました\n");
    AppLogIndentOut();
    return -1;
  }
  FARPROC entry = GetProcAddress(library, "DirectDrawEnumerateExA");
  if (entry == nullptr) {
    FreeLibrary(library);
    AppLogWrite("DirectDraw デバイスの列挙用関数のポインタ取得に失敗しました\n");
    AppLogIndentOut();
    return -1;
  }
  auto enumerate = reinterpret_cast<HRESULT (*)(LPDDENUMCALLBACKEXA, LPVOID, DWORD)>(reinterpret_cast<void*>(entry));
  enumerate(
      [](GUID* guid, LPSTR description, LPSTR driverName, LPVOID context, HANDLE monitor) -> BOOL {
        return OnDirectDrawDeviceFound(guid, description, driverName, context, monitor);
      },
      layer.devices, DDENUM_ATTACHEDSECONDARYDEVICES);
  int count = 0;
  while (count < kDirectDrawDeviceMax && layer.devices[count].used == 1) count++;
  layer.deviceCount = count;
  FreeLibrary(library);
  AppLogIndentOut();
  return 0;
}

int OnDirectDrawDeviceFound(GUID* guid, char*, char*, void* context, void*) {
  auto* devices = static_cast<DirectDrawDeviceEntry*>(context);
  CoInitialize(nullptr);
  IDirectDraw7* object = nullptr;
  if (CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, reinterpret_cast<void**>(&object)) !=
          S_OK ||
      object == nullptr) {
    CoUninitialize();
    return 1;
  }
  if (object->Initialize(guid) != DD_OK) {
    object->Release();
    CoUninitialize();
    return 1;
  }
  DirectDrawDeviceEntry* entry = nullptr;
  for (int i = 0; i < kDirectDrawDeviceMax && entry == nullptr; i++)
    if (devices[i].used != 1) entry = &devices[i];
  if (entry == nullptr) {
    object->Release();
    CoUninitialize();
    return 1;
  }
  DDDEVICEIDENTIFIER2 identifier;
  std::memset(&identifier, 0, sizeof identifier);
  object->GetDeviceIdentifier(&identifier, 0);
  std::memset(entry, 0, sizeof *entry);
  if (guid != nullptr) entry->guid = identifier.guidDeviceIdentifier;
  std::memcpy(entry->driverName, identifier.szDriver, sizeof entry->driverName - 1);
  std::memcpy(entry->description, identifier.szDescription, sizeof entry->description - 1);
  DDCAPS caps;
  std::memset(&caps, 0, sizeof caps);
  caps.dwSize = sizeof caps;
  object->GetCaps(&caps, nullptr);
  entry->threeDCapable = (caps.ddsCaps.dwCaps & DDSCAPS_TEXTURE) != 0 ? 1 : 0;
  entry->totalVideoMemory = caps.dwVidMemTotal;
  entry->used = 1;
  AppLogWriteFormat("ドライバドライバ:%s ", entry->driverName);
  AppLogWriteFormat("ドライバ記述:%s ", entry->description);
  AppLogWriteFormat("３Ｄ機能の有無:%s ", entry->threeDCapable ? "あり" : "なし");
  AppLogWriteFormat("ビデオメモリ総量:%.2fMB ビデオメモリ空き容量:%.2fMB ", caps.dwVidMemTotal / 1048576.0,
                    caps.dwVidMemFree / 1048576.0);
  AppLogWrite("\n");
  object->Release();
  CoUninitialize();
  return 1;
}

namespace {
uint32_t ReadLittle32(const uint8_t* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool ReadExactly(FileHandle file, void* buffer, size_t size) { return FileAccessRead(buffer, size, 1, file) == 1; }

struct PngReadState {
  FileHandle file;
};

void PngReadThroughFileAccess(png_structp png, png_bytep data, png_size_t length) {
  auto* state = static_cast<PngReadState*>(png_get_io_ptr(png));
  if (length != 0 && FileAccessRead(data, length, 1, state->file) != 1) png_error(png, "short read");
}
}  // namespace

int LoadPaletteFromBmpFile(const char* path, uint32_t* entries) {
  FileHandle file = FileAccessOpen(path, 0, 1);
  if (file == 0) return -1;
  uint8_t fileHeader[14];
  if (!ReadExactly(file, fileHeader, sizeof fileHeader) || fileHeader[0] != 'B' || fileHeader[1] != 'M') {
    FileAccessSeek(file, 0, 0);
    int result = LoadPaletteFromPngFile(file, entries);
    FileAccessClose(file);
    return result == 0 ? 0 : -1;
  }
  uint8_t infoHeader[40];
  if (!ReadExactly(file, infoHeader, sizeof infoHeader)) {
    FileAccessClose(file);
    return -1;
  }
  if ((infoHeader[14] | infoHeader[15] << 8) != 8) {
    FileAccessClose(file);
    return 0;
  }
  // The table follows the information header, whatever its size, and holds biClrUsed entries (0: 256).
  uint32_t headerSize = ReadLittle32(infoHeader);
  uint32_t used = ReadLittle32(infoHeader + 32);
  uint32_t count = used == 0 || used > 256 ? 256 : used;
  uint8_t table[256 * 4];
  if (headerSize < 40 || FileAccessSeek(file, static_cast<int32_t>(14 + headerSize), 0) != 0 ||
      !ReadExactly(file, table, count * 4)) {
    FileAccessClose(file);
    return -1;
  }
  for (uint32_t i = 0; i < count; i++) entries[i] = ReadLittle32(table + i * 4) & 0x00FFFFFF;
  FileAccessClose(file);
  return 0;
}

int LoadPaletteFromPngFile(FileHandle file, uint32_t* entries) {
  std::memset(entries, 0, 256 * sizeof(uint32_t));
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return -1;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return -1;
  }
  PngReadState state{file};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return -1;
  }
  png_set_read_fn(png, &state, PngReadThroughFileAccess);
  png_read_info(png, info);
  if (png_get_bit_depth(png, info) == 8) {
    png_colorp palette = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &palette, &count) != 0 && palette != nullptr) {
      if (count > 256) count = 256;
      for (int i = 0; i < count; i++)
        entries[i] = static_cast<uint32_t>(palette[i].red) << 16 | palette[i].green << 8 | palette[i].blue;
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return 0;
}

int SetDrawFlushFlag(int value) {
  layer.drawFlush = value;
  return 0;
}
int SetFlipWaitForVBlank(int value) {
  layer.flipWaitVBlank = value;
  return 0;
}
int SetNoDirect3DFlag(int value) {
  layer.noDirect3D = value;
  return 0;
}
int SetBlendLowPrecisionFlag(int value) {
  layer.blendLowPrecision = value;
  return 0;
}
int QueryScreenSize(int* width, int* height) {
  if (width != nullptr) *width = layer.screenWidth == 0 ? 640 : layer.screenWidth;
  if (height != nullptr) *height = layer.screenHeight == 0 ? 480 : layer.screenHeight;
  return 0;
}
int QueryScreenBitDepth() { return layer.screenDepth == 0 ? 16 : layer.screenDepth; }
int QueryScreenColorBitDepth() { return QueryScreenBitDepth(); }
IDirectDrawSurface7* QueryDrawTargetSurface() { return layer.drawTarget; }
IDirectDrawSurface7* QueryPrimarySurface() { return layer.primary; }
IDirectDrawSurface7* QueryBackSurface() { return layer.back; }
IDirectDrawSurface7* QueryWorkSurface() { return layer.work1; }
int IsDrawingToPrimaryInWindow() {
  return IsWindowModeOn() != 0 && layer.drawTarget != nullptr && layer.drawTarget == layer.primary ? 1 : 0;
}
IDirectDraw7* QueryDirectDrawObject() { return layer.directDraw; }
int GetDisplayModeChangedFlag() { return layer.displayModeChanged; }
int SetDisplayModeChangedFlag(int value) {
  layer.displayModeChanged = value;
  return 1;
}
ColorFormat* GetScreenColorFormat() { return &layer.screenFormat; }
int GetSoftwareScreenFlag() { return layer.softwareScreen; }
const DDPIXELFORMAT* GetOverlayPixelFormat() {
  int width = 0, height = 0;
  QueryScreenSize(&width, &height);
  if (width < 640 || height < 400 || layer.overlayFormatIndex < 0 || layer.overlayFormatIndex > 3) return nullptr;
  static const std::array<DDPIXELFORMAT, 4> formats = [] {
    std::array<DDPIXELFORMAT, 4> rows{};
    for (int i = 0; i < 4; i++) rows[i] = PixelFormatOfRow(OverlayFormatTable[i]);
    return rows;
  }();
  return &formats[layer.overlayFormatIndex];
}
void CopyDirectDrawCaps(void* capsOut) { std::memcpy(capsOut, layer.driverCaps, kDirectDrawCapsSize); }
int GetAltPresentFlag() { return layer.altPresent; }
