// The DirectShow filter graph as the music player uses it: a graph that renders one audio file (WAV in any
// format the ACM decodes, raw MPEG audio, Ogg Vorbis) into the host's mixer, decoded as it plays, with run,
// completion events posted to a window, seeking, looping and volume. Only the methods the library calls are declared.
#pragma once
#include "platform/win32/com.h"

extern const CLSID CLSID_FilterGraph;
extern const IID IID_IGraphBuilder;
extern const IID IID_IMediaControl;
extern const IID IID_IMediaEventEx;
extern const IID IID_IMediaSeeking;
extern const IID IID_IBasicAudio;

using OAHWND = LONG_PTR;
using OAEVENT = LONG_PTR;

// Event codes.
constexpr long EC_COMPLETE = 0x01;
constexpr long EC_USERABORT = 0x02;
constexpr long EC_ERRORABORT = 0x03;
constexpr long EC_STREAM_ERROR_STOPPED = 0x06;
constexpr long EC_STREAM_ERROR_STILLPLAYING = 0x07;
constexpr long EC_ERROR_STILLPLAYING = 0x08;
constexpr long EC_END_OF_SEGMENT = 0x1C;

// Seeking flags.
constexpr DWORD AM_SEEKING_NoPositioning = 0;
constexpr DWORD AM_SEEKING_AbsolutePositioning = 1;

constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = static_cast<HRESULT>(0x80040265u);
constexpr HRESULT VFW_E_NOT_FOUND = static_cast<HRESULT>(0x80040216u);
constexpr HRESULT VFW_E_WRONG_STATE = static_cast<HRESULT>(0x80040227u);

class IGraphBuilder : public IUnknown {
 public:
  // Builds the graph for a file (recognised by content); S_OK, or an error when it cannot be played.
  virtual HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) = 0;
};

class IMediaControl : public IUnknown {
 public:
  virtual HRESULT Run() = 0;   // plays from the current position
  virtual HRESULT Stop() = 0;  // stops; the position stays
};

class IMediaEventEx : public IUnknown {
 public:
  // The next event, waiting at most timeoutMs (E_ABORT when none came).
  virtual HRESULT GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long timeoutMs) = 0;
  virtual HRESULT FreeEventParams(long code, LONG_PTR param1, LONG_PTR param2) = 0;
  // Each event queued from now on posts message (wParam 0, lParam instance) to the window; window 0: none.
  virtual HRESULT SetNotifyWindow(OAHWND window, long message, LONG_PTR instance) = 0;
};

class IMediaSeeking : public IUnknown {
 public:
  // Positions in units of 100 ns.
  virtual HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) = 0;
  // This platform's own: a looped graph plays on from the beginning at the frame after its end, with no end
  // event, until it is set not to loop.
  virtual HRESULT SetLooping(BOOL loop) = 0;
};

class IBasicAudio : public IUnknown {
 public:
  // Hundredths of a decibel, -10000 (silence) to 0 (full).
  virtual HRESULT put_Volume(long volume) = 0;
};

// Bytes a graph holds in its decoding buffers while it plays (0 for none), for tests.
size_t MusicGraphBufferedBytes(IGraphBuilder* graph);

// CoCreateInstance's route for CLSID_FilterGraph.
HRESULT CreateFilterGraphInstance(REFIID iid, void** out);
