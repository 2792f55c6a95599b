#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "core/memory.h"
#include "graphics/dib_graph.h"
#include "graphics/picture_loader.h"

namespace {

struct Dib {
  std::vector<uint8_t> header;
  std::vector<uint8_t> bits;
  BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(header.data()); }
};

Dib MakeDib(int width, int height, int bitCount, DWORD compression, std::vector<DWORD> masks = {}) {
  Dib d;
  d.header.assign(sizeof(BITMAPINFO) + 16, 0);
  BITMAPINFOHEADER& h = d.info()->bmiHeader;
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(bitCount);
  h.biCompression = compression;
  if (!masks.empty()) std::memcpy(&d.info()->bmiColors[0], masks.data(), masks.size() * 4);
  const int row = (width * bitCount / 8 + 3) & ~3;
  d.bits.resize(static_cast<size_t>(row) * (height < 0 ? -height : height));
  for (size_t i = 0; i < d.bits.size(); ++i) d.bits[i] = static_cast<uint8_t>(i * 13 + 1);
  return d;
}

// The pixels of a DIB section, through the object it is.
const uint8_t* SectionBits(HBITMAP section, DIBSECTION* out) {
  EXPECT_EQ(GetObjectA(section, sizeof(DIBSECTION), out), static_cast<int>(sizeof(DIBSECTION)));
  return static_cast<const uint8_t*>(out->dsBm.bmBits);
}

TEST(DibGraph, TopDownDibsAreUsedDirectly) {
  Dib d = MakeDib(3, -2, 32, BI_RGB);
  GraphImage image{};
  ASSERT_EQ(ConvertDIBToGraphImage(d.info(), d.bits.data(), &image, 0), 0);
  EXPECT_EQ(image.pixels, d.bits.data());
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(image.height, 2);
  EXPECT_EQ(image.pitch, 12);
  EXPECT_EQ(image.format.redMask, 0xFF0000u);
  EXPECT_EQ(image.format.outsideMask, 0xFF000000u);
  ASSERT_EQ(ConvertDIBToGraphImage(d.info(), d.bits.data(), &image, 1), 1);
  EXPECT_NE(image.pixels, d.bits.data());
  EXPECT_EQ(std::memcmp(image.pixels, d.bits.data(), 24), 0);
  DiscardGraphImage(&image);

  Dib plain16 = MakeDib(3, -1, 16, BI_RGB);
  ASSERT_EQ(ConvertDIBToGraphImage(plain16.info(), plain16.bits.data(), &image, 0), 0);
  EXPECT_EQ(image.pitch, 8);
  EXPECT_EQ(image.format.redMask, 0x7C00u);
  EXPECT_EQ(image.format.outsideMask, 0x8000u);
  Dib fields = MakeDib(1, -1, 16, BI_BITFIELDS, {0xF800, 0x7E0, 0x1F});
  ASSERT_EQ(ConvertDIBToGraphImage(fields.info(), fields.bits.data(), &image, 0), 0);
  EXPECT_EQ(image.format.greenWidth, 6);
  EXPECT_EQ(image.format.greenShift, 5);
  EXPECT_EQ(image.format.outsideMask, 0u);
}

TEST(DibGraph, OtherDibsAreDrawnAs24BitTopDown) {
  Dib d = MakeDib(2, 2, 24, BI_RGB);  // bottom-up
  GraphImage image{};
  ASSERT_EQ(ConvertDIBToGraphImage(d.info(), d.bits.data(), &image, 0), 1);
  EXPECT_EQ(image.format.bitDepth, 24);
  EXPECT_EQ(image.pitch, 8);
  EXPECT_EQ(std::memcmp(image.pixels, d.bits.data() + 8, 6), 0);  // the file's last row is the top row
  EXPECT_EQ(std::memcmp(static_cast<uint8_t*>(image.pixels) + 8, d.bits.data(), 6), 0);
  DiscardGraphImage(&image);
}

TEST(DibGraph, HostileDibSizesAreRefused) {
  GraphImage image{};
  const int sizes[][2] = {{0, -1}, {-5, -1}, {2, 0}, {2, INT_MIN}, {0x7FFFFFFF, -2}, {65536, -65536}};
  for (const auto& s : sizes) {
    Dib d = MakeDib(1, -1, 32, BI_RGB);
    d.info()->bmiHeader.biWidth = s[0];
    d.info()->bmiHeader.biHeight = s[1];
    EXPECT_EQ(ConvertDIBToGraphImage(d.info(), d.bits.data(), &image, 1), -1) << s[0] << "x" << s[1];
    EXPECT_EQ(CreateDIBGraphFromImage(d.info(), d.bits.data(), 0, nullptr), nullptr);
  }
}

TEST(DibGraph, CopyImageToDibSharesOrConverts) {
  GraphImage image{};
  SetColorFormatR8G8B8(&image.format);
  image.width = 4;
  image.height = 2;
  image.pitch = 12;
  image.pixels = MemAlloc(24);
  std::memset(image.pixels, 0x11, 24);
  BITMAPINFO info{};
  void* bits = nullptr;
  ASSERT_EQ(CopyImageToDIB(&image, &info, &bits, 0), 0);
  EXPECT_EQ(bits, image.pixels);
  EXPECT_EQ(info.bmiHeader.biHeight, -2);
  ASSERT_EQ(CopyImageToDIB(&image, &info, &bits, 1), 1);
  EXPECT_NE(bits, image.pixels);
  MemFree(bits);
  // A 24-bit picture with a longer pitch is copied row by row into DIB rows.
  image.width = 2;
  static_cast<uint8_t*>(image.pixels)[12] = 0x77;
  ASSERT_EQ(CopyImageToDIB(&image, &info, &bits, 0), 1);
  EXPECT_EQ(static_cast<uint8_t*>(bits)[8], 0x77);
  MemFree(bits);
  DiscardGraphImage(&image);

  ColorFormatFromMasks(&image.format, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  image.width = 3;
  image.height = 2;
  image.pitch = 12;
  image.pixels = MemAlloc(24);
  for (int i = 0; i < 6; ++i) static_cast<uint32_t*>(image.pixels)[i] = 0xFF000000u | static_cast<uint32_t>(i);
  ASSERT_EQ(CopyImageToDIB(&image, &info, &bits, 0), 1);
  const auto* rows = static_cast<const uint8_t*>(bits);
  EXPECT_EQ(rows[12 + 3], 4);  // second row starts 12 bytes in
  EXPECT_EQ(rows[12 + 4], 0);
  MemFree(bits);
  DiscardGraphImage(&image);
  EXPECT_EQ(CopyImageToDIB(&image, &info, &bits, 0), -1);
}

class DibGraphFromPicture : public ::testing::Test {
 protected:
  void SetUp() override {
    GetImageLoaderRegistry() = ImageLoaderRegistry{};
    GetImageLoaderRegistry().dibLoaders[0] = Loader;
    GetImageLoaderRegistry().dibLoaderCount = 1;
  }
  void TearDown() override { GetImageLoaderRegistry() = ImageLoaderRegistry{}; }
  // A 3 x 2 top-down 32-bit DIB: pixel (x, y) is 0x00RRGGBB with R = 0x10 * (y + 1), B = x.
  static int Loader(FileHandle, int, int, BITMAPINFO** header, void** bits) {
    auto* info = static_cast<BITMAPINFO*>(MemAllocZeroed(sizeof(BITMAPINFO)));
    info->bmiHeader = {40, 3, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    auto* p = static_cast<uint32_t*>(MemAlloc(24));
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) p[y * 3 + x] = static_cast<uint32_t>(0x10 * (y + 1)) << 16 | static_cast<uint32_t>(x);
    *header = info;
    *bits = p;
    return 0;
  }
};

TEST_F(DibGraphFromPicture, SectionsIn24And16Bits) {
  const uint8_t junk[4] = {1, 2, 3, 4};
  HBITMAP section = CreateDIBGraph(nullptr, junk, 4, 1, 0, nullptr);
  ASSERT_NE(section, nullptr);
  DIBSECTION ds{};
  const uint8_t* p = SectionBits(section, &ds);
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 24);
  EXPECT_EQ(ds.dsBm.bmWidth, 3);
  EXPECT_EQ(p[0], 0);     // (0, 0): blue 0
  EXPECT_EQ(p[3], 1);     // (1, 0): blue 1
  EXPECT_EQ(p[2], 0x10);  // red of the top row
  EXPECT_EQ(p[12 + 2], 0x20);
  DeleteObject(reinterpret_cast<HGDIOBJ>(section));

  // Mirrored: left to right only, the top row stays on top.
  section = CreateDIBGraph(nullptr, junk, 4, 1, 1, nullptr);
  ASSERT_NE(section, nullptr);
  p = SectionBits(section, &ds);
  EXPECT_EQ(p[0], 2);
  EXPECT_EQ(p[6], 0);
  EXPECT_EQ(p[2], 0x10);
  DeleteObject(reinterpret_cast<HGDIOBJ>(section));

  ColorFormat f565{};
  ColorFormatFromMasks(&f565, 16, 0xF800, 0x7E0, 0x1F, 0);
  section = CreateDIBGraph(nullptr, junk, 4, 1, 0, &f565);
  ASSERT_NE(section, nullptr);
  p = SectionBits(section, &ds);
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 16);
  uint16_t first;
  std::memcpy(&first, p, 2);
  EXPECT_EQ(first, 0x10 >> 3 << 11);
  EXPECT_EQ(f565.bitDepth, 16);
  DeleteObject(reinterpret_cast<HGDIOBJ>(section));

  // A 32-bit format over a 32-bit DIB gets a 32-bit section with masks; over a 24-bit one (a mirrored load comes
  // back 24-bit) a 24-bit section, and the format learns so.
  ColorFormat f32{};
  ColorFormatFromMasks(&f32, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  section = CreateDIBGraph(nullptr, junk, 4, 1, 0, &f32);
  ASSERT_NE(section, nullptr);
  p = SectionBits(section, &ds);
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 32);
  EXPECT_EQ(f32.bitDepth, 32);
  DeleteObject(reinterpret_cast<HGDIOBJ>(section));
  section = CreateDIBGraph(nullptr, junk, 4, 1, 1, &f32);
  ASSERT_NE(section, nullptr);
  p = SectionBits(section, &ds);
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 24);
  EXPECT_EQ(f32.bitDepth, 24);
  EXPECT_EQ(p[0], 2);
  DeleteObject(reinterpret_cast<HGDIOBJ>(section));

  GetImageLoaderRegistry() = ImageLoaderRegistry{};
  EXPECT_EQ(CreateDIBGraph(nullptr, junk, 4, 1, 0, nullptr), nullptr);
}

TEST_F(DibGraphFromPicture, SectionFromADibInMemoryMirrorsLeftToRightOnly) {
  BITMAPINFO* header = nullptr;
  void* bits = nullptr;
  ASSERT_EQ(Loader(0, 0, 0, &header, &bits), 0);
  HBITMAP section = CreateDIBGraphFromImage(header, bits, 1, nullptr);
  ASSERT_NE(section, nullptr);
  DIBSECTION ds{};
  const uint8_t* p = SectionBits(section, &ds);
  EXPECT_EQ(p[0], 2);
  EXPECT_EQ(p[2], 0x10);
  EXPECT_EQ(p[12 + 6], 0);
  EXPECT_EQ(p[12 + 8], 0x20);
  DeleteObject(reinterpret_cast<HGDIOBJ>(section));
  MemFree(header);
  MemFree(bits);
}

}  // namespace
