// The application log "AppLog.txt" and the fatal exit.
#pragma once
#include <cstddef>

int AppLogOpen();
int AppLogWrite(const char* text);
int AppLogWriteFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
int AppLogIndentIn();
int AppLogIndentOut();
int AppLogClose();
[[noreturn]] int ExitOnError(const char* text);
[[noreturn]] int ExitOnErrorFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Size of the buffer the formatted writers format into; longer texts are cut (line feed kept).
constexpr size_t kLogFormatBufferSize = 1024;
