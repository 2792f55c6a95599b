// The input method manager of the substitute: one input context per process, holding the composition the host
// reports (text, cursor, one clause), the last result, the candidate list and the open status.
#pragma once
#include "platform/win32/types.h"

constexpr DWORD GCS_COMPSTR = 0x0008;
constexpr DWORD GCS_COMPCLAUSE = 0x0020;
constexpr DWORD GCS_CURSORPOS = 0x0080;
constexpr DWORD GCS_RESULTSTR = 0x0800;

constexpr WPARAM IMN_CLOSESTATUSWINDOW = 1;
constexpr WPARAM IMN_OPENSTATUSWINDOW = 2;
constexpr WPARAM IMN_CHANGECANDIDATE = 3;
constexpr WPARAM IMN_CLOSECANDIDATE = 4;
constexpr WPARAM IMN_OPENCANDIDATE = 5;
constexpr WPARAM IMN_SETCONVERSIONMODE = 6;
constexpr WPARAM IMN_SETOPENSTATUS = 8;
constexpr WPARAM IMN_SETCANDIDATEPOS = 9;

constexpr LPARAM ISC_SHOWUICANDIDATEWINDOW = 0x00000001;
constexpr LPARAM ISC_SHOWUIGUIDELINE = 0x40000000;
constexpr LPARAM ISC_SHOWUICOMPOSITIONWINDOW = static_cast<LPARAM>(0x80000000u);

constexpr DWORD IME_CAND_READ = 1;

// The candidate-list record as ImmGetCandidateListA writes it: offsets from its start to each zero-terminated
// Shift-JIS candidate, the strings following the offsets.
struct CANDIDATELIST {
  DWORD dwSize;
  DWORD dwStyle;
  DWORD dwCount;
  DWORD dwSelection;
  DWORD dwPageStart;
  DWORD dwPageSize;
  DWORD dwOffset[1];
};

HWND ImmGetDefaultIMEWnd(HWND window);
// The input context of a live window (null for anything else); each needs its ImmReleaseContext.
HIMC ImmGetContext(HWND window);
BOOL ImmReleaseContext(HWND window, HIMC context);
// Bytes of the string (GCS_COMPSTR, GCS_RESULTSTR; no terminator), of the clause offsets (GCS_COMPCLAUSE,
// 32-bit each) or the cursor in bytes (GCS_CURSORPOS). With size 0 only the byte count; at most size bytes are
// written. Negative for a bad context or index.
LONG ImmGetCompositionStringA(HIMC context, DWORD index, LPVOID buffer, DWORD size);
// The bytes the record of candidate list `index` needs (0 without a list); written when size allows.
DWORD ImmGetCandidateListA(HIMC context, DWORD index, CANDIDATELIST* list, DWORD size);
BOOL ImmGetOpenStatus(HIMC context);
// Changing the status tells the focused window with WM_IME_NOTIFY / IMN_SETOPENSTATUS.
BOOL ImmSetOpenStatus(HIMC context, BOOL open);
