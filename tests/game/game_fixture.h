// Runs the whole game in the test's process on the headless host: a working directory with a save file and marker
// pictures of plain colours, every presented frame handed to the test together with the game's record.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/system_state.h"
#include "game/game_loop.h"
#include "support/headless_fixture.h"
#include "support/picture_writers.h"

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The log's last line is the shut-down's.
inline bool LogEndsWithShutdown() {
  const std::string log = ReadBytes("AppLog.txt"), last = "ＣＯＭを終了... 完了\r\n";
  return log.size() >= last.size() && log.substr(log.size() - last.size()) == last;
}

// Ten little-endian words as the save file holds them.
inline std::string SaveWords(std::vector<uint32_t> words) {
  std::string bytes;
  for (uint32_t w : words) {
    for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<char>(w >> (8 * b)));
  }
  return bytes;
}

// The save file's words for a high score: its decimal digits, lowest first.
inline std::string SaveDigits(uint32_t score) {
  std::vector<uint32_t> digits;
  for (int i = 0; i < 10; ++i, score /= 10) digits.push_back(score % 10);
  return SaveWords(digits);
}

// A 16-bit mono WAV file of a square wave at 441 Hz, frames long.
inline std::string SquareWave(uint32_t frames) {
  std::vector<uint32_t> words = {0x46464952, 36 + 2 * frames, 0x45564157, 0x20746D66, 16, 0x10001, 44100, 88200,
                                 0x100002, 0x61746164, 2 * frames};
  for (uint32_t i = 0; i < frames / 2; ++i) words.push_back(i / 25 % 2 ? 0x20002000u : 0xE000E000u);
  return SaveWords(words);
}

// The loudest sample the mix played from `from` to `to` milliseconds of virtual time.
inline int Loudest(uint64_t from, uint64_t to) {
  const headless::CapturedAudio& audio = headless::Audio();
  int loudest = 0;
  for (uint64_t f = audio.FrameAtNanoseconds(from * 1000000); f < audio.FrameAtNanoseconds(to * 1000000); ++f)
    loudest = std::max(loudest, std::abs(static_cast<int>(audio.Sample(f, 0))));
  return loudest;
}

// A top-down 24-bit picture whose colour at (x, y) the function gives (0x00RRGGBB).
inline void WritePicture(const std::string& path, int width, int height,
                         const std::function<uint32_t(int, int)>& colour) {
  picture_writers::BmpFile file(width, -height, 24);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint32_t c = colour(x, y);
      file.data.push_back(static_cast<unsigned char>(c));
      file.data.push_back(static_cast<unsigned char>(c >> 8));
      file.data.push_back(static_cast<unsigned char>(c >> 16));
    }
    while (file.data.size() % 4 != 0) file.data.push_back(0);
  }
  picture_writers::Bytes bytes = picture_writers::Build(file);
  WriteBytes(path, std::string(bytes.begin(), bytes.end()));
}

// Marker colours of the pictures the fixture writes.
constexpr uint32_t kSplashColour = 0x203040;
constexpr uint32_t kTitleColours[3] = {0x101010, 0x00A000, 0xA00000};  // plain, start lit, exit lit
constexpr uint32_t kBackdropColour = 0x000030;
constexpr uint32_t kShipColour = 0x20C0FF;

class GameTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    ResetSystemState();
    WriteBytes("file.sav", std::string(40, '\0'));
    std::filesystem::create_directory("CG");
    WritePicture("CG/p0001.gph", 640, 480, [](int, int) { return kSplashColour; });
    WritePicture("CG/p0002.gph", 640, 1440, [](int, int y) { return kTitleColours[y / 480]; });
    WritePicture("CG/j0001.gph", 7200, 480, [](int, int) { return kBackdropColour; });
    WritePicture("CG/b0101.gph", 128, 30, [](int, int) { return kShipColour; });
    std::filesystem::create_directory("SE");
    WriteBytes("SE/m30101.snd", SquareWave(13230));  // the confirm sound, 0.3 s
    headless::SetFrameLimit(2);
  }

  // Runs the game; the watcher sees every presented frame with the frame's number (from 0) and the record.
  int Run(const std::function<void(int, const headless::CapturedFrame&, GameLoop&)>& watcher) {
    game = std::make_unique<GameLoop>();
    int presented = 0;
    headless::SetPresentObserver([&](const headless::CapturedFrame& frame) { watcher(presented++, frame, *game); });
    int result = QeltMain(*game);
    headless::SetPresentObserver({});
    return result;
  }

  std::unique_ptr<GameLoop> game;
};
