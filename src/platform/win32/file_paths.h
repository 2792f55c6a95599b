// Paths written for the original platform, on the host's file system. The narrow text is Shift-JIS (Hangeul when
// the OEM code page is 949); the host's names are UTF-8.
#pragma once
#include <string>

namespace host {

// The host path a Win32-style path stands for. The text is walked by characters, so a 0x5C byte inside a
// double-byte character is no separator; '\' and '/' separate components. Each component is taken by its UTF-8
// name when that exists, else by its bytes as given, else by a name in its directory that differs only in letter
// case; a component found none of these ways keeps its UTF-8 name (a new file is made under it).
std::string ResolvePath(const char* path);

}  // namespace host
