// Feeds the sound decoders arbitrary bytes through a memory-like and a file-like stream: detection (the RIFF
// walk, the Ogg path, the MPEG frame walk), a whole decode, seeks and reads in odd sizes. Every byte handed
// out must be readable, and nothing may hang.
#include <cstdint>
#include <cstdlib>
#include <cstring>

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

void Touch(const void* data, int size) {
  const auto* p = static_cast<const unsigned char*>(data);
  unsigned sum = 0;
  for (int i = 0; i < size; ++i) sum += p[i];
  asm volatile("" : : "r"(sum));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A tiny Vorbis packet stands for thousands of samples; the decoder's own bound keeps a whole decode of even
  // the largest input here within 64 MiB.
  if (size > (256 << 10)) return 0;
  for (bool fileLike : {false, true}) {
    testing_support::ByteStream stream;
    stream.data.assign(data, data + size);
    stream.fileLike = fileLike;
    const StreamSourceData source = stream.Source();
    auto* decoder = static_cast<SoundDecoder*>(std::calloc(1, sizeof(SoundDecoder)));
    if (SoundDecoderOpen(&source, decoder) == 0) {
      WAVEFORMATEX format;
      void* block = nullptr;
      int bytes = 0;
      if (DecodeSoundToMemory(decoder, &format, &block, &bytes) == 0) {
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
