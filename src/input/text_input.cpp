// The input-character ring and the text-input records: typed bytes wait in the ring until the pump edits them
// into the active record, whose cursor and length never split a double-byte character.
#include "input/text_input.h"

#include <cstring>

#include "core/clock.h"
#include "core/log.h"
#include "core/main_window.h"
#include "core/memory.h"
#include "core/system_state.h"
#include "graphics/color_format.h"
#include "graphics/handle_kind.h"
#include "platform/win32/user.h"

TextInputState TextInput;

const InputControlKey InputControlKeyTable[] = {
    {0x2E, 0x10}, {0x25, 0x1D}, {0x27, 0x1C}, {0x26, 0x1E}, {0x28, 0x1F}, {0, 0},
};

namespace {

constexpr unsigned char kBackspace = 8, kTab = 9, kEnter = 13, kDelete = 0x10, kEscape = 27;
constexpr unsigned char kRight = 0x1C, kLeft = 0x1D, kUp = 0x1E, kDown = 0x1F;

bool IsLead(unsigned char byte) { return IsLeadByteOfKind(byte, SystemState.doubleByteKind); }

int Step(int index) { return (index + 1) % kInputCharRingSize; }
int StepBack(int index) { return index == 0 ? kInputCharRingSize - 1 : index - 1; }

TextInputRecord* FindRecord(int handle) {
  if (handle < 0 || (handle & HandleKindMask) != TextInputHandle) return nullptr;
  const int slot = HandleSlot(handle);
  if (slot >= kTextInputRecords) return nullptr;
  TextInputRecord& r = TextInput.records[slot];
  if (!r.inUse || static_cast<uint32_t>(r.checkNumber) != HandleCheck(handle)) return nullptr;
  return &r;
}

// Width of the character at byte i: 2 over a lead byte with a second byte inside the text, else 1.
int WidthAt(const TextInputRecord& r, int i) {
  return IsLead(static_cast<unsigned char>(r.buffer[i])) && i + 1 < r.length ? 2 : 1;
}

// Start of the character before byte `end`, found by walking from the text's start: a trail byte can look like
// a lead byte, so looking back from the cursor cannot tell.
int PreviousCharStart(const TextInputRecord& r, int end) {
  int start = 0;
  for (int i = 0; i < end; i += WidthAt(r, i)) start = i;
  return start;
}

void RemoveBytes(TextInputRecord& r, int at, int count) {
  std::memmove(r.buffer + at, r.buffer + at + count, static_cast<size_t>(r.length - at - count + 1));
  r.length -= count;
}

void InsertChar(TextInputRecord& r, const unsigned char* bytes, int width) {
  if (r.digitsOnly && !((bytes[0] >= '0' && bytes[0] <= '9') || (bytes[0] == '-' && r.cursor == 0))) return;
  if (r.singleByteOnly && width == 2) return;
  // A character that cannot fit even into an empty text is dropped (the trimming below would never end).
  if (width > r.maximumLength) return;
  while (r.length + width > r.maximumLength) {
    const int last = PreviousCharStart(r, r.length);
    const int lastWidth = r.length - last;
    if (r.cursor == r.length) r.cursor -= lastWidth;
    r.buffer[last] = '\0';
    r.length = last;
  }
  std::memmove(r.buffer + r.cursor + width, r.buffer + r.cursor, static_cast<size_t>(r.length - r.cursor + 1));
  std::memcpy(r.buffer + r.cursor, bytes, static_cast<size_t>(width));
  r.cursor += width;
  r.length += width;
}

void EditWith(TextInputRecord& r, const unsigned char* bytes, int width) {
  switch (bytes[0]) {
    case kBackspace:
      if (r.cursor > 0) {
        const int start = PreviousCharStart(r, r.cursor);
        const int removed = r.cursor - start;
        r.cursor = start;
        RemoveBytes(r, start, removed);
      }
      break;
    case kTab:
    case kUp:
    case kDown:
      break;
    case kEnter:
      r.ended = 1;
      break;
    case kDelete:
      if (r.cursor < r.length) RemoveBytes(r, r.cursor, WidthAt(r, r.cursor));
      break;
    case kEscape:
      if (r.escapeAllowed) {
        r.cancelled = 1;
        r.ended = 1;
      }
      break;
    case kRight:
      if (r.cursor < r.length) r.cursor += WidthAt(r, r.cursor);
      break;
    case kLeft:
      if (r.cursor > 0) r.cursor = PreviousCharStart(r, r.cursor);
      break;
    default:
      InsertChar(r, bytes, width);
      break;
  }
}

}  // namespace

int ResetTextInputState() {
  AppLogWrite("文字コードバッファの初期化を行います... ");
  TextInputState& t = TextInput;
  // Nothing that an earlier start left behind is lost track of.
  MemFree(t.candidateList);
  for (TextInputRecord& r : t.records) {
    if (r.inUse) MemFree(r.buffer);
  }
  std::memset(&t, 0, sizeof t);
  const int colors[7][3] = {{255, 255, 255}, {255, 255, 255}, {255, 255, 0}, {0, 255, 255},
                            {255, 255, 255}, {255, 50, 50},   {255, 255, 20}};
  for (int i = 0; i < 7; ++i) t.colors[i] = PackScreenColor(colors[i][0], colors[i][1], colors[i][2]);
  t.activeHandle = -1;
  t.blinkBase = 0;
  t.blinkPeriod = 500;
  t.caretVisible = 1;
  AppLogWrite("完了しました\n");
  return 0;
}

int IsInputCharRingFull() {
  const TextInputState& t = TextInput;
  return Step(t.writeIndex) == t.readIndex ? 1 : 0;
}

int PushInputCharByte(unsigned char byte) {
  TextInputState& t = TextInput;
  if (IsInputCharRingFull()) return -1;
  t.ring[t.writeIndex] = byte;
  t.writeIndex = Step(t.writeIndex);
  return 0;
}

int IsInputControlCode(unsigned char byte) {
  for (const InputControlKey* row = InputControlKeyTable; row->virtualKey != 0; ++row) {
    if (row->code == byte) return 1;
  }
  return 0;
}

int TakeInputChar(unsigned char* out, int take) {
  TextInputState& t = TextInput;
  out[0] = out[1] = 0;
  if (t.readIndex == t.writeIndex) return 0;
  out[0] = t.ring[t.readIndex];
  t.readIndex = Step(t.readIndex);
  int count = 1;
  if (!IsInputControlCode(out[0]) && IsLead(out[0])) {
    if (t.readIndex == t.writeIndex) {
      t.readIndex = StepBack(t.readIndex);  // the lead byte waits for its partner
      out[0] = 0;
      return 0;
    }
    out[1] = t.ring[t.readIndex];
    if (take) t.readIndex = Step(t.readIndex);
    count = 2;
  }
  if (!take) t.readIndex = StepBack(t.readIndex);
  return count;
}

int RestartCaretBlink() {
  TextInput.blinkBase = static_cast<uint32_t>(GetMillisecondCount(0));
  TextInput.caretVisible = 1;
  return 0;
}

int ProcessActiveTextInput() {
  TextInputState& t = TextInput;
  if (t.activeHandle == -1) return 0;
  TextInputRecord* r = FindRecord(t.activeHandle);
  if (!r) return -1;
  unsigned char bytes[2];
  while (!r->ended) {
    const int width = TakeInputChar(bytes, 1);
    if (width == 0) break;
    RestartCaretBlink();
    EditWith(*r, bytes, width);
  }
  return 0;
}

int SwitchImeEnabled(int enable) {
  TextInputState& t = TextInput;
  if (enable == t.imeSwitch) return 0;
  WINNLSEnableIME(GetLibraryWindowHandle(), enable);
  t.imeSwitch = enable;
  if (enable == 0) {
    MemFree(t.candidateList);
    t.candidateList = nullptr;
    std::memset(t.compositionText, 0, sizeof t.compositionText);
    t.composing = 0;
  }
  return 0;
}

int DeleteTextInput(int handle) {
  TextInputState& t = TextInput;
  TextInputRecord* r = FindRecord(handle);
  if (!r) return -1;
  if (r->buffer) MemFree(r->buffer);
  std::memset(r, 0, sizeof *r);
  if (t.activeHandle == handle) t.activeHandle = -1;
  for (const TextInputRecord& other : t.records) {
    if (other.inUse) return 0;
  }
  SwitchImeEnabled(0);
  return 0;
}

int DeleteAllTextInputs() {
  TextInputState& t = TextInput;
  for (int slot = 0; slot < kTextInputRecords; ++slot) {
    const TextInputRecord& r = t.records[slot];
    if (r.inUse) DeleteTextInput(MakeHandle(TextInputHandle, static_cast<uint32_t>(r.checkNumber), slot));
  }
  t.activeHandle = -1;
  return 0;
}
