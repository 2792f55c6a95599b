#include "support/headless_fixture.h"

void HeadlessTest::SetUp() {
  headless::Start();
  scratch_ = new ScratchDirectory;
  if (scratch_->path().empty()) ADD_FAILURE() << "cannot make a temporary directory";
}

void HeadlessTest::TearDown() {
  delete scratch_;
  scratch_ = nullptr;
  headless::Start();  // drops the test's windows, messages and failures
}

void HeadlessTest::RestartHeadless(const headless::Config& config) { headless::Start(config); }
