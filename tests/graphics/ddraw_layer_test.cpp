#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "core/file_access.h"
#include "graphics/graphics_test_support.h"
#include "graphics/screen_mode.h"
#include "graphics/software/backend_glue.h"
#include "platform/host/headless/headless_input.h"
#include "platform/win32/gdi_objects.h"

namespace {

class DirectDrawLayerTest : public GraphicsTest {};

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// An 8-bit BMP with an information header of headerSize bytes and a colour table of `used` entries.
std::vector<uint8_t> PaletteBmp(uint32_t headerSize, uint32_t used, uint16_t bits = 8) {
  std::vector<uint8_t> bytes(14 + headerSize + used * 4 + 4, 0);
  bytes[0] = 'B';
  bytes[1] = 'M';
  std::memcpy(&bytes[14], &headerSize, 4);
  std::memcpy(&bytes[14 + 14], &bits, 2);
  std::memcpy(&bytes[14 + 32], &used, 4);
  // Padding inside a long header that must not be read as colours.
  for (uint32_t i = 40; i < headerSize; i++) bytes[14 + i] = 0xEE;
  for (uint32_t i = 0; i < used; i++) {
    uint8_t* entry = &bytes[14 + headerSize + i * 4];
    entry[0] = static_cast<uint8_t>(i);       // blue
    entry[1] = static_cast<uint8_t>(i * 2);   // green
    entry[2] = static_cast<uint8_t>(i * 3);   // red
  }
  return bytes;
}

TEST_F(DirectDrawLayerTest, BmpPaletteTableFollowsTheHeaderAndItsCount) {
  uint32_t entries[256];
  std::fill(std::begin(entries), std::end(entries), 0xDEADBEEF);
  WriteBytes(workDir() + "/long.bmp", PaletteBmp(124, 16));
  ASSERT_EQ(LoadPaletteFromBmpFile("long.bmp", entries), 0);
  for (uint32_t i = 0; i < 16; i++) EXPECT_EQ(entries[i], (i * 3) << 16 | (i * 2) << 8 | i);
  EXPECT_EQ(entries[16], 0xDEADBEEFu);
  // A table cut short by the end of the file is refused.
  std::vector<uint8_t> cut = PaletteBmp(40, 0);
  cut.resize(14 + 40 + 100);
  WriteBytes(workDir() + "/cut.bmp", cut);
  EXPECT_EQ(LoadPaletteFromBmpFile("cut.bmp", entries), -1);
  // A picture without a palette leaves the entries as they were.
  std::fill(std::begin(entries), std::end(entries), 7u);
  WriteBytes(workDir() + "/rgb.bmp", PaletteBmp(40, 0, 24));
  EXPECT_EQ(LoadPaletteFromBmpFile("rgb.bmp", entries), 0);
  EXPECT_EQ(entries[0], 7u);
  EXPECT_EQ(LoadPaletteFromBmpFile("none.bmp", entries), -1);
}

void WritePalettePng(const std::string& path, int colours, bool withPalette) {
  FILE* file = std::fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_color palette[256];
  for (int i = 0; i < colours; i++) palette[i] = png_color{static_cast<png_byte>(i), 0x40, static_cast<png_byte>(255 - i)};
  png_set_IHDR(png, info, 4, 1, 8, withPalette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (withPalette) png_set_PLTE(png, info, palette, colours);
  png_write_info(png, info);
  png_byte row[4] = {0, 1, 2, 3};
  png_write_row(png, row);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

TEST_F(DirectDrawLayerTest, PngPaletteIsReadThroughTheFileAccessTable) {
  uint32_t entries[256];
  std::fill(std::begin(entries), std::end(entries), 0xDEADBEEF);
  WritePalettePng(workDir() + "/sixteen.png", 16, true);
  ASSERT_EQ(LoadPaletteFromBmpFile("sixteen.png", entries), 0);
  for (uint32_t i = 0; i < 16; i++) EXPECT_EQ(entries[i], i << 16 | 0x40 << 8 | (255 - i));
  EXPECT_EQ(entries[16], 0u);
  EXPECT_EQ(entries[255], 0u);
  WritePalettePng(workDir() + "/grey.png", 0, false);
  std::fill(std::begin(entries), std::end(entries), 5u);
  EXPECT_EQ(LoadPaletteFromBmpFile("grey.png", entries), 0);
  EXPECT_EQ(entries[0], 0u);
  WriteBytes(workDir() + "/broken.png", {0x89, 'P', 'N', 'G', 1, 2, 3});
  EXPECT_EQ(LoadPaletteFromBmpFile("broken.png", entries), -1);
}

// A file-access table over pictures held in memory: its handles are cursors, not runtime files.
struct MemoryFile {
  std::vector<uint8_t> bytes;
  size_t position = 0;
};
std::vector<uint8_t>* memoryFileBytes = nullptr;
FileHandle MemoryOpen(const char*, int, int) {
  return reinterpret_cast<FileHandle>(new MemoryFile{*memoryFileBytes, 0});
}
int MemoryClose(FileHandle handle) {
  delete reinterpret_cast<MemoryFile*>(handle);
  return 0;
}
int32_t MemoryTell(FileHandle handle) { return static_cast<int32_t>(reinterpret_cast<MemoryFile*>(handle)->position); }
int MemorySeek(FileHandle handle, int32_t offset, int origin) {
  auto* file = reinterpret_cast<MemoryFile*>(handle);
  int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<int64_t>(file->position) : static_cast<int64_t>(file->bytes.size());
  if (base + offset < 0 || base + offset > static_cast<int64_t>(file->bytes.size())) return -1;
  file->position = static_cast<size_t>(base + offset);
  return 0;
}
size_t MemoryRead(void* buffer, size_t size, size_t count, FileHandle handle) {
  auto* file = reinterpret_cast<MemoryFile*>(handle);
  if (size == 0) return 0;
  size_t whole = std::min(count, (file->bytes.size() - file->position) / size);
  std::memcpy(buffer, file->bytes.data() + file->position, whole * size);
  file->position += whole * size;
  return whole;
}
int MemoryEof(FileHandle handle) {
  auto* file = reinterpret_cast<MemoryFile*>(handle);
  return file->position >= file->bytes.size() ? 1 : 0;
}
int MemoryReady(FileHandle) { return 1; }

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(DirectDrawLayerTest, PalettesComeThroughAReplacedFileAccessTable) {
  FileAccessFunctions table = *GetHostFileAccessFunctions();
  table.open = MemoryOpen;
  table.close = MemoryClose;
  table.tell = MemoryTell;
  table.seek = MemorySeek;
  table.read = MemoryRead;
  table.eof = MemoryEof;
  table.isReady = MemoryReady;
  WritePalettePng(workDir() + "/sixteen.png", 16, true);
  std::vector<uint8_t> png = ReadBytes(workDir() + "/sixteen.png");
  std::vector<uint8_t> bmp = PaletteBmp(40, 4);
  uint32_t entries[256];
  ASSERT_EQ(SetFileAccessFunctions(&table), 0);
  memoryFileBytes = &png;
  int pngResult = LoadPaletteFromBmpFile("anything", entries);
  uint32_t pngEntry = entries[15];
  memoryFileBytes = &bmp;
  std::fill(std::begin(entries), std::end(entries), 0xDEADBEEF);
  int bmpResult = LoadPaletteFromBmpFile("anything", entries);
  SetFileAccessFunctions(nullptr);
  memoryFileBytes = nullptr;
  EXPECT_EQ(pngResult, 0);
  EXPECT_EQ(pngEntry, 15u << 16 | 0x40 << 8 | 240u);
  EXPECT_EQ(bmpResult, 0);
  EXPECT_EQ(entries[3], 9u << 16 | 6u << 8 | 3u);
  EXPECT_EQ(entries[4], 0xDEADBEEFu);
}

TEST_F(DirectDrawLayerTest, ClipperRefusedAtStartEndsTheProcessCleanly) {
  // The shutdown on the way out meets a layer without a clipper.
  ExpectFatal(
      [this] {
        headless::Config config;
        config.bitsPerPixel = 32;
        RestartHeadless(config);
        ResetSystemState();
        GetDirectDrawLayerState() = DirectDrawLayerState{};
        ChangeWindowMode(1);
        headless::FailCall("CreateClipper", 1);
        StartupLibrary();
      },
      "DirectDrawClipperオブジェクトの作成時にエラーが発生しました");
}

TEST_F(DirectDrawLayerTest, ReplacementObjectThatCannotBeMadeIsFatal) {
  ASSERT_EQ(Start(32), 0);
  ExpectFatal(
      [] {
        headless::FailCall("DirectDrawInitialize", 1);
        ChangeScreenMode(-1, -1, -1, 1, -1);
      },
      "DirectDraw オブジェクトの作成処理時にエラーが発生しました");
}

TEST_F(DirectDrawLayerTest, LaterChangesMakeANewObjectWithItsOwnClipper) {
  ASSERT_EQ(Start(16), 0);
  DirectDrawLayerState& layer = GetDirectDrawLayerState();
  ASSERT_EQ(ChangeScreenMode(-1, -1, -1, 1, -1), 0);
  ASSERT_NE(layer.clipper, nullptr);
  ASSERT_EQ(G_DDraw_SelectDrawTarget(-2), 0);
  HWND window = nullptr;
  EXPECT_EQ(layer.clipper->GetHWnd(&window), DD_OK);
  EXPECT_EQ(window, layer.mainWindow);
  EXPECT_TRUE(LogHas("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します"));
}

TEST_F(DirectDrawLayerTest, RefusedCooperativeLevelIsFatal) {
  ASSERT_EQ(Start(32), 0);
  ExpectFatal(
      [] {
        headless::FailCall("SetCooperativeLevel");
        ChangeScreenMode(-1, -1, -1, 1, -1);
      },
      "DirectDrawの協調レベルの設定に失敗しました、ソフトを終了します");
}

TEST_F(DirectDrawLayerTest, RecordsWithoutASurfaceRefuseSafely) {
  ASSERT_EQ(Start(32), 0);
  int graph = CreateEmptyGraph(4, 4, 0, 1);
  int data = ViewOfGraph(graph)->surfaceData;
  EXPECT_EQ(ReleaseSurfaceOfRecord(data), 0);
  EXPECT_EQ(ReleaseSurfaceOfRecord(data), 0);
  EXPECT_EQ(RestoreSurfaceOfRecord(data), 0);
  int32_t pitch;
  void* pixels;
  EXPECT_EQ(LockSurfaceRecord(data, &pitch, &pixels, 0, nullptr), -1);
  EXPECT_EQ(SetSurfaceColorKey(data), -1);
  EXPECT_EQ(FillSurfaceRecord(data, 1, 2, 3, 4), -1);
  EXPECT_EQ(CreateSurfaceZBuffer(data, 0), 0);
  EXPECT_EQ(CreateSurfaceOfRecord(data), 0);
  EXPECT_NE(GetSurfaceRecord(data)->surface, nullptr);
  EXPECT_EQ(DeleteGraphHandle(graph, 0), 0);
}

TEST_F(DirectDrawLayerTest, PaintFillsTheAlphaPlaneToo) {
  ASSERT_EQ(Start(32), 0);
  int graph = CreateEmptyGraph(4, 4, 0, 1);
  EXPECT_EQ(G_DDraw_PaintGraph(GetGraphRecord(graph), 10, 20, 30, 99), 0);
  SurfaceDataRecord* data = SurfaceOfGraph(graph);
  for (int i = 0; i < 16; i++) EXPECT_EQ(data->alphaBuffer[i], 99);
  LockedSurface locked(data->surface);
  EXPECT_EQ(locked.Get(3, 3) & 0xFFFFFF, 0x0A141Eu);
}

TEST_F(DirectDrawLayerTest, PaletteScreenTransferWithoutASurfaceContextFails) {
  ASSERT_EQ(Start(8), 0);
  int graph = CreateEmptyGraph(4, 4, 0, 0);
  TestImage picture(4, 4, [](int, int) -> uint32_t { return 0xFFFFFF; });
  const size_t contexts = LiveContextCount();
  headless::FailCall("Surface::GetDC", 1);
  EXPECT_EQ(FillGraphFromImage(nullptr, nullptr, nullptr, nullptr, 0, &picture.image, nullptr, 0, 0, graph, 0), -1);
  EXPECT_EQ(LiveContextCount(), contexts);  // the memory context made for the copy is gone again
}

TEST_F(DirectDrawLayerTest, TurnedLoadsReloadTurned) {
  ASSERT_EQ(Start(32), 0);
  WriteBmp24(workDir() + "/t.bmp", 2, 1, {0x112233, 0x445566});
  int graph = LoadGraphFile("t.bmp", 1, 1, 0);
  ASSERT_GT(graph, 0);
  EXPECT_EQ(GetGraphRecord(graph)->loadOption, 1u);
  LockedSurface locked(SurfaceOfGraph(graph)->surface);
  EXPECT_EQ(locked.Get(0, 0) & 0xFFFFFF, 0x445566u);
  int cells[2];
  ASSERT_EQ(LoadDividedGraphFile("t.bmp", 2, 2, 1, 1, 1, cells, 1, 1), 0);
  EXPECT_EQ(GetGraphRecord(cells[1])->loadOption, 1u);
}

TEST_F(DirectDrawLayerTest, FullScreenWithTheFrontScreenAsTargetNeverFlips) {
  ASSERT_EQ(Start(32, false, 0), 0);
  SetFlipWaitForVBlank(0);
  ASSERT_EQ(G_DDraw_SelectDrawTarget(-4), 0);
  uint64_t count = G_DDraw_GetFlipCount();
  EXPECT_EQ(G_DDraw_FlipScreen(), 0);
  EXPECT_EQ(G_DDraw_GetFlipCount(), count + 1);
  // With the back screen as target the chain flips.
  ASSERT_EQ(G_DDraw_SelectDrawTarget(-2), 0);
  EXPECT_EQ(G_DDraw_FlipScreen(), 0);
  EXPECT_EQ(G_DDraw_GetFlipCount(), count + 2);
}

}  // namespace

namespace {

class FullScreenPaletteTest : public GraphicsTest {};

ULONG References(IDirectDrawSurface7* surface) {
  surface->AddRef();
  return surface->Release();
}

TEST_F(FullScreenPaletteTest, PaletteReachesTheChainWithoutKeepingItsSurfaces) {
  ASSERT_EQ(Start(32, false, 0), 0);
  DirectDrawLayerState& layer = GetDirectDrawLayerState();
  ULONG plain = References(layer.back);
  ASSERT_EQ(ChangeScreenMode(-1, -1, 8, 0, -1), 0);
  EXPECT_EQ(QueryScreenBitDepth(), 8);
  ASSERT_NE(layer.palette, nullptr);
  IDirectDrawPalette* palette = nullptr;
  ASSERT_EQ(layer.back->GetPalette(&palette), DD_OK);
  EXPECT_EQ(palette, layer.palette);
  if (palette != nullptr) palette->Release();
  EXPECT_EQ(References(layer.back), plain);
}

// The card's identifier is read at start-up unless the non-convert key is held; the memory line comes either way.
TEST_F(DirectDrawLayerTest, HeldNonConvertKeySkipsTheCardIdentifier) {
  for (bool held : {false, true}) {
    SCOPED_TRACE(held);
    RestartHeadless(headless::Config{});
    ResetSystemState();
    GetDirectDrawLayerState() = DirectDrawLayerState{};
    if (held) headless::PressKey(0x7B);  // DirectInput's code of the non-convert key
    ChangeWindowMode(1);
    ASSERT_EQ(StartupLibrary(), 0);
    EXPECT_EQ(LogHas("ビデオカードドライバ:"), !held);
    EXPECT_TRUE(LogHas("ビデオメモリ総量:"));
    ShutdownLibrary();
  }
}

}  // namespace
