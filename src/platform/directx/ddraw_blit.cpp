// Pixel loops of the surfaces: colour and depth fills, plain, keyed and stretching copies.
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
  uint32_t keyValue = key.value & key.mask;
  for (LONG y = clip.top; y < clip.bottom; ++y) {
    LONG sy = static_cast<LONG>(srcFull.top + (int64_t{y} - dstFull.top) * sh / dh);
    const uint8_t* srow = src.Row(sy);
    uint8_t* d = dst.Row(y) + static_cast<long>(clip.left) * Bytes;
    if (!stretch) {
      const uint8_t* s = srow + static_cast<long>(srcFull.left + (int64_t{clip.left} - dstFull.left)) * Bytes;
      if (!key.on) {
        std::memcpy(d, s, static_cast<size_t>(width) * Bytes);
        continue;
      }
      for (LONG i = 0; i < width; ++i, s += Bytes, d += Bytes) {
        uint32_t v = Pixel<Bytes>::Load(s);
        if ((v & key.mask) != keyValue) Pixel<Bytes>::Store(d, v);
      }
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
  switch (dst.bits) {
    case 8: FillLoop<1>(dst, rect, value); break;
    case 16: FillLoop<2>(dst, rect, value); break;
    case 24: FillLoop<3>(dst, rect, value); break;
    case 32: FillLoop<4>(dst, rect, value); break;
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
