// The double-start marks of the SDL host: where they are kept and who can hold them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/host/sdl/sdl_host.h"
#include "support/headless_fixture.h"

namespace {

class SessionMarkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Keep("XDG_RUNTIME_DIR", runtime_);
    Keep("TMPDIR", temporary_);
    setenv("TMPDIR", scratch.path().c_str(), 1);
    unsetenv("XDG_RUNTIME_DIR");
  }
  void TearDown() override {
    Restore("XDG_RUNTIME_DIR", runtime_);
    Restore("TMPDIR", temporary_);
  }
  std::string Directory(const std::string& name, mode_t mode) {
    const std::string path = scratch.path() + "/" + name;
    mkdir(path.c_str(), 0700);
    chmod(path.c_str(), mode);
    return path;
  }
  std::string Fallback() const { return scratch.path() + "/vomak-" + std::to_string(geteuid()); }
  ScratchDirectory scratch;

 private:
  static void Keep(const char* name, std::string& value) {
    const char* v = std::getenv(name);
    value = v ? std::string(1, '=') + v : std::string();
  }
  static void Restore(const char* name, const std::string& value) {
    if (value.empty()) unsetenv(name);
    else setenv(name, value.c_str() + 1, 1);
  }
  std::string runtime_, temporary_;
};

// A directory another user could write would let that user take the mark first and stop every program of this one.
TEST_F(SessionMarkTest, OnlyTheUsersOwnDirectoriesKeepMarks) {
  const std::string own = Directory("own", 0700);
  const std::string open = Directory("open", 0777);
  const std::string groupWritable = Directory("group", 0770);
  struct Case {
    const char* what;
    std::string runtime;  // empty: unset
    std::string expected;
  } cases[] = {
      {"the runtime directory", own, own},
      {"no runtime directory", "", Fallback()},
      {"a runtime directory anyone may write", open, Fallback()},
      {"a runtime directory the group may write", groupWritable, Fallback()},
      {"a relative runtime directory", "own", Fallback()},
  };
  for (const Case& c : cases) {
    if (c.runtime.empty()) unsetenv("XDG_RUNTIME_DIR");
    else setenv("XDG_RUNTIME_DIR", c.runtime.c_str(), 1);
    EXPECT_EQ(host::SessionMarkDirectory(), c.expected) << c.what;
  }
  struct stat info {};
  ASSERT_EQ(lstat(Fallback().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(SessionMarkTest, AFallbackDirectoryOthersCouldReachIsNotUsed) {
  const std::string own = Directory("own", 0700);
  struct Case {
    const char* what;
    void (*make)(const std::string& fallback, const std::string& own);
  } cases[] = {
      {"open to all", [](const std::string& f, const std::string&) { mkdir(f.c_str(), 0700), chmod(f.c_str(), 0777); }},
      {"readable by the group", [](const std::string& f, const std::string&) { mkdir(f.c_str(), 0750); }},
      {"a link to a directory",
       [](const std::string& f, const std::string& o) { static_cast<void>(symlink(o.c_str(), f.c_str())); }},
      {"a plain file",
       [](const std::string& f, const std::string&) { close(open(f.c_str(), O_CREAT | O_WRONLY, 0600)); }},
      {"another user's",
       [](const std::string& f, const std::string&) {
         mkdir(f.c_str(), 0700);
         static_cast<void>(chown(f.c_str(), 4321, 4321));
       }},
  };
  for (const Case& c : cases) {
    if (std::string(c.what) == "another user's" && geteuid() != 0) continue;  // only root can give a directory away
    c.make(Fallback(), own);
    EXPECT_EQ(host::SessionMarkDirectory(), "") << c.what;
    std::error_code ignored;
    std::filesystem::remove(Fallback(), ignored);
  }
}

// A mark is held by one process at a time, for one class (in any case) of one session; it goes when its holder
// ends. What stands in the mark's place and is not the user's plain file is not trusted and not followed.
TEST_F(SessionMarkTest, OneProcessHoldsAClassOfASession) {
  const std::string dir = Directory("own", 0700);
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    close(release[1]);
    const int mark = host::TakeSessionMark(dir, "x11-:5", "Vomak");
    char byte = mark >= 0 ? 1 : 0, ignored = 0;
    static_cast<void>(write(ready[1], &byte, 1));
    static_cast<void>(read(release[0], &ignored, 1));
    _exit(0);
  }
  close(ready[1]);
  close(release[0]);
  char taken = 0;
  ASSERT_EQ(read(ready[0], &taken, 1), 1);
  ASSERT_EQ(taken, 1);
  errno = 0;
  EXPECT_EQ(host::TakeSessionMark(dir, "x11-:5", "VOMAK"), -1);
  EXPECT_EQ(errno, EWOULDBLOCK);
  const int otherDisplay = host::TakeSessionMark(dir, "x11-:6", "Vomak");
  const int otherClass = host::TakeSessionMark(dir, "x11-:5", "Other/Class");
  EXPECT_GE(otherDisplay, 0);
  EXPECT_GE(otherClass, 0);
  close(otherDisplay);
  close(otherClass);
  close(release[1]);
  int status = 0;
  waitpid(child, &status, 0);
  close(ready[0]);
  const int after = host::TakeSessionMark(dir, "x11-:5", "Vomak");
  EXPECT_GE(after, 0);
  close(after);

  // A link in the mark's place, to a file the process could write, is neither followed nor taken as a mark.
  const std::string target = scratch.path() + "/target";
  close(open(target.c_str(), O_CREAT | O_WRONLY, 0600));
  std::filesystem::remove(dir + "/window-x11-:7-VOMAK.lock");
  ASSERT_EQ(symlink(target.c_str(), (dir + "/window-x11-:7-VOMAK.lock").c_str()), 0);
  errno = 0;
  EXPECT_EQ(host::TakeSessionMark(dir, "x11-:7", "Vomak"), -1);
  EXPECT_NE(errno, EWOULDBLOCK);
  ASSERT_EQ(mkdir((dir + "/window-x11-:8-VOMAK.lock").c_str(), 0700), 0);
  errno = 0;
  EXPECT_EQ(host::TakeSessionMark(dir, "x11-:8", "Vomak"), -1);
  EXPECT_NE(errno, EWOULDBLOCK);
  // A pipe opens and locks as a file would; another user's file opens for root.
  ASSERT_EQ(mkfifo((dir + "/window-x11-:9-VOMAK.lock").c_str(), 0600), 0);
  errno = 0;
  EXPECT_EQ(host::TakeSessionMark(dir, "x11-:9", "Vomak"), -1);
  EXPECT_EQ(errno, EACCES);
  if (geteuid() == 0) {
    const std::string foreign = dir + "/window-x11-:10-VOMAK.lock";
    close(open(foreign.c_str(), O_CREAT | O_WRONLY, 0600));
    ASSERT_EQ(chown(foreign.c_str(), 4321, 4321), 0);
    errno = 0;
    EXPECT_EQ(host::TakeSessionMark(dir, "x11-:10", "Vomak"), -1);
    EXPECT_EQ(errno, EACCES);
  }
}

// Programs of any build find each other's marks: the name keeps letters, digits and ". _ - :", escapes every other
// byte, and is cut to 240 bytes before its ending.
TEST_F(SessionMarkTest, MarkNamesAreStable) {
  const std::string dir = Directory("own", 0700);
  const struct {
    const char* session;
    std::string className;
    std::string file;
  } cases[] = {
      {"x11-host.example_1:0", "My Class/\xC3\xA9", "window-x11-host.example_1:0-MY%20CLASS%2F%C3%A9.lock"},
      {"x11-:5", std::string(300, 'q'), "window-x11-:5-" + std::string(226, 'Q') + ".lock"},
  };
  for (const auto& c : cases) {
    const int mark = host::TakeSessionMark(dir, c.session, c.className);
    EXPECT_GE(mark, 0) << c.file;
    EXPECT_TRUE(std::filesystem::is_regular_file(dir + "/" + c.file)) << c.file;
    close(mark);
  }
}

}  // namespace
