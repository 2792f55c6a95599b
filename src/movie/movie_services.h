// What the library core calls of movie playback.
#pragma once

int PauseAllGraphMovies();
int ResumeAllGraphMovies();
int ReleaseAllMovieObjects();
