// The library's file access resolves paths the way the platform does for its own files.
#include "core/host_path.h"

#include "platform/win32/file_paths.h"

std::string ResolveHostPath(const char* path) { return host::ResolvePath(path); }
