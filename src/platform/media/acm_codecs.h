// The codecs behind the audio compression manager substitute: each turns its source format into 16-bit PCM
// of the same channels and rate.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/win32/mmreg.h"

namespace media {

class AcmCodec {
 public:
  virtual ~AcmCodec() = default;
  // Decodes from `source` into `out`: whole source blocks while their output fits, and with `partial` also a
  // last incomplete block as far as its bytes go. Sets *used to the source bytes taken; answers bytes written.
  virtual size_t Convert(const uint8_t* source, size_t length, size_t* used, uint8_t* out, size_t room,
                         bool partial) = 0;
  // PCM bytes that `sourceBytes` give (for MPEG audio an estimate from the bit rate).
  virtual uint64_t OutputFor(uint64_t sourceBytes) const = 0;
  // Whether the codec takes no more source: its stream ended inside the source (MPEG audio whose frames change
  // rate), or it failed (then Failed() too).
  virtual bool Finished() const { return Failed(); }
  // Whether the source is damaged past what the codec can skip.
  virtual bool Failed() const { return false; }
};

// A codec for the format, or null when no codec takes it (unknown tag, or a format the codec cannot decode:
// zero or more than two channels, zero rate, a block too small for its header or, for A-law and µ-law, a block
// that is not whole frames).
std::unique_ptr<AcmCodec> MakeAcmCodec(const WAVEFORMATEX& format);

}  // namespace media
