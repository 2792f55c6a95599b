// Movie playback as the library core reaches it, until movies are built here: no graph has a movie.
#include "movie/movie_services.h"

int PauseAllGraphMovies() { return 0; }
int ResumeAllGraphMovies() { return 0; }
int ReleaseAllMovieObjects() { return 0; }
