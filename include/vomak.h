// The Vomak library's public interface: everything a program (the game first) calls. Calls answer 0 (or a new
// handle) on success and -1 on failure, and log the failure to "AppLog.txt" first. Texts are Shift-JIS.
// Each section below is one subsystem, headed by a comment; add a subsystem as a section of its own.
#pragma once

#include <cstdint>

// ---- Start-up, window and message pump ----

// The main window's title (Shift-JIS, at most 255 bytes); callable before start-up.
int SetMainWindowTitle(const char* title);
// 1: run in a window (640 x 480 client area), 0: full screen; before start-up it only records the choice.
int ChangeWindowMode(int flag);
// Brings the whole library up; 0, or -1 (and everything it started is stopped again). When another program on the
// library already runs on the same display for the same user, this one ends at once instead (status 0, the reason
// on stderr).
int StartupLibrary();
// Takes the whole library down in reverse order and frees what the start-up made; 0.
int ShutdownLibrary();
// Dispatches pending window messages and runs the periodic work: 0 normally, -1 once the main window is gone (end
// the loop then). While the window is inactive it does not return until it is active again.
int PumpWindowMessages();

// ---- Frame and drawing ----

// Draw targets for SelectDrawTarget besides graph handles.
constexpr int kDrawTargetFront = -4;
constexpr int kDrawTargetBack = -2;

// Selects where draw calls go: kDrawTargetBack, kDrawTargetFront or a graph handle; the clip area becomes the whole
// target. 0, or -1 for a bad handle. Deleting a graph target selects the back screen.
int SelectDrawTarget(int target);
// Fills the draw target's clip area with black; 0.
int ClearDrawTarget();
// Presents the back screen: flips the full-screen chain or copies it into the window; 0. With the front screen as
// the draw target the frame is already shown: it only waits for the vertical blank when the flip wait is on.
int G_DDraw_FlipScreen();
// 1 (set by start-up): presenting waits for the vertical blank or the frame interval, 0: it does not; 0.
int SetFlipWaitForVBlank(int value);
// Clips every later draw to the rectangle (x1, y1) inclusive to (x2, y2) exclusive, cut to the target; 0.
int SetDrawClipRect(int x1, int y1, int x2, int y2);
// The screen's size in pixels and colour depth in bits; null pointers are skipped; 0.
int GetScreenSizeAndDepth(int* width, int* height, int* depth);
// A colour value for draw calls from 8-bit red, green and blue (the nearest palette entry on an 8-bit screen).
uint32_t PackScreenColor(int red, int green, int blue);
// Splits a screen colour value into 8-bit channels (null pointers are skipped); -1 on an 8-bit screen for a value
// above 255.
int UnpackScreenColor(uint32_t value, int* red, int* green, int* blue);

// Every draw call answers 0 at once while graphics are suspended or the clip area is empty, and -1 for a bad graph
// handle (nothing logged). transparent: 1 skips the graph's transparent colour and uses its alpha. Positions may lie
// anywhere in the int range: what falls off the target is not drawn.
// The graph with its top-left corner at (x, y).
int DrawGraph(int x, int y, int graph, int transparent);
// The graph stretched onto the rectangle (x1, y1) to (x2, y2), the second corner exclusive; -1 also when the
// rectangle has no width or height, or, stretched or mirrored, lies wholly outside the clip area.
int DrawExtendGraph(int x1, int y1, int x2, int y2, int graph, int transparent);
// The graph mirrored left to right, its top-left corner at (x, y): a DrawExtendGraph, so -1 also when it lies wholly
// outside the clip area.
int DrawGraphMirrored(int x, int y, int graph, int transparent);
// The rectangle (srcX, srcY, width, height) of the graph at (destX, destY); turn 1 mirrors it (through
// DrawGraphMirrored, with its answer).
int DrawGraphPart(int destX, int destY, int srcX, int srcY, int width, int height, int graph, int transparent,
                  int turn);
// The graph scaled and turned by angle radians (clockwise) about its centre, which lands on (x, y); turn mirrors.
int DrawRotaGraph(int x, int y, double scale, double angle, int graph, int transparent, int turn);
// The graph stretched onto four corners: top-left, top-right, bottom-right, bottom-left of the picture.
int DrawModiGraph(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int graph,
                  int transparent);
// A filled box (x1, y1) to (x2, y2), the second corner exclusive.
int DrawFillBox(int x1, int y1, int x2, int y2, uint32_t color);
// The one-pixel frame of the same box.
int DrawFrameBox(int x1, int y1, int x2, int y2, uint32_t color);
// DrawFillBox when fill is 1, else DrawFrameBox.
int DrawBoxShape(int x1, int y1, int x2, int y2, uint32_t color, int fill);
// A circle about (x, y), filled when fill is 1, else its outline.
int DrawCircle(int x, int y, int radius, uint32_t color, int fill);
// Fills the whole graph with one colour and alpha (each 0 to 255).
int PaintGraphWithColor(int graph, int red, int green, int blue, int alpha);

// ---- Fonts and text ----

// A font handle: one system font at one size, with its own glyph cache. face: a font name (null or "" for the
// system's default face, cut to 255 bytes); size in pixels, up to 1,024 (-1: 16); thickness 0 to 10, the stroke
// weight in hundreds (-1: 6); type 0 plain, 1 edged, 2 anti-aliased, 3 edged and anti-aliased (-1: 0); charSet 0
// default, 1 Shift-JIS, 2 Hangeul (-1: the system's); edgeSize 0 to 127 pixels, and on an edged font at most 2,048
// divided by the font's height (above 0 makes the font edged; -1: 1); slot 0 to 39, which must be free (-1: the
// lowest free one); checkNumber 0 to 2,047 (-1: the next one). The handle, or -1 (logged, except for a slot in use
// or a thickness, type, char set, slot or check number out of its range).
int CreateFontToHandle(const char* face, int size, int thickness, int type, int charSet, int edgeSize, int slot,
                       int checkNumber);
// Deletes a font; 0, or -1 for a bad handle.
int DeleteFontHandle(int font);
// Registers an integer set to 0 now and to 1 when the font is deleted (null unregisters); 0, or -1.
int SetFontDeletedFlagPointer(int font, int32_t* flagPointer);
// Copies the face name (up to 256 bytes) and writes size and thickness; null pointers are skipped; 0, or -1.
int GetFontInfoOfHandle(char* face, int* size, int* thickness, int font);
// Shift-JIS text (Hangeul under a Hangeul font) with its top-left corner at (x, y) in a colour, edgeColor edging
// an edged font; turn 1 writes top to bottom. 0 (also for a null or empty text), -1 (logged) for a bad font.
int DrawTextWithFont(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor, int turn);
// printf-style text (at most 1,023 bytes, cut at a character boundary) at (x, y) with the default font; -1 for a
// null format.
int DrawFormattedText(int x, int y, uint32_t color, const char* format, ...) __attribute__((format(printf, 4, 5)));

// ---- Blend modes ----

// Blend modes for SelectBlendMode; the parameter (0 to 255) is the strength.
constexpr int kBlendNone = 0;
constexpr int kBlendAlpha = 1;
constexpr int kBlendAdd = 2;
constexpr int kBlendSubtract = 3;
constexpr int kBlendMultiply = 4;
constexpr int kBlendXor = 8;  // unscaled graphs on 16-bit screens only

// How later draws combine with the target; parameter is cut into 0 to 255; 0.
int SelectBlendMode(int mode, int parameter);

// ---- Graphs ----

// A picture file (BMP, JPEG, PNG, raw BGRA, TGA or DDS, told apart by content; "name_a.ext" beside it of the same
// size gives its alpha) as one graph: the handle, or -1 (logged) when it cannot be loaded. A picture may have at most
// 16,384 pixels a side and 4,096 x 4,096 pixels in all; a larger one is not loaded. A movie file (one local file,
// frames within the same limit) becomes a graph that shows the frame the movie's own clock has reached, taking one
// step per presented frame and pausing with the window.
int LoadGraphFileSimple(const char* path);
// The picture cut into allNum cells of xSize by ySize pixels, xNum to a row and at most yNum rows, read left to right
// and top to bottom, their handles written to handleBuf; 0, or -1 (logged, no handle kept) on failure, also when
// xNum by yNum cells are fewer than allNum or a cell lies outside the picture.
int LoadDividedGraphFileSimple(const char* path, int allNum, int xNum, int yNum, int xSize, int ySize,
                               int* handleBuf);
// An empty graph of width by height pixels (each 1 to 16,384), with an alpha channel when the creation setting says
// so; the handle, or -1 for a size out of range or while the library is down.
int CreateEmptyGraphDefault(int width, int height);
// A graph that shows the rectangle (x, y, width, height) of the parent and shares its pixels; the handle, or -1.
int DeriveGraph(int x, int y, int width, int height, int parentHandle);
// Deletes a graph (logFlag 1 logs it); 0, or -1 for a bad handle. Deleting the draw target selects the back screen.
int DeleteGraphHandle(int handle, int logFlag);
// Deletes every graph; 0. A graph draw target is deleted too, and the back screen selected.
int DeleteAllGraphs(int logFlag);
// Registers an integer set to 0 now and to 1 when the graph is deleted (null unregisters); 0, or -1.
int SetGraphDeletedFlagPointer(int handle, int32_t* flagPointer);
// The size of a graph or of a screen target (kDrawTargetBack, kDrawTargetFront); 0, or -1 for a bad handle.
int GetGraphSizeOf(int target, int* widthOut, int* heightOut);
// Creation settings for later graphs: an alpha channel (1 or 0), the colour bit depth (0: the screen's).
int SetGraphAlphaFlag(int value);
int GetGraphAlphaFlag();
int SetGraphBitDepth(int value);
int GetGraphBitDepth();
// After a display change every graph is refilled by this callback; null installs the default, which reloads each
// graph from the file it was loaded from (graphs made in memory keep undefined pixels). 0.
using GraphRefillCallback = int (*)();
int SetGraphRefillCallback(GraphRefillCallback callback);

// ---- Masks ----

// A screen-sized byte mask: while mask drawing is on, draws reach only the pixels whose mask byte is 0, and nothing
// beyond the mask's extent (the screen's size, from the target's top-left corner) of a larger graph target. The
// bytes outlive display changes.
// Makes the mask screen (every byte 0); mask drawing is on from start-up, so it applies at once. 0, or -1 while
// the library is down or when its memory cannot be had.
int CreateMaskScreen();
// Ends the mask screen and mask drawing; 0.
int DeleteMaskScreen();
// Sets the mask bytes of the rectangle (left, top) to (right, bottom), cut to the screen; non-zero forbids drawing.
int FillMaskScreenRect(int left, int top, int right, int bottom, int value);
// Turns mask drawing on (1) or off (0); -1 without a mask screen.
int SetMaskDrawOn(int on);
int GetMaskDrawOn();

// ---- Files ----

// The host file-system path of a path as the library reads it (Shift-JIS, '\' or '/' between names, letter case
// ignored), for a program that opens a file itself with stdio: writes it with its terminator into buffer and answers
// its length, or -1 when bufferSize bytes cannot hold it.
int ConvertToHostPath(const char* path, char* buffer, int bufferSize);

// ---- Clocks and random numbers ----

// Milliseconds of a monotonic clock (flag 0); the count wraps: take differences as unsigned numbers.
int GetMillisecondCount(int flag);
// Microseconds of the same clock (flag 0).
int64_t GetMicrosecondCount(int flag);
// Waits ms milliseconds while pumping messages (it ends early once the main window is gone); 0.
int WaitMilliseconds(int ms);
// Sleeps the calling thread for ms milliseconds without pumping (on the headless host the virtual clock moves on).
void Sleep(uint32_t ms);
// Seeds the library's one random-number generator (start-up seeds it from the clock).
void SeedRandom(uint32_t seed);
// A uniform integer from 0 to n inclusive (n from 0 to 2^31 - 2); 0 for n below 0.
int GetRandomUpTo(int n);

// ---- Menus and cursor ----

// 1: gives the main window a menu bar (shown in window mode, and in full screen while the cursor is within 60 pixels
// of the top), 0: takes it away; 0, or -1 when no menu can be made.
int EnableMainMenu(int on);
// 1: the menu bar may be shown, 0: it is hidden while the menu stays on; 0.
int ShowMainMenu(int show);
// 1: show the system cursor over the window, 0: hide it (a shown menu bar keeps it shown); 0.
int SetCursorVisible(int request);
// The cursor's position in screen pixels (in window mode relative to the client area, divided by the window
// scale); null pointers are skipped; 0.
int GetCursorPoint(int* x, int* y);
// Shapes the main window to the picture's pixels that are not black; 0, or -1 when the picture cannot be loaded or
// its shape takes more than 8,192 rectangles (one per run of such pixels in each band of rows with equal runs;
// logged); the shape is then unchanged. Null forgets the shape: a window made later is whole, the current one
// keeps it.
int SetWindowShapeFromBitmap(const char* name);

// ---- Log and fatal exit ----

// Appends text to "AppLog.txt" (each line stamped with the milliseconds since the log opened); always -1, so a
// failing call can log and fail in one return statement.
int AppLogWrite(const char* text);
// printf-style AppLogWrite of at most 1,023 bytes with a line feed added (nothing for a null format); -1.
int AppLogWriteFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Raise and lower the indent of later log lines by one tab; 0.
int AppLogIndentIn();
int AppLogIndentOut();
// Logs text, shuts the library down and ends the process with exit code -1.
[[noreturn]] int ExitOnError(const char* text);

// ---- Input ----

// Both are level-triggered: ask once per frame. The first query after the devices were stopped (a display change)
// starts them again and answers "nothing held".
// 1 while the key with this DirectInput key code (0x01 Esc, 0x0E Backspace, 0x2A Shift, ...) is held, else 0 (also
// for a code outside 0 to 255).
int QueryKeyDown(int keyCode);
// The held directions and buttons of pad number inputType with 0x1000 cleared (1 to 8; 0 reads no pad, any other
// number answers 0), with the keyboard merged when 0x1000 is set: bit 0 down, 1 left, 2 right, 3 up; pad buttons
// 0 to 23 at bits 4 to 27; Z, X, C, A, S, D, Q, W, Esc, Space at 0x10 to 0x2000.
int GetPadInputBits(int inputType);

// ---- Sound and music ----

// Sound files (WAV of any kind the library decodes, Ogg Vorbis, MP3) are recognised by their content.
// A sound loaded whole from a file: the handle, or -1 (logged).
int LoadSoundFromFile(const char* path);
// As LoadSoundFromFile with count (1 to 10) buffers, so the sound can overlap itself count times.
int LoadSoundFromFileEx(const char* path, int count);
// A sound from a file image in memory (the caller keeps the image); the handle or -1.
int LoadSoundFromMemImage(const void* image, int size, int count);
// Plays a sound: style 0 to its end (waiting), 1 in the background, 3 looping (any other: 1); restart 1 from the
// beginning, cutting the play it takes over; restart 0 leaves a playing sound alone and resumes a halted one.
// 0 or -1.
int StartSoundPlayback(int sound, int style, int restart);
// Stops every buffer of the sound where it stands; 0 or -1.
int HaltSoundPlayback(int sound);
// 1 while any play of the sound is heard, 0 when none, -1 for a bad handle.
int QuerySoundPlaying(int sound);
// Deletes one sound, or every sound; 0 or -1.
int ReleaseSoundHandle(int sound);
int ReleaseAllSoundHandles();
// Plays a music file with the same styles (0 returns when the music has ended); one music plays at a time. A
// Standard MIDI File, recognised by its content, plays on the General MIDI synthesiser; WAV, MP3 and Ogg Vorbis
// files play as sampled sound, decoded as they play. Style 3 repeats from the frame after the end, whether or not
// the program pumps. 0 when it plays, -1 on failure.
int StartMusicFile(const char* path, int style);
// Stops the current music; 0.
int StopCurrentMusic();
// 1 while the current music plays, else 0.
int QueryMusicPlaying();
// Volume of the music, 0 (silent) to 255 (full); 0, or -1 while there is no sound device.
int ApplyMusicVolume(int volume);
