// Stream sounds: a sound handle whose one looping six-second buffer is a ring, filled four seconds ahead and
// topped up an eighth of a second at a time from the message pump, from up to three parts played in turn.
#pragma once
#include <cstdint>

#include "sound/sound_decoder.h"

struct SoundEntry;

struct StreamPart {
  int8_t repeats;  // more plays after the first; -1 without end
  int32_t partMode;  // 0 decoded PCM image, 2 compressed image, 3 the caller's stream
  void* dataBlock;
  uint32_t dataSize;
  StreamSource ownStream;
  int32_t repeatStart;  // milliseconds from the part's start where a repeat resumes
  SoundDecoder decoder;
};

struct StreamState {
  StreamPart parts[3];
  uint8_t ownedStreams[3];
  int32_t partCount;
  int32_t currentPart;
  int32_t repeatsDone;
  int32_t ringSize;
  int32_t writePosition;  // -800: not filled since the last prepare
  int32_t refillPoint;
  int32_t partPosition;
  int32_t playedBytes;
  int32_t lastPlayCursor;
  int32_t loopRestartPending;
  int32_t loopRestartPosition;
  uint8_t preparedFlag;
  uint8_t playbackStyle;
  uint8_t endedFlag;
  uint8_t dataEndFlag;
  int32_t endPosition;
  int32_t endCursor;
};

struct StreamLockInfo {
  int32_t lockOffset;
  uint8_t* regions[2];
  int32_t sizes[2];
  int32_t used[2];
  int32_t left[2];
};

// Appends one part read from the source; *owns is 1 when the part no longer needs the caller's stream.
int AddSreamSound(const StreamSource* source, int repeats, int handle, int partMode, int* owns);
int AppendFileToStreamSound(const char* path, int repeats, int handle, int partMode);
int AppendMemImageToStreamSound(const void* image, int size, int repeats, int handle, int partMode);
int StreamPrepare(int handle);
int StreamPlay(int handle, int style, int restart);
int StreamStop(int handle);
int StreamQueryPlaying(int handle);
int StreamTrackPosition(int handle, int cursor);
int StreamRefill(int handle);
int StreamReadParts(StreamLockInfo* lock, SoundDecoder* decoder, int bytes);
int StreamFillSilence(SoundEntry* entry, StreamLockInfo* lock, int bytes);
int StreamNextPart(SoundEntry* entry, StreamLockInfo* lock, int cursor);
// Closes every part's decoder, block and own stream (and a mode-3 stream the handle owns).
void ReleaseStreamParts(SoundEntry* entry);
