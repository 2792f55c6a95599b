// Shared test fixture: every test runs on a freshly started headless host, in its own empty temporary working
// directory, which is removed afterwards (the previous working directory is restored).
//
//   #include "support/headless_fixture.h"
//   class MyTest : public HeadlessTest {};          // or use HeadlessTest directly with TEST_F
//   TEST_F(MyTest, Something) { ... workDir() ... headless::AdvanceMilliseconds(5); ... }
//
// A test that needs another desktop calls RestartHeadless(config) first; the working directory stays.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/host/headless/headless_host.h"
#include "support/scratch_directory.h"

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Starts the headless host again with this configuration (throws away every window and message).
  void RestartHeadless(const headless::Config& config);
  const std::string& workDir() const { return scratch_->path(); }

 private:
  ScratchDirectory* scratch_ = nullptr;
};

// Around calls that once never returned: while it lives, a hang ends the program, failing the test that runs, rather
// than blocking the suite until its time limit.
struct Watchdog {
  Watchdog() { alarm(60); }
  ~Watchdog() { alarm(0); }
};
