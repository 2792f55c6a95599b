// Movie playback: movie files opened into graphs, brought up to the movie's own clock when drawn, paused and
// resumed with the window, released and reopened around display changes.
#pragma once
#include <cstdint>

#include "core/file_access.h"
#include "graphics/color_format.h"

class IDirectDrawSurface7;
namespace media {
class MovieStream;
}

constexpr int kMovieTableSize = 100;

struct MovieEntry {
  uint32_t check;
  int32_t drawsFramesItself;       // 1: the movie draws its frames in place of its graph (never, here)
  int32_t graph;                   // the GraphHandle the movie was opened into, -1 before it has one
  char* path;                      // as the program named it, and the directory then current, for reopening
  char* directory;
  FileHandle file;
  int64_t fileSize;
  media::MovieStream* stream;      // null while released
  IDirectDrawSurface7* frameSurface;
  ColorFormat frameFormat;
  int32_t conversionMode;          // 2: every frame is converted into the graph's format
  int32_t width, height;
  uint32_t startTime;              // millisecond clock at the movie's time 0
  int32_t paused;
  int64_t pausedPosition;          // ms into the movie while paused or released
  int32_t updated;                 // 0: the next update copies its frame whatever was shown (opened, restored)
  uint64_t updatedAtFlip;          // the count of presented frames at the last update
};

int PauseAllGraphMovies();
int ResumeAllGraphMovies();
int ReleaseAllMovieObjects();
// Opens every movie again after a display change, at the time it had reached.
int ReopenAllMovies();

MovieEntry* GetMovieEntry(int movieHandle);
// Once per presented frame, brings the graph's movie to the frame its clock has reached and copies that frame into
// the graph; later draws before the next present show the same frame.
int UpdateMovieFrame(int graphHandle);
int DrawMovieFrameScaled(int x, int y, int factor, MovieEntry* entry, int flag);
// Opens a movie file into a new movie record and writes its frame size: a MovieHandle, or -1.
int OpenMovieToGraph(const char* path, int* width, int* height, int option);
// Releases the movie bound to a graph, if any.
int CloseMovieOfGraph(int graphHandle);
