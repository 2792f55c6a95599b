#include <gtest/gtest.h>

#include "graphics/draw_state.h"
#include "graphics/graphics_test_support.h"
#include "graphics/software/backend_glue.h"

namespace {

class GraphManagerTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    ASSERT_EQ(Start(32), 0);
  }
};

uint32_t Gradient(int x, int y) { return static_cast<uint32_t>(x * 8) << 16 | static_cast<uint32_t>(y * 8) << 8 | 0x40; }

TEST_F(GraphManagerTest, HandlesCarryKindSlotAndCheckNumber) {
  uint32_t counter = GetGraphicsManagerState().graphs.checkCounter;
  int first = CreateEmptyGraph(8, 8, 0, 0);
  int second = CreateEmptyGraph(8, 8, 0, 0);
  EXPECT_EQ(first & HandleKindMask, GraphHandle);
  EXPECT_EQ(HandleSlot(first), 0);
  EXPECT_EQ(HandleSlot(second), 1);
  EXPECT_EQ(HandleCheck(first), counter);
  EXPECT_EQ(HandleCheck(second), counter + 1);
  EXPECT_EQ(GetGraphRecord(first)->handle, first);
  EXPECT_EQ(GetGraphRecord(first)->movie, -1);
  // A deleted handle stays bad after its slot is used again.
  EXPECT_EQ(DeleteGraphHandle(first, 0), 0);
  EXPECT_EQ(DeleteGraphHandle(first, 0), -1);
  int third = CreateEmptyGraph(8, 8, 0, 0);
  EXPECT_EQ(HandleSlot(third), 2);  // the high-water slot first
  EXPECT_EQ(GetGraphRecord(first), nullptr);
  EXPECT_EQ(SetGraphDeletedFlagPointer(first, nullptr), -1);
  EXPECT_EQ(SetGraphFileName(first, "gone.bmp"), -1);
  EXPECT_EQ(DeriveGraph(0, 0, 1, 1, first), -1);
  EXPECT_EQ(GetGraphRecord(-1), nullptr);
  EXPECT_EQ(GetGraphRecord(third | 0x10000000), nullptr);
}

TEST_F(GraphManagerTest, DeletingBelowTheHighWaterSlotLowersIt) {
  int a = CreateEmptyGraph(4, 4, 0, 0), b = CreateEmptyGraph(4, 4, 0, 0), c = CreateEmptyGraph(4, 4, 0, 0);
  GraphTable& table = GetGraphicsManagerState().graphs;
  EXPECT_EQ(table.highWater, 3);
  DeleteGraphHandle(b, 0);
  EXPECT_EQ(table.highWater, 3);
  DeleteGraphHandle(c, 0);
  EXPECT_EQ(table.highWater, 1);
  EXPECT_EQ(HandleSlot(CreateEmptyGraph(4, 4, 0, 0)), 1);
  EXPECT_NE(GetGraphRecord(a), nullptr);
}

TEST_F(GraphManagerTest, CheckNumbersWrapAfter2047) {
  GetGraphicsManagerState().graphs.checkCounter = 2046;
  int a = CreateEmptyGraph(2, 2, 0, 0);
  int b = CreateEmptyGraph(2, 2, 0, 0);
  int c = CreateEmptyGraph(2, 2, 0, 0);
  EXPECT_EQ(HandleCheck(a), 2046u);
  EXPECT_EQ(HandleCheck(b), 2047u);
  EXPECT_EQ(HandleCheck(c), 0u);
  EXPECT_GE(c, 0);
  EXPECT_EQ(c & HandleKindMask, GraphHandle);
}

TEST_F(GraphManagerTest, FullGraphTableIsFatal) {
  GetGraphicsManagerState().graphs.count = kGraphTableSize;
  ExpectFatal([] { CreateEmptyGraph(2, 2, 0, 0); }, "グラフィックの数が許容量を越えました終了します");
  GetGraphicsManagerState().graphs.count = 0;
}

TEST_F(GraphManagerTest, CreationSettingsAreCopiedIntoTheGraph) {
  int plain = CreateEmptyGraph(4, 4, 1, 0);
  const GraphCreateParams& params = GetGraphRecord(plain)->params;
  EXPECT_EQ(params.texture, 0);  // no 3-D device
  EXPECT_EQ(params.AlphaTestFlag, 1);
  EXPECT_EQ(params.ColorBitDepth, 32);
  EXPECT_EQ(params.systemMemory, 1);
  int alpha = CreateEmptyGraph(4, 4, 0, 1);
  SurfaceDataRecord* data = SurfaceOfGraph(alpha);
  ASSERT_NE(data, nullptr);
  ASSERT_NE(data->alphaBuffer, nullptr);
  EXPECT_EQ(data->alphaPitch, 4);
  for (int i = 0; i < 16; i++) EXPECT_EQ(data->alphaBuffer[i], 0);
  EXPECT_EQ(data->params.DrawValid, 1);
  // Sizes no surface can have are refused.
  EXPECT_EQ(CreateEmptyGraph(0, 4, 0, 0), -1);
  EXPECT_EQ(CreateEmptyGraph(4, -1, 0, 0), -1);
  EXPECT_EQ(CreateEmptyGraph(70000, 4, 0, 0), -1);
}

// A restart clears the manager but keeps the front-end setting and the refill callback.
TEST_F(GraphManagerTest, RestartKeepsTheFrontEndSetting) {
  GraphicsManagerState& manager = GetGraphicsManagerState();
  manager.keptFrontEndSetting = 1;
  const GraphRefillCallback refill = manager.refill;
  CreateEmptyGraph(4, 4, 0, 0);
  ASSERT_EQ(StopGraphicsManager(), 0);
  ASSERT_EQ(StartGraphicsManager(), 0);
  EXPECT_EQ(manager.keptFrontEndSetting, 1);
  EXPECT_EQ(manager.refill, refill);
  EXPECT_EQ(manager.graphs.count, 0);
  manager.keptFrontEndSetting = 0;
}

// The creation settings are plain stores that answer 0 and read back as set (the create flag as v != 1 twice over).
TEST_F(GraphManagerTest, CreationSettingsReadBackAsSet) {
  struct Setting {
    int (*set)(int);
    int (*get)();
  };
  const Setting settings[] = {{SetGraphAlphaTestFlag, GetGraphAlphaTestFlag},
                              {SetGraphAlphaFlag, GetGraphAlphaFlag},
                              {SetGraphBitDepth, GetGraphBitDepth},
                              {SetGraphCreateFlagB, GetGraphCreateFlagB}};
  for (const Setting& s : settings) {
    const int kept = s.get();
    for (int v : {0, 1, 16}) {
      EXPECT_EQ(s.set(v), 0) << v;
      EXPECT_EQ(s.get(), s.set == SetGraphCreateFlagB ? int(v == 1) : v) << v;
    }
    EXPECT_EQ(s.set(kept), 0);
  }
}

TEST_F(GraphManagerTest, RefusedVideoMemorySurfaceFallsBackToSystemMemory) {
  SetGraphCreateFlagB(0);
  int video = CreateEmptyGraph(16, 16, 0, 0);
  ASSERT_GT(video, 0);
  headless::FailCall("CreateSurface", 1);
  int fallback = CreateEmptyGraph(16, 16, 0, 0);
  ASSERT_GT(fallback, 0);
  EXPECT_EQ(SurfaceOfGraph(fallback)->params.systemMemory, 1);
  EXPECT_FALSE(LogHas("標準サーフェスの作成に失敗しました"));
  // A surface wider than the screen always lies in system memory.
  int wide = CreateEmptyGraph(700, 4, 0, 0);
  EXPECT_EQ(SurfaceOfGraph(wide)->params.systemMemory, 1);
  SetGraphCreateFlagB(1);
}

TEST_F(GraphManagerTest, BothSurfaceCreationsRefusedIsFatal) {
  headless::FailCall("CreateSurface", 2);
  ExpectFatal([] { CreateEmptyGraph(16, 16, 0, 0); }, "グラフィックの作成に失敗しました終了します");
  EXPECT_TRUE(LogHas("標準サーフェスの作成に失敗しました"));
}

TEST_F(GraphManagerTest, DividedCellsShareOneSurfaceByReferenceCount) {
  TestImage picture(32, 16, Gradient);
  int cells[8] = {-5, -5, -5, -5, -5, -5, -5, -5};
  ASSERT_EQ(CreateDivGraphFromGraphImage(&picture.image, nullptr, 6, 4, 2, 8, 8, cells, 1, 0, 0), 0);
  EXPECT_EQ(cells[6], -5);  // allNum stops the cutting
  SurfaceDataRecord* shared = SurfaceOfGraph(cells[0]);
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(shared->refCount, 6);  // the base graph is gone
  for (int i = 0; i < 6; i++) {
    EXPECT_EQ(SurfaceOfGraph(cells[i]), shared);
    Surface2DRecord* view = ViewOfGraph(cells[i]);
    EXPECT_EQ(view->srcX, (i % 4) * 8);
    EXPECT_EQ(view->srcY, (i / 4) * 8);
    EXPECT_EQ(GetGraphRecord(cells[i])->srcX, (i % 4) * 8);
  }
  EXPECT_EQ(GetGraphicsManagerState().graphs.count, 6);
  int dataHandle = ViewOfGraph(cells[0])->surfaceData;
  for (int i = 0; i < 5; i++) DeleteGraphHandle(cells[i], 0);
  EXPECT_EQ(GetSurfaceRecord(dataHandle), shared);
  EXPECT_EQ(shared->refCount, 1);
  DeleteGraphHandle(cells[5], 0);
  EXPECT_EQ(GetSurfaceRecord(dataHandle), nullptr);
  EXPECT_EQ(GetSurfaceDataTable().count, 1);  // the default font's work surface
}

TEST_F(GraphManagerTest, WantedZBufferThatCouldNotBeMadeIsNotDetached) {
  SetGraphCreateFlagB(0);
  int graph = CreateEmptyGraph(16, 16, 0, 0);
  SetGraphCreateFlagB(1);
  int data = ViewOfGraph(graph)->surfaceData;
  ASSERT_EQ(CreateSurfaceZBuffer(data, 1), 0);
  ASSERT_NE(GetSurfaceRecord(data)->zBuffer, nullptr);
  // The rebuild makes the surface again but not its Z buffer.
  EXPECT_EQ(ReleaseSurfaceOfRecord(data), 0);
  headless::FailCall("CreateSurface", 1, 1);
  EXPECT_EQ(CreateSurfaceOfRecord(data), 0);
  ASSERT_NE(GetSurfaceRecord(data)->surface, nullptr);
  EXPECT_EQ(GetSurfaceRecord(data)->zBuffer, nullptr);
  EXPECT_EQ(GetSurfaceRecord(data)->zBufferWanted, 1);
  EXPECT_EQ(CreateSurfaceZBuffer(data, 0), 0);
  EXPECT_EQ(GetSurfaceRecord(data)->zBufferWanted, 0);
  EXPECT_EQ(DeleteGraphHandle(graph, 0), 0);
}

TEST_F(GraphManagerTest, ViewWithoutAGraphHasASurfaceOfItsOwn) {
  // The font cache's call: no owner graph, no parent view, at the origin.
  GraphCreateParams params = GetGraphRecord(CreateEmptyGraph(4, 4, 0, 0))->params;
  int view = AddSurface2D(24, 12, 0, 0, -1, nullptr, 0, 0, &params);
  ASSERT_GT(view, 0);
  Surface2DRecord* record = GetSurface2DRecord(view);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->ownerGraph, -1);
  EXPECT_EQ(record->width, 24);
  EXPECT_EQ(record->height, 12);
  EXPECT_EQ(record->srcX, 0);
  SurfaceDataRecord* data = GetSurfaceRecord(record->surfaceData);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->refCount, 1);
  EXPECT_EQ(data->width, 24);
  ASSERT_NE(data->surface, nullptr);
  // A second view on it shares the surface until both are gone.
  int part = AddSurface2D(8, 4, 0, 0, -1, record, 16, 8, &params);
  ASSERT_GT(part, 0);
  EXPECT_EQ(GetSurface2DRecord(part)->surfaceData, record->surfaceData);
  EXPECT_EQ(data->refCount, 2);
  int dataHandle = record->surfaceData;
  EXPECT_EQ(DeleteSurface2D(view), 0);
  EXPECT_EQ(GetSurfaceRecord(dataHandle), data);
  EXPECT_EQ(DeleteSurface2D(part), 0);
  EXPECT_EQ(GetSurfaceRecord(dataHandle), nullptr);
  EXPECT_EQ(GetSurface2DRecord(part), nullptr);
}

TEST_F(GraphManagerTest, TurnedCellsRunFromTheRight) {
  TestImage picture(16, 8, Gradient);
  int cells[2];
  const std::vector<uint32_t> before = picture.pixels;
  for (int here : {0, 1}) {
    ASSERT_EQ(CreateDivGraphFromGraphImage(&picture.image, nullptr, 2, 2, 1, 8, 8, cells, 1, 1, here), 0);
    EXPECT_EQ(ViewOfGraph(cells[0])->srcX, 8);
    EXPECT_EQ(ViewOfGraph(cells[1])->srcX, 0);
    // Turned here, the picture goes in mirrored (and the caller's picture is left as it was).
    LockedSurface locked(SurfaceOfGraph(cells[0])->surface);
    for (int x = 0; x < 16; x++) EXPECT_EQ(locked.Get(x, 5) & 0xFFFFFF, Gradient(here ? 15 - x : x, 5)) << here;
    EXPECT_EQ(picture.pixels, before);
  }
}

TEST_F(GraphManagerTest, FailedCellDeletesEverythingMade) {
  TestImage picture(16, 8, Gradient);
  int cells[4];
  // The third cell's origin lies outside the picture.
  EXPECT_EQ(CreateDivGraphFromGraphImage(&picture.image, nullptr, 4, 4, 1, 8, 8, cells, 1, 0, 0), -1);
  EXPECT_EQ(GetGraphicsManagerState().graphs.count, 0);
  EXPECT_EQ(GetSurfaceDataTable().count, 1);  // the default font's work surface
  EXPECT_TRUE(LogHas("グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage"));
  // A cell size of 0 fails the same way instead of making a view of no pixels.
  EXPECT_EQ(CreateDivGraphFromGraphImage(&picture.image, nullptr, 1, 1, 1, 0, 8, cells, 1, 0, 0), -1);
  EXPECT_EQ(GetGraphicsManagerState().graphs.count, 0);
}

TEST_F(GraphManagerTest, DerivedGraphsAreCutToTheParentAndNest) {
  int parent = CreateEmptyGraph(32, 32, 0, 0);
  EXPECT_EQ(DeriveGraph(-1, 0, 4, 4, parent), -1);
  EXPECT_EQ(DeriveGraph(32, 0, 4, 4, parent), -1);
  EXPECT_EQ(DeriveGraph(0, 0, 0, 4, parent), -1);
  EXPECT_EQ(DeriveGraph(0, 0, 4, -4, parent), -1);
  int child = DeriveGraph(10, 12, 100, 100, parent);
  ASSERT_GT(child, 0);
  EXPECT_EQ(GetGraphRecord(child)->width, 22);
  EXPECT_EQ(GetGraphRecord(child)->height, 20);
  int grandchild = DeriveGraph(2, 3, 4, 4, child);
  ASSERT_GT(grandchild, 0);
  // The nested view lies at the sum of both offsets in the shared surface.
  EXPECT_EQ(ViewOfGraph(grandchild)->srcX, 12);
  EXPECT_EQ(ViewOfGraph(grandchild)->srcY, 15);
  EXPECT_EQ(GetGraphRecord(grandchild)->srcX, 12);
  EXPECT_EQ(SurfaceOfGraph(grandchild)->refCount, 3);
  // Deleting the parent leaves the children their surface.
  DeleteGraphHandle(parent, 0);
  EXPECT_NE(SurfaceOfGraph(grandchild), nullptr);
  EXPECT_EQ(SurfaceOfGraph(grandchild)->refCount, 2);
}

TEST_F(GraphManagerTest, DeletedFlagPointers) {
  int32_t graphFlag = -1, viewFlag = -1;
  int graph = CreateEmptyGraph(4, 4, 0, 0);
  EXPECT_EQ(SetGraphDeletedFlagPointer(graph, &graphFlag), 0);
  EXPECT_EQ(graphFlag, 0);
  EXPECT_EQ(SetSurface2DDeletedFlagPointer(GetGraphRecord(graph)->parts[0], &viewFlag), 0);
  EXPECT_EQ(viewFlag, 0);
  EXPECT_EQ(SetSurface2DDeletedFlagPointer(-1, &viewFlag), 0);  // a bad handle is ignored
  DeleteGraphHandle(graph, 1);
  EXPECT_EQ(graphFlag, 1);
  EXPECT_EQ(viewFlag, 1);
  EXPECT_TRUE(LogHas("グラフィック  の削除"));
}

TEST_F(GraphManagerTest, SurfaceLocksNest) {
  int graph = CreateEmptyGraph(4, 4, 0, 0);
  int data = ViewOfGraph(graph)->surfaceData;
  int32_t pitch = 0, pitch2 = 0;
  void *pixels = nullptr, *pixels2 = nullptr;
  EXPECT_EQ(LockSurfaceRecord(data, &pitch, &pixels, 0, nullptr), 0);
  EXPECT_EQ(LockSurfaceRecord(data, &pitch2, &pixels2, 0, nullptr), -2);
  EXPECT_EQ(pitch2, pitch);
  EXPECT_EQ(pixels2, pixels);
  EXPECT_EQ(GetSurfaceRecord(data)->lockNesting, 2);
  EXPECT_EQ(UnlockSurfaceRecord(data, nullptr), 0);
  EXPECT_EQ(UnlockSurfaceRecord(data, nullptr), 0);
  EXPECT_EQ(UnlockSurfaceRecord(data, nullptr), -1);
  EXPECT_EQ(AddSurfaceRecordRef(data), 2);
  EXPECT_EQ(ReleaseSurfaceRecordRef(data), 1);
  EXPECT_EQ(AddSurfaceRecordRef(-1), -1);
}

TEST_F(GraphManagerTest, PictureAndAlphaGoIntoTheSurface) {
  TestImage picture(4, 2, Gradient);
  TestImage alpha(4, 2, [](int x, int) -> uint32_t { return static_cast<uint32_t>(x * 60) << 16 | 0x77; });
  int graph = BuildGraphFromImage(&picture.image, &alpha.image, 1, 0, 0);
  ASSERT_GT(graph, 0);
  SurfaceDataRecord* data = SurfaceOfGraph(graph);
  ASSERT_NE(data->alphaBuffer, nullptr);
  {
    LockedSurface locked(data->surface);
    for (int y = 0; y < 2; y++)
      for (int x = 0; x < 4; x++) EXPECT_EQ(locked.Get(x, y) & 0xFFFFFF, Gradient(x, y));
  }
  // The alpha picture's red channel is the alpha.
  for (int x = 0; x < 4; x++) EXPECT_EQ(data->alphaBuffer[x], x * 60);
  // Without any alpha source an alpha graph is opaque.
  int opaque = CreateEmptyGraph(4, 2, 0, 1);
  FillGraphFromImage(nullptr, nullptr, nullptr, nullptr, 0, &picture.image, nullptr, 0, 0, opaque, 0);
  EXPECT_EQ(SurfaceOfGraph(opaque)->alphaBuffer[5], 255);
  // An alpha picture of another size is refused.
  TestImage small(2, 2, Gradient);
  EXPECT_EQ(BuildGraphFromImage(&picture.image, &small.image, 1, 0, 0), -1);
}

TEST_F(GraphManagerTest, RectangleTransferStaysInsideTheCellAndThePicture) {
  TestImage picture(16, 8, Gradient);
  int cells[2];
  ASSERT_EQ(CreateDivGraphFromGraphImage(&picture.image, nullptr, 2, 2, 1, 8, 8, cells, 1, 0, 0), 0);
  SurfaceDataRecord* data = SurfaceOfGraph(cells[1]);
  {
    LockedSurface locked(data->surface);
    for (int y = 0; y < 8; y++)
      for (int x = 0; x < 16; x++) locked.Set(x, y, 0);
  }
  // A rectangle reaching past the cell and past the picture lands in the second cell only.
  RECT source{12, 4, 40, 40};
  EXPECT_EQ(FillGraphFromPixelData(nullptr, nullptr, nullptr, "x", 0, &picture.image, nullptr, &source, 6, 6, cells[1],
                                   0),
            0);
  // Hostile rectangles and positions change nothing outside the picture and the cell.
  RECT huge{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  EXPECT_EQ(FillGraphFromPixelData(nullptr, nullptr, nullptr, "x", 0, &picture.image, nullptr, &huge, INT32_MAX,
                                   INT32_MIN, cells[1], 0),
            0);
  RECT inverted{10, 10, 2, 2};
  EXPECT_EQ(FillGraphFromPixelData(nullptr, nullptr, nullptr, "x", 0, &picture.image, nullptr, &inverted, 0, 0,
                                   cells[1], 0),
            0);
  LockedSurface locked(data->surface);
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 16; x++) {
      uint32_t expected = x >= 14 && y >= 6 ? Gradient(12 + x - 14, 4 + y - 6) : 0;
      EXPECT_EQ(locked.Get(x, y) & 0xFFFFFF, expected) << x << "," << y;
    }
}

TEST_F(GraphManagerTest, PaintAndClearTouchOnlyTheGraphsOwnView) {
  TestImage picture(16, 8, Gradient);
  int cells[2];
  ASSERT_EQ(CreateDivGraphFromGraphImage(&picture.image, nullptr, 2, 2, 1, 8, 8, cells, 1, 0, 0), 0);
  GraphRecord* second = GetGraphRecord(cells[1]);
  EXPECT_EQ(G_DDraw_PaintGraph(second, 255, 255, 255, 255), 0);
  SurfaceDataRecord* data = SurfaceOfGraph(cells[0]);
  {
    LockedSurface locked(data->surface);
    EXPECT_EQ(locked.Get(3, 3) & 0xFFFFFF, Gradient(3, 3));
    EXPECT_EQ(locked.Get(12, 3) & 0xFFFFFF, 0xFFFFFFu);
  }
  ASSERT_EQ(SelectDrawTarget(cells[1]), 0);
  EXPECT_EQ(ClearDrawTarget(), 0);
  LockedSurface locked(data->surface);
  EXPECT_EQ(locked.Get(3, 3) & 0xFFFFFF, Gradient(3, 3));
  EXPECT_EQ(locked.Get(12, 3) & 0xFFFFFF, 0u);
}

}  // namespace
