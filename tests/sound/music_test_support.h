// The music tests' fixture: a started library on the headless host with a tiny SoundFont made here, songs and
// sounds written byte by byte, and what the mix played read back by virtual time.
#pragma once
#include <cstdlib>
#include <string>

#include "core/core_test_support.h"
#include "sound/music.h"
#include "sound/sound_system.h"
#include "support/midi_writers.h"
#include "vomak.h"

namespace testing_support {

class MusicTest : public StartedCoreTest {
 protected:
  void BeforeStartup() override {
    WriteBytes(workDir() + "/tiny.sf2", TinySoundFont());
    headless::SetSoundFont(workDir() + "/tiny.sf2");
    // One second: 0.5 s at 120 beats a minute, then 0.5 s at 240; a note sounds all along.
    Track conductor, notes;
    conductor.Tempo(0, 500000).Tempo(480, 250000).End(960);
    notes.Event(0, {0xC0, 0}).Event(0, {0x90, 69, 127}).Event(1440, {0x80, 69, 0}).End(0);
    WriteBytes(workDir() + "/song.mid", MidiFile(1, 480, {conductor, notes}));
    Track half;  // one second: half a second of a note, half a second of rest
    half.Event(0, {0xC0, 0}).Event(0, {0x90, 69, 127}).Event(480, {0x80, 69, 0}).End(480);
    WriteBytes(workDir() + "/half.mid", MidiFile(0, 480, {half}));
    SoundSystem.MusicDeviceMode = musicMode;
  }
  void TearDown() override {
    StartedCoreTest::TearDown();
    SoundSystem.MusicDeviceMode = 0;
  }
  int musicMode = 0;  // the music mode the sound system starts in
  // Pumps in 5 ms steps of virtual time while the music plays; the milliseconds it took.
  uint64_t PlayOut(uint64_t limitMs) {
    uint64_t start = headless::Milliseconds();
    while (QueryMusicPlaying() == 1 && headless::Milliseconds() - start < limitMs) {
      headless::AdvanceMilliseconds(5);
      PumpWindowMessages();
    }
    return headless::Milliseconds() - start;
  }
  // Pumps every `step` ms of virtual time for `ms` (a game pumps once a frame, whenever the music ends).
  void Wait(uint64_t ms, uint64_t step = 5) {
    for (uint64_t t = 0; t < ms; t += step) {
      headless::AdvanceMilliseconds(step);
      PumpWindowMessages();
    }
  }
  static uint64_t FrameNow() { return headless::Audio().FrameAtNanoseconds(headless::Nanoseconds()); }
  // The first frame from `from` on whose left sample is louder than 2000.
  static uint64_t Onset(uint64_t from) {
    const headless::CapturedAudio& audio = headless::Audio();
    for (uint64_t f = from; f < from + 44100; ++f) {
      if (std::abs(int{audio.Sample(f, 0)}) > 2000) return f;
    }
    return 0;
  }
  // The loudest captured sample between two virtual times (milliseconds).
  // Each pass of "half.mid" begins its note one second after the last pass's, from the frame `start` on.
  static void ExpectNoteEverySecond(uint64_t start, uint64_t passes) {
    const uint64_t first = Onset(start);
    ASSERT_NE(first, 0u);
    ASSERT_LT(first, start + 200);
    // The synthesiser starts a note on its next block of 64 frames.
    for (uint64_t pass = 1; pass < passes; ++pass) {
      const uint64_t onset = Onset(first + pass * 44100 - 2000);
      EXPECT_GE(onset + 64, first + pass * 44100) << pass;
      EXPECT_LE(onset, first + pass * 44100 + 64) << pass;
    }
  }
  int Peak(uint64_t fromMs, uint64_t toMs) {
    const headless::CapturedAudio& audio = headless::Audio();
    int peak = 0;
    for (uint64_t f = audio.FrameAtNanoseconds(fromMs * 1000000); f < audio.FrameAtNanoseconds(toMs * 1000000); ++f) {
      peak = std::max(peak, std::abs(int{audio.Sample(f, 0)}));
    }
    return peak;
  }
  // How many log lines hold `line`.
  int Logged(const std::string& line) {
    int count = 0;
    for (const std::string& l : ReadLogLines(workDir())) count += l.find(line) != std::string::npos ? 1 : 0;
    return count;
  }
  std::string FullPath(const char* name) { return workDir() + "\\" + name; }
};

}  // namespace testing_support
