// Resolution of Win32-style paths against the host file system, shared by the library's file access and the
// platform's own file users (the MCI sequencer, the music graph): separators by characters, names in UTF-8 at
// this edge, letter case matched per component as the original platform's file system did.
#include "platform/win32/file_paths.h"

#include <dirent.h>
#include <iconv.h>
#include <strings.h>
#include <sys/stat.h>

#include <vector>

#include "platform/host/platform_state.h"

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

// Read from a host already running: resolving a path never starts one.
bool HangeulCodePage() {
  const host::PlatformState& s = host::State();
  return s.host != nullptr && s.host->OemCodePage() == 949;
}

bool IsLeadByte(unsigned char byte) {
  return HangeulCodePage() ? byte >= 0x80 : (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The name in UTF-8; false when some byte of it is no character of the narrow code page.
bool NarrowToUtf8(const std::string& name, std::string* utf8) {
  iconv_t converter = iconv_open("UTF-8", HangeulCodePage() ? "CP949" : "CP932");
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::vector<char> out(name.size() * 4 + 4);
  char* source = const_cast<char*>(name.data());
  size_t sourceLeft = name.size();
  char* target = out.data();
  size_t targetLeft = out.size();
  bool converted = iconv(converter, &source, &sourceLeft, &target, &targetLeft) != static_cast<size_t>(-1) &&
                   iconv(converter, nullptr, nullptr, &target, &targetLeft) != static_cast<size_t>(-1);
  iconv_close(converter);
  if (converted) utf8->assign(out.data(), target);
  return converted;
}

// The components between separators, walking double-byte characters whole.
std::vector<std::string> SplitComponents(const std::string& path) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < path.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(path[i]);
    const unsigned char next = i + 1 < path.size() ? static_cast<unsigned char>(path[i + 1]) : 0;
    // A trail byte lies at 0x40 or above: a '/' after a lead byte still separates.
    if (IsLeadByte(byte) && next >= 0x40 && next != 0x7F) {
      parts.back() += path.substr(i++, 2);
    } else if (byte == '\\' || byte == '/') {
      parts.emplace_back();
    } else {
      parts.back() += path[i];
    }
  }
  return parts;
}

}  // namespace

namespace host {

std::string ResolvePath(const char* path) {
  const std::vector<std::string> parts = SplitComponents(path ? path : "");
  std::string result;
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (i > 0) result += '/';
    if (part.empty() || part == "." || part == "..") {
      result += part;
      continue;
    }
    std::string names[2] = {part, part};
    NarrowToUtf8(part, &names[0]);
    std::string chosen;
    for (const std::string& name : names) {
      if (chosen.empty() && Exists(result + name)) chosen = name;
    }
    for (const std::string& name : names) {
      if (chosen.empty()) chosen = FindCaseless(result.empty() ? "." : result, name);
    }
    result += chosen.empty() ? names[0] : chosen;
  }
  return result;
}

}  // namespace host
