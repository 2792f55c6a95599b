// Scaled graph drawing: 16.16 stepping (in 64 bits) from destination to source pixels, mirroring by negative
// steps, and the scaled drawer's own blend rules, chosen once per call as a loop nest value.
#include <algorithm>
#include <type_traits>
#include <utility>

#include "core/memory.h"
#include "graphics/software/avx2_rows.h"
#include "graphics/software/blend_formulas.h"
#include "graphics/software/blit_loops.h"
#include "graphics/software/pixel_rows.h"
#include "graphics/software/simd_formulas.h"

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

// The source pixel (relative to the first one read), ((skip + i) << 16) / step - first, shown at destination pixels
// i = 0, 1, 2, ... of the clipped span in turn, with one division in all: the quotient and remainder grow by those
// of 65536 / step at each pixel.
class SourceSteps {
 public:
  explicit SourceSteps(const ScaledAxis& a)
      : q_(((a.skip << 16) / a.step) - a.first), rem_((a.skip << 16) % a.step), dq_(65536 / a.step),
        drem_(65536 % a.step), step_(a.step) {}
  int64_t index() const { return q_; }
  void next() {
    q_ += dq_;
    rem_ += drem_;
    if (rem_ >= step_) {
      rem_ -= step_;
      ++q_;
    }
  }

 private:
  int64_t q_, rem_, dq_, drem_, step_;
};

template <class P, bool Key, bool Plane, class Fn>
void ScaledRows(const ScaledJob& j, const int32_t* cols, KeyTest kt, Fn fn) {
  SourceSteps rows(j.y);
  for (int y = 0; y < j.h; ++y, rows.next()) {
    const int64_t row = rows.index();
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

// The vector walk: the source row under each run of destination rows is gathered once through the column offsets
// (pixels and alpha bytes) into row buffers of w entries, and the run is then drawn by draw(job) as an unscaled job
// whose rows all read those buffers.
// Working memory of one scaled draw: the column offsets, the gathered row buffers of the vector walks, and the
// AVX2 gather plan of 32-bit rows (planned: the plan is filled in).
struct Scratch {
  int32_t* cols;
  uint8_t* row;       // w pixels
  uint8_t* alphaRow;  // w alpha bytes
  GatherPlan plan;
  bool planned;
};

template <class P, class Draw>
void ScaledRowsGathered(const ScaledJob& j, const Scratch& sc, bool plane, Draw draw) {
  const int32_t* cols = sc.cols;
  P* row = reinterpret_cast<P*>(sc.row);
  uint8_t* alphaRow = sc.alphaRow;
  const int w = j.w;
  SourceSteps rows(j.y);
  for (int y = 0; y < j.h;) {
    const int64_t r = rows.index();
    int end = y + 1;
    for (rows.next(); end < j.h && rows.index() == r; rows.next()) ++end;
    const P* s = reinterpret_cast<const P*>(j.src + r * j.srcPitch);
    const uint8_t* a = plane ? j.alpha + r * j.alphaPitch : nullptr;
    if constexpr (sizeof(P) == 4) {
      if (sc.planned) GatherRow32Avx2(s, a, cols, sc.plan, w, row, alphaRow);
    }
    if (sizeof(P) != 4 || !sc.planned) {
      for (int x = 0; x < w; ++x) row[x] = LoadPixel<P>(reinterpret_cast<const uint8_t*>(s + cols[x]));
      if (plane)
        for (int x = 0; x < w; ++x) alphaRow[x] = a[cols[x]];
    }
    Job u;
    u.dst = j.dst + y * j.dstPitch;
    u.dstPitch = j.dstPitch;
    u.src = reinterpret_cast<const uint8_t*>(row);
    u.bg = j.bg + y * j.bgPitch;
    u.bgPitch = j.bgPitch;
    u.alpha = plane ? alphaRow : nullptr;
    u.w = j.w;
    u.h = end - y;
    draw(u);
    y = end;
  }
}

// The plain copy: no background read, one gather per destination pixel.
template <class P, bool Key>
void RunScaledCopy(const ScaledJob& j, const int32_t* cols, KeyTest kt) {
  SourceSteps rows(j.y);
  for (int y = 0; y < j.h; ++y, rows.next()) {
    const P* s = reinterpret_cast<const P*>(j.src + rows.index() * j.srcPitch);
    uint8_t* o = j.dst + y * j.dstPitch;
    for (int x = 0; x < j.w; ++x) {
      const P v = LoadPixel<P>(reinterpret_cast<const uint8_t*>(s + cols[x]));
      if (Key && kt.hit(v)) continue;
      StorePixel<P>(o + x * sizeof(P), v);
    }
  }
}

// The copy's vector walk: each source row is gathered once (by the AVX2 plan where there is one), then copied, keyed
// or not, to every destination row that shows it.
template <class P>
void RunScaledCopyGathered(const ScaledJob& j, const Scratch& sc, bool key, KeyTest kt) {
  ScaledRowsGathered<P>(j, sc, false, [&](const Job& u) { CopyPixels(u, sizeof(P), key, kt.key, kt.mask, true); });
}

template <class P>
void RunScaledCopyAny(const ScaledJob& j, const Scratch& sc, bool key, KeyTest kt, bool simd) {
  if (simd) RunScaledCopyGathered<P>(j, sc, key, kt);
  else if (key) RunScaledCopy<P, true>(j, sc.cols, kt);
  else RunScaledCopy<P, false>(j, sc.cols, kt);
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

// The vector forms of the formulas with SSE2 paths, per depth; usable says whether this layout can take them.
struct Vec32 {
  bool usable = true;
  [[gnu::always_inline]] __m128i chan(__m128i s, __m128i d, __m128i a) const { return simd::Chan32(s, d, a); }
  [[gnu::always_inline]] __m128i pq(__m128i s, __m128i d, __m128i p, __m128i q) const {
    return simd::TablePQ32(s, d, p, q);
  }
  [[gnu::always_inline]] __m128i planeAlpha(__m128i s, __m128i d, __m128i a, __m128i p, __m128i q) const {
    return simd::PlaneAlpha32(s, d, a, p, q);
  }
};
struct Vec16 {
  simd::Fmt16Vec f;
  bool usable;  // 16-bit lanes hold a channel's blend only for channels of at most 8 bits
  explicit Vec16(const Fmt16& fmt) : f(fmt), usable(fmt.max[0] <= 255 && fmt.max[1] <= 255 && fmt.max[2] <= 255) {}
  [[gnu::always_inline]] __m128i chan(__m128i s, __m128i d, __m128i a) const { return simd::Chan16(f, s, d, a); }
  [[gnu::always_inline]] __m128i pq(__m128i s, __m128i d, __m128i p, __m128i q) const {
    return simd::TablePQ16(f, s, d, p, q);
  }
  [[gnu::always_inline]] __m128i planeAlpha(__m128i s, __m128i d, __m128i a, __m128i p, __m128i q) const {
    return simd::PlaneAlpha16(f, s, d, a, p, q);
  }
};

// The gather plan of cols[0..w): a group whose eight source columns lie within eight pixels of the lowest one, and
// whose eight pixels from that one stay inside the columns the draw reads, takes one load.
void PlanGather(const int32_t* cols, int w, const GatherPlan& plan) {
  const auto [lowest, highest] = std::minmax_element(cols, cols + w);
  for (int g = 0; 8 * g + 8 <= w; ++g) {
    const int32_t* c = cols + 8 * g;
    const auto [lo, hi] = std::minmax_element(c, c + 8);
    if (*hi - *lo > 7 || *lo + 7 > *highest || *lo < *lowest) {
      plan.base[g] = GatherPlan::kScattered;
      continue;
    }
    plan.base[g] = *lo;
    uint64_t order = 0;
    for (int k = 0; k < 8; ++k) {
      plan.rel[8 * g + k] = c[k] - *lo;
      order |= uint64_t(c[k] - *lo) << (8 * k);
    }
    plan.relBytes[g] = order;
  }
}

Nest Drawn(int mode, bool plane, Var var, bool key) { return Nest{Outcome::Drawn, mode, plane, var, key}; }

Settings Clamped(const Settings& given) {
  Settings st = given;
  st.param = std::clamp(st.param, 0, 255);
  return st;
}

template <class P, class Model, class Vec>
void ScaledBlend(const ScaledJob& j, const Scratch& sc, const Settings& st, const Model& m, const Vec& v,
                 const Nest& n) {
  const int32_t* cols = sc.cols;
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
  // The SSE2 walk for the formulas that have a vector form, run without brightness or sixteenths.
  const bool fast = st.simd && v.usable && n.var == Var::Plain, avx2 = st.simd && st.avx2 && HaveAvx2();
  const __m128i vp = _mm_set1_epi16(static_cast<int16_t>(p)), vq = _mm_set1_epi16(static_cast<int16_t>(255 - p));
  auto gathered = [&](bool withPlane, auto draw) {
    ScaledRowsGathered<P>(j, sc, withPlane, draw);
  };
  auto runFast = [&](auto opaqueCopies, bool withPlane, auto vec, auto fn) {
    gathered(withPlane, [&](const Job& u) {
      RunRowsSimdAny<P, decltype(opaqueCopies)::value>(u, key, kt, withPlane, vec, fn);
    });
  };

  switch (n.mode) {
    case 0:
      if (n.plane) {
        auto fn = [&](uint32_t s, uint32_t d, uint32_t a) { return a == 255 ? src(s) : chan(src(s), d, a); };
        if (fast && sizeof(P) == 4 && avx2)
          gathered(true, [&](const Job& u) { ChanRows32Avx2(u, key, kt); });
        else if (fast)
          runFast(std::true_type{}, true, [&](__m128i s, __m128i d, __m128i a) { return v.chan(s, d, a); }, fn);
        else run(key, true, fn);
      } else if (n.var == Var::LowBright) {
        run(key, false, [&](uint32_t s, uint32_t, uint32_t) { return m.weightBright(s, st.bright); });
      } else if (bright) {
        run(key, false, [&](uint32_t s, uint32_t, uint32_t) { return bri(s); });
      } else {
        RunScaledCopyAny<P>(j, sc, key, kt, st.simd);
      }
      return;
    case 4:
      run(false, false, [&](uint32_t s, uint32_t d, uint32_t) {
        return per([&m](uint32_t sc, uint32_t dc, int c) { return sc * dc / m.max(c); })(src(s), d);
      });
      return;
    case 1:
      if (n.plane) {
        auto fn = [&](uint32_t s, uint32_t d, uint32_t a) {
          return a == 255 ? pq(src(s), d) : chan(src(s), d, (a * p) >> 8);
        };
        if (fast)
          runFast(std::false_type{}, true,
                  [&](__m128i s, __m128i d, __m128i a) { return v.planeAlpha(s, d, a, vp, vq); }, fn);
        else run(key, true, fn);
      } else if (low) {
        run(key, false, [&](uint32_t s, uint32_t d, uint32_t) { return m.weight(srcLow(s), q) + m.weight(d, 16 - q); });
      } else {
        auto fn = [&](uint32_t s, uint32_t d, uint32_t) { return pq(src(s), d); };
        if (fast)
          runFast(std::false_type{}, false, [&](__m128i s, __m128i d, __m128i) { return v.pq(s, d, vp, vq); }, fn);
        else run(key, false, fn);
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
  // Source column offsets (in pixels, signed by the drawing direction) for each destination column, the row
  // buffers and the gather plan: at most 15 bytes a column.
  constexpr int kLocal = 1024;
  const size_t groups = size_t(j.w) / 8 + 1;
  const size_t bytes = groups * 12 + size_t(j.w) * 13;
  alignas(16) uint8_t local[kLocal * 15];
  uint8_t* block = j.w <= kLocal ? local : static_cast<uint8_t*>(MemAlloc(static_cast<int>(bytes)));
  if (block == nullptr) return;
  uint8_t* at = block;
  auto take = [&at](size_t n) { return std::exchange(at, at + n); };
  Scratch sc;
  sc.plan.relBytes = reinterpret_cast<uint64_t*>(take(groups * 8));
  sc.plan.base = reinterpret_cast<int32_t*>(take(groups * 4));
  sc.plan.rel = reinterpret_cast<int32_t*>(take(size_t(j.w) * 4));
  sc.cols = reinterpret_cast<int32_t*>(take(size_t(j.w) * 4));
  sc.row = take(size_t(j.w) * 4);
  sc.alphaRow = take(size_t(j.w));
  SourceSteps columns(j.x);
  for (int x = 0; x < j.w; ++x, columns.next()) sc.cols[x] = static_cast<int32_t>(columns.index() * j.srcStepX);
  sc.planned = depth == 32 && st.simd && st.avx2 && HaveAvx2();
  if (sc.planned) PlanGather(sc.cols, j.w, sc.plan);
  if (depth == 8) {
    RunScaledCopyAny<uint8_t>(j, sc, n.key, KeyTest{0xFF, 0}, st.simd);
  } else if (depth == 16) {
    const bool general = ClassifyLayout16(*st.screen) == Layout16::General;
    const Model16 m{MakeFmt16(*st.screen, !general), general};
    ScaledBlend<uint16_t>(j, sc, st, m, Vec16(m.f), n);
  } else {
    ScaledBlend<uint32_t>(j, sc, st, Model32{}, Vec32{}, n);
  }
  if (block != local) MemFree(block);
}

Outcome DrawScaled(const ScaledJob& j, const Settings& settings) {
  if (j.w <= 0 || j.h <= 0) return Outcome::Nothing;
  const Nest nest = ChooseScaled(settings, j.alpha != nullptr);
  RunScaled(j, settings, nest);
  return nest.outcome;
}

}  // namespace blit
