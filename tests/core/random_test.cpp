#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <sstream>

#include "core/random.h"

namespace {

// The reference: the standard library's MT19937 loaded with the 1998 seeding's state.
std::mt19937 ReferenceFor(uint32_t seed) {
  std::ostringstream state;
  for (int i = 0; i < 624; ++i) {
    uint32_t word = seed & 0xFFFF0000u;
    seed = seed * 69069u + 1u;
    word |= seed >> 16;
    seed = seed * 69069u + 1u;
    state << word << ' ';
  }
  state << 624;  // the index: the next draw regenerates
  std::mt19937 reference;
  std::istringstream in(state.str());
  in >> reference;
  return reference;
}

}  // namespace

TEST(Random, UnseededDrawUsesTheDefaultSeed) {
  // A fresh process: nothing has seeded the generator yet.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(NextRandomWord() == 2867219139u ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

TEST(Random, DefaultSeedMatchesTheReference) {
  SeedRandom(4357);
  std::mt19937 reference = ReferenceFor(4357);
  const uint32_t firstOutputs[] = {2867219139u, 1585203162u, 3113124129u};
  for (uint32_t expected : firstOutputs) {
    uint32_t word = NextRandomWord();
    EXPECT_EQ(word, expected);
    EXPECT_EQ(word, reference());
  }
  for (int i = 3; i < 623; ++i) ASSERT_EQ(NextRandomWord(), reference()) << i;
  EXPECT_EQ(NextRandomWord(), 589403970u);
  reference();
  // The 625th output comes from the next batch.
  EXPECT_EQ(NextRandomWord(), 1044672925u);
  reference();
  for (int i = 0; i < 2000; ++i) ASSERT_EQ(NextRandomWord(), reference());
}

TEST(Random, SeedingRestartsTheSequenceForAnySeed) {
  for (uint32_t seed : {0u, 1u, 4357u, 0xFFFFFFFFu, 123456789u}) {
    SeedRandom(seed);
    std::mt19937 reference = ReferenceFor(seed);
    for (int i = 0; i < 1300; ++i) ASSERT_EQ(NextRandomWord(), reference()) << seed << " " << i;
  }
}

TEST(Random, BothBatchRoutinesGiveTheSameWords) {
  SeedRandom(99);
  std::mt19937 reference = ReferenceFor(99);
  for (int i = 0; i < 624; ++i) reference();  // the batch the seeding made, replaced below
  for (int batch = 0; batch < 4; ++batch) {
    if (batch % 2) {
      RegenerateRandomStateMmx();
    } else {
      RegenerateRandomState();
    }
    for (int i = 0; i < 624; ++i) ASSERT_EQ(NextRandomWord(), reference()) << batch << " " << i;
  }
}

TEST(Random, UpToScalesTheWordIntoTheRange) {
  SeedRandom(4357);
  std::mt19937 reference = ReferenceFor(4357);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(GetRandomUpTo(0), 0);
  for (int i = 0; i < 200; ++i) reference();
  for (int i = 0; i < 500; ++i) {
    uint32_t word = reference();
    ASSERT_EQ(GetRandomUpTo(1), word < 0x80000000u ? 0 : 1);
  }
  for (int i = 0; i < 500; ++i) {
    uint32_t word = reference();
    ASSERT_EQ(GetRandomUpTo(639), static_cast<int>((static_cast<uint64_t>(word) * 640) >> 32));
  }
  // The widest range needs n + 1 beyond 32 signed bits; below zero there is nothing to draw.
  uint32_t word = reference();
  EXPECT_EQ(GetRandomUpTo(0x7FFFFFFF), static_cast<int>((static_cast<uint64_t>(word) * 0x80000000u) >> 32));
  EXPECT_EQ(GetRandomUpTo(-1), 0);
  EXPECT_EQ(GetRandomUpTo(-100), 0);
  // Each of them still took its word from the sequence.
  reference();
  reference();
  word = reference();
  EXPECT_EQ(GetRandomUpTo(0x7FFFFFFE), static_cast<int>((static_cast<uint64_t>(word) * 0x7FFFFFFFu) >> 32));
}
