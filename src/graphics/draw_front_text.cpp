// The public text draws: a string with a font, and formatted text with the default font.
#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "core/log.h"
#include "core/main_window.h"
#include "core/message_pump.h"
#include "core/saturate.h"
#include "font/font_record.h"
#include "font/font_services.h"
#include "graphics/direct3d/d3d_services.h"
#include "graphics/draw_front.h"
#include "graphics/draw_route.h"
#include "graphics/mask.h"

namespace {

// Shift-JIS lead bytes (the text of this program is code page 932).
bool LeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

int DrawTextWithFont(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor, int turn) {
  if (text == nullptr || text[0] == 0) return 0;
  if (DrawCallIdle()) return 0;
  if (IsValidFontHandle(font) != 1) return AppLogWrite("フォントハンドル値が異常です\n");
  FontRecord* record = GetFontRecord(font);
  WaitForActivation();
  const GraphicsDrawState& s = GetGraphicsDrawState();
  const bool in3D = s.use3D != 0 && GetGraphicsManagerState().threeDAvailable != 0;
  auto draw = [&] {
    return in3D ? G_D3D_DrawTextWithFont(x, y, text, color, font, edgeColor, turn)
                : G_DDraw_DrawTextWithFont(x, y, text, color, font, edgeColor, turn);
  };
  // A glyph cache kept as a graph draws each glyph through the graph calls, which wrap the mask themselves.
  if (record != nullptr && FontCacheInTextures(record) == 1) return draw();
  int size = 0;
  GetFontInfoOfHandle(nullptr, &size, nullptr, font);
  // The line is as deep as the font's cell, which an edge or a tall face makes deeper than the size.
  const int depth = std::max(size + 3, record != nullptr ? record->cellHeight : 0);
  const RECT line = turn != 0 ? RECT{x, y, SaturateToInt(int64_t(x) + depth), s.clip.bottom}
                              : RECT{x, y, s.clip.right, SaturateToInt(int64_t(y) + depth)};
  return MaskedDraw(line, draw);
}

int DrawFormattedText(int x, int y, uint32_t color, const char* format, ...) {
  if (format == nullptr) return -1;
  char buffer[1024];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return -1;
  // A text cut at the buffer's end must not end in half a double-byte character.
  if (n >= static_cast<int>(sizeof buffer)) {
    int end = 0;
    while (buffer[end] != 0) {
      const int width = LeadByte(static_cast<unsigned char>(buffer[end])) ? 2 : 1;
      if (end + width > static_cast<int>(sizeof buffer) - 1 || (width == 2 && buffer[end + 1] == 0)) break;
      end += width;
    }
    buffer[end] = 0;
  }
  RebuildDefaultFontIfChanged();
  return DrawTextWithFont(x, y, buffer, color, QueryDefaultFont(), 0, 0);
}

int GetFontSizeOfHandle(int font) {
  int size = 0;
  return GetFontInfoOfHandle(nullptr, &size, nullptr, font) == 0 ? size : -1;
}
