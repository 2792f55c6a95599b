// What the library core and the graphics core call of movie playback.
#pragma once
#include <cstdint>

struct MovieEntry {
  int32_t drawsFramesItself;  // 1: the movie draws its frames in place of its graph
};

int PauseAllGraphMovies();
int ResumeAllGraphMovies();
int ReleaseAllMovieObjects();
// Opens every movie again after a display change, at the frame it had reached.
int ReopenAllMovies();

MovieEntry* GetMovieEntry(int movieHandle);
int UpdateMovieFrame(int graphHandle);
int DrawMovieFrameScaled(int x, int y, int factor, MovieEntry* entry, int flag);
// Opens a movie file into a new movie record and writes its frame size: a MovieHandle, or -1.
int OpenMovieToGraph(const char* path, int* width, int* height, int option);
// Releases the movie bound to a graph, if any.
int CloseMovieOfGraph(int graphHandle);
