#include "platform/win32/gdi_pixels.h"

#include <algorithm>
#include <bit>

ChannelLayout ChannelLayout::FromMask(uint32_t mask) {
  ChannelLayout c;
  c.mask = mask;
  if (mask == 0) return c;
  c.shift = std::countr_zero(mask);
  c.width = std::countr_one(mask >> c.shift);
  return c;
}

uint32_t ChannelLayout::Expand(uint32_t pixel) const {
  if (width == 0) return 0;
  uint32_t v = (pixel & mask) >> shift;
  if (width >= 8) return (v >> (width - 8)) & 0xFF;
  uint32_t r = v << (8 - width);
  for (int filled = width; filled < 8; filled *= 2) r |= r >> filled;
  return r & 0xFF;
}

void DefaultMasks(int bits, uint32_t* red, uint32_t* green, uint32_t* blue) {
  if (bits == 16) {
    *red = 0x7C00, *green = 0x03E0, *blue = 0x001F;
  } else if (bits == 24 || bits == 32) {
    *red = 0xFF0000, *green = 0xFF00, *blue = 0xFF;
  } else {
    *red = *green = *blue = 0;
  }
}

uint32_t NearestPaletteIndex(const uint32_t* palette, int count, uint32_t rgb) {
  int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  uint32_t best = 0;
  int bestDistance = 1 << 30;
  for (int i = 0; i < count; ++i) {
    int dr = static_cast<int>((palette[i] >> 16) & 0xFF) - r;
    int dg = static_cast<int>((palette[i] >> 8) & 0xFF) - g;
    int db = static_cast<int>(palette[i] & 0xFF) - b;
    int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<uint32_t>(i);
      if (d == 0) break;
    }
  }
  return best;
}

namespace {

template <int Bits>
uint32_t LoadPixel(const uint8_t* row, int x) {
  if constexpr (Bits == 1) return (row[x >> 3] >> (7 - (x & 7))) & 1;
  if constexpr (Bits == 4) return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF;
  if constexpr (Bits == 8) return row[x];
  if constexpr (Bits == 16) {
    uint16_t v;
    std::memcpy(&v, row + x * 2, 2);
    return v;
  }
  if constexpr (Bits == 24) {
    const uint8_t* p = row + x * 3;
    return p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
  }
  if constexpr (Bits == 32) {
    uint32_t v;
    std::memcpy(&v, row + x * 4, 4);
    return v;
  }
  return 0;
}

template <int Bits>
void StorePixel(uint8_t* row, int x, uint32_t v) {
  if constexpr (Bits == 1) {
    uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
    row[x >> 3] = static_cast<uint8_t>((v & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit));
  }
  if constexpr (Bits == 4) {
    uint8_t& b = row[x >> 1];
    b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (v & 0xF)) : static_cast<uint8_t>((b & 0x0F) | ((v & 0xF) << 4));
  }
  if constexpr (Bits == 8) row[x] = static_cast<uint8_t>(v);
  if constexpr (Bits == 16) {
    uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(row + x * 2, &w, 2);
  }
  if constexpr (Bits == 24) {
    uint8_t* p = row + x * 3;
    p[0] = static_cast<uint8_t>(v), p[1] = static_cast<uint8_t>(v >> 8), p[2] = static_cast<uint8_t>(v >> 16);
  }
  if constexpr (Bits == 32) std::memcpy(row + x * 4, &v, 4);
}

template <int Bits>
void ReadRow(const PixelBlock& block, int x, int y, int count, int step, uint32_t* out) {
  const uint8_t* row = block.Row(y);
  if constexpr (Bits <= 8) {
    for (int i = 0; i < count; ++i, x += step) {
      uint32_t index = LoadPixel<Bits>(row, x);
      out[i] = static_cast<int>(index) < block.paletteCount ? block.palette[index] & 0xFFFFFF : 0;
    }
  } else if constexpr (Bits == 24) {
    for (int i = 0; i < count; ++i, x += step) out[i] = LoadPixel<24>(row, x);
  } else {
    ChannelLayout r = ChannelLayout::FromMask(block.redMask), g = ChannelLayout::FromMask(block.greenMask),
                  b = ChannelLayout::FromMask(block.blueMask);
    for (int i = 0; i < count; ++i, x += step) {
      uint32_t p = LoadPixel<Bits>(row, x);
      out[i] = (r.Expand(p) << 16) | (g.Expand(p) << 8) | b.Expand(p);
    }
  }
}

template <int Bits>
void WriteRow(uint8_t* row, int x, int count, const uint32_t* values, const uint8_t* mask) {
  for (int i = 0; i < count; ++i)
    if (!mask || mask[i]) StorePixel<Bits>(row, x + i, values[i]);
}

bool SameFormat(const PixelBlock& a, const PixelBlock& b) {
  if (a.bits != b.bits) return false;
  if (a.bits <= 8) {
    return a.paletteCount == b.paletteCount &&
           (a.palette == b.palette ||
            (a.palette && b.palette && std::memcmp(a.palette, b.palette, a.paletteCount * 4) == 0));
  }
  if (a.bits == 24) return true;
  return a.redMask == b.redMask && a.greenMask == b.greenMask && a.blueMask == b.blueMask;
}

}  // namespace

RowConverter::RowConverter(const PixelBlock& src, const PixelBlock& dst)
    : src_(src), dst_(dst), same_(SameFormat(src, dst)) {
  red_ = ChannelLayout::FromMask(dst.redMask);
  green_ = ChannelLayout::FromMask(dst.greenMask);
  blue_ = ChannelLayout::FromMask(dst.blueMask);
}

void RowConverter::ReadRgb(const PixelBlock& block, int x, int y, int count, int step, uint32_t* out) {
  switch (block.bits) {
    case 1: ReadRow<1>(block, x, y, count, step, out); break;
    case 4: ReadRow<4>(block, x, y, count, step, out); break;
    case 8: ReadRow<8>(block, x, y, count, step, out); break;
    case 16: ReadRow<16>(block, x, y, count, step, out); break;
    case 24: ReadRow<24>(block, x, y, count, step, out); break;
    case 32: ReadRow<32>(block, x, y, count, step, out); break;
    default: std::fill(out, out + count, 0u); break;
  }
}

uint32_t RowConverter::PackRgb(uint32_t rgb) {
  if (dst_.bits <= 8) {
    Match& m = matches_[(rgb ^ (rgb >> 12)) & 4095];
    if (m.rgb != rgb) m = Match{rgb, NearestPaletteIndex(dst_.palette, dst_.paletteCount, rgb)};
    return m.index;
  }
  if (dst_.bits == 24) return rgb;
  return red_.Pack(rgb >> 16 & 0xFF) | green_.Pack(rgb >> 8 & 0xFF) | blue_.Pack(rgb & 0xFF);
}

void RowConverter::WriteRgb(int dx, int dy, int count, const uint32_t* rgb, const uint8_t* mask) {
  uint8_t* row = dst_.Row(dy);
  for (int done = 0; done < count;) {
    int n = std::min(count - done, 1024);
    for (int i = 0; i < n; ++i) row_[i] = PackRgb(rgb[done + i]);
    const uint8_t* m = mask ? mask + done : nullptr;
    switch (dst_.bits) {
      case 1: WriteRow<1>(row, dx + done, n, row_, m); break;
      case 4: WriteRow<4>(row, dx + done, n, row_, m); break;
      case 8: WriteRow<8>(row, dx + done, n, row_, m); break;
      case 16: WriteRow<16>(row, dx + done, n, row_, m); break;
      case 24: WriteRow<24>(row, dx + done, n, row_, m); break;
      case 32: WriteRow<32>(row, dx + done, n, row_, m); break;
      default: break;
    }
    done += n;
  }
}

void RowConverter::Convert(int x, int y, int dx, int dy, int count, int step) {
  if (same_ && step == 1 && src_.bits >= 8) {
    int bytes = src_.bits / 8;
    std::memmove(dst_.Row(dy) + static_cast<long>(dx) * bytes, src_.Row(y) + static_cast<long>(x) * bytes,
                 static_cast<size_t>(count) * bytes);
    return;
  }
  uint32_t rgb[1024];
  for (int done = 0; done < count;) {
    int n = std::min(count - done, 1024);
    if (same_) {
      // Same format, mirrored or sub-byte: move raw values so palette indexes stay exact.
      const uint8_t* srow = src_.Row(y);
      for (int i = 0; i < n; ++i) {
        int sx = x + (done + i) * step;
        switch (src_.bits) {
          case 1: rgb[i] = LoadPixel<1>(srow, sx); break;
          case 4: rgb[i] = LoadPixel<4>(srow, sx); break;
          case 8: rgb[i] = LoadPixel<8>(srow, sx); break;
          case 16: rgb[i] = LoadPixel<16>(srow, sx); break;
          case 24: rgb[i] = LoadPixel<24>(srow, sx); break;
          default: rgb[i] = LoadPixel<32>(srow, sx); break;
        }
      }
      uint8_t* drow = dst_.Row(dy);
      switch (dst_.bits) {
        case 1: WriteRow<1>(drow, dx + done, n, rgb, nullptr); break;
        case 4: WriteRow<4>(drow, dx + done, n, rgb, nullptr); break;
        case 8: WriteRow<8>(drow, dx + done, n, rgb, nullptr); break;
        case 16: WriteRow<16>(drow, dx + done, n, rgb, nullptr); break;
        case 24: WriteRow<24>(drow, dx + done, n, rgb, nullptr); break;
        default: WriteRow<32>(drow, dx + done, n, rgb, nullptr); break;
      }
    } else {
      ReadRgb(src_, x + done * step, y, n, step, rgb);
      WriteRgb(dx + done, dy, n, rgb);
    }
    done += n;
  }
}
