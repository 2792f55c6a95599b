// Feeds one decoder arbitrary bytes, through a memory-like and a file-like stream. A refusal must leave the
// image untouched; a taken picture must be whole, every byte of height x pitch readable.
#include <sanitizer/asan_interface.h>

#include <cstdint>
#include <cstring>
#include <ctime>

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
  // Every byte's readability from the sanitizer's own record: reading each cost up to half a second for the largest
  // pictures. A byte it refuses is read, for its report; the ends are read, for a block that is no block at all.
  auto* p = static_cast<volatile unsigned char*>(g.pixels);
  const size_t size = static_cast<size_t>(g.pitch) * static_cast<size_t>(g.height);
  if (auto* refused = static_cast<volatile unsigned char*>(__asan_region_is_poisoned(g.pixels, size))) (void)*refused;
  (void)p[0], (void)p[size - 1];
}

// Processor time of this process, in seconds.
double ProcessSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A picture near the limit (or a file built to cost the decoder all its bounds allow) takes most of a second to
// decode under the sanitizers: such an input is decoded through one kind of stream only.
constexpr double kSecondPassBelowSeconds = 0.3;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const double began = ProcessSeconds();
  for (bool fileLike : {false, true}) {
    if (fileLike && ProcessSeconds() - began > kSecondPassBelowSeconds) break;
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
