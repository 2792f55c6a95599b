// The movie table: each movie a decoder over its file, a frame surface the decoder fills, and a clock.
#include <cstring>
#include <string>

#include "core/clock.h"
#include "core/log.h"
#include "core/memory.h"
#include "graphics/ddraw_layer.h"
#include "graphics/graph_image.h"
#include "graphics/graph_manager.h"
#include "graphics/handle_kind.h"
#include "graphics/software/backend_glue.h"
#include "movie/movie_services.h"
#include "platform/directx/ddraw.h"
#include "platform/media/movie_stream.h"

namespace {

using MovieTable = HandleTable<MovieEntry, kMovieTableSize, MovieHandle>;

struct MovieSystem {
  MovieTable movies;
};
MovieSystem movieSystem;

char* CopyText(const std::string& text) {
  auto* copy = static_cast<char*>(MemAlloc(static_cast<int>(text.size() + 1)));
  if (copy != nullptr) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

uint32_t Now() { return static_cast<uint32_t>(GetMillisecondCount(0)); }

int64_t PositionOf(const MovieEntry& entry) {
  return entry.paused != 0 || entry.stream == nullptr ? entry.pausedPosition
                                                      : static_cast<int64_t>(Now() - entry.startTime);
}

// The decoder reads the file through the library's file access, so path mapping and replaced tables apply.
int ReadMovieFile(void* user, uint8_t* buffer, int size) {
  auto* entry = static_cast<MovieEntry*>(user);
  return static_cast<int>(FileAccessRead(buffer, 1, static_cast<size_t>(size), entry->file));
}

int64_t SeekMovieFile(void* user, int64_t offset, int origin) {
  auto* entry = static_cast<MovieEntry*>(user);
  if (offset < INT32_MIN || offset > INT32_MAX || FileAccessSeek(entry->file, static_cast<int32_t>(offset), origin) != 0)
    return -1;
  return FileAccessTell(entry->file);
}

int64_t MovieFileSize(void* user) { return static_cast<MovieEntry*>(user)->fileSize; }

IDirectDrawSurface7* CreateFrameSurface(MovieEntry& entry) {
  IDirectDraw7* directDraw = QueryDirectDrawObject();
  if (directDraw == nullptr) return nullptr;
  DDSURFACEDESC2 description;
  std::memset(&description, 0, sizeof description);
  description.dwSize = sizeof description;
  description.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
  description.dwWidth = entry.width;
  description.dwHeight = entry.height;
  description.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
  description.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  description.ddpfPixelFormat.dwFlags = DDPF_RGB;
  description.ddpfPixelFormat.dwRGBBitCount = 32;
  description.ddpfPixelFormat.dwRBitMask = 0x00FF0000;
  description.ddpfPixelFormat.dwGBitMask = 0x0000FF00;
  description.ddpfPixelFormat.dwBBitMask = 0x000000FF;
  IDirectDrawSurface7* surface = nullptr;
  if (directDraw->CreateSurface(&description, &surface, nullptr) != DD_OK) return nullptr;
  return surface;
}

void ReleaseObjects(MovieEntry& entry) {
  if (entry.stream != nullptr) entry.pausedPosition = PositionOf(entry);
  if (entry.stream != nullptr) media::CloseMovieStream(entry.stream);
  entry.stream = nullptr;
  if (entry.frameSurface != nullptr) entry.frameSurface->Release();
  entry.frameSurface = nullptr;
  if (entry.file != 0) FileAccessClose(entry.file);
  entry.file = 0;
}

// Opens file, decoder and frame surface; false (and nothing held) when any of them fails.
bool OpenObjects(MovieEntry& entry) {
  entry.file = FileAccessOpen(entry.path, 0, 1);
  if (entry.file == 0) return false;
  FileAccessSeek(entry.file, 0, 2);
  entry.fileSize = FileAccessTell(entry.file);
  FileAccessSeek(entry.file, 0, 0);
  // A movie's frames are pictures: the picture limit holds for them too, before any frame is decoded.
  entry.stream = media::OpenMovieStream(media::MovieSource{ReadMovieFile, SeekMovieFile, MovieFileSize, &entry},
                                        media::MovieLimits{kPictureMaxSide, kPictureMaxPixels});
  if (entry.stream != nullptr && entry.width == 0) {
    entry.width = media::MovieWidth(entry.stream);
    entry.height = media::MovieHeight(entry.stream);
  }
  if (entry.stream != nullptr &&
      (media::MovieWidth(entry.stream) != entry.width || media::MovieHeight(entry.stream) != entry.height)) {
    media::CloseMovieStream(entry.stream);
    entry.stream = nullptr;
  }
  if (entry.stream != nullptr) entry.frameSurface = CreateFrameSurface(entry);
  if (entry.frameSurface == nullptr) {
    int64_t kept = entry.pausedPosition;
    ReleaseObjects(entry);
    entry.pausedPosition = kept;
    return false;
  }
  entry.startTime = Now() - static_cast<uint32_t>(entry.pausedPosition);
  entry.updated = 0;
  return true;
}

void FreeEntry(int slot) {
  MovieEntry* entry = movieSystem.movies.slots[slot];
  ReleaseObjects(*entry);
  MemFree(entry->path);
  MemFree(entry->directory);
  MemFree(entry);
  movieSystem.movies.Remove(slot);
}

template <class Step>
void ForEachMovie(Step step) {
  MovieTable& table = movieSystem.movies;
  for (int slot = 0; slot < table.highWater; slot++)
    if (table.slots[slot] != nullptr) step(*table.slots[slot]);
}

}  // namespace

MovieEntry* GetMovieEntry(int movieHandle) { return movieSystem.movies.Find(movieHandle); }

int OpenMovieToGraph(const char* path, int* width, int* height, int) {
  MovieTable& table = movieSystem.movies;
  int slot = table.FreeSlot();
  if (slot < 0 || path == nullptr) return -1;
  auto* entry = static_cast<MovieEntry*>(MemAllocZeroed(sizeof(MovieEntry)));
  if (entry == nullptr) return -1;
  entry->graph = -1;
  entry->conversionMode = 2;
  ColorFormatFromMasks(&entry->frameFormat, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
  entry->path = CopyText(path);
  entry->directory = CopyText(FileAccessGetDirString());
  if (entry->path == nullptr || entry->directory == nullptr || !OpenObjects(*entry)) {
    ReleaseObjects(*entry);
    MemFree(entry->path);
    MemFree(entry->directory);
    MemFree(entry);
    return -1;
  }
  if (width != nullptr) *width = entry->width;
  if (height != nullptr) *height = entry->height;
  return table.Insert(slot, entry);
}

int UpdateMovieFrame(int graphHandle) {
  GraphRecord* graph = GetGraphRecord(graphHandle);
  MovieEntry* entry = graph == nullptr ? nullptr : GetMovieEntry(graph->movie);
  if (entry == nullptr) return -1;
  // The graph the movie was loaded into owns its frames; graphs derived from it show them from there.
  if (entry->graph < 0) entry->graph = graphHandle;
  GraphRecord* owner = GetGraphRecord(entry->graph);
  if (owner == nullptr || entry->stream == nullptr) return 0;
  // One step per presented frame, to the frame the movie's clock has reached: every draw between two presents
  // shows the same frame, and the movie keeps its own speed whatever the present rate.
  const uint64_t flips = G_DDraw_GetFlipCount();
  if (entry->updated != 0 && entry->updatedAtFlip == flips) return 0;
  if (entry->updated == 0) media::ForgetShownFrame(entry->stream);
  DDSURFACEDESC2 description;
  std::memset(&description, 0, sizeof description);
  description.dwSize = sizeof description;
  if (entry->frameSurface->Lock(nullptr, &description, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) != DD_OK) return -1;
  int changed = media::MovieFrameAt(entry->stream, PositionOf(*entry), static_cast<uint8_t*>(description.lpSurface),
                                    description.lPitch);
  entry->frameSurface->Unlock(nullptr);
  entry->updated = 1;
  entry->updatedAtFlip = flips;
  if (changed != 1) return 0;
  return G_DDraw_TransferMovieFrameToGraph(entry, owner);
}

int DrawMovieFrameScaled(int, int, int, MovieEntry*, int) { return 0; }

int CloseMovieOfGraph(int graphHandle) {
  GraphRecord* graph = GetGraphRecord(graphHandle);
  if (graph == nullptr || graph->movie < 0) return 0;
  int slot = movieSystem.movies.SlotOf(graph->movie);
  MovieEntry* entry = slot < 0 ? nullptr : movieSystem.movies.slots[slot];
  // Deleting a derived graph leaves the movie to the graph it was loaded into.
  if (entry != nullptr && (entry->graph == graphHandle || entry->graph < 0)) FreeEntry(slot);
  return 0;
}

int PauseAllGraphMovies() {
  ForEachMovie([](MovieEntry& entry) {
    if (entry.paused != 0) return;
    entry.pausedPosition = PositionOf(entry);
    entry.paused = 1;
  });
  return 0;
}

int ResumeAllGraphMovies() {
  ForEachMovie([](MovieEntry& entry) {
    if (entry.paused == 0) return;
    entry.paused = 0;
    entry.startTime = Now() - static_cast<uint32_t>(entry.pausedPosition);
  });
  return 0;
}

int ReleaseAllMovieObjects() {
  ForEachMovie([](MovieEntry& entry) { ReleaseObjects(entry); });
  return 0;
}

int ReopenAllMovies() {
  ForEachMovie([](MovieEntry& entry) {
    // A movie still open after a rebuild that did not release it (full screen regained) has a frame surface of
    // the released DirectDraw object: it is reopened like the others, at the time it had reached.
    ReleaseObjects(entry);
    std::string kept = FileAccessGetDirString();
    FileAccessSetDir(entry.directory);
    if (!OpenObjects(entry)) AppLogWriteFormat("ムービーファイル %s を開き直せませんでした", entry.path);
    FileAccessSetDir(kept.c_str());
  });
  return 0;
}
