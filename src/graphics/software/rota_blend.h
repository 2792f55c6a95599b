// Per-pixel blend rules shared by the rotated drawer and the triangle rasteriser, and the choice of the loop
// nest that runs them. Everything that does not depend on the pixel is prepared once per call in a
// RotaBlendContext; a nest is one instantiation of RotaTexRule (textured) or RotaFillRule (one colour).
#pragma once
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "graphics/color_format.h"

// What the draw state says about blending, as the loops need it.
struct RotaBlendSettings {
  int32_t mode = 0;                   // 0 copy, 1 alpha, 2 add, 3 subtract, 4 multiply
  int32_t param = 255;                // 0 to 255
  uint32_t brightness = 0xFFFFFFFF;   // blue, green, red, spare bytes; all ones means none
  bool lowPrecision = false;          // blend in sixteenths
};

enum class RotaLayout : uint8_t { Index8, R565, R555, Generic16, X8R8G8B8 };

// How the source is prepared before it meets the background.
enum class RotaVar : uint8_t {
  Plain,      // no brightness, 256 steps (generic 16-bit: brightness ignored)
  Bright,     // brightness rows, 256 steps
  LowPlain,   // sixteenths, no brightness
  LowBright,  // sixteenths, brightness by per-channel masks
  LowSpecial  // sixteenths without brightness at the exact factor (alpha: q = 8 average; add/subtract: q = 16)
};

struct RotaNest {
  bool draw = false;
  RotaLayout layout = RotaLayout::Index8;
  uint8_t mode = 0;
  bool plane = false;
  RotaVar var = RotaVar::Plain;
  bool key = false;
  bool simd = true;  // vector rows where the nest has them; off runs the plain per-pixel loop
};

// The layout of a screen format, or draw == false for a depth the loops do not draw.
bool RotaLayoutOf(const ColorFormat& screen, RotaLayout* layout);
// The textured nest for these settings; draw is false when the settings draw nothing.
RotaNest RotaChooseTexNest(const ColorFormat& screen, const RotaBlendSettings& blend, bool hasPlane,
                           int32_t transparent);
// The one-colour nest (no key, no plane).
RotaNest RotaChooseFillNest(const ColorFormat& screen, const RotaBlendSettings& blend);

struct RotaBlendContext {
  int32_t P[256], Q[256];        // rows p and 255 - p of the multiply table
  int32_t BR[256], BG[256], BB[256];
  int32_t p = 0;
  uint32_t lowS[5] = {}, lowD[5] = {}, lowB[5] = {};  // gated masks M16..M1 for q, 16 - q and brightness
  uint32_t m8 = 0;                                    // M8 of the layout, for the exact average
  uint32_t key = 0, keyMask = 0;                      // key compared on the colour-channel bits only
  // Channel description of the screen (fixed layouts have it too, the generic loops read it).
  uint32_t rMask = 0, gMask = 0, bMask = 0;
  uint32_t rShift = 0, gShift = 0, bShift = 0;
  uint32_t rMax = 0, gMax = 0, bMax = 0;
  uint32_t guard = 0, inner = 0, lowBits = 0, guardShift = 0;  // packed add/subtract constants (generic)
};

// Prepares the context; key is the packed transparent colour (ignored unless the nest keys).
void RotaPrepareContext(RotaBlendContext* c, const ColorFormat& screen, const RotaBlendSettings& blend,
                        uint32_t key);

namespace rotablend {

inline uint32_t Load16(const uint8_t* p) { uint16_t v; std::memcpy(&v, p, 2); return v; }
inline uint32_t Load32(const uint8_t* p) { uint32_t v; std::memcpy(&v, p, 4); return v; }
inline void Store16(uint8_t* p, uint32_t v) { uint16_t w = static_cast<uint16_t>(v); std::memcpy(p, &w, 2); }
inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

// Fixed 16-bit layouts: channel positions and the packed add/subtract constants.
template <uint32_t RS, uint32_t RW, uint32_t GS, uint32_t GW, uint32_t AddMask, uint32_t Guard, uint32_t LowOr,
          uint32_t SubMask>
struct Fixed16 {
  static constexpr int kBytes = 2;
  static uint32_t Load(const uint8_t* p) { return Load16(p); }
  static void Store(uint8_t* p, uint32_t v) { Store16(p, v); }
  static uint32_t R(const RotaBlendContext&, uint32_t x) { return (x >> RS) & ((1u << RW) - 1); }
  static uint32_t G(const RotaBlendContext&, uint32_t x) { return (x >> GS) & ((1u << GW) - 1); }
  static uint32_t B(const RotaBlendContext&, uint32_t x) { return x & 0x1F; }
  static uint32_t Pack(const RotaBlendContext&, uint32_t r, uint32_t g, uint32_t b) {
    return (r << RS) | (g << GS) | b;
  }
  static uint32_t RMax(const RotaBlendContext&) { return (1u << RW) - 1; }
  static uint32_t GMax(const RotaBlendContext&) { return (1u << GW) - 1; }
  static uint32_t BMax(const RotaBlendContext&) { return 31; }
  static uint32_t AddSat(const RotaBlendContext&, uint32_t t, uint32_t d) {
    uint32_t u = (t & AddMask) + (d & AddMask);
    uint32_t g = u & Guard;
    return ((g - (g >> 5)) | u | ((t | d) & LowOr)) & 0xFFFF;
  }
  static uint32_t SubSat(const RotaBlendContext&, uint32_t t, uint32_t d) {
    uint32_t u = (d | Guard) - (t & SubMask);
    uint32_t g = u & Guard;
    return ((g - (g >> 5)) & u) & 0xFFFF;
  }
};
using F565 = Fixed16<11, 5, 5, 6, 0xF7DF, 0x10820, 0x0820, 0xFFFEF7DF>;
using F555 = Fixed16<10, 5, 5, 5, 0x7BDF, 0x8420, 0x0420, 0xFFFF7BDF>;

// Any other 16-bit masks: every channel, blue included, by its own mask and shift.
struct FGen16 {
  static constexpr int kBytes = 2;
  static uint32_t Load(const uint8_t* p) { return Load16(p); }
  static void Store(uint8_t* p, uint32_t v) { Store16(p, v); }
  static uint32_t R(const RotaBlendContext& c, uint32_t x) { return (x & c.rMask) >> c.rShift; }
  static uint32_t G(const RotaBlendContext& c, uint32_t x) { return (x & c.gMask) >> c.gShift; }
  static uint32_t B(const RotaBlendContext& c, uint32_t x) { return (x & c.bMask) >> c.bShift; }
  static uint32_t Pack(const RotaBlendContext& c, uint32_t r, uint32_t g, uint32_t b) {
    return (r << c.rShift) | (g << c.gShift) | (b << c.bShift);
  }
  static uint32_t RMax(const RotaBlendContext& c) { return c.rMax; }
  static uint32_t GMax(const RotaBlendContext& c) { return c.gMax; }
  static uint32_t BMax(const RotaBlendContext& c) { return c.bMax; }
  static uint32_t AddSat(const RotaBlendContext& c, uint32_t t, uint32_t d) {
    uint32_t u = (t & c.inner) + (d & c.inner);
    uint32_t g = u & c.guard;
    return ((g - (g >> c.guardShift)) | u | ((t | d) & c.lowBits)) & 0xFFFF;
  }
  static uint32_t SubSat(const RotaBlendContext& c, uint32_t t, uint32_t d) {
    uint32_t u = (d | c.guard) - (t & ~c.guard);
    uint32_t g = u & c.guard;
    return ((g - (g >> c.guardShift)) & u) & 0xFFFF;
  }
};

struct F32 {
  static constexpr int kBytes = 4;
  static uint32_t Load(const uint8_t* p) { return Load32(p); }
  static void Store(uint8_t* p, uint32_t v) { Store32(p, v); }
  static uint32_t R(const RotaBlendContext&, uint32_t x) { return (x >> 16) & 0xFF; }
  static uint32_t G(const RotaBlendContext&, uint32_t x) { return (x >> 8) & 0xFF; }
  static uint32_t B(const RotaBlendContext&, uint32_t x) { return x & 0xFF; }
  static uint32_t Pack(const RotaBlendContext&, uint32_t r, uint32_t g, uint32_t b) {
    return (r << 16) | (g << 8) | b;
  }
  static uint32_t RMax(const RotaBlendContext&) { return 255; }
  static uint32_t GMax(const RotaBlendContext&) { return 255; }
  static uint32_t BMax(const RotaBlendContext&) { return 255; }
  static uint32_t AddSat(const RotaBlendContext&, uint32_t t, uint32_t d) {
    uint32_t u = (t & 0xFEFEFF) + (d & 0xFEFEFF);
    uint32_t g = u & 0x1010100;
    return (g - (g >> 8)) | u | ((t | d) & 0x10100);
  }
  static uint32_t SubSat(const RotaBlendContext&, uint32_t t, uint32_t d) {
    uint32_t u = (d | 0x1010100) - (t & 0xFEFEFEFF);
    uint32_t g = u & 0x1010100;
    return (g - (g >> 8)) & u;
  }
};

// Scaling by sixteenths: up to five shifted, masked terms, the masks gated by the factor's bits.
inline uint32_t Sixteenths(uint32_t x, const uint32_t* m) {
  return (x & m[0]) + ((x >> 1) & m[1]) + ((x >> 2) & m[2]) + ((x >> 3) & m[3]) + ((x >> 4) & m[4]);
}

// The source after the brightness, packed.
template <class F, RotaVar V>
inline uint32_t Bright(const RotaBlendContext& c, uint32_t s) {
  if constexpr (V == RotaVar::Bright)
    return F::Pack(c, c.BR[F::R(c, s)], c.BG[F::G(c, s)], c.BB[F::B(c, s)]);
  else if constexpr (V == RotaVar::LowBright)
    return Sixteenths(s, c.lowB);
  else
    return s;
}

// Channels of the source after the brightness (256-step variants only).
template <class F, RotaVar V>
inline void BrightChannels(const RotaBlendContext& c, uint32_t s, int32_t& r, int32_t& g, int32_t& b) {
  if constexpr (V == RotaVar::Bright) {
    r = c.BR[F::R(c, s)]; g = c.BG[F::G(c, s)]; b = c.BB[F::B(c, s)];
  } else {
    r = static_cast<int32_t>(F::R(c, s)); g = static_cast<int32_t>(F::G(c, s)); b = static_cast<int32_t>(F::B(c, s));
  }
}

// The source term: everything that depends on the source alone (for a one-colour fill: computed once).
template <class F, int Mode, RotaVar V>
inline uint32_t SrcTerm(const RotaBlendContext& c, uint32_t s) {
  if constexpr (Mode == 0 || Mode == 4) {
    return Bright<F, V>(c, s);
  } else if constexpr (V == RotaVar::LowSpecial) {
    return s;
  } else if constexpr (V == RotaVar::LowPlain || V == RotaVar::LowBright) {
    return Sixteenths(Bright<F, V>(c, s), c.lowS);
  } else {
    int32_t r, g, b;
    BrightChannels<F, V>(c, s, r, g, b);
    return F::Pack(c, c.P[r], c.P[g], c.P[b]);
  }
}

// The source term meeting the background pixel.
template <class F, int Mode, RotaVar V>
inline uint32_t Combine(const RotaBlendContext& c, uint32_t t, uint32_t d) {
  if constexpr (Mode == 0) {
    return t;
  } else if constexpr (Mode == 1) {
    if constexpr (V == RotaVar::LowSpecial)
      return (t & d) + (((t ^ d) >> 1) & c.m8);
    else if constexpr (V == RotaVar::LowPlain || V == RotaVar::LowBright)
      return t + Sixteenths(d, c.lowD);
    else
      return F::Pack(c, F::R(c, t) + c.Q[F::R(c, d)], F::G(c, t) + c.Q[F::G(c, d)],
                     F::B(c, t) + c.Q[F::B(c, d)]);
  } else if constexpr (Mode == 2) {
    return F::AddSat(c, t, d);
  } else if constexpr (Mode == 3) {
    return F::SubSat(c, t, d);
  } else {
    return F::Pack(c, F::R(c, t) * F::R(c, d) / F::RMax(c), F::G(c, t) * F::G(c, d) / F::GMax(c),
                   F::B(c, t) * F::B(c, d) / F::BMax(c));
  }
}

inline int32_t Lerp8(int32_t s, int32_t d, int32_t k) { return ((s - d) * k + (d << 8)) >> 8; }

// One textured nest's per-pixel rule: texel s at sp, background at bp, plane byte at ap (read only with a plane).
template <class F, int Mode, bool Plane, RotaVar V, bool Key>
struct TexRule {
  static constexpr int kBytes = F::kBytes;
  static constexpr bool kPlane = Plane;
  static inline void Px(const RotaBlendContext& c, uint8_t* dp, const uint8_t* bp, const uint8_t* sp,
                        const uint8_t* ap) {
    uint32_t s = F::Load(sp);
    if constexpr (Key) {
      if ((s & c.keyMask) == c.key) return;
    }
    if constexpr (!Plane) {
      if constexpr (Mode == 0) {
        F::Store(dp, SrcTerm<F, 0, V>(c, s));
      } else {
        uint32_t d = F::Load(bp);
        F::Store(dp, Combine<F, Mode, V>(c, SrcTerm<F, Mode, V>(c, s), d));
      }
    } else {
      int32_t a = *ap;
      if (a == 0) return;
      if constexpr (Mode == 0) {
        if (a == 255) { F::Store(dp, Bright<F, V>(c, s)); return; }
        uint32_t d = F::Load(bp);
        int32_t r, g, b;
        BrightChannels<F, V>(c, s, r, g, b);
        F::Store(dp, F::Pack(c, Lerp8(r, F::R(c, d), a), Lerp8(g, F::G(c, d), a), Lerp8(b, F::B(c, d), a)));
      } else if constexpr (Mode == 1) {
        uint32_t d = F::Load(bp);
        int32_t r, g, b;
        BrightChannels<F, V>(c, s, r, g, b);
        int32_t dr = F::R(c, d), dg = F::G(c, d), db = F::B(c, d);
        if (a == 255) {
          F::Store(dp, F::Pack(c, c.P[r] + c.Q[dr], c.P[g] + c.Q[dg], c.P[b] + c.Q[db]));
        } else {
          int32_t k = (a * c.p) >> 8;
          F::Store(dp, F::Pack(c, Lerp8(r, dr, k), Lerp8(g, dg, k), Lerp8(b, db, k)));
        }
      } else {
        uint32_t d = F::Load(bp);
        int32_t r, g, b;
        BrightChannels<F, V>(c, s, r, g, b);
        uint32_t t;
        if (a == 255)
          t = F::Pack(c, c.P[r], c.P[g], c.P[b]);
        else
          t = F::Pack(c, (c.P[r] * a) >> 8, (c.P[g] * a) >> 8, (c.P[b] * a) >> 8);
        F::Store(dp, Mode == 2 ? F::AddSat(c, t, d) : F::SubSat(c, t, d));
      }
    }
  }
};

// The copy through an alpha plane without brightness on the fixed layouts: the same rule, run by the vector rows over
// gathered texels (rota_gather.cpp) instead of pixel by pixel.
template <class F, bool Key>
struct GatherRule : TexRule<F, 0, true, RotaVar::Plain, Key> {
  static constexpr bool kGathered = true;
  static constexpr bool kKey = Key;
  static constexpr RotaLayout kLayout = std::is_same_v<F, F32>    ? RotaLayout::X8R8G8B8
                                        : std::is_same_v<F, F565> ? RotaLayout::R565
                                                                  : RotaLayout::R555;
};

// 8-bit: the index is copied whatever the blend; with the key on, index 0 is left out.
template <bool Key>
struct IndexRule {
  static constexpr int kBytes = 1;
  static constexpr bool kPlane = false;
  static inline void Px(const RotaBlendContext&, uint8_t* dp, const uint8_t*, const uint8_t* sp, const uint8_t*) {
    uint8_t s = *sp;
    if constexpr (Key) {
      if (s == 0) return;
    }
    *dp = s;
  }
};

// Calls vis.template operator()<F>() for the layout's format traits.
template <class Vis>
inline void WithFormat(RotaLayout layout, Vis&& vis) {
  switch (layout) {
    case RotaLayout::R565: vis.template operator()<F565>(); break;
    case RotaLayout::R555: vis.template operator()<F555>(); break;
    case RotaLayout::Generic16: vis.template operator()<FGen16>(); break;
    case RotaLayout::X8R8G8B8: vis.template operator()<F32>(); break;
    default: break;
  }
}

template <class F, int Mode, bool Plane, RotaVar V, class Vis>
inline void WithKey(bool key, Vis& vis) {
  if (key)
    vis.template operator()<TexRule<F, Mode, Plane, V, true>>();
  else
    vis.template operator()<TexRule<F, Mode, Plane, V, false>>();
}

template <class F, int Mode, bool Plane, class Vis>
inline void WithVar(RotaVar var, bool key, Vis& vis) {
  constexpr bool kLow = !Plane && Mode <= 3 && !std::is_same_v<F, FGen16>;
  constexpr bool kBright = !(std::is_same_v<F, FGen16> && !Plane);
  switch (var) {
    case RotaVar::Plain: WithKey<F, Mode, Plane, RotaVar::Plain>(key, vis); break;
    case RotaVar::Bright:
      if constexpr (kBright) WithKey<F, Mode, Plane, RotaVar::Bright>(key, vis);
      break;
    case RotaVar::LowPlain:
      if constexpr (kLow && Mode != 0) WithKey<F, Mode, Plane, RotaVar::LowPlain>(key, vis);
      break;
    case RotaVar::LowBright:
      if constexpr (kLow) WithKey<F, Mode, Plane, RotaVar::LowBright>(key, vis);
      break;
    case RotaVar::LowSpecial:
      if constexpr (kLow && Mode != 0) WithKey<F, Mode, Plane, RotaVar::LowSpecial>(key, vis);
      break;
  }
}

template <class F, int Mode, class Vis>
inline void WithPlane(const RotaNest& n, Vis& vis) {
  if constexpr (Mode == 4) {
    WithVar<F, 4, false>(n.var, false, vis);
  } else if (n.plane) {
    WithVar<F, Mode, true>(n.var, n.key, vis);
  } else {
    WithVar<F, Mode, false>(n.var, n.key, vis);
  }
}

// One-colour nests: the source term is prepared once from the colour, each pixel only meets the background.
template <class F, int Mode, RotaVar V>
struct FillRule {
  static constexpr int kBytes = F::kBytes;
  static inline uint32_t Prepare(const RotaBlendContext& c, uint32_t colour) {
    return SrcTerm<F, Mode, V>(c, colour);
  }
  static inline void Px(const RotaBlendContext& c, uint8_t* dp, const uint8_t* bp, uint32_t t) {
    if constexpr (Mode == 0)
      F::Store(dp, t);
    else
      F::Store(dp, Combine<F, Mode, V>(c, t, F::Load(bp)));
  }
};

struct FillIndex {
  static constexpr int kBytes = 1;
  static inline uint32_t Prepare(const RotaBlendContext&, uint32_t colour) { return colour & 0xFF; }
  static inline void Px(const RotaBlendContext&, uint8_t* dp, const uint8_t*, uint32_t t) {
    *dp = static_cast<uint8_t>(t);
  }
};

template <class F, int Mode, class Vis>
inline void WithFillVar(RotaVar var, Vis& vis) {
  if constexpr (std::is_same_v<F, FGen16>) {
    vis.template operator()<FillRule<F, Mode, RotaVar::Plain>>();
  } else {
    switch (var) {
      case RotaVar::Plain: vis.template operator()<FillRule<F, Mode, RotaVar::Plain>>(); break;
      case RotaVar::Bright: vis.template operator()<FillRule<F, Mode, RotaVar::Bright>>(); break;
      case RotaVar::LowBright: vis.template operator()<FillRule<F, Mode, RotaVar::LowBright>>(); break;
      case RotaVar::LowPlain:
        if constexpr (Mode != 0) vis.template operator()<FillRule<F, Mode, RotaVar::LowPlain>>();
        break;
      case RotaVar::LowSpecial:
        if constexpr (Mode != 0) vis.template operator()<FillRule<F, Mode, RotaVar::LowSpecial>>();
        break;
    }
  }
}

}  // namespace rotablend

// Runs vis.template operator()<Rule>() with the textured rule of the nest (nothing when it does not draw).
template <class Vis>
inline void RotaVisitTexNest(const RotaNest& n, Vis&& vis) {
  using namespace rotablend;
  if (!n.draw) return;
  if (n.layout == RotaLayout::Index8) {
    if (n.key)
      vis.template operator()<IndexRule<true>>();
    else
      vis.template operator()<IndexRule<false>>();
    return;
  }
  const bool fixedLayout = n.layout != RotaLayout::Generic16;
  if (n.simd && fixedLayout && n.mode == 0 && n.plane && n.var == RotaVar::Plain) {
    WithFormat(n.layout, [&]<class F>() {
      if constexpr (!std::is_same_v<F, FGen16>) {
        if (n.key)
          vis.template operator()<GatherRule<F, true>>();
        else
          vis.template operator()<GatherRule<F, false>>();
      }
    });
    return;
  }
  WithFormat(n.layout, [&]<class F>() {
    switch (n.mode) {
      case 0: WithPlane<F, 0>(n, vis); break;
      case 1: WithPlane<F, 1>(n, vis); break;
      case 2: WithPlane<F, 2>(n, vis); break;
      case 3: WithPlane<F, 3>(n, vis); break;
      case 4: WithPlane<F, 4>(n, vis); break;
      default: break;
    }
  });
}

// Runs vis.template operator()<Rule>() with the one-colour rule of the nest.
template <class Vis>
inline void RotaVisitFillNest(const RotaNest& n, Vis&& vis) {
  using namespace rotablend;
  if (!n.draw) return;
  if (n.layout == RotaLayout::Index8) {
    vis.template operator()<FillIndex>();
    return;
  }
  WithFormat(n.layout, [&]<class F>() {
    switch (n.mode) {
      case 0: WithFillVar<F, 0>(n.var, vis); break;
      case 1: WithFillVar<F, 1>(n.var, vis); break;
      case 2: WithFillVar<F, 2>(n.var, vis); break;
      case 3: WithFillVar<F, 3>(n.var, vis); break;
      default: break;
    }
  });
}
