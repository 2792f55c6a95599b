// The glyph cache of a font: square cells on a DIB section or a cache graph, the flat index from character code
// to cell, glyph rendering through GDI (text output or glyph outlines) and the edges of edged fonts.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/log.h"
#include "core/memory.h"
#include "font/font_record.h"
#include "font/font_services.h"
#include "graphics/ddraw_layer.h"
#include "graphics/direct3d/d3d_services.h"
#include "graphics/draw_front.h"
#include "graphics/draw_state.h"
#include "graphics/graph_manager.h"
#include "graphics/surface_2d.h"
#include "platform/win32/gdi_text.h"

namespace {

// Settings nothing in this system changes: the glyph count a cache should hold (0: by the cell size) and the
// ban on graph caches.
constexpr int kGlyphCountSetting = 0;
constexpr int kNoGraphCacheSetting = 0;
constexpr int kMaxDibHeight = 16384;
constexpr int kDibCacheArea = 327680;

struct Offset {
  int dx, dy;
};

// The cells an edge of width e reaches around a glyph pixel; none for an edge of 0.
std::vector<Offset> EdgeShape(int e) {
  std::vector<Offset> shape;
  if (e <= 0) return shape;
  if (e == 1) return {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
  static const int rows2[] = {3, 5, 5, 5, 3};
  static const int rows3[] = {1, 5, 5, 7, 5, 5, 1};
  static const int rows4[] = {5, 7, 9, 9, 9, 9, 9, 7, 5};
  const int* rows = e == 2 ? rows2 : e == 3 ? rows3 : e == 4 ? rows4 : nullptr;
  for (int dy = -e; dy <= e; ++dy) {
    int half = rows != nullptr ? rows[dy + e] / 2 : e;
    for (int dx = -half; dx <= half; ++dx) shape.push_back({dx, dy});
  }
  return shape;
}

bool IsBlankCode(uint8_t first, uint8_t second) { return (first == 0x20 && second == 0) || (first == 0x81 && second == 0x40); }

bool IsTextureFormat(const TextureFormatRecord* format, int red, int green, int blue, int alpha) {
  if (format == nullptr) return false;
  const ColorFormat& f = format->colorFormat;
  return f.bitDepth == 16 && f.redWidth == red && f.greenWidth == green && f.blueWidth == blue && f.alphaWidth == alpha;
}

bool WantsGraphCache() {
  if (kNoGraphCacheSetting != 0 || GetGraphicsDrawState().use3D == 0) return false;
  if (GetGraphicsManagerState().threeDAvailable == 0 && GetSoftwareScreenFlag() == 1) return false;
  return IsTextureFormat(SelectTextureFormatByFlags(1, 0, 0, 0), 4, 4, 4, 4) &&
         IsTextureFormat(SelectTextureFormatByFlags(0, 1, 0, 0), 5, 5, 5, 1);
}

int HandleOf(const FontRecord* font) {
  for (int slot = 0; slot < kFontTableSize; ++slot) {
    int handle = MakeHandle(FontHandle, font->check, slot);
    if (GetFontRecord(handle) == font) return handle;
  }
  return -1;
}

int SizeGraphCache(FontRecord* font) {
  const int side = font->cellWidth;
  int width = 512, height = 512;
  if (kGlyphCountSetting > 0) {
    int wanted = (static_cast<int>(std::sqrt(static_cast<double>(kGlyphCountSetting))) + 1) * side;
    width = 8;
    while (width < wanted) width *= 2;
    height = width;
  } else {
    while ((width / side) * (height / side) < 10) (width <= height ? width : height) *= 2;
  }
  font->cacheWidth = width;
  font->cacheHeight = height;
  font->capacity = std::min((width / side) * (height / side), kGlyphCapacityMax);
  font->cellsPerColumn = height / side;
  const bool edged = (font->type & 1) != 0;
  const TextureFormatRecord* format = SelectTextureFormatByFlags((font->type & 2) ? 1 : 0, (font->type & 2) ? 0 : 1, 0, 0);
  GraphImage& work = font->glyphWork;
  work.format = format->colorFormat;
  work.width = edged ? side * 2 : side;
  work.height = side + (edged ? font->edgeSize * 2 : 0);
  work.pitch = work.width * work.format.bytesPerPixel;
  work.pixels = MemAllocZeroed(work.pitch * work.height);
  if (work.pixels == nullptr) return AppLogWrite("文字キャッシュ処理用メモリの確保に失敗しました\n");
  return 0;
}

int SizeDibCache(FontRecord* font) {
  const int side = font->cellWidth;
  int capacity = kGlyphCountSetting > 0 ? kGlyphCountSetting : std::max(kDibCacheArea / (side * side), 20);
  capacity = std::min(capacity, kGlyphCapacityMax);
  // A cell taller than the tallest DIB holds no glyph at all.
  if (side > kMaxDibHeight) return AppLogWrite("テキストキャッシュ用ＤＩＢの作成に失敗しました\n");
  int width = side, height = capacity * side;
  if (font->type == 0) {
    if (height > kMaxDibHeight) {
      height = kMaxDibHeight / side * side;
      capacity = height / side;
    }
  } else {
    int rows = capacity;
    while (height > kMaxDibHeight) {
      width *= 2;
      rows = (rows + 1) / 2;
      height = rows * side;
    }
  }
  font->capacity = capacity;
  font->cacheWidth = width;
  font->cacheHeight = height;
  font->cellsPerColumn = height / side;
  return 0;
}

// Entry i of a cache DIB's palette: black and white at 1 bit; at 8 bits grey i, except black, pure red, grey 128
// and white in entries 0 to 3.
PALETTEENTRY CacheDibColor(int bits, int i) {
  if (bits == 8 && i == 1) return PALETTEENTRY{255, 0, 0, 0};
  const BYTE grey = static_cast<BYTE>(bits == 1 ? (i == 0 ? 0 : 255) : bits == 8 && i == 2 ? 128 : bits == 8 && i == 3 ? 255 : i);
  return PALETTEENTRY{grey, grey, grey, 0};
}

int MakeCacheDib(FontRecord* font) {
  const int bits = font->type == 0 ? 1 : font->type == 3 ? 16 : 8;
  const int colors = bits <= 8 ? 1 << bits : 0;
  auto* info = static_cast<BITMAPINFO*>(MemAllocZeroed(static_cast<int>(sizeof(BITMAPINFOHEADER)) + 256 * 4));
  if (info == nullptr) return AppLogWrite("メモリの確保に失敗しました in CreateFontToHandle");
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biWidth = font->cacheWidth;
  info->bmiHeader.biHeight = -font->cacheHeight;
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = static_cast<WORD>(bits);
  info->bmiHeader.biCompression = BI_RGB;
  info->bmiHeader.biClrUsed = static_cast<DWORD>(colors);
  // The colour table carries the logical palette's colours, so drawing in palette index i leaves value i.
  std::vector<PALETTEENTRY> entries;
  for (int i = 0; i < colors; ++i) entries.push_back(CacheDibColor(bits, i));
  for (int i = 0; i < colors; ++i)
    info->bmiColors[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
  HDC dc = CreateCompatibleDC(nullptr);
  void* pixels = nullptr;
  HBITMAP dib = dc != nullptr ? CreateDIBSection(dc, info, DIB_RGB_COLORS, &pixels, nullptr, 0) : nullptr;
  if (dc != nullptr) DeleteDC(dc);
  MemFree(info);
  if (dib == nullptr) return AppLogWrite("テキストキャッシュ用ＤＩＢの作成に失敗しました\n");
  font->cacheDib = dib;
  font->dibPixels = static_cast<uint8_t*>(pixels);
  font->dibPitch = (font->cacheWidth * bits + 31) / 32 * 4;
  if (colors == 0) return 0;
  auto* logical = static_cast<LOGPALETTE*>(MemAllocZeroed(4 + colors * static_cast<int>(sizeof(PALETTEENTRY))));
  if (logical == nullptr) return AppLogWrite("テキストキャッシュＤＩＢ用パレットのメモリの確保に失敗しました\n");
  font->paletteMemory = logical;
  logical->palVersion = 0x300;
  logical->palNumEntries = static_cast<WORD>(colors);
  std::memcpy(logical->palPalEntry, entries.data(), entries.size() * sizeof(PALETTEENTRY));
  font->dibPalette = CreatePalette(logical);
  if (font->dibPalette == nullptr) return AppLogWrite("テキストキャッシュＤＩＢ用パレットの作成に失敗しました\n");
  return 0;
}

// The composed glyph in a 16-bit work image: levels of coverage become white with alpha (the alpha-test format
// takes a set bit, the alpha format a level of 0 to 16).
struct WorkImage {
  GraphImage& image;
  uint16_t colorBits() const {
    return static_cast<uint16_t>(image.format.redMask | image.format.greenMask | image.format.blueMask);
  }
  uint16_t& At(int x, int y) const {
    return reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(image.pixels) + y * image.pitch)[x];
  }
  uint16_t Level(int v) const {
    if (v <= 0) return colorBits();
    int shift = image.format.alphaShift + image.format.alphaWidth - 4;
    return static_cast<uint16_t>(((v << shift) - 1) | colorBits());
  }
  uint16_t Solid() const { return static_cast<uint16_t>(image.format.alphaMask | colorBits()); }
};

// One glyph bitmap from GetGlyphOutlineA with a zero row before and after it.
struct OutlineBitmap {
  uint8_t* buffer = nullptr;
  int pitch = 0;
  bool gray = true;
  int width = 0, height = 0;
  int Level(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    const uint8_t* row = buffer + pitch + y * pitch;
    return gray ? row[x] : ((row[x >> 3] >> (7 - (x & 7))) & 1) * 16;
  }
};

class GlyphRenderer {
 public:
  GlyphRenderer(FontRecord* font, HDC dc, const TEXTMETRICA& metrics)
      : font_(font), dc_(dc), metrics_(metrics), side_(font->cellWidth),
        edge_((font->type & 1) ? font->edgeSize : 0), shape_(EdgeShape(edge_)) {}

  void Render(GlyphSlot* slot, uint8_t first, uint8_t second) {
    const int cell = slot->cellNumber;
    cellX_ = cell / font_->cellsPerColumn * side_;
    cellY_ = cell % font_->cellsPerColumn * side_;
    slot->xOffset = slot->yOffset = 0;
    if ((font_->type & 2) != 0 || font_->cacheIsGraph != 0)
      OutlinePath(slot, first, second);
    else
      TextPath(slot, first, second);
    slot->advance = static_cast<int16_t>(slot->advance + 2 * edge_);
    // Nothing of a glyph lies outside its cell, so a draw never reads the next cell.
    slot->width = static_cast<int16_t>(std::min(slot->width + 2 * edge_, side_));
    slot->height = static_cast<int16_t>(std::min(slot->height + 2 * edge_, side_));
  }

 private:
  uint8_t* DibRow(int y) const { return font_->dibPixels + static_cast<long>(y) * font_->dibPitch; }

  void ClearDibCell(int bytesPerPixel) {
    for (int y = 0; y < side_; ++y) {
      uint8_t* row = DibRow(cellY_ + y);
      if (bytesPerPixel == 0) {
        for (int x = cellX_; x < cellX_ + side_; ++x) row[x >> 3] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
      } else {
        std::memset(row + cellX_ * bytesPerPixel, 0, static_cast<size_t>(side_) * bytesPerPixel);
      }
    }
  }

  void TextPath(GlyphSlot* slot, uint8_t first, uint8_t second) {
    const bool edged = font_->type == 1;
    ClearDibCell(edged ? 1 : 0);
    char text[2] = {static_cast<char>(first), static_cast<char>(second)};
    const int count = second != 0 ? 2 : 1;
    SIZE extent{0, 0};
    GetTextExtentPoint32A(dc_, text, count, &extent);
    slot->advance = static_cast<int16_t>(extent.cx);
    slot->width = static_cast<int16_t>(extent.cx);
    slot->height = static_cast<int16_t>(extent.cy);
    RECT cellRect{cellX_, cellY_, cellX_ + side_, cellY_ + side_};
    ExtTextOutA(dc_, cellX_ + edge_, cellY_ + edge_, ETO_CLIPPED, &cellRect, text, static_cast<UINT>(count), nullptr);
    if (!edged) return;
    const int right = std::min<int>(edge_ + extent.cx, side_), bottom = std::min<int>(edge_ + extent.cy, side_);
    for (int y = edge_; y < bottom; ++y)
      for (int x = edge_; x < right; ++x) {
        if ((DibRow(cellY_ + y)[cellX_ + x] & 4) == 0) continue;
        for (const Offset& o : shape_) {
          int tx = x + o.dx, ty = y + o.dy;
          if (tx >= 0 && ty >= 0 && tx < side_ && ty < side_) DibRow(cellY_ + ty)[cellX_ + tx] |= 1;
        }
      }
  }

  void OutlinePath(GlyphSlot* slot, uint8_t first, uint8_t second) {
    const bool graph = font_->cacheIsGraph != 0;
    const bool gray = (font_->type & 2) != 0 || !graph;
    if (graph) {
      std::memset(font_->glyphWork.pixels, 0, static_cast<size_t>(font_->glyphWork.pitch) * font_->glyphWork.height);
    } else {
      ClearDibCell(font_->type == 3 ? 2 : 1);
    }
    const UINT format = gray ? GGO_GRAY4_BITMAP : GGO_BITMAP;
    const UINT code = second != 0 ? first * 256u + second : first;
    const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    GLYPHMETRICS gm{};
    const DWORD size = GetGlyphOutlineA(dc_, code, format, &gm, 0, nullptr, &identity);
    if (size == GDI_GLYPH_ERROR) ExitOnError("GetGlyphOutline 関数が失敗しました");
    slot->advance = gm.gmCellIncX;
    // An empty outline (a control code, a code no face has) is a blank glyph like the spaces.
    const int pitch = gm.gmBlackBoxY > 0 ? static_cast<int>(size / gm.gmBlackBoxY) & ~3 : 0;
    if (IsBlankCode(first, second) || size == 0 || pitch == 0) {
      slot->width = slot->height = 0;
      return;
    }
    auto* buffer = static_cast<uint8_t*>(MemAllocZeroed(static_cast<int>(size) + 2 * pitch));
    if (buffer == nullptr) ExitOnError("アンチエイリアス文字取得用バッファの確保に失敗しました");
    if (GetGlyphOutlineA(dc_, code, format, &gm, size, buffer + pitch, &identity) == GDI_GLYPH_ERROR) {
      MemFree(buffer);
      ExitOnError("GetGlyphOutline 関数が失敗しました");
    }
    slot->xOffset = static_cast<int16_t>(gm.gmptGlyphOrigin.x);
    slot->yOffset = static_cast<int16_t>(metrics_.tmAscent - gm.gmptGlyphOrigin.y);
    slot->width = static_cast<int16_t>(gm.gmBlackBoxX);
    slot->height = static_cast<int16_t>(gm.gmBlackBoxY);
    OutlineBitmap source{buffer, pitch, gray, static_cast<int>(gm.gmBlackBoxX), static_cast<int>(gm.gmBlackBoxY)};
    // Only what fits the cell with its edge is composed.
    boxWidth_ = std::max(0, std::min(source.width, side_ - 2 * edge_));
    boxHeight_ = std::max(0, std::min(source.height, side_ - 2 * edge_));
    if (graph)
      ComposeInWorkImage(source);
    else if (font_->type == 3)  // a 16-bit cell, also with an edge of 0
      ComposeEdgedDib(source);
    else
      ComposeDib(source);
    MemFree(buffer);
  }

  void ComposeDib(const OutlineBitmap& source) {
    for (int y = 0; y < boxHeight_; ++y)
      for (int x = 0; x < boxWidth_; ++x) {
        int v = source.Level(x, y);
        if (v > 0) DibRow(cellY_ + y)[cellX_ + x] = static_cast<uint8_t>(v * 16 - 1);
      }
  }

  // Whether the edge may lie over source pixel (x, y): outside the glyph or not fully covered.
  static bool EdgeMayCover(const OutlineBitmap& source, int x, int y) {
    return x < 0 || y < 0 || x >= source.width || y >= source.height || source.Level(x, y) < 16;
  }

  void ComposeEdgedDib(const OutlineBitmap& source) {
    auto pixel = [&](int x, int y) -> uint16_t& {
      return reinterpret_cast<uint16_t*>(DibRow(cellY_ + y))[cellX_ + x];
    };
    for (int y = 0; y < boxHeight_; ++y)
      for (int x = 0; x < boxWidth_; ++x) {
        int v = source.Level(x, y);
        if (v == 0) continue;
        pixel(x + edge_, y + edge_) = static_cast<uint16_t>((pixel(x + edge_, y + edge_) & 0xFF00) | (v * 16 - 1));
        for (const Offset& o : shape_) {
          uint16_t& target = pixel(x + edge_ + o.dx, y + edge_ + o.dy);
          if ((target >> 8) < v && EdgeMayCover(source, x + o.dx, y + o.dy))
            target = static_cast<uint16_t>((target & 0xFF) | (v << 8));
        }
      }
    for (int y = 0; y < boxHeight_ + 2 * edge_; ++y)
      for (int x = 0; x < boxWidth_ + 2 * edge_; ++x) {
        uint16_t& p = pixel(x, y);
        if ((p >> 8) != 0) p = static_cast<uint16_t>((p & 0xFF) | (((p >> 8) * 16 - 1) << 8));
      }
  }

  void ComposeInWorkImage(const OutlineBitmap& source) {
    WorkImage work{font_->glyphWork};
    const int half = font_->glyphWork.width / 2;
    const int boxW = boxWidth_ + 2 * edge_, boxH = boxHeight_ + 2 * edge_;
    if (edge_ == 0) {
      for (int y = 0; y < boxHeight_; ++y)
        for (int x = 0; x < boxWidth_; ++x) {
          int v = source.Level(x, y);
          // Uncovered bits stay 0 as in the edged form: black is the key colour of the software back-end,
          // which has no alpha test.
          if (source.gray || v > 0) work.At(x, y) = source.gray ? work.Level(v) : work.Solid();
        }
      CopyToGraph(0, 0, boxW, boxH, cellX_, cellY_);
      return;
    }
    for (int y = 0; y < boxHeight_; ++y)
      for (int x = 0; x < boxWidth_; ++x) {
        int v = source.Level(x, y);
        if (v == 0) continue;
        if (!source.gray) {
          work.At(x + edge_, y + edge_) = work.Solid();
          for (const Offset& o : shape_) {
            uint16_t& target = work.At(half + x + edge_ + o.dx, y + edge_ + o.dy);
            if ((target & font_->glyphWork.format.alphaMask) == 0) target = work.Solid();
          }
          continue;
        }
        work.At(x + edge_, y + edge_) = static_cast<uint16_t>(v);
        for (const Offset& o : shape_) {
          uint16_t& target = work.At(half + x + edge_ + o.dx, y + edge_ + o.dy);
          target = static_cast<uint16_t>((256 - (16 - target) * (16 - v)) >> 4);
        }
      }
    if (source.gray)
      for (int y = 0; y < boxH; ++y)
        for (int x = 0; x < boxW; ++x) {
          work.At(x, y) = work.Level(work.At(x, y));
          work.At(half + x, y) = work.Level(work.At(half + x, y));
        }
    CopyToGraph(0, 0, boxW, boxH, cellX_, cellY_);
    CopyToGraph(half, 0, boxW, boxH, cellX_ + font_->cacheWidth, cellY_);
  }

  void CopyToGraph(int srcX, int srcY, int width, int height, int destX, int destY) {
    if (width <= 0 || height <= 0) return;
    RECT box{srcX, srcY, srcX + width, srcY + height};
    FillGraphFromPixelData(&font_->glyphWork.format, nullptr, nullptr, nullptr, 0, &font_->glyphWork, nullptr, &box,
                           destX, destY, font_->cacheGraph, 0);
  }

  FontRecord* font_;
  HDC dc_;
  const TEXTMETRICA& metrics_;
  int side_, edge_;
  std::vector<Offset> shape_;
  int cellX_ = 0, cellY_ = 0;
  int boxWidth_ = 0, boxHeight_ = 0;
};

}  // namespace

int SetUpGlyphCache(FontRecord* font) {
  const int handle = HandleOf(font);
  font->cacheIsGraph = WantsGraphCache() ? 1 : 0;
  if (font->cacheIsGraph != 0) {
    if (SizeGraphCache(font) != 0) return -1;
    font->cacheGraphLost = 1;
    if (BuildFontCacheSurface(handle) == 0) return 0;
    AppLogWrite("テクスチャ文字キャッシュの作成に失敗しました\n");
    MemFree(font->glyphWork.pixels);
    std::memset(&font->glyphWork, 0, sizeof font->glyphWork);
    font->cacheGraphLost = 0;
    font->cacheIsGraph = 0;
  }
  if (SizeDibCache(font) != 0 || MakeCacheDib(font) != 0) return -1;
  font->workSurfaceLost = 1;
  if (BuildFontCacheSurface(handle) != 0) return AppLogWrite("フォント用描画スクリーンの作成に失敗しました\n");
  return 0;
}

void ReleaseGlyphCache(FontRecord* font) {
  if (font->dibPalette != nullptr) DeleteObject(font->dibPalette);
  MemFree(font->paletteMemory);
  if (font->cacheDib != nullptr) DeleteObject(font->cacheDib);
  // The surfaces must not write into this record once it is freed.
  if (font->workSurface != -1) {
    SetSurface2DDeletedFlagPointer(font->workSurface, nullptr);
    DeleteSurface2D(font->workSurface);
  }
  if (font->cacheGraph != -1) {
    SetGraphDeletedFlagPointer(font->cacheGraph, nullptr);
    DeleteGraphHandle(font->cacheGraph, 0);
  }
  MemFree(font->glyphWork.pixels);
  font->dibPalette = nullptr;
  font->paletteMemory = nullptr;
  font->cacheDib = nullptr;
  font->dibPixels = nullptr;
  font->workSurface = font->cacheGraph = -1;
  font->glyphWork.pixels = nullptr;
}

int BuildFontCacheSurface(int handle) {
  FontRecord* font = GetFontRecord(handle);
  if (font == nullptr) return -1;
  if (font->workSurfaceLost != 0) {
    font->workSurfaceLost = 0;
    int width = 0, height = 0;
    QueryScreenSize(&width, &height);
    GraphCreateParams params{};
    params.AlphaChFlag = (font->type & 2) ? 1 : 0;
    params.DrawValid = 1;
    params.systemMemory = 1;
    params.ColorBitDepth = static_cast<uint8_t>(QueryScreenColorBitDepth());
    int surface = AddSurface2D(width, height, 0, 0, -1, nullptr, 0, 0, &params);
    if (surface == -1) return -1;
    font->workSurface = surface;
    SetSurface2DDeletedFlagPointer(surface, &font->workSurfaceLost);
  }
  if (font->cacheGraphLost == 0) return 0;
  font->cacheGraphLost = 0;
  const int alpha = GetGraphAlphaFlag(), depth = GetGraphBitDepth(), use3D = GetGraphicsDrawState().use3D;
  const int alphaTest = GetGraphAlphaTestFlag();
  const bool antiAliased = (font->type & 2) != 0;
  SetGraphAlphaFlag(antiAliased ? 1 : 0);
  SetGraphAlphaTestFlag(antiAliased ? 0 : 1);
  SetGraphBitDepth(16);
  SetUse3DGraphs(1);
  int graph = CreateEmptyGraphDefault(font->cacheWidth * ((font->type & 1) ? 2 : 1), font->cacheHeight);
  SetGraphAlphaFlag(alpha);
  SetGraphAlphaTestFlag(alphaTest);
  SetGraphBitDepth(depth);
  SetUse3DGraphs(use3D);
  if (graph == -1) return -1;
  font->cacheGraph = graph;
  SetGraphDeletedFlagPointer(graph, &font->cacheGraphLost);
  // An alpha-test cache starts black: without an alpha test the software back-end keys black out.
  const int paint = antiAliased ? 255 : 0;
  PaintGraphWithColor(graph, paint, paint, paint, 0);
  ClearFontGlyphCache(handle);
  return 0;
}

int ClearFontGlyphCache(int handle) {
  FontRecord* font = GetFontRecord(handle);
  if (font == nullptr) return -1;
  std::memset(font->index, 0, sizeof font->index);
  std::memset(font->slots, 0, sizeof font->slots);
  for (int i = 0; i < font->capacity; ++i) font->slots[i].cellNumber = i;
  font->slots[font->capacity].cellNumber = -1;
  font->nextSlot = 0;
  return 0;
}

namespace {
std::vector<uint8_t>& SharedCodeBuffer() {
  static std::vector<uint8_t> buffer;
  return buffer;
}
}  // namespace

int CacheStringGlyphs(int handle, const char* text, int length, uint8_t* codeBuffer, int* countOut) {
  FontRecord* font = GetFontRecord(handle);
  if (font == nullptr || text == nullptr) return -1;
  const int textLength = static_cast<int>(std::strlen(text));
  if (length < 0 || length > textLength) length = textLength;
  if (codeBuffer == nullptr) {
    SharedCodeBuffer().resize(static_cast<size_t>(length) * 3 + 3);
    codeBuffer = SharedCodeBuffer().data();
  }
  uint8_t newCodes[kNewCodeListSize * 3];
  int newCount = 0, count = 0;
  for (int at = 0; at < length;) {
    const int width = CharacterWidth(text + at, font->charSet);
    uint8_t* entry = codeBuffer + count * 3;
    entry[0] = static_cast<uint8_t>(text[at]);
    entry[1] = width == 2 ? static_cast<uint8_t>(text[at + 1]) : 0;
    entry[2] = 0;
    if (font->index[GlyphCodeOf(entry, width)].present == 0 && newCount < kNewCodeListSize &&
        newCount < font->capacity) {
      std::memcpy(newCodes + newCount * 3, entry, 3);
      ++newCount;
    }
    ++count;
    at += width;
  }
  if (newCount > 0) RenderGlyphToCache(newCount, newCodes, handle);
  if (countOut != nullptr) *countOut = count;
  return 0;
}

GlyphSlot* RenderGlyphToCache(int count, const uint8_t* codes, int handle) {
  if (FontsUnavailable()) return nullptr;
  FontRecord* font = GetFontRecord(handle);
  if (font == nullptr) return nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) ExitOnError("テキストキャッシュサーフェスのＤＣの取得に失敗しました");
  HGDIOBJ previousBitmap = font->cacheDib != nullptr ? SelectObject(dc, font->cacheDib) : nullptr;
  HGDIOBJ previousFont = SelectObject(dc, font->gdiFont);
  if (previousFont == nullptr) {
    DeleteDC(dc);
    ExitOnError("テキストキャッシュサーフェスのＤＣの取得に失敗しました");
  }
  HPALETTE previousPalette = font->dibPalette != nullptr ? SelectPalette(dc, font->dibPalette, FALSE) : nullptr;
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  if (font->cacheIsGraph == 0) {
    SetTextColor(dc, PALETTEINDEX(font->type == 1 ? 3 : 1));
    SetBkColor(dc, PALETTEINDEX(0));
    SetBkMode(dc, OPAQUE);
  }
  GlyphRenderer renderer(font, dc, metrics);
  GlyphSlot* last = nullptr;
  for (int i = 0; i < count; ++i) {
    const uint8_t* entry = codes + i * 3;
    GlyphSlot* slot = &font->slots[font->nextSlot];
    if (slot->used != 0) {
      slot->indexEntry->present = 0;
      slot->indexEntry->slot = nullptr;
      slot->used = 0;
    }
    GlyphIndexEntry& indexEntry = font->index[GlyphCodeOf(entry, entry[1] != 0 ? 2 : 1)];
    indexEntry.present = 1;
    indexEntry.slot = slot;
    slot->indexEntry = &indexEntry;
    slot->used = 1;
    renderer.Render(slot, entry[0], entry[1]);
    font->nextSlot = font->nextSlot + 1 >= font->capacity ? 0 : font->nextSlot + 1;
    last = slot;
  }
  if (previousPalette != nullptr) SelectPalette(dc, previousPalette, FALSE);
  SelectObject(dc, previousFont);
  if (previousBitmap != nullptr) SelectObject(dc, previousBitmap);
  DeleteDC(dc);
  return last;
}
