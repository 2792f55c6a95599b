// The decoders read the library's own memory stream exactly as they read the test stream, whole or cut short.
#include "core/file_access.h"
#include "decode_helpers.h"

namespace decoder_tests {
namespace {

void DecodeFromLibraryStream(ImageDecoder decode, const Bytes& bytes, Decoded* out) {
  BufferStreamRecord* record = OpenBufferStream(bytes.data(), static_cast<int32_t>(bytes.size()));
  ASSERT_NE(record, nullptr);
  StreamSourceData source{*GetBufferStreamFunctions(), reinterpret_cast<FileHandle>(record)};
  out->result = decode(&source, &out->image);
  source.functions.close(source.handle);
}

TEST(LibraryMemoryStream, EveryDecoderReadsItLikeTheTestStream) {
  BmpFile bmp(5, 3, 8, 1);
  bmp.palette = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000};
  bmp.data = {3, 1, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 1, 1, 1, 2, 0, 1};
  TgaFile tga(10, 4, 3, 32);
  tga.data = {0x83, 1, 2, 3, 4, 0x07, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  tga.footer = true;
  DdsFile dds;
  dds.pixels = Pattern(16, 2);
  PngFile png;
  png.width = 5;
  png.height = 4;
  for (int y = 0; y < 4; ++y) png.rows.push_back(Pattern(15, y));
  const std::pair<ImageDecoder, Bytes> files[] = {
      {DecodeBmpPicture, Build(bmp)},
      {DecodeJpegPicture, WriteJpeg(16, 16, 3, JCS_RGB, true, Blocks(16, 16, 3))},
      {DecodePngPicture, WritePng(png)},
      {DecodeBgraPicture, Bgra(0x10101010, 3, 2, Pattern(48, 8))},
      {DecodeTgaPicture, Build(tga)},
      {DecodeDdsPicture, Build(dds)},
  };
  for (const auto& [decode, whole] : files) {
    for (size_t size : {whole.size(), whole.size() * 2 / 3}) {
      Bytes bytes(whole.begin(), whole.begin() + size);
      Decoded mine, library;
      RunDecoder(decode, bytes, &mine);
      DecodeFromLibraryStream(decode, bytes, &library);
      ASSERT_EQ(library.result, mine.result) << size;
      if (mine.result != 0) continue;
      EXPECT_EQ(library.image.pitch, mine.image.pitch);
      EXPECT_EQ(AllArgb(library), AllArgb(mine));
    }
  }
}

}  // namespace
}  // namespace decoder_tests
