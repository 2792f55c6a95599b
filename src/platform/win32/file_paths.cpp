// Resolution of Win32-style paths against the host file system, shared by the library's file access and the
// platform's own file users (the MCI sequencer, the music graph).
#include "platform/win32/file_paths.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>

namespace {

bool Exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

// The entry of directory whose name equals name without regard to ASCII case; empty when there is none.
std::string FindCaseless(const std::string& directory, const std::string& name) {
  DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (dir == nullptr) return {};
  std::string found;
  while (dirent* entry = ::readdir(dir)) {
    if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace

namespace host {

std::string ResolvePath(const char* path) {
  std::string mapped = path ? path : "";
  std::replace(mapped.begin(), mapped.end(), '\\', '/');
  if (mapped.empty() || Exists(mapped)) return mapped;

  std::string result;
  size_t start = 0;
  if (mapped[0] == '/') {
    result = "/";
    start = 1;
  }
  while (start <= mapped.size()) {
    size_t end = mapped.find('/', start);
    if (end == std::string::npos) end = mapped.size();
    std::string part = mapped.substr(start, end - start);
    if (!part.empty()) {
      std::string next = result + part;
      if (!Exists(next) && part != "." && part != "..") {
        std::string match = FindCaseless(result, part);
        if (match.empty()) return mapped;  // nothing matches: the caller sees the path as missing
        next = result + match;
      }
      result = next;
      if (end < mapped.size()) result += '/';
    }
    start = end + 1;
  }
  return result;
}

}  // namespace host
