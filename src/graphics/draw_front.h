// The public draw calls: each returns 0 at once while graphics are suspended or the clip rectangle is empty, -1 for
// a bad graph handle (nothing logged), else its back-end's result. Colours are screen values (PackScreenColor).
#pragma once
#include <cstdint>

#include "graphics/draw_state.h"
#include "graphics/graph_manager.h"
#include "platform/win32/types.h"

int DrawGraph(int x, int y, int graph, int transparent);
int DrawExtendGraph(int x1, int y1, int x2, int y2, int graph, int transparent);
int DrawGraphMirrored(int x, int y, int graph, int transparent);
int DrawGraphPart(int destX, int destY, int srcX, int srcY, int width, int height, int graph, int transparent,
                  int turn);
int DrawRotaGraph(int x, int y, double scale, double angle, int graph, int transparent, int turn);
int DrawModiGraph(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int graph,
                  int transparent);
int DrawFillBox(int x1, int y1, int x2, int y2, uint32_t color);
int DrawFrameBox(int x1, int y1, int x2, int y2, uint32_t color);
int DrawBoxShape(int x1, int y1, int x2, int y2, uint32_t color, int fill);
int DrawCircle(int x, int y, int radius, uint32_t color, int fill);
int PaintGraphWithColor(int graph, int red, int green, int blue, int alpha);

int SetScreenOffsetRect(const RECT* rect);
int GetScreenSizeAndDepth(int* width, int* height, int* depth);
// Cuts rect in place to clip: bottom, top, right, left, each clamped into clip's range on its axis. A result with
// right <= left or bottom <= top means nothing to draw.
int ClipRectByRect(RECT* rect, const RECT* clip);

// Text: 0 for a null or empty text; a bad font handle logs "フォントハンドル値が異常です\n" and answers -1.
int DrawTextWithFont(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor, int turn);
// Formats into 1,024 bytes (a longer text is cut at a character boundary) and draws with the default font.
int DrawFormattedText(int x, int y, uint32_t color, const char* format, ...) __attribute__((format(printf, 4, 5)));
// The size the font was made with; -1 for a bad handle.
int GetFontSizeOfHandle(int font);
