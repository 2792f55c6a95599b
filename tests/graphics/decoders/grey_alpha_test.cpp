// A grey picture used as an alpha companion gives each pixel its grey level as alpha.
#include "decode_helpers.h"
#include "graphics/color_format.h"
#include "graphics/pixel_converter.h"

namespace decoder_tests {
namespace {

void ExpectGreyBecomesAlpha(const Bytes& file) {
  Decoded grey;
  RunDecoder(file.size() > 3 && file[1] == 'P' ? DecodePngPicture : DecodeJpegPicture, file, &grey);
  ASSERT_EQ(grey.result, 0);
  ASSERT_EQ(grey.image.format.bitDepth, 8);
  const int w = grey.image.width, h = grey.image.height;
  std::vector<unsigned char> colour(static_cast<size_t>(w) * h * 3, 0x40);
  std::vector<uint32_t> out(static_cast<size_t>(w) * h, 0);
  ColorFormat rgb{}, argb{};
  SetColorFormatR8G8B8(&rgb);
  ColorFormatFromMasks(&argb, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
  RECT all{0, 0, w, h};
  ConvertColorFormatRect(out.data(), w * 4, &argb, colour.data(), w * 3, &rgb, grey.image.pixels, grey.image.pitch,
                         &grey.image.format, 0, 0, &all, 0, 0, 0, 0, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      EXPECT_EQ(out[y * w + x] >> 24, grey.Row(y)[x]) << x << "," << y;
      EXPECT_EQ(out[y * w + x] & 0xFFFFFF, 0x404040u);
    }
  }
}

TEST(GreyPictures, GiveTheirGreyLevelAsAlphaCompanions) {
  PngFile png;
  png.width = 4;
  png.height = 2;
  png.type = PNG_COLOR_TYPE_GRAY;
  png.rows = {{0, 1, 128, 255}, {7, 77, 177, 254}};
  ExpectGreyBecomesAlpha(WritePng(png));
  ExpectGreyBecomesAlpha(WriteJpeg(16, 8, 1, JCS_GRAYSCALE, false, Blocks(16, 8, 1)));
}

}  // namespace
}  // namespace decoder_tests
