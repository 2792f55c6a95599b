// Painting toolkit of the asset generator: a float RGBA canvas, shapes as signed distances, shading, outlines,
// glows, noise, and PNG output.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace assetgen {

// A colour with straight (not premultiplied) alpha, channels 0..1.
struct Rgba {
  float r = 0, g = 0, b = 0, a = 0;
};

// Opaque colour from 0..255 channels.
Rgba Rgb8(int r, int g, int b);
// Linear mix of two colours, t in 0..1 (alpha mixed too).
Rgba Mix(const Rgba& x, const Rgba& y, float t);
// The colour's RGB times k (alpha kept).
Rgba Scale(const Rgba& c, float k);

float Clamp01(float v);
float SmoothStep(float edge0, float edge1, float v);

// Deterministic generator of the whole set: every picture and sound draws from its own seeded stream.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
  uint64_t Next();
  // Uniform in [0, 1).
  float Unit();
  // Uniform in [lo, hi).
  float Range(float lo, float hi);

 private:
  uint64_t state_;
};

// Smooth value noise in about 0..1; octaves of fBm add detail at doubling frequencies.
float ValueNoise(float x, float y, uint32_t seed);
float Fbm(float x, float y, int octaves, uint32_t seed);

// A signed distance: negative inside the shape, in pixels.
using Sdf = std::function<float(float x, float y)>;
Sdf Circle(float cx, float cy, float r);
Sdf Ellipse(float cx, float cy, float rx, float ry);
Sdf RoundBox(float cx, float cy, float hw, float hh, float radius);
// A closed polygon (any winding, may be concave).
Sdf Polygon(std::vector<std::pair<float, float>> points);
// A segment with round caps, radius r0 at the start tapering to r1 at the end.
Sdf Capsule(float x0, float y0, float x1, float y1, float r0, float r1);
Sdf Union(Sdf a, Sdf b);
Sdf Subtract(Sdf a, Sdf b);
Sdf Intersect(Sdf a, Sdf b);

// How a shape is lit: a base colour, a highlight, a shade, the rim depth of the bevel in pixels.
struct Material {
  Rgba base;
  Rgba light;
  Rgba dark;
  float bevel = 4;
  float gloss = 0.6f;  // strength of the specular spot
};

class Canvas {
 public:
  Canvas(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }
  Rgba& at(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  const Rgba& at(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

  // Source-over blend of c with coverage (0..1) at a pixel; outside pixels are ignored.
  void Blend(int x, int y, const Rgba& c, float coverage = 1);
  // Adds c * amount to the colour (light), raising alpha to at least amount.
  void AddLight(int x, int y, const Rgba& c, float amount);
  // Fills a shape flatly with anti-aliased edges.
  void Fill(const Sdf& shape, const Rgba& c);
  // Fills a shape with bevel shading lit from the top-left.
  void Shade(const Sdf& shape, const Material& m);
  // A soft radial glow added as light: intensity 1 at the centre falling to 0 at radius.
  void Glow(float cx, float cy, float radius, const Rgba& c, float intensity = 1);
  // An elliptical glow stretched along x.
  void GlowEllipse(float cx, float cy, float rx, float ry, const Rgba& c, float intensity = 1);
  // Draws an outline of the given width around every opaque region, beneath the pixels already there.
  void Outline(const Rgba& edge, float width);
  // Lifts every visible pixel's channels to at least floor/255 so that no body colour matches the black key.
  void LiftDark(int floor);
  // Copies another canvas onto this one at (dx, dy) with source-over blending.
  void Paste(const Canvas& other, int dx, int dy);
  // Fills a rectangle of this canvas (opaque, no blend).
  void Rect(int x0, int y0, int x1, int y1, const Rgba& c);

  // Writes the canvas as an 8-bit PNG, RGBA or RGB (alpha dropped, composited over black).
  bool WritePng(const std::string& path, bool withAlpha) const;

 private:
  int width_;
  int height_;
  std::vector<Rgba> pixels_;
};

// Runs body(row) for every row 0..rows-1, spread over a few threads (each row written by one thread only).
void ParallelRows(int rows, const std::function<void(int)>& body);

// Per-pixel coverage of a shape with one sample at the centre and a 1-pixel ramp.
float Coverage(float distance);

}  // namespace assetgen
