#include "decode_helpers.h"

namespace decoder_tests {
namespace {

TEST(BgraDecoder, EightBitChannelsAreTakenAsStored) {
  Bytes pixels = Pattern(3 * 2 * 4, 9);
  Decoded d;
  RunDecoder(DecodeBgraPicture, Bgra(0x08080808, 3, 2, pixels), &d);
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.pitch, 12);
  EXPECT_EQ(d.image.format.bitDepth, 32);
  EXPECT_EQ(d.image.format.alphaMask, 0xFF000000u);
  EXPECT_EQ(d.image.format.alphaShift, 24);
  EXPECT_EQ(Bytes(d.Row(0), d.Row(0) + 24), pixels);
}

TEST(BgraDecoder, SixteenBitChannelsKeepTheirHighBytes) {
  Bytes pixels = {0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A, 0xF0, 0xDE};
  Decoded d;
  RunDecoder(DecodeBgraPicture, Bgra(0x10101010, 1, 1, pixels), &d);
  ASSERT_EQ(d.result, 0);
  uint32_t v;
  std::memcpy(&v, d.Row(0), 4);
  EXPECT_EQ(v, 0xDE9A5612u);
}

TEST(BgraDecoder, ShortSixteenBitRowsLeaveZerosNotThePreviousRow) {
  Bytes pixels = Pattern(8 + 3, 5);
  Decoded d;
  RunDecoder(DecodeBgraPicture, Bgra(0x10101010, 1, 2, pixels), &d);
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.RowBytes(1), (Bytes{pixels[9], 0, 0, 0}));
}

TEST(BgraDecoder, RefusesBadHeaders) {
  Bytes px = Pattern(16, 1);
  for (const Bytes& b : {Bgra(0x08080807, 1, 1, px), Bgra(0x08080808, 0, 1, px), Bgra(0x08080808, 1, -1, px),
                         Bgra(0x08080808, 0x40000000, 0x40000000, px), Bgra(0x10101010, 65536, 65536, px),
                         Bgra(0x08080808, 2, 2, {}), Bytes{'B', 'G', 'R', 'X'}}) {
    Decoded d;
    RunDecoder(DecodeBgraPicture, b, &d);
    EXPECT_EQ(d.result, -1);
  }
}

TEST(DdsDecoder, FormatCodesGiveTheirDepthAndMasks) {
  DdsFile f;
  f.pixels = Pattern(16, 2);
  Decoded a;
  RunDecoder(DecodeDdsPicture, Build(f), &a);
  ASSERT_EQ(a.result, 0);
  EXPECT_EQ(a.image.format.bitDepth, 32);
  EXPECT_EQ(a.image.format.alphaMask, 0xFF000000u);
  EXPECT_EQ(a.image.pitch, 8);
  EXPECT_EQ(Bytes(a.Row(0), a.Row(0) + 16), f.pixels);

  f.code = 23;
  Decoded b;
  RunDecoder(DecodeDdsPicture, Build(f), &b);
  ASSERT_EQ(b.result, 0);
  EXPECT_EQ(b.image.format.bitDepth, 16);
  EXPECT_EQ(b.image.format.redMask, 0xF800u);
  EXPECT_EQ(b.image.format.greenMask, 0x7E0u);
  EXPECT_EQ(b.image.format.blueMask, 0x1Fu);
  EXPECT_EQ(b.image.pitch, 4);

  f.code = 35;  // ten-bit channels
  Decoded c;
  RunDecoder(DecodeDdsPicture, Build(f), &c);
  ASSERT_EQ(c.result, 0);
  EXPECT_EQ(c.image.format.redWidth, 10);
  EXPECT_EQ(c.image.format.redShift, 20);
  EXPECT_EQ(c.image.format.alphaWidth, 2);
}

TEST(DdsDecoder, ThreeThreeTwoBecomesAPaletteOfItsOwnColours) {
  DdsFile f;
  f.code = 27;
  f.pixels = {0xE0, 0x1C, 0x03, 0xFF};
  Decoded d;
  RunDecoder(DecodeDdsPicture, Build(f), &d);
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.format.bitDepth, 8);
  EXPECT_EQ(AllArgb(d), (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}));
  EXPECT_EQ(d.image.format.palette[0x92], 0x9292AAu);  // 100 100 10
}

TEST(DdsDecoder, RgbWithAlphaUsesTheMasksAndThePitchRule) {
  DdsFile f;
  f.formatFlags = 0x41;
  f.code = 0;
  f.bits = 32;
  f.masks[0] = 0xFF0000;
  f.masks[1] = 0xFF00;
  f.masks[2] = 0xFF;
  f.masks[3] = 0xFF000000;
  f.pixels = Pattern(2 * 12, 4);
  Decoded a;
  RunDecoder(DecodeDdsPicture, Build(f), &a);
  ASSERT_EQ(a.result, 0);
  EXPECT_EQ(a.image.pitch, 8);
  EXPECT_EQ(a.image.format.alphaMask, 0xFF000000u);
  // A pitch field is used only with its flag and when it holds a whole row.
  f.flags |= 0x8;
  f.pitch = 12;
  Decoded b;
  RunDecoder(DecodeDdsPicture, Build(f), &b);
  ASSERT_EQ(b.result, 0);
  EXPECT_EQ(b.image.pitch, 12);
  EXPECT_EQ(b.RowBytes(1), Bytes(f.pixels.begin() + 12, f.pixels.begin() + 20));
  f.pitch = 4;
  Decoded c;
  RunDecoder(DecodeDdsPicture, Build(f), &c);
  ASSERT_EQ(c.result, 0);
  EXPECT_EQ(c.image.pitch, 8);
}

TEST(DdsDecoder, RefusesCompressedPlainRgbAndBadSizes) {
  auto refused = [](const DdsFile& f) {
    Decoded d;
    RunDecoder(DecodeDdsPicture, Build(f), &d);
    return d.result == -1;
  };
  DdsFile good;
  good.pixels = Pattern(16, 1);
  ASSERT_FALSE(refused(good));
  DdsFile f = good;
  f.formatFlags = 0x4;
  f.code = 0x31545844;  // a four-character compression code
  EXPECT_TRUE(refused(f));
  f.code = 28;  // not in the table
  EXPECT_TRUE(refused(f));
  f = good;
  f.formatFlags = 0x40;
  f.bits = 32;
  EXPECT_TRUE(refused(f));
  f.formatFlags = 0x20000;  // luminance
  EXPECT_TRUE(refused(f));
  f.formatFlags = 0x41;
  f.bits = 0;
  EXPECT_TRUE(refused(f));
  f = good;
  f.formatFlags = 0x5;
  EXPECT_TRUE(refused(f));
  for (uint32_t side : {0u, 0x80000000u, 0x10000u}) {
    f = good;
    f.width = side;
    f.height = 0x10000;
    EXPECT_TRUE(refused(f)) << side;
  }
  f = good;
  f.pixels.clear();
  EXPECT_TRUE(refused(f));
  Bytes notDds = Build(good);
  notDds[2] = 'X';
  Decoded d;
  RunDecoder(DecodeDdsPicture, notDds, &d);
  EXPECT_EQ(d.result, -1);
}

TEST(BgraAndDds, TakenFirstInTheTable) {
  ExpectTakenFirstBy(Bgra(0x08080808, 2, 2, Pattern(16, 1)), "bgra");
  DdsFile f;
  f.pixels = Pattern(16, 1);
  ExpectTakenFirstBy(Build(f), "dds");
}

TEST(BgraAndDds, DamagedFilesAreSafe) {
  ExpectSafeOnDamage(Bgra(0x10101010, 3, 2, Pattern(48, 8)));
  DdsFile f;
  f.flags |= 0x8;
  f.pitch = 12;
  f.pixels = Pattern(24, 3);
  ExpectSafeOnDamage(Build(f));
}

}  // namespace
}  // namespace decoder_tests
