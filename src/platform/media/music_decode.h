// Decoding music files for the music graph as they play: RIFF WAVE (PCM or any format the audio compression
// manager decodes), Ogg Vorbis and raw MPEG audio, recognised by content, read from the file a block at a time
// and resampled to the mixer's format. A decoder holds a few blocks, however long the music.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace media {

// The highest sample rate a music file's header may claim: above it every frame heard would cost the decoder
// many times its own length in decoding.
constexpr uint32_t kHighestMusicRate = 384000;

enum class MusicOpenResult { kOpened, kMissing, kUnsupported };

class MusicReader;

class MusicDecoder {
 public:
  // Opens the music file at a host path: kMissing when it cannot be opened; kUnsupported when it is none of the
  // known formats, claims no rate or one above kHighestMusicRate, or is damaged before its first sound.
  static MusicOpenResult Open(const std::string& path, std::unique_ptr<MusicDecoder>* out);
  ~MusicDecoder();

  // Decodes up to `frames` interleaved 16-bit stereo frames at the mix rate into out; fewer only at the end.
  size_t Read(int16_t* out, size_t frames);
  // Back to the first frame: a file short enough to be held whole once read through is played again from memory.
  void Rewind();
  // To a frame at the mix rate, counted from the start (past the end: the end).
  void Seek(uint64_t frame);
  // Bytes held in the decoder's buffers.
  size_t BufferedBytes() const;
  // Whether the sound stopped short of its end because the file is damaged past what the reader can skip, or a
  // rewind or seek could not be done: what is left cannot be played, and the music ends there.
  bool Failed() const { return failed_; }
  // From any thread: every later read of the file meets its end at once, so whoever decodes stops promptly.
  void Abandon() { abandoned_.store(true, std::memory_order_relaxed); }

 private:
  explicit MusicDecoder(std::unique_ptr<MusicReader> reader);
  // Reads the file's frames until the window holds frame `first` and the one after it, dropping those before it
  // only when the window is full.
  void Fill(uint64_t first);

  std::unique_ptr<MusicReader> reader_;
  uint32_t rate_;
  std::vector<int16_t> window_;  // stereo frames of the file at its own rate, from frame base_ on
  uint64_t base_ = 0;
  size_t held_ = 0;       // frames in the window
  bool ended_ = false;    // the file has no frames after the window's
  bool failed_ = false;   // ended on damage, not at the file's end
  uint64_t position_ = 0;  // the next frame at the mix rate
  std::atomic<bool> abandoned_{false};
};

}  // namespace media
