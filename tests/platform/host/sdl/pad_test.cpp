// Pads on the SDL host, through SDL's virtual joysticks: what their sticks and buttons give the game, alone and
// with the keyboard merged.
#include <SDL.h>
#include <gtest/gtest.h>

#include <time.h>

#include <cstdlib>
#include <vector>

#include "core/core_test_support.h"
#include "platform/host/platform_state.h"
#include "platform/host/sdl/sdl_host.h"
#include "vomak.h"

namespace {

class SdlPadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    // Attached before the library starts, as pads are looked for only then: a plain joystick of 24 buttons is
    // pad 1, a game controller (SDL's standard layout) pad 2.
    ASSERT_EQ(SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 24, 0), 0) << SDL_GetError();
    ASSERT_EQ(SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 15, 0), 1) << SDL_GetError();
    plain = SDL_JoystickOpen(0);
    controller = SDL_JoystickOpen(1);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(controller, nullptr);
    host::ResetPlatform(host::CreateSdlHost());
    ResetSystemState();
    SystemState.noGraphics = 1;
    SystemState.windowModeFlag = 1;
    ASSERT_EQ(StartupLibrary(), 0);
  }
  void TearDown() override {
    ShutdownLibrary();
    headless::Start();  // closes the SDL host
    if (plain) SDL_JoystickClose(plain);
    if (controller) SDL_JoystickClose(controller);
    while (SDL_NumJoysticks() > 0) SDL_JoystickDetachVirtual(0);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  }
  static void Key(SDL_Scancode key, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym.scancode = key;
    SDL_PushEvent(&e);
  }
  // The bits once the pads' changes have come through the host (SDL reads its joysticks as events are pumped);
  // the last answer when they take so long that it is a hang.
  static int BitsBecome(int inputType, int expected) {
    timespec start{}, now{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    int bits = -1;
    do {
      PumpWindowMessages();
      bits = GetPadInputBits(inputType);
      clock_gettime(CLOCK_MONOTONIC, &now);
    } while (bits != expected && now.tv_sec - start.tv_sec < kHangSeconds);
    return bits;
  }
  ScratchDirectory scratch;
  SDL_Joystick* plain = nullptr;
  SDL_Joystick* controller = nullptr;
};

TEST_F(SdlPadTest, SticksButtonsAndKeysGiveThePadBits) {
  struct Axis {
    int index, value;
  };
  struct Case {
    const char* what;
    int inputType;
    bool onController;
    std::vector<Axis> axes;
    std::vector<int> buttons;
    SDL_Scancode key;
    int bits;
  } cases[] = {
      {"stick left", 1, false, {{0, -32768}}, {}, SDL_SCANCODE_UNKNOWN, 0x2},
      {"stick right and down", 1, false, {{0, 32767}, {1, 32767}}, {}, SDL_SCANCODE_UNKNOWN, 0x4 | 0x1},
      {"stick up", 1, false, {{1, -32768}}, {}, SDL_SCANCODE_UNKNOWN, 0x8},
      // Button 1 (0x20) shows that a change which gives no bit of its own has come through.
      {"inside the dead zone", 1, false, {{0, 6000}, {1, -6000}}, {1}, SDL_SCANCODE_UNKNOWN, 0x20},
      {"past the dead zone", 1, false, {{0, 12000}}, {}, SDL_SCANCODE_UNKNOWN, 0x4},
      {"buttons 0, 9 and 23", 1, false, {}, {0, 9, 23}, SDL_SCANCODE_UNKNOWN, 0x10 | 0x2000 | 0x8000000},
      {"button 0 and Z share a bit", 0x1001, false, {}, {0}, SDL_SCANCODE_Z, 0x10},
      {"button 0 and X", 0x1001, false, {}, {0}, SDL_SCANCODE_X, 0x30},
      {"the keyboard alone", 0x1000, false, {}, {0}, SDL_SCANCODE_SPACE, 0x2000},
      {"a pad that is not there", 0x1003, false, {}, {0}, SDL_SCANCODE_ESCAPE, 0x1000},
      // The controller's face buttons come first, then the shoulders, back, start, the sticks' buttons and the
      // guide; its pad and its right stick and triggers give no bits.
      {"controller A", 2, true, {}, {0}, SDL_SCANCODE_UNKNOWN, 0x10},
      {"controller left shoulder", 2, true, {}, {9}, SDL_SCANCODE_UNKNOWN, 0x100},
      {"controller back and guide", 2, true, {}, {4, 5}, SDL_SCANCODE_UNKNOWN, 0x400 | 0x4000},
      {"controller pad up", 2, true, {}, {11, 1}, SDL_SCANCODE_UNKNOWN, 0x20},
      {"controller left stick left", 2, true, {{0, -32768}}, {}, SDL_SCANCODE_UNKNOWN, 0x2},
      {"controller right stick and trigger", 2, true, {{2, 32767}, {5, 32767}}, {1}, SDL_SCANCODE_UNKNOWN, 0x20},
  };
  for (const Case& c : cases) {
    SDL_Joystick* pad = c.onController ? controller : plain;
    for (const Axis& a : c.axes) SDL_JoystickSetVirtualAxis(pad, a.index, static_cast<Sint16>(a.value));
    for (int b : c.buttons) SDL_JoystickSetVirtualButton(pad, b, SDL_PRESSED);
    if (c.key != SDL_SCANCODE_UNKNOWN) Key(c.key, true);
    EXPECT_EQ(BitsBecome(c.inputType, c.bits), c.bits) << c.what;
    for (const Axis& a : c.axes) SDL_JoystickSetVirtualAxis(pad, a.index, 0);
    for (int b : c.buttons) SDL_JoystickSetVirtualButton(pad, b, SDL_RELEASED);
    if (c.key != SDL_SCANCODE_UNKNOWN) Key(c.key, false);
    EXPECT_EQ(BitsBecome(c.inputType, 0), 0) << c.what << ", let go";
  }
  // A pad pulled out leaves the others as they were.
  SDL_JoystickClose(controller);
  controller = nullptr;
  SDL_JoystickDetachVirtual(1);
  SDL_JoystickSetVirtualButton(plain, 3, SDL_PRESSED);
  EXPECT_EQ(BitsBecome(1, 0x80), 0x80);
}

}  // namespace
