// The benchmark program's entry: the usual report, then a table of ratios. A benchmark named "<task>/vomak" is set
// beside "<task>/sdl2", "<task>/pixman" and "<task>/memcpy" when they exist.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration) {
        const std::string name = r.benchmark_name();
        const size_t slash = name.rfind('/');
        if (slash != std::string::npos) times_[name.substr(0, slash)][name.substr(slash + 1)] = r.GetAdjustedRealTime();
      }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    std::printf("\n%-24s %10s %10s %10s %10s %16s %14s\n", "task (ns per draw)", "vomak", "sdl2", "pixman", "memcpy",
                "faster-lib/vomak", "vomak/memcpy");
    for (const auto& [task, who] : times_) {
      auto get = [&who](const char* name) {
        const auto it = who.find(name);
        return it == who.end() ? 0.0 : it->second;
      };
      const double v = get("vomak"), sdl = get("sdl2"), pix = get("pixman"), mem = get("memcpy");
      if (v <= 0) continue;
      const double best = pix > 0 && (sdl <= 0 || pix < sdl) ? pix : sdl;
      std::printf("%-24s %10.0f %10.0f %10.0f %10.0f", task.c_str(), v, sdl, pix, mem);
      if (best > 0) std::printf(" %15.2fx", best / v);
      else std::printf(" %16s", "-");
      if (mem > 0) std::printf(" %13.2fx", v / mem);
      std::printf("\n");
    }
    std::printf("faster-lib/vomak above 1: ours is faster than the faster of SDL2 and pixman.\n");
  }

 private:
  std::map<std::string, std::map<std::string, double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
