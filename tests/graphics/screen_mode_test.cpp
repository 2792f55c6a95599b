#include <gtest/gtest.h>

#include <regex>

#include "core/clock.h"
#include "graphics/draw_state.h"
#include "graphics/graphics_test_support.h"
#include "graphics/screen_mode.h"
#include "platform/win32/messages.h"
#include "platform/win32/user.h"
#include "support/depth_case.h"

namespace {

class ScreenModeTest : public GraphicsTest {};

struct MaskedDepth : DepthCase {
  uint32_t red, green, blue;
};

class ScreenDepthTest : public GraphicsTest, public ::testing::WithParamInterface<MaskedDepth> {};

TEST_P(ScreenDepthTest, WindowModeComesUpAtTheDesktopDepth) {
  const MaskedDepth& c = GetParam();
  {
    ASSERT_EQ(Start(c.bits, c.rgb555), 0);
    DirectDrawLayerState& layer = GetDirectDrawLayerState();
    EXPECT_EQ(QueryScreenBitDepth(), c.bits);
    int width = 0, height = 0;
    QueryScreenSize(&width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    ASSERT_NE(layer.primary, nullptr);
    ASSERT_NE(layer.back, nullptr);
    ASSERT_NE(layer.work1, nullptr);
    ASSERT_NE(layer.work2, nullptr);
    EXPECT_EQ(layer.layerStarted, 1);
    EXPECT_EQ(GetScreenColorFormat()->bitDepth, c.bits);
    if (c.bits != 8) {
      EXPECT_EQ(GetScreenColorFormat()->redMask, c.red);
      EXPECT_EQ(GetScreenColorFormat()->greenMask, c.green);
      EXPECT_EQ(GetScreenColorFormat()->blueMask, c.blue);
      EXPECT_EQ(layer.palette, nullptr);
    } else {
      ASSERT_NE(layer.palette, nullptr);
      // The default palette: black, white and the fixed greys.
      const int greys[][2] = {{0, 0}, {46, 48}, {62, 63}, {85, 79}, {160, 128}, {191, 159}, {255, 255}};
      for (const auto& g : greys) {
        EXPECT_EQ(layer.paletteEntries[g[0]].red, g[1]);
        EXPECT_EQ(layer.paletteEntries[g[0]].green, g[1]);
        EXPECT_EQ(layer.paletteEntries[g[0]].blue, g[1]);
      }
      std::vector<uint32_t> seen;
      for (const auto& e : layer.paletteEntries) seen.push_back(e.red << 16 | e.green << 8 | e.blue);
      std::sort(seen.begin(), seen.end());
      EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
    }
    // The draw target is the front screen after start.
    EXPECT_EQ(QueryDrawTargetSurface(), layer.primary);
    std::string log = Log();
    for (const char* text :
         {"DirectDraw 関連の初期化を行います", "DirectDraw オブジェクトの取得を行います....  成功",
          "画面モード変更処理を開始します", "画面モードの変更処理を開始します 640 x 480  16 bit ", "ウインドウモードにします",
          "画面モードの変更は正常に終了しました ", "カラー情報", "出力画面用の DirectDrawSurface を作成します",
          "各スクリーンメモリの配置位置", "PrimaryBuffer : ", "BaskBuffer : ",
          "出力画面用の DirectDrawSurface の作成は正常に終了しました", "Direct3D 関連の初期化を行います",
          "グラフィック管理系の初期化を行います", "３Ｄグラフィック描画機能は使用しません",
          "グラフィック管理系の初期化は正常に終了しました", "サーフェス間転送には ", "画面モード変更処理は正常に終了しました",
          "DirectDraw 関連の初期化は正常に終了しました"})
      EXPECT_NE(log.find(text), std::string::npos) << text;
    if (c.bits == 32) {
      EXPECT_NE(log.find("00000000 00FF0000 0000FF00 000000FF"), std::string::npos);
    }
    // Frame time and present interval agree.
    if (layer.frameTime == -1) {
      EXPECT_EQ(layer.presentInterval, -1);
      EXPECT_NE(log.find("１フレームの時間を正常に取得できませんでした"), std::string::npos);
    } else {
      EXPECT_EQ(layer.presentInterval, (2 * layer.frameTime - 4) / 3);
      EXPECT_TRUE(std::regex_search(log, std::regex("１フレーム当たりの時間は [0-9]+ msecです")));
    }
    EXPECT_TRUE(std::regex_search(log, std::regex("\tTri03:[0-9]+ msec")));
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, ScreenDepthTest,
                         ::testing::Values(MaskedDepth{{32, false}, 0x00FF0000, 0x0000FF00, 0x000000FF},
                                           MaskedDepth{{16, false}, 0xF800, 0x07E0, 0x001F},
                                           MaskedDepth{{16, true}, 0x7C00, 0x03E0, 0x001F},
                                           MaskedDepth{{8, false}, 0, 0, 0}),
                         ::testing::PrintToStringParamName());

TEST_F(ScreenModeTest, ShutdownReleasesEverythingAndLogsThePair) {
  ASSERT_EQ(Start(32), 0);
  ShutdownLibrary();
  started_ = false;
  DirectDrawLayerState& layer = GetDirectDrawLayerState();
  EXPECT_EQ(layer.directDraw, nullptr);
  EXPECT_EQ(layer.primary, nullptr);
  EXPECT_EQ(layer.clipper, nullptr);
  EXPECT_EQ(layer.layerStarted, 0);
  EXPECT_TRUE(LogHas("DirectDraw 関連の終了処理をおこないます"));
  EXPECT_TRUE(LogHas("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました"));
  EXPECT_TRUE(LogHas("DirectDraw 関連の終了処理は正常に終了しました"));
  // Without an object the stop does nothing.
  EXPECT_EQ(StopDirectDrawLayer(), 0);
}

TEST_F(ScreenModeTest, TwentyFourBitsAreRefused) {
  ASSERT_EQ(Start(32), 0);
  DirectDrawLayerState& layer = GetDirectDrawLayerState();
  headless::SetDesktop(1024, 768, 24);
  int32_t depth = 0, changed = 0;
  uint32_t flags = 0;
  EXPECT_EQ(SetCooperativeLevelAndDisplayMode(layer.directDraw, 1024, 768, 640, 480, 16, &depth, &flags, 1, &changed,
                                              layer.mainWindow),
            -1);
  EXPECT_EQ(depth, 0);
  EXPECT_EQ(SetCooperativeLevelAndDisplayMode(layer.directDraw, 1024, 768, 640, 480, 24, &depth, &flags, 0, &changed,
                                              layer.mainWindow),
            -1);
  EXPECT_EQ(changed, 0);
  headless::SetDesktop(1024, 768, 32);
}

TEST_F(ScreenModeTest, NothingToChangeReturnsAtOnceWithoutLogging) {
  ASSERT_EQ(Start(16), 0);
  std::string before = Log();
  EXPECT_EQ(ChangeScreenMode(-1, -1, -1, 0, -1), 0);
  EXPECT_EQ(Log(), before);
}

TEST_F(ScreenModeTest, ModeChangeDeletesEveryGraph) {
  ASSERT_EQ(Start(32), 0);
  int32_t flag = -1;
  int graph = CreateEmptyGraph(8, 8, 0, 0);
  ASSERT_GT(graph, 0);
  SetGraphDeletedFlagPointer(graph, &flag);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(ChangeScreenMode(-1, -1, -1, 1, -1), 0);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(GetGraphRecord(graph), nullptr);
  EXPECT_EQ(GetGraphicsManagerState().graphs.count, 0);
  // Only the re-created default font's work surface is left.
  EXPECT_EQ(GetSurface2DTable().count, 1);
  EXPECT_EQ(GetSurfaceDataTable().count, 1);
  // The manager is running again and takes new graphs.
  EXPECT_GT(CreateEmptyGraph(8, 8, 0, 0), 0);
}

TEST_F(ScreenModeTest, ChangesKeepTwoSecondsApart) {
  ASSERT_EQ(Start(32), 0);
  DirectDrawLayerState& layer = GetDirectDrawLayerState();
  ASSERT_EQ(ChangeScreenMode(-1, -1, -1, 1, -1), 0);
  uint32_t first = layer.lastModeChangeTime;
  headless::SetMilliseconds(first + 500);
  ASSERT_EQ(ChangeScreenMode(-1, -1, -1, 1, -1), 0);
  uint32_t waited = layer.lastModeChangeTime - first;
  EXPECT_GE(waited, 2060u);
  EXPECT_LT(waited, 2080u);
}

TEST_F(ScreenModeTest, DisplayWithoutBlanksGivesNoFrameTimeAndDoesNotHang) {
  ASSERT_EQ(Start(32), 0);
  DirectDrawLayerState& layer = GetDirectDrawLayerState();
  headless::FailCall("VerticalBlank");
  uint64_t before = headless::Milliseconds();
  ASSERT_EQ(ChangeScreenMode(-1, -1, -1, 1, -1), 0);
  headless::ClearFailures();
  EXPECT_EQ(layer.frameTime, -1);
  EXPECT_EQ(layer.presentInterval, -1);
  EXPECT_TRUE(LogHas("１フレームの時間を正常に取得できませんでした"));
  // Besides the two-second spacing, each of the 24 waits for a blank gives up after 100 ms.
  uint64_t spent = headless::Milliseconds() - before;
  EXPECT_GE(spent, 24u * 100u);
  EXPECT_LT(spent, 2060u + 24u * 100u + 500u);
}

TEST_F(ScreenModeTest, FirstChangeOnAYoungClockDoesNotWait) {
  ASSERT_EQ(Start(32, false, 1, 100), 0);
  EXPECT_LT(GetDirectDrawLayerState().lastModeChangeTime, 1000u);
}

TEST_F(ScreenModeTest, DesktopTooSmallForTheWindowIsFatal) {
  // Before start-up the change only records the values; the layer's first change then meets the desktop.
  ExpectFatal(
      [] {
        ChangeWindowMode(1);
        EXPECT_EQ(ChangeScreenMode(1280, 1024, -1, 0, -1), 0);
        StartupLibrary();
      },
      "デスクトップ画面のサイズが足りません、ソフトを終了します");
}

class FullScreenTest : public GraphicsTest {};

TEST_F(FullScreenTest, RefusedModeFallsBackToThePreviousOne) {
  ASSERT_EQ(Start(32, false, 0), 0);
  DirectDrawLayerState& layer = GetDirectDrawLayerState();
  EXPECT_EQ(layer.displayModeChanged, 1);
  // Requested mode with and without refresh rate refused: the previous mode comes back and the change says so.
  headless::FailCall("SetDisplayMode", 2);
  EXPECT_EQ(ChangeScreenMode(800, 600, 16, 0, -1), -1);
  EXPECT_EQ(layer.screenWidth, 640);
  EXPECT_EQ(layer.screenHeight, 480);
  EXPECT_EQ(layer.screenDepth, 16);
  headless::ClearFailures();
  EXPECT_EQ(ChangeScreenMode(800, 600, 32, 0, -1), 0);
  EXPECT_EQ(layer.screenWidth, 800);
  EXPECT_EQ(layer.screenDepth, 32);
  // Also the previous mode refused: 640 x 480 in 16-bit colour.
  headless::FailCall("SetDisplayMode", 3);
  EXPECT_EQ(ChangeScreenMode(1024, 768, 32, 0, -1), -2);
  EXPECT_EQ(layer.screenWidth, 640);
  EXPECT_EQ(layer.screenHeight, 480);
  EXPECT_EQ(layer.screenDepth, 16);
  EXPECT_TRUE(LogHas("画面解像度を変更します... 成功しました"));
}

TEST_F(FullScreenTest, EveryModeRefusedIsFatal) {
  ASSERT_EQ(Start(32, false, 0), 0);
  headless::FailCall("SetDisplayMode", 4);
  ExpectFatal([] { ChangeScreenMode(800, 600, 16, 0, -1); }, "予期せぬ画面モード変更不能現象が起きました2");
}

TEST(FrameTimingTest, FrameTimeIsTheFirstRepeatedSample) {
  const int repeated[4] = {16, 17, 16, 17};
  EXPECT_EQ(FrameTimeFromSamples(repeated), 16);
  const int later[4] = {15, 17, 18, 17};
  EXPECT_EQ(FrameTimeFromSamples(later), 17);
  const int none[4] = {16, 17, 18, 19};
  EXPECT_EQ(FrameTimeFromSamples(none), -1);
  EXPECT_EQ(PresentIntervalOf(16), 9);
  EXPECT_EQ(PresentIntervalOf(17), 10);
  EXPECT_EQ(PresentIntervalOf(-1), -1);
}

TEST_F(ScreenModeTest, DeactivationWithoutRefillClosesAndStillRunsTheSystemKeyRow) {
  ASSERT_EQ(Start(32, false, 0), 0);
  SetDisplayModeChangedFlag(1);
  GetGraphicsManagerState().refill = nullptr;
  SystemState.systemKeysOff = 1;
  SystemState.hookApplied = 0;
  SendMessageA(GetLibraryWindowHandle(), WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_TRUE(LogHas("復元関数が登録されていないため終了します"));
  EXPECT_EQ(SystemState.displayLostWhileInactive, 0);
  EXPECT_EQ(SystemState.hookApplied, 1);
}

TEST_F(ScreenModeTest, LayerAccessors) {
  EXPECT_EQ(SetDisplayModeChangedFlag(0), 1);
  int width = 0;
  QueryScreenSize(&width, nullptr);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(QueryScreenBitDepth(), 16);
  ASSERT_EQ(Start(32), 0);
  EXPECT_EQ(StartDirectDrawLayer(), -1);
  EXPECT_EQ(BlendMultiplyTable[255][255], 254u);
  EXPECT_EQ(BlendMultiplyTable[128][255], 127u);
  EXPECT_EQ(BlendMultiplyTable[0][200], 0u);
  EXPECT_EQ(BlendMultiplyTable[17][93], BlendMultiplyTable[93][17]);
  DirectDrawLayerState& layer = GetDirectDrawLayerState();
  int index = layer.overlayFormatIndex;
  layer.overlayFormatIndex = 3;
  layer.screenWidth = 640;
  layer.screenHeight = 400;
  const DDPIXELFORMAT* format = GetOverlayPixelFormat();
  ASSERT_NE(format, nullptr);
  EXPECT_EQ(format->dwRBitMask, 0xF800u);
  layer.screenWidth = 639;
  EXPECT_EQ(GetOverlayPixelFormat(), nullptr);
  layer.screenWidth = 640;
  layer.screenHeight = 399;
  EXPECT_EQ(GetOverlayPixelFormat(), nullptr);
  layer.screenHeight = 480;
  layer.overlayFormatIndex = index;
}

}  // namespace
