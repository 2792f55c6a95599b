// Display changes rebuild the DirectDraw side and refill every graph from its file; masks limit drawing.
#include <sys/stat.h>
#include <unistd.h>

#include "core/message_pump.h"
#include "graphics/display_recovery.h"
#include "graphics/draw_front.h"
#include "graphics/graphics_system.h"
#include "graphics_test_support.h"

namespace {

class RecoveryTest : public GraphicsTest {
 protected:
  uint32_t Back(int x, int y) { return LockedSurface(QueryBackSurface()).Get(x, y); }
  int Count(const std::string& text) {
    std::string log = Log();
    int n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) n++;
    return n;
  }
  void DisplayChange() {
    headless::PostDisplayChange(1280, 1024, 32);
    for (int i = 0; i < 4; i++) PumpWindowMessages();
  }
};

uint32_t Stripes(int x, int) { return x < 4 ? 0xFF0000u : 0x0000FFu; }

TEST_F(RecoveryTest, DisplayChangeRefillsEveryGraphFromItsFileOnceAndKeepsHandles) {
  ASSERT_EQ(Start(32), 0);
  std::vector<uint32_t> pixels(16);
  for (int i = 0; i < 16; i++) pixels[i] = Stripes(i % 8, 0);
  WriteBmp24(workDir() + "/cells.bmp", 8, 2, pixels);
  int cells[2] = {-1, -1};
  ASSERT_EQ(LoadDividedGraphFileSimple("cells.bmp", 2, 2, 1, 4, 2, cells), 0);
  const int gone = LoadGraphFileSimple("cells.bmp");
  WriteBmp24(workDir() + "/small.bmp", 2, 2, std::vector<uint32_t>(4, 0x00FF00));
  const int shrunk = LoadGraphFileSimple("small.bmp");
  ASSERT_GE(gone, 0);
  ASSERT_GE(shrunk, 0);
  const std::string before = FileAccessGetDirString();
  WriteBmp24(workDir() + "/small.bmp", 1, 1, {0x00FF00});  // changed on disk: no longer holds the graph
  DisplayChange();
  EXPECT_EQ(Count("cells.bmp をロードします"), 1);  // the divided cells and the next graph share one read
  EXPECT_EQ(Count("small.bmp がロードできませんでした"), 1);
  EXPECT_EQ(FileAccessGetDirString(), before);
  EXPECT_EQ(GetGraphRecord(shrunk)->restorePending, 0);
  EXPECT_EQ(SurfaceOfGraph(cells[0]), SurfaceOfGraph(cells[1]));
  ASSERT_NE(SurfaceOfGraph(cells[0])->surface, nullptr);
  SelectDrawTarget(-2);
  ClearDrawTarget();
  EXPECT_EQ(DrawGraph(0, 0, cells[0], 0), 0);
  EXPECT_EQ(DrawGraph(10, 0, cells[1], 0), 0);
  EXPECT_EQ(Back(0, 1) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(Back(10, 1) & 0xFFFFFF, 0x0000FFu);
}

// Long working directories and file names are ordinary here: every named graph is refilled, and a refill that
// fails says so in the log.
TEST_F(RecoveryTest, GraphsFromLongPathsAreRefilledAndFailedRefillsLogged) {
  ASSERT_EQ(Start(32), 0);
  // Past the 260 characters of the old directory buffers, too.
  const std::string deep = workDir() + "/" + std::string(150, 'd') + "/" + std::string(150, 'e');
  ASSERT_EQ(mkdir(deep.substr(0, deep.size() - 151).c_str(), 0755), 0);
  ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  ASSERT_NE(FileAccessSetDir(deep.c_str()), 0);
  const std::string longName = std::string(70, 'n') + ".bmp", goneName = std::string(90, 'g') + ".bmp";
  WriteBmp24(deep + "/" + longName, 2, 1, {0x00FF00, 0x0000FF});
  WriteBmp24(deep + "/" + goneName, 1, 1, {0xFF0000});
  const int kept = LoadGraphFileSimple(longName.c_str());
  const int gone = LoadGraphFileSimple(goneName.c_str());
  ASSERT_GE(kept, 0);
  ASSERT_GE(gone, 0);
  ASSERT_EQ(unlink((deep + "/" + goneName).c_str()), 0);
  DisplayChange();
  EXPECT_EQ(Count(longName + " をロードします"), 1);
  EXPECT_EQ(Count(goneName + " がロードできませんでした"), 1);
  EXPECT_EQ(GetGraphRecord(gone)->restorePending, 0);
  EXPECT_EQ(FileAccessGetDirString(), deep);
  SelectDrawTarget(-2);
  ClearDrawTarget();
  EXPECT_EQ(DrawGraph(0, 0, kept, 0), 0);
  EXPECT_EQ(Back(0, 0) & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(Back(1, 0) & 0xFFFFFF, 0x0000FFu);
}

TEST_F(RecoveryTest, ReleasingTwiceSaysItIsAlreadyReleased) {
  ASSERT_EQ(Start(32), 0);
  EXPECT_EQ(ReleaseDirectDrawObject(), 0);
  EXPECT_EQ(ReleaseDirectDrawObject(), 0);
  EXPECT_EQ(Count("既に解放されています"), 1);
  EXPECT_EQ(RecreateDirectDrawObject(), 0);
  IDirectDraw7* object = QueryDirectDrawObject();
  EXPECT_EQ(RecreateDirectDrawObject(), 0);
  EXPECT_EQ(QueryDirectDrawObject(), object);
}

// A mask byte forbids drawing; allowed pixels take what was drawn, black included.
TEST_F(RecoveryTest, MaskKeepsForbiddenPixelsAtEveryDepth) {
  for (int bits : {8, 16, 32}) {
    ASSERT_EQ(Start(bits), 0) << bits;
    EXPECT_EQ(SetMaskDrawOn(1), -1);  // no mask screen yet
    int graph = CreateEmptyGraph(7, 1, 0, 0);
    SelectDrawTarget(graph);
    ClearDrawTarget();  // the graph is black: pixel value 0, the mask's key
    SelectDrawTarget(-2);
    const uint32_t old = bits == 8 ? 5u : PackScreenColor(200, 100, 50);
    DrawBoxShape(0, 0, 16, 4, old, 1);
    ASSERT_EQ(CreateMaskScreen(), 0);
    FillMaskScreenRect(3, 0, 5, 4, 1);
    ASSERT_EQ(SetMaskDrawOn(1), 0);
    EXPECT_EQ(DrawGraph(0, 0, graph, 0), 0);
    SetMaskDrawOn(0);
    for (int x = 0; x < 8; x++) EXPECT_EQ(Back(x, 0), x == 3 || x == 4 || x == 7 ? old : 0u) << bits << " " << x;
    DeleteMaskScreen();
    EXPECT_EQ(SetMaskDrawOn(1), -1);
    EXPECT_EQ(DeleteMaskHandle(MakeHandle(GraphHandle, 0, 0)), -1);
    EXPECT_EQ(DeleteMaskHandle(MakeHandle(MaskHandle, 0, 3)), -1);
    ShutdownLibrary();
    started_ = false;
  }
}

}  // namespace
