// DirectMusic on the substitute: the DirectMusic object with its one port (the General MIDI synthesiser), the
// loader that reads Standard MIDI Files as segments, the segment, and the performance that plays segments on
// that synthesiser through the host's mixer, as the MCI sequencer plays the same files, with a master volume.
// Only the methods the library calls are declared.
//
// Failures the headless host can inject: "DirectMusic" (the object is missing), "DirectMusic:IDirectMusic2"
// (its creation for that interface), "DirectMusic::QueryInterface:IDirectMusic8", "DirectMusic::EnumPort",
// "DirectMusicLoader", "DirectMusicPerformance" (their creation), "DirectMusicPerformance::InitAudio",
// "DirectMusicPerformance::PlaySegmentEx".
#pragma once
#include "platform/directx/dsound.h"
#include "platform/win32/com.h"

extern const CLSID CLSID_DirectMusic;
extern const CLSID CLSID_DirectMusicLoader;
extern const CLSID CLSID_DirectMusicPerformance;
extern const CLSID CLSID_DirectMusicSegment;
extern const IID IID_IDirectMusic;
extern const IID IID_IDirectMusic2;
extern const IID IID_IDirectMusic8;
extern const IID IID_IDirectMusicLoader8;
extern const IID IID_IDirectMusicPerformance8;
extern const IID IID_IDirectMusicSegment8;
extern const GUID GUID_DirectMusicAllTypes;
extern const GUID GUID_StandardMIDIFile;
extern const GUID GUID_PerfMasterVolume;  // LONG, hundredths of a decibel, -20000 to 2000; 0 at first

using REFERENCE_TIME = LONGLONG;  // units of 100 ns
using MUSIC_TIME = LONG;

constexpr DWORD DMUS_SEG_REPEAT_INFINITE = 0xFFFFFFFF;
constexpr DWORD DMUS_SEGF_REFTIME = 0x40;
constexpr DWORD DMUS_SEGF_SECONDARY = 0x80;
constexpr DWORD DMUS_APATH_SHARED_STEREOPLUSREVERB = 1;
constexpr DWORD DMUS_APATH_DYNAMIC_3D = 6;
constexpr DWORD DMUS_APATH_DYNAMIC_MONO = 7;
constexpr DWORD DMUS_APATH_DYNAMIC_STEREO = 8;
constexpr DWORD DMUS_AUDIOF_ALL = 0x3F;
constexpr DWORD DMUS_AUDIOPARAMS_FEATURES = 0x1;
constexpr DWORD DMUS_AUDIOPARAMS_VOICES = 0x2;
constexpr DWORD DMUS_AUDIOPARAMS_SAMPLERATE = 0x4;
constexpr DWORD DMUS_PC_INPUTCLASS = 0;
constexpr DWORD DMUS_PC_OUTPUTCLASS = 1;
constexpr DWORD DMUS_PC_SOFTWARESYNTH = 0x4;
constexpr DWORD DMUS_PORT_USER_MODE_SYNTH = 1;
constexpr int DMUS_MAX_DESCRIPTION = 128;

constexpr HRESULT DMUS_E_DRIVER_FAILED = static_cast<HRESULT>(0x88781101u);
constexpr HRESULT DMUS_E_NOT_INIT = static_cast<HRESULT>(0x88781103u);
constexpr HRESULT DMUS_E_ALREADY_INITED = static_cast<HRESULT>(0x88781104u);
constexpr HRESULT DMUS_E_TYPE_UNSUPPORTED = static_cast<HRESULT>(0x88781106u);
constexpr HRESULT DMUS_E_GET_UNSUPPORTED = static_cast<HRESULT>(0x88781107u);
constexpr HRESULT DMUS_E_SET_UNSUPPORTED = static_cast<HRESULT>(0x88781108u);
constexpr HRESULT DMUS_E_LOADER_FAILEDOPEN = static_cast<HRESULT>(0x88781109u);
constexpr HRESULT DMUS_E_UNSUPPORTED_STREAM = static_cast<HRESULT>(0x8878110Au);

struct DMUS_PORTCAPS {
  DWORD dwSize;
  DWORD dwFlags;
  GUID guidPort;
  DWORD dwClass;
  DWORD dwType;
  DWORD dwMemorySize;
  DWORD dwMaxChannelGroups;
  DWORD dwMaxVoices;
  DWORD dwMaxAudioChannels;
  DWORD dwEffectFlags;
  WCHAR wszDescription[DMUS_MAX_DESCRIPTION];
};
static_assert(sizeof(DMUS_PORTCAPS) == 308);

struct DMUS_AUDIOPARAMS {
  DWORD dwSize;
  BOOL fInitNow;
  DWORD dwValidData;
  DWORD dwFeatures;
  DWORD dwVoices;
  DWORD dwSampleRate;
  CLSID clsidDefaultSynth;
};
static_assert(sizeof(DMUS_AUDIOPARAMS) == 40);

class IDirectMusic : public IUnknown {
 public:
  // The port of an index (dwSize 308): S_OK, or S_FALSE past the last one. The one port is the synthesiser
  // (an output port), present when a SoundFont can be loaded.
  virtual HRESULT EnumPort(DWORD index, DMUS_PORTCAPS* caps) = 0;
};
using IDirectMusic8 = IDirectMusic;

class IDirectMusicSegmentState : public IUnknown {};

class IDirectMusicSegment8 : public IUnknown {
 public:
  // Times the segment plays again after its first pass (DMUS_SEG_REPEAT_INFINITE: until stopped), from its
  // next start on.
  virtual HRESULT SetRepeats(DWORD repeats) = 0;
  // GUID_StandardMIDIFile (no data) is the one parameter: the segment plays as a General MIDI file.
  virtual HRESULT SetParam(REFGUID type, DWORD groups, DWORD index, MUSIC_TIME time, void* data) = 0;
  // Instruments come from the synthesiser's SoundFont, so these only check that a performance is given.
  virtual HRESULT Download(IUnknown* performance) = 0;
  virtual HRESULT Unload(IUnknown* performance) = 0;
};

class IDirectMusicLoader8 : public IUnknown {
 public:
  // The directory relative file names are found in (objects are never cached, so there is nothing to clear).
  virtual HRESULT SetSearchDirectory(REFGUID objectClass, const WCHAR* directory, BOOL clear) = 0;
  // Reads a Standard MIDI File (or an RMID file) as a CLSID_DirectMusicSegment; DMUS_E_LOADER_FAILEDOPEN for a
  // missing file, DMUS_E_UNSUPPORTED_STREAM for any other content.
  virtual HRESULT LoadObjectFromFile(REFGUID objectClass, REFIID iid, const WCHAR* path, void** object) = 0;
};

class IDirectMusicPerformance8 : public IUnknown {
 public:
  // Opens the synthesiser and the DirectSound device: a null *directSound gets a new device object at the
  // priority level (the caller owns a reference); a null directMusic asks for no DirectMusic object.
  virtual HRESULT InitAudio(IDirectMusic** directMusic, IDirectSound** directSound, HWND window, DWORD pathType,
                            DWORD channels, DWORD flags, DMUS_AUDIOPARAMS* params) = 0;
  // Plays a segment from its start, at once, stopping the one that played before it. A secondary segment
  // (DMUS_SEGF_SECONDARY) is refused with E_NOTIMPL: the one synthesiser plays one song. No segment state
  // object is made (*state becomes null).
  virtual HRESULT PlaySegmentEx(IUnknown* source, const WCHAR* name, IUnknown* transition, DWORD flags,
                                LONGLONG startTime, IDirectMusicSegmentState** state, IUnknown* from,
                                IUnknown* audioPath) = 0;
  // The performance's clock: reference time (100 ns units) and music time (1,536 a second).
  virtual HRESULT GetTime(REFERENCE_TIME* reference, MUSIC_TIME* music) = 0;
  // S_OK while the segment plays, else S_FALSE.
  virtual HRESULT IsPlaying(IDirectMusicSegment8* segment, IDirectMusicSegmentState* state) = 0;
  // Stops a segment (null: everything) at once, whatever the time and flags.
  virtual HRESULT StopEx(IUnknown* object, LONGLONG stopTime, DWORD flags) = 0;
  virtual HRESULT Stop(IDirectMusicSegment8* segment, IDirectMusicSegmentState* state, MUSIC_TIME time,
                       DWORD flags) = 0;
  // Stops everything and lets go of the synthesiser and the device; the performance cannot play again.
  virtual HRESULT CloseDown() = 0;
  // GUID_PerfMasterVolume, 4 bytes.
  virtual HRESULT GetGlobalParam(REFGUID type, void* data, DWORD size) = 0;
  virtual HRESULT SetGlobalParam(REFGUID type, void* data, DWORD size) = 0;
};

// CoCreateInstance's routes for the DirectMusic classes.
HRESULT CreateDirectMusicInstance(REFIID iid, void** out);
HRESULT CreateDirectMusicLoaderInstance(REFIID iid, void** out);
HRESULT CreateDirectMusicPerformanceInstance(REFIID iid, void** out);
