// Feeds the movie opener arbitrary bytes through a memory source: a refusal is fine, a crash or a read outside
// the bytes is not; a taken movie decodes a few frames at rising and falling times.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/media/movie_stream.h"

namespace {

struct Bytes {
  const uint8_t* data;
  int64_t size;
  int64_t position;
};

int Read(void* user, uint8_t* buffer, int size) {
  auto* b = static_cast<Bytes*>(user);
  int64_t n = std::min<int64_t>(size, b->size - b->position);
  if (n <= 0) return 0;
  std::memcpy(buffer, b->data + b->position, n);
  b->position += n;
  return static_cast<int>(n);
}

int64_t Seek(void* user, int64_t offset, int origin) {
  auto* b = static_cast<Bytes*>(user);
  int64_t base = origin == 1 ? b->position : origin == 2 ? b->size : 0;
  if (base + offset < 0 || base + offset > b->size) return -1;
  return b->position = base + offset;
}

int64_t Size(void* user) { return static_cast<Bytes*>(user)->size; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes bytes{data, static_cast<int64_t>(size), 0};
  media::MovieStream* stream = media::OpenMovieStream(media::MovieSource{Read, Seek, Size, &bytes});
  if (stream == nullptr) return 0;
  const int width = media::MovieWidth(stream), height = media::MovieHeight(stream);
  if (width <= 0 || height <= 0 || width > 1024 || height > 1024) {
    media::CloseMovieStream(stream);
    return 0;
  }
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  for (int64_t ms : {0, 40, 120, 20, 400}) media::MovieFrameAt(stream, ms, pixels.data(), width * 4);
  media::CloseMovieStream(stream);
  return 0;
}
