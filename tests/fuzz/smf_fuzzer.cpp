// Feeds the Standard MIDI File reader arbitrary bytes from an exact-size block. A taken file must be coherent:
// events in time order within the song's length, which is within the longest song, system-exclusive bytes inside
// their store.
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/media/smf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[size ? size : 1]);
  if (size) std::memcpy(exact.get(), data, size);
  media::LooksLikeMidiFile(exact.get(), size);
  media::MidiSequence sequence;
  if (!media::ParseMidiFile(exact.get(), size, &sequence)) return 0;
  if (sequence.lengthMicroseconds > media::kLongestSongMicroseconds) __builtin_trap();
  int64_t previous = 0;
  for (const auto& e : sequence.events) {
    if (e.microseconds < previous || e.microseconds > sequence.lengthMicroseconds) __builtin_trap();
    if (uint64_t{e.sysexOffset} + e.sysexLength > sequence.sysex.size()) __builtin_trap();
    previous = e.microseconds;
  }
  return 0;
}
