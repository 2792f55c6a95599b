// Input tests: a library started as the game starts it (window mode, no graphics) on the headless host, with
// scripted keys, text and pads; every test ends with no kernel event and no input device left behind.
#pragma once
#include <string>
#include <vector>

#include "core/core_test_support.h"
#include "input/direct_input_layer.h"
#include "input/text_input.h"
#include "platform/host/headless/headless_input.h"
#include "vomak.h"

class InputTest : public CoreTest {
 protected:
  void StartLibrary(bool graphics = false) {
    SystemState.noGraphics = graphics ? 0 : 1;
    SystemState.windowModeFlag = 1;
    ASSERT_EQ(StartupLibrary(), 0);
  }
  void TearDown() override {
    ShutdownLibrary();
    EXPECT_EQ(headless::OpenEventCount(), 0);
    EXPECT_EQ(headless::LiveInputDeviceCount(), 0);
    CoreTest::TearDown();
  }
  // Enough pump calls to take every scripted message (five per call).
  static void Pump(int calls = 40) {
    for (int i = 0; i < calls; ++i) PumpWindowMessages();
  }
  static void Tap(int keyCode) {
    headless::PressKey(keyCode);
    headless::ReleaseKey(keyCode);
  }
  std::vector<std::string> Lines() { return ReadLogLines(workDir()); }
  int CountLines(const std::string& line) {
    int n = 0;
    for (const std::string& l : Lines()) n += l == line;
    return n;
  }
};
