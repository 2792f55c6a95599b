// The music handle table: entries that hold a DirectMusic segment and the memory it was loaded from. Nothing
// here creates a handle; the table is released, halted, queried and polled.
#include "core/memory.h"
#include "sound/music.h"
#include "sound/sound_services.h"

namespace {

MusicEntry* EntryOf(int handle) {
  if (!SoundDeviceExists()) return nullptr;
  return MusicHandles().Find(handle);
}

}  // namespace

int HaltMusicHandle(int handle) {
  MusicEntry* entry = EntryOf(handle);
  if (entry == nullptr) return -1;
  if (MusicDeviceModeNow() == 0) return StopCurrentMusic();
  entry->playingFlag = 0;
  entry->startedFlag = 0;
  return 0;
}

int QueryMusicHandlePlaying(int handle) {
  MusicEntry* entry = EntryOf(handle);
  if (entry == nullptr) return -1;
  switch (MusicDeviceModeNow()) {
    case 0: return QueryMusicPlaying();
    case 1: return entry->playingFlag;
    default: return 0;
  }
}

int ReleaseMusicHandle(int handle) {
  MusicEntry* entry = EntryOf(handle);
  if (entry == nullptr) return -1;
  if (QueryMusicHandlePlaying(handle) == 1) HaltMusicHandle(handle);
  MemFree(entry->memoryImage);
  MusicHandleTable& table = MusicHandles();
  table.Remove(table.SlotOf(handle));
  MemFree(entry);
  return 0;
}

int ReleaseAllMusicHandles() {
  if (!SoundDeviceExists()) return -1;
  MusicHandleTable& table = MusicHandles();
  for (int slot = 0; slot < MusicHandleTable::kSize; ++slot) {
    if (MusicEntry* entry = table.slots[slot]) ReleaseMusicHandle(MakeHandle(MusicHandle, entry->check, slot));
  }
  return 0;
}

int PollMusicHandles() {
  if (!SoundDeviceExists()) return -1;
  return 0;  // only DirectMusic segments need polling, and this system plays music in mode 0
}
