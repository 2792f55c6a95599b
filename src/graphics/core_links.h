// Services of the library core that the graphics core calls and that have no header of their own yet.
#pragma once

int DrawScreenLog();
int OpenMovieToGraph(const char* path, int* width, int* height, int option);
int CloseMovieOfGraph(int graphHandle);
