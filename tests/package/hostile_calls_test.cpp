// Public calls as a careless or hostile program makes them: before start-up and after shut-down, with null
// pointers, and with the edge values of their integer arguments. Each answers as the header says and the process
// goes on.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/host/headless/headless_input.h"
#include "support/headless_fixture.h"
#include "support/picture_writers.h"
#include "vomak.h"

namespace {

struct CallCase {
  const char* name;
  std::function<int()> call;
  int answer;
};

void WritePicture(const char* path) {
  picture_writers::BmpFile f(8, 8, 24);
  f.data.assign(8 * 24, 0x40);
  picture_writers::Bytes bytes = picture_writers::Build(f);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

// Nothing can be made while the library is down: every creating call answers -1, none ends the process.
TEST_F(HeadlessTest, CreatingCallsAnswerMinusOneWhileTheLibraryIsDown) {
  WritePicture("picture.bmp");
  int cells[4] = {0, 0, 0, 0};
  const std::vector<CallCase> cases = {
      {"CreateEmptyGraphDefault", [] { return CreateEmptyGraphDefault(8, 8); }, -1},
      {"CreateMaskScreen", [] { return CreateMaskScreen(); }, -1},
      {"LoadGraphFileSimple", [] { return LoadGraphFileSimple("picture.bmp"); }, -1},
      {"LoadDividedGraphFileSimple",
       [&] { return LoadDividedGraphFileSimple("picture.bmp", 4, 2, 2, 4, 4, cells); }, -1},
      {"CreateFontToHandle", [] { return CreateFontToHandle(nullptr, -1, -1, -1, -1, -1, -1, -1); }, -1},
      {"SetMaskDrawOn", [] { return SetMaskDrawOn(1); }, -1},
  };
  auto runAll = [&](const char* when) {
    for (const CallCase& c : cases) EXPECT_EQ(c.call(), c.answer) << c.name << " " << when;
  };
  runAll("before start-up");
  ChangeWindowMode(1);
  ASSERT_EQ(StartupLibrary(), 0);
  const int graph = CreateEmptyGraphDefault(8, 8);
  EXPECT_NE(graph, -1);
  EXPECT_EQ(CreateMaskScreen(), 0);
  ShutdownLibrary();
  runAll("after shut-down");
}

// Out-pointers may be null in any combination; a null format answers -1 and writes nothing.
TEST_F(HeadlessTest, NullOutPointersAreSkippedAndNullFormatsRefused) {
  ChangeWindowMode(1);
  ASSERT_EQ(StartupLibrary(), 0);
  const uint32_t colour = PackScreenColor(10, 20, 30);
  for (int nulls = 0; nulls < 8; ++nulls) {
    int channels[3] = {-1, -1, -1};
    int* given[3];
    for (int i = 0; i < 3; ++i) given[i] = (nulls >> i & 1) ? nullptr : &channels[i];
    EXPECT_EQ(UnpackScreenColor(colour, given[0], given[1], given[2]), 0) << nulls;
    const int expected[3] = {10, 20, 30};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(channels[i], (nulls >> i & 1) ? -1 : expected[i]) << nulls << " " << i;
  }
  const char* none = nullptr;
  const auto logSize = [] { return std::filesystem::file_size("AppLog.txt"); };
  const auto before = logSize();
  EXPECT_EQ(AppLogWriteFormat(none), -1);
  EXPECT_EQ(DrawFormattedText(0, 0, colour, none), -1);
  EXPECT_EQ(logSize(), before);
  ShutdownLibrary();
}

// Thickness is refused outside -1 to 10 and the pad number is taken without overflow: nothing wraps into range.
TEST_F(HeadlessTest, ThicknessAndPadNumberEdgesAreRefused) {
  const uint32_t pad = headless::AttachPad("Pad");  // found when the library starts
  ChangeWindowMode(1);
  ASSERT_EQ(StartupLibrary(), 0);
  struct ThicknessCase {
    int thickness;
    bool made;
  } thicknesses[] = {{INT_MIN, false}, {-2, false}, {-1, true}, {0, true}, {10, true}, {11, false}, {INT_MAX, false}};
  for (const ThicknessCase& c : thicknesses) {
    const int font = CreateFontToHandle(nullptr, 16, c.thickness, -1, -1, -1, 5, -1);
    EXPECT_EQ(font != -1, c.made) << c.thickness;
    int thickness = -9;
    if (font != -1) {
      EXPECT_EQ(GetFontInfoOfHandle(nullptr, nullptr, &thickness, font), 0);
      EXPECT_EQ(thickness, c.thickness == -1 ? 6 : c.thickness);
      DeleteFontHandle(font);
    }
  }
  // Z on the keyboard (0x10) and button 1 of pad 1 (0x20).
  headless::SetPadButton(pad, 1, true);
  headless::PressKey(0x2C);
  headless::AdvanceMilliseconds(1);
  struct PadCase {
    int inputType, bits;
  } types[] = {{0x1001, 0x30}, {1, 0x20},    {0x1000, 0x10},        {0, 0},      {0x11001, 0},
               {0x101, 0},     {INT_MIN, 0}, {INT_MIN | 0x1000, 0}, {INT_MAX, 0}, {-1, 0}};
  for (const PadCase& c : types) EXPECT_EQ(GetPadInputBits(c.inputType), c.bits) << std::hex << c.inputType;
  headless::ReleaseKey(0x2C);
  ShutdownLibrary();
}
