#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "core/file_access.h"
#include "graphics/graphics_test_support.h"
#include "graphics/picture_loader.h"
#include "support/picture_writers.h"

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

// A division answers 0 only with every one of its allNum entries a live, named cell; otherwise -1 and no graph is
// left behind, the caller's other graphs untouched.
TEST_F(LoadGraphTest, DividedLoadGivesAllItsCellsOrNone) {
  WriteBmp24(workDir() + "/sheet.bmp", 8, 4, Pixels(8, 4));
  struct Case {
    int allNum, xNum, yNum, answer;
  };
  const Case cases[] = {
      {100, 2, 2, -1}, {5, 2, 2, -1},   {4, 0, 2, -1},       {4, -1, 2, -1},      {4, 2, 0, -1},
      {4, 2, -3, -1},  {-1, 2, 2, -1},  {3, INT_MAX, 1, -1}, {4, 2, INT_MAX, 0},  {4, 2, 2, 0},
      {3, 2, 2, 0},    {1, 1, 1, 0},    {0, 2, 2, 0},        {0, 0, 0, 0},
  };
  const int bystander = CreateEmptyGraph(2, 2, 0, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.allNum) + " cells, " + std::to_string(c.xNum) + " by " + std::to_string(c.yNum));
    std::vector<int> cells(8, bystander);
    EXPECT_EQ(LoadDividedGraphFileSimple("sheet.bmp", c.allNum, c.xNum, c.yNum, 4, 2, cells.data()), c.answer);
    const int made = c.answer == 0 ? c.allNum : 0;
    EXPECT_EQ(GetGraphicsManagerState().graphs.count, 1 + made);
    for (int i = 0; i < made; i++) {
      ASSERT_NE(GetGraphRecord(cells[i]), nullptr) << i;
      EXPECT_NE(cells[i], bystander);
      EXPECT_STREQ(GetGraphRecord(cells[i])->fileName, "sheet.bmp");
    }
    for (size_t i = made; i < cells.size() && c.answer == 0; i++) EXPECT_EQ(cells[i], bystander);
    EXPECT_STREQ(GetGraphRecord(bystander)->fileName, nullptr);
    for (int i = 0; i < made; i++) DeleteGraphHandle(cells[i], 0);
  }
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

TEST_F(LoadGraphTest, AlphaCompanionOfAnotherSizeLoadsThePictureWithoutAlpha) {
  WriteBmp24(workDir() + "/pic.bmp", 4, 4, Pixels(4, 4));
  WriteBmp24(workDir() + "/pic_a.bmp", 6, 6, Pixels(6, 6));
  int graph = LoadGraphFileSimple("pic.bmp");
  ASSERT_GT(graph, 0);
  EXPECT_EQ(GetGraphRecord(graph)->params.AlphaChFlag, 0);
  int cells[2];
  EXPECT_EQ(LoadDividedGraphFileSimple("pic.bmp", 2, 2, 1, 2, 4, cells), 0);
  // A base graph that cannot be built fails the division with the division's text.
  GraphImage image{}, alpha{};
  ASSERT_EQ(LoadPictureToGraphImage("pic.bmp", nullptr, 0, 0, &image, 0), 0);
  ASSERT_EQ(LoadPictureToGraphImage("pic_a.bmp", nullptr, 0, 0, &alpha, 0), 0);
  EXPECT_EQ(CreateDivGraphFromGraphImage(&image, &alpha, 2, 2, 1, 2, 4, cells, 0, 0, 0), -1);
  EXPECT_TRUE(LogHas("グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage"));
  DiscardGraphImage(&image);
  DiscardGraphImage(&alpha);
}

// Pictures beyond the picture limit: too wide or tall for a surface, or too many pixels for their small files.
TEST_F(LoadGraphTest, OversizedPicturesAndBombsAreRefusedAndTheProgramGoesOn) {
  using namespace picture_writers;
  PngFile wide;
  wide.width = 16385;
  wide.height = 4;
  wide.type = PNG_COLOR_TYPE_GRAY;
  wide.rows.assign(4, Bytes(16385, 0));
  PngFile bomb = wide;  // 8192 x 8192 one-bit grey: 8 MB of rows in a few kilobytes
  bomb.width = bomb.height = 8192;
  bomb.depth = 1;
  bomb.rows.assign(8192, Bytes(1024, 0));
  Bytes tall = WriteJpeg(16, 16, 3, JCS_RGB, false, Blocks(16, 16, 3));
  const unsigned char frameHeader[] = {0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x10};  // 8-bit samples, height 16
  const auto frame = std::search(tall.begin(), tall.end(), std::begin(frameHeader), std::end(frameHeader));
  ASSERT_NE(frame, tall.end());
  frame[5] = 0x40;  // height 16,400
  BmpFile runs(16384, 16384, 8, 1);  // a run-length picture of 268 million pixels in a few bytes
  runs.palette = {0, 0xFFFFFF};
  runs.data = {255, 1, 255, 1, 0, 1};
  // A largest progressive picture as an encoder writes it, and the same with its second scan repeated until the file
  // holds 990 scans, each a walk over the picture's blocks.
  const Bytes progressive = WriteJpeg(4096, 4096, 3, JCS_RGB, true, Bytes(size_t{3} << 24, 0x80));
  const unsigned char sos[] = {0xFF, 0xDA};
  const auto first = std::search(progressive.begin(), progressive.end(), sos, sos + 2);
  const auto scan = std::search(first + 2, progressive.end(), sos, sos + 2);
  const auto next = std::adjacent_find(scan + 2, progressive.end(), [](int a, int b) { return a == 0xFF && b != 0; });
  Bytes scans = progressive;
  for (int i = 10; i < 990; ++i) scans.insert(scans.begin() + (next - progressive.begin()), scan, next);
  BmpFile fields(16132, 1030, 16, 3);  // narrow fields over 16.6 million pixels, all but 37 left black
  fields.masks = {1, 2, 4};
  fields.data = Pattern(74, 5);
  auto save = [this](const std::string& name, const Bytes& bytes) {
    std::ofstream(workDir() + "/" + name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                 static_cast<std::streamsize>(bytes.size()));
  };
  const std::pair<const char*, Bytes> files[] = {{"wide.png", WritePng(wide)}, {"bomb.png", WritePng(bomb)},
                                                 {"tall.jpg", tall},           {"runs.bmp", Build(runs)},
                                                 {"scans.jpg", scans}};
  for (const auto& [name, bytes] : files) {
    save(name, bytes);
    EXPECT_EQ(LoadGraphFileSimple(name), -1) << name;
    EXPECT_TRUE(LogHas(std::string("右記のグラフィックファイルのロードに失敗しました：") + name + " ")) << name;
    int cells[2];
    EXPECT_EQ(LoadDividedGraphFileSimple(name, 2, 2, 1, 2, 2, cells), -1) << name;
  }
  EXPECT_EQ(CreateEmptyGraphDefault(16385, 1), -1);
  EXPECT_EQ(GetGraphicsManagerState().graphs.count, 0);
  for (const auto& [name, bytes] : {std::pair{"pic.jpg", progressive}, std::pair{"fields.bmp", Build(fields)}}) {
    save(name, bytes);
    EXPECT_GT(LoadGraphFileSimple(name), 0) << name;
  }
}

TEST_F(LoadGraphTest, ShiftJisNamesFindUtf8FilesAndRawBytesAsAFallBack) {
  std::filesystem::create_directories(workDir() + "/CG");
  // 表 and ソ end in the byte 0x5C, which is no separator inside them.
  WriteBmp24(workDir() + "/CG/" + reinterpret_cast<const char*>(u8"表示.bmp"), 2, 2, Pixels(2, 2));
  WriteBmp24(workDir() + "/CG/\x83\x5C.bmp", 2, 2, Pixels(2, 2));  // a name in raw Shift-JIS bytes
  EXPECT_GT(LoadGraphFileSimple("CG\\表示.bmp"), 0);
  EXPECT_GT(LoadGraphFileSimple("cg/表示.BMP"), 0);
  EXPECT_GT(LoadGraphFileSimple("CG\\ソ.bmp"), 0);
  char host[64];
  EXPECT_EQ(ConvertToHostPath("cg\\表示.bmp", host, sizeof host), 13);
  EXPECT_STREQ(host, reinterpret_cast<const char*>(u8"CG/表示.bmp"));
  EXPECT_EQ(ConvertToHostPath("cg\\表示.bmp", host, 13), -1);
}

TEST_F(LoadGraphTest, LongPathsAreKeptWhole) {
  std::string name(150, 'n');
  name += ".bmp";
  WriteBmp24(workDir() + "/" + name, 2, 2, Pixels(2, 2));
  int graph = LoadGraphFileSimple(name.c_str());
  ASSERT_GT(graph, 0);
  EXPECT_EQ(std::string(GetGraphRecord(graph)->fileName), name);
  // A working directory far beyond 127 bytes is recorded whole too.
  std::string deep = workDir() + "/" + std::string(100, 'd') + "/" + std::string(100, 'e') + "/" + std::string(100, 'f');
  std::filesystem::create_directories(deep);
  WriteBmp24(deep + "/p.bmp", 2, 2, Pixels(2, 2));
  ASSERT_NE(FileAccessSetDir(deep.c_str()), 0);
  int inside = LoadGraphFileSimple("p.bmp");
  ASSERT_NE(FileAccessSetDir(workDir().c_str()), 0);
  ASSERT_GT(inside, 0);
  ASSERT_NE(GetGraphRecord(inside)->directory, nullptr);
  EXPECT_EQ(std::string(GetGraphRecord(inside)->directory), deep);
  EXPECT_STREQ(GetGraphRecord(inside)->fileName, "p.bmp");
}

TEST_F(LoadGraphTest, DividedLoadWithAnEmptyCellSizeFails) {
  WriteBmp24(workDir() + "/sheet.bmp", 8, 4, Pixels(8, 4));
  int cells[2] = {-7, -7};
  EXPECT_EQ(LoadDividedGraphFileSimple("sheet.bmp", 2, 2, 1, 0, 4, cells), -1);
  EXPECT_EQ(LoadDividedGraphFileSimple("sheet.bmp", 2, 2, 1, 4, -2, cells), -1);
  EXPECT_EQ(cells[0], -7);
  EXPECT_TRUE(LogHas("グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage"));
  EXPECT_EQ(GetGraphicsManagerState().graphs.count, 0);
}

}  // namespace

namespace {

class PaletteScreenLoadTest : public GraphicsTest {};

TEST_F(PaletteScreenLoadTest, PicturesReachAPaletteScreenThroughTheDeviceContexts) {
  ASSERT_EQ(Start(8), 0);
  // Colours of the default palette's 3-3-2 grid, which the transfer keeps exactly.
  std::vector<uint32_t> pixels = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x246D55};
  WriteBmp24(workDir() + "/grid.bmp", 3, 2, pixels);
  int graph = LoadGraphFileSimple("grid.bmp");
  ASSERT_GT(graph, 0);
  const DirectDrawLayerState& layer = GetDirectDrawLayerState();
  LockedSurface locked(SurfaceOfGraph(graph)->surface);
  for (int i = 0; i < 6; i++) {
    const ScreenPaletteEntry& e = layer.paletteEntries[locked.Get(i % 3, i / 3)];
    uint32_t shown = static_cast<uint32_t>(e.red) << 16 | e.green << 8 | e.blue;
    const ScreenPaletteEntry& nearest = layer.paletteEntries[PackScreenColor(
        (pixels[i] >> 16) & 0xFF, (pixels[i] >> 8) & 0xFF, pixels[i] & 0xFF)];
    EXPECT_EQ(shown, static_cast<uint32_t>(nearest.red) << 16 | nearest.green << 8 | nearest.blue) << i;
  }
}

TEST_F(PaletteScreenLoadTest, NoAlphaIsTransferredOnAPaletteScreen) {
  ASSERT_EQ(Start(8), 0);
  TestImage picture(4, 2, [](int, int) -> uint32_t { return 0xFFFFFF; });
  TestImage alpha(4, 2, [](int, int) -> uint32_t { return 0x800000; });
  int graph = BuildGraphFromImage(&picture.image, &alpha.image, 1, 0, 0);
  ASSERT_GT(graph, 0);
  SurfaceDataRecord* data = SurfaceOfGraph(graph);
  ASSERT_NE(data->alphaBuffer, nullptr);
  for (int i = 0; i < 8; i++) EXPECT_EQ(data->alphaBuffer[i], 0);
}

}  // namespace
