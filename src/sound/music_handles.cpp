// The music handle table: entries that hold a DirectMusic segment and the memory it was loaded from. Nothing
// here creates a handle; the table is released, halted, queried and polled (in music mode 1, where segments
// play on the performance).
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
  switch (MusicDeviceModeNow()) {
    case 0: return StopCurrentMusic();
    case 1:
      if (entry->segment && MusicPerformance()) MusicPerformance()->StopEx(entry->segment, 0, 0);
      entry->playingFlag = 0;
      entry->startedFlag = 0;
      return 0;
    default: return 0;
  }
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
  if (entry->segment) {
    entry->segment->Unload(MusicPerformance());
    entry->segment->Release();
  }
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
  IDirectMusicPerformance8* performance = MusicPerformance();
  if (MusicDeviceModeNow() != 1 || !performance) return 0;
  MusicHandleTable& table = MusicHandles();
  for (int slot = 0; slot < table.highWater; ++slot) {
    MusicEntry* entry = table.slots[slot];
    if (!entry || !entry->playingFlag) continue;
    const HRESULT answer = performance->IsPlaying(entry->segment, nullptr);
    const bool playing = answer == S_OK;
    // Until the performance first reports it playing, a segment counts as about to start; a failed answer (the
    // segment or the performance gone) means it never will.
    if (FAILED(answer)) {
      entry->playingFlag = 0;
    } else if (!entry->startedFlag) {
      if (playing) entry->startedFlag = 1;
    } else {
      entry->playingFlag = playing ? 1 : 0;
    }
  }
  return 0;
}
