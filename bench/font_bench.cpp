// Cached text: a 40-character string of Latin and Japanese drawn through the font's glyph cache onto a 640 x 480
// 32-bit screen, beside SDL2_ttf rendering the same string with the same font file and blitting it.
#include <SDL.h>
#include <SDL_ttf.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "bench_methods.h"
#include "font/font_services.h"
#include "graphics/color_format.h"
#include "graphics/draw_front.h"
#include "platform/host/platform.h"
#include "running_library.h"
#include "vomak.h"

namespace {

constexpr const char* kFontFile = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
constexpr int kCellHeight = 24;
// 40 characters: 26 Latin (letters, digits, punctuation) and 14 Japanese.
constexpr const char* kText = "Score:12345 HIGH ok! ハイスコアを初期化しました！ GAME";

headless::Config FontConfig() {
  headless::Config config;
  config.fontFiles[""] = kFontFile;
  config.fontFiles["*fallback-ja"] = kFontFile;
  return config;
}

void CachedText(benchmark::State& state, bool antiAliased) {
  state.SetLabel(kPublicCall);
  RunningLibrary library(FontConfig());
  const int font = CreateFontToHandle(nullptr, kCellHeight, 4, antiAliased ? 2 : 0, -1, -1, -1, -1);
  if (!library.started() || font == -1) {
    state.SkipWithError("the library or its font did not start");
    return;
  }
  const uint32_t white = PackScreenColor(255, 255, 255);
  DrawTextWithFont(8, 200, kText, white, font, 0, 0);  // the glyphs are cached before timing
  for (auto _ : state) benchmark::DoNotOptimize(DrawTextWithFont(8, 200, kText, white, font, 0, 0));
}

void SdlText(benchmark::State& state, bool blended) {
  state.SetLabel(kPublicCall);
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
