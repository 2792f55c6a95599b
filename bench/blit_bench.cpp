// Blitter inner loops: a 64x64 sprite with per-pixel alpha, a keyed sprite, an opaque 640x480 background and a
// sprite scaled to 128x128, onto a 640x480 screen in 32-bit and 5:6:5, beside SDL2, pixman and memcpy doing the
// same pixels. Ours runs without the public call around it (no handle lookup, lock or clipping), so these rows stay
// out of the table of ratios; public_draw_bench.cpp times the public calls.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_methods.h"
#include "graphics/color_format.h"
#include "graphics/software/blit_loops.h"
#ifdef VOMAK_HAVE_PIXMAN
#include <pixman.h>
#endif

namespace {

constexpr int kScreenW = 640, kScreenH = 480, kSprite = 64, kScaled = 128, kAt = 101;

ColorFormat MakeFormat(int depth) {
  ColorFormat f{};
  if (depth == 32)
    ColorFormatFromMasks(&f, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  else
    ColorFormatFromMasks(&f, 16, 0xF800, 0x07E0, 0x1F, 0);
  return f;
}

// One scene per depth: the screen, the sprite in the screen's format with its alpha plane, the same sprite as
// ARGB for the libraries that take alpha in the pixel, and the background.
struct Scene {
  int depth, bpp;
  ColorFormat fmt;
  std::vector<uint32_t> mul;
  std::vector<uint8_t> screen, background, sprite, alpha;
  std::vector<uint32_t> argb, argbKeyed;  // premultiplied for pixman, straight for SDL (see below)
  std::vector<uint32_t> straight, straightKeyed;
  uint32_t key = 0;

  explicit Scene(int d) : depth(d), bpp(d / 8), fmt(MakeFormat(d)), mul(65536) {
    for (uint32_t i = 0; i < 256; ++i)
      for (uint32_t j = 0; j < 256; ++j) mul[i * 256 + j] = (i * j) >> 8;
    std::mt19937 rng(7);
    screen.resize(size_t(kScreenW) * kScreenH * bpp);
    background.resize(screen.size());
    for (auto& b : background) b = static_cast<uint8_t>(rng());
    sprite.resize(size_t(kSprite) * kSprite * bpp);
    alpha.resize(size_t(kSprite) * kSprite);
    straight.resize(size_t(kSprite) * kSprite);
    straightKeyed.resize(straight.size());
    argb.resize(straight.size());
    argbKeyed.resize(straight.size());
    key = depth == 32 ? 0xFF00FF : 0xF81F;
    for (int i = 0; i < kSprite * kSprite; ++i) {
      const int x = i % kSprite, y = i / kSprite, dx = x - 32, dy = y - 32;
      const int r2 = dx * dx + dy * dy;
      const uint8_t a = r2 < 400 ? 255 : r2 < 900 ? static_cast<uint8_t>(255 - (r2 - 400) / 2) : 0;
      const uint32_t rgb = (rng() & 0xFFFFFF) | 0x010101;
      uint32_t px = depth == 32 ? rgb : ((rgb >> 8) & 0xF800) | ((rgb >> 5) & 0x07E0) | ((rgb >> 3) & 0x1F);
      const bool keyed = r2 >= 900;
      if (keyed) px = key;
      std::memcpy(&sprite[size_t(i) * bpp], &px, bpp);
      alpha[i] = a;
      const uint32_t r8 = (rgb >> 16) & 0xFF, g8 = (rgb >> 8) & 0xFF, b8 = rgb & 0xFF;
      straight[i] = (uint32_t(a) << 24) | rgb;
      argb[i] = (uint32_t(a) << 24) | ((r8 * a / 255) << 16) | ((g8 * a / 255) << 8) | (b8 * a / 255);
      straightKeyed[i] = keyed ? (key & 0xFFFFFF) : (0xFF000000u | rgb);
      argbKeyed[i] = keyed ? 0 : 0xFF000000u | rgb;
    }
  }
  intptr_t pitch() const { return intptr_t(kScreenW) * bpp; }
  uint8_t* at(int x, int y) { return screen.data() + y * pitch() + x * bpp; }
  // Destination and background at the sprite's place on the screen; source the sprite.
  template <class J>
  void aim(J& j) {
    j.dst = at(kAt, kAt);
    j.dstPitch = pitch();
    j.bg = j.dst;
    j.bgPitch = j.dstPitch;
    j.src = sprite.data();
    j.srcPitch = kSprite * bpp;
  }
  blit::Settings settings() {
    blit::Settings st;
    st.screen = &fmt;
    st.mul = mul.data();
    return st;
  }
};

Scene& Get(int depth) {
  static Scene s32(32), s16(16);
  return depth == 32 ? s32 : s16;
}

// ---- our drawers ----

void VomakAlpha(benchmark::State& state, int depth) {
  Scene& s = Get(depth);
  blit::Settings st = s.settings();
  blit::Job j;
  s.aim(j);
  j.alpha = s.alpha.data();
  j.alphaPitch = kSprite;
  j.w = j.h = kSprite;
  for (auto _ : state) benchmark::DoNotOptimize(blit::DrawUnscaled(j, st));
}

void VomakKeyed(benchmark::State& state, int depth) {
  Scene& s = Get(depth);
  blit::Job j;
  s.aim(j);
  j.w = j.h = kSprite;
  const uint32_t bits = blit::ColourBits(s.fmt);
  for (auto _ : state) {
    blit::CopyPixels(j, s.bpp, true, s.key, bits, true);
    benchmark::ClobberMemory();
  }
}

void VomakOpaque(benchmark::State& state, int depth) {
  Scene& s = Get(depth);
  blit::Job j;
  j.dst = s.screen.data();
  j.dstPitch = s.pitch();
  j.src = s.background.data();
  j.srcPitch = s.pitch();
  j.w = kScreenW;
  j.h = kScreenH;
  for (auto _ : state) {
    blit::CopyPixels(j, s.bpp, false, 0, 0, true);
    benchmark::ClobberMemory();
  }
}

void VomakScaled(benchmark::State& state, int depth) {
  Scene& s = Get(depth);
  blit::Settings st = s.settings();
  blit::ScaledJob j;
  s.aim(j);
  j.w = j.h = kScaled;
  j.x = blit::MakeScaledAxis(kScaled, kSprite, 0, kScaled);
  j.y = j.x;
  for (auto _ : state) benchmark::DoNotOptimize(blit::DrawScaled(j, st));
}

// ---- SDL2 ----

struct SdlSurfaces {
  SDL_Surface *screen, *background, *alphaSprite, *keyedSprite, *opaqueSprite;
  explicit SdlSurfaces(int depth) {
    Scene& s = Get(depth);
    const Uint32 screenFormat = depth == 32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565;
    screen = SDL_CreateRGBSurfaceWithFormatFrom(s.screen.data(), kScreenW, kScreenH, depth, int(s.pitch()), screenFormat);
    background = SDL_CreateRGBSurfaceWithFormatFrom(s.background.data(), kScreenW, kScreenH, depth, int(s.pitch()),
                                                    screenFormat);
    alphaSprite = SDL_CreateRGBSurfaceWithFormatFrom(s.straight.data(), kSprite, kSprite, 32, kSprite * 4,
                                                     SDL_PIXELFORMAT_ARGB8888);
    SDL_SetSurfaceBlendMode(alphaSprite, SDL_BLENDMODE_BLEND);
    keyedSprite = SDL_CreateRGBSurfaceWithFormatFrom(s.sprite.data(), kSprite, kSprite, depth, kSprite * s.bpp,
                                                     screenFormat);
    SDL_SetColorKey(keyedSprite, SDL_TRUE, s.key);
    opaqueSprite = SDL_CreateRGBSurfaceWithFormatFrom(s.sprite.data(), kSprite, kSprite, depth, kSprite * s.bpp,
                                                      screenFormat);
    SDL_SetSurfaceBlendMode(background, SDL_BLENDMODE_NONE);
    SDL_SetSurfaceBlendMode(opaqueSprite, SDL_BLENDMODE_NONE);
  }
};
SdlSurfaces& Sdl(int depth) {
  static SdlSurfaces s32(32), s16(16);
  return depth == 32 ? s32 : s16;
}

void SdlAlpha(benchmark::State& state, int depth) {
  SdlSurfaces& s = Sdl(depth);
  SDL_Rect at{kAt, kAt, kSprite, kSprite};
  for (auto _ : state) benchmark::DoNotOptimize(SDL_BlitSurface(s.alphaSprite, nullptr, s.screen, &at));
}
void SdlKeyed(benchmark::State& state, int depth) {
  SdlSurfaces& s = Sdl(depth);
  SDL_Rect at{kAt, kAt, kSprite, kSprite};
  for (auto _ : state) benchmark::DoNotOptimize(SDL_BlitSurface(s.keyedSprite, nullptr, s.screen, &at));
}
void SdlOpaque(benchmark::State& state, int depth) {
  SdlSurfaces& s = Sdl(depth);
  for (auto _ : state) benchmark::DoNotOptimize(SDL_BlitSurface(s.background, nullptr, s.screen, nullptr));
}
void SdlScaled(benchmark::State& state, int depth) {
  SdlSurfaces& s = Sdl(depth);
  SDL_Rect at{kAt, kAt, kScaled, kScaled};
  for (auto _ : state) benchmark::DoNotOptimize(SDL_BlitScaled(s.opaqueSprite, nullptr, s.screen, &at));
}

// ---- pixman ----
#ifdef VOMAK_HAVE_PIXMAN
struct PixmanImages {
  pixman_image_t *screen, *background, *alphaSprite, *keyedSprite, *opaqueSprite;
  explicit PixmanImages(int depth) {
    Scene& s = Get(depth);
    const pixman_format_code_t screenFormat = depth == 32 ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5;
    screen = pixman_image_create_bits(screenFormat, kScreenW, kScreenH, reinterpret_cast<uint32_t*>(s.screen.data()),
                                      int(s.pitch()));
    background = pixman_image_create_bits(screenFormat, kScreenW, kScreenH,
                                          reinterpret_cast<uint32_t*>(s.background.data()), int(s.pitch()));
    alphaSprite = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSprite, kSprite, s.argb.data(), kSprite * 4);
    keyedSprite = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSprite, kSprite, s.argbKeyed.data(), kSprite * 4);
    opaqueSprite = pixman_image_create_bits(screenFormat, kSprite, kSprite, reinterpret_cast<uint32_t*>(s.sprite.data()),
                                            kSprite * s.bpp);
    pixman_transform_t half;
    pixman_transform_init_scale(&half, pixman_double_to_fixed(double(kSprite) / kScaled),
                                pixman_double_to_fixed(double(kSprite) / kScaled));
    pixman_image_set_transform(opaqueSprite, &half);
    pixman_image_set_filter(opaqueSprite, PIXMAN_FILTER_NEAREST, nullptr, 0);
  }
};
PixmanImages& Pix(int depth) {
  static PixmanImages p32(32), p16(16);
  return depth == 32 ? p32 : p16;
}
void PixmanAlpha(benchmark::State& state, int depth) {
  PixmanImages& p = Pix(depth);
  for (auto _ : state)
    pixman_image_composite32(PIXMAN_OP_OVER, p.alphaSprite, nullptr, p.screen, 0, 0, 0, 0, kAt, kAt, kSprite, kSprite);
}
void PixmanKeyed(benchmark::State& state, int depth) {
  PixmanImages& p = Pix(depth);
  for (auto _ : state)
    pixman_image_composite32(PIXMAN_OP_OVER, p.keyedSprite, nullptr, p.screen, 0, 0, 0, 0, kAt, kAt, kSprite, kSprite);
}
void PixmanOpaque(benchmark::State& state, int depth) {
  PixmanImages& p = Pix(depth);
  for (auto _ : state)
    pixman_image_composite32(PIXMAN_OP_SRC, p.background, nullptr, p.screen, 0, 0, 0, 0, 0, 0, kScreenW, kScreenH);
}
void PixmanScaled(benchmark::State& state, int depth) {
  PixmanImages& p = Pix(depth);
  for (auto _ : state)
    pixman_image_composite32(PIXMAN_OP_SRC, p.opaqueSprite, nullptr, p.screen, 0, 0, 0, 0, kAt, kAt, kScaled, kScaled);
}
#endif

// ---- memcpy of the same bytes: the bandwidth bound ----
void MemcpyRows(benchmark::State& state, int depth, int w, int h) {
  Scene& s = Get(depth);
  for (auto _ : state) {
    for (int y = 0; y < h; ++y)
      std::memcpy(s.at(kAt * (w < kScreenW), y + kAt * (h < kScreenH)), s.background.data() + y * s.pitch(),
                  size_t(w) * s.bpp);
    benchmark::ClobberMemory();
  }
}

// Registered before main runs the benchmarks.
const bool registered = [] {
  for (int depth : {32, 16}) {
    const std::string d = depth == 32 ? "32" : "565";
    // Ours is the pixel loop alone, the peers' their public calls: the table leaves these rows out.
    auto reg = [&](const std::string& task, const std::string& who, auto fn) {
      const char* method = who == "vomak" ? kInnerLoop : kPublicCall;
      benchmark::RegisterBenchmark((task + d + "/" + who).c_str(), [=](benchmark::State& s) {
        s.SetLabel(method);
        fn(s, depth);
      });
    };
    reg("AlphaSprite", "vomak", VomakAlpha);
    reg("AlphaSprite", "sdl2", SdlAlpha);
    reg("KeyedSprite", "vomak", VomakKeyed);
    reg("KeyedSprite", "sdl2", SdlKeyed);
    reg("OpaqueBackground", "vomak", VomakOpaque);
    reg("OpaqueBackground", "sdl2", SdlOpaque);
    reg("ScaledSprite", "vomak", VomakScaled);
    reg("ScaledSprite", "sdl2", SdlScaled);
#ifdef VOMAK_HAVE_PIXMAN
    reg("AlphaSprite", "pixman", PixmanAlpha);
    reg("KeyedSprite", "pixman", PixmanKeyed);
    reg("OpaqueBackground", "pixman", PixmanOpaque);
    reg("ScaledSprite", "pixman", PixmanScaled);
#endif
    for (auto [task, w, h] : {std::tuple{"AlphaSprite", kSprite, kSprite}, {"KeyedSprite", kSprite, kSprite},
                              {"OpaqueBackground", kScreenW, kScreenH}, {"ScaledSprite", kScaled, kScaled}})
      benchmark::RegisterBenchmark((std::string(task) + d + "/memcpy").c_str(), MemcpyRows, depth, w, h);
  }
  return true;
}();

}  // namespace

