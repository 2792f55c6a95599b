// The screen log overlay: up to 80 text lines drawn over every presented frame while any is held.
#pragma once
#include <cstdint>

constexpr int kScreenLogLines = 80;
constexpr int kScreenLogLineBytes = 255;

// The overlay's process-wide record.
struct ScreenLogState {
  int32_t initialised;  // 1 after InitScreenLog succeeded
  int32_t lineHeight;   // 16 pixels; also the font size
  int font;             // the overlay's font handle, -1 when none
  int32_t fontLost;     // 1 when no font exists; the font manager sets it when it deletes the font
  int32_t lineCount;    // lines held; the presenter draws the overlay only while it is non-zero
  char lines[kScreenLogLines][kScreenLogLineBytes];  // zero-terminated Shift-JIS lines
  int32_t writeFields[4];  // the line writer's position fields (the last starts at 4)
};

extern ScreenLogState ScreenLog;

// Sets the overlay up (font made when possible); 0, also when already set up; -1 before DirectDraw or the main
// window exists.
int InitScreenLog();
// Deletes the overlay's font and marks it not set up; 0.
int EndScreenLog();
// Sets the overlay up when needed and makes its font when it is lost; 0.
int EnsureScreenLogFont();
// The number of lines held.
int GetScreenLogLineCount();
// Draws the lines that fit the screen, white edged in black, 16 pixels apart from the top; 0.
int DrawScreenLog();
