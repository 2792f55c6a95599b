// What the library core calls of sound and music: start and end, the pump's refills and polling, notifications.
#pragma once
#include "platform/win32/types.h"
#include "sound/music.h"

int SoundSystemStartup();
int SoundSystemShutdown();
int RefillAllStreamSounds();

// The sound state the music player reads: whether the DirectSound device exists, the music device mode (0:
// MCI sequencer with the DirectShow fall-back) and the music handle table.
bool SoundDeviceExists();
int MusicDeviceModeNow();
MusicHandleTable& MusicHandles();
