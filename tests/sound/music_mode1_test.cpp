// Music mode 1 (DirectMusic), selected in the sound system's record before start-up: the start-up's log and its
// fall-backs when an object cannot be made, segments heard in the mix, looped and ended, the master volume, the
// filter graph for files the loader refuses, and music-handle entries made here, polled, halted and released.
#include <string>
#include <vector>

#include "core/memory.h"
#include "platform/directx/dmusic.h"
#include "sound/music_test_support.h"
#include "sound/sound_services.h"

using namespace testing_support;

namespace {

class MusicModeOneTest : public MusicTest {
 protected:
  MusicModeOneTest() { musicMode = 1; }
  // The log's lines from the `from`th on.
  std::vector<std::string> LogFrom(size_t from) {
    std::vector<std::string> lines = ReadLogLines(workDir());
    return std::vector<std::string>(lines.begin() + static_cast<ptrdiff_t>(std::min(from, lines.size())), lines.end());
  }
  // Whether each text is in a line of its own after the one before it.
  static bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& texts) {
    size_t at = 0;
    for (const std::string& text : texts) {
      while (at < lines.size() && lines[at].find(text) == std::string::npos) ++at;
      if (at++ >= lines.size()) return false;
    }
    return true;
  }
  LONG MasterVolumeNow() {
    LONG volume = 1;
    EXPECT_EQ(MusicPerformance()->GetGlobalParam(GUID_PerfMasterVolume, &volume, sizeof volume), S_OK);
    return volume;
  }
  // A segment of a song in the working directory, from the sound system's loader.
  IDirectMusicSegment8* LoadSegment(const char* name) {
    std::u16string path;
    for (char c : workDir() + "/" + name) path += static_cast<char16_t>(c);
    IDirectMusicSegment8* segment = nullptr;
    EXPECT_EQ(MusicLoader()->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, path.c_str(),
                                                reinterpret_cast<void**>(&segment)),
              S_OK);
    return segment;
  }
};

const char* const kPortLine = "出力ポート  Device0:FluidSynth General MIDI synthesiser ";

}  // namespace

TEST_F(MusicModeOneTest, StartUpLogsItsStepsWithThePortAndShutDownLetsGo) {
  EXPECT_EQ(SoundSystem.MusicDeviceMode, 1);
  ASSERT_NE(SoundSystem.musicLoader, nullptr);
  ASSERT_NE(SoundSystem.musicPerformance, nullptr);
  ASSERT_NE(SoundSystem.directSound, nullptr);
  EXPECT_EQ(SoundSystem.primaryBuffer, nullptr);  // mode 0 only
  EXPECT_NE(SoundSystem.silentBuffer, nullptr);
  EXPECT_EQ(SoundSystem.masterVolume, 0);
  EXPECT_TRUE(InOrder(LogFrom(0), {"DirectSound8 の初期化を行います", kPortLine, "DirectSound デバイスを列挙します",
                                   "DirectSound の初期化は正常に終了しました"}));
  EXPECT_FALSE(Logged("DirectSound の初期化を行います"));
  const size_t before = ReadLogLines(workDir()).size();
  ASSERT_EQ(SoundSystemShutdown(), 0);
  EXPECT_EQ(SoundSystem.musicLoader, nullptr);
  EXPECT_EQ(SoundSystem.musicPerformance, nullptr);
  EXPECT_EQ(SoundSystem.directSound, nullptr);
  EXPECT_TRUE(InOrder(LogFrom(before), {"DirectSound の終了処理は正常に終了しました"}));
}

TEST_F(MusicModeOneTest, EachObjectThatCannotBeMadeFallsBackToModeZeroWithItsLine) {
  struct Case {
    const char* failure;
    const char* line;
  };
  const std::vector<Case> cases = {
      {"DirectMusicLoader", "DirectMusicLoader8 オブジェクトの作成に失敗しました"},
      {"DirectMusicPerformance", "DirectMusicPerformance オブジェクトの作成に失敗しました"},
      {"DirectMusic:IDirectMusic2", "DirectMusic オブジェクトの取得に失敗しました"},
      {"DirectMusic::QueryInterface:IDirectMusic8", "DirectMusic8 オブジェクトの取得に失敗しました"},
      {"DirectMusicPerformance::InitAudio", "DirectMusicPerformanceオブジェクトの初期化に失敗しました"},
      {"", "DirectMusicPerformanceオブジェクトの初期化に失敗しました"},  // no SoundFont: no synthesiser
  };
  for (const Case& c : cases) {
    ASSERT_EQ(SoundSystemShutdown(), 0);
    SoundSystem.MusicDeviceMode = 1;
    if (*c.failure) headless::FailCall(c.failure);
    else headless::SetSoundFont(std::string());
    const size_t before = ReadLogLines(workDir()).size();
    EXPECT_EQ(SoundSystemStartup(), 0) << c.failure;
    EXPECT_TRUE(InOrder(LogFrom(before), {"DirectSound8 の初期化を行います", c.line, "前バージョンでの初期化処理に移ります",
                                          "DirectSound の初期化を行います", "DirectSound の初期化は正常に終了しました"}))
        << c.failure;
    EXPECT_EQ(SoundSystem.MusicDeviceMode, 0) << c.failure;
    EXPECT_EQ(SoundSystem.musicLoader, nullptr) << c.failure;
    EXPECT_EQ(SoundSystem.musicPerformance, nullptr) << c.failure;
    EXPECT_NE(SoundSystem.primaryBuffer, nullptr) << c.failure;
    headless::ClearFailures();
    headless::SetSoundFont(workDir() + "/tiny.sf2");
  }
}

TEST_F(MusicModeOneTest, APortListThatFailsEndsTheListAndADeviceThatFailsInBothModesStartsNothing) {
  ASSERT_EQ(SoundSystemShutdown(), 0);
  headless::FailCall("DirectMusic::EnumPort");
  size_t before = ReadLogLines(workDir()).size();
  EXPECT_EQ(SoundSystemStartup(), 0);  // a lasting error must not list for ever
  EXPECT_EQ(SoundSystem.MusicDeviceMode, 1);
  EXPECT_FALSE(InOrder(LogFrom(before), {kPortLine}));
  headless::ClearFailures();

  ASSERT_EQ(SoundSystemShutdown(), 0);
  headless::FailCall("DirectSound::Initialize");
  before = ReadLogLines(workDir()).size();
  EXPECT_EQ(SoundSystemStartup(), -1);
  EXPECT_TRUE(InOrder(LogFrom(before), {"DirectMusicPerformanceオブジェクトの初期化に失敗しました",
                                        "前バージョンでの初期化処理に移ります", "初期化に失敗しました"}));
  EXPECT_EQ(SoundSystem.directSound, nullptr);
  EXPECT_EQ(SoundSystem.musicPerformance, nullptr);
  headless::ClearFailures();
  EXPECT_EQ(StartMusicFile("song.mid", 1), 0);  // without a device, mode 0 plays through the sequencer
}

TEST_F(MusicModeOneTest, ASegmentSoundsAtItsNotesTimesAndEndsWithTheFile) {
  ASSERT_EQ(StartMusicFile("half.mid", 1), 0);
  const uint64_t start = FrameNow();
  const uint64_t startMs = headless::Milliseconds();
  ASSERT_NE(MidiMusicState.segment, nullptr);
  EXPECT_NEAR(MidiMusicState.startTime, static_cast<int32_t>(startMs), 2);
  EXPECT_EQ(QueryMusicPlaying(), 1);
  const uint64_t took = PlayOut(3000);
  EXPECT_GE(took, 995u);
  EXPECT_LE(took, 1010u);
  Wait(200);
  const uint64_t onset = Onset(start);
  EXPECT_GE(onset, start);
  EXPECT_LE(onset, start + 64);
  EXPECT_GT(Peak(startMs + 10, startMs + 490), 3000);  // the note
  EXPECT_EQ(Peak(startMs + 600, startMs + 1200), 0);   // the rest, then nothing
}

TEST_F(MusicModeOneTest, StyleThreeRepeatsWithoutAGapUntilStopped) {
  ASSERT_EQ(StartMusicFile("half.mid", 3), 0);
  const uint64_t start = FrameNow();
  Wait(2100, 23);
  EXPECT_EQ(QueryMusicPlaying(), 1);
  ExpectNoteEverySecond(start, 3);
  EXPECT_EQ(StopCurrentMusic(), 0);
  EXPECT_EQ(MidiMusicState.segment, nullptr);
  EXPECT_EQ(QueryMusicPlaying(), 0);
  const uint64_t stopped = headless::Milliseconds();
  Wait(1200);
  EXPECT_EQ(Peak(stopped + 5, stopped + 1200), 0);
}

TEST_F(MusicModeOneTest, StyleZeroWaitsForTheEndAndForAStartThatNeverComesOnlyASecond) {
  uint64_t start = headless::Milliseconds();
  ASSERT_EQ(StartMusicFile("song.mid", 0), 0);
  EXPECT_GE(headless::Milliseconds() - start, 1000u);
  EXPECT_EQ(MidiMusicState.segment, nullptr);  // released after the wait
  headless::FailCall("DirectMusicPerformance::PlaySegmentEx", 1);
  start = headless::Milliseconds();
  ASSERT_EQ(StartMusicFile("song.mid", 0), 0);
  EXPECT_GE(headless::Milliseconds() - start, 1000u);
  EXPECT_LE(headless::Milliseconds() - start, 1100u);
  EXPECT_EQ(QueryMusicPlaying(), 0);
}

TEST_F(MusicModeOneTest, TheMasterVolumeScalesFromTheOneReadAtStartUp) {
  struct Case {
    int32_t master;
    int volume;
    LONG level;  // (master + 10000) / 256 x volume, truncated, - 10000; 255: master
  };
  const std::vector<Case> cases = {{0, 0, -10000},     {0, 1, -9961},        {0, 128, -5000},
                                   {0, 255, 0},        {-1000, 0, -10000},   {-1000, 128, -5500},
                                   {-1000, 200, -2969}, {-1000, 255, -1000}, {300, 128, -4850}};
  for (const Case& c : cases) {
    SoundSystem.masterVolume = c.master;
    EXPECT_EQ(ApplyMusicVolume(c.volume), 0);
    EXPECT_EQ(MasterVolumeNow(), c.level) << c.master << " " << c.volume;
  }
  SoundSystem.masterVolume = 0;
  // Heard: full, then -50 dB (a factor of 10^-2.5), then silence.
  ASSERT_EQ(StartMusicFile("song.mid", 3), 0);
  uint64_t at = headless::Milliseconds();
  Wait(200);
  const int full = Peak(at + 50, at + 200);
  ApplyMusicVolume(128);
  at = headless::Milliseconds();
  Wait(200);
  const int half = Peak(at + 10, at + 200);
  ApplyMusicVolume(0);
  at = headless::Milliseconds();
  Wait(200);
  EXPECT_GT(full, 3000);
  EXPECT_NEAR(half, full * 0.0031623, 2.0);
  EXPECT_LE(Peak(at + 10, at + 200), 1);
}

TEST_F(MusicModeOneTest, AFileTheLoaderRefusesGoesToTheFilterGraph) {
  WriteBytes(workDir() + "/ramp.wav", RampWave(22050));
  ASSERT_EQ(StartMusicFile("ramp.wav", 1), 0);
  const uint64_t start = FrameNow();
  EXPECT_EQ(MidiMusicState.segment, nullptr);
  EXPECT_NE(DirectShowMusicState.graph, nullptr);
  EXPECT_EQ(QueryMusicPlaying(), 1);
  Wait(300);
  EXPECT_EQ(headless::Audio().Sample(start + 12345, 0), 12345);
  EXPECT_EQ(StartMusicFile("missing.mid", 1), -1);
  EXPECT_TRUE(Logged("ミュージックファイル " + FullPath("missing.mid") + " の演奏に失敗しました"));
}

TEST_F(MusicModeOneTest, MusicHandleEntriesArePolledHaltedAndReleased) {
  IDirectMusicPerformance8* performance = MusicPerformance();
  IDirectMusicSegment8* segment = LoadSegment("song.mid");
  ASSERT_NE(segment, nullptr);
  auto* entry = static_cast<MusicEntry*>(MemAllocZeroed(sizeof(MusicEntry)));
  entry->segment = segment;
  entry->memoryImage = MemAlloc(64);
  entry->playingFlag = 1;
  MusicHandleTable& table = MusicHandles();
  const int handle = table.Insert(table.FreeSlot(), entry);

  EXPECT_EQ(PollMusicHandles(), 0);  // not played yet: waiting for its start
  EXPECT_EQ(entry->startedFlag, 0);
  EXPECT_EQ(entry->playingFlag, 1);
  ASSERT_EQ(performance->PlaySegmentEx(segment, nullptr, nullptr, DMUS_SEGF_REFTIME, 0, nullptr, nullptr, nullptr),
            S_OK);
  PumpWindowMessages();
  EXPECT_EQ(entry->startedFlag, 1);
  EXPECT_EQ(QueryMusicHandlePlaying(handle), 1);
  Wait(1100);  // the song's end
  EXPECT_EQ(entry->startedFlag, 1);
  EXPECT_EQ(QueryMusicHandlePlaying(handle), 0);

  performance->PlaySegmentEx(segment, nullptr, nullptr, DMUS_SEGF_REFTIME, 0, nullptr, nullptr, nullptr);
  entry->playingFlag = 1;
  EXPECT_EQ(HaltMusicHandle(handle), 0);
  EXPECT_EQ(entry->playingFlag, 0);
  EXPECT_EQ(entry->startedFlag, 0);
  EXPECT_EQ(performance->IsPlaying(segment, nullptr), S_FALSE);

  segment->AddRef();
  EXPECT_EQ(ReleaseMusicHandle(handle), 0);
  EXPECT_EQ(table.count, 0);
  EXPECT_EQ(ReleaseMusicHandle(handle), -1);
  EXPECT_EQ(HaltMusicHandle(handle), -1);
  EXPECT_EQ(QueryMusicHandlePlaying(handle), -1);
  EXPECT_EQ(segment->Release(), 0u);  // the entry's reference went with it
}

// Only S_OK plays: an entry whose segment is gone (E_POINTER) or whose performance has closed down
// (DMUS_E_NOT_INIT) stops at the next poll, whether or not it had started.
TEST_F(MusicModeOneTest, AnEntryWhoseSegmentIsGoneStopsAtTheNextPoll) {
  MusicHandleTable& table = MusicHandles();
  auto add = [&table](IDirectMusicSegment8* segment, int started) {
    auto* entry = static_cast<MusicEntry*>(MemAllocZeroed(sizeof(MusicEntry)));
    entry->segment = segment;
    entry->playingFlag = 1;
    entry->startedFlag = started;
    table.Insert(table.FreeSlot(), entry);
    return entry;
  };
  const MusicEntry* waiting = add(nullptr, 0);
  const MusicEntry* started = add(nullptr, 1);
  PumpWindowMessages();
  EXPECT_EQ(waiting->playingFlag, 0);
  EXPECT_EQ(started->playingFlag, 0);

  IDirectMusicSegment8* segment = LoadSegment("song.mid");
  ASSERT_NE(segment, nullptr);
  const MusicEntry* closed = add(segment, 0);
  ASSERT_EQ(MusicPerformance()->PlaySegmentEx(segment, nullptr, nullptr, DMUS_SEGF_REFTIME, 0, nullptr, nullptr,
                                              nullptr),
            S_OK);
  PumpWindowMessages();
  EXPECT_EQ(closed->playingFlag, 1);
  EXPECT_EQ(MusicPerformance()->CloseDown(), S_OK);
  EXPECT_EQ(MusicPerformance()->IsPlaying(segment, nullptr), DMUS_E_NOT_INIT);
  PumpWindowMessages();
  EXPECT_EQ(closed->playingFlag, 0);
  EXPECT_EQ(ReleaseAllMusicHandles(), 0);
  EXPECT_EQ(table.count, 0);
}

// A secondary segment would take the one synthesiser from the primary: it is refused, and the primary plays on.
TEST_F(MusicModeOneTest, ASecondarySegmentIsRefusedAndThePrimaryPlaysOn) {
  ASSERT_EQ(StartMusicFile("song.mid", 3), 0);
  IDirectMusicSegment8* other = LoadSegment("half.mid");
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(MusicPerformance()->PlaySegmentEx(other, nullptr, nullptr, DMUS_SEGF_SECONDARY | DMUS_SEGF_REFTIME, 0,
                                              nullptr, nullptr, nullptr),
            E_NOTIMPL);
  EXPECT_EQ(MusicPerformance()->IsPlaying(other, nullptr), S_FALSE);
  const uint64_t at = headless::Milliseconds();
  Wait(900);
  EXPECT_EQ(QueryMusicPlaying(), 1);
  EXPECT_GT(Peak(at + 600, at + 900), 3000);  // half.mid would rest here; the primary's note sounds on
  other->Release();
}
