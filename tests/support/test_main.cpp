// The test programs' main: the test framework's, with one guard. A call that ends the process through exit while a
// test runs (the library's double-start exit answers 0) would end the program with that status, and the test
// runner would count every test as passed; the guard turns such an exit into a failure. A death test's child is
// meant to exit and is left alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

void FailAnExitDuringATest() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  if (!test || ::testing::internal::InDeathTestChild()) return;
  std::fprintf(stderr, "%s.%s: the process exited while the test ran\n", test->test_suite_name(), test->name());
  std::fflush(nullptr);
  _exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::atexit(FailAnExitDuringATest);
  return RUN_ALL_TESTS();
}
