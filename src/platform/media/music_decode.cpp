// Music decoding for the music graph, as the music plays: a reader per format hands out the file's frames a
// block at a time, and the decoder resamples them linearly to the mix rate through a small window.
#include "platform/media/music_decode.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/media/acm_codecs.h"
#include "platform/media/mixer.h"
#include "platform/media/mpeg_frames.h"
#include "platform/win32/mmreg.h"

namespace media {

// Hands out a music file's frames as interleaved 16-bit stereo (a mono file in both channels) at its own rate.
class MusicReader {
 public:
  virtual ~MusicReader() = default;
  // Up to `frames` frames into out; 0 only at the end, or where the reader cannot go on (then failed is set).
  virtual size_t Read(int16_t* out, size_t frames) = 0;
  // Back to the first frame; failed tells whether that could be done.
  virtual void Rewind() = 0;
  virtual size_t BufferedBytes() const = 0;
  uint32_t rate = 0;
  bool failed = false;  // stopped short: damage the reader cannot skip, a read error, or a rewind not done
};

namespace {

constexpr size_t kWindowFrames = 4096;
// The decoder's window, at the file's rate: a looped file this short is held whole after its first pass and
// repeated from memory, since reopening it for every pass (a tiny sound behind a huge header, or followed by
// megabytes of damage) could cost far more than the pass lasts.
constexpr size_t kHeldFrames = 1 << 15;
// One frame more than that, so that a file of kHeldFrames frames meets its end before the window must move.
constexpr size_t kWindowCapacity = kHeldFrames + 1;
constexpr size_t kCodecBytes = 1 << 16;
// Real files hold a handful of chunks before their sound; a walk through more is refused.
constexpr int kMostWaveChunks = 4096;

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// A file read from its host path, closed with the reader.
class File {
 public:
  explicit File(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {}
  ~File() {
    if (file_) std::fclose(file_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  bool IsOpen() const { return file_ != nullptr; }
  // Nothing once the decoder is abandoned: the work one pass can hold (a huge header, a search through damage)
  // then stops at the next read.
  size_t Read(void* out, size_t bytes) {
    return abandoned && abandoned->load(std::memory_order_relaxed) ? 0 : std::fread(out, 1, bytes, file_);
  }
  // Whether a read failed (rather than met the end); a seek clears it.
  bool ReadFailed() { return std::ferror(file_) != 0; }
  bool SeekTo(uint64_t offset) {
    std::clearerr(file_);
    return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0;
  }
  uint64_t Size() {
    const off_t here = ftello(file_);
    if (here < 0 || fseeko(file_, 0, SEEK_END) != 0) return 0;
    const off_t size = ftello(file_);
    fseeko(file_, here, SEEK_SET);
    return size < 0 ? 0 : static_cast<uint64_t>(size);
  }
  // Reads exactly `bytes` at an offset.
  bool ReadAt(uint64_t offset, void* out, size_t bytes) { return SeekTo(offset) && Read(out, bytes) == bytes; }
  const std::atomic<bool>* abandoned = nullptr;  // the decoder's flag

 private:
  FILE* file_;
};

// 8- or 16-bit PCM in one or two channels, from a data chunk (as far as the file holds it).
class PcmReader final : public MusicReader {
 public:
  PcmReader(std::unique_ptr<File> file, uint64_t start, uint64_t bytes, int channels, int bits)
      : file_(std::move(file)), start_(start), channels_(channels), bits_(bits),
        frameBytes_(static_cast<size_t>(channels) * static_cast<size_t>(bits) / 8),
        frames_(bytes / frameBytes_), bytes_(kWindowFrames * frameBytes_) {
    Rewind();
  }
  size_t Read(int16_t* out, size_t frames) override {
    frames = static_cast<size_t>(std::min<uint64_t>({frames, frames_ - position_, kWindowFrames}));
    frames = file_->Read(bytes_.data(), frames * frameBytes_) / frameBytes_;
    if (frames == 0 && position_ < frames_) failed = file_->ReadFailed();  // else the file is shorter than its chunk
    for (size_t f = 0; f < frames; ++f) {
      for (int c = 0; c < 2; ++c) {
        const size_t i = f * static_cast<size_t>(channels_) + static_cast<size_t>(channels_ == 2 ? c : 0);
        out[2 * f + static_cast<size_t>(c)] = bits_ == 8 ? static_cast<int16_t>((bytes_[i] - 128) << 8)
                                                         : static_cast<int16_t>(Le16(bytes_.data() + 2 * i));
      }
    }
    position_ += frames;
    return frames;
  }
  void Rewind() override {
    failed = !file_->SeekTo(start_);
    position_ = failed ? frames_ : 0;
  }
  size_t BufferedBytes() const override { return bytes_.size(); }

 private:
  std::unique_ptr<File> file_;
  uint64_t start_;
  int channels_, bits_;
  size_t frameBytes_;
  uint64_t frames_;
  uint64_t position_ = 0;
  std::vector<uint8_t> bytes_;
};

// A compressed source (a WAV data chunk, or raw MPEG audio to the file's end) through a codec, fed in blocks.
class CodecReader final : public MusicReader {
 public:
  CodecReader(std::unique_ptr<File> file, uint64_t start, uint64_t end, std::vector<uint8_t> format)
      : file_(std::move(file)), start_(start), end_(end), format_(std::move(format)), in_(kCodecBytes),
        out_(kCodecBytes) {
    rate = Format().nSamplesPerSec;
    channels_ = Format().nChannels;
  }
  bool Start() {
    Rewind();
    return codec_ != nullptr;
  }
  size_t Read(int16_t* out, size_t frames) override {
    const size_t frameBytes = static_cast<size_t>(channels_) * 2;
    if (outHeld_ - outTaken_ < frameBytes && !Convert()) return 0;
    frames = std::min(frames, (outHeld_ - outTaken_) / frameBytes);
    for (size_t f = 0; f < frames; ++f) {
      const uint8_t* frame = out_.data() + outTaken_ + f * frameBytes;
      out[2 * f] = static_cast<int16_t>(Le16(frame));
      out[2 * f + 1] = static_cast<int16_t>(Le16(frame + (channels_ == 2 ? 2 : 0)));
    }
    outTaken_ += frames * frameBytes;
    return frames;
  }
  void Rewind() override {
    codec_ = MakeAcmCodec(Format());
    next_ = start_;
    inStart_ = inHeld_ = outTaken_ = outHeld_ = 0;
    sourceEnded_ = !file_->SeekTo(start_);
    failed = !codec_ || sourceEnded_;
  }
  size_t BufferedBytes() const override { return in_.size() + out_.size(); }

 private:
  const WAVEFORMATEX& Format() const { return *reinterpret_cast<const WAVEFORMATEX*>(format_.data()); }

  // Converts the next output block; false at the end of what the codec gives.
  bool Convert() {
    if (!codec_) return false;
    for (;;) {
      if (codec_->Finished()) {
        failed = codec_->Failed();
        return false;
      }
      size_t used = 0;
      const size_t got =
          codec_->Convert(in_.data() + inStart_, inHeld_, &used, out_.data(), out_.size(), sourceEnded_);
      used = std::min(used, inHeld_);
      inStart_ += used;
      inHeld_ -= used;
      if (got > 0) {
        outTaken_ = 0;
        outHeld_ = got;
        return true;
      }
      if (sourceEnded_ ? used == 0 : !Refill()) {
        // The source read to its end, unless a read failed or the codec would take nothing more of it.
        failed = file_->ReadFailed() || next_ < end_;
        return false;
      }
    }
  }
  // Moves what is left of the source block to its front and reads more after it; false when nothing more fits.
  bool Refill() {
    std::memmove(in_.data(), in_.data() + inStart_, inHeld_);
    inStart_ = 0;
    const size_t room = static_cast<size_t>(std::min<uint64_t>(in_.size() - inHeld_, end_ - next_));
    const size_t got = room ? file_->Read(in_.data() + inHeld_, room) : 0;
    inHeld_ += got;
    next_ += got;
    if (got == 0) sourceEnded_ = true;  // the codec then takes its last partial block
    return got > 0 || inHeld_ > 0;
  }

  std::unique_ptr<File> file_;
  uint64_t start_, end_, next_ = 0;
  std::vector<uint8_t> format_;  // WAVEFORMATEX and its extra bytes
  int channels_ = 0;
  std::unique_ptr<AcmCodec> codec_;
  std::vector<uint8_t> in_, out_;
  size_t inStart_ = 0, inHeld_ = 0, outTaken_ = 0, outHeld_ = 0;
  bool sourceEnded_ = false;
};

size_t ReadFile(void* buffer, size_t size, size_t count, void* file) {
  return size == 0 ? 0 : static_cast<File*>(file)->Read(buffer, size * count) / size;
}

// Ogg Vorbis; more than two channels keep the front left and right. A chained stream of another layout or rate
// ends the music. The stream is opened without a seek callback, so the library only ever reads on: it never
// searches the file (a search through a damaged one may never end), takes chained links as it reaches them, and
// a rewind opens the stream again from its first byte. Every call is then bounded by the file.
class VorbisReader final : public MusicReader {
 public:
  explicit VorbisReader(std::unique_ptr<File> file) : file_(std::move(file)) {}
  ~VorbisReader() override { Close(); }
  // Opens the stream at the file's first byte; false when it holds no stream that can play, or (on a rewind)
  // not the one it held before.
  bool Start() {
    Close();
    const ov_callbacks callbacks{ReadFile, nullptr, nullptr, nullptr};
    if (!file_->SeekTo(0) || ov_open_callbacks(file_.get(), &vorbis_, nullptr, 0, callbacks) != 0) return false;
    open_ = true;
    const vorbis_info* info = ov_info(&vorbis_, -1);
    if (!info || info->channels < 1 || info->rate <= 0 || info->rate > long{kHighestMusicRate}) return false;
    if (channels_ != 0) return info->channels == channels_ && info->rate == long{rate};
    channels_ = info->channels;
    rate = static_cast<uint32_t>(info->rate);
    right_ = channels_ == 1 ? 0 : (channels_ == 3 || channels_ >= 5) ? 2 : 1;
    block_.resize(1024 * static_cast<size_t>(channels_));
    return true;
  }
  size_t Read(int16_t* out, size_t frames) override {
    if (taken_ == held_) Decode();
    frames = std::min(frames, held_ - taken_);
    const auto channels = static_cast<size_t>(channels_);
    for (size_t f = 0; f < frames; ++f, ++taken_) {
      out[2 * f] = block_[taken_ * channels];
      out[2 * f + 1] = block_[taken_ * channels + static_cast<size_t>(right_)];
    }
    return frames;
  }
  void Rewind() override {
    taken_ = held_ = 0;
    failed = ended_ = !Start();
  }
  size_t BufferedBytes() const override { return block_.size() * 2; }

 private:
  void Close() {
    if (open_) ov_clear(&vorbis_);
    open_ = false;
  }
  void Decode() {
    taken_ = held_ = 0;
    while (!ended_) {
      int section = 0;
      const long got = ov_read(&vorbis_, reinterpret_cast<char*>(block_.data()), static_cast<int>(block_.size() * 2),
                               0, 2, 1, &section);
      // A gap after damaged pages: the library has read past them, and the next read goes on after the gap.
      if (got == OV_HOLE) continue;
      const vorbis_info* now = got > 0 ? ov_info(&vorbis_, -1) : nullptr;
      if (!now || now->channels != channels_ || now->rate != long{rate}) {
        ended_ = true;
        failed = got < 0;  // damage the library cannot read past, or a read error
        return;
      }
      held_ = static_cast<size_t>(got) / (2 * static_cast<size_t>(channels_));
      if (held_ > 0) return;
    }
  }

  std::unique_ptr<File> file_;
  OggVorbis_File vorbis_{};
  bool open_ = false, ended_ = false;
  int channels_ = 0, right_ = 0;
  std::vector<int16_t> block_;
  size_t taken_ = 0, held_ = 0;
};

bool RateAllowed(uint32_t rate) { return rate > 0 && rate <= kHighestMusicRate; }

// A RIFF WAVE file: walks its chunks to the format and the data.
std::unique_ptr<MusicReader> OpenWave(std::unique_ptr<File> file) {
  uint8_t head[12];
  const uint64_t size = file->Size();
  if (!file->ReadAt(0, head, sizeof head) || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) {
    return nullptr;
  }
  const uint64_t end = std::min<uint64_t>(size, uint64_t{Le32(head + 4)} + 8);
  std::vector<uint8_t> format;
  uint64_t position = 12;
  for (int chunk = 0; chunk < kMostWaveChunks && end >= 8 && position <= end - 8; ++chunk) {
    uint8_t header[8];
    if (!file->ReadAt(position, header, sizeof header)) return nullptr;
    const uint32_t length = Le32(header + 4);
    const uint64_t body = position + 8;
    const uint64_t available = std::min<uint64_t>(length, end - body);  // a chunk cut short keeps what is there
    if (std::memcmp(header, "fmt ", 4) == 0 && available >= 16) {
      // The extra bytes a compressed format carries after its 18-byte header, as far as the chunk holds them.
      uint8_t extraLength[2] = {0, 0};
      if (available >= 18 && !file->ReadAt(body + 16, extraLength, 2)) return nullptr;
      const size_t extra = available >= 18 ? std::min<uint64_t>(Le16(extraLength), available - 18) : 0;
      format.assign(sizeof(WAVEFORMATEX) + extra, 0);
      const size_t have = std::min<size_t>(static_cast<size_t>(std::min<uint64_t>(available, 18 + extra)), format.size());
      if (!file->ReadAt(body, format.data(), have)) return nullptr;
      reinterpret_cast<WAVEFORMATEX*>(format.data())->cbSize = static_cast<WORD>(extra);
    }
    if (std::memcmp(header, "data", 4) == 0) {
      if (format.empty()) return nullptr;
      const WAVEFORMATEX& f = *reinterpret_cast<const WAVEFORMATEX*>(format.data());
      if (!RateAllowed(f.nSamplesPerSec)) return nullptr;
      if (f.wFormatTag != WAVE_FORMAT_PCM) {  // compressed: the audio compression manager's codecs
        auto reader = std::make_unique<CodecReader>(std::move(file), body, body + available, std::move(format));
        if (!reader->Start()) return nullptr;
        return reader;
      }
      if (f.nChannels < 1 || f.nChannels > 2 || (f.wBitsPerSample != 8 && f.wBitsPerSample != 16)) return nullptr;
      auto reader = std::make_unique<PcmReader>(std::move(file), body, available, f.nChannels, f.wBitsPerSample);
      reader->rate = f.nSamplesPerSec;
      return reader;
    }
    position = body + length + (length & 1);
  }
  return nullptr;
}

std::unique_ptr<MusicReader> OpenVorbis(std::unique_ptr<File> file) {
  uint8_t head[4];
  if (!file->ReadAt(0, head, sizeof head) || std::memcmp(head, "OggS", 4) != 0) return nullptr;
  auto reader = std::make_unique<VorbisReader>(std::move(file));
  if (!reader->Start()) return nullptr;
  return reader;
}

// A raw MPEG audio file (layers I to III, optionally behind an ID3v2 tag): known by its frames, each beginning where
// the one before ends, or by a lone frame that the file ends in. The codec starts at the stream's first frame of
// the rate its frames choose, so anything before that (padding, junk, frames of another rate) is skipped.
std::unique_ptr<MusicReader> OpenMpeg(std::unique_ptr<File> file) {
  const uint64_t size = file->Size();
  uint8_t tag[10];
  uint64_t position = 0;
  if (size >= 10 && file->ReadAt(0, tag, sizeof tag) && std::memcmp(tag, "ID3", 3) == 0) {
    position = 10 + (uint64_t{tag[6] & 0x7Fu} << 21 | uint64_t{tag[7] & 0x7Fu} << 14 | uint64_t{tag[8] & 0x7Fu} << 7 |
                     (tag[9] & 0x7Fu)) + ((tag[5] & 0x10) ? 10 : 0);
  }
  File& source = *file;
  const MpegReadAt read = [&source](uint64_t offset, uint8_t* out, size_t bytes) {
    return source.SeekTo(offset) ? source.Read(out, bytes) : 0;
  };
  MpegStream stream;
  if (!FindMpegStream(read, position, size, &stream) ||
      (!stream.chained && stream.start + stream.header.length + 4 <= size)) {
    return nullptr;
  }
  const MpegHeader& header = stream.header;
  std::vector<uint8_t> format(sizeof(MPEGLAYER3WAVEFORMAT), 0);
  auto& mpeg = *reinterpret_cast<MPEGLAYER3WAVEFORMAT*>(format.data());
  mpeg.wfx.wFormatTag = header.layer == 3 ? WAVE_FORMAT_MPEGLAYER3 : WAVE_FORMAT_MPEG;
  mpeg.wfx.nChannels = static_cast<WORD>(header.channels);
  mpeg.wfx.nSamplesPerSec = header.rate;
  mpeg.wfx.nAvgBytesPerSec = 16000;
  mpeg.wfx.nBlockAlign = 1;
  mpeg.wfx.cbSize = sizeof(MPEGLAYER3WAVEFORMAT) - sizeof(WAVEFORMATEX);
  mpeg.wID = MPEGLAYER3_ID_MPEG;
  auto reader = std::make_unique<CodecReader>(std::move(file), stream.start, size, std::move(format));
  if (!reader->Start()) return nullptr;
  return reader;
}

}  // namespace

MusicOpenResult MusicDecoder::Open(const std::string& path, std::unique_ptr<MusicDecoder>* out) {
  if (!File(path).IsOpen()) return MusicOpenResult::kMissing;
  for (auto open : {OpenWave, OpenVorbis, OpenMpeg}) {
    auto file = std::make_unique<File>(path);
    if (!file->IsOpen()) return MusicOpenResult::kMissing;
    File& source = *file;  // kept by the reader
    std::unique_ptr<MusicReader> reader = open(std::move(file));
    if (!reader) continue;
    std::unique_ptr<MusicDecoder> decoder(new MusicDecoder(std::move(reader)));
    source.abandoned = &decoder->abandoned_;
    decoder->held_ = decoder->reader_->Read(decoder->window_.data(), kWindowFrames);
    if (decoder->held_ == 0) continue;  // damaged before its first sound
    *out = std::move(decoder);
    return MusicOpenResult::kOpened;
  }
  return MusicOpenResult::kUnsupported;
}

MusicDecoder::MusicDecoder(std::unique_ptr<MusicReader> reader)
    : reader_(std::move(reader)), rate_(reader_->rate), window_(kWindowCapacity * 2) {}

MusicDecoder::~MusicDecoder() = default;

void MusicDecoder::Fill(uint64_t first) {
  while (!ended_ && first + 1 >= base_ + held_) {
    if (held_ == kWindowCapacity) {
      const size_t drop = static_cast<size_t>(std::min<uint64_t>(first - base_, held_));
      std::memmove(window_.data(), window_.data() + 2 * drop, (held_ - drop) * 2 * sizeof(int16_t));
      base_ += drop;
      held_ -= drop;
    }
    const size_t got = reader_->Read(window_.data() + 2 * held_, kWindowCapacity - held_);
    if (got == 0) {
      ended_ = true;
      failed_ = reader_->failed;
    }
    held_ += got;
  }
}

size_t MusicDecoder::Read(int16_t* out, size_t frames) {
  size_t done = 0;
  while (done < frames) {
    // Output frame i lies between input frames floor(i * rate / kMixRate) and the one after it.
    const auto source = static_cast<unsigned __int128>(position_) * rate_;
    const auto whole = static_cast<uint64_t>(source / kMixRate);
    const auto fraction = static_cast<int64_t>(source % kMixRate);
    if (whole + 1 >= base_ + held_ && !ended_) {
      Fill(whole);
      continue;
    }
    const uint64_t total = base_ + held_;  // once ended: every input frame
    if (whole >= total ||
        (ended_ && position_ >= static_cast<uint64_t>(static_cast<unsigned __int128>(total) * kMixRate / rate_))) {
      break;
    }
    const int16_t* a = window_.data() + 2 * (whole - base_);
    const int16_t* b = window_.data() + 2 * (std::min(whole + 1, total - 1) - base_);
    for (int c = 0; c < 2; ++c) {
      out[2 * done + static_cast<size_t>(c)] = static_cast<int16_t>(a[c] + (int64_t{b[c]} - a[c]) * fraction / kMixRate);
    }
    ++position_;
    ++done;
  }
  return done;
}

void MusicDecoder::Rewind() {
  position_ = 0;
  if (base_ == 0 && ended_ && !failed_) return;  // the window holds every frame of the file
  reader_->Rewind();
  base_ = 0;
  held_ = 0;
  ended_ = failed_ = reader_->failed;
}

void MusicDecoder::Seek(uint64_t frame) {
  Rewind();
  position_ = frame;
  Fill(static_cast<uint64_t>(static_cast<unsigned __int128>(frame) * rate_ / kMixRate));
}

size_t MusicDecoder::BufferedBytes() const { return window_.size() * sizeof(int16_t) + reader_->BufferedBytes(); }

}  // namespace media
