// Standard MIDI Files (types 0 and 1, bare or wrapped in a RIFF "RMID" form), recognised by their content and
// read into one list of events in playing order with their times in microseconds from the song's start.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace media {

// One event for the synthesiser: a channel message (status 0x80-0xEF with its one or two data bytes) or a
// system-exclusive message (status 0xF0, its bytes in the sequence's sysex store, F0 included).
struct MidiEvent {
  int64_t microseconds = 0;
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
  uint32_t sysexOffset = 0;
  uint32_t sysexLength = 0;
};

struct MidiSequence {
  std::vector<MidiEvent> events;     // in playing order
  std::vector<uint8_t> sysex;        // bytes of the system-exclusive events
  int64_t lengthMicroseconds = 0;    // the latest end of track
  int format = 0;                    // 0 or 1
  int trackCount = 0;
};

// True when the bytes begin like a Standard MIDI File or an RMID form (cheap; ParseMidiFile decides).
bool LooksLikeMidiFile(const uint8_t* data, size_t size);

// The longest song the sequencer takes: 15 minutes, as for sampled music. A song's length is its latest end of
// track; a file may declare years with a few bytes.
constexpr int64_t kLongestSongMicroseconds = int64_t{15} * 60 * 1000000;

// Reads a whole file image. False for anything that is not a complete, well-formed type 0 or 1 file: a missing
// or short header, a track whose length runs past the data, a malformed event, running status without a status;
// and for a song longer than kLongestSongMicroseconds.
bool ParseMidiFile(const uint8_t* data, size_t size, MidiSequence* out);

}  // namespace media
