// The Vomak library's public interface: what a program (the game first) calls.
#pragma once

#include <cstdint>

// Configuration before start-up, start-up and shut-down.
int SetMainWindowTitle(const char* title);
int ChangeWindowMode(int flag);
int StartupLibrary();
int ShutdownLibrary();

// The message pump: 0 normally, -1 once the main window is gone (end the loop then).
int PumpWindowMessages();

// Clocks, waits and random numbers. The millisecond count wraps: take differences as unsigned numbers.
int GetMillisecondCount(int flag);
int64_t GetMicrosecondCount(int flag);
int WaitMilliseconds(int ms);
int GetRandomUpTo(int n);

// The application log and the fatal exit.
int AppLogWrite(const char* text);
int AppLogWriteFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
[[noreturn]] int ExitOnError(const char* text);

// Graphs: a picture file as one graph, or cut into allNum cells of xSize by ySize pixels, xNum to a row and at most
// yNum rows, read left to right and top to bottom, their handles written to handleBuf. Graph handles; -1 (or -1
// from the divided load) when the file cannot be loaded.
int LoadGraphFileSimple(const char* path);
int LoadDividedGraphFileSimple(const char* path, int allNum, int xNum, int yNum, int xSize, int ySize,
                               int* handleBuf);

// The frame: draw on the back screen (-2), clear it at the start of each frame, present it at the end.
int SelectDrawTarget(int target);
int ClearDrawTarget();
int G_DDraw_FlipScreen();
