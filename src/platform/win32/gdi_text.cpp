// GDI fonts over FreeType: GDI's metrics (a positive height is the cell: ascent + descent scaled to it), glyph
// bitmaps in GDI's two outline formats, text drawn into a context's pixels, and logical palettes.
#include "platform/win32/gdi_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "platform/host/platform.h"
#include "platform/win32/font_faces.h"
#include "platform/win32/gdi_objects.h"

namespace {

using namespace gdi_text;

constexpr int kMaxFontPixels = 1024;  // larger fonts are refused: their cells would not fit any cache

struct GdiFont : HGDIOBJ__ {
  FT_Face face = nullptr, fallback = nullptr;
  FT_Size faceSize = nullptr, fallbackSize = nullptr;
  TEXTMETRICA metrics{};
  int codePage = 932;
  bool embolden = false;  // a heavy weight asked of a face without one is drawn one pixel wider
  int selections = 0;
  ~GdiFont() override {
    if (faceSize != nullptr) FT_Done_Size(faceSize);
    if (fallbackSize != nullptr) FT_Done_Size(fallbackSize);
  }
};

struct GdiPalette : HGDIOBJ__ {
  std::vector<uint32_t> colors;  // 0x00RRGGBB
  int selections = 0;
};

struct TextState {
  std::recursive_mutex lock;
  std::unordered_set<const void*> fonts, palettes;
  GdiFont stockFont;        // stands for "no font selected"; text then uses the system font
  GdiPalette stockPalette;  // stands for "no palette selected"
  GdiFont* systemFont = nullptr;
};

TextState& State() {
  static TextState state;
  return state;
}

GdiFont* LiveFont(HGDIOBJ object) {
  TextState& s = State();
  if (object == &s.stockFont) return &s.stockFont;
  return s.fonts.count(object) ? static_cast<GdiFont*>(object) : nullptr;
}

GdiPalette* LivePalette(HGDIOBJ object) {
  TextState& s = State();
  if (object == &s.stockPalette) return &s.stockPalette;
  return s.palettes.count(object) ? static_cast<GdiPalette*>(object) : nullptr;
}

// Ascent and descent in font units, as GDI reads them (the OS/2 table's Windows values when present).
void FaceUnits(FT_Face face, double* ascent, double* descent) {
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    *ascent = os2->usWinAscent, *descent = os2->usWinDescent;
  } else if (face->ascender - face->descender > 0) {
    *ascent = face->ascender, *descent = -face->descender;
  } else {
    *ascent = face->units_per_EM * 0.8, *descent = face->units_per_EM * 0.2;
  }
}

// Gives the face a size of its own whose ascent + descent spans cellHeight pixels (bitmap faces: the nearest
// strike); answers the size in pixels per em, or 0 on failure.
double SizeFace(FT_Face face, int cellHeight, FT_Size* size) {
  if (FT_New_Size(face, size) != 0) return 0;
  FT_Activate_Size(*size);
  if (FT_IS_SCALABLE(face)) {
    double ascent = 0, descent = 0;
    FaceUnits(face, &ascent, &descent);
    double ppem = cellHeight * face->units_per_EM / (ascent + descent);
    FT_Size_RequestRec request{FT_SIZE_REQUEST_TYPE_NOMINAL, 0, std::max<FT_Long>(64, std::lround(ppem * 64)), 0, 0};
    return FT_Request_Size(face, &request) == 0 ? ppem : 0;
  }
  if (face->num_fixed_sizes <= 0) return 0;
  int best = 0;
  for (int i = 1; i < face->num_fixed_sizes; ++i)
    if (std::abs(face->available_sizes[i].height - cellHeight) < std::abs(face->available_sizes[best].height - cellHeight))
      best = i;
  return FT_Select_Size(face, best) == 0 ? face->size->metrics.y_ppem : 0;
}

GdiFont* MakeFont(int height, int weight, DWORD charSet, LPCSTR faceName) {
  int codePage = CodePageOfCharSet(charSet);
  int index = 0;
  std::string file = FindFaceFile(faceName, weight, codePage, &index);
  FT_Face face = file.empty() ? nullptr : OpenFace(file, index);
  if (face == nullptr) return nullptr;
  auto* font = new GdiFont;
  font->face = face;
  font->codePage = codePage;
  TEXTMETRICA& m = font->metrics;
  int cell = height > 0 ? height : 16;
  double ascentUnits = 0, descentUnits = 0;
  if (FT_IS_SCALABLE(face)) {
    FaceUnits(face, &ascentUnits, &descentUnits);
    if (height < 0) cell = std::max<int>(1, std::lround((ascentUnits + descentUnits) * -height / face->units_per_EM));
  }
  double ppem = SizeFace(face, cell, &font->faceSize);
  if (ppem <= 0) {
    delete font;
    return nullptr;
  }
  if (FT_IS_SCALABLE(face)) {
    double scale = ppem / face->units_per_EM;
    m.tmHeight = cell;
    m.tmAscent = std::clamp<LONG>(std::lround(ascentUnits * scale), 0, cell);
    m.tmMaxCharWidth = static_cast<LONG>(std::ceil((face->bbox.xMax - face->bbox.xMin) * scale));
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    m.tmAveCharWidth = os2 != nullptr ? std::lround(os2->xAvgCharWidth * scale) : m.tmMaxCharWidth / 2;
    bool heavyFace = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0 || (os2 != nullptr && os2->usWeightClass >= 600);
    font->embolden = weight >= 600 && !heavyFace;
  } else {
    const FT_Size_Metrics& sm = face->size->metrics;
    m.tmAscent = static_cast<LONG>(sm.ascender >> 6);
    m.tmHeight = std::max<LONG>(1, m.tmAscent + static_cast<LONG>(-sm.descender >> 6));
    // A bitmap face's widest character is its largest advance.
    m.tmMaxCharWidth = static_cast<LONG>(sm.max_advance >> 6);
    for (FT_Long i = 0; i < face->num_glyphs && i < 65536; ++i)
      if (FT_Load_Glyph(face, static_cast<FT_UInt>(i), FT_LOAD_DEFAULT) == 0)
        m.tmMaxCharWidth = std::max<LONG>(m.tmMaxCharWidth, static_cast<LONG>((face->glyph->advance.x + 32) >> 6));
    m.tmAveCharWidth = m.tmMaxCharWidth;
  }
  if (font->embolden) m.tmMaxCharWidth += 1;
  m.tmMaxCharWidth = std::max<LONG>(1, m.tmMaxCharWidth);
  m.tmDescent = m.tmHeight - m.tmAscent;
  m.tmInternalLeading = std::max<LONG>(0, m.tmHeight - std::lround(ppem));
  m.tmWeight = weight == 0 ? 400 : weight;
  m.tmDigitizedAspectX = m.tmDigitizedAspectY = 96;
  m.tmFirstChar = 0x20, m.tmLastChar = 0xFF, m.tmDefaultChar = 0x1F, m.tmBreakChar = 0x20;
  m.tmPitchAndFamily = FT_IS_FIXED_WIDTH(face) ? 0 : 1;
  m.tmCharSet = static_cast<BYTE>(codePage == 949 ? HANGEUL_CHARSET : SHIFTJIS_CHARSET);
  int fallbackIndex = 0;
  std::string fallbackFile = FallbackFaceFile(codePage, &fallbackIndex);
  if (!fallbackFile.empty() && (fallbackFile != file || fallbackIndex != index)) {
    FT_Face fallback = OpenFace(fallbackFile, fallbackIndex);
    if (fallback != nullptr && SizeFace(fallback, m.tmHeight, &font->fallbackSize) > 0) font->fallback = fallback;
  }
  return font;
}

GdiFont* SystemFont() {
  TextState& s = State();
  if (s.systemFont == nullptr) s.systemFont = MakeFont(16, 400, DEFAULT_CHARSET, "");
  return s.systemFont;
}

GdiFont* SelectedFont(HDC dc) {
  GdiContext* c = FindContext(dc);
  if (c == nullptr) return nullptr;
  GdiFont* font = c->font != nullptr ? LiveFont(c->font) : nullptr;
  return font != nullptr && font != &State().stockFont ? font : SystemFont();
}

// One character rendered: its box relative to the pen and base line, and coverage 0 to 255 per pixel.
struct Glyph {
  int left = 0, top = 0, width = 0, rows = 0, advance = 0;
  std::vector<uint8_t> coverage;
  bool Blank() const { return width <= 0 || rows <= 0; }
};

// Renders a code (byte, or lead x 256 + trail); a code no face has gives the face's default glyph.
Glyph RenderGlyph(GdiFont& font, UINT code, bool mono) {
  Glyph out;
  uint32_t unicode = CodeToUnicode(code, font.codePage);
  FT_Face face = font.face;
  FT_Size size = font.faceSize;
  FT_UInt index = unicode != 0 ? FT_Get_Char_Index(face, unicode) : 0;
  if (index == 0 && unicode != 0 && font.fallback != nullptr) {
    FT_UInt other = FT_Get_Char_Index(font.fallback, unicode);
    if (other != 0) face = font.fallback, size = font.fallbackSize, index = other;
  }
  FT_Activate_Size(size);
  FT_Int32 flags = mono ? (FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) : (FT_LOAD_TARGET_NORMAL | FT_LOAD_NO_BITMAP);
  if (FT_Load_Glyph(face, index, flags) != 0 && FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0 &&
      FT_Load_Glyph(face, 0, FT_LOAD_DEFAULT) != 0)
    return out;
  FT_GlyphSlot slot = face->glyph;
  int extra = 0;
  if (font.embolden && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    FT_Outline_EmboldenXY(&slot->outline, 64, 0);
    extra = 1;
  }
  out.advance = static_cast<int>((slot->advance.x + 32) >> 6) + extra;
  if (slot->format != FT_GLYPH_FORMAT_BITMAP &&
      FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
    return out;
  const FT_Bitmap& bitmap = slot->bitmap;
  out.left = slot->bitmap_left;
  out.top = slot->bitmap_top;
  out.width = static_cast<int>(bitmap.width);
  out.rows = static_cast<int>(bitmap.rows);
  if (out.Blank() || bitmap.buffer == nullptr) {
    out.width = out.rows = 0;
    return out;
  }
  out.coverage.assign(static_cast<size_t>(out.width) * out.rows, 0);
  int grays = std::max(2, static_cast<int>(bitmap.num_grays));
  for (int y = 0; y < out.rows; ++y) {
    const uint8_t* row = bitmap.pitch >= 0 ? bitmap.buffer + static_cast<long>(y) * bitmap.pitch
                                           : bitmap.buffer + static_cast<long>(out.rows - 1 - y) * -bitmap.pitch;
    uint8_t* to = &out.coverage[static_cast<size_t>(y) * out.width];
    for (int x = 0; x < out.width; ++x) {
      if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
        to[x] = (row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
      else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
        to[x] = static_cast<uint8_t>(row[x] * 255 / (grays - 1));
    }
  }
  return out;
}

// Walks the characters of count bytes of text in the font's code page.
template <class Visit>
void ForEachCode(const GdiFont& font, LPCSTR text, int count, Visit visit) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text);
  for (int i = 0; i < count;) {
    if (IsLeadByteOf(font.codePage, bytes[i]) && i + 1 < count) {
      visit(static_cast<UINT>(bytes[i] << 8 | bytes[i + 1]));
      i += 2;
    } else {
      visit(static_cast<UINT>(bytes[i]));
      i += 1;
    }
  }
}

uint32_t ColorRgb(COLORREF color, const GdiContext& context) {
  if ((color >> 24) == 1) {
    GdiPalette* palette = context.logicalPalette != nullptr ? LivePalette(context.logicalPalette) : nullptr;
    WORD index = static_cast<WORD>(color & 0xFFFF);
    return palette != nullptr && index < palette->colors.size() ? palette->colors[index] : 0;
  }
  return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

// Writes single pixels of one colour into a block (palette blocks: the nearest entry, the highest on ties, so an
// exact grey lands on a grey ramp's own entry).
class PixelWriter {
 public:
  PixelWriter(const PixelBlock& block, uint32_t rgb) : block_(block) {
    if (block.bits <= 8) {
      uint32_t best = UINT32_MAX;
      for (int i = block.paletteCount - 1; i >= 0; --i) {
        uint32_t p = block.palette[i];
        int dr = static_cast<int>((p >> 16) & 0xFF) - static_cast<int>((rgb >> 16) & 0xFF);
        int dg = static_cast<int>((p >> 8) & 0xFF) - static_cast<int>((rgb >> 8) & 0xFF);
        int db = static_cast<int>(p & 0xFF) - static_cast<int>(rgb & 0xFF);
        uint32_t d = static_cast<uint32_t>(dr * dr + dg * dg + db * db);
        if (d < best) best = d, value_ = static_cast<uint32_t>(i);
      }
    } else {
      uint32_t red = block.redMask, green = block.greenMask, blue = block.blueMask;
      if (red == 0 && green == 0 && blue == 0) DefaultMasks(block.bits, &red, &green, &blue);
      value_ = ChannelLayout::FromMask(red).Pack((rgb >> 16) & 0xFF) |
               ChannelLayout::FromMask(green).Pack((rgb >> 8) & 0xFF) | ChannelLayout::FromMask(blue).Pack(rgb & 0xFF);
    }
  }
  void Put(int x, int y) const {
    uint8_t* row = block_.Row(y);
    switch (block_.bits) {
      case 1: {
        uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
        row[x >> 3] = static_cast<uint8_t>(value_ & 1 ? row[x >> 3] | bit : row[x >> 3] & ~bit);
        break;
      }
      case 4: {
        uint8_t& byte = row[x >> 1];
        byte = static_cast<uint8_t>(x & 1 ? (byte & 0xF0) | (value_ & 0xF) : (byte & 0x0F) | (value_ << 4));
        break;
      }
      case 8: row[x] = static_cast<uint8_t>(value_); break;
      case 16: std::memcpy(row + x * 2, &value_, 2); break;
      case 24: std::memcpy(row + x * 3, &value_, 3); break;
      case 32: std::memcpy(row + x * 4, &value_, 4); break;
      default: break;
    }
  }

 private:
  const PixelBlock& block_;
  uint32_t value_ = 0;
};

}  // namespace

bool SelectTextObject(GdiContext* context, HGDIOBJ object, HGDIOBJ* previous) {
  TextState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  GdiFont* font = LiveFont(object);
  if (font == nullptr) return false;
  GdiFont* before = context->font != nullptr ? LiveFont(context->font) : nullptr;
  if (before != nullptr) --before->selections;
  *previous = before != nullptr ? before : &s.stockFont;
  context->font = font == &s.stockFont ? nullptr : font;
  if (font != &s.stockFont) ++font->selections;
  return true;
}

bool DeleteTextObject(HGDIOBJ object, BOOL* result) {
  TextState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  if (GdiFont* font = LiveFont(object)) {
    *result = font == &s.stockFont || font->selections == 0;  // a selected font stays until it is let go
    if (font != &s.stockFont && font->selections == 0) {
      s.fonts.erase(object);
      delete font;
    }
    return true;
  }
  if (GdiPalette* palette = LivePalette(object)) {
    *result = palette == &s.stockPalette || palette->selections == 0;
    if (palette != &s.stockPalette && palette->selections == 0) {
      s.palettes.erase(object);
      delete palette;
    }
    return true;
  }
  return false;
}

void ReleaseTextObjects(GdiContext* context) {
  TextState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  if (GdiFont* font = context->font != nullptr ? LiveFont(context->font) : nullptr) --font->selections;
  if (GdiPalette* palette = context->logicalPalette != nullptr ? LivePalette(context->logicalPalette) : nullptr)
    --palette->selections;
  context->font = context->logicalPalette = nullptr;
}

HFONT CreateFontA(int height, int, int, int, int weight, DWORD, DWORD, DWORD, DWORD charSet, DWORD, DWORD, DWORD,
                  DWORD, LPCSTR face) {
  if (host::ShouldFail("CreateFontA")) return nullptr;
  if (height < -kMaxFontPixels || height > kMaxFontPixels || weight < 0 || weight > 1000) return nullptr;
  TextState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  GdiFont* font = MakeFont(height, weight, charSet, face);
  if (font != nullptr) s.fonts.insert(static_cast<HGDIOBJ>(font));
  return font;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  GdiFont* font = SelectedFont(dc);
  if (font == nullptr || metrics == nullptr) return FALSE;
  *metrics = font->metrics;
  return TRUE;
}

DWORD GetGlyphOutlineA(HDC dc, UINT code, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize, LPVOID buffer,
                       const MAT2*) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  GdiFont* font = SelectedFont(dc);
  if (font == nullptr || metrics == nullptr) return GDI_GLYPH_ERROR;
  if (format != GGO_METRICS && format != GGO_BITMAP && format != GGO_GRAY4_BITMAP) return GDI_GLYPH_ERROR;
  Glyph glyph = RenderGlyph(*font, code, format == GGO_BITMAP);
  const bool blank = glyph.Blank();
  metrics->gmBlackBoxX = blank ? 1 : static_cast<UINT>(glyph.width);
  metrics->gmBlackBoxY = blank ? 1 : static_cast<UINT>(glyph.rows);
  metrics->gmptGlyphOrigin = POINT{blank ? 0 : glyph.left, blank ? 0 : glyph.top};
  metrics->gmCellIncX = static_cast<SHORT>(glyph.advance);
  metrics->gmCellIncY = 0;
  if (format == GGO_METRICS || blank) return 0;
  const DWORD pitch = format == GGO_BITMAP ? (static_cast<DWORD>(glyph.width) + 31) / 32 * 4
                                           : (static_cast<DWORD>(glyph.width) + 3) & ~3u;
  const DWORD size = pitch * static_cast<DWORD>(glyph.rows);
  if (buffer == nullptr || bufferSize == 0) return size;
  if (bufferSize < size) return GDI_GLYPH_ERROR;
  auto* out = static_cast<uint8_t*>(buffer);
  std::memset(out, 0, size);
  for (int y = 0; y < glyph.rows; ++y) {
    const uint8_t* from = &glyph.coverage[static_cast<size_t>(y) * glyph.width];
    uint8_t* to = out + y * pitch;
    for (int x = 0; x < glyph.width; ++x) {
      if (format == GGO_BITMAP) {
        if (from[x] >= 128) to[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      } else {
        to[x] = static_cast<uint8_t>((from[x] * 16 + 127) / 255);
      }
    }
  }
  return size;
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  GdiFont* font = SelectedFont(dc);
  if (font == nullptr || size == nullptr || count < 0 || (text == nullptr && count > 0)) return FALSE;
  LONG width = 0;
  ForEachCode(*font, text, count, [&](UINT code) { width += RenderGlyph(*font, code, true).advance; });
  *size = SIZE{width, font->metrics.tmHeight};
  return TRUE;
}

BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count, const INT*) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  GdiContext* context = FindContext(dc);
  GdiFont* font = SelectedFont(dc);
  const PixelBlock* block = ContextPixels(dc);
  if (context == nullptr || font == nullptr || block == nullptr || (text == nullptr && count > 0) ||
      count > 0x7FFFFFFF)
    return FALSE;
  RECT clip{0, 0, block->width, block->height};
  if ((options & ETO_CLIPPED) && rect != nullptr) {
    clip.left = std::max(clip.left, rect->left), clip.top = std::max(clip.top, rect->top);
    clip.right = std::min(clip.right, rect->right), clip.bottom = std::min(clip.bottom, rect->bottom);
  }
  auto fill = [&](RECT box, const PixelWriter& writer) {
    for (LONG py = std::max(box.top, clip.top); py < std::min(box.bottom, clip.bottom); ++py)
      for (LONG px = std::max(box.left, clip.left); px < std::min(box.right, clip.right); ++px)
        writer.Put(static_cast<int>(px), static_cast<int>(py));
  };
  std::vector<Glyph> glyphs;
  LONG width = 0;
  ForEachCode(*font, text, static_cast<int>(count), [&](UINT code) {
    glyphs.push_back(RenderGlyph(*font, code, true));
    width += glyphs.back().advance;
  });
  PixelWriter back(*block, ColorRgb(context->backColor, *context));
  if ((options & ETO_OPAQUE) && rect != nullptr) fill(*rect, back);
  if (context->backMode == OPAQUE) fill(RECT{x, y, x + width, y + font->metrics.tmHeight}, back);
  PixelWriter ink(*block, ColorRgb(context->textColor, *context));
  long pen = x;
  for (const Glyph& glyph : glyphs) {
    for (int gy = 0; gy < glyph.rows; ++gy) {
      long py = static_cast<long>(y) + font->metrics.tmAscent - glyph.top + gy;
      if (py < clip.top || py >= clip.bottom) continue;
      for (int gx = 0; gx < glyph.width; ++gx) {
        long px = pen + glyph.left + gx;
        if (px >= clip.left && px < clip.right && glyph.coverage[static_cast<size_t>(gy) * glyph.width + gx] >= 128)
          ink.Put(static_cast<int>(px), static_cast<int>(py));
      }
    }
    pen += glyph.advance;
  }
  ContextDrawn(dc);
  return TRUE;
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int count) {
  if (count < 0) return FALSE;
  return ExtTextOutA(dc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  GdiContext* c = FindContext(dc);
  if (c == nullptr) return 0xFFFFFFFFu;
  std::swap(c->textColor, color);
  return color;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
  GdiContext* c = FindContext(dc);
  if (c == nullptr) return 0xFFFFFFFFu;
  std::swap(c->backColor, color);
  return color;
}

int SetBkMode(HDC dc, int mode) {
  GdiContext* c = FindContext(dc);
  if (c == nullptr || (mode != OPAQUE && mode != TRANSPARENT)) return 0;
  std::swap(c->backMode, mode);
  return mode;
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
  if (palette == nullptr || palette->palNumEntries == 0) return nullptr;
  auto* made = new GdiPalette;
  for (WORD i = 0; i < palette->palNumEntries; ++i) {
    const PALETTEENTRY& e = palette->palPalEntry[i];
    made->colors.push_back(static_cast<uint32_t>(e.peRed) << 16 | e.peGreen << 8 | e.peBlue);
  }
  TextState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  s.palettes.insert(static_cast<HGDIOBJ>(made));
  return made;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL) {
  TextState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  GdiContext* c = FindContext(dc);
  GdiPalette* chosen = LivePalette(palette);
  if (c == nullptr || chosen == nullptr) return nullptr;
  GdiPalette* before = c->logicalPalette != nullptr ? LivePalette(c->logicalPalette) : nullptr;
  if (before != nullptr) --before->selections;
  c->logicalPalette = chosen == &s.stockPalette ? nullptr : chosen;
  if (chosen != &s.stockPalette) ++chosen->selections;
  return before != nullptr ? before : &s.stockPalette;
}

UINT RealizePalette(HDC dc) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  GdiContext* c = FindContext(dc);
  GdiPalette* palette = c != nullptr && c->logicalPalette != nullptr ? LivePalette(c->logicalPalette) : nullptr;
  return palette != nullptr ? static_cast<UINT>(palette->colors.size()) : 0;
}
