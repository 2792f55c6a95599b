// The current music: MIDI files through the MCI sequencer with completion notices to the main window (or, in
// music mode 1, as a DirectMusic segment on the performance), any other file through the DirectShow graph with
// its events on message 0x522, loops restarted from either.
#include "sound/music.h"

#include <cstdio>

#include "core/log.h"
#include "core/main_window.h"
#include "core/message_pump.h"
#include "platform/media/dshow.h"
#include "platform/media/mci.h"
#include "platform/win32/kernel.h"
#include "platform/win32/winmm.h"
#include "sound/sound_services.h"
#include "vomak.h"

MidiMusicStateRecord MidiMusicState;
DirectShowMusicStateRecord DirectShowMusicState;

namespace {

constexpr UINT kDirectShowMusicMessage = 0x522;
constexpr DWORD kLongestStartWaitMs = 1000;

void CloseMidiDevice() { mciSendCommandA(MidiMusicState.deviceId, MCI_CLOSE, 0, 0); }

int FailMidiStart(const char* text) {
  CloseMidiDevice();
  return AppLogWrite(text);
}

template <class Interface>
void ReleaseInterface(Interface*& pointer) {
  if (pointer) pointer->Release();
  pointer = nullptr;
}

// Pumps while the pump reports the window alive and the condition holds, resting between looks.
template <class Condition>
void PumpWhile(Condition condition) {
  while (PumpWaitStep() == 0 && condition()) {
  }
}

// Opens and plays the file on the sequencer; a file the sequencer refuses goes to the graph, whose answer is
// returned with handedOver set.
int StartMidiThroughMci(const char* fullPath, int style, bool* handedOver) {
  MCI_OPEN_PARMSA open{};
  open.lpstrDeviceType = "sequencer";
  open.lpstrElementName = fullPath;
  if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&open)) != 0) {
    *handedOver = true;
    return PlayFileViaDirectShow(fullPath, style);
  }
  MidiMusicState.deviceId = open.wDeviceID;
  MCI_STATUS_PARMS status{};
  status.dwItem = MCI_SEQ_STATUS_PORT;
  if (mciSendCommandA(open.wDeviceID, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status)) != 0) {
    return FailMidiStart("ＭＩＤＩ演奏開始処理でエラーが起きました\n");
  }
  if (LOWORD(status.dwReturn) != 0xFFFF) return FailMidiStart("ＭＩＤＩ演奏開始処理でエラーが起きました\n");
  MCI_PLAY_PARMS play{};
  play.dwCallback = reinterpret_cast<DWORD_PTR>(GetLibraryWindowHandle());
  // A looped song repeats inside the device, at the frame after its end, however late the program pumps.
  const DWORD repeat = style == 3 ? MCI_DGV_PLAY_REPEAT : 0;
  if (mciSendCommandA(open.wDeviceID, MCI_PLAY, MCI_NOTIFY | repeat, reinterpret_cast<DWORD_PTR>(&play)) != 0) {
    return FailMidiStart("ＭＩＤＩ演奏に失敗しました\n");
  }
  return 0;
}

// Loads the file as a DirectMusic segment and plays it on the performance; a file the loader refuses goes to
// the graph, whose answer is returned with handedOver set.
int StartMidiThroughDirectMusic(const char* fullPath, const char* filePart, const char* dirPart, int style,
                                bool* handedOver) {
  IDirectMusicLoader8* loader = MusicLoader();
  IDirectMusicPerformance8* performance = MusicPerformance();
  WCHAR directory[kMusicPathSize] = {};
  WCHAR file[kMusicPathSize] = {};
  MultiByteToWideChar(CP_ACP, 0, dirPart, -1, directory, static_cast<int>(kMusicPathSize));
  MultiByteToWideChar(CP_ACP, 0, filePart, -1, file, static_cast<int>(kMusicPathSize));
  IDirectMusicSegment8*& segment = MidiMusicState.segment;
  // Without the DirectMusic objects (the sound system stopped) nothing can load.
  if (loader) loader->SetSearchDirectory(GUID_DirectMusicAllTypes, directory, FALSE);
  if (!loader || !performance ||
      loader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, file,
                                 reinterpret_cast<void**>(&segment)) != S_OK) {
    segment = nullptr;
    *handedOver = true;
    return PlayFileViaDirectShow(fullPath, style);
  }
  if (style == 3) segment->SetRepeats(DMUS_SEG_REPEAT_INFINITE);
  segment->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, nullptr);
  segment->Download(performance);
  performance->PlaySegmentEx(segment, nullptr, nullptr, DMUS_SEGF_REFTIME, 0, nullptr, nullptr, nullptr);
  REFERENCE_TIME now = 0;
  performance->GetTime(&now, nullptr);
  // Milliseconds, wrapping as the millisecond clock does.
  MidiMusicState.startTime = static_cast<int32_t>(static_cast<uint32_t>(now / 10000));
  return 0;
}

// Stops the current segment on the performance (when there is one), unloads it from it and lets it go.
void ReleaseCurrentSegment() {
  IDirectMusicSegment8*& segment = MidiMusicState.segment;
  if (!segment) return;
  IDirectMusicPerformance8* performance = MusicPerformance();
  if (performance) performance->StopEx(segment, 0, 0);
  segment->Unload(performance);
  segment->Release();
  segment = nullptr;
}

void DeleteTemporaryFile() {
  if (MidiMusicState.tempFileFlag == 1) DeleteFileA(MidiMusicState.tempFilePath);
  MidiMusicState.tempFileFlag = 0;
}

}  // namespace

int StartMusicFile(const char* fileName, int style) {
  StopCurrentMusic();
  ApplyMusicVolume(255);
  char fullPath[kMusicPathSize];
  char filePart[kMusicPathSize];
  char dirPart[kMusicPathSize];
  if (MakeFullPath(fileName, fullPath, sizeof fullPath, nullptr) != 0) {
    return AppLogWriteFormat("ミュージックファイル %s の演奏に失敗しました", fileName ? fileName : "");
  }
  SplitPathDirFile(fullPath, filePart, dirPart);
  bool handedOver = false;
  int result = 0;
  if (MusicDeviceModeNow() == 0) result = StartMidiThroughMci(fullPath, style, &handedOver);
  if (MusicDeviceModeNow() == 1) result = StartMidiThroughDirectMusic(fullPath, filePart, dirPart, style, &handedOver);
  if (handedOver || result != 0) return result;
  MidiMusicState.playingFlag = 1;
  MidiMusicState.loopFlag = style == 3 ? 1 : 0;
  if (style != 0) return 0;
  // A segment that never starts must not hold the program here for ever.
  const DWORD waitStart = timeGetTime();
  PumpWhile([waitStart] { return QueryMusicPlaying() == 0 && timeGetTime() - waitStart < kLongestStartWaitMs; });
  PumpWhile([] { return QueryMusicPlaying() == 1; });
  ReleaseCurrentSegment();
  DeleteTemporaryFile();
  return 0;
}

int StopCurrentMusic() {
  HaltDirectShowMusic();
  MidiMusicState.loopFlag = 0;
  if (MusicDeviceModeNow() == 0 && MidiMusicState.playingFlag == 1) {
    OnMciNotify(MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(MidiMusicState.deviceId));
    for (int i = 0; i < 5; ++i) PumpWindowMessages();
  }
  if (MusicDeviceModeNow() == 1) ReleaseCurrentSegment();
  DeleteTemporaryFile();
  return 0;
}

int QueryMusicPlaying() {
  switch (MusicDeviceModeNow()) {
    case 0: return MidiMusicState.playingFlag | DirectShowMusicState.playingFlag;
    case 1: {
      IDirectMusicPerformance8* performance = MusicPerformance();
      const bool segmentPlays =
          MidiMusicState.segment && performance && performance->IsPlaying(MidiMusicState.segment, nullptr) == S_OK;
      return (segmentPlays ? 1 : 0) | DirectShowMusicState.playingFlag;
    }
    default: return 0;
  }
}

int OnMciNotify(WPARAM, LPARAM device) {
  if (static_cast<uint32_t>(device) != MidiMusicState.deviceId) return 0;  // a late notice of an earlier device
  if (MidiMusicState.loopFlag == 1) {
    MCI_PLAY_PARMS play{};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(GetLibraryWindowHandle());
    play.dwFrom = 0;
    mciSendCommandA(MidiMusicState.deviceId, MCI_PLAY, MCI_FROM | MCI_NOTIFY | MCI_DGV_PLAY_REPEAT,
                    reinterpret_cast<DWORD_PTR>(&play));
    MidiMusicState.playingFlag = 1;
  } else if (MidiMusicState.playingFlag == 1) {
    CloseMidiDevice();
    MidiMusicState.playingFlag = 0;
  }
  return 0;
}

int PlayFileViaDirectShow(const char* fullPath, int style) {
  DirectShowMusicStateRecord& ds = DirectShowMusicState;
  if (ds.playingFlag) StopDirectShowMusic();
  WCHAR widePath[kMusicPathSize] = {};
  MultiByteToWideChar(CP_ACP, 0, fullPath, -1, widePath, static_cast<int>(kMusicPathSize));
  bool built =
      CoCreateInstance(CLSID_FilterGraph, nullptr, 3, IID_IGraphBuilder, reinterpret_cast<void**>(&ds.graph)) ==
          S_OK &&
      ds.graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&ds.control)) == S_OK &&
      ds.graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&ds.events)) == S_OK &&
      ds.graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&ds.seeking)) == S_OK &&
      ds.graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&ds.audio)) == S_OK &&
      ds.graph->RenderFile(widePath, nullptr) == S_OK;
  if (!built) {
    StopDirectShowMusic();
    return AppLogWriteFormat("ミュージックファイル %s の演奏に失敗しました", fullPath);
  }
  // A looped file starts again inside the graph, at the frame after its end, however late the program pumps.
  if (style == 3) ds.seeking->SetLooping(TRUE);
  ds.control->Run();
  ds.playingFlag = 1;
  ds.style = style;
  std::snprintf(ds.path, sizeof ds.path, "%s", fullPath);
  ds.events->SetNotifyWindow(reinterpret_cast<OAHWND>(GetLibraryWindowHandle()), kDirectShowMusicMessage, 0);
  if (style == 0) PumpWhile([] { return DirectShowMusicState.playingFlag == 1; });
  return 0;
}

int OnDirectShowMusicEvent() {
  DirectShowMusicStateRecord& ds = DirectShowMusicState;
  if (ds.events == nullptr) return 0;
  for (int attempt = 0; attempt < 10 && ds.events; ++attempt) {
    long code = 0;
    LONG_PTR first = 0, second = 0;
    if (ds.events->GetEvent(&code, &first, &second, 1) != S_OK) continue;
    ds.events->FreeEventParams(code, first, second);
    switch (code) {
      case EC_ERRORABORT:
      case EC_STREAM_ERROR_STOPPED:
        // Rewinding a stream that failed would fail again, for ever.
        AppLogWriteFormat("ミュージックファイル %s の演奏に失敗しました", ds.path);
        StopDirectShowMusic();
        return 0;
      case EC_COMPLETE:
      case EC_USERABORT:
      case EC_STREAM_ERROR_STILLPLAYING:
      case EC_ERROR_STILLPLAYING:
      case EC_END_OF_SEGMENT:
        if (ds.style == 3) {
          LONGLONG start = 0;
          if (ds.seeking) ds.seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr,
                                                   AM_SEEKING_NoPositioning);
        } else {
          StopDirectShowMusic();
        }
        return 0;
      default: break;
    }
  }
  return 0;
}

int StopDirectShowMusic() {
  DirectShowMusicStateRecord& ds = DirectShowMusicState;
  if (ds.playingFlag && ds.events) ds.events->SetNotifyWindow(0, 0, 0);
  ReleaseInterface(ds.seeking);
  ReleaseInterface(ds.control);
  ReleaseInterface(ds.graph);
  ReleaseInterface(ds.events);
  ReleaseInterface(ds.audio);
  ds.playingFlag = 0;
  return 0;
}

int HaltDirectShowMusic() { return StopDirectShowMusic(); }

int QueryDirectShowMusicPlaying() { return DirectShowMusicState.playingFlag; }

int SetDirectShowMusicVolume(int volume) {
  if (DirectShowMusicState.audio == nullptr) return 0;
  long level = volume == 255 ? 0 : static_cast<long>(volume * 39.0625) - 10000;
  DirectShowMusicState.audio->put_Volume(level);
  return 0;
}

int ApplyMusicVolume(int volume) {
  if (!SoundDeviceExists()) return -1;
  SetDirectShowMusicVolume(volume);
  if (MusicDeviceModeNow() == 1 && MusicPerformance()) {
    const int32_t master = MusicMasterVolume();
    LONG level = volume == 255 ? master : static_cast<LONG>((master + 10000) / 256.0 * volume) - 10000;
    MusicPerformance()->SetGlobalParam(GUID_PerfMasterVolume, &level, sizeof level);
  }
  return 0;
}

int MusicStartupStub() { return 0; }

int MusicShutdown() {
  StopDirectShowMusic();
  return 1;
}
