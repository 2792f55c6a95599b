#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/file_access.h"

namespace {

struct Stream {
  explicit Stream(const void* data, int32_t size) : record(OpenBufferStream(data, size)) {}
  ~Stream() { GetBufferStreamFunctions()->close(handle()); }
  FileHandle handle() const { return reinterpret_cast<FileHandle>(record); }
  BufferStreamRecord* record;
};

const unsigned char kTen[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

}  // namespace

TEST(BufferStream, ReadsWholeElementsThenAPartialOneThenTheEnd) {
  Stream s(kTen, 10);
  ASSERT_NE(s.record, nullptr);
  const StreamSourceFunctions& f = *GetBufferStreamFunctions();
  unsigned char out[12];
  std::memset(out, 0xEE, sizeof out);
  EXPECT_EQ(f.read(out, 4, 3, s.handle()), 2u);
  EXPECT_EQ(f.tell(s.handle()), 8);
  EXPECT_EQ(std::memcmp(out, kTen, 8), 0);
  EXPECT_EQ(out[8], 0xEE);

  std::memset(out, 0xEE, sizeof out);
  EXPECT_EQ(f.read(out, 4, 3, s.handle()), 1u);
  EXPECT_EQ(f.tell(s.handle()), 10);
  EXPECT_EQ(out[0], 9);
  EXPECT_EQ(out[1], 10);
  // The rest of the short element reads as zero, the bytes beyond it stay untouched.
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[3], 0);
  EXPECT_EQ(out[4], 0xEE);
  EXPECT_EQ(f.eof(s.handle()), 0);

  EXPECT_EQ(f.read(out, 4, 3, s.handle()), 0u);
  EXPECT_EQ(f.eof(s.handle()), 1);
  EXPECT_EQ(f.isReady(s.handle()), 1);
}

TEST(BufferStream, SeeksClampAndClearTheEndFlag) {
  Stream s(kTen, 10);
  const StreamSourceFunctions& f = *GetBufferStreamFunctions();
  unsigned char out[16];
  EXPECT_EQ(f.seek(s.handle(), -5, 0), 0);
  EXPECT_EQ(f.tell(s.handle()), 0);
  EXPECT_EQ(f.seek(s.handle(), 3, 2), 0);
  EXPECT_EQ(f.tell(s.handle()), 10);
  EXPECT_EQ(f.read(out, 1, 1, s.handle()), 0u);
  EXPECT_EQ(f.eof(s.handle()), 1);
  EXPECT_EQ(f.seek(s.handle(), -4, 1), 0);
  EXPECT_EQ(f.eof(s.handle()), 0);
  EXPECT_EQ(f.tell(s.handle()), 6);
  // Offsets that would wrap a 32-bit sum still clamp.
  EXPECT_EQ(f.seek(s.handle(), INT32_MAX, 1), 0);
  EXPECT_EQ(f.tell(s.handle()), 10);
  EXPECT_EQ(f.seek(s.handle(), INT32_MIN, 2), 0);
  EXPECT_EQ(f.tell(s.handle()), 0);
  EXPECT_EQ(f.seek(s.handle(), 4, 0), 0);
  EXPECT_EQ(f.seek(s.handle(), 1, 7), -1);
  EXPECT_EQ(f.tell(s.handle()), 4);
}

TEST(BufferStream, ZeroSizedReadsAndAnEmptyBlock) {
  Stream s(kTen, 10);
  const StreamSourceFunctions& f = *GetBufferStreamFunctions();
  unsigned char out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(f.read(out, 4, 0, s.handle()), 0u);
  EXPECT_EQ(f.read(out, 0, 5, s.handle()), 5u);
  EXPECT_EQ(f.tell(s.handle()), 0);
  EXPECT_EQ(out[0], 0xEE);

  Stream empty(nullptr, 0);
  ASSERT_NE(empty.record, nullptr);
  EXPECT_EQ(f.read(out, 1, 1, empty.handle()), 0u);
  EXPECT_EQ(f.eof(empty.handle()), 1);
  EXPECT_EQ(OpenBufferStream(kTen, -1), nullptr);
}

TEST(BufferStream, HugeElementSizesNeverPassAsFitting) {
  Stream s(kTen, 10);
  const StreamSourceFunctions& f = *GetBufferStreamFunctions();
  // 0x10000 x 0x10000 wraps to 0 in 32 bits: here it is one short element of the ten bytes.
  std::vector<unsigned char> out(0x10000, 0xEE);
  EXPECT_EQ(f.read(out.data(), 0x10000, 0x10000, s.handle()), 1u);
  EXPECT_EQ(f.tell(s.handle()), 10);
  EXPECT_EQ(std::memcmp(out.data(), kTen, 10), 0);
  EXPECT_EQ(out[10], 0);
  EXPECT_EQ(out[0xFFFF], 0);

  // A product beyond the address space cannot describe a buffer: nothing is read.
  Stream t(kTen, 10);
  unsigned char small[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(f.read(small, size_t{1} << 33, size_t{1} << 33, t.handle()), 0u);
  EXPECT_EQ(f.tell(t.handle()), 0);
  EXPECT_EQ(small[0], 0xEE);
}

TEST(BufferStream, StreamSetsHoldTheirEntriesInOrder) {
  const StreamSourceFunctions& file = *GetFileStreamFunctions();
  EXPECT_EQ(file.tell, &FileAccessTell);
  EXPECT_EQ(file.seek, &FileAccessSeek);
  EXPECT_EQ(file.read, &FileAccessRead);
  EXPECT_EQ(file.eof, &FileAccessEof);
  EXPECT_EQ(file.isReady, &FileAccessIsReady);
  EXPECT_EQ(file.close, &FileAccessClose);
  const StreamSourceFunctions& buffer = *GetBufferStreamFunctions();
  EXPECT_EQ(buffer.tell, &BufferStreamTell);
  EXPECT_EQ(buffer.close, &CloseBufferStream);
  FillStreamFunctionSets();
  EXPECT_EQ(GetBufferStreamFunctions()->read, &BufferStreamRead);
}
