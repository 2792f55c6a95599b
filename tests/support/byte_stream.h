// A stream source over a byte vector, for decoder tests and fuzz targets. Reads follow the buffered-file
// convention of the library's memory stream: whole elements, a last partial element counting as one with the
// rest of it zeroed. With fileLike set, a partial element counts as none, as a runtime file does.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/file_access.h"

namespace testing_support {

struct ByteStream {
  std::vector<unsigned char> data;
  int64_t position = 0;
  bool fileLike = false;

  static ByteStream* Of(FileHandle h) { return reinterpret_cast<ByteStream*>(h); }
  static int32_t Tell(FileHandle h) { return static_cast<int32_t>(Of(h)->position); }
  static int Seek(FileHandle h, int32_t offset, int origin) {
    ByteStream* s = Of(h);
    int64_t size = static_cast<int64_t>(s->data.size());
    int64_t target = origin == 0 ? offset : origin == 1 ? s->position + offset : size + offset;
    s->position = std::clamp<int64_t>(target, 0, size);
    return 0;
  }
  static size_t Read(void* buffer, size_t size, size_t count, FileHandle h) {
    ByteStream* s = Of(h);
    uint64_t left = s->data.size() - static_cast<uint64_t>(s->position);
    if (left == 0 || size == 0) return 0;
    const unsigned char* from = s->data.data() + s->position;
    if (static_cast<unsigned __int128>(size) * count <= left) {
      std::memcpy(buffer, from, size * count);
      s->position += static_cast<int64_t>(size * count);
      return count;
    }
    uint64_t whole = left / size;
    if (whole > 0 || s->fileLike) {
      std::memcpy(buffer, from, whole * size);
      s->position += static_cast<int64_t>(whole * size);
      return whole;
    }
    std::memcpy(buffer, from, left);
    std::memset(static_cast<unsigned char*>(buffer) + left, 0, size - left);
    s->position += static_cast<int64_t>(left);
    return 1;
  }
  static int Eof(FileHandle h) { return Of(h)->position >= static_cast<int64_t>(Of(h)->data.size()); }
  static int IsReady(FileHandle) { return 1; }
  static int Close(FileHandle) { return 0; }

  StreamSourceData Source() {
    StreamSourceData source{};
    source.functions = StreamSourceFunctions{Tell, Seek, Read, Eof, IsReady, Close};
    source.handle = reinterpret_cast<FileHandle>(this);
    source.functions.seek(source.handle, 0, 0);
    return source;
  }
};

}  // namespace testing_support
