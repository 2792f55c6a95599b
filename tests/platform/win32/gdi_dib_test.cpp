#include <random>

#include "gdi_test_support.h"
#include "support/headless_fixture.h"

namespace {

constexpr int kW = 7, kH = 5;

// The reference picture: every pixel a colour of a 16-entry table.
uint32_t Colour(int index) {
  static const uint32_t table[16] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x848484, 0x108CF7, 0xDE2900,
                                     0x7B7B7B, 0x00FFFF, 0xFF00FF, 0xFFFF00, 0x426384, 0xC6C6C6, 0x9C5A21, 0x3A0810};
  return table[index & 15];
}
int IndexAt(int x, int y) { return (x * 3 + y * 5) % 16; }

// Channels narrowed to a width and widened back by repeating their top bits.
uint32_t Narrow(uint32_t c, int bits) {
  uint32_t v = c >> (8 - bits);
  uint32_t wide = v << (8 - bits);
  for (int filled = bits; filled < 8; filled *= 2) wide |= wide >> filled;
  return wide & 0xFF;
}
uint32_t Through(uint32_t rgb, int rBits, int gBits, int bBits) {
  return (Narrow(rgb >> 16 & 0xFF, rBits) << 16) | (Narrow(rgb >> 8 & 0xFF, gBits) << 8) | Narrow(rgb & 0xFF, bBits);
}

struct Encoded {
  DibInfo dib;
  std::vector<uint8_t> bits;
  std::vector<uint32_t> expected;
};

// Encodes the reference picture at a depth, in either row order.
Encoded Encode(int bits, bool topDown, bool fields) {
  Encoded e{DibInfo(kW, topDown ? -kH : kH, bits, fields ? BI_BITFIELDS : BI_RGB), {}, {}};
  int stride = (kW * bits + 31) / 32 * 4;
  e.bits.assign(static_cast<size_t>(stride) * kH, 0);
  if (bits <= 8) {
    for (int i = 0; i < 16; ++i) e.dib.SetColour(i, Colour(i));
    if (bits == 1)
      for (int i = 2; i < 16; ++i) e.dib.SetColour(i, 0);
  }
  if (fields) bits == 16 ? e.dib.SetMasks(0xF800, 0x07E0, 0x001F) : e.dib.SetMasks(0xFF, 0xFF00, 0xFF0000);
  for (int y = 0; y < kH; ++y) {
    uint8_t* row = e.bits.data() + static_cast<size_t>(topDown ? y : kH - 1 - y) * stride;
    for (int x = 0; x < kW; ++x) {
      int index = bits == 1 ? IndexAt(x, y) & 1 : IndexAt(x, y);
      uint32_t c = Colour(index);
      uint32_t r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
      switch (bits) {
        case 1: row[x / 8] |= static_cast<uint8_t>(index << (7 - x % 8)); break;
        case 4: row[x / 2] |= static_cast<uint8_t>(index << (x % 2 ? 0 : 4)); break;
        case 8: row[x] = static_cast<uint8_t>(index); break;
        case 16: {
          uint16_t v = fields ? static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3)
                              : static_cast<uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
          std::memcpy(row + x * 2, &v, 2);
          c = fields ? Through(c, 5, 6, 5) : Through(c, 5, 5, 5);
          break;
        }
        case 24: row[x * 3] = static_cast<uint8_t>(b), row[x * 3 + 1] = static_cast<uint8_t>(g), row[x * 3 + 2] = static_cast<uint8_t>(r); break;
        case 32: {
          uint32_t v = fields ? (b << 16 | g << 8 | r) : (0xAB000000u | c);  // masks swap red and blue
          std::memcpy(row + x * 4, &v, 4);
          break;
        }
      }
      e.expected.push_back(c);
    }
  }
  return e;
}

struct SourceCase {
  int bits;
  bool topDown;
  bool fields;
};
// Printed as the case's name, so a failure says which format it was.
std::ostream& operator<<(std::ostream& os, const SourceCase& c) {
  return os << c.bits << (c.topDown ? "_topdown" : "_bottomup") << (c.fields ? "_fields" : "");
}

class SetDIBitsTest : public ::testing::TestWithParam<SourceCase> {};

TEST_P(SetDIBitsTest, EverySourceFormatLandsExactly) {
  Encoded e = Encode(GetParam().bits, GetParam().topDown, GetParam().fields);
  Canvas canvas(kW, kH, 0x55AA55);
  EXPECT_EQ(SetDIBitsToDevice(canvas.dc(), 0, 0, kW, kH, 0, 0, 0, kH, e.bits.data(), e.dib.info(), DIB_RGB_COLORS), kH);
  EXPECT_EQ(canvas.All(), e.expected);
  // A part of the picture at an offset: source (2, 1) counted from the DIB's origin, 3 x 2, to (1, 2).
  Canvas part(kW, kH, 0x55AA55);
  int srcY = GetParam().topDown ? 1 : kH - 1 - 2;  // bottom-up DIBs count rows from the bottom
  SetDIBitsToDevice(part.dc(), 1, 2, 3, 2, 2, srcY, 0, kH, e.bits.data(), e.dib.info(), DIB_RGB_COLORS);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      bool inside = x >= 1 && x < 4 && y >= 2 && y < 4;
      uint32_t want = inside ? e.expected[(y - 2 + 1) * kW + (x - 1 + 2)] : 0x55AA55;
      EXPECT_EQ(part.At(x, y), want) << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, SetDIBitsTest,
                         ::testing::Values(SourceCase{1, false, false}, SourceCase{4, false, false},
                                           SourceCase{8, false, false}, SourceCase{8, true, false},
                                           SourceCase{16, false, false}, SourceCase{16, true, true},
                                           SourceCase{24, false, false}, SourceCase{24, true, false},
                                           SourceCase{32, false, false}, SourceCase{32, true, true}),
                         ::testing::PrintToStringParamName());

TEST(SetDIBitsToDevice, PartialScanLinesCountFromTheBottom) {
  Encoded e = Encode(24, false, false);
  Canvas canvas(kW, kH, 0x010203);
  int stride = (kW * 24 + 31) / 32 * 4;
  // Lines 1 and 2 from the bottom only: the bits hold just those two rows.
  EXPECT_EQ(SetDIBitsToDevice(canvas.dc(), 0, 0, kW, kH, 0, 0, 1, 2, e.bits.data() + stride, e.dib.info(), 0), 2);
  for (int y = 0; y < kH; ++y) {
    bool drawn = y == kH - 2 || y == kH - 3;
    EXPECT_EQ(canvas.At(0, y), drawn ? e.expected[y * kW] : 0x010203u) << y;
  }
}

TEST(SetDIBitsToDevice, RunLengthEightAndFour) {
  DibInfo dib(6, 3, 8, BI_RLE8);
  for (int i = 0; i < 8; ++i) dib.SetColour(i, Colour(i));
  const uint8_t stream[] = {3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 2, 1, 2, 5, 0, 1};
  dib.header().biSizeImage = sizeof stream;
  Canvas canvas(6, 3, 0x123456);
  // Two of the three rows have pixels: the answer counts those.
  EXPECT_EQ(SetDIBitsToDevice(canvas.dc(), 0, 0, 6, 3, 0, 0, 0, 3, stream, dib.info(), DIB_RGB_COLORS), 2);
  const uint32_t k = 0x123456;  // skipped pixels keep what the destination had
  std::vector<uint32_t> expected = {k, k, Colour(5), Colour(5), k, k,  //
                                    k, k, k, k, k, k,                  //
                                    Colour(1), Colour(1), Colour(1), Colour(2), Colour(3), Colour(4)};
  EXPECT_EQ(canvas.All(), expected);

  DibInfo four(7, 1, 4, BI_RLE4);
  for (int i = 0; i < 16; ++i) four.SetColour(i, Colour(i));
  const uint8_t nibbles[] = {5, 0x12, 0, 3, 0x34, 0x50, 0, 1};  // run 1 2 1 2 1, then absolute 3 4 5
  four.header().biSizeImage = sizeof nibbles;
  Canvas line(8, 1, k);
  EXPECT_EQ(SetDIBitsToDevice(line.dc(), 0, 0, 7, 1, 0, 0, 0, 1, nibbles, four.info(), DIB_RGB_COLORS), 1);
  EXPECT_EQ(line.All(), (std::vector<uint32_t>{Colour(1), Colour(2), Colour(1), Colour(2), Colour(1), Colour(3),
                                                Colour(4), k}));
  // A stream that ends at once draws nothing and says so.
  const uint8_t empty[] = {0, 1};
  four.header().biSizeImage = sizeof empty;
  EXPECT_EQ(SetDIBitsToDevice(line.dc(), 0, 0, 7, 1, 0, 0, 0, 1, empty, four.info(), 0), 0);
  // A stream that does not say how long it is, and compressions that do not fit their depth, are refused.
  four.header().biSizeImage = 0;
  EXPECT_EQ(SetDIBitsToDevice(line.dc(), 0, 0, 7, 1, 0, 0, 0, 1, nibbles, four.info(), 0), 0);
  four.header().biSizeImage = sizeof nibbles;
  four.header().biBitCount = 8;
  EXPECT_EQ(SetDIBitsToDevice(line.dc(), 0, 0, 7, 1, 0, 0, 0, 1, nibbles, four.info(), 0), 0);
  four.header().biCompression = 4;
  EXPECT_EQ(SetDIBitsToDevice(line.dc(), 0, 0, 7, 1, 0, 0, 0, 1, nibbles, four.info(), 0), 0);
}

// Random run-length streams, sizes and offsets: nothing is read or written outside a buffer (run under ASan).
TEST(SetDIBitsToDevice, HostileRunLengthStaysInBounds) {
  std::mt19937 random(1234);
  static const int rounds = std::getenv("VOMAK_LONG_FUZZ") ? 200000 : 3000;
  for (int round = 0; round < rounds; ++round) {
    bool four = random() % 2;
    int width = 1 + random() % 40, height = 1 + random() % 40;
    DibInfo dib(width, height, four ? 4 : 8, four ? BI_RLE4 : BI_RLE8);
    for (int i = 0; i < 256; ++i) dib.SetColour(i, random());
    std::vector<uint8_t> stream(random() % 200);
    for (auto& b : stream) b = static_cast<uint8_t>(random() % 4 == 0 ? random() % 3 : random());
    dib.header().biSizeImage = static_cast<DWORD>(stream.size());
    Canvas canvas(1 + random() % 30, 1 + random() % 30);
    int x = static_cast<int>(random() % 60) - 30, y = static_cast<int>(random() % 60) - 30;
    SetDIBitsToDevice(canvas.dc(), x, y, random() % 80, random() % 80, static_cast<int>(random() % 20) - 10,
                      static_cast<int>(random() % 20) - 10, 0, height, stream.data(), dib.info(), DIB_RGB_COLORS);
    StretchDIBits(canvas.dc(), x, y, static_cast<int>(random() % 80) - 40, static_cast<int>(random() % 80) - 40,
                  width - 1, 0, -width, height, stream.data(), dib.info(), DIB_RGB_COLORS, SRCCOPY);
  }
}

// Random plain headers with exactly as many bits as they describe: every read stays inside them (under ASan).
TEST(SetDIBitsToDevice, RandomPlainHeadersStayInBounds) {
  std::mt19937 random(99);
  const int depths[] = {1, 4, 8, 16, 24, 32};
  for (int round = 0; round < 2000; ++round) {
    int bits = depths[random() % 6];
    int width = 1 + random() % 50, height = 1 + random() % 50;
    bool topDown = random() % 2;
    DWORD compression = (bits == 16 || bits == 32) && random() % 2 ? BI_BITFIELDS : BI_RGB;
    DibInfo dib(width, topDown ? -height : height, bits, compression);
    dib.header().biClrUsed = random() % 300;
    if (compression == BI_BITFIELDS) dib.SetMasks(random(), random(), random());
    UINT start = random() % (height + 2), lines = random() % (height + 2);
    size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    size_t available = start < static_cast<UINT>(height) ? std::min<size_t>(lines, height - start) : 0;
    std::vector<uint8_t> pixels(std::max<size_t>(stride * available, 1));
    for (auto& b : pixels) b = static_cast<uint8_t>(random());
    Canvas canvas(1 + random() % 40, 1 + random() % 40);
    int x = static_cast<int>(random() % 80) - 40, y = static_cast<int>(random() % 80) - 40;
    SetDIBitsToDevice(canvas.dc(), x, y, random() % 100, random() % 100, static_cast<int>(random() % 100) - 50,
                      static_cast<int>(random() % 100) - 50, start, lines, pixels.data(), dib.info(), DIB_RGB_COLORS);
  }
}

TEST(SetDIBitsToDevice, HostileSizesAndRectangles) {
  Encoded e = Encode(24, false, false);
  Canvas canvas(5, 5, 0x777777);
  EXPECT_GE(SetDIBitsToDevice(canvas.dc(), -3, -2, 0xFFFFFFFFu, 0xFFFFFFFFu, 0, 0, 0, kH, e.bits.data(),
                              e.dib.info(), 0), 0);
  SetDIBitsToDevice(canvas.dc(), 2, 2, kW, kH, -100000, 2000000000, 0, 0x7FFFFFFF, e.bits.data(), e.dib.info(), 0);
  SetDIBitsToDevice(canvas.dc(), INT32_MIN, INT32_MIN, 0xFFFFFFFFu, 0xFFFFFFFFu, INT32_MAX, INT32_MIN, 0, kH,
                    e.bits.data(), e.dib.info(), 0);
  StretchDIBits(canvas.dc(), INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, INT32_MAX,
                e.bits.data(), e.dib.info(), 0, SRCCOPY);
  EXPECT_EQ(SetDIBitsToDevice(canvas.dc(), 0, 0, kW, kH, 0, 0, kH, 3, e.bits.data(), e.dib.info(), 0), 0);
  EXPECT_EQ(SetDIBitsToDevice(canvas.dc(), 0, 0, kW, kH, 0, 0, 0, kH, nullptr, e.dib.info(), 0), 0);
  e.dib.header().biHeight = INT32_MIN;
  EXPECT_EQ(SetDIBitsToDevice(canvas.dc(), 0, 0, kW, kH, 0, 0, 0, kH, e.bits.data(), e.dib.info(), 0), 0);
  e.dib.header().biHeight = kH;
  e.dib.header().biWidth = -kW;
  EXPECT_EQ(SetDIBitsToDevice(canvas.dc(), 0, 0, kW, kH, 0, 0, 0, kH, e.bits.data(), e.dib.info(), 0), 0);
  e.dib.header().biWidth = kW;
  e.dib.header().biSize = 12;
  EXPECT_EQ(SetDIBitsToDevice(canvas.dc(), 0, 0, kW, kH, 0, 0, 0, kH, e.bits.data(), e.dib.info(), 0), 0);
}

TEST(StretchDIBits, MirrorFormReversesEveryRow) {
  for (bool topDown : {false, true}) {
    Encoded e = Encode(24, topDown, false);
    Canvas canvas(kW, kH);
    EXPECT_EQ(StretchDIBits(canvas.dc(), 0, 0, kW, kH, kW - 1, 0, -kW, kH, e.bits.data(), e.dib.info(),
                            DIB_RGB_COLORS, SRCCOPY),
              kH);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) EXPECT_EQ(canvas.At(x, y), e.expected[y * kW + kW - 1 - x]) << x << "," << y;
  }
  // Twice the size picks every source pixel twice.
  Encoded e = Encode(8, false, false);
  Canvas big(kW * 2, kH * 2);
  StretchDIBits(big.dc(), 0, 0, kW * 2, kH * 2, 0, 0, kW, kH, e.bits.data(), e.dib.info(), DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(big.At(5, 3), e.expected[1 * kW + 2]);
}

TEST(DibSections, DescribeThemselves) {
  DibInfo d(5, -3, 24);
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, d.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(section, nullptr);
  ASSERT_NE(bits, nullptr);
  EXPECT_EQ(GetObjectA(section, 0, nullptr), static_cast<int>(sizeof(DIBSECTION)));
  DIBSECTION ds{};
  ASSERT_EQ(GetObjectA(section, sizeof ds, &ds), static_cast<int>(sizeof ds));
  EXPECT_EQ(ds.dsBm.bmWidth, 5);
  EXPECT_EQ(ds.dsBm.bmHeight, 3);
  EXPECT_EQ(ds.dsBm.bmWidthBytes, 16);
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 24);
  EXPECT_EQ(ds.dsBm.bmBits, bits);
  EXPECT_EQ(ds.dsBmih.biHeight, -3);
  BITMAP bm{};
  EXPECT_EQ(GetObjectA(section, sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmBits, bits);
  EXPECT_EQ(GetObjectA(section, 4, &bm), 0);
  EXPECT_TRUE(DeleteObject(section));
  EXPECT_FALSE(DeleteObject(section));
  EXPECT_EQ(GetObjectA(section, sizeof bm, &bm), 0);

  DibInfo fields(3, -2, 16, BI_BITFIELDS);
  fields.SetMasks(0xF800, 0x07E0, 0x001F);
  section = CreateDIBSection(nullptr, fields.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(section, nullptr);
  ASSERT_EQ(GetObjectA(section, sizeof ds, &ds), static_cast<int>(sizeof ds));
  EXPECT_EQ(ds.dsBitfields[0], 0xF800u);
  EXPECT_EQ(ds.dsBitfields[1], 0x07E0u);
  EXPECT_EQ(ds.dsBm.bmWidthBytes, 8);
  DeleteObject(section);

  for (auto bad : {DibInfo(0, 3, 24), DibInfo(3, 0, 24), DibInfo(3, 3, 7), DibInfo(3, 3, 8, BI_RLE8),
                   DibInfo(70000, 1, 32), DibInfo(30000, 30000, 32), DibInfo(4, 4, 24, BI_BITFIELDS),
                   DibInfo(65536, 1, 8), DibInfo(1, 65536, 8), DibInfo(1, -65536, 8)}) {
    bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(nullptr, bad.info(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
  }
  // Sides up to 65,535 pixels are made.
  for (auto edge : {DibInfo(65535, 1, 8), DibInfo(1, 65535, 8), DibInfo(1, -65535, 8)}) {
    section = CreateDIBSection(nullptr, edge.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
    EXPECT_NE(section, nullptr);
    DeleteObject(section);
  }
}

}  // namespace
