// A fresh temporary directory ("<prefix>XXXXXX" in the temporary folder) made the working directory for the
// object's lifetime. The previous working directory comes back and the directory is removed with the object, or
// at the latest when the process ends through exit (a death test's child, a fatal exit), so no run leaves scratch
// behind. Used by the tests and the benchmarks; it needs no test framework.
#pragma once
#include <string>

class ScratchDirectory {
 public:
  explicit ScratchDirectory(const char* prefix = "vomak-test-");
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  // Empty when no directory could be made.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
};
