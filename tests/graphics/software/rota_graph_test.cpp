// The rotated and four-corner drawers inside the library: started headless at every depth, drawn through the
// public calls onto the back screen, and checked pixel for pixel against the plain reference.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "graphics/draw_front.h"
#include "graphics/draw_state.h"
#include "graphics/graphics_test_support.h"
#include "graphics/software/graph_draw.h"
#include "graphics/software/rota_draw.h"
#include "rota_reference.h"
#include "support/depth_case.h"

namespace {

class RotaGraphTest : public GraphicsTest, public ::testing::WithParamInterface<DepthCase> {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    ASSERT_EQ(Start(GetParam().bits, GetParam().rgb555), 0);
    ASSERT_EQ(SelectDrawTarget(-2), 0);
    format_ = GetParam().bits == 8    ? ref::F8()
              : GetParam().bits == 32 ? ref::F32()
              : GetParam().rgb555     ? ref::F555()
                                      : ref::F565();
    // Random background.
    std::mt19937 rng(17);
    LockedSurface back(QueryBackSurface());
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) back.Set(x, y, static_cast<uint32_t>(rng()) & Mask());
  }
  uint32_t Mask() const { return format_.depth == 32 ? 0xFFFFFFFF : format_.depth == 16 ? 0xFFFF : 0xFF; }
  ref::Surface Screen() {
    ref::Surface s(640, 480, format_.Bytes());
    LockedSurface back(QueryBackSurface());
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) s.Set(x, y, back.Get(x, y));
    return s;
  }
  // The graph's pixels and alpha plane as the reference reads them.
  void Texture(int graph, ref::Surface* tex, std::vector<uint8_t>* plane) {
    GraphRecord* record = GetGraphRecord(graph);
    Surface2DRecord* view = ViewOfGraph(graph);
    SurfaceDataRecord* data = SurfaceOfGraph(graph);
    *tex = ref::Surface(record->width, record->height, format_.Bytes());
    LockedSurface locked(data->surface);
    for (int y = 0; y < record->height; ++y)
      for (int x = 0; x < record->width; ++x) tex->Set(x, y, locked.Get(view->srcX + x, view->srcY + y));
    plane->clear();
    if (data->alphaBuffer != nullptr)
      for (int y = 0; y < record->height; ++y)
        for (int x = 0; x < record->width; ++x)
          plane->push_back(data->alphaBuffer[(view->srcY + y) * data->alphaPitch + view->srcX + x]);
  }
  ref::Settings Settings(int graph, int trans) {
    const GraphicsDrawState& state = GetGraphicsDrawState();
    ref::Settings st;
    st.mode = state.blendMode;
    st.param = state.blendParam;
    st.trans = trans;
    uint32_t c = SurfaceOfGraph(graph)->transparentColor;
    st.key = format_.depth == 8 ? 0 : PackScreenColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
    return st;
  }
  void ExpectScreen(const ref::Surface& want) {
    LockedSurface back(QueryBackSurface());
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) ASSERT_EQ(back.Get(x, y), want.Get(x, y)) << x << "," << y;
  }
  ref::Format format_;
};

uint32_t Picture(int x, int y) { return (x * 7 + y * 3) % 5 == 0 ? 0 : 0x102030u * static_cast<uint32_t>(x + 1) ^ (y * 0x050709u); }
uint32_t Alpha(int x, int y) { return static_cast<uint32_t>((x * 37 + y * 91) % 256) << 16; }

TEST_P(RotaGraphTest, RotatedDrawsMatchTheReferenceInEveryMode) {
  TestImage picture(23, 17, Picture), alpha(23, 17, Alpha);
  for (bool withPlane : {false, true}) {
    int graph = BuildGraphFromImage(&picture.image, withPlane ? &alpha.image : nullptr, 0, 0, 0);
    ASSERT_GT(graph, 0);
    ref::Surface tex;
    std::vector<uint8_t> plane;
    Texture(graph, &tex, &plane);
    ASSERT_EQ(plane.empty(), !withPlane);
    for (int mode : {0, 1, 2, 3, 4}) {
      SelectBlendMode(mode, mode == 0 ? 255 : 150);
      for (int trans : {0, 1}) {
        ref::Surface want = Screen();
        const double angle = 0.4 + mode, scale = 1.0 + 0.3 * trans;
        const int x = 620 - 40 * mode, y = 20 + 100 * trans;  // partly outside on the right and top
        ASSERT_EQ(DrawRotaGraph(x, y, scale, angle, graph, trans, 0), 0);
        ref::Rotated(format_, Settings(graph, trans), want, want, ref::Texture{&tex, withPlane ? &plane : nullptr}, x,
                     y, scale, angle, {0, 0, 640, 480});
        ExpectScreen(want);
      }
    }
    DeleteGraphHandle(graph, 0);
  }
}

TEST_P(RotaGraphTest, TurnedShotsAndDividedCellsTakeTheirAlphaFromTheirOwnPlace) {
  TestImage picture(32, 16, Picture), alpha(32, 16, Alpha);
  int cells[4];
  ASSERT_EQ(CreateDivGraphFromGraphImage(&picture.image, &alpha.image, 4, 4, 1, 8, 16, cells, 1, 0, 0), 0);
  ref::Surface tex;
  std::vector<uint8_t> plane;
  Texture(cells[2], &tex, &plane);
  ASSERT_EQ(ViewOfGraph(cells[2])->srcX, 16);
  for (int mode : {0, 1}) {
    SelectBlendMode(mode, 200);
    ref::Surface want = Screen();
    ASSERT_EQ(DrawRotaGraph(100, 60, 1.5, 0.7, cells[2], 1, 1), 0);
    RotaGeometry g;
    RotaComputeGeometry(100, 60, 1.5, 0.7, 8, 16, true, {0, 0, 640, 480}, &g);
    ref::Vertex v[4] = {{g.modiX[0], g.modiY[0], 0, 0}, {g.modiX[1], g.modiY[1], 8, 0},
                        {g.modiX[2], g.modiY[2], 0, 16}, {g.modiX[3], g.modiY[3], 8, 16}};
    ref::Settings st = Settings(cells[2], 1);
    // Blending with an alpha plane reads a copy of the screen taken before the first triangle, so the diagonal
    // both triangles cover is blended once against the old background.
    const ref::Surface old = want;
    const ref::Surface& bg = mode != 0 && format_.depth != 8 ? old : want;
    ref::Triangle(format_, st, want, bg, ref::Texture{&tex, &plane}, v, 0, {0, 0, 640, 480});
    ref::Triangle(format_, st, want, bg, ref::Texture{&tex, &plane}, v + 1, 0, {0, 0, 640, 480});
    ExpectScreen(want);
  }
}

TEST_P(RotaGraphTest, FourCornerCopyWithAlphaPlaneDrawsAtParameterZero) {
  TestImage picture(8, 8, Picture), alpha(8, 8, [](int, int) -> uint32_t { return 255u << 16; });
  int graph = BuildGraphFromImage(&picture.image, &alpha.image, 0, 0, 0);
  ASSERT_GT(graph, 0);
  GetGraphicsDrawState().blendMode = 0;
  GetGraphicsDrawState().blendParam = 0;
  ref::Surface tex;
  std::vector<uint8_t> plane;
  Texture(graph, &tex, &plane);
  EXPECT_EQ(DrawModiGraph(10, 10, 18, 10, 18, 18, 10, 18, graph, 0), 0);
  LockedSurface back(QueryBackSurface());
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(back.Get(10 + x, 10 + y), tex.Get(x, y)) << x << "," << y;
}

TEST_P(RotaGraphTest, RefusalsAndNothingToDraw) {
  TestImage picture(8, 8, Picture);
  int graph = BuildGraphFromImage(&picture.image, nullptr, 0, 0, 0);
  GraphRecord stale = *GetGraphRecord(graph);
  ref::Surface before = Screen();
  EXPECT_EQ(DrawRotaGraph(100, 100, 0.0, 1.0, graph, 0, 0), 0);
  EXPECT_EQ(G_DDraw_DrawRotaGraph(100, 100, std::nan(""), 1.0, GetGraphRecord(graph), 0, 0), 0);
  EXPECT_EQ(G_DDraw_DrawRotaGraph(-500, 100, 1.0, 1.0, GetGraphRecord(graph), 0, 0), 0);  // wholly clipped
  EXPECT_EQ(G_DDraw_DrawModiGraph(-50, -50, -40, -50, -50, -40, -40, -40, GetGraphRecord(graph), 0), 0);
  EXPECT_EQ(G_DDraw_DrawModiGraphFloat(0, 0, INFINITY, 0, 0, 5, 5, 5, GetGraphRecord(graph), 0), 0);
  EXPECT_EQ(G_DDraw_DrawRotaGraph(100, 100, 1.0, 1.0, nullptr, 0, 0), -1);
  DeleteGraphHandle(graph, 0);
  EXPECT_EQ(G_DDraw_DrawRotaGraph(100, 100, 1.0, 1.0, &stale, 0, 0), -1);
  EXPECT_EQ(G_DDraw_DrawModiGraph(0, 0, 9, 0, 0, 9, 9, 9, &stale, 0), -1);
  EXPECT_EQ(G_DDraw_DrawRotaGraph(100, 100, 1.0, 1.0, &stale, 0, 1), -1);
  ExpectScreen(before);
}

TEST_P(RotaGraphTest, FailedLocksEndTheProcessWithTheirTexts) {
  TestImage picture(8, 8, Picture);
  int graph = BuildGraphFromImage(&picture.image, nullptr, 0, 0, 0);
  SelectBlendMode(1, 128);
  ExpectFatal(
      [&] {
        headless::FailCall("Surface::Lock", 1);
        DrawRotaGraph(100, 100, 1.0, 0.5, graph, 0, 0);
      },
      "転送先サーフェスのロックに失敗しました in G_DDraw_DrawRotaGraph ");
  ExpectFatal(
      [&] {
        headless::FailCall("Surface::Lock", 1);
        DrawModiGraph(10, 10, 18, 10, 18, 18, 10, 18, graph, 0);
      },
      "転送先サーフェスのロックに失敗しました in G_DDraw_DrawModiGraph ");
}

INSTANTIATE_TEST_SUITE_P(Depths, RotaGraphTest,
                         ::testing::Values(DepthCase{8, false}, DepthCase{16, false}, DepthCase{16, true},
                                           DepthCase{32, false}),
                         ::testing::PrintToStringParamName());

}  // namespace

namespace {

TEST_P(RotaGraphTest, FrontScreenDrawsLandInTheClientArea) {
  TestImage picture(8, 6, Picture);
  int graph = BuildGraphFromImage(&picture.image, nullptr, 0, 0, 0);
  ref::Surface tex;
  std::vector<uint8_t> plane;
  Texture(graph, &tex, &plane);
  SelectBlendMode(1, 255);  // drawn through the loops, not a hardware copy
  ASSERT_EQ(SelectDrawTarget(-4), 0);
  RECT client{};
  GetClientScreenRect(&client.left);
  ASSERT_EQ(DrawRotaGraph(20, 30, 1.0, 0.0, graph, 0, 0), 0);
  ASSERT_EQ(DrawModiGraph(100, 50, 108, 50, 108, 56, 100, 56, graph, 0), 0);
  LockedSurface front(QueryPrimarySurface());
  for (int v = 0; v < 6; ++v)
    for (int u = 0; u < 8; ++u) {
      ASSERT_EQ(front.Get(client.left + 16 + u, client.top + 27 + v), tex.Get(u, v)) << u << "," << v;
      ASSERT_EQ(front.Get(client.left + 100 + u, client.top + 50 + v), tex.Get(u, v)) << u << "," << v;
    }
}

}  // namespace
