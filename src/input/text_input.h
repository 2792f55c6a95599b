// Text input: the input-character ring the window procedure and the input method fill, the text-input records
// it is edited into, the caret blink and the input method's composition state, all in one block.
#pragma once
#include <cstdint>

#include "platform/win32/imm.h"

struct TextInputRecord {
  int32_t inUse;
  int32_t checkNumber;
  int32_t ended;
  int32_t cancelled;  // ended by Escape
  int32_t length;     // bytes, terminator excluded
  int32_t maximumLength;
  int32_t cursor;  // byte index, 0 to length, never inside a double-byte character
  char* buffer;    // at least maximumLength + 1 bytes from MemAlloc, freed with the record
  int32_t escapeAllowed;
  int32_t singleByteOnly;
  int32_t digitsOnly;
};

constexpr int kInputCharRingSize = 1025;  // 1,024 bytes held at most
constexpr int kTextInputRecords = 20;
constexpr int kCompositionTextSize = 1024;

struct TextInputState {
  uint8_t ring[kInputCharRingSize];
  int32_t readIndex;
  int32_t writeIndex;
  int32_t composing;
  int32_t imeCursor;  // in characters
  char compositionText[kCompositionTextSize];
  CANDIDATELIST* candidateList;  // from MemAlloc, or null
  int32_t imeSwitch;
  int32_t imeOpenStatus;
  uint8_t clauseData[kCompositionTextSize];
  int32_t clauseCount;
  int32_t imeActivity;
  uint32_t colors[7];
  uint32_t blinkBase;
  int32_t blinkPeriod;
  int32_t caretVisible;
  int32_t activeHandle;  // the record that takes typed characters, or -1
  TextInputRecord records[kTextInputRecords];
};
extern TextInputState TextInput;

// Virtual key to control code for the editing keys of WM_KEYDOWN; the list ends with a zero key.
struct InputControlKey {
  uint8_t virtualKey;
  uint8_t code;
};
extern const InputControlKey InputControlKeyTable[];

int ResetTextInputState();
// 0, or -1 when the ring is full (the byte is lost).
int PushInputCharByte(unsigned char byte);
// 1 when the ring holds its 1,024 bytes.
int IsInputCharRingFull();
// The next whole character's byte count (0 when none) and bytes; with take 0 the ring stays as it was.
int TakeInputChar(unsigned char* out, int take);
int IsInputControlCode(unsigned char byte);
// 0, or -1 for a handle that names no record in use.
int DeleteTextInput(int handle);
int DeleteAllTextInputs();
// Edits the waiting characters into the active record: 0, or -1 for an active handle that names no record.
int ProcessActiveTextInput();
int RestartCaretBlink();
int SwitchImeEnabled(int enable);

// The input method's messages while the library has switched it on; the window procedure's result.
LRESULT HandleImeMessage(HWND window, UINT message, WPARAM first, LPARAM second);
// Opens (1) or closes the input method of the main window.
int SwitchImeOpen(int open);
// Characters that begin within the first n bytes of the text.
int CountCharsInBytes(const char* text, int n);
// Leading characters the two texts share.
int CountEqualChars(const char* first, const char* second);
// Characters before the first occurrence of find; -1 when it is at the start or absent.
int CountCharsBeforeSubstring(const char* text, const char* find);
