// A Standard MIDI File playing on the General MIDI synthesiser as a source of the host's mixer: the sound of
// the MCI sequencer's devices and of DirectMusic segments alike, so a file sounds the same through either. A
// song can repeat without a gap; a song whose end is told to the program (a notice posted to a window) lets a
// clock-driven output stop at that end, so that a restart in answer follows it at the very next frame.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/media/midi_synth.h"
#include "platform/media/mixer.h"

namespace media {

enum class SongFileResult { kRead, kMissing, kInvalid };

// Reads and parses a song file named by a Win32-style path. Files beyond 16 MB are refused without reading.
SongFileResult ReadSongFile(const char* path, std::shared_ptr<const MidiSequence>* out);

// Repeats without end.
constexpr uint32_t kEndlessRepeats = 0xFFFFFFFFu;

class SongVoice : public MixerSource {
 public:
  // A null synthesiser makes a voice that never sounds (the machine has no SoundFont).
  SongVoice(std::shared_ptr<const MidiSequence> sequence, std::shared_ptr<MidiSynth> synth);

  bool HasSynth() const { return player_ != nullptr; }
  // Plays from a time of the song, taking the synthesiser over from any other voice.
  void Play(int64_t fromMicroseconds);
  // Stops; the position stays.
  void Stop();
  bool Playing();
  // Playing, and the song the synthesiser sounds now.
  bool Sounding();
  // True from a told end on the last mixed frame until a later frame is mixed: a restart now follows the end
  // without a gap, so the caller need not bring the output up to the present first.
  bool JustEnded();
  // Restarts at the song's end before it ends for good (kEndlessRepeats: never ends).
  void SetRepeats(uint32_t repeats);
  // Amplitude factor of the song's output.
  void SetGain(float gain);

  void MixInto(int32_t* mix, int frames) override;
  uint64_t FramesBeforeToldEnd() override;

 protected:
  // Whether the end is told to the program now; it is told through Ended, called while mixing with lock_
  // held once the song has ended for good, on whatever thread mixes: it marks its notice (MarkedNotices).
  virtual bool TellsEnd() const { return false; }
  virtual void Ended() {}
  // The same operations for a caller that holds lock_.
  void PlayLocked(int64_t fromMicroseconds);
  void StopLocked();
  void SetRepeatsLocked(uint32_t repeats) { repeats_ = repeats; }
  int64_t PositionLocked() const { return player_ ? player_->PositionMicroseconds() : 0; }

  std::mutex lock_;

 private:
  std::shared_ptr<MidiSynth> synth_;
  uint64_t token_;
  std::unique_ptr<MidiPlayer> player_;
  uint32_t repeats_ = 0;
  float gain_ = 1.0f;
  ToldEnd toldEnd_;
  std::vector<float> scratch_;
};

}  // namespace media
