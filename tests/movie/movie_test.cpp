// Movie files as graphs: frames follow the movie's clock, pause with the window, survive a display change; files
// that are no movie are refused.
#include <string>

#include "core/message_pump.h"
#include "graphics/draw_front.h"
#include "graphics_test_support.h"
#include "support/movie_writer.h"

namespace {

using testing_support::kColours;
using testing_support::WriteMovie;

class MovieTest : public GraphicsTest {
 protected:
  // The colour of the frame shown, as the nearest of the six.
  int ShownFrame(int graph) {
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

}  // namespace
