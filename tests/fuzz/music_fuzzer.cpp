// Feeds the music decoder arbitrary bytes as a file: detection (the RIFF walk, the Ogg path, the MPEG frame
// walk), decoding as it plays, a rewind and a seek. Every frame handed out must be readable, and nothing may
// hang: a tiny file may stand for hours of music, so the frames read from each input are bounded here.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/media/music_decode.h"

namespace {

constexpr size_t kMostFramesRead = size_t{1} << 18;

void ReadSome(media::MusicDecoder& decoder, size_t frames) {
  std::vector<int16_t> block(2 * 4099);
  unsigned sum = 0;
  for (size_t done = 0, n = 1; done < frames; n = n * 7 % 4099 + 1) {
    const size_t got = decoder.Read(block.data(), n);
    if (got > n) __builtin_trap();
    for (size_t i = 0; i < 2 * got; ++i) sum += static_cast<uint16_t>(block[i]);
    if (got == 0) break;
    done += got;
  }
  asm volatile("" : : "r"(sum));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("music", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) == static_cast<ssize_t>(size)) {
    std::unique_ptr<media::MusicDecoder> decoder;
    if (media::MusicDecoder::Open("/proc/self/fd/" + std::to_string(fd), &decoder) ==
        media::MusicOpenResult::kOpened) {
      ReadSome(*decoder, kMostFramesRead);
      decoder->Rewind();
      ReadSome(*decoder, 5000);
      decoder->Seek(1234);
      ReadSome(*decoder, 5000);
    }
  }
  close(fd);
  return 0;
}
