// Helpers of the sound tests: a started library on the headless host, WAV files written byte by byte, the
// independent tools (sox, lame, oggenc and their decoders) run when present, and what the mix played.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/library.h"
#include "core/system_state.h"
#include "support/headless_fixture.h"
#include "vomak.h"

class SoundTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    ResetSystemState();
    SystemState.noGraphics = 1;
    SystemState.windowModeFlag = 1;
    ASSERT_EQ(StartupLibrary(), 0);
    headless::SetReadStepMicroseconds(0);  // the clock moves only when a test moves it: frames are exact
  }
  void TearDown() override {
    headless::SetReadStepMicroseconds(100);
    ShutdownLibrary();
    HeadlessTest::TearDown();
  }
  // The frame that plays now.
  static uint64_t Now() { return headless::Audio().FrameAtNanoseconds(headless::Nanoseconds()); }
  // Frames of the mix from `start` on, interleaved left and right.
  static std::vector<int16_t> Mix(uint64_t start, size_t frames) {
    const headless::CapturedAudio& a = headless::Audio();
    std::vector<int16_t> out;
    for (size_t f = 0; f < frames; ++f) {
      out.push_back(a.Sample(start + f, 0));
      out.push_back(a.Sample(start + f, 1));
    }
    return out;
  }
  // Plays a sound once and answers what the mix held from its first frame, for `frames` frames.
  static std::vector<int16_t> Heard(int handle, size_t frames) {
    const uint64_t start = Now();
    EXPECT_EQ(StartSoundPlayback(handle, 1, 1), 0);
    headless::AdvanceMilliseconds(frames * 1000 / 44100 + 2);
    return Mix(start, frames);
  }
  std::string LogText() {
    std::ifstream in(workDir() + "/AppLog.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
};

// Little-endian byte writers for hand-made files.
inline void Put16(std::vector<uint8_t>& b, uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
inline void Put32(std::vector<uint8_t>& b, uint32_t v) {
  b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}
inline void PutChunk(std::vector<uint8_t>& b, const char* id, const std::vector<uint8_t>& body, bool pad = true) {
  b.insert(b.end(), id, id + 4);
  Put32(b, static_cast<uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  if (pad && body.size() % 2) b.push_back(0);
}
// A RIFF/WAVE file of the given chunks (already written with PutChunk).
inline std::vector<uint8_t> Riff(const std::vector<uint8_t>& chunks) {
  std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
  Put32(b, static_cast<uint32_t>(chunks.size() + 4));
  b.insert(b.end(), {'W', 'A', 'V', 'E'});
  b.insert(b.end(), chunks.begin(), chunks.end());
  return b;
}
inline std::vector<uint8_t> FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  std::vector<uint8_t> b;
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  Put16(b, tag);
  Put16(b, channels);
  Put32(b, rate);
  Put32(b, rate * align);
  Put16(b, align);
  Put16(b, bits);
  return b;
}
inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
}
inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline std::vector<int16_t> AsSamples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> s(bytes.size() / 2);
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return s;
}
inline bool HaveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}
inline bool RunTool(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }
// A test signal: two tones and a sweep, 16-bit stereo at 44.1 kHz, written raw.
inline std::vector<int16_t> TestSignal(size_t frames) {
  std::vector<int16_t> s;
  uint32_t noise = 12345;
  for (size_t i = 0; i < frames; ++i) {
    noise = noise * 1103515245u + 12345u;
    const double t = static_cast<double>(i) / 44100.0;
    s.push_back(static_cast<int16_t>(9000 * __builtin_sin(2 * 3.14159265 * 440 * t) + ((noise >> 16) & 255) - 128));
    s.push_back(static_cast<int16_t>(7000 * __builtin_sin(2 * 3.14159265 * (200 + 900 * t) * t)));
  }
  return s;
}
inline void WriteRaw(const std::string& path, const std::vector<int16_t>& samples) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(samples.data()),
                                             static_cast<std::streamsize>(samples.size() * 2));
}
