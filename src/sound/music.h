// Background music: one current music from a file, played by the MCI sequencer (MIDI) with the DirectShow
// graph as the fall-back for other files; the table of music handles; the path helpers the player uses.
#pragma once
#include <cstddef>
#include <cstdint>

#include "graphics/handle_kind.h"
#include "platform/win32/types.h"

class IGraphBuilder;
class IMediaControl;
class IBasicAudio;
class IMediaSeeking;
class IMediaEventEx;
class IDirectMusicSegment8;

constexpr size_t kMusicPathSize = 260;

struct MidiMusicStateRecord {
  int32_t playingFlag;                // 1 while an MCI device is open for the current music
  char tempFilePath[kMusicPathSize];  // file to delete once the music stops, when tempFileFlag is 1
  uint32_t deviceId;                  // the MCI device of the current music
  int32_t loopFlag;                   // 1 when the current music was started with style 3
  IDirectMusicSegment8* segment;      // DirectMusic mode only
  int32_t startTime;
  int32_t tempFileFlag;
};

struct DirectShowMusicStateRecord {
  IGraphBuilder* graph;
  IMediaControl* control;
  IBasicAudio* audio;
  IMediaSeeking* seeking;
  IMediaEventEx* events;
  int32_t playingFlag;
  int32_t style;  // PlaybackStyle of the current DirectShow music
  char path[kMusicPathSize];  // its full path, for the log line of a failure while it plays
};

extern MidiMusicStateRecord MidiMusicState;
extern DirectShowMusicStateRecord DirectShowMusicState;

struct MusicEntry {
  uint32_t check;
  int32_t playingFlag;
  int32_t startedFlag;
  void* memoryImage;  // owned by the entry
  IDirectMusicSegment8* segment;
};
using MusicHandleTable = HandleTable<MusicEntry, 256, MusicHandle>;

// Plays a music file with a PlaybackStyle: 0 when it plays (style 0: when it has ended), -1 on failure.
int StartMusicFile(const char* fileName, int style);
// Stops whatever music plays; 0.
int StopCurrentMusic();
// 1 while the current music plays, else 0.
int QueryMusicPlaying();
// The main window's MM_MCINOTIFY: restarts looped MIDI music or closes the finished device; notices of any
// other device are ignored. 0.
int OnMciNotify(WPARAM status, LPARAM device);
// Plays a file through the DirectShow graph; 0 or -1 (logged).
int PlayFileViaDirectShow(const char* fullPath, int style);
// The main window's message 0x522: takes up to 10 graph events; rewinds looped music at its end, else stops; an
// error that stopped the stream stops the music, whatever its style, with its log line.
int OnDirectShowMusicEvent();
int StopDirectShowMusic();
int HaltDirectShowMusic();
int QueryDirectShowMusicPlaying();
// Volume 0-255 of the DirectShow music; 0.
int SetDirectShowMusicVolume(int volume);
// Volume 0-255 of all music; 0, or -1 while the sound device is absent.
int ApplyMusicVolume(int volume);
int MusicStartupStub();
// Releases the DirectShow music; 1.
int MusicShutdown();

// Music handles: -1 while the sound device is absent or for a bad handle; else 0 (the query: 1 or 0).
int ReleaseMusicHandle(int handle);
int HaltMusicHandle(int handle);
int QueryMusicHandlePlaying(int handle);
int ReleaseAllMusicHandles();
int PollMusicHandles();

// Writes the absolute form of source (relative to base, or to the current directory when base is null) into
// out (outSize bytes); -1 for a malformed source or a result that does not fit.
int MakeFullPath(const char* source, char* out, size_t outSize, const char* base);
// Splits a path at its last '\\', '/' or ':' into the file part and the directory part (either may be null).
int SplitPathDirFile(const char* path, char* filePart, char* dirPart);
