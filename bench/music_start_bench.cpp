// Starting music: a 3-minute 44.1 kHz stereo Ogg Vorbis file through the public StartMusicFile on a started
// library (headless host), beside SDL2_mixer streaming the same file (Mix_LoadMUS and Mix_PlayMusic). The time
// is the calling thread's processor time for the start alone; "held_MiB" is the heap the start added and the
// playing music holds (glibc's count of allocated bytes, after the start less before). The file is encoded at
// bench time with the reference encoder.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_methods.h"
#include "core/system_state.h"
#include "platform/host/headless/headless_host.h"
#include "support/ogg_writers.h"
#include "vomak.h"

#if VOMAK_HAVE_SDL_MIXER
#include <SDL.h>
#include <SDL_mixer.h>
#endif

namespace {

constexpr int kSeconds = 180;

// The scratch directory holding the file: made at the first use and removed with the program. It owns its own
// path, so nothing it reads at exit can have been destroyed before it.
class MusicScratch {
 public:
  MusicScratch() {
    std::vector<testing_support::VorbisPacket> headers, audio;
    int longBlock = 0;
    auto signal = [](int i, int channel) {
      return static_cast<float>(0.3 * std::sin(i * (channel ? 0.031 : 0.029)) + 0.1 * std::sin(i * 0.0007));
    };
    if (!testing_support::EncodeVorbis(2, 44100, 44100 * kSeconds, signal, &headers, &audio, &longBlock)) return;
    const std::vector<uint8_t> bytes = testing_support::PageVorbis(headers, audio);
    dir_ = std::filesystem::temp_directory_path() / ("vomak-music-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    file_ = dir_ / "music.ogg";
    std::ofstream(file_, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
  }
  ~MusicScratch() {
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  MusicScratch(const MusicScratch&) = delete;
  MusicScratch& operator=(const MusicScratch&) = delete;
  // Empty when the encoder failed.
  const std::filesystem::path& file() const { return file_; }

 private:
  std::filesystem::path dir_, file_;
};

const std::filesystem::path& MusicFile() {
  static const MusicScratch scratch;
  return scratch.file();
}

size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

void BM_StartMusic_vomak(benchmark::State& state) {
  const std::filesystem::path& file = MusicFile();
  if (file.empty()) {
    state.SkipWithError("the Ogg file could not be made");
    return;
  }
  headless::Start();
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(file.parent_path());
  // The settings go back as they were, so the benchmarks that follow start the library they expect.
  const int noGraphics = SystemState.noGraphics, windowMode = SystemState.windowModeFlag;
  const auto restore = [&] {
    SystemState.noGraphics = noGraphics;
    SystemState.windowModeFlag = windowMode;
    std::filesystem::current_path(previous);
  };
  SystemState.noGraphics = 1;
  SystemState.windowModeFlag = 1;
  if (StartupLibrary() != 0) {
    state.SkipWithError("the library did not start");
    restore();
    return;
  }
  double held = 0;
  for (auto _ : state) {
    const size_t before = HeapInUse();
    if (StartMusicFile("music.ogg", 1) != 0) state.SkipWithError("the music did not start");
    state.PauseTiming();
    held = static_cast<double>(HeapInUse() - before);
    StopCurrentMusic();
    state.ResumeTiming();
  }
  state.counters["held_MiB"] = held / (1 << 20);
  // The caller's thread only: the peer decodes its first block on its audio thread, which this leaves out.
  state.SetLabel(kCallersThread);
  ShutdownLibrary();
  headless::Start();
  restore();
}
BENCHMARK(BM_StartMusic_vomak)->Name("StartMusic3MinOgg/vomak")->Unit(benchmark::kMicrosecond);

#if VOMAK_HAVE_SDL_MIXER
// SDL2_mixer on SDL's dummy driver, which pulls the mix at the pace of a real device on a thread of its own.
void BM_StartMusic_sdl2(benchmark::State& state) {
  const std::filesystem::path& file = MusicFile();
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (file.empty() || SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    state.SkipWithError("no file or no SDL audio");
    return;
  }
  Mix_Init(MIX_INIT_OGG);
  if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) != 0) {
    state.SkipWithError("SDL2_mixer did not open");
  } else {
    double held = 0;
    for (auto _ : state) {
      const size_t before = HeapInUse();
      Mix_Music* music = Mix_LoadMUS(file.c_str());
      if (!music || Mix_PlayMusic(music, 0) != 0) state.SkipWithError("SDL2_mixer did not play the file");
      state.PauseTiming();
      held = static_cast<double>(HeapInUse() - before);
      Mix_HaltMusic();
      Mix_FreeMusic(music);
      state.ResumeTiming();
    }
    state.counters["held_MiB"] = held / (1 << 20);
    state.SetLabel(kCallersThread);
    Mix_CloseAudio();
  }
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
BENCHMARK(BM_StartMusic_sdl2)->Name("StartMusic3MinOgg/sdl2")->Unit(benchmark::kMicrosecond);
#endif

}  // namespace
