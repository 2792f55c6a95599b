// Sound toolkit of the asset generator: oscillators, envelopes, filters, and WAV, Ogg Vorbis and MIDI output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

constexpr int kRate = 44100;
constexpr float kTwoPi = 6.28318530718f;

// Mono or interleaved stereo samples in -1..1.
using Samples = std::vector<float>;

// Band-limited sawtooth and square at phase 0..1 with phase step dt (PolyBLEP).
float Saw(float phase, float dt);
float Square(float phase, float dt, float width = 0.5f);
// A triangle at phase 0..1.
float Triangle(float phase);

// A state-variable low/band-pass filter, one sample at a time.
struct Filter {
  float low = 0, band = 0;
  // Runs one sample through at cutoff (Hz) and resonance damping q (0.1 sharp .. 1.4 soft); returns the low pass.
  float Low(float in, float cutoff, float q = 0.7f);
};

// White noise from a fixed generator.
struct Noise {
  uint32_t state;
  explicit Noise(uint32_t seed) : state(seed | 1) {}
  float Next();
};

// Attack in seconds then exponential decay with the given time constant; 0 before start.
float Envelope(float t, float attack, float decay);
// A linear fade from 1 to 0 over the last fadeSeconds of a sound of the given length.
float TailFade(float t, float length, float fadeSeconds);

// Scales samples so that the largest magnitude is peak.
void Normalize(Samples& s, float peak);

// Writes 16-bit PCM WAV (channels 1 or 2).
bool WriteWav(const std::string& path, const Samples& s, int channels);
// Writes Ogg Vorbis at a quality of 0..1 (channels 1 or 2); the decoded length equals the input's.
bool WriteOgg(const std::string& path, const Samples& s, int channels, float quality, uint32_t serial);

// A Standard MIDI File of format 0 (one track) being built: events at ticks, then written.
class MidiTrack {
 public:
  explicit MidiTrack(int ticksPerQuarter) : division_(ticksPerQuarter) {}
  void Tempo(uint32_t tick, int microsecondsPerQuarter);
  void Program(uint32_t tick, int channel, int program);
  void Control(uint32_t tick, int channel, int controller, int value);
  // A note from tick for length ticks at velocity.
  void Note(uint32_t tick, uint32_t length, int channel, int key, int velocity);
  bool Write(const std::string& path) const;

 private:
  struct Event {
    uint32_t tick;
    int order;  // note-offs before note-ons at the same tick
    std::vector<uint8_t> bytes;
  };
  int division_;
  std::vector<Event> events_;
};

}  // namespace assetgen
