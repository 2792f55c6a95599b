// What the library core calls of sound and music: start and end, the pump's refills and polling, notifications.
#pragma once
#include "platform/directx/dmusic.h"
#include "platform/win32/types.h"
#include "sound/music.h"

int SoundSystemStartup();
int SoundSystemShutdown();
int RefillAllStreamSounds();

// The sound state the music player reads: whether the DirectSound device exists, the music device mode (0:
// MCI sequencer with the DirectShow fall-back, 1: DirectMusic), the DirectMusic loader and performance (null
// outside mode 1), the master volume read at start-up, and the music handle table.
bool SoundDeviceExists();
int MusicDeviceModeNow();
IDirectMusicLoader8* MusicLoader();
IDirectMusicPerformance8* MusicPerformance();
int32_t MusicMasterVolume();
MusicHandleTable& MusicHandles();
