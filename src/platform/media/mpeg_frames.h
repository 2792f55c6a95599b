// Raw MPEG audio frame headers (layers I to III of MPEG-1, MPEG-2 and MPEG-2.5), and where a stream's own frames
// begin, for the readers that set up its codec: the sounds loaded whole and the music decoded as it plays.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

namespace media {

struct MpegHeader {
  uint32_t rate = 0;     // samples a second
  uint32_t bitrate = 0;  // bits a second
  int channels = 0;
  int layer = 0;
  size_t length = 0;  // bytes of the frame
};

// Whether two bytes are a frame's sync: eleven bits set, as every version's frames begin.
bool IsMpegSync(uint8_t first, uint8_t second);

// The frame header at p (`available` bytes there); false for none, a reserved field, the free format (no length to
// walk by) or a length below 4.
bool ReadMpegHeader(const uint8_t* p, size_t available, MpegHeader* out);

// Bytes after the start searched for the stream's first two frames in a row: a file that holds none there is no
// MPEG audio, and is refused without reading the rest of it.
constexpr uint64_t kMpegSearchBytes = 1 << 20;
// Bytes from those two frames on whose frames choose the stream's rate.
constexpr uint64_t kMpegVoteBytes = 1 << 16;

// Reads up to `bytes` of a stream at `offset` into out; fewer only at its end or where a read fails.
using MpegReadAt = std::function<size_t(uint64_t offset, uint8_t* out, size_t bytes)>;

struct MpegStream {
  uint64_t start = 0;    // where its first frame begins
  MpegHeader header;     // that frame's
  bool chained = false;  // false: no two frames are chained, and this is the first header
};

// Where the stream among the bytes from `from` to `end` begins. Its frames are chained, each beginning where the
// one before ends; a header that is not is damage. The first two chained frames must begin within
// kMpegSearchBytes; the rate is the one most chained frames have within kMpegVoteBytes of them (the first met on a
// tie), and the stream begins at the first chained frame of that rate, the bytes before it being damage. Bytes
// that hold no two chained frames at all are a stream of one frame: their first frame header. False for none.
bool FindMpegStream(const MpegReadAt& read, uint64_t from, uint64_t end, MpegStream* out);

}  // namespace media
