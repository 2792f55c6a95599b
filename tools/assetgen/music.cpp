// The stage music: 40 bars at 150 beats a minute in A minor (groove, tune, tune with harmony, bridge, climax),
// synthesised into a circular buffer so that every tail and echo that runs past the end sounds at the start: the
// file loops without a seam.
#include <cmath>
#include <thread>

#include "canvas.h"
#include "sound_set.h"

namespace assetgen {
namespace {

const int kStep = kRate * 60 / 150 / 4;  // samples in a sixteenth: 4410
const int kBars = 40;
const long kFrames = static_cast<long>(kBars) * 16 * kStep;

float Hz(float key) { return 440.0f * std::pow(2.0f, (key - 69) / 12); }

// Stereo bus of kFrames frames, written circularly.
struct Bus {
  Samples data = Samples(static_cast<size_t>(kFrames) * 2);
  void Add(long frame, float left, float right) {
    size_t i = static_cast<size_t>(((frame % kFrames) + kFrames) % kFrames) * 2;
    data[i] += left;
    data[i + 1] += right;
  }
};

// Renders one voice of `seconds` at a start frame, panned (-1 left .. 1 right).
void Voice(Bus& bus, long start, float seconds, float pan, float gain, const std::function<float(float)>& sound) {
  long count = static_cast<long>(seconds * kRate);
  float left = gain * std::sqrt(0.5f * (1 - pan)), right = gain * std::sqrt(0.5f * (1 + pan));
  for (long i = 0; i < count; ++i) {
    float v = sound(static_cast<float>(i) / kRate);
    bus.Add(start + i, v * left, v * right);
  }
}

// Gate: 1 while held, then a release of the given time, with a short attack.
float Gate(float t, float held, float attack, float release) {
  float a = attack > 0 ? std::min(1.0f, t / attack) : 1;
  return t < held ? a : a * std::max(0.0f, 1 - (t - held) / release);
}

void Kick(Bus& bus, long at, float velocity) {
  float phase = 0;
  Voice(bus, at, 0.32f, 0, velocity, [phase](float t) mutable {
    float f = 44 + 120 * std::exp(-t / 0.028f);
    phase += f / kRate;
    return std::sin(kTwoPi * phase) * std::exp(-t / 0.16f) * std::min(1.0f, (0.32f - t) / 0.02f);
  });
}

void Snare(Bus& bus, long at, float velocity, uint32_t seed) {
  Noise noise(seed);
  Filter filter;
  Voice(bus, at, 0.22f, 0.1f, velocity, [=](float t) mutable {
    float n = noise.Next();
    float bright = n - filter.Low(n, 1800);
    float tone = std::sin(kTwoPi * 190 * t) * std::exp(-t / 0.04f);
    return (0.6f * tone + bright * std::exp(-t / 0.07f)) * std::min(1.0f, (0.22f - t) / 0.02f);
  });
}

void Hat(Bus& bus, long at, float velocity, bool open, uint32_t seed) {
  Noise noise(seed);
  Filter filter;
  float length = open ? 0.22f : 0.05f;
  Voice(bus, at, length, -0.35f, velocity, [=](float t) mutable {
    float n = noise.Next();
    return (n - filter.Low(n, 7000)) * std::exp(-t / (open ? 0.07f : 0.012f)) * std::min(1.0f, (length - t) / 0.01f);
  });
}

void Crash(Bus& bus, long at, uint32_t seed) {
  Noise noise(seed);
  Filter filter;
  Voice(bus, at, 1.8f, 0.3f, 0.35f, [=](float t) mutable {
    float n = noise.Next();
    float metal = Square(std::fmod(t * 587, 1.0f), 587.0f / kRate) * Square(std::fmod(t * 845, 1.0f), 845.0f / kRate);
    return ((n - filter.Low(n, 4500)) + 0.2f * metal) * std::exp(-t / 0.55f) * std::min(1.0f, (1.8f - t) / 0.2f);
  });
}

void Bass(Bus& bus, long at, float key, float held) {
  float phase = 0, sub = 0, f = Hz(key);
  Filter filter;
  Voice(bus, at, held + 0.04f, 0, 0.45f, [=](float t) mutable {
    phase += f / kRate;
    phase -= std::floor(phase);
    sub += 0.5f * f / kRate;
    sub -= std::floor(sub);
    float raw = Saw(phase, f / kRate) + 0.8f * Square(sub, 0.5f * f / kRate);
    float cutoff = 180 + 1600 * std::exp(-t / 0.07f);
    return filter.Low(raw, cutoff, 0.45f) * Gate(t, held, 0.003f, 0.04f);
  });
}

void Lead(Bus& bus, long at, float key, float held, float gain, float pan) {
  float a = 0, b = 0, c = 0, f = Hz(key);
  Filter filter;
  Voice(bus, at, held + 0.1f, pan, gain, [=](float t) mutable {
    float vibrato = 1 + 0.004f * std::sin(kTwoPi * 5.5f * t) * SmoothStep(0.15f, 0.35f, t);
    float fa = f * 1.0035f * vibrato, fb = f * 0.9965f * vibrato;
    a += fa / kRate, b += fb / kRate, c += 0.5f * f * vibrato / kRate;
    a -= std::floor(a), b -= std::floor(b), c -= std::floor(c);
    float raw = Saw(a, fa / kRate) + Saw(b, fb / kRate) + 0.5f * Square(c, 0.5f * f / kRate);
    float cutoff = 2200 + 2600 * std::exp(-t / 0.12f);
    return filter.Low(raw, cutoff, 0.6f) * Gate(t, held, 0.008f, 0.1f) * 0.5f;
  });
}

void Pluck(Bus& bus, long at, float key, float pan) {
  float phase = 0, f = Hz(key);
  Filter filter;
  Voice(bus, at, 0.2f, pan, 0.16f, [=](float t) mutable {
    phase += f / kRate;
    phase -= std::floor(phase);
    float raw = Square(phase, f / kRate, 0.25f);
    return filter.Low(raw, 800 + 4000 * std::exp(-t / 0.04f), 0.5f) * std::exp(-t / 0.07f) *
           std::min(1.0f, (0.2f - t) / 0.03f);
  });
}

void Pad(Bus& bus, long at, float key, float held) {
  for (int side = -1; side <= 1; side += 2) {
    float a = 0, b = 0, f = Hz(key);
    Filter filter;
    float detune = side * 0.006f;
    Voice(bus, at, held + 0.5f, side * 0.7f, 0.07f, [=](float t) mutable {
      float fa = f * (1 + detune), fb = f * (1 - detune * 0.5f);
      a += fa / kRate, b += fb / kRate;
      a -= std::floor(a), b -= std::floor(b);
      return filter.Low(Saw(a, fa / kRate) + Saw(b, fb / kRate), 1300, 0.9f) * Gate(t, held, 0.25f, 0.5f);
    });
  }
}

// A key moved by `degrees` steps of the A minor scale (G sharp counts as G).
float Diatonic(int key, int degrees) {
  const int fromA[7] = {0, 2, 3, 5, 7, 8, 10};  // A B C D E F G
  int a = key - 9, octave = a / 12, pc = a % 12 == 11 ? 10 : a % 12, index = 0;
  for (int i = 0; i < 7; ++i)
    if (fromA[i] == pc) index = i;
  int n = octave * 7 + index + degrees;
  int wrap = n >= 0 ? n / 7 : (n - 6) / 7;
  return static_cast<float>(9 + 12 * wrap + fromA[n - wrap * 7]);
}

struct Note {
  int key;     // 0 for a rest
  int eighths;
};

// The main tune, eight bars over Am F C G twice.
const Note kTune[] = {{76, 2}, {81, 2}, {79, 1}, {76, 1}, {74, 1}, {76, 1}, {72, 2}, {77, 2}, {76, 1}, {72, 1}, {69, 2},
                      {67, 2}, {72, 2}, {76, 1}, {79, 1}, {76, 1}, {72, 1}, {74, 3}, {71, 1}, {67, 2}, {71, 1}, {74, 1},
                      {76, 2}, {81, 2}, {83, 1}, {84, 1}, {83, 1}, {81, 1}, {79, 2}, {77, 2}, {76, 1}, {77, 1}, {81, 2},
                      {79, 3}, {76, 1}, {72, 2}, {76, 2}, {74, 4}, {76, 2}, {0, 2}};
// The bridge, over Dm Am Bb E twice.
const Note kBridge[] = {{77, 4}, {81, 4}, {76, 6}, {72, 2}, {74, 4}, {77, 2}, {82, 2}, {80, 6}, {76, 2},
                        {81, 4}, {77, 2}, {74, 2}, {84, 4}, {83, 2}, {81, 2}, {82, 4}, {81, 2}, {77, 2},
                        {80, 4}, {76, 2}, {71, 2}};

struct Chord {
  int bass;
  int tones[3];
};
const Chord kAm{45, {57, 60, 64}}, kF{41, {57, 60, 65}}, kC{48, {55, 60, 64}}, kG{43, {55, 59, 62}},
    kDm{50, {57, 62, 65}}, kBb{46, {58, 62, 65}}, kE{40, {56, 59, 64}};

const Chord& ChordOf(int bar) {
  static const Chord* main[4] = {&kAm, &kF, &kC, &kG};
  static const Chord* bridge[4] = {&kDm, &kAm, &kBb, &kE};
  return bar / 8 == 3 ? *bridge[bar % 4] : *main[bar % 4];
}

long StepFrame(int bar, int step) { return (static_cast<long>(bar) * 16 + step) * kStep; }

void Melody(Bus& bus, int firstBar, const Note* notes, size_t count, int harmony, bool doubled) {
  int eighth = 0;
  for (size_t i = 0; i < count; ++i) {
    const Note& n = notes[i];
    if (n.key) {
      long at = StepFrame(firstBar, eighth * 2);
      float held = n.eighths * 2 * kStep / static_cast<float>(kRate) - 0.03f;
      Lead(bus, at, n.key, held, 0.85f, 0.0f);
      if (harmony) Lead(bus, at, Diatonic(n.key, harmony), held, 0.4f, -0.4f);
      if (doubled) Lead(bus, at, n.key + 12, held, 0.24f, 0.4f);
    }
    eighth += n.eighths;
  }
}

// A circular ping-pong echo of the lead bus, run twice round the loop so the echoes that wrap are in place.
void Echo(Bus& lead, Bus& out) {
  const long delay = 3 * kStep;
  Samples echoL(static_cast<size_t>(kFrames)), echoR(static_cast<size_t>(kFrames));
  for (long pass = 0; pass < 2 * kFrames; ++pass) {
    long i = pass % kFrames, k = (i - delay + kFrames) % kFrames;
    echoL[i] = 0.4f * lead.data[k * 2 + 1] + 0.38f * echoR[k];
    echoR[i] = 0.4f * lead.data[k * 2] + 0.38f * echoL[k];
  }
  for (long i = 0; i < kFrames; ++i) out.Add(i, lead.data[i * 2] + echoL[i] * 0.6f, lead.data[i * 2 + 1] + echoR[i] * 0.6f);
}

// A small circular reverb (four combs into two all-passes per side, run twice round the loop so the tails that
// wrap are in place) of a bus, added to out.
void Reverb(const Bus& in, Bus& out, float wet) {
  const long combs[2][4] = {{3114, 3234, 2982, 2844}, {3160, 3280, 3028, 2890}};
  const long passes[2] = {556, 441};
  for (int side = 0; side < 2; ++side) {
    Samples sum(static_cast<size_t>(kFrames));
    for (long delay : combs[side]) {
      Samples y(static_cast<size_t>(kFrames));
      for (long lap = 0; lap < 2 * kFrames; ++lap) {
        long i = lap % kFrames;
        y[i] = in.data[i * 2 + side] + 0.8f * y[(i - delay + kFrames) % kFrames];
      }
      for (long i = 0; i < kFrames; ++i) sum[i] += y[i] * 0.25f;
    }
    for (long delay : passes) {
      Samples y(static_cast<size_t>(kFrames));
      for (long lap = 0; lap < 2 * kFrames; ++lap) {
        long i = lap % kFrames, k = (i - delay + kFrames) % kFrames;
        y[i] = -0.5f * sum[i] + sum[k] + 0.5f * y[k];
      }
      sum.swap(y);
    }
    for (long i = 0; i < kFrames; ++i) out.data[i * 2 + side] += wet * sum[i];
  }
}

// The parts of the arrangement, each rendered into a bus of its own (in parallel) and then summed.
enum Part { kDrums, kBassAndPluck, kPads };

void RenderPart(Bus& bus, Part part, uint64_t seed) {
  uint32_t noiseSeed = static_cast<uint32_t>(seed) * 7919u + 1;
  for (int bar = 0; bar < kBars; ++bar) {
    int section = bar / 8;
    const Chord& chord = ChordOf(bar);
    if (part == kDrums) {
      for (int step = 0; step < 16; ++step) {
        long at = StepFrame(bar, step);
        bool kick = false, snare = false;
        switch (section) {
          case 0: kick = step == 0 || step == 8 || step == 10; snare = step == 4 || step == 12; break;
          case 3: kick = step == 0 || step == 10; snare = step == 8; break;
          case 4: kick = step % 4 == 0 || (bar % 2 && step == 14); snare = step == 4 || step == 12; break;
          default: kick = step == 0 || step == 6 || step == 8; snare = step == 4 || step == 12; break;
        }
        bool fill = (bar % 8 == 7) && step >= (bar == kBars - 1 ? 8 : 12);
        if (kick) Kick(bus, at, 0.9f);
        if (snare && !fill) Snare(bus, at, 0.5f, noiseSeed++);
        if (fill) Snare(bus, at, 0.25f + 0.3f * (step - 8) / 8.0f, noiseSeed++);
        bool sixteenths = section == 2 || section == 4;
        if (step % 2 == 0 || sixteenths)
          Hat(bus, at, step % 4 == 2 ? 0.22f : 0.12f, section == 4 && step % 4 == 2, noiseSeed++);
      }
      if (bar % 8 == 0) Crash(bus, StepFrame(bar, 0), noiseSeed++);
    } else if (part == kBassAndPluck) {
      // Bass: driving eighths with octave jumps; long notes in the bridge; a walk up into the loop's start.
      const int pattern[8] = {0, 0, 12, 0, 0, 12, 7, 12};
      const int walk[4] = {4, 4, 7, 9};
      for (int e = 0; e < 8; ++e) {
        if (section == 3 && e % 4 != 0) continue;
        float key = static_cast<float>(chord.bass + pattern[e]);
        if (section == 3) key = static_cast<float>(chord.bass + (e ? 7 : 0));
        if (bar == kBars - 1 && e >= 4) key = static_cast<float>(43 + walk[e - 4]);
        float held = (section == 3 ? 8 : 2) * kStep / static_cast<float>(kRate) - 0.02f;
        Bass(bus, StepFrame(bar, e * 2), key, held);
      }
      // A plucked arpeggio in sixteenths outside the bridge.
      const int order[8] = {0, 1, 2, 3, 2, 1, 3, 1};
      for (int step = 0; section != 3 && step < 16; ++step) {
        int index = order[step % 8];
        int key = index == 3 ? chord.tones[0] + 24 : chord.tones[index] + 12;
        Pluck(bus, StepFrame(bar, step), static_cast<float>(key), step % 2 ? 0.5f : -0.5f);
      }
    } else {
      for (int tone : chord.tones)
        Pad(bus, StepFrame(bar, 0), static_cast<float>(tone), 16 * kStep / static_cast<float>(kRate));
    }
  }
}

}  // namespace

Samples MakeStageMusic(uint64_t seed) {
  Bus mix, lead, parts[3];
  std::vector<std::thread> workers;
  for (int p = 0; p < 3; ++p) workers.emplace_back([&parts, p, seed] { RenderPart(parts[p], static_cast<Part>(p), seed); });
  Melody(lead, 8, kTune, std::size(kTune), 0, false);
  Melody(lead, 16, kTune, std::size(kTune), -2, false);
  Melody(lead, 24, kBridge, std::size(kBridge), 0, false);
  Melody(lead, 32, kTune, std::size(kTune), -2, true);
  Echo(lead, mix);
  for (std::thread& worker : workers) worker.join();
  Reverb(lead, mix, 0.22f);
  Reverb(parts[kPads], mix, 0.3f);
  for (const Bus& part : parts)
    for (size_t i = 0; i < mix.data.size(); ++i) mix.data[i] += part.data[i];
  // Gentle saturation of the peaks, no offset, and a level that leaves room for the effects.
  Normalize(mix.data, 1.3f);
  for (float& v : mix.data) v = std::tanh(v);
  for (int channel = 0; channel < 2; ++channel) {
    double sum = 0;
    for (long i = 0; i < kFrames; ++i) sum += mix.data[i * 2 + channel];
    float mean = static_cast<float>(sum / kFrames);
    for (long i = 0; i < kFrames; ++i) mix.data[i * 2 + channel] -= mean;
  }
  Normalize(mix.data, level::kMusic);
  return std::move(mix.data);
}

}  // namespace assetgen
