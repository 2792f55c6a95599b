#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <iterator>
#include <string>

#include "support/headless_fixture.h"

namespace {

std::string ProgramPath() {
  char self[PATH_MAX] = {};
  ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  std::string path(self, length > 0 ? static_cast<size_t>(length) : 0);
  // The test program lies in <build>/tests, the game in <build>.
  path = path.substr(0, path.rfind('/'));
  return path.substr(0, path.rfind('/')) + "/qelt";
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

// The game on a dummy video device: it opens its window and shows its title; a close request (the terminal's
// interrupt arrives as the close box does) runs the scenes on to the result screen, which shuts the library down
// and ends with exit code 0.
TEST(Qelt, OpensItsWindowAndEndsWhenClosed) {
  ScratchDirectory scratch;
  std::string program = ProgramPath();
  if (::access(program.c_str(), X_OK) != 0) GTEST_SKIP() << "no game program at " << program;
  std::ofstream(scratch.path() + "/file.sav", std::ios::binary) << std::string(40, '\0');
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A network namespace of its own gives the game its own instance lock: a copy of the game that a person runs on
    // this machine meanwhile is not seen. Where namespaces are refused, such a copy makes the test skip below.
    ::unshare(CLONE_NEWUSER | CLONE_NEWNET);
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Wait (real time, bounded only against a hang) until start-up has finished: the last start-up line is in the log.
  const int looks = kHangSeconds * 20;  // one every 50 ms
  const std::string started = "DirectInput関係初期化処理";
  // A game already running on this machine (a player's) makes this one end at its double-start check.
  const std::string otherInstance = "２重起動されています、ソフトを終了します";
  std::string log;
  for (int i = 0; i < looks && log.find(started) == std::string::npos; ++i) {
    ::usleep(50000);
    log = ReadAll("AppLog.txt");
    if (log.find(otherInstance) != std::string::npos) {
      int ignored = 0;
      ::waitpid(child, &ignored, 0);
      GTEST_SKIP() << "another copy of the game is running on this machine";
    }
  }
  ASSERT_NE(log.find(started), std::string::npos) << log;
  ::kill(child, SIGTERM);
  int status = 0;
  for (int i = 0; i < looks; ++i) {
    if (::waitpid(child, &status, WNOHANG) == child) break;
    ::usleep(50000);
    if (i == looks - 1) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      FAIL() << "the game did not end";
    }
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  log = ReadAll("AppLog.txt");
  // The shut-down block follows, ending with COM.
  const std::string comEnded = "ＣＯＭを終了... 完了\r\n";
  ASSERT_GE(log.size(), comEnded.size());
  EXPECT_EQ(log.substr(log.size() - comEnded.size()), comEnded);
}
