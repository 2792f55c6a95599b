// MS ADPCM, IMA ADPCM, A-law and µ-law decoders of our own, and MPEG audio through libmpg123's feed interface.
#include "platform/media/acm_codecs.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace media {
namespace {

int16_t Clamp16(int32_t v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); }
int16_t Read16(const uint8_t* p) { return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8))); }
void Write16(uint8_t* p, int32_t v) {
  const auto u = static_cast<uint16_t>(Clamp16(v));
  p[0] = static_cast<uint8_t>(u);
  p[1] = static_cast<uint8_t>(u >> 8);
}
// The extra bytes after WAVEFORMATEX (cbSize of them).
const uint8_t* Extra(const WAVEFORMATEX& f) { return reinterpret_cast<const uint8_t*>(&f) + sizeof(WAVEFORMATEX); }

// ---- G.711 ----
int32_t ALawSample(uint8_t a) {
  a ^= 0x55;
  int32_t t = (a & 0x0F) << 4;
  const int segment = (a & 0x70) >> 4;
  if (segment == 0) {
    t += 8;
  } else {
    t += 0x108;
    t <<= segment - 1;
  }
  return (a & 0x80) ? t : -t;
}

int32_t MuLawSample(uint8_t u) {
  u = static_cast<uint8_t>(~u);
  int32_t t = ((u & 0x0F) << 3) + 0x84;
  t <<= (u & 0x70) >> 4;
  return (u & 0x80) ? (0x84 - t) : (t - 0x84);
}

class G711Codec final : public AcmCodec {
 public:
  G711Codec(bool alaw, int channels) : channels_(channels) {
    for (int i = 0; i < 256; ++i) table_[i] = static_cast<int16_t>(alaw ? ALawSample(static_cast<uint8_t>(i)) : MuLawSample(static_cast<uint8_t>(i)));
  }
  size_t Convert(const uint8_t* source, size_t length, size_t* used, uint8_t* out, size_t room, bool) override {
    size_t samples = std::min(length, room / 2);
    samples -= samples % static_cast<size_t>(channels_);
    for (size_t i = 0; i < samples; ++i) Write16(out + i * 2, table_[source[i]]);
    *used = samples;
    return samples * 2;
  }
  uint64_t OutputFor(uint64_t sourceBytes) const override {
    return sourceBytes / static_cast<uint64_t>(channels_) * static_cast<uint64_t>(channels_) * 2;
  }

 private:
  int channels_;
  int16_t table_[256];
};

// ---- ADPCM: blocks of a fixed size, each decoding to up to samplesPerBlock frames ----
class BlockCodec : public AcmCodec {
 public:
  BlockCodec(int channels, size_t blockAlign, size_t samplesPerBlock)
      : channels_(channels), blockAlign_(blockAlign), samplesPerBlock_(samplesPerBlock) {}
  size_t Convert(const uint8_t* source, size_t length, size_t* used, uint8_t* out, size_t room,
                 bool partial) override {
    const size_t blockOut = samplesPerBlock_ * static_cast<size_t>(channels_) * 2;
    size_t taken = 0, written = 0;
    while (taken < length && room - written >= blockOut) {
      const size_t bytes = std::min(blockAlign_, length - taken);
      if (bytes < blockAlign_ && !partial) break;
      const size_t frames = DecodeBlock(source + taken, bytes, out + written);
      taken += bytes;
      written += frames * static_cast<size_t>(channels_) * 2;
    }
    *used = taken;
    return written;
  }
  uint64_t OutputFor(uint64_t sourceBytes) const override {
    return (sourceBytes + blockAlign_ - 1) / blockAlign_ * samplesPerBlock_ * static_cast<uint64_t>(channels_) * 2;
  }

 protected:
  // Decodes one block of `bytes` (at most blockAlign_) into 16-bit frames; answers the frames written.
  virtual size_t DecodeBlock(const uint8_t* block, size_t bytes, uint8_t* out) = 0;
  int channels_;
  size_t blockAlign_;
  size_t samplesPerBlock_;
};

constexpr int kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int kImaIndexMove[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

class ImaAdpcmCodec final : public BlockCodec {
 public:
  using BlockCodec::BlockCodec;

 protected:
  size_t DecodeBlock(const uint8_t* block, size_t bytes, uint8_t* out) override {
    const size_t header = 4 * static_cast<size_t>(channels_);
    if (bytes < header) return 0;
    const size_t groups = (bytes - header) / header;  // each group: 4 bytes (8 samples) of every channel
    const size_t frames = std::min(samplesPerBlock_, 1 + groups * 8);
    for (int c = 0; c < channels_; ++c) {
      int32_t predictor = Read16(block + 4 * c);
      int index = std::min<int>(block[4 * c + 2], 88);
      Write16(out + c * 2, predictor);
      for (size_t n = 0; n + 1 < frames; ++n) {
        const uint8_t byte = block[header + (n / 8) * header + static_cast<size_t>(c) * 4 + (n % 8) / 2];
        const int nibble = (n % 2) ? byte >> 4 : byte & 0x0F;
        const int step = kImaSteps[index];
        int32_t diff = step >> 3;
        if (nibble & 1) diff += step >> 2;
        if (nibble & 2) diff += step >> 1;
        if (nibble & 4) diff += step;
        predictor = Clamp16(nibble & 8 ? predictor - diff : predictor + diff);
        index = std::clamp(index + kImaIndexMove[nibble], 0, 88);
        Write16(out + ((n + 1) * static_cast<size_t>(channels_) + static_cast<size_t>(c)) * 2, predictor);
      }
    }
    return frames;
  }
};

constexpr int kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};

class MsAdpcmCodec final : public BlockCodec {
 public:
  MsAdpcmCodec(int channels, size_t blockAlign, size_t samplesPerBlock, std::vector<int32_t> coefficients)
      : BlockCodec(channels, blockAlign, samplesPerBlock), coefficients_(std::move(coefficients)) {}

 protected:
  size_t DecodeBlock(const uint8_t* block, size_t bytes, uint8_t* out) override {
    const size_t ch = static_cast<size_t>(channels_);
    if (bytes < 7 * ch) return 0;
    const size_t frames = std::min(samplesPerBlock_, 2 + (bytes - 7 * ch) * 2 / ch);
    const size_t pairs = coefficients_.size() / 2;
    int32_t c1[2], c2[2], s1[2], s2[2];
    int64_t delta[2];  // grows without bound on hostile data: kept wide and capped
    for (size_t c = 0; c < ch; ++c) {
      const size_t predictor = block[c] < pairs ? block[c] : 0;
      c1[c] = coefficients_[predictor * 2];
      c2[c] = coefficients_[predictor * 2 + 1];
      delta[c] = Read16(block + ch + 2 * c);
      s1[c] = Read16(block + 3 * ch + 2 * c);
      s2[c] = Read16(block + 5 * ch + 2 * c);
      Write16(out + c * 2, s2[c]);
      if (frames > 1) Write16(out + (ch + c) * 2, s1[c]);
    }
    const uint8_t* data = block + 7 * ch;
    for (size_t i = 0, total = (frames > 2 ? frames - 2 : 0) * ch; i < total; ++i) {
      const size_t c = i % ch;
      const int nibble = (i % 2) ? data[i / 2] & 0x0F : data[i / 2] >> 4;
      const int32_t signedNibble = nibble >= 8 ? nibble - 16 : nibble;
      const int32_t predicted = ((s1[c] * c1[c]) + (s2[c] * c2[c])) >> 8;
      const int32_t sample = Clamp16(static_cast<int32_t>(std::clamp<int64_t>(predicted + signedNibble * delta[c], -65536, 65536)));
      s2[c] = s1[c];
      s1[c] = sample;
      delta[c] = std::clamp<int64_t>((kMsAdaptation[nibble] * delta[c]) >> 8, 16, int64_t{1} << 24);
      Write16(out + (2 * ch + i) * 2, sample);
    }
    return frames;
  }

 private:
  std::vector<int32_t> coefficients_;
};

// ---- MPEG audio ----
// Damage in a stream can read as a frame header of another rate; the decoder's resync then finds the stream's own
// frames again after a frame or two. So frames of another rate are held back, and are taken for a real change
// of rate, which ends the stream, only once they have lasted this many samples.
constexpr uint64_t kRateChangeSamples = 4 * 1152;
// 8 kbit/s, the lowest bit rate of MPEG audio.
constexpr uint64_t kLowestMpegBytesPerSecond = 1000;
// Errors in a row, with no sound between them, after which the stream is taken as damaged past skipping.
constexpr int kMostErrorsInARow = 8;

class MpegCodec final : public AcmCodec {
 public:
  MpegCodec(int channels, long rate, uint64_t sourceBytesPerSecond)
      : channels_(channels), rate_(rate), sourceRate_(sourceBytesPerSecond) {}
  ~MpegCodec() override {
    if (handle_) mpg123_delete(handle_);
  }
  bool Open() {
    int error = MPG123_OK;
    handle_ = mpg123_new(nullptr, &error);
    if (!handle_) return false;
    mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET | (channels_ == 1 ? MPG123_FORCE_MONO : MPG123_FORCE_STEREO), 0);
    // A damaged stretch is searched through however long it is: the search only reads on, bounded by the data.
    mpg123_param(handle_, MPG123_RESYNC_LIMIT, -1, 0);
    // Every rate at its own speed: forcing the first frame's rate on frames of another would resample them,
    // at a cost out of all proportion to the file. A change of rate ends the data instead.
    mpg123_format_none(handle_);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i) {
      mpg123_format(handle_, rates[i], channels_ == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    return mpg123_open_feed(handle_) == MPG123_OK;
  }
  size_t Convert(const uint8_t* source, size_t length, size_t* used, uint8_t* out, size_t room, bool) override {
    *used = length;
    if (Finished()) return 0;
    const size_t frameBytes = static_cast<size_t>(channels_) * 2;
    size_t written = 0;
    const unsigned char* in = source;
    size_t inLength = length;
    while (written < room) {
      size_t done = 0;
      const int result = mpg123_decode(handle_, in, inLength, out + written, room - written, &done);
      in = nullptr;
      inLength = 0;
      if (done > 0) errors_ = 0;
      if (!otherRate_) {
        written += done;
      } else if ((otherSamples_ += done / frameBytes) >= kRateChangeSamples) {
        ended_ = true;  // the other rate goes on: a real change
        break;
      }
      if (result == MPG123_NEW_FORMAT) {
        otherRate_ = !SameRate();
        otherSamples_ = 0;
        continue;
      }
      if (result == MPG123_OK && done > 0) continue;
      // The decoder has given up on a frame; it searches on from there with the next source.
      if (result == MPG123_ERR && ++errors_ >= kMostErrorsInARow) failed_ = true;
      break;
    }
    return written - written % frameBytes;
  }
  uint64_t OutputFor(uint64_t sourceBytes) const override {
    const uint64_t frameBytes = static_cast<uint64_t>(channels_) * 2;
    if (sourceRate_ == 0) return 0;
    // A format may claim fewer bytes a second than any MPEG audio has: the estimate is never above what the
    // lowest bit rate gives, so a few bytes of source cannot ask for a buffer of hundreds of megabytes.
    return sourceBytes * static_cast<uint64_t>(rate_) / std::max(sourceRate_, kLowestMpegBytesPerSecond) * frameBytes;
  }
  bool Finished() const override { return ended_ || failed_; }
  bool Failed() const override { return failed_; }

 private:
  bool SameRate() {
    long rate = 0;
    int channels = 0, encoding = 0;
    return mpg123_getformat(handle_, &rate, &channels, &encoding) == MPG123_OK && rate == rate_;
  }

  int channels_;
  long rate_;
  uint64_t sourceRate_;
  mpg123_handle* handle_ = nullptr;
  bool otherRate_ = false;      // the frames now decoded are of another rate, and held back
  uint64_t otherSamples_ = 0;   // samples of those frames so far
  int errors_ = 0;              // decoder errors since its last sound
  bool ended_ = false, failed_ = false;
};

}  // namespace

std::unique_ptr<AcmCodec> MakeAcmCodec(const WAVEFORMATEX& f) {
  if (f.nChannels < 1 || f.nChannels > 2 || f.nSamplesPerSec == 0) return nullptr;
  const int ch = f.nChannels;
  const size_t align = f.nBlockAlign;
  switch (f.wFormatTag) {
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW:
      // A block the format states is whole frames of a byte per channel.
      if (f.wBitsPerSample != 8 || align % static_cast<size_t>(ch) != 0) return nullptr;
      return std::make_unique<G711Codec>(f.wFormatTag == WAVE_FORMAT_ALAW, ch);
    case WAVE_FORMAT_IMA_ADPCM: {
      if (f.wBitsPerSample != 4 || align < 8 * static_cast<size_t>(ch) || align % (4 * static_cast<size_t>(ch))) {
        return nullptr;
      }
      size_t most = (align - 4 * static_cast<size_t>(ch)) * 2 / static_cast<size_t>(ch) + 1;
      size_t perBlock = most;
      if (f.cbSize >= 2) perBlock = std::min<size_t>(static_cast<uint16_t>(Extra(f)[0] | (Extra(f)[1] << 8)), most);
      if (perBlock == 0) return nullptr;
      return std::make_unique<ImaAdpcmCodec>(ch, align, perBlock);
    }
    case WAVE_FORMAT_ADPCM: {
      if (f.wBitsPerSample != 4 || align < 7 * static_cast<size_t>(ch) || f.cbSize < 4) return nullptr;
      const uint8_t* extra = Extra(f);
      const size_t perBlock = static_cast<uint16_t>(extra[0] | (extra[1] << 8));
      const size_t count = static_cast<uint16_t>(extra[2] | (extra[3] << 8));
      if (perBlock == 0 || perBlock > (align - 7 * static_cast<size_t>(ch)) * 2 / static_cast<size_t>(ch) + 2 ||
          count == 0 || f.cbSize < 4 + 4 * count) {
        return nullptr;
      }
      std::vector<int32_t> coefficients;
      for (size_t i = 0; i < count * 2; ++i) coefficients.push_back(Read16(extra + 4 + 2 * i));
      return std::make_unique<MsAdpcmCodec>(ch, align, perBlock, std::move(coefficients));
    }
    case WAVE_FORMAT_MPEG:
    case WAVE_FORMAT_MPEGLAYER3: {
      auto codec = std::make_unique<MpegCodec>(ch, static_cast<long>(f.nSamplesPerSec), f.nAvgBytesPerSec);
      if (!codec->Open()) return nullptr;
      return codec;
    }
    default:
      return nullptr;
  }
}

}  // namespace media
