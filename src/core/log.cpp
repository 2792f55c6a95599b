#include "core/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/host_path.h"
#include "core/library.h"
#include "core/memory.h"
#include "core/message_pump.h"
#include "core/system_state.h"
#include "core/win32_calls.h"

namespace {

constexpr const char* kLogName = "AppLog.txt";

// Set once the fatal exit has begun: a fatal condition met while shutting down ends the process at once.
int exitingFlag = 0;

// The log lies in the start directory; it is opened by its full host path so the current directory is never
// touched.
std::string LogPath() {
  const std::string& folder = SystemState.logFolder;
  if (folder.empty()) return kLogName;
  return ResolveHostPath((folder.back() == '/' ? folder + kLogName : folder + "/" + kLogName).c_str());
}

// The file holds CR LF line ends.
void WriteWithLineEnds(FILE* file, const char* text) {
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') std::fputc('\r', file);
    std::fputc(*p, file);
  }
}

// Formats the whole text, then keeps the longest prefix of at most limit bytes that splits no double-byte
// character.
void FormatBounded(char* buffer, size_t limit, const char* format, va_list args) {
  buffer[0] = '\0';
  if (format == nullptr) return;
  va_list again;
  va_copy(again, args);
  int needed = std::vsnprintf(nullptr, 0, format, args);
  std::string text(needed > 0 ? static_cast<size_t>(needed) : 0, '\0');
  if (needed > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  size_t length = TextPrefixLength(text.c_str(), limit);
  text.copy(buffer, length);
  buffer[length] = '\0';
}

}  // namespace

int AppLogOpen() {
  if (SystemState.loggingOff) return 0;
  if (FILE* file = std::fopen(LogPath().c_str(), "wb")) std::fclose(file);
  return AppLogJoin();
}

int AppLogJoin() {
  if (SystemState.loggingOff) return 0;
  SystemState.logIndent = 0;
  SystemState.logMidLine = 0;
  SystemState.logTimeBase = timeGetTime();
  return 0;
}

int AppLogWrite(const char* text) {
  if (SystemState.loggingOff || SystemState.logFolder.empty() || text == nullptr || text[0] == '\0') return -1;
  FILE* file = std::fopen(LogPath().c_str(), "ab");
  if (file == nullptr) return -1;
  if (SystemState.logMidLine == 0) {
    if (!SystemState.timeStampsOff) {
      std::fprintf(file, "%d:", static_cast<int>(timeGetTime() - SystemState.logTimeBase));
    }
    for (int i = 0; i < SystemState.logIndent; ++i) {
      std::fputc('\t', file);
      OutputDebugStringA("\t");
    }
  }
  WriteWithLineEnds(file, text);
  OutputDebugStringA(text);
  size_t length = std::char_traits<char>::length(text);
  SystemState.logMidLine = text[length - 1] != '\n';
  std::fclose(file);
  return -1;
}

int AppLogWriteFormat(const char* format, ...) {
  if (format == nullptr) return -1;
  char buffer[kLogFormatBufferSize];
  va_list args;
  va_start(args, format);
  // Room for the line feed and the terminator.
  FormatBounded(buffer, sizeof buffer - 2, format, args);
  va_end(args);
  AppendText(buffer, "\n");
  return AppLogWrite(buffer);
}

int AppLogIndentIn() {
  ++SystemState.logIndent;
  return 0;
}

int AppLogIndentOut() {
  if (SystemState.logIndent > 0) --SystemState.logIndent;
  return 0;
}

int AppLogClose() { return 0; }

int ExitOnError(const char* text) {
  AppLogWrite(text);
  AppLogWrite("\n");
  if (exitingFlag) std::exit(-1);
  exitingFlag = 1;
  ShutdownLibrary();
  while (SystemState.quitFlag == 0 && SystemState.mainWindow != nullptr) {
    if (PumpWindowMessages() != 0) break;
  }
  AppLogWrite("ソフトをエラー終了します");
  std::exit(-1);
}

int ExitOnErrorFormat(const char* format, ...) {
  char buffer[kLogFormatBufferSize];
  va_list args;
  va_start(args, format);
  FormatBounded(buffer, sizeof buffer - 1, format, args);
  va_end(args);
  ExitOnError(buffer);
}
