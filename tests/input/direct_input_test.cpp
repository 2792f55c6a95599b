// Keyboard and joypads through the whole path: scripted host input, the DirectInput substitute, the layer's
// key-state array and pad records, and the two public queries.
#include "input/input_test_support.h"

namespace {

// The DirectInput key codes of the Win32 fall-back table, in its order (Return's second row is keypad Enter).
constexpr int kTableKeyCodes[] = {
    0x0E, 0x0F, 0x1C, 0x2A, 0x36, 0x1D, 0x9D, 0x01, 0x39, 0xC9, 0xD1, 0xCF, 0xC7, 0xCB, 0xC8, 0xCD, 0xD0,
    0xD2, 0xD3, 0x0C, 0x7D, 0x34, 0x35, 0x38, 0xB8, 0x46, 0x27, 0x92, 0x1A, 0x1B, 0x91, 0x2B, 0x33, 0x3A,
    0xC5, 0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49, 0x37, 0x4E, 0x4A, 0x53, 0xB5, 0x9C,
    0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42, 0x43, 0x44, 0x57, 0x58, 0x1E, 0x30, 0x2E, 0x20, 0x12,
    0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F,
    0x11, 0x2D, 0x15, 0x2C, 0x0B, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A,
};

// Keys merged into the pad bits with 0x1000.
struct KeyBitCase {
  int keyCode, bit;
};
constexpr KeyBitCase kKeyBits[] = {
    {0xD0, 0x1},   {0x50, 0x1},   {0xCB, 0x2},   {0x4B, 0x2},   {0xCD, 0x4},    {0x4D, 0x4},    {0xC8, 0x8},
    {0x48, 0x8},   {0x2C, 0x10},  {0x2D, 0x20},  {0x2E, 0x40},  {0x1E, 0x80},   {0x1F, 0x100},  {0x20, 0x200},
    {0x10, 0x400}, {0x11, 0x800}, {0x01, 0x1000}, {0x39, 0x2000}, {0x1C, 0},     {0x9D, 0},
};

class DirectInputTest : public InputTest {
 protected:
  // Every key of the table reads down while held and up after, and no other key of the table reads down but,
  // through the Win32 state, the other key of Return's virtual key.
  void ExpectEveryTableKeyAlone(bool throughVirtualKeys) {
    for (int code : kTableKeyCodes) {
      headless::PressKey(code);
      headless::AdvanceMilliseconds(1);
      EXPECT_EQ(QueryKeyDown(code), 1) << std::hex << code;
      int others = 0;
      for (int other : kTableKeyCodes) others += other != code && QueryKeyDown(other);
      EXPECT_EQ(others, throughVirtualKeys && (code == 0x1C || code == 0x9C) ? 1 : 0) << std::hex << code;
      headless::ReleaseKey(code);
      headless::AdvanceMilliseconds(1);
      EXPECT_EQ(QueryKeyDown(code), 0) << std::hex << code;
    }
  }
};

TEST_F(DirectInputTest, EveryKeyOfTheTableThroughDirectInput) {
  StartLibrary();
  ASSERT_NE(DirectInputLayer.keyboardDevice, nullptr);
  ExpectEveryTableKeyAlone(false);
}

// Without the layer and with the window closing, the Win32 key state is read through the table.
TEST_F(DirectInputTest, EveryKeyOfTheTableThroughTheFallBack) {
  StartLibrary();
  EndDirectInputLayer();
  SystemState.closingRequested = 1;
  ExpectEveryTableKeyAlone(true);
  headless::PressKey(0x28);  // a key missing from the table never reads as down
  headless::PressKey(0xDB);
  EXPECT_EQ(QueryKeyDown(0x28) + QueryKeyDown(0xDB), 0);
  EXPECT_EQ(DirectInputLayer.directInput, nullptr);
  SystemState.closingRequested = 0;  // the shut-down asks for the close itself
}

TEST_F(DirectInputTest, KeyboardKeysMergeIntoThePadBits) {
  headless::AttachPad("Pad");
  StartLibrary();
  for (const KeyBitCase& c : kKeyBits) {
    headless::PressKey(c.keyCode);
    headless::AdvanceMilliseconds(1);
    EXPECT_EQ(GetPadInputBits(0x1001), c.bit) << std::hex << c.keyCode;
    EXPECT_EQ(GetPadInputBits(0x1000), c.bit);
    EXPECT_EQ(GetPadInputBits(0x1003), c.bit);  // a pad number whose slot is empty
    EXPECT_EQ(GetPadInputBits(1), 0);
    for (int type : {0, 9, 0x2001, 0x1009, -1}) EXPECT_EQ(GetPadInputBits(type), 0);
    headless::ReleaseKey(c.keyCode);
  }
  // Left and right together; a key and a pad button sharing a bit.
  headless::PressKey(0xCB);
  headless::PressKey(0x4D);
  headless::PressKey(0x01);
  headless::SetPadButton(1, 8, true);
  headless::AdvanceMilliseconds(1);
  EXPECT_EQ(GetPadInputBits(0x1001), 0x1006);
  EXPECT_EQ(GetPadInputBits(1), 0x1000);
}

TEST_F(DirectInputTest, PadDirectionsFollowTheRangeAndDeadZone) {
  uint32_t pad = headless::AttachPad("Pad");
  StartLibrary();
  struct {
    int axis;
    int32_t raw;
    int bits;
    LONG scaled;  // -1000 to 1000 with a quarter of the travel dead: (|raw| / 32767 - 0.25) / 0.75 * 1000
  } cases[] = {{0, 32767, 0x4, 1000}, {0, -32768, 0x2, -1000}, {1, 32767, 0x1, 1000}, {1, -32768, 0x8, -1000},
               {0, 8191, 0, 0},       {0, -8191, 0, 0},        {1, 8191, 0, 0},       {0, 16384, 0x4, 333},
               {1, -16384, 0x8, -333}, {0, 9000, 0x4, 33},     {2, 32767, 0, 0}};
  for (const auto& c : cases) {
    headless::SetPadAxis(pad, c.axis, c.raw);
    headless::AdvanceMilliseconds(1);
    EXPECT_EQ(GetPadInputBits(1), c.bits) << c.axis << " " << c.raw;
    const DIJOYSTATE& state = DirectInputLayer.pads[0].state;
    EXPECT_EQ(c.axis == 1 ? state.lY : state.lX, c.axis == 2 ? 0 : c.scaled);
    headless::SetPadAxis(pad, c.axis, 0);
  }
  headless::SetPadHat(pad, 0, 9000);  // hats are not reported
  for (int button = 0; button < 32; ++button) {
    headless::SetPadButton(pad, button, true);
    headless::AdvanceMilliseconds(1);
    EXPECT_EQ(GetPadInputBits(1), button < 24 ? 0x10 << button : 0) << button;
    headless::SetPadButton(pad, button, false);
  }
}

TEST_F(DirectInputTest, TheArrayIsReadOncePerTickUnlessSignalled) {
  StartLibrary();
  headless::SetReadStepMicroseconds(0);
  headless::AdvanceMilliseconds(1);
  EXPECT_EQ(RefreshKeyStateArray(), 1);
  EXPECT_EQ(RefreshKeyStateArray(), 0);
  headless::PressKey(0x2C);
  PumpWindowMessages();  // the key arrives and signals the keyboard's event
  EXPECT_EQ(RefreshKeyStateArray(), 1);
  EXPECT_EQ(DirectInputLayer.keyStateArray[0x2C], 0x80);
  EXPECT_EQ(RefreshKeyStateArray(), 0);
  headless::AdvanceMilliseconds(1);
  EXPECT_EQ(RefreshKeyStateArray(), 1);
}

TEST_F(DirectInputTest, ThePumpDrainsMoreEventsThanTheBufferHolds) {
  StartLibrary();
  for (int i = 0; i < 150; ++i) Tap(0x2C + i % 3);
  headless::PressKey(0x2D);
  PumpWindowMessages();
  DIDEVICEOBJECTDATA data[5];
  DWORD count = 5;
  EXPECT_EQ(DirectInputLayer.keyboardDevice->GetDeviceData(sizeof data[0], data, &count, 0), DI_OK);
  EXPECT_EQ(count, 0u);
  headless::AdvanceMilliseconds(1);
  EXPECT_EQ(QueryKeyDown(0x2D), 1);
  EXPECT_EQ(QueryKeyDown(0x2C), 0);
}

TEST_F(DirectInputTest, KeyCodesOutsideTheArrayAnswerUp) {
  StartLibrary();
  headless::PressKey(0x01);
  headless::AdvanceMilliseconds(1);
  for (int code : {-1, 256, 0x101, 0x10001, -255}) EXPECT_EQ(QueryKeyDown(code), 0) << code;
  EXPECT_EQ(QueryKeyDown(0x01), 1);
}

// After a display change the first query starts the layer again and answers "nothing held"; a start that
// fails answers the same instead of a failure that would read as every bit.
TEST_F(DirectInputTest, QueriesAfterADisplayChangeRestartTheLayer) {
  uint32_t pad = headless::AttachPad("Pad");
  StartLibrary(true);
  headless::PressKey(0x01);
  headless::SetPadButton(pad, 0, true);
  headless::PostDisplayChange(1280, 1024, 32);
  Pump(2);
  EXPECT_EQ(DirectInputLayer.directInput, nullptr);
  EXPECT_EQ(CountLines("T:DirectInput 関連の終了処理... 完了"), 1);
  headless::FailCall("DirectInputCreate", 1);
  EXPECT_EQ(GetPadInputBits(0x1001), 0);
  EXPECT_EQ(QueryKeyDown(0x01), 0);
  headless::AdvanceMilliseconds(1);
  EXPECT_EQ(GetPadInputBits(0x1001), 0x1010);
  headless::FailCall("DirectInput::Initialize", 1);
  EndDirectInputLayer();
  EXPECT_EQ(QueryKeyDown(0x01), 0);
  EXPECT_EQ(QueryKeyDown(0x01), 0);  // the restart itself
  headless::AdvanceMilliseconds(1);
  EXPECT_EQ(QueryKeyDown(0x01), 1);
  EXPECT_EQ(CountLines("T:DirectInput関係初期化処理"), 5);
}

TEST_F(DirectInputTest, PadsAreEnumeratedAtStartEightAtMost) {
  for (int i = 0; i < 9; ++i) headless::AttachPad("Pad " + std::to_string(i + 1));
  StartLibrary();
  uint32_t late = headless::AttachPad("Late");
  EXPECT_EQ(DirectInputLayer.padCount, 8);
  EXPECT_EQ(CountLines("T:\tジョイパッドの追加は正常に終了しました"), 8);
  EXPECT_EQ(CountLines("T:\t\tデバイスの登録名:Pad 8"), 1);
  EXPECT_EQ(CountLines("T:\t\tデバイスの製品登録名:Pad 9"), 0);
  headless::SetPadButton(9, 1, true);
  headless::SetPadButton(late, 1, true);
  EXPECT_EQ(GetPadInputBits(9), 0);
  headless::DetachPad(1);
  EndDirectInputLayer();
  GetPadInputBits(1);  // a restart sees the pads attached now
  EXPECT_EQ(GetPadInputBits(8), 0x20);
}

TEST_F(DirectInputTest, APadThatFailsToAcquireOrReadKeepsItsLastState) {
  uint32_t pad = headless::AttachPad("Pad");
  headless::FailCall("Joystick::Acquire", 1);
  StartLibrary();
  headless::SetPadButton(pad, 2, true);
  headless::AdvanceMilliseconds(1);
  EXPECT_EQ(GetPadInputBits(1), 0x40);  // read after the retry's Acquire
  headless::FailCall("Joystick::GetDeviceState", -1);
  headless::SetPadButton(pad, 2, false);
  headless::AdvanceMilliseconds(1);
  EXPECT_EQ(GetPadInputBits(1), 0x40);
  headless::ClearFailures();
  headless::DetachPad(pad);
  headless::AdvanceMilliseconds(1);
  EXPECT_EQ(GetPadInputBits(0x1001), 0x40);
}

TEST_F(DirectInputTest, APadThatFailsASetUpStepIsReleasedAndSkipped) {
  struct {
    const char* failure;
    const char* line;
  } cases[] = {{"CreateDevice:JOYSTICK", "T:\t入力装置の取得に失敗しました"},
               {"Joystick::SetDataFormat", "T:\tジョイパッドデバイスではありませんでした、又は設定に失敗しました"},
               {"Joystick::SetCooperativeLevel", "T:\tジョイパッドデバイスの協調レベルの設定に失敗しました"},
               {"Joystick::SetEventNotification", "T:\tジョイパッドイベントのセットアップが失敗しました"}};
  headless::AttachPad("Pad");
  for (const auto& c : cases) {
    headless::FailCall(c.failure, 1);
    StartLibrary();
    EXPECT_EQ(DirectInputLayer.padCount, 0) << c.failure;
    EXPECT_EQ(headless::LiveInputDeviceCount(), 1) << c.failure;
    EXPECT_EQ(headless::OpenEventCount(), 1) << c.failure;
    EXPECT_EQ(CountLines(c.line), 1) << c.failure;
    ShutdownLibrary();
    ResetSystemState();
  }
}

TEST_F(DirectInputTest, AKeyboardWithoutNotificationStartsWithOne) {
  headless::FailCall("Keyboard::SetEventNotification", 1);
  StartLibrary();
  EXPECT_EQ(headless::OpenEventCount(), 0);
  std::vector<std::string> lines = Lines();
  auto at = std::find(lines.begin(), lines.end(), "T:\tキーボードデバイスの初期化... キーボードイベントのセットアップが失敗しました");
  ASSERT_NE(at, lines.end());
  EXPECT_EQ(*(at + 1), "T:DirectSound の初期化を行います");  // the input block ends there, the sound block follows
  headless::PressKey(0x39);
  headless::AdvanceMilliseconds(1);
  EXPECT_EQ(QueryKeyDown(0x39), 1);  // the unacquired device is acquired at the first read
  EndDirectInputLayer();
  EXPECT_EQ(StartDirectInputLayer(), 0);
}

TEST_F(DirectInputTest, WithoutDirectInputStartUpFails) {
  struct {
    const char* failure;
    const char* line;
  } cases[] = {{"DirectInputCreate", "T:\tDirectInputオブジェクトの取得中... 取得に失敗"},
               {"DirectInput::Initialize", "T:\t\t引き続き初期化処理... 初期化に失敗"}};
  for (const auto& c : cases) {
    headless::FailCall(c.failure, 1);
    SystemState.noGraphics = 1;
    EXPECT_EQ(StartupLibrary(), -1);
    std::vector<std::string> lines = Lines();
    auto at = std::find(lines.begin(), lines.end(), c.line);
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(*(at + 1), "T:ネットワーク関連の終了処理を行います ");  // the indent is back to none
    ResetSystemState();
  }
}

TEST_F(DirectInputTest, AKeyboardThatCannotBeAcquiredTwiceEndsTheProcess) {
  headless::FailCall("Keyboard::Acquire", 1);
  StartLibrary();  // once is retried
  ShutdownLibrary();
  ResetSystemState();
  RestartHeadless({});  // the child process pumps on a thread of its own
  headless::FailCall("Keyboard::Acquire", 2);
  EXPECT_EXIT(StartLibrary(), ::testing::ExitedWithCode(255), "");
  std::vector<std::string> lines = Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "T:\tキーボードデバイスの初期化... キーボードデバイスの取得に失敗しました"),
            lines.end());
}

}  // namespace
