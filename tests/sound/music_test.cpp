// Music through the public calls on the headless host: MIDI played by the synthesiser (a tiny SoundFont made
// here) with its end noticed at the song's length in virtual time, loops, refusals with their log lines, the
// music graph playing WAV and Ogg files, and the path helpers' pinned examples.
#include <cstdlib>

#include "core/memory.h"
#include "platform/win32/messages.h"
#include "platform/win32/user.h"
#include "sound/music_test_support.h"
#include "sound/sound_services.h"
#include "support/ogg_writers.h"

using namespace testing_support;

TEST_F(MusicTest, MidiSoundsUntilItsEndIsNoticedAtTheSongsLength) {
  uint64_t start = headless::Milliseconds();
  ASSERT_EQ(StartMusicFile("song.mid", 1), 0);
  EXPECT_EQ(QueryMusicPlaying(), 1);
  uint64_t took = PlayOut(3000);
  EXPECT_GE(took, 995u);
  EXPECT_LE(took, 1010u);
  Wait(300);  // the release fades; then nothing plays
  EXPECT_GT(Peak(start + 10, start + 990), 3000);
  EXPECT_EQ(Peak(start + 1200, start + 1300), 0);
}

TEST_F(MusicTest, StyleZeroReturnsWhenTheSongHasEnded) {
  uint64_t start = headless::Milliseconds();
  ASSERT_EQ(StartMusicFile("SONG.MID", 0), 0);  // names match without regard to case
  EXPECT_GE(headless::Milliseconds() - start, 1000u);
  EXPECT_EQ(QueryMusicPlaying(), 0);
}

TEST_F(MusicTest, LoopedMidiStartsAgainUntilStopped) {
  ASSERT_EQ(StartMusicFile("song.mid", 3), 0);
  uint64_t start = headless::Milliseconds();
  Wait(2500);
  EXPECT_EQ(QueryMusicPlaying(), 1);
  EXPECT_GT(Peak(start + 2100, start + 2400), 3000);  // the third time round
  EXPECT_EQ(StopCurrentMusic(), 0);
  EXPECT_EQ(QueryMusicPlaying(), 0);
  uint64_t stopped = headless::Milliseconds();
  Wait(1500);
  EXPECT_EQ(QueryMusicPlaying(), 0);
  EXPECT_EQ(Peak(stopped + 5, stopped + 1500), 0);
}

TEST_F(MusicTest, LoopedMidiStartsAgainAtTheFrameItEnds) {
  ASSERT_EQ(StartMusicFile("half.mid", 3), 0);
  const uint64_t start = FrameNow();
  Wait(2100, 23);  // the song's end falls between two pumps
  ExpectNoteEverySecond(start, 3);
}

TEST_F(MusicTest, ALateNoticeOfAnEarlierDeviceLeavesTheNewMusicAlone) {
  ASSERT_EQ(StartMusicFile("song.mid", 1), 0);
  uint32_t first = MidiMusicState.deviceId;
  ASSERT_EQ(StartMusicFile("song.mid", 1), 0);
  PostMessageA(window, MM_MCINOTIFY, 1, static_cast<LPARAM>(first));
  Wait(100);
  EXPECT_EQ(QueryMusicPlaying(), 1);
}

TEST_F(MusicTest, FilesThatAreNotMusicAnswerMinusOneWithTheirLogLine) {
  Bytes song = MidiFile(0, 96, {Track().End(10)});
  Bytes absurd = song;
  absurd[18] = 0x7F;
  const std::vector<std::pair<const char*, Bytes>> files = {
      {"text.mid", Bytes(200, 'x')}, {"cut.mid", Bytes(song.begin(), song.begin() + 9)}, {"absurd.mid", absurd}};
  for (const auto& [name, bytes] : files) {
    WriteBytes(workDir() + "/" + name, bytes);
    EXPECT_EQ(StartMusicFile(name, 1), -1) << name;
    EXPECT_TRUE(Logged("ミュージックファイル " + FullPath(name) + " の演奏に失敗しました")) << name;
    EXPECT_EQ(QueryMusicPlaying(), 0);
  }
  EXPECT_EQ(StartMusicFile("missing.mid", 1), -1);
}

TEST_F(MusicTest, SequencerFailuresCloseTheDeviceWithoutFallingBack) {
  headless::SetSoundFont(std::string());  // no synthesiser: the sequencer's port is not the MIDI mapper
  EXPECT_EQ(StartMusicFile("song.mid", 1), -1);
  EXPECT_TRUE(Logged("ＭＩＤＩ演奏開始処理でエラーが起きました"));
  headless::SetSoundFont(workDir() + "/tiny.sf2");
  headless::FailCall("mciSendCommandA:MCI_PLAY", 1);
  EXPECT_EQ(StartMusicFile("song.mid", 1), -1);
  EXPECT_TRUE(Logged("ＭＩＤＩ演奏に失敗しました"));
  EXPECT_FALSE(Logged("ミュージックファイル"));
  EXPECT_EQ(QueryMusicPlaying(), 0);
}

TEST_F(MusicTest, TheGraphPlaysAWaveFileExactlyAndLoopsIt) {
  WriteBytes(workDir() + "/ramp.wav", RampWave(22050));
  headless::ClearAudio();
  ASSERT_EQ(StartMusicFile("ramp.wav", 3), 0);
  uint64_t start = headless::Audio().FrameAtNanoseconds(headless::Nanoseconds());
  Wait(1200);
  EXPECT_EQ(QueryMusicPlaying(), 1);
  const headless::CapturedAudio& audio = headless::Audio();
  for (uint64_t i : {0u, 1u, 12345u, 22049u}) {
    EXPECT_EQ(audio.Sample(start + i, 0), static_cast<int16_t>(i % 30000)) << i;
    EXPECT_EQ(audio.Sample(start + i, 1), static_cast<int16_t>(-(i % 30000))) << i;
  }
  EXPECT_GT(Peak(headless::Milliseconds() - 600, headless::Milliseconds()), 1000);  // played again
  StopCurrentMusic();
  EXPECT_EQ(QueryMusicPlaying(), 0);

  ASSERT_EQ(StartMusicFile("ramp.wav", 1), 0);
  uint64_t took = PlayOut(2000);
  EXPECT_GE(took, 495u);
  EXPECT_LE(took, 520u);
}

TEST_F(MusicTest, TheGraphRewindsLoopedMusicAtTheFrameAfterItsEnd) {
  WriteBytes(workDir() + "/ramp.wav", RampWave(22000));
  ASSERT_EQ(StartMusicFile("ramp.wav", 3), 0);
  const uint64_t start = FrameNow();
  Wait(1600, 23);  // the end falls between two pumps
  const headless::CapturedAudio& audio = headless::Audio();
  for (uint64_t pass : {0u, 1u, 2u}) {
    for (uint64_t i : {0u, 1u, 500u, 21999u}) {
      EXPECT_EQ(audio.Sample(start + pass * 22000 + i, 0), static_cast<int16_t>(i)) << pass << " " << i;
    }
  }
}

TEST_F(MusicTest, TheGraphPlaysOggMpegAndCompressedWaveFilesMadeByOtherTools) {
  WriteBytes(workDir() + "/ramp.wav", RampWave(44100));
  const std::vector<std::pair<const char*, const char*>> encoders = {
      {"music.ogg", "oggenc -Q -o music.ogg ramp.wav"},
      {"music.mp3", "lame --quiet -b 128 ramp.wav music.mp3"},
      {"adpcm.wav", "sox ramp.wav -e ima-adpcm adpcm.wav"}};
  for (const auto& [name, command] : encoders) {
    if (std::system((std::string(command) + " >/dev/null 2>&1").c_str()) != 0) continue;  // tool not installed
    uint64_t start = headless::Milliseconds();
    ASSERT_EQ(StartMusicFile(name, 1), 0) << name;
    uint64_t took = PlayOut(3000);
    EXPECT_GE(took, 995u) << name;
    EXPECT_LE(took, 1100u) << name;  // an MPEG encoder pads the end with up to a frame or two
    EXPECT_GT(Peak(start + 100, start + 900), 10000) << name;
  }
}

TEST_F(MusicTest, HaltingALoopedSoundLeavesTheMidiMusicPlaying) {
  Bytes fmt, data, form, file;  // a steady level of 20000 on both channels, a tenth of a second, looped
  PutLe(fmt, 1, 2), PutLe(fmt, 2, 2), PutLe(fmt, 44100, 4), PutLe(fmt, 176400, 4), PutLe(fmt, 4, 2), PutLe(fmt, 16, 2);
  for (int i = 0; i < 4410 * 2; ++i) PutLe(data, 20000, 2);
  PutText(form, "WAVE"), PutChunk(form, "fmt ", fmt, true), PutChunk(form, "data", data, true);
  PutChunk(file, "RIFF", form, true);
  WriteBytes(workDir() + "/level.wav", file);
  int sound = LoadSoundFromFile("level.wav");
  ASSERT_NE(sound, -1);
  ASSERT_EQ(StartSoundPlayback(sound, 3, 1), 0);
  ASSERT_EQ(StartMusicFile("song.mid", 1), 0);
  uint64_t start = headless::Milliseconds();
  Wait(300);
  ASSERT_EQ(HaltSoundPlayback(sound), 0);
  uint64_t halted = headless::Milliseconds();
  Wait(300);
  EXPECT_EQ(QueryMusicPlaying(), 1);
  auto mean = [](uint64_t from, uint64_t to) {
    const headless::CapturedAudio& audio = headless::Audio();
    int64_t sum = 0, count = 0;
    for (uint64_t f = audio.FrameAtNanoseconds(from * 1000000); f < audio.FrameAtNanoseconds(to * 1000000); ++f) {
      sum += audio.Sample(f, 0), ++count;
    }
    return count ? sum / count : 0;
  };
  EXPECT_GT(mean(start + 50, start + 250), 15000);   // the looped level under the MIDI
  EXPECT_LT(std::abs(mean(halted + 20, halted + 280)), 3000);  // gone; the square wave averages out
  EXPECT_GT(Peak(halted + 20, halted + 280), 3000);  // and the MIDI goes on
}

// A crafted Ogg whose header claims 2^31 - 1 Hz would cost the decoder some 48,000 frames for each frame heard:
// the claimed rate is refused before decoding.
TEST_F(MusicTest, AnOggClaimingAHugeRateIsRefusedBeforeDecoding) {
  const Bytes claim = SilentVorbisBomb(2, 172800000 / 4 + 4096, 0x7FFFFFFF);
  ASSERT_FALSE(claim.empty());
  WriteBytes(workDir() + "/claim.ogg", claim);
  EXPECT_EQ(StartMusicFile("claim.ogg", 1), -1);
  EXPECT_TRUE(Logged("ミュージックファイル " + FullPath("claim.ogg") + " の演奏に失敗しました"));
  EXPECT_EQ(QueryMusicPlaying(), 0);
  const Bytes fine = SilentVorbisBomb(2, 44100 * 2);  // the same making at an honest rate plays
  WriteBytes(workDir() + "/fine.ogg", fine);
  EXPECT_EQ(StartMusicFile("fine.ogg", 1), 0);
  EXPECT_EQ(QueryMusicPlaying(), 1);
}

// Files named on disk by their Shift-JIS bytes ("表" has 0x5C as its second byte) are found by every route.
TEST_F(MusicTest, EveryRouteFindsAFileNamedInShiftJisBytes) {
  const std::string wave = "表曲.wav", midi = "表曲.mid";
  WriteBytes(workDir() + "/" + wave, RampWave(22050));
  const std::string song = ReadFileBytes(workDir() + "/song.mid");
  WriteBytes(workDir() + "/" + midi, Bytes(song.begin(), song.end()));
  EXPECT_EQ(StartMusicFile(wave.c_str(), 1), 0);
  EXPECT_EQ(QueryMusicPlaying(), 1);
  EXPECT_EQ(StartMusicFile(midi.c_str(), 1), 0);
  EXPECT_EQ(QueryMusicPlaying(), 1);
  EXPECT_NE(LoadSoundFromFile(wave.c_str()), -1);
  StopCurrentMusic();
}

// One tick is a millisecond (1,000 ticks a quarter at 1,000,000 us a quarter): 15 minutes are taken, a tick
// more is not; a 47-byte file that declares some 140 years is refused at once, even for a style-0 wait.
TEST_F(MusicTest, TheSequencerTakesSongsOfAtMostFifteenMinutes) {
  auto song = [](uint32_t endTicks) {
    Track t;
    t.Tempo(0, 1000000).Event(0, {0xC0, 0}).Event(0, {0x90, 60, 100}).End(endTicks);
    return MidiFile(0, 1000, {t});
  };
  WriteBytes(workDir() + "/full.mid", song(900000));
  WriteBytes(workDir() + "/over.mid", song(900001));
  Track years;
  years.Tempo(0, 0xFFFFFF).Event(0, {0x90, 60, 100}).End(0x0FFFFFFF);
  const Bytes yearsLong = MidiFile(0, 1, {years});
  EXPECT_LE(yearsLong.size(), 47u);
  WriteBytes(workDir() + "/years.mid", yearsLong);
  EXPECT_EQ(StartMusicFile("full.mid", 1), 0);
  EXPECT_EQ(QueryMusicPlaying(), 1);
  EXPECT_EQ(StopCurrentMusic(), 0);
  ASSERT_EQ(StartMusicFile("over.mid", 1), -1);
  ASSERT_EQ(StartMusicFile("years.mid", 1), -1);
  EXPECT_TRUE(Logged("ミュージックファイル " + FullPath("years.mid") + " の演奏に失敗しました"));
  EXPECT_EQ(StartMusicFile("years.mid", 0), -1);
  EXPECT_EQ(QueryMusicPlaying(), 0);
}

TEST(MusicPathTest, FullPathsAndSplitsOfThePinnedExamples) {
  char out[260];
  EXPECT_EQ(MakeFullPath("a\\\\b", out, sizeof out, "C:\\dir"), -1);
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"..\\x", "C:\\x"}, {"\\x", "C:\\x"}, {"C:x", "C:\\x"}, {"a\\.\\b\\..\\c", "C:\\dir\\a\\c"},
      {"a\\..", "C:\\dir\\a\\.."}, {"a/b\\", "C:\\dir\\a\\b"}, {"\x83\x5C\\x", "C:\\dir\\\x83\x5C\\x"}};
  for (const auto& [source, want] : cases) {
    ASSERT_EQ(MakeFullPath(source, out, sizeof out, "C:\\dir"), 0) << source;
    EXPECT_STREQ(out, want) << source;
  }
  ASSERT_EQ(MakeFullPath("\\x", out, sizeof out, "/home/user"), 0);
  EXPECT_STREQ(out, "\\x");  // no drive on a base without one
  EXPECT_EQ(MakeFullPath(std::string(300, 'a').c_str(), out, sizeof out, "C:\\dir"), -1);

  char file[260], dir[260];
  SplitPathDirFile("C:\\a\\b.mid", file, dir);
  EXPECT_STREQ(file, "b.mid");
  EXPECT_STREQ(dir, "C:\\a");
  SplitPathDirFile("b.mid", file, dir);
  EXPECT_STREQ(file, "b.mid");
  EXPECT_STREQ(dir, "");
}

// Under code page 949 a Hangeul lead byte takes the byte after it: "\xB0\x81" is one character, so the '\\'
// after it separates (under Shift-JIS 0x81 would lead and take that '\\').
TEST_F(CoreTest, MusicPathsWalkHangeulCharactersUnderCodePage949) {
  headless::SetOemCodePage(949);
  SystemState.noGraphics = 1;
  SystemState.windowModeFlag = 1;
  ASSERT_EQ(StartupLibrary(), 0);
  char out[260], file[260], dir[260];
  ASSERT_EQ(MakeFullPath("\xB0\x81\\..\\x", out, sizeof out, "C:\\dir"), 0);
  EXPECT_STREQ(out, "C:\\dir\\x");
  SplitPathDirFile("C:\\a\\\xB0\x81\\b.mid", file, dir);
  EXPECT_STREQ(file, "b.mid");
  EXPECT_STREQ(dir, "C:\\a\\\xB0\x81");
  SplitPathDirFile("\xC7\x5C", file, dir);  // a lone pair, whatever its second byte
  EXPECT_STREQ(file, "\xC7\x5C");
  EXPECT_STREQ(dir, "");
  ShutdownLibrary();
}

// In mode 0 a music handle answers for the current music: it plays while that plays, halting or releasing it while
// it plays stops it, and polling changes nothing; without a sound device every handle call answers -1.
TEST_F(MusicTest, MusicHandlesInModeZeroAnswerForTheCurrentMusic) {
  MusicHandleTable& table = MusicHandles();
  auto add = [&table] {
    auto* entry = static_cast<MusicEntry*>(MemAllocZeroed(sizeof(MusicEntry)));
    entry->playingFlag = 1;
    return table.Insert(table.FreeSlot(), entry);
  };
  const int first = add(), second = add();
  EXPECT_EQ(QueryMusicHandlePlaying(first), 0);
  ASSERT_EQ(StartMusicFile("song.mid", 3), 0);
  EXPECT_EQ(QueryMusicHandlePlaying(second), 1);
  EXPECT_EQ(PollMusicHandles(), 0);
  EXPECT_EQ(table.Find(second)->playingFlag, 1);
  EXPECT_EQ(HaltMusicHandle(first), 0);
  EXPECT_EQ(QueryMusicPlaying(), 0);
  ASSERT_EQ(StartMusicFile("song.mid", 3), 0);
  EXPECT_EQ(ReleaseMusicHandle(first), 0);
  EXPECT_EQ(QueryMusicPlaying(), 0);
  EXPECT_EQ(table.count, 1);
  EXPECT_EQ(ReleaseMusicHandle(first), -1);

  IDirectSound* device = SoundSystem.directSound;
  SoundSystem.directSound = nullptr;
  const int answers[] = {QueryMusicHandlePlaying(second), HaltMusicHandle(second), ReleaseMusicHandle(second),
                         ReleaseAllMusicHandles(), PollMusicHandles()};
  SoundSystem.directSound = device;
  for (int answer : answers) EXPECT_EQ(answer, -1);
  EXPECT_EQ(table.count, 1);
  EXPECT_EQ(ReleaseAllMusicHandles(), 0);
  EXPECT_EQ(table.count, 0);
}
