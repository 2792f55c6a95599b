// Movie playback as the library reaches it, until movies are built here: no file opens as a movie, so no graph
// has one and no handle names an entry.
#include "movie/movie_services.h"

int PauseAllGraphMovies() { return 0; }
int ResumeAllGraphMovies() { return 0; }
int ReleaseAllMovieObjects() { return 0; }
int ReopenAllMovies() { return 0; }

MovieEntry* GetMovieEntry(int) { return nullptr; }
int UpdateMovieFrame(int) { return 0; }
int DrawMovieFrameScaled(int, int, int, MovieEntry*, int) { return 0; }
int OpenMovieToGraph(const char*, int*, int*, int) { return -1; }
int CloseMovieOfGraph(int) { return 0; }
