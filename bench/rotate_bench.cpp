// Rotation benchmarks: a 64x64 sprite with per-pixel alpha turned by 30 degrees at scale 1 and 1.5 onto a 640x480
// screen in 32-bit and 5:6:5, beside SDL2's software renderer (SDL_RenderCopyEx) and pixman with a transform
// doing the same work. Ours is the pixel path without the public call's lock, so these rows stay out of the table
// of ratios; public_draw_bench.cpp times DrawRotaGraph itself.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_methods.h"
#include "graphics/color_format.h"
#include "graphics/software/rota_draw.h"
#include "graphics/software/triangle_raster.h"
#ifdef VOMAK_HAVE_PIXMAN
#include <pixman.h>
#endif

namespace {

constexpr int kScreenW = 640, kScreenH = 480, kSprite = 64, kCentreX = 240, kCentreY = 200;
constexpr double kAngle = M_PI / 6;

ColorFormat Format(int depth) {
  ColorFormat f{};
  f.bitDepth = static_cast<uint16_t>(depth);
  f.bytesPerPixel = static_cast<uint16_t>(depth / 8);
  if (depth == 32) {
    f.redMask = 0xFF0000; f.greenMask = 0xFF00; f.blueMask = 0xFF;
  } else {
    f.redMask = 0xF800; f.greenMask = 0x07E0; f.blueMask = 0x1F;
  }
  return f;
}

// The sprite in the screen's format with its alpha plane, and as ARGB for the libraries (straight for SDL,
// premultiplied for pixman).
struct Scene {
  int depth, bpp;
  ColorFormat fmt;
  std::vector<uint8_t> screen, sprite, plane;
  std::vector<uint32_t> straight, premultiplied;
  explicit Scene(int d) : depth(d), bpp(d / 8), fmt(Format(d)) {
    std::mt19937 rng(5);
    screen.resize(size_t(kScreenW) * kScreenH * bpp);
    for (auto& b : screen) b = static_cast<uint8_t>(rng());
    sprite.resize(size_t(kSprite) * kSprite * bpp);
    plane.resize(size_t(kSprite) * kSprite);
    straight.resize(plane.size());
    premultiplied.resize(plane.size());
    for (int i = 0; i < kSprite * kSprite; ++i) {
      int dx = i % kSprite - 32, dy = i / kSprite - 32, r2 = dx * dx + dy * dy;
      uint8_t a = r2 < 400 ? 255 : r2 < 900 ? static_cast<uint8_t>(255 - (r2 - 400) / 2) : 0;
      uint32_t rgb = rng() & 0xFFFFFF, r = rgb >> 16, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
      uint32_t px = d == 32 ? rgb : ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
      std::memcpy(&sprite[size_t(i) * bpp], &px, size_t(bpp));
      plane[size_t(i)] = a;
      straight[size_t(i)] = (uint32_t(a) << 24) | rgb;
      premultiplied[size_t(i)] = (uint32_t(a) << 24) | ((r * a / 255) << 16) | ((g * a / 255) << 8) | (b * a / 255);
    }
  }
};

Scene& Get(int depth) {
  static Scene s32(32), s16(16);
  return depth == 32 ? s32 : s16;
}

// Ours: the whole per-call work of the pixel path (nest choice, tables, geometry, scan), without the locks. Mirrored,
// the picture goes through the four-corner path as two triangles, as the game's shots do.
void Vomak(benchmark::State& state, int depth, double scale, bool mirror) {
  Scene& s = Get(depth);
  RotaBlendSettings blend;  // copy through the alpha plane, as the game draws its shots
  RotaTexView tex;
  tex.bits = s.sprite.data();
  tex.pitch = kSprite * s.bpp;
  tex.width = tex.height = kSprite;
  tex.plane = s.plane.data();
  tex.planePitch = kSprite;
  RotaSurfaceView view{s.screen.data(), int64_t(kScreenW) * s.bpp};
  RotaBlendContext c;
  for (auto _ : state) {
    RotaNest nest = RotaChooseTexNest(s.fmt, blend, true, 0);
    RotaPrepareContext(&c, s.fmt, blend, 0);
    RotaGeometry g;
    const RotaRect clip{0, 0, kScreenW, kScreenH};
    RotaComputeGeometry(kCentreX, kCentreY, scale, kAngle, kSprite, kSprite, mirror, clip, &g);
    if (mirror) {
      TriangleVertex v[4];
      RotaQuadVertices(g.modiX, g.modiY, kSprite, kSprite, v);
      RotaRasterTriangle(v, &tex, nest, c, view, view, 0, clip);
      RotaRasterTriangle(v + 1, &tex, nest, c, view, view, 0, clip);
    } else {
      RotaScanPixels(g, nest, c, view, view, tex);
    }
    benchmark::ClobberMemory();
  }
}

struct SdlScene {
  SDL_Surface* screen;
  SDL_Renderer* renderer;
  SDL_Texture* texture;
  explicit SdlScene(int depth) {
    Scene& s = Get(depth);
    screen = SDL_CreateRGBSurfaceWithFormatFrom(s.screen.data(), kScreenW, kScreenH, depth, kScreenW * s.bpp,
                                                depth == 32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565);
    renderer = SDL_CreateSoftwareRenderer(screen);
    SDL_Surface* sprite = SDL_CreateRGBSurfaceWithFormatFrom(s.straight.data(), kSprite, kSprite, 32, kSprite * 4,
                                                             SDL_PIXELFORMAT_ARGB8888);
    texture = SDL_CreateTextureFromSurface(renderer, sprite);
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest);
    SDL_FreeSurface(sprite);
  }
};

SdlScene& Sdl(int depth) {
  static SdlScene s32(32), s16(16);
  return depth == 32 ? s32 : s16;
}

void Sdl2(benchmark::State& state, int depth, double scale, bool mirror) {
  SdlScene& s = Sdl(depth);
  int size = int(kSprite * scale);
  SDL_Rect at{kCentreX - size / 2, kCentreY - size / 2, size, size};
  for (auto _ : state) {
    SDL_RenderCopyEx(s.renderer, s.texture, nullptr, &at, 30.0, nullptr, mirror ? SDL_FLIP_HORIZONTAL : SDL_FLIP_NONE);
    SDL_RenderFlush(s.renderer);
    benchmark::ClobberMemory();
  }
}

#ifdef VOMAK_HAVE_PIXMAN
void Pixman(benchmark::State& state, int depth, double scale, bool mirror) {
  Scene& s = Get(depth);
  pixman_image_t* screen = pixman_image_create_bits(depth == 32 ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5, kScreenW,
                                                    kScreenH, reinterpret_cast<uint32_t*>(s.screen.data()),
                                                    kScreenW * s.bpp);
  pixman_image_t* sprite =
      pixman_image_create_bits(PIXMAN_a8r8g8b8, kSprite, kSprite, s.premultiplied.data(), kSprite * 4);
  // Screen position to sprite position: turn back, shrink by the scale, mirror, centre on the sprite's middle.
  double c = std::cos(kAngle) / scale, n = std::sin(kAngle) / scale, m = mirror ? -1.0 : 1.0;
  pixman_transform_t t;
  pixman_transform_init_identity(&t);
  t.matrix[0][0] = pixman_double_to_fixed(m * c);
  t.matrix[0][1] = pixman_double_to_fixed(m * n);
  t.matrix[0][2] = pixman_double_to_fixed(32 - m * (c * kCentreX + n * kCentreY));
  t.matrix[1][0] = pixman_double_to_fixed(-n);
  t.matrix[1][1] = pixman_double_to_fixed(c);
  t.matrix[1][2] = pixman_double_to_fixed(32 - (-n * kCentreX + c * kCentreY));
  pixman_image_set_transform(sprite, &t);
  pixman_image_set_filter(sprite, PIXMAN_FILTER_NEAREST, nullptr, 0);
  RotaGeometry g;  // the same box as ours
  RotaComputeGeometry(kCentreX, kCentreY, scale, kAngle, kSprite, kSprite, false, {0, 0, kScreenW, kScreenH}, &g);
  int bx = g.box.left, by = g.box.top, bw = g.box.right - g.box.left, bh = g.box.bottom - g.box.top;
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, sprite, nullptr, screen, bx, by, 0, 0, bx, by, bw, bh);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(sprite);
  pixman_image_unref(screen);
}
#endif

const bool registered = [] {
  for (int depth : {32, 16}) {
    for (double scale : {1.0, 1.5}) {
      for (bool mirror : {false, true}) {
        std::string task = std::string(mirror ? "Rotate30Mirror_" : "Rotate30_") + (scale == 1.0 ? "x1_" : "x1.5_") +
                           (depth == 32 ? "32" : "565");
        // Ours is the pixel path alone, the peers' their public calls: the table leaves these rows out.
        auto reg = [&](const char* who, const char* method, auto fn) {
          benchmark::RegisterBenchmark((task + "/" + who).c_str(), [=](benchmark::State& s) {
            s.SetLabel(method);
            fn(s, depth, scale, mirror);
          });
        };
        reg("vomak", kInnerLoop, Vomak);
        reg("sdl2", kPublicCall, Sdl2);
#ifdef VOMAK_HAVE_PIXMAN
        reg("pixman", kPublicCall, Pixman);
#endif
      }
    }
  }
  return true;
}();

}  // namespace
