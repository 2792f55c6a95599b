// Standard MIDI File reader. Every length in a file is checked against the bytes that hold it before it is
// used, and times saturate instead of wrapping, so a damaged or hostile file is refused or merely long.
#include "platform/media/smf.h"

#include <algorithm>
#include <cstring>

namespace media {
namespace {

constexpr int64_t kTimeLimit = int64_t{1} << 62;  // microseconds; far beyond any song, and room to add to
constexpr uint32_t kDefaultTempo = 500000;        // microseconds per quarter note until a tempo event

uint32_t ReadBigEndian32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
uint16_t ReadBigEndian16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t ReadLittleEndian32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// A cursor over one track's bytes that never moves past its end.
class TrackReader {
 public:
  TrackReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool AtEnd() const { return position_ >= size_; }
  bool Byte(uint8_t* out) {
    if (position_ >= size_) return false;
    *out = data_[position_++];
    return true;
  }
  bool Peek(uint8_t* out) const {
    if (position_ >= size_) return false;
    *out = data_[position_];
    return true;
  }
  // A variable-length quantity: at most four bytes, seven bits each.
  bool Quantity(uint32_t* out) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b;
      if (!Byte(&b)) return false;
      value = value << 7 | (b & 0x7F);
      if (!(b & 0x80)) {
        *out = value;
        return true;
      }
    }
    return false;
  }
  bool Bytes(uint32_t count, const uint8_t** out) {
    if (count > size_ - position_) return false;
    *out = data_ + position_;
    position_ += count;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

struct TimedEvent {
  uint64_t tick;
  MidiEvent event;
};
struct TempoChange {
  uint64_t tick;
  uint32_t microsecondsPerQuarter;
};

int DataBytesOf(uint8_t status) { return (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2; }

// Reads one MTrk body; appends its events and tempo changes and returns its end tick through endTick.
bool ReadTrack(const uint8_t* body, size_t size, std::vector<TimedEvent>* events, std::vector<TempoChange>* tempos,
               std::vector<uint8_t>* sysex, uint64_t* endTick) {
  TrackReader reader(body, size);
  uint64_t tick = 0;
  uint8_t running = 0;
  while (!reader.AtEnd()) {
    uint32_t delta;
    if (!reader.Quantity(&delta)) return false;
    tick = std::min<uint64_t>(tick + delta, uint64_t{1} << 62);
    uint8_t status;
    if (!reader.Peek(&status)) return false;
    if (status & 0x80) {
      reader.Byte(&status);
    } else {
      if (running == 0) return false;  // a data byte with no status to run on
      status = running;
    }
    if (status < 0xF0) {
      running = status;
      MidiEvent event;
      event.status = status;
      uint8_t data[2] = {0, 0};
      for (int i = 0; i < DataBytesOf(status); ++i) {
        if (!reader.Byte(&data[i]) || (data[i] & 0x80)) return false;
      }
      event.data1 = data[0];
      event.data2 = data[1];
      events->push_back({tick, event});
    } else if (status == 0xFF) {
      uint8_t type;
      uint32_t length;
      const uint8_t* payload;
      if (!reader.Byte(&type) || !reader.Quantity(&length) || !reader.Bytes(length, &payload)) return false;
      if (type == 0x2F) break;  // end of track; anything after it is not played
      if (type == 0x51 && length >= 3) {
        uint32_t tempo = uint32_t{payload[0]} << 16 | uint32_t{payload[1]} << 8 | payload[2];
        if (tempo > 0) tempos->push_back({tick, tempo});
      }
    } else if (status == 0xF0 || status == 0xF7) {
      uint32_t length;
      const uint8_t* payload;
      if (!reader.Quantity(&length) || !reader.Bytes(length, &payload)) return false;
      running = 0;
      if (status == 0xF0) {  // kept without its framing bytes; F7 escapes carry nothing the synthesiser needs
        uint32_t kept = length > 0 && payload[length - 1] == 0xF7 ? length - 1 : length;
        MidiEvent event;
        event.status = 0xF0;
        event.sysexOffset = static_cast<uint32_t>(sysex->size());
        event.sysexLength = kept;
        sysex->insert(sysex->end(), payload, payload + kept);
        events->push_back({tick, event});
      }
    } else {
      return false;  // system common and real-time messages do not belong in a file
    }
  }
  *endTick = tick;
  return true;
}

int64_t SaturatingAdd(int64_t a, int64_t b) { return a > kTimeLimit - b ? kTimeLimit : a + b; }

// Microseconds of a tick span at a tempo, without overflow: the product is taken in 128 bits.
int64_t SpanMicroseconds(uint64_t ticks, uint64_t numerator, uint64_t denominator) {
  unsigned __int128 product = static_cast<unsigned __int128>(ticks) * numerator / denominator;
  return product > static_cast<unsigned __int128>(kTimeLimit) ? kTimeLimit : static_cast<int64_t>(product);
}

// Turns ticks into microseconds along the tempo map (ticks per quarter note) or at a fixed SMPTE rate.
class TickClock {
 public:
  TickClock(uint16_t division, std::vector<TempoChange> tempos) : tempos_(std::move(tempos)) {
    std::stable_sort(tempos_.begin(), tempos_.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    if (division & 0x8000) {
      int framesPerSecond = -static_cast<int8_t>(division >> 8);
      uint64_t ticksPerFrame = division & 0xFF;
      smpte_ = true;
      // 29 stands for 29.97 frames a second (30000/1001).
      numerator_ = framesPerSecond == 29 ? 1000000ull * 1001 : 1000000ull;
      denominator_ = (framesPerSecond == 29 ? 30000ull : static_cast<uint64_t>(framesPerSecond)) * ticksPerFrame;
    } else {
      denominator_ = division;
    }
  }
  bool Valid() const { return denominator_ != 0; }
  // Ticks must be asked for in rising order.
  int64_t At(uint64_t tick) {
    if (smpte_) return SpanMicroseconds(tick, numerator_, denominator_);
    while (next_ < tempos_.size() && tempos_[next_].tick <= tick) {
      base_ = SaturatingAdd(base_, SpanMicroseconds(tempos_[next_].tick - baseTick_, tempo_, denominator_));
      baseTick_ = tempos_[next_].tick;
      tempo_ = tempos_[next_].microsecondsPerQuarter;
      ++next_;
    }
    return SaturatingAdd(base_, SpanMicroseconds(tick - baseTick_, tempo_, denominator_));
  }

 private:
  std::vector<TempoChange> tempos_;
  bool smpte_ = false;
  uint64_t numerator_ = 0, denominator_ = 0;
  size_t next_ = 0;
  uint64_t baseTick_ = 0;
  int64_t base_ = 0;
  uint64_t tempo_ = kDefaultTempo;
};

bool ValidSmpteRate(uint16_t division) {
  if (!(division & 0x8000)) return division != 0;
  int framesPerSecond = -static_cast<int8_t>(division >> 8);
  bool known = framesPerSecond == 24 || framesPerSecond == 25 || framesPerSecond == 29 || framesPerSecond == 30;
  return known && (division & 0xFF) != 0;
}

// The SMF inside an RMID form: the body of its "data" chunk. Null when the form has none that fits.
const uint8_t* FindRmidData(const uint8_t* data, size_t size, size_t* bodySize) {
  size_t end = std::min<size_t>(size, size_t{ReadLittleEndian32(data + 4)} + 8);
  size_t position = 12;
  while (end >= 8 && position <= end - 8) {
    uint32_t length = ReadLittleEndian32(data + position + 4);
    if (length > end - position - 8) return nullptr;
    if (std::memcmp(data + position, "data", 4) == 0) {
      *bodySize = length;
      return data + position + 8;
    }
    position += 8 + size_t{length} + (length & 1);
  }
  return nullptr;
}

bool IsRmid(const uint8_t* data, size_t size) {
  return size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "RMID", 4) == 0;
}

}  // namespace

bool LooksLikeMidiFile(const uint8_t* data, size_t size) {
  return (size >= 4 && std::memcmp(data, "MThd", 4) == 0) || IsRmid(data, size);
}

bool ParseMidiFile(const uint8_t* data, size_t size, MidiSequence* out) {
  if (data == nullptr || out == nullptr) return false;
  if (IsRmid(data, size)) {
    data = FindRmidData(data, size, &size);
    if (data == nullptr) return false;
  }
  if (size < 14 || std::memcmp(data, "MThd", 4) != 0) return false;
  uint32_t headerLength = ReadBigEndian32(data + 4);
  if (headerLength < 6 || headerLength > size - 8) return false;
  int format = ReadBigEndian16(data + 8);
  int declaredTracks = ReadBigEndian16(data + 10);
  uint16_t division = ReadBigEndian16(data + 12);
  if (format > 1 || declaredTracks == 0 || !ValidSmpteRate(division)) return false;

  std::vector<TimedEvent> events;
  std::vector<TempoChange> tempos;
  MidiSequence sequence;
  uint64_t endTick = 0;
  size_t position = 8 + size_t{headerLength};
  int tracks = 0;
  while (tracks < declaredTracks) {
    if (size - position < 8) return false;  // fewer tracks than the header declares
    uint32_t length = ReadBigEndian32(data + position + 4);
    if (length > size - position - 8) return false;
    const uint8_t* body = data + position + 8;
    if (std::memcmp(data + position, "MTrk", 4) == 0) {
      uint64_t trackEnd = 0;
      if (!ReadTrack(body, length, &events, &tempos, &sequence.sysex, &trackEnd)) return false;
      endTick = std::max(endTick, trackEnd);
      ++tracks;
    }
    position += 8 + size_t{length};
  }

  std::stable_sort(events.begin(), events.end(),
                   [](const TimedEvent& a, const TimedEvent& b) { return a.tick < b.tick; });
  TickClock clock(division, std::move(tempos));
  if (!clock.Valid()) return false;
  sequence.events.reserve(events.size());
  for (TimedEvent& timed : events) {
    timed.event.microseconds = clock.At(timed.tick);
    sequence.events.push_back(timed.event);
  }
  sequence.lengthMicroseconds = clock.At(endTick);
  if (sequence.lengthMicroseconds > kLongestSongMicroseconds) return false;
  sequence.format = format;
  sequence.trackCount = tracks;
  *out = std::move(sequence);
  return true;
}

}  // namespace media
