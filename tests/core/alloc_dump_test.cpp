// The allocation dump's log lines, written out by hand from the line format, and the header check.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/alloc_dump.h"
#include "core/core_test_support.h"
#include "core/log.h"

namespace {

class AllocDumpTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    SystemState.logFolder = workDir();
    AppLogOpen();
  }
};

// A header with its data behind it, as the debug allocator lays them out.
struct Block {
  AllocBlockHeader header;
  uint8_t data[32];
};

Block MakeBlock(const char* file, size_t fileBytes, int line, int id, const std::vector<uint8_t>& data) {
  Block b{};
  std::memcpy(b.header.fileName, file, fileBytes);
  b.header.line = static_cast<uint16_t>(line);
  b.header.id = static_cast<uint16_t>(id);
  b.header.size = static_cast<uint32_t>(data.size());
  if (!data.empty()) std::memcpy(b.data, data.data(), std::min(data.size(), sizeof b.data));
  return b;
}

}  // namespace

TEST_F(AllocDumpTest, DumpLines) {
  std::vector<uint8_t> twenty;
  for (int i = 0; i < 20; ++i) twenty.push_back(static_cast<uint8_t>(0x1E + i * 7));
  struct Case {
    Block block;
    const char* expected;
  } cases[] = {
      {MakeBlock("main.cpp", 9, 42, 7, {'a', 'b', 0}),
       "T:\tsize:3(0.003kb)  file:main.cpp  line:42  ID:7  data:<ab.> [61 62 00]"},
      {MakeBlock("x.c", 4, 65535, 65535, {}), "T:\tsize:0(0.000kb)  file:x.c  line:65535  ID:65535  data:<> ]"},
      // Sixteen bytes at most; control bytes and bytes from 0x80 show as full stops.
      {MakeBlock("a.c", 4, 1, 2, twenty),
       "T:\tsize:20(0.020kb)  file:a.c  line:1  ID:2  data:<.%,3:AHOV]dkry..> "
       "[1e 25 2c 33 3a 41 48 4f 56 5d 64 6b 72 79 80 87]"},
      // A damaged name without its terminator is cut at its 16 bytes.
      {MakeBlock("abcdefghijklmnopq", 16, 3, 0x4142, {'z'}),
       "T:\tsize:1(0.001kb)  file:abcdefghijklmnop  line:3  ID:16706  data:<z> [7a]"},
  };
  for (const Case& c : cases) DumpAllocBlock(&c.block.header);
  std::vector<std::string> lines = ReadLogLines(workDir());
  ASSERT_EQ(lines.size(), std::size(cases));
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], cases[i].expected);
}

TEST_F(AllocDumpTest, CheckFindsAnyChangeToTheSealedBytes) {
  Block b = MakeBlock("game.cpp", 9, 10, 1, {'q'});
  SealAllocHeader(&b.header);
  EXPECT_EQ(CheckAllocHeader(&b.header), 0);
  for (int at : {0, 15, 16, 19, 20, 24, 31}) {
    Block damaged = b;
    reinterpret_cast<uint8_t*>(&damaged.header)[at] ^= 0x40;
    EXPECT_EQ(CheckAllocHeader(&damaged.header), -1) << at;
  }
  std::vector<std::string> lines = ReadLogLines(workDir());
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "T:以下のメモリ確保情報が破損しました\tsize:1(0.001kb)  file:'ame.cpp  line:10  ID:1  data:<q> [71]");

  SystemState.allocTotalSize = 2560;
  SystemState.allocBlockCount = 3;
  EXPECT_EQ(LogAllocTotals(), -1);
  EXPECT_EQ(ReadLogLines(workDir()).back(), "T:\tTotal size:2560(2.500kb)  Alloc num:3");
}
