// The application log "AppLog.txt" and the fatal exit.
#pragma once
#include "vomak.h"
#include <cstddef>

// Empties the log and starts its line stamps from now.
int AppLogOpen();
// Writes on after the log another running instance keeps: nothing is emptied, line stamps count from now.
int AppLogJoin();
int AppLogClose();
[[noreturn]] int ExitOnErrorFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Size of the buffer the formatted writers format into; longer texts are cut (line feed kept).
constexpr size_t kLogFormatBufferSize = 1024;
