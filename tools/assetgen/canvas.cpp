// Painting toolkit: shapes, shading, outlines, glows, noise and PNG output.
#include "canvas.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>

namespace assetgen {

Rgba Rgb8(int r, int g, int b) { return {r / 255.0f, g / 255.0f, b / 255.0f, 1}; }

Rgba Mix(const Rgba& x, const Rgba& y, float t) {
  return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

Rgba Scale(const Rgba& c, float k) { return {c.r * k, c.g * k, c.b * k, c.a}; }

float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

float SmoothStep(float edge0, float edge1, float v) {
  float t = Clamp01((v - edge0) / (edge1 - edge0));
  return t * t * (3 - 2 * t);
}

uint64_t Random::Next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

float Random::Unit() { return static_cast<float>(Next() >> 40) / static_cast<float>(1ull << 24); }

float Random::Range(float lo, float hi) { return lo + (hi - lo) * Unit(); }

namespace {

float Hash(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return static_cast<float>(h & 0xFFFFFF) / static_cast<float>(0xFFFFFF);
}

}  // namespace

float ValueNoise(float x, float y, uint32_t seed) {
  float fx = std::floor(x), fy = std::floor(y);
  int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  float tx = x - fx, ty = y - fy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  float a = Hash(ix, iy, seed), b = Hash(ix + 1, iy, seed);
  float c = Hash(ix, iy + 1, seed), d = Hash(ix + 1, iy + 1, seed);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float Fbm(float x, float y, int octaves, uint32_t seed) {
  float sum = 0, amplitude = 0.5f, norm = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += amplitude * ValueNoise(x, y, seed + i * 101);
    norm += amplitude;
    x *= 2.03f;
    y *= 2.03f;
    amplitude *= 0.5f;
  }
  return sum / norm;
}

Sdf Circle(float cx, float cy, float r) {
  return [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; };
}

Sdf Ellipse(float cx, float cy, float rx, float ry) {
  // A scaled circle: close enough to a true distance for the small aspect ratios used here.
  float k = std::min(rx, ry);
  return [=](float x, float y) {
    float u = (x - cx) / rx, v = (y - cy) / ry;
    return (std::sqrt(u * u + v * v) - 1) * k;
  };
}

Sdf RoundBox(float cx, float cy, float hw, float hh, float radius) {
  return [=](float x, float y) {
    float qx = std::fabs(x - cx) - hw + radius, qy = std::fabs(y - cy) - hh + radius;
    float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - radius;
  };
}

Sdf Polygon(std::vector<std::pair<float, float>> points) {
  return [points](float x, float y) {
    float best = 1e9f;
    bool inside = false;
    size_t n = points.size();
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
      auto [ax, ay] = points[j];
      auto [bx, by] = points[i];
      float ex = bx - ax, ey = by - ay, wx = x - ax, wy = y - ay;
      float t = std::clamp((wx * ex + wy * ey) / (ex * ex + ey * ey + 1e-9f), 0.0f, 1.0f);
      best = std::min(best, std::hypot(wx - ex * t, wy - ey * t));
      if ((ay > y) != (by > y) && x < ax + (y - ay) * ex / ey) inside = !inside;
    }
    return inside ? -best : best;
  };
}

Sdf Capsule(float x0, float y0, float x1, float y1, float r0, float r1) {
  return [=](float x, float y) {
    float ex = x1 - x0, ey = y1 - y0;
    float t = std::clamp(((x - x0) * ex + (y - y0) * ey) / (ex * ex + ey * ey + 1e-9f), 0.0f, 1.0f);
    return std::hypot(x - x0 - ex * t, y - y0 - ey * t) - (r0 + (r1 - r0) * t);
  };
}

Sdf Union(Sdf a, Sdf b) {
  return [a, b](float x, float y) { return std::min(a(x, y), b(x, y)); };
}

Sdf Subtract(Sdf a, Sdf b) {
  return [a, b](float x, float y) { return std::max(a(x, y), -b(x, y)); };
}

Sdf Intersect(Sdf a, Sdf b) {
  return [a, b](float x, float y) { return std::max(a(x, y), b(x, y)); };
}

void ParallelRows(int rows, const std::function<void(int)>& body) {
  const int threads = 4;
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t)
    workers.emplace_back([&, t] {
      for (int row = t; row < rows; row += threads) body(row);
    });
  for (std::thread& worker : workers) worker.join();
}

float Coverage(float distance) { return Clamp01(0.5f - distance); }

Canvas::Canvas(int width, int height) : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height) {}

void Canvas::Blend(int x, int y, const Rgba& c, float coverage) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  float sa = Clamp01(c.a * coverage);
  if (sa <= 0) return;
  Rgba& d = at(x, y);
  float oa = sa + d.a * (1 - sa);
  if (oa <= 0) return;
  d.r = (c.r * sa + d.r * d.a * (1 - sa)) / oa;
  d.g = (c.g * sa + d.g * d.a * (1 - sa)) / oa;
  d.b = (c.b * sa + d.b * d.a * (1 - sa)) / oa;
  d.a = oa;
}

void Canvas::AddLight(int x, int y, const Rgba& c, float amount) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_ || amount <= 0) return;
  Rgba& d = at(x, y);
  // Light over transparency is the light itself, faded by its amount.
  float oldA = d.a;
  float newA = std::max(oldA, Clamp01(amount));
  if (newA <= 0) return;
  float keep = oldA / newA;
  d.r = std::min(1.0f, d.r * keep + c.r * amount / newA);
  d.g = std::min(1.0f, d.g * keep + c.g * amount / newA);
  d.b = std::min(1.0f, d.b * keep + c.b * amount / newA);
  d.a = newA;
}

void Canvas::Fill(const Sdf& shape, const Rgba& c) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      float cover = Coverage(shape(x + 0.5f, y + 0.5f));
      if (cover > 0) Blend(x, y, c, cover);
    }
}

void Canvas::Shade(const Sdf& shape, const Material& m) {
  const float lx = -0.55f, ly = -0.62f, lz = 0.56f;  // light from the upper left, towards the viewer
  const float hx = lx, hy = ly, hz = lz + 1;        // half vector with the viewer on +z
  const float hn = std::sqrt(hx * hx + hy * hy + hz * hz);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      float px = x + 0.5f, py = y + 0.5f;
      float d = shape(px, py);
      float cover = Coverage(d);
      if (cover <= 0) continue;
      float gx = shape(px + 0.5f, py) - shape(px - 0.5f, py);
      float gy = shape(px, py + 0.5f) - shape(px, py - 0.5f);
      float gl = std::sqrt(gx * gx + gy * gy) + 1e-6f;
      float depth = Clamp01(-d / m.bevel);
      float slope = 1 - depth;
      float nx = gx / gl * slope, ny = gy / gl * slope, nz = 0.35f + depth;
      float nl = std::sqrt(nx * nx + ny * ny + nz * nz);
      nx /= nl, ny /= nl, nz /= nl;
      float diffuse = Clamp01(nx * lx + ny * ly + nz * lz);
      float spec = std::pow(Clamp01((nx * hx + ny * hy + nz * hz) / hn), 24.0f) * m.gloss;
      Rgba c = diffuse < 0.6f ? Mix(m.dark, m.base, diffuse / 0.6f) : Mix(m.base, m.light, (diffuse - 0.6f) / 0.4f);
      c = Mix(c, m.light, Clamp01(spec));
      c.a = 1;
      Blend(x, y, c, cover);
    }
}

void Canvas::Glow(float cx, float cy, float radius, const Rgba& c, float intensity) {
  GlowEllipse(cx, cy, radius, radius, c, intensity);
}

void Canvas::GlowEllipse(float cx, float cy, float rx, float ry, const Rgba& c, float intensity) {
  int x0 = std::max(0, static_cast<int>(cx - rx - 1)), x1 = std::min(width_ - 1, static_cast<int>(cx + rx + 1));
  int y0 = std::max(0, static_cast<int>(cy - ry - 1)), y1 = std::min(height_ - 1, static_cast<int>(cy + ry + 1));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      float u = (x + 0.5f - cx) / rx, v = (y + 0.5f - cy) / ry;
      float r = std::sqrt(u * u + v * v);
      if (r >= 1) continue;
      float fall = (1 - r) * (1 - r);
      AddLight(x, y, c, intensity * fall);
    }
}

void Canvas::Outline(const Rgba& edge, float width) {
  std::vector<float> alpha(pixels_.size());
  for (size_t i = 0; i < pixels_.size(); ++i) alpha[i] = pixels_[i].a;
  int reach = static_cast<int>(std::ceil(width)) + 1;
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      float own = alpha[static_cast<size_t>(y) * width_ + x];
      if (own >= 0.99f) continue;
      float nearest = 1e9f;
      for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx) {
          int sx = x + dx, sy = y + dy;
          if (sx < 0 || sy < 0 || sx >= width_ || sy >= height_) continue;
          if (alpha[static_cast<size_t>(sy) * width_ + sx] >= 0.5f) nearest = std::min(nearest, std::hypot(static_cast<float>(dx), static_cast<float>(dy)));
        }
      float cover = Clamp01(width + 0.5f - nearest);
      if (cover <= 0) continue;
      // The outline goes beneath what is already there.
      Rgba top = at(x, y);
      at(x, y) = {edge.r, edge.g, edge.b, cover};
      Blend(x, y, top, 1);
    }
}

void Canvas::LiftDark(int floor) {
  float f = floor / 255.0f;
  for (Rgba& p : pixels_) {
    if (p.a <= 0) continue;
    p.r = std::max(p.r, f);
    p.g = std::max(p.g, f);
    p.b = std::max(p.b, f);
  }
}

void Canvas::Paste(const Canvas& other, int dx, int dy) {
  for (int y = 0; y < other.height(); ++y)
    for (int x = 0; x < other.width(); ++x) Blend(x + dx, y + dy, other.at(x, y), 1);
}

void Canvas::Rect(int x0, int y0, int x1, int y1, const Rgba& c) {
  for (int y = std::max(0, y0); y < std::min(height_, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(width_, x1); ++x) at(x, y) = c;
}

bool Canvas::WritePng(const std::string& path, bool withAlpha) const {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  int channels = withAlpha ? 4 : 3;
  std::vector<png_byte> row(static_cast<size_t>(width_) * channels);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file.get());
  png_set_compression_level(png, 3);
  png_set_IHDR(png, info, width_, height_, 8, withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  auto byte = [](float v) { return static_cast<png_byte>(std::lround(Clamp01(v) * 255)); };
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const Rgba& p = at(x, y);
      png_byte* out = &row[static_cast<size_t>(x) * channels];
      if (withAlpha) {
        png_byte a = byte(p.a);
        // A fully transparent pixel is stored black: the key and the alpha plane agree.
        out[0] = a ? byte(p.r) : 0;
        out[1] = a ? byte(p.g) : 0;
        out[2] = a ? byte(p.b) : 0;
        out[3] = a;
      } else {
        out[0] = byte(p.r * p.a);
        out[1] = byte(p.g * p.a);
        out[2] = byte(p.b * p.a);
      }
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace assetgen
