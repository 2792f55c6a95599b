// The generated asset set: every file the game loads is there with the sizes and cells its loads need, sprite
// bodies stay clear of the black key, effects are short and end in silence, the music loops without a seam, the
// fanfare is a Standard MIDI File of a fanfare's length, and the save file is made empty but never overwritten.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "graphics/graphics_test_support.h"
#include "platform/host/headless/headless_host.h"
#include "vomak.h"

namespace {

std::string GeneratorPath() {
  char self[PATH_MAX] = {};
  ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  std::filesystem::path path(std::string(self, length > 0 ? static_cast<size_t>(length) : 0));
  // The test program lies in <build>/tests, the generator in <build>.
  return (path.parent_path().parent_path() / "qelt_assetgen").string();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int RunGenerator(const std::string& arguments) { return std::system((GeneratorPath() + " " + arguments + " >/dev/null").c_str()); }

struct Png {
  int width = 0, height = 0;
  bool alpha = false;
  std::vector<uint8_t> rgba;
};

Png ReadPng(const std::string& path) {
  Png out;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
  out.alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  image.format = PNG_FORMAT_RGBA;
  out.rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) return Png{};
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  return out;
}

// One picture as the game loads it: divided pictures (cells > 0) measure exactly columns × width by rows × height;
// single graphs fit within width × height.
struct PictureCase {
  const char* name;
  int cells, columns, rows, width, height;
  bool sprite;
};

const PictureCase kPictures[] = {
    {"j0001", 1, 1, 1, 7200, 480, false}, {"b0301", 0, 0, 0, 30, 39, true},  {"b0201", 0, 0, 0, 30, 30, true},
    {"b0202", 0, 0, 0, 30, 30, true},     {"b0402", 0, 0, 0, 16, 8, true},   {"b0401", 0, 0, 0, 20, 20, true},
    {"b0403", 0, 0, 0, 20, 20, true},     {"b0404", 0, 0, 0, 20, 20, true},  {"p0101", 2, 2, 1, 64, 64, true},
    {"b0105", 0, 0, 0, 110, 80, true},    {"b0501", 0, 0, 0, 110, 80, true}, {"p0002", 3, 1, 3, 640, 480, false},
    {"p0102", 3, 1, 3, 100, 74, true},    {"p0001", 1, 1, 1, 640, 480, false}, {"b0101", 2, 2, 1, 64, 30, true},
    {"b0102", 3, 1, 3, 70, 70, true},     {"b0103", 2, 2, 1, 42, 48, true},  {"b0104", 2, 2, 1, 42, 48, true},
};

class AssetSetTest : public GraphicsTest {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/qelt_assets_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // A player's save file is already there: the generator must keep it.
    std::ofstream(dir_ + "/file.sav", std::ios::binary) << std::string(40, 'Z');
    status_ = RunGenerator(dir_);
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }
  void SetUp() override {
    GraphicsTest::SetUp();
    if (::access(GeneratorPath().c_str(), X_OK) != 0) GTEST_SKIP() << "no generator: the game is not built";
    ASSERT_EQ(status_, 0) << "the generator failed";
  }
  static std::string dir_;
  static int status_;
};

std::string AssetSetTest::dir_;
int AssetSetTest::status_ = -1;

TEST_F(AssetSetTest, EveryPictureHasTheSizeAndCellsOfItsLoad) {
  ASSERT_EQ(Start(16), 0);
  ASSERT_EQ(::chdir(dir_.c_str()), 0);
  for (const PictureCase& c : kPictures) {
    std::string game = std::string("CG\\") + c.name + ".gph";
    Png png = ReadPng(dir_ + "/CG/" + c.name + ".gph");
    ASSERT_GT(png.width, 0) << c.name;
    // Opaque pictures take the copy path; sprites carry an alpha plane (the shot needs one: it is drawn with flag 0).
    EXPECT_EQ(png.alpha, c.sprite) << c.name;
    if (c.cells) {
      EXPECT_EQ(png.width, c.columns * c.width) << c.name;
      EXPECT_EQ(png.height, c.rows * c.height) << c.name;
      std::vector<int> handles(c.cells + 1, -7);
      EXPECT_EQ(LoadDividedGraphFileSimple(game.c_str(), c.cells, c.columns, c.rows, c.width, c.height, handles.data()), 0)
          << c.name;
      for (int i = 0; i < c.cells; ++i) EXPECT_GT(handles[i], 0) << c.name;
    } else {
      EXPECT_LE(png.width, c.width) << c.name;
      EXPECT_LE(png.height, c.height) << c.name;
      EXPECT_GT(LoadGraphFileSimple(game.c_str()), 0) << c.name;
    }
  }
  // The explosion stands in for the boss at its top-left corner: the same size.
  Png boss = ReadPng(dir_ + "/CG/b0105.gph"), explosion = ReadPng(dir_ + "/CG/b0501.gph");
  EXPECT_EQ(boss.width, explosion.width);
  EXPECT_EQ(boss.height, explosion.height);
}

// A visible sprite pixel darker than (16, 16, 16) could pack to the black key on a 16-bit screen and be punched out;
// every invisible one is stored black, so key and alpha agree.
TEST_F(AssetSetTest, SpriteBodiesStayClearOfTheBlackKey) {
  for (const PictureCase& c : kPictures) {
    if (!c.sprite) continue;
    Png png = ReadPng(dir_ + "/CG/" + c.name + ".gph");
    int dark = 0, keyedVisible = 0, solid = 0;
    for (size_t i = 0; i + 3 < png.rgba.size(); i += 4) {
      const uint8_t* p = &png.rgba[i];
      if (p[3] == 0) {
        keyedVisible += p[0] | p[1] | p[2] ? 1 : 0;
        continue;
      }
      dark += std::min({p[0], p[1], p[2]}) < 16 ? 1 : 0;
      solid += p[3] == 255 ? 1 : 0;
    }
    EXPECT_EQ(dark, 0) << c.name;
    EXPECT_EQ(keyedVisible, 0) << c.name;
    EXPECT_GT(solid, 0) << c.name << " has no opaque body";
  }
}

// The enemies' 8-pixel bullet must read at a glance anywhere over the backdrop: a solid body most of its cell
// across, and most of that body in colours that no part of the backdrop comes near (within 24 in every channel), so
// it is never taken for a star, a ridge's glint or the arena's ring.
TEST_F(AssetSetTest, EnemyBulletsStandApartFromEveryPartOfTheBackdrop) {
  const Png backdrop = ReadPng(dir_ + "/CG/j0001.gph"), bullet = ReadPng(dir_ + "/CG/b0402.gph");
  ASSERT_EQ(backdrop.width, 7200);
  ASSERT_EQ(bullet.width, 8);
  ASSERT_EQ(bullet.height, 8);
  // The backdrop's colours in bins of 8 per channel.
  std::vector<bool> seen(32 * 32 * 32);
  auto bin = [](int r, int g, int b) { return static_cast<size_t>((r * 32 + g) * 32 + b); };
  for (size_t i = 0; i + 3 < backdrop.rgba.size(); i += 4)
    seen[bin(backdrop.rgba[i] >> 3, backdrop.rgba[i + 1] >> 3, backdrop.rgba[i + 2] >> 3)] = true;
  int solid = 0, apart = 0;
  for (size_t i = 0; i + 3 < bullet.rgba.size(); i += 4) {
    if (bullet.rgba[i + 3] != 255) continue;
    ++solid;
    const int r = bullet.rgba[i] >> 3, g = bullet.rgba[i + 1] >> 3, b = bullet.rgba[i + 2] >> 3;
    bool near = false;
    for (int nr = std::max(r - 3, 0); nr <= std::min(r + 3, 31); ++nr)
      for (int ng = std::max(g - 3, 0); ng <= std::min(g + 3, 31); ++ng)
        for (int nb = std::max(b - 3, 0); nb <= std::min(b + 3, 31); ++nb) near = near || seen[bin(nr, ng, nb)];
    apart += near ? 0 : 1;
  }
  EXPECT_GE(solid, 28);  // a disc of about 6 pixels or more, its soft rim besides
  EXPECT_GE(apart, 20);
}

struct SoundCase {
  const char* name;
  double shortest, longest;
};

// Effects: 16-bit mono PCM at 44.1 kHz, within their lengths, loud at once, silent at the end (restarts cut them).
TEST_F(AssetSetTest, EffectsAreShortPunchyAndEndInSilence) {
  const SoundCase effects[] = {
      {"m30101", 0.3, 0.8}, {"m30102", 0.03, 0.085}, {"m30103", 0.3, 0.5}, {"m30104", 0.6, 0.9}, {"m30105", 0.05, 0.1}};
  for (const SoundCase& e : effects) {
    std::string wav = ReadAll(dir_ + "/SE/" + e.name + ".snd");
    ASSERT_GE(wav.size(), 44u) << e.name;
    auto u16 = [&](size_t at) { return static_cast<uint8_t>(wav[at]) | static_cast<uint8_t>(wav[at + 1]) << 8; };
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(u16(20), 1) << e.name;      // PCM
    EXPECT_EQ(u16(22), 1) << e.name;      // mono
    EXPECT_EQ(u16(24), 44100) << e.name;  // low half of the rate
    EXPECT_EQ(u16(34), 16) << e.name;
    ASSERT_EQ(wav.substr(36, 4), "data");
    size_t count = (wav.size() - 44) / 2;
    double seconds = count / 44100.0;
    EXPECT_GE(seconds, e.shortest) << e.name;
    EXPECT_LE(seconds, e.longest) << e.name;
    auto sample = [&](size_t i) { return static_cast<int16_t>(u16(44 + 2 * i)) / 32768.0; };
    double attack = 0, peak = 0, tail = 0;
    for (size_t i = 0; i < std::min<size_t>(count, 441); ++i) attack = std::max(attack, std::fabs(sample(i)));
    for (size_t i = 0; i < count; ++i) peak = std::max(peak, std::fabs(sample(i)));
    for (size_t i = count - 88; i < count; ++i) tail = std::max(tail, std::fabs(sample(i)));
    EXPECT_GT(peak, 0.05) << e.name << " is too quiet to hear";
    EXPECT_GT(attack, 0.5 * peak) << e.name << " starts late";
    EXPECT_LT(tail, 0.02 * peak) << e.name << " does not end in silence";
  }
}

// The stage music: stereo Ogg Vorbis of 60 to 90 s, sound right up to both ends, and the step from the last frame to
// the first no larger than the steps beside it.
TEST_F(AssetSetTest, MusicLoopsWithoutASeam) {
  OggVorbis_File ogg;
  ASSERT_EQ(ov_fopen((dir_ + "/SE/m30001.snd").c_str(), &ogg), 0);
  vorbis_info* info = ov_info(&ogg, -1);
  EXPECT_EQ(info->channels, 2);
  EXPECT_EQ(info->rate, 44100);
  std::vector<float> left, right;
  for (;;) {
    float** pcm = nullptr;
    int section = 0;
    long got = ov_read_float(&ogg, &pcm, 4096, &section);
    if (got <= 0) break;
    left.insert(left.end(), pcm[0], pcm[0] + got);
    right.insert(right.end(), pcm[1], pcm[1] + got);
  }
  ov_clear(&ogg);
  double seconds = left.size() / 44100.0;
  EXPECT_GE(seconds, 60);
  EXPECT_LE(seconds, 90);
  ASSERT_GT(left.size(), 44100u);
  for (const std::vector<float>* channel : {&left, &right}) {
    const std::vector<float>& s = *channel;
    size_t n = s.size();
    auto rms = [&](size_t from) {
      double sum = 0;
      for (size_t i = from; i < from + 2205; ++i) sum += s[i] * s[i];
      return std::sqrt(sum / 2205);
    };
    EXPECT_GT(rms(0), 0.02) << "silence at the start";
    EXPECT_GT(rms(n - 2205), 0.02) << "silence at the end";
    double nearby = 0;
    for (size_t i = 1; i < 64; ++i) nearby = std::max({nearby, std::fabs(s[i] - s[i - 1]) * 1.0, std::fabs(s[n - i] - s[n - i - 1]) * 1.0});
    EXPECT_LE(std::fabs(s[0] - s[n - 1]), 2 * nearby + 0.01) << "a click where the loop joins";
  }
}

// The peaks of a sound, per channel, at 16-bit scale: the highest sample and the lowest.
struct Peaks {
  int high[2] = {0, 0}, low[2] = {0, 0};
  void Take(int channel, int sample) {
    high[channel] = std::max(high[channel], sample);
    low[channel] = std::min(low[channel], sample);
  }
};

// A 16-bit mono WAV file's peaks, the same on both channels of the mix.
Peaks WavPeaks(const std::string& wav) {
  Peaks p;
  for (size_t at = 44; at + 1 < wav.size(); at += 2) {
    const int sample = static_cast<int16_t>(static_cast<uint8_t>(wav[at]) | static_cast<uint8_t>(wav[at + 1]) << 8);
    p.Take(0, sample), p.Take(1, sample);
  }
  return p;
}

// The music's peaks as the library decodes it: 16-bit signed samples, clipped by the decoder where they overshoot.
Peaks OggPeaks(const std::string& path) {
  Peaks p;
  OggVorbis_File ogg;
  if (ov_fopen(path.c_str(), &ogg) != 0) return p;
  std::vector<int16_t> block(8192);
  int section = 0;
  for (long got; (got = ov_read(&ogg, reinterpret_cast<char*>(block.data()), 16384, 0, 2, 1, &section)) > 0;) {
    for (long i = 0; i < got / 2; ++i) p.Take(static_cast<int>(i % 2), block[static_cast<size_t>(i)]);
  }
  ov_clear(&ogg);
  return p;
}

// The mixer adds its sources as they are and clamps the sum, and the game can sound every effect at once over the
// stage music and the clear fanfare (the fanfare goes on into a replay's stage); each effect plays from one buffer.
// Started at any moment, their peaks can meet: their sum, on each channel and for each sign, must stay below full
// scale. The fanfare is heard through the library's MIDI synthesiser.
TEST_F(AssetSetTest, TheLoudestOverlapOfTheStageStaysBelowFullScale) {
  ASSERT_EQ(Start(32), 0);
  ASSERT_EQ(::chdir(dir_.c_str()), 0);
  headless::ClearAudio();
  ASSERT_EQ(StartMusicFile("SE\\mi0101.snd", 1), 0);
  const uint64_t from = headless::Nanoseconds();
  for (int ms = 0; ms < 26000 && QueryMusicPlaying() == 1; ms += 20) {
    headless::AdvanceMilliseconds(20);
    PumpWindowMessages();
  }
  EXPECT_EQ(QueryMusicPlaying(), 0) << "the fanfare lasts more than 26 s";
  const headless::CapturedAudio& audio = headless::Audio();
  Peaks fanfare;
  for (uint64_t f = audio.FrameAtNanoseconds(from); f < audio.FrameAtNanoseconds(headless::Nanoseconds()); ++f) {
    fanfare.Take(0, audio.Sample(f, 0)), fanfare.Take(1, audio.Sample(f, 1));
  }
  std::vector<std::pair<std::string, Peaks>> sources = {{"m30001", OggPeaks(dir_ + "/SE/m30001.snd")},
                                                        {"mi0101", fanfare}};
  for (const char* effect : {"m30101", "m30102", "m30103", "m30104", "m30105"})
    sources.push_back({effect, WavPeaks(ReadAll(dir_ + "/SE/" + effect + ".snd"))});
  for (int channel = 0; channel < 2; ++channel) {
    int high = 0, low = 0;
    std::string each;
    for (const auto& [name, peaks] : sources) {
      EXPECT_GT(peaks.high[channel] - peaks.low[channel], 2000) << name << " is all but silent";
      each += " " + name + " " + std::to_string(peaks.low[channel]) + ".." + std::to_string(peaks.high[channel]);
      high += peaks.high[channel];
      low += peaks.low[channel];
    }
    EXPECT_LT(high, 32767) << "channel " << channel << ":" << each;
    EXPECT_GT(low, -32768) << "channel " << channel << ":" << each;
  }
}

// The fanfare: a Standard MIDI File whose events, timed by its tempo, last 10 to 25 s, with drums on channel 10.
TEST_F(AssetSetTest, FanfareIsAStandardMidiFileOfAFanfaresLength) {
  std::string smf = ReadAll(dir_ + "/SE/mi0101.snd");
  ASSERT_GE(smf.size(), 22u);
  auto byte = [&](size_t at) { return static_cast<uint8_t>(smf[at]); };
  auto big = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | byte(at + i);
    return v;
  };
  EXPECT_EQ(smf.substr(0, 4), "MThd");
  EXPECT_LE(big(8, 2), 1u);
  double division = big(12, 2), seconds = 0, secondsPerTick = 0.5 / division;
  ASSERT_EQ(smf.substr(14, 4), "MTrk");
  size_t at = 22, end = 22 + big(18, 4);
  ASSERT_EQ(end, smf.size());
  bool drums = false, ended = false;
  uint8_t status = 0;
  while (at < end && !ended) {
    uint32_t delta = 0;
    do delta = delta << 7 | (byte(at) & 0x7F);
    while (byte(at++) & 0x80);
    seconds += delta * secondsPerTick;
    if (byte(at) & 0x80) status = byte(at++);
    if (status == 0xFF) {
      uint8_t type = byte(at), length = byte(at + 1);
      if (type == 0x51) secondsPerTick = big(at + 2, 3) / 1e6 / division;
      ended = type == 0x2F;
      at += 2 + length;
    } else {
      drums = drums || status == 0x99;
      at += (status & 0xE0) == 0xC0 ? 1 : 2;
    }
  }
  EXPECT_TRUE(ended);
  EXPECT_TRUE(drums);
  EXPECT_GE(seconds, 10);
  EXPECT_LE(seconds, 25);
}

TEST_F(AssetSetTest, SaveFileIsMadeEmptyAndNeverOverwritten) {
  EXPECT_EQ(ReadAll(dir_ + "/file.sav"), std::string(40, 'Z'));
  ASSERT_EQ(RunGenerator("--save-only " + workDir()), 0);
  EXPECT_EQ(ReadAll(workDir() + "/file.sav"), std::string(40, '\0'));
  std::ofstream(workDir() + "/file.sav", std::ios::binary) << std::string(40, '\x07');
  ASSERT_EQ(RunGenerator("--save-only " + workDir()), 0);
  EXPECT_EQ(ReadAll(workDir() + "/file.sav"), std::string(40, '\x07'));
}

}  // namespace
