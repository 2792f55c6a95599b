// Writes the sound fuzzers' seed corpus: small WAV files of every kind the decoders take, MPEG audio frames with
// and without tags, Ogg Vorbis, and the crafted files that once ended the process or ran for long; one folder
// per fuzzer.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/ogg_writers.h"

namespace {

using Bytes = std::vector<uint8_t>;
std::filesystem::path root;

void Save(const std::string& fuzzer, const std::string& name, const Bytes& bytes) {
  std::filesystem::create_directories(root / fuzzer);
  std::ofstream(root / fuzzer / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
void Put16(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void Put32(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); }
void Chunk(Bytes& b, const char* id, const Bytes& body) {
  b.insert(b.end(), id, id + 4);
  Put32(b, static_cast<uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() % 2) b.push_back(0);
}
Bytes Wave(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t align, uint16_t bits, const Bytes& extra,
           const Bytes& data, bool list = false) {
  Bytes fmt;
  Put16(fmt, tag);
  Put16(fmt, channels);
  Put32(fmt, rate);
  Put32(fmt, rate * align);
  Put16(fmt, align);
  Put16(fmt, bits);
  if (!extra.empty()) {
    Put16(fmt, static_cast<uint32_t>(extra.size()));
    fmt.insert(fmt.end(), extra.begin(), extra.end());
  }
  Bytes chunks;
  Chunk(chunks, "fmt ", fmt);
  if (list) Chunk(chunks, "LIST", {'I', 'N', 'F', 'O', 'x'});
  Chunk(chunks, "data", data);
  Bytes file = {'R', 'I', 'F', 'F'};
  Put32(file, static_cast<uint32_t>(chunks.size() + 4));
  file.insert(file.end(), {'W', 'A', 'V', 'E'});
  file.insert(file.end(), chunks.begin(), chunks.end());
  return file;
}
Bytes Pattern(size_t n, int seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 37 + seed * 11);
  return b;
}

void WaveSeeds() {
  Save("sound_wav", "pcm16", Wave(1, 2, 22050, 4, 16, {}, Pattern(64, 1)));
  Save("sound_wav", "pcm8list", Wave(1, 1, 8000, 1, 8, {}, Pattern(33, 2), true));
  Save("sound_wav", "alaw", Wave(6, 1, 8000, 1, 8, {}, Pattern(40, 3)));
  Save("sound_wav", "mulaw", Wave(7, 2, 8000, 2, 8, {}, Pattern(40, 4)));
  Bytes ima;
  Put16(ima, 9);  // samples per block of a 4-channel-byte header and 4 data bytes
  Save("sound_wav", "ima", Wave(0x11, 1, 8000, 8, 4, ima, Pattern(24, 5)));
  Bytes ms;
  Put16(ms, 4);
  Put16(ms, 7);
  for (int c : {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232}) Put16(ms, static_cast<uint32_t>(c));
  Save("sound_wav", "msadpcm", Wave(2, 1, 8000, 8, 4, ms, Pattern(24, 6)));
}

void MpegSeeds() {
  Bytes frames;
  for (int i = 0; i < 4; ++i) {
    Bytes frame(417, 0);
    frame[0] = 0xFF;
    frame[1] = 0xFB;
    frame[2] = 0x90;
    frame[3] = 0x64;
    frames.insert(frames.end(), frame.begin(), frame.end());
  }
  Save("sound_mpeg", "layer3", frames);
  Bytes tagged = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 0, 4, 1, 2, 3, 4};
  tagged.insert(tagged.end(), 10, 0);
  tagged.insert(tagged.end(), frames.begin(), frames.end());
  Bytes tail(128, ' ');
  tail[0] = 'T';
  tail[1] = 'A';
  tail[2] = 'G';
  tagged.insert(tagged.end(), tail.begin(), tail.end());
  Save("sound_mpeg", "tagged", tagged);
  Bytes mpeg2(417 * 2, 0);
  for (int i : {0, 417}) {
    mpeg2[i] = 0xFF;
    mpeg2[i + 1] = 0xF3;
    mpeg2[i + 2] = 0xE0;
    mpeg2[i + 3] = 0xC4;
  }
  Save("sound_mpeg", "mpeg2", mpeg2);
  // 657 bytes of MPEG-1 Layer III frames whose rate changes from frame to frame (48,000 and 32,000 Hz).
  Bytes changing;
  for (int i = 0; changing.size() < 657; ++i) {
    Bytes frame(i % 2 ? 144 : 96, 0);
    frame[0] = 0xFF;
    frame[1] = 0xFB;
    frame[2] = i % 2 ? 0x18 : 0x14;
    frame[3] = 0xC4;
    changing.insert(changing.end(), frame.begin(), frame.end());
  }
  changing.resize(657);
  Save("sound_mpeg", "ratechange", changing);
}

// A short tone, a damaged chain, and the crafted files of hostile users: a 160 KB Ogg that stands for more than 256 MiB of
// sound, a small one that stands for just past the sound bound, and one whose header claims 2^31 - 1 Hz.
void OggSeeds() {
  Save("sound_ogg", "tone", testing_support::VorbisTone(1200));
  Save("sound_ogg", "bomb256", testing_support::SilentVorbisBomb(2, (256u << 20) / 4 + 4096));
  Save("sound_ogg", "bomb64", testing_support::SilentVorbisBomb(2, (64u << 20) / 4 + 4096));
  Save("sound_ogg", "claim", testing_support::SilentVorbisBomb(2, 44100, 0x7FFFFFFF));
  // A chained stream whose second link ends after its first page: the link's headers are refused.
  Bytes chained = testing_support::VorbisTone(1200), second = testing_support::VorbisTone(400, 8);
  size_t firstPage = 27 + second[26];
  for (size_t i = 0; i < second[26]; ++i) firstPage += second[27 + i];
  chained.insert(chained.end(), second.begin(), second.begin() + static_cast<long>(firstPage));
  Save("sound_ogg", "chained", chained);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  root = argv[1];
  WaveSeeds();
  MpegSeeds();
  OggSeeds();
  return 0;
}
