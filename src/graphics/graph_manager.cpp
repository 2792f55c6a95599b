// The graph manager: the graph table and everything that makes or unmakes a graph, and the start and end of the
// graphics system.
#include "graphics/graph_manager.h"

#include <cstring>

#include "core/file_access.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/message_pump.h"
#include "font/font_services.h"
#include "graphics/color_format.h"
#include "core/main_window.h"
#include "core/menu_cursor.h"
#include "core/screen_log.h"
#include "graphics/ddraw_layer.h"
#include "graphics/direct3d/d3d_services.h"
#include "graphics/draw_state.h"
#include "graphics/graph_image.h"
#include "graphics/picture_loader.h"
#include "graphics/mask.h"
#include "graphics/software/backend_glue.h"
#include "movie/movie_services.h"

namespace {
GraphicsManagerState manager;

bool Suspended() { return GetGraphicsDrawState().suspended != 0; }

char* CopyToHeap(const char* text) {
  size_t length = std::strlen(text);
  auto* copy = static_cast<char*>(MemAlloc(static_cast<int>(length + 1)));
  if (copy != nullptr) std::memcpy(copy, text, length + 1);
  return copy;
}

void ReplaceText(char*& field, const char* text) {
  char* copy = text == nullptr ? nullptr : CopyToHeap(text);  // the text may be the field itself
  if (field != nullptr) MemFree(field);
  field = copy;
}

// Names and directories are kept whole, whatever their length.
void RecordName(GraphRecord* record, const char* name) {
  ReplaceText(record->directory, FileAccessGetDirString().c_str());
  ReplaceText(record->fileName, name != nullptr ? name : "");
}

void FreeRecord(GraphRecord* record) {
  ReplaceText(record->fileName, nullptr);
  ReplaceText(record->directory, nullptr);
  MemFree(record);
}

void DiscardImages(GraphImage& image, GraphImage& alphaImage) {
  DiscardGraphImage(&image);
  DiscardGraphImage(&alphaImage);
}
}  // namespace

GraphicsManagerState& GetGraphicsManagerState() { return manager; }

GraphRecord* GetGraphRecord(int graphHandle) { return manager.graphs.Find(graphHandle); }

int GetGraphHandleOfRecord(const GraphRecord* record) { return record->handle; }

int GraphicsStartup(HWND window) {
  if (GetDirectDrawLayerState().layerStarted != 0) return -1;
  SetDirectDrawMainWindow(window);
  StartDirectDrawLayer();
  return 0;
}

int GraphicsShutdown() {
  StopDirectDrawLayer();
  return 0;
}

int StartGraphicsManager() {
  if (manager.started != 0) return 0;
  AppLogWrite("グラフィック管理系の初期化を行います\n");
  AppLogIndentIn();
  GraphRefillCallback refill = manager.refill;
  int kept = manager.keptFrontEndSetting;
  std::memset(&manager, 0, sizeof manager);
  manager.refill = refill;
  manager.keptFrontEndSetting = kept;

  GraphicsDrawState& drawState = GetGraphicsDrawState();
  drawState.use3D = 1;
  drawState.alphaTest = 1;
  drawState.blendMode = 0;
  drawState.brightnessWord = 0xFFFFFFFFu;
  manager.started = 1;

  G_DDraw_DeleteAllGraphSurfaces();
  manager.threeDAvailable = G_D3D_DeleteAllGraphTextures() != -1 ? 1 : 0;
  AppLogWrite(manager.threeDAvailable ? "３Ｄグラフィック描画機能を使用します\n" : "３Ｄグラフィック描画機能は使用しません\n");

  SetGraphBitDepth(0);
  drawState.maskDrawing = 1;
  drawState.drawTarget = -2;
  SelectDrawTarget(-4);
  int width = 0, height = 0;
  GetGraphSizeOf(-4, &width, &height);
  SetDrawClipRect(0, 0, width, height);
  drawState.suspended = 0;
  SetBackFaceCulling(0);

  WriteDefaultFontSettings();
  StartFontManager();
  AppLogIndentOut();
  AppLogWrite("グラフィック管理系の初期化は正常に終了しました\n");
  return 0;
}

int StopGraphicsManager() {
  if (manager.started == 0) return 0;
  StopMaskSurface();
  DeleteAllMasks();
  DeleteAllGraphs(0);
  StopFontManager();
  manager.started = 0;
  AppLogWrite("グラフィック管理系の終了処理は正常に終了しました\n");
  return 0;
}

int AllocGraphSlot(int width, int height, int want3D, int, GraphRecord** recordOut, int alphaFlag) {
  if (Suspended()) return 0;
  if (manager.graphs.count >= kGraphTableSize) ExitOnError("グラフィックの数が許容量を越えました終了します");
  int slot = manager.graphs.FreeSlot();
  if (slot < 0) ExitOnError("グラフィックの数が許容量を越えました終了します");
  auto* record = static_cast<GraphRecord*>(MemAllocZeroed(sizeof(GraphRecord)));
  if (record == nullptr) ExitOnError("メモリの確保に失敗しました");
  int handle = manager.graphs.Insert(slot, record);
  record->handle = handle;
  record->width = static_cast<uint16_t>(width);
  record->height = static_cast<uint16_t>(height);
  record->movie = -1;
  record->deletedFlag = nullptr;

  const GraphicsDrawState& drawState = GetGraphicsDrawState();
  GraphCreateParams& params = record->params;
  params.texture = want3D != 0 && drawState.use3D != 0 && manager.threeDAvailable != 0 && GetSoftwareScreenFlag() == 0;
  params.AlphaChFlag = static_cast<uint8_t>(alphaFlag != 0);
  params.DrawValid = static_cast<uint8_t>(drawState.drawValid);
  params.systemMemory = static_cast<uint8_t>(GetGraphCreateFlagB());
  params.AlphaTestFlag = static_cast<uint8_t>(drawState.alphaTest);
  params.ColorBitDepth = static_cast<uint8_t>(drawState.bitDepth != 0 ? drawState.bitDepth
                                              : alphaFlag != 0        ? 32
                                                                      : QueryScreenColorBitDepth());
  if (recordOut != nullptr) *recordOut = record;
  return handle;
}

int CreateEmptyGraph(int width, int height, int want3D, int alphaFlag) {
  // A size that no surface can have is refused before a slot is taken. Before start-up and after shut-down there
  // is no back-end to make the graph on: that is an answer, not the fatal failure of a running back-end.
  if (width <= 0 || height <= 0 || width > kPictureMaxSide || height > kPictureMaxSide) return -1;
  if (manager.started == 0) return -1;
  GraphRecord* record = nullptr;
  int handle = AllocGraphSlot(width, height, want3D, 0, &record, alphaFlag);
  if (handle <= 0 || record == nullptr) return -1;
  int result = record->params.texture ? G_D3D_CreateGraphTextures(record) : G_DDraw_CreateGraphSurface(record);
  if (result == -1) ExitOnError("グラフィックの作成に失敗しました終了します");
  return handle;
}

int CreateEmptyGraphDefault(int width, int height) {
  return CreateEmptyGraph(width, height, 1, GetGraphicsDrawState().alphaChannel);
}

int CreateGraphSizedForImage(GraphImage* image, GraphImage* alphaImage, int want3D) {
  EndCurrentD3DScene();
  WaitForActivation();
  if (alphaImage != nullptr && (alphaImage->width != image->width || alphaImage->height != image->height)) return -1;
  int alpha = image->format.alphaWidth != 0 || alphaImage != nullptr ? 1 : 0;
  return CreateEmptyGraph(image->width, image->height, want3D, alpha);
}

int BuildGraphFromImage(GraphImage* image, GraphImage* alphaImage, int want3D, int turned, int turnHere) {
  UpdateColorFormatUnusedMask(&image->format);
  if (alphaImage != nullptr) UpdateColorFormatUnusedMask(&alphaImage->format);
  EndCurrentD3DScene();
  GraphicsDrawState& drawState = GetGraphicsDrawState();
  uint32_t transparentColor = drawState.transparentColor;
  if (manager.topLeftPixelOption != 0) drawState.transparentColor = ReadGraphImagePixel(image, 0, 0) & 0xFFFFFF;
  bool mirror = turnHere == 1 && turned == 1;
  if (mirror) {
    MirrorGraphImage(image);
    if (alphaImage != nullptr) MirrorGraphImage(alphaImage);
  }
  int handle = CreateGraphSizedForImage(image, alphaImage, want3D);
  if (handle > 0) FillGraphFromImage(nullptr, nullptr, nullptr, nullptr, 0, image, alphaImage, 0, 0, handle, 0);
  drawState.transparentColor = transparentColor;
  if (mirror) {
    MirrorGraphImage(image);
    if (alphaImage != nullptr) MirrorGraphImage(alphaImage);
  }
  return handle;
}

int CreateDivGraphFromGraphImage(GraphImage* image, GraphImage* alphaImage, int allNum, int xNum, int yNum,
                                 int xSize, int ySize, int* handleBuf, int want3D, int turned, int turnHere) {
  if (allNum > 0 && handleBuf == nullptr) return -1;
  // Every one of the allNum entries is filled, or none: a grid with fewer cells fails before anything is made.
  if (allNum < 0 || (allNum > 0 && (xNum <= 0 || yNum <= 0 || static_cast<int64_t>(xNum) * yNum < allNum)))
    return AppLogWrite("グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage\n");
  int base = BuildGraphFromImage(image, alphaImage, want3D, turned, turnHere);
  if (base == -1) return AppLogWrite("グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage\n");
  int made = 0;
  bool failed = false;
  for (int64_t row = 0; row < yNum && made < allNum && !failed; row++) {
    int64_t x = turned == 1 ? static_cast<int64_t>(xNum - 1) * xSize : 0;
    int64_t y = row * ySize;
    for (int column = 0; column < xNum && made < allNum; column++) {
      int cell = -1;
      if (x >= 0 && x <= INT32_MAX && y >= 0 && y <= INT32_MAX)
        cell = DeriveGraph(static_cast<int>(x), static_cast<int>(y), xSize, ySize, base);
      if (cell == -1) {
        failed = true;
        break;
      }
      handleBuf[made++] = cell;
      x += turned == 1 ? -static_cast<int64_t>(xSize) : xSize;
    }
  }
  if (failed) {
    AppLogWrite("グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage\n");
    for (int i = 0; i < made; i++) DeleteGraphHandle(handleBuf[i], 0);
    DeleteGraphHandle(base, 0);
    return -1;
  }
  DeleteGraphHandle(base, 0);
  return 0;
}

int DeriveGraph(int x, int y, int width, int height, int parentHandle) {
  if (Suspended()) return 0;
  GraphRecord* parent = GetGraphRecord(parentHandle);
  if (parent == nullptr) return -1;
  if (x < 0 || y < 0 || x >= parent->width || y >= parent->height) return -1;
  // A view of no pixels would wrap in the record's 16-bit size.
  if (width <= 0 || height <= 0) return -1;
  if (width > parent->width - x) width = parent->width - x;
  if (height > parent->height - y) height = parent->height - y;
  GraphRecord* record = nullptr;
  int handle = AllocGraphSlot(width, height, parent->params.texture, 1, &record, parent->params.AlphaChFlag);
  if (handle == -1 || record == nullptr) return -1;
  record->movie = parent->movie;
  ReplaceText(record->fileName, parent->fileName);
  ReplaceText(record->directory, parent->directory);
  record->srcX = static_cast<uint16_t>(parent->srcX + x);
  record->srcY = static_cast<uint16_t>(parent->srcY + y);
  record->params = parent->params;
  record->loadOption = parent->loadOption;
  int result = parent->params.texture ? G_D3D_DeriveGraphTextures(record, x, y, width, height, parent)
                                      : G_DDraw_DeriveGraphSurface(record, x, y, width, height, parent);
  if (result == -1) ExitOnError("グラフィックの派生に失敗しました終了します");
  return handle;
}

int LoadGraphFileSimple(const char* path) { return LoadGraphFile(path, 1, 0, 0); }

int LoadGraphFile(const char* path, int want3D, int turned, int movieOption) {
  if (Suspended()) return -1;
  EndCurrentD3DScene();
  WaitForActivation();
  GraphImage image, alphaImage;
  std::memset(&image, 0, sizeof image);
  std::memset(&alphaImage, 0, sizeof alphaImage);
  int loaded = LoadImageWithAlphaFile(path, nullptr, 0, 0, nullptr, 0, 0, &image, &alphaImage, 0);
  if (loaded != -1) {
    if (turned == 1) {
      MirrorGraphImage(&image);
      if (loaded == 0) MirrorGraphImage(&alphaImage);
    }
    int handle = BuildGraphFromImage(&image, loaded == 0 ? &alphaImage : nullptr, want3D, turned, 0);
    SetGraphFileName(handle, path);
    // A turned graph reloads turned.
    if (GraphRecord* record = GetGraphRecord(handle)) record->loadOption = turned == 1 ? 1 : 0;
    DiscardImages(image, alphaImage);
    return handle;
  }

  GraphicsDrawState& drawState = GetGraphicsDrawState();
  int keptAlpha = drawState.alphaChannel, keptDepth = drawState.bitDepth;
  int keptSystemMemory = drawState.systemMemory, keptUse3D = drawState.use3D;
  FileHandle file = FileAccessOpen(path, 0, 1);
  if (file == 0) return AppLogWriteFormat("グラフィックファイル %s がありません", path);
  FileAccessClose(file);
  int width = 0, height = 0;
  int movie = OpenMovieToGraph(path, &width, &height, movieOption);
  if (movie < 0) return AppLogWriteFormat("右記のグラフィックファイルのロードに失敗しました：%s \n", path);
  // Without a 3-D device every movie is drawn by software.
  drawState.use3D = 0;
  SetGraphBitDepth(QueryScreenColorBitDepth());
  SetGraphAlphaFlag(0);
  SetGraphCreateFlagB(0);
  int handle = CreateEmptyGraph(width, height, want3D, 0);
  if (handle == -1)
    AppLogWriteFormat("右記のグラフィックファイルの格納用グラフィック領域の作成に失敗しました：%s", path);
  drawState.alphaChannel = keptAlpha;
  drawState.bitDepth = keptDepth;
  drawState.systemMemory = keptSystemMemory;
  drawState.use3D = keptUse3D;
  if (handle == -1) return -1;
  if (GraphRecord* record = GetGraphRecord(handle)) record->movie = movie;
  if (MovieEntry* entry = GetMovieEntry(movie)) entry->graph = handle;
  return handle;
}

int LoadDividedGraphFileSimple(const char* path, int allNum, int xNum, int yNum, int xSize, int ySize,
                               int* handleBuf) {
  return LoadDividedGraphFile(path, allNum, xNum, yNum, xSize, ySize, handleBuf, 1, 0);
}

int LoadDividedGraphFile(const char* path, int allNum, int xNum, int yNum, int xSize, int ySize, int* handleBuf,
                         int want3D, int turned) {
  if (Suspended()) return 0;
  WaitForActivation();
  GraphImage image, alphaImage;
  std::memset(&image, 0, sizeof image);
  std::memset(&alphaImage, 0, sizeof alphaImage);
  int loaded = LoadImageWithAlphaFile(path, nullptr, 0, 0, nullptr, 0, 0, &image, &alphaImage, 0);
  if (loaded == -1) return AppLogWriteFormat("右記のグラフィックファイルのロードに失敗しました：%s", path);
  if (turned == 1) {
    MirrorGraphImage(&image);
    if (loaded == 0) MirrorGraphImage(&alphaImage);
  }
  int result = CreateDivGraphFromGraphImage(&image, loaded == 0 ? &alphaImage : nullptr, allNum, xNum, yNum, xSize,
                                            ySize, handleBuf, want3D, turned, 0);
  // The cells are named only when all were made.
  if (result == 0) {
    for (int cell = 0; cell < allNum; cell++) {
      SetGraphFileName(handleBuf[cell], path);
      if (GraphRecord* record = GetGraphRecord(handleBuf[cell])) record->loadOption = turned == 1 ? 1 : 0;
    }
  }
  DiscardImages(image, alphaImage);
  return result;
}

int FillGraphFromImage(const ColorFormat* srcFormat, HBITMAP bitmap, HBITMAP alphaBitmap, const char* name,
                       int fromBitmap, GraphImage* image, GraphImage* alphaImage, int srcX, int srcY, int handle,
                       int loadOption) {
  if (Suspended()) return 0;
  GraphRecord* record = GetGraphRecord(handle);
  if (record == nullptr) return -1;
  RecordName(record, name);
  record->srcX = static_cast<uint16_t>(srcX);
  record->srcY = static_cast<uint16_t>(srcY);
  record->loadOption = static_cast<uint32_t>(loadOption);
  if (record->params.texture)
    return G_D3D_TransferImageToGraph(srcFormat, bitmap, alphaBitmap, srcX, srcY, record, fromBitmap, image,
                                      alphaImage);
  return G_DDraw_TransferImageToGraph(srcFormat, bitmap, alphaBitmap, srcX, srcY, record, fromBitmap, image,
                                      alphaImage);
}

int FillGraphFromPixelData(const ColorFormat* srcFormat, HBITMAP bitmap, HBITMAP alphaBitmap, const char* name,
                           int fromBitmap, GraphImage* image, GraphImage* alphaImage, const RECT* srcRect,
                           int destX, int destY, int handle, int loadOption) {
  if (Suspended()) return 0;
  GraphRecord* record = GetGraphRecord(handle);
  if (record == nullptr || srcRect == nullptr) return -1;
  RecordName(record, name);
  record->srcX = static_cast<uint16_t>(srcRect->left);
  record->srcY = static_cast<uint16_t>(srcRect->top);
  record->loadOption = static_cast<uint32_t>(loadOption);
  if (record->params.texture)
    return G_D3D_TransferImageRectToGraph(srcFormat, bitmap, alphaBitmap, srcRect, destX, destY, record, fromBitmap,
                                          image, alphaImage);
  return G_DDraw_TransferImageRectToGraph(srcFormat, bitmap, alphaBitmap, srcRect, destX, destY, record, fromBitmap,
                                          image, alphaImage);
}

int SetGraphFileName(int handle, const char* name) {
  GraphRecord* record = GetGraphRecord(handle);
  if (record == nullptr) return -1;
  RecordName(record, name);
  return 0;
}

int DeleteGraphHandle(int handle, int logFlag) {
  if (Suspended()) return 0;
  int slot = manager.graphs.SlotOf(handle);
  if (slot < 0) return -1;
  GraphRecord* record = manager.graphs.slots[slot];
  CloseMovieOfGraph(handle);
  if (record->params.texture)
    G_D3D_DeleteGraphTextures(record);
  else
    G_DDraw_DeleteGraphSurfaces(record);
  if (logFlag != 0) AppLogWriteFormat("グラフィック %s の削除", record->fileName != nullptr ? record->fileName : "");
  manager.graphs.Remove(slot);
  if (record->deletedFlag != nullptr) *record->deletedFlag = 1;
  FreeRecord(record);
  // Drawing must not go on into the released surface.
  ReleaseDeletedDrawTarget(handle);
  return 0;
}

int SetGraphDeletedFlagPointer(int handle, int32_t* flagPointer) {
  GraphRecord* record = GetGraphRecord(handle);
  if (record == nullptr) return -1;
  record->deletedFlag = flagPointer;
  if (flagPointer != nullptr) *flagPointer = 0;
  return 0;
}

int DeleteAllGraphs(int logFlag) {
  if (manager.started == 0 || Suspended()) return 0;
  for (int slot = 0; slot < manager.graphs.highWater; slot++) {
    GraphRecord* record = manager.graphs.slots[slot];
    if (record != nullptr) DeleteGraphHandle(record->handle, logFlag);
  }
  return 0;
}

int ClearDrawTarget() {
  if (Suspended()) return 0;
  WaitForActivation();
  if (manager.threeDAvailable != 0) G_D3D_ClearDrawTarget();
  G_DDraw_ClearDrawTarget();
  return 0;
}
