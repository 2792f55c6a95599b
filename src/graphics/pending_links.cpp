// Entries of the screen log overlay and of movie playback that the graphics core calls, until those are built:
// no overlay line exists and no file opens as a movie.
#include "graphics/core_links.h"

int DrawScreenLog() { return 0; }
int OpenMovieToGraph(const char*, int*, int*, int) { return -1; }
int CloseMovieOfGraph(int) { return 0; }
