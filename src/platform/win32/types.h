// Basic types of the substitute platform, with the names and sizes the library's calls expect.
#pragma once
#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using UINT = uint32_t;
using INT = int32_t;
using BOOL = int32_t;
using HRESULT = int32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using LPVOID = void*;
using LPSTR = char*;
using LPCSTR = const char*;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

// Handles are opaque pointers to the substitute's own objects.
#define VOMAK_DECLARE_HANDLE(name) struct name##__; using name = name##__*
VOMAK_DECLARE_HANDLE(HWND);
VOMAK_DECLARE_HANDLE(HDC);
VOMAK_DECLARE_HANDLE(HINSTANCE);
VOMAK_DECLARE_HANDLE(HGDIOBJ);
VOMAK_DECLARE_HANDLE(HMENU);
VOMAK_DECLARE_HANDLE(HICON);
VOMAK_DECLARE_HANDLE(HCURSOR);
VOMAK_DECLARE_HANDLE(HHOOK);
VOMAK_DECLARE_HANDLE(HDROP);
VOMAK_DECLARE_HANDLE(HIMC);
#undef VOMAK_DECLARE_HANDLE
using HMODULE = HINSTANCE;
using HANDLE = void*;

struct RECT {
  LONG left, top, right, bottom;
};
struct POINT {
  LONG x, y;
};
struct SIZE {
  LONG cx, cy;
};

union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  LONGLONG QuadPart;
};

using FARPROC = intptr_t (*)();

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
