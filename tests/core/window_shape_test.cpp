// The window shape from a picture: the region agrees pixel for pixel with the picture's non-zero pixels, and a
// shape past its rectangle bound is refused with a log line, the window keeping its shape.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <random>
#include <vector>

#include "core/core_test_support.h"
#include "core/window_shape.h"
#include "platform/host/headless/headless_host.h"
#include "platform/win32/gdi.h"
#include "platform/win32/region.h"
#include "support/picture_writers.h"

namespace {

using Grid = std::vector<std::vector<bool>>;

Grid Rasterise(HRGN region, int width, int height) {
  Grid grid(height, std::vector<bool>(width, false));
  std::vector<RECT> rects;
  EXPECT_TRUE(RegionRectangles(region, &rects));
  for (const RECT& r : rects) {
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height);
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) grid[y][x] = true;
    }
  }
  return grid;
}

// A 24-bit picture of rows top down, each pixel non-zero where `inside` says.
void WriteShapePicture(const char* path, int width, int height, bool (*inside)(int x, int y)) {
  picture_writers::BmpFile f(width, -height, 24);
  const int rowBytes = (width * 3 + 3) / 4 * 4;
  f.data.assign(static_cast<size_t>(rowBytes) * height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) f.data[y * rowBytes + x * 3 + 1] = inside(x, y) ? 0x80 : 0;
  }
  picture_writers::Bytes bytes = picture_writers::Build(f);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

class WindowShapeTest : public StartedCoreTest {
 protected:
  std::vector<RECT> Shape() {
    host::WindowView view;
    EXPECT_TRUE(headless::FindWindowView(window, &view));
    return view.shape;
  }
};

}  // namespace

// Random pictures of every pixel width, with padded rows and runs of every length: a pixel lies in the region
// exactly when one of its bytes is not zero.
TEST_F(CoreTest, ShapeRegionIsThePicturesNonZeroPixels) {
  std::mt19937 random(5);
  for (int round = 0; round < 300; ++round) {
    const int width = 1 + static_cast<int>(random() % 23), height = 1 + static_cast<int>(random() % 17);
    const int bytesPerPixel = 1 + round % 4, rowBytes = width * bytesPerPixel + static_cast<int>(random() % 5);
    // Rows repeat the one above now and then, so bands of several rows come up.
    std::vector<uint8_t> pixels(static_cast<size_t>(rowBytes) * height, 0xEE);  // padding that must not count
    const int density = static_cast<int>(random() % 5);
    for (int y = 0; y < height; ++y) {
      uint8_t* row = &pixels[static_cast<size_t>(y) * rowBytes];
      if (y > 0 && random() % 3 == 0) {
        std::copy(row - rowBytes, row, row);
        continue;
      }
      for (int x = 0; x < width; ++x) {
        for (int b = 0; b < bytesPerPixel; ++b)
          row[x * bytesPerPixel + b] = static_cast<int>(random() % 4) < density ? 0 : static_cast<uint8_t>(1 << b);
      }
    }
    Grid expected(height, std::vector<bool>(width, false));
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        for (int b = 0; b < bytesPerPixel; ++b) expected[y][x] = expected[y][x] || pixels[y * rowBytes + x * bytesPerPixel + b];
      }
    }
    HRGN region = BuildRegionFromPixels(width, height, pixels.data(), rowBytes, bytesPerPixel);
    ASSERT_NE(region, nullptr);
    ASSERT_EQ(Rasterise(region, width, height), expected) << "round " << round;
    DeleteObject(region);
  }
}

// The bound counts one rectangle per run in each band of equal rows: a checkerboard of 128 x 128 pixels is exactly
// the bound; one more row of a single run passes it, and the window keeps the shape it had.
TEST_F(WindowShapeTest, ShapesPastTheRectangleBoundAreRefusedWithALogLine) {
  auto checkerboard = [](int x, int y) { return (x + y) % 2 == 1; };
  WriteShapePicture("bound.bmp", 128, 128, checkerboard);
  ASSERT_EQ(kMaxShapeRectangles, 128 * 64);
  EXPECT_EQ(SetWindowShapeFromBitmap("bound.bmp"), 0);
  EXPECT_EQ(Shape().size(), static_cast<size_t>(kMaxShapeRectangles));
  // Equal rows are one band: four rows of one checker pattern cost as much as one.
  WriteShapePicture("bands.bmp", 128, 512, [](int x, int y) { return (x + y / 4) % 2 == 1; });
  EXPECT_EQ(SetWindowShapeFromBitmap("bands.bmp"), 0);
  EXPECT_EQ(Shape().size(), static_cast<size_t>(kMaxShapeRectangles));
  WriteShapePicture("past.bmp", 128, 129, [](int x, int y) { return y == 128 ? x < 4 : (x + y) % 2 == 1; });
  EXPECT_EQ(SetWindowShapeFromBitmap("past.bmp"), -1);
  EXPECT_EQ(Shape().size(), static_cast<size_t>(kMaxShapeRectangles));
  const std::vector<std::string> lines = ReadLogLines(workDir());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "T:ウインドウの形は作成できません（形を作る矩形は 8192 個まで）"),
            lines.end());
}

// The library holds one region at a time: the one a new shape replaces, and the last when the shape is let go, are
// freed (a second delete finds nothing).
TEST_F(WindowShapeTest, AReplacedShapeRegionIsFreed) {
  WriteShapePicture("left.bmp", 4, 4, [](int x, int) { return x < 2; });
  WriteShapePicture("top.bmp", 4, 4, [](int, int y) { return y < 2; });
  ASSERT_EQ(SetWindowShapeFromBitmap("left.bmp"), 0);
  const HGDIOBJ first = static_cast<HGDIOBJ>(SystemState.windowShapeRegion);
  ASSERT_EQ(SetWindowShapeFromBitmap("top.bmp"), 0);
  const HGDIOBJ second = static_cast<HGDIOBJ>(SystemState.windowShapeRegion);
  ASSERT_NE(second, first);
  EXPECT_FALSE(DeleteObject(first));
  ASSERT_EQ(SetWindowShapeFromBitmap(nullptr), 0);
  EXPECT_FALSE(DeleteObject(second));
  const std::vector<RECT> kept = Shape();  // the window's own copy stays
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].bottom, 2);
}
