// Music decoding for the music graph. Everything is decoded at once (music files are a few minutes at most)
// and resampled linearly to the mix rate, so the mixing thread only copies.
#include "platform/media/music_decode.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/media/acm_codecs.h"
#include "platform/media/mixer.h"
#include "platform/win32/mmreg.h"

namespace media {
namespace {

constexpr uint64_t kLongestMusicFrames = uint64_t{kMixRate} * 60 * 15;

// Decoded sound before it is brought to the mix format: 16-bit samples, one or two channels. A file whose
// header claims some rate can still decode to any number of samples, so their bytes are bounded as well as
// their duration at the claimed rate.
struct Pcm {
  std::vector<int16_t> samples;
  int channels = 0;
  uint32_t rate = 0;

  // Whether another frame would still fit both bounds (a little past the longest music, which ToMixFormat
  // then refuses).
  bool Room() const {
    const uint64_t frames = samples.size() / static_cast<size_t>(channels);
    return frames <= uint64_t{rate} * 60 * 15 && samples.size() * 2 <= kLargestDecodedMusicBytes;
  }
};

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// MPEG audio frame headers: enough to know a raw MPEG file and the rate and channels its codec must produce.
struct MpegHeader {
  uint32_t rate = 0;
  int channels = 0;
  int layer = 0;
  size_t length = 0;  // bytes of the frame
};

bool ReadMpegHeader(const uint8_t* p, size_t available, MpegHeader* out) {
  static constexpr uint16_t kBitrates[2][3][15] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
  static constexpr uint32_t kRates[3] = {44100, 48000, 32000};
  if (available < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  int version = (p[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
  int layerBits = (p[1] >> 1) & 3;
  int bitrateIndex = p[2] >> 4;
  int rateIndex = (p[2] >> 2) & 3;
  if (version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
  int layer = 4 - layerBits;
  bool mpeg1 = version == 3;
  uint32_t rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  uint32_t bitrate = kBitrates[mpeg1 ? 0 : 1][layer - 1][bitrateIndex] * 1000u;
  uint32_t padding = (p[2] >> 1) & 1;
  out->length = layer == 1 ? (12 * bitrate / rate + padding) * 4
                           : (layer == 3 && !mpeg1 ? 72 : 144) * bitrate / rate + padding;
  out->rate = rate;
  out->layer = layer;
  out->channels = (p[3] >> 6) == 3 ? 1 : 2;
  return out->length >= 4;
}

// The first frame of a raw MPEG file (after an ID3v2 tag), confirmed by the frame that follows it when the
// file holds one. Sets *start to the frame's offset.
bool FindMpegStart(const uint8_t* data, size_t size, size_t* start, MpegHeader* header) {
  size_t position = 0;
  if (size >= 10 && std::memcmp(data, "ID3", 3) == 0) {
    size_t tag = size_t{data[6] & 0x7Fu} << 21 | size_t{data[7] & 0x7Fu} << 14 | size_t{data[8] & 0x7Fu} << 7 |
                 (data[9] & 0x7Fu);
    position = 10 + tag + ((data[5] & 0x10) ? 10 : 0);
  }
  if (position >= size || !ReadMpegHeader(data + position, size - position, header)) return false;
  MpegHeader next;
  size_t following = position + header->length;
  if (following + 4 <= size && !ReadMpegHeader(data + following, size - following, &next)) return false;
  *start = position;
  return true;
}

// Runs a codec over the whole source, collecting its 16-bit output.
bool DecodeWithCodec(const WAVEFORMATEX& format, const uint8_t* data, size_t size, Pcm* out) {
  std::unique_ptr<AcmCodec> codec = MakeAcmCodec(format);
  if (!codec) return false;
  out->channels = format.nChannels;
  out->rate = format.nSamplesPerSec;
  std::vector<uint8_t> block(1 << 16);
  size_t position = 0;
  while (out->Room()) {
    size_t used = 0;
    size_t got = codec->Convert(data + position, size - position, &used, block.data(), block.size(), true);
    position += used;
    for (size_t i = 0; i + 1 < got; i += 2) out->samples.push_back(static_cast<int16_t>(block[i] | block[i + 1] << 8));
    if (got == 0 && used == 0) break;
  }
  return !out->samples.empty() && out->Room();
}

// A RIFF WAVE file: 8- or 16-bit PCM in one or two channels, or a compressed format a codec takes.
bool DecodeWave(const uint8_t* data, size_t size, Pcm* out) {
  if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) return false;
  size_t end = std::min<size_t>(size, size_t{Le32(data + 4)} + 8);
  const uint8_t* format = nullptr;
  size_t formatLength = 0, formatExtra = 0;
  size_t position = 12;
  while (end >= 8 && position <= end - 8) {
    uint32_t length = Le32(data + position + 4);
    const uint8_t* body = data + position + 8;
    size_t available = std::min<size_t>(length, end - position - 8);  // a data chunk cut short keeps what is there
    if (std::memcmp(data + position, "fmt ", 4) == 0 && available >= 16) {
      format = body;
      formatLength = available;
      // The extra bytes a compressed format carries after its 18-byte header, as far as the chunk holds them.
      formatExtra = available >= 18 ? std::min<size_t>(Le16(body + 16), available - 18) : 0;
    }
    if (std::memcmp(data + position, "data", 4) == 0) {
      if (!format) return false;
      int channels = Le16(format + 2);
      uint32_t rate = Le32(format + 4);
      int bits = Le16(format + 14);
      if (Le16(format) != WAVE_FORMAT_PCM) {  // compressed: the audio compression manager's codecs
        std::vector<uint8_t> whole(sizeof(WAVEFORMATEX) + formatExtra, 0);
        std::memcpy(whole.data(), format, std::min<size_t>(formatLength, whole.size()));
        auto* header = reinterpret_cast<WAVEFORMATEX*>(whole.data());
        header->cbSize = static_cast<WORD>(formatExtra);
        return DecodeWithCodec(*header, body, available, out);
      }
      if (channels < 1 || channels > 2 || rate == 0 || (bits != 8 && bits != 16)) return false;
      size_t frames = available / (static_cast<size_t>(channels) * bits / 8);
      if (frames * channels * 2 > kLargestDecodedMusicBytes) return false;
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
  while (out->Room()) {
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
  return !out->samples.empty() && out->Room();
}

// A raw MPEG audio file (layers I to III, optionally behind an ID3v2 tag) through the MPEG codec.
bool DecodeMpeg(const uint8_t* data, size_t size, Pcm* out) {
  size_t start = 0;
  MpegHeader header;
  if (!FindMpegStart(data, size, &start, &header)) return false;
  MPEGLAYER3WAVEFORMAT format{};
  format.wfx.wFormatTag = header.layer == 3 ? WAVE_FORMAT_MPEGLAYER3 : WAVE_FORMAT_MPEG;
  format.wfx.nChannels = static_cast<WORD>(header.channels);
  format.wfx.nSamplesPerSec = header.rate;
  format.wfx.nAvgBytesPerSec = 16000;
  format.wfx.nBlockAlign = 1;
  format.wfx.cbSize = sizeof format - sizeof format.wfx;
  format.wID = MPEGLAYER3_ID_MPEG;
  return DecodeWithCodec(format.wfx, data + start, size - start, out);
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
  try {
    Pcm pcm;
    if (!DecodeWave(data, size, &pcm) && !DecodeVorbis(data, size, &pcm) && !DecodeMpeg(data, size, &pcm)) return false;
    return ToMixFormat(pcm, frames);
  } catch (const std::bad_alloc&) {  // a file the machine has no memory for is refused like any other
    frames->clear();
    return false;
  }
}

}  // namespace media
