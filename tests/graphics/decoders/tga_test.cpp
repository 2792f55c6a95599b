#include "decode_helpers.h"

namespace decoder_tests {
namespace {

// Four pixels, 2 x 2, stored bottom up as B G R A: the decoded picture puts the last stored row first.
const Bytes kBottomUp32 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

TEST(TgaDecoder, FooterFileThirtyTwoBitBottomUpGivesTopDownWithAlpha) {
  TgaFile f(2, 2, 2, 32);
  f.descriptor = 0x08;
  f.data = kBottomUp32;
  f.footer = true;
  Decoded d;
  RunDecoder(DecodeTgaPicture, Build(f), &d);
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.pitch, 8);
  EXPECT_EQ(d.image.format.alphaMask, 0xFF000000u);
  EXPECT_EQ(d.image.format.alphaWidth, 8);
  EXPECT_EQ(d.RowBytes(0), (Bytes{9, 10, 11, 12, 13, 14, 15, 16}));
  EXPECT_EQ(d.RowBytes(1), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(TgaDecoder, SixteenBitHasNoAlphaUnlessTheExtensionSaysSo) {
  TgaFile f(2, 1, 1, 16);
  f.data = {0x1F, 0x80};
  f.footer = true;
  Decoded plain;
  RunDecoder(DecodeTgaPicture, Build(f), &plain);
  ASSERT_EQ(plain.result, 0);
  EXPECT_EQ(plain.image.format.alphaWidth, 0);
  EXPECT_EQ(plain.image.format.outsideMask, 0x8000u);
  EXPECT_EQ(PixelArgb(plain, 0, 0), 0xFF0000FFu);
  f.extensionAttributes = 3;
  Decoded withAlpha;
  RunDecoder(DecodeTgaPicture, Build(f), &withAlpha);
  ASSERT_EQ(withAlpha.result, 0);
  EXPECT_EQ(withAlpha.image.format.alphaMask, 0x8000u);
  EXPECT_EQ(withAlpha.image.format.outsideMask, 0u);
}

TEST(TgaDecoder, ExtensionAreaDecidesThirtyTwoBitAlpha) {
  TgaFile f(2, 2, 2, 32);
  f.data = kBottomUp32;
  f.footer = true;
  f.extensionAttributes = 0;
  Decoded unused;
  RunDecoder(DecodeTgaPicture, Build(f), &unused);
  ASSERT_EQ(unused.result, 0);
  EXPECT_EQ(unused.image.format.alphaWidth, 0);
  EXPECT_EQ(unused.image.format.outsideMask, 0xFF000000u);
  EXPECT_EQ(unused.RowBytes(0), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  // 24 bits cannot carry the alpha the extension promises.
  TgaFile g(2, 1, 1, 24);
  g.data = {1, 2, 3};
  g.footer = true;
  g.extensionAttributes = 3;
  Decoded refused;
  RunDecoder(DecodeTgaPicture, Build(g), &refused);
  EXPECT_EQ(refused.result, -1);
}

TEST(TgaDecoder, FilesWithoutFooterReadTheHeaderAtTheStart) {
  TgaFile f(2, 3, 1, 24);
  f.data = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  Decoded d;
  RunDecoder(DecodeTgaPicture, Build(f), &d);
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.format.bitDepth, 24);
  EXPECT_EQ(d.image.pitch, 9);
  EXPECT_EQ(d.RowBytes(0), f.data);
  // Without a footer 32-bit pictures keep their alpha.
  TgaFile g(2, 2, 2, 32);
  g.data = kBottomUp32;
  Decoded e;
  RunDecoder(DecodeTgaPicture, Build(g), &e);
  ASSERT_EQ(e.result, 0);
  EXPECT_EQ(e.image.format.alphaMask, 0xFF000000u);
}

// A footer file whose developer directory is given takes its header from the offset the directory names.
TEST(TgaDecoder, DeveloperDirectoryMovesTheHeader) {
  TgaFile f(2, 2, 1, 24);
  f.data = {1, 2, 3, 4, 5, 6};
  Bytes file = {9, 9, 9, 9, 9, 9};  // not a header: an ID length of 9 and a colour-map type of 9 are refused
  const Bytes picture = Build(f);
  file.insert(file.end(), picture.begin(), picture.end());
  const uint32_t extension = static_cast<uint32_t>(file.size());
  Bytes area(495, 0);
  area[494] = 2;
  file.insert(file.end(), area.begin(), area.end());
  const uint32_t directory = static_cast<uint32_t>(file.size());
  Bytes entry = {0, 0};
  Put32(&entry, 6);
  Put32(&entry, 18 + 6);
  file.insert(file.end(), entry.begin(), entry.end());
  Put32(&file, extension);
  Put32(&file, directory);
  PutText(&file, "TRUEVISION-XFILE.");
  file.push_back(0);
  Decoded d;
  RunDecoder(DecodeTgaPicture, file, &d);
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.width, 2);
  EXPECT_EQ(d.RowBytes(0), (Bytes{1, 2, 3, 4, 5, 6}));
  // The same file with the directory offset cleared reads its header at 0, which is refused.
  std::fill(file.end() - 22, file.end() - 18, 0);
  Decoded e;
  RunDecoder(DecodeTgaPicture, file, &e);
  EXPECT_EQ(e.result, -1);
}

TEST(TgaDecoder, RightToLeftRowsAreTurned) {
  TgaFile f(2, 2, 2, 32);
  f.descriptor = 0x10;  // bottom up, right to left
  f.data = kBottomUp32;
  Decoded d;
  RunDecoder(DecodeTgaPicture, Build(f), &d);
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.RowBytes(0), (Bytes{13, 14, 15, 16, 9, 10, 11, 12}));
  EXPECT_EQ(d.RowBytes(1), (Bytes{5, 6, 7, 8, 1, 2, 3, 4}));
}

TEST(TgaDecoder, RunLengthPackets) {
  TgaFile f(10, 8, 1, 24);
  f.data = {0x83, 1, 2, 3, 0x03, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  Decoded d;
  RunDecoder(DecodeTgaPicture, Build(f), &d);
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.RowBytes(0), (Bytes{1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
}

TEST(TgaDecoder, RunLengthThatOverrunsIsCutAndShortDataLeavesZeros) {
  TgaFile over(10, 3, 1, 24);
  over.data = {0x85, 1, 2, 3, 0x85, 9, 9, 9};
  over.footer = true;
  Decoded a;
  RunDecoder(DecodeTgaPicture, Build(over), &a);
  ASSERT_EQ(a.result, 0);
  EXPECT_EQ(a.RowBytes(0), (Bytes{1, 2, 3, 1, 2, 3, 1, 2, 3}));
  TgaFile shortData(10, 3, 1, 24);
  shortData.data = {0x00, 7, 8, 9, 0x05};
  Decoded b;
  RunDecoder(DecodeTgaPicture, Build(shortData), &b);
  ASSERT_EQ(b.result, 0);
  EXPECT_EQ(b.RowBytes(0), (Bytes{7, 8, 9, 0, 0, 0, 0, 0, 0}));
  TgaFile none(10, 3, 1, 24);
  Decoded c;
  RunDecoder(DecodeTgaPicture, Build(none), &c);
  EXPECT_EQ(c.result, -1);
}

TEST(TgaDecoder, ColourMappedPlainAndRunLength) {
  TgaFile f(1, 3, 1, 8);
  f.mapFirst = 2;
  f.mapEntryBits = 24;
  f.map = {10, 11, 12, 20, 21, 22};  // entries 2 and 3
  f.data = {3, 2, 0};
  Decoded d;
  RunDecoder(DecodeTgaPicture, Build(f), &d);
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.format.bitDepth, 24);
  EXPECT_EQ(d.RowBytes(0), (Bytes{20, 21, 22, 10, 11, 12, 0, 0, 0}));
  f.type = 9;
  f.data = {0x81, 3, 0x00, 2};
  Decoded r;
  RunDecoder(DecodeTgaPicture, Build(f), &r);
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(r.RowBytes(0), (Bytes{20, 21, 22, 20, 21, 22, 10, 11, 12}));
}

TEST(TgaDecoder, RefusesWhatItCannotTake) {
  auto refused = [](const TgaFile& f) {
    Decoded d;
    RunDecoder(DecodeTgaPicture, Build(f), &d);
    return d.result == -1;
  };
  TgaFile good(2, 1, 1, 24);
  good.data = {1, 2, 3};
  ASSERT_FALSE(refused(good));
  for (int type : {0, 3, 4, 8, 11, 32}) {
    TgaFile f = good;
    f.type = type;
    EXPECT_TRUE(refused(f)) << type;
  }
  for (int depth : {0, 8, 15, 33}) {
    TgaFile f = good;
    f.depth = depth;
    EXPECT_TRUE(refused(f)) << depth;
  }
  TgaFile withId = good;
  withId.idLength = 1;
  EXPECT_TRUE(refused(withId));
  TgaFile origin = good;
  origin.xOrigin = 1;
  EXPECT_TRUE(refused(origin));
  for (int side : {0, 4096}) {
    TgaFile f = good;
    f.width = side;
    EXPECT_TRUE(refused(f));
    f = good;
    f.height = side;
    EXPECT_TRUE(refused(f));
  }
  TgaFile bigMap(1, 1, 1, 8);
  bigMap.mapEntryBits = 24;
  bigMap.mapFirst = 255;
  bigMap.map = Bytes(6, 1);
  bigMap.data = {0};
  EXPECT_TRUE(refused(bigMap));
  TgaFile wideIndex = bigMap;
  wideIndex.mapFirst = 0;
  wideIndex.depth = 16;
  EXPECT_TRUE(refused(wideIndex));
  EXPECT_TRUE(refused(TgaFile(2, 1, 1, 24)));  // no pixel data
}

TEST(TgaDecoder, TakenFirstInTheTable) {
  TgaFile f(2, 2, 2, 32);
  f.data = kBottomUp32;
  ExpectTakenFirstBy(Build(f), "tga");
  f.footer = true;
  ExpectTakenFirstBy(Build(f), "tga");
}

TEST(TgaDecoder, DamagedFilesAreSafe) {
  TgaFile rle(10, 4, 3, 32);
  rle.data = {0x83, 1, 2, 3, 4, 0x07, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  rle.footer = true;
  rle.extensionAttributes = 3;
  ExpectSafeOnDamage(Build(rle));
  TgaFile mapped(9, 3, 2, 8);
  mapped.mapEntryBits = 16;
  mapped.map = {1, 2, 3, 4};
  mapped.data = {0x82, 1, 0x02, 0, 1, 0};
  mapped.descriptor = 0x10;
  ExpectSafeOnDamage(Build(mapped));
}

}  // namespace
}  // namespace decoder_tests
