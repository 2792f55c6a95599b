// Windows bitmaps. Plain 4-, 8- and 24-bit pictures keep their layout (4-bit ones widened to a byte per pixel);
// every other kind (1 bit, 16 and 32 bits, bit fields, run-length) is drawn into a 24-bit picture.
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "graphics/color_format.h"
#include "graphics/decoders/decoder_support.h"
#include "graphics/decoders/decoders.h"

using namespace decoders;

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
enum Compression { kPlain = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3 };

struct BmpInfo {
  uint32_t dataOffset;
  uint32_t headerSize;
  int32_t width;
  int32_t rows;
  bool bottomUp;
  int bits;
  uint32_t compression;
  uint32_t imageSize;
  uint32_t colorsUsed;
  uint32_t palette[256];  // 0x00RRGGBB
  uint32_t masks[3];      // red, green, blue
};

bool ParseHeaders(const unsigned char* file, const unsigned char* info, BmpInfo* b) {
  b->dataOffset = LoadLe32(file + 10);
  b->headerSize = LoadLe32(info);
  b->width = static_cast<int32_t>(LoadLe32(info + 4));
  int32_t height = static_cast<int32_t>(LoadLe32(info + 8));
  b->bits = static_cast<int>(LoadLe16(info + 14));
  b->compression = LoadLe32(info + 16);
  b->imageSize = LoadLe32(info + 20);
  b->colorsUsed = LoadLe32(info + 32);
  if (b->headerSize < kInfoHeaderSize) return false;
  const int64_t rows = height < 0 ? -int64_t{height} : height;
  if (!IsPictureSizeAllowed(b->width, rows)) return false;
  b->rows = static_cast<int32_t>(rows);
  b->bottomUp = height > 0;
  switch (b->compression) {
    case kPlain:
      return b->bits == 1 || b->bits == 4 || b->bits == 8 || b->bits == 16 || b->bits == 24 || b->bits == 32;
    case kRle8:
      return b->bits == 8 && b->bottomUp;  // run-length pictures are always stored bottom up
    case kRle4:
      return b->bits == 4 && b->bottomUp;
    case kBitFields:
      return b->bits == 16 || b->bits == 32;
    default:
      return false;
  }
}

// The colour table follows the information header, whatever its length; it may be shorter than 2^bits entries.
bool ReadColorTable(StreamSourceData* source, BmpInfo* b) {
  uint32_t full = 1u << b->bits;
  uint32_t count = b->colorsUsed == 0 || b->colorsUsed > full ? full : b->colorsUsed;
  unsigned char table[256 * 4] = {};
  if (!SeekTo(source, int64_t{kFileHeaderSize} + b->headerSize, 0) || !ReadElement(source, table, count * 4)) {
    return false;
  }
  for (uint32_t i = 0; i < 256; ++i) b->palette[i] = LoadLe32(table + i * 4) & 0xFFFFFF;
  return true;
}

bool ReadMasks(StreamSourceData* source, BmpInfo* b) {
  unsigned char masks[12];
  if (!SeekTo(source, kFileHeaderSize + kInfoHeaderSize, 0) || !ReadElement(source, masks, sizeof(masks))) {
    return false;
  }
  for (int i = 0; i < 3; ++i) b->masks[i] = LoadLe32(masks + i * 4);
  return true;
}

int64_t FileRowSize(const BmpInfo& b) { return (int64_t{b.bits} * b.width + 31) / 32 * 4; }

// Reads the stored pixels into a zeroed block: rows x row size bytes for plain pictures, the whole run-length
// stream (up to the image size field or the end of the stream) for compressed ones.
unsigned char* ReadStoredPixels(StreamSourceData* source, const BmpInfo& b, int64_t* size) {
  int64_t end = MeasureStreamEnd(source);
  int64_t bytes = BlockSize(FileRowSize(b), b.rows);
  if (b.compression == kRle8 || b.compression == kRle4) {
    bytes = end - b.dataOffset;
    if (b.imageSize != 0 && b.imageSize < bytes) bytes = b.imageSize;
    if (bytes > kMaxPictureBytes) bytes = kMaxPictureBytes;
  }
  if (bytes <= 0 || !SeekTo(source, b.dataOffset, 0)) return nullptr;
  auto* block = static_cast<unsigned char*>(AllocPixelBlock(bytes));
  if (block == nullptr) return nullptr;
  if (source->functions.read(block, 1, static_cast<size_t>(bytes), source->handle) == 0) {
    MemFree(block);
    return nullptr;
  }
  *size = bytes;
  return block;
}

// The stored row that becomes row y of the top-down picture.
const unsigned char* StoredRow(const unsigned char* stored, const BmpInfo& b, int32_t y) {
  return stored + (b.bottomUp ? b.rows - 1 - y : y) * FileRowSize(b);
}

// Plain 4-, 8- and 24-bit pictures: rows top down, 4-bit pixels widened to one byte each.
template <int Bits>
void CopyOwnRows(const unsigned char* stored, const BmpInfo& b, unsigned char* out, int64_t pitch) {
  for (int32_t y = 0; y < b.rows; ++y) {
    const unsigned char* in = StoredRow(stored, b, y);
    unsigned char* row = out + y * pitch;
    if constexpr (Bits == 4) {
      for (int32_t x = 0; x < b.width; ++x) row[x] = (x & 1) ? (in[x >> 1] & 0x0F) : (in[x >> 1] >> 4);
    } else {
      std::memcpy(row, in, static_cast<size_t>(b.width) * (Bits / 8));
    }
  }
}

// One channel of a bit-field pixel: where its top 8 bits (or fewer) are, and their 8-bit values, made once.
struct ChannelField {
  int shift = 0;
  uint32_t mask = 0;  // the kept bits, shifted down
  unsigned char widened[256] = {};
  explicit ChannelField(uint32_t bits) {
    if (bits == 0) return;
    int low = 0, width = 0;
    while (!(bits & (1u << low))) ++low;
    while (low + width < 32 && (bits & (1u << (low + width)))) ++width;
    const int kept = width < 8 ? width : 8;
    shift = low + width - kept;
    mask = (1u << kept) - 1;
    for (uint32_t v = 0; v <= mask; ++v) widened[v] = static_cast<unsigned char>(WidenChannel(v, kept));
  }
  uint32_t Get(uint32_t value) const { return widened[(value >> shift) & mask]; }
};

void PutRgb(unsigned char* at, uint32_t rgb) {
  at[0] = static_cast<unsigned char>(rgb);
  at[1] = static_cast<unsigned char>(rgb >> 8);
  at[2] = static_cast<unsigned char>(rgb >> 16);
}

// Plain 1-bit, 16- and 32-bit pictures and bit fields, drawn into 24-bit rows top down.
template <int Bits>
void DrawPlainRows(const unsigned char* stored, const BmpInfo& b, unsigned char* out, int64_t pitch) {
  bool plain = b.compression == kPlain;
  const ChannelField red(plain ? (Bits == 16 ? 0x7C00 : 0xFF0000) : b.masks[0]);
  const ChannelField green(plain ? (Bits == 16 ? 0x03E0 : 0xFF00) : b.masks[1]);
  const ChannelField blue(plain ? (Bits == 16 ? 0x001F : 0xFF) : b.masks[2]);
  for (int32_t y = 0; y < b.rows; ++y) {
    const unsigned char* in = StoredRow(stored, b, y);
    unsigned char* row = out + y * pitch;
    for (int32_t x = 0; x < b.width; ++x) {
      uint32_t rgb;
      if constexpr (Bits == 1) {
        rgb = b.palette[(in[x >> 3] >> (7 - (x & 7))) & 1];
      } else {
        uint32_t v = Bits == 16 ? LoadLe16(in + x * 2) : LoadLe32(in + x * 4);
        rgb = (red.Get(v) << 16) | (green.Get(v) << 8) | blue.Get(v);
      }
      PutRgb(row + x * 3, rgb);
    }
  }
}

// Run-length pictures (always bottom up). Pixels the data skips stay black; runs past the row end are cut.
template <int Bits>
void DrawRunRows(const unsigned char* data, int64_t size, const BmpInfo& b, unsigned char* out, int64_t pitch) {
  int64_t at = 0;
  int64_t x = 0, y = 0;  // y counts rows from the bottom
  auto put = [&](int index) {
    if (x < b.width && y < b.rows) PutRgb(out + (b.rows - 1 - y) * pitch + x * 3, b.palette[index]);
    ++x;
  };
  while (at + 2 <= size && y < b.rows) {
    int count = data[at];
    int value = data[at + 1];
    at += 2;
    if (count > 0) {
      for (int i = 0; i < count; ++i) put(Bits == 8 ? value : (i & 1) ? value & 0x0F : value >> 4);
    } else if (value == 0) {
      x = 0;
      ++y;
    } else if (value == 1) {
      break;
    } else if (value == 2) {
      if (at + 2 > size) break;
      x += data[at];
      y += data[at + 1];
      at += 2;
    } else {
      int64_t bytes = Bits == 8 ? value : (value + 1) / 2;
      if (at + bytes > size) break;
      for (int i = 0; i < value; ++i) {
        put(Bits == 8 ? data[at + i] : (i & 1) ? data[at + i / 2] & 0x0F : data[at + i / 2] >> 4);
      }
      at += (bytes + 1) & ~int64_t{1};  // absolute runs are padded to 16 bits
    }
  }
}

}  // namespace

int DecodeBmpPicture(StreamSourceData* source, GraphImage* image) {
  unsigned char file[kFileHeaderSize];
  if (!ReadElement(source, file, sizeof(file)) || file[0] != 'B' || file[1] != 'M') return -1;
  unsigned char info[kInfoHeaderSize];
  BmpInfo b{};
  if (!ReadElement(source, info, sizeof(info)) || !ParseHeaders(file, info, &b)) return -1;
  if (b.bits <= 8 && !ReadColorTable(source, &b)) return -1;
  if (b.compression == kBitFields && !ReadMasks(source, &b)) return -1;
  int64_t storedSize = 0;
  unsigned char* stored = ReadStoredPixels(source, b, &storedSize);
  if (stored == nullptr) return -1;

  GraphImage result{};
  bool own = b.compression == kPlain && (b.bits == 4 || b.bits == 8 || b.bits == 24);
  int outBytes = own && b.bits != 24 ? 1 : 3;
  int64_t pitch = (int64_t{b.width} * outBytes + 3) & ~int64_t{3};
  int64_t outSize = BlockSize(pitch, b.rows);
  auto* out = static_cast<unsigned char*>(AllocPixelBlock(outSize));
  if (out == nullptr) {
    // Running out of memory for the drawn 24-bit copy is worth a line; a picture too large to take is not.
    if (!own && outSize > 0) AppLogWrite("２４ビットカラー化したグラフィックを格納するメモリ領域の確保に失敗しました\n");
    MemFree(stored);
    return -1;
  }
  if (own) {
    if (b.bits == 24) {
      CopyOwnRows<24>(stored, b, out, pitch);
      SetColorFormatR8G8B8(&result.format);
    } else {
      if (b.bits == 4) {
        CopyOwnRows<4>(stored, b, out, pitch);
      } else {
        CopyOwnRows<8>(stored, b, out, pitch);
      }
      SetColorFormatPalette8(&result.format);
      std::memcpy(result.format.palette, b.palette, sizeof(b.palette));
    }
  } else {
    switch (b.compression == kPlain || b.compression == kBitFields ? b.bits : -static_cast<int>(b.compression)) {
      case 1: DrawPlainRows<1>(stored, b, out, pitch); break;
      case 16: DrawPlainRows<16>(stored, b, out, pitch); break;
      case 32: DrawPlainRows<32>(stored, b, out, pitch); break;
      case -kRle8: DrawRunRows<8>(stored, storedSize, b, out, pitch); break;
      case -kRle4: DrawRunRows<4>(stored, storedSize, b, out, pitch); break;
    }
    SetColorFormatR8G8B8(&result.format);
  }
  MemFree(stored);
  result.width = b.width;
  result.height = b.rows;
  result.pitch = static_cast<int32_t>(pitch);
  result.pixels = out;
  *image = result;
  return 0;
}
