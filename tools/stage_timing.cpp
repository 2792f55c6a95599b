// Plays the game's stage in a real window with scripted keys and records each stage frame's own work, from the
// frame's start to its present, and the time between presents; then prints the figures. The ship is kept in its
// grace period so that every run plays the stage whole, to the boss and on to the clear.
//
//   cd build && ./qelt_stage_timing [FILE.csv [FRAMES]]
//   (under Xvfb: xvfb-run -s "-screen 0 1024x768x24" ./qelt_stage_timing)
// FILE.csv receives one line per stage present (frame counter, start, present begun, present done, in ms of the
// monotonic clock); FRAMES ends the run after that many stage frames.
//
// It is linked with the game's stage frame and the library's present wrapped (see CMakeLists.txt), so the game
// runs unchanged. Keys go in as the window system's own events through SDL's queue.
#include <SDL.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "game/game_loop.h"
#include "game/game_units.h"
#include "vomak.h"

extern "C" {
FrameEnd __real__Z13RunStageFrameR8GameLoop(GameLoop& game);
FrameEnd __wrap__Z13RunStageFrameR8GameLoop(GameLoop& game);
int __real__Z18G_DDraw_FlipScreenv();
int __wrap__Z18G_DDraw_FlipScreenv();
}

namespace {

constexpr int32_t kBossFrame = 6540;
constexpr int kBossFramesAtMost = 60 * 90;  // a boss that is not beaten in this many frames ends the run

double Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

double ProcessorSeconds() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
         (use.ru_utime.tv_usec + use.ru_stime.tv_usec) * 1e-6;
}

void Key(SDL_Scancode key, bool down) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = key;
  SDL_PushEvent(&e);
}

struct Record {
  bool inFrame = false;
  double segmentStart = 0, segmentProcessor = 0;
  int flips = 0;  // presents of the whole run, for the script before the stage
  std::vector<double> work;      // each stage present's own work up to its present, seconds
  std::vector<double> presents;  // the present itself
  std::vector<double> workProcessor;  // the game thread's processor time over the work and its present
  std::vector<double> intervals;  // between consecutive stage presents, seconds
  double lastPresent = 0;
  // Wall and processor clocks at stage frame 1, at the boss's arrival and at the last stage present.
  double stageStart = 0, bossArrival = 0;
  double processorAtStart = 0, processorAtBoss = 0, processorAtLast = 0;
  int stageFrames = 0, bossFrames = 0;
  bool closing = false;
  double pumpMicroseconds = 0;  // one pump with nothing pending, on the title
  SDL_Scancode held = SDL_SCANCODE_UNKNOWN;
  std::FILE* csv = nullptr;
  int framesAtMost = 1 << 30;
  int32_t frameCounter = 0;
};

Record& Rec() {
  static Record record;
  return record;
}

// Before the stage: X (confirm) pressed and released in turn every ten presents, through splash and title.
void ScriptBeforeStage() {
  Record& r = Rec();
  ++r.flips;
  if (r.flips == 5) {
    // What a pump with nothing pending costs, the host's own polls included.
    constexpr int kPumps = 200000;
    const double start = Now();
    for (int i = 0; i < kPumps; ++i) PumpWindowMessages();
    r.pumpMicroseconds = (Now() - start) * 1e6 / kPumps;
    SDL_RendererInfo info{};
    for (Uint32 id = 1; id < 100; ++id) {
      SDL_Window* window = SDL_GetWindowFromID(id);
      if (window && SDL_GetRenderer(window) && SDL_GetRendererInfo(SDL_GetRenderer(window), &info) == 0) {
        std::printf("renderer: %s\n", info.name);
      }
    }
  }
  if (r.flips % 10 == 0) Key(SDL_SCANCODE_X, (r.flips / 10) % 2 == 1);
}

// In the stage: up for a second, down for a second, so the ship crosses the field.
void ScriptStage(const GameLoop& game) {
  Record& r = Rec();
  const SDL_Scancode want = (game.stageFrameCounter / 60) % 2 ? SDL_SCANCODE_DOWN : SDL_SCANCODE_UP;
  if (want != r.held) {
    if (r.held != SDL_SCANCODE_UNKNOWN) Key(r.held, false);
    Key(want, true);
    r.held = want;
  }
}

// Stage presents whose work and present together took longer than `limit` seconds.
long WholeOver(double limit) {
  const Record& r = Rec();
  long n = 0;
  for (size_t i = 0; i < r.work.size(); ++i) n += r.work[i] + r.presents[i] > limit;
  return n;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}

void Report() {
  const Record& r = Rec();
  const double ms = 1000.0;
  auto over = [](const std::vector<double>& v, double limit) {
    return std::count_if(v.begin(), v.end(), [limit](double x) { return x > limit; });
  };
  std::printf("a pump with nothing pending: %.3f us\n", r.pumpMicroseconds);
  std::printf("stage presents: %zu (%d frames before the boss, %d with it)\n", r.work.size(), r.stageFrames,
              r.bossFrames);
  if (r.work.empty()) return;
  std::printf("frame work (start to present), ms: median %.3f  p99 %.3f  p99.9 %.3f  max %.3f;  over 8 ms: %ld\n",
              Percentile(r.work, 0.5) * ms, Percentile(r.work, 0.99) * ms, Percentile(r.work, 0.999) * ms,
              *std::max_element(r.work.begin(), r.work.end()) * ms, static_cast<long>(over(r.work, 0.008)));
  std::printf("the present itself, ms: median %.3f  p99 %.3f  max %.3f;  work and present over 8 ms: %ld\n",
              Percentile(r.presents, 0.5) * ms, Percentile(r.presents, 0.99) * ms,
              *std::max_element(r.presents.begin(), r.presents.end()) * ms, static_cast<long>(WholeOver(0.008)));
  std::printf("processor time of work and present, ms: median %.3f  p99 %.3f  max %.3f\n",
              Percentile(r.workProcessor, 0.5) * ms, Percentile(r.workProcessor, 0.99) * ms,
              *std::max_element(r.workProcessor.begin(), r.workProcessor.end()) * ms);
  std::printf("present to present, ms: median %.3f  p99 %.3f  max %.3f;  over 17.5 ms: %ld, 25 ms or more: %ld\n",
              Percentile(r.intervals, 0.5) * ms, Percentile(r.intervals, 0.99) * ms,
              r.intervals.empty() ? 0.0 : *std::max_element(r.intervals.begin(), r.intervals.end()) * ms,
              static_cast<long>(over(r.intervals, 0.0175)), static_cast<long>(over(r.intervals, 0.02499)));
  if (r.bossArrival > 0) {
    const double stage = r.bossArrival - r.stageStart;
    std::printf("stage frame 1 to the boss's frame %d: %.3f s (%d frames of 17 ms: %.3f s)\n", kBossFrame, stage,
                kBossFrame - 1, (kBossFrame - 1) * 0.017);
    std::printf("processor use (one core = 100 %%): stage %.1f %%",
                100.0 * (r.processorAtBoss - r.processorAtStart) / stage);
    const double boss = r.lastPresent - r.bossArrival;
    if (boss > 0) std::printf(", boss fight %.1f %%", 100.0 * (r.processorAtLast - r.processorAtBoss) / boss);
    std::printf("\n");
  }
}

}  // namespace

FrameEnd __wrap__Z13RunStageFrameR8GameLoop(GameLoop& game) {
  Record& r = Rec();
  if (r.stageFrames == 0 && r.bossFrames == 0) {
    r.stageStart = Now();
    r.processorAtStart = ProcessorSeconds();
  }
  // Grace below 120 makes every contact harmless (the frame raises it by one first; 2 shows the ship).
  game.graceCounter = 1;
  ScriptStage(game);
  if (game.stageFrameCounter == kBossFrame - 1 && r.bossArrival == 0) {
    r.bossArrival = Now();
    r.processorAtBoss = ProcessorSeconds();
  }
  if (game.stageFrameCounter < kBossFrame) ++r.stageFrames;
  else ++r.bossFrames;
  r.frameCounter = game.stageFrameCounter;
  if ((r.bossFrames > kBossFramesAtMost || r.stageFrames + r.bossFrames > r.framesAtMost) && !r.closing) {
    r.closing = true;
    Key(SDL_SCANCODE_ESCAPE, true);
  }
  r.inFrame = true;
  r.segmentStart = Now();
  r.segmentProcessor = ThreadSeconds();
  const FrameEnd end = __real__Z13RunStageFrameR8GameLoop(game);
  r.inFrame = false;
  r.processorAtLast = ProcessorSeconds();
  return end;
}

int __wrap__Z18G_DDraw_FlipScreenv() {
  Record& r = Rec();
  const double before = Now();
  const int result = __real__Z18G_DDraw_FlipScreenv();
  const double now = Now();
  if (r.inFrame) {
    r.work.push_back(before - r.segmentStart);
    r.presents.push_back(now - before);
    if (r.csv) {
      std::fprintf(r.csv, "%d,%.3f,%.3f,%.3f\n", r.frameCounter, r.segmentStart * 1e3, before * 1e3, now * 1e3);
    }
    const double processor = ThreadSeconds();
    r.workProcessor.push_back(processor - r.segmentProcessor);
    r.segmentProcessor = processor;
    if (r.lastPresent > 0) r.intervals.push_back(now - r.lastPresent);
    r.lastPresent = now;
    r.segmentStart = now;  // the laser's frozen frames each count from the present before
  } else if (r.stageFrames == 0) {
    ScriptBeforeStage();
  } else if (!r.closing) {
    // The stage is over (the clear or the result screen): leave through Esc.
    r.closing = true;
    Key(SDL_SCANCODE_ESCAPE, true);
  }
  return result;
}

int main(int argc, char** argv) {
  if (argc > 1) Rec().csv = std::fopen(argv[1], "w");
  if (argc > 2) Rec().framesAtMost = std::atoi(argv[2]);
  auto game = std::make_unique<GameLoop>();
  const int result = QeltMain(*game);
  Report();
  if (Rec().csv) std::fclose(Rec().csv);
  return result;
}
