// The input method's messages while the library has it switched on: compositions and results from the host
// through the IMM substitute into the text-input block and the ring, the candidate list, the open status; and
// the character counting helpers over double-byte text.
#include <cstring>

#include "core/memory.h"
#include "graphics/handle_kind.h"
#include "input/input_test_support.h"
#include "platform/win32/user.h"

namespace {

std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

class ImeTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    StartLibrary();
    window = GetLibraryWindowHandle();
  }
  // A record of the given maximum made active, as the library's creation call would.
  TextInputRecord& MakeActive(int maximum) {
    TextInputRecord& r = TextInput.records[0];
    r = {};
    r.inUse = 1;
    r.maximumLength = maximum;
    r.buffer = static_cast<char*>(MemAllocZeroed(maximum + 1));
    TextInput.activeHandle = MakeHandle(TextInputHandle, 0, 0);
    return r;
  }
  HWND window = nullptr;
};

TEST_F(ImeTest, SwitchedOffEveryMessageIsAnsweredZeroAndTextComesAsCharacters) {
  for (UINT message : {WM_IME_SETCONTEXT, WM_IME_NOTIFY, WM_IME_COMPOSITION, WM_IME_STARTCOMPOSITION}) {
    EXPECT_EQ(HandleImeMessage(window, message, 8, 0x7FFFFFFF), 0);
  }
  EXPECT_EQ(TextInput.imeActivity, 0);
  TextInputRecord& r = MakeActive(16);
  headless::Compose(Utf8(u8"かな"), 1);
  headless::TypeText(Utf8(u8"仮名"));
  Pump(4);
  EXPECT_EQ(TextInput.composing, 0);
  EXPECT_EQ(std::string(r.buffer), "仮名");
}

TEST_F(ImeTest, ACompositionAndItsResultReachTheBlockAndTheRing) {
  SwitchImeEnabled(1);
  TextInputRecord& r = MakeActive(16);
  headless::Compose(Utf8(u8"かなa"), 2);
  Pump(2);
  EXPECT_EQ(TextInput.composing, 1);
  EXPECT_EQ(std::string(TextInput.compositionText), "かなa");
  EXPECT_EQ(TextInput.imeCursor, 2);
  EXPECT_EQ(TextInput.clauseCount, 2);
  EXPECT_EQ(TextInput.imeActivity, 1);
  headless::TypeText(Utf8(u8"仮名"));
  headless::Compose(Utf8(u8"x"), 1);  // a new composition right after the result
  Pump(4);
  EXPECT_EQ(std::string(r.buffer), "仮名");
  EXPECT_EQ(std::string(TextInput.compositionText), "x");
  headless::Compose("", 0);
  Pump(2);
  EXPECT_EQ(TextInput.composing, 0);
  EXPECT_EQ(TextInput.compositionText[0], '\0');
}

// Strings of the field's whole length: the composition is cut at a character within the field, every result
// byte reaches the ring.
TEST_F(ImeTest, FullLengthStringsStayInTheirFields) {
  SwitchImeEnabled(1);
  TextInputRecord& r = MakeActive(1024);
  std::string long512;
  for (int i = 0; i < 512; ++i) long512 += Utf8(u8"あ");
  headless::Compose(long512, 512);
  Pump(2);
  EXPECT_EQ(std::strlen(TextInput.compositionText), 1022u);
  EXPECT_EQ(TextInput.imeCursor, 511);
  headless::TypeText(long512);
  Pump(4);
  EXPECT_EQ(r.length, 1024);
  EXPECT_EQ(CountCharsInBytes(r.buffer, 1024), 512);
}

TEST_F(ImeTest, CandidateListsAreKeptUntilClosed) {
  SwitchImeEnabled(1);
  headless::ShowCandidates({Utf8(u8"仮名"), Utf8(u8"かな")}, 1);
  Pump(2);
  ASSERT_NE(TextInput.candidateList, nullptr);
  const CANDIDATELIST& list = *TextInput.candidateList;
  EXPECT_EQ(list.dwCount, 2u);
  EXPECT_EQ(list.dwSelection, 1u);
  const char* bytes = reinterpret_cast<const char*>(&list);
  EXPECT_EQ(std::string(bytes + list.dwOffset[0]), "仮名");
  EXPECT_EQ(std::string(bytes + list.dwOffset[1]), "かな");
  headless::ShowCandidates({}, 0);
  Pump(2);
  EXPECT_EQ(TextInput.candidateList, nullptr);
  EXPECT_EQ(SendMessageA(window, WM_IME_NOTIFY, IMN_OPENCANDIDATE, 1), 0);  // no list to read
  EXPECT_EQ(TextInput.candidateList, nullptr);
  int logged = 0;
  for (const std::string& line : Lines()) logged += line.rfind("T:漢字変換候補のデータサイズが０でした  DefHWND:", 0) == 0;
  EXPECT_EQ(logged, 1);
  headless::ShowCandidates({Utf8(u8"仮名")}, 0);
  Pump(2);
  SwitchImeEnabled(0);
  EXPECT_EQ(TextInput.candidateList, nullptr);
}

TEST_F(ImeTest, TheOpenStatusIsReadAfterItsNotice) {
  SwitchImeEnabled(1);
  SwitchImeOpen(0);
  EXPECT_EQ(TextInput.imeOpenStatus, 0);
  SwitchImeOpen(1);
  EXPECT_EQ(TextInput.imeOpenStatus, 1);
}

TEST(ImeCounting, CharactersOfDoubleByteText) {
  const std::string two = "あい";  // 0x82 0xA0 0x82 0xA2
  struct {
    const char* text;
    int n, characters;
  } inBytes[] = {{two.c_str(), 4, 2}, {two.c_str(), 3, 2}, {two.c_str(), 0, 0}, {two.c_str(), -1, 0},
                 {"a\x82", 5, 2},     {"ab", 1, 1}};
  for (const auto& c : inBytes) EXPECT_EQ(CountCharsInBytes(c.text, c.n), c.characters) << c.text << " " << c.n;
  struct {
    const char *first, *second;
    int equal;
  } equalCases[] = {{"\x82\xA0", "\x82\xA1", 0}, {"abc", "abd", 2}, {"あい", "あう", 1}, {"ab", "abc", 2}};
  for (const auto& c : equalCases) EXPECT_EQ(CountEqualChars(c.first, c.second), c.equal) << c.first;
  struct {
    const char *text, *find;
    int before;
  } findCases[] = {{"あいう", "う", 2}, {"あいう", "あ", -1}, {"あいう", "え", -1}, {"\x82\xA0" "a", "\xA0" "a", -1},
                   {"abあc", "c", 3}};
  for (const auto& c : findCases) EXPECT_EQ(CountCharsBeforeSubstring(c.text, c.find), c.before) << c.text;
}

}  // namespace
