// The General MIDI synthesiser (FluidSynth with a SoundFont) and a player that feeds it a Standard MIDI File's
// events at exact sample positions while the mixer pulls its output, so playing time is counted in samples.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/media/smf.h"

namespace media {

// The distribution's General MIDI SoundFont, where one is installed; empty otherwise.
std::string FindSystemSoundFont();

// One synthesiser with its SoundFont loaded. Loading is slow, so the process keeps the last one made and hands
// it out again for the same SoundFont and rate. Every call locks the synthesiser; callers may come from the
// library's thread and the audio thread.
class MidiSynth {
 public:
  // The synthesiser for this SoundFont file and output rate; null when the file cannot be loaded.
  static std::shared_ptr<MidiSynth> Acquire(const std::string& soundFont, int sampleRate);
  ~MidiSynth();
  MidiSynth(const MidiSynth&) = delete;
  MidiSynth& operator=(const MidiSynth&) = delete;

  int SampleRate() const { return sampleRate_; }
  // The one user whose song the synthesiser plays (a token each user makes with NewUserToken); others stay
  // silent, as two songs cannot share one set of channels.
  static uint64_t NewUserToken();
  void Claim(uint64_t user) { user_ = user; }
  bool ClaimedBy(uint64_t user) const { return user_ == user; }
  // Silences every voice and returns programs and controllers to their start.
  void Reset();
  // Releases every sounding note, as at the end of a song.
  void ReleaseNotes();
  // Plays one event at once (sysex points at the sequence's store).
  void Send(const MidiEvent& event, const uint8_t* sysex);
  // Adds frames of interleaved stereo float output (about -1 to 1) to out.
  void RenderAdd(float* out, int frames);

 private:
  struct Engine;
  MidiSynth(std::unique_ptr<Engine> engine, int sampleRate);
  std::mutex lock_;
  std::unique_ptr<Engine> engine_;
  int sampleRate_;
  std::atomic<uint64_t> user_{0};
};

// Plays a sequence on a synthesiser. Not locked: its owner serialises calls.
class MidiPlayer {
 public:
  MidiPlayer(std::shared_ptr<const MidiSequence> sequence, std::shared_ptr<MidiSynth> synth);
  // Starts playing at the given time of the song (events before it are skipped, controllers and programs
  // before it are applied).
  void Play(int64_t fromMicroseconds);
  // Stops the song and silences its notes; the position stays.
  void Stop();
  bool Playing() const { return playing_; }
  // Frames still to play before the song's end (0 when stopped).
  int64_t FramesLeft() const { return playing_ && endSample_ > position_ ? endSample_ - position_ : 0; }
  // The song's length in frames.
  int64_t LengthFrames() const { return endSample_; }
  // Adds frames of output to out; returns true when the song's end was reached within these frames, also at
  // their very last one (playing then stops; the notes' release still sounds in later frames).
  bool RenderAdd(float* out, int frames);
  int64_t PositionMicroseconds() const;

 private:
  void SendUpTo(int64_t sample);
  // Sends the events due by the position; at the song's end stops playing and releases the notes (true).
  bool EndIfDue();
  int64_t SampleOf(int64_t microseconds) const;

  std::shared_ptr<const MidiSequence> sequence_;
  std::shared_ptr<MidiSynth> synth_;
  bool playing_ = false;
  int64_t position_ = 0;   // samples from the song's start
  int64_t endSample_ = 0;
  size_t nextEvent_ = 0;
};

}  // namespace media
