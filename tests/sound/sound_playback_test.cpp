// Sound handles as the game uses them, heard through the mix: the device report, once, looped and waited
// plays, restarts that cut the play they take over, duplicate buffers overlapping, halting and resuming,
// the handle table, and refusals.
#include "sound/sound_system.h"
#include "sound_test_support.h"

namespace {

class PlaybackTest : public SoundTest {
 protected:
  // A 16-bit stereo file whose frame i holds (i + 1, -(i + 1)).
  int Ramp(int frames, int count = 1) {
    std::vector<uint8_t> chunks, data;
    PutChunk(chunks, "fmt ", FmtBody(1, 2, 44100, 16));
    for (int i = 1; i <= frames; ++i) {
      Put16(data, static_cast<uint32_t>(i));
      Put16(data, static_cast<uint32_t>(-i));
    }
    PutChunk(chunks, "data", data);
    WriteBytes("ramp.wav", Riff(chunks));
    return LoadSoundFromFileEx("ramp.wav", count);
  }
  static int16_t Left(uint64_t frame) { return headless::Audio().Sample(frame, 0); }
};

TEST_F(PlaybackTest, StartUpReportsTheDeviceAndShutDownSaysSo) {
  const std::string log = LogText();
  for (const char* line : {"DirectSound の初期化を行います\r\n", "DirectSound インターフェースの取得を行います....  成功\r\n",
                           "モジュール名:    vomak-mixer  ドライバ記述:headless \r\n",
                           "最大サンプリングレート:100.00KHz 最小サンプリングレート:0.10KHz \r\n",
                           "総サウンドメモリ領域:0.00KB 空きサウンドメモリ領域:0.00KB \r\n",
                           " プライマリ １６bit = OK  ８bit = OK \r\n", " セカンダリ MONO = OK  STEREO = OK \r\n",
                           "DirectSound の初期化は正常に終了しました\r\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
  headless::SetReadStepMicroseconds(100);
  ShutdownLibrary();
  EXPECT_NE(LogText().find("DirectSound の終了処理は正常に終了しました\r\n"), std::string::npos);
  EXPECT_EQ(LoadSoundFromFile("ramp.wav"), -1);
  ASSERT_EQ(StartupLibrary(), 0);
}

TEST_F(PlaybackTest, RestartCutsThePlayAndDuplicatesOverlap) {
  const int one = Ramp(2000);
  const uint64_t first = Now();
  StartSoundPlayback(one, 1, 1);
  headless::AdvanceMilliseconds(10);
  const uint64_t second = Now();
  StartSoundPlayback(one, 1, 1);
  headless::AdvanceMilliseconds(10);
  EXPECT_EQ(Left(second - 1), static_cast<int16_t>(second - first));
  EXPECT_EQ(Left(second), 1);
  EXPECT_EQ(Left(second + 100), 101);

  const int two = Ramp(2000, 2);
  headless::AdvanceMilliseconds(50);  // the first sound has ended
  const uint64_t a = Now();
  StartSoundPlayback(two, 1, 1);
  headless::AdvanceMilliseconds(5);
  const uint64_t b = Now();
  StartSoundPlayback(two, 1, 1);  // the second buffer joins in
  headless::AdvanceMilliseconds(5);
  const uint64_t c = Now();
  EXPECT_EQ(StartSoundPlayback(two, 1, 0), 0);  // both play: nothing changes
  headless::AdvanceMilliseconds(1);
  StartSoundPlayback(two, 1, 1);  // both play: the one that has played furthest starts again
  headless::AdvanceMilliseconds(5);
  EXPECT_EQ(Left(b + 10), static_cast<int16_t>((b + 11 - a) + 11));
  const uint64_t d = c + 44;
  EXPECT_EQ(Left(d + 20) - Left(d + 19), 2);
  EXPECT_EQ(QuerySoundPlaying(two), 1);
}

TEST_F(PlaybackTest, HaltKeepsThePlaceAndLoopsRunUntilHalted) {
  const int sound = Ramp(441);  // 10 ms
  StartSoundPlayback(sound, 3, 1);
  headless::AdvanceMilliseconds(25);
  EXPECT_EQ(QuerySoundPlaying(sound), 1);
  ASSERT_EQ(HaltSoundPlayback(sound), 0);
  EXPECT_EQ(QuerySoundPlaying(sound), 0);
  const uint64_t stopped = Now();
  const int16_t last = Left(stopped - 1);
  headless::AdvanceMilliseconds(5);
  EXPECT_EQ(Left(stopped + 10), 0);
  const uint64_t resumed = Now();
  StartSoundPlayback(sound, 1, 0);
  headless::AdvanceMilliseconds(1);
  EXPECT_EQ(Left(resumed), last + 1);
  HaltSoundPlayback(sound);
  const uint64_t again = Now();
  StartSoundPlayback(sound, 2, 1);  // style 2 plays once, from the start
  headless::AdvanceMilliseconds(30);
  EXPECT_EQ(Left(again), 1);
  EXPECT_EQ(Left(again + 441), 0);
}

TEST_F(PlaybackTest, StyleZeroReturnsWhenTheSoundHasEnded) {
  const int sound = Ramp(4410);  // 100 ms
  headless::SetReadStepMicroseconds(100);
  const uint64_t start = Now();
  ASSERT_EQ(StartSoundPlayback(sound, 0, 1), 0);
  EXPECT_EQ(QuerySoundPlaying(sound), 0);
  uint64_t first = start;
  while (Left(first) != 1 && first < start + 100) ++first;
  EXPECT_EQ(Left(first + 4409), 4410);
  EXPECT_GE(Now(), first + 4410);
  EXPECT_LE(Now(), first + 4410 + 44);  // within a millisecond of the last frame
}

TEST_F(PlaybackTest, TheHandleTableReusesTheHighestSlotAndRefusesWhatItMust) {
  const int a = Ramp(10), b = Ramp(10), c = Ramp(10);
  EXPECT_EQ(a & 0x7800FFFF, 0x10000000);
  EXPECT_EQ(b & 0xFFFF, 1);
  ASSERT_EQ(ReleaseSoundHandle(c), 0);
  EXPECT_EQ(ReleaseSoundHandle(c), -1);
  EXPECT_EQ(StartSoundPlayback(c, 1, 1), -1);
  const int d = Ramp(10);
  EXPECT_EQ(d & 0xFFFF, 2);
  EXPECT_NE(d, c);
  EXPECT_EQ(AddSoundData(b), -1);  // a handle whose slot is taken is not made twice
  EXPECT_EQ(LoadSoundFromFileEx("ramp.wav", 11), -1);
  EXPECT_EQ(LoadSoundFromFileEx("ramp.wav", 0), -1);
  EXPECT_EQ(LogText().find("_1"), std::string::npos);
  ASSERT_EQ(ReleaseAllSoundHandles(), 0);
  EXPECT_EQ(QuerySoundPlaying(a), -1);
  EXPECT_EQ(Ramp(10) & 0xFFFF, 0);
}

// A handle given to AddSoundData names its slot: the table's last slot, 4,095, is taken as given; a slot past the
// table's 4,096, or a handle of another kind, is refused and changes nothing.
TEST_F(PlaybackTest, AGivenHandleBeyondTheTableIsRefused) {
  const int last = 0x10000000 | (7 << 16) | 4095;
  for (const int handle : {0x10000000 | 4096, 0x10000000 | 0xFFFF, 0x20000000 | 5, -5}) {
    EXPECT_EQ(AddSoundData(handle), -1) << std::hex << handle;
  }
  EXPECT_EQ(AddSoundData(last), last);
  EXPECT_EQ(AddSoundData(last), -1);
  EXPECT_EQ(ReleaseSoundHandle(last), 0);
  EXPECT_EQ(ReleaseSoundHandle(0x10000000 | 4096), -1);
  EXPECT_EQ(Ramp(10) & 0xFFFF, 0);  // the refused ones took no slot
}

TEST_F(PlaybackTest, DeviceFailuresLeaveTheLibrarySilentAndLockFailuresRefuseTheLoad) {
  headless::FailCall("SoundBuffer::Lock", 1);
  EXPECT_EQ(Ramp(10), -1);
  EXPECT_NE(LogText().find("サウンドデータの転送に失敗しました_1右記の音声ファイルのロードに失敗しました_2：ramp.wav\r\n"),
            std::string::npos);
  headless::SetReadStepMicroseconds(100);
  ShutdownLibrary();
  ResetSystemState();
  SystemState.noGraphics = 1;
  SystemState.windowModeFlag = 1;
  headless::FailCall("CreateSoundBuffer:PRIMARY", 1);
  ASSERT_EQ(StartupLibrary(), 0);
  EXPECT_NE(LogText().find("DirectSoundのプライマリサウンドバッファの作成に失敗しました\r\n"), std::string::npos);
  EXPECT_EQ(Ramp(10), -1);
}

}  // namespace
