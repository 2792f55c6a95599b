// Raw MPEG audio frame headers (layers I to III of MPEG-1, MPEG-2 and MPEG-2.5), and the rate a stream settles on,
// for the readers that set up its codec: the sounds loaded whole and the music decoded as it plays.
#pragma once
#include <cstddef>
#include <cstdint>

namespace media {

struct MpegHeader {
  uint32_t rate = 0;     // samples a second
  uint32_t bitrate = 0;  // bits a second
  int channels = 0;
  int layer = 0;
  size_t length = 0;  // bytes of the frame
};

// The frame header at p (`available` bytes there); false for none, a reserved field, the free format (no length to
// walk by) or a length below 4.
bool ReadMpegHeader(const uint8_t* p, size_t available, MpegHeader* out);

// Bytes of a stream's start that ReadSettledMpegHeader is given: room for the longest frames' run behind damage.
constexpr size_t kMpegSettleBytes = 1 << 16;

// The header of the first frame of the rate a stream settles on, from its first bytes: the first run of frames of
// one rate, each beginning where the one before ends, that is long enough not to be damage; where `bytes` hold no
// such run, the longest one they hold. False when they hold no frame header.
bool ReadSettledMpegHeader(const uint8_t* bytes, size_t length, MpegHeader* out);

}  // namespace media
