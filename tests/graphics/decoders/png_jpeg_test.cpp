#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>  // libjpeg's header needs FILE and size_t first
#include <fstream>
#include <jpeglib.h>

#include "decode_helpers.h"

namespace decoder_tests {
namespace {

PngFile Palette() {
  PngFile f;
  f.type = PNG_COLOR_TYPE_PALETTE;
  f.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};
  f.rows = {{0, 1, 2}, {3, 3, 0}};
  return f;
}

TEST(PngDecoder, PaletteIsTwentyFourBitAndThirtyTwoWithTransparency) {
  Decoded plain;
  RunDecoder(DecodePngPicture, WritePng(Palette()), &plain);
  ASSERT_EQ(plain.result, 0);
  EXPECT_EQ(plain.image.format.bitDepth, 24);
  EXPECT_EQ(plain.image.pitch, 9);
  EXPECT_EQ(plain.RowBytes(0), (Bytes{0, 0, 255, 0, 255, 0, 255, 0, 0}));
  PngFile t = Palette();
  t.transparentIndices = {128, 0};
  Decoded alpha;
  RunDecoder(DecodePngPicture, WritePng(t), &alpha);
  ASSERT_EQ(alpha.result, 0);
  EXPECT_EQ(alpha.image.format.bitDepth, 32);
  EXPECT_EQ(alpha.image.format.alphaMask, 0xFF000000u);
  EXPECT_EQ(AllArgb(alpha),
            (std::vector<uint32_t>{0x80FF0000, 0x0000FF00, 0xFF0000FF, 0xFF0A141E, 0xFF0A141E, 0x80FF0000}));
}

TEST(PngDecoder, SixteenBitRgbaKeepsHighBytes) {
  PngFile f;
  f.width = 1;
  f.height = 1;
  f.depth = 16;
  f.type = PNG_COLOR_TYPE_RGB_ALPHA;
  f.rows = {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0}};
  Decoded d;
  RunDecoder(DecodePngPicture, WritePng(f), &d);
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.format.bitDepth, 32);
  EXPECT_EQ(d.RowBytes(0), (Bytes{0x9A, 0x56, 0x12, 0xDE}));
}

TEST(PngDecoder, OneBitGreyIsOneGreyBytePerPixel) {
  PngFile f;
  f.width = 10;
  f.height = 1;
  f.depth = 1;
  f.type = PNG_COLOR_TYPE_GRAY;
  f.rows = {{0xA0, 0xC0}};
  Decoded d;
  RunDecoder(DecodePngPicture, WritePng(f), &d);
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.format.bitDepth, 8);
  EXPECT_EQ(d.image.pitch, 10);
  EXPECT_EQ(d.RowBytes(0), (Bytes{255, 0, 255, 0, 0, 0, 0, 0, 255, 255}));
  // Grey pictures carry the grey ramp, so a reader through the palette sees grey.
  EXPECT_EQ(d.image.format.palette[0x80], 0x808080u);
  EXPECT_EQ(d.image.format.alphaMask, 0xFFu);
}

TEST(PngDecoder, GreyWithAlphaOrTransparentGreyBecomesBgra) {
  PngFile ga;
  ga.width = 2;
  ga.height = 1;
  ga.type = PNG_COLOR_TYPE_GRAY_ALPHA;
  ga.rows = {{0x40, 0x80, 0xFF, 0x10}};
  Decoded a;
  RunDecoder(DecodePngPicture, WritePng(ga), &a);
  ASSERT_EQ(a.result, 0);
  EXPECT_EQ(a.image.format.bitDepth, 32);
  EXPECT_EQ(AllArgb(a), (std::vector<uint32_t>{0x80404040, 0x10FFFFFF}));
  PngFile gt;
  gt.width = 2;
  gt.height = 1;
  gt.type = PNG_COLOR_TYPE_GRAY;
  gt.transparentGrey = 7;
  gt.rows = {{7, 9}};
  Decoded b;
  RunDecoder(DecodePngPicture, WritePng(gt), &b);
  ASSERT_EQ(b.result, 0);
  EXPECT_EQ(AllArgb(b), (std::vector<uint32_t>{0x00070707, 0xFF090909}));
}

TEST(PngDecoder, InterlacedGivesTheSamePixels) {
  PngFile f;
  f.width = 11;
  f.height = 9;
  f.type = PNG_COLOR_TYPE_RGB;
  for (int y = 0; y < f.height; ++y) f.rows.push_back(Pattern(33, 100 + y));
  Decoded plain, interlaced;
  RunDecoder(DecodePngPicture, WritePng(f), &plain);
  f.interlace = true;
  RunDecoder(DecodePngPicture, WritePng(f), &interlaced);
  ASSERT_EQ(plain.result, 0);
  ASSERT_EQ(interlaced.result, 0);
  EXPECT_EQ(AllArgb(plain), AllArgb(interlaced));
  EXPECT_EQ(plain.RowBytes(4)[0], f.rows[4][2]);  // blue first
}

TEST(PngDecoder, CutInsideTheImageDataFails) {
  PngFile f;
  f.width = 40;
  f.height = 40;
  for (int y = 0; y < f.height; ++y) f.rows.push_back(Pattern(120, y));
  Bytes png = WritePng(f);
  for (size_t cut : {size_t{8}, size_t{40}, png.size() / 2, png.size() - 20}) {
    for (bool fileLike : {false, true}) {
      Decoded d;
      RunDecoder(DecodePngPicture, Bytes(png.begin(), png.begin() + cut), &d, fileLike);
      EXPECT_EQ(d.result, -1) << cut;
    }
  }
  ExpectSafeOnDamage(WritePng(Palette()));
}

// No ancillary chunk is used, so each is passed over unread: a few bytes claiming 640 MB of any of them do not have
// that memory asked for, as measured in a child, whose peak address space starts at its size.
TEST(PngDecoder, AncillaryChunksArePassedOverUnreadWhateverLengthTheyClaim) {
  const Bytes plain = WritePng(Palette());
  auto peakKiB = [] {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line) && line.rfind("VmPeak:", 0) != 0) {
    }
    return std::stol(line.substr(7));
  };
  const pid_t child = fork();
  if (child == 0) {
    const long before = peakKiB();
    for (const char* type : {"tEXt", "zTXt", "iTXt", "iCCP", "sPLT", "pCAL", "sCAL", "eXIf", "ruSt"}) {
      Bytes file(plain.begin(), plain.begin() + 33);  // the signature and the header chunk
      file.insert(file.end(), {0x28, 0, 0, 0});
      file.insert(file.end(), type, type + 4);
      file.resize(file.size() + 150, 'A');
      Decoded refused;
      RunDecoder(DecodePngPicture, file, &refused);
    }
    _exit(peakKiB() - before < (64 << 10) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "at most 64 MiB more address space";
}

// The library's own reading with its default output, as R G B (or grey) rows: the exact reference.
Bytes ReadJpegDirect(const Bytes& jpeg, int* components) {
  jpeg_decompress_struct d{};
  jpeg_error_mgr err{};
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, jpeg.data(), jpeg.size());
  jpeg_read_header(&d, TRUE);
  jpeg_start_decompress(&d);
  *components = d.output_components;
  Bytes out(static_cast<size_t>(d.output_width) * d.output_height * d.output_components);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = out.data() + d.output_scanline * d.output_width * d.output_components;
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return out;
}

void ExpectJpegDecodes(bool progressive) {
  const int w = 13, h = 10;
  Bytes source = Blocks(w, h, 3);
  Bytes jpeg = WriteJpeg(w, h, 3, JCS_RGB, progressive, source);
  Decoded d;
  RunDecoder(DecodeJpegPicture, jpeg, &d);
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.format.bitDepth, 24);
  EXPECT_EQ(d.image.pitch, 39);  // not rounded up
  int components = 0;
  Bytes direct = ReadJpegDirect(jpeg, &components);
  ASSERT_EQ(components, 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const unsigned char* p = d.Row(y) + x * 3;
      const unsigned char* r = direct.data() + (y * w + x) * 3;
      ASSERT_EQ(p[0], r[2]);
      ASSERT_EQ(p[1], r[1]);
      ASSERT_EQ(p[2], r[0]);
      EXPECT_NEAR(p[2], source[(y * w + x) * 3], 3);
    }
  }
}

TEST(JpegDecoder, BaselineColourIsBlueGreenRed) { ExpectJpegDecodes(false); }
TEST(JpegDecoder, ProgressiveColourIsBlueGreenRed) { ExpectJpegDecodes(true); }

TEST(JpegDecoder, GreyIsOneBytePerPixelWithTheGreyRamp) {
  Bytes source = Blocks(9, 8, 1);
  Bytes jpeg = WriteJpeg(9, 8, 1, JCS_GRAYSCALE, false, source);
  Decoded d;
  RunDecoder(DecodeJpegPicture, jpeg, &d);
  ASSERT_EQ(d.result, 0);
  EXPECT_EQ(d.image.format.bitDepth, 8);
  EXPECT_EQ(d.image.pitch, 9);
  EXPECT_EQ(d.image.format.palette[200], 0xC8C8C8u);
  int components = 0;
  Bytes direct = ReadJpegDirect(jpeg, &components);
  for (int y = 0; y < 8; ++y) EXPECT_EQ(d.RowBytes(y), Bytes(direct.begin() + y * 9, direct.begin() + y * 9 + 9));
}

TEST(JpegDecoder, CmykIsRefused) {
  Bytes jpeg = WriteJpeg(8, 8, 4, JCS_CMYK, false, Blocks(8, 8, 4));
  Decoded d;
  RunDecoder(DecodeJpegPicture, jpeg, &d);
  EXPECT_EQ(d.result, -1);
}

TEST(JpegDecoder, CutShortStillDecodesTheVisiblePart) {
  const int w = 64, h = 64;
  Bytes jpeg = WriteJpeg(w, h, 3, JCS_RGB, false, Blocks(w, h, 3));
  Decoded whole, cut;
  RunDecoder(DecodeJpegPicture, jpeg, &whole);
  RunDecoder(DecodeJpegPicture, Bytes(jpeg.begin(), jpeg.begin() + jpeg.size() * 3 / 4), &cut);
  ASSERT_EQ(whole.result, 0);
  ASSERT_EQ(cut.result, 0);
  EXPECT_EQ(cut.image.height, h);
  for (int y = 0; y < 8; ++y) EXPECT_EQ(cut.RowBytes(y), whole.RowBytes(y)) << y;
}

TEST(JpegDecoder, EmptyAndForeignStreamsAreRefused) {
  for (const Bytes& b : {Bytes{}, Bytes{0xFF}, Bytes{0xFF, 0xD8}, Pattern(300, 1), WritePng(Palette())}) {
    Decoded d;
    RunDecoder(DecodeJpegPicture, b, &d);
    EXPECT_EQ(d.result, -1);
  }
  ExpectSafeOnDamage(WriteJpeg(16, 8, 3, JCS_RGB, true, Blocks(16, 8, 3)));
}

TEST(PngAndJpeg, TakenFirstInTheTable) {
  ExpectTakenFirstBy(WritePng(Palette()), "png");
  ExpectTakenFirstBy(WriteJpeg(8, 8, 1, JCS_GRAYSCALE, false, Blocks(8, 8, 1)), "jpeg");
}

// ---- Both libraries stay silent, whatever they are handed.

TEST(PngAndJpeg, LibrariesPrintNothing) {
  Bytes png = WritePng(Palette());
  Bytes badCrc = png;
  badCrc[40] ^= 0x55;  // inside an ancillary or critical chunk
  Bytes jpeg = WriteJpeg(16, 16, 3, JCS_RGB, false, Blocks(16, 16, 3));
  Bytes cutJpeg(jpeg.begin(), jpeg.begin() + jpeg.size() / 2);
  Bytes damagedJpeg = jpeg;
  for (size_t i = jpeg.size() / 2; i < jpeg.size() - 2; i += 7) damagedJpeg[i] = 0xFF;
  for (const Bytes& b : {png, badCrc, jpeg, cutJpeg, damagedJpeg, Pattern(100, 3), Bytes{}}) {
    for (ImageDecoder decode : {DecodeJpegPicture, DecodePngPicture}) {
      testing::internal::CaptureStderr();
      testing::internal::CaptureStdout();
      Decoded d;
      RunDecoder(decode, b, &d);
      EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
      EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
  }
}

}  // namespace
}  // namespace decoder_tests
