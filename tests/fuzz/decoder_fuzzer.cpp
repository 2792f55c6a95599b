// Feeds one decoder arbitrary bytes, through a memory-like and a file-like stream. A refusal must leave the
// image untouched; a taken picture must be whole, every byte of height x pitch readable.
#include <cstdint>
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "graphics/decoders/decoders.h"
#include "support/byte_stream.h"

// The fuzzers are linked without the library's log: a line a decoder writes goes nowhere.
int AppLogWrite(const char*) { return 0; }

namespace {

void CheckPicture(const GraphImage& g) {
  const int bytes = g.format.bytesPerPixel;
  if (g.pixels == nullptr || g.width <= 0 || g.height <= 0 || bytes < 1 || bytes > 4 || g.format.bitDepth != bytes * 8 ||
      g.pitch < int64_t{g.width} * bytes) {
    __builtin_trap();
  }
  const unsigned char* p = static_cast<const unsigned char*>(g.pixels);
  unsigned sum = 0;
  for (int64_t i = 0; i < int64_t{g.pitch} * g.height; ++i) sum += p[i];
  asm volatile("" : : "r"(sum));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (bool fileLike : {false, true}) {
    testing_support::ByteStream stream;
    stream.data.assign(data, data + size);
    stream.fileLike = fileLike;
    StreamSourceData source = stream.Source();
    GraphImage image, before;
    std::memset(&image, 0xA5, sizeof(image));
    std::memcpy(&before, &image, sizeof(image));
    if (FUZZ_DECODER(&source, &image) == 0) {
      CheckPicture(image);
      MemFree(image.pixels);
    } else if (std::memcmp(&image, &before, sizeof(image)) != 0) {
      __builtin_trap();
    }
  }
  return 0;
}
