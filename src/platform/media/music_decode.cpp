// Music decoding for the music graph. Everything is decoded at once (music files are a few minutes at most)
// and resampled linearly to the mix rate, so the mixing thread only copies.
#include "platform/media/music_decode.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>

#include "platform/media/mixer.h"

namespace media {
namespace {

constexpr uint64_t kLongestMusicFrames = uint64_t{kMixRate} * 60 * 15;

// Decoded sound before it is brought to the mix format: 16-bit samples, one or two channels.
struct Pcm {
  std::vector<int16_t> samples;
  int channels = 0;
  uint32_t rate = 0;
};

uint32_t Le32(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// A RIFF WAVE file with 8- or 16-bit PCM in one or two channels.
bool DecodeWave(const uint8_t* data, size_t size, Pcm* out) {
  if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) return false;
  size_t end = std::min<size_t>(size, size_t{Le32(data + 4)} + 8);
  const uint8_t* format = nullptr;
  size_t position = 12;
  while (end >= 8 && position <= end - 8) {
    uint32_t length = Le32(data + position + 4);
    const uint8_t* body = data + position + 8;
    size_t available = std::min<size_t>(length, end - position - 8);  // a data chunk cut short keeps what is there
    if (std::memcmp(data + position, "fmt ", 4) == 0 && available >= 16) format = body;
    if (std::memcmp(data + position, "data", 4) == 0) {
      if (!format) return false;
      int channels = Le16(format + 2);
      uint32_t rate = Le32(format + 4);
      int bits = Le16(format + 14);
      if (Le16(format) != 1 || channels < 1 || channels > 2 || rate == 0 || (bits != 8 && bits != 16)) return false;
      size_t frames = available / (static_cast<size_t>(channels) * bits / 8);
      out->channels = channels;
      out->rate = rate;
      out->samples.resize(frames * channels);
      for (size_t i = 0; i < out->samples.size(); ++i) {
        out->samples[i] = bits == 8 ? static_cast<int16_t>((body[i] - 128) << 8)
                                    : static_cast<int16_t>(Le16(body + 2 * i));
      }
      return frames > 0;
    }
    position += 8 + size_t{length} + (length & 1);
  }
  return false;
}

struct MemoryFile {
  const uint8_t* data;
  size_t size;
  size_t position;
};

size_t ReadMemory(void* buffer, size_t size, size_t count, void* source) {
  auto* file = static_cast<MemoryFile*>(source);
  size_t bytes = size * count;
  size_t left = file->size - file->position;
  bytes = std::min(bytes, left);
  std::memcpy(buffer, file->data + file->position, bytes);
  file->position += bytes;
  return size ? bytes / size : 0;
}
int SeekMemory(void* source, ogg_int64_t offset, int origin) {
  auto* file = static_cast<MemoryFile*>(source);
  int64_t base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? static_cast<int64_t>(file->position)
                                                              : static_cast<int64_t>(file->size);
  int64_t target = base + offset;
  if (target < 0 || target > static_cast<int64_t>(file->size)) return -1;
  file->position = static_cast<size_t>(target);
  return 0;
}
long TellMemory(void* source) { return static_cast<long>(static_cast<MemoryFile*>(source)->position); }

// Ogg Vorbis; more than two channels keep the front left and right.
bool DecodeVorbis(const uint8_t* data, size_t size, Pcm* out) {
  if (size < 4 || std::memcmp(data, "OggS", 4) != 0) return false;
  MemoryFile file{data, size, 0};
  OggVorbis_File vorbis;
  ov_callbacks callbacks{ReadMemory, SeekMemory, nullptr, TellMemory};
  if (ov_open_callbacks(&file, &vorbis, nullptr, 0, callbacks) != 0) return false;
  vorbis_info* info = ov_info(&vorbis, -1);
  if (!info || info->channels < 1 || info->rate <= 0) {
    ov_clear(&vorbis);
    return false;
  }
  int channels = info->channels;
  int right = channels == 1 ? 0 : (channels == 3 || channels >= 5) ? 2 : 1;
  out->channels = channels == 1 ? 1 : 2;
  out->rate = static_cast<uint32_t>(info->rate);
  std::vector<int16_t> block(4096 * static_cast<size_t>(channels));
  int holes = 0;
  while (out->samples.size() / out->channels <= uint64_t{out->rate} * 60 * 15) {  // a little past the limit
    int section = 0;
    long got = ov_read(&vorbis, reinterpret_cast<char*>(block.data()), static_cast<int>(block.size() * 2), 0, 2, 1,
                       &section);
    if (got == OV_HOLE && ++holes < 64) continue;  // a gap after a damaged page; the next read goes on
    if (got <= 0) break;
    vorbis_info* now = ov_info(&vorbis, section);
    if (!now || now->channels != channels) break;  // a chained stream of another layout ends the music
    size_t frames = static_cast<size_t>(got) / (2 * static_cast<size_t>(channels));
    for (size_t f = 0; f < frames; ++f) {
      out->samples.push_back(block[f * channels]);
      if (out->channels == 2) out->samples.push_back(block[f * channels + right]);
    }
  }
  ov_clear(&vorbis);
  return !out->samples.empty();
}

// To interleaved stereo at the mix rate, by linear interpolation between neighbouring frames.
bool ToMixFormat(const Pcm& pcm, std::vector<int16_t>* frames) {
  size_t inFrames = pcm.samples.size() / pcm.channels;
  uint64_t outFrames = static_cast<uint64_t>(inFrames) * kMixRate / pcm.rate;
  if (outFrames == 0 || outFrames > kLongestMusicFrames) return false;
  frames->resize(outFrames * 2);
  auto sample = [&](size_t frame, int channel) {
    frame = std::min(frame, inFrames - 1);
    return int32_t{pcm.samples[frame * pcm.channels + (pcm.channels == 2 ? channel : 0)]};
  };
  for (uint64_t i = 0; i < outFrames; ++i) {
    uint64_t source = i * pcm.rate;  // position in units of 1 / kMixRate input frames
    size_t whole = static_cast<size_t>(source / kMixRate);
    int32_t fraction = static_cast<int32_t>(source % kMixRate);
    for (int c = 0; c < 2; ++c) {
      int32_t a = sample(whole, c), b = sample(whole + 1, c);
      (*frames)[2 * i + c] = static_cast<int16_t>(a + static_cast<int64_t>(b - a) * fraction / kMixRate);
    }
  }
  return true;
}

}  // namespace

bool DecodeMusicFile(const uint8_t* data, size_t size, std::vector<int16_t>* frames) {
  if (!data || !frames) return false;
  Pcm pcm;
  if (!DecodeWave(data, size, &pcm) && !DecodeVorbis(data, size, &pcm)) return false;
  return ToMixFormat(pcm, frames);
}

}  // namespace media
