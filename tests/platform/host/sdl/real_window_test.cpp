// The SDL host's real window on a virtual X server of the test program's own: keys and the pointer go through the
// X server and travel SDL's whole path to the library, and what the server shows of the window is read back from
// the server.
#include <SDL.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/core_test_support.h"
#include "input/text_input.h"
#include "platform/host/input.h"
#include "platform/host/menu_bar.h"
#include "platform/host/platform_state.h"
#include "platform/host/sdl/sdl_host.h"
#include "platform/win32/gdi.h"
#include "platform/win32/region.h"
#include "platform/win32/user.h"
#include "support/virtual_display.h"
#include "vomak.h"

namespace {

// Key-ups and button-ups as SDL takes them from the X server: the host has seen a key or click once its count moves.
int releasesSeen = 0;
int CountReleases(void*, SDL_Event* event) {
  if (event->type == SDL_KEYUP || event->type == SDL_MOUSEBUTTONUP) ++releasesSeen;
  return 0;
}

double Seconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// This test program run again as a program on the library (SecondProgram, below) on a display of the test's
// choosing, its stdout and stderr read back. `mode` "start": it starts the library and ends; "run": it runs a
// frame loop until the pump answers -1, then says "closed"; "stuck": so, and its shut-down then never ends;
// "fail": once started, it makes an X request that fails, then says "survived" and ends. A child that has not
// ended kHangSeconds after it was asked to is taken to hang and killed.
class ChildProgram {
 public:
  ChildProgram(const std::string& displayName, const std::string& mode) {
    // The environment is made before the fork: the child of a program with threads only execs.
    // It talks to the X server, whose libraries leave allocations behind that the leak checker cannot name.
    std::vector<std::string> settings{"DISPLAY=" + displayName, "VOMAK_SECOND_PROGRAM=" + mode,
                                      "LSAN_OPTIONS=detect_leaks=0"};
    for (char** e = environ; *e; ++e) {
      const std::string setting = *e;
      if (setting.rfind("DISPLAY=", 0) != 0 && setting.rfind("LSAN_OPTIONS=", 0) != 0 &&
          setting.rfind("VOMAK_SECOND_PROGRAM=", 0) != 0) {
        settings.push_back(setting);
      }
    }
    std::vector<char*> environment;
    for (std::string& setting : settings) environment.push_back(setting.data());
    environment.push_back(nullptr);
    char program[] = "second";
    char* arguments[] = {program, nullptr};
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    child_ = fork();
    if (child_ == 0) {
      dup2(out[1], 1);
      dup2(out[1], 2);
      signal(SIGINT, SIG_DFL);  // a shell may have left it ignored, and SDL then leaves it so
      execve("/proc/self/exe", arguments, environment.data());
      _exit(127);
    }
    close(out[1]);
    out_ = out[0];
    if (child_ < 0) Close();
  }
  ~ChildProgram() {
    if (child_ > 0) Kill();
    Close();
  }
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  // Reads until the output holds the text: false when the child ended, or hung, first.
  bool Said(const std::string& text) {
    const double end = Seconds() + kHangSeconds;
    while (output_.find(text) == std::string::npos) {
      if (!ReadSome(end)) return false;
    }
    return true;
  }
  void Signal(int number) const { kill(child_, number); }
  // The exit status once the child ends (128 and the signal's number when a signal ended it); -1 when it hung.
  int Ended() {
    const double end = Seconds() + kHangSeconds;
    while (ReadSome(end)) {
    }
    if (out_ >= 0) {
      Kill();  // still running with its output open
      return -1;
    }
    int status = 0;
    while (waitpid(child_, &status, 0) < 0 && errno == EINTR) {
    }
    child_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  const std::string& output() const { return output_; }

 private:
  // Takes what the child wrote by the deadline; false at its end of output (the descriptor then closed) or at
  // the deadline.
  bool ReadSome(double end) {
    if (out_ < 0) return false;
    const double left = end - Seconds();
    pollfd p{out_, POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0) return false;
    char buffer[4096];
    const ssize_t n = read(out_, buffer, sizeof buffer);
    if (n <= 0) {
      Close();
      return false;
    }
    output_.append(buffer, static_cast<size_t>(n));
    return true;
  }
  void Kill() {
    kill(child_, SIGKILL);
    while (waitpid(child_, nullptr, 0) < 0 && errno == EINTR) {
    }
    child_ = -1;
  }
  void Close() {
    if (out_ >= 0) close(out_);
    out_ = -1;
  }
  pid_t child_ = -1;
  int out_ = -1;
  std::string output_;
};

class RealWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    display = new VirtualDisplay;
    // The marks of running programs go to a directory of the test's own, removed after it.
    runtime = new ScratchDirectory;
    setenv("XDG_RUNTIME_DIR", runtime->path().c_str(), 1);
    if (display->started()) setenv("DISPLAY", display->name().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    // Sound goes to SDL's own silent device, whatever the machine has.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }
  static void TearDownTestSuite() {
    delete runtime;
    delete display;
    runtime = nullptr;
    display = nullptr;
    unsetenv("XDG_RUNTIME_DIR");
  }
  void SetUp() override {
    if (!display->started()) GTEST_SKIP() << display->failure();
    scratch = std::make_unique<ScratchDirectory>();
    host::ResetPlatform(host::CreateSdlHost());
    SDL_AddEventWatch(&CountReleases, nullptr);
  }
  void TearDown() override {
    SDL_DelEventWatch(&CountReleases, nullptr);
    headless::Start();  // closes the SDL host
    scratch.reset();
  }

  // Pumps until done answers true (the X server answers in milliseconds); false when that takes so long that it is
  // a hang.
  static bool Until(const std::function<void()>& pump, const std::function<bool()>& done) {
    const double end = Seconds() + kHangSeconds;
    while (Seconds() < end) {
      pump();
      if (done()) return true;
    }
    return false;
  }
  // The window with this title, shown on the X server and holding the keyboard.
  unsigned long ShowAndFocus(const std::function<void()>& pump, const std::string& title) {
    unsigned long shown = 0;
    EXPECT_TRUE(Until(pump, [&] { return (shown = display->ShownWindow(title)) != 0; })) << title;
    if (!shown) return 0;
    display->Focus(shown);
    EXPECT_TRUE(Until(pump, [] { return SDL_GetKeyboardFocus() != nullptr; })) << title;
    return shown;
  }
  // A title no window of an earlier test had: the server may not have seen that one go yet.
  static std::string Title(const char* what) { return what + std::to_string(++windowsMade); }
  static inline int windowsMade = 0;
  // A key pressed and let go, or the pointer pressed and let go at a point, and taken by the host.
  void Tap(const std::function<void()>& pump, int keyCode) {
    const int before = releasesSeen;
    display->Key(keyCode, true);
    display->Key(keyCode, false);
    EXPECT_TRUE(Until(pump, [&] { return releasesSeen > before; }));
  }
  void Click(const std::function<void()>& pump, int x, int y) {
    const int before = releasesSeen;
    display->PointerTo(x, y);
    display->Button(true);
    display->Button(false);
    EXPECT_TRUE(Until(pump, [&] { return releasesSeen > before; }));
  }

  static VirtualDisplay* display;
  static ScratchDirectory* runtime;
  std::unique_ptr<ScratchDirectory> scratch;
};
VirtualDisplay* RealWindowTest::display = nullptr;
ScratchDirectory* RealWindowTest::runtime = nullptr;

// ---- The library's main window ----

class LibraryWindowTest : public RealWindowTest {
 protected:
  void SetUp() override {
    RealWindowTest::SetUp();
    if (IsSkipped()) return;
    ResetSystemState();
    SystemState.noGraphics = 1;
    SystemState.windowModeFlag = 1;
    const std::string title = Title("Real window ");
    ASSERT_EQ(SetMainWindowTitle(title.c_str()), 0);
    ASSERT_EQ(StartupLibrary(), 0);
    xWindow = ShowAndFocus(pump, title);
    ASSERT_NE(xWindow, 0u);
  }
  void TearDown() override {
    if (!IsSkipped()) ShutdownLibrary();
    RealWindowTest::TearDown();
  }
  static std::string TakeTyped() {
    std::string typed;
    unsigned char bytes[2];
    while (int n = TakeInputChar(bytes, 1)) typed.append(reinterpret_cast<char*>(bytes), n);
    return typed;
  }
  const std::function<void()> pump = [] { PumpWindowMessages(); };
  unsigned long xWindow = 0;
};

// Every key of a PC keyboard the X server has, by its XKB name: the DirectInput key code it holds down, the bytes
// it types into the character ring (US layout, Num Lock off; the editing keys give their control codes) and the
// pad bit it sets with the keyboard merged. The lock keys come last: they change what later keys type.
struct KeyRow {
  const char* key;
  int code;
  const char* typed;
  int padBit;
};
const KeyRow kKeys[] = {
    {"ESC", 0x01, "\x1B", 0x1000}, {"AE01", 0x02, "1", 0}, {"AE02", 0x03, "2", 0}, {"AE03", 0x04, "3", 0},
    {"AE04", 0x05, "4", 0}, {"AE05", 0x06, "5", 0}, {"AE06", 0x07, "6", 0}, {"AE07", 0x08, "7", 0},
    {"AE08", 0x09, "8", 0}, {"AE09", 0x0A, "9", 0}, {"AE10", 0x0B, "0", 0}, {"AE11", 0x0C, "-", 0},
    {"AE12", 0x0D, "=", 0}, {"BKSP", 0x0E, "\x08", 0}, {"TAB", 0x0F, "\x09", 0}, {"AD01", 0x10, "q", 0x400},
    {"AD02", 0x11, "w", 0x800}, {"AD03", 0x12, "e", 0}, {"AD04", 0x13, "r", 0}, {"AD05", 0x14, "t", 0},
    {"AD06", 0x15, "y", 0}, {"AD07", 0x16, "u", 0}, {"AD08", 0x17, "i", 0}, {"AD09", 0x18, "o", 0},
    {"AD10", 0x19, "p", 0}, {"AD11", 0x1A, "[", 0}, {"AD12", 0x1B, "]", 0}, {"RTRN", 0x1C, "\x0D", 0},
    {"LCTL", 0x1D, "", 0}, {"AC01", 0x1E, "a", 0x80}, {"AC02", 0x1F, "s", 0x100}, {"AC03", 0x20, "d", 0x200},
    {"AC04", 0x21, "f", 0}, {"AC05", 0x22, "g", 0}, {"AC06", 0x23, "h", 0}, {"AC07", 0x24, "j", 0},
    {"AC08", 0x25, "k", 0}, {"AC09", 0x26, "l", 0}, {"AC10", 0x27, ";", 0}, {"AC11", 0x28, "'", 0},
    {"TLDE", 0x29, "`", 0}, {"LFSH", 0x2A, "", 0}, {"BKSL", 0x2B, "\\", 0}, {"AB01", 0x2C, "z", 0x10},
    {"AB02", 0x2D, "x", 0x20}, {"AB03", 0x2E, "c", 0x40}, {"AB04", 0x2F, "v", 0}, {"AB05", 0x30, "b", 0},
    {"AB06", 0x31, "n", 0}, {"AB07", 0x32, "m", 0}, {"AB08", 0x33, ",", 0}, {"AB09", 0x34, ".", 0},
    {"AB10", 0x35, "/", 0}, {"RTSH", 0x36, "", 0}, {"KPMU", 0x37, "*", 0}, {"LALT", 0x38, "", 0},
    {"SPCE", 0x39, " ", 0x2000}, {"FK01", 0x3B, "", 0}, {"FK02", 0x3C, "", 0}, {"FK03", 0x3D, "", 0},
    {"FK04", 0x3E, "", 0}, {"FK05", 0x3F, "", 0}, {"FK06", 0x40, "", 0}, {"FK07", 0x41, "", 0},
    {"FK08", 0x42, "", 0}, {"FK09", 0x43, "", 0}, {"FK10", 0x44, "", 0}, {"KP7", 0x47, "", 0},
    {"KP8", 0x48, "", 0x8}, {"KP9", 0x49, "", 0}, {"KPSU", 0x4A, "-", 0}, {"KP4", 0x4B, "", 0x2},
    {"KP5", 0x4C, "", 0}, {"KP6", 0x4D, "", 0x4}, {"KPAD", 0x4E, "+", 0}, {"KP1", 0x4F, "", 0},
    {"KP2", 0x50, "", 0x1}, {"KP3", 0x51, "", 0}, {"KP0", 0x52, "", 0}, {"KPDL", 0x53, "", 0},
    {"LSGT", 0x56, "<", 0}, {"FK11", 0x57, "", 0}, {"FK12", 0x58, "", 0}, {"FK13", 0x64, "", 0},
    {"FK14", 0x65, "", 0}, {"FK15", 0x66, "", 0}, {"HKTG", 0x70, "", 0}, {"AB11", 0x73, "", 0},
    {"HENK", 0x79, "", 0}, {"MUHE", 0x7B, "", 0}, {"AE13", 0x7D, "", 0}, {"KPEN", 0x9C, "\x0D", 0},
    {"RCTL", 0x9D, "", 0}, {"KPDV", 0xB5, "/", 0}, {"PRSC", 0xB7, "", 0}, {"RALT", 0xB8, "", 0},
    {"PAUS", 0xC5, "", 0}, {"HOME", 0xC7, "", 0}, {"UP", 0xC8, "\x1E", 0x8}, {"PGUP", 0xC9, "", 0},
    {"LEFT", 0xCB, "\x1D", 0x2}, {"RGHT", 0xCD, "\x1C", 0x4}, {"END", 0xCF, "", 0}, {"DOWN", 0xD0, "\x1F", 0x1},
    {"PGDN", 0xD1, "", 0}, {"INS", 0xD2, "", 0}, {"DELE", 0xD3, "\x10", 0}, {"LWIN", 0xDB, "", 0},
    {"RWIN", 0xDC, "", 0}, {"COMP", 0xDD, "", 0}, {"SCLK", 0x46, "", 0}, {"NMLK", 0x45, "", 0},
    {"CAPS", 0x3A, "", 0},
};

TEST_F(LibraryWindowTest, EveryKeyReachesTheKeyStateAndTheRingWithItsCodes) {
  TakeTyped();
  for (const KeyRow& row : kKeys) {
    const int keyCode = display->KeyCode(row.key);
    ASSERT_NE(keyCode, 0) << row.key;
    display->Key(keyCode, true);
    EXPECT_TRUE(Until(pump, [&] { return QueryKeyDown(row.code) == 1; })) << row.key;
    for (int code = 0; code < 256; ++code) {
      if (code != row.code) {
        EXPECT_EQ(QueryKeyDown(code), 0) << row.key << " also holds " << code;
      }
    }
    EXPECT_EQ(GetPadInputBits(0x1000), row.padBit) << row.key;
    display->Key(keyCode, false);
    EXPECT_TRUE(Until(pump, [&] { return QueryKeyDown(row.code) == 0; })) << row.key;
    for (int i = 0; i < 10; ++i) PumpWindowMessages();  // what the key typed is posted by now
    EXPECT_EQ(TakeTyped(), row.typed) << row.key;
  }
  for (const char* lock : {"SCLK", "NMLK", "CAPS"}) Tap(pump, display->KeyCode(lock));  // the locks off again
}

// Text the keyboard layout makes of a key arrives as its Shift-JIS bytes, lead byte first; a character Shift-JIS
// lacks is left out.
TEST_F(LibraryWindowTest, TypedCharactersArriveAsShiftJisBytes) {
  const int keyCode = display->KeyCode("AC01");
  ASSERT_NE(keyCode, 0);
  struct Case {
    uint32_t character;
    const char* bytes;
  } cases[] = {{0x3042, "\x82\xA0"}, {0x6F22, "\x8A\xBF"}, {0xFF76, "\xB6"}, {0x7E, "~"}, {0x20AC, ""}};
  TakeTyped();
  for (const Case& c : cases) {
    display->MapKeyToCharacter(keyCode, c.character);
    Tap(pump, keyCode);
    for (int i = 0; i < 10; ++i) PumpWindowMessages();
    EXPECT_EQ(TakeTyped(), c.bytes) << std::hex << c.character;
  }
  display->MapKeyToCharacter(keyCode, 'a');
}

// The main window is where the window code puts it: the client area, 640 x 480, centred across the screen.
TEST_F(LibraryWindowTest, TheRealWindowLiesOverTheClientArea) {
  HWND window = GetLibraryWindowHandle();
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  const VirtualDisplay::Box place = display->Place(xWindow);
  EXPECT_EQ(place.x, (1024 - 640) / 2);
  EXPECT_EQ(place.x, origin.x);
  EXPECT_EQ(place.y, origin.y);
  EXPECT_EQ(place.width, 640);
  EXPECT_EQ(place.height, 480);
  // Moved by the program, it follows.
  RECT r{};
  GetWindowRect(window, &r);
  SetWindowPos(window, nullptr, r.left - 50, r.top + 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_TRUE(Until(pump, [&] {
    const VirtualDisplay::Box moved = display->Place(xWindow);
    return moved.x == origin.x - 50 && moved.y == origin.y + 20;
  }));
}

// The main window started as the game starts it is shown once, at 640 x 480, and keeps that size through its
// first frames.
TEST_F(RealWindowTest, TheMainWindowIsShownAtItsSizeAndKeepsIt) {
  std::vector<std::string> changes;  // the real window shown (at its size then) or sized, as SDL tells
  const SDL_EventFilter record = [](void* out, SDL_Event* e) {
    const int kind = e->type == SDL_WINDOWEVENT ? e->window.event : -1;
    if (kind == SDL_WINDOWEVENT_SHOWN || kind == SDL_WINDOWEVENT_SIZE_CHANGED) {
      int w = 0, h = 0;
      SDL_GetWindowSize(SDL_GetWindowFromID(e->window.windowID), &w, &h);
      static_cast<std::vector<std::string>*>(out)->push_back(
          (kind == SDL_WINDOWEVENT_SHOWN ? "shown " : "sized ") + std::to_string(w) + " x " + std::to_string(h));
    }
    return 0;
  };
  ResetSystemState();
  ChangeWindowMode(1);
  SDL_AddEventWatch(record, &changes);
  ASSERT_EQ(StartupLibrary(), 0);
  const std::function<void()> frame = [] { ClearDrawTarget(); G_DDraw_FlipScreen(); PumpWindowMessages(); };
  EXPECT_TRUE(Until(frame, [&] { return !changes.empty(); }));
  for (int i = 0; i < 5; ++i) frame();
  SDL_DelEventWatch(record, &changes);
  ShutdownLibrary();
  EXPECT_EQ(changes, std::vector<std::string>{"shown 640 x 480"});
}

// The double-start check is made between programs: a second program on the same display ends at once with
// status 0 and says why; one on another display runs beside it, and one on the same display once the first's
// window has gone.
TEST_F(LibraryWindowTest, ASecondProgramOnTheDisplayEndsAndOneOnAnotherRuns) {
  struct Run {
    int status = -1;
    std::string output;
  };
  auto runSecond = [](const std::string& displayName) {
    ChildProgram second(displayName, "start");
    Run run;
    run.status = second.Ended();
    run.output = second.output();
    return run;
  };
  const std::string refused = "another program on this library is already running";
  for (const std::string& same : {display->name(), display->name() + ".0"}) {
    Run second = runSecond(same);
    EXPECT_EQ(second.status, 0) << same;
    EXPECT_NE(second.output.find(refused), std::string::npos) << same << ": " << second.output;
    EXPECT_EQ(second.output.find("started: 0"), std::string::npos) << same;
  }
  VirtualDisplay other;
  ASSERT_TRUE(other.started()) << other.failure();
  Run beside = runSecond(other.name());
  EXPECT_EQ(beside.status, 0);
  EXPECT_NE(beside.output.find("started: 0"), std::string::npos) << beside.output;
  EXPECT_EQ(beside.output.find(refused), std::string::npos);
  // The mark goes with this program's window: the next program on the display runs.
  ShutdownLibrary();
  Run after = runSecond(display->name());
  EXPECT_NE(after.output.find("started: 0"), std::string::npos) << after.output;
}

// Something other than a plain file of the user's where a class's mark goes turns the double-start check off for
// the class, and standard error says so, once; the window is made all the same.
TEST_F(RealWindowTest, AMarkThatCannotBeTakenTurnsTheCheckOffAndSaysSo) {
  const std::string mark = runtime->path() + "/window-x11-" + display->name() + "-MARKTEST.lock";
  const std::pair<std::function<int()>, const char*> cases[] = {
      {[&] { return close(open(mark.c_str(), O_CREAT | O_WRONLY, 0600)); }, nullptr},
      {[&] { return symlink("/", mark.c_str()); }, "a symbolic link stands there"},
      {[&] { return mkfifo(mark.c_str(), 0600); }, "something other than a plain file stands there"},
      {[&] { return mkdir(mark.c_str(), 0700); }, "a directory stands there"},
  };
  WNDCLASSEXA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "MarkTest";
  for (const auto& [make, why] : cases) {
    host::ResetPlatform(host::CreateSdlHost());
    ASSERT_NE(RegisterClassExA(&windowClass), 0);
    ASSERT_EQ(make(), 0) << why;
    testing::internal::CaptureStderr();
    EXPECT_EQ(FindWindowA("MarkTest", nullptr), nullptr) << why;
    EXPECT_TRUE(DestroyWindow(
        CreateWindowExA(0, "MarkTest", "mark", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr)));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              why ? "vomak: the mark of running programs " + mark + " cannot be used (" + why +
                        "), so a second program on this display is not detected\n"
                  : "");
    std::remove(mark.c_str());
  }
}

// A program asked to end by a signal, or whose window another client destroys, closes its window as the close box
// does, and its loop ends through the pump, with a window manager framing the window as on a desktop or without one;
// a second signal ends a program whose shut-down is stuck at once. A program whose display goes away ends at once,
// saying why, and does not spin on the lost connection; a failed X request of its own about no window of its own
// still reaches the handler that was there before (SDL's, then Xlib's, which ends the program).
TEST_F(RealWindowTest, AProgramEndsWhenInterruptedOrWhenItsDisplayGoes) {
  constexpr int kWindowDestroyed = -1, kDisplayGone = -2, kNothing = 0;
  const struct Case {
    const char* what;
    const char* mode;
    int end;  // a signal, or what else happens to the program
    int status;
    const char* said;
  } cases[] = {
      {"terminated", "run", SIGTERM, 0, "closed"},
      {"interrupted", "run", SIGINT, 0, "closed"},
      {"its window destroyed", "run", kWindowDestroyed, 0, "closed"},
      {"terminated, then interrupted in a stuck shut-down", "stuck", SIGTERM, 128 + SIGINT, "closed"},
      {"its display gone", "run", kDisplayGone, 1, "vomak: the connection to the display :"},
      {"a request of its own failed", "fail", kNothing, 1, "BadWindow"},
  };
  for (const bool manager : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.what << (manager ? ", under a window manager" : ""));
      auto own = std::make_unique<VirtualDisplay>(manager);
      ASSERT_TRUE(own->started()) << own->failure();
      ChildProgram child(own->name(), c.mode);
      ASSERT_TRUE(child.Said("started: 0\n")) << child.output();
      unsigned long shown = 0;
      if (c.end == kWindowDestroyed) {
        ASSERT_TRUE(Until([] {}, [&] { return (shown = own->ShownWindow("second")) != 0; }));
        own->Destroy(shown);
      } else if (c.end == kDisplayGone) {
        own.reset();
      } else if (c.end != kNothing) {
        child.Signal(c.end);
      }
      if (std::string(c.mode) == "stuck") {
        ASSERT_TRUE(child.Said("closed\n")) << child.output();
        child.Signal(SIGINT);
      }
      EXPECT_EQ(child.Ended(), c.status) << child.output();
      EXPECT_NE(child.output().find(c.said), std::string::npos) << child.output();
    }
  }
}

// ---- A window of the platform's own: its menu bar and its shape ----

std::vector<UINT>* commands = nullptr;

LRESULT RecordCommands(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND && commands) commands->push_back(LOWORD(wparam));
  return DefWindowProcA(window, message, wparam, lparam);
}

class PlatformWindowTest : public RealWindowTest {
 protected:
  void SetUp() override {
    RealWindowTest::SetUp();
    if (IsSkipped()) return;
    commands = &seen;
    WNDCLASSEXA c{};
    c.lpfnWndProc = &RecordCommands;
    c.lpszClassName = "RealWindowTest";
    ASSERT_NE(RegisterClassExA(&c), 0);
    title = Title("Platform window ");
    window = CreateWindowExA(0, "RealWindowTest", title.c_str(), WS_POPUP | WS_CAPTION, 100, 60, 646, 505,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    commands = nullptr;
    RealWindowTest::TearDown();
  }
  unsigned long Show() {
    ShowWindow(window, SW_SHOW);
    return ShowAndFocus(pump, title);
  }
  const std::function<void()> pump = [] {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  };
  HWND window = nullptr;
  std::string title;
  std::vector<UINT> seen;
};

// The menu by the pointer and by the keys: each way ends in the command of the item chosen, or in none.
TEST_F(PlatformWindowTest, TheMenuDeliversTheCommandChosenByPointerOrKeys) {
  HMENU file = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, 101, "&Open");
  AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(file, MF_STRING, 102, "&Quit");
  HMENU bar = CreateMenu();
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
  AppendMenuA(bar, MF_STRING, 201, "&Help");
  SetMenu(window, bar);
  const unsigned long xWindow = Show();
  ASSERT_NE(xWindow, 0u);
  // A step is a key's XKB name, or "bar N" / "item N" for a click on the bar's or the open drop-down's Nth item,
  // or "away" for a click on the client area.
  struct Case {
    const char* what;
    std::vector<std::string> steps;
    std::vector<UINT> chosen;
  } cases[] = {
      {"a click on a command of the bar", {"bar 1"}, {201}},
      {"a click on an item of a drop-down", {"bar 0", "item 2"}, {102}},
      {"a click on a separator, then away", {"bar 0", "item 1", "away"}, {}},
      {"F10, Enter, Enter", {"FK10", "RTRN", "RTRN"}, {101}},
      {"F10, Down, Down, Enter", {"FK10", "DOWN", "DOWN", "RTRN"}, {102}},
      {"Alt, Right, Enter", {"LALT", "RGHT", "RTRN"}, {201}},
      {"Alt, Left, Enter", {"LALT", "LEFT", "RTRN"}, {201}},
      {"F10, Down, Escape, Escape, Enter", {"FK10", "DOWN", "ESC", "ESC", "RTRN"}, {}},
  };
  for (const Case& c : cases) {
    seen.clear();
    for (const std::string& step : c.steps) {
      const VirtualDisplay::Box place = display->Place(xWindow);
      const host::MenuScene scene = host::MenuSceneOf(window);
      const RECT* cell = nullptr;
      if (step.rfind("bar ", 0) == 0) {
        const size_t i = std::stoul(step.substr(4));
        if (i < scene.bar.size()) cell = &scene.bar[i].rect;
      } else if (step.rfind("item ", 0) == 0) {
        const size_t i = std::stoul(step.substr(5));
        if (!scene.panels.empty() && i < scene.panels.back().cells.size()) cell = &scene.panels.back().cells[i].rect;
      }
      if (cell) {
        Click(pump, place.x + (cell->left + cell->right) / 2, place.y + (cell->top + cell->bottom) / 2);
      } else if (step == "away") {
        Click(pump, place.x + place.width / 2, place.y + place.height / 2);
      } else {
        const int keyCode = display->KeyCode(step.c_str());
        ASSERT_NE(keyCode, 0) << c.what << ": " << step;
        Tap(pump, keyCode);
      }
    }
    for (int i = 0; i < 10; ++i) pump();
    EXPECT_EQ(seen, c.chosen) << c.what;
    EXPECT_EQ(host::MenuTrackingWindow(), nullptr) << c.what;
    host::EndMenuTracking(nullptr);
  }
}

// A key held while another window takes the keyboard is let go: its release goes to that window.
TEST_F(PlatformWindowTest, KeysHeldWhenTheFocusGoesAreLetGo) {
  const unsigned long xWindow = Show();
  ASSERT_NE(xWindow, 0u);
  const int keyCode = display->KeyCode("AC01");
  display->Key(keyCode, true);
  EXPECT_TRUE(Until(pump, [] { return host::Input().keyCodes[0x1E] != 0; }));
  display->Focus(0);
  EXPECT_TRUE(Until(pump, [] { return host::Input().keyCodes[0x1E] == 0; }));
  EXPECT_FALSE(host::State().applicationActive);
  display->Key(keyCode, false);
}

// A window given a region shows only the region's part under its caption and frame, and is placed as the
// window's client area.
TEST_F(PlatformWindowTest, AShapedWindowShowsItsRegion) {
  RECT frame{};
  GetWindowRect(window, &frame);
  POINT client{0, 0};
  ClientToScreen(window, &client);
  const int dx = client.x - frame.left, dy = client.y - frame.top;  // the client area within the window
  HRGN region = CreateRectRgn(dx + 10, dy + 20, dx + 110, dy + 70);
  HRGN second = CreateRectRgn(dx + 200, dy + 300, dx + 260, dy + 310);
  CombineRgn(region, region, second, RGN_OR);
  DeleteObject(second);
  SetWindowRgn(window, region, TRUE);
  DeleteObject(region);  // the window keeps its own copy
  const unsigned long xWindow = Show();
  ASSERT_NE(xWindow, 0u);
  std::vector<VirtualDisplay::Box> shape;
  EXPECT_TRUE(Until(pump, [&] { return (shape = display->Shape(xWindow)).size() > 1; }));
  int area = 0;
  for (const VirtualDisplay::Box& b : shape) area += b.width * b.height;
  EXPECT_EQ(area, 100 * 50 + 60 * 10);
  ASSERT_FALSE(shape.empty());
  EXPECT_EQ(shape.front().x, 10);
  EXPECT_EQ(shape.front().y, 20);
  EXPECT_EQ(shape.back().x + shape.back().width, 260);
  EXPECT_EQ(shape.back().y + shape.back().height, 310);
  const VirtualDisplay::Box place = display->Place(xWindow);
  EXPECT_EQ(place.x, client.x);
  EXPECT_EQ(place.y, client.y);
  // A region that moves a rectangle's left edge alone reshapes the window too.
  region = CreateRectRgn(dx + 30, dy + 20, dx + 110, dy + 70);
  second = CreateRectRgn(dx + 200, dy + 300, dx + 260, dy + 310);
  CombineRgn(region, region, second, RGN_OR);
  SetWindowRgn(window, region, TRUE);
  DeleteObject(region), DeleteObject(second);
  EXPECT_TRUE(Until(pump, [&] { return (shape = display->Shape(xWindow)).size() > 1 && shape.front().x == 30; }));
}

}  // namespace

// The program the tests run beside themselves (ChildProgram): the test runs this program again with
// VOMAK_SECOND_PROGRAM set, and it starts the library, says how that went, in "run" mode draws frames until the
// pump ends its loop, and ends before any test runs.
class SecondProgram : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* modeName = std::getenv("VOMAK_SECOND_PROGRAM");
    if (!modeName) return;
    const std::string mode = modeName;
    const bool run = mode == "run" || mode == "stuck";
    // In the working directory of the test that runs it, which removes it: a refused start ends the process.
    host::ResetPlatform(host::CreateSdlHost());
    ResetSystemState();
    SystemState.noGraphics = run ? 0 : 1;
    SystemState.windowModeFlag = 1;
    SetMainWindowTitle("second");
    const int started = StartupLibrary();
    std::printf("started: %d\n", started);
    std::fflush(stdout);
    if (mode == "fail" && started == 0) {
      VirtualDisplay::AskForMissingWindow(std::getenv("DISPLAY"));
      std::printf("survived\n");
    }
    if (run && started == 0) {
      while (PumpWindowMessages() == 0) {
        ClearDrawTarget();
        G_DDraw_FlipScreen();
      }
      std::printf("closed\n");
      std::fflush(stdout);
      while (mode == "stuck") pause();
    }
    ShutdownLibrary();
    headless::Start();
    std::exit(0);
  }
};
const ::testing::Environment* const secondProgram = ::testing::AddGlobalTestEnvironment(new SecondProgram);
