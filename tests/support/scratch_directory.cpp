#include "support/scratch_directory.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

namespace {

// The directories not yet removed, each with the process that made it: a forked child that exits must not take
// its parent's directories along.
struct LiveDirectories {
  std::vector<std::pair<pid_t, std::string>> paths;
  ~LiveDirectories() {
    std::error_code ec;
    for (const auto& [owner, path] : paths)
      if (owner == ::getpid()) std::filesystem::remove_all(path, ec);
  }
};

LiveDirectories& Live() {
  static LiveDirectories live;
  return live;
}

}  // namespace

ScratchDirectory::ScratchDirectory(const char* prefix) {
  std::error_code ec;
  previous_ = std::filesystem::current_path(ec).string();
  std::string pattern = (std::filesystem::temp_directory_path(ec) / (std::string(prefix) + "XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back(0);
  if (!::mkdtemp(buffer.data())) return;
  path_ = buffer.data();
  Live().paths.emplace_back(::getpid(), path_);
  std::filesystem::current_path(path_, ec);
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ec;
  if (!previous_.empty()) std::filesystem::current_path(previous_, ec);
  if (path_.empty()) return;
  std::filesystem::remove_all(path_, ec);
  auto& paths = Live().paths;
  paths.erase(std::remove(paths.begin(), paths.end(), std::make_pair(::getpid(), path_)), paths.end());
}
