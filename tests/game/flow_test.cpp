// The game's chain of scenes without a player: the splash, the title's blink, a closed window running the scenes
// on to an orderly end, and the save file's reading and writing at start-up.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "game/game_fixture.h"
#include "platform/host/headless/headless_input.h"

// Without a save file, or with one that may not be written (which the superuser may), the program ends with -1
// before any scene, the started library shut down, the file untouched and named on standard error.
TEST_F(GameTest, UnusableSaveFileEndsTheProgramBeforeAnyScene) {
  for (bool readOnly : {false, true}) {
    if (readOnly && ::geteuid() == 0) continue;
    ::unlink("file.sav");
    if (readOnly) WriteBytes("file.sav", SaveWords({5, 4})), ::chmod("file.sav", 0444);
    ResetSystemState();
    int scenes = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(Run([&](int, const headless::CapturedFrame& f, GameLoop&) { scenes += f.Rgb(0, 0) != 0; }), -1);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(readOnly ? "file.sav: Permission denied" : "file.sav: No such file or directory"), said.npos)
        << said;
    EXPECT_EQ(scenes, 0);
    EXPECT_TRUE(LogEndsWithShutdown());
    EXPECT_EQ(ReadBytes("file.sav"), readOnly ? SaveWords({5, 4}) : "");
  }
}

// Splash, then 61-frame blink cycles of the title (30 lit, 31 plain) at 25 ms a frame; closing the window leads
// through the start delay and the stage's loop test to the result screen, which ends the program with 0.
TEST_F(GameTest, TitleBlinksAndAClosedWindowEndsInOrder) {
  std::vector<uint32_t> colours;
  std::vector<uint64_t> times;
  int result = Run([&](int, const headless::CapturedFrame& frame, GameLoop&) {
    // Frames the library presents while it starts come before the splash.
    if (colours.empty() && frame.Rgb(320, 240) != kSplashColour) return;
    colours.push_back(frame.Rgb(320, 240));
    times.push_back(frame.milliseconds);
    if (colours.size() == 63) headless::Close();
  });
  EXPECT_EQ(result, 0);
  ASSERT_EQ(colours.size(), 63u);  // splash, 62 title frames; the result screen comes after the window is gone
  EXPECT_EQ(colours[0], kSplashColour);
  for (int i = 0; i < 62; ++i) {
    // The counter starts at 1 and is raised before drawing: the first title frame shows 2.
    int counter = (i + 1) % 61 + 1;
    EXPECT_EQ(colours[1 + i], kTitleColours[counter <= 30 ? 1 : 0]) << "title frame " << i;
  }
  // Presents meet the display's 60 Hz frames, so single gaps are 17 or 33 ms; they average 25 and a little.
  EXPECT_GE(times[1] - times[0], 2100u);  // the splash: 400 + 1300 + 400 ms at least
  EXPECT_GE(times[62] - times[1], 61u * 25 - 17);
  EXPECT_LE(times[62] - times[1], 61u * 25 + 34);
}

// The file is read once at start and written at the start of the game: missing words count 0, words above 9 add
// their value times their power of ten, and the write holds the decimal digits.
TEST_F(GameTest, SaveFileIsReadAsDigitsAndRewrittenAtTheGamesStart) {
  struct Case {
    std::string stored;
    uint32_t highScore;
  } cases[] = {
      {SaveWords({5, 4}), 45},                                       // 8 bytes
      {SaveWords({12, 3, 0, 0, 0, 0, 0, 0, 0, 0}), 42},              // damaged digits
      {SaveWords({0, 0, 2, 1, 3, 0, 0, 0, 0, 0}), 31200},
      {SaveWords({0, 0, 0, 0, 0, 0, 0, 0, 0, 5}), 705032704u},      // 5e9 wraps to 32 bits
      {"", 0},
  };
  for (const Case& c : cases) {
    WriteBytes("file.sav", c.stored);
    ResetSystemState();
    EXPECT_EQ(Run([](int, const headless::CapturedFrame&, GameLoop&) { headless::Close(); }), 0);
    EXPECT_EQ(game->highScore, c.highScore);
    EXPECT_EQ(ReadBytes("file.sav"), SaveDigits(c.highScore)) << c.highScore;
  }
}

// A write that fails after its file was opened (here: past the process's file size limit) leaves the previous
// file whole, and the game goes on.
TEST_F(GameTest, FailedSaveWriteKeepsThePreviousFile) {
  WriteBytes("file.sav", SaveWords({0, 0, 2, 1, 3}));
  ResetSystemState();
  rlimit kept{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &kept), 0);
  rlimit small = kept;
  small.rlim_cur = 20;
  auto* keptSignal = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const int result = Run([](int, const headless::CapturedFrame&, GameLoop&) { headless::Close(); });
  ::setrlimit(RLIMIT_FSIZE, &kept);
  std::signal(SIGXFSZ, keptSignal);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadBytes("file.sav"), SaveWords({0, 0, 2, 1, 3}));
  EXPECT_EQ(::access("file.sav.tmp", F_OK), -1);
}

// Whatever holds the temporary file's name, the score is written: a link (followed nowhere, its target kept), a
// FIFO or a dangling link is replaced by the temporary file; a directory is written around, in place.
TEST_F(GameTest, SaveTemporaryInTheWayIsReplacedOrWrittenAround) {
  ASSERT_EQ(::mkdir("keep", 0700), 0);
  enum Setup { kLinkToFile, kLinkToFull, kFifo, kDanglingLink, kDirectory };
  for (Setup setup : {kLinkToFile, kLinkToFull, kFifo, kDanglingLink, kDirectory}) {
    SCOPED_TRACE(setup);
    WriteBytes("file.sav", SaveWords({0, 0, 2, 1, 3}));
    WriteBytes("keep/other", "untouched");
    const int made = setup == kLinkToFile   ? ::symlink("keep/other", "file.sav.tmp")
                     : setup == kLinkToFull ? ::symlink("/dev/full", "file.sav.tmp")
                     : setup == kFifo       ? ::mkfifo("file.sav.tmp", 0600)
                     : setup == kDanglingLink ? ::symlink("keep/missing", "file.sav.tmp")
                                              : ::mkdir("file.sav.tmp", 0700);
    ASSERT_EQ(made, 0);
    ResetSystemState();
    EXPECT_EQ(Run([](int, const headless::CapturedFrame&, GameLoop&) { headless::Close(); }), 0);
    EXPECT_EQ(ReadBytes("file.sav"), SaveDigits(31200));
    EXPECT_EQ(ReadBytes("keep/other"), "untouched");
    EXPECT_EQ(::access("keep/missing", F_OK), -1);
    struct stat left {};
    EXPECT_EQ(::lstat("file.sav.tmp", &left) == 0, setup == kDirectory);
    if (setup == kDirectory) {
      EXPECT_TRUE(S_ISDIR(left.st_mode));
    }
    ::rmdir("file.sav.tmp");
  }
}

// Only a regular file is read and written. Through a link the target is rewritten and the link kept; a FIFO, a link
// to one or a directory named file.sav ends the program before any scene (a FIFO with bytes waiting in it would be
// read, so it must be refused by its kind); a target that becomes a FIFO before a later write ends the program
// there, and the FIFO stays what it was.
TEST_F(GameTest, SaveFileIsOnlyEverARegularFile) {
  ASSERT_EQ(::mkdir("keep", 0700), 0);
  enum Setup { kLink, kFifo, kLinkToFifo, kDirectory, kTargetTurnsFifo };
  for (Setup setup : {kLink, kFifo, kLinkToFifo, kDirectory, kTargetTurnsFifo}) {
    SCOPED_TRACE(setup);
    ::unlink("file.sav"), ::rmdir("file.sav"), ::unlink("keep/scores"), ::unlink("keep/pipe");
    WriteBytes("keep/scores", SaveWords({0, 0, 2, 1, 3}));
    ASSERT_EQ(::mkfifo("keep/pipe", 0600), 0);
    // Held open for reading and writing, with a whole save file's bytes in it: opening it never blocks.
    int pipe = ::open("keep/pipe", O_RDWR | O_NONBLOCK);
    ASSERT_GE(pipe, 0);
    ASSERT_EQ(::write(pipe, SaveDigits(7).data(), 40), 40);
    const int made = setup == kFifo        ? ::rename("keep/pipe", "file.sav")
                     : setup == kLinkToFifo ? ::symlink("keep/pipe", "file.sav")
                     : setup == kDirectory  ? ::mkdir("file.sav", 0700)
                                            : ::symlink("keep/scores", "file.sav");
    ASSERT_EQ(made, 0);
    ResetSystemState();
    int scenes = 0;
    bool swapped = false;
    const int result = Run([&](int, const headless::CapturedFrame& f, GameLoop& g) {
      scenes += f.Rgb(0, 0) != 0;
      if (setup != kTargetTurnsFifo) return headless::Close();
      // On the title the target becomes a FIFO; the reset chord then writes the file again.
      if (!swapped && g.titleBlinkCounter > 1) {
        swapped = ::unlink("keep/scores") == 0 && ::rename("keep/pipe", "keep/scores") == 0;
        for (int key : {0x0E, 0x2A, 0x1D}) headless::PressKey(key);
      }
    });
    for (int key : {0x0E, 0x2A, 0x1D}) headless::ReleaseKey(key);
    ::close(pipe);
    struct stat link {}, target {};
    ::lstat("file.sav", &link);
    ::stat("file.sav", &target);
    if (setup == kLink) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(game->highScore, 31200u);
      EXPECT_TRUE(S_ISLNK(link.st_mode));
      EXPECT_TRUE(S_ISREG(target.st_mode));
      EXPECT_EQ(ReadBytes("keep/scores"), SaveDigits(31200));
      continue;
    }
    EXPECT_EQ(result, -1);
    EXPECT_EQ(scenes > 0, setup == kTargetTurnsFifo);
    EXPECT_TRUE(swapped || setup != kTargetTurnsFifo);
    EXPECT_TRUE(LogEndsWithShutdown());
    EXPECT_EQ(S_ISLNK(link.st_mode), setup == kLinkToFifo || setup == kTargetTurnsFifo);
    EXPECT_EQ(S_ISFIFO(target.st_mode), setup != kDirectory);
    EXPECT_EQ(::access("keep/scores.tmp", F_OK), -1);
    EXPECT_EQ(::access("file.sav.tmp", F_OK), -1);
  }
}
