// Paths written for the original platform on the host's file system: '\' becomes '/', and when the exact path
// is missing each component is matched without regard to case.
#pragma once
#include <string>

std::string ResolveHostPath(const char* path);
