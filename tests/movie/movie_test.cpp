// Movie files as graphs: frames follow the movie's clock, one step per presented frame, pause with the window,
// survive a display change and lost surfaces; files that are no movie, or that name other files, are refused.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "core/message_pump.h"
#include "graphics/draw_front.h"
#include "graphics/graphics_system.h"
#include "graphics_test_support.h"
#include "movie/movie_services.h"
#include "platform/directx/ddraw_display.h"
#include "support/movie_writer.h"

namespace {

using testing_support::kColours;
using testing_support::MovieShape;
using testing_support::WriteMovie;

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
}

class MovieTest : public GraphicsTest {
 protected:
  // Presents a frame (without waiting for a blank, so the clock stays where the test put it), then draws the graph:
  // the colour of the frame it shows, as the nearest of the six.
  int ShownFrame(int graph) {
    SetFlipWaitForVBlank(0);
    G_DDraw_FlipScreen();
    return DrawnFrame(graph);
  }
  // The same without a present in between.
  int DrawnFrame(int graph) {
    SelectDrawTarget(-2);
    DrawGraph(0, 0, graph, 0);
    uint32_t pixel = LockedSurface(QueryBackSurface()).Get(32, 24);
    int r = 0, g = 0, b = 0;
    UnpackScreenColor(pixel, &r, &g, &b);
    int best = -1, bestDistance = 1 << 30;
    for (int i = 0; i < 6; i++) {
      int dr = r - int(kColours[i] >> 16), dg = g - int((kColours[i] >> 8) & 0xFF), db = b - int(kColours[i] & 0xFF);
      if (dr * dr + dg * dg + db * db < bestDistance) best = i, bestDistance = dr * dr + dg * dg + db * db;
    }
    return best;
  }
};

TEST_F(MovieTest, FramesFollowTheClockPauseWithTheWindowAndSurviveADisplayChange) {
  for (int bits : {16, 32}) {
    ASSERT_EQ(Start(bits, false, 1, 5000), 0);
    ASSERT_TRUE(WriteMovie(workDir() + "/clip.mpg"));
    const int graph = LoadGraphFileSimple("clip.mpg");
    ASSERT_GE(graph, 0) << bits;
    EXPECT_EQ(ShownFrame(graph), 0);
    headless::AdvanceMilliseconds(90);
    EXPECT_EQ(ShownFrame(graph), 2);
    headless::Deactivate();
    headless::Activate(2000);
    PumpWindowMessages();  // inactive: returns once the window is active again, two seconds later
    EXPECT_EQ(ShownFrame(graph), 2);
    headless::AdvanceMilliseconds(40);
    EXPECT_EQ(ShownFrame(graph), 3);
    headless::PostDisplayChange(1280, 1024, bits);
    for (int i = 0; i < 4; i++) PumpWindowMessages();
    EXPECT_EQ(ShownFrame(graph), 3);
    headless::AdvanceMilliseconds(5000);
    EXPECT_EQ(ShownFrame(graph), 5);  // past the end the last frame stays
    ShutdownLibrary();
    started_ = false;
  }
}

TEST_F(MovieTest, FilesThatAreNoMovieAreRefused) {
  ASSERT_EQ(Start(32), 0);
  ASSERT_TRUE(WriteMovie(workDir() + "/clip.mpg"));
  std::string bytes;
  {
    std::ifstream in(workDir() + "/clip.mpg", std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::ofstream(workDir() + "/text.mpg") << "This is no movie at all.\n";
  std::ofstream(workDir() + "/cut.mpg", std::ios::binary).write(bytes.data(), 40);
  std::string damaged = bytes;
  for (size_t i = 64; i < damaged.size(); i += 7) damaged[i] = char(damaged[i] ^ 0x5A);
  std::ofstream(workDir() + "/damaged.mpg", std::ios::binary).write(damaged.data(), damaged.size());
  for (const char* name : {"text.mpg", "cut.mpg"}) {
    EXPECT_EQ(LoadGraphFileSimple(name), -1) << name;
    EXPECT_TRUE(LogHas(std::string("右記のグラフィックファイルのロードに失敗しました：") + name));
  }
  const int graph = LoadGraphFileSimple("damaged.mpg");  // opens or not, but never crashes a draw
  if (graph >= 0) {
    EXPECT_EQ(DrawGraph(0, 0, graph, 0), 0);
  }
}

TEST_F(MovieTest, DrawsBetweenTwoPresentsShowOneFrame) {
  ASSERT_EQ(Start(32), 0);
  ASSERT_TRUE(WriteMovie(workDir() + "/clip.mpg"));
  const int graph = LoadGraphFileSimple("clip.mpg");
  ASSERT_GE(graph, 0);
  EXPECT_EQ(ShownFrame(graph), 0);
  headless::AdvanceMilliseconds(50);  // the clock has passed frame 1's time, but nothing was presented since
  EXPECT_EQ(DrawnFrame(graph), 0);
  EXPECT_EQ(ShownFrame(graph), 1);
  EXPECT_EQ(DrawnFrame(graph), 1);
  headless::AdvanceMilliseconds(85);  // several frame times within one present: the movie keeps its own speed
  EXPECT_EQ(ShownFrame(graph), 3);
}

TEST_F(MovieTest, AFrameShowsFromItsOwnTimeInACoarseTimeBase) {
  ASSERT_EQ(Start(32), 0);
  ASSERT_TRUE(WriteMovie(workDir() + "/coarse.avi", testing_support::CoarseAvi()));
  const int graph = LoadGraphFileSimple("coarse.avi");
  ASSERT_GE(graph, 0);
  const uint64_t opened = headless::Milliseconds();
  // Ten frames a second: frame i shows from 100 i ms until 100 (i + 1) ms.
  const struct {
    uint64_t at;
    int frame;
  } cases[] = {{10, 0}, {55, 0}, {95, 0}, {105, 1}, {160, 1}, {195, 1}, {255, 2}, {350, 3}, {480, 4}, {560, 5}};
  for (const auto& c : cases) {
    headless::SetMilliseconds(opened + c.at);
    EXPECT_EQ(ShownFrame(graph), c.frame) << c.at << " ms";
  }
}

TEST_F(MovieTest, AMovieGoesOnAfterFullScreenIsLostAndRegained) {
  ASSERT_EQ(Start(32, false, 0), 0);
  MovieShape longer;
  longer.frames = 100;  // four seconds: the movie is still running after the window comes back
  ASSERT_TRUE(WriteMovie(workDir() + "/clip.mpg", longer));
  const int graph = LoadGraphFileSimple("clip.mpg");
  ASSERT_GE(graph, 0);
  EXPECT_EQ(ShownFrame(graph), 0);
  headless::Deactivate();
  headless::Activate(500);
  PumpWindowMessages();  // the display was lost while inactive: the activation rebuilds everything
  ASSERT_EQ(SystemState.activeFlag, 1);
  ASSERT_TRUE(LogHas("グラフィックを復帰します"));
  EXPECT_EQ(UpdateMovieFrame(graph), 0);
  int previous = ShownFrame(graph);
  for (int step = 0; step < 4; step++) {
    headless::AdvanceMilliseconds(40);
    int shown = ShownFrame(graph);
    EXPECT_EQ(shown, (previous + 1) % 6) << step;
    previous = shown;
  }
}

TEST_F(MovieTest, AMovieComesBackWithItsGraphsLostSurfaces) {
  ASSERT_EQ(Start(32), 0);
  ASSERT_TRUE(WriteMovie(workDir() + "/clip.mpg"));
  const int graph = LoadGraphFileSimple("clip.mpg");
  ASSERT_GE(graph, 0);
  EXPECT_EQ(ShownFrame(graph), 0);
  headless::AdvanceMilliseconds(50);
  MarkAllDirectDrawSurfacesLost();
  // Paint the graph over, as a lost surface's contents are undefined: the restore must bring the frame back.
  RestoreAllGraphSurfaces();
  PaintGraphWithColor(graph, 0, 0, 0, 0);
  EXPECT_EQ(UpdateMovieFrame(graph), 0);
  EXPECT_EQ(DrawnFrame(graph), 1);
  headless::AdvanceMilliseconds(40);
  EXPECT_EQ(ShownFrame(graph), 2);
}

// A movie is one local file: files that name other files or addresses are refused, and nothing they name is
// opened or fetched.
TEST_F(MovieTest, PlaylistsManifestsAndScriptsAreRefusedAndFetchNothing) {
  ASSERT_EQ(Start(32), 0);
  ASSERT_TRUE(WriteMovie(workDir() + "/clip.mpg"));
  // A server on this machine that notes every connection and closes it at once.
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  std::atomic<int> connections{0};
  std::thread server([&] {
    for (int client; (client = accept(listener, nullptr, nullptr)) >= 0;) {
      connections++;
      close(client);
    }
  });
  const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/clip.mpg";
  const struct {
    const char* name;
    std::string text;
  } files[] = {{"manifest.mpd", testing_support::DashManifest(url)},
               {"local.mpd", testing_support::DashManifest("clip.mpg")},
               {"list.m3u8", testing_support::HlsPlaylist("clip.mpg")},
               {"remote.m3u8", testing_support::HlsPlaylist(url)},
               {"script.ffconcat", testing_support::ConcatScript("clip.mpg")}};
  for (const auto& file : files) {
    WriteText(workDir() + "/" + file.name, file.text);
    EXPECT_EQ(LoadGraphFileSimple(file.name), -1) << file.name;
    EXPECT_TRUE(LogHas(std::string("右記のグラフィックファイルのロードに失敗しました：") + file.name))
        << file.name;
  }
  shutdown(listener, SHUT_RDWR);
  close(listener);
  server.join();
  EXPECT_EQ(connections.load(), 0);
  EXPECT_GE(LoadGraphFileSimple("clip.mpg"), 0);  // the movie they name opens by itself
}

TEST_F(MovieTest, AFrameSizePastThePictureLimitIsRefusedFromTheHeader) {
  ASSERT_EQ(Start(32), 0);
  MovieShape small = testing_support::CoarseAvi();
  small.width = small.height = 16;
  ASSERT_TRUE(WriteMovie(workDir() + "/small.avi", small));
  ASSERT_GE(LoadGraphFileSimple("small.avi"), 0);
  std::string bytes = testing_support::FileBytes(workDir() + "/small.avi");
  const struct {
    uint32_t width, height;
    bool taken;
  } cases[] = {{8192, 8192, false}, {16385, 16, false}, {16, 16385, false}, {4097, 4096, false}, {16, 16, true}};
  for (const auto& c : cases) {
    std::string crafted = bytes;
    ASSERT_TRUE(testing_support::DeclareAviFrameSize(crafted, c.width, c.height));
    const std::string name = "declared" + std::to_string(c.width) + "x" + std::to_string(c.height) + ".avi";
    WriteText(workDir() + "/" + name, crafted);
    EXPECT_EQ(LoadGraphFileSimple(name.c_str()) >= 0, c.taken) << name;
  }
}

}  // namespace
