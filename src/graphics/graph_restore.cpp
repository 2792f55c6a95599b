// Bringing graphs back: lost surfaces after inactivity, and the whole rebuild after a display change with the
// refill of every graph's pixels through a replaceable callback (by default a reload from its remembered file).
#include <string>

#include "core/file_access.h"
#include "core/log.h"
#include "font/font_services.h"
#include "graphics/direct3d/d3d_services.h"
#include "graphics/display_recovery.h"
#include "graphics/graphics_system.h"
#include "graphics/picture_loader.h"
#include "input/input_services.h"
#include "movie/movie_services.h"
#include "platform/directx/ddraw.h"

namespace {

// The picture of the last graph read by the refill, kept so that a run of cells cut from one file costs one read.
struct HeldPicture {
  GraphImage picture{};
  GraphImage alpha{};
  bool held = false;
  bool hasAlpha = false;

  void Discard() {
    if (held) DiscardGraphImage(&picture);
    if (hasAlpha) DiscardGraphImage(&alpha);
    held = hasAlpha = false;
  }
};

bool SameText(const char* a, const char* b) {
  return (a == nullptr ? "" : a) == std::string(b == nullptr ? "" : b);
}

// A re-read file must still hold the graph's rectangle, and its alpha picture must match it, or the copy would
// read past the pictures.
bool PictureCovers(const HeldPicture& held, const GraphRecord& graph) {
  if (held.hasAlpha && (held.alpha.width != held.picture.width || held.alpha.height != held.picture.height))
    return false;
  return graph.srcX + graph.width <= held.picture.width && graph.srcY + graph.height <= held.picture.height;
}

}  // namespace

int DefaultGraphRefill() {
  AppLogWrite("グラフィックを復帰します\n");
  std::string keptDirectory = FileAccessGetDirString();
  GraphTable& table = GetGraphicsManagerState().graphs;
  HeldPicture held;
  const GraphRecord* previous = nullptr;
  for (int slot = 0; slot < table.highWater; slot++) {
    GraphRecord* graph = table.slots[slot];
    if (graph == nullptr || graph->restorePending != 1 || graph->fileName == nullptr || graph->fileName[0] == '\0')
      continue;
    // Names and directories are kept whole, so every named graph is read again, whatever its path's length.
    const char* directory = graph->directory != nullptr ? graph->directory : "";
    bool reuse = previous != nullptr && SameText(previous->fileName, graph->fileName) &&
                 SameText(previous->directory, graph->directory) && slot != 0 && held.held &&
                 previous->loadOption == graph->loadOption;
    if (!reuse) {
      held.Discard();
      FileAccessSetDir(directory);
      AppLogWriteFormat("パス:%s ファイル:%s をロードします", directory, graph->fileName);
      int loaded = LoadImageWithAlphaFile(graph->fileName, nullptr, 0, 0, nullptr, 0, 0, &held.picture, &held.alpha,
                                          static_cast<int>(graph->loadOption));
      held.held = loaded != -1;
      held.hasAlpha = loaded == 0;
    }
    if (!held.held || !PictureCovers(held, *graph)) {
      AppLogWriteFormat("パス:%s ファイル:%s がロードできませんでした", directory, graph->fileName);
      held.Discard();
      graph->restorePending = 0;
      previous = graph;
      continue;
    }
    FillGraphFromImage(nullptr, nullptr, nullptr, graph->fileName, 0, &held.picture,
                       held.hasAlpha ? &held.alpha : nullptr, graph->srcX, graph->srcY, graph->handle,
                       static_cast<int>(graph->loadOption));
    graph->restorePending = 0;
    previous = graph;
  }
  held.Discard();
  FileAccessSetDir(keptDirectory.c_str());
  return 0;
}

int SetGraphRefillCallback(GraphRefillCallback callback) {
  GetGraphicsManagerState().refill = callback != nullptr ? callback : DefaultGraphRefill;
  return 0;
}

int HasGraphRefillCallback() { return GetGraphicsManagerState().refill != nullptr ? 1 : 0; }

int RestoreGraphSurfaces(int handle) {
  if (GetGraphicsDrawState().suspended != 0) return 0;
  GraphRecord* graph = GetGraphRecord(handle);
  if (graph == nullptr) return -1;
  // Every graph lives on the DirectDraw side here.
  G_DDraw_RestoreGraphSurfaces(graph);
  if (MovieEntry* movie = GetMovieEntry(graph->movie)) {
    if (movie->frameSurface != nullptr && movie->frameSurface->IsLost() != DD_OK) movie->frameSurface->Restore();
    movie->updated = 0;  // the restored surfaces hold no frame: the next draw copies one in
  }
  return 0;
}

int RestoreAllGraphSurfaces() {
  GraphicsManagerState& manager = GetGraphicsManagerState();
  if (manager.started == 0 || GetGraphicsDrawState().suspended != 0) return 0;
  RestoreLostScreenSurfaces();
  for (int slot = 0; slot < manager.graphs.highWater; slot++)
    if (manager.graphs.slots[slot] != nullptr) RestoreGraphSurfaces(manager.graphs.slots[slot]->handle);
  return 0;
}

int RestoreAllGraphics() {
  RecreateAllFonts();
  GraphTable& table = GetGraphicsManagerState().graphs;
  for (int slot = 0; slot < table.highWater; slot++)
    if (table.slots[slot] != nullptr) table.slots[slot]->restorePending = 1;
  GraphRefillCallback refill = GetGraphicsManagerState().refill;
  if (refill != nullptr) refill();
  return 0;
}

int ResetGraphicsAfterDisplayChange() {
  ReleaseDirect3DObject();
  FreeMaskSurface();
  DestroyScreenSurfaces();
  EndDirectInputLayer();
  Release2DSurfaceObjects();
  ReleaseClipper();
  if (GetAltPresentFlag() == 0) {
    ReleaseDirectDrawObject();
    RecreateDirectDrawObject();
  }
  ReapplyScreenMode();
  Recreate2DSurfaceObjects();
  RecreateClipper();
  CreateScreenSurfaces();
  ReapplyScreenPalette();
  G_DDraw_SelectDrawTarget(GetDrawTarget());
  AcquireDirect3DObject();
  ClearDrawTarget();
  G_DDraw_FlipScreen();
  RestoreAllGraphics();
  ReopenAllMovies();
  RebuildMaskSurface();
  return 0;
}
