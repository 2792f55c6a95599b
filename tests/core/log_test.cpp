#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "core/core_test_support.h"
#include "core/file_access.h"
#include "core/log.h"
#include "platform/host/headless/headless_host.h"

namespace {

class LogTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    SystemState.logFolder = workDir();
    AppLogOpen();
  }
  std::vector<std::string> Lines() { return ReadLogLines(workDir()); }
  std::string Bytes() { return ReadFileBytes(workDir() + "/AppLog.txt"); }
};

}  // namespace

TEST_F(LogTest, TextsContinueALineUntilItsLineFeed) {
  AppLogWrite("abc");
  AppLogWrite("def\n");
  AppLogWrite("next\n");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"T:abcdef", "T:next"}));
  // Every line feed reaches the file as CR LF.
  EXPECT_EQ(Bytes().find('\n'), Bytes().find("\r\n") + 1);
}

TEST_F(LogTest, TimeStampsCountMillisecondsSinceTheOpen) {
  headless::AdvanceMilliseconds(40000);
  AppLogOpen();
  headless::AdvanceMilliseconds(1234);
  AppLogWrite("a\n");
  std::string bytes = Bytes();
  int stamp = std::stoi(bytes);
  EXPECT_GE(stamp, 1234);
  EXPECT_LT(stamp, 1240);
  EXPECT_EQ(bytes.substr(bytes.find(':')), ":a\r\n");
  SystemState.timeStampsOff = 1;
  AppLogWrite("b\n");
  EXPECT_EQ(Bytes().substr(bytes.size()), "b\r\n");
}

TEST_F(LogTest, IndentTabsGoToTheFileAndTheDebuggerWithoutTheStamp) {
  headless::ClearDebugOutput();
  AppLogIndentIn();
  AppLogIndentIn();
  AppLogWrite("x\n");
  AppLogIndentOut();
  AppLogIndentOut();
  AppLogIndentOut();
  EXPECT_EQ(SystemState.logIndent, 0);
  AppLogWrite("y\n");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"T:\t\tx", "T:y"}));
  EXPECT_EQ(headless::DebugOutput(), "\t\tx\ny\n");
}

TEST_F(LogTest, JapaneseTextIsWrittenAsShiftJis) {
  AppLogWrite("ソフトをエラー終了します");
  const std::string expected = "\x83\x5C\x83\x74\x83\x67\x82\xF0\x83\x47\x83\x89\x81\x5B\x8F\x49\x97\xB9\x82\xB5\x82\xDC\x82\xB7";
  std::string bytes = Bytes();
  EXPECT_EQ(bytes.substr(bytes.find(':') + 1), expected);
}

TEST_F(LogTest, TheLogStaysInTheStartDirectoryAndTheCurrentDirectoryIsKept) {
  ASSERT_EQ(::mkdir("elsewhere", 0755), 0);
  ASSERT_EQ(::chdir("elsewhere"), 0);
  AppLogWrite("moved\n");
  char current[4096];
  ASSERT_NE(::getcwd(current, sizeof current), nullptr);
  EXPECT_EQ(std::string(current), workDir() + "/elsewhere");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"T:moved"}));
  EXPECT_EQ(::access("AppLog.txt", F_OK), -1);
}

TEST_F(LogTest, OpeningEmptiesTheLogAndWritesAnswerMinusOne) {
  EXPECT_EQ(AppLogWrite("old\n"), -1);
  EXPECT_EQ(AppLogWriteFormat("%d\n", 5), -1);
  AppLogOpen();
  EXPECT_EQ(Bytes(), "");
  // An empty text writes nothing, not even a stamp.
  AppLogWrite("");
  EXPECT_EQ(Bytes(), "");
  // Without a log folder (before start-up) or with logging off, nothing reaches the file.
  SystemState.logFolder.clear();
  AppLogWrite("dropped\n");
  SystemState.logFolder = workDir();
  SystemState.loggingOff = 1;
  AppLogWrite("dropped\n");
  EXPECT_EQ(Bytes(), "");
}

TEST_F(LogTest, FormattedTextsEndWithOneLineFeedAndLongOnesAreCut) {
  AppLogWriteFormat("value %d and %s", 42, "text");
  std::string longText(2000, 'a');
  AppLogWriteFormat("%s", longText.c_str());
  // A double-byte character that would straddle the cut is left out whole.
  std::string straddling(1021, 'b');
  straddling += "漢字";
  AppLogWriteFormat("%s", straddling.c_str());
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "T:value 42 and text");
  EXPECT_EQ(lines[1], "T:" + std::string(1022, 'a'));
  EXPECT_EQ(lines[2], "T:" + std::string(1021, 'b'));
}

TEST_F(LogTest, FatalExitShutsDownAndEndsWithItsLastText) {
  EXPECT_EXIT(ExitOnError("致命的な失敗"), ::testing::ExitedWithCode(255), "");
  std::vector<std::string> lines = Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.front(), "T:致命的な失敗");
  EXPECT_EQ(lines.back(), "T:ソフトをエラー終了します");
}

TEST_F(LogTest, FormattedFatalExit) {
  EXPECT_EXIT(ExitOnErrorFormat("code %d", 7), ::testing::ExitedWithCode(255), "");
  std::vector<std::string> lines = Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.front(), "T:code 7");
  EXPECT_EQ(lines.back(), "T:ソフトをエラー終了します");
}
