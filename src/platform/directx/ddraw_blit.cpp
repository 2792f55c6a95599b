// Pixel loops of the surfaces: colour and depth fills, plain, keyed and stretching copies.
#include <emmintrin.h>
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "platform/directx/ddraw_objects.h"

namespace {

template <int Bytes>
struct Pixel {
  static uint32_t Load(const uint8_t* p) {
    uint32_t v = 0;
    if constexpr (Bytes == 3) {
      v = p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
    } else {
      std::memcpy(&v, p, Bytes);
    }
    return v;
  }
  static void Store(uint8_t* p, uint32_t v) {
    if constexpr (Bytes == 3) {
      p[0] = static_cast<uint8_t>(v), p[1] = static_cast<uint8_t>(v >> 8), p[2] = static_cast<uint8_t>(v >> 16);
    } else {
      std::memcpy(p, &v, Bytes);
    }
  }
};

template <int Bytes>
void FillLoop(const PixelBlock& dst, const RECT& r, uint32_t value) {
  for (LONG y = r.top; y < r.bottom; ++y) {
    uint8_t* p = dst.Row(y) + static_cast<long>(r.left) * Bytes;
    for (LONG x = r.left; x < r.right; ++x, p += Bytes) Pixel<Bytes>::Store(p, value);
  }
}

// A fill of 1-, 2- or 4-byte pixels from a 16-byte pattern of the colour, 64 bytes a step, the tail pixel by pixel.
// In the game's frame in a real window it clears the screen in under half the time of the pixel loop above.
template <int Bytes>
void FillRows(const PixelBlock& dst, const RECT& r, uint32_t value) {
  const __m128i v = Bytes == 1   ? _mm_set1_epi8(static_cast<char>(value))
                    : Bytes == 2 ? _mm_set1_epi16(static_cast<int16_t>(value))
                                 : _mm_set1_epi32(static_cast<int32_t>(value));
  const size_t bytes = static_cast<size_t>(r.right - r.left) * Bytes;
  uint8_t* p = dst.Row(r.top) + static_cast<long>(r.left) * Bytes;
  for (LONG rows = r.bottom - r.top; rows > 0; --rows, p += dst.pitch) {
    size_t i = 0;
    for (; i + 64 <= bytes; i += 64) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), v);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i + 16), v);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i + 32), v);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i + 48), v);
    }
    for (; i < bytes; i += Bytes) Pixel<Bytes>::Store(p + i, value);
  }
}

// A plain rectangle copy, a row at a time through the library copy. In the game's frame in a real window this
// costs less than a loop of 16-byte vector stores, though that loop keeps up with it on a copy repeated alone. The
// whole rectangle stays in one call with its positions in registers: a row loop that reloads its variables from
// memory between rows makes those loads wait behind the row's pending stores whenever their addresses match in the
// low 12 bits.
void CopyRows(uint8_t* d, long dPitch, const uint8_t* s, long sPitch, size_t bytes, LONG rows) {
  for (; rows > 0; --rows, d += dPitch, s += sPitch) std::memcpy(d, s, bytes);
}

// Keyed row copies: a source pixel whose colour bits equal the key leaves the destination pixel as it was. The
// vector bodies select between the two per lane; the tails go pixel by pixel.
template <int Bytes>
void KeyedRowPlain(uint8_t* d, const uint8_t* s, LONG width, uint32_t mask, uint32_t keyValue) {
  for (LONG i = 0; i < width; ++i, s += Bytes, d += Bytes) {
    uint32_t v = Pixel<Bytes>::Load(s);
    if ((v & mask) != keyValue) Pixel<Bytes>::Store(d, v);
  }
}

template <int Bytes>
__m128i SplatSse2(uint32_t v) {
  return Bytes == 2 ? _mm_set1_epi16(static_cast<int16_t>(v)) : _mm_set1_epi32(static_cast<int32_t>(v));
}

template <int Bytes>
void KeyedRowSse2(uint8_t* d, const uint8_t* s, LONG width, uint32_t mask, uint32_t keyValue) {
  constexpr LONG kLanes = 16 / Bytes;
  const __m128i vm = SplatSse2<Bytes>(mask), vk = SplatSse2<Bytes>(keyValue);
  LONG i = 0;
  for (; i + kLanes <= width; i += kLanes, s += 16, d += 16) {
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
    const __m128i masked = _mm_and_si128(sv, vm);
    const __m128i keep = Bytes == 2 ? _mm_cmpeq_epi16(masked, vk) : _mm_cmpeq_epi32(masked, vk);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_or_si128(_mm_and_si128(keep, dv), _mm_andnot_si128(keep, sv)));
  }
  KeyedRowPlain<Bytes>(d, s, width - i, mask, keyValue);
}

template <int Bytes>
__attribute__((target("avx2"))) void KeyedRowAvx2(uint8_t* d, const uint8_t* s, LONG width, uint32_t mask,
                                                  uint32_t keyValue) {
  constexpr LONG kLanes = 32 / Bytes;
  const __m256i vm = Bytes == 2 ? _mm256_set1_epi16(static_cast<int16_t>(mask)) : _mm256_set1_epi32(static_cast<int32_t>(mask));
  const __m256i vk =
      Bytes == 2 ? _mm256_set1_epi16(static_cast<int16_t>(keyValue)) : _mm256_set1_epi32(static_cast<int32_t>(keyValue));
  LONG i = 0;
  for (; i + kLanes <= width; i += kLanes, s += 32, d += 32) {
    const __m256i sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
    const __m256i dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
    const __m256i masked = _mm256_and_si256(sv, vm);
    const __m256i keep = Bytes == 2 ? _mm256_cmpeq_epi16(masked, vk) : _mm256_cmpeq_epi32(masked, vk);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), _mm256_blendv_epi8(sv, dv, keep));
  }
  // Leaving the wide registers dirty would make the plain code after this call pay for every switch.
  _mm256_zeroupper();
  if (i < width) KeyedRowSse2<Bytes>(d, s, width - i, mask, keyValue);
}

using KeyedRow = void (*)(uint8_t*, const uint8_t*, LONG, uint32_t, uint32_t);

// The fastest keyed row loop this processor runs, chosen once.
template <int Bytes>
KeyedRow ChooseKeyedRow() {
  if constexpr (Bytes == 2 || Bytes == 4) {
    static const KeyedRow chosen = __builtin_cpu_supports("avx2") ? KeyedRowAvx2<Bytes> : KeyedRowSse2<Bytes>;
    return chosen;
  }
  return KeyedRowPlain<Bytes>;
}

// One pass over the clipped destination; source columns and rows map from the full rectangles.
template <int Bytes>
void CopyLoop(const PixelBlock& dst, const RECT& dstFull, const RECT& clip, const PixelBlock& src, const RECT& srcFull,
              const BlitKey& key) {
  int64_t dw = int64_t{dstFull.right} - dstFull.left, dh = int64_t{dstFull.bottom} - dstFull.top;
  int64_t sw = int64_t{srcFull.right} - srcFull.left, sh = int64_t{srcFull.bottom} - srcFull.top;
  bool stretch = dw != sw || dh != sh;
  LONG width = clip.right - clip.left;
  std::vector<LONG> columns;
  if (stretch) {
    columns.resize(static_cast<size_t>(width));
    for (LONG i = 0; i < width; ++i)
      columns[i] = static_cast<LONG>(srcFull.left + (int64_t{clip.left} + i - dstFull.left) * sw / dw);
  }
  if (!stretch && !key.on) {
    const LONG sy = static_cast<LONG>(srcFull.top + (int64_t{clip.top} - dstFull.top));
    const uint8_t* s = src.Row(sy) + static_cast<long>(srcFull.left + (int64_t{clip.left} - dstFull.left)) * Bytes;
    CopyRows(dst.Row(clip.top) + static_cast<long>(clip.left) * Bytes, dst.pitch, s, src.pitch,
             static_cast<size_t>(width) * Bytes, clip.bottom - clip.top);
    return;
  }
  uint32_t keyValue = key.value & key.mask;
  const KeyedRow keyedRow = ChooseKeyedRow<Bytes>();
  for (LONG y = clip.top; y < clip.bottom; ++y) {
    LONG sy = static_cast<LONG>(stretch ? srcFull.top + (int64_t{y} - dstFull.top) * sh / dh
                                        : srcFull.top + (int64_t{y} - dstFull.top));
    const uint8_t* srow = src.Row(sy);
    uint8_t* d = dst.Row(y) + static_cast<long>(clip.left) * Bytes;
    if (!stretch) {
      const uint8_t* s = srow + static_cast<long>(srcFull.left + (int64_t{clip.left} - dstFull.left)) * Bytes;
      keyedRow(d, s, width, key.mask, keyValue);
      continue;
    }
    for (LONG i = 0; i < width; ++i, d += Bytes) {
      uint32_t v = Pixel<Bytes>::Load(srow + static_cast<long>(columns[i]) * Bytes);
      if (!key.on || (v & key.mask) != keyValue) Pixel<Bytes>::Store(d, v);
    }
  }
}

bool Overlaps(const PixelBlock& a, const PixelBlock& b) {
  if (!a.Valid() || !b.Valid()) return false;
  const uint8_t* aLo = std::min(a.top, a.Row(a.height - 1));
  const uint8_t* aHi = std::max(a.top, a.Row(a.height - 1)) + std::abs(a.pitch);
  const uint8_t* bLo = std::min(b.top, b.Row(b.height - 1));
  const uint8_t* bHi = std::max(b.top, b.Row(b.height - 1)) + std::abs(b.pitch);
  return aLo < bHi && bLo < aHi;
}

}  // namespace

uint32_t ColourChannelMask(const DDPIXELFORMAT& format) {
  if (format.dwFlags & DDPF_PALETTEINDEXED8) return 0xFF;
  uint32_t mask = format.dwRBitMask | format.dwGBitMask | format.dwBBitMask;
  if (mask) return mask;
  DWORD bits = format.dwRGBBitCount;
  return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
}

void FillPixels(const PixelBlock& dst, const RECT& rect, uint32_t value) {
  if (rect.right <= rect.left || rect.bottom <= rect.top) return;
  switch (dst.bits) {
    case 8: FillRows<1>(dst, rect, value); break;
    case 16: FillRows<2>(dst, rect, value); break;
    case 24: FillLoop<3>(dst, rect, value); break;
    case 32: FillRows<4>(dst, rect, value); break;
    default: break;
  }
}

void CopyPixels(const PixelBlock& dst, const RECT& dstFull, const RECT& dstClip, const PixelBlock& src,
                const RECT& srcFull, const BlitKey& key) {
  if (dstClip.right <= dstClip.left || dstClip.bottom <= dstClip.top) return;
  PixelBlock from = src;
  RECT fromRect = srcFull;
  std::vector<uint8_t> copy;
  if (Overlaps(dst, src)) {
    // Read the source rectangle out first, so the copy behaves as a move.
    int bytes = src.bits / 8;
    long rowBytes = static_cast<long>(srcFull.right - srcFull.left) * bytes;
    copy.resize(static_cast<size_t>(rowBytes) * (srcFull.bottom - srcFull.top));
    for (LONG y = srcFull.top; y < srcFull.bottom; ++y)
      std::memcpy(copy.data() + (y - srcFull.top) * rowBytes, src.Row(y) + static_cast<long>(srcFull.left) * bytes,
                  static_cast<size_t>(rowBytes));
    from.top = copy.data();
    from.pitch = rowBytes;
    from.width = srcFull.right - srcFull.left;
    from.height = srcFull.bottom - srcFull.top;
    fromRect = RECT{0, 0, from.width, from.height};
  }
  switch (dst.bits) {
    case 8: CopyLoop<1>(dst, dstFull, dstClip, from, fromRect, key); break;
    case 16: CopyLoop<2>(dst, dstFull, dstClip, from, fromRect, key); break;
    case 24: CopyLoop<3>(dst, dstFull, dstClip, from, fromRect, key); break;
    case 32: CopyLoop<4>(dst, dstFull, dstClip, from, fromRect, key); break;
    default: break;
  }
}
