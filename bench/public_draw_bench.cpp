// Drawing through the public calls a game makes, on a started library (headless host, 640x480 back screen at 32
// bits and at 5:6:5): a 64x64 alpha sprite and a keyed sprite by DrawGraph at random places, the opaque background,
// DrawExtendGraph to 128x128, DrawRotaGraph at 30 degrees (also mirrored, as the game turns its shots), and a frame
// of the game's shape. Each is set beside SDL2 and pixman doing the same pixels in the same run, and memcpy as the
// bandwidth bound (bench_main.cpp prints the ratios). Times are per draw (per frame for the frame).
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_methods.h"
#include "graphics/software/rota_draw.h"
#include "platform/host/headless/headless_host.h"
#include "running_library.h"
#include "vomak.h"
#ifdef VOMAK_HAVE_PIXMAN
#include <pixman.h>
#endif

namespace {

constexpr int kW = 640, kH = 480, kSprite = 64, kPlaces = 20000;
constexpr double kAngle = 30.0 * M_PI / 180.0;

// The pictures every side draws: straight ARGB (alpha 0 outside a soft disc), the same keyed on black, the
// background opaque. Small sprites for the frame: a 32x32 keyed ship and a 16x16 alpha bullet.
struct Pictures {
  std::vector<uint32_t> alpha, keyed, background, ship, bullet;
  static std::vector<uint32_t> Disc(int size, bool soft, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint32_t> p(size_t(size) * size);
    for (int i = 0; i < size * size; ++i) {
      const double dx = (i % size + 0.5) / size - 0.5, dy = (i / size + 0.5) / size - 0.5;
      const double r = std::sqrt(dx * dx + dy * dy) * 2;
      const uint32_t a = r < 0.7 ? 255 : r < 1 && soft ? uint32_t(255 * (1 - r) / 0.3) : r < 1 ? 255 : 0;
      p[i] = a == 0 ? 0 : (a << 24) | (rng() & 0xFFFFFF) | 0x010101;
    }
    return p;
  }
  Pictures() : alpha(Disc(kSprite, true, 1)), keyed(Disc(kSprite, false, 2)), ship(Disc(32, false, 3)),
               bullet(Disc(16, true, 4)) {
    std::mt19937 rng(5);
    background.resize(size_t(kW) * kH);
    for (auto& p : background) p = 0xFF000000u | (rng() & 0xFFFFFF);
  }
};

const Pictures& Pics() {
  static Pictures pictures;
  return pictures;
}

// Opaque pictures are written without an alpha channel, so their graphs have none.
void WritePng(const std::string& path, const std::vector<uint32_t>& argb, int w, int h, bool withAlpha) {
  const int channels = withAlpha ? 4 : 3;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, w, h, 8, withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<uint8_t> row(size_t(w) * channels);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const uint32_t p = argb[size_t(y) * w + x];
      uint8_t* at = &row[size_t(x) * channels];
      at[0] = (p >> 16) & 0xFF, at[1] = (p >> 8) & 0xFF, at[2] = p & 0xFF;
      if (withAlpha) at[3] = p >> 24;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

// Keyed pictures go to the library without alpha: black is their transparent colour.
std::vector<uint32_t> Opaque(std::vector<uint32_t> p) {
  for (auto& v : p) v = v >> 24 ? 0xFF000000u | v : 0xFF000000u;
  return p;
}

struct Place {
  int x, y;
};
const std::vector<Place>& Places() {
  static std::vector<Place> places = [] {
    std::mt19937 rng(9);
    std::vector<Place> p(kPlaces);
    for (auto& q : p) q = {int(rng() % (kW - kSprite)), int(rng() % (kH - kSprite))};
    return p;
  }();
  return places;
}

// The library started at one depth for one run, with the pictures loaded as graphs.
headless::Config DepthConfig(int depth) {
  headless::Config config;
  config.bitsPerPixel = depth;
  return config;
}

struct Library {
  RunningLibrary running;
  int alpha = -1, keyed = -1, background = -1, ship = -1, bullet = -1;
  explicit Library(int depth) : running(DepthConfig(depth)) {
    headless::SetFrameLimit(1);
    const Pictures& p = Pics();
    WritePng("alpha.png", p.alpha, kSprite, kSprite, true);
    WritePng("keyed.png", Opaque(p.keyed), kSprite, kSprite, false);
    WritePng("background.png", p.background, kW, kH, false);
    WritePng("ship.png", Opaque(p.ship), 32, 32, false);
    WritePng("bullet.png", p.bullet, 16, 16, true);
    alpha = LoadGraphFileSimple("alpha.png");
    keyed = LoadGraphFileSimple("keyed.png");
    background = LoadGraphFileSimple("background.png");
    ship = LoadGraphFileSimple("ship.png");
    bullet = LoadGraphFileSimple("bullet.png");
    SelectBlendMode(kBlendNone, 255);
  }
  bool ready() const {
    return running.started() && alpha != -1 && keyed != -1 && background != -1 && ship != -1 && bullet != -1;
  }
};

enum Task { kAlphaSprite, kKeyedSprite, kBackground, kExtend, kRotated, kFrame, kRotatedMirror };

// The game's frame: backdrop, 200 keyed ships, 300 alpha bullets, 20 rotated shots, present.
template <class Backdrop, class Ship, class Bullet, class Shot, class Present>
void GameFrame(Backdrop backdrop, Ship ship, Bullet bullet, Shot shot, Present present) {
  const auto& places = Places();
  backdrop();
  for (int i = 0; i < 200; ++i) ship(places[i].x, places[i].y);
  for (int i = 0; i < 300; ++i) bullet(places[200 + i].x, places[200 + i].y);
  for (int i = 0; i < 20; ++i) shot(places[500 + i].x + 32, places[500 + i].y + 32);
  present();
}

void Vomak(benchmark::State& state, int depth, Task task) {
  Library lib(depth);
  if (!lib.ready()) {
    state.SkipWithError("the library did not start with its graphs");
    return;
  }
  const auto& places = Places();
  size_t i = 0;
  for (auto _ : state) {
    const Place& p = places[i++ % kPlaces];
    switch (task) {
      case kAlphaSprite: DrawGraph(p.x, p.y, lib.alpha, 1); break;
      case kKeyedSprite: DrawGraph(p.x, p.y, lib.keyed, 1); break;
      case kBackground: DrawGraph(0, 0, lib.background, 0); break;
      case kExtend: DrawExtendGraph(p.x, p.y, p.x + 128, p.y + 128, lib.alpha, 1); break;
      case kRotated: DrawRotaGraph(p.x + 32, p.y + 32, 1.0, kAngle, lib.alpha, 1, 0); break;
      case kRotatedMirror: DrawRotaGraph(p.x + 32, p.y + 32, 1.0, kAngle, lib.alpha, 1, 1); break;
      case kFrame:
        GameFrame([&] { DrawGraph(0, 0, lib.background, 0); }, [&](int x, int y) { DrawGraph(x, y, lib.ship, 1); },
                  [&](int x, int y) { DrawGraph(x, y, lib.bullet, 1); },
                  [&](int x, int y) { DrawRotaGraph(x, y, 1.0, kAngle, lib.alpha, 1, 0); },
                  [] { G_DDraw_FlipScreen(); });
        break;
    }
  }
}

SDL_Surface* Surface(const std::vector<uint32_t>& argb, int w, int h) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
  for (int y = 0; y < h; ++y) std::memcpy(static_cast<uint8_t*>(s->pixels) + y * s->pitch, &argb[size_t(y) * w], w * 4);
  return s;
}

struct SdlSide {
  SDL_Surface *screen, *window, *alpha, *keyed, *background, *ship, *bullet;
  SDL_Renderer* renderer;
  SDL_Texture *tAlpha, *tShip, *tBullet, *tBackground;
  explicit SdlSide(int depth) {
    const Uint32 format = depth == 32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565;
    screen = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, depth, format);
    window = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, depth, format);
    const Pictures& p = Pics();
    alpha = Surface(p.alpha, kSprite, kSprite);
    keyed = SDL_ConvertSurfaceFormat(Surface(Opaque(p.keyed), kSprite, kSprite), format, 0);
    SDL_SetColorKey(keyed, SDL_TRUE, 0);
    background = SDL_ConvertSurfaceFormat(Surface(p.background, kW, kH), format, 0);
    ship = SDL_ConvertSurfaceFormat(Surface(Opaque(p.ship), 32, 32), format, 0);
    SDL_SetColorKey(ship, SDL_TRUE, 0);
    bullet = Surface(p.bullet, 16, 16);
    SDL_SetSurfaceBlendMode(alpha, SDL_BLENDMODE_BLEND);
    SDL_SetSurfaceBlendMode(bullet, SDL_BLENDMODE_BLEND);
    renderer = SDL_CreateSoftwareRenderer(screen);
    tAlpha = SDL_CreateTextureFromSurface(renderer, alpha);
    tShip = SDL_CreateTextureFromSurface(renderer, ship);
    tBullet = SDL_CreateTextureFromSurface(renderer, bullet);
    tBackground = SDL_CreateTextureFromSurface(renderer, background);
    SDL_SetTextureBlendMode(tAlpha, SDL_BLENDMODE_BLEND);
    SDL_SetTextureBlendMode(tBullet, SDL_BLENDMODE_BLEND);
    SDL_SetTextureBlendMode(tBackground, SDL_BLENDMODE_NONE);
  }
};

void Sdl2(benchmark::State& state, int depth, Task task) {
  static SdlSide* sides[2] = {nullptr, nullptr};
  SdlSide*& side = sides[depth == 32];
  if (side == nullptr) side = new SdlSide(depth);
  SdlSide& s = *side;
  const auto& places = Places();
  size_t i = 0;
  for (auto _ : state) {
    const Place& p = places[i++ % kPlaces];
    SDL_Rect at{p.x, p.y, kSprite, kSprite}, big{p.x, p.y, 128, 128};
    switch (task) {
      case kAlphaSprite: SDL_BlitSurface(s.alpha, nullptr, s.screen, &at); break;
      case kKeyedSprite: SDL_BlitSurface(s.keyed, nullptr, s.screen, &at); break;
      case kBackground: SDL_BlitSurface(s.background, nullptr, s.screen, nullptr); break;
      case kExtend: SDL_BlitScaled(s.alpha, nullptr, s.screen, &big); break;
      case kRotated: SDL_RenderCopyEx(s.renderer, s.tAlpha, nullptr, &at, 30.0, nullptr, SDL_FLIP_NONE); break;
      case kRotatedMirror:
        SDL_RenderCopyEx(s.renderer, s.tAlpha, nullptr, &at, 30.0, nullptr, SDL_FLIP_HORIZONTAL);
        break;
      case kFrame:
        GameFrame([&] { SDL_RenderCopy(s.renderer, s.tBackground, nullptr, nullptr); },
                  [&](int x, int y) {
                    SDL_Rect r{x, y, 32, 32};
                    SDL_RenderCopy(s.renderer, s.tShip, nullptr, &r);
                  },
                  [&](int x, int y) {
                    SDL_Rect r{x, y, 16, 16};
                    SDL_RenderCopy(s.renderer, s.tBullet, nullptr, &r);
                  },
                  [&](int x, int y) {
                    SDL_Rect r{x - 32, y - 32, kSprite, kSprite};
                    SDL_RenderCopyEx(s.renderer, s.tAlpha, nullptr, &r, 30.0, nullptr, SDL_FLIP_NONE);
                  },
                  [&] {
                    SDL_RenderPresent(s.renderer);
                    SDL_BlitSurface(s.screen, nullptr, s.window, nullptr);  // our present copies into the window
                  });
        break;
    }
  }
}

#ifdef VOMAK_HAVE_PIXMAN
std::vector<uint32_t> Premultiplied(const std::vector<uint32_t>& argb) {
  std::vector<uint32_t> p(argb.size());
  for (size_t i = 0; i < p.size(); ++i) {
    const uint32_t a = argb[i] >> 24;
    auto c = [&](int shift) { return (((argb[i] >> shift) & 0xFF) * a / 255) << shift; };
    p[i] = (a << 24) | c(16) | c(8) | c(0);
  }
  return p;
}

void Pixman(benchmark::State& state, int depth, Task task) {
  const Pictures& pics = Pics();
  static std::vector<uint32_t> screenPixels(size_t(kW) * kH);
  static std::vector<uint32_t> alpha = Premultiplied(pics.alpha), keyed = Premultiplied(pics.keyed);
  // The background in the screen's format, as our graph and SDL's converted surface hold it.
  static std::vector<uint32_t> background = pics.background;
  static std::vector<uint16_t> background565 = [&] {
    std::vector<uint16_t> p(pics.background.size());
    for (size_t i = 0; i < p.size(); ++i) {
      const uint32_t v = pics.background[i];
      p[i] = static_cast<uint16_t>(((v >> 8) & 0xF800) | ((v >> 5) & 0x07E0) | ((v >> 3) & 0x1F));
    }
    return p;
  }();
  const pixman_format_code_t format = depth == 32 ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5;
  pixman_image_t* screen = pixman_image_create_bits(format, kW, kH, screenPixels.data(), kW * depth / 8);
  pixman_image_t* a = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSprite, kSprite, alpha.data(), kSprite * 4);
  pixman_image_t* k = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSprite, kSprite, keyed.data(), kSprite * 4);
  pixman_image_t* b =
      depth == 32 ? pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, background.data(), kW * 4)
                  : pixman_image_create_bits(PIXMAN_r5g6b5, kW, kH, reinterpret_cast<uint32_t*>(background565.data()),
                                             kW * 2);
  pixman_image_t* scaled = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSprite, kSprite, alpha.data(), kSprite * 4);
  pixman_image_t* turned = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSprite, kSprite, alpha.data(), kSprite * 4);
  pixman_transform_t half, rotation;
  pixman_transform_init_scale(&half, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
  pixman_image_set_transform(scaled, &half);
  pixman_image_set_filter(scaled, PIXMAN_FILTER_NEAREST, nullptr, 0);
  // Destination to source: about the sprite's centre, turned back by the angle.
  pixman_f_transform_t f;
  pixman_f_transform_init_translate(&f, -32, -32);
  pixman_f_transform_rotate(&f, nullptr, std::cos(kAngle), -std::sin(kAngle));
  pixman_f_transform_translate(&f, nullptr, 32, 32);
  pixman_transform_from_pixman_f_transform(&rotation, &f);
  pixman_image_set_transform(turned, &rotation);
  pixman_image_set_filter(turned, PIXMAN_FILTER_NEAREST, nullptr, 0);
  // The box our turned draw covers, from its centre; pixman composites the same box, turned or mirrored.
  RotaGeometry turnedBox;
  RotaComputeGeometry(kW / 2, kH / 2, 1.0, kAngle, kSprite, kSprite, false, {0, 0, kW, kH}, &turnedBox);
  const int boxLeft = turnedBox.box.left - kW / 2, boxTop = turnedBox.box.top - kH / 2;
  const int boxWidth = turnedBox.box.right - turnedBox.box.left, boxHeight = turnedBox.box.bottom - turnedBox.box.top;
  // The same turn of the sprite mirrored left to right about its middle.
  pixman_image_t* mirrored = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSprite, kSprite, alpha.data(), kSprite * 4);
  pixman_transform_t mirroredRotation;
  pixman_f_transform_init_translate(&f, -32, -32);
  pixman_f_transform_rotate(&f, nullptr, std::cos(kAngle), -std::sin(kAngle));
  pixman_f_transform_scale(&f, nullptr, -1, 1);
  pixman_f_transform_translate(&f, nullptr, 32, 32);
  pixman_transform_from_pixman_f_transform(&mirroredRotation, &f);
  pixman_image_set_transform(mirrored, &mirroredRotation);
  pixman_image_set_filter(mirrored, PIXMAN_FILTER_NEAREST, nullptr, 0);
  const auto& places = Places();
  size_t i = 0;
  for (auto _ : state) {
    const Place& p = places[i++ % kPlaces];
    switch (task) {
      case kAlphaSprite: pixman_image_composite32(PIXMAN_OP_OVER, a, nullptr, screen, 0, 0, 0, 0, p.x, p.y, 64, 64); break;
      case kKeyedSprite: pixman_image_composite32(PIXMAN_OP_OVER, k, nullptr, screen, 0, 0, 0, 0, p.x, p.y, 64, 64); break;
      case kBackground: pixman_image_composite32(PIXMAN_OP_SRC, b, nullptr, screen, 0, 0, 0, 0, 0, 0, kW, kH); break;
      case kExtend:
        pixman_image_composite32(PIXMAN_OP_OVER, scaled, nullptr, screen, 0, 0, 0, 0, p.x, p.y, 128, 128);
        break;
      case kRotated:
        pixman_image_composite32(PIXMAN_OP_OVER, turned, nullptr, screen, 32 + boxLeft, 32 + boxTop, 0, 0,
                                 p.x + 32 + boxLeft, p.y + 32 + boxTop, boxWidth, boxHeight);
        break;
      case kRotatedMirror:
        pixman_image_composite32(PIXMAN_OP_OVER, mirrored, nullptr, screen, 32 + boxLeft, 32 + boxTop, 0, 0,
                                 p.x + 32 + boxLeft, p.y + 32 + boxTop, boxWidth, boxHeight);
        break;
      default: break;
    }
  }
  for (pixman_image_t* image : {screen, a, k, b, scaled, turned, mirrored}) pixman_image_unref(image);
}
#endif

void Memcpy(benchmark::State& state, int depth, Task task) {
  // Two equal heap blocks lie a whole number of pages apart, so every store of a row would alias a load at the
  // same offset in its page and slow the copy by half; the destination starts a quarter page on.
  constexpr size_t kStagger = 1024;
  static std::vector<uint8_t> from(size_t(kW) * kH * 4), toBlock(from.size() + kStagger);
  uint8_t* const to = toBlock.data() + kStagger;
  const int bpp = depth / 8, rows = task == kBackground ? kH : task == kExtend ? 128 : kSprite;
  const int rowBytes = (task == kBackground ? kW : task == kExtend ? 128 : kSprite) * bpp;
  for (auto _ : state) {
    for (int y = 0; y < rows; ++y) std::memcpy(to + size_t(y) * kW * bpp, &from[size_t(y) * kW * bpp], rowBytes);
    benchmark::DoNotOptimize(to);
  }
}

void Register() {
  const struct {
    const char* name;
    Task task;
  } tasks[] = {{"alpha", kAlphaSprite}, {"keyed", kKeyedSprite}, {"background", kBackground},
               {"extend128", kExtend},  {"rota30", kRotated},     {"frame", kFrame},
               {"rota30mirror", kRotatedMirror}};
  for (int depth : {32, 16}) {
    for (const auto& t : tasks) {
      const std::string base = std::string("DrawCall_") + t.name + (depth == 32 ? "32" : "565");
      const Task task = t.task;
      benchmark::RegisterBenchmark((base + "/vomak").c_str(), [=](benchmark::State& s) {
        s.SetLabel(kPublicCall);
        Vomak(s, depth, task);
      });
      benchmark::RegisterBenchmark((base + "/sdl2").c_str(), [=](benchmark::State& s) {
        s.SetLabel(kPublicCall);
        Sdl2(s, depth, task);
      });
#ifdef VOMAK_HAVE_PIXMAN
      if (task != kFrame)
        benchmark::RegisterBenchmark((base + "/pixman").c_str(), [=](benchmark::State& s) {
          s.SetLabel(kPublicCall);
          Pixman(s, depth, task);
        });
#endif
      if (task != kRotated && task != kRotatedMirror && task != kFrame)
        benchmark::RegisterBenchmark((base + "/memcpy").c_str(), [=](benchmark::State& s) { Memcpy(s, depth, task); });
    }
  }
}

const int registered = (Register(), 0);

}  // namespace
