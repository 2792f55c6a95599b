// Helpers of the core's tests: a headless host with a fresh core, and the log read back line by line.
#pragma once
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/library.h"
#include "core/main_window.h"
#include "core/system_state.h"
#include "support/headless_fixture.h"

class CoreTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    ResetSystemState();
  }
};

// A library started as the game starts it (window mode unless fullScreen), without graphics; shut down after the
// test.
class StartedCoreTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    BeforeStartup();
    SystemState.noGraphics = 1;
    if (fullScreen) ChangeWindowMode(0);
    else SystemState.windowModeFlag = 1;
    ASSERT_EQ(StartupLibrary(), 0);
    window = GetLibraryWindowHandle();
  }
  void TearDown() override {
    ShutdownLibrary();
    CoreTest::TearDown();
  }
  // What a test sets up in its working directory or in the library's records before the library starts.
  virtual void BeforeStartup() {}
  HWND window = nullptr;
  bool fullScreen = false;
};

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The log's lines without their CR LF, each time stamp replaced by "T:"; a last line without a line end counts.
inline std::vector<std::string> ReadLogLines(const std::string& directory) {
  std::string bytes = ReadFileBytes(directory + "/AppLog.txt");
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find("\r\n", start);
    std::string line = bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
    size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
    if (digits > 0 && digits < line.size() && line[digits] == ':') line = "T" + line.substr(digits);
    lines.push_back(line);
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return lines;
}
