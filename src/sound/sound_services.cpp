// Sound as the library core reaches it, until the sound subsystem is built here: the device records that it
// runs; there are no sounds to load or refill.
#include "sound/sound_services.h"
#include "vomak.h"

#include "core/log.h"

namespace {
int soundStarted = 0;
MusicHandleTable musicHandles;
}  // namespace

bool SoundDeviceExists() { return soundStarted != 0; }
int MusicDeviceModeNow() { return 0; }
MusicHandleTable& MusicHandles() { return musicHandles; }

int SoundSystemStartup() {
  if (soundStarted) return -1;
  soundStarted = 1;
  return 0;
}

int SoundSystemShutdown() {
  if (!soundStarted) return -1;
  ReleaseAllMusicHandles();
  soundStarted = 0;
  AppLogWrite("DirectSound の終了処理は正常に終了しました\n");
  return 0;
}

int RefillAllStreamSounds() { return soundStarted ? 0 : -1; }

// No sound can be loaded yet: every handle is bad, and playing or halting it fails.
int LoadSoundFromFile(const char*) { return -1; }
int StartSoundPlayback(int, int, int) { return -1; }
int HaltSoundPlayback(int) { return -1; }
