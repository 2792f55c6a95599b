// Kernel event objects of the substitute platform: manual- and auto-reset events that any thread may set,
// tested and waited on through their handles, and closed with CloseHandle.
#pragma once
#include "platform/win32/types.h"

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 0x102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD INFINITE = 0xFFFFFFFF;

// A new event (names are not shared between processes here and are ignored); null when creation fails.
HANDLE CreateEventA(LPVOID attributes, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
// WAIT_OBJECT_0 when signalled (an auto-reset event is reset by it), WAIT_TIMEOUT, or WAIT_FAILED for a
// handle that is not an open event. Time-outs other than 0 wait in real time.
DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds);
BOOL CloseHandle(HANDLE event);
