// The input method's messages while the library has switched it on: the composition, its cursor and clauses
// and the candidate list are kept for the library to draw, the system's own windows are hidden, and each
// result goes into the input-character ring. Beside them, character counting over double-byte text.
#include <cstring>

#include "core/clock.h"
#include "core/log.h"
#include "core/main_window.h"
#include "core/memory.h"
#include "core/message_pump.h"
#include "core/system_state.h"
#include "input/text_input.h"
#include "platform/win32/user.h"

namespace {

// Guards the open-status wait, which pumps messages, against a nested open-status notice.
int openStatusGuard = 0;

constexpr LPARAM kHiddenSystemWindows = 0x3FFFFFF0;

bool IsLead(unsigned char byte) { return IsLeadByteOfKind(byte, SystemState.doubleByteKind); }

// Width of the character at p: 2 over a lead byte whose second byte is not the terminator, else 1.
int CharWidth(const char* p) { return IsLead(static_cast<unsigned char>(p[0])) && p[1] != '\0' ? 2 : 1; }

// Reads the composition string into the composition text: at most the whole characters that leave room for
// the terminator.
void ReadCompositionText(HIMC context) {
  char* text = TextInput.compositionText;
  std::memset(text, 0, kCompositionTextSize);
  const LONG n = ImmGetCompositionStringA(context, GCS_COMPSTR, text, kCompositionTextSize - 1);
  LONG whole = 0;
  while (whole < n && whole + (IsLead(static_cast<unsigned char>(text[whole])) ? 2 : 1) <= n) {
    whole += IsLead(static_cast<unsigned char>(text[whole])) ? 2 : 1;
  }
  std::memset(text + whole, 0, static_cast<size_t>(kCompositionTextSize - whole));
}

// Every byte of the result goes to the ring, however long the result is.
void PushResult(HIMC context) {
  const LONG length = ImmGetCompositionStringA(context, GCS_RESULTSTR, nullptr, 0);
  if (length <= 0) return;
  auto* result = static_cast<unsigned char*>(MemAlloc(length));
  if (!result) return;
  const LONG n = ImmGetCompositionStringA(context, GCS_RESULTSTR, result, static_cast<DWORD>(length));
  for (LONG i = 0; i < n; ++i) PushInputCharByte(result[i]);
  MemFree(result);
}

void OnComposition(HWND window, LPARAM parts) {
  TextInputState& t = TextInput;
  HWND imeWindow = ImmGetDefaultIMEWnd(window);
  HIMC context = ImmGetContext(imeWindow);
  if (parts & GCS_COMPSTR) ReadCompositionText(context);
  if (parts & GCS_RESULTSTR) {
    PushResult(context);
    ReadCompositionText(context);
  }
  if (parts & GCS_CURSORPOS) {
    t.imeCursor = CountCharsInBytes(t.compositionText, ImmGetCompositionStringA(context, GCS_CURSORPOS, nullptr, 0));
  }
  if (parts & GCS_COMPCLAUSE) {
    std::memset(t.clauseData, 0, sizeof t.clauseData);
    LONG n = ImmGetCompositionStringA(context, GCS_COMPCLAUSE, t.clauseData, sizeof t.clauseData);
    t.clauseCount = n < 0 ? 0 : n / 4;
  }
  ImmReleaseContext(imeWindow, context);
}

void OnCandidates(HWND window) {
  TextInputState& t = TextInput;
  HWND imeWindow = ImmGetDefaultIMEWnd(window);
  HIMC context = ImmGetContext(imeWindow);
  const DWORD size = ImmGetCandidateListA(context, 0, nullptr, 0);
  if (size == 0) {
    ImmReleaseContext(imeWindow, context);
    AppLogWriteFormat("漢字変換候補のデータサイズが０でした  DefHWND:%x IMC:%x\n",
                      static_cast<unsigned>(reinterpret_cast<uintptr_t>(imeWindow)),
                      static_cast<unsigned>(reinterpret_cast<uintptr_t>(context)));
    return;
  }
  MemFree(t.candidateList);
  t.candidateList = static_cast<CANDIDATELIST*>(MemAlloc(static_cast<int>(size)));
  if (!t.candidateList) {
    ImmReleaseContext(imeWindow, context);
    ExitOnErrorFormat("漢字変換候補を保存するメモリの確保に失敗しました( 確保しようとしたサイズ %d バイト )",
                      static_cast<int>(size));
  }
  if (ImmGetCandidateListA(context, 0, t.candidateList, size) == 0) {
    MemFree(t.candidateList);
    t.candidateList = nullptr;
    ImmReleaseContext(imeWindow, context);
    AppLogWriteFormat("漢字変換候補の取得に失敗しました  BufSize:%d\n", static_cast<int>(size));
    return;
  }
  ImmReleaseContext(imeWindow, context);
}

LRESULT OnOpenStatus(HWND window, UINT message, WPARAM first, LPARAM second) {
  if (openStatusGuard) return 0;
  openStatusGuard = 1;
  DefWindowProcA(window, message, first, second);
  const int64_t start = GetMicrosecondCount(0);
  while (GetMicrosecondCount(0) - start < 2000) {
    if (PumpWindowMessages() != 0) break;
  }
  openStatusGuard = 0;
  HWND imeWindow = ImmGetDefaultIMEWnd(window);
  HIMC context = ImmGetContext(imeWindow);
  TextInput.imeOpenStatus = ImmGetOpenStatus(context);
  ImmReleaseContext(imeWindow, context);
  return 0;
}

}  // namespace

LRESULT HandleImeMessage(HWND window, UINT message, WPARAM first, LPARAM second) {
  TextInputState& t = TextInput;
  if (t.imeSwitch == 0) return 0;
  t.imeActivity = 1;
  RestartCaretBlink();
  switch (message) {
    case WM_IME_STARTCOMPOSITION:
      t.imeCursor = 0;
      t.composing = 1;
      return 0;
    case WM_IME_ENDCOMPOSITION:
      std::memset(t.compositionText, 0, sizeof t.compositionText);
      t.composing = 0;
      return 0;
    case WM_IME_COMPOSITION:
      OnComposition(window, second);
      return 0;
    case WM_IME_SETCONTEXT:
      return DefWindowProcA(window, message, first, second & kHiddenSystemWindows);
    case WM_IME_NOTIFY:
      switch (first) {
        case IMN_CHANGECANDIDATE:
        case IMN_OPENCANDIDATE:
        case IMN_SETCANDIDATEPOS:
          OnCandidates(window);
          return 0;
        case IMN_CLOSECANDIDATE:
          MemFree(t.candidateList);
          t.candidateList = nullptr;
          return 0;
        case IMN_SETOPENSTATUS:
          return OnOpenStatus(window, message, first, second);
        default:
          return DefWindowProcA(window, message, first, second);
      }
    default:
      return 0;
  }
}

int SwitchImeOpen(int open) {
  HWND imeWindow = ImmGetDefaultIMEWnd(GetLibraryWindowHandle());
  HIMC context = ImmGetContext(imeWindow);
  ImmSetOpenStatus(context, open == 1 ? TRUE : FALSE);
  ImmReleaseContext(imeWindow, context);
  return 0;
}

int CountCharsInBytes(const char* text, int n) {
  int count = 0;
  for (int i = 0; i < n && text[i] != '\0'; i += CharWidth(text + i)) ++count;
  return count;
}

int CountEqualChars(const char* first, const char* second) {
  int count = 0;
  for (int i = 0; first[i] != '\0' && second[i] != '\0';) {
    const int width = CharWidth(first + i);
    if (std::memcmp(first + i, second + i, static_cast<size_t>(width)) != 0) break;
    ++count;
    i += width;
  }
  return count;
}

int CountCharsBeforeSubstring(const char* text, const char* find) {
  const size_t findLength = std::strlen(find);
  int at = -1;
  for (int i = 0; text[i] != '\0'; i += CharWidth(text + i)) {
    if (std::strncmp(text + i, find, findLength) == 0) {
      at = i;
      break;
    }
  }
  if (at <= 0) return -1;
  char* copy = static_cast<char*>(MemAlloc(at + 1));
  if (!copy) return -1;
  std::memcpy(copy, text, static_cast<size_t>(at));
  copy[at] = '\0';
  const int count = CountCharsInBytes(copy, at);
  MemFree(copy);
  return count;
}
