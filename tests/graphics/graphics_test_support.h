// Helpers of the graphics core's tests: the library started headless in window mode at a chosen desktop depth,
// the log read back, pictures written as files, and the pixels of surfaces and presented frames.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/library.h"
#include "core/main_window.h"
#include "core/system_state.h"
#include "graphics/color_format.h"
#include "graphics/ddraw_layer.h"
#include "graphics/draw_state.h"
#include "graphics/graph_manager.h"
#include "graphics/surface_2d.h"
#include "graphics/surface_data.h"
#include "platform/directx/ddraw.h"
#include "platform/host/headless/headless_host.h"
#include "support/headless_fixture.h"

class GraphicsTest : public HeadlessTest {
 protected:
  void SetUp() override {
    // A fatal exit runs the whole shut-down: the child must be a fresh process, not a fork of this one.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    HeadlessTest::SetUp();
    // A death-test child works in its parent's directory, so the parent can read the log of the fatal exit.
    if (const char* directory = std::getenv(kDeathDirectory)) {
      EXPECT_EQ(chdir(directory), 0);
    }
    ResetSystemState();
    GetDirectDrawLayerState() = DirectDrawLayerState{};
    // The draw state is zero at process start; no test inherits the clip or target another one left.
    GetGraphicsDrawState() = GraphicsDrawState{};
  }
  void TearDown() override {
    if (started_) ShutdownLibrary();
    started_ = false;
    GetDirectDrawLayerState() = DirectDrawLayerState{};
    HeadlessTest::TearDown();
  }
  // Starts the library on a desktop of the given depth; window mode unless windowMode is 0.
  int Start(int bits, bool rgb555 = false, int windowMode = 1, uint64_t startMs = 1000) {
    headless::Config config;
    config.bitsPerPixel = bits;
    config.rgb555 = rgb555;
    config.startMilliseconds = startMs;
    RestartHeadless(config);
    ResetSystemState();
    GetDirectDrawLayerState() = DirectDrawLayerState{};
    ChangeWindowMode(windowMode);
    int result = StartupLibrary();
    started_ = result == 0;
    return result;
  }
  std::string Log() const {
    std::ifstream in(workDir() + "/AppLog.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool LogHas(const std::string& text) const { return Log().find(text) != std::string::npos; }
  // The statement ends the process with -1 and the log holds the text.
  template <class Statement>
  void ExpectFatal(Statement statement, const std::string& text) {
    setenv(kDeathDirectory, workDir().c_str(), 1);
    EXPECT_EXIT(statement(), ::testing::ExitedWithCode(255), "");
    unsetenv(kDeathDirectory);
    EXPECT_TRUE(LogHas(text)) << text;
  }
  static constexpr const char* kDeathDirectory = "VOMAK_GRAPHICS_TEST_DEATH_DIR";

  bool started_ = false;
};

// Pixel access to a locked surface.
struct LockedSurface {
  IDirectDrawSurface7* surface;
  DDSURFACEDESC2 description{};
  explicit LockedSurface(IDirectDrawSurface7* s) : surface(s) {
    description.dwSize = sizeof description;
    if (surface->Lock(nullptr, &description, DDLOCK_WAIT, nullptr) != DD_OK) description.lpSurface = nullptr;
  }
  ~LockedSurface() {
    if (description.lpSurface != nullptr) surface->Unlock(nullptr);
  }
  int Bytes() const { return static_cast<int>(description.ddpfPixelFormat.dwRGBBitCount / 8); }
  uint32_t Get(int x, int y) const {
    const uint8_t* p = static_cast<const uint8_t*>(description.lpSurface) + y * description.lPitch + x * Bytes();
    uint32_t v = 0;
    std::memcpy(&v, p, Bytes());
    return v;
  }
  void Set(int x, int y, uint32_t v) {
    uint8_t* p = static_cast<uint8_t*>(description.lpSurface) + y * description.lPitch + x * Bytes();
    std::memcpy(p, &v, Bytes());
  }
};

// The surface data record behind a graph's first view.
inline SurfaceDataRecord* SurfaceOfGraph(int graph) {
  GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr || record->partCount < 1) return nullptr;
  Surface2DRecord* view = GetSurface2DRecord(record->parts[0]);
  return view == nullptr ? nullptr : GetSurfaceRecord(view->surfaceData);
}

inline Surface2DRecord* ViewOfGraph(int graph) {
  GraphRecord* record = GetGraphRecord(graph);
  return record == nullptr || record->partCount < 1 ? nullptr : GetSurface2DRecord(record->parts[0]);
}

// A bottom-up 24-bit BMP of 0x00RRGGBB pixels, rows top down in the vector.
inline void WriteBmp24(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels) {
  int rowSize = (width * 3 + 3) & ~3;
  std::vector<uint8_t> bytes(54 + rowSize * height, 0);
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&bytes[at], &v, 4); };
  auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&bytes[at], &v, 2); };
  bytes[0] = 'B';
  bytes[1] = 'M';
  put32(2, static_cast<uint32_t>(bytes.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  put16(26, 1);
  put16(28, 24);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      uint32_t c = pixels[y * width + x];
      size_t at = 54 + static_cast<size_t>(height - 1 - y) * rowSize + x * 3;
      bytes[at] = c & 0xFF;
      bytes[at + 1] = (c >> 8) & 0xFF;
      bytes[at + 2] = (c >> 16) & 0xFF;
    }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A 32-bit picture in memory (B, G, R, A bytes), owned by the test.
struct TestImage {
  GraphImage image{};
  std::vector<uint32_t> pixels;
  TestImage(int width, int height, uint32_t (*colour)(int x, int y)) : pixels(width * height) {
    for (int y = 0; y < height; y++)
      for (int x = 0; x < width; x++) pixels[y * width + x] = colour(x, y);
    ColorFormatFromMasks(&image.format, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    image.width = width;
    image.height = height;
    image.pitch = width * 4;
    image.pixels = pixels.data();
  }
};
