// Font tests: the library started headless with pinned font files, among them a synthetic bitmap face whose glyph
// bits are known exactly.
#pragma once
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "font/font_record.h"
#include "font/font_services.h"
#include "graphics/graphics_test_support.h"
#include "vomak.h"

// The Japanese face the setup script installs.
inline const char* kPinnedJapaneseFont = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";

// One glyph of the synthetic face: rows top down as bit strings ('#' set), its box from the base line.
struct SyntheticGlyph {
  int code;
  std::vector<std::string> rows;
  int top;  // rows above the base line
};

// A synthetic face: every glyph advances `advance`; ascent + descent is the cell height.
inline std::string WriteSyntheticFont(const std::string& path, int advance, int ascent, int descent,
                                      const std::vector<SyntheticGlyph>& glyphs) {
  FILE* f = std::fopen(path.c_str(), "w");
  std::fprintf(f, "STARTFONT 2.1\nFONT -test-synthetic-medium-r-normal--%d-160-75-75-c-160-iso10646-1\n",
               ascent + descent);
  std::fprintf(f, "SIZE %d 75 75\nFONTBOUNDINGBOX %d %d 0 %d\n", ascent + descent, advance, ascent + descent, -descent);
  std::fprintf(f, "STARTPROPERTIES 4\nFONT_ASCENT %d\nFONT_DESCENT %d\nCHARSET_REGISTRY \"ISO10646\"\n", ascent,
               descent);
  std::fprintf(f, "CHARSET_ENCODING \"1\"\nENDPROPERTIES\nCHARS %zu\n", glyphs.size());
  for (const SyntheticGlyph& g : glyphs) {
    int width = g.rows.empty() ? 0 : static_cast<int>(g.rows[0].size());
    std::fprintf(f, "STARTCHAR c%d\nENCODING %d\nSWIDTH 500 0\nDWIDTH %d 0\nBBX %d %zu 0 %d\nBITMAP\n", g.code,
                 g.code, advance, width, g.rows.size(), g.top - static_cast<int>(g.rows.size()));
    for (const std::string& row : g.rows) {
      unsigned bits = 0;
      for (size_t i = 0; i < row.size(); ++i)
        if (row[i] == '#') bits |= 0x80000000u >> i;
      int bytes = (width + 7) / 8;
      for (int i = 0; i < bytes; ++i) std::fprintf(f, "%02X", (bits >> (24 - 8 * i)) & 0xFF);
      std::fprintf(f, "\n");
    }
    std::fprintf(f, "ENDCHAR\n");
  }
  std::fprintf(f, "ENDFONT\n");
  std::fclose(f);
  return path;
}

class FontTest : public GraphicsTest {
 protected:
  // Starts the library with the default face and the fall-back pinned, and the given faces added.
  int StartWithFonts(int bits, std::map<std::string, std::string> faces = {}, UINT codePage = 932) {
    headless::Config config;
    config.bitsPerPixel = bits;
    config.oemCodePage = codePage;
    config.fontFiles = std::move(faces);
    config.fontFiles[""] = kPinnedJapaneseFont;
    config.fontFiles["*fallback-ja"] = kPinnedJapaneseFont;
    RestartHeadless(config);
    ResetSystemState();
    GetDirectDrawLayerState() = DirectDrawLayerState{};
    ChangeWindowMode(1);
    int result = StartupLibrary();
    started_ = result == 0;
    return result;
  }
  std::string Synthetic(const std::string& name, int advance, int ascent, int descent,
                        const std::vector<SyntheticGlyph>& glyphs) {
    return WriteSyntheticFont(workDir() + "/" + name + ".bdf", advance, ascent, descent, glyphs);
  }
};
