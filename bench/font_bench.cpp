// Cached text: a 40-character string of Latin and Japanese drawn through the font's glyph cache onto a 640 x 480
// 32-bit screen, beside SDL2_ttf rendering the same string with the same font file and blitting it.
#include <SDL.h>
#include <SDL_ttf.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "font/font_services.h"
#include "graphics/color_format.h"
#include "graphics/draw_front.h"
#include "platform/host/headless/headless_host.h"
#include "platform/host/platform.h"
#include "vomak.h"

namespace {

constexpr const char* kFontFile = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
constexpr int kCellHeight = 24;
// 40 characters: 26 Latin (letters, digits, punctuation) and 14 Japanese.
constexpr const char* kText = "Score:12345 HIGH ok! ハイスコアを初期化しました！ GAME";

struct StartedLibrary {
  int plain = -1, antiAliased = -1;
  StartedLibrary() {
    headless::Config config;
    config.fontFiles[""] = kFontFile;
    config.fontFiles["*fallback-ja"] = kFontFile;
    headless::Start(config);
    ChangeWindowMode(1);
    StartupLibrary();
    SelectDrawTarget(-2);
    plain = CreateFontToHandle(nullptr, kCellHeight, 4, 0, -1, -1, -1, -1);
    antiAliased = CreateFontToHandle(nullptr, kCellHeight, 4, 2, -1, -1, -1, -1);
  }
};

StartedLibrary& Library() {
  static StartedLibrary library;
  return library;
}

void CachedText(benchmark::State& state, bool antiAliased) {
  StartedLibrary& library = Library();
  const int font = antiAliased ? library.antiAliased : library.plain;
  const uint32_t white = PackScreenColor(255, 255, 255);
  DrawTextWithFont(8, 200, kText, white, font, 0, 0);  // the glyphs are cached before timing
  for (auto _ : state) benchmark::DoNotOptimize(DrawTextWithFont(8, 200, kText, white, font, 0, 0));
}

void SdlText(benchmark::State& state, bool blended) {
  TTF_Init();
  // SDL2_ttf sizes by points at 72 dpi, i.e. pixels per em; the same cell height as ours.
  TTF_Font* font = TTF_OpenFont(kFontFile, kCellHeight);
  SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 32, SDL_PIXELFORMAT_XRGB8888);
  const std::string utf8 = host::ShiftJisToUtf8(kText);
  const SDL_Color white{255, 255, 255, 255};
  for (auto _ : state) {
    SDL_Surface* text = blended ? TTF_RenderUTF8_Blended(font, utf8.c_str(), white)
                                : TTF_RenderUTF8_Solid(font, utf8.c_str(), white);
    SDL_Rect at{8, 200, 0, 0};
    SDL_BlitSurface(text, nullptr, screen, &at);
    SDL_FreeSurface(text);
  }
  SDL_FreeSurface(screen);
  TTF_CloseFont(font);
  TTF_Quit();
}

void BM_TextSolidVomak(benchmark::State& state) { CachedText(state, false); }
void BM_TextSolidSdl(benchmark::State& state) { SdlText(state, false); }
void BM_TextBlendedVomak(benchmark::State& state) { CachedText(state, true); }
void BM_TextBlendedSdl(benchmark::State& state) { SdlText(state, true); }

BENCHMARK(BM_TextSolidVomak)->Name("text_40_solid/vomak");
BENCHMARK(BM_TextSolidSdl)->Name("text_40_solid/sdl2");
BENCHMARK(BM_TextBlendedVomak)->Name("text_40_blended/vomak");
BENCHMARK(BM_TextBlendedSdl)->Name("text_40_blended/sdl2");

}  // namespace
