// The sound state as music playback reads it: the device, the music mode and the music handle table, all
// fields of the sound system's one record.
#include "sound/sound_services.h"

#include "sound/sound_system.h"

bool SoundDeviceExists() { return SoundSystem.directSound != nullptr; }
int MusicDeviceModeNow() { return SoundSystem.MusicDeviceMode; }
MusicHandleTable& MusicHandles() { return SoundSystem.musicHandles; }
