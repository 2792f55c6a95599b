// Standard MIDI File reading: types 0 and 1 and the RMID form recognised by content, event times along the
// tempo map, and damaged or hostile files refused without reading past their bytes (inputs are copied into
// exact-size heap blocks, so the sanitizer build sees any overrun).
#include <gtest/gtest.h>

#include "platform/media/smf.h"
#include "support/midi_writers.h"

using testing_support::Bytes;
using testing_support::MidiFile;
using testing_support::Track;

namespace {

bool Parse(const Bytes& bytes, media::MidiSequence* out) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() + 1]);
  std::copy(bytes.begin(), bytes.end(), exact.get());
  return media::ParseMidiFile(exact.get(), bytes.size(), out);
}

// 480 ticks a quarter: 0.5 s per quarter, then 0.25 s from tick 480; notes at ticks 0, 480 and 960.
Bytes TempoSong() {
  Track conductor, notes;
  conductor.Tempo(0, 500000).Tempo(480, 250000).End(960);
  notes.Event(0, {0x90, 60, 100}).Event(480, {0x80, 60, 0}).Event(0, {0x90, 62, 100}).Event(480, {62, 0});
  notes.End(480);  // the second note off ran on the 0x90 status (velocity 0)
  return MidiFile(1, 480, {conductor, notes});
}

}  // namespace

TEST(SmfTest, TypesZeroOneAndRmidAreRecognisedByContent) {
  Track single;
  single.Event(0, {0xC0, 5}).Event(10, {0x90, 60, 90}).End(10);
  for (const Bytes& file : {MidiFile(0, 96, {single}), TempoSong(), testing_support::RmidFile(TempoSong())}) {
    EXPECT_TRUE(media::LooksLikeMidiFile(file.data(), file.size()));
    media::MidiSequence sequence;
    ASSERT_TRUE(Parse(file, &sequence));
    EXPECT_FALSE(sequence.events.empty());
  }
  media::MidiSequence rmid;
  ASSERT_TRUE(Parse(testing_support::RmidFile(TempoSong()), &rmid));
  EXPECT_EQ(rmid.format, 1);
  EXPECT_EQ(rmid.trackCount, 2);
}

TEST(SmfTest, EventTimesFollowTheTempoMap) {
  media::MidiSequence sequence;
  ASSERT_TRUE(Parse(TempoSong(), &sequence));
  std::vector<std::pair<int64_t, int>> got;
  for (const auto& e : sequence.events) got.push_back({e.microseconds, e.status});
  std::vector<std::pair<int64_t, int>> want = {{0, 0x90}, {500000, 0x80}, {500000, 0x90}, {750000, 0x90}};
  EXPECT_EQ(got, want);
  EXPECT_EQ(sequence.lengthMicroseconds, 1000000);

  // SMPTE: 25 frames of 40 ticks, so a tick is a millisecond whatever the tempo says.
  Track smpte;
  smpte.Tempo(0, 100000).Event(250, {0x90, 60, 1}).End(750);
  ASSERT_TRUE(Parse(MidiFile(0, 0xE728, {smpte}), &sequence));
  EXPECT_EQ(sequence.events.at(0).microseconds, 250000);
  EXPECT_EQ(sequence.lengthMicroseconds, 1000000);
}

TEST(SmfTest, DamagedAndHostileFilesAreRefused) {
  Bytes good = TempoSong();
  auto withByte = [&](size_t at, uint8_t value) {
    Bytes b = good;
    b.at(at) = value;
    return b;
  };
  Track orphan, longQuantity;
  orphan.bytes = {0x00, 60, 100};  // a data byte before any status
  longQuantity.bytes = {0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 1};
  Bytes text(good.size(), 'a');
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"text", text},
      {"header cut", Bytes(good.begin(), good.begin() + 10)},
      {"absurd track length", withByte(18, 0xFF)},
      {"type 2", withByte(9, 2)},
      {"no tracks", withByte(11, 0)},
      {"more tracks declared than present", withByte(11, 3)},
      {"division 0", [&] { Bytes b = withByte(12, 0); b[13] = 0; return b; }()},
      {"running status without status", MidiFile(0, 96, {orphan})},
      {"five-byte quantity", MidiFile(0, 96, {longQuantity})},
      {"system common message", MidiFile(0, 96, {Track().Event(0, {0xF1, 0}).End(0)})},
      {"RMID data chunk past its end", [&] { Bytes b = testing_support::RmidFile(good); b[16] = 0xF0; return b; }()},
  };
  for (const auto& [name, bytes] : cases) {
    media::MidiSequence sequence;
    EXPECT_FALSE(Parse(bytes, &sequence)) << name;
  }
  for (size_t cut = 0; cut < good.size(); ++cut) {  // every truncation cuts the last track short
    media::MidiSequence sequence;
    EXPECT_FALSE(Parse(Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(cut)), &sequence)) << cut;
  }
}
