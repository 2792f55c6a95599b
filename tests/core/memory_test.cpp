#include <gtest/gtest.h>

#include <cstring>

#include "core/memory.h"

TEST(Memory, ZeroedBlockAndTextHelpers) {
  auto* block = static_cast<unsigned char*>(MemAllocZeroed(64));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0);
  char* text = reinterpret_cast<char*>(block);
  CopyText(text, "abc");
  AppendText(text, "def");
  EXPECT_STREQ(text, "abcdef");
  MemFree(block);
  MemFree(nullptr);
  EXPECT_EQ(MemAlloc(-1), nullptr);
}
