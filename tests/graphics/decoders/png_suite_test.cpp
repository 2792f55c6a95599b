// The public PNG suite (kept beside the tests with its notice): every valid file must decode to the pixels an
// independent tool reads from it, every broken one ("x" names) must be refused.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "decode_helpers.h"

namespace decoder_tests {
namespace {

const char* kSuiteDir = VOMAK_PNG_SUITE_DIR;

// The tool's reading as 16-bit R G B A samples, relabelled sRGB so that it converts nothing (the decoder
// applies no gamma either); the decoder keeps the high byte of 16-bit samples, so the reference does too.
std::vector<uint32_t> Reference(const std::string& path) {
  Bytes raw = RunReferenceTool("'" + path + "' -set colorspace sRGB -depth 16 -endian LSB rgba:-");
  std::vector<uint32_t> out;
  for (size_t i = 0; i + 8 <= raw.size(); i += 8) {
    out.push_back(static_cast<uint32_t>(raw[i + 7]) << 24 | raw[i + 1] << 16 | raw[i + 3] << 8 | raw[i + 5]);
  }
  return out;
}

TEST(PngSuite, ValidFilesMatchAnIndependentReadingAndBrokenOnesAreRefused) {
  if (access(kReferenceTool, X_OK) != 0) GTEST_SKIP() << "no reference tool";
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(kSuiteDir)) {
    if (entry.path().extension() == ".png") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_GT(files.size(), 100u);
  int checked = 0;
  for (const auto& path : files) {
    std::string name = path.filename().string();
    SCOPED_TRACE(name);
    Decoded d;
    RunDecoder(DecodePngPicture, ReadFileBytes(path.string()), &d);
    if (name[0] == 'x') {
      EXPECT_EQ(d.result, -1);
      continue;
    }
    ASSERT_EQ(d.result, 0);
    ExpectConsistent(d, "png");
    std::vector<uint32_t> want = Reference(path.string());
    ASSERT_EQ(want.size(), static_cast<size_t>(d.image.width) * d.image.height);
    std::vector<uint32_t> got = AllArgb(d);
    size_t wrong = 0;
    for (size_t i = 0; i < got.size(); ++i) wrong += got[i] != want[i];
    EXPECT_EQ(wrong, 0u) << "first pixel: got " << std::hex << got[0] << " want " << want[0];
    ++checked;
  }
  EXPECT_GT(checked, 100);
}

}  // namespace
}  // namespace decoder_tests
