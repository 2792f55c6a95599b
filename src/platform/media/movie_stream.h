// The multimedia-stream stand-in for movies: a movie file decoded on demand, frame by frame, into 32-bit
// X8R8G8B8 pixels. The file is read through the caller's callbacks, so the caller decides where bytes come from.
#pragma once
#include <cstdint>

namespace media {

struct MovieSource {
  // Bytes read into buffer (0 at the end, negative on an error).
  int (*read)(void* user, uint8_t* buffer, int size);
  // New position from origin 0 start, 1 current, 2 end; negative on an error.
  int64_t (*seek)(void* user, int64_t offset, int origin);
  // The file's size in bytes, negative when unknown.
  int64_t (*size)(void* user);
  void* user;
};

// The largest frame a movie may have: checked from the container's and the codec's parameters before any frame
// is decoded.
struct MovieLimits {
  int maxSide;
  int64_t maxPixels;
};

class MovieStream;

// Null when the bytes are no movie that can be decoded (a picture, text, a damaged file, a playlist or other file
// that names further files, a frame size past the limits).
MovieStream* OpenMovieStream(const MovieSource& source, const MovieLimits& limits);
void CloseMovieStream(MovieStream* stream);
int MovieWidth(const MovieStream* stream);
int MovieHeight(const MovieStream* stream);
// Milliseconds the movie lasts, 0 when the file does not say.
int64_t MovieDurationMs(const MovieStream* stream);
// Decodes the frame that shows at the time (ms from the start; past the end the last frame) into pixels of
// width x height, pitch bytes a row. 1 when the pixels changed, 0 when that frame was already there, -1 on error.
int MovieFrameAt(MovieStream* stream, int64_t milliseconds, uint8_t* pixels, int pitch);
// The caller's pixels no longer hold the frame last written (a surface lost and restored): the next call
// writes its frame.
void ForgetShownFrame(MovieStream* stream);

}  // namespace media
