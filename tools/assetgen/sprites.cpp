// The sprites: shaded craft with dark outlines and engine glows, soft-edged orbs and bolts, flashes and items.
// Every body colour stays above the black key; fully transparent pixels are black.
#include <algorithm>
#include <array>
#include <cmath>

#include "assets.h"

namespace assetgen {
namespace {

using Points = std::vector<std::pair<float, float>>;

const Rgba kEdge = Rgb8(26, 22, 44);  // the outline: dark violet, well above the key
const int kKeyMargin = 16;

// Points placed at (x, y) + scale * p.
Points Place(const Points& points, float x, float y, float scale) {
  Points out;
  for (auto [px, py] : points) out.push_back({x + px * scale, y + py * scale});
  return out;
}

Material Metal(Rgba base, Rgba light, Rgba dark, float bevel, float gloss = 0.6f) { return {base, light, dark, bevel, gloss}; }

// Finishes a craft: outline around the silhouette, then nothing darker than the key margin.
void Finish(Canvas& c, float outline = 1.2f) {
  c.Outline(kEdge, outline);
  c.LiftDark(kKeyMargin);
}

// A round orb: a glowing halo with a soft edge, a solid bright body, a white core.
Canvas Orb(int size, Rgba halo, Rgba body, Rgba core) {
  Canvas c(size, size);
  float m = size / 2.0f;
  c.Glow(m, m, m, halo, 1.0f);
  c.Fill(Circle(m, m, m * 0.62f), body);
  c.Glow(m - m * 0.12f, m - m * 0.12f, m * 0.55f, core, 1.2f);
  c.LiftDark(kKeyMargin);
  return c;
}

// The enemies' aimed bullet. Its load leaves it 8 pixels, so it spends them all: a dark rim that parts it from the
// bright ridges, stars and the arena's ring, a hot chartreuse body (the complement of the violet backdrop, and a
// colour no star, craft or other bullet has) and a white-hot core that glows out into it.
Canvas EnemyBullet() {
  Canvas c(8, 8);
  c.Fill(Circle(4, 4, 4.0f), Rgb8(40, 64, 0));
  c.Fill(Circle(4, 4, 3.1f), Rgb8(200, 255, 30));
  c.Glow(4, 4, 2.8f, Rgb8(255, 255, 200), 1.6f);
  c.LiftDark(kKeyMargin);
  return c;
}

Canvas ShotBolt() {
  Canvas c(20, 8);
  c.GlowEllipse(10, 4, 10, 4, Rgb8(60, 200, 255), 1.6f);
  c.GlowEllipse(11, 4, 8, 2.6f, Rgb8(150, 235, 255), 1.6f);
  c.GlowEllipse(13, 4, 6, 1.4f, Rgb8(255, 255, 255), 1.4f);
  c.Fill(Capsule(8, 4, 17.5f, 4, 0.7f, 1.0f), Rgb8(235, 250, 255));
  c.LiftDark(kKeyMargin);
  return c;
}

Canvas EnemyCraft(bool lit) {
  Canvas c(64, 64);
  Material armour = Metal(Rgb8(176, 62, 76), Rgb8(255, 170, 160), Rgb8(70, 24, 44), 5);
  Material plate = Metal(Rgb8(120, 120, 140), Rgb8(230, 230, 245), Rgb8(48, 44, 66), 3);
  // Rear engine pods, then the body over them.
  c.Shade(Capsule(38, 22, 58, 20, 5, 4), plate);
  c.Shade(Capsule(38, 48, 58, 50, 5, 4), plate);
  c.Shade(Polygon({{30, 14}, {46, 18}, {40, 26}, {26, 24}}), armour);
  c.Shade(Polygon({{30, 56}, {46, 52}, {40, 44}, {26, 46}}), armour);
  c.Shade(Ellipse(30, 35, 24, 15), armour);
  c.Shade(Polygon({{1, 35}, {14, 26}, {20, 35}, {14, 44}}), plate);
  c.Shade(RoundBox(34, 35, 10, 3, 2), Metal(Rgb8(90, 30, 50), Rgb8(200, 90, 110), Rgb8(50, 20, 36), 2));
  Finish(c);
  // The eye and the engines: bright in the lit frame.
  float power = lit ? 1.0f : 0.55f;
  c.Fill(Circle(17, 33, 4.2f), Rgb8(255, 80 + (lit ? 120 : 0), 40));
  c.Glow(17, 33, 8, Rgb8(255, 200, 120), 0.9f * power);
  c.Glow(16, 32, 2.5f, Rgb8(255, 255, 230), 1.2f);
  for (float y : {21.0f, 49.0f}) {
    c.GlowEllipse(60, y, lit ? 6 : 4, 4, Rgb8(255, 150, 40), 1.1f * power);
    c.GlowEllipse(61, y, 2.5f, 2, Rgb8(255, 240, 200), power);
  }
  c.LiftDark(kKeyMargin);
  return c;
}

// Formation B: slim green darts that weave in sine waves.
Canvas DartFlyer(bool lit) {
  Canvas c(42, 48);
  Material hull = Metal(Rgb8(70, 190, 110), Rgb8(200, 255, 200), Rgb8(24, 70, 50), 4);
  Material fin = Metal(Rgb8(40, 120, 90), Rgb8(140, 230, 180), Rgb8(20, 50, 40), 3);
  float flap = lit ? 0 : 2;
  c.Shade(Polygon({{14, 25}, {28, 14 + flap}, {31, 15 + flap}, {25, 27}}), fin);
  c.Shade(Polygon({{14, 31}, {28, 42 - flap}, {31, 41 - flap}, {25, 29}}), fin);
  c.Shade(Polygon({{1, 28}, {12, 22}, {30, 24}, {33, 28}, {30, 32}, {12, 34}}), hull);
  c.Shade(Ellipse(12, 27, 5, 2.4f), Metal(Rgb8(230, 240, 120), Rgb8(255, 255, 230), Rgb8(90, 100, 40), 2, 1));
  Finish(c);
  c.GlowEllipse(36, 28, lit ? 6 : 4.5f, 3.5f, Rgb8(120, 255, 170), lit ? 1.1f : 0.8f);
  c.Glow(35, 28, 2, Rgb8(240, 255, 240), 1);
  c.LiftDark(kKeyMargin);
  return c;
}

// Formation A: violet hunters, a round shell with three claws and a red eye.
Canvas HunterPod(bool lit) {
  Canvas c(42, 48);
  Material shell = Metal(Rgb8(150, 80, 210), Rgb8(235, 190, 255), Rgb8(52, 26, 84), 5);
  Material claw = Metal(Rgb8(200, 190, 210), Rgb8(255, 255, 255), Rgb8(70, 60, 90), 2);
  float open = lit ? 3 : 0;
  c.Shade(Polygon({{12, 20}, {2, 12 - open}, {18, 16}}), claw);
  c.Shade(Polygon({{12, 36}, {2, 44 + open}, {18, 40}}), claw);
  c.Shade(Polygon({{24, 28}, {34, 22}, {34, 34}}), claw);
  c.Shade(Circle(16, 28, 11.5f), shell);
  c.Shade(Circle(13, 28, 5.5f), Metal(Rgb8(60, 30, 70), Rgb8(140, 90, 160), Rgb8(30, 18, 40), 2));
  Finish(c);
  c.Fill(Circle(12.5f, 28, 3), Rgb8(255, 60, 60));
  c.Glow(12.5f, 28, lit ? 8 : 6, Rgb8(255, 90, 80), lit ? 1.0f : 0.7f);
  c.Glow(11.5f, 27, 1.8f, Rgb8(255, 240, 230), 1.2f);
  c.GlowEllipse(36, 28, 5, 3, Rgb8(230, 120, 255), lit ? 0.9f : 0.5f);
  c.LiftDark(kKeyMargin);
  return c;
}

// The mid-boss: an armoured pod whose great eye opens (cell 2), half opens (1) and closes (0).
Canvas MidBoss(int opening) {
  Canvas c(100, 74);
  Material hull = Metal(Rgb8(90, 120, 150), Rgb8(210, 235, 255), Rgb8(34, 44, 66), 7);
  Material armour = Metal(Rgb8(160, 150, 120), Rgb8(255, 245, 210), Rgb8(64, 56, 44), 4);
  c.Shade(Capsule(70, 12, 96, 8, 6, 4), armour);
  c.Shade(Capsule(70, 62, 96, 66, 6, 4), armour);
  c.Shade(Ellipse(56, 37, 40, 30), hull);
  c.Shade(Polygon({{3, 37}, {22, 16}, {30, 37}, {22, 58}}), armour);
  // The eye socket, the iris when open, and the lids.
  c.Shade(Circle(56, 32, 15), Metal(Rgb8(40, 40, 60), Rgb8(110, 110, 140), Rgb8(24, 24, 36), 3));
  if (opening > 0) {
    float lid = opening == 2 ? 13 : 6;
    Sdf socket = Intersect(Circle(56, 32, 13), RoundBox(56, 32, 14, lid, lid * 0.8f));
    c.Fill(socket, Rgb8(255, 220, 120));
    c.Fill(Intersect(socket, Circle(54, 32, 8)), Rgb8(230, 40, 40));
    c.Fill(Intersect(socket, Circle(53, 32, 3.5f)), Rgb8(40, 16, 24));
  }
  Sdf lids = Subtract(Circle(56, 32, 13.5f), RoundBox(56, 32, 14, opening == 2 ? 13 : 6, 5));
  if (opening == 0) lids = Circle(56, 32, 13.5f);
  c.Shade(lids, armour);
  if (opening == 0) {  // where the two lids meet
    c.Fill(RoundBox(56, 32, 13, 0.8f, 0.8f), Rgb8(50, 44, 36));
    c.Fill(RoundBox(56, 33.6f, 12, 0.5f, 0.5f), Rgb8(255, 240, 200));
  }
  c.Shade(Circle(45, 58, 7), Metal(Rgb8(70, 70, 90), Rgb8(170, 170, 200), Rgb8(30, 30, 44), 3));
  Finish(c, 1.4f);
  if (opening > 0) c.Glow(54, 32, opening == 2 ? 16 : 10, Rgb8(255, 80, 60), 0.8f);
  c.Glow(45, 58, 6, Rgb8(120, 200, 255), 1.0f);
  c.Glow(45, 58, 2.5f, Rgb8(240, 250, 255), 1.0f);
  for (float y : {10.0f, 64.0f}) c.GlowEllipse(98, y, 5, 4, Rgb8(120, 200, 255), 0.9f);
  c.LiftDark(kKeyMargin);
  return c;
}

// The boss: a battleship facing left, the cannon at its nose (y 31), a glowing core behind it, a ring port below.
Canvas Boss() {
  Canvas c(100, 70);
  Material hull = Metal(Rgb8(120, 104, 160), Rgb8(225, 210, 255), Rgb8(42, 32, 66), 7);
  Material plate = Metal(Rgb8(180, 170, 150), Rgb8(255, 250, 230), Rgb8(70, 62, 54), 4);
  Material barrel = Metal(Rgb8(140, 140, 160), Rgb8(250, 250, 255), Rgb8(50, 50, 64), 3, 0.9f);
  c.Shade(Polygon({{60, 2}, {90, 6}, {98, 16}, {78, 18}}), plate);
  c.Shade(Polygon({{60, 68}, {90, 64}, {98, 54}, {78, 52}}), plate);
  c.Shade(Polygon({{18, 18}, {50, 6}, {86, 10}, {98, 35}, {86, 60}, {50, 64}, {18, 52}, {12, 35}}), hull);
  c.Shade(Polygon({{52, 22}, {84, 20}, {92, 35}, {84, 50}, {52, 48}, {60, 35}}), plate);
  c.Shade(Capsule(3, 31, 34, 31, 4.5f, 6), barrel);
  c.Shade(RoundBox(5, 31, 3.5f, 7.5f, 2), plate);
  c.Shade(Circle(34, 31, 9), Metal(Rgb8(60, 140, 170), Rgb8(200, 255, 255), Rgb8(20, 50, 70), 4, 1));
  c.Shade(Circle(45, 58, 7.5f), Metal(Rgb8(70, 60, 90), Rgb8(170, 160, 200), Rgb8(30, 26, 40), 3));
  // Panel seams, vents and the exhaust bells, drawn before the outline so they sit in the hull.
  const Rgba seam = Rgb8(44, 34, 70), lip{0.85f, 0.8f, 1.0f, 0.45f};
  for (auto [x0, y0, x1, y1] : {std::array<float, 4>{22, 23, 48, 13}, {22, 47, 48, 57}, {48, 13, 48, 22}, {48, 57, 48, 48}}) {
    c.Fill(Capsule(x0, y0 + 1, x1, y1 + 1, 0.5f, 0.5f), lip);
    c.Fill(Capsule(x0, y0, x1, y1, 0.6f, 0.6f), seam);
  }
  for (int i = 0; i < 3; ++i) c.Fill(RoundBox(64 + i * 7.0f, 57, 2, 1, 0.8f), Rgb8(40, 30, 60));
  for (float y : {24.0f, 46.0f}) c.Shade(RoundBox(95, y, 3.5f, 5, 1.5f), plate);
  Finish(c, 1.5f);
  for (int i = 0; i < 4; ++i) c.Glow(56 + i * 8.0f, 14.5f, 2, Rgb8(120, 255, 220), 0.9f);
  c.Glow(34, 31, 14, Rgb8(90, 230, 255), 0.8f);
  c.Glow(33, 30, 4, Rgb8(240, 255, 255), 1.2f);
  c.Glow(45, 58, 6, Rgb8(255, 120, 80), 1.0f);
  c.Glow(2, 31, 5, Rgb8(255, 120, 200), 0.8f);
  for (float y : {24.0f, 46.0f}) {
    c.GlowEllipse(98, y, 7, 6, Rgb8(200, 140, 255), 1.0f);
    c.Glow(98.5f, y, 2.5f, Rgb8(250, 240, 255), 1.0f);
  }
  c.LiftDark(kKeyMargin);
  return c;
}

// A fireball: turbulent density, hot white core through yellow and orange to red rims and dark smoke, sparks.
Canvas Explosion(uint64_t seed) {
  Canvas c(100, 70);
  const Rgba ramp[5] = {Rgb8(70, 34, 40), Rgb8(210, 60, 24), Rgb8(255, 150, 40), Rgb8(255, 230, 130),
                        Rgb8(255, 255, 240)};
  uint32_t s = static_cast<uint32_t>(seed);
  for (int y = 0; y < 70; ++y)
    for (int x = 0; x < 100; ++x) {
      float u = (x + 0.5f - 50) / 47, v = (y + 0.5f - 35) / 33;
      float d = std::sqrt(u * u + v * v);
      float warp = Fbm(x * 0.07f, y * 0.07f, 4, s);
      float density = Clamp01((1 - d) * 1.6f + (warp - 0.5f) * 1.4f);
      if (density <= 0) continue;
      float heat = density * 4 * (1 - 0.3f * Fbm(x * 0.15f + 9, y * 0.15f, 3, s + 3));
      int i = std::min(3, static_cast<int>(heat));
      Rgba col = Mix(ramp[i], ramp[i + 1], Clamp01(heat - i));
      col.a = Clamp01(density * 2.2f);
      c.Blend(x, y, col, 1);
    }
  c.Glow(50, 35, 22, Rgb8(255, 250, 220), 0.9f);
  Random random(seed);
  for (int i = 0; i < 22; ++i) {
    float a = random.Range(0, 6.283f), r = random.Range(26, 36);
    float x = 50 + std::cos(a) * r * 1.35f, y = 35 + std::sin(a) * r * 0.92f;
    c.Glow(x, y, random.Range(2, 3.5f), Rgb8(255, 220, 140), 1);
    c.AddLight(static_cast<int>(x), static_cast<int>(y), Rgb8(255, 255, 230), 1);
  }
  c.LiftDark(kKeyMargin);
  return c;
}

// The hit flash, centred in a 70 by 70 cell: a white-blue burst with rays, three sizes.
Canvas HitFlash(float size) {
  Canvas c(70, 70);
  c.Glow(35, 35, 34 * size, Rgb8(80, 140, 255), 0.9f);
  c.Glow(35, 35, 22 * size, Rgb8(190, 220, 255), 1.0f);
  c.Glow(35, 35, 10 * size, Rgb8(255, 255, 255), 1.4f);
  for (int i = 0; i < 8; ++i) {
    float a = i * 0.785f + 0.2f;
    float len = (i % 2 ? 22 : 33) * size;
    for (float t = 0; t < len; t += 0.5f)
      c.Glow(35 + std::cos(a) * t, 35 + std::sin(a) * t, 1.6f * (1 - t / len) + 0.4f, Rgb8(220, 235, 255),
             0.5f * (1 - t / len));
  }
  c.LiftDark(kKeyMargin);
  return c;
}

// An item capsule, 25 by 20, with its letter.
Canvas Capsule25(const Lettering& font, const char* letter, Rgba base, Rgba light, Rgba dark) {
  Canvas c(25, 20);
  c.Shade(RoundBox(12.5f, 10, 11.5f, 8.5f, 7.5f), Metal(base, light, dark, 4, 1));
  Finish(c, 1.0f);
  Mask glyph = font.Render(letter, 15);
  int gx = (25 - glyph.width) / 2, gy = (20 - glyph.height) / 2;
  PaintMask(c, Dilate(glyph, 1), gx - 1, gy - 1, [&](int, int) { return kEdge; });
  PaintMask(c, glyph, gx, gy, [](int, int) { return Rgb8(255, 255, 255); });
  c.LiftDark(kKeyMargin);
  return c;
}

}  // namespace

Canvas Sheet(const std::vector<Canvas>& cells, int columns) {
  int rows = (static_cast<int>(cells.size()) + columns - 1) / columns;
  Canvas sheet(cells[0].width() * columns, cells[0].height() * rows);
  for (size_t i = 0; i < cells.size(); ++i) {
    int cx = static_cast<int>(i) % columns, cy = static_cast<int>(i) / columns;
    for (int y = 0; y < cells[i].height(); ++y)
      for (int x = 0; x < cells[i].width(); ++x)
        sheet.at(cx * cells[0].width() + x, cy * cells[0].height() + y) = cells[i].at(x, y);
  }
  return sheet;
}

void DrawShip(Canvas& c, float x, float y, float s, float flame) {
  Material hull = Metal(Rgb8(206, 214, 230), Rgb8(255, 255, 255), Rgb8(70, 80, 116), 5 * s);
  Material wing = Metal(Rgb8(60, 110, 225), Rgb8(170, 210, 255), Rgb8(26, 40, 100), 3 * s);
  Material dark = Metal(Rgb8(90, 96, 120), Rgb8(190, 196, 220), Rgb8(40, 42, 60), 2 * s);
  auto at = [&](Points p) { return Polygon(Place(p, x, y, s)); };
  c.Shade(at({{20, 10}, {36, 10}, {25, 1.5f}, {16, 1.5f}}), wing);
  c.Shade(at({{20, 20}, {38, 20}, {27, 28.5f}, {17, 28.5f}}), wing);
  c.Shade(Capsule(x + 32 * s, y + 22.5f * s, x + 52 * s, y + 22.5f * s, 2 * s, 1.8f * s), dark);
  c.Shade(RoundBox(x + 11 * s, y + 15 * s, 3.5f * s, 4.2f * s, 1.5f * s), dark);
  c.Shade(at({{12, 12}, {24, 9}, {38, 8}, {52, 11}, {63, 15}, {52, 18.5f}, {38, 20.5f}, {24, 20.5f}, {12, 18.5f}}),
          hull);
  c.Shade(at({{24, 13}, {48, 13}, {52, 15}, {48, 16}, {24, 16}}), Metal(Rgb8(230, 60, 70), Rgb8(255, 170, 160),
                                                                         Rgb8(110, 20, 40), 1.5f * s));
  c.Shade(Ellipse(x + 39 * s, y + 11.2f * s, 7 * s, 3.2f * s),
          Metal(Rgb8(60, 200, 255), Rgb8(230, 255, 255), Rgb8(20, 60, 110), 2.5f * s, 1));
  c.Outline(kEdge, 1.2f * std::max(1.0f, s * 0.7f));
  if (flame > 0) {
    c.GlowEllipse(x + (8 - 4 * flame) * s, y + 15 * s, (3 + 7 * flame) * s, (3 + 2 * flame) * s, Rgb8(255, 140, 50), 1.2f);
    c.GlowEllipse(x + (8 - 3 * flame) * s, y + 15 * s, (2 + 5 * flame) * s, (1.6f + 1.2f * flame) * s,
                  Rgb8(255, 240, 170), 1.3f);
    c.Glow(x + 8 * s, y + 15 * s, 1.6f * s, Rgb8(255, 255, 255), 1.2f);
  }
  c.LiftDark(kKeyMargin);
}

std::vector<Picture> MakeSprites(const Lettering& font, uint64_t seed) {
  std::vector<Picture> out;
  auto add = [&](const char* name, Canvas c) { out.push_back({name, std::move(c), true}); };

  Canvas icon(28, 28);
  DrawShip(icon, 0.5f, 7.5f, 0.42f, 0.6f);
  add("b0301.gph", std::move(icon));
  add("b0201.gph", Capsule25(font, "P", Rgb8(240, 110, 40), Rgb8(255, 220, 150), Rgb8(120, 40, 24)));
  add("b0202.gph", Capsule25(font, "S", Rgb8(40, 170, 240), Rgb8(190, 240, 255), Rgb8(20, 60, 120)));
  add("b0402.gph", EnemyBullet());
  add("b0401.gph", ShotBolt());
  add("b0403.gph", Orb(16, Rgb8(70, 140, 255), Rgb8(150, 200, 255), Rgb8(255, 255, 255)));
  add("b0404.gph", Orb(16, Rgb8(255, 80, 20), Rgb8(255, 160, 60), Rgb8(255, 250, 210)));
  add("p0101.gph", Sheet({EnemyCraft(false), EnemyCraft(true)}, 2));
  add("b0105.gph", Boss());
  add("b0501.gph", Explosion(seed + 51));
  add("p0102.gph", Sheet({MidBoss(0), MidBoss(1), MidBoss(2)}, 1));
  Canvas ship0(64, 30), ship1(64, 30);
  DrawShip(ship0, 0, 0, 1, 0.1f);
  DrawShip(ship1, 0, 0, 1, 1.0f);
  add("b0101.gph", Sheet({ship0, ship1}, 2));
  add("b0102.gph", Sheet({HitFlash(0.45f), HitFlash(0.72f), HitFlash(1.0f)}, 1));
  add("b0103.gph", Sheet({DartFlyer(false), DartFlyer(true)}, 2));
  add("b0104.gph", Sheet({HunterPod(false), HunterPod(true)}, 2));
  return out;
}

}  // namespace assetgen
