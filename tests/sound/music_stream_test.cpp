// Sampled music decoded as it plays, through the public calls on the headless host: a looped file repeats at the
// frame after its end however long the program goes without pumping, style 0 returns at the end, seeks land on
// their frame, a file far longer than anything held plays in bounded memory, and files whose headers claim what
// cannot be played are refused before any decoding.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/media/dshow.h"
#include "platform/media/music_decode.h"
#include "platform/win32/user.h"
#include "sound/music_test_support.h"
#include "support/ogg_writers.h"

using namespace testing_support;

namespace {

// A playing graph's decoding buffers stay within this, however long its music.
constexpr size_t kMostBufferedBytes = 1 << 20;

class MusicStreamTest : public MusicTest {
 protected:
  // Every frame the file decodes to, once through, at the mix rate.
  std::vector<int16_t> OnePass(const std::string& name) {
    std::unique_ptr<media::MusicDecoder> decoder;
    EXPECT_EQ(media::MusicDecoder::Open(workDir() + "/" + name, &decoder), media::MusicOpenResult::kOpened) << name;
    std::vector<int16_t> frames;
    int16_t block[2 * 4096];
    while (size_t got = decoder ? decoder->Read(block, 4096) : 0) frames.insert(frames.end(), block, block + 2 * got);
    return frames;
  }
  static size_t Buffered() { return MusicGraphBufferedBytes(DirectShowMusicState.graph); }
  // Frames from `start` on that differ from `passes` passes of `pass`, and the first of them.
  static std::pair<uint64_t, uint64_t> Mismatches(uint64_t start, const std::vector<int16_t>& pass, int passes) {
    const headless::CapturedAudio& audio = headless::Audio();
    const uint64_t length = pass.size() / 2;
    uint64_t count = 0, first = 0;
    for (uint64_t f = 0; f < length * static_cast<uint64_t>(passes); ++f) {
      const uint64_t i = f % length;
      if (audio.Sample(start + f, 0) != pass[2 * i] || audio.Sample(start + f, 1) != pass[2 * i + 1]) {
        if (count++ == 0) first = f;
      }
    }
    return {count, first};
  }
};

// An 8-bit mono WAV at `rate` whose data chunk holds `frames` frames, made sparse: no bytes are written for them.
void WriteLongWave(const std::string& path, uint32_t rate, uint32_t frames) {
  Bytes file;
  PutText(file, "RIFF"), PutLe(file, 36 + frames, 4), PutText(file, "WAVE");
  PutText(file, "fmt "), PutLe(file, 16, 4);
  PutLe(file, 1, 2), PutLe(file, 1, 2), PutLe(file, rate, 4), PutLe(file, rate, 4), PutLe(file, 1, 2), PutLe(file, 8, 2);
  PutText(file, "data"), PutLe(file, frames, 4);
  WriteBytes(path, file);
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(file.size() + frames)), 0);
}

// Each format, looped, repeats at the very frame after its end while the program pumps nothing for three passes;
// a seek lands on its frame; style 0 returns once the file has played through; memory stays bounded all along.
TEST_F(MusicStreamTest, EachFormatLoopsWithoutTheProgramSeeksAndEnds) {
  WriteBytes(workDir() + "/ramp.wav", RampWave(30000));
  WriteBytes(workDir() + "/long.wav", RampWave(40000));  // longer than the decoder holds: its window moves
  const std::vector<uint8_t> tone = VorbisTone(6000);  // 8,000 Hz mono: resampled
  WriteBytes(workDir() + "/tone.ogg", Bytes(tone.begin(), tone.end()));
  struct Song {
    const char* name;
    const char* command;  // makes the file from ramp.wav; null: made above
  };
  const Song songs[] = {{"ramp.wav", nullptr},
                        {"long.wav", nullptr},
                        {"tone.ogg", nullptr},
                        {"ramp.mp3", "lame --quiet -b 128 ramp.wav ramp.mp3"},
                        {"adpcm.wav", "sox ramp.wav -e ima-adpcm adpcm.wav"}};
  for (const Song& song : songs) {
    if (song.command && std::system((std::string(song.command) + " >/dev/null 2>&1").c_str()) != 0) continue;
    SCOPED_TRACE(song.name);
    const std::vector<int16_t> pass = OnePass(song.name);
    ASSERT_GT(pass.size(), 2u * 20000);
    const uint64_t length = pass.size() / 2;

    ASSERT_EQ(StartMusicFile(song.name, 3), 0);
    const uint64_t start = FrameNow();
    headless::AdvanceMilliseconds(length * 3 * 1000 / 44100 + 100);
    const auto [wrong, first] = Mismatches(start, pass, 3);
    EXPECT_EQ(wrong, 0u) << "first at frame " << first << " of " << length;
    EXPECT_EQ(QueryMusicPlaying(), 1);
    EXPECT_GT(Buffered(), 0u);
    EXPECT_LT(Buffered(), kMostBufferedBytes);

    LONGLONG quarter = 2500000;  // 0.25 s: frame 11,025
    ASSERT_EQ(DirectShowMusicState.seeking->SetPositions(&quarter, AM_SEEKING_AbsolutePositioning, nullptr,
                                                         AM_SEEKING_NoPositioning),
              S_OK);
    const uint64_t at = FrameNow();
    headless::AdvanceMilliseconds(50);
    const std::vector<int16_t> rest(pass.begin() + 2 * 11025, pass.begin() + 2 * (11025 + 2000));
    EXPECT_EQ(Mismatches(at, rest, 1).first, 0u);
    StopCurrentMusic();

    const uint64_t before = headless::Milliseconds();
    ASSERT_EQ(StartMusicFile(song.name, 0), 0);
    const uint64_t took = headless::Milliseconds() - before;
    EXPECT_GE(took, length * 1000 / 44100);
    EXPECT_LE(took, length * 1000 / 44100 + 30);
    EXPECT_EQ(QueryMusicPlaying(), 0);
  }
}

// A seek lands on its frame even when the pump has asked for the end and so decoded ahead; a volume set on the
// graph before its file is heard once it runs.
TEST_F(MusicStreamTest, ASeekDropsWhatWasDecodedAheadAndAnEarlyVolumeHolds) {
  WriteBytes(workDir() + "/ramp.wav", RampWave(30000));
  const headless::CapturedAudio& audio = headless::Audio();
  ASSERT_EQ(StartMusicFile("ramp.wav", 1), 0);
  Wait(100);
  LONGLONG quarter = 2500000;  // frame 11,025
  ASSERT_EQ(DirectShowMusicState.seeking->SetPositions(&quarter, AM_SEEKING_AbsolutePositioning, nullptr,
                                                       AM_SEEKING_NoPositioning),
            S_OK);
  uint64_t at = FrameNow();
  Wait(50);
  for (uint64_t f = 0; f < 2000; ++f) ASSERT_EQ(audio.Sample(at + f, 0), 11025 + static_cast<int>(f)) << f;
  StopCurrentMusic();

  IGraphBuilder* graph = nullptr;
  ASSERT_EQ(CreateFilterGraphInstance(IID_IGraphBuilder, reinterpret_cast<void**>(&graph)), S_OK);
  IBasicAudio* volume = nullptr;
  IMediaControl* control = nullptr;
  ASSERT_EQ(graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&volume)), S_OK);
  ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)), S_OK);
  ASSERT_EQ(volume->put_Volume(-2000), S_OK);  // a tenth
  std::u16string path;
  for (char c : FullPath("ramp.wav")) path += static_cast<char16_t>(c);
  ASSERT_EQ(graph->RenderFile(path.c_str(), nullptr), S_OK);
  ASSERT_EQ(control->Run(), S_OK);
  at = FrameNow();
  Wait(50);
  for (uint64_t f = 1000; f < 2000; f += 100) EXPECT_NEAR(audio.Sample(at + f, 0), static_cast<int>(f) / 10, 1) << f;
  EXPECT_EQ(volume->put_Volume(0), S_OK);  // full volume is a level too
  control->Release(), volume->Release(), graph->Release();
}

// Raw MPEG audio of every version, layer, bit rate and sample rate, padded or not, is recognised by its first
// frame confirmed by the header where the next frame begins; the frames carry no sound.
TEST_F(MusicStreamTest, RawMpegOfEveryVersionLayerAndBitRateIsRecognised) {
  static constexpr int kBitrates[2][3][15] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
  struct Version {
    int bits;  // of the header's second byte
    int rates[3];
  };
  const Version versions[] = {{3, {44100, 48000, 32000}}, {2, {22050, 24000, 16000}}, {0, {11025, 12000, 8000}}};
  const std::string path = workDir() + "/raw.mp3";
  for (const Version& version : versions) {
    for (int layer = 1; layer <= 3; ++layer) {
      for (int bitrateIndex = 1; bitrateIndex < 15; ++bitrateIndex) {
        for (int rateIndex = 0; rateIndex < 3; ++rateIndex) {
          const bool mpeg1 = version.bits == 3;
          const int padding = (bitrateIndex + rateIndex) & 1;
          const int rate = version.rates[rateIndex];
          const int bitrate = kBitrates[mpeg1 ? 0 : 1][layer - 1][bitrateIndex] * 1000;
          const int samples = layer == 1 ? 384 : layer == 3 && !mpeg1 ? 576 : 1152;  // per frame
          const int slot = layer == 1 ? 4 : 1;
          const auto length = static_cast<size_t>((samples / 8 * bitrate / rate / slot + padding) * slot);
          Bytes file;
          for (int frame = 0; frame < 12; ++frame) {
            Bytes body(length, 0);
            body[0] = 0xFF;
            body[1] = static_cast<uint8_t>(0xE1 | version.bits << 3 | (4 - layer) << 1);
            body[2] = static_cast<uint8_t>(bitrateIndex << 4 | rateIndex << 2 | padding << 1);
            body[3] = (bitrateIndex & 2) ? 0xC0 : 0x00;  // mono or stereo
            file.insert(file.end(), body.begin(), body.end());
          }
          WriteBytes(path, file);
          SCOPED_TRACE(testing::Message() << "version " << version.bits << " layer " << layer << " bit rate "
                                          << bitrate << " rate " << rate);
          std::unique_ptr<media::MusicDecoder> decoder;
          EXPECT_EQ(media::MusicDecoder::Open(path, &decoder), media::MusicOpenResult::kOpened);
        }
      }
    }
  }
  std::remove(path.c_str());
}

// An hour of music, far past the quarter-hour the whole decode once allowed, starts at once in bounded memory
// and ends at its length.
TEST_F(MusicStreamTest, AnHourLongFilePlaysInBoundedMemoryToItsEnd) {
  WriteLongWave(workDir() + "/hour.wav", 8000, 8000 * 3600);
  ASSERT_EQ(StartMusicFile("hour.wav", 1), 0);
  EXPECT_EQ(QueryMusicPlaying(), 1);
  EXPECT_LT(Buffered(), kMostBufferedBytes);
  Wait(3599990 - 5, 3599990 - 5);
  EXPECT_EQ(QueryMusicPlaying(), 1);
  EXPECT_LT(Buffered(), kMostBufferedBytes);
  Wait(20);
  EXPECT_EQ(QueryMusicPlaying(), 0);
}

// A looped song on the sequencer repeats at its end inside the device, while the program pumps nothing.
TEST_F(MusicStreamTest, LoopedMidiRepeatsWhileTheProgramPumpsNothing) {
  ASSERT_EQ(StartMusicFile("half.mid", 3), 0);
  const uint64_t start = FrameNow();
  headless::AdvanceMilliseconds(3100);
  ExpectNoteEverySecond(start, 3);
  EXPECT_EQ(QueryMusicPlaying(), 1);
}

// Headers are checked before anything is decoded: no rate, or one no music has, or a chunk walk no real file
// needs, is refused; a data chunk that claims more than the file holds plays what is there.
TEST_F(MusicStreamTest, HeadersClaimingWhatCannotPlayAreRefusedAndACutChunkPlaysWhatItHolds) {
  auto withRate = [](uint32_t rate) {
    Bytes wave = RampWave(22050);
    for (int i = 0; i < 4; ++i) wave[24 + i] = static_cast<uint8_t>(rate >> (8 * i));
    return wave;
  };
  Bytes chunky;  // 4,096 empty chunks before the format and the data: a walk no real file needs
  {
    const Bytes wave = RampWave(22050);
    Bytes form;
    PutText(form, "WAVE");
    for (int i = 0; i < 4096; ++i) PutText(form, "junk"), PutLe(form, 0, 4);
    form.insert(form.end(), wave.begin() + 12, wave.end());
    PutChunk(chunky, "RIFF", form, true);
  }
  Bytes cut = RampWave(22050);
  for (int i = 0; i < 4; ++i) cut[40 + i] = 0xFF;  // the data chunk claims 4 GiB
  const std::vector<uint8_t> bomb = SilentVorbisBomb(2, 44100 * 2, 0x7FFFFFFF);
  struct Case {
    const char* name;
    Bytes bytes;
    int result;
    uint64_t playsMs;
  };
  const Case cases[] = {{"norate.wav", withRate(0), -1, 0},
                        {"fast.wav", withRate(media::kHighestMusicRate + 1), -1, 0},
                        {"fastest.ogg", Bytes(bomb.begin(), bomb.end()), -1, 0},
                        {"chunky.wav", chunky, -1, 0},
                        {"highest.wav", withRate(media::kHighestMusicRate), 0, 22050 * 1000 / media::kHighestMusicRate},
                        {"cut.wav", cut, 0, 500}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(workDir() + "/" + c.name, c.bytes);
    EXPECT_EQ(StartMusicFile(c.name, 1), c.result);
    if (c.result != 0) {
      EXPECT_TRUE(Logged("ミュージックファイル " + FullPath(c.name) + " の演奏に失敗しました"));
      continue;
    }
    const uint64_t took = PlayOut(5000);
    EXPECT_GE(took, c.playsMs);
    EXPECT_LE(took, c.playsMs + 10);
  }
}

// Damage a reader can pass (a gap in an Ogg stream, noise in an MP3 or before its frames) is skipped and the looped
// music plays on, as a sound loaded whole does, and a file holding less than its header claims simply ends; damage
// it cannot pass (a chained link cut inside its headers) ends even looped music as failed, with its log line, once;
// one frame behind a 4 MiB comment loops on, where reading the file again for every pass would take hours. Every end
// comes while the window's queue is full and is posted once there is room, the sequencer's too.
TEST_F(MusicStreamTest, DamageIsSkippedOrEndsTheMusicAsFailedAndEndsWaitForRoomInTheQueue) {
  const Watchdog watchdog;
  const std::vector<uint8_t> tone = VorbisTone(240000), second = VorbisTone(400, 8);  // 30 s at 8,000 Hz; a link
  const std::string t(tone.begin(), tone.end()), link(second.begin(), second.end());
  const size_t hole = t.find("OggS", t.size() / 2);  // the page after the middle byte is taken out
  Bytes holed(t.begin(), t.begin() + static_cast<long>(hole)), chained(tone), cut = RampWave(22050);
  holed.insert(holed.end(), t.begin() + static_cast<long>(t.find("OggS", hole + 4)), t.end());
  chained.insert(chained.end(), link.begin(), link.begin() + static_cast<long>(link.find("OggS", 4)));  // one page
  for (int i = 0; i < 4; ++i) cut[40 + i] = 0xFF;  // the data chunk claims 4 GiB
  std::vector<VorbisPacket> headers, audio;  // one stereo frame behind a comment of 4 MiB
  int longBlock = 0;
  ASSERT_TRUE(EncodeVorbis(2, 44100, 1, [](int, int) { return 0.5f; }, &headers, &audio, &longBlock));
  Bytes& comment = headers[1].bytes = {3, 'v', 'o', 'r', 'b', 'i', 's', 0, 0, 0, 0, 1, 0, 0, 0};  // no vendor
  PutLe(comment, 4 << 20, 4), comment.resize(comment.size() + (4 << 20), 'a'), comment.push_back(1);
  // 10 s at 128 kbit/s, that with 300 bytes of noise half way, and 10 s at 11,025 Hz (MPEG-2.5); none without tools
  Bytes mp3, damaged, eleven, noise(1 << 16);
  uint32_t n = 1;
  for (uint8_t& b : noise) b = uint8_t((n = n * 1103515245u + 12345u) >> 24);
  if (std::system("sox -n -r 44100 -c 2 ten.wav synth 10 sine 440 >/dev/null 2>&1 && "
                  "lame --quiet -b 128 ten.wav ten.mp3 >/dev/null 2>&1 && "
                  "sox -n -r 11025 -c 1 eleven.wav synth 10 sine 440 >/dev/null 2>&1 && "
                  "lame --quiet eleven.wav eleven.mp3 >/dev/null 2>&1") == 0) {
    const std::string text = ReadFileBytes("ten.mp3"), low = ReadFileBytes("eleven.mp3");
    mp3.assign(text.begin(), text.end());
    eleven.assign(low.begin(), low.end());
    damaged = mp3;
    std::copy(noise.begin(), noise.begin() + 300, damaged.begin() + static_cast<long>(mp3.size() / 2));
  }
  struct Case { const char* name; Bytes bytes; int style; double leastSeconds, mostSeconds; bool failed; };
  std::vector<Case> cases = {{"holed.ogg", holed, 3, 20, 29, false}, {"chained.ogg", chained, 3, 29.8, 30, true},
                             {"cut.wav", cut, 1, 0.5, 0.5, false},   {"half.mid", {}, 1, 0, 0, false},
                             {"tiny.ogg", PageVorbis(headers, audio), 3, 0, 0.001, false}};
  if (!mp3.empty()) {
    cases.push_back({"damaged.mp3", damaged, 3, 9, 10.1, false});
    cases.push_back({"eleven.mp3", eleven, 3, 9.9, 10.2, false});  // its encoder's delay and padding kept
    // Before it: zeros, noise, and padding after an empty ID3v2 tag, which its size does not count.
    Bytes padded = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
    padded.resize(110);
    const std::pair<const char*, Bytes> before[] = {{"zero.mp3", Bytes(1)}, {"zeros.mp3", Bytes(417)},
                                                    {"noise.mp3", Bytes(noise.begin(), noise.begin() + 1024)},
                                                    {"noisy.mp3", noise}, {"padded.mp3", padded}};
    for (auto [name, bytes] : before) {
      bytes.insert(bytes.end(), mp3.begin(), mp3.end());
      cases.push_back({name, bytes, 3, 9.9, 10.1, false});
    }
    // Silent frames of 22,050 Hz (MPEG-2 Layer III, 32 kbit/s: 72 x 32,000 / 22,050 bytes): one, two and three
    // before it, and two before it cut, through its first 64 KiB, into runs of two frames by a byte before each run.
    Bytes stray = {0xFF, 0xF3, 0x40, 0x00};
    stray.resize(104);
    Bytes runs = stray;
    runs.insert(runs.end(), stray.begin(), stray.end());
    for (size_t at = 0, frames = 0, length; at < mp3.size(); at += length, ++frames) {
      length = std::min<size_t>(417 + ((mp3[at + 2] >> 1) & 1), mp3.size() - at);  // of a 128 kbit/s frame
      if (frames % 2 == 0 && runs.size() < (1 << 16)) runs.push_back(0);
      runs.insert(runs.end(), mp3.begin() + static_cast<long>(at), mp3.begin() + static_cast<long>(at + length));
    }
    cases.push_back({"runs.mp3", runs, 3, 9.9, 10.1, false});
    for (const char* name : {"stray.mp3", "strays.mp3", "threestrays.mp3"}) {
      mp3.insert(mp3.begin(), stray.begin(), stray.end());
      cases.push_back({name, mp3, 3, 9.9, 10.1, false});
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.bytes.empty()) {  // else the fixture's song
      WriteBytes(workDir() + "/" + c.name, c.bytes);
      std::unique_ptr<media::MusicDecoder> decoder;
      ASSERT_EQ(media::MusicDecoder::Open(workDir() + "/" + c.name, &decoder), media::MusicOpenResult::kOpened);
      uint64_t frames = 0;
      int16_t block[2 * 4096];
      while (size_t got = decoder->Read(block, 4096)) frames += got;
      EXPECT_GE(frames, static_cast<uint64_t>(c.leastSeconds * 44100));
      EXPECT_LE(frames, static_cast<uint64_t>(c.mostSeconds * 44100));
      EXPECT_EQ(decoder->Failed(), c.failed);
      decoder->Rewind();
      EXPECT_FALSE(decoder->Failed());
    }
    ASSERT_EQ(StartMusicFile(c.name, c.style), 0);
    while (PostMessageA(window, WM_USER, 0, 0)) {
    }
    headless::AdvanceMilliseconds(31000);
    MSG m;
    PeekMessageA(&m, window, 0, 0, PM_NOREMOVE);  // any end comes now, to a full queue
    EXPECT_EQ(QueryMusicPlaying(), 1);
    while (PeekMessageA(&m, window, WM_USER, WM_USER, PM_REMOVE)) {
    }
    Wait(100);
    EXPECT_EQ(QueryMusicPlaying(), c.style == 3 && !c.failed);
    EXPECT_EQ(Logged("ミュージックファイル " + FullPath(c.name) + " の演奏に失敗しました"), c.failed);
    StopCurrentMusic();
    if (!std::string(c.name).ends_with(".mp3")) continue;
    const int sound = LoadSoundFromFile(c.name);  // a sound loaded whole takes the same path
    ASSERT_NE(sound, -1);
    const SoundEntry& entry = *FindSoundEntry(sound);
    EXPECT_GE(entry.pcmSize, c.leastSeconds * entry.waveFormat.nAvgBytesPerSec);
    EXPECT_LE(entry.pcmSize, c.mostSeconds * entry.waveFormat.nAvgBytesPerSec);
  }
}

// A rewind reads the file only forward: an Ogg stream whose pages all claim frame 0, in memory-backed storage, once
// sent it into a search that never ended. One that cannot be done (the file emptied under the decoder) fails it, or
// finds nothing, unless the file is short enough to be held whole (32,768 frames): that plays again from memory.
TEST_F(MusicStreamTest, ARewindReadsTheFileOnlyForwardAndFailsWhenItCannotBeDone) {
  const Watchdog watchdog;
  const std::vector<uint8_t> bomb = SilentVorbisBomb(2, 40000000, 0, false);  // 15 minutes of silence in 86 KB
  ASSERT_GT(bomb.size(), 70000u);  // the search went wrong past 64 KiB of pages
  const int fd = memfd_create("music", 0);
  ASSERT_EQ(write(fd, bomb.data(), bomb.size()), static_cast<ssize_t>(bomb.size()));
  std::unique_ptr<media::MusicDecoder> decoder;
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  ASSERT_EQ(media::MusicDecoder::Open(path, &decoder), media::MusicOpenResult::kOpened);
  int16_t block[2 * 4096];
  for (int i = 0; i < 10; ++i) ASSERT_EQ(decoder->Read(block, 4096), 4096u);
  decoder->Rewind();
  EXPECT_EQ(decoder->Read(block, 4096), 4096u);
  EXPECT_FALSE(decoder->Failed());
  ASSERT_EQ(ftruncate(fd, 0), 0);
  decoder->Rewind();
  EXPECT_TRUE(decoder->Failed());
  close(fd);
  for (const uint64_t frames : {32768, 32769}) {
    SCOPED_TRACE(frames);
    const int ramp = memfd_create("ramp", 0);
    const Bytes wave = RampWave(static_cast<int>(frames));
    ASSERT_EQ(write(ramp, wave.data(), wave.size()), static_cast<ssize_t>(wave.size()));
    ASSERT_EQ(media::MusicDecoder::Open("/proc/self/fd/" + std::to_string(ramp), &decoder),
              media::MusicOpenResult::kOpened);
    const auto pass = [&] {  // the frames read, and how many of them are the ramp's
      std::pair<uint64_t, uint64_t> read{0, 0};
      for (size_t got; (got = decoder->Read(block, 4096)) != 0;) {
        for (size_t f = 0; f < got; ++f, ++read.first) {
          read.second += block[2 * f] == static_cast<int>(read.first % 30000) && block[2 * f + 1] == -block[2 * f];
        }
      }
      return read;
    };
    EXPECT_EQ(pass(), std::make_pair(frames, frames));
    ASSERT_EQ(ftruncate(ramp, 0), 0);
    decoder->Rewind();
    const uint64_t again = frames == 32768 ? frames : 0;
    EXPECT_EQ(pass(), std::make_pair(again, again));
    close(ramp);
  }
}

}  // namespace
