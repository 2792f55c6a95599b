// The five effects, synthesised (short, instant attack, faded tails so that restarts do not click), and the clear
// fanfare as a Standard MIDI File for the General MIDI synthesiser.
#include <cmath>

#include "sound_set.h"

namespace assetgen {
namespace {

// Renders a voice for `seconds`, peaking at `peak`, its last `fade` seconds faded out.
Samples Render(float seconds, float fade, float peak, const std::function<float(float, Noise&)>& voice, uint32_t seed) {
  Samples s(static_cast<size_t>(seconds * kRate));
  Noise noise(seed);
  for (size_t i = 0; i < s.size(); ++i) {
    float t = static_cast<float>(i) / kRate;
    s[i] = voice(t, noise);
  }
  Normalize(s, peak);
  for (size_t i = 0; i < s.size(); ++i) s[i] *= TailFade(static_cast<float>(i) / kRate, seconds, fade);
  return s;
}

// Bright chime: two bell strikes a fifth apart, FM partials that fade into pure tones.
Samples Confirm(uint32_t seed) {
  return Render(0.5f, 0.08f, level::kConfirm, [](float t, Noise&) {
    float sum = 0;
    const float notes[2][2] = {{0.0f, 1318.5f}, {0.075f, 1975.5f}};
    for (auto [start, f] : notes) {
      float u = t - start;
      if (u < 0) continue;
      float index = 2.2f * std::exp(-u / 0.05f);
      float carrier = std::sin(kTwoPi * f * u + index * std::sin(kTwoPi * f * 3.5f * u));
      sum += (carrier + 0.3f * std::sin(kTwoPi * f * 2.01f * u)) * Envelope(u, 0.002f, 0.13f);
    }
    return sum;
  }, seed);
}

// Crisp "pew": a square wave falling fast from 1.7 kHz, a noise click on top.
Samples Shot(uint32_t seed) {
  float phase = 0;
  return Render(0.07f, 0.02f, level::kShot, [phase](float t, Noise& noise) mutable {
    float f = 300 + 1400 * std::exp(-t / 0.018f);
    phase += f / kRate;
    phase -= std::floor(phase);
    float body = Square(phase, f / kRate, 0.3f) * Envelope(t, 0.001f, 0.022f);
    return body + noise.Next() * Envelope(t, 0.0005f, 0.004f) * 0.6f;
  }, seed);
}

// Crunch: filtered noise closing down, a thud falling under it, driven into saturation.
Samples PlayerHit(uint32_t seed) {
  float phase = 0;
  Filter filter;
  return Render(0.42f, 0.1f, level::kPlayerHit, [phase, filter](float t, Noise& noise) mutable {
    float f = 40 + 140 * std::exp(-t / 0.06f);
    phase += f / kRate;
    float thud = std::sin(kTwoPi * phase) * Envelope(t, 0.002f, 0.12f);
    float crunch = filter.Low(noise.Next(), 300 + 5000 * std::exp(-t / 0.05f), 0.5f) * Envelope(t, 0.001f, 0.09f);
    return std::tanh(2.5f * (thud + 1.4f * crunch));
  }, seed);
}

// The boss laser: a searing zap falling through two octaves in the first tenth of a second, then a wide buzzing
// beam that sustains and fades.
Samples Laser(uint32_t seed) {
  float zap = 0, buzzA = 0, buzzB = 0;
  Filter filter;
  return Render(0.85f, 0.15f, level::kLaser, [=](float t, Noise& noise) mutable {
    float fz = 400 + 2600 * std::exp(-t / 0.035f);
    zap += fz / kRate;
    zap -= std::floor(zap);
    float zapVoice = (Saw(zap, fz / kRate) + 0.5f * std::sin(kTwoPi * zap * 2)) * Envelope(t, 0.001f, 0.06f);
    buzzA += 110 / static_cast<float>(kRate);
    buzzB += 166 / static_cast<float>(kRate);
    buzzA -= std::floor(buzzA);
    buzzB -= std::floor(buzzB);
    float wobble = 900 + 600 * std::sin(kTwoPi * 14 * t);
    float beam = filter.Low(Saw(buzzA, 110.0f / kRate) + Saw(buzzB, 166.0f / kRate) + 0.3f * noise.Next(), wobble, 0.4f);
    float swell = std::min(1.0f, t / 0.03f) * (0.8f - 0.45f * t);
    return std::tanh(1.1f * (zapVoice + 0.8f * beam * swell));
  }, seed);
}

// A short pop: a sine falling from 1.1 kHz with a noise tick.
Samples EnemyHit(uint32_t seed) {
  float phase = 0;
  return Render(0.07f, 0.02f, level::kEnemyHit, [phase](float t, Noise& noise) mutable {
    float f = 350 + 800 * std::exp(-t / 0.012f);
    phase += f / kRate;
    return std::sin(kTwoPi * phase) * Envelope(t, 0.0008f, 0.016f) + noise.Next() * Envelope(t, 0.0003f, 0.003f);
  }, seed);
}

}  // namespace

std::vector<Effect> MakeEffects(uint64_t seed) {
  uint32_t s = static_cast<uint32_t>(seed);
  return {{"m30101.snd", Confirm(s + 1)},
          {"m30102.snd", Shot(s + 2)},
          {"m30103.snd", PlayerHit(s + 3)},
          {"m30104.snd", Laser(s + 4)},
          {"m30105.snd", EnemyHit(s + 5)}};
}

bool WriteFanfare(const std::string& path) {
  const int q = 480;  // ticks per quarter
  MidiTrack track(q);
  track.Tempo(0, 60000000 / 132);
  enum { kTrumpet, kBrass, kStrings, kTimpani, kHorn, kDrums = 9 };
  track.Program(0, kTrumpet, 56);
  track.Program(0, kBrass, 61);
  track.Program(0, kStrings, 48);
  track.Program(0, kTimpani, 47);
  track.Program(0, kHorn, 60);
  // Channel volumes about 15 dB below the synthesiser's usual level: the fanfare sounds over the stage music and the
  // effects, and the sum stays below full scale.
  for (int ch : {int{kTrumpet}, int{kBrass}, int{kStrings}, int{kTimpani}, int{kHorn}, int{kDrums}})
    track.Control(0, ch, 7, ch == kStrings ? 38 : ch == kDrums ? 42 : 46);
  // The trumpet's tune: (start in quarters times 3, length in quarters times 3, key); triplets are 1 unit.
  struct Step {
    int start, length, key;
  };
  const Step tune[] = {{0, 1, 67},  {1, 1, 67},  {2, 1, 67},  {3, 3, 72},  {6, 3, 76},  {9, 3, 79},
                       {12, 4, 81}, {16, 2, 79}, {18, 3, 77}, {21, 3, 81}, {24, 4, 79}, {28, 2, 77},
                       {30, 3, 76}, {33, 3, 74}, {36, 6, 76}, {42, 6, 72}, {48, 1, 69}, {49, 1, 69},
                       {50, 1, 69}, {51, 3, 72}, {54, 3, 77}, {57, 3, 81}, {60, 4, 83}, {64, 2, 81},
                       {66, 3, 79}, {69, 3, 74}, {72, 24, 84}};
  for (const Step& s : tune) track.Note(s.start * q / 3, s.length * q / 3 - 20, kTrumpet, s.key, 112);
  // Harmony, one chord per bar, the last held for two bars: C, F, G, C, F, G, C.
  const int chords[7][4] = {{48, 55, 64, 67}, {53, 57, 65, 69}, {55, 59, 62, 67}, {48, 55, 64, 67},
                            {53, 57, 65, 72}, {55, 59, 65, 71}, {48, 55, 64, 72}};
  for (int bar = 0; bar < 7; ++bar) {
    int length = bar == 6 ? 8 * q : 4 * q;
    for (int half = 0; half < (bar == 6 ? 1 : 2); ++half)
      for (int k = 1; k < 4; ++k)
        track.Note(bar * 4 * q + half * 2 * q, (bar == 6 ? length : 2 * q) - 30, kBrass, chords[bar][k], 92);
    for (int k = 0; k < 4; ++k) track.Note(bar * 4 * q, length - 10, kStrings, chords[bar][k] + 12, 80);
    track.Note(bar * 4 * q, length - 10, kHorn, chords[bar][0] + 12, 84);
    int root = chords[bar][0] - 12, fifth = chords[bar][1] - 12;
    track.Note(bar * 4 * q, q, kTimpani, root, 110);
    if (bar < 6) track.Note(bar * 4 * q + 2 * q, q, kTimpani, fifth, 96);
  }
  // A timpani roll into the last chord, and the drums: kicks on the downbeats, snare triplets, crashes.
  for (int i = 0; i < 12; ++i) track.Note(5 * 4 * q + 2 * q + i * q / 6, q / 6, kTimpani, 43, 60 + i * 5);
  for (int bar = 0; bar < 7; ++bar) {
    track.Note(bar * 4 * q, q / 2, kDrums, 36, 110);
    if (bar < 6) track.Note(bar * 4 * q + 2 * q, q / 2, kDrums, 36, 96);
    if (bar < 6)
      for (int i = 0; i < 3; ++i) track.Note(bar * 4 * q + 3 * q + i * q / 3, q / 3, kDrums, 38, 70 + 15 * i);
  }
  for (int bar : {0, 4, 6}) track.Note(bar * 4 * q, 4 * q, kDrums, 49, 118);
  track.Note(6 * 4 * q, 4 * q, kDrums, 57, 110);
  return track.Write(path);
}

}  // namespace assetgen
