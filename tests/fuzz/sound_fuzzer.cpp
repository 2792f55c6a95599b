// Feeds the sound decoders arbitrary bytes through a memory-like and a file-like stream: detection (the RIFF
// walk, the Ogg path, the MPEG frame walk), a whole decode, seeks and reads in odd sizes. Every byte handed
// out must be readable, and nothing may hang.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/memory.h"
#include "platform/host/platform.h"
#include "sound/sound_decoder.h"
#include "sound/sound_system.h"
#include "support/byte_stream.h"

// The fuzzers are linked without the library's log, its sound system and the platform's failure rules.
int AppLogWriteFormat(const char*, ...) { return -1; }
int SoundDecoderBytesPerSample() { return 2; }
namespace host {
bool ShouldFail(const char*) { return false; }
}  // namespace host

namespace {

// A tiny Vorbis packet stands for thousands of samples: a whole decode of a small input may run to the decoder's
// own bound of 64 MiB, seconds of processor time under the sanitizers. A sound is decoded whole only when it ends
// within this, found by reading it first through a decoder of its own.
constexpr int kMostBytesDecodedWhole = 4 << 20;

void Touch(const void* data, int size) {
  const auto* p = static_cast<const unsigned char*>(data);
  unsigned sum = 0;
  for (int i = 0; i < size; ++i) sum += p[i];
  asm volatile("" : : "r"(sum));
}

// Whether the sound of the stream ends within `most` bytes, read through a decoder of its own.
bool EndsWithin(const StreamSourceData& source, int most) {
  auto* decoder = static_cast<SoundDecoder*>(std::calloc(1, sizeof(SoundDecoder)));
  bool ends = false;
  if (SoundDecoderOpen(&source, decoder) == 0) {
    std::vector<unsigned char> block(64 << 10);
    const int want = static_cast<int>(block.size());
    for (int total = 0; total <= most && !ends; total += want) {
      ends = SoundDecoderRead(decoder, block.data(), want) < want;
    }
    SoundDecoderClose(decoder);
  }
  std::free(decoder);
  return ends;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (256 << 10)) return 0;
  for (bool fileLike : {false, true}) {
    testing_support::ByteStream stream;
    stream.data.assign(data, data + size);
    stream.fileLike = fileLike;
    const bool decodeWhole = EndsWithin(stream.Source(), kMostBytesDecodedWhole);
    const StreamSourceData source = stream.Source();
    auto* decoder = static_cast<SoundDecoder*>(std::calloc(1, sizeof(SoundDecoder)));
    if (SoundDecoderOpen(&source, decoder) == 0) {
      WAVEFORMATEX format;
      void* block = nullptr;
      int bytes = 0;
      if (decodeWhole && DecodeSoundToMemory(decoder, &format, &block, &bytes) == 0) {
        Touch(block, bytes);
        MemFree(block);
      }
      unsigned char piece[4099];
      for (int ms : {7, 0, 40, 3}) {
        SoundDecoderSeek(decoder, ms);
        for (int i = 0, n = 1; i < 8; ++i, n = n * 7 % 4099 + 1) {
          const int got = SoundDecoderRead(decoder, piece, n);
          if (got < 0 || got > n) __builtin_trap();
          Touch(piece, got);
        }
      }
      SoundDecoderClose(decoder);
    }
    std::free(decoder);
  }
  return 0;
}
