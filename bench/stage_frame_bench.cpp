// The game's costliest stage frames on the started library (headless host, 32-bit screen): the boss fight with
// every slot of both ring-burst pools, the kinds' bullets and the shots in flight, and the laser's frames (a miss
// draws six frozen frames), beside the floor of clearing, the backdrop and presenting. Each is reported as a share
// of a 16.7 ms display frame per presented frame ("frame%"; target: at most 10), counting the benchmark thread's
// processor time only, and split into the game's logic, its drawing calls, presenting, the pumps (the host and the
// library's periodic work, the pacing wait included) and sound starts. The split comes from the library calls the
// game makes, wrapped at link time (bench/CMakeLists.txt).
#include <benchmark/benchmark.h>
#include <time.h>

#include <x86intrin.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "game/game_units.h"
#include "platform/host/headless/headless_host.h"
#include "running_library.h"
#include "vomak.h"

namespace {

constexpr double kDisplayFrameSeconds = 1.0 / 60.0;

// A 24-bit BMP of a shaded sprite: an ellipse on the black key, or a full opaque picture.
void WriteSprite(const std::string& path, int width, int height, bool opaque) {
  const int rowBytes = (width * 3 + 3) & ~3;
  std::vector<unsigned char> file(54 + static_cast<size_t>(rowBytes) * height, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<unsigned char>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(-height));
  file[26] = 1;
  file[28] = 24;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double dx = (x + 0.5) / width - 0.5, dy = (y + 0.5) / height - 0.5;
      const bool inside = opaque || dx * dx + dy * dy < 0.25;
      unsigned char* p = &file[54 + static_cast<size_t>(y) * rowBytes + 3 * x];
      if (inside) {
        p[0] = static_cast<unsigned char>(64 + (x * 191) / width);
        p[1] = static_cast<unsigned char>(64 + (y * 191) / height);
        p[2] = 160;
      }
    }
  }
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return;
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);
}

// The game's save file and pictures of the sizes the game loads, in the working directory.
void PrepareDirectory() {
  std::filesystem::create_directories("CG");
  std::FILE* save = std::fopen("file.sav", "wb");
  if (save) {
    const char zeros[40] = {};
    std::fwrite(zeros, 1, sizeof zeros, save);
    std::fclose(save);
  }
  struct Picture {
    const char* name;
    int width, height;
    bool opaque;
  } pictures[] = {
      {"j0001", 7200, 480, true}, {"b0301", 28, 28, false},   {"b0201", 25, 20, false},  {"b0202", 25, 20, false},
      {"b0402", 8, 8, false},     {"b0401", 20, 8, true},     {"b0403", 16, 16, false},  {"b0404", 16, 16, false},
      {"p0101", 128, 64, false},  {"b0105", 100, 70, false},  {"b0501", 100, 70, false}, {"p0002", 640, 1440, true},
      {"p0102", 100, 222, false}, {"p0001", 640, 480, true},  {"b0101", 128, 30, false}, {"b0102", 70, 210, false},
      {"b0103", 84, 48, false},   {"b0104", 84, 48, false},
  };
  for (const Picture& p : pictures) WriteSprite(std::string("CG/") + p.name + ".gph", p.width, p.height, p.opaque);
}

// The library started for one run, with the game's assets loaded through the game's own start-up steps.
struct StartedGame {
  RunningLibrary running;
  std::unique_ptr<GameLoop> prepared = std::make_unique<GameLoop>();
  StartedGame() {
    if (!running.started()) return;
    PrepareDirectory();
    // A small step per clock read, so a frame's virtual time (and the sound the host mixes for it) is the frame's
    // own 17 ms and a little, as on a real machine.
    headless::SetReadStepMicroseconds(1);
    // The host's records of presented frames and played sound are a test's, not the frame's work: keep them small.
    headless::SetFrameLimit(1);
    headless::SetAudioLimitFrames(4096);
    GameLoop& g = *prepared;
    LoadGameAssets(g.assets);
    NewGameReset(g);
    g.stageFrameCounter = 6600;
    g.scroll = -6539;
    g.lives = 3;
    g.graceCounter = 1000;
    g.player.x = 60;
    g.player.y = 420;
    g.boss.attackCounter = 200;
    // Every slot of both boss pools and the kinds' bullets in flight across the field, every shot flying.
    for (BossBulletPool* pool : {&g.poolA, &g.poolB}) {
      for (int r = 0; r < kPoolRows; ++r) {
        for (int j = 0; j < kPoolSlots; ++j) {
          pool->active[r][j] = 1;
          pool->x[r][j] = static_cast<float>(200 + 25 * j);
          pool->y[r][j] = static_cast<float>(20 + 25 * r);
        }
      }
    }
    for (int k = 0; k < kEnemyKinds; ++k) {
      g.enemyKinds[k].lifetime = 30;
      g.enemyKinds[k].x = static_cast<float>(300 + 40 * k);
      for (int s = 0; s < kEnemyBullets; ++s) {
        EnemyBulletPool& b = g.enemyBullets[k];
        b.active[s] = 1;
        b.x[s] = b.originX[s] = static_cast<float>(150 + 35 * s);
        b.y[s] = b.originY[s] = static_cast<float>(30 + 90 * k);
        b.targetX[s] = 0;
        b.targetY[s] = 240;
      }
    }
    for (int s = 0; s < kShotSlots; ++s) {
      for (int k = 0; k < kShotStreams; ++k) {
        g.shots.active[s][k] = 1;
        g.shots.x[s][k] = static_cast<float>(100 + 40 * s);
        g.shots.y[s][k] = static_cast<float>(120 + 40 * k);
      }
    }
  }
};

// The benchmark thread's processor time in seconds: other threads (a sound device's) are not the frame's.
double ProcessorSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// Where a frame's time goes, by the library calls the game makes. Time-stamp counts, read only while a frame of
// this benchmark runs; a call made inside another (a pump inside a present) counts with the outer one.
enum Part { kDrawing, kPresenting, kHost, kSound, kParts };
const char* const kPartNames[kParts] = {"draw%", "present%", "host%", "sound%"};
struct Split {
  bool measuring = false;
  int depth = 0;
  uint64_t ticks[kParts] = {};
};
Split split;

template <class Call>
int Timed(Part part, Call call) {
  if (!split.measuring || split.depth > 0) return call();
  ++split.depth;
  const uint64_t start = __rdtsc();
  const int result = call();
  split.ticks[part] += __rdtsc() - start;
  --split.depth;
  return result;
}

// The measured time per presented frame as a percentage of a display frame.
void ReportShare(benchmark::State& state, double spent, int presentedPerIteration) {
  const double perFrame = spent / (static_cast<double>(state.iterations()) * presentedPerIteration);
  state.counters["frame%"] = 100.0 * perFrame / kDisplayFrameSeconds;
}

void RunFrames(benchmark::State& state, uint32_t attackCounter, int presentedPerIteration) {
  StartedGame started;
  if (!started.running.started()) {
    state.SkipWithError("the library did not start");
    return;
  }
  GameLoop game = *started.prepared;
  double spent = 0;
  uint64_t frameTicks = 0;
  split = Split{};
  for (auto _ : state) {
    state.PauseTiming();
    game = *started.prepared;
    game.boss.attackCounter = attackCounter;
    state.ResumeTiming();
    const double start = ProcessorSeconds();
    const uint64_t startTicks = __rdtsc();
    split.measuring = true;
    benchmark::DoNotOptimize(RunStageFrame(game));
    split.measuring = false;
    frameTicks += __rdtsc() - startTicks;
    spent += ProcessorSeconds() - start;
  }
  ReportShare(state, spent, presentedPerIteration);
  // Each part's share of the frame's time-stamp counts, applied to its processor time; the logic is the rest.
  const double frame = state.counters["frame%"];
  double rest = frame;
  for (int p = 0; p < kParts; ++p) {
    const double share = frameTicks ? frame * static_cast<double>(split.ticks[p]) / static_cast<double>(frameTicks) : 0;
    state.counters[kPartNames[p]] = share;
    rest -= share;
  }
  state.counters["logic%"] = rest;
  split = Split{};
}

// A boss frame with full pools, rings firing (pool A's row 3 is due at 184, pool B's at 214 is not).
void BossRingsFullPools(benchmark::State& state) { RunFrames(state, 184, 1); }
// The laser's first firing, missing: the stage frame plus six unpaced frozen frames.
void BossLaserMiss(benchmark::State& state) { RunFrames(state, 117, 7); }

// The floor every stage frame stands on: clearing, the backdrop and presenting, nothing of the game. The headless
// host keeps a copy of each presented frame where a window uploads it, so the copies here can rank otherwise than
// in the game's frame in a real window (qelt_stage_timing).
void BackdropAndPresentOnly(benchmark::State& state) {
  StartedGame started;
  if (!started.running.started()) {
    state.SkipWithError("the library did not start");
    return;
  }
  const double start = ProcessorSeconds();
  for (auto _ : state) {
    ClearDrawTarget();
    DrawGraph(-6539, 0, started.prepared->assets.background, 0);
    G_DDraw_FlipScreen();
  }
  ReportShare(state, ProcessorSeconds() - start, 1);
}

}  // namespace

BENCHMARK(BackdropAndPresentOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BossRingsFullPools)->Unit(benchmark::kMicrosecond);
BENCHMARK(BossLaserMiss)->Unit(benchmark::kMicrosecond);

// The wrapped library calls (the linker sends the game's calls here; see bench/CMakeLists.txt).
extern "C" {
int __real__Z15ClearDrawTargetv();
int __real__Z9DrawGraphiiii(int, int, int, int);
int __real__Z13DrawRotaGraphiiddiii(int, int, double, double, int, int, int);
int __real__Z12DrawBoxShapeiiiiji(int, int, int, int, uint32_t, int);
int __real__Z10DrawCircleiiiji(int, int, int, uint32_t, int);
int __real__Z16DrawTextWithFontiiPKcjiji(int, int, const char*, uint32_t, int, uint32_t, int);
int __real__Z17DrawFormattedTextiijPKcz(int, int, uint32_t, const char*, ...);
int __real__Z18G_DDraw_FlipScreenv();
int __real__Z18PumpWindowMessagesv();
int __real__Z18StartSoundPlaybackiii(int, int, int);

int __wrap__Z15ClearDrawTargetv() { return Timed(kDrawing, [] { return __real__Z15ClearDrawTargetv(); }); }
int __wrap__Z9DrawGraphiiii(int x, int y, int graph, int transparent) {
  return Timed(kDrawing, [&] { return __real__Z9DrawGraphiiii(x, y, graph, transparent); });
}
int __wrap__Z13DrawRotaGraphiiddiii(int x, int y, double scale, double angle, int graph, int transparent, int turn) {
  return Timed(kDrawing, [&] { return __real__Z13DrawRotaGraphiiddiii(x, y, scale, angle, graph, transparent, turn); });
}
int __wrap__Z12DrawBoxShapeiiiiji(int x1, int y1, int x2, int y2, uint32_t color, int fill) {
  return Timed(kDrawing, [&] { return __real__Z12DrawBoxShapeiiiiji(x1, y1, x2, y2, color, fill); });
}
int __wrap__Z10DrawCircleiiiji(int x, int y, int radius, uint32_t color, int fill) {
  return Timed(kDrawing, [&] { return __real__Z10DrawCircleiiiji(x, y, radius, color, fill); });
}
int __wrap__Z16DrawTextWithFontiiPKcjiji(int x, int y, const char* text, uint32_t color, int font, uint32_t edge,
                                         int turn) {
  return Timed(kDrawing, [&] { return __real__Z16DrawTextWithFontiiPKcjiji(x, y, text, color, font, edge, turn); });
}
// The text is formatted here and drawn as it stands; the formatting counts as drawing, as it does unwrapped.
int __wrap__Z17DrawFormattedTextiijPKcz(int x, int y, uint32_t color, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const uint64_t start = __rdtsc();
  char text[1024];
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  const uint64_t formatting = __rdtsc() - start;
  if (split.measuring && split.depth == 0) split.ticks[kDrawing] += formatting;
  return Timed(kDrawing, [&] { return __real__Z17DrawFormattedTextiijPKcz(x, y, color, "%s", text); });
}
int __wrap__Z18G_DDraw_FlipScreenv() { return Timed(kPresenting, [] { return __real__Z18G_DDraw_FlipScreenv(); }); }
int __wrap__Z18PumpWindowMessagesv() { return Timed(kHost, [] { return __real__Z18PumpWindowMessagesv(); }); }
int __wrap__Z18StartSoundPlaybackiii(int sound, int style, int restart) {
  return Timed(kSound, [&] { return __real__Z18StartSoundPlaybackiii(sound, style, restart); });
}
}
