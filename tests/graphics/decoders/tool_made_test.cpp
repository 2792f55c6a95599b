// Small BMP, TGA and DDS files written by the Debian image tool in the kinds it writes, each decoded to the
// pixels the same tool reads back from it. The tool keeps a TGA's row order as an orientation tag rather than
// turning the rows, so TGA files are written with an explicit orientation and read back turned upright.
#include <unistd.h>

#include <filesystem>
#include <string>

#include "decode_helpers.h"

namespace decoder_tests {
namespace {

struct ToolCase {
  const char* arguments;  // how the tool writes it, from the source picture
  const char* file;
  ImageDecoder decode;
  bool keepsAlpha;
};

const ToolCase kCases[] = {
    {"", "rgb24.bmp", DecodeBmpPicture, false},
    {"-type Palette", "pal4.bmp3", DecodeBmpPicture, false},
    {"-type Palette -compress RLE", "rle8.bmp3", DecodeBmpPicture, false},
    {"-type Palette", "pal4-v5.bmp", DecodeBmpPicture, false},
    {"-alpha on", "argb-fields.bmp", DecodeBmpPicture, false},
    {"-define bmp:subtype=RGB565", "rgb565.bmp", DecodeBmpPicture, false},
    {"-flip -orient BottomLeft", "rgb24.tga", DecodeTgaPicture, true},
    {"-compress RLE -orient TopLeft", "rle24.tga", DecodeTgaPicture, true},
    {"-type Palette -flip -orient BottomLeft", "mapped.tga", DecodeTgaPicture, true},
    {"-type Palette -compress RLE -orient TopLeft", "rle-mapped.tga", DecodeTgaPicture, true},
    {"-alpha on -channel A -evaluate set 50% +channel -flip -orient BottomLeft", "bgra.tga", DecodeTgaPicture, true},
    {"-alpha on -define dds:compression=none", "argb.dds", DecodeDdsPicture, true},
};

// The tool's format name for a file: ".bmp3" means the older BMP version, written under its own name.
std::string ToolTarget(const std::string& dir, const std::string& file) {
  std::string ext = file.substr(file.rfind('.') + 1);
  for (char& c : ext) c = static_cast<char>(toupper(c));
  return ext + ":'" + dir + "/" + file + "'";
}

class ToolMadeFiles : public testing::Test {
 protected:
  void SetUp() override {
    if (access(kReferenceTool, X_OK) != 0) GTEST_SKIP() << "no reference tool";
    char pattern[] = "/tmp/vomak-decoders-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // 7 x 5 (an odd width), four colours, so palette kinds keep every colour.
    Bytes ppm;
    PutText(&ppm, "P6\n7 5\n255\n");
    const unsigned char colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 7; ++x) ppm.insert(ppm.end(), colours[(x * 3 + y) % 4], colours[(x * 3 + y) % 4] + 3);
    }
    FILE* f = fopen((dir_ + "/source.ppm").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(ppm.data(), 1, ppm.size(), f);
    fclose(f);
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  std::string dir_;
};

TEST_F(ToolMadeFiles, DecodeToThePixelsTheToolReads) {
  for (const ToolCase& c : kCases) {
    SCOPED_TRACE(c.file);
    std::string path = dir_ + "/" + c.file;
    RunReferenceTool("'" + dir_ + "/source.ppm' " + c.arguments + " " + ToolTarget(dir_, c.file));
    Bytes file = ReadFileBytes(path);
    ASSERT_FALSE(file.empty());
    ExpectTakenFirstBy(file, c.decode == DecodeBmpPicture ? "bmp" : c.decode == DecodeTgaPicture ? "tga" : "dds");
    Decoded d;
    RunDecoder(c.decode, file, &d);
    ASSERT_EQ(d.result, 0);
    ASSERT_EQ(d.image.width, 7);
    ASSERT_EQ(d.image.height, 5);
    std::string format = std::string(c.file).substr(std::string(c.file).rfind('.') + 1);
    for (char& ch : format) ch = static_cast<char>(toupper(ch));
    Bytes want = RunReferenceTool(format + ":'" + path + "' -auto-orient -depth 8 rgba:-");
    ASSERT_EQ(want.size(), 7u * 5 * 4);
    for (int i = 0; i < 35; ++i) {
      uint32_t got = PixelArgb(d, i % 7, i / 7);
      uint32_t alpha = c.keepsAlpha ? want[i * 4 + 3] : 0xFF;
      uint32_t expected = alpha << 24 | want[i * 4] << 16 | want[i * 4 + 1] << 8 | want[i * 4 + 2];
      EXPECT_EQ(got, expected) << std::hex << "pixel " << i;
    }
  }
}

}  // namespace
}  // namespace decoder_tests
