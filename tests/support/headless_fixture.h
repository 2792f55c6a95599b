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

// How long a test waits, by the real clock, for what another thread, a device or another program should soon do,
// before it takes that for a hang. A hang never ends, so this is far more than any machine needs: one whose cores
// are all busy with other work, under a sanitizer, runs a test many times slower than an idle one.
constexpr int kHangSeconds = 120;

// Around calls that once never returned: while it lives, a hang ends the program, failing the test that runs, rather
// than blocking the suite until its time limit.
struct Watchdog {
  Watchdog() { alarm(kHangSeconds); }
  ~Watchdog() { alarm(0); }
};
