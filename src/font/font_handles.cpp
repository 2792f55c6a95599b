// Font handles: the 40-slot font table, font creation over GDI fonts, the default font and its rebuilds, the
// re-creation of every font after a display change, and the double-byte rule of the library.
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "font/font_record.h"
#include "font/font_services.h"
#include "graphics/ddraw_layer.h"
#include "graphics/draw_state.h"
#include "graphics/handle_kind.h"
#include "platform/win32/gdi_text.h"
#include "platform/win32/kernel.h"

namespace {

struct FontTable {
  FontRecord* slots[kFontTableSize];
  uint32_t checkCounter;  // 0 to 2047, wraps to 0
};

FontTable table;
DefaultFontSettings defaults;

constexpr DWORD kCharSets[3] = {DEFAULT_CHARSET, SHIFTJIS_CHARSET, HANGEUL_CHARSET};

int DefaultCharSetIndex() { return GetOEMCP() == 949 ? 2 : 1; }

int SlotOf(int handle) {
  if (handle < 0 || (handle & HandleKindMask) != FontHandle) return -1;
  int slot = HandleSlot(handle);
  if (slot >= kFontTableSize || table.slots[slot] == nullptr) return -1;
  return table.slots[slot]->check == HandleCheck(handle) ? slot : -1;
}

void CopyFace(char* to, size_t room, const char* face) {
  // A longer name is cut at a character boundary, never inside a double-byte character.
  size_t length = face != nullptr ? TextPrefixLength(face, room - 1) : 0;
  if (length > 0) std::memcpy(to, face, length);
  to[length] = 0;
}

// The GDI font of a record's settings, tried with the char sets the creation falls back through.
HFONT MakeGdiFont(FontRecord* font, int charSet) {
  auto create = [&](DWORD gdiCharSet, const char* face) {
    return CreateFontA(font->size, 0, 0, 0, font->thickness * 100, FALSE, FALSE, FALSE, gdiCharSet, 0, 0,
                       NONANTIALIASED_QUALITY, FIXED_PITCH, face);
  };
  HFONT made = nullptr;
  if (font->faceName[0] != 0) {
    made = create(kCharSets[charSet], font->faceName);
    if (made == nullptr) made = create(DEFAULT_CHARSET, font->faceName);
    if (made == nullptr) made = create(SHIFTJIS_CHARSET, font->faceName);
    if (made == nullptr) AppLogWrite("指定のフォントの作成に失敗しました\n");
  } else {
    made = create(kCharSets[charSet], nullptr);
    if (made == nullptr) made = create(DEFAULT_CHARSET, nullptr);
    if (made == nullptr) AppLogWrite("フォントの作成に失敗しました\n");
  }
  return made;
}

// The one log line of an edge the glyph work cannot afford; -1.
int EdgeRefused(int edgeSize) {
  return AppLogWriteFormat("縁の太さ %d のフォントは作成できません（縁の太さは 0 から %d、フォントの高さとの積は %d まで）",
                           edgeSize, kMaxEdgeSize, kMaxEdgeTimesHeight);
}

// Reads the cell of a GDI font: height and widest character, each with the edge on both sides, made even. False
// (logged) without a device context, or for an edge too wide for the font's height.
bool MeasureFont(FontRecord* font, HFONT gdiFont) {
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) return AppLogWrite("ＤＣの取得に失敗しました\n"), false;
  HGDIOBJ previous = SelectObject(dc, gdiFont);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, previous);
  DeleteDC(dc);
  if ((font->type & 1) != 0 && font->edgeSize * metrics.tmHeight > kMaxEdgeTimesHeight)
    return EdgeRefused(font->edgeSize), false;
  int edge = (font->type & 1) ? font->edgeSize * 2 : 0;
  font->cellHeight = (metrics.tmHeight + edge + 1) / 2 * 2;
  font->cellWidth = (metrics.tmMaxCharWidth + edge + 1) / 2 * 2;
  return true;
}

// The settings of a live font, kept while it is deleted and made again.
struct FontSettings {
  char face[256];
  int size, thickness, type, charSet, edgeSize;
  uint32_t check;
  int32_t* deletedFlag;
};

FontSettings SettingsOf(const FontRecord* font) {
  FontSettings s{};
  std::memcpy(s.face, font->faceName, sizeof s.face);
  s.size = font->size, s.thickness = font->thickness, s.type = font->type;
  s.charSet = font->charSet, s.edgeSize = font->edgeSize, s.check = font->check;
  s.deletedFlag = font->deletedFlag;
  return s;
}

}  // namespace

DefaultFontSettings& GetDefaultFontSettings() { return defaults; }

bool FontsUnavailable() { return GetGraphicsDrawState().suspended != 0 || QueryDirectDrawObject() == nullptr; }

int IsDoubleByteLead(const char* text, int charSet) {
  auto byte = static_cast<uint8_t>(*text);
  if (charSet == 2) return byte >= 0x80 ? 1 : 0;
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC) ? 1 : 0;
}

int CharacterWidth(const char* text, int charSet) {
  return text[1] != 0 && IsDoubleByteLead(text, charSet) ? 2 : 1;
}

int IsValidFontHandle(int font) { return SlotOf(font) >= 0 ? 1 : 0; }

FontRecord* GetFontRecord(int font) {
  int slot = SlotOf(font);
  return slot < 0 ? nullptr : table.slots[slot];
}

int QueryDefaultFont() { return defaults.handle; }

int CreateFontToHandle(const char* face, int size, int thickness, int type, int charSet, int edgeSize, int slot,
                       int checkNumber) {
  if (FontsUnavailable()) return -1;
  // Values the table, the char-set mapping, the font weight (hundreds) or the handle's bits cannot hold are
  // refused.
  if (slot < -1 || slot >= kFontTableSize || charSet < -1 || charSet > 2 || type < -1 || type > 3 ||
      thickness < -1 || thickness > 10 || checkNumber < -1 || checkNumber > static_cast<int>(HandleCheckLimit))
    return -1;
  if (type == -1) type = 0;
  if (edgeSize > 0) type |= 1;
  if (size == -1) size = 16;
  if (thickness == -1) thickness = 6;
  if (edgeSize == -1) edgeSize = 1;
  if (charSet == -1) charSet = DefaultCharSetIndex();
  if (edgeSize < 0 || edgeSize > kMaxEdgeSize) return EdgeRefused(edgeSize);

  if (slot == -1) {
    for (int i = 0; i < kFontTableSize && slot == -1; ++i)
      if (table.slots[i] == nullptr) slot = i;
    if (slot == -1) return AppLogWriteFormat("作成できるフォントハンドル数 %d の限界を超えました", kFontTableSize);
  } else if (table.slots[slot] != nullptr) {
    return -1;
  }

  auto* font = static_cast<FontRecord*>(MemAllocZeroed(sizeof(FontRecord)));
  if (font == nullptr) return AppLogWrite("フォント管理用メモリ領域の確保に失敗しました\n");
  table.slots[slot] = font;
  font->cacheGraph = -1;
  font->workSurface = -1;

  if (QueryScreenColorBitDepth() == 8) type &= ~2;
  font->size = size;
  font->thickness = thickness;
  font->type = type;
  font->edgeSize = edgeSize;
  if (checkNumber == -1) {
    font->check = table.checkCounter;
    table.checkCounter = table.checkCounter >= HandleCheckLimit ? 0 : table.checkCounter + 1;
  } else {
    font->check = static_cast<uint32_t>(checkNumber);
  }
  const int handle = MakeHandle(FontHandle, font->check, slot);

  CopyFace(font->faceName, sizeof font->faceName, face);
  font->charSet = charSet;
  HFONT gdiFont = MakeGdiFont(font, charSet);
  bool made = gdiFont != nullptr && MeasureFont(font, gdiFont);
  if (made) {
    font->gdiFont = gdiFont;
    gdiFont = nullptr;
    made = SetUpGlyphCache(font) == 0;
  }
  if (!made) {
    if (gdiFont != nullptr) DeleteObject(gdiFont);
    font->check = 0;
    DeleteFontHandle(MakeHandle(FontHandle, 0, slot));
    return -1;
  }
  ClearFontGlyphCache(handle);
  font->deletedFlag = nullptr;
  return handle;
}

int DeleteFontHandle(int handle) {
  int slot = SlotOf(handle);
  if (slot < 0) return -1;
  FontRecord* font = table.slots[slot];
  ReleaseGlyphCache(font);
  if (font->gdiFont != nullptr) DeleteObject(font->gdiFont);
  font->gdiFont = nullptr;
  if (font->deletedFlag != nullptr) *font->deletedFlag = 1;
  MemFree(font);
  table.slots[slot] = nullptr;
  return 0;
}

int SetFontDeletedFlagPointer(int handle, int32_t* flagPointer) {
  FontRecord* font = GetFontRecord(handle);
  if (font == nullptr) return -1;
  font->deletedFlag = flagPointer;
  if (flagPointer != nullptr) *flagPointer = 0;
  return 0;
}

int GetFontInfoOfHandle(char* face, int* size, int* thickness, int handle) {
  FontRecord* font = GetFontRecord(handle);
  if (font == nullptr) return -1;
  if (face != nullptr) CopyFace(face, 256, font->faceName);
  if (size != nullptr) *size = font->size;
  if (thickness != nullptr) *thickness = font->thickness;
  return 0;
}

void WriteDefaultFontSettings() {
  std::memset(&defaults, 0, sizeof defaults);
  defaults.size = 16;
  defaults.thickness = 6;
  defaults.type = 0;
  // The char set follows the system, as a font made with the default char set does; a fixed Shift-JIS setting
  // would rebuild the default font for Shift-JIS on every Hangeul system.
  defaults.charSet = DefaultCharSetIndex();
  defaults.edgeSize = 1;
  defaults.handle = -1;
}

namespace {

void DeleteAllFontSlots() {
  for (int i = 0; i < kFontTableSize; ++i)
    if (table.slots[i] != nullptr) DeleteFontHandle(MakeHandle(FontHandle, table.slots[i]->check, i));
}

}  // namespace

int StartFontManager() {
  if (FontsUnavailable()) return -1;
  AppLogWrite("フォントの初期化を行います\n");
  AppLogIndentIn();
  FontRecord* previous = GetFontRecord(defaults.handle);
  FontSettings kept{};
  if (previous != nullptr) kept = SettingsOf(previous);
  DeleteAllFontSlots();
  defaults.handle = previous != nullptr
                        ? CreateFontToHandle(kept.face, kept.size, kept.thickness, kept.type, kept.charSet, -1, -1, -1)
                        : CreateFontToHandle("", 16, 6, -1, -1, -1, -1, -1);
  AppLogIndentOut();
  AppLogWrite("フォントの初期化は正常に終了しました\n");
  return 0;
}

int StopFontManager() {
  StartFontManager();
  // Every font goes, also while graphics are suspended, so no deleted flag is left unsignalled.
  DeleteAllFontSlots();
  defaults.handle = -1;
  return 0;
}

int RecreateAllFonts() {
  for (int i = 0; i < kFontTableSize; ++i) {
    FontRecord* font = table.slots[i];
    if (font == nullptr) continue;
    FontSettings s = SettingsOf(font);
    // The handle stays valid, so the holder of a deleted flag is not told of a deletion.
    font->deletedFlag = nullptr;
    DeleteFontHandle(MakeHandle(FontHandle, s.check, i));
    int handle = CreateFontToHandle(s.face, s.size, s.thickness, s.type, s.charSet, s.edgeSize, i,
                                    static_cast<int>(s.check));
    if (handle != -1) {
      table.slots[i]->deletedFlag = s.deletedFlag;
    } else if (s.deletedFlag != nullptr) {
      *s.deletedFlag = 1;
    }
  }
  return 0;
}

int RebuildDefaultFontIfChanged() {
  FontRecord* font = GetFontRecord(defaults.handle);
  if (font != nullptr && std::strcmp(font->faceName, defaults.faceName) == 0 && font->type == defaults.type &&
      font->size == defaults.size && font->thickness == defaults.thickness && font->charSet == defaults.charSet &&
      font->edgeSize == defaults.edgeSize)
    return 0;
  if (font != nullptr) DeleteFontHandle(defaults.handle);
  defaults.handle = CreateFontToHandle(defaults.faceName, defaults.size, defaults.thickness, defaults.type,
                                       defaults.charSet, (defaults.type & 1) ? defaults.edgeSize : -1, -1, -1);
  return 0;
}

int ChangeDefaultFontSize(const char*, int size, int thickness) {
  if (FontsUnavailable()) return -1;
  defaults.size = size == -1 ? 16 : size;
  defaults.thickness = thickness == -1 ? 6 : thickness;
  return RebuildDefaultFontIfChanged();
}

int FontCacheInTextures(const FontRecord* font) { return font->cacheIsGraph; }
int FontOptionBits(const FontRecord* font) { return font->type; }
int FontWorkSurface(const FontRecord* font) { return font->workSurface; }
