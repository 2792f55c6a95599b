// A movie held in memory, read through the movie stream's callbacks: reads never pass the end of the bytes.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/media/movie_stream.h"

namespace testing_support {

struct MovieBytes {
  const uint8_t* data;
  int64_t size;
  int64_t position = 0;

  media::MovieSource Source() { return media::MovieSource{Read, Seek, Size, this}; }

  static int Read(void* user, uint8_t* buffer, int size) {
    auto* b = static_cast<MovieBytes*>(user);
    int64_t n = std::min<int64_t>(size, b->size - b->position);
    if (n <= 0) return 0;
    std::memcpy(buffer, b->data + b->position, static_cast<size_t>(n));
    b->position += n;
    return static_cast<int>(n);
  }
  static int64_t Seek(void* user, int64_t offset, int origin) {
    auto* b = static_cast<MovieBytes*>(user);
    int64_t base = origin == 1 ? b->position : origin == 2 ? b->size : 0;
    if (base + offset < 0 || base + offset > b->size) return -1;
    return b->position = base + offset;
  }
  static int64_t Size(void* user) { return static_cast<MovieBytes*>(user)->size; }
};

}  // namespace testing_support
