#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "support/scratch_directory.h"

// A child that ends through exit removes the scratch it made, whether it is a fresh run of the test program (which
// makes its own fixture's scratch too) or a fork; a fork does not take its parent's scratch along.
TEST(ScratchDirectory, AChildEndingThroughExitLeavesNoScratch) {
  ScratchDirectory own;
  ASSERT_FALSE(own.path().empty());
  std::optional<std::string> saved;
  if (const char* previous = std::getenv("TMPDIR")) saved = previous;
  const std::string previousStyle = GTEST_FLAG_GET(death_test_style);
  // Children (and a fresh run's own scratch) are made inside this test's scratch, where they can be counted.
  setenv("TMPDIR", own.path().c_str(), 1);
  for (const char* style : {"threadsafe", "fast"}) {
    GTEST_FLAG_SET(death_test_style, style);
    EXPECT_EXIT(
        {
          ScratchDirectory child;
          std::exit(child.path().empty() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "")
        << style;
    EXPECT_TRUE(std::filesystem::is_directory(own.path())) << style;
    EXPECT_TRUE(std::filesystem::is_empty(own.path())) << style;
  }
  GTEST_FLAG_SET(death_test_style, previousStyle);
  if (saved) setenv("TMPDIR", saved->c_str(), 1);
  else unsetenv("TMPDIR");
}

// A library call that ends the process through exit with status 0 while a test runs (the double-start exit) fails
// the test program instead of passing it: the test runs itself in a child that takes that exit.
TEST(TestSupport, AnExitWhileATestRunsFailsTheProgram) {
  if (std::getenv("VOMAK_EXIT_GUARD_CHILD")) std::exit(0);
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(length, 0);
  self[length] = 0;
  const std::string command = std::string("VOMAK_EXIT_GUARD_CHILD=1 '") + self +
                              "' --gtest_filter=TestSupport.AnExitWhileATestRunsFailsTheProgram >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
}
