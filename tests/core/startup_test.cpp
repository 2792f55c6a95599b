#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/core_test_support.h"
#include "core/library.h"
#include "core/log.h"
#include "core/main_window.h"
#include "core/memory.h"
#include "core/random.h"
#include "core/menu_cursor.h"
#include "core/system_info.h"
#include "graphics/graphics_system.h"
#include "platform/host/cpu.h"
#include "platform/host/headless/headless_host.h"
#include "platform/win32/gdi.h"
#include "platform/win32/region.h"
#include "platform/win32/user.h"

namespace {

// A processor with CPUID, MMX and a time-stamp counter of 3,000 MHz of virtual time.
host::CpuidResult TestCpuid(uint32_t leaf) {
  host::CpuidResult r;
  auto text = [](const char* s, uint32_t& word) { std::memcpy(&word, s, 4); };
  switch (leaf) {
    case 0:
      r.eax = 1;
      text("Test", r.ebx);
      text("Chip", r.edx);
      text("Corp", r.ecx);
      break;
    case 1: r.edx = (1u << 23) | (1u << 4); break;
    case 0x80000000u: r.eax = 0x80000004u; break;
    case 0x80000002u: text("Test", r.eax); text(" Pro", r.ebx); text("cess", r.ecx); text("or 1", r.edx); break;
    default: break;
  }
  return r;
}
const host::ProcessorProvider kTestProcessor = {
    [] { return true; }, TestCpuid, [] { return headless::Nanoseconds() * 3; }};

class StartupTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    host::SetProcessorProvider(&kTestProcessor);
  }
  void TearDown() override {
    host::SetProcessorProvider(nullptr);
    CoreTest::TearDown();
  }
  std::vector<std::string> Lines() { return ReadLogLines(workDir()); }
  // Starts the library as the game does, without graphics so that only the core's own lines are logged.
  int StartLikeTheGame(int graphics = 0) {
    SystemState.noGraphics = graphics ? 0 : 1;
    SetMainWindowTitle("Qelt Ver1.03");
    ChangeWindowMode(1);
    return StartupLibrary();
  }
};

const std::vector<std::string> kStartupLines = {
    "T:システムの情報を出力します",
    "T:\tＶＯＭＡＫライブラリ Ver2.19b",
    "T:\tＯＳ  WindowsXP ( Build 2600  )",
    "T:\tD33D8.DLL はありませんでした",
    "T:\tＤｉｒｅｃｔＸ　Ver7.0以上",
    "T:\tＣＰＵ動作速度：#MHz",
    "T:\tＭＭＸ命令を使用します",
    "T:\tＣＰＵベンダ：TestChipCorp",
    "T:\tＣＰＵ名：Test Processor 1",
    "T:ＣＯＭの初期化... 成功しました",
    "T:ソフトの２重起動検査... ２重起動はされていませんでした",
    "T:メモリ総量:512.00MB  空きメモリ領域:256.00MB ",
    "T:ウインドウクラスを登録します... 登録に成功しました",
    "T:ウインドウモード起動用のウインドウを作成します",
    "T:ウインドウスタイルをウインドウモード用に変更します... 完了",
    "T:ＩＭＥを無効にしました",
    "T:タイマーの精度を検査します",
    "T:精度結果 更新回数 マルチメディアタイマー：#  パフォーマンスカウンター：#",
    "T:パフォーマンスカウンターを使用します タイマー分解能 : #.# KHz ",
    "T:DirectInput関係初期化処理",
    "T:\tDirectInputオブジェクトの取得中... 成功",
    "T:\t\t引き続き初期化処理... 初期化成功",
    "T:\tジョイパッドの初期化... ",
    "T:\tジョイパッドの初期化は正常に終了しました",
    "T:\tキーボードデバイスの初期化... 初期化成功",
    "T:DirectInput 関連の初期化は正常に終了しました",
    "T:DirectSound の初期化を行います",
    "T:DirectSound インターフェースの取得を行います....  成功",
    "T:引き続きインターフェースの初期化処理...  成功",
    "T:\tDirectSound デバイスを列挙します",
    "T:\t\tモジュール名:    vomak-mixer  ドライバ記述:headless ",
    "T:\t最大サンプリングレート:100.00KHz 最小サンプリングレート:0.10KHz ",
    "T:\t総サウンドメモリ領域:0.00KB 空きサウンドメモリ領域:0.00KB ",
    "",
    "T:\t利用可能サンプリング精度",
    "T:\t プライマリ １６bit = OK  ８bit = OK ",
    "T:\t セカンダリ １６bit = OK  ８bit = OK ",
    "",
    "T:\t利用可能チャンネル",
    "T:\t プライマリ MONO = OK  STEREO = OK ",
    "T:\t セカンダリ MONO = OK  STEREO = OK ",
    "",
    "T:DirectSound の初期化は正常に終了しました",
    "T:文字コードバッファの初期化を行います... 完了しました",
};

const std::vector<std::string> kShutdownLines = {
    "T:ネットワーク関連の終了処理を行います ",
    "T:ネットワーク関連の終了処理は完了しました",
    "T:DirectInput 関連の終了処理... 完了",
    "T:DirectSound の終了処理は正常に終了しました",
    "T:ウインドウを閉じようとしています",
    "T:ウインドウが破棄されようとしています",
    "T:ソフトを終了する準備が整いました",
    "T:ＣＯＭを終了... 完了",
};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A line against a pattern in which '#' stands for one or more decimal digits (Shift-JIS bytes never are '#').
bool LineMatches(const std::string& line, const std::string& pattern) {
  size_t i = 0, j = 0;
  while (j < pattern.size()) {
    if (pattern[j] == '#') {
      size_t start = i;
      while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
      if (i == start) return false;
      ++j;
    } else {
      if (i >= line.size() || line[i] != pattern[j]) return false;
      ++i;
      ++j;
    }
  }
  return i == line.size();
}

// Lines of the log against patterns, whole lines.
void ExpectLines(const std::vector<std::string>& lines, const std::vector<std::string>& patterns) {
  for (size_t i = 0; i < std::max(lines.size(), patterns.size()); ++i) {
    std::string line = i < lines.size() ? lines[i] : "<none>";
    std::string pattern = i < patterns.size() ? patterns[i] : "<none>";
    EXPECT_TRUE(LineMatches(line, pattern)) << "line " << i << ": " << line << "\n expected: " << pattern;
  }
}

}  // namespace

TEST_F(StartupTest, StartAndShutDownLogTheirBlocksLineByLine) {
  ASSERT_EQ(StartLikeTheGame(), 0);
  EXPECT_EQ(SystemState.initialisedFlag, 1);
  EXPECT_EQ(SystemState.directXVersionCode, 0x70000);
  EXPECT_EQ(SystemState.useMmx, 1);
  EXPECT_EQ(SystemState.activeFlag, 1);
  HWND window = GetLibraryWindowHandle();
  ASSERT_NE(window, nullptr);
  host::WindowView view;
  ASSERT_TRUE(headless::FindWindowView(window, &view));
  EXPECT_EQ(view.title, "Qelt Ver1.03");
  EXPECT_EQ(view.clientWidth, 640);
  EXPECT_EQ(view.clientHeight, 480);
  EXPECT_TRUE(view.visible);
  ExpectLines(Lines(), kStartupLines);

  ASSERT_EQ(::mkdir("sub", 0755), 0);
  ASSERT_EQ(::chdir("sub"), 0);
  EXPECT_EQ(ShutdownLibrary(), 0);
  ExpectLines(Lines(), Join(kStartupLines, kShutdownLines));
  EXPECT_EQ(GetLibraryWindowHandle(), nullptr);
  EXPECT_EQ(SystemState.quitFlag, 1);
  EXPECT_EQ(SystemState.initialisedFlag, 0);
  EXPECT_EQ(IsWindow(window), FALSE);
  // The directory that was current at start-up is current again.
  char current[4096];
  ASSERT_NE(::getcwd(current, sizeof current), nullptr);
  EXPECT_EQ(std::string(current), workDir());
}

TEST_F(StartupTest, WithGraphicsTheCoreStepsKeepTheirOrder) {
  ASSERT_EQ(StartLikeTheGame(1), 0);
  ASSERT_EQ(ShutdownLibrary(), 0);
  // The graphics system logs its own lines in between; the core's lines come in the same order.
  std::vector<std::string> lines = Lines();
  std::vector<std::string> expected = Join(kStartupLines, kShutdownLines);
  size_t next = 0;
  for (const std::string& line : lines) {
    if (next < expected.size() && LineMatches(line, expected[next])) ++next;
  }
  EXPECT_EQ(next, expected.size()) << "missing: " << (next < expected.size() ? expected[next] : "");
}

TEST_F(StartupTest, UntitledWindowIsCalledVomak) {
  SystemState.noGraphics = 1;
  ASSERT_EQ(StartupLibrary(), 0);
  host::WindowView view;
  ASSERT_TRUE(headless::FindWindowView(GetLibraryWindowHandle(), &view));
  EXPECT_EQ(view.title, "Vomak");
  EXPECT_EQ(FindWindowA("Vomak", nullptr), GetLibraryWindowHandle());
  ShutdownLibrary();
}

TEST_F(StartupTest, LongTitlesAreCutWithoutSplittingACharacter) {
  std::string title(254, 'a');
  title += "表";  // its second byte would be the 256th
  SetMainWindowTitle(title.c_str());
  EXPECT_EQ(std::string(SystemState.title), std::string(254, 'a'));
  SetMainWindowTitle("Qelt");
  EXPECT_EQ(std::string(SystemState.title), "Qelt");
}

// Each window style row in both modes; a row number outside the table takes the first row.
TEST_F(StartupTest, WindowStyleRows) {
  const DWORD caption = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, edges = WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE;
  struct Row {
    int index;
    DWORD style, exStyle, fullStyle, fullExStyle;
  } const rows[] = {
      {0, caption, edges, WS_POPUP, WS_EX_TOPMOST},
      {1, WS_POPUP | WS_SYSMENU, edges, WS_POPUP, WS_EX_TOPMOST},
      {2, WS_POPUP | WS_SYSMENU, 0, WS_POPUP, WS_EX_TOPMOST},
      {3, caption, WS_EX_TOOLWINDOW, WS_POPUP, WS_EX_TOPMOST},
      {4, WS_POPUP | WS_SYSMENU, WS_EX_TOOLWINDOW, WS_POPUP, WS_EX_TOPMOST},
      {5, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0},
      {6, caption, edges, WS_POPUP, WS_EX_TOPMOST},
      {-1, caption, edges, WS_POPUP, WS_EX_TOPMOST},
  };
  for (const Row& row : rows) {
    RestartHeadless(headless::Config{});
    ResetSystemState();
    SystemState.styleIndex = row.index;
    ASSERT_EQ(StartLikeTheGame(), 0);
    HWND window = GetLibraryWindowHandle();
    auto style = [&](int index) { return static_cast<DWORD>(GetWindowLongA(window, index)) & ~static_cast<DWORD>(WS_VISIBLE); };
    EXPECT_EQ(style(GWL_STYLE), row.style) << row.index;
    EXPECT_EQ(style(GWL_EXSTYLE), row.exStyle) << row.index;
    ChangeWindowMode(0);
    EXPECT_EQ(style(GWL_STYLE), row.fullStyle) << row.index;
    EXPECT_EQ(style(GWL_EXSTYLE), row.fullExStyle) << row.index;
    ShutdownLibrary();
  }
}

TEST_F(StartupTest, TwentyFourBitDesktopInWindowModeIsRefused) {
  headless::Config config;
  config.bitsPerPixel = 24;
  RestartHeadless(config);
  EXPECT_EQ(StartLikeTheGame(), -1);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"T:ＶＯＭＡＫライブラリは２４ビットカラーモードに対応していません"}));
  EXPECT_EQ(FindWindowA("Vomak", nullptr), nullptr);
  EXPECT_EQ(SystemState.comStarted, 0);
}

TEST_F(StartupTest, TwentyFourBitDesktopInFullScreenStarts) {
  headless::Config config;
  config.bitsPerPixel = 24;
  RestartHeadless(config);
  SystemState.noGraphics = 1;
  ChangeWindowMode(0);
  ASSERT_EQ(StartupLibrary(), 0);
  std::vector<std::string> lines = Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "T:フルスクリーンモード用のウインドウを作成します"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "T:カーソルを不可視にしました"), lines.end());
  ShutdownLibrary();
}

TEST_F(StartupTest, SecondStartFailsAtComAndShutsTheFirstDown) {
  ASSERT_EQ(StartLikeTheGame(), 0);
  EXPECT_EQ(StartupLibrary(), -1);
  EXPECT_EQ(GetLibraryWindowHandle(), nullptr);
  EXPECT_EQ(FindWindowA("Vomak", nullptr), nullptr);
  std::vector<std::string> lines = Lines();
  // The running instance's log is appended to, not emptied.
  ASSERT_GT(lines.size(), kStartupLines.size());
  EXPECT_EQ(lines[0], "T:システムの情報を出力します");
  EXPECT_EQ(lines.back(), "T:ＣＯＭを終了... 完了");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "T:システムの情報を出力します"), 2);
}

namespace {
// What a running library can be left with when a second start-up meets it.
void HostRestartedUnderIt() { headless::Start(headless::Config{}); }  // its window went without a message
void QuitAlreadySeen() {
  PostQuitMessage(0);
  PumpWindowMessages();
}
void CloseTakenButWindowKept() {
  SystemState.keepWindowOnClose = 1;
  SystemState.closingRequested = 1;
  SendMessageA(GetLibraryWindowHandle(), WM_CLOSE, 0, 0);
  SystemState.keepWindowOnClose = 0;
}
}  // namespace

TEST_F(StartupTest, AFailedStartEndsWhateverStateItFinds) {
  const struct {
    const char* name;
    void (*leave)();
  } cases[] = {{"host restarted", HostRestartedUnderIt},
               {"quit already seen", QuitAlreadySeen},
               {"close taken, window kept", CloseTakenButWindowKept}};
  for (const auto& c : cases) {
    RestartHeadless(headless::Config{});
    ResetSystemState();
    host::SetProcessorProvider(&kTestProcessor);
    ASSERT_EQ(StartLikeTheGame(1), 0) << c.name;
    c.leave();
    {
      const Watchdog watchdog;  // a shut-down that never ends fails here rather than at the suite's time limit
      EXPECT_EQ(StartupLibrary(), -1) << c.name;
    }
    EXPECT_EQ(GetLibraryWindowHandle(), nullptr) << c.name;
    // No window is left behind for a later start-up to take for another program's.
    EXPECT_EQ(FindWindowA("Vomak", nullptr), nullptr) << c.name;
    ResetSystemState();
    EXPECT_EQ(StartLikeTheGame(1), 0) << c.name;
    EXPECT_EQ(ShutdownLibrary(), 0) << c.name;
  }
}

TEST_F(StartupTest, FailedComStartShutsDownAndEnds) {
  headless::FailCall("CoInitialize", 1, 1);  // the system check starts COM once before
  EXPECT_EQ(StartLikeTheGame(), -1);
  std::vector<std::string> lines = Lines();
  // Nothing but COM had been tried: only the steps that log unconditionally follow.
  std::vector<std::string> tail(lines.end() - 3, lines.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"T:ＣＯＭの初期化... ＣＯＭの初期化に失敗しました",
                                            "T:ネットワーク関連の終了処理を行います ",
                                            "T:ネットワーク関連の終了処理は完了しました"}));
  EXPECT_EQ(SystemState.comStarted, 0);
}

TEST_F(StartupTest, FailedWindowStepsShutDownAndEnd) {
  for (const char* call : {"RegisterClassExA", "CreateWindowExA"}) {
    RestartHeadless(headless::Config{});
    ResetSystemState();
    host::SetProcessorProvider(&kTestProcessor);
    headless::FailCall(call);
    EXPECT_EQ(StartLikeTheGame(), -1) << call;
    std::vector<std::string> lines = Lines();
    const char* text = std::string(call) == "RegisterClassExA" ? "T:ウインドウクラスを登録します... ウインドウクラスの登録に失敗しました"
                                                               : "T:ウインドウの作成に失敗しました";
    EXPECT_NE(std::find(lines.begin(), lines.end(), text), lines.end()) << call;
    EXPECT_EQ(lines.back(), "T:ＣＯＭを終了... 完了") << call;
    EXPECT_EQ(GetLibraryWindowHandle(), nullptr);
  }
}

TEST_F(StartupTest, FailedGraphicsStartClosesTheWindow) {
  // The graphics system already runs on a window of someone else's: the library's own start is refused.
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "Other";
  ASSERT_NE(RegisterClassExA(&windowClass), 0);
  HWND other = CreateWindowExA(0, "Other", "other", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  ShowWindow(other, SW_SHOW);
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  ASSERT_EQ(GraphicsStartup(other), 0);
  EXPECT_EQ(StartLikeTheGame(1), -1);
  std::vector<std::string> lines = Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "T:ソフトを終了する準備が整いました"), lines.end());
  EXPECT_EQ(lines.back(), "T:ＣＯＭを終了... 完了");
  EXPECT_EQ(FindWindowA("Vomak", nullptr), nullptr);
  EXPECT_EQ(SystemState.quitFlag, 1);
  CoUninitialize();
}

TEST_F(StartupTest, ComWrappersAnswerMinusOneOutOfTurn) {
  SystemState.logFolder = workDir();
  AppLogOpen();
  EXPECT_EQ(EndComLibrary(), -1);
  EXPECT_EQ(StartComLibrary(), 0);
  EXPECT_EQ(StartComLibrary(), -1);
  EXPECT_EQ(EndComLibrary(), 0);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"T:ＣＯＭの初期化... 成功しました", "T:ＣＯＭを終了... 完了"}));
}

TEST_F(StartupTest, DirectXProbeStopsAtTheFirstFailingRung) {
  SystemState.logFolder = workDir();
  struct Rung {
    const char* failure;
    int code;
    const char* text;
  };
  const Rung rungs[] = {
      {"LoadLibraryA:DDRAW.DLL", 0, "T:DirectX がインストールされていません"},
      {"GetProcAddress:DirectDrawCreate", 0, "T:DirectDrawCreate ファンクションが見つかりませんでした"},
      {"DirectDrawCreate", 0, "T:DirectDrawCreate ファンクションが失敗しました"},
      {"LoadLibraryA:DINPUT.DLL", 0x20000, "T:DirecInput.DLL のロードに失敗しました"},
      {"GetProcAddress:DirectInputCreateA", 0x20000, "T:DirecInputCreateA が見つかりませんでした"},
      {"SetCooperativeLevel", 0x30000, "T:協調設定を変更できませんでした"},
      {"CreateSurface", 0x30000, "T:DirectDrawSurface オブジェクトの作成に失敗しました"},
      {"DirectMusic", 0x60000, "T:DirectMusic インターフェイスの取得に失敗しました"},
      {"GetProcAddress:DirectDrawCreateEx", 0x60100, "T:DirectDrawCreateEx ファンクションが見つかりませんでした"},
      {"DirectDrawCreateEx", 0x60100, "T:DirectDrawCreateEx ファンクションが失敗しました"},
      {nullptr, 0x70000, "T:D33D8.DLL はありませんでした"},
  };
  for (const Rung& rung : rungs) {
    AppLogOpen();
    headless::ClearFailures();
    if (rung.failure) headless::FailCall(rung.failure);
    EXPECT_EQ(ProbeDirectXVersion(), rung.code) << (rung.failure ? rung.failure : "none");
    EXPECT_EQ(Lines(), (std::vector<std::string>{rung.text}));
  }
}

namespace {
// The text the refusal's message box must show; checked as the process ends (exit handlers run).
const char* expectedBoxText = "";
void ReportMessageBox() {
  const auto& boxes = headless::MessageBoxes();
  bool shown = boxes.size() == 1 && boxes[0].text == expectedBoxText && boxes[0].caption == "エラー" &&
               boxes[0].type == MB_OK;
  std::fputs(shown ? "refusal shown\n" : "no refusal shown\n", stderr);
}
}  // namespace

TEST_F(StartupTest, NoDirectXEndsTheProcess) {
  headless::FailCall("LoadLibraryA:DDRAW.DLL");
  expectedBoxText = "DirectX がインストールされていないのでここで終了します";
  EXPECT_EXIT(
      {
        std::atexit(ReportMessageBox);
        StartLikeTheGame();
      },
      ::testing::ExitedWithCode(255), "^refusal shown");
  std::vector<std::string> lines = Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "T:\tＤｉｒｅｃｔＸ　Ver0.0以上"), lines.end());
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "T:ＣＯＭの初期化... 成功しました"), lines.end());
}

TEST_F(StartupTest, DirectXSixEndsTheProcess) {
  headless::FailCall("DirectMusic");
  expectedBoxText = "DirectX バージョン 7 以前なのでソフトを起動することが出来ません";
  EXPECT_EXIT(
      {
        std::atexit(ReportMessageBox);
        StartLikeTheGame();
      },
      ::testing::ExitedWithCode(255), "^refusal shown");
  std::vector<std::string> lines = Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "T:\tＤｉｒｅｃｔＸ　Ver6.0以上"), lines.end());
}

TEST_F(StartupTest, ProcessorWithoutCpuidSkipsTheProcessorLines) {
  const host::ProcessorProvider none = {[] { return false; }, TestCpuid, [] { return uint64_t{0}; }};
  host::SetProcessorProvider(&none);
  ASSERT_EQ(StartLikeTheGame(), 0);
  std::vector<std::string> lines = Lines();
  EXPECT_EQ(lines[5], "T:\tＣＰＵＩＤ命令は使えません");
  EXPECT_EQ(lines[6], "T:ＣＯＭの初期化... 成功しました");
  EXPECT_EQ(SystemState.useMmx, 0);
  ShutdownLibrary();
}

namespace {
// A processor whose name fills all 48 bytes of the brand leaves and whose counter runs at 10 GHz of virtual time,
// so that half a second holds more ticks than 32 bits.
host::CpuidResult LongNameCpuid(uint32_t leaf) {
  if (leaf < 0x80000002u || leaf > 0x80000004u) return TestCpuid(leaf);
  const char* name = "Forty-Eight Byte Processor Name Without Any End!";
  host::CpuidResult r;
  std::memcpy(&r, name + (leaf - 0x80000002u) * 16, 16);
  return r;
}
}  // namespace

TEST_F(StartupTest, FullLengthProcessorNameAndAFastCounter) {
  static_assert(sizeof(host::CpuidResult) == 16);
  const host::ProcessorProvider fast = {[] { return true; }, LongNameCpuid,
                                        [] { return headless::Nanoseconds() * 10; }};
  host::SetProcessorProvider(&fast);
  ASSERT_EQ(StartLikeTheGame(), 0);
  std::vector<std::string> lines = Lines();
  ASSERT_GT(lines.size(), 8u);
  ASSERT_TRUE(LineMatches(lines[5], "T:\tＣＰＵ動作速度：#MHz")) << lines[5];
  const std::string prefix = "T:\tＣＰＵ動作速度：";
  int mhz = std::atoi(lines[5].c_str() + prefix.size());
  EXPECT_GT(mhz, 9900);  // the measured half second is a few virtual steps off exact
  EXPECT_LT(mhz, 10100);
  EXPECT_EQ(lines[8], "T:\tＣＰＵ名：Forty-Eight Byte Processor Name Without Any End!");
  ShutdownLibrary();
}

TEST_F(StartupTest, SecondProgramEndsItselfWithoutEmptyingTheLog) {
  SystemState.logFolder = workDir();
  AppLogOpen();
  AppLogWrite("first program\n");
  SystemState.logFolder.clear();
  headless::AddOtherProcessWindow("Vomak");
  headless::SetMilliseconds(5000000);
  // The ending and its reason are said on the terminal too, in UTF-8.
  const std::string said = std::string("vomak: another program on this library is already running in this desktop "
                                       "session \\(a window of class \"Vomak\" is open\\), so this one ends: ") +
                           reinterpret_cast<const char*>(u8"２重起動されています、ソフトを終了します") + "\n$";
  EXPECT_EXIT(StartLikeTheGame(), ::testing::ExitedWithCode(0), said);
  std::vector<std::string> lines = Lines();
  EXPECT_EQ(lines.front(), "T:first program");
  EXPECT_EQ(lines.back(), "T:ソフトの２重起動検査... ２重起動されています、ソフトを終了します");
  // Its stamps count from its own start of the log, not from the clock's zero.
  const std::string text = ReadFileBytes(workDir() + "/AppLog.txt");
  const size_t lastLine = text.rfind('\n', text.size() - 2) + 1;
  EXPECT_LT(std::atoi(text.c_str() + lastLine), 100000) << text.substr(lastLine);
}

TEST_F(StartupTest, AWindowThatNeverActivatesDoesNotHoldStartOrShutdown) {
  headless::Deactivate();
  ASSERT_EQ(StartLikeTheGame(), 0);
  EXPECT_EQ(SystemState.activeFlag, 0);
  EXPECT_EQ(SystemState.creatingFlag, 0);
  EXPECT_EQ(ShutdownLibrary(), 0);
  EXPECT_EQ(SystemState.quitFlag, 1);
}

TEST_F(StartupTest, ModeChangeThatBringsNoDisplayChangeStopsWaiting) {
  ASSERT_EQ(StartLikeTheGame(), 0);
  SystemState.displayChangeArrived = 1;  // left from an earlier change: this one waits for its own
  uint64_t start = headless::Milliseconds();
  EXPECT_EQ(ChangeWindowMode(0), 0);
  EXPECT_GE(headless::Milliseconds() - start, 3000u);
  EXPECT_LT(headless::Milliseconds() - start, 3100u);
  EXPECT_EQ(SystemState.displayChangeArrived, 0);
  EXPECT_EQ(SystemState.windowModeFlag, 0);
  EXPECT_EQ(SystemState.modeChanging, 0);
  std::vector<std::string> lines = Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "T:ウインドウモードフラグが倒されました"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "T:ウインドウスタイルをフルスクリーンモード用に変更します... 完了"),
            lines.end());
  ShutdownLibrary();
}

namespace {
void FailInsideShutdown(HWND, UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE && SystemState.closeState == 1) ExitOnError("inner failure");
}
}  // namespace

TEST_F(StartupTest, AFatalErrorDuringTheFatalExitEndsAtOnce) {
  ASSERT_EQ(StartLikeTheGame(), 0);
  SystemState.messageHook = FailInsideShutdown;
  EXPECT_EXIT(ExitOnError("outer failure"), ::testing::ExitedWithCode(255), "");
  std::vector<std::string> lines = Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.back(), "T:inner failure");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "T:outer failure"), lines.end());
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "T:ソフトをエラー終了します"), lines.end());
}

TEST_F(StartupTest, WindowModeChangesBackAndForthWithGraphics) {
  ASSERT_EQ(StartLikeTheGame(1), 0);
  HWND window = GetLibraryWindowHandle();
  auto style = [&](int index) { return static_cast<DWORD>(GetWindowLongA(window, index)); };
  EXPECT_EQ(style(GWL_STYLE) & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
  EXPECT_EQ(ChangeWindowMode(0), 0);
  EXPECT_EQ(IsWindowModeOn(), 0);
  EXPECT_EQ(SystemState.modeChanging, 0);
  // Each change ends on its display change, not on the time limit; full screen is a bare top-most popup.
  EXPECT_EQ(SystemState.displayChangeArrived, 1);
  EXPECT_EQ(style(GWL_STYLE) & ~static_cast<DWORD>(WS_VISIBLE), static_cast<DWORD>(WS_POPUP));
  EXPECT_EQ(style(GWL_EXSTYLE), static_cast<DWORD>(WS_EX_TOPMOST));
  EXPECT_EQ(ChangeWindowMode(1), 0);
  EXPECT_EQ(IsWindowModeOn(), 1);
  EXPECT_EQ(SystemState.displayChangeArrived, 1);
  EXPECT_EQ(style(GWL_STYLE) & ~static_cast<DWORD>(WS_VISIBLE),
            static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
  EXPECT_EQ(style(GWL_EXSTYLE), static_cast<DWORD>(WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE));
  host::WindowView view;
  ASSERT_TRUE(headless::FindWindowView(window, &view));
  EXPECT_EQ(view.clientWidth, 640);
  EXPECT_EQ(view.clientHeight, 480);
  // With a refill callback the screen follows a larger desktop of another depth.
  SetGraphRefillCallback(nullptr);
  SystemState.displayChangeArrived = 0;
  SendMessageA(window, WM_DISPLAYCHANGE, 16, MAKELPARAM(1280, 1024));
  EXPECT_EQ(SystemState.displayChangeArrived, 1);
  EXPECT_EQ(SystemState.closingRequested, 0);
  EXPECT_EQ(ShutdownLibrary(), 0);
}

// The window's belongings go with it: the cursor a full-screen start hid comes back, and the shape's region, the
// menu and the dropped-file names are freed.
TEST_F(StartupTest, ShutdownFreesWhatTheWindowHeld) {
  SystemState.noGraphics = 1;
  ChangeWindowMode(0);
  ASSERT_EQ(StartupLibrary(), 0);
  ASSERT_EQ(SystemState.systemCursorShown, 0);
  ASSERT_EQ(EnableMainMenu(1), 0);
  HRGN shape = CreateRectRgn(0, 0, 2, 2);
  SystemState.windowShapeRegion = shape;
  HMENU menu = SystemState.menuHandle;
  ASSERT_NE(menu, nullptr);
  SystemState.droppedFiles[0] = static_cast<char*>(MemAlloc(8));
  SystemState.droppedFileCount = 1;
  EXPECT_EQ(ShutdownLibrary(), 0);
  EXPECT_EQ(SystemState.droppedFileCount, 0);
  EXPECT_EQ(SystemState.systemCursorShown, 1);
  EXPECT_EQ(IsWindowClosing(), 1);
  EXPECT_EQ(HasWindowShapeRegion(), 0);
  EXPECT_FALSE(DeleteObject(shape));
  EXPECT_EQ(SystemState.menuHandle, nullptr);
  EXPECT_FALSE(DestroyMenu(menu));
}

// The start-up seeds the random numbers from the clock: two starts at the same moment draw the same numbers.
TEST_F(StartupTest, TheStartSeedsTheRandomNumbersFromTheClock) {
  auto firstWords = [this](uint64_t startMilliseconds) {
    RestartHeadless(headless::Config{});
    ResetSystemState();
    host::SetProcessorProvider(&kTestProcessor);
    headless::SetMilliseconds(startMilliseconds);
    SystemState.noGraphics = 1;
    EXPECT_EQ(StartupLibrary(), 0);
    const uint64_t words = uint64_t{NextRandomWord()} << 32 | NextRandomWord();
    ShutdownLibrary();
    return words;
  };
  const uint64_t first = firstWords(5000);
  EXPECT_EQ(firstWords(5000), first);
  EXPECT_NE(firstWords(6000), first);
}
