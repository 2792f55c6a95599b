// The game's costliest stage frames on the started library (headless host, 32-bit screen): the boss fight with
// every slot of both ring-burst pools, the kinds' bullets and the shots in flight, and the laser's frames (a miss
// draws six frozen frames), beside the floor of clearing, the backdrop and presenting. Each is reported as a share
// of a 16.7 ms display frame per presented frame (the "frame%" column; target: under 5).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <time.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "game/game_units.h"
#include "platform/host/headless/headless_host.h"
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

// A working directory with the game's save file and pictures of the sizes the game loads.
void PrepareDirectory() {
  const std::string dir = (std::filesystem::temp_directory_path() / ("qelt-bench-" + std::to_string(::getpid())))
                              .string();
  std::filesystem::create_directories(dir + "/CG");
  std::filesystem::current_path(dir);
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

// The library started once, with the game's assets loaded through the game's own start-up steps.
struct StartedGame {
  std::unique_ptr<GameLoop> prepared = std::make_unique<GameLoop>();
  StartedGame() {
    headless::Start();
    PrepareDirectory();
    ChangeWindowMode(1);
    StartupLibrary();
    SelectDrawTarget(-2);
    // The pacing wait ends at its first clock read: the benchmark times the frame's own work.
    headless::SetReadStepMicroseconds(20000);
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

StartedGame& Started() {
  static StartedGame started;
  return started;
}

// The process's processor time in seconds (the library's own clocks are virtual on the headless host).
double ProcessorSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// The measured time per presented frame as a percentage of a display frame.
void ReportShare(benchmark::State& state, double spent, int presentedPerIteration) {
  const double perFrame = spent / (static_cast<double>(state.iterations()) * presentedPerIteration);
  state.counters["frame%"] = 100.0 * perFrame / kDisplayFrameSeconds;
}

void RunFrames(benchmark::State& state, uint32_t attackCounter, int presentedPerIteration) {
  StartedGame& started = Started();
  GameLoop game = *started.prepared;
  double spent = 0;
  for (auto _ : state) {
    state.PauseTiming();
    game = *started.prepared;
    game.boss.attackCounter = attackCounter;
    state.ResumeTiming();
    const double start = ProcessorSeconds();
    benchmark::DoNotOptimize(RunStageFrame(game));
    spent += ProcessorSeconds() - start;
  }
  ReportShare(state, spent, presentedPerIteration);
}

// A boss frame with full pools, rings firing (pool A's row 3 is due at 184, pool B's at 214 is not).
void BossRingsFullPools(benchmark::State& state) { RunFrames(state, 184, 1); }
// The laser's first firing, missing: the stage frame plus six unpaced frozen frames.
void BossLaserMiss(benchmark::State& state) { RunFrames(state, 117, 7); }

// The floor every stage frame stands on: clearing, the backdrop and presenting, nothing of the game.
void BackdropAndPresentOnly(benchmark::State& state) {
  StartedGame& started = Started();
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
