// Window tests: a window procedure that records every message it sees, then leaves it to DefWindowProcA.
#pragma once
#include <vector>

#include "platform/win32/user.h"

struct Seen {
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};
// Where Proc records (null: nowhere).
inline std::vector<Seen>* seen = nullptr;

inline LRESULT Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (seen) seen->push_back({message, wparam, lparam});
  return DefWindowProcA(window, message, wparam, lparam);
}
