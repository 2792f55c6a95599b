#include "support/headless_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

ScratchDirectory::ScratchDirectory() {
  std::error_code ec;
  previous_ = std::filesystem::current_path(ec).string();
  std::string pattern = (std::filesystem::temp_directory_path(ec) / "vomak-test-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back(0);
  if (!mkdtemp(buffer.data())) {
    ADD_FAILURE() << "cannot make a temporary directory";
    return;
  }
  path_ = buffer.data();
  std::filesystem::current_path(path_, ec);
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ec;
  if (!previous_.empty()) std::filesystem::current_path(previous_, ec);
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

void HeadlessTest::SetUp() {
  headless::Start();
  scratch_ = new ScratchDirectory;
}

void HeadlessTest::TearDown() {
  delete scratch_;
  scratch_ = nullptr;
  headless::Start();  // drops the test's windows, messages and failures
}

void HeadlessTest::RestartHeadless(const headless::Config& config) { headless::Start(config); }
