// Cached string drawing: one string of one font measured, or drawn glyph by glyph from the font's cache, either
// as parts of the cache graph through the public graph drawers or written straight into a locked surface.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/log.h"
#include "core/saturate.h"
#include "font/font_record.h"
#include "font/font_services.h"
#include "graphics/color_format.h"
#include "graphics/ddraw_layer.h"
#include "graphics/draw_front.h"
#include "graphics/draw_state.h"
#include "platform/directx/ddraw.h"

namespace {

// A colour scaled by the draw brightness: the screen pixel value and the 32-bit 0xFFRRGGBB value.
struct TextColor {
  uint32_t pixel;
  uint32_t argb;
};

TextColor ScaleByBrightness(uint32_t color, const GraphicsDrawState& state) {
  int red = 0, green = 0, blue = 0;
  UnpackScreenColor(color, &red, &green, &blue);
  if (state.brightnessWord != 0xFFFFFFFFu) {
    red = red * state.brightness[2] / 255;
    green = green * state.brightness[1] / 255;
    blue = blue * state.brightness[0] / 255;
    color = PackScreenColor(red, green, blue);
  }
  return {color, 0xFF000000u | static_cast<uint32_t>(red) << 16 | static_cast<uint32_t>(green) << 8 |
                     static_cast<uint32_t>(blue)};
}

// Where a glyph's pixels go: the destination of source column 0 and row 0 of the drawn part and the byte steps
// per source column and per source row (a quarter turn for vertical text swaps them).
struct GlyphTarget {
  uint8_t* pixel;
  uint8_t* alpha;
  long columnStep, rowStep;
  long alphaColumnStep, alphaRowStep;
  int columns, rows;
};

// A source cell: the coverage of the part's column c and row r.
struct CellSource {
  const uint8_t* top;  // the part's first row
  long pitch;
  int firstBit;        // 1-bit caches: the part's first column
};

// Channel arithmetic of the anti-aliased edged type on one layout (5-6-5, 5-5-5 or 8-8-8).
struct ChannelMix {
  int shifts[3];
  uint32_t maxima[3];
  uint32_t Mix(uint32_t edge, uint32_t body, int fraction) const {
    uint32_t out = 0;
    for (int i = 0; i < 3; ++i) {
      int e = static_cast<int>((edge >> shifts[i]) & maxima[i]), b = static_cast<int>((body >> shifts[i]) & maxima[i]);
      out |= static_cast<uint32_t>((e + (((b - e) * fraction) >> 8)) & static_cast<int>(maxima[i])) << shifts[i];
    }
    return out;
  }
};

template <class Pixel>
inline void Put(uint8_t* at, uint32_t value) {
  *reinterpret_cast<Pixel*>(at) = static_cast<Pixel>(value);
}

// The per-depth, per-type loops; uncovered pixels are written (as 0) only when not transparent.
template <class Pixel, int Type, bool Transparent>
void DrawCoverage(const CellSource& src, const GlyphTarget& to, uint32_t color, uint32_t edge, const ChannelMix& mix,
                  bool eightBit) {
  if constexpr (Type == 0 && Transparent) {
    // Plain glyphs are mostly empty: take the bits a byte at a time and pass over empty bytes whole.
    for (int r = 0; r < to.rows; ++r) {
      uint8_t* out = to.pixel + r * to.rowStep;
      const uint8_t* row = src.top + r * src.pitch;
      for (int c = 0; c < to.columns;) {
        const int bit = src.firstBit + c;
        const int span = std::min(8 - (bit & 7), to.columns - c);
        const auto bits = static_cast<uint8_t>(row[bit >> 3] << (bit & 7));
        if (bits != 0)
          for (int k = 0; k < span; ++k)
            if (bits & (0x80 >> k)) Put<Pixel>(out + (c + k) * to.columnStep, color);
        c += span;
      }
    }
    return;
  }
  for (int r = 0; r < to.rows; ++r) {
    uint8_t* out = to.pixel + r * to.rowStep;
    uint8_t* alpha = to.alpha != nullptr ? to.alpha + r * to.alphaRowStep : nullptr;
    const uint8_t* row = src.top + r * src.pitch;
    for (int c = 0; c < to.columns; ++c, out += to.columnStep) {
      uint8_t* a = alpha != nullptr ? alpha + c * to.alphaColumnStep : nullptr;
      if constexpr (Type == 0) {
        const int bit = src.firstBit + c;
        if ((row[bit >> 3] << (bit & 7)) & 0x80)
          Put<Pixel>(out, color);
        else if (!Transparent)
          Put<Pixel>(out, 0);
      } else if constexpr (Type == 1) {
        const uint8_t v = row[c];
        if (v != 0)
          Put<Pixel>(out, (eightBit ? v == 255 : (v & 4) != 0) ? color : edge);
        else if (!Transparent)
          Put<Pixel>(out, 0);
      } else if constexpr (Type == 2) {
        const uint8_t v = row[c];
        if (v != 0) {
          Put<Pixel>(out, color);
          if (a != nullptr) *a = v;
        } else if (!Transparent) {
          Put<Pixel>(out, 0);
          if (a != nullptr) *a = 0;
        }
      } else {
        uint16_t v;
        std::memcpy(&v, row + c * 2, 2);
        const int body = v & 0xFF, edgeLevel = v >> 8;
        if (body == 0 && edgeLevel == 0) {
          if (!Transparent) {
            Put<Pixel>(out, 0);
            if (a != nullptr) *a = 0;
          }
        } else if (body == 0) {
          Put<Pixel>(out, edge);
          if (a != nullptr) *a = static_cast<uint8_t>(edgeLevel);
        } else if (body == 255) {
          Put<Pixel>(out, color);
          if (a != nullptr) *a = 255;
        } else {
          const int coverage = (body + (((256 - body) * edgeLevel) >> 8)) & 0xFF;
          const int fraction = coverage != 0 ? body * 256 / coverage : 0;
          Put<Pixel>(out, mix.Mix(edge, color, fraction));
          if (a != nullptr) *a = static_cast<uint8_t>(coverage);
        }
      }
    }
  }
}

template <class Pixel, int Type>
void DrawByTransparency(bool transparent, const CellSource& src, const GlyphTarget& to, uint32_t color, uint32_t edge,
                        const ChannelMix& mix, bool eightBit) {
  if (transparent)
    DrawCoverage<Pixel, Type, true>(src, to, color, edge, mix, eightBit);
  else
    DrawCoverage<Pixel, Type, false>(src, to, color, edge, mix, eightBit);
}

template <class Pixel>
void DrawByType(int type, bool transparent, const CellSource& src, const GlyphTarget& to, uint32_t color,
                uint32_t edge, const ChannelMix& mix, bool eightBit) {
  switch (type) {
    case 0: DrawByTransparency<Pixel, 0>(transparent, src, to, color, edge, mix, eightBit); break;
    case 1: DrawByTransparency<Pixel, 1>(transparent, src, to, color, edge, mix, eightBit); break;
    case 2: DrawByTransparency<Pixel, 2>(transparent, src, to, color, edge, mix, eightBit); break;
    case 3: DrawByTransparency<Pixel, 3>(transparent, src, to, color, edge, mix, eightBit); break;
    default: break;
  }
}

// Everything one string's locked drawing shares.
struct LockedDraw {
  const FontRecord* font;
  uint8_t* pixels;
  long pitch;
  int bytesPerPixel;
  int depth;
  uint8_t* alpha;
  long alphaPitch;
  RECT clip;
  bool transparent;
  bool vertical;
  uint32_t color, edge;
  bool mixable;  // the anti-aliased edged type has a channel layout to mix in
  ChannelMix mix;

  void Glyph(const GlyphSlot& slot, int x, int y, int64_t pen) const {
    const int side = font->cellWidth;
    const int cellX = slot.cellNumber / font->cellsPerColumn * side;
    const int cellY = slot.cellNumber % font->cellsPerColumn * side;
    const int width = slot.width, height = slot.height;
    // Edges held in the int range: a glyph past either end lies off every surface.
    int64_t x0 = 0, top = 0;
    RECT box;
    if (!vertical) {
      const int64_t left = x + pen + slot.xOffset, boxTop = int64_t(y) + slot.yOffset;
      box = RECT{SaturateToInt(left), SaturateToInt(boxTop), SaturateToInt(left + width),
                 SaturateToInt(boxTop + height)};
    } else {
      x0 = int64_t(x) + font->cellHeight - slot.yOffset;
      top = y + pen + slot.xOffset;
      box = RECT{SaturateToInt(x0 - height), SaturateToInt(top), SaturateToInt(x0), SaturateToInt(top + width)};
    }
    RECT drawn = box;
    ClipRectByRect(&drawn, &clip);
    if (drawn.right <= drawn.left || drawn.bottom <= drawn.top) return;
    if (font->type == 3 && !mixable) return;
    // The part of the source box that lands inside the clip, and where its first pixel goes.
    int firstColumn, firstRow, columns, rows;
    GlyphTarget to{};
    if (!vertical) {
      firstColumn = drawn.left - box.left, firstRow = drawn.top - box.top;
      columns = drawn.right - drawn.left, rows = drawn.bottom - drawn.top;
      to.pixel = pixels + drawn.top * pitch + drawn.left * bytesPerPixel;
      to.columnStep = bytesPerPixel, to.rowStep = pitch;
      if (alpha != nullptr) to.alpha = alpha + drawn.top * alphaPitch + drawn.left;
      to.alphaColumnStep = 1, to.alphaRowStep = alphaPitch;
    } else {
      // Source row r lies in column x0 - 1 - r, source column c in row top + c.
      firstRow = static_cast<int>(x0 - drawn.right), firstColumn = static_cast<int>(drawn.top - top);
      rows = drawn.right - drawn.left, columns = drawn.bottom - drawn.top;
      to.pixel = pixels + drawn.top * pitch + (drawn.right - 1) * bytesPerPixel;
      to.columnStep = pitch, to.rowStep = -bytesPerPixel;
      if (alpha != nullptr) to.alpha = alpha + drawn.top * alphaPitch + (drawn.right - 1);
      to.alphaColumnStep = alphaPitch, to.alphaRowStep = -1;
    }
    to.columns = columns, to.rows = rows;
    const int sourceBytes = font->type == 0 ? 0 : font->type == 3 ? 2 : 1;
    CellSource src{font->dibPixels + static_cast<long>(cellY + firstRow) * font->dibPitch, font->dibPitch, 0};
    if (sourceBytes == 0)
      src.firstBit = cellX + firstColumn;
    else
      src.top += static_cast<long>(cellX + firstColumn) * sourceBytes;
    const uint32_t edgeValue = depth == 32 && font->type == 1 ? edge & 0x00FFFFFFu : edge;
    switch (depth) {
      case 8: DrawByType<uint8_t>(font->type, transparent, src, to, color, edgeValue, mix, true); break;
      case 16: DrawByType<uint16_t>(font->type, transparent, src, to, color, edgeValue, mix, false); break;
      case 32: DrawByType<uint32_t>(font->type, transparent, src, to, color, edgeValue, mix, false); break;
      default: break;
    }
  }
};

// Draws one glyph as parts of the cache graph with the current blend mode, tinted by the brightness.
void DrawGlyphFromGraph(const FontRecord* font, const GlyphSlot& slot, int x, int y, int64_t pen, bool vertical,
                        const TextColor& color, const TextColor& edge) {
  GraphicsDrawState& state = GetGraphicsDrawState();
  const uint32_t brightness = state.brightnessWord;
  const int transparent = (font->type & 2) ? 0 : 1;
  const bool edged = (font->type & 1) != 0;
  const int side = font->cellWidth;
  const int cellX = slot.cellNumber / font->cellsPerColumn * side;
  const int cellY = slot.cellNumber % font->cellsPerColumn * side;
  if (!vertical) {
    const int gx = SaturateToInt(x + pen + slot.xOffset), gy = SaturateToInt(int64_t(y) + slot.yOffset);
    if (edged) {
      state.brightnessWord = edge.argb;
      DrawGraphPart(gx, gy, cellX + font->cacheWidth, cellY, slot.width, slot.height, font->cacheGraph, transparent, 0);
    }
    state.brightnessWord = color.argb;
    DrawGraphPart(gx, gy, cellX, cellY, slot.width, slot.height, font->cacheGraph, transparent, 0);
  } else {
    const RECT saved = state.clip;
    const int64_t farX0 = int64_t(x) + font->cellHeight - slot.yOffset, farTop = y + pen + slot.xOffset;
    // The glyph box, cut by the caller's clip rather than replacing it.
    RECT box{SaturateToInt(farX0 - slot.height - 1), SaturateToInt(farTop), SaturateToInt(farX0 + 1),
             SaturateToInt(farTop + slot.width)};
    ClipRectByRect(&box, &saved);
    if (box.right > box.left && box.bottom > box.top) {
      // The box reaches the clip: its corner lies well inside the int range.
      const int x0 = static_cast<int>(farX0), top = static_cast<int>(farTop);
      SetDrawClipRect(box.left, box.top, box.right, box.bottom);
      int graphWidth = 0, graphHeight = 0;
      GetGraphSizeOf(font->cacheGraph, &graphWidth, &graphHeight);
      // The software four-corner drawer takes whole-pixel corners and anchors the texture at the leftmost
      // corner, one pixel right of (or below) a corner left of (or above) the origin. The corners make source
      // row r land in column x0 - 1 - r and source column c in row top + c all the same; a cell in the graph's
      // first row cannot reach column x0 - 1 that way and takes a graph two pixels deeper instead, whose
      // sampling stays exact for the first half of the graph.
      int left = cellY + x0 - 1, right = left - graphHeight;
      if (right < 0) {
        if (cellY > 0) {
          --left, --right;
        } else {
          right -= 2;
        }
      }
      auto draw = [&](int shift) {
        int y1 = top - cellX - shift;
        if (y1 < 0) --y1;
        const float l = static_cast<float>(left), r = static_cast<float>(right);
        const float t = static_cast<float>(y1), b = static_cast<float>(y1 + graphWidth);
        DrawModiGraph(l, t, l, b, r, b, r, t, font->cacheGraph, transparent);
      };
      if (edged) {
        state.brightnessWord = edge.argb;
        draw(font->cacheWidth);
      }
      state.brightnessWord = color.argb;
      draw(0);
    }
    SetDrawClipRect(saved.left, saved.top, saved.right, saved.bottom);
  }
  state.brightnessWord = brightness;
}

const GlyphSlot* FindOrRender(FontRecord* font, int handle, const uint8_t* entry) {
  const GlyphIndexEntry& indexEntry = font->index[GlyphCodeOf(entry, entry[1] != 0 ? 2 : 1)];
  if (indexEntry.present != 0) return indexEntry.slot;
  return RenderGlyphToCache(1, entry, handle);
}

bool ChannelMixFor(int depth, ChannelMix* mix) {
  if (depth == 32) {
    *mix = ChannelMix{{16, 8, 0}, {0xFF, 0xFF, 0xFF}};
    return true;
  }
  const ColorFormat* screen = GetScreenColorFormat();
  if (depth != 16 || screen == nullptr || screen->blueMask != 0x001F) return false;
  if (screen->redMask == 0xF800 && screen->greenMask == 0x07E0) {
    *mix = ChannelMix{{11, 5, 0}, {0x1F, 0x3F, 0x1F}};
    return true;
  }
  if (screen->redMask == 0x7C00 && screen->greenMask == 0x03E0) {
    *mix = ChannelMix{{10, 5, 0}, {0x1F, 0x1F, 0x1F}};
    return true;
  }
  return false;
}

std::vector<uint8_t>& CodeBuffer() {
  static std::vector<uint8_t> buffer;
  return buffer;
}

}  // namespace

int FontCacheStringDraw(int drawFlag, int x, int y, const char* text, uint32_t color, IDirectDrawSurface7* surface,
                        uint8_t* alphaBuffer, int alphaPitch, const RECT* clip, int depth, int transparent,
                        int handle, uint32_t edgeColor, int length, int vertical, int32_t* sizeOut) {
  if (FontsUnavailable()) return -1;
  FontRecord* font = GetFontRecord(handle);
  if (font == nullptr) return -1;
  const GraphicsDrawState& state = GetGraphicsDrawState();
  const TextColor body = ScaleByBrightness(color, state);
  const TextColor edge = ScaleByBrightness(edgeColor, state);
  if (text == nullptr || text[0] == 0) return 0;
  const int textLength = static_cast<int>(std::strlen(text));
  if (length < 0 || length > textLength) length = textLength;

  // The code buffer grows with the string, so every character is drawn and measured.
  std::vector<uint8_t>& codes = CodeBuffer();
  codes.resize(static_cast<size_t>(length) * 3 + 3);
  int count = 0;
  CacheStringGlyphs(handle, text, length, codes.data(), &count);

  // A string long enough to pass the int range is measured as reaching its end.
  int64_t pen = 0;
  if (drawFlag == 0) {
    for (int i = 0; i < count; ++i) {
      const GlyphSlot* slot = FindOrRender(font, handle, &codes[i * 3]);
      if (slot == nullptr) ExitOnError("テキストキャッシュの作成に失敗しました");
      pen += slot->advance;
    }
  } else {
    const bool locked = font->cacheIsGraph == 0;
    LockedDraw draw{};
    if (locked) {
      if (surface == nullptr) return -1;
      DDSURFACEDESC2 desc;
      std::memset(&desc, 0, sizeof desc);
      desc.dwSize = sizeof desc;
      if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr)) || desc.lpSurface == nullptr)
        ExitOnError("描画先サーフェスのロックに失敗しました in FontCacheStringDraw");
      // Nothing is written outside the surface, whatever clip rectangle the caller gave.
      RECT bounds{0, 0, static_cast<LONG>(desc.dwWidth), static_cast<LONG>(desc.dwHeight)};
      if (clip != nullptr) {
        draw.clip = *clip;
        ClipRectByRect(&draw.clip, &bounds);
      } else {
        draw.clip = bounds;
      }
      draw.font = font;
      draw.pixels = static_cast<uint8_t*>(desc.lpSurface);
      draw.pitch = desc.lPitch;
      draw.depth = depth;
      draw.bytesPerPixel = depth / 8;
      draw.alpha = alphaBuffer;
      draw.alphaPitch = alphaPitch;
      draw.transparent = transparent != 0;
      draw.vertical = vertical != 0;
      draw.color = depth == 8 ? body.pixel & 0xFF : depth == 16 ? body.pixel & 0xFFFF : body.pixel;
      draw.edge = depth == 8 ? edge.pixel & 0xFF : depth == 16 ? edge.pixel & 0xFFFF : edge.pixel;
      draw.mixable = ChannelMixFor(depth, &draw.mix);
    }
    for (int i = 0; i < count; ++i) {
      const uint8_t* entry = &codes[i * 3];
      const GlyphSlot* slot = FindOrRender(font, handle, entry);
      if (slot == nullptr) {
        if (locked) surface->Unlock(nullptr);
        ExitOnError("テキストキャッシュの作成に失敗しました");
      }
      const bool blank = (entry[0] == 0x20 && entry[1] == 0) || (entry[0] == 0x81 && entry[1] == 0x40) ||
                         (slot->width == 0 && slot->height == 0);
      if (!blank) {
        if (locked)
          draw.Glyph(*slot, x, y, pen);
        else
          DrawGlyphFromGraph(font, *slot, x, y, pen, vertical != 0, body, edge);
      }
      pen += slot->advance;
    }
    if (locked) surface->Unlock(nullptr);
  }
  if (sizeOut != nullptr) {
    sizeOut[0] = vertical != 0 ? font->cellHeight : SaturateToInt(pen);
    sizeOut[1] = vertical != 0 ? SaturateToInt(pen) : font->cellHeight;
  }
  return SaturateToInt(pen);
}
