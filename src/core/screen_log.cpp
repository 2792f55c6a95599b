// The screen log overlay: its lines drawn in an edged 16-pixel font over the picture. The font is made lazily
// and made again after the font manager deleted it (a screen-mode change deletes every font).
#include "core/screen_log.h"

#include <cstring>

#include "core/system_state.h"
#include "font/font_services.h"
#include "graphics/graphics_system.h"
#include "vomak.h"

ScreenLogState ScreenLog{0, 16, -1, 1, 0, {}, {}};

int InitScreenLog() {
  ScreenLogState& log = ScreenLog;
  if (QueryDirectDrawObject() == nullptr || SystemState.mainWindow == nullptr) return -1;
  if (log.initialised) return 0;
  log.initialised = 1;
  log.lineHeight = 16;
  log.font = -1;
  // The font is made when the overlay first draws, so a program that never logs to the screen holds no font
  // slot or cache surface for it.
  log.fontLost = 1;
  log.lineCount = 0;
  std::memset(log.writeFields, 0, sizeof log.writeFields);
  log.writeFields[3] = 4;
  std::memset(log.lines, 0, sizeof log.lines);
  return 0;
}

int EndScreenLog() {
  ScreenLogState& log = ScreenLog;
  if (!log.initialised) return 0;
  // A lost font is gone already; its handle may name another font by now.
  if (log.font != -1 && !log.fontLost) DeleteFontHandle(log.font);
  log.font = -1;
  log.fontLost = 1;
  log.initialised = 0;
  return 0;
}

int EnsureScreenLogFont() {
  ScreenLogState& log = ScreenLog;
  if (!log.initialised && InitScreenLog() == -1) return 0;
  if (!log.fontLost) return 0;
  log.font = CreateFontToHandle(nullptr, log.lineHeight, 4, 1, -1, -1, -1, -1);
  // Without a font the overlay stays marked lost, so the next frame tries again instead of drawing with -1.
  if (log.font == -1) return 0;
  log.fontLost = 0;
  SetFontDeletedFlagPointer(log.font, &log.fontLost);
  return 0;
}

int GetScreenLogLineCount() { return ScreenLog.lineCount; }

int DrawScreenLog() {
  ScreenLogState& log = ScreenLog;
  if (!log.initialised && InitScreenLog() == -1) return 0;
  EnsureScreenLogFont();
  if (log.font == -1) return 0;
  int screenHeight = 480;
  QueryScreenSize(nullptr, &screenHeight);
  int lines = screenHeight / log.lineHeight;
  if (lines > kScreenLogLines) lines = kScreenLogLines;
  const uint32_t white = PackScreenColor(255, 255, 255), black = PackScreenColor(0, 0, 0);
  for (int i = 0; i < lines; ++i) {
    char* line = log.lines[i];
    line[kScreenLogLineBytes - 1] = 0;  // a full line still ends inside its own bytes
    if (line[0] != 0) DrawTextWithFont(0, i * log.lineHeight, line, white, log.font, black, 0);
  }
  return 0;
}
