// The one seam between the substitute platform and the real machine. Two back-ends implement it: the headless
// host (tests and CI: virtual time, configurable desktop, captured output, scripted events) and the SDL host
// (a real window). Everything above this interface runs the same on both.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/types.h"

namespace media {
class AudioOutput;
}

namespace host {

// A display mode: size, bits per pixel (8, 16, 24, 32) and, at 16 bits, the layout (5:6:5 or 5:5:5).
struct DisplayMode {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 32;
  bool rgb555 = false;  // 16 bits only: 5:5:5 instead of 5:6:5
  int refreshRate = 60;
};

// Channel masks of a mode's pixels (zero for 8 bits, which is palette indexed). 32 bits is X8R8G8B8.
struct ChannelMasks {
  uint32_t red = 0, green = 0, blue = 0;
};
ChannelMasks MasksOf(const DisplayMode& mode);

// A picture to show in a window's client area: rows top down, pitch bytes apart. 8-bit frames carry a palette
// of 256 entries 0x00RRGGBB; other depths are described by their channel masks.
struct Frame {
  const void* pixels = nullptr;
  int pitch = 0;
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  uint32_t redMask = 0, greenMask = 0, blueMask = 0;
  const uint32_t* palette = nullptr;
};

// What the window code tells a host about a top-level window. Titles are Shift-JIS.
struct WindowView {
  HWND window = nullptr;
  std::string title;
  int clientWidth = 0;
  int clientHeight = 0;
  bool visible = false;
  HMENU menu = nullptr;  // the menu bar drawn above the client area, or none
  int menuBarHeight = 0;  // the strip the menu bar takes above the client area (0 without a bar)
  // The window's shape (SetWindowRgn), in window coordinates; frameLeft and frameTop place the client area's
  // top-left corner (below the menu bar) in the same coordinates.
  bool shaped = false;
  std::vector<RECT> shape;
  int frameLeft = 0, frameTop = 0;
  int left = 0, top = 0;  // the window's top-left corner on the screen
};

// A joystick as the host sees it: an id that stays while it is attached, and its names (UTF-8).
struct JoystickInfo {
  uint32_t id = 0;
  std::string name;
  std::string product;
};

// A joystick's state: axes X, Y, Z, the three rotations and two sliders from -32768 to 32767; point-of-view hats
// in hundredths of degrees clockwise from up, 0xFFFFFFFF when centred; buttons 1 while pressed.
struct JoystickReading {
  int32_t axes[8] = {};
  uint32_t hats[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
  uint8_t buttons[32] = {};
};

class Host {
 public:
  virtual ~Host() = default;
  virtual const char* Name() const = 0;

  // Clocks. Nanoseconds of a monotonic clock (headless: virtual, stepping a little on every read); Sleep
  // waits (headless: moves the virtual clock). The time-stamp counter ticks at the host's own rate.
  virtual uint64_t Nanoseconds() = 0;
  virtual void SleepMilliseconds(uint32_t milliseconds) = 0;
  virtual uint64_t TimeStampCounter() = 0;
  virtual uint64_t PerformanceFrequency() = 0;  // counts per second of QueryPerformanceCounter

  // The desktop and the display modes the host can set.
  virtual DisplayMode DesktopMode() = 0;
  virtual std::vector<DisplayMode> DisplayModes() = 0;
  virtual bool SetDisplayMode(const DisplayMode& mode) = 0;  // the window code records the current mode
  virtual void RestoreDisplayMode() = 0;

  // Machine facts.
  virtual UINT OemCodePage() = 0;
  virtual void MemoryStatus(uint64_t& totalPhysical, uint64_t& availablePhysical) = 0;
  // The General MIDI SoundFont file the MIDI synthesiser plays with; empty when the machine has none.
  virtual std::string SoundFontPath() = 0;
  // The font file the host pins for a face name (UTF-8; "*fallback-ja" and "*fallback-ko" name the faces for
  // characters a face lacks); empty: the face is looked up on the system.
  virtual std::string FontFile(const std::string& face) {
    (void)face;
    return {};
  }

  // Whether windows shown now can be seen: false, with the reason and the way out on standard error, where the
  // host found no display. A top-level window is then not made, so a program's start-up fails.
  virtual bool HasDisplay() { return true; }
  // Windows: created hidden; the host learns of every change of a top-level window.
  virtual void WindowChanged(const WindowView& view) = 0;
  virtual void WindowDestroyed(HWND window) = 0;
  // The menu bar of a window changed what it shows (an item highlighted, a drop-down opened or closed);
  // platform/host/menu_bar.h tells what to draw.
  virtual void MenuChanged(HWND window) { (void)window; }
  virtual void Present(HWND window, const Frame& frame) = 0;
  virtual void CursorVisible(bool visible) = 0;
  // Top-level windows by class, as other running programs can see them: a window of this process registers its
  // class while it lives; FindWindowA asks whether another process has one.
  virtual void ClassWindowAdded(const std::string& className) = 0;
  virtual void ClassWindowRemoved(const std::string& className) = 0;
  virtual bool OtherProcessHasClassWindow(const std::string& className) = 0;
  // Takes the host's own events (close box, focus) and turns them into window messages; called through
  // PollHostEvents (platform/host/idle.h) whenever the message queue is looked at.
  virtual void PumpEvents() = 0;
  // The shortest time between two takes of the host's events, in nanoseconds of its clock (0: every look).
  virtual uint64_t EventPollInterval() { return 0; }
  // Waits, without using the processor, until this host's clock (Nanoseconds) reaches `nanoseconds` or the
  // platform's change count differs from `seen`, as checked under the platform's lock (platform/host/idle.h).
  // It may end early; the caller checks again. Answers the clock's reading when it ended. The headless host
  // moves its virtual clock instead.
  virtual uint64_t IdleUntil(uint64_t nanoseconds, uint64_t seen) = 0;

  // Output to people.
  virtual int MessageBox(const char* text, const char* caption, UINT type) = 0;  // Shift-JIS
  virtual void DebugOutput(const char* text) = 0;                                // Shift-JIS

  // Sound output (platform/media/mixer.h): the output this host plays its mixer through, made on first use and
  // kept for the host's life (headless: captured at virtual time; SDL: the audio device, or a silent device
  // paced by the clock when none opens).
  virtual media::AudioOutput& Audio() = 0;

  // ---- Input -------------------------------------------------------------------------------------------------
  // Keys, text and compositions reach the platform through platform/host/input.h as PumpEvents takes them.
  // Joysticks attached now, in the host's order (re-read at every enumeration, so plugging shows there).
  virtual std::vector<JoystickInfo> Joysticks() = 0;
  // The joystick's present state; false once it is no longer attached.
  virtual bool ReadJoystick(uint32_t id, JoystickReading& reading) = 0;
};

}  // namespace host
