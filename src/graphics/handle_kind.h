// Handles: kind code in bits 27-30, an 11-bit check number in bits 16-26, the slot in bits 0-15.
#pragma once
#include <cstdint>

constexpr int32_t GraphHandle = 0x08000000;
constexpr int32_t SoundHandle = 0x10000000;
constexpr int32_t MovieHandle = 0x18000000;
constexpr int32_t FontHandle = 0x20000000;
constexpr int32_t Surface2DHandle = 0x28000000;
constexpr int32_t Surface3DHandle = 0x30000000;
constexpr int32_t SurfaceDataHandle = 0x38000000;
constexpr int32_t MaskHandle = 0x40000000;
constexpr int32_t NetWorkHandle = 0x48000000;
constexpr int32_t TextInputHandle = 0x50000000;
constexpr int32_t MusicHandle = 0x58000000;

constexpr int32_t HandleKindMask = 0x78000000;
constexpr int32_t HandleCheckMask = 0x07FF0000;
constexpr int32_t HandleSlotMask = 0x0000FFFF;
constexpr uint32_t HandleCheckLimit = 2047;

inline int32_t MakeHandle(int32_t kind, uint32_t check, int slot) {
  return kind | static_cast<int32_t>((check & HandleCheckLimit) << 16) | slot;
}
inline int HandleSlot(int32_t handle) { return handle & HandleSlotMask; }
inline uint32_t HandleCheck(int32_t handle) { return static_cast<uint32_t>(handle & HandleCheckMask) >> 16; }

// One table of record pointers per handle kind. Records begin with their check number. Zero-initialised storage
// is an empty table, so a table can live in a record that is cleared with memset.
template <class Record, int Size, int32_t Kind>
struct HandleTable {
  Record* slots[Size];
  int count;          // live records
  int highWater;      // one more than the highest slot in use since the last shrink
  uint32_t checkCounter;

  static constexpr int kSize = Size;

  // The slot a handle names, or -1 when the handle is negative, of another kind, out of range, empty or stale.
  int SlotOf(int32_t handle) const {
    if (handle < 0 || (handle & HandleKindMask) != Kind) return -1;
    int slot = HandleSlot(handle);
    if (slot >= Size || slots[slot] == nullptr) return -1;
    if (slots[slot]->check != HandleCheck(handle)) return -1;
    return slot;
  }
  Record* Find(int32_t handle) const {
    int slot = SlotOf(handle);
    return slot < 0 ? nullptr : slots[slot];
  }
  // The slot a new record takes: the high-water slot, or once that has reached the end the first empty slot.
  // -1 when the table is full.
  int FreeSlot() const {
    if (count >= Size) return -1;
    if (highWater < Size) return highWater;
    for (int i = 0; i < Size; i++)
      if (slots[i] == nullptr) return i;
    return -1;
  }
  // Puts a record into a free slot, gives it the next check number and answers its handle.
  int32_t Insert(int slot, Record* record) {
    slots[slot] = record;
    record->check = checkCounter;
    checkCounter = checkCounter >= HandleCheckLimit ? 0 : checkCounter + 1;
    count++;
    if (slot == highWater) highWater++;
    return MakeHandle(Kind, record->check, slot);
  }
  // Empties a slot; when it was the last one below the high-water slot, the high-water slot drops past every
  // empty slot below it.
  void Remove(int slot) {
    slots[slot] = nullptr;
    count--;
    if (slot == highWater - 1) {
      int top = slot;
      while (top > 0 && slots[top - 1] == nullptr) top--;
      highWater = top;
    }
  }
};
