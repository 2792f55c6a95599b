// Kernel services: clocks, Sleep, memory status, version, code pages, current directory, threads, debugger.
#include "platform/win32/kernel.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/host/idle.h"
#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/win32/winmm.h"

void Sleep(DWORD milliseconds) {
  host::NoteSleep();
  host::Current().SleepMilliseconds(milliseconds);
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  if (!frequency) return FALSE;
  if (host::ShouldFail("QueryPerformanceFrequency")) {
    frequency->QuadPart = 0;
    return FALSE;
  }
  frequency->QuadPart = static_cast<LONGLONG>(host::Current().PerformanceFrequency());
  return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
  if (!count) return FALSE;
  host::NoteClockRead();
  host::Host& h = host::Current();
  const uint64_t frequency = h.PerformanceFrequency();
  const uint64_t ns = h.Nanoseconds();
  // Counts of the host's frequency since the clock's zero, without overflow for any uptime.
  const uint64_t seconds = ns / 1000000000u;
  const uint64_t rest = ns % 1000000000u;
  count->QuadPart = static_cast<LONGLONG>(seconds * frequency + rest * frequency / 1000000000u);
  return TRUE;
}

DWORD GetTickCount() { return timeGetTime(); }

void GlobalMemoryStatus(MEMORYSTATUS* status) {
  if (!status) return;
  uint64_t total = 0, available = 0;
  host::Current().MemoryStatus(total, available);
  auto clamp = [](uint64_t v) { return static_cast<DWORD>(std::min<uint64_t>(v, 0xFFFFFFFFu)); };
  *status = {};
  status->dwLength = sizeof(MEMORYSTATUS);
  status->dwMemoryLoad = total ? static_cast<DWORD>(100 - available * 100 / total) : 0;
  status->dwTotalPhys = clamp(total);
  status->dwAvailPhys = clamp(available);
  status->dwTotalPageFile = clamp(total * 2);
  status->dwAvailPageFile = clamp(available * 2);
  status->dwTotalVirtual = 0x7FFE0000u;
  status->dwAvailVirtual = 0x7FF00000u;
}

// The substitute reports the newest version the library tells apart.
BOOL GetVersionExA(OSVERSIONINFOA* info) {
  if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) return FALSE;
  info->dwMajorVersion = 5;
  info->dwMinorVersion = 1;
  info->dwBuildNumber = 2600;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  std::memset(info->szCSDVersion, 0, sizeof(info->szCSDVersion));
  return TRUE;
}

UINT GetOEMCP() { return host::Current().OemCodePage(); }

UINT GetACP() { return host::Current().OemCodePage(); }

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
  std::string path;
  std::vector<char> work(4096);
  while (!getcwd(work.data(), work.size())) {
    if (errno != ERANGE) return 0;
    work.resize(work.size() * 2);
  }
  path = work.data();
  // Too small a buffer is told the size it needs, terminator included, and left untouched.
  if (!buffer || size <= path.size()) return static_cast<DWORD>(path.size() + 1);
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
  if (!path || !*path) return FALSE;
  std::string p = path;
  std::replace(p.begin(), p.end(), '\\', '/');
  return chdir(p.c_str()) == 0 ? TRUE : FALSE;
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

void OutputDebugStringA(LPCSTR text) {
  if (text) host::Current().DebugOutput(text);
}

DWORD GetLastError() { return host::State().lastError; }

void SetLastError(DWORD error) { host::State().lastError = error; }
