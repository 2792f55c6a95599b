// Stream sounds refilled from the pump at the game's pace: every byte heard in order without underrun, parts
// and repeats joined without gaps, looping back to part 0, 8-bit endings and refused parts.
#include <algorithm>

#include "sound/sound_system.h"
#include "sound_test_support.h"

namespace {

class StreamTest : public SoundTest {
 protected:
  // A PCM WAV image whose frames count up from `from` (left) and down (right).
  static std::vector<uint8_t> Counting(int frames, int from, uint16_t bits = 16, uint32_t rate = 44100) {
    std::vector<uint8_t> chunks, data;
    PutChunk(chunks, "fmt ", FmtBody(1, 2, rate, bits));
    for (int i = 0; i < frames; ++i) {
      if (bits == 16) {
        Put16(data, static_cast<uint32_t>(from + i));
        Put16(data, static_cast<uint32_t>(-(from + i)));
      } else {
        data.insert(data.end(), {uint8_t(130 + i % 100), uint8_t(130 + i % 100)});
      }
    }
    PutChunk(chunks, "data", data);
    return Riff(chunks);
  }
  // Pumps every 17 ms of virtual time, as the game's stage does, for `ms` milliseconds.
  static void PumpFor(int ms) {
    for (int t = 0; t < ms; t += 17) {
      PumpWindowMessages();
      headless::AdvanceMilliseconds(17);
    }
  }
  // Plays a sound once from now, pumping for `ms` milliseconds; answers the frame it started at.
  static uint64_t PlayPumped(int sound, int ms) {
    const uint64_t start = Now();
    EXPECT_EQ(StartSoundPlayback(sound, 1, 1), 0);
    PumpFor(ms);
    return start;
  }
  static uint64_t FirstFrameOf(int16_t value, uint64_t from) {
    while (headless::Audio().Sample(from, 0) != value && from < Now()) ++from;
    return from;
  }
};

TEST_F(StreamTest, LongSoundPlaysWholeAtThePumpsPaceAndStops) {
  const int frames = 44100 * 9;  // values wrap through 16 bits, which the check allows for
  WriteBytes("long.wav", Counting(frames, 1));
  SoundSystem.SoundCreateMode = 2;
  const int sound = LoadSoundFromFile("long.wav");
  ASSERT_GE(sound, 0);
  const uint64_t start = PlayPumped(sound, 10000);
  const headless::CapturedAudio& a = headless::Audio();
  for (int i = 0; i < frames; ++i) ASSERT_EQ(a.Sample(start + i, 0), static_cast<int16_t>(1 + i)) << i;
  for (int i = frames; i < frames + 5000; ++i) ASSERT_EQ(a.Sample(start + i, 0), 0) << i;
  EXPECT_EQ(QuerySoundPlaying(sound), 0);
}

TEST_F(StreamTest, PartsRepeatAndLoopBackToPartZeroWithoutGaps) {
  const std::vector<uint8_t> first = Counting(3000, 1), second = Counting(2000, 10001);
  const int sound = AddSoundData(-1);
  ASSERT_EQ(AppendMemImageToStreamSound(first.data(), static_cast<int>(first.size()), 1, sound, 0), 0);
  ASSERT_EQ(AppendMemImageToStreamSound(second.data(), static_cast<int>(second.size()), 0, sound, 2), 0);
  StreamPrepare(sound);
  const uint64_t start = Now();
  StartSoundPlayback(sound, 3, 1);
  PumpFor(600);
  // part 0 twice (one repeat), part 1, then part 0 again ...
  std::vector<int16_t> expected;
  for (int pass = 0; pass < 4; ++pass) {
    for (int r = 0; r < 2; ++r) for (int i = 0; i < 3000; ++i) expected.push_back(static_cast<int16_t>(1 + i));
    for (int i = 0; i < 2000; ++i) expected.push_back(static_cast<int16_t>(10001 + i));
  }
  for (size_t i = 0; i < expected.size() && start + i + 1000 < Now(); ++i) {
    ASSERT_EQ(headless::Audio().Sample(start + i, 0), expected[i]) << i;
  }
  EXPECT_EQ(QuerySoundPlaying(sound), 1);
  HaltSoundPlayback(sound);
  EXPECT_EQ(QuerySoundPlaying(sound), 0);
}

TEST_F(StreamTest, AnEightBitStreamEndsInOneTwentySeven) {
  const std::vector<uint8_t> image = Counting(1000, 0, 8);
  SoundSystem.SoundCreateMode = 2;
  const int sound = LoadSoundFromMemImage(image.data(), static_cast<int>(image.size()), 1);
  const uint64_t start = Now();
  StartSoundPlayback(sound, 1, 1);
  PumpFor(300);
  EXPECT_EQ(headless::Audio().Sample(start + 999, 1), (130 + 99 - 128) * 256);
  EXPECT_EQ(headless::Audio().Sample(start + 1000, 1), (127 - 128) * 256);
  EXPECT_EQ(QuerySoundPlaying(sound), 0);
}

TEST_F(StreamTest, RefusedPartsLogTheirTexts) {
  const std::vector<uint8_t> image = Counting(100, 0), other = Counting(100, 0, 16, 22050);
  const int sound = AddSoundData(-1);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(AppendMemImageToStreamSound(image.data(), static_cast<int>(image.size()), 0, sound, 2), 0);
  EXPECT_EQ(AppendMemImageToStreamSound(image.data(), static_cast<int>(image.size()), 0, sound, 2), -1);
  const int second = AddSoundData(-1);
  ASSERT_EQ(AppendMemImageToStreamSound(image.data(), static_cast<int>(image.size()), 0, second, 2), 0);
  EXPECT_EQ(AppendMemImageToStreamSound(other.data(), static_cast<int>(other.size()), 0, second, 2), -1);
  const int loaded = LoadSoundFromMemImage(image.data(), static_cast<int>(image.size()), 1);
  EXPECT_EQ(AppendMemImageToStreamSound(image.data(), static_cast<int>(image.size()), 0, loaded, 2), -1);
  const std::string log = LogText();
  for (const char* line : {"ストリーム風サウンドの制御データ領域がいっぱいです\r\n",
                           "フォーマットの違う音声データは同時に使うことは出来ません\r\n",
                           "ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound\r\n",
                           "ＷＡＶファイルのストリームイメージのセットアップに失敗しました \r\n\r\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
}

// A part taken from memory in mode 0 (decoded) or 2 (compressed) is the stream's own copy: the caller may
// reuse its image at once, before the stream is even prepared.
TEST_F(StreamTest, PartsFromMemoryAreTheStreamsOwnCopy) {
  for (const int mode : {0, 2}) {
    std::vector<uint8_t> image = Counting(3000, 1);
    const int sound = AddSoundData(-1);
    ASSERT_EQ(AppendMemImageToStreamSound(image.data(), static_cast<int>(image.size()), 0, sound, mode), 0) << mode;
    std::fill(image.begin(), image.end(), uint8_t{0});
    StreamPrepare(sound);
    const uint64_t start = PlayPumped(sound, 200);
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(headless::Audio().Sample(start + i, 0), 1 + i) << mode << " frame " << i;
    EXPECT_EQ(headless::Audio().Sample(start + 3000, 0), 0) << mode;
    ReleaseSoundHandle(sound);
  }
}

// SoundCreateMode 3 streams a loaded file straight from the file; mode 1 names no way of holding a part, so the
// load is refused with its log lines instead of making a stream that never plays.
TEST_F(StreamTest, CreateModeThreeStreamsTheFileAndModeOneIsRefused) {
  WriteBytes("count.wav", Counting(3000, 1));
  SoundSystem.SoundCreateMode = 3;
  const int sound = LoadSoundFromFile("count.wav");
  ASSERT_GE(sound, 0);
  const uint64_t start = PlayPumped(sound, 200);
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(headless::Audio().Sample(start + i, 1), -(1 + i)) << i;
  EXPECT_EQ(headless::Audio().Sample(start + 3000, 1), 0);
  EXPECT_EQ(QuerySoundPlaying(sound), 0);

  SoundSystem.SoundCreateMode = 1;
  EXPECT_EQ(LoadSoundFromFile("count.wav"), -1);
  const std::string log = LogText();
  EXPECT_NE(log.find("ストリーム風サウンドのデータ形式が不正です in AddSreamSound\r\n"), std::string::npos);
  EXPECT_NE(log.find("右記のＷＡＶファイルのセットアップに失敗しました：count.wav \r\n\r\n"), std::string::npos);
}

}  // namespace
