// Waiting in a real window (the SDL host; run under a virtual X server, or SDL's dummy video driver without one):
// a loop that works between its looks at the queue, {PumpWindowMessages, GetMillisecondCount, 50 us of work},
// right after a present and right after a draw; the empty pump; a spin on the pump and the clock after a present
// (which rests); and how late a sound played to its end (style 0) lets its caller go, against the moment its
// last frame is due; and a pump with a long backlog of posted messages (headless). Each group starts the library
// and shuts it down again.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/system_state.h"
#include "platform/host/headless/headless_host.h"
#include "platform/host/platform_state.h"
#include "platform/win32/user.h"
#include "platform/host/sdl/sdl_host.h"
#include "vomak.h"

namespace {

double Seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// Work of the loop's own: 50 us of this thread's processor time.
void Work() {
  const double until = Seconds(CLOCK_THREAD_CPUTIME_ID) + 50e-6;
  while (Seconds(CLOCK_THREAD_CPUTIME_ID) < until) {
  }
}

// The library started in a window on the SDL host, in a scratch directory of its own.
class RealWindow {
 public:
  explicit RealWindow(bool diskAudio) {
    if (!std::getenv("DISPLAY")) setenv("SDL_VIDEODRIVER", "dummy", 0);
    // A device that pulls its mix a period at a time, as a sound card does, writing into nothing.
    if (diskAudio && !std::getenv("SDL_AUDIODRIVER")) {
      setenv("SDL_AUDIODRIVER", "disk", 1);
      setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
      setAudio_ = true;
    }
    previous_ = std::filesystem::current_path();
    dir_ = std::filesystem::temp_directory_path() / ("vomak-wait-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);
    host::ResetPlatform(host::CreateSdlHost());
    SetMainWindowTitle("vomak wait bench");
    ChangeWindowMode(1);
    started_ = StartupLibrary() == 0;
  }
  ~RealWindow() {
    if (started_) ShutdownLibrary();
    host::ResetPlatform(nullptr);
    if (setAudio_) {
      unsetenv("SDL_AUDIODRIVER");
      unsetenv("SDL_DISKAUDIOFILE");
    }
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(dir_);
  }
  bool started() const { return started_; }

 private:
  std::filesystem::path previous_, dir_;
  bool started_ = false;
  bool setAudio_ = false;
};

enum class Before { Present, Draw };

// Drawn on the back screen and presented, as a game's frame is.
void PrepareScreen(Before before) {
  SelectDrawTarget(kDrawTargetBack);
  ClearDrawTarget();
  G_DDraw_FlipScreen();
  if (before == Before::Draw) DrawBoxShape(0, 0, 8, 8, 0xFFFFFF, 1);
}

void WorkingPass(benchmark::State& state, Before before) {
  RealWindow window(false);
  if (!window.started()) return state.SkipWithError("the library did not start");
  PrepareScreen(before);
  for (auto _ : state) {
    PumpWindowMessages();
    benchmark::DoNotOptimize(GetMillisecondCount(0));
    Work();
  }
}
BENCHMARK_CAPTURE(WorkingPass, after_present, Before::Present)->Iterations(4000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(WorkingPass, after_draw, Before::Draw)->Iterations(4000)->Unit(benchmark::kMicrosecond);

void EmptyPump(benchmark::State& state) {
  RealWindow window(false);
  if (!window.started()) return state.SkipWithError("the library did not start");
  PrepareScreen(Before::Draw);
  for (auto _ : state) benchmark::DoNotOptimize(PumpWindowMessages());
}
BENCHMARK(EmptyPump)->Iterations(200000);

// A frame pacer's spin after its present: the wall time per pass is mostly rest, the processor time is not.
void SpinAfterPresent(benchmark::State& state) {
  RealWindow window(false);
  if (!window.started()) return state.SkipWithError("the library did not start");
  PrepareScreen(Before::Present);
  for (auto _ : state) {
    PumpWindowMessages();
    benchmark::DoNotOptimize(GetMillisecondCount(0));
  }
}
BENCHMARK(SpinAfterPresent)->Iterations(4000)->Unit(benchmark::kMicrosecond);

// A sound one frame longer than four of the device's periods (1,024 frames), so that its last frame is the first
// of a period: the worst case. It is played to its end 48 times, each started a different way into the period;
// the counters give how long after its last frame was due (start + its length) the call returned, in ms.
void StyleZeroLateness(benchmark::State& state) {
  constexpr int kFrames = 4 * 1024 + 1;
  RealWindow window(true);
  if (!window.started()) return state.SkipWithError("the library did not start");
  {
    std::ofstream out("tone.wav", std::ios::binary);
    auto put = [&out](uint32_t v, int bytes) {
      for (int i = 0; i < bytes; ++i) out.put(static_cast<char>(v >> (8 * i)));
    };
    out.write("RIFF", 4);
    put(36 + kFrames * 4, 4);
    out.write("WAVEfmt ", 8);
    put(16, 4), put(1, 2), put(2, 2), put(44100, 4), put(176400, 4), put(4, 2), put(16, 2);
    out.write("data", 4);
    put(kFrames * 4, 4);
    for (int i = 0; i < kFrames; ++i) put((i % 100) * 100, 2), put((i % 100) * 100, 2);
  }
  const int sound = LoadSoundFromFile("tone.wav");
  if (sound < 0) return state.SkipWithError("the sound did not load");
  std::vector<double> late;
  for (auto _ : state) {
    for (int i = 0; i < 48; ++i) {
      WaitMilliseconds(i % 24);
      const double start = Seconds(CLOCK_MONOTONIC);
      StartSoundPlayback(sound, 0, 1);
      late.push_back((Seconds(CLOCK_MONOTONIC) - start) * 1000 - kFrames * 1000.0 / 44100);
    }
  }
  ReleaseSoundHandle(sound);
  std::sort(late.begin(), late.end());
  state.counters["late_median_ms"] = late[late.size() / 2];
  state.counters["late_max_ms"] = late.back();
}
BENCHMARK(StyleZeroLateness)->Iterations(1)->Unit(benchmark::kMillisecond);

// A pump that takes six messages posted to the main window by another party, with 10,000 more waiting behind
// them or none: the backlog does not slow the pump.
void PumpWithBacklog(benchmark::State& state) {
  const auto previous = std::filesystem::current_path();
  const auto dir = std::filesystem::temp_directory_path() / ("vomak-backlog-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  headless::Start();
  ChangeWindowMode(1);
  if (StartupLibrary() == 0) {
    HWND window = SystemState.mainWindow;
    for (int i = 0; i < state.range(0); ++i) PostMessageA(window, WM_USER, 0, 0);
    for (auto _ : state) {
      for (int i = 0; i < 6; ++i) PostMessageA(window, WM_USER, 0, 0);
      benchmark::DoNotOptimize(PumpWindowMessages());
    }
    ShutdownLibrary();
  } else {
    state.SkipWithError("the library did not start");
  }
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(dir);
}
BENCHMARK(PumpWithBacklog)->Arg(0)->Arg(9990);

}  // namespace
