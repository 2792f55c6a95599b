// Sound and music as the library core reaches them, until the sound subsystem is built here: the device
// records that it runs; there are no sounds to refill and no music to poll.
#include "sound/sound_services.h"
#include "vomak.h"

#include "core/log.h"

namespace {
int soundStarted = 0;
}  // namespace

int SoundSystemStartup() {
  if (soundStarted) return -1;
  soundStarted = 1;
  return 0;
}

int SoundSystemShutdown() {
  if (!soundStarted) return -1;
  soundStarted = 0;
  AppLogWrite("DirectSound の終了処理は正常に終了しました\n");
  return 0;
}

int MusicStartupStub() { return 0; }
int MusicShutdown() { return 1; }
int StopCurrentMusic() { return 0; }
int RefillAllStreamSounds() { return soundStarted ? 0 : -1; }
int PollMusicHandles() { return soundStarted ? 0 : -1; }
int OnMciNotify() { return 0; }
int OnDirectShowMusicEvent() { return 0; }

// No sound can be loaded yet: every handle is bad, and playing or halting it fails.
int LoadSoundFromFile(const char*) { return -1; }
int StartSoundPlayback(int, int, int) { return -1; }
int HaltSoundPlayback(int) { return -1; }
int StartMusicFile(const char*, int) { return -1; }
