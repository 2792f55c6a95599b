#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "core/memory.h"
#include "graphics/graph_image.h"

namespace {

// A picture with a tight pitch (no padding), so any read past a row's end lands outside the block.
GraphImage MakeImage(const ColorFormat& format, int width, int height) {
  GraphImage image{};
  image.format = format;
  image.width = width;
  image.height = height;
  image.pitch = width * format.bytesPerPixel;
  image.pixels = MemAlloc(image.pitch * height);
  auto* p = static_cast<uint8_t*>(image.pixels);
  for (int i = 0; i < image.pitch * height; ++i) p[i] = static_cast<uint8_t>(i + 1);
  return image;
}

ColorFormat Masks(int depth, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  ColorFormat f{};
  ColorFormatFromMasks(&f, depth, r, g, b, a);
  return f;
}

TEST(GraphImage, MirrorSwapsOuterPixelsAndKeepsTheMiddle) {
  for (int bytes = 1; bytes <= 4; ++bytes) {
    ColorFormat f = Masks(bytes * 8, 0, 0, 0, 0);
    GraphImage image = MakeImage(f, 3, 2);
    std::vector<uint8_t> before(static_cast<uint8_t*>(image.pixels),
                                static_cast<uint8_t*>(image.pixels) + image.pitch * 2);
    EXPECT_EQ(MirrorGraphImage(&image), 0);
    const auto* after = static_cast<const uint8_t*>(image.pixels);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x)
        EXPECT_EQ(std::memcmp(after + y * image.pitch + x * bytes, &before[y * image.pitch + (2 - x) * bytes], bytes),
                  0)
            << bytes;
    DiscardGraphImage(&image);
  }
  GraphImage column = MakeImage(Masks(32, 0xFF0000, 0xFF00, 0xFF, 0), 1, 3);
  const uint32_t first = *static_cast<uint32_t*>(column.pixels);
  EXPECT_EQ(MirrorGraphImage(&column), 0);
  EXPECT_EQ(*static_cast<uint32_t*>(column.pixels), first);
  DiscardGraphImage(&column);
  EXPECT_EQ(column.pixels, nullptr);
  EXPECT_EQ(column.width, 0);
  EXPECT_EQ(MirrorGraphImage(&column), -1);
}

TEST(GraphImage, MirrorRefusesAPitchShorterThanARow) {
  GraphImage image = MakeImage(Masks(32, 0xFF0000, 0xFF00, 0xFF, 0), 4, 2);
  image.pitch = 8;
  EXPECT_EQ(MirrorGraphImage(&image), -1);
  DiscardGraphImage(&image);
}

TEST(GraphImage, ReadPixelPlacesChannelsWithoutFillingLowBits) {
  GraphImage image = MakeImage(Masks(16, 0xF800, 0x7E0, 0x1F, 0), 2, 1);
  static_cast<uint16_t*>(image.pixels)[1] = 0xFFFF;
  EXPECT_EQ(ReadGraphImagePixel(&image, 1, 0), 0x00F8FCF8u);
  EXPECT_EQ(ReadGraphImagePixel(&image, 2, 0), 0u);
  EXPECT_EQ(ReadGraphImagePixel(&image, -1, 0), 0u);
  EXPECT_EQ(ReadGraphImagePixel(&image, 0, 1), 0u);
  image.pitch = 2;  // shorter than a row: nothing is read
  EXPECT_EQ(ReadGraphImagePixel(&image, 1, 0), 0u);
  DiscardGraphImage(&image);
  EXPECT_EQ(ReadGraphImagePixel(&image, 0, 0), 0u);

  // The last pixel of a tight 24-bit block reads three bytes, not four.
  ColorFormat rgb{};
  SetColorFormatR8G8B8(&rgb);
  GraphImage tight = MakeImage(rgb, 3, 3);
  auto* last = static_cast<uint8_t*>(tight.pixels) + 2 * tight.pitch + 6;
  last[0] = 0x30;
  last[1] = 0x20;
  last[2] = 0x10;
  EXPECT_EQ(ReadGraphImagePixel(&tight, 2, 2), 0x00102030u);
  DiscardGraphImage(&tight);

  GraphImage argb = MakeImage(Masks(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u), 1, 1);
  *static_cast<uint32_t*>(argb.pixels) = 0x80123456u;
  EXPECT_EQ(ReadGraphImagePixel(&argb, 0, 0), 0x80123456u);
  DiscardGraphImage(&argb);

  // Ten-bit channels keep their top eight bits.
  GraphImage wide = MakeImage(Masks(32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000u), 1, 1);
  *static_cast<uint32_t*>(wide.pixels) = 0xFFFFFFFFu;
  EXPECT_EQ(ReadGraphImagePixel(&wide, 0, 0), 0xC0FFFFFFu);
  DiscardGraphImage(&wide);

  // A one-byte picture reads its palette entry.
  ColorFormat pal{};
  SetColorFormatPalette8(&pal);
  pal.palette[9] = 0x00ABCDEF;
  GraphImage indexed = MakeImage(pal, 1, 1);
  *static_cast<uint8_t*>(indexed.pixels) = 9;
  EXPECT_EQ(ReadGraphImagePixel(&indexed, 0, 0), 0x00ABCDEFu);
  DiscardGraphImage(&indexed);
}

TEST(GraphImage, AlphaCompanionNameGoesBeforeTheLastDot) {
  EXPECT_EQ(MakeAlphaCompanionName("CG\\j0001.gph"), "CG\\j0001_a.gph");
  EXPECT_EQ(MakeAlphaCompanionName("picture"), "picture_a");
  EXPECT_EQ(MakeAlphaCompanionName("..\\picture"), "._a.\\picture");
  EXPECT_EQ(MakeAlphaCompanionName("dir.d/a.b.png"), "dir.d/a.b_a.png");
  EXPECT_EQ(MakeAlphaCompanionName(".hidden"), "_a.hidden");
  EXPECT_EQ(MakeAlphaCompanionName("name."), "name_a.");
  EXPECT_EQ(MakeAlphaCompanionName(""), "_a");
  EXPECT_EQ(MakeAlphaCompanionName(nullptr), "_a");
  const std::string stem(400, 'x');
  EXPECT_EQ(MakeAlphaCompanionName((stem + ".png").c_str()), stem + "_a.png");
  // A Shift-JIS name keeps its double-byte characters whole.
  EXPECT_EQ(MakeAlphaCompanionName("画像.bmp"), "画像_a.bmp");
}

TEST(GraphImage, SanityRefusesHostileGeometry) {
  ColorFormat f = Masks(32, 0xFF0000, 0xFF00, 0xFF, 0);
  GraphImage image = MakeImage(f, 4, 4);
  EXPECT_TRUE(IsGraphImageSane(&image));
  GraphImage bad = image;
  bad.pitch = 15;
  EXPECT_FALSE(IsGraphImageSane(&bad));
  bad = image;
  bad.width = -4;
  EXPECT_FALSE(IsGraphImageSane(&bad));
  bad = image;
  bad.height = 0;
  EXPECT_FALSE(IsGraphImageSane(&bad));
  bad = image;
  bad.width = 0x40000000;
  bad.pitch = INT_MAX;
  EXPECT_FALSE(IsGraphImageSane(&bad));  // width * 4 overflows 32 bits
  bad = image;
  bad.pitch = 0x10000;
  bad.height = 0x10000;
  EXPECT_FALSE(IsGraphImageSane(&bad));  // pitch * height overflows 32 bits
  bad = image;
  bad.format.bitDepth = 12;
  EXPECT_FALSE(IsGraphImageSane(&bad));
  bad = image;
  bad.format.bytesPerPixel = 3;
  EXPECT_FALSE(IsGraphImageSane(&bad));
  DiscardGraphImage(&image);
  EXPECT_FALSE(IsGraphImageSane(&image));
}

}  // namespace
