// The sound core: the DirectSound device, the table of sound handles, loading by content, playing, stopping
// and querying; duplicate buffers let one sound overlap itself.
#pragma once
#include <cstdint>

#include "graphics/handle_kind.h"
#include "platform/directx/dmusic.h"
#include "platform/directx/dsound.h"
#include "sound/music.h"
#include "sound/stream_sound.h"

struct SoundEntry {
  uint32_t check;
  IDirectSoundBuffer* buffers[10];
  int32_t bufferCount;
  WAVEFORMATEX waveFormat;
  uint32_t pcmSize;
  void* pcmBlock;
  int32_t streamFlag;
  StreamState stream;
  uint32_t bytesPerSecond;
};

constexpr int kSoundSlots = 4096;
using SoundTable = HandleTable<SoundEntry, kSoundSlots, SoundHandle>;

struct SoundSystemState {
  IDirectSound* directSound;
  IDirectSoundBuffer* primaryBuffer;
  IDirectSoundBuffer* silentBuffer;
  IDirectMusicLoader8* musicLoader;            // music mode 1 only
  IDirectMusicPerformance8* musicPerformance;  // music mode 1 only
  int32_t MusicDeviceMode;
  int32_t masterVolume;
  int32_t SoundCreateMode;
  int32_t decoderBytesPerSample;
  SoundTable sounds;
  MusicHandleTable musicHandles;
};

extern SoundSystemState SoundSystem;

// The Ogg Vorbis decoder's output bytes per sample (the sound system's setting).
int SoundDecoderBytesPerSample();
// The entry of a valid handle while the sound system runs, else null.
SoundEntry* FindSoundEntry(int handle);

int SoundSystemStartup();
int SoundSystemShutdown();
int AddSoundData(int handle);
int CreateSoundBuffers(const WAVEFORMATEX* format, int byteSize, int kind, int count, int handle);
int AlignToBlock(int bytes, const SoundEntry* entry);
int LoadFileToMemory(const char* path, void** block, int* size);
int LoadSoundFromMemImage(const void* image, int size, int count);
int LoadSoundFromFileEx(const char* path, int count);
int LoadSoundFromFile(const char* path);
int StartSoundPlayback(int handle, int style, int restart);
int HaltSoundPlayback(int handle);
int QuerySoundPlaying(int handle);
int ReleaseSoundHandle(int handle);
int ReleaseAllSoundHandles();
BOOL LogSoundDevice(GUID* device, LPCSTR description, LPCSTR module, LPVOID context);
