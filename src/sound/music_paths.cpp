// Paths of music files: the absolute path the players open, and its split into directory and file. Both walk
// by characters of the system's code page (Shift-JIS, or Hangeul under code page 949), so the second byte of a
// double-byte character (which may be 0x5C) is never a separator.
#include <cstring>
#include <string>

#include "core/file_access.h"
#include "core/memory.h"
#include "core/system_state.h"
#include "sound/music.h"

namespace {

bool IsLeadByte(unsigned char c) { return IsLeadByteOfKind(c, SystemState.doubleByteKind); }
bool IsSeparator(char c) { return c == '\\' || c == '/'; }
size_t CharLength(const char* p) { return IsLeadByte(static_cast<unsigned char>(*p)) && p[1] ? 2 : 1; }

// Removes the last name: back to the nearest separator, or to just after the nearest colon, which stays.
void DropLastName(std::string* out) {
  size_t cut = 0;
  for (size_t i = 0; i < out->size(); i += CharLength(out->c_str() + i)) {
    if (IsSeparator((*out)[i])) cut = i;
    if ((*out)[i] == ':') cut = i + 1;
  }
  out->resize(cut);
}

}  // namespace

int MakeFullPath(const char* source, char* out, size_t outSize, const char* base) {
  std::string baseDir = base ? base : FileAccessGetDirString();
  std::string result;
  if (source == nullptr) {
    result = baseDir;
  } else {
    const char* rest = source;
    if (IsSeparator(source[0])) {
      // The root of the base's drive; a base on a drive-less file system ("/home/...") has none.
      if (baseDir.size() >= 2 && baseDir[1] == ':') result = baseDir.substr(0, 2);
      rest = source + 1;
    } else if (source[0] != '\0' && !IsLeadByte(static_cast<unsigned char>(source[0])) && source[1] == ':') {
      result.push_back(source[0]);
      result.push_back(source[1]);
      rest = source + 2;
      if (*rest == '\\') ++rest;
    } else {
      result = baseDir;
      if (!result.empty() && IsSeparator(result.back())) result.pop_back();
    }
    const char* p = rest;
    while (*p) {
      const char* start = p;
      while (*p && !IsSeparator(*p)) p += CharLength(p);
      std::string name(start, p);
      if (*p == '\0') {  // the last name goes in unchanged, even "." or ".."
        result += '\\';
        result += name;
        break;
      }
      if (name.empty()) return -1;  // two separators in a row, or one at the start
      ++p;
      if (name == ".") continue;
      if (name == "..") {
        DropLastName(&result);
      } else {
        result += '\\';
        result += name;
      }
    }
  }
  if (out == nullptr || result.size() + 1 > outSize) return -1;
  std::memcpy(out, result.c_str(), result.size() + 1);
  return 0;
}

int SplitPathDirFile(const char* path, char* filePart, char* dirPart) {
  const char* last = nullptr;
  for (const char* p = path; *p; p += CharLength(p)) {
    if (IsSeparator(*p) || *p == ':') last = p;
  }
  if (filePart) std::strcpy(filePart, last ? last + 1 : path);
  if (dirPart) {
    size_t length = last ? static_cast<size_t>(last - path) : 0;
    std::memmove(dirPart, path, length);
    dirPart[length] = '\0';
  }
  return 0;
}
