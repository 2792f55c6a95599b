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
using CHAR = char;
using WCHAR = char16_t;  // UTF-16 code unit
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using SHORT = int16_t;
using USHORT = uint16_t;
using LONG_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using DWORD_PTR = uintptr_t;
using ATOM = uint16_t;
using COLORREF = DWORD;
using LPCVOID = const void*;

// Calling-convention markers of the original platform; plain functions here.
#define WINAPI
#define CALLBACK
#define APIENTRY

constexpr DWORD MAX_PATH = 260;

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
VOMAK_DECLARE_HANDLE(HACCEL);
#undef VOMAK_DECLARE_HANDLE
// GDI objects of every kind share one handle type, so any of them goes where HGDIOBJ is asked for.
using HBITMAP = HGDIOBJ;
using HBRUSH = HGDIOBJ;
using HPEN = HGDIOBJ;
using HFONT = HGDIOBJ;
using HRGN = HGDIOBJ;
using HPALETTE = HGDIOBJ;
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
using LPRECT = RECT*;
using LPPOINT = POINT*;

constexpr WORD LOWORD(DWORD_PTR value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD HIWORD(DWORD_PTR value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
constexpr LONG MAKELONG(WORD low, WORD high) {
  return static_cast<LONG>(static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16));
}
constexpr LPARAM MAKELPARAM(WORD low, WORD high) { return static_cast<LPARAM>(MAKELONG(low, high)); }
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) { return static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(low, high))); }
// Signed halves of a packed position, as move and size messages carry them.
constexpr int GET_X_LPARAM(LPARAM value) { return static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(value))); }
constexpr int GET_Y_LPARAM(LPARAM value) { return static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(value))); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
