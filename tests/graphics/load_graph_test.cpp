#include <gtest/gtest.h>

#include "graphics/graphics_test_support.h"

namespace {

class LoadGraphTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    ASSERT_EQ(Start(32), 0);
  }
};

uint32_t Tile(int x, int y) { return static_cast<uint32_t>(x * 16) << 16 | static_cast<uint32_t>(y * 16) << 8 | 0x80; }

std::vector<uint32_t> Pixels(int width, int height) {
  std::vector<uint32_t> pixels(width * height);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) pixels[y * width + x] = Tile(x, y);
  return pixels;
}

TEST_F(LoadGraphTest, BmpLoadsIntoAGraph) {
  WriteBmp24(workDir() + "/pic.bmp", 6, 4, Pixels(6, 4));
  int graph = LoadGraphFileSimple("pic.bmp");
  ASSERT_GT(graph, 0);
  GraphRecord* record = GetGraphRecord(graph);
  EXPECT_EQ(record->width, 6);
  EXPECT_EQ(record->height, 4);
  EXPECT_STREQ(record->fileName, "pic.bmp");
  ASSERT_NE(record->directory, nullptr);
  EXPECT_EQ(std::string(record->directory), workDir());
  LockedSurface locked(SurfaceOfGraph(graph)->surface);
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 6; x++) EXPECT_EQ(locked.Get(x, y) & 0xFFFFFF, Tile(x, y));
  // The same file twice gives two graphs with their own surfaces.
  int again = LoadGraphFileSimple("pic.bmp");
  EXPECT_NE(again, graph);
  EXPECT_NE(SurfaceOfGraph(again), SurfaceOfGraph(graph));
}

TEST_F(LoadGraphTest, DividedBmpLoadsIntoCells) {
  WriteBmp24(workDir() + "/sheet.bmp", 8, 4, Pixels(8, 4));
  int cells[5] = {-7, -7, -7, -7, -7};
  ASSERT_EQ(LoadDividedGraphFileSimple("sheet.bmp", 4, 2, 2, 4, 2, cells), 0);
  EXPECT_EQ(cells[4], -7);
  LockedSurface locked(SurfaceOfGraph(cells[0])->surface);
  for (int i = 0; i < 4; i++) {
    Surface2DRecord* view = ViewOfGraph(cells[i]);
    EXPECT_EQ(view->srcX, (i % 2) * 4);
    EXPECT_EQ(view->srcY, (i / 2) * 2);
    EXPECT_EQ(locked.Get(view->srcX + 1, view->srcY + 1) & 0xFFFFFF, Tile(view->srcX + 1, view->srcY + 1));
    EXPECT_STREQ(GetGraphRecord(cells[i])->fileName, "sheet.bmp");
  }
}

TEST_F(LoadGraphTest, DividedLoadNamesNothingWhenACellFails) {
  WriteBmp24(workDir() + "/sheet.bmp", 8, 4, Pixels(8, 4));
  int bystander = CreateEmptyGraph(2, 2, 0, 0);
  int cells[3] = {bystander, bystander, bystander};
  // Three columns of four pixels do not fit eight: the third cell fails.
  EXPECT_EQ(LoadDividedGraphFileSimple("sheet.bmp", 3, 3, 1, 4, 4, cells), -1);
  EXPECT_STREQ(GetGraphRecord(bystander)->fileName, nullptr);
  EXPECT_EQ(GetGraphicsManagerState().graphs.count, 1);
}

TEST_F(LoadGraphTest, MissingAndUndecodableFiles) {
  EXPECT_EQ(LoadGraphFileSimple("nothing.bmp"), -1);
  EXPECT_TRUE(LogHas("グラフィックファイル nothing.bmp がありません"));
  std::ofstream(workDir() + "/junk.bin") << "not a picture at all";
  EXPECT_EQ(LoadGraphFileSimple("junk.bin"), -1);
  EXPECT_TRUE(LogHas("右記のグラフィックファイルのロードに失敗しました：junk.bin "));
  int cells[2];
  EXPECT_EQ(LoadDividedGraphFileSimple("junk.bin", 2, 2, 1, 1, 1, cells), -1);
  EXPECT_EQ(GetGraphicsManagerState().graphs.count, 0);
}

TEST_F(LoadGraphTest, LongPathsAreKeptWhole) {
  std::string name(150, 'n');
  name += ".bmp";
  WriteBmp24(workDir() + "/" + name, 2, 2, Pixels(2, 2));
  int graph = LoadGraphFileSimple(name.c_str());
  ASSERT_GT(graph, 0);
  EXPECT_EQ(std::string(GetGraphRecord(graph)->fileName), name);
}

}  // namespace
