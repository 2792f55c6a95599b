// Text input through the whole path: host text (UTF-8 to Shift-JIS WM_CHAR bytes) and editing keys (WM_KEYDOWN
// control codes, TranslateMessage's Backspace and Enter) into the ring, edited into the active record by the pump.
#include <cstring>

#include "core/memory.h"
#include "graphics/handle_kind.h"
#include "input/input_test_support.h"

namespace {

constexpr int kLeft = 0xCB, kRight = 0xCD, kDelete = 0xD3, kHome = 0xC7, kEnd = 0xCF, kBackspace = 0x0E;
constexpr int kEnter = 0x1C, kEscape = 0x01;
const std::string kSmallA = "\x82\x9F";  // "ぁ": its trail byte lies in the lead range

// One step of a case: text typed (UTF-8, as the host hands it on) or a key tapped.
struct Step {
  const char8_t* text;
  int key;
};

struct EditCase {
  const char* name;
  int maximum;
  std::vector<Step> steps;
  std::string text;  // Shift-JIS
  int cursor;
  int flags = 0;  // 1 single-byte only, 2 digits only, 4 escape allowed
  int ended = 0, cancelled = 0;
};

class TextInputTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    StartLibrary();
  }
  // Makes slot 0 the active record (as the library's creation call would) and returns it.
  TextInputRecord& MakeActive(int maximum, int flags, const std::string& initial = "", int cursor = 0) {
    TextInputRecord& r = TextInput.records[0];
    r = {};
    r.inUse = 1;
    r.checkNumber = 7;
    r.maximumLength = maximum;
    r.buffer = static_cast<char*>(MemAllocZeroed(maximum + 1));
    std::memcpy(r.buffer, initial.data(), initial.size());
    r.length = static_cast<int>(initial.size());
    r.cursor = cursor;
    r.singleByteOnly = flags & 1;
    r.digitsOnly = (flags & 2) >> 1;
    r.escapeAllowed = (flags & 4) >> 2;
    TextInput.activeHandle = MakeHandle(TextInputHandle, 7, 0);
    return r;
  }
};

TEST_F(TextInputTest, EditingKeysOverMixedText) {
  const std::string a2 = kSmallA + kSmallA;
  const EditCase cases[] = {
      {"typing", 20, {{u8"aぁb", 0}}, "a" + kSmallA + "b", 4},
      {"backspace after a trail byte", 20, {{u8"ぁa", 0}, {nullptr, kBackspace}}, kSmallA, 2},
      {"backspace over a double byte", 20, {{u8"aぁ", 0}, {nullptr, kBackspace}}, "a", 1},
      {"backspace at 0", 20, {{u8"ab", 0}, {nullptr, kLeft}, {nullptr, kLeft}, {nullptr, kBackspace}}, "ab", 0},
      {"left after a trail byte", 20, {{u8"ぁa", 0}, {nullptr, kLeft}, {u8"b", 0}}, kSmallA + "ba", 3},
      {"left over both", 20, {{u8"ぁa", 0}, {nullptr, kLeft}, {nullptr, kLeft}, {nullptr, kLeft}}, kSmallA + "a", 0},
      {"right", 20, {{u8"ぁぁ", 0}, {nullptr, kLeft}, {nullptr, kLeft}, {nullptr, kRight}}, a2, 2},
      {"right at the end", 20, {{u8"ab", 0}, {nullptr, kRight}}, "ab", 2},
      {"delete", 20, {{u8"ぁぁa", 0}, {nullptr, kLeft}, {nullptr, kLeft}, {nullptr, kDelete}}, kSmallA + "a", 2},
      {"delete at the end", 20, {{u8"ab", 0}, {nullptr, kDelete}}, "ab", 2},
      {"home and end change nothing", 20, {{u8"ab", 0}, {nullptr, kLeft}, {nullptr, kHome}, {nullptr, kEnd}}, "ab", 1},
      {"full line loses its end", 4, {{u8"abcd", 0}, {nullptr, kLeft}, {nullptr, kLeft}, {nullptr, kLeft},
                                      {nullptr, kLeft}, {u8"ぁ", 0}}, kSmallA + "ab", 2},
      {"typing at the end of a full line", 3, {{u8"abcd", 0}}, "abd", 3},
      {"wider than the maximum", 1, {{u8"ぁbぁ", 0}}, "b", 1},
      {"nothing fits", 0, {{u8"aぁ", 0}}, "", 0},
      {"single-byte only", 20, {{u8"aぁb", 0}}, "ab", 2, 1},
      {"digits only", 20, {{u8"-1-2a", 0}, {nullptr, kLeft}, {nullptr, kLeft}, {nullptr, kLeft}, {u8"-", 0}, {u8"１", 0}},
       "--12", 1, 2},
      {"enter ends", 20, {{u8"a", 0}, {nullptr, kEnter}, {u8"b", 0}}, "a", 1, 0, 1, 0},
      {"escape refused", 20, {{u8"a", 0}, {nullptr, kEscape}, {u8"b", 0}}, "ab", 2},
      {"escape cancels", 20, {{u8"a", 0}, {nullptr, kEscape}}, "a", 1, 4, 1, 1},
  };
  for (const EditCase& c : cases) {
    TextInputRecord& r = MakeActive(c.maximum, c.flags);
    for (const Step& step : c.steps) {
      if (step.text) {
        headless::TypeText(reinterpret_cast<const char*>(step.text));
      } else {
        Tap(step.key);
      }
      Pump(4);
    }
    EXPECT_EQ(std::string(r.buffer), c.text) << c.name;
    EXPECT_EQ(r.length, static_cast<int>(c.text.size())) << c.name;
    EXPECT_EQ(r.cursor, c.cursor) << c.name;
    EXPECT_EQ(r.ended, c.ended) << c.name;
    EXPECT_EQ(r.cancelled, c.cancelled) << c.name;
    EXPECT_EQ(DeleteTextInput(TextInput.activeHandle), 0);
    EXPECT_EQ(TextInput.activeHandle, -1);
    TextInput.readIndex = TextInput.writeIndex;  // what an ended record left in the ring
  }
}

// A text that ends in a lone lead byte: no step goes past its end.
TEST_F(TextInputTest, StepsStopAtTheEndOfAText) {
  TextInputRecord& r = MakeActive(8, 0, "a\x82", 0);
  for (unsigned char code : {0x1C, 0x1C, 0x1C}) PushInputCharByte(code);
  EXPECT_EQ(ProcessActiveTextInput(), 0);
  EXPECT_EQ(r.cursor, 2);
  for (unsigned char code : {0x1D, 0x10, 0x10}) PushInputCharByte(code);
  EXPECT_EQ(ProcessActiveTextInput(), 0);
  EXPECT_EQ(std::string(r.buffer), "a");
  EXPECT_EQ(r.length, 1);
}

TEST_F(TextInputTest, ALeadByteWaitsForItsPartner) {
  TextInputRecord& r = MakeActive(8, 0);
  unsigned char out[2];
  PushInputCharByte(0x82);
  EXPECT_EQ(TakeInputChar(out, 0), 0);
  EXPECT_EQ(ProcessActiveTextInput(), 0);
  EXPECT_EQ(r.length, 0);
  PushInputCharByte(0x9F);
  EXPECT_EQ(TakeInputChar(out, 0), 2);
  EXPECT_EQ(out[1], 0x9F);
  EXPECT_EQ(ProcessActiveTextInput(), 0);
  EXPECT_EQ(std::string(r.buffer), kSmallA);
  TextInput.activeHandle = MakeHandle(TextInputHandle, 8, 0);  // a stale check number
  EXPECT_EQ(ProcessActiveTextInput(), -1);
  EXPECT_EQ(DeleteTextInput(TextInput.activeHandle), -1);
}

// Deleting the last record switches the input method off; shut-down deletes what is left.
TEST_F(TextInputTest, TheLastRecordSwitchesTheInputMethodOff) {
  MakeActive(8, 0);
  SwitchImeEnabled(1);
  EXPECT_EQ(TextInput.imeSwitch, 1);
  DeleteAllTextInputs();
  EXPECT_EQ(TextInput.imeSwitch, 0);
  EXPECT_EQ(TextInput.activeHandle, -1);
  MakeActive(8, 0);
  ShutdownLibrary();
  EXPECT_EQ(TextInput.records[0].inUse, 0);
}

}  // namespace
