// Paths written for the original platform on the host's file system: '\' becomes '/', and when the exact path
// is missing each component is matched without regard to case.
#pragma once
#include <string>

namespace host {

// The host path for a Win32-style path (the path with '/' separators when nothing matches).
std::string ResolvePath(const char* path);

}  // namespace host
