// Input as the library core reaches it, until the input subsystem is built here: the DirectInput layer only
// records that it runs; typed characters go into the input-character ring.
#include "input/input_services.h"
#include "vomak.h"

#include "core/log.h"

namespace {

constexpr int kRingCapacity = 1025;  // positions wrap at 1,025: 1,024 bytes held at most

struct InputEntryState {
  int started = 0;
  int flag46F = 0;
  int flag470 = 0;
  unsigned char ring[kRingCapacity] = {};
  int readPosition = 0;
  int writePosition = 0;
};
InputEntryState inputEntries;

}  // namespace

int StartDirectInputLayer() {
  AppLogWrite("DirectInput関係初期化処理\n");
  inputEntries.started = 1;
  return 0;
}

int EndDirectInputLayer() {
  if (inputEntries.started) AppLogWrite("DirectInput 関連の終了処理... 完了\n");
  inputEntries.started = 0;
  return 0;
}

int ResetTextInputState() {
  inputEntries.readPosition = 0;
  inputEntries.writePosition = 0;
  return 0;
}

int DeleteAllTextInputs() { return 0; }
int DrainKeyboardEvents() { return 0; }
int ProcessActiveTextInput() { return 0; }  // no text input is active

int IsInputCharRingFull() {
  const InputEntryState& s = inputEntries;
  return s.writePosition + 1 == s.readPosition || (s.readPosition == 0 && s.writePosition == kRingCapacity - 1);
}

int PushInputCharByte(unsigned char byte) {
  if (IsInputCharRingFull()) return -1;
  inputEntries.ring[inputEntries.writePosition] = byte;
  inputEntries.writePosition = (inputEntries.writePosition + 1) % kRingCapacity;
  return 0;
}

// The IME stays switched off for the main window: each of its messages is answered 0.
LRESULT HandleImeMessage(HWND, UINT, WPARAM, LPARAM) { return 0; }

int SetInputStateFlag46F() {
  inputEntries.flag46F = 1;
  return 0;
}
int ClearInputStateFlag46F() {
  inputEntries.flag46F = 0;
  return 0;
}
int SetInputStateFlag470() {
  inputEntries.flag470 = 1;
  return 0;
}
int ClearInputStateFlag470() {
  inputEntries.flag470 = 0;
  return 0;
}

// No keyboard or pad is read yet: nothing is ever held.
int QueryKeyDown(int) { return 0; }
int GetPadInputBits(int) { return 0; }
