// Choice of the loop nest and the per-call preparation of the shared blend rules.
#include "graphics/software/rota_blend.h"

#include <bit>

namespace {

struct Channels {
  uint32_t mask[3];  // red, green, blue
};

Channels ChannelsOf(RotaLayout layout, const ColorFormat& screen) {
  switch (layout) {
    case RotaLayout::R565: return {{0xF800, 0x07E0, 0x001F}};
    case RotaLayout::R555: return {{0x7C00, 0x03E0, 0x001F}};
    case RotaLayout::X8R8G8B8: return {{0xFF0000, 0x00FF00, 0x0000FF}};
    case RotaLayout::Generic16: return {{screen.redMask & 0xFFFF, screen.greenMask & 0xFFFF, screen.blueMask & 0xFFFF}};
    default: return {{0, 0, 0}};
  }
}

bool IsBright(const RotaBlendSettings& b) { return b.brightness != 0xFFFFFFFF; }
uint32_t Quarter(int32_t p) { return static_cast<uint32_t>(p + 1) >> 4; }  // sixteenths of the parameter
int32_t ClampParam(int32_t p) { return p < 0 ? 0 : p > 255 ? 255 : p; }

// Tests and redirections of the parameter shared by both kinds of nest; false when nothing is drawn.
bool ApplyParam(RotaNest& n, const RotaBlendSettings& blend, bool low) {
  int32_t p = ClampParam(blend.param);
  if (n.mode == 1) {
    if (low ? Quarter(p) == 0 : p == 0) return false;
    if (low ? Quarter(p) == 16 : p == 255) n.mode = 0;
  } else if (n.mode == 2 || n.mode == 3) {
    if (low ? Quarter(p) == 0 : p == 0) return false;
  }
  return true;
}

RotaVar LowVar(int mode, bool bright, int32_t p) {
  if (bright) return RotaVar::LowBright;
  if (mode == 0) return RotaVar::Plain;
  uint32_t q = Quarter(ClampParam(p));
  if (mode == 1) return q == 8 ? RotaVar::LowSpecial : RotaVar::LowPlain;
  return q == 16 ? RotaVar::LowSpecial : RotaVar::LowPlain;
}

}  // namespace

bool RotaLayoutOf(const ColorFormat& screen, RotaLayout* layout) {
  switch (screen.bitDepth) {
    case 8: *layout = RotaLayout::Index8; return true;
    case 32: *layout = RotaLayout::X8R8G8B8; return true;
    case 16:
      if (screen.redMask == 0xF800 && screen.greenMask == 0x07E0 && screen.blueMask == 0x001F)
        *layout = RotaLayout::R565;
      else if (screen.redMask == 0x7C00 && screen.greenMask == 0x03E0 && screen.blueMask == 0x001F)
        *layout = RotaLayout::R555;
      else
        *layout = RotaLayout::Generic16;
      return true;
    default: return false;
  }
}

RotaNest RotaChooseTexNest(const ColorFormat& screen, const RotaBlendSettings& blend, bool hasPlane,
                           int32_t transparent) {
  RotaNest n;
  if (!RotaLayoutOf(screen, &n.layout)) return n;
  if (n.layout == RotaLayout::Index8) {
    n.key = transparent != 0;
    n.draw = true;
    return n;
  }
  if (blend.mode < 0 || blend.mode > 4) return n;
  n.mode = static_cast<uint8_t>(blend.mode);
  n.plane = hasPlane && n.mode != 4;
  n.key = transparent == 1 && n.mode != 4;
  bool generic = n.layout == RotaLayout::Generic16;
  bool bright = IsBright(blend);
  bool low = blend.lowPrecision && !n.plane && !generic && n.mode <= 3;
  if (!ApplyParam(n, blend, low)) return n;
  if (generic)
    n.var = n.plane && bright ? RotaVar::Bright : RotaVar::Plain;
  else if (low)
    n.var = LowVar(n.mode, bright, blend.param);
  else
    n.var = bright ? RotaVar::Bright : RotaVar::Plain;
  n.draw = true;
  return n;
}

RotaNest RotaChooseFillNest(const ColorFormat& screen, const RotaBlendSettings& blend) {
  RotaNest n;
  if (!RotaLayoutOf(screen, &n.layout)) return n;
  if (n.layout == RotaLayout::Index8) {
    n.draw = true;
    return n;
  }
  if (blend.mode < 0 || blend.mode > 3) return n;
  n.mode = static_cast<uint8_t>(blend.mode);
  bool generic = n.layout == RotaLayout::Generic16;
  bool low = blend.lowPrecision && !generic;
  if (!ApplyParam(n, blend, low)) return n;
  if (generic)
    n.var = RotaVar::Plain;
  else if (low)
    n.var = LowVar(n.mode, IsBright(blend), blend.param);
  else
    n.var = IsBright(blend) ? RotaVar::Bright : RotaVar::Plain;
  n.draw = true;
  return n;
}

void RotaPrepareContext(RotaBlendContext* c, const ColorFormat& screen, const RotaBlendSettings& blend,
                        uint32_t key) {
  RotaLayout layout = RotaLayout::Index8;
  RotaLayoutOf(screen, &layout);
  int32_t p = ClampParam(blend.param);
  int32_t red = (blend.brightness >> 16) & 0xFF, green = (blend.brightness >> 8) & 0xFF;
  int32_t blue = blend.brightness & 0xFF;
  // Only the rows some nest of these settings reads are built.
  if (blend.mode >= 1 && blend.mode <= 3)
    for (int32_t i = 0; i < 256; ++i) {
      c->P[i] = (p * i) >> 8;
      c->Q[i] = ((255 - p) * i) >> 8;
    }
  if (blend.brightness != 0xFFFFFFFF)
    for (int32_t i = 0; i < 256; ++i) {
      c->BR[i] = (red * i) >> 8;
      c->BG[i] = (green * i) >> 8;
      c->BB[i] = (blue * i) >> 8;
    }
  c->p = p;

  Channels ch = ChannelsOf(layout, screen);
  uint32_t shift[3], width[3];
  for (int i = 0; i < 3; ++i) {
    shift[i] = ch.mask[i] ? static_cast<uint32_t>(std::countr_zero(ch.mask[i])) : 0;
    width[i] = static_cast<uint32_t>(std::popcount(ch.mask[i]));
  }
  c->rMask = ch.mask[0]; c->gMask = ch.mask[1]; c->bMask = ch.mask[2];
  c->rShift = shift[0]; c->gShift = shift[1]; c->bShift = shift[2];
  c->rMax = ch.mask[0] >> shift[0]; c->gMax = ch.mask[1] >> shift[1]; c->bMax = ch.mask[2] >> shift[2];
  if (c->rMax == 0) c->rMax = 1;  // a format without a channel must not divide by zero in multiply
  if (c->gMax == 0) c->gMax = 1;
  if (c->bMax == 0) c->bMax = 1;
  c->guard = 0; c->lowBits = 0;
  for (int i = 0; i < 3; ++i) {
    if (!ch.mask[i]) continue;
    c->guard |= 1u << (shift[i] + width[i]);
    c->lowBits |= 1u << shift[i];
  }
  c->inner = (ch.mask[0] | ch.mask[1] | ch.mask[2]) & ~c->guard;
  c->guardShift = width[0];

  // Sixteenths: M16 keeps everything, Mn holds every channel shifted right by n.
  uint32_t m[5];
  m[0] = 0xFFFFFFFF;
  for (int n = 1; n < 5; ++n) {
    m[n] = 0;
    for (int i = 0; i < 3; ++i) m[n] |= (ch.mask[i] >> n) & ch.mask[i];
  }
  c->m8 = m[1];
  uint32_t q = Quarter(p), r = 16 - q;
  uint32_t factor[3] = {static_cast<uint32_t>(red + 1) >> 4, static_cast<uint32_t>(green + 1) >> 4,
                        static_cast<uint32_t>(blue + 1) >> 4};
  for (int n = 0; n < 5; ++n) {
    uint32_t bit = 16u >> n;
    c->lowS[n] = (q & bit) ? m[n] : 0;
    c->lowD[n] = (r & bit) ? m[n] : 0;
    c->lowB[n] = 0;
    for (int i = 0; i < 3; ++i)
      if (factor[i] & bit) c->lowB[n] |= (ch.mask[i] >> n) & ch.mask[i];
  }

  c->keyMask = layout == RotaLayout::Index8 ? 0xFF : (ch.mask[0] | ch.mask[1] | ch.mask[2]);
  c->key = key & c->keyMask;
}
