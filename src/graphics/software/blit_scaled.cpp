// Scaled graph drawing: 16.16 stepping (in 64 bits) from destination to source pixels, mirroring by negative
// steps, and the scaled drawer's own blend rules, chosen once per call as a loop nest value.
#include <algorithm>

#include "core/memory.h"
#include "graphics/software/blend_formulas.h"
#include "graphics/software/blit_loops.h"
#include "graphics/software/pixel_rows.h"

namespace blit {

ScaledAxis MakeScaledAxis(int64_t destSize, int64_t graphSize, int64_t clipSkip, int64_t clipSize) {
  ScaledAxis a;
  a.step = (destSize << 16) / graphSize;
  a.skip = clipSkip;
  a.first = (clipSkip << 16) / a.step;
  a.count = clipSize > 0 ? ((clipSkip + clipSize - 1) << 16) / a.step - a.first + 1 : 0;
  return a;
}

namespace {

// Source pixel (relative to the first one read) shown at destination pixel i of the clipped span.
inline int64_t SourceIndex(const ScaledAxis& a, int64_t i) { return ((a.skip + i) << 16) / a.step - a.first; }

template <class P, bool Key, bool Plane, class Fn>
void ScaledRows(const ScaledJob& j, const int32_t* cols, KeyTest kt, Fn fn) {
  for (int y = 0; y < j.h; ++y) {
    const int64_t row = SourceIndex(j.y, y);
    const uint8_t* s = j.src + row * j.srcPitch;
    const uint8_t* a = Plane ? j.alpha + row * j.alphaPitch : nullptr;
    uint8_t* o = j.dst + y * j.dstPitch;
    const uint8_t* d = j.bg + y * j.bgPitch;
    int x = 0;
    while (x < j.w) {
      const int32_t off = cols[x];
      int end = x + 1;
      while (end < j.w && cols[end] == off) ++end;
      const uint32_t sv = LoadPixel<P>(s + off * static_cast<intptr_t>(sizeof(P)));
      uint32_t av = 255;
      if constexpr (Plane) av = a[off];
      if (!(Key && kt.hit(sv)) && av != 0) {
        for (int k = x; k < end; ++k)
          StorePixel<P>(o + k * sizeof(P), fn(sv, static_cast<uint32_t>(LoadPixel<P>(d + k * sizeof(P))), av));
      }
      x = end;
    }
  }
}

// The plain copy: no background read, one gather per destination pixel.
template <class P, bool Key>
void RunScaledCopy(const ScaledJob& j, const int32_t* cols, KeyTest kt) {
  for (int y = 0; y < j.h; ++y) {
    const P* s = reinterpret_cast<const P*>(j.src + SourceIndex(j.y, y) * j.srcPitch);
    uint8_t* o = j.dst + y * j.dstPitch;
    for (int x = 0; x < j.w; ++x) {
      const P v = LoadPixel<P>(reinterpret_cast<const uint8_t*>(s + cols[x]));
      if (Key && kt.hit(v)) continue;
      StorePixel<P>(o + x * sizeof(P), v);
    }
  }
}
template <class P>
void RunScaledCopyAny(const ScaledJob& j, const int32_t* cols, bool key, KeyTest kt) {
  if (key) RunScaledCopy<P, true>(j, cols, kt);
  else RunScaledCopy<P, false>(j, cols, kt);
}

template <class P, class Fn>
void RunScaledAny(const ScaledJob& j, const int32_t* cols, bool key, KeyTest kt, bool plane, Fn fn) {
  if (key) {
    if (plane) ScaledRows<P, true, true>(j, cols, kt, fn);
    else ScaledRows<P, true, false>(j, cols, kt, fn);
  } else {
    if (plane) ScaledRows<P, false, true>(j, cols, kt, fn);
    else ScaledRows<P, false, false>(j, cols, kt, fn);
  }
}

// The channel model of a depth: 32-bit X8R8G8B8, or a 16-bit layout.
struct Model32 {
  static uint32_t ch(uint32_t x, int c) { return Ch32(x, c); }
  static uint32_t pack(const uint32_t v[3]) { return Pack32(v[2], v[1], v[0]); }
  static uint32_t weight(uint32_t x, int f) { return Weight32(x, f); }
  static uint32_t weightBright(uint32_t x, uint32_t b) { return WeightBright32(x, b); }
  static uint32_t add(uint32_t s, uint32_t d) { return Add32(s, d); }
  static uint32_t sub(uint32_t d, uint32_t s) { return Sub32(d, s); }
  static uint32_t max(int) { return 255; }
};
struct Model16 {
  Fmt16 f;
  bool general;
  uint32_t ch(uint32_t x, int c) const { return Ch16(f, x, c); }
  uint32_t pack(const uint32_t v[3]) const { return Pack16(f, v); }
  uint32_t weight(uint32_t x, int w) const { return Weight16(f, x, w); }
  uint32_t weightBright(uint32_t x, uint32_t b) const { return WeightBright16(f, x, b); }
  uint32_t add(uint32_t s, uint32_t d) const { return general ? AddGeneral16(f, s, d) : Add16(f, s, d); }
  uint32_t sub(uint32_t d, uint32_t s) const { return general ? SubGeneral16(f, d, s) : Sub16(f, d, s); }
  uint32_t max(int c) const { return f.max[c]; }
};

Nest Drawn(int mode, bool plane, Var var, bool key) { return Nest{Outcome::Drawn, mode, plane, var, key}; }

Settings Clamped(const Settings& given) {
  Settings st = given;
  st.param = std::clamp(st.param, 0, 255);
  return st;
}

template <class P, class Model>
void ScaledBlend(const ScaledJob& j, const int32_t* cols, const Settings& st, const Model& m, const Nest& n) {
  const int p = st.param, q = (p + 1) >> 4;
  const bool key = n.key;
  const KeyTest kt{ColourBits(*st.screen), st.key & ColourBits(*st.screen)};
  const uint32_t* rb[3];
  for (int c = 0; c < 3; ++c) rb[c] = st.mul + 256 * ((st.bright >> (8 * c)) & 0xFF);
  const uint32_t* rp = st.mul + 256 * p;
  const uint32_t* rq = st.mul + 256 * (255 - p);
  auto per = [&](auto fn) {  // a pixel from a per-channel function
    return [&m, fn](uint32_t x, uint32_t y) {
      uint32_t v[3];
      for (int c = 0; c < 3; ++c) v[c] = fn(m.ch(x, c), m.ch(y, c), c);
      return m.pack(v);
    };
  };
  auto bri = [&](uint32_t s) {
    return per([&](uint32_t sc, uint32_t, int c) { return rb[c][sc]; })(s, 0);
  };
  auto chan = [&](uint32_t s, uint32_t d, uint32_t a) {
    return per([a](uint32_t sc, uint32_t dc, int) {
      return static_cast<uint32_t>((static_cast<int32_t>(sc) - static_cast<int32_t>(dc)) * static_cast<int32_t>(a) +
                                   static_cast<int32_t>(dc << 8)) >> 8;
    })(s, d);
  };
  auto pq = [&](uint32_t s, uint32_t d) {
    return per([&](uint32_t sc, uint32_t dc, int) { return rp[sc] + rq[dc]; })(s, d);
  };
  auto scaleP = [&](uint32_t s) { return per([&](uint32_t sc, uint32_t, int) { return rp[sc]; })(s, 0); };
  auto times = [&](uint32_t s, uint32_t a) {
    return per([a](uint32_t sc, uint32_t, int) { return (a * sc) >> 8; })(s, 0);
  };
  const bool bright = n.var == Var::Bright, low = n.var == Var::Low || n.var == Var::LowBright;
  auto src = [&](uint32_t s) { return bright ? bri(s) : s; };
  auto srcLow = [&](uint32_t s) { return n.var == Var::LowBright ? m.weightBright(s, st.bright) : s; };
  auto run = [&](bool k, bool withPlane, auto fn) { RunScaledAny<P>(j, cols, k, kt, withPlane, fn); };

  switch (n.mode) {
    case 0:
      if (n.plane) {
        run(key, true, [&](uint32_t s, uint32_t d, uint32_t a) { return a == 255 ? src(s) : chan(src(s), d, a); });
      } else if (n.var == Var::LowBright) {
        run(key, false, [&](uint32_t s, uint32_t, uint32_t) { return m.weightBright(s, st.bright); });
      } else if (bright) {
        run(key, false, [&](uint32_t s, uint32_t, uint32_t) { return bri(s); });
      } else {
        RunScaledCopyAny<P>(j, cols, key, kt);
      }
      return;
    case 4:
      run(false, false, [&](uint32_t s, uint32_t d, uint32_t) {
        return per([&m](uint32_t sc, uint32_t dc, int c) { return sc * dc / m.max(c); })(src(s), d);
      });
      return;
    case 1:
      if (n.plane) {
        run(key, true, [&](uint32_t s, uint32_t d, uint32_t a) {
          return a == 255 ? pq(src(s), d) : chan(src(s), d, (a * p) >> 8);
        });
      } else if (low) {
        run(key, false, [&](uint32_t s, uint32_t d, uint32_t) { return m.weight(srcLow(s), q) + m.weight(d, 16 - q); });
      } else {
        run(key, false, [&](uint32_t s, uint32_t d, uint32_t) { return pq(src(s), d); });
      }
      return;
    default: break;
  }
  const bool add = n.mode == 2;
  auto combine = [&](uint32_t S, uint32_t d) { return add ? m.add(S, d) : m.sub(d, S); };
  if (n.plane) {
    run(key, true, [&](uint32_t s, uint32_t d, uint32_t a) {
      const uint32_t S = scaleP(src(s));
      return combine(a == 255 ? S : times(S, a), d);
    });
  } else if (low) {
    run(key, false, [&](uint32_t s, uint32_t d, uint32_t) { return combine(m.weight(srcLow(s), q), d); });
  } else {
    run(key, false, [&](uint32_t s, uint32_t d, uint32_t) { return combine(scaleP(src(s)), d); });
  }
}

}  // namespace

Nest ChooseScaled(const Settings& given, bool plane) {
  const Settings st = Clamped(given);
  const int depth = st.screen->bitDepth;
  if (depth == 8) return Drawn(0, false, Var::Plain, (st.trans & 1) != 0);
  if (depth != 16 && depth != 32) return Nest{};
  const bool general = depth == 16 && ClassifyLayout16(*st.screen) == Layout16::General;
  const int p = st.param, q = (p + 1) >> 4;
  const bool key = st.trans != 0, bright = st.brightOn(), lp = st.lowPrecision;
  // Without an alpha plane the general 16-bit layout drops the brightness and the low precision.
  const bool brightNp = bright && !general, lpNp = lp && !general;
  auto mode0 = [&]() {
    if (plane) return Drawn(0, true, bright ? Var::Bright : Var::Plain, key);
    if (brightNp) return Drawn(0, false, lp ? Var::LowBright : Var::Bright, key);
    return Drawn(0, false, Var::Plain, (st.trans & 1) != 0);
  };
  const int mode = st.blendMode;
  if (mode == 0) return mode0();
  if (mode == 4) return Drawn(4, false, brightNp ? Var::Bright : Var::Plain, false);
  if (mode < 1 || mode > 3) return Nest{};
  const bool low = lp && !plane;  // an alpha plane always runs in full precision
  if (low ? q == 0 : p == 0) return Nest{};
  if (mode == 1 && (low ? q == 16 : p == 255)) return mode0();
  if (plane) return Drawn(mode, true, bright ? Var::Bright : Var::Plain, key);
  if (lpNp) return Drawn(mode, false, brightNp ? Var::LowBright : Var::Low, key);
  return Drawn(mode, false, brightNp ? Var::Bright : Var::Plain, key);
}

void RunScaled(const ScaledJob& j, const Settings& given, const Nest& n) {
  if (j.w <= 0 || j.h <= 0 || n.outcome != Outcome::Drawn) return;
  const Settings st = Clamped(given);
  const int depth = st.screen->bitDepth;
  // Source column offsets (in pixels, signed by the drawing direction) for each destination column.
  int32_t local[1024];
  int32_t* cols = j.w <= 1024 ? local : static_cast<int32_t*>(MemAlloc(j.w * static_cast<int>(sizeof(int32_t))));
  if (cols == nullptr) return;
  for (int x = 0; x < j.w; ++x) cols[x] = static_cast<int32_t>(SourceIndex(j.x, x) * j.srcStepX);
  if (depth == 8) {
    RunScaledCopyAny<uint8_t>(j, cols, n.key, KeyTest{0xFF, 0});
  } else if (depth == 16) {
    const bool general = ClassifyLayout16(*st.screen) == Layout16::General;
    const Model16 m{MakeFmt16(*st.screen, !general), general};
    ScaledBlend<uint16_t>(j, cols, st, m, n);
  } else {
    ScaledBlend<uint32_t>(j, cols, st, Model32{}, n);
  }
  if (cols != local) MemFree(cols);
}

Outcome DrawScaled(const ScaledJob& j, const Settings& settings) {
  if (j.w <= 0 || j.h <= 0) return Outcome::Nothing;
  const Nest nest = ChooseScaled(settings, j.alpha != nullptr);
  RunScaled(j, settings, nest);
  return nest.outcome;
}

}  // namespace blit
