// The benchmark program's entry: the usual report, then a table of ratios. A benchmark named "<task>/vomak" is set
// beside "<task>/sdl2", "<task>/pixman" and "<task>/memcpy" when they exist, by processor time, with the way the
// row is measured (the label our benchmark gives itself, bench_methods.h). Inner loops are left out.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench_methods.h"

namespace {

struct Measured {
  double nanoseconds = 0;  // processor time per iteration
  std::string method;
};

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // With repetitions the median stands for the row.
    for (const Run& r : runs)
      if (!r.error_occurred && (r.run_type == Run::RT_Iteration || r.aggregate_name == "median")) {
        const std::string& name = r.run_name.function_name;  // without suffixes such as "/process_time"
        const size_t slash = name.rfind('/');
        if (slash == std::string::npos) continue;
        const double perSecond = benchmark::GetTimeUnitMultiplier(r.time_unit);
        times_[name.substr(0, slash)][name.substr(slash + 1)] = {r.GetAdjustedCPUTime() * 1e9 / perSecond,
                                                                  r.report_label};
      }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    std::printf("\n%-26s %-26s %12s %12s %12s %12s %16s %14s\n", "task (ns of processor time)", "method", "vomak",
                "sdl2", "pixman", "memcpy", "faster-lib/vomak", "vomak/memcpy");
    std::string innerLoops;
    for (const auto& [task, who] : times_) {
      auto get = [&who](const char* name) {
        const auto it = who.find(name);
        return it == who.end() ? 0.0 : it->second.nanoseconds;
      };
      const double v = get("vomak"), sdl = get("sdl2"), pix = get("pixman"), mem = get("memcpy");
      if (v <= 0 || (sdl <= 0 && pix <= 0 && mem <= 0)) continue;
      const std::string& method = who.at("vomak").method;
      if (method == kInnerLoop) {
        innerLoops += (innerLoops.empty() ? "" : ", ") + task;
        continue;
      }
      const double best = pix > 0 && (sdl <= 0 || pix < sdl) ? pix : sdl;
      std::printf("%-26s %-26s %12.0f %12.0f %12.0f %12.0f", task.c_str(), method.empty() ? "-" : method.c_str(), v,
                  sdl, pix, mem);
      if (best > 0) std::printf(" %15.2fx", best / v);
      else std::printf(" %16s", "-");
      if (mem > 0) std::printf(" %13.2fx", v / mem);
      std::printf("\n");
    }
    std::printf("faster-lib/vomak above 1: ours is faster than the faster of SDL2 and pixman.\n");
    std::printf("Processor time of the benchmark's thread; \"%s\" rows count the whole process on both sides.\n",
                kDeviceMix);
    if (!innerLoops.empty())
      std::printf("Left out (our inner loop against the peers' public calls, see the report above): %s\n",
                  innerLoops.c_str());
  }

 private:
  std::map<std::string, std::map<std::string, Measured>> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  std::fflush(stdout);  // the table is the report's end: it must reach a file even if the exit went wrong
  benchmark::Shutdown();
  return 0;
}
