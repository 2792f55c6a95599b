// The application log "AppLog.txt" and the fatal exit.
#pragma once
#include "vomak.h"
#include <cstddef>

int AppLogOpen();
int AppLogClose();
[[noreturn]] int ExitOnErrorFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Size of the buffer the formatted writers format into; longer texts are cut (line feed kept).
constexpr size_t kLogFormatBufferSize = 1024;
