// The opaque pictures: the 7,200-pixel stage backdrop (space, a planet's ridges, a fortress, the boss arena), the
// three title cells and the splash.
#include <algorithm>
#include <cmath>
#include <future>

#include "assets.h"

namespace assetgen {
namespace {

// Where the stage changes along the backdrop's columns.
const int kWidth = 7200;
const int kHeight = 480;
const int kArena = 6539;       // from here the picture stands still: the boss arena
const int kArenaEnd = 7179;    // first column never seen
const int kHudTop = 34;        // rows kept dark for the boss bar and its label
const int kHudBottom = 438;    // rows from here kept dark for the score and shield lines
const float kTwoPiF = 6.2831853f;

float Lerp(float a, float b, float t) { return a + (b - a) * t; }

// Sky colour by column and row: deep space first, a violet dusk over the planet, a red glow near the fortress.
Rgba SkyAt(int x, int y) {
  float t = static_cast<float>(y) / kHeight;
  Rgba top = Rgb8(3, 3, 12), horizon = Rgb8(18, 16, 48);
  if (x > 1800) horizon = Mix(horizon, Rgb8(50, 26, 74), SmoothStep(1800, 3200, x));
  if (x > 4600) horizon = Mix(horizon, Rgb8(84, 26, 40), SmoothStep(4600, 6200, x));
  return Mix(top, horizon, std::pow(t, 1.6f));
}

// Ridge heights (y of the silhouette) for the three terrain layers; the ground rises into view after open space.
float Rise(int x) { return SmoothStep(1100, 2100, static_cast<float>(x)); }

float FarRidge(int x) {
  float n = Fbm(x * 0.0035f, 0.5f, 5, 11);
  float peaks = 1 - std::fabs(2 * Fbm(x * 0.007f, 1.5f, 3, 13) - 1);  // ridged: sharp summits
  return Lerp(560, 300 + 90 * n - 70 * peaks * peaks, Rise(x));
}

float MidRidge(int x) {
  float n = Fbm(x * 0.006f, 3.5f, 5, 23);
  return Lerp(600, 320 + 80 * n, Rise(x - 150));
}

float NearRidge(int x) {
  float n = Fbm(x * 0.011f, 7.5f, 5, 37);
  float crag = std::fabs(ValueNoise(x * 0.045f, 2.5f, 41) - 0.5f) * 2;  // sharp rocky peaks
  return Lerp(640, 372 + 46 * n - 16 * (1 - crag), Rise(x - 300));
}

// How a ridge faces the light from the upper left: 0 turned away .. 1 facing it.
float Facing(float (*ridge)(int), int x) { return Clamp01(0.5f - (ridge(x + 6) - ridge(x - 6)) * 0.12f); }

void Stars(Canvas& c, Random& random, int count, int x0, int x1) {
  for (int i = 0; i < count; ++i) {
    float x = random.Range(static_cast<float>(x0), static_cast<float>(x1)), y = random.Range(kHudTop + 4, 400);
    float kind = random.Unit();
    Rgba tint = Mix(Rgb8(170, 190, 255), Rgb8(255, 230, 200), random.Unit());
    if (kind < 0.8f) {
      c.AddLight(static_cast<int>(x), static_cast<int>(y), tint, random.Range(0.15f, 0.5f));  // far: faint points
    } else if (kind < 0.97f) {
      c.Glow(x, y, random.Range(1.5f, 2.5f), tint, random.Range(0.5f, 0.9f));
    } else {  // a few bright near stars with a cross glint
      c.Glow(x, y, 3.5f, tint, 1.0f);
      c.GlowEllipse(x, y, 9, 0.9f, tint, 0.5f);
      c.GlowEllipse(x, y, 0.9f, 9, tint, 0.5f);
    }
  }
}

// A banded gas giant with a thin atmosphere halo, lit from the upper left.
void Planet(Canvas& c, float cx, float cy, float r, Rgba light, Rgba dark, uint32_t seed) {
  c.Glow(cx, cy, r * 1.25f, Scale(light, 0.6f), 0.45f);
  for (int y = static_cast<int>(cy - r - 1); y <= cy + r + 1; ++y)
    for (int x = static_cast<int>(cx - r - 1); x <= cx + r + 1; ++x) {
      float dx = (x + 0.5f - cx) / r, dy = (y + 0.5f - cy) / r;
      float d2 = dx * dx + dy * dy;
      float cover = Coverage((std::sqrt(d2) - 1) * r);
      if (cover <= 0 || x < 0 || y < 0 || x >= c.width() || y >= c.height()) continue;
      float nz = std::sqrt(std::max(0.0f, 1 - d2));
      float lit = Clamp01(-0.6f * dx - 0.5f * dy + 0.62f * nz);
      float band = Fbm(dy * 5 + Fbm(dx * 3, dy * 3, 2, seed) * 0.7f, 0.3f, 4, seed + 5);
      Rgba surface = Mix(dark, light, 0.35f + 0.65f * band);
      Rgba col = Mix(Scale(dark, 0.15f), surface, std::pow(lit, 0.8f));
      col = Mix(col, Scale(light, 1.2f), std::pow(1 - nz, 3) * lit);  // bright limb
      col.a = 1;
      c.Blend(x, y, col, cover);
    }
}

// A distant spiral galaxy seen at a slant: a warm core and two bluish arms.
void Galaxy(Canvas& c, float cx, float cy, float radius, float tilt) {
  for (int y = static_cast<int>(cy - radius); y <= cy + radius; ++y)
    for (int x = static_cast<int>(cx - radius); x <= cx + radius; ++x) {
      float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
      float u = dx * std::cos(tilt) + dy * std::sin(tilt), v = (-dx * std::sin(tilt) + dy * std::cos(tilt)) * 2.6f;
      float r = std::sqrt(u * u + v * v) / radius;
      if (r >= 1) continue;
      float arms = std::pow(0.5f + 0.5f * std::cos(2 * std::atan2(v, u) - std::log(r + 0.02f) * 5), 3.0f);
      float light = std::exp(-r * 8) * 1.3f + arms * std::exp(-r * 2.5f) * 0.8f;
      c.AddLight(x, y, Mix(Rgb8(150, 170, 255), Rgb8(255, 220, 170), std::exp(-r * 6)), light * (1 - r));
    }
}

// A lumpy asteroid, shaded from the upper left, dimmer and bluer the farther it is (depth 0 near .. 1 far).
void Asteroid(Canvas& c, float cx, float cy, float r, float depth, uint32_t seed) {
  int size = static_cast<int>(r * 2.6f) + 4;
  Canvas rock(size, size);
  float m = size / 2.0f;
  float freq = 2.2f / r;
  Sdf shape = [=](float x, float y) {
    float lump = Fbm(x * freq + seed % 97, y * freq, 3, seed) - 0.5f;
    return std::hypot(x - m, y - m) - r * (1 + 0.6f * lump);
  };
  Rgba base = Mix(Rgb8(84, 68, 76), Rgb8(50, 48, 84), depth), light = Mix(Rgb8(170, 146, 150), Rgb8(90, 90, 130), depth);
  rock.Shade(shape, Material{base, light, Mix(Rgb8(18, 14, 22), Rgb8(16, 16, 36), depth), r * 1.2f, 0.05f});
  for (int y = 0; y < size; ++y)  // craters and grain
    for (int x = 0; x < size; ++x) {
      Rgba& p = rock.at(x, y);
      if (p.a <= 0) continue;
      float grain = Fbm(x * 0.5f / std::max(1.0f, r / 8), y * 0.5f / std::max(1.0f, r / 8), 3, seed + 7);
      p = Scale(p, 0.7f + 0.5f * grain);
      p.a *= 1 - 0.35f * depth;
    }
  c.Paste(rock, static_cast<int>(cx - m), static_cast<int>(cy - m));
}

// A lit window strip or beacon on a structure.
void Beacon(Canvas& c, float x, float y, Rgba colour) {
  c.Glow(x, y, 4, colour, 0.8f);
  c.AddLight(static_cast<int>(x), static_cast<int>(y), Rgb8(255, 255, 255), 0.9f);
}

// Towers, domes and antennae standing on the mid ridge from the outposts on; a fortress wall near the end.
void Structures(Canvas& c, Random& random) {
  for (int x = 3300; x < kArena - 200; x += static_cast<int>(random.Range(90, 220))) {
    float base = MidRidge(x) + 6;
    float kind = random.Unit();
    Rgba body = Rgb8(30, 26, 46), rim = Rgb8(120, 90, 150);
    if (kind < 0.45f) {
      float w = random.Range(10, 22), h = random.Range(50, 140) * (x > 5000 ? 1.5f : 1);
      c.Fill(RoundBox(x, base - h / 2, w / 2, h / 2, 2), body);
      c.Fill(RoundBox(x - w / 2 + 1, base - h / 2, 0.8f, h / 2 - 1, 0.5f), rim);
      for (float wy = base - h + 8; wy < base - 6; wy += 9)
        if (random.Unit() < 0.6f) c.AddLight(static_cast<int>(x + random.Range(-w / 3, w / 3)), static_cast<int>(wy),
                                            Rgb8(255, 210, 120), 0.8f);
      Beacon(c, x, base - h - 2, Rgb8(255, 60, 60));
    } else if (kind < 0.75f) {
      float r = random.Range(16, 34);
      c.Fill(Intersect(Circle(x, base, r), RoundBox(x, base - r / 2, r, r / 2, 0)), body);
      c.Fill(Subtract(Intersect(Circle(x, base, r), RoundBox(x, base - r / 2, r, r / 2, 0)),
                      Circle(x + 1.5f, base + 1.5f, r)), rim);
      Beacon(c, x, base - r - 1, Rgb8(80, 220, 255));
    } else {
      float h = random.Range(60, 110);
      c.Fill(Capsule(x, base, x, base - h, 1.8f, 0.8f), body);
      c.Fill(Capsule(x - 8, base - h * 0.7f, x + 8, base - h * 0.7f, 1, 1), body);
      Beacon(c, x, base - h, Rgb8(255, 90, 90));
    }
  }
}

// The fortress: a wall of plates with rows of lit windows, pipes and a lit crest, rising towards the arena.
void Fortress(Canvas& c) {
  for (int x = 5200; x < kArena + 40; ++x) {
    float rise = SmoothStep(5200, 5700, x);
    float top = Lerp(480, 318 - 46 * SmoothStep(5800, 6400, x), rise);
    int column = x % 96;
    bool pipe = column >= 40 && column < 48;
    for (int y = std::max(0, static_cast<int>(top)); y < kHeight; ++y) {
      float below = y - top;
      Rgba col = Mix(Rgb8(46, 40, 66), Rgb8(14, 12, 22), Clamp01(below / 160));
      col = Scale(col, 0.9f + 0.2f * ValueNoise(x * 0.3f, y * 0.02f, 61));
      if (column < 2) col = Scale(col, 0.55f);                    // seam between plates, in shadow
      else if (column < 4) col = Mix(col, Rgb8(120, 100, 150), 0.35f);  // its lit lip
      if (pipe) {
        float round = std::sin((column - 40 + 0.5f) / 8 * 3.14159f);
        col = Mix(Rgb8(30, 26, 40), Rgb8(150, 130, 170), round * round * Clamp01(1 - below / 200));
      }
      int row = static_cast<int>(below) % 34;
      bool window = !pipe && row >= 14 && row < 18 && column % 12 >= 6 && column % 12 < 10 && y < kHudBottom - 8;
      if (window && ValueNoise(x / 12, y / 34, 67) > 0.35f)
        col = Mix(Rgb8(255, 190, 90), Rgb8(255, 120, 60), ValueNoise(x / 12 * 3.0f, y / 34 * 3.0f, 68));
      if (below < 3) col = Mix(Rgb8(210, 150, 190), col, below / 3);  // the crest catches the red sky
      c.at(x, y) = col;
    }
  }
  for (int x = 5300; x < kArena; x += 96) {
    float top = Lerp(480, 318 - 46 * SmoothStep(5800, 6400, x), SmoothStep(5200, 5700, x));
    if (top < 420) Beacon(c, x + 44, top - 3, Rgb8(255, 70, 50));
  }
}

// The boss arena: a reactor ring blazing behind the boss's orbit, a hall of lit panels, a dark mirror floor.
void Arena(Canvas& c) {
  const float cx = kArena + 430, cy = 196, floorY = 384;
  ParallelRows(kHeight, [&](int y) {
    for (int x = kArena - 60; x < kWidth; ++x) {
      float fade = SmoothStep(kArena - 60, kArena + 40, x);
      // A point on the floor mirrors the wall above the horizon.
      float wy = y < floorY ? y : floorY - (y - floorY) * 1.6f;
      float dx = x + 0.5f - cx, dy = wy + 0.5f - cy;
      float r = std::sqrt(dx * dx + dy * dy);
      float glow = std::exp(-r / 150);
      Rgba wall = Mix(Rgb8(12, 6, 22), Rgb8(60, 18, 52), glow);
      // Panels: bevelled columns lit from the reactor's side, seams every 120 rows.
      int panel = (x - kArena) % 80;
      float side = dx > 0 ? 1.0f : -1.0f;
      if (panel < 3) wall = Mix(wall, side < 0 ? Rgb8(14, 8, 22) : Rgb8(110, 50, 110), 0.25f + 0.35f * glow);
      if (panel > 76) wall = Mix(wall, side > 0 ? Rgb8(14, 8, 22) : Rgb8(110, 50, 110), 0.25f + 0.35f * glow);
      if (static_cast<int>(wy) % 120 < 2) wall = Mix(wall, Rgb8(20, 8, 28), 0.7f);
      wall = Scale(wall, 0.9f + 0.2f * ValueNoise(x * 0.05f, wy * 0.05f, 71));
      // The reactor: dark core with a hot heart, a blazing ring with bloom, an outer violet ring, spokes.
      float ring = std::fabs(r - 150);
      wall = Mix(wall, Rgb8(30, 6, 30), Clamp01((146 - r) / 10) * 0.6f);
      wall = Mix(wall, Rgb8(255, 120, 200), std::exp(-r / 26) * 0.9f);
      wall = Mix(wall, Rgb8(255, 90, 140), std::exp(-ring / 14) * 0.7f);
      wall = Mix(wall, Rgb8(255, 230, 240), Clamp01(1 - ring / 2.5f));
      wall = Mix(wall, Rgb8(150, 50, 190), std::exp(-std::fabs(r - 190) / 5) * 0.7f);
      float angle = std::atan2(dy, dx) * 12 / kTwoPiF;
      float spoke = std::fabs(angle - std::round(angle));
      if (r > 156 && r < 240) wall = Mix(wall, Rgb8(220, 90, 180), Clamp01(1 - spoke * 40) * (1 - (r - 156) / 84) * 0.8f);
      if (y >= floorY) {
        float depth = (y - floorY + 1.0f) / (kHeight - floorY);
        Rgba floor = Mix(Scale(wall, 0.35f), Rgb8(8, 4, 14), Clamp01(depth * 1.2f));
        float lane = (x - cx) / (0.05f + depth) / 90;
        float line = Clamp01(1 - std::fabs(lane - std::round(lane)) * 90 * (0.05f + depth) * 0.5f);
        float across = std::fabs(std::fmod(std::log(depth) * 4 + 100, 1.0f) - 0.5f);
        float grid = std::max(line, Clamp01(1 - across * 14)) * SmoothStep(0.06f, 0.3f, depth);
        floor = Mix(floor, Rgb8(200, 70, 190), grid * 0.45f * (1 - depth * 0.6f));
        if (y < floorY + 2) floor = Rgb8(230, 120, 200);  // the horizon's lit edge
        wall = floor;
      }
      // Pillars frame the hall at its two edges.
      for (float px : {kArena + 40.0f, kArena + 600.0f}) {
        float d = (x - px) / 24;
        if (std::fabs(d) < 1) {
          float shade = Clamp01(0.6f - d * 0.8f * (px < cx ? -1 : 1));
          wall = Mix(Rgb8(12, 10, 20), Rgb8(76, 62, 100), shade * std::sqrt(1 - d * d));
        }
      }
      c.at(x, y) = Mix(c.at(x, y), wall, fade);
    }
  });
}

// Text with a vertical gradient, a dark rim and an outer glow, centred at cx with its ink's top at y.
void Title(Canvas& c, const Lettering& font, const std::string& text, int size, int cx, int y, Rgba top, Rgba bottom,
           Rgba glow, float glowStrength, float spacing = 0) {
  Mask ink = font.Render(text, size, spacing);
  int x = cx - ink.width / 2;
  if (glowStrength > 0) {
    int radius = std::max(3, size / 8);
    LightMask(c, Blur(ink, radius), x - radius, y - radius, glow, glowStrength);
  }
  int rim = std::max(1, size / 30);
  PaintMask(c, Dilate(ink, rim), x - rim, y - rim, [](int, int) { return Rgb8(8, 8, 20); });
  PaintMask(c, ink, x, y, [&](int, int my) { return Mix(top, bottom, static_cast<float>(my) / ink.height); });
}

// Deep space for the title and the splash: gradient, nebula, stars.
Canvas SpaceBackdrop(uint64_t seed, Rgba nebulaA, Rgba nebulaB) {
  Canvas c(640, 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      Rgba col = Mix(Rgb8(2, 2, 10), Rgb8(14, 10, 36), static_cast<float>(y) / 480);
      float n = Fbm(x * 0.006f, y * 0.008f, 5, static_cast<uint32_t>(seed));
      float hue = Fbm(x * 0.003f + 7, y * 0.003f, 3, static_cast<uint32_t>(seed) + 9);
      float cloud = std::pow(Clamp01((n - 0.42f) * 2.2f), 1.7f);
      Rgba neb = Mix(nebulaA, nebulaB, hue);
      col = Mix(col, neb, cloud * 0.55f);
      col.a = 1;
      c.at(x, y) = col;
    }
  Random random(seed);
  for (int i = 0; i < 420; ++i) {
    float x = random.Range(0, 640), y = random.Range(0, 480);
    Rgba tint = Mix(Rgb8(170, 190, 255), Rgb8(255, 230, 200), random.Unit());
    if (random.Unit() < 0.85f)
      c.AddLight(static_cast<int>(x), static_cast<int>(y), tint, random.Range(0.2f, 0.6f));
    else
      c.Glow(x, y, random.Range(1.5f, 3), tint, 0.9f);
  }
  return c;
}

Canvas Backdrop(uint64_t seed) {
  Canvas c(kWidth, kHeight);
  ParallelRows(kHeight, [&](int y) {
    for (int x = 0; x < kWidth; ++x) {
      Rgba col = SkyAt(x, y);
      if (y > kHudTop) {
        float n = Fbm(x * 0.0025f, y * 0.005f, 5, static_cast<uint32_t>(seed));
        float hue = ValueNoise(x * 0.0012f, y * 0.002f, static_cast<uint32_t>(seed) + 3);
        float cloud = std::pow(Clamp01((n - 0.45f) * 2.4f), 1.6f) * SmoothStep(kHudTop, 110, y);
        Rgba neb = Mix(Rgb8(60, 40, 140), Rgb8(150, 50, 120), hue);
        if (x > 4600) neb = Mix(neb, Rgb8(170, 60, 50), SmoothStep(4600, 6000, x));
        col = Mix(col, neb, cloud * 0.5f);
      }
      c.at(x, y) = col;
    }
  });
  Random random(seed + 1);
  Stars(c, random, 5200, 0, kArena);
  Planet(c, 880, 190, 118, Rgb8(240, 180, 140), Rgb8(110, 50, 90), static_cast<uint32_t>(seed) + 40);
  Planet(c, 2700, 120, 36, Rgb8(170, 200, 255), Rgb8(40, 60, 120), static_cast<uint32_t>(seed) + 41);
  Galaxy(c, 1560, 120, 100, -0.35f);
  Galaxy(c, 3900, 80, 34, 0.5f);
  // A drifting field of asteroids in open space, far ones small and faint, near ones large and sharp.
  for (int i = 0; i < 34; ++i) {
    float depth = random.Unit();
    float x = random.Range(250, 2100), y = random.Range(kHudTop + 30, 380 - 120 * Rise(static_cast<int>(x)));
    Asteroid(c, x, y, Lerp(16, 4, depth) * random.Range(0.7f, 1.3f), depth, static_cast<uint32_t>(seed) + 500 + i);
  }
  // The three ridges, far (hazy, close to the sky's colour) to near (dark, textured, with a bright rim).
  for (int x = 0; x < kArena + 80; ++x) {
    float far = FarRidge(x), mid = MidRidge(x), lit = Facing(FarRidge, x);
    for (int y = std::max(0, static_cast<int>(far)); y < kHeight; ++y) {
      float t = Clamp01((y - far) / 160);
      float strata = Fbm(x * 0.004f, y * 0.03f, 3, 83);
      Rgba col = Mix(Rgb8(64, 54, 108), Rgb8(30, 26, 60), t);
      col = Scale(col, 0.75f + 0.5f * strata + 0.3f * (lit - 0.5f) * std::exp(-(y - far) / 24));
      col = Mix(col, SkyAt(x, static_cast<int>(far)), 0.3f);
      if (y - far < 1.5f) col = Mix(col, Rgb8(150, 120, 190), 0.6f * lit);
      c.at(x, y) = col;
    }
    lit = Facing(MidRidge, x);
    for (int y = std::max(0, static_cast<int>(mid)); y < kHeight; ++y) {
      float t = Clamp01((y - mid) / 110);
      float rock = Fbm(x * 0.02f, y * 0.07f, 4, 91);
      Rgba col = Mix(Rgb8(58, 42, 86), Rgb8(20, 15, 34), t);
      col = Scale(col, 0.7f + 0.55f * rock + 0.4f * (lit - 0.5f) * std::exp(-(y - mid) / 20));
      if (y - mid < 2) col = Mix(col, Rgb8(170, 120, 180), lit);
      c.at(x, y) = col;
    }
  }
  // Settlements on the mid ridge: scattered warm lights.
  for (int i = 0; i < 500; ++i) {
    float x = random.Range(2400, 5300);
    float y = MidRidge(static_cast<int>(x)) + random.Range(6, 40);
    if (y < kHudBottom - 20) c.Glow(x, y, random.Range(1.2f, 2.2f), Rgb8(255, 200, 120), random.Range(0.4f, 0.9f));
  }
  Structures(c, random);
  Fortress(c);
  // Low mist drifting between the far layers and the near rocks.
  for (int x = 0; x < kArena + 80; ++x) {
    float near = NearRidge(x);
    for (int y = std::max(kHudTop, static_cast<int>(near) - 50); y < std::min(kHeight, static_cast<int>(near)); ++y) {
      float band = SmoothStep(near - 50, near - 8, y);
      float mist = Fbm(x * 0.006f, y * 0.04f, 4, 131) * band;
      c.at(x, y) = Mix(c.at(x, y), Mix(Rgb8(90, 70, 140), Rgb8(150, 70, 90), SmoothStep(4600, 6200, x)), mist * 0.3f);
    }
  }
  for (int x = 0; x < kArena + 80; ++x) {
    float near = NearRidge(x), lit = Facing(NearRidge, x);
    for (int y = std::max(0, static_cast<int>(near)); y < kHeight; ++y) {
      float t = Clamp01((y - near) / 60);
      float rock = Fbm(x * 0.06f, y * 0.06f, 4, 97);
      float crack = std::fabs(ValueNoise(x * 0.03f, y * 0.09f, 99) - 0.5f);
      Rgba col = Mix(Rgb8(46, 34, 58), Rgb8(12, 9, 18), t);
      col = Scale(col, 0.6f + 0.7f * rock + 0.5f * (lit - 0.5f) * std::exp(-(y - near) / 12));
      if (crack < 0.03f) col = Scale(col, 0.6f);
      if (y - near < 3) col = Mix(Rgb8(230, 160, 190), col, Clamp01((y - near) / 3 + (1 - lit) * 0.7f));
      c.at(x, y) = col;
    }
  }
  Arena(c);
  // Quiet strips for the HUD: the bottom band and the top rows stay dark everywhere.
  for (int x = 0; x < kWidth; ++x) {
    for (int y = 0; y < kHudTop + 10; ++y)
      c.at(x, y) = Mix(c.at(x, y), Rgb8(4, 4, 12), 0.7f * (1 - SmoothStep(kHudTop - 6, kHudTop + 10, y)));
    for (int y = kHudBottom - 30; y < kHeight; ++y)
      c.at(x, y) = Mix(c.at(x, y), Rgb8(6, 5, 12), 0.7f * SmoothStep(kHudBottom - 30, kHudBottom, y));
  }
  // Columns past the last one seen repeat it.
  for (int x = kArenaEnd; x < kWidth; ++x)
    for (int y = 0; y < kHeight; ++y) c.at(x, y) = c.at(kArenaEnd - 1, y);
  return c;
}

Canvas TitleCell(const Lettering& font, const Canvas& base, int lit) {
  Canvas c = base;
  const int entryY[2] = {286, 346};
  const char* entries[2] = {"START", "EXIT"};
  for (int i = 0; i < 2; ++i) {
    bool on = lit == i + 1;
    Rgba top = on ? Rgb8(255, 255, 235) : Rgb8(120, 130, 170);
    Rgba bottom = on ? Rgb8(255, 200, 80) : Rgb8(80, 86, 130);
    Title(c, font, entries[i], 38, 320, entryY[i], top, bottom, Rgb8(255, 150, 60), on ? 0.9f : 0, 4);
    if (on) {
      for (int side : {-1, 1}) {
        float ax = 320 + side * 96.0f, ay = entryY[i] + 14.0f;
        c.Fill(Polygon({{ax - side * 10.0f, ay - 9}, {ax + side * 2.0f, ay}, {ax - side * 10.0f, ay + 9}}),
               Rgb8(255, 220, 120));
        c.Glow(ax - side * 4.0f, ay, 12, Rgb8(255, 160, 60), 0.5f);
      }
    }
  }
  return c;
}

}  // namespace

std::vector<Picture> MakeScenery(const Lettering& font, uint64_t seed) {
  std::vector<Picture> out;
  auto backdrop = std::async(std::launch::async, [seed] { return Backdrop(seed + 100); });

  Canvas title = SpaceBackdrop(seed + 200, Rgb8(40, 80, 190), Rgb8(170, 50, 150));
  Planet(title, 560, 560, 230, Rgb8(120, 170, 255), Rgb8(30, 30, 90), static_cast<uint32_t>(seed) + 201);
  // The high-score reset message is written in white at (200, 225): the sky behind it fades to a soft dark patch.
  for (int y = 180; y < 290; ++y)
    for (int x = 100; x < 540; ++x) {
      float r = std::hypot((x - 312) / 190.0f, (y - 233) / 40.0f);
      title.at(x, y) = Mix(title.at(x, y), Rgb8(3, 3, 12), 0.85f * (1 - SmoothStep(0.55f, 1.0f, r)));
    }
  Canvas ship(640, 480);
  DrawShip(ship, 36, 146, 1.9f, 1.0f);
  title.Paste(ship, 0, 0);
  Title(title, font, "QELT", 132, 336, 44, Rgb8(235, 250, 255), Rgb8(60, 120, 255), Rgb8(60, 120, 255), 1.0f, 10);
  Title(title, font, "STAGE 1  -  THE OUTER RIM", 15, 336, 186, Rgb8(170, 190, 230), Rgb8(120, 140, 200),
        Rgb8(0, 0, 0), 0, 3);
  Title(title, font, "ARROWS  MOVE      C  FIRE      X  SELECT", 13, 320, 448, Rgb8(110, 120, 160),
        Rgb8(90, 96, 140), Rgb8(0, 0, 0), 0, 2);
  out.push_back({"p0002.gph", Sheet({TitleCell(font, title, 0), TitleCell(font, title, 1), TitleCell(font, title, 2)}, 1),
                 false});

  Canvas splash = SpaceBackdrop(seed + 300, Rgb8(30, 50, 120), Rgb8(90, 40, 120));
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) splash.at(x, y) = Scale(splash.at(x, y), 0.6f);
  Planet(splash, 320, 215, 70, Rgb8(255, 200, 150), Rgb8(120, 50, 80), static_cast<uint32_t>(seed) + 301);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      float r = std::hypot((x - 320.0f) / 120, (y - 215.0f) / 26);
      float ring = Clamp01(1 - std::fabs(r - 1) * 14);
      bool behind = y < 215 && std::hypot(x - 320.0f, y - 215.0f) < 70;
      if (ring > 0 && !behind) splash.at(x, y) = Mix(splash.at(x, y), Rgb8(255, 230, 200), ring * 0.9f);
    }
  Title(splash, font, "QELT PROJECT", 34, 320, 330, Rgb8(255, 245, 230), Rgb8(230, 170, 120), Rgb8(255, 140, 60),
        0.6f, 8);
  Title(splash, font, "MADE ENTIRELY BY CODE", 13, 320, 384, Rgb8(150, 150, 180), Rgb8(120, 120, 160), Rgb8(0, 0, 0), 0,
        4);
  out.push_back({"p0001.gph", std::move(splash), false});
  out.push_back({"j0001.gph", backdrop.get(), false});
  return out;
}

}  // namespace assetgen
