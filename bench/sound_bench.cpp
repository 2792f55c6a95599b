// Sound: mixing 16 playing 44.1 kHz stereo buffers into 10 s of output, and loading a 60-second MP3 and Ogg Vorbis
// file as a sound (decoded whole), each beside SDL2_mixer doing the same work (16 looping channels mixed into SDL's
// callback; Mix_LoadWAV_RW of the same files). The compressed files are made at bench time from our own test
// signal by lame and oggenc; without them (or without SDL2_mixer) those benchmarks are skipped. Times are
// processor time; the mixing counts every thread of the process, as SDL mixes on a thread of its own.
#include <benchmark/benchmark.h>

#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "bench_methods.h"
#include "platform/directx/dsound.h"
#include "platform/host/headless/headless_host.h"
#include "platform/host/platform.h"
#include "platform/media/mixer.h"
#include "running_library.h"
#include "support/scratch_directory.h"
#include "vomak.h"

#if VOMAK_HAVE_SDL_MIXER
#include <SDL.h>
#include <SDL_mixer.h>
#endif

namespace {

constexpr int kVoices = 16;
constexpr int kOutputFrames = 44100 * 10;
constexpr int kCallbackFrames = 1024;

// One second of a distinct tone per voice, 16-bit stereo.
std::vector<int16_t> Tone(int voice) {
  std::vector<int16_t> s(44100 * 2);
  for (int i = 0; i < 44100; ++i) {
    s[2 * i] = static_cast<int16_t>(2000 * std::sin(i * 0.01 * (voice + 1)));
    s[2 * i + 1] = static_cast<int16_t>(2000 * std::cos(i * 0.013 * (voice + 1)));
  }
  return s;
}

void BM_MixSixteenBuffers_vomak(benchmark::State& state) {
  state.SetLabel(kDeviceMix);
  headless::Start();
  CoInitialize(nullptr);
  IDirectSound* ds = nullptr;
  CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, reinterpret_cast<void**>(&ds));
  ds->Initialize(nullptr);
  ds->SetCooperativeLevel(nullptr, DSSCL_PRIORITY);
  std::vector<IDirectSoundBuffer*> buffers;
  for (int v = 0; v < kVoices; ++v) {
    WAVEFORMATEX f{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    DSBUFFERDESC d{sizeof d, DSBCAPS_STATIC, 176400, 0, &f, {}};
    IDirectSoundBuffer* b = nullptr;
    ds->CreateSoundBuffer(&d, &b, nullptr);
    void *p1, *p2;
    DWORD n1, n2;
    b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER);
    const std::vector<int16_t> tone = Tone(v);
    std::memcpy(p1, tone.data(), n1);
    b->Unlock(p1, n1, p2, n2);
    b->Play(0, 0, DSBPLAY_LOOPING);
    buffers.push_back(b);
  }
  media::Mixer& mixer = host::Current().Audio().mixer();
  std::vector<int16_t> out(kCallbackFrames * 2);
  for (auto _ : state) {
    for (int done = 0; done < kOutputFrames; done += kCallbackFrames) mixer.Render(out.data(), kCallbackFrames);
    benchmark::DoNotOptimize(out.data());
  }
  for (auto* b : buffers) b->Release();
  ds->Release();
  CoUninitialize();
}
BENCHMARK(BM_MixSixteenBuffers_vomak)
    ->Name("MixSixteenBuffers/vomak")
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

// The 60-second files, made in a scratch directory from our own signal by the named commands ({raw} and {out}
// filled in) and read back; a file is empty without its tool.
struct EncodedFiles {
  std::vector<uint8_t> mp3, ogg;
};

std::vector<uint8_t> Encode(const char* tool, std::string command, const char* out) {
  command.replace(command.find("{raw}"), 5, "signal.raw");
  command.replace(command.find("{out}"), 5, out);
  if (std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) != 0 ||
      std::system((command + " >/dev/null 2>&1").c_str()) != 0) {
    return {};
  }
  std::ifstream in(out, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const EncodedFiles& Encoded() {
  static const EncodedFiles files = [] {
    ScratchDirectory scratch("vomak-bench-");
    std::vector<int16_t> s(44100 * 60 * 2);
    for (size_t i = 0; i < s.size() / 2; ++i) {
      const double t = static_cast<double>(i) / 44100;
      s[2 * i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * t) + 3000 * std::sin(2 * M_PI * 3000 * t));
      s[2 * i + 1] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * (220 + 40 * t) * t));
    }
    std::ofstream("signal.raw", std::ios::binary)
        .write(reinterpret_cast<const char*>(s.data()), static_cast<std::streamsize>(s.size() * 2));
    EncodedFiles f;
    f.mp3 = Encode("lame", "lame -r -s 44.1 --bitwidth 16 --signed --little-endian -b 160 {raw} {out}", "60s.mp3");
    f.ogg = Encode("oggenc", "oggenc -Q -r -R 44100 -B 16 -C 2 -q 4 {raw} -o {out}", "60s.ogg");
    return f;
  }();
  return files;
}

// The public load of a sound from a file image (decoded whole into its buffer) and its release.
void DecodeWithVomak(benchmark::State& state, const std::vector<uint8_t>& file) {
  state.SetLabel(kPublicCall);
  if (file.empty()) {
    state.SkipWithError("the encoder is not installed");
    return;
  }
  RunningLibrary library;
  if (!library.started()) {
    state.SkipWithError("the library did not start");
    return;
  }
  for (auto _ : state) {
    const int sound = LoadSoundFromMemImage(file.data(), static_cast<int>(file.size()), 1);
    if (sound == -1) state.SkipWithError("not decoded");
    ReleaseSoundHandle(sound);
  }
}
void BM_DecodeMp3_vomak(benchmark::State& state) { DecodeWithVomak(state, Encoded().mp3); }
void BM_DecodeOgg_vomak(benchmark::State& state) { DecodeWithVomak(state, Encoded().ogg); }
BENCHMARK(BM_DecodeMp3_vomak)->Name("DecodeMp3/vomak")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeOgg_vomak)->Name("DecodeOgg/vomak")->Unit(benchmark::kMillisecond);

#if VOMAK_HAVE_SDL_MIXER
// SDL2_mixer on one of SDL's drivers, open only while a benchmark of it runs. For mixing, the disk driver writing to
// /dev/null without delay, so its thread mixes as fast as it can; for loading, the dummy driver, whose thread rests
// between its buffers and so leaves the processor to the load.
class MixerSession {
 public:
  explicit MixerSession(const char* driver) {
    setenv("SDL_AUDIODRIVER", driver, 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
    Mix_Init(MIX_INIT_MP3 | MIX_INIT_OGG);
    open_ = Mix_OpenAudio(44100, AUDIO_S16SYS, 2, kCallbackFrames) == 0;
  }
  ~MixerSession() {
    if (open_) Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  bool open() const { return open_; }

 private:
  bool open_ = false;
};

// The frames SDL's thread has mixed; the benchmark's thread sleeps until enough have been.
struct MixedCount {
  std::mutex lock;
  std::condition_variable grown;
  int64_t frames = 0;
};
void CountMixed(void* count, Uint8*, int bytes) {
  MixedCount& mixed = *static_cast<MixedCount*>(count);
  {
    std::lock_guard<std::mutex> guard(mixed.lock);
    mixed.frames += bytes / 4;
  }
  mixed.grown.notify_one();
}

void BM_MixSixteenBuffers_sdl2(benchmark::State& state) {
  state.SetLabel(kDeviceMix);
  MixerSession mixer("disk");
  if (!mixer.open()) {
    state.SkipWithError("SDL2_mixer did not open");
    return;
  }
  Mix_AllocateChannels(kVoices);
  std::vector<std::vector<int16_t>> tones;
  std::vector<Mix_Chunk*> chunks;
  for (int v = 0; v < kVoices; ++v) {
    tones.push_back(Tone(v));
    chunks.push_back(Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(tones.back().data()), 176400));
    Mix_PlayChannel(v, chunks.back(), -1);
  }
  if (Mix_Playing(-1) != kVoices) state.SkipWithError("not every channel plays");
  MixedCount mixed;
  Mix_SetPostMix(CountMixed, &mixed);
  for (auto _ : state) {
    std::unique_lock<std::mutex> guard(mixed.lock);
    const int64_t target = mixed.frames + kOutputFrames;
    mixed.grown.wait(guard, [&] { return mixed.frames >= target; });
  }
  Mix_SetPostMix(nullptr, nullptr);
  Mix_HaltChannel(-1);
  for (Mix_Chunk* c : chunks) Mix_FreeChunk(c);
}
// SDL mixes on its own thread: the process's processor time counts it (this thread only sleeps meanwhile).
BENCHMARK(BM_MixSixteenBuffers_sdl2)
    ->Name("MixSixteenBuffers/sdl2")
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

void DecodeWithMixer(benchmark::State& state, const std::vector<uint8_t>& file) {
  state.SetLabel(kPublicCall);
  MixerSession mixer("dummy");
  if (file.empty() || !mixer.open()) {
    state.SkipWithError("the encoder or SDL2_mixer is missing");
    return;
  }
  for (auto _ : state) {
    Mix_Chunk* chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(file.data(), static_cast<int>(file.size())), 1);
    if (!chunk) state.SkipWithError("SDL2_mixer could not load the file");
    Mix_FreeChunk(chunk);
  }
}
void BM_DecodeMp3_sdl2(benchmark::State& state) { DecodeWithMixer(state, Encoded().mp3); }
void BM_DecodeOgg_sdl2(benchmark::State& state) { DecodeWithMixer(state, Encoded().ogg); }
BENCHMARK(BM_DecodeMp3_sdl2)->Name("DecodeMp3/sdl2")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeOgg_sdl2)->Name("DecodeOgg/sdl2")->Unit(benchmark::kMillisecond);
#endif

}  // namespace
