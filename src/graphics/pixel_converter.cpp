#include "graphics/pixel_converter.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

using Byte = uint8_t;

template <int Bytes>
inline uint32_t LoadPixel(const Byte* p) {
  if constexpr (Bytes == 1) {
    return p[0];
  } else if constexpr (Bytes == 2) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  } else if constexpr (Bytes == 3) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
  } else {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
}

template <int Bytes>
inline void StorePixel(Byte* p, uint32_t v) {
  if constexpr (Bytes == 1) {
    p[0] = static_cast<Byte>(v);
  } else if constexpr (Bytes == 2) {
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, 2);
  } else if constexpr (Bytes == 3) {
    p[0] = static_cast<Byte>(v);
    p[1] = static_cast<Byte>(v >> 8);
    p[2] = static_cast<Byte>(v >> 16);
  } else {
    std::memcpy(p, &v, 4);
  }
}

uint32_t LoadPixelBySize(const Byte* p, int bytes) {
  switch (bytes) {
    case 1: return LoadPixel<1>(p);
    case 2: return LoadPixel<2>(p);
    case 3: return LoadPixel<3>(p);
    case 4: return LoadPixel<4>(p);
    default: return 0;
  }
}

int BytesOf(const ColorFormat& f) { return f.bitDepth / 8; }

uint32_t DepthMask(const ColorFormat& f) { return f.bitDepth >= 32 ? 0xFFFFFFFFu : (1u << f.bitDepth) - 1; }

uint32_t RgbMask(const ColorFormat& f) { return f.redMask | f.greenMask | f.blueMask; }

// Where one rectangle lives: first pixel, pitch, and the step along a destination row (negative when mirrored).
struct Rect {
  const Byte* src;
  ptrdiff_t srcPitch;
  Byte* dst;
  ptrdiff_t dstPitch;
  int width, height;
  bool mirror;

  Byte* DstRow(int y, int bytes) const {
    Byte* row = dst + y * dstPitch;
    return mirror ? row + static_cast<ptrdiff_t>(width - 1) * bytes : row;
  }
  ptrdiff_t DstStep(int bytes) const { return mirror ? -bytes : bytes; }
};

// Equal formats: rows copied unchanged, or pixel by pixel from the right end when mirrored.
void CopyRows(const Rect& r, int bytes) {
  const size_t rowBytes = static_cast<size_t>(r.width) * bytes;
  for (int y = 0; y < r.height; ++y) {
    const Byte* s = r.src + y * r.srcPitch;
    if (!r.mirror) {
      std::memcpy(r.dst + y * r.dstPitch, s, rowBytes);
      continue;
    }
    Byte* d = r.DstRow(y, bytes);
    for (int x = 0; x < r.width; ++x, s += bytes, d -= bytes) std::memcpy(d, s, bytes);
  }
}

// Same colour layout, alpha test: key-coloured pixels lose their alpha bits, all others get them.
template <int Bytes>
void KeyRowsSameFormat(const Rect& r, const ColorFormat& dst, uint32_t key) {
  uint32_t ignore = 0;
  if constexpr (Bytes == 2 || Bytes == 4) ignore = DepthMask(dst) & ~RgbMask(dst);
  key = (key | ignore) & DepthMask(dst);
  for (int y = 0; y < r.height; ++y) {
    const Byte* s = r.src + y * r.srcPitch;
    Byte* d = r.DstRow(y, Bytes);
    for (int x = 0; x < r.width; ++x, s += Bytes, d += r.DstStep(Bytes)) {
      const uint32_t px = LoadPixel<Bytes>(s);
      StorePixel<Bytes>(d, (px | ignore) == key ? px & ~dst.alphaMask : px | dst.alphaMask);
    }
  }
}

// ---- Fixed conversions from palette and 24-bit pictures to the common screen and texture formats. ----

enum class FastSource { Palette, Bgr24 };
enum class FastTarget { R5G6B5, X1R5G5B5Clear, X1R5G5B5Set, A1R5G5B5, X8R8G8B8, A8R8G8B8 };
enum class FastKey { None, Exact, Narrowed };

inline uint32_t To565(uint32_t c) { return (c >> 8 & 0xF800) | (c >> 5 & 0x7E0) | (c >> 3 & 0x1F); }
inline uint32_t To555(uint32_t c) { return (c >> 9 & 0x7C00) | (c >> 6 & 0x3E0) | (c >> 3 & 0x1F); }

template <FastSource Source, FastTarget Target, FastKey Key>
void FastRows(const Rect& r, const uint32_t* palette, uint32_t key) {
  constexpr int srcBytes = Source == FastSource::Palette ? 1 : 3;
  constexpr int dstBytes = Target == FastTarget::X8R8G8B8 || Target == FastTarget::A8R8G8B8 ? 4 : 2;
  key &= 0xFFFFFF;
  const uint32_t key555 = To555(key);
  for (int y = 0; y < r.height; ++y) {
    const Byte* s = r.src + y * r.srcPitch;
    Byte* d = r.dst + y * r.dstPitch;
    for (int x = 0; x < r.width; ++x, s += srcBytes, d += dstBytes) {
      uint32_t c = LoadPixel<srcBytes>(s);
      if constexpr (Source == FastSource::Palette) c = palette[c];
      c &= 0xFFFFFF;
      bool keyed = false;
      if constexpr (Key == FastKey::Exact) keyed = c == key;
      if constexpr (Key == FastKey::Narrowed) keyed = To555(c) == key555;
      uint32_t v;
      if constexpr (Target == FastTarget::R5G6B5) v = To565(c);
      if constexpr (Target == FastTarget::X1R5G5B5Clear) v = To555(c);
      if constexpr (Target == FastTarget::X1R5G5B5Set) v = To555(c) | 0x8000;
      if constexpr (Target == FastTarget::A1R5G5B5) v = To555(c) | (keyed ? 0 : 0x8000);
      if constexpr (Target == FastTarget::X8R8G8B8) v = c | 0xFF000000u;
      if constexpr (Target == FastTarget::A8R8G8B8) v = c | (keyed ? 0 : 0xFF000000u);
      StorePixel<dstBytes>(d, v);
    }
  }
}

bool HasMasks(const ColorFormat& f, int depth, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
  return f.bitDepth == depth && f.redMask == red && f.greenMask == green && f.blueMask == blue && f.alphaMask == alpha;
}

// Runs the fixed conversion that fits, if one does.
bool TryFastRows(const Rect& r, const ColorFormat& src, const ColorFormat& dst, bool alphaTest, uint32_t key) {
  using S = FastSource;
  using T = FastTarget;
  using K = FastKey;
  const bool palette = src.bitDepth == 8;
  if (!palette && !HasMasks(src, 24, 0xFF0000, 0xFF00, 0xFF, src.alphaMask)) return false;
  const uint32_t* pal = src.palette;
  if (!alphaTest) {
    if (HasMasks(dst, 16, 0xF800, 0x7E0, 0x1F, 0)) {
      palette ? FastRows<S::Palette, T::R5G6B5, K::None>(r, pal, key) : FastRows<S::Bgr24, T::R5G6B5, K::None>(r, pal, key);
    } else if (HasMasks(dst, 16, 0x7C00, 0x3E0, 0x1F, 0)) {
      palette ? FastRows<S::Palette, T::X1R5G5B5Clear, K::None>(r, pal, key)
              : FastRows<S::Bgr24, T::X1R5G5B5Set, K::None>(r, pal, key);
    } else if (HasMasks(dst, 32, 0xFF0000, 0xFF00, 0xFF, 0)) {
      palette ? FastRows<S::Palette, T::X8R8G8B8, K::None>(r, pal, key)
              : FastRows<S::Bgr24, T::X8R8G8B8, K::None>(r, pal, key);
    } else {
      return false;
    }
    return true;
  }
  if (HasMasks(dst, 16, 0x7C00, 0x3E0, 0x1F, 0x8000)) {
    palette ? FastRows<S::Palette, T::A1R5G5B5, K::Exact>(r, pal, key)
            : FastRows<S::Bgr24, T::A1R5G5B5, K::Narrowed>(r, pal, key);
  } else if (HasMasks(dst, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u)) {
    palette ? FastRows<S::Palette, T::A8R8G8B8, K::Exact>(r, pal, key)
            : FastRows<S::Bgr24, T::A8R8G8B8, K::Exact>(r, pal, key);
  } else {
    return false;
  }
  return true;
}

// ---- The general per-pixel conversion. ----

constexpr uint64_t kOrderedDither[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};

// One channel's way from the pixel that supplies it to its place in the destination.
struct Channel {
  uint32_t srcMask = 0;
  unsigned srcShift = 0;
  int d = 0;  // source width - destination width; > 0 narrows, < 0 widens
  uint64_t srcMax = 0;
  uint64_t dstMask = 0;
  unsigned dstShift = 0;
  uint64_t dropMask = 0;  // the bits a narrowing drops, at the source position
  uint64_t thresholds[16] = {};

  uint64_t Read(uint32_t pixel) const { return (pixel & srcMask) >> srcShift; }
  uint64_t Scale(uint64_t v) const {
    if (d == 0) return v;
    if (d > 0) return v >> d;
    if (srcMax == 0) return 0;
    const unsigned k = static_cast<unsigned>(-d);
    return (v << k) + v * ((uint64_t{1} << k) - 1) / srcMax;
  }
  uint64_t Place(uint64_t v) const { return (v << dstShift) & dstMask; }
};

enum class AlphaSource { None, Full, Source, Image };

struct GeneralJob {
  Rect rect;
  const uint32_t* srcPalette;
  const Byte* alpha;
  ptrdiff_t alphaPitch;
  int alphaBytes;
  const uint32_t* alphaPalette;
  AlphaSource alphaSource;
  Channel ch[4];
  bool force;
  bool keyTest;
  uint64_t keyRgb;
  uint32_t outside;  // ORed into 16- and 32-bit values
};

unsigned Clamp(unsigned v, unsigned limit) { return v < limit ? v : limit; }

void SetChannel(Channel& c, uint32_t srcMask, unsigned srcShift, unsigned srcWidth, uint32_t dstMask, unsigned dstShift,
                unsigned dstWidth, bool scale) {
  srcShift = Clamp(srcShift, 31);
  c.srcMask = srcMask;
  c.srcShift = srcShift;
  c.srcMax = srcMask >> srcShift;
  c.dstMask = dstMask;
  c.dstShift = Clamp(dstShift, 31);
  c.d = scale ? static_cast<int>(Clamp(srcWidth, 32)) - static_cast<int>(Clamp(dstWidth, 32)) : 0;
  if (c.d > 0) {
    c.dropMask = ((uint64_t{1} << c.d) - 1) << srcShift;
    for (int i = 0; i < 16; ++i) c.thresholds[i] = ((kOrderedDither[i] << c.d) >> 4) << srcShift;
  }
}

template <int SrcBytes, int DstBytes, int Dither>
void GeneralRows(const GeneralJob& j) {
  const Rect& r = j.rect;
  uint64_t carry[4] = {0, 0, 0, 0};
  const int colourChannels = j.force ? 0 : 3;
  for (int y = 0; y < r.height; ++y) {
    const Byte* s = r.src + y * r.srcPitch;
    const Byte* a = j.alpha ? j.alpha + y * j.alphaPitch : nullptr;
    Byte* d = r.DstRow(y, DstBytes);
    const ptrdiff_t step = r.DstStep(DstBytes);
    for (int x = 0; x < r.width; ++x, s += SrcBytes, d += step) {
      uint32_t px = LoadPixel<SrcBytes>(s);
      if constexpr (SrcBytes == 1) px = j.srcPalette[px];
      uint32_t supply[4] = {px, px, px, px};
      uint64_t part[4] = {0, 0, 0, 0};
      for (int c = 0; c < colourChannels; ++c) part[c] = j.ch[c].Place(j.ch[c].Scale(j.ch[c].Read(px)));
      const Channel& ac = j.ch[3];
      switch (j.alphaSource) {
        case AlphaSource::None: break;
        case AlphaSource::Full: part[3] = ac.dstMask; break;
        case AlphaSource::Source: part[3] = ac.Place(ac.Scale(ac.Read(px))); break;
        case AlphaSource::Image: {
          uint32_t apx = LoadPixelBySize(a + static_cast<ptrdiff_t>(x) * j.alphaBytes, j.alphaBytes);
          if (j.alphaBytes == 1) apx = j.alphaPalette[apx];
          supply[3] = apx;
          part[3] = ac.Place(ac.Scale(ac.Read(apx)));
          break;
        }
      }
      if constexpr (Dither != CONVERT_DITHER_NONE) {
        const int index = (y & 3) * 4 + (x & 3);
        for (int c = 0; c < 4; ++c) {
          const Channel& ch = j.ch[c];
          if (ch.d <= 0 || (c < 3 && j.force)) continue;
          const uint64_t dropped = supply[c] & ch.dropMask;
          bool up;
          if constexpr (Dither == CONVERT_DITHER_ORDERED) {
            up = ch.thresholds[index] < dropped;
          } else {
            carry[c] += dropped;
            up = carry[c] > ch.dropMask;
            carry[c] &= ch.dropMask;
          }
          if (up) part[c] = std::min(part[c] + (uint64_t{1} << ch.dstShift), ch.dstMask);
        }
      }
      if (j.keyTest) part[3] = (part[0] | part[1] | part[2]) == j.keyRgb ? 0 : j.ch[3].dstMask;
      uint32_t value = static_cast<uint32_t>(part[0] | part[1] | part[2] | part[3]);
      if constexpr (DstBytes == 2 || DstBytes == 4) value |= j.outside;
      StorePixel<DstBytes>(d, value);
    }
  }
}

using GeneralLoop = void (*)(const GeneralJob&);

template <int SrcBytes, int DstBytes>
constexpr GeneralLoop kDitherLoops[3] = {GeneralRows<SrcBytes, DstBytes, 0>, GeneralRows<SrcBytes, DstBytes, 1>,
                                         GeneralRows<SrcBytes, DstBytes, 2>};

template <int SrcBytes>
constexpr const GeneralLoop* kDstLoops[4] = {kDitherLoops<SrcBytes, 1>, kDitherLoops<SrcBytes, 2>,
                                             kDitherLoops<SrcBytes, 3>, kDitherLoops<SrcBytes, 4>};

constexpr const GeneralLoop* const* kGeneralLoops[4] = {kDstLoops<1>, kDstLoops<2>, kDstLoops<3>, kDstLoops<4>};

void ConvertGeneral(const Rect& r, const ColorFormat& src, const ColorFormat& dst, const ColorFormat& alpha,
                    const Byte* alphaPixels, int alphaPitch, bool separateAlpha, bool keyTest, uint32_t keyColor,
                    int dither, bool force) {
  const int srcBytes = BytesOf(src), dstBytes = BytesOf(dst);
  if (srcBytes < 1 || srcBytes > 4 || dstBytes < 1 || dstBytes > 4) return;
  GeneralJob j{};
  j.rect = r;
  j.srcPalette = src.palette;
  j.force = force;
  j.outside = dst.outsideMask;
  // Colours are rescaled (and dithered) only when a colour width changes; alpha always reaches the
  // destination's width.
  const bool rescale =
      src.redWidth != dst.redWidth || src.greenWidth != dst.greenWidth || src.blueWidth != dst.blueWidth;
  SetChannel(j.ch[0], src.redMask, src.redShift, src.redWidth, dst.redMask, dst.redShift, dst.redWidth, rescale);
  SetChannel(j.ch[1], src.greenMask, src.greenShift, src.greenWidth, dst.greenMask, dst.greenShift, dst.greenWidth,
             rescale);
  SetChannel(j.ch[2], src.blueMask, src.blueShift, src.blueWidth, dst.blueMask, dst.blueShift, dst.blueWidth, rescale);
  if (dst.alphaWidth == 0) {
    j.alphaSource = AlphaSource::None;
  } else if (separateAlpha) {
    j.alphaSource = AlphaSource::Image;
    j.alpha = alphaPixels;
    j.alphaPitch = alphaPitch;
    j.alphaBytes = BytesOf(alpha);
    j.alphaPalette = alpha.palette;
    SetChannel(j.ch[3], alpha.redMask, alpha.redShift, alpha.redWidth, dst.alphaMask, dst.alphaShift, dst.alphaWidth,
               true);
  } else if (src.alphaWidth != 0) {
    j.alphaSource = AlphaSource::Source;
    SetChannel(j.ch[3], src.alphaMask, src.alphaShift, src.alphaWidth, dst.alphaMask, dst.alphaShift, dst.alphaWidth,
               true);
  } else {
    j.alphaSource = AlphaSource::Full;
    SetChannel(j.ch[3], 0, 0, 0, dst.alphaMask, dst.alphaShift, dst.alphaWidth, false);
  }
  j.keyTest = keyTest;
  if (keyTest) {
    const uint32_t key = PackColorByMasks(&dst, static_cast<int>(keyColor >> 16 & 0xFF),
                                          static_cast<int>(keyColor >> 8 & 0xFF), static_cast<int>(keyColor & 0xFF),
                                          255, true);
    j.keyRgb = key & RgbMask(dst);
  }
  const int mode = rescale && (dither == CONVERT_DITHER_ORDERED || dither == CONVERT_DITHER_ERROR) ? dither : 0;
  kGeneralLoops[srcBytes - 1][dstBytes - 1][mode](j);
}

}  // namespace

int ConvertColorFormatRect(void* dstPixels, int dstPitch, const ColorFormat* dstFormat, const void* srcPixels,
                           int srcPitch, const ColorFormat* srcFormat, const void* alphaPixels, int alphaPitch,
                           const ColorFormat* alphaFormat, int dstX, int dstY, const RECT* srcRect, int mirror,
                           int alphaTest, uint32_t keyColor, int dither, int force) {
  if (!dstPixels || !dstFormat || !srcPixels || !srcFormat || !srcRect) return 0;
  const ColorFormat& dst = *dstFormat;
  const ColorFormat& src = *srcFormat;
  static const ColorFormat kNoFormat{};
  const ColorFormat& alpha = alphaFormat ? *alphaFormat : kNoFormat;
  const int64_t width = static_cast<int64_t>(srcRect->right) - srcRect->left;
  const int64_t height = static_cast<int64_t>(srcRect->bottom) - srcRect->top;
  if (width <= 0 || height <= 0) return 0;
  const int srcBytes = BytesOf(src), dstBytes = BytesOf(dst);

  const bool dstAlpha = dst.alphaWidth != 0;
  const bool srcAlpha = src.alphaWidth != 0;
  const bool alphaFromSource = dstAlpha && (alphaPixels != nullptr || srcAlpha);
  const bool separateAlpha = dstAlpha && alphaPixels != nullptr && !srcAlpha;
  const bool keyTest = alphaTest != 0 && dstAlpha && !alphaFromSource;
  const bool forced = force != 0;

  Rect r;
  r.src = static_cast<const Byte*>(srcPixels) + static_cast<ptrdiff_t>(srcRect->top) * srcPitch +
          static_cast<ptrdiff_t>(srcRect->left) * srcBytes;
  r.srcPitch = srcPitch;
  r.dst = static_cast<Byte*>(dstPixels) + static_cast<ptrdiff_t>(dstY) * dstPitch +
          static_cast<ptrdiff_t>(dstX) * dstBytes;
  r.dstPitch = dstPitch;
  r.width = static_cast<int>(width);
  r.height = static_cast<int>(height);
  r.mirror = mirror != 0;
  const Byte* alphaStart = nullptr;
  if (separateAlpha) {
    alphaStart = static_cast<const Byte*>(alphaPixels) + static_cast<ptrdiff_t>(srcRect->top) * alphaPitch +
                 static_cast<ptrdiff_t>(srcRect->left) * BytesOf(alpha);
  }

  const bool sameDepth = src.bitDepth == dst.bitDepth;
  const bool sameColours =
      sameDepth && src.redMask == dst.redMask && src.greenMask == dst.greenMask && src.blueMask == dst.blueMask;
  if (!keyTest && !separateAlpha && !forced && sameColours && src.alphaMask == dst.alphaMask) {
    if (srcBytes > 0) CopyRows(r, srcBytes);
    return 0;
  }
  if (dstAlpha && keyTest && !forced && sameColours) {
    const uint32_t key = PackColorByMasks(&dst, static_cast<int>(keyColor >> 16 & 0xFF),
                                          static_cast<int>(keyColor >> 8 & 0xFF), static_cast<int>(keyColor & 0xFF),
                                          255, true);
    switch (dstBytes) {
      case 1: KeyRowsSameFormat<1>(r, dst, key); break;
      case 2: KeyRowsSameFormat<2>(r, dst, key); break;
      case 3: KeyRowsSameFormat<3>(r, dst, key); break;
      case 4: KeyRowsSameFormat<4>(r, dst, key); break;
      default: break;
    }
    return 0;
  }
  if (dither == CONVERT_DITHER_NONE && !forced && !r.mirror && alphaPixels == nullptr &&
      TryFastRows(r, src, dst, keyTest, keyColor)) {
    return 0;
  }
  ConvertGeneral(r, src, dst, alpha, alphaStart, alphaPitch, separateAlpha, keyTest, keyColor, dither, forced);
  return 0;
}
