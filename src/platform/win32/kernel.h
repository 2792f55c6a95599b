// Kernel services of the substitute platform: clocks and Sleep, memory status, version, current directory,
// modules, code pages, the debugger output and the calling thread.
#pragma once
#include <string>

#include "platform/win32/types.h"

struct MEMORYSTATUS {
  DWORD dwLength;
  DWORD dwMemoryLoad;
  DWORD dwTotalPhys;
  DWORD dwAvailPhys;
  DWORD dwTotalPageFile;
  DWORD dwAvailPageFile;
  DWORD dwTotalVirtual;
  DWORD dwAvailVirtual;
};

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
};

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

// Clocks. The counter is the host's: real time on the desktop, virtual time on the headless host.
void Sleep(DWORD milliseconds);
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
DWORD GetTickCount();

// Memory, version, code pages.
void GlobalMemoryStatus(MEMORYSTATUS* status);
BOOL GetVersionExA(OSVERSIONINFOA* info);
UINT GetOEMCP();
UINT GetACP();

// Multibyte text (CP_ACP: the system code page, 932 or 949) to UTF-16. A length of -1 converts through the
// terminator, which is counted. Returns the units written, the units needed when outLength is 0, or 0 when
// the output is too small or the text is not valid in the code page.
constexpr UINT CP_ACP = 0;
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR out, int outLength);
// UTF-16 text to multibyte, the same way back (no default character is ever used: unmappable text gives 0).
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length, LPSTR out, int outLength,
                        LPCSTR defaultChar, BOOL* usedDefault);
// UTF-16 text back to the system code page (the substitute's own use: a name handed on as UTF-16 is resolved by
// the one path rule, which takes names as the library wrote them). Empty when some character has no bytes there.
std::string WideToNarrow(LPCWSTR text);

// Files: backslashes are separators and names match without regard to case, as for every path.
BOOL DeleteFileA(LPCSTR path);

// Current directory; backslashes in a path are taken as separators.
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
BOOL SetCurrentDirectoryA(LPCSTR path);

// Modules: the substitute's own table of libraries ("DDRAW.DLL", "DINPUT.DLL"), matched without regard to case.
HMODULE LoadLibraryA(LPCSTR name);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);
HMODULE GetModuleHandleA(LPCSTR name);

// Threads and the debugger output.
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
void OutputDebugStringA(LPCSTR text);
DWORD GetLastError();
void SetLastError(DWORD error);
