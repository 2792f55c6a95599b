// Feeds the movie opener arbitrary bytes through a memory source: a refusal is fine, a crash or a read outside
// the bytes is not; a taken movie decodes a few frames at rising and falling times.
#include <cstdint>
#include <vector>

#include "graphics/graph_image.h"
#include "platform/media/movie_stream.h"
#include "support/movie_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  testing_support::MovieBytes bytes{data, static_cast<int64_t>(size)};
  media::MovieStream* stream =
      media::OpenMovieStream(bytes.Source(), media::MovieLimits{kPictureMaxSide, kPictureMaxPixels});
  if (stream == nullptr) return 0;
  const int width = media::MovieWidth(stream), height = media::MovieHeight(stream);
  if (width <= 0 || height <= 0 || width > 1024 || height > 1024) {
    media::CloseMovieStream(stream);
    return 0;
  }
  // Exactly the frame's bytes, so a write past them is seen by the sanitizer or by valgrind.
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  for (int64_t ms : {0, 40, 120, 20, 400}) media::MovieFrameAt(stream, ms, pixels.data(), width * 4);
  media::CloseMovieStream(stream);
  return 0;
}
