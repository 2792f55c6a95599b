// The sound state as music playback reads it: the device, the music mode, the DirectMusic objects, the master
// volume and the music handle table, all fields of the sound system's one record.
#include "sound/sound_services.h"

#include "sound/sound_system.h"

bool SoundDeviceExists() { return SoundSystem.directSound != nullptr; }
int MusicDeviceModeNow() { return SoundSystem.MusicDeviceMode; }
IDirectMusicLoader8* MusicLoader() { return SoundSystem.musicLoader; }
IDirectMusicPerformance8* MusicPerformance() { return SoundSystem.musicPerformance; }
int32_t MusicMasterVolume() { return SoundSystem.masterVolume; }
MusicHandleTable& MusicHandles() { return SoundSystem.musicHandles; }
