// Library paths on the host's file system, resolved as the platform resolves its own (Shift-JIS walked by
// characters, UTF-8 names, letter case matched per component).
#pragma once
#include <string>

std::string ResolveHostPath(const char* path);
