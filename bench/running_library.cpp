#include "running_library.h"

#include "vomak.h"

RunningLibrary::RunningLibrary(const headless::Config& config) {
  if (scratch_.path().empty()) return;
  headless::Start(config);
  ChangeWindowMode(1);
  started_ = StartupLibrary() == 0;
  if (started_) SelectDrawTarget(kDrawTargetBack);
}

RunningLibrary::~RunningLibrary() {
  if (started_) ShutdownLibrary();
}
