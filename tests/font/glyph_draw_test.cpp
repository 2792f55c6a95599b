// The glyph cache and string drawing: cache sizes, round-robin reuse, the coverage encodings and edge shapes on
// exact bytes, string edge cases, and text through the public call on every screen depth.
#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "font/font_test_support.h"

namespace {

using Points = std::set<std::pair<int, int>>;

// A glyph with one pixel set, drawn 4 rows above the base line; and a ring of eight pixels.
const SyntheticGlyph kDot{'.', {"#"}, 4};
const SyntheticGlyph kRing{'A', {"###", "#.#", "###"}, 6};
const SyntheticGlyph kTall{'T', std::vector<std::string>(16, "#"), 2};
const SyntheticGlyph kEmpty{'E', {}, 0};

class GlyphTest : public FontTest {
 protected:
  // A synthetic face of 12-pixel cells (ascent 10, descent 2) started on a screen of the given depth.
  void StartSynthetic(int bits, int advance = 12) {
    std::string file = Synthetic("synth", advance, 10, 2, {kDot, kRing, kTall, kEmpty});
    ASSERT_EQ(StartWithFonts(bits, {{"Synthetic", file}}), 0);
  }
  int Font(int type, int edge = -1) { return CreateFontToHandle("Synthetic", 12, 4, type, -1, edge, -1, -1); }
  // The cell pixels of a cached character whose value passes the test, relative to the cell.
  template <class Test>
  Points CellPixels(int font, uint8_t code, Test test) {
    FontRecord* r = GetFontRecord(font);
    GlyphSlot* slot = r->index[code].slot;
    int side = r->cellWidth, x0 = slot->cellNumber / r->cellsPerColumn * side;
    int y0 = slot->cellNumber % r->cellsPerColumn * side;
    Points out;
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) {
        const uint8_t* row = r->dibPixels + (y0 + y) * r->dibPitch;
        int bits = r->type == 0 ? 1 : r->type == 3 ? 16 : 8;
        uint32_t v = bits == 1 ? (row[(x0 + x) >> 3] >> (7 - ((x0 + x) & 7))) & 1
                     : bits == 8 ? row[x0 + x] : row[(x0 + x) * 2] | row[(x0 + x) * 2 + 1] << 8;
        if (test(v)) out.insert({x, y});
      }
    return out;
  }
};

// The edge shapes the glyph drawer stamps, as rows of cells centred on the pixel (wider edges are full squares).
Points EdgeShape(int e) {
  static const std::vector<std::vector<int>> rows = {
      {}, {1, 3, 1}, {3, 5, 5, 5, 3}, {1, 5, 5, 7, 5, 5, 1}, {5, 7, 9, 9, 9, 9, 9, 7, 5}};
  Points shape;
  for (int dy = -e; dy <= e; ++dy) {
    int length = e <= 4 ? rows[e][dy + e] : 2 * e + 1;
    for (int dx = -length / 2; dx <= length / 2; ++dx) shape.insert({dx, dy});
  }
  if (e == 1) shape.erase({0, 0});
  return shape;
}

TEST_F(GlyphTest, DibCacheSizesForSixteenPixelCells) {
  StartSynthetic(32, 16);
  FontRecord* plain = GetFontRecord(Font(0));
  EXPECT_EQ(plain->cellWidth, 16);
  EXPECT_EQ(plain->capacity, 1024);
  EXPECT_EQ(plain->cacheWidth, 16);
  EXPECT_EQ(plain->cacheHeight, 16384);
  EXPECT_EQ(plain->dibPitch, 4);
  // Edge 1 on a 14-pixel face makes the same 16-pixel cell.
  std::string file = Synthetic("narrow", 14, 10, 2, {kRing});
  ShutdownLibrary();
  ASSERT_EQ(StartWithFonts(32, {{"Narrow", file}}), 0);
  FontRecord* edged = GetFontRecord(CreateFontToHandle("Narrow", 12, 4, 1, -1, 1, -1, -1));
  EXPECT_EQ(edged->cellWidth, 16);
  EXPECT_EQ(edged->capacity, 1280);
  EXPECT_EQ(edged->cacheWidth, 32);
  EXPECT_EQ(edged->cacheHeight, 10240);
  EXPECT_EQ(edged->cellsPerColumn, 640);
}

TEST_F(GlyphTest, GraphCacheSizesOnASixteenBitScreen) {
  StartSynthetic(16, 16);
  FontRecord* small = GetFontRecord(Font(0));
  EXPECT_EQ(small->cacheIsGraph, 1);
  EXPECT_EQ(small->cacheWidth, 512);
  EXPECT_EQ(small->cacheHeight, 512);
  EXPECT_EQ(small->capacity, 1024);
  std::string file = Synthetic("wide", 130, 10, 2, {kRing});
  ShutdownLibrary();
  ASSERT_EQ(StartWithFonts(16, {{"Wide", file}}), 0);
  FontRecord* wide = GetFontRecord(CreateFontToHandle("Wide", 12, 4, 0, -1, -1, -1, -1));
  EXPECT_EQ(wide->cacheWidth, 1024);
  EXPECT_EQ(wide->cacheHeight, 512);
  EXPECT_EQ(wide->capacity, 21);
}

TEST_F(GlyphTest, SlotsAreReusedRoundRobinPastCapacity) {
  std::vector<SyntheticGlyph> letters;
  for (int c = 'a'; c <= 'u'; ++c) letters.push_back({c, {"#"}, 4});
  std::string file = Synthetic("wide", 130, 10, 2, letters);
  ASSERT_EQ(StartWithFonts(32, {{"Wide", file}}), 0);
  int font = CreateFontToHandle("Wide", 12, 4, 0, -1, -1, -1, -1);
  FontRecord* r = GetFontRecord(font);
  ASSERT_EQ(r->capacity, 20);
  std::string text;
  for (char c = 'a'; c < 'a' + 21; ++c) text += c;
  EXPECT_EQ(FontCacheStringDraw(0, 0, 0, text.c_str(), 0, nullptr, nullptr, 0, nullptr, 32, 1, font, 0, -1, 0,
                                nullptr),
            21 * 130);
  EXPECT_EQ(r->index['a'].present, 0u);
  EXPECT_EQ(r->index['u'].slot, &r->slots[0]);
  EXPECT_EQ(r->index['b'].slot, &r->slots[1]);
  EXPECT_EQ(r->nextSlot, 1);
}

TEST_F(GlyphTest, CoverageEncodingsOnExactBytes) {
  StartSynthetic(32);
  const Points ring = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {2, 1}, {0, 2}, {1, 2}, {2, 2}};
  auto shifted = [](const Points& p, int dx, int dy) {
    Points out;
    for (auto [x, y] : p) out.insert({x + dx, y + dy});
    return out;
  };
  // The ring's top lies 6 rows above the base line, 10 rows below the cell's top: row 4 (text and outline paths).
  int plain = Font(0), aa = Font(2);
  DrawTextWithFont(0, 0, "A", 0xFFFFFF, plain, 0, 0);
  DrawTextWithFont(0, 0, "A", 0xFFFFFF, aa, 0, 0);
  EXPECT_EQ(CellPixels(plain, 'A', [](uint32_t v) { return v == 1; }), shifted(ring, 0, 4));
  EXPECT_EQ(CellPixels(aa, 'A', [](uint32_t v) { return v == 255; }), ring);
  EXPECT_EQ(CellPixels(aa, 'A', [](uint32_t v) { return v != 0 && v != 255; }), Points{});
  EXPECT_EQ(GetFontRecord(aa)->index['A'].slot->yOffset, 4);
  // Edged, both paths: the ring's own hole is edge (not fully covered inside the box only on the outline path).
  int edged = Font(1, 1), both = Font(3, 1);
  DrawTextWithFont(0, 0, "A", 0xFFFFFF, edged, 0, 0);
  DrawTextWithFont(0, 0, "A", 0xFFFFFF, both, 0, 0);
  Points edge;
  for (auto [x, y] : ring)
    for (auto [dx, dy] : EdgeShape(1))
      if (!ring.count({x + dx, y + dy})) edge.insert({x + dx + 1, y + dy + 1});
  EXPECT_EQ(CellPixels(edged, 'A', [](uint32_t v) { return v == 255; }), shifted(ring, 1, 5));
  EXPECT_EQ(CellPixels(edged, 'A', [](uint32_t v) { return v == 1; }), shifted(edge, 0, 4));
  EXPECT_EQ(CellPixels(both, 'A', [](uint32_t v) { return (v & 0xFF) == 255; }), shifted(ring, 1, 1));
  EXPECT_EQ(CellPixels(both, 'A', [](uint32_t v) { return (v >> 8) == 255; }), edge);
  EXPECT_EQ(CellPixels(both, 'A', [](uint32_t v) { return v != 0 && (v & 0xFF) != 255 && (v >> 8) != 255; }), Points{});
}

TEST_F(GlyphTest, EdgeShapesByWidth) {
  StartSynthetic(32, 24);
  for (int e = 1; e <= 6; ++e) {
    int font = Font(1, e);
    DrawTextWithFont(0, 0, ".", 0xFFFFFF, font, 0, 0);
    // The dot lies at column e and row e + 6 of the cell (text path: 10 - 4 rows below the top, plus the edge).
    Points got = CellPixels(font, '.', [](uint32_t v) { return v != 0; });
    Points want = EdgeShape(e);
    want.insert({0, 0});
    EXPECT_EQ(got, [&] {
      Points p;
      for (auto [x, y] : want) p.insert({x + e, y + e + 6});
      return p;
    }()) << e;
    DeleteFontHandle(font);
  }
}

TEST_F(GlyphTest, TallGlyphsAreClippedToTheirCellAndEmptyOutlinesAreBlank) {
  StartSynthetic(32);
  for (int type : {0, 2, 3}) {
    int font = Font(type, type == 3 ? 1 : -1);
    FontRecord* r = GetFontRecord(font);
    DrawTextWithFont(0, 0, "T", 0xFFFFFF, font, 0, 0);
    // Nothing reaches the next cell down, which no glyph has used yet.
    int side = r->cellWidth, bytes = type == 0 ? 0 : type == 3 ? 2 : 1;
    for (int y = side; y < 2 * side; ++y)
      for (int b = 0; b < (bytes == 0 ? (side + 7) / 8 : side * bytes); ++b)
        ASSERT_EQ(r->dibPixels[y * r->dibPitch + b], 0) << type;
    EXPECT_LE(r->index['T'].slot->height, side);
    EXPECT_EQ(DrawTextWithFont(0, 0, "E\t", 0xFFFFFF, font, 0, 0), 0);
    if (type != 0) {
      EXPECT_EQ(r->index['E'].slot->width, type == 3 ? 2 : 0) << type;
    }
  }
}

TEST_F(GlyphTest, StringLengthsLoneLeadBytesAndMeasuring) {
  StartSynthetic(32);
  int font = Font(0);
  auto measure = [&](const char* text, int length, int vertical = 0, int32_t* size = nullptr) {
    return FontCacheStringDraw(0, 0, 0, text, 0, nullptr, nullptr, 0, nullptr, 32, 1, font, 0, length, vertical,
                               size);
  };
  EXPECT_EQ(measure(nullptr, -1), 0);
  EXPECT_EQ(measure("", -1), 0);
  EXPECT_EQ(measure("AA", 0), 0);
  EXPECT_EQ(measure("AA", 1), 12);
  EXPECT_EQ(measure("AA", 99), 24);
  // A length inside a double-byte character takes all of it.
  EXPECT_EQ(measure("\x82\xA0" "A", 1), measure("\x82\xA0", -1));
  int count = 0;
  EXPECT_EQ(CacheStringGlyphs(font, "A\x82", -1, nullptr, &count), 0);
  EXPECT_EQ(count, 2);  // the lone lead byte is a character of its own
  EXPECT_EQ(GetFontRecord(font)->index[0x82].present, 1u);
  std::string longText(3000, 'A');
  int32_t size[2] = {0, 0};
  EXPECT_EQ(measure(longText.c_str(), -1, 0, size), 3000 * 12);
  EXPECT_EQ(size[0], 36000);
  EXPECT_EQ(size[1], 12);
  EXPECT_EQ(measure("AA", -1, 1, size), 24);
  EXPECT_EQ(size[0], 12);
  EXPECT_EQ(size[1], 24);
  EXPECT_EQ(FontCacheStringDraw(0, 0, 0, "A", 0, nullptr, nullptr, 0, nullptr, 32, 1, font + 1, 0, -1, 0, nullptr),
            -1);
}

// Text through the public call lands the synthetic glyph's exact pixels at every depth and both cache kinds.
TEST_F(GlyphTest, TextLandsTheGlyphPixelsOnEveryDepth) {
  for (int bits : {8, 16, 32}) {
    StartSynthetic(bits);
    SelectDrawTarget(-2);
    ClearDrawTarget();
    int font = Font(0);
    ASSERT_EQ(DrawTextWithFont(100, 50, "AA", PackScreenColor(255, 255, 255), font, 0, 0), 0);
    int japanese = CreateFontToHandle(nullptr, 24, 4, 0, -1, -1, -1, -1);
    ASSERT_EQ(DrawTextWithFont(200, 100, "を初", PackScreenColor(255, 255, 255), japanese, 0, 0), 0);
    G_DDraw_FlipScreen();
    const headless::CapturedFrame& frame = headless::Frames().back();
    Points lit, want;
    for (int y = 40; y < 80; ++y)
      for (int x = 90; x < 150; ++x)
        if (frame.Rgb(x, y) != 0) lit.insert({x, y});
    for (int dx : {0, 12})
      for (auto [x, y] : Points{{0, 0}, {1, 0}, {2, 0}, {0, 1}, {2, 1}, {0, 2}, {1, 2}, {2, 2}})
        want.insert({100 + dx + x, 54 + y});
    EXPECT_EQ(lit, want) << bits;
    int inked = 0;
    for (int y = 100; y < 130; ++y)
      for (int x = 200; x < 250; ++x) inked += frame.Rgb(x, y) != 0;
    EXPECT_GT(inked, 40) << bits;
    ShutdownLibrary();
    started_ = false;
  }
}

// An edged font with an edge of 0 draws exactly what the same font without the edge draws, on either cache.
TEST_F(GlyphTest, AnEdgeOfZeroDrawsTheBodyAlone) {
  for (int bits : {8, 16, 32}) {
    StartSynthetic(bits);
    SelectDrawTarget(-2);
    for (auto [plainType, edgedType] : {std::pair{0, 1}, std::pair{2, 3}}) {
      std::vector<uint32_t> drawn[2];
      for (int pass = 0; pass < 2; ++pass) {
        ClearDrawTarget();
        const int font = Font(pass == 0 ? plainType : edgedType, 0);
        ASSERT_NE(font, -1) << bits;
        const uint32_t white = PackScreenColor(255, 255, 255), red = PackScreenColor(255, 0, 0);
        ASSERT_EQ(DrawTextWithFont(10, 10, "A.A", white, font, red, 0), 0);
        LockedSurface back(QueryBackSurface());
        for (int y = 0; y < 30; ++y)
          for (int x = 0; x < 60; ++x) drawn[pass].push_back(back.Get(x, y));
        DeleteFontHandle(font);
      }
      EXPECT_EQ(drawn[0], drawn[1]) << bits << " " << edgedType;
      EXPECT_GT(std::count(drawn[0].begin(), drawn[0].end(), drawn[0][0]), 0);
      EXPECT_LT(std::count(drawn[0].begin(), drawn[0].end(), drawn[0][0]), 30 * 60 - 16) << bits;  // the glyphs show
    }
    ShutdownLibrary();
    started_ = false;
  }
}

// Anti-aliased text keeps its coverage levels on a graph cache: the glyph edges blend into the background.
TEST_F(FontTest, AntiAliasedTextOnAGraphCacheShowsItsCoverageLevels) {
  ASSERT_EQ(StartWithFonts(16), 0);
  SelectDrawTarget(-2);
  ClearDrawTarget();
  const int font = CreateFontToHandle(nullptr, 32, 4, 2, -1, -1, -1, -1);
  ASSERT_EQ(GetFontRecord(font)->cacheIsGraph, 1);
  ASSERT_EQ(DrawTextWithFont(10, 10, "\x82\xF0\x8F\x89", PackScreenColor(255, 255, 255), font, 0, 0), 0);
  LockedSurface back(QueryBackSurface());
  std::set<uint32_t> greys;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 100; ++x) greys.insert(back.Get(x, y));
  // Black, white and at least a handful of the levels between them.
  EXPECT_GE(greys.size(), 6u);
}

// Edged text on a graph cache (16 bits) and on a DIB cache (32 bits) shows the same body and edge pixels.
TEST_F(GlyphTest, EdgedTextShowsItsEdgeOnEitherCache) {
  std::map<int, std::pair<Points, Points>> drawn;
  for (int bits : {16, 32}) {
    StartSynthetic(bits);
    SelectDrawTarget(-2);
    ClearDrawTarget();
    const uint32_t white = PackScreenColor(255, 255, 255);
    ASSERT_EQ(DrawTextWithFont(40, 20, "A", white, Font(1, 1), PackScreenColor(255, 0, 0), 0), 0);
    {
      LockedSurface back(QueryBackSurface());
      for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x) {
          if (back.Get(x, y) == white) drawn[bits].first.insert({x, y});
          // The edge's red is tinted through the 16-bit cache's four-bit levels: any other lit pixel is edge.
          else if (back.Get(x, y) != 0) drawn[bits].second.insert({x, y});
        }
    }
    EXPECT_EQ(drawn[bits].first.size(), 8u) << bits;  // the ring
    EXPECT_EQ(drawn[bits].second.size(), 13u) << bits;  // the four-neighbour edge, the hole included
    ShutdownLibrary();
    started_ = false;
  }
  EXPECT_EQ(drawn[16], drawn[32]);
}

TEST_F(FontTest, HangeulTextUnderCodePage949) {
  ASSERT_EQ(StartWithFonts(32, {{"*fallback-ko", "/usr/share/fonts/truetype/nanum/NanumGothic.ttf"}}, 949), 0);
  SelectDrawTarget(-2);
  ClearDrawTarget();
  // "한국" in code page 949; its lead bytes 0xC7 and 0xB1 lead only under the Hangeul char set.
  ASSERT_EQ(DrawFormattedText(10, 10, PackScreenColor(255, 255, 255), "\xC7\xD1\xB1\xB9"), 0);
  FontRecord* font = GetFontRecord(QueryDefaultFont());
  EXPECT_EQ(font->index[0xD1C7].present, 1u);
  EXPECT_EQ(font->index[0xB9B1].present, 1u);
  G_DDraw_FlipScreen();
  int inked = 0;
  for (int y = 10; y < 30; ++y)
    for (int x = 10; x < 50; ++x) inked += headless::Frames().back().Rgb(x, y) != 0;
  EXPECT_GT(inked, 30);
}

}  // namespace

// Vertical text on a graph cache (16 bits) lands where the locked path (32 bits) puts it: the ring turned a
// quarter, whole, its source row 0 in the column just left of x + cell height - y offset; for a glyph in the graph's
// first cell row and in a later one, and for an edged glyph, whose edge pass draws from far above.
TEST_F(GlyphTest, VerticalTextOnAGraphCacheLandsLikeTheLockedPath) {
  struct Case {
    const char* text;
    int x, type, edge, ringLeft, ringTop;
  };
  // 12-pixel cells with the ring 4 rows down: its box starts x + 5 across; the edge moves it one pixel each way.
  // Right of the graph's width no corner of the turned graph lies left of the screen.
  for (const Case& c : {Case{"A", 40, 0, -1, 45, 20}, Case{".A", 40, 0, -1, 45, 32}, Case{"A", 40, 1, 1, 46, 21},
                        Case{"A", 560, 0, -1, 565, 20}}) {
    std::map<int, std::pair<Points, Points>> drawn;
    for (int bits : {16, 32}) {
      StartSynthetic(bits);
      SelectDrawTarget(-2);
      ClearDrawTarget();
      const int font = Font(c.type, c.edge);
      EXPECT_EQ(GetFontRecord(font)->cacheIsGraph, bits == 16 ? 1 : 0);
      const uint32_t white = PackScreenColor(255, 255, 255);
      ASSERT_EQ(DrawTextWithFont(c.x, 20, c.text, white, font, PackScreenColor(255, 0, 0), 1), 0);
      {
        LockedSurface back(QueryBackSurface());
        for (int y = 0; y < 60; ++y)
          for (int x = c.x - 40; x < c.x + 40; ++x) {
            if (back.Get(x, y) == white) drawn[bits].first.insert({x, y});
            else if (back.Get(x, y) != 0) drawn[bits].second.insert({x, y});
          }
      }
      Points ring;
      for (auto [x, y] : Points{{0, 0}, {1, 0}, {2, 0}, {0, 1}, {2, 1}, {0, 2}, {1, 2}, {2, 2}})
        ring.insert({c.ringLeft + x, c.ringTop + y});
      Points lit = drawn[bits].first;
      if (c.text[0] == '.') lit.erase(lit.begin(), lit.lower_bound({0, c.ringTop}));  // not the dot's rows
      for (auto it = lit.begin(); it != lit.end();) it = it->second < c.ringTop ? lit.erase(it) : std::next(it);
      EXPECT_EQ(lit, ring) << bits << " " << c.text << " " << c.type;
      EXPECT_EQ(drawn[bits].second.size(), c.edge > 0 ? 13u : 0u) << bits;
      ShutdownLibrary();
      started_ = false;
    }
    EXPECT_EQ(drawn[16], drawn[32]) << c.text << " " << c.type;
  }
}

namespace {

// Locked drawing straight onto a surface: an opaque draw writes the glyph box's empty pixels as 0 and a transparent
// one leaves them, neither writes past the clip, a glyph reaches the surface's first row, and the alpha bytes of
// vertical text lie under the pixels it draws.
TEST_F(GlyphTest, LockedTextKeepsToItsBoxClipAndAlphaPlane) {
  StartSynthetic(32);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  IDirectDrawSurface7* back = QueryBackSurface();
  const uint32_t ground = 0x123456, white = 0xFFFFFF;
  struct Case {
    int type, x, y, transparent, vertical;
    RECT clip;
    int paintedX, paintedY, holeX, holeY;  // a ring pixel, and its hole (0 when opaque)
  };
  const Case cases[] = {
      {0, 100, 50, 0, 0, {0, 0, 102, 480}, 100, 54, 101, 55},
      {0, 100, 50, 1, 0, {0, 0, 102, 480}, 100, 54, 101, 55},
      {2, 100, 50, 0, 0, {0, 0, 102, 480}, 100, 54, 101, 55},
      {0, 100, -4, 1, 0, {0, 0, 640, 480}, 101, 0, 101, 1},
      {2, 100, 50, 1, 1, {0, 0, 640, 480}, -1, -1, -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(&c - cases));
    ASSERT_EQ(SetDrawClipRect(0, 0, 640, 480), 0);
    ASSERT_EQ(DrawFillBox(0, 0, 640, 480, ground), 0);
    const int font = Font(c.type);
    std::vector<uint8_t> alpha(640 * 480, 0);
    ASSERT_GT(FontCacheStringDraw(1, c.x, c.y, "A", white, back, alpha.data(), 640, &c.clip, 32, c.transparent, font,
                                  0, -1, c.vertical, nullptr),
              0);
    LockedSurface locked(back);
    auto at = [&](int x, int y) { return locked.Get(x, y) & 0xFFFFFF; };
    int painted = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) {
        if (x >= c.clip.right) {
          ASSERT_EQ(at(x, y), ground) << x << "," << y;
        }
        painted += at(x, y) == white;
        if (c.vertical) {
          ASSERT_EQ(alpha[y * 640 + x] != 0, at(x, y) == white) << x << "," << y;
        }
      }
    EXPECT_EQ(painted, c.clip.right == 102 ? 5 : 8);
    if (c.paintedX >= 0) {
      EXPECT_EQ(at(c.paintedX, c.paintedY), white);
      EXPECT_EQ(at(c.holeX, c.holeY), c.transparent ? ground : 0u);
    }
    DeleteFontHandle(font);
  }
}

// Anti-aliased edged text mixes its edge and body colours channel by channel: with a red edge and a green body
// every pixel's red and green add up to full (less one for rounding), and blue stays empty.
TEST_F(GlyphTest, AntiAliasedEdgesMixTheirTwoColours) {
  StartSynthetic(32);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  ClearDrawTarget();
  const int font = CreateFontToHandle(nullptr, 24, 4, 3, -1, 1, -1, -1);
  ASSERT_NE(font, -1);
  // Straight onto the surface, without the alpha plane that would fade the mix into the ground.
  ASSERT_GT(FontCacheStringDraw(1, 20, 20, "を初", PackScreenColor(0, 255, 0), QueryBackSurface(), nullptr, 0, nullptr,
                                32, 1, font, PackScreenColor(255, 0, 0), -1, 0, nullptr),
            0);
  LockedSurface back(QueryBackSurface());
  int mixed = 0;
  for (int y = 10; y < 60; ++y)
    for (int x = 10; x < 90; ++x) {
      const uint32_t v = back.Get(x, y) & 0xFFFFFF, red = v >> 16, green = (v >> 8) & 0xFF;
      if (v == 0) continue;
      ASSERT_TRUE((red + green == 255 || red + green == 254) && (v & 0xFF) == 0) << std::hex << v;
      mixed += red != 0 && green != 0;
    }
  EXPECT_GT(mixed, 10);
}

// A clip window cutting a wide glyph anywhere, across the bytes of its cache row, shows exactly that window of the
// unclipped glyph, on each cache encoding.
TEST_F(GlyphTest, ClippedGlyphsShowTheirWindowOfTheWholeGlyph) {
  StartSynthetic(32);
  ASSERT_EQ(SelectDrawTarget(-2), 0);
  IDirectDrawSurface7* back = QueryBackSurface();
  const uint32_t ground = 0x123456, white = 0xFFFFFF;
  for (int type : {0, 1, 2}) {
    const int font = CreateFontToHandle(nullptr, 24, 4, type, -1, -1, -1, -1);
    ASSERT_NE(font, -1);
    auto draw = [&](RECT clip) {
      std::vector<uint32_t> pixels;
      EXPECT_EQ(SetDrawClipRect(0, 0, 640, 480), 0);
      EXPECT_EQ(DrawFillBox(0, 0, 640, 480, ground), 0);
      EXPECT_GT(FontCacheStringDraw(1, 200, 100, "をを", white, back, nullptr, 0, &clip, 32, 1, font, 0, -1, 0, nullptr),
                0);
      LockedSurface locked(back);
      for (int y = 95; y < 135; ++y)
        for (int x = 195; x < 255; ++x) pixels.push_back(locked.Get(x, y) & 0xFFFFFF);
      return pixels;
    };
    const std::vector<uint32_t> whole = draw(RECT{0, 0, 640, 480});
    EXPECT_GT(std::count(whole.begin(), whole.end(), white), 40);
    for (int left = 201; left < 240; left += 5)
      for (int width : {1, 3, 9, 14}) {
        const std::vector<uint32_t> cut = draw(RECT{left, 0, left + width, 480});
        for (size_t i = 0; i < cut.size(); ++i) {
          const int x = 195 + static_cast<int>(i % 60);
          ASSERT_EQ(cut[i], x >= left && x < left + width ? whole[i] : ground)
              << "type " << type << " window " << left << "+" << width << " at " << x << "," << 95 + i / 60;
        }
      }
    DeleteFontHandle(font);
  }
}

}  // namespace
