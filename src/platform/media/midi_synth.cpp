// FluidSynth behind the MIDI synthesiser: one engine per SoundFont and rate, kept for the process's life, and
// the sample-accurate player over it.
#include "platform/media/midi_synth.h"

#include <fluidsynth.h>
#include <unistd.h>

#include <algorithm>

namespace media {

struct MidiSynth::Engine {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  ~Engine() {
    if (synth) delete_fluid_synth(synth);
    if (settings) delete_fluid_settings(settings);
  }
};

namespace {

struct SynthCache {
  std::mutex lock;
  std::string soundFont;
  int sampleRate = 0;
  std::shared_ptr<MidiSynth> synth;
};

SynthCache& Cache() {
  static SynthCache* cache = new SynthCache;  // never destroyed: an audio thread may still hold the synth at exit
  return *cache;
}

}  // namespace

std::string FindSystemSoundFont() {
  for (const char* path : {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
                           "/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/soundfonts/default.sf2"}) {
    if (::access(path, R_OK) == 0) return path;
  }
  return {};
}

std::shared_ptr<MidiSynth> MidiSynth::Acquire(const std::string& soundFont, int sampleRate) {
  SynthCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.lock);
  if (cache.synth && cache.soundFont == soundFont && cache.sampleRate == sampleRate) return cache.synth;
  if (soundFont.empty() || sampleRate <= 0) return nullptr;
  for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
    fluid_set_log_function(level, nullptr, nullptr);  // the library's log is the only log
  }
  auto engine = std::make_unique<Engine>();
  engine->settings = new_fluid_settings();
  if (!engine->settings) return nullptr;
  fluid_settings_setnum(engine->settings, "synth.sample-rate", sampleRate);
  fluid_settings_setint(engine->settings, "synth.cpu-cores", 1);
  fluid_settings_setint(engine->settings, "synth.threadsafe-api", 0);
  fluid_settings_setnum(engine->settings, "synth.gain", 0.5);
  engine->synth = new_fluid_synth(engine->settings);
  if (!engine->synth || fluid_synth_sfload(engine->synth, soundFont.c_str(), 1) == FLUID_FAILED) return nullptr;
  cache.synth.reset(new MidiSynth(std::move(engine), sampleRate));
  cache.soundFont = soundFont;
  cache.sampleRate = sampleRate;
  return cache.synth;
}

uint64_t MidiSynth::NewUserToken() {
  static std::atomic<uint64_t> next{1};
  return next++;
}

MidiSynth::MidiSynth(std::unique_ptr<Engine> engine, int sampleRate)
    : engine_(std::move(engine)), sampleRate_(sampleRate) {}
MidiSynth::~MidiSynth() = default;

void MidiSynth::Reset() {
  std::lock_guard<std::mutex> guard(lock_);
  fluid_synth_system_reset(engine_->synth);
}

void MidiSynth::ReleaseNotes() {
  std::lock_guard<std::mutex> guard(lock_);
  fluid_synth_all_notes_off(engine_->synth, -1);
}

void MidiSynth::Send(const MidiEvent& event, const uint8_t* sysex) {
  std::lock_guard<std::mutex> guard(lock_);
  fluid_synth_t* s = engine_->synth;
  int channel = event.status & 0x0F;
  switch (event.status & 0xF0) {
    case 0x80: fluid_synth_noteoff(s, channel, event.data1); break;
    case 0x90: fluid_synth_noteon(s, channel, event.data1, event.data2); break;
    case 0xA0: fluid_synth_key_pressure(s, channel, event.data1, event.data2); break;
    case 0xB0: fluid_synth_cc(s, channel, event.data1, event.data2); break;
    case 0xC0: fluid_synth_program_change(s, channel, event.data1); break;
    case 0xD0: fluid_synth_channel_pressure(s, channel, event.data1); break;
    case 0xE0: fluid_synth_pitch_bend(s, channel, event.data1 | event.data2 << 7); break;
    case 0xF0:
      if (sysex && event.sysexLength > 0) {
        fluid_synth_sysex(s, reinterpret_cast<const char*>(sysex + event.sysexOffset),
                          static_cast<int>(event.sysexLength), nullptr, nullptr, nullptr, 0);
      }
      break;
    default: break;
  }
}

void MidiSynth::RenderAdd(float* out, int frames) {
  float left[512], right[512];
  std::lock_guard<std::mutex> guard(lock_);
  while (frames > 0) {
    int count = std::min(frames, 512);
    fluid_synth_write_float(engine_->synth, count, left, 0, 1, right, 0, 1);
    for (int i = 0; i < count; ++i) {
      out[2 * i] += left[i];
      out[2 * i + 1] += right[i];
    }
    out += 2 * count;
    frames -= count;
  }
}

MidiPlayer::MidiPlayer(std::shared_ptr<const MidiSequence> sequence, std::shared_ptr<MidiSynth> synth)
    : sequence_(std::move(sequence)), synth_(std::move(synth)) {
  endSample_ = SampleOf(sequence_->lengthMicroseconds);
}

int64_t MidiPlayer::SampleOf(int64_t microseconds) const {
  return static_cast<int64_t>(static_cast<__int128>(microseconds) * synth_->SampleRate() / 1000000);
}

int64_t MidiPlayer::PositionMicroseconds() const {
  return static_cast<int64_t>(static_cast<__int128>(position_) * 1000000 / synth_->SampleRate());
}

void MidiPlayer::Play(int64_t fromMicroseconds) {
  synth_->Reset();
  position_ = SampleOf(std::max<int64_t>(fromMicroseconds, 0));
  nextEvent_ = 0;
  const auto& events = sequence_->events;
  // Catch up on the state a listener would have at this point: everything but the notes.
  for (; nextEvent_ < events.size() && SampleOf(events[nextEvent_].microseconds) < position_; ++nextEvent_) {
    uint8_t kind = events[nextEvent_].status & 0xF0;
    if (kind != 0x80 && kind != 0x90) synth_->Send(events[nextEvent_], sequence_->sysex.data());
  }
  playing_ = true;
}

void MidiPlayer::Stop() {
  if (!playing_) return;
  playing_ = false;
  synth_->Reset();
}

void MidiPlayer::SendUpTo(int64_t sample) {
  const auto& events = sequence_->events;
  while (nextEvent_ < events.size() && SampleOf(events[nextEvent_].microseconds) <= sample) {
    synth_->Send(events[nextEvent_++], sequence_->sysex.data());
  }
}

bool MidiPlayer::EndIfDue() {
  if (!playing_) return false;
  SendUpTo(position_);
  if (position_ < endSample_) return false;
  playing_ = false;
  synth_->ReleaseNotes();
  return true;
}

bool MidiPlayer::RenderAdd(float* out, int frames) {
  bool ended = false;
  int done = 0;
  while (done < frames) {
    int span = frames - done;
    if (EndIfDue()) ended = true;
    if (playing_) {
      // Render up to the next event or the end, whichever comes first, so each event starts on its sample.
      int64_t next = endSample_;
      if (nextEvent_ < sequence_->events.size()) {
        next = std::min(next, SampleOf(sequence_->events[nextEvent_].microseconds));
      }
      span = static_cast<int>(std::min<int64_t>(span, next - position_));
    }
    synth_->RenderAdd(out + 2 * done, span);
    if (playing_) position_ += span;
    done += span;
  }
  // An end on the last frame is told now, so that a restart in answer follows it at the very next frame.
  return EndIfDue() || ended;
}

}  // namespace media
