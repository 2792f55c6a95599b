// Crafted and damaged sound files through the public calls: a small Ogg that decodes past the sound bound, an
// MP3 whose frames change rate, a short PCM fmt body that only the compressed-WAV set-up takes; and the answers
// of the handle calls for a stopped sound system and for static handles.
#include "platform/media/acm.h"
#include "platform/media/music_decode.h"
#include "sound/sound_system.h"
#include "sound/stream_sound.h"
#include "sound_test_support.h"
#include "support/ogg_writers.h"

namespace {

class HostileSoundTest : public SoundTest {
 protected:
  bool LoadLogged(const std::string& name) {
    return LogText().find("右記の音声ファイルのロードに失敗しました_2：" + name + "\r\n") != std::string::npos;
  }
};

// MPEG-1 Layer III frames of an encoder's file, without its first (tag) frame.
std::vector<std::vector<uint8_t>> Mp3Frames(const std::vector<uint8_t>& file) {
  static constexpr int kBitrates[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static constexpr int kRates[3] = {44100, 48000, 32000};
  std::vector<std::vector<uint8_t>> frames;
  for (size_t i = 0; i + 4 <= file.size();) {
    if (file[i] != 0xFF || file[i + 1] != 0xFB) {
      ++i;
      continue;
    }
    const size_t length = 144 * kBitrates[file[i + 2] >> 4] * 1000 / kRates[(file[i + 2] >> 2) & 3] + ((file[i + 2] >> 1) & 1);
    frames.emplace_back(file.begin() + static_cast<long>(i), file.begin() + static_cast<long>(std::min(i + length, file.size())));
    i += length;
  }
  if (!frames.empty()) frames.erase(frames.begin());
  return frames;
}

}  // namespace

// 64 MiB is 16,777,216 frames of 16-bit stereo. A crafted file of some 140 KB that says it lasts past 256 MiB
// is refused by what it says; one of some 40 KB that says it lasts no time is refused as it decodes.
TEST_F(HostileSoundTest, AnOggThatDecodesPastTheBoundIsRefusedAndTheProgramGoesOn) {
  const std::vector<uint8_t> stated = testing_support::SilentVorbisBomb(2, (256u << 20) / 4 + 4096);
  const std::vector<uint8_t> bomb = testing_support::SilentVorbisBomb(2, (64u << 20) / 4 + 4096, 0, false);
  ASSERT_FALSE(bomb.empty());
  EXPECT_LT(stated.size(), 180000u);
  EXPECT_LT(bomb.size(), 64000u);
  WriteBytes("m30101.snd", stated);
  EXPECT_EQ(LoadSoundFromFile("m30101.snd"), -1);
  EXPECT_TRUE(LoadLogged("m30101.snd"));
  WriteBytes("m30102.snd", bomb);
  EXPECT_EQ(LoadSoundFromFile("m30102.snd"), -1);
  EXPECT_TRUE(LoadLogged("m30102.snd"));

  // A short one of the same making still loads, whole.
  const std::vector<uint8_t> small = testing_support::SilentVorbisBomb(2, 44100);
  const int handle = LoadSoundFromMemImage(small.data(), static_cast<int>(small.size()), 1);
  ASSERT_NE(handle, -1);
  EXPECT_GE(FindSoundEntry(handle)->pcmSize, 44100u * 4);
  EXPECT_EQ(StartSoundPlayback(handle, 1, 1), 0);
}

// Frames at 32,000 Hz through the first 64 KiB and on, then more frames at 48,000 Hz: what follows the change is
// not resampled into the first rate, so the sound holds no more than the first frames' 1,152 samples each.
TEST_F(HostileSoundTest, AnMp3EndsWhereItsFramesChangeRate) {
  if (!HaveTool("sox") || !HaveTool("lame")) GTEST_SKIP() << "sox or lame is not installed";
  ASSERT_TRUE(RunTool("sox -n -r 48000 -c 1 tone.wav synth 20 sine 440"));
  ASSERT_TRUE(RunTool("lame --quiet -b 32 --resample 32 tone.wav r32.mp3"));
  ASSERT_TRUE(RunTool("lame --quiet -b 32 --resample 48 tone.wav r48.mp3"));
  const auto low = Mp3Frames(ReadBytes("r32.mp3")), high = Mp3Frames(ReadBytes("r48.mp3"));
  ASSERT_GT(high.size(), low.size());
  std::vector<uint8_t> file;
  for (const auto& frame : low) file.insert(file.end(), frame.begin(), frame.end());
  ASSERT_GT(file.size(), 1u << 16);
  for (const auto& frame : high) file.insert(file.end(), frame.begin(), frame.end());
  WriteBytes("change.mp3", file);
  const int handle = LoadSoundFromFile("change.mp3");
  ASSERT_NE(handle, -1);
  const SoundEntry* entry = FindSoundEntry(handle);
  EXPECT_EQ(entry->waveFormat.nSamplesPerSec, 32000u);
  EXPECT_LE(entry->pcmSize, low.size() * 1152 * 2);

  std::vector<uint8_t> steady;  // the same frames without the change decode in full
  for (size_t i = 0; i < 8; ++i) steady.insert(steady.end(), high[i].begin(), high[i].end());
  const int whole = LoadSoundFromMemImage(steady.data(), static_cast<int>(steady.size()), 1);
  ASSERT_NE(whole, -1);
  EXPECT_GE(FindSoundEntry(whole)->pcmSize, 6u * 1152 * 2);
}

// An A-law or µ-law block is whole frames of a byte a channel: a stereo format of one-byte blocks is refused at
// once, by the sounds and the music. A conversion that takes and gives nothing (here failing after two steps of an
// eighth of a second) ends the sound there rather than being asked the same for ever. An MPEG format's bytes a
// second size its buffers, a claim below the lowest bit rate (8 kbit/s) as that: a 65-byte file once asked 810 MB.
TEST_F(HostileSoundTest, CodecFormatsThatCannotHoldAreRefusedOrSizedWithinBounds) {
  const Watchdog watchdog;
  std::vector<uint8_t> fmt = FmtBody(7, 2, 320, 8), chunks;
  fmt[8] = 8, fmt[9] = fmt[10] = fmt[11] = 0;  // 8 bytes a second: one-byte source blocks
  fmt[12] = 1;                                  // blocks of one byte
  PutChunk(chunks, "fmt ", fmt);
  PutChunk(chunks, "data", std::vector<uint8_t>(204, 0x55));
  WriteBytes("halves.wav", Riff(chunks));
  EXPECT_EQ(LoadSoundFromFile("halves.wav"), -1);
  std::unique_ptr<media::MusicDecoder> music;
  EXPECT_EQ(media::MusicDecoder::Open(workDir() + "/halves.wav", &music), media::MusicOpenResult::kUnsupported);
  chunks.clear();
  PutChunk(chunks, "fmt ", FmtBody(7, 1, 8000, 8));
  PutChunk(chunks, "data", std::vector<uint8_t>(8000, 0x55));  // a second
  WriteBytes("cut.wav", Riff(chunks));
  headless::FailCall("acmStreamConvert", -1, 2);
  const int cut = LoadSoundFromFile("cut.wav");
  headless::ClearFailures();
  ASSERT_NE(cut, -1);
  EXPECT_EQ(FindSoundEntry(cut)->pcmSize, 2u * 1000 * 2);

  for (const auto& [perSecond, sizeOf1000] : {std::pair<DWORD, DWORD>{2, 88200}, {16000, 5512}}) {
    WAVEFORMATEX source{0x55, 1, 44100, perSecond, 1, 0, 0}, pcm{WAVE_FORMAT_PCM, 0, 0, 0, 0, 0, 0};
    HACMSTREAM stream = nullptr;
    ASSERT_EQ(acmFormatSuggest(nullptr, &source, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
    ASSERT_EQ(acmStreamOpen(&stream, nullptr, &source, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME), 0u);
    DWORD output = 0;
    EXPECT_EQ(acmStreamSize(stream, 1000, &output, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_EQ(output, sizeOf1000) << perSecond;
    acmStreamClose(stream, 0);
  }
}

// A file that stops within the header of a frame after its last whole one (a cut download, a few stray bytes)
// loads and is heard exactly as its whole frames alone.
TEST_F(HostileSoundTest, AnMp3CutInsideAFrameHeaderPlaysItsWholeFrames) {
  if (!HaveTool("sox") || !HaveTool("lame")) GTEST_SKIP() << "sox or lame is not installed";
  ASSERT_TRUE(RunTool("sox -n -r 44100 -c 2 tone.wav synth 0.5 sine 440"));
  ASSERT_TRUE(RunTool("lame --quiet -b 128 tone.wav t.mp3"));
  const auto frames = Mp3Frames(ReadBytes("t.mp3"));
  ASSERT_GE(frames.size(), 8u);
  std::vector<uint8_t> whole;
  for (size_t i = 0; i < 8; ++i) whole.insert(whole.end(), frames[i].begin(), frames[i].end());
  const int reference = LoadSoundFromMemImage(whole.data(), static_cast<int>(whole.size()), 1);
  ASSERT_NE(reference, -1);
  const std::vector<int16_t> expected = Heard(reference, 8 * 1152 + 100);
  const std::vector<std::vector<uint8_t>> tails = {{0xFF, 0xFB}, {0xFF, 0xFB, 0x90}, {0xFF, 0xF0}, {0xFF, 0xF0, 0x00},
                                                   {0xFF, 0xFF, 0xFF}};
  for (const auto& tail : tails) {
    std::vector<uint8_t> file = whole;
    file.insert(file.end(), tail.begin(), tail.end());
    const int handle = LoadSoundFromMemImage(file.data(), static_cast<int>(file.size()), 1);
    ASSERT_NE(handle, -1) << tail.size() << " bytes ending " << int{tail.back()};
    EXPECT_EQ(Heard(handle, 8 * 1152 + 100), expected) << tail.size() << " bytes ending " << int{tail.back()};
    ReleaseSoundHandle(handle);
  }
}

// A 16-byte PCM body of a depth the PCM set-up does not play reaches the compressed-WAV set-up, which takes the
// format from the body and is refused there, as the compression manager takes no PCM. (Whether that format was
// read from the body or zeroed first cannot be seen from here: both are refused.)
TEST_F(HostileSoundTest, AShortPcmBodyThatOnlyTheCompressedSetUpTakesIsRefused) {
  std::vector<uint8_t> chunks;
  PutChunk(chunks, "fmt ", FmtBody(1, 2, 44100, 24));
  PutChunk(chunks, "data", std::vector<uint8_t>(600, 7));
  WriteBytes("deep.wav", Riff(chunks));
  EXPECT_EQ(LoadSoundFromFile("deep.wav"), -1);
  EXPECT_TRUE(LoadLogged("deep.wav"));
}

// One 16-bit mono frame is two bytes, less than the smallest buffer: the decoded sound is refused (and its PCM
// given back, which the sanitizer run checks), while two such frames load.
TEST_F(HostileSoundTest, ASoundShorterThanTheSmallestBufferIsRefused) {
  for (const int frames : {1, 2}) {
    std::vector<uint8_t> chunks;
    PutChunk(chunks, "fmt ", FmtBody(1, 1, 44100, 16));
    PutChunk(chunks, "data", std::vector<uint8_t>(2 * static_cast<size_t>(frames), 0x40));
    const std::string name = "frames" + std::to_string(frames) + ".wav";
    WriteBytes(name, Riff(chunks));
    const int handle = LoadSoundFromFile(name.c_str());
    EXPECT_EQ(handle == -1, frames == 1) << frames;
    EXPECT_EQ(LoadLogged(name), frames == 1) << frames;
  }
  EXPECT_NE(LogText().find("音声ファイルのＰＣＭへの変換に失敗しました\r\n"), std::string::npos);
}

TEST_F(HostileSoundTest, HandleCallsAnswerAsTheSoundSystemsStateSays) {
  std::vector<uint8_t> chunks;
  PutChunk(chunks, "fmt ", FmtBody(1, 2, 44100, 16));
  PutChunk(chunks, "data", std::vector<uint8_t>(4000, 0));
  const std::vector<uint8_t> wave = Riff(chunks);
  const int sound = LoadSoundFromMemImage(wave.data(), static_cast<int>(wave.size()), 1);
  ASSERT_NE(sound, -1);
  // A static sound is no prepared stream: tracking and refilling leave it alone.
  EXPECT_EQ(StreamTrackPosition(sound, -1), 0);
  EXPECT_EQ(StreamTrackPosition(sound, 100), 0);
  EXPECT_EQ(StreamRefill(sound), 0);
  EXPECT_EQ(StreamTrackPosition(sound + 1, -1), -1);
  EXPECT_EQ(StreamRefill(sound ^ 0x10000), -1);

  // While stopped, a handle names nothing to release.
  ASSERT_EQ(SoundSystemShutdown(), 0);
  const int orphan = AddSoundData(-1);
  EXPECT_EQ(ReleaseSoundHandle(orphan), -1);
  EXPECT_EQ(StreamTrackPosition(orphan, -1), -1);
  EXPECT_EQ(ReleaseAllSoundHandles(), -1);
  ASSERT_EQ(SoundSystemStartup(), 0);  // which releases what was left
  EXPECT_EQ(ReleaseSoundHandle(orphan), -1);
}
