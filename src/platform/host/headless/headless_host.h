// The headless host: the back-end for tests and CI. Time is virtual, the desktop is configured, every window
// event is scripted, and frames, message boxes and debugger output are kept for the test to read.
//
// A test calls headless::Start (usually through the fixture in tests/support) before anything touches the
// platform; Start also throws away every window, message, class, module reference and failure of an earlier
// run in the same process.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/host.h"

namespace headless {

struct Config {
  int desktopWidth = 1024;
  int desktopHeight = 768;
  int bitsPerPixel = 32;  // 8, 16, 24 or 32
  bool rgb555 = false;    // 16 bits: 5:5:5 instead of 5:6:5
  UINT oemCodePage = 932;
  // Font files pinned by face name (UTF-8), so glyphs do not depend on the machine's fonts; "*fallback-ja" and
  // "*fallback-ko" pin the faces for characters a face lacks.
  std::map<std::string, std::string> fontFiles;
  uint64_t startMilliseconds = 1000;  // virtual clock at start; may lie just below the 32-bit wrap
  uint32_t readStepMicroseconds = 100;  // the clock moves this much on every read, so busy waits end
  // Scripted events and sound are taken at most once per this much virtual time (0: at every look at the queue).
  uint32_t pollIntervalMicroseconds = 0;
  uint64_t totalMemory = 512ull << 20;
  uint64_t availableMemory = 256ull << 20;
  // The MIDI synthesiser's SoundFont: unset, the system's General MIDI one; empty, none (no synthesiser).
  std::optional<std::string> soundFont;
};

// Installs a fresh headless host as the platform's host and resets the platform's state.
void Start(const Config& config = {});
bool IsStarted();

// Virtual clock (nanoseconds and milliseconds since the clock's zero). Reading here does not step the clock.
uint64_t Nanoseconds();
uint64_t Milliseconds();
void AdvanceMilliseconds(uint64_t milliseconds);
void SetMilliseconds(uint64_t milliseconds);
void SetReadStepMicroseconds(uint32_t step);
void SetPollIntervalMicroseconds(uint32_t interval);

// Desktop. Changing the desktop while windows exist does not tell them; use PostDisplayChange for that.
void SetDesktop(int width, int height, int bitsPerPixel, bool rgb555 = false);
void SetOemCodePage(UINT codePage);
// The SoundFont MIDI files play with from the next MCI open on (as Config::soundFont).
void SetSoundFont(const std::optional<std::string>& path);

// Window events, delivered when the platform next looks at its message queue, once the virtual clock has
// reached now + delayMs. Activation sends WM_ACTIVATEAPP (TRUE), WM_NCACTIVATE and WM_ACTIVATE to the active
// (or first visible) top-level window; deactivation sends WM_NCACTIVATE and WM_ACTIVATE (WA_INACTIVE) to it,
// then WM_ACTIVATEAPP (FALSE) to every visible top-level window. A close arrives as WM_SYSCOMMAND/SC_CLOSE posted to the window, as the
// real close box sends it (null: the first visible top-level window).
void Activate(uint64_t delayMs = 0);
void Deactivate(uint64_t delayMs = 0);
void Close(HWND window = nullptr, uint64_t delayMs = 0);
// A display change made by someone else: the desktop becomes this mode and WM_DISPLAYCHANGE is posted.
void PostDisplayChange(int width, int height, int bitsPerPixel, uint64_t delayMs = 0);
bool IsActive();  // whether the application is active as the host sees it
// Pretends that another running program has a top-level window of this class (FindWindowA finds it).
void AddOtherProcessWindow(const std::string& className);
bool IsCursorShown();  // the display count of ShowCursor is 0 or more

// Named failures: the next `times` calls that ask for `name` (after `skip` calls that succeed) fail;
// times -1 fails every call until cleared. Names used by the platform: "CoInitialize", "CoCreateInstance",
// "DirectMusic" (the DirectMusic object is missing), "RegisterClassExA", "CreateWindowExA", "GetClientRect",
// "LoadLibraryA:<MODULE NAME IN CAPITALS>", "GetProcAddress:<export>", "QueryPerformanceFrequency" (no
// counter), "SetDisplayMode"; the DirectDraw substitute adds its own ("DirectDrawCreate", "CreateSurface",
// "Surface::Lock", ...), and so does the DirectMusic one (platform/directx/dmusic.h).
void FailCall(const std::string& name, int times = -1, int skip = 0);
void ClearFailures();

// Captured output.
struct CapturedFrame {
  HWND window = nullptr;
  int width = 0, height = 0, bitsPerPixel = 0, pitch = 0;
  uint32_t redMask = 0, greenMask = 0, blueMask = 0;
  std::vector<uint8_t> pixels;     // height rows of pitch bytes
  std::vector<uint32_t> palette;   // 256 entries for 8-bit frames
  uint64_t milliseconds = 0;       // virtual time of the present
  // The pixel at (x, y) as 0x00RRGGBB (through the palette or the masks).
  uint32_t Rgb(int x, int y) const;
};
const std::vector<CapturedFrame>& Frames();
// The whole view of a window as a person sees it now: the menu bar strip and open drop-downs painted over the
// last frame presented to it (black where there is none), 32-bit X8R8G8B8. Frames() keep the client area alone.
// 0 x 0 for a window the host does not know.
CapturedFrame WindowPicture(HWND window);
void ClearFrames();
void SetFrameLimit(size_t limit);  // frames kept (oldest dropped first); 64 by default
// Called with every frame as it is presented, after it is kept (an empty function: none). A test watches a running
// program with it, frame by frame, and may script the next input from it.
void SetPresentObserver(std::function<void(const CapturedFrame&)> observer);

struct CapturedMessageBox {
  std::string text, caption;  // Shift-JIS as given
  UINT type = 0;
};
const std::vector<CapturedMessageBox>& MessageBoxes();
void SetMessageBoxAnswer(int answer);  // IDOK by default

const std::string& DebugOutput();  // everything sent to OutputDebugStringA, Shift-JIS
void ClearDebugOutput();

// Captured audio: every frame the host's mixer played, at virtual time (44,100 frames a second, interleaved
// 16-bit stereo). Frame i was played at originNanoseconds + i / 44,100 s; the output starts when the platform
// first asks for it (the DirectSound device's creation). Reading brings the output up to the virtual clock.
struct CapturedAudio {
  std::vector<int16_t> samples;     // kept frames × 2, left then right
  uint64_t firstFrame = 0;          // frame index of samples[0]
  uint64_t originNanoseconds = 0;   // virtual time of frame 0
  uint64_t FrameAtNanoseconds(uint64_t nanoseconds) const;  // the frame playing at that virtual time
  int16_t Sample(uint64_t frame, int channel) const;        // 0 outside what is kept
};
const CapturedAudio& Audio();
void ClearAudio();                          // drops what was captured so far (frame indexes go on)
void SetAudioLimitFrames(size_t frames);    // at least the newest frames kept (oldest dropped); 120 s by default

// What the host knows of a window (title, client size, visibility, menu bar, shape), for checks of the window code.
bool FindWindowView(HWND window, host::WindowView* view);
// A person choosing the menu item of this id in the window's menu bar: WM_COMMAND is posted as the real menu
// sends it. False (nothing posted) when the window's menu has no such item, or it is grayed, disabled or opens
// a submenu.
bool ChooseMenuItem(HWND window, UINT id);

}  // namespace headless
