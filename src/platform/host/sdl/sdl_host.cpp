#include "platform/host/sdl/sdl_host.h"

#include <SDL.h>
#include <sys/sysinfo.h>
#include <unistd.h>
#include <x86intrin.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/host/input.h"
#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/host/sdl/sdl_audio.h"
#include "platform/host/sdl/sdl_input.h"
#include "platform/host/sdl/sdl_view.h"
#include "platform/media/midi_synth.h"
#include "platform/win32/user.h"

namespace host {
namespace {

// The driver SDL's video took when it shows nothing (offscreen, dummy) and no one named it in SDL_VIDEODRIVER
// (SDL's hint, which may list several); null otherwise.
const char* UnaskedBlindDriver() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || (SDL_strcasecmp(driver, "offscreen") != 0 && SDL_strcasecmp(driver, "dummy") != 0)) return nullptr;
  const char* named = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  const std::string list = named ? named : "";
  for (size_t start = 0; start <= list.size();) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    if (SDL_strcasecmp(list.substr(start, end - start).c_str(), driver) == 0) return nullptr;
    start = end + 1;
  }
  return driver;
}

class SdlHost final : public Host {
  EndSignals endSignals_;  // first: before SDL starts anything that would take the signals

 public:
  SdlHost() {
    // A click on an inactive window both activates it and acts, as on the desktops the library was made for; X
    // without a window manager would otherwise drop a click that comes just after the focus. The user's own
    // setting of the variable wins.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    videoUp_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!videoUp_) {
      noDisplay_ = SDL_GetError();
    } else if (const char* blind = UnaskedBlindDriver()) {
      // SDL falls back to a driver that shows nothing when it finds no display: a program would run unseen.
      noDisplay_ = std::string("SDL reached only its ") + blind +
                   " video driver, which shows nothing (it is used when SDL_VIDEODRIVER names it)";
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
      videoUp_ = false;
    } else {
      HandleDisplayFailures();
    }
    // Without video the events still carry the pads'.
    eventsUp_ = videoUp_ || SDL_InitSubSystem(SDL_INIT_EVENTS) == 0;
  }
  ~SdlHost() override {
    windows_.clear();
    for (auto& [name, mark] : marks_) {
      if (mark.file >= 0) close(mark.file);
    }
    if (videoUp_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    else if (eventsUp_) SDL_QuitSubSystem(SDL_INIT_EVENTS);
  }

  const char* Name() const override { return "sdl"; }

  uint64_t Nanoseconds() override {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
  }
  void SleepMilliseconds(uint32_t milliseconds) override {
    timespec t{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0) {
    }
  }
  // Held on the queue's signal, so a message posted from another thread ends the wait at once. The condition
  // variable keeps its own clock, so the deadline on ours is handed to it as a span.
  uint64_t IdleUntil(uint64_t nanoseconds, uint64_t seen) override {
    PlatformState& s = State();
    {
      std::unique_lock<std::mutex> guard(s.lock);
      const uint64_t now = Nanoseconds();
      if (nanoseconds <= now) return now;
      s.queueChanged.wait_for(guard, std::chrono::nanoseconds(nanoseconds - now),
                              [&] { return s.changes.load(std::memory_order_relaxed) != seen; });
    }
    return Nanoseconds();
  }
  uint64_t TimeStampCounter() override { return __rdtsc(); }
  uint64_t PerformanceFrequency() override { return 1000000000u; }

  // The desktop is reported at 32 bits whatever the X server's depth, which the library would refuse.
  DisplayMode DesktopMode() override {
    DisplayMode m;
    m.width = 1024;
    m.height = 768;
    SDL_DisplayMode d;
    if (videoUp_ && SDL_GetDesktopDisplayMode(0, &d) == 0 && d.w > 0 && d.h > 0) {
      m.width = d.w;
      m.height = d.h;
      if (d.refresh_rate > 0) m.refreshRate = d.refresh_rate;
    }
    return m;
  }
  std::vector<DisplayMode> DisplayModes() override {
    static const int sizes[][2] = {{320, 240}, {640, 480}, {800, 600}, {1024, 768}, {1280, 1024}};
    DisplayMode desktop = DesktopMode();
    std::vector<DisplayMode> modes;
    for (int depth : {8, 16, 32}) {
      for (const auto& s : sizes) {
        if (s[0] > desktop.width || s[1] > desktop.height) continue;
        DisplayMode m = desktop;
        m.width = s[0];
        m.height = s[1];
        m.bitsPerPixel = depth;
        modes.push_back(m);
      }
    }
    modes.push_back(desktop);
    return modes;
  }
  // A display mode lives inside the window: the real screen keeps its mode and the window shows the picture.
  bool SetDisplayMode(const DisplayMode& mode) override {
    mode_ = mode;
    modeSet_ = true;
    for (auto& [h, w] : windows_) w->Offset(ScreenOffset());
    return true;
  }
  void RestoreDisplayMode() override {
    modeSet_ = false;
    for (auto& [h, w] : windows_) w->Offset(ScreenOffset());
  }

  UINT OemCodePage() override { return 932; }
  std::string SoundFontPath() override { return media::FindSystemSoundFont(); }
  void MemoryStatus(uint64_t& total, uint64_t& available) override {
    struct sysinfo info {};
    if (sysinfo(&info) != 0) {
      total = available = 0;
      return;
    }
    total = static_cast<uint64_t>(info.totalram) * info.mem_unit;
    available = static_cast<uint64_t>(info.freeram + info.bufferram) * info.mem_unit;
  }

  void WindowChanged(const WindowView& view) override {
    if (!videoUp_) return;
    auto it = windows_.find(view.window);
    if (it == windows_.end()) it = windows_.emplace(view.window, std::make_unique<SdlView>()).first;
    it->second->Change(view, ScreenOffset());
  }

  void WindowDestroyed(HWND window) override { windows_.erase(window); }

  bool HasDisplay() override {
    if (videoUp_) return true;
    std::fprintf(stderr,
                 "vomak: no display was found, so the window cannot be shown: %s. Run the program under a virtual "
                 "X server: xvfb-run -a %s\n",
                 noDisplay_.c_str(), program_invocation_name);
    return false;
  }

  void MenuChanged(HWND window) override {
    auto it = windows_.find(window);
    if (it != windows_.end()) it->second->MenuChanged();
  }

  void Present(HWND window, const Frame& frame) override {
    auto it = windows_.find(window);
    if (it != windows_.end()) it->second->Present(frame);
  }

  // Taking X's events costs tens of microseconds, so it is done once a millisecond (PollHostEvents).
  uint64_t EventPollInterval() override { return 1000000; }

  void PumpEvents() override {
    if (endSignals_.Take()) interrupted_ = true;
    if (!eventsUp_) return;  // no events and no video: no window to close either
    for (auto& [h, w] : windows_) w->Settle();
    SDL_PumpEvents();
    SDL_Event e;
    while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
      if (e.type == SDL_QUIT) {
        interrupted_ = true;
        continue;
      }
      if (e.type == SDL_SYSWMEVENT) {
        NoteDestroyedWindow(e.syswm.msg);
        continue;
      }
      if (input_.Handle(e)) continue;
      if (HandlePointer(e)) continue;
      if (e.type != SDL_WINDOWEVENT) continue;
      SdlView* view = Find(e.window.windowID);
      if (!view) continue;
      SdlView& w = *view;
      HWND hwnd = w.Window();
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          RequestClose(hwnd);
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          w.hadFocus = true;
          SetApplicationActive(true);
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          // Keys released while another window has the focus would otherwise stay down.
          ReleaseAllKeys();
          // Only a window that had the focus loses it: a desktop without a window manager never gives it.
          if (w.hadFocus) SetApplicationActive(false);
          break;
        case SDL_WINDOWEVENT_EXPOSED:
          w.Show();
          break;
        default:
          break;
      }
    }
    // A window another client destroyed closes as by its close box, so the program's own shut-down runs.
    for (auto& [h, w] : windows_) {
      if (w->TakeGone()) RequestClose(h);
    }
    // SIGINT and SIGTERM close the program as the close box would, once it has a window.
    if (interrupted_) {
      for (auto& w : State().windows) {
        if (!w->destroyed && !w->parent && (w->style & WS_VISIBLE)) {
          RequestClose(w.get());
          interrupted_ = false;
          break;
        }
      }
    }
  }

  void CursorVisible(bool visible) override {
    if (videoUp_) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
  }

  // A class of this process holds a mark named after the desktop session and the class in the user's own
  // directory; another process of the same user and session finds it taken. Without a shared session, or without
  // a safe directory, no mark is taken.
  void ClassWindowAdded(const std::string& className) override {
    ClassMark& mark = marks_[Upper(className)];
    if (mark.windows++ == 0 && MarksKept()) mark.file = TakeMark(className);
  }
  void ClassWindowRemoved(const std::string& className) override {
    auto it = marks_.find(Upper(className));
    if (it == marks_.end() || --it->second.windows > 0) return;
    if (it->second.file >= 0) close(it->second.file);
    marks_.erase(it);
  }
  bool OtherProcessHasClassWindow(const std::string& className) override {
    auto it = marks_.find(Upper(className));
    if (it != marks_.end() && it->second.file >= 0) return false;  // the mark is ours
    if (!MarksKept()) return false;
    int probe = TakeMark(className);
    if (probe < 0) return errno == EWOULDBLOCK;
    close(probe);
    return false;
  }

  int MessageBox(const char* text, const char* caption, UINT type) override {
    std::string utf8Text = ShiftJisToUtf8(text);
    std::string utf8Caption = ShiftJisToUtf8(caption);
    Uint32 flags = (type & 0xF0) == 0x10 ? SDL_MESSAGEBOX_ERROR
                   : (type & 0xF0) == 0x30 ? SDL_MESSAGEBOX_WARNING
                                           : SDL_MESSAGEBOX_INFORMATION;
    if (!videoUp_ || SDL_ShowSimpleMessageBox(flags, utf8Caption.c_str(), utf8Text.c_str(), nullptr) != 0) {
      std::fprintf(stderr, "%s: %s\n", utf8Caption.c_str(), utf8Text.c_str());
    }
    return 1;  // IDOK
  }

  void DebugOutput(const char*) override {}

  media::AudioOutput& Audio() override {
    if (!audio_) audio_ = CreateSdlAudio([this] { return Nanoseconds(); });
    return *audio_;
  }

  // ---- Input ----
  std::vector<JoystickInfo> Joysticks() override { return input_.Joysticks(); }
  bool ReadJoystick(uint32_t id, JoystickReading& reading) override { return input_.ReadJoystick(id, reading); }

 private:
  SdlView* Find(Uint32 windowId) {
    for (auto& [h, w] : windows_) {
      if (w->Is(windowId)) return w.get();
    }
    return nullptr;
  }
  // The pointer and its left button over a real window, in view coordinates.
  bool HandlePointer(const SDL_Event& e) {
    if (e.type == SDL_MOUSEMOTION) {
      if (SdlView* w = Find(e.motion.windowID)) PointerMoved(w->Window(), e.motion.x, e.motion.y);
      return true;
    }
    if (e.type != SDL_MOUSEBUTTONDOWN && e.type != SDL_MOUSEBUTTONUP) return false;
    if (e.button.button != SDL_BUTTON_LEFT) return true;
    if (SdlView* w = Find(e.button.windowID)) {
      PointerButton(w->Window(), e.button.x, e.button.y, e.type == SDL_MOUSEBUTTONDOWN);
    }
    return true;
  }
  // An emulated display mode smaller than the desktop is centred on it.
  POINT ScreenOffset() {
    if (!modeSet_) return {0, 0};
    DisplayMode desktop = DesktopMode();
    return {std::max(0, (desktop.width - mode_.width) / 2), std::max(0, (desktop.height - mode_.height) / 2)};
  }

  struct ClassMark {
    int windows = 0;
    int file = -1;  // the locked mark, or -1
  };
  static std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
  }
  const std::string& Session() {
    if (!sessionKnown_) session_ = videoUp_ ? SdlDesktopSession() : std::string();
    sessionKnown_ = true;
    return session_;
  }
  // The class's mark; where something other than a mark of this user's stands in its place, the check is off for
  // the class, and standard error says so once.
  int TakeMark(const std::string& className) {
    std::string trouble;
    const int mark = TakeSessionMark(markDirectory_, Session(), className, &trouble);
    const int error = errno;
    if (mark < 0 && error != EWOULDBLOCK && unchecked_.insert(Upper(className)).second) {
      std::fprintf(stderr, "vomak: %s, so a second program on this display is not detected\n", trouble.c_str());
    }
    errno = error;
    return mark;
  }
  bool MarksKept() {
    if (Session().empty()) return false;
    if (!markDirectoryKnown_) markDirectory_ = SessionMarkDirectory();
    markDirectoryKnown_ = true;
    return !markDirectory_.empty();
  }

  std::map<std::string, ClassMark> marks_;
  std::set<std::string> unchecked_;  // classes whose mark could not be used
  std::string session_;
  bool sessionKnown_ = false;
  std::string markDirectory_;
  bool markDirectoryKnown_ = false;
  bool videoUp_ = false;
  std::string noDisplay_;  // why there is no display to show windows on
  bool eventsUp_ = false;
  bool interrupted_ = false;
  std::map<HWND, std::unique_ptr<SdlView>> windows_;
  DisplayMode mode_;
  bool modeSet_ = false;
  std::unique_ptr<media::AudioOutput> audio_;
  SdlInput input_;
};

}  // namespace

std::unique_ptr<Host> CreateSdlHost() { return std::make_unique<SdlHost>(); }

}  // namespace host
