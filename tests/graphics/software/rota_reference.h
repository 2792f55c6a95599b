// Plain reference for the rotated and triangle drawers, written from the fixed-point and blend rules one pixel
// at a time (per-channel arithmetic, per-pixel bounds tests, accumulated steps), for checking the nests.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "graphics/color_format.h"

namespace ref {

struct Format {
  int depth = 32;
  int kind = 3;  // 0: 5:6:5, 1: 5:5:5, 2: other 16-bit masks, 3: 32-bit, 4: 8-bit
  uint32_t mask[3] = {0xFF0000, 0xFF00, 0xFF};
  int shift[3] = {16, 8, 0};
  int width[3] = {8, 8, 8};
  int Bytes() const { return depth / 8; }
  uint32_t Rgb() const { return mask[0] | mask[1] | mask[2]; }
  uint32_t Ch(uint32_t x, int i) const { return (x & mask[i]) >> shift[i]; }
  uint32_t Max(int i) const { return mask[i] >> shift[i]; }
  uint32_t Pk(uint32_t r, uint32_t g, uint32_t b) const { return (r << shift[0]) | (g << shift[1]) | (b << shift[2]); }
};

inline Format Make16(uint32_t r, uint32_t g, uint32_t b, int kind) {
  Format f;
  f.depth = 16;
  f.kind = kind;
  uint32_t m[3] = {r, g, b};
  for (int i = 0; i < 3; ++i) {
    f.mask[i] = m[i];
    f.shift[i] = __builtin_ctz(m[i]);
    f.width[i] = __builtin_popcount(m[i]);
  }
  return f;
}
inline Format F565() { return Make16(0xF800, 0x07E0, 0x001F, 0); }
inline Format F555() { return Make16(0x7C00, 0x03E0, 0x001F, 1); }
inline Format FBgr565() { return Make16(0x001F, 0x07E0, 0xF800, 2); }
inline Format F448() { return Make16(0xF000, 0x0F00, 0x00FF, 2); }
inline Format F32() { return Format{}; }
inline Format F8() {
  Format f;
  f.depth = 8;
  f.kind = 4;
  return f;
}

inline ColorFormat ToColorFormat(const Format& f) {
  ColorFormat c{};
  c.bitDepth = static_cast<uint16_t>(f.depth);
  c.bytesPerPixel = static_cast<uint16_t>(f.depth / 8);
  if (f.depth == 8) return c;
  c.redMask = f.mask[0]; c.greenMask = f.mask[1]; c.blueMask = f.mask[2];
  c.redShift = static_cast<uint8_t>(f.shift[0]); c.greenShift = static_cast<uint8_t>(f.shift[1]);
  c.blueShift = static_cast<uint8_t>(f.shift[2]);
  c.redWidth = static_cast<uint8_t>(f.width[0]); c.greenWidth = static_cast<uint8_t>(f.width[1]);
  c.blueWidth = static_cast<uint8_t>(f.width[2]);
  return c;
}

struct Settings {
  int mode = 0, param = 255;
  uint32_t bright = 0xFFFFFFFF;
  bool low = false;
  int trans = 0;
  uint32_t key = 0;
};

// Channel value scaled by f sixteenths as the sum of halves, quarters, eighths and sixteenths.
inline uint32_t Sixteenths(uint32_t c, uint32_t f) {
  return ((f & 16) ? c : 0) + ((f & 8) ? c >> 1 : 0) + ((f & 4) ? c >> 2 : 0) + ((f & 2) ? c >> 3 : 0) +
         ((f & 1) ? c >> 4 : 0);
}

inline uint32_t Guard(const Format& f) {
  switch (f.kind) {
    case 0: return 0x10820;
    case 1: return 0x8420;
    case 3: return 0x1010100;
    default: {
      uint32_t g = 0;
      for (int i = 0; i < 3; ++i) g |= 1u << (f.shift[i] + f.width[i]);
      return g;
    }
  }
}

inline uint32_t AddPacked(const Format& f, uint32_t t, uint32_t d) {
  if (f.kind == 3) {
    uint32_t u = (t & 0xFEFEFF) + (d & 0xFEFEFF), g = u & 0x1010100;
    return (g - (g >> 8)) | u | ((t | d) & 0x10100);
  }
  uint32_t inner, lowOr, gs = 5;
  if (f.kind == 0) { inner = 0xF7DF; lowOr = 0x0820; }
  else if (f.kind == 1) { inner = 0x7BDF; lowOr = 0x0420; }
  else {
    inner = f.Rgb() & ~Guard(f);
    lowOr = (1u << f.shift[0]) | (1u << f.shift[1]) | (1u << f.shift[2]);
    gs = f.width[0];
  }
  uint32_t u = (t & inner) + (d & inner), g = u & Guard(f);
  return ((g - (g >> gs)) | u | ((t | d) & lowOr)) & 0xFFFF;
}

inline uint32_t SubPacked(const Format& f, uint32_t t, uint32_t d) {
  if (f.kind == 3) {
    uint32_t u = (d | 0x1010100) - (t & 0xFEFEFEFF), g = u & 0x1010100;
    return (g - (g >> 8)) & u;
  }
  uint32_t G = Guard(f), gs = f.kind == 2 ? f.width[0] : 5;
  uint32_t u = (d | G) - (t & ~G), g = u & G;
  return ((g - (g >> gs)) & u) & 0xFFFF;
}

// What one textured pixel writes (false: the destination keeps its value). a < 0: no alpha plane.
inline bool Pixel(const Format& f, const Settings& st, uint32_t s, uint32_t d, int a, uint32_t* out) {
  if (f.depth == 8) {
    if (st.trans != 0 && s == 0) return false;
    *out = s;
    return true;
  }
  int mode = st.mode;
  if (mode < 0 || mode > 4) return false;
  bool plane = a >= 0 && mode != 4;
  bool gen = f.kind == 2;
  bool bright = st.bright != 0xFFFFFFFF;
  bool low = st.low && !plane && !gen && mode <= 3;
  int p = st.param, q = (p + 1) >> 4;
  if (mode != 4 && st.trans == 1 && (s & f.Rgb()) == (st.key & f.Rgb())) return false;
  if (mode == 1) {
    if (low ? q == 0 : p == 0) return false;
    if (low ? q == 16 : p == 255) mode = 0;
  }
  if ((mode == 2 || mode == 3) && (low ? q == 0 : p == 0)) return false;
  bool applyBright = bright && !(gen && (!plane || mode == 4));
  int bb[3] = {static_cast<int>((st.bright >> 16) & 255), static_cast<int>((st.bright >> 8) & 255),
               static_cast<int>(st.bright & 255)};
  uint32_t sc[3], dc[3];
  for (int i = 0; i < 3; ++i) {
    uint32_t c = f.Ch(s, i);
    if (applyBright) c = low ? Sixteenths(c, static_cast<uint32_t>(bb[i] + 1) >> 4) : (bb[i] * c) >> 8;
    sc[i] = c;
    dc[i] = f.Ch(d, i);
  }
  uint32_t sPrime = applyBright ? f.Pk(sc[0], sc[1], sc[2]) : s;
  auto P = [&](uint32_t c) { return (static_cast<uint32_t>(p) * c) >> 8; };
  auto Q = [&](uint32_t c) { return (static_cast<uint32_t>(255 - p) * c) >> 8; };
  auto lerp = [&](int k) {
    uint32_t o[3];
    for (int i = 0; i < 3; ++i)
      o[i] = static_cast<uint32_t>(((static_cast<int>(sc[i]) - static_cast<int>(dc[i])) * k +
                                    static_cast<int>(dc[i] << 8)) >> 8);
    return f.Pk(o[0], o[1], o[2]);
  };
  if (plane && a == 0) return false;
  switch (mode) {
    case 0:
      *out = (!plane || a == 255) ? sPrime : lerp(a);
      return true;
    case 1:
      if (plane) {
        *out = a == 255 ? f.Pk(P(sc[0]) + Q(dc[0]), P(sc[1]) + Q(dc[1]), P(sc[2]) + Q(dc[2])) : lerp((a * p) >> 8);
      } else if (low && !bright && q == 8) {
        uint32_t m8 = 0;
        for (int i = 0; i < 3; ++i) m8 |= (f.mask[i] >> 1) & f.mask[i];
        *out = (s & d) + (((s ^ d) >> 1) & m8);
      } else if (low) {
        uint32_t o[3];
        for (int i = 0; i < 3; ++i) o[i] = Sixteenths(sc[i], q) + Sixteenths(dc[i], 16 - q);
        *out = f.Pk(o[0], o[1], o[2]);
      } else {
        *out = f.Pk(P(sc[0]) + Q(dc[0]), P(sc[1]) + Q(dc[1]), P(sc[2]) + Q(dc[2]));
      }
      return true;
    case 2:
    case 3: {
      uint32_t t;
      if (plane)
        t = a == 255 ? f.Pk(P(sc[0]), P(sc[1]), P(sc[2]))
                     : f.Pk((P(sc[0]) * a) >> 8, (P(sc[1]) * a) >> 8, (P(sc[2]) * a) >> 8);
      else if (low)
        t = (!bright && q == 16) ? s : f.Pk(Sixteenths(sc[0], q), Sixteenths(sc[1], q), Sixteenths(sc[2], q));
      else
        t = f.Pk(P(sc[0]), P(sc[1]), P(sc[2]));
      *out = mode == 2 ? AddPacked(f, t, d) : SubPacked(f, t, d);
      return true;
    }
    default:
      *out = f.Pk(sc[0] * dc[0] / f.Max(0), sc[1] * dc[1] / f.Max(1), sc[2] * dc[2] / f.Max(2));
      return true;
  }
}

// A pixel buffer with a guard band all round, so writes outside the target show up.
struct Surface {
  static constexpr int kGuard = 8;
  int w = 0, h = 0, bytes = 4;
  int64_t pitch = 0;
  std::vector<uint8_t> mem;
  Surface() = default;
  Surface(int width, int height, int b) : w(width), h(height), bytes(b) {
    pitch = static_cast<int64_t>(w + 2 * kGuard) * b + 4;  // padded rows
    mem.assign(static_cast<size_t>(pitch * (h + 2 * kGuard)), 0xA5);
  }
  uint8_t* Origin() { return mem.data() + kGuard * pitch + kGuard * bytes; }
  const uint8_t* Origin() const { return mem.data() + kGuard * pitch + kGuard * bytes; }
  uint8_t* At(int64_t x, int64_t y) { return Origin() + y * pitch + x * bytes; }
  uint32_t Get(int64_t x, int64_t y) const {
    uint32_t v = 0;
    std::memcpy(&v, Origin() + y * pitch + x * bytes, static_cast<size_t>(bytes));
    return v;
  }
  void Set(int64_t x, int64_t y, uint32_t v) { std::memcpy(At(x, y), &v, static_cast<size_t>(bytes)); }
  void Fill(std::mt19937& rng) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) Set(x, y, static_cast<uint32_t>(rng()) & (bytes == 4 ? 0xFFFFFFFF : bytes == 2 ? 0xFFFF : 0xFF));
  }
};

struct Texture {
  const Surface* pixels = nullptr;
  const std::vector<uint8_t>* plane = nullptr;  // w x h bytes, or null
};

struct Rect {
  int left, top, right, bottom;
};

// Draws one pixel of the texture at (tu, tv) onto (x, y) of dst, reading the background from bg.
inline void Put(const Format& f, const Settings& st, Surface& dst, const Surface& bg, const Texture& t, int64_t x,
                int64_t y, int64_t tu, int64_t tv) {
  uint32_t s = t.pixels->Get(tu, tv), out = 0;
  int a = t.plane ? (*t.plane)[static_cast<size_t>(tv * t.pixels->w + tu)] : -1;
  if (Pixel(f, st, s, bg.Get(x, y), a, &out)) dst.Set(x, y, out);
}

inline int64_t WholeOf(int64_t v) { return v / 262144; }
inline int64_t Trunc(double v) { return static_cast<int64_t>(v); }

// The rotated drawer, followed step by step (own path only; scale and angle finite and non-zero).
inline void Rotated(const Format& f, const Settings& st, Surface& dst, const Surface& bg, const Texture& t, int x,
                    int y, double scale, double angle, Rect clip) {
  int64_t sn = Trunc(std::sin(-angle) * 262144.0), cn = Trunc(std::cos(-angle) * 262144.0);
  int64_t C = Trunc(std::cos(angle) * 262144.0), S = Trunc(std::sin(angle) * 262144.0);
  int64_t w = t.pixels->w, h = t.pixels->h;
  int64_t hw = Trunc(w * scale * 0.5), hh = Trunc(h * scale * 0.5);
  int64_t cx[4], cy[4];
  int64_t ox[4] = {-hw, -hw, hw, hw}, oy[4] = {-hh, hh, hh, -hh};
  for (int i = 0; i < 4; ++i) {
    cx[i] = x * 262144LL + ox[i] * C - oy[i] * S;
    cy[i] = y * 262144LL + ox[i] * S + oy[i] * C;
  }
  int64_t minx = cx[0], maxx = cx[0], miny = cy[0], maxy = cy[0];
  for (int i = 1; i < 4; ++i) {
    minx = std::min(minx, cx[i]); maxx = std::max(maxx, cx[i]);
    miny = std::min(miny, cy[i]); maxy = std::max(maxy, cy[i]);
  }
  int64_t left = std::clamp<int64_t>(WholeOf(minx) - 2, clip.left, clip.right);
  int64_t right = std::clamp<int64_t>(WholeOf(maxx) + 4, clip.left, clip.right);
  int64_t top = std::clamp<int64_t>(WholeOf(miny) - 2, clip.top, clip.bottom);
  int64_t bottom = std::clamp<int64_t>(WholeOf(maxy) + 4, clip.top, clip.bottom);
  if (left >= right || top >= bottom) return;
  int64_t du = Trunc(C / scale), dv = Trunc(sn / scale);
  auto src = [&](int64_t dx, int64_t dy, int64_t& u, int64_t& v) {
    u = Trunc(static_cast<double>(cn * dx - sn * dy) / scale) + (w / 2) * 262144;
    v = Trunc(static_cast<double>(sn * dx + cn * dy) / scale) + (h / 2) * 262144;
  };
  int64_t uT, vT, uB, vB;
  src(left - x, top - y, uT, vT);
  src(left - x, bottom - y, uB, vB);
  int64_t rows = bottom - top, duRow = (uB - uT) / rows, dvRow = (vB - vT) / rows;
  int64_t ur = uT, vr = vT;
  for (int64_t yy = top; yy < bottom; ++yy) {
    int64_t u = ur, v = vr;
    for (int64_t xx = left; xx < right; ++xx) {
      int64_t iu = WholeOf(u), iv = WholeOf(v);
      if (iu >= 0 && iu < w && iv >= 0 && iv < h) Put(f, st, dst, bg, t, xx, yy, iu, iv);
      u += du;
      v += dv;
    }
    ur += duRow;
    vr += dvRow;
  }
}

struct Vertex {
  int x, y, u, v;
};

// The triangle rasteriser, followed step by step. t.pixels null: one colour (fill rules via Pixel with s = colour).
inline int Triangle(const Format& f, const Settings& st, Surface& dst, const Surface& bg, const Texture& t,
                    const Vertex* vx, uint32_t colour, Rect clip) {
  int64_t X[3], Y[3], U[3], V[3];
  for (int i = 0; i < 3; ++i) {
    if (std::abs(vx[i].x) > 8191 || std::abs(vx[i].y) > 8191) return -1;
    X[i] = vx[i].x * 262144LL + 131072;
    Y[i] = vx[i].y * 262144LL + 131072;
    U[i] = vx[i].u * 262144LL;
    V[i] = vx[i].v * 262144LL;
  }
  auto sort3 = [](const int64_t* k, int* o) {
    o[0] = 0; o[1] = 1; o[2] = 2;
    for (int i = 0; i < 2; ++i)
      for (int j = i + 1; j < 3; ++j)
        if (k[o[i]] > k[o[j]]) std::swap(o[i], o[j]);
  };
  int xo[3], yo[3];
  sort3(X, xo);
  sort3(Y, yo);
  int a0 = xo[0], a1 = xo[1], a2 = xo[2];
  int64_t dx1 = vx[a1].x - vx[a0].x, dy1 = vx[a1].y - vx[a0].y, dx2 = vx[a2].x - vx[a0].x, dy2 = vx[a2].y - vx[a0].y;
  int64_t du1 = vx[a1].u - vx[a0].u, dv1 = vx[a1].v - vx[a0].v, du2 = vx[a2].u - vx[a0].u, dv2 = vx[a2].v - vx[a0].v;
  int64_t det = dx2 * dy1 - dx1 * dy2;
  if (det == 0) return -1;
  int64_t dudx = (du2 * dy1 - du1 * dy2) * 262144 / det, dudy = (du1 * dx2 - du2 * dx1) * 262144 / det;
  int64_t dvdx = (dv2 * dy1 - dv1 * dy2) * 262144 / det, dvdy = (dv1 * dx2 - dv2 * dx1) * 262144 / det;
  int64_t x0 = WholeOf(X[a0]), y0 = WholeOf(Y[a0]);
  int T = yo[0], M = yo[1], B = yo[2];
  struct E { int64_t x, step, rows; };
  auto edge = [](int64_t xa, int64_t ya, int64_t xb, int64_t yb) {
    E e{xa, 0, (yb - ya) / 262144};
    e.step = (xb - xa) / e.rows;
    return e;
  };
  std::vector<E> L, R;
  if (Y[T] == Y[M]) {
    int l = X[T] <= X[M] ? T : M, r = l == T ? M : T;
    L = {edge(X[l], Y[l], X[B], Y[B])};
    R = {edge(X[r], Y[r], X[B], Y[B])};
  } else if (Y[B] == Y[M]) {
    int l = X[M] <= X[B] ? M : B, r = l == M ? B : M;
    L = {edge(X[T], Y[T], X[l], Y[l])};
    R = {edge(X[T], Y[T], X[r], Y[r])};
  } else if (double(X[M] - X[T]) / double(Y[M] - Y[T]) < double(X[B] - X[T]) / double(Y[B] - Y[T])) {
    L = {edge(X[T], Y[T], X[M], Y[M]), edge(X[M], Y[M], X[B], Y[B])};
    R = {edge(X[T], Y[T], X[B], Y[B])};
  } else {
    L = {edge(X[T], Y[T], X[B], Y[B])};
    R = {edge(X[T], Y[T], X[M], Y[M]), edge(X[M] + 1, Y[M], X[B], Y[B])};
  }
  size_t li = 0, ri = 0;
  int64_t lx = L[0].x, rx = R[0].x, lc = L[0].rows, rc = R[0].rows, y = WholeOf(Y[T]);
  for (;;) {
    int64_t x = WholeOf(lx), count = WholeOf(rx) - x;
    if (x < clip.left) {
      count -= clip.left - x;
      x = clip.left;
    }
    int64_t u = (x - x0) * dudx + (y - y0) * dudy + U[a0], v = (x - x0) * dvdx + (y - y0) * dvdy + V[a0];
    count += 1;
    if (y >= clip.top && y < clip.bottom && x < clip.right && count > 0) {
      while (count > 0 && x < clip.right) {
        if (t.pixels) {
          uint64_t tu = static_cast<uint64_t>(u) >> 18, tv = static_cast<uint64_t>(v) >> 18;
          if (u >= 0 && v >= 0 && tu < static_cast<uint64_t>(t.pixels->w) && tv < static_cast<uint64_t>(t.pixels->h))
            Put(f, st, dst, bg, t, x, y, static_cast<int64_t>(tu), static_cast<int64_t>(tv));
        } else {
          uint32_t out = 0;
          Settings fill = st;
          fill.trans = 0;
          if ((f.depth == 8 || fill.mode != 4) && Pixel(f, fill, colour, bg.Get(x, y), -1, &out)) dst.Set(x, y, out);
        }
        u += dudx;
        v += dvdx;
        ++x;
        --count;
      }
    }
    rx += R[ri].step;
    lx += L[li].step;
    ++y;
    --lc;
    --rc;
    if (lc == 0) {
      if (li + 1 >= L.size()) return 0;
      ++li;
      lx = L[li].x;
      lc = L[li].rows;
      y = WholeOf(Y[M]);
    }
    if (rc == 0) {
      if (ri + 1 >= R.size()) return 0;
      ++ri;
      rx = R[ri].x;
      rc = R[ri].rows;
    }
  }
}

}  // namespace ref
