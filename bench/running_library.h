// The library as a benchmark uses it: started in window mode on a fresh headless host, in a scratch working
// directory, for one run of a benchmark function; then shut down, the working directory put back and the scratch
// removed. Every benchmark so leaves the process as it found it, and none meets a library left running by another.
#pragma once
#include "platform/host/headless/headless_host.h"
#include "support/scratch_directory.h"

class RunningLibrary {
 public:
  explicit RunningLibrary(const headless::Config& config = {});
  ~RunningLibrary();
  RunningLibrary(const RunningLibrary&) = delete;
  RunningLibrary& operator=(const RunningLibrary&) = delete;
  bool started() const { return started_; }

 private:
  ScratchDirectory scratch_{"vomak-bench-"};
  bool started_ = false;
};
