#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/file_access.h"
#include "core/memory.h"
#include "graphics/dib_graph.h"
#include "graphics/picture_loader.h"
#include "graphics/pixel_converter.h"
#include "support/headless_fixture.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A little picture format only these tests know: "TPIC", width and height (16-bit), depth 8 (grey), 24 or 32,
// then the rows without padding. Grey pictures come back as one-byte pictures whose palette is the grey ramp.
Bytes TestPicture(int width, int height, int depth, uint32_t seed) {
  Bytes b = {'T', 'P', 'I', 'C', static_cast<unsigned char>(width), static_cast<unsigned char>(width >> 8),
             static_cast<unsigned char>(height), static_cast<unsigned char>(height >> 8),
             static_cast<unsigned char>(depth)};
  for (int i = 0; i < width * height * depth / 8; ++i) b.push_back(static_cast<unsigned char>(seed + i * 37));
  return b;
}

int DecodeTestPicture(StreamSourceData* source, GraphImage* image) {
  unsigned char head[9];
  if (source->functions.read(head, 9, 1, source->handle) != 1 || std::memcmp(head, "TPIC", 4) != 0) return -1;
  const int width = head[4] | head[5] << 8, height = head[6] | head[7] << 8, depth = head[8];
  if (depth != 8 && depth != 24 && depth != 32) return -1;
  GraphImage out{};
  if (depth == 8) {
    SetColorFormatAlpha8(&out.format);
    for (int i = 0; i < 256; ++i) out.format.palette[i] = static_cast<uint32_t>(i) * 0x010101;
  } else if (depth == 24) {
    SetColorFormatR8G8B8(&out.format);
  } else {
    ColorFormatFromMasks(&out.format, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
  }
  out.width = width;
  out.height = height;
  out.pitch = width * depth / 8;
  out.pixels = MemAlloc(out.pitch * height);
  if (out.pitch * height > 0 && source->functions.read(out.pixels, out.pitch * height, 1, source->handle) != 1) {
    MemFree(out.pixels);
    return -1;
  }
  *image = out;
  return 0;
}

// A decoder that claims every picture but describes an impossible one.
int DecodeLiar(StreamSourceData*, GraphImage* image) {
  GraphImage out{};
  ColorFormatFromMasks(&out.format, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  out.width = 0x40000000;
  out.height = 4;
  out.pitch = 16;
  out.pixels = MemAlloc(64);
  *image = out;
  return 0;
}

int generalCalls = 0, dibCalls = 0, fileDibCalls = 0;

int RefusingGeneralLoader(FileHandle, int, int, int, GraphImage*, BITMAPINFO**, void**) {
  ++generalCalls;
  return -1;
}
int RefusingFileDibLoader(FileHandle, BITMAPINFO**, void**) {
  ++fileDibCalls;
  return -1;
}
// Hands back a 2 x 1 top-down 32-bit DIB: blue, then white.
int DibLoader(FileHandle, int, int, BITMAPINFO** header, void** bits) {
  ++dibCalls;
  auto* info = static_cast<BITMAPINFO*>(MemAllocZeroed(sizeof(BITMAPINFO)));
  info->bmiHeader.biSize = 40;
  info->bmiHeader.biWidth = 2;
  info->bmiHeader.biHeight = -1;
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = 32;
  auto* pixels = static_cast<uint32_t*>(MemAlloc(8));
  pixels[0] = 0x000000FF;
  pixels[1] = 0x00FFFFFF;
  *header = info;
  *bits = pixels;
  return 0;
}

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir)) ++count;
    closedir(dir);
  }
  return count;
}

void WriteFile(const std::string& name, const Bytes& bytes) {
  FILE* f = std::fopen(name.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

const uint8_t* PixelAt(const GraphImage& image, int x, int y) {
  return static_cast<const uint8_t*>(image.pixels) + y * image.pitch + x * image.format.bytesPerPixel;
}

class PictureLoader : public ::testing::Test {
 protected:
  void SetUp() override {
    registry() = ImageLoaderRegistry{};
    registry().userDecoders[0] = DecodeTestPicture;
    registry().userDecoderCount = 1;
    generalCalls = dibCalls = fileDibCalls = 0;
  }
  void TearDown() override {
    registry() = ImageLoaderRegistry{};
    SetFileAccessFunctions(nullptr);
  }
  static ImageLoaderRegistry& registry() { return GetImageLoaderRegistry(); }
  ScratchDirectory scratch_;
};

TEST_F(PictureLoader, DecodesFromMemoryAndFromAFile) {
  const Bytes bytes = TestPicture(3, 2, 24, 5);
  GraphImage image{};
  ASSERT_EQ(LoadPictureToGraphImage(nullptr, bytes.data(), static_cast<int>(bytes.size()), 1, &image, 0), 0);
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(image.height, 2);
  EXPECT_EQ(std::memcmp(image.pixels, bytes.data() + 9, 18), 0);
  DiscardGraphImage(&image);

  std::filesystem::create_directory("CG");
  WriteFile("CG/pic.gph", bytes);
  const int before = OpenDescriptors();
  ASSERT_EQ(LoadPictureToGraphImage("CG\\pic.gph", nullptr, 0, 0, &image, 1), 0);
  EXPECT_EQ(OpenDescriptors(), before);
  // Mirrored: the first row's left pixel is the file's right pixel.
  EXPECT_EQ(std::memcmp(PixelAt(image, 0, 0), bytes.data() + 9 + 6, 3), 0);
  EXPECT_EQ(std::memcmp(PixelAt(image, 1, 1), bytes.data() + 9 + 9 + 3, 3), 0);
  DiscardGraphImage(&image);

  EXPECT_EQ(LoadPictureToGraphImage("CG\\missing.gph", nullptr, 0, 0, &image, 0), -1);
  EXPECT_EQ(LoadPictureToGraphImage(nullptr, nullptr, 0, 0, &image, 0), -1);
  EXPECT_EQ(LoadPictureToGraphImage(nullptr, nullptr, 16, 1, &image, 0), -1);
  EXPECT_EQ(image.pixels, nullptr);
}

TEST_F(PictureLoader, BuiltInDecodersReadARealFile) {
  // A 2 x 2 24-bit bottom-up BMP: rows padded to 8 bytes.
  Bytes bmp = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0};
  bmp.resize(54, 0);
  const Bytes rows = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
  bmp.insert(bmp.end(), rows.begin(), rows.end());
  WriteFile("pic.bmp", bmp);
  registry() = ImageLoaderRegistry{};
  GraphImage image{};
  ASSERT_EQ(LoadPictureToGraphImage("pic.bmp", nullptr, 0, 0, &image, 0), 0);
  EXPECT_EQ(ReadGraphImagePixel(&image, 0, 0), 0x00090807u);
  EXPECT_EQ(ReadGraphImagePixel(&image, 1, 1), 0x00060504u);
  DiscardGraphImage(&image);
}

TEST_F(PictureLoader, UnknownPicturesFailAndLeaveTheFileClosed) {
  WriteFile("junk.gph", Bytes(100, 0x42));
  registry().generalLoaders[3] = RefusingGeneralLoader;
  registry().generalLoaderCount = 1;
  registry().fileDibLoaders[0] = RefusingFileDibLoader;
  registry().fileDibLoaderCount = 5;  // more than the slots in use: null slots are skipped
  const int before = OpenDescriptors();
  GraphImage image{};
  EXPECT_EQ(LoadPictureToGraphImage("junk.gph", nullptr, 0, 0, &image, 0), -1);
  EXPECT_EQ(OpenDescriptors(), before);
  EXPECT_EQ(generalCalls, 1);
  EXPECT_EQ(fileDibCalls, 1);
  // A memory image never reaches the file-only loaders.
  const Bytes junk(50, 1);
  EXPECT_EQ(LoadPictureToGraphImage(nullptr, junk.data(), 50, 1, &image, 0), -1);
  EXPECT_EQ(generalCalls, 2);
  EXPECT_EQ(fileDibCalls, 1);
}

int replacedCloses = 0;
int CountingClose(FileHandle handle) {
  ++replacedCloses;
  return GetHostFileAccessFunctions()->close(handle);
}

TEST_F(PictureLoader, AReplacedFileAccessSkipsTheLoaders) {
  WriteFile("junk.gph", Bytes(100, 0x42));
  registry().generalLoaders[0] = RefusingGeneralLoader;
  registry().generalLoaderCount = 1;
  FileAccessFunctions table = *GetHostFileAccessFunctions();
  table.close = CountingClose;
  replacedCloses = 0;
  ASSERT_EQ(SetFileAccessFunctions(&table), 0);
  GraphImage image{};
  EXPECT_EQ(LoadPictureToGraphImage("junk.gph", nullptr, 0, 0, &image, 0), -1);
  EXPECT_EQ(generalCalls, 0);
  EXPECT_EQ(replacedCloses, 1);
  // Pictures a decoder takes still load, and the file is closed once.
  WriteFile("pic.gph", TestPicture(2, 2, 32, 1));
  EXPECT_EQ(LoadPictureToGraphImage("pic.gph", nullptr, 0, 0, &image, 0), 0);
  EXPECT_EQ(replacedCloses, 2);
  DiscardGraphImage(&image);
}

TEST_F(PictureLoader, ADecoderDescribingAnImpossiblePictureIsRefused) {
  registry().userDecoders[0] = DecodeLiar;
  registry().userDecoders[1] = DecodeTestPicture;
  registry().userDecoderCount = 2;
  const Bytes bytes = TestPicture(2, 2, 32, 9);
  GraphImage image{};
  ASSERT_EQ(LoadPictureToGraphImage(nullptr, bytes.data(), static_cast<int>(bytes.size()), 1, &image, 0), 0);
  EXPECT_EQ(image.width, 2);
  DiscardGraphImage(&image);
  registry().userDecoderCount = 1;
  EXPECT_EQ(LoadPictureToGraphImage(nullptr, bytes.data(), static_cast<int>(bytes.size()), 1, &image, 0), -1);
}

TEST_F(PictureLoader, DibLoaderResultsBecomePictures) {
  registry().dibLoaders[0] = DibLoader;
  registry().dibLoaderCount = 1;
  const Bytes junk(20, 7);
  GraphImage image{};
  ASSERT_EQ(LoadPictureToGraphImage(nullptr, junk.data(), 20, 1, &image, 1), 0);
  EXPECT_EQ(dibCalls, 1);
  EXPECT_EQ(image.width, 2);
  EXPECT_EQ(image.format.bitDepth, 32);
  EXPECT_EQ(ReadGraphImagePixel(&image, 0, 0), 0x00FFFFFFu);  // mirrored
  EXPECT_EQ(ReadGraphImagePixel(&image, 1, 0), 0x000000FFu);
  DiscardGraphImage(&image);
}

TEST_F(PictureLoader, DibResultsFromDecodedPictures) {
  // A 24-bit picture whose rows are already a DIB's: the bits are its own block.
  const Bytes tight = TestPicture(4, 3, 24, 3);
  BITMAPINFO* header = nullptr;
  void* bits = nullptr;
  ASSERT_EQ(LoadImageCore(nullptr, tight.data(), static_cast<int>(tight.size()), 1, 1, 0, nullptr, &header, &bits), 0);
  EXPECT_EQ(header->bmiHeader.biSize, 40u);
  EXPECT_EQ(header->bmiHeader.biWidth, 4);
  EXPECT_EQ(header->bmiHeader.biHeight, -3);
  EXPECT_EQ(header->bmiHeader.biBitCount, 24);
  EXPECT_EQ(std::memcmp(bits, tight.data() + 9, 36), 0);
  MemFree(header);
  MemFree(bits);
  // A 32-bit picture comes back as a converted copy with rows of 3 x width rounded up to 4 bytes.
  const Bytes argb = TestPicture(3, 2, 32, 11);
  ASSERT_EQ(LoadImageCore(nullptr, argb.data(), static_cast<int>(argb.size()), 1, 1, 0, nullptr, &header, &bits), 0);
  const auto* rows = static_cast<const uint8_t*>(bits);
  EXPECT_EQ(std::memcmp(rows + 12 + 6, argb.data() + 9 + 12 + 8, 3), 0);
  MemFree(header);
  MemFree(bits);
}

TEST_F(PictureLoader, AlphaCompanionFiles) {
  WriteFile("pic.gph", TestPicture(2, 2, 24, 1));
  Bytes grey = TestPicture(2, 2, 8, 0);
  grey[9] = 0x00;
  grey[10] = 0x40;
  grey[11] = 0x80;
  grey[12] = 0xFF;
  WriteFile("pic_a.gph", grey);
  GraphImage image{}, alpha{};
  ASSERT_EQ(LoadImageWithAlphaFile("pic.gph", nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0), 0);
  // The grey companion gives alpha equal to its grey level.
  ColorFormat argb{};
  ColorFormatFromMasks(&argb, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
  uint32_t out[4] = {};
  const RECT whole{0, 0, 2, 2};
  ConvertColorFormatRect(out, 8, &argb, image.pixels, image.pitch, &image.format, alpha.pixels, alpha.pitch,
                         &alpha.format, 0, 0, &whole, 0, 0, 0, 0, 0);
  EXPECT_EQ(out[0] >> 24, 0x00u);
  EXPECT_EQ(out[1] >> 24, 0x40u);
  EXPECT_EQ(out[2] >> 24, 0x80u);
  EXPECT_EQ(out[3] >> 24, 0xFFu);
  DiscardGraphImage(&image);
  DiscardGraphImage(&alpha);

  // No companion, or one too small to cover the picture: a picture without alpha.
  WriteFile("solo.gph", TestPicture(2, 2, 24, 1));
  EXPECT_EQ(LoadImageWithAlphaFile("solo.gph", nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0), 1);
  EXPECT_EQ(alpha.pixels, nullptr);
  DiscardGraphImage(&image);
  WriteFile("small.gph", TestPicture(2, 2, 24, 1));
  WriteFile("small_a.gph", TestPicture(2, 1, 8, 1));
  EXPECT_EQ(LoadImageWithAlphaFile("small.gph", nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0), 1);
  EXPECT_EQ(alpha.pixels, nullptr);
  DiscardGraphImage(&image);
  EXPECT_EQ(LoadImageWithAlphaFile("none.gph", nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0), -1);

  // From memory: the alpha picture comes from memory, or there is none.
  const Bytes picture = TestPicture(2, 2, 24, 1);
  const int size = static_cast<int>(picture.size());
  EXPECT_EQ(LoadImageWithAlphaFile(nullptr, picture.data(), size, 1, nullptr, 0, 0, &image, &alpha, 0), 1);
  DiscardGraphImage(&image);
  EXPECT_EQ(LoadImageWithAlphaFile(nullptr, picture.data(), size, 1, grey.data(), static_cast<int>(grey.size()), 1,
                                   &image, &alpha, 1),
            0);
  EXPECT_EQ(*PixelAt(alpha, 0, 0), 0x40);  // mirrored like the picture
  DiscardGraphImage(&image);
  DiscardGraphImage(&alpha);
}

}  // namespace
