// Decoding by content, heard through the mix: files made by independent tools decode to what those tools
// decode them to; hand-made RIFF walks; damaged files refused with their log lines; block reads and seeks.
#include <cmath>
#include <cstring>

#include "sound/sound_decoder.h"
#include "sound_test_support.h"

namespace {

class DecoderTest : public SoundTest {
 protected:
  // Loads a file and hears it whole; the handle is released again.
  std::vector<int16_t> HearFile(const std::string& path, size_t frames) {
    const int handle = LoadSoundFromFile(path.c_str());
    EXPECT_GE(handle, 0) << path;
    std::vector<int16_t> heard = Heard(handle, frames);
    ReleaseSoundHandle(handle);
    return heard;
  }
  // sox's decoding of a file, as 16-bit stereo.
  static std::vector<int16_t> SoxDecode(const std::string& path) {
    EXPECT_TRUE(RunTool("sox " + path + " -t raw -e signed -b 16 -c 2 ref.raw"));
    return AsSamples(ReadBytes("ref.raw"));
  }
};

TEST_F(DecoderTest, ToolMadeWavesOfEveryKindDecodeExactly) {
  if (!HaveTool("sox")) GTEST_SKIP() << "sox is not installed";
  WriteRaw("in.raw", TestSignal(5000));
  const char* kinds[] = {"-b 16 -c 2", "-b 16 -c 1", "-b 8 -c 2",          "-b 8 -c 1",          "-e ms-adpcm -c 2",
                         "-e ms-adpcm -c 1", "-e ima-adpcm -c 2", "-e ima-adpcm -c 1", "-e a-law -c 2", "-e u-law -c 1"};
  for (const char* kind : kinds) {
    ASSERT_TRUE(RunTool(std::string("sox -D -r 44100 -e signed -b 16 -c 2 -t raw in.raw ") + kind + " t.wav")) << kind;
    const std::vector<int16_t> reference = SoxDecode("t.wav");
    ASSERT_GT(reference.size(), 8000u) << kind;
    const std::vector<int16_t> heard = HearFile("t.wav", reference.size() / 2 + 20);
    for (size_t i = 0; i < heard.size(); ++i) {
      ASSERT_EQ(heard[i], i < reference.size() ? reference[i] : 0) << kind << " sample " << i;
    }
  }
}

// Tolerance for the lossy codecs: after the best alignment within ±2,304 frames, the error's energy stays under
// 1% of the reference's, and the lengths differ by less than two MPEG frames.
void ExpectClose(const std::vector<int16_t>& reference, const std::vector<int16_t>& heard, const char* what) {
  auto error = [&](int shift) {
    double e = 0, r = 0;
    for (size_t i = 4096; i + 4096 < reference.size(); ++i) {
      const int64_t j = static_cast<int64_t>(i) + shift * 2;
      const double d = reference[i] - (j >= 0 && j < static_cast<int64_t>(heard.size()) ? heard[j] : 0);
      e += d * d;
      r += static_cast<double>(reference[i]) * reference[i];
    }
    return e / r;
  };
  double best = 1e9;
  for (int shift = -2304; shift <= 2304; ++shift) best = std::min(best, error(shift));
  EXPECT_LT(best, 0.01) << what;
}

TEST_F(DecoderTest, Mp3AndOggDecodeWithinTolerance) {
  if (!HaveTool("lame") || !HaveTool("oggenc") || !HaveTool("oggdec") || !HaveTool("sox")) {
    GTEST_SKIP() << "lame, oggenc or sox is not installed";
  }
  WriteRaw("in.raw", TestSignal(44100));
  ASSERT_TRUE(RunTool("lame -r -s 44.1 --bitwidth 16 --signed --little-endian -b 192 in.raw t.mp3"));
  ASSERT_TRUE(RunTool("lame --decode t.mp3 mp3.wav"));
  const std::vector<int16_t> mp3 = SoxDecode("mp3.wav");
  // An ID3v2 tag in front and an ID3v1 tag behind change nothing that is heard.
  std::vector<uint8_t> tagged = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 20};
  tagged.resize(30, 'x');
  const std::vector<uint8_t> plain = ReadBytes("t.mp3");
  tagged.insert(tagged.end(), plain.begin(), plain.end());
  tagged.insert(tagged.end(), {'T', 'A', 'G'});
  tagged.resize(tagged.size() + 125, 0xFF);
  WriteBytes("tagged.mp3", tagged);
  const std::vector<int16_t> heardMp3 = HearFile("t.mp3", mp3.size() / 2 + 2400);
  ExpectClose(mp3, heardMp3, "mp3");
  EXPECT_EQ(HearFile("tagged.mp3", mp3.size() / 2 + 2400), heardMp3);

  ASSERT_TRUE(RunTool("oggenc -Q -r -R 44100 -B 16 -C 2 -q 4 in.raw -o t.ogg"));
  ASSERT_TRUE(RunTool("oggdec -Q -R -o ogg.raw t.ogg"));
  const std::vector<int16_t> ogg = AsSamples(ReadBytes("ogg.raw"));
  const std::vector<int16_t> heardOgg = HearFile("t.ogg", ogg.size() / 2);
  ASSERT_EQ(heardOgg.size(), ogg.size());
  for (size_t i = 0; i < ogg.size(); ++i) ASSERT_NEAR(heardOgg[i], ogg[i], 1) << i;
}

TEST_F(DecoderTest, ChunkWalkSkipsListAndOddChunksWithTheirPadByte) {
  std::vector<uint8_t> chunks, data;
  PutChunk(chunks, "fmt ", FmtBody(1, 1, 44100, 16));
  PutChunk(chunks, "LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A'});  // 7 bytes and a pad byte
  PutChunk(chunks, "junk", {1, 2, 3});
  for (int i = 0; i < 50; ++i) Put16(data, static_cast<uint32_t>(i * 300 - 7000));
  PutChunk(chunks, "data", data);
  WriteBytes("odd.wav", Riff(chunks));
  const std::vector<int16_t> heard = HearFile("odd.wav", 51);
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(heard[2 * i], i * 300 - 7000);
    EXPECT_EQ(heard[2 * i + 1], i * 300 - 7000);
  }
  EXPECT_EQ(heard[100], 0);
}

TEST_F(DecoderTest, LengthsBeyondTheFileAndShortFmtBodiesStillPlayWhatIsThere) {
  std::vector<uint8_t> body = FmtBody(1, 2, 44100, 16);
  body[14] = 99;  // a 16-byte body's bits field is not read: 4 bytes a frame over 2 channels is 16 bits
  std::vector<uint8_t> file = Riff({});
  PutChunk(file, "fmt ", body);
  file.insert(file.end(), {'d', 'a', 't', 'a', 0xFF, 0xFF, 0xFF, 0xFF});  // written as an endless stream
  for (int i = 0; i < 40; ++i) Put16(file, 1000 + i);
  WriteBytes("endless.wav", file);
  const std::vector<int16_t> heard = HearFile("endless.wav", 21);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(heard[i], 1000 + i);
  EXPECT_EQ(heard[40], 0);
}

TEST_F(DecoderTest, DamagedAndForeignFilesAreRefusedWithTheirLogLines) {
  auto wave = [](std::vector<uint8_t> fmt, bool withData) {
    std::vector<uint8_t> chunks;
    PutChunk(chunks, "fmt ", fmt);
    if (withData) PutChunk(chunks, "data", std::vector<uint8_t>(64, 1));
    return Riff(chunks);
  };
  std::vector<uint8_t> zeroChannels = FmtBody(1, 2, 44100, 16), zeroAlign = zeroChannels, zeroRate = zeroChannels;
  zeroChannels[2] = 0;
  zeroAlign[12] = 0;
  zeroRate[4] = zeroRate[5] = 0;
  std::vector<uint8_t> dataFirst;
  PutChunk(dataFirst, "data", std::vector<uint8_t>(8, 0));
  PutChunk(dataFirst, "fmt ", FmtBody(1, 1, 44100, 16));
  std::vector<uint8_t> freeFormat = {0xFF, 0xF3, 0x00, 0x00};
  freeFormat.resize(4096, 0);
  const std::string text = "This is not a sound at all.\nJust words.\n";
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
      {"short.wav", wave(std::vector<uint8_t>(10, 1), true)},
      {"zerofmt.wav", wave({}, true)},
      {"channels.wav", wave(zeroChannels, true)},
      {"align.wav", wave(zeroAlign, true)},
      {"rate.wav", wave(zeroRate, true)},
      {"nodata.wav", wave(FmtBody(1, 1, 44100, 16), false)},
      {"empty.wav", Riff([] { std::vector<uint8_t> c; PutChunk(c, "fmt ", FmtBody(1, 1, 44100, 16)); PutChunk(c, "data", {}); return c; }())},
      {"datafirst.wav", Riff(dataFirst)},
      {"free.mp3", freeFormat},
      {"text.snd", std::vector<uint8_t>(text.begin(), text.end())},
      {"adpcm.wav", wave(FmtBody(2, 1, 44100, 4), true)},  // MS ADPCM without its coefficients
  };
  for (const auto& [name, bytes] : cases) {
    WriteBytes(name, bytes);
    EXPECT_EQ(LoadSoundFromFile(name), -1) << name;
    EXPECT_NE(LogText().find(std::string("右記の音声ファイルのロードに失敗しました_2：") + name + "\r\n"), std::string::npos)
        << name;
  }
  EXPECT_NE(LogText().find("音声ファイルのＰＣＭへの変換に失敗しました\r\n"), std::string::npos);
  EXPECT_EQ(LoadSoundFromFile("missing.wav"), -1);
  EXPECT_NE(LogText().find("右記の音声ファイルのロードに失敗しました_1：missing.wav\r\n"), std::string::npos);
}

// Reads in odd sizes give the same bytes as one whole read; a seek lands on the byte of its time.
TEST_F(DecoderTest, OddReadsAndSeeksAgreeWithAWholeDecode) {
  if (!HaveTool("sox") || !HaveTool("oggenc")) GTEST_SKIP() << "sox or oggenc is not installed";
  WriteRaw("in.raw", TestSignal(30000));
  ASSERT_TRUE(RunTool("sox -r 44100 -e signed -b 16 -c 2 -t raw in.raw -e ima-adpcm ima.wav"));
  ASSERT_TRUE(RunTool("sox -r 44100 -e signed -b 16 -c 2 -t raw in.raw pcm.wav"));
  ASSERT_TRUE(RunTool("oggenc -Q -r -R 44100 -B 16 -C 2 in.raw -o t.ogg"));
  for (const char* name : {"ima.wav", "pcm.wav", "t.ogg"}) {
    std::vector<uint8_t> file = ReadBytes(name);
    BufferStreamRecord* record = OpenBufferStream(file.data(), static_cast<int32_t>(file.size()));
    const StreamSource source{*GetBufferStreamFunctions(), reinterpret_cast<FileHandle>(record)};
    auto decoder = std::make_unique<SoundDecoder>();
    ASSERT_EQ(SoundDecoderOpen(&source, decoder.get()), 0) << name;
    std::vector<uint8_t> whole(200000), pieces(200000);
    const int total = SoundDecoderRead(decoder.get(), whole.data(), 200000);
    ASSERT_GE(total, 120000) << name;  // IMA ADPCM ends in a whole last block
    EXPECT_EQ(SoundDecoderRead(decoder.get(), whole.data(), 10), 0);
    SoundDecoderSeek(decoder.get(), 0);
    int done = 0;
    for (int size = 1; done < total; size = size * 3 % 4099 + 2) done += SoundDecoderRead(decoder.get(), pieces.data() + done, size);
    EXPECT_EQ(done, total);
    EXPECT_EQ(std::memcmp(whole.data(), pieces.data(), static_cast<size_t>(total)), 0) << name;
    for (int ms : {500, 100, 300}) {
      SoundDecoderSeek(decoder.get(), ms);
      std::vector<uint8_t> after(400);
      ASSERT_EQ(SoundDecoderRead(decoder.get(), after.data(), 400), 400);
      EXPECT_EQ(std::memcmp(after.data(), whole.data() + 44100 * ms / 1000 * 4, 400), 0) << name << " " << ms;
    }
    SoundDecoderClose(decoder.get());
    CloseBufferStream(reinterpret_cast<FileHandle>(record));
  }
}

}  // namespace
