#include <climits>

#include "decode_helpers.h"

namespace decoder_tests {
namespace {

uint32_t Rgb(int x, int y) { return static_cast<uint32_t>((x * 40 + 3) << 16 | (y * 70 + 5) << 8 | (x * y * 9 + 1)); }

std::vector<Bytes> Rows24(int w, int h) {
  std::vector<Bytes> rows;
  for (int y = 0; y < h; ++y) {
    Bytes r;
    for (int x = 0; x < w; ++x) {
      r.push_back(Rgb(x, y) & 0xFF);
      r.push_back((Rgb(x, y) >> 8) & 0xFF);
      r.push_back(Rgb(x, y) >> 16);
    }
    rows.push_back(r);
  }
  return rows;
}

TEST(BmpDecoder, TwentyFourBitBottomUpAndTopDownGiveTheSamePicture) {
  for (int sign : {1, -1}) {
    BmpFile f(5, 3 * sign, 24);
    f.data = StoreRows(Rows24(5, 3), sign > 0);
    Decoded d;
    RunDecoder(DecodeBmpPicture, Build(f), &d);
    ASSERT_EQ(d.result, 0);
    EXPECT_EQ(d.image.width, 5);
    EXPECT_EQ(d.image.height, 3);
    EXPECT_EQ(d.image.pitch, 16);
    EXPECT_EQ(d.image.format.bitDepth, 24);
    EXPECT_EQ(d.image.format.redMask, 0xFF0000u);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelArgb(d, x, y), 0xFF000000u | Rgb(x, y)) << x << "," << y;
    }
  }
}

std::vector<uint32_t> SixteenColours() {
  std::vector<uint32_t> p;
  for (uint32_t i = 0; i < 16; ++i) p.push_back(0xAB000000u | (i * 16) << 16 | (255 - i * 7) << 8 | i * 3);
  return p;
}

TEST(BmpDecoder, EightBitKeepsIndicesAndClearsTheReservedByte) {
  BmpFile f(3, 2, 8);
  f.colorsUsed = 16;
  f.palette = SixteenColours();
  f.data = StoreRows({{1, 2, 15}, {0, 9, 4}}, true);
  Decoded d;
  RunDecoder(DecodeBmpPicture, Build(f), &d);
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.format.bitDepth, 8);
  EXPECT_EQ(d.image.format.outsideMask, 0xFF000000u);
  EXPECT_EQ(d.image.pitch, 4);
  EXPECT_EQ(d.RowBytes(0), (Bytes{1, 2, 15}));
  EXPECT_EQ(d.RowBytes(1), (Bytes{0, 9, 4}));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(d.image.format.palette[i], f.palette[i] & 0xFFFFFF);
  // Entries past the short table are black, not read from the pixel data.
  for (int i = 16; i < 256; ++i) EXPECT_EQ(d.image.format.palette[i], 0u);
  // A whole table of 256 colours is read to its last entry.
  BmpFile full(1, 1, 8);
  for (uint32_t i = 0; i < 256; ++i) full.palette.push_back(i * 0x010101u);
  full.data = StoreRows({{255}}, true);
  Decoded whole;
  RunDecoder(DecodeBmpPicture, Build(full), &whole);
  ASSERT_EQ(whole.result, 0);
  EXPECT_EQ(whole.image.format.palette[255], 0xFFFFFFu);
}

TEST(BmpDecoder, FourBitOddWidthUnpacksHighNibbleFirstEitherWay) {
  std::vector<Bytes> packed = {{0x12, 0x34, 0x50}, {0xAB, 0xCD, 0xE0}};
  for (bool bottomUp : {true, false}) {
    BmpFile f(5, bottomUp ? 2 : -2, 4);
    f.palette = SixteenColours();
    f.data = StoreRows(packed, bottomUp);
    Decoded d;
    RunDecoder(DecodeBmpPicture, Build(f), &d);
    ASSERT_EQ(d.result, 0);
    EXPECT_EQ(d.image.pitch, 8);
    EXPECT_EQ(d.RowBytes(0), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(d.RowBytes(1), (Bytes{10, 11, 12, 13, 14}));
    EXPECT_EQ(d.image.format.palette[15], f.palette[15] & 0xFFFFFF);
    EXPECT_EQ(d.image.format.palette[16], 0u);
  }
}

TEST(BmpDecoder, OneBitBecomesTwentyFourBit) {
  BmpFile f(10, 2, 1);
  f.colorsUsed = 2;
  f.palette = {0x00102030, 0xFFF0E0D0};
  f.data = StoreRows({{0xA5, 0x40}, {0x00, 0xC0}}, true);
  Decoded d;
  RunDecoder(DecodeBmpPicture, Build(f), &d);
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.format.bitDepth, 24);
  EXPECT_EQ(d.image.pitch, 32);
  const uint32_t c0 = 0xFF102030, c1 = 0xFFF0E0D0;
  std::vector<uint32_t> want = {c1, c0, c1, c0, c0, c1, c0, c1, c0, c1, c0, c0, c0, c0, c0, c0, c0, c0, c1, c1};
  EXPECT_EQ(AllArgb(d), want);
}

TEST(BmpDecoder, SixteenAndThirtyTwoBitPlainAndBitFields) {
  // 5:5:5 plain: 5-bit channels are widened by repeating their bits.
  BmpFile plain16(2, 1, 16);
  plain16.data = {0xFF, 0x7F, 0x10, 0x42};  // white; red 16, green 16, blue 16
  Decoded a;
  RunDecoder(DecodeBmpPicture, Build(plain16), &a);
  ASSERT_EQ(a.result, 0);
  EXPECT_EQ(AllArgb(a), (std::vector<uint32_t>{0xFFFFFFFF, 0xFF848484}));

  // Fields of every width from 1 to 16 at every place, over pixels i x 0x0101 whose every 8-bit window takes
  // every value.
  for (int width = 1; width <= 16; ++width) {
    for (int shift = 0; width + shift <= 16; ++shift) {
      BmpFile fields16(16, -16, 16, 3);
      const uint32_t field = (1u << width) - 1, blue = (1u << (17 - width)) - 1;
      fields16.masks = {field << shift, field << (16 - width - shift), blue};
      std::vector<uint32_t> want;
      for (uint32_t p = 0; p < 0x10000; p += 0x0101) {
        Put16(&fields16.data, p);
        want.push_back(0xFF000000u | ChannelTo8(p, fields16.masks[0], shift, width) << 16 |
                       ChannelTo8(p, fields16.masks[1], 16 - width - shift, width) << 8 |
                       ChannelTo8(p, blue, 0, 17 - width));
      }
      Decoded b;
      RunDecoder(DecodeBmpPicture, Build(fields16), &b);
      ASSERT_EQ(b.result, 0);
      EXPECT_EQ(AllArgb(b), want) << width << " bits from bit " << shift;
    }
  }

  BmpFile plain32(1, 1, 32);
  plain32.data = {0x11, 0x22, 0x33, 0x80};  // the alpha byte is not kept
  Decoded c;
  RunDecoder(DecodeBmpPicture, Build(plain32), &c);
  ASSERT_EQ(c.result, 0);
  EXPECT_EQ(c.image.format.bitDepth, 24);
  EXPECT_EQ(AllArgb(c), (std::vector<uint32_t>{0xFF332211}));

  BmpFile fields32(1, 1, 32, 3);
  fields32.masks = {0xFF, 0xFF00, 0xFF0000};
  fields32.data = {0x11, 0x22, 0x33, 0x44};
  Decoded e;
  RunDecoder(DecodeBmpPicture, Build(fields32), &e);
  ASSERT_EQ(e.result, 0);
  EXPECT_EQ(AllArgb(e), (std::vector<uint32_t>{0xFF112233}));
}

TEST(BmpDecoder, LongHeadersTakeTheTableAndMasksFromTheirPlace) {
  BmpFile v5(2, 1, 8);
  v5.headerSize = 124;
  v5.colorsUsed = 2;
  v5.palette = {0x000000FF, 0x0000FF00};
  v5.data = {1, 0, 0, 0};
  Decoded a;
  RunDecoder(DecodeBmpPicture, Build(v5), &a);
  ASSERT_EQ(a.result, 0);
  EXPECT_EQ(AllArgb(a), (std::vector<uint32_t>{0xFF00FF00, 0xFF0000FF}));

  BmpFile v4(1, 1, 16, 3);
  v4.headerSize = 108;
  v4.masks = {0x0F00, 0x00F0, 0x000F};
  v4.data = {0x5A, 0x0F, 0, 0};
  Decoded b;
  RunDecoder(DecodeBmpPicture, Build(v4), &b);
  ASSERT_EQ(b.result, 0);
  EXPECT_EQ(AllArgb(b), (std::vector<uint32_t>{0xFFFF55AA}));
}

std::vector<uint32_t> Palette4() { return {0x000000, 0x0000FF, 0x00FF00, 0xFF0000}; }

TEST(BmpDecoder, RunLengthEightBit) {
  // Bottom row: run of 3 x index 1, absolute 2,3,1 (padded), end of line; then a delta of (1, 1) to row 2,
  // one index 2, and end of picture. Row 1 and the rest stay black.
  BmpFile f(6, 3, 8, 1);
  f.colorsUsed = 4;
  f.palette = Palette4();
  f.data = {3, 1, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 1, 1, 1, 2, 0, 1};
  Decoded d;
  RunDecoder(DecodeBmpPicture, Build(f), &d);
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.format.bitDepth, 24);
  const uint32_t k = 0xFF000000, b = 0xFF0000FF, g = 0xFF00FF00, r = 0xFFFF0000;
  EXPECT_EQ(AllArgb(d), (std::vector<uint32_t>{k, g, k, k, k, k,  //
                                               k, k, k, k, k, k,  //
                                               b, b, b, g, r, b}));
}

TEST(BmpDecoder, RunLengthFourBit) {
  // A run of 5 alternating 1,2; absolute 3 pixels 3,1,2 (two bytes); a run past the row end is cut.
  BmpFile f(8, 1, 4, 2);
  f.colorsUsed = 4;
  f.palette = Palette4();
  f.data = {5, 0x12, 0, 3, 0x31, 0x20, 4, 0x33, 0, 1};
  Decoded d;
  RunDecoder(DecodeBmpPicture, Build(f), &d);
  ASSERT_EQ(d.result, 0);
  const uint32_t b = 0xFF0000FF, g = 0xFF00FF00, r = 0xFFFF0000;
  EXPECT_EQ(AllArgb(d), (std::vector<uint32_t>{b, g, b, g, b, r, b, g}));
}

TEST(BmpDecoder, ShortPixelDataLeavesZeros) {
  BmpFile f(4, -2, 24);
  f.data = StoreRows(Rows24(4, 2), false);
  f.data.resize(13);
  for (bool fileLike : {false, true}) {
    Decoded d;
    RunDecoder(DecodeBmpPicture, Build(f), &d, fileLike);
    ASSERT_EQ(d.result, 0);
    EXPECT_EQ(PixelArgb(d, 0, 0), 0xFF000000u | Rgb(0, 0));
    EXPECT_EQ(PixelArgb(d, 0, 1), 0xFF000001u);  // the one byte that was there
    EXPECT_EQ(PixelArgb(d, 1, 1), 0xFF000000u);
  }
}

TEST(BmpDecoder, RefusesWhatItCannotTake) {
  BmpFile good(2, 2, 24);
  good.data = StoreRows(Rows24(2, 2), true);
  auto refused = [](const Bytes& bytes) {
    Decoded d;
    RunDecoder(DecodeBmpPicture, bytes, &d);
    return d.result == -1;
  };
  ASSERT_FALSE(refused(Build(good)));
  Bytes notBmp = Build(good);
  notBmp[1] = 'N';
  EXPECT_TRUE(refused(notBmp));
  EXPECT_TRUE(refused(Bytes(notBmp.begin(), notBmp.begin() + 14)));
  std::vector<BmpFile> bad;
  for (int32_t w : {0, -2, 32768})
    bad.push_back([&] {
      BmpFile f(w, 2, 24);
      f.data = good.data;
      return f;
    }());
  for (int32_t h : {0, INT_MIN, 32768, -32768})
    bad.push_back([&] {
      BmpFile f(2, h, 24);
      f.data = good.data;
      return f;
    }());
  for (int bits : {0, 2, 12, 48})
    bad.push_back([&] {
      BmpFile f(2, 2, bits);
      f.data = good.data;
      return f;
    }());
  for (uint32_t c : {4u, 5u, 6u, 99u})
    bad.push_back([&] {
      BmpFile f(2, 2, 24, c);
      f.data = good.data;
      return f;
    }());
  bad.push_back([&] {
    BmpFile f(2, 2, 12);
    f.headerSize = 12;
    f.data = good.data;
    return f;
  }());
  bad.push_back([&] {
    BmpFile f(2, -2, 8, 1);
    f.palette = Palette4();
    f.data = {2, 1, 0, 1};
    return f;
  }());
  bad.push_back([&] {
    BmpFile f(2, 2, 24, 3);
    f.masks = {1, 2, 4};
    f.data = good.data;
    return f;
  }());
  bad.push_back([&] {
    BmpFile f(2, 2, 8, 2);
    f.palette = Palette4();
    f.data = {2, 1, 0, 1};
    return f;
  }());
  for (const BmpFile& f : bad) EXPECT_TRUE(refused(Build(f))) << f.width << "x" << f.height << " " << f.bits;
  // No pixel bytes at all.
  BmpFile empty(2, 2, 24);
  EXPECT_TRUE(refused(Build(empty)));
}

TEST(BmpDecoder, ANonBmpIsRefusedRightAfterTheFileHeader) {
  testing_support::ByteStream stream;
  stream.data = Pattern(200, 8);
  StreamSourceData source = stream.Source();
  GraphImage image{};
  EXPECT_EQ(DecodeBmpPicture(&source, &image), -1);
  EXPECT_EQ(stream.position, 14);
}

TEST(BmpDecoder, TakenFirstInTheTable) {
  BmpFile f(2, 2, 8, 1);
  f.palette = Palette4();
  f.data = {4, 1, 0, 1};
  ExpectTakenFirstBy(Build(f), "bmp");
}

TEST(BmpDecoder, DamagedFilesAreSafe) {
  BmpFile rle(6, 3, 8, 1);
  rle.colorsUsed = 4;
  rle.palette = Palette4();
  rle.data = {3, 1, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 1, 1, 1, 2, 0, 1};
  ExpectSafeOnDamage(Build(rle));
  BmpFile fields(3, -2, 16, 3);
  fields.headerSize = 124;
  fields.masks = {0xF800, 0x07E0, 0x001F};
  fields.data = Pattern(16, 3);
  ExpectSafeOnDamage(Build(fields));
  BmpFile four(5, 2, 4);
  four.palette = SixteenColours();
  four.data = Pattern(8, 4);
  ExpectSafeOnDamage(Build(four));
}

}  // namespace
}  // namespace decoder_tests
