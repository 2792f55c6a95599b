// The input method on the substitute: the host's committed text becomes WM_CHAR bytes (Shift-JIS, lead byte
// first), its composition the WM_IME_* messages, and the IMM calls read the composition each message was sent
// with. With the input method disabled for the process, compositions are not reported and text arrives as
// WM_CHAR only.
#include "platform/win32/imm.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "platform/host/input.h"
#include "platform/host/menu_bar.h"
#include "platform/host/platform.h"
#include "platform/host/platform_state.h"

namespace {

constexpr size_t kPendingLimit = 1024;  // compositions waiting for their messages' dispatch

HIMC TheContext() { return reinterpret_cast<HIMC>(&host::Input()); }

bool IsContext(HIMC context) { return context != nullptr && context == TheContext(); }

void PostComposition(const host::ImeSnapshot& snapshot, LPARAM parts) {
  HWND target = host::KeyboardFocusWindow();
  if (!target) return;
  host::InputState& input = host::Input();
  if (input.pendingCompositions.size() >= kPendingLimit) input.pendingCompositions.pop_front();
  input.pendingCompositions.push_back(snapshot);
  const std::string& text = snapshot.result.empty() ? snapshot.composition : snapshot.result;
  WPARAM first = text.empty() ? 0 : static_cast<unsigned char>(text[0]);
  PostMessageA(target, WM_IME_COMPOSITION, first, parts);
}

void PostToFocus(UINT message, WPARAM first, LPARAM second) {
  if (HWND target = host::KeyboardFocusWindow()) PostMessageA(target, message, first, second);
}

LONG CopyOut(const void* data, size_t length, LPVOID buffer, DWORD size) {
  if (size == 0 || buffer == nullptr) return static_cast<LONG>(length);
  size_t n = length < size ? length : size;
  std::memcpy(buffer, data, n);
  return static_cast<LONG>(n);
}

}  // namespace

namespace host {

std::string Utf8ToShiftJis(const std::string& utf8) {
  std::string out;
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char buffer[256];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, outPtr);
    if (r != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // A character without a Shift-JIS form (or a broken sequence): skip its bytes.
    size_t skip = 1;
    while (skip < inLeft && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) ++skip;
    in += skip;
    inLeft -= skip;
  }
  iconv_close(cd);
  return out;
}

void TextCommitted(const std::string& utf8) {
  std::string text = Utf8ToShiftJis(utf8);
  if (text.empty()) return;
  InputState& input = Input();
  // Text typed by a key the menu took, or with Alt held (an access letter), belongs to the menu.
  const bool altChord = (input.virtualKeys[VK_MENU] & 0x80) && !(input.virtualKeys[VK_CONTROL] & 0x80);
  if (MenuTrackingWindow() || MenuTookLastPress() || altChord) return;
  if (input.imeEnabled && input.composing) {
    input.composing = false;
    ImeSnapshot result;
    result.result = text;
    PostComposition(result, static_cast<LPARAM>(GCS_RESULTSTR | GCS_COMPSTR | GCS_CURSORPOS | GCS_COMPCLAUSE));
    PostToFocus(WM_IME_ENDCOMPOSITION, 0, 0);
    return;
  }
  for (char byte : text) PostToFocus(WM_CHAR, static_cast<unsigned char>(byte), 1);
}

void TextComposing(const std::string& utf8, int cursorCharacters) {
  InputState& input = Input();
  if (!input.imeEnabled) return;
  ImeSnapshot snapshot;
  snapshot.composition = Utf8ToShiftJis(utf8);
  if (snapshot.composition.empty()) {
    if (!input.composing) return;
    input.composing = false;
    PostComposition(snapshot, static_cast<LPARAM>(GCS_COMPSTR | GCS_CURSORPOS | GCS_COMPCLAUSE));
    PostToFocus(WM_IME_ENDCOMPOSITION, 0, 0);
    return;
  }
  // The cursor in bytes: the Shift-JIS length of the characters before it.
  size_t prefix = 0;
  for (int n = 0; n < cursorCharacters && prefix < utf8.size(); ++n) {
    do ++prefix;
    while (prefix < utf8.size() && (static_cast<unsigned char>(utf8[prefix]) & 0xC0) == 0x80);
  }
  snapshot.cursor = static_cast<int>(Utf8ToShiftJis(utf8.substr(0, prefix)).size());
  if (!input.composing) {
    input.composing = true;
    PostToFocus(WM_IME_STARTCOMPOSITION, 0, 0);
  }
  PostComposition(snapshot, static_cast<LPARAM>(GCS_COMPSTR | GCS_CURSORPOS | GCS_COMPCLAUSE));
}

void CandidatesChanged(const std::vector<std::string>& utf8, int selection) {
  InputState& input = Input();
  if (!input.imeEnabled) return;
  const bool wasOpen = !input.candidates.empty();
  input.candidates.clear();
  for (const std::string& c : utf8) input.candidates.push_back(Utf8ToShiftJis(c));
  input.candidateSelection = selection;
  const bool open = !input.candidates.empty();
  if (!wasOpen && !open) return;
  WPARAM notice = !open ? IMN_CLOSECANDIDATE : wasOpen ? IMN_CHANGECANDIDATE : IMN_OPENCANDIDATE;
  PostToFocus(WM_IME_NOTIFY, notice, 1);
}

void BeforeDispatch(const MSG& message) {
  InputState& input = Input();
  if (message.message != WM_IME_COMPOSITION || input.pendingCompositions.empty()) return;
  input.current = std::move(input.pendingCompositions.front());
  input.pendingCompositions.pop_front();
}

}  // namespace host

BOOL WINNLSEnableIME(HWND, BOOL enable) {
  host::InputState& input = host::Input();
  BOOL previous = input.imeEnabled ? TRUE : FALSE;
  input.imeEnabled = enable != FALSE;
  if (!input.imeEnabled) {
    input.composing = false;
    input.current = {};
    input.candidates.clear();
  }
  return previous;
}

HWND ImmGetDefaultIMEWnd(HWND window) { return host::LiveWindow(window); }

HIMC ImmGetContext(HWND window) { return host::LiveWindow(window) ? TheContext() : nullptr; }

BOOL ImmReleaseContext(HWND, HIMC context) { return IsContext(context) ? TRUE : FALSE; }

LONG ImmGetCompositionStringA(HIMC context, DWORD index, LPVOID buffer, DWORD size) {
  if (!IsContext(context)) return -1;
  const host::ImeSnapshot& now = host::Input().current;
  switch (index) {
    case GCS_COMPSTR:
      return CopyOut(now.composition.data(), now.composition.size(), buffer, size);
    case GCS_RESULTSTR:
      return CopyOut(now.result.data(), now.result.size(), buffer, size);
    case GCS_CURSORPOS:
      return now.cursor;
    case GCS_COMPCLAUSE: {
      if (now.composition.empty()) return 0;
      const DWORD clauses[2] = {0, static_cast<DWORD>(now.composition.size())};  // the whole text, one clause
      return CopyOut(clauses, sizeof clauses, buffer, size);
    }
    default:
      return -1;
  }
}

DWORD ImmGetCandidateListA(HIMC context, DWORD index, CANDIDATELIST* list, DWORD size) {
  const host::InputState& input = host::Input();
  if (!IsContext(context) || index != 0 || input.candidates.empty()) return 0;
  const DWORD count = static_cast<DWORD>(input.candidates.size());
  const DWORD header = static_cast<DWORD>(offsetof(CANDIDATELIST, dwOffset)) + 4 * count;
  DWORD needed = header;
  for (const std::string& c : input.candidates) needed += static_cast<DWORD>(c.size() + 1);
  if (size == 0 || list == nullptr) return needed;
  if (size < needed) return 0;
  auto* bytes = reinterpret_cast<uint8_t*>(list);
  const DWORD fields[6] = {needed, IME_CAND_READ, count, static_cast<DWORD>(input.candidateSelection), 0, count};
  std::memcpy(bytes, fields, sizeof fields);
  DWORD at = header;
  for (DWORD i = 0; i < count; ++i) {
    std::memcpy(bytes + offsetof(CANDIDATELIST, dwOffset) + 4 * i, &at, 4);
    const std::string& c = input.candidates[i];
    std::memcpy(bytes + at, c.c_str(), c.size() + 1);
    at += static_cast<DWORD>(c.size() + 1);
  }
  return needed;
}

BOOL ImmGetOpenStatus(HIMC context) { return IsContext(context) && host::Input().imeOpen ? TRUE : FALSE; }

BOOL ImmSetOpenStatus(HIMC context, BOOL open) {
  if (!IsContext(context)) return FALSE;
  host::InputState& input = host::Input();
  if (input.imeOpen == (open != FALSE)) return TRUE;
  input.imeOpen = open != FALSE;
  if (HWND target = host::KeyboardFocusWindow()) SendMessageA(target, WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0);
  return TRUE;
}
