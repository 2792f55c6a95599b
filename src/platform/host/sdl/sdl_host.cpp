#include "platform/host/sdl/sdl_host.h"

#include <SDL.h>
#include <sys/socket.h>
#include <sys/sysinfo.h>
#include <sys/un.h>
#include <unistd.h>
#include <x86intrin.h>

#include <cctype>
#include <condition_variable>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <vector>

#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/host/sdl/sdl_audio.h"
#include "platform/host/sdl/sdl_input.h"
#include "platform/media/midi_synth.h"
#include "platform/win32/user.h"

namespace host {
namespace {

struct SdlWindow {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  Uint32 textureFormat = 0;
  int textureWidth = 0, textureHeight = 0;
  bool hadFocus = false;
};

class SdlHost final : public Host {
 public:
  SdlHost() {
    videoUp_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!videoUp_) std::fprintf(stderr, "vomak: no video output: %s\n", SDL_GetError());
    // Without video the events still carry an interrupt from the terminal.
    eventsUp_ = videoUp_ || SDL_InitSubSystem(SDL_INIT_EVENTS) == 0;
  }
  ~SdlHost() override {
    for (auto& [hwnd, w] : windows_) Release(w);
    for (auto& [name, mark] : marks_) {
      if (mark.socket >= 0) close(mark.socket);
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
  // Held on the queue's signal, so a message posted from another thread ends the wait at once; the host's own
  // events are taken by the next poll, which is due by then.
  void IdleUntil(uint64_t nanoseconds) override {
    PlatformState& s = State();
    const std::chrono::steady_clock::time_point end{std::chrono::nanoseconds(nanoseconds)};
    std::unique_lock<std::mutex> guard(s.lock);
    const uint64_t generation = s.queueGeneration;
    s.queueChanged.wait_until(guard, end, [&] { return s.queueGeneration != generation; });
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
  bool SetDisplayMode(const DisplayMode&) override { return true; }
  void RestoreDisplayMode() override {}

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
    if (it == windows_.end()) {
      if (!view.visible || view.clientWidth <= 0 || view.clientHeight <= 0) return;
      SdlWindow w;
      w.window = SDL_CreateWindow(ShiftJisToUtf8(view.title.c_str()).c_str(), SDL_WINDOWPOS_CENTERED,
                                  SDL_WINDOWPOS_CENTERED, view.clientWidth, view.clientHeight, SDL_WINDOW_SHOWN);
      if (!w.window) {
        std::fprintf(stderr, "vomak: cannot open a window: %s\n", SDL_GetError());
        return;
      }
      w.renderer = SDL_CreateRenderer(w.window, -1, 0);
      if (w.renderer) {
        SDL_SetRenderDrawColor(w.renderer, 0, 0, 0, 255);
        SDL_RenderClear(w.renderer);
        SDL_RenderPresent(w.renderer);
      }
      windows_[view.window] = w;
      return;
    }
    SdlWindow& w = it->second;
    SDL_SetWindowTitle(w.window, ShiftJisToUtf8(view.title.c_str()).c_str());
    int cw = 0, ch = 0;
    SDL_GetWindowSize(w.window, &cw, &ch);
    if (view.clientWidth > 0 && view.clientHeight > 0 && (cw != view.clientWidth || ch != view.clientHeight)) {
      SDL_SetWindowSize(w.window, view.clientWidth, view.clientHeight);
    }
    if (view.visible) {
      SDL_ShowWindow(w.window);
    } else {
      SDL_HideWindow(w.window);
    }
  }

  void WindowDestroyed(HWND window) override {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    Release(it->second);
    windows_.erase(it);
  }

  void Present(HWND window, const Frame& frame) override {
    auto it = windows_.find(window);
    if (it == windows_.end() || !it->second.renderer) return;
    SdlWindow& w = it->second;
    const void* pixels = frame.pixels;
    int pitch = frame.pitch;
    Uint32 format;
    if (frame.bitsPerPixel == 8) {
      // Palette frames are turned into X8R8G8B8 here.
      converted_.resize(static_cast<size_t>(frame.width) * frame.height);
      for (int y = 0; y < frame.height; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(frame.pixels) + static_cast<ptrdiff_t>(y) * frame.pitch;
        for (int x = 0; x < frame.width; ++x) {
          converted_[static_cast<size_t>(y) * frame.width + x] = frame.palette ? frame.palette[row[x]] : 0;
        }
      }
      pixels = converted_.data();
      pitch = frame.width * 4;
      format = SDL_PIXELFORMAT_RGB888;
    } else {
      format = SDL_MasksToPixelFormatEnum(frame.bitsPerPixel, frame.redMask, frame.greenMask, frame.blueMask, 0);
      if (format == SDL_PIXELFORMAT_UNKNOWN) return;
    }
    if (!w.texture || w.textureFormat != format || w.textureWidth != frame.width ||
        w.textureHeight != frame.height) {
      if (w.texture) SDL_DestroyTexture(w.texture);
      w.texture = SDL_CreateTexture(w.renderer, format, SDL_TEXTUREACCESS_STREAMING, frame.width, frame.height);
      w.textureFormat = format;
      w.textureWidth = frame.width;
      w.textureHeight = frame.height;
      if (!w.texture) return;
    }
    SDL_UpdateTexture(w.texture, nullptr, pixels, pitch);
    Show(w);
  }

  // Taking X's events costs tens of microseconds, so it is done once a millisecond (PollHostEvents).
  uint64_t EventPollInterval() override { return 1000000; }

  void PumpEvents() override {
    if (!eventsUp_) return;
    SDL_PumpEvents();
    SDL_Event e;
    while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
      if (e.type == SDL_QUIT) {
        interrupted_ = true;
        continue;
      }
      if (input_.Handle(e)) continue;
      if (e.type == SDL_MOUSEMOTION) {
        for (auto& [h, w] : windows_) {
          if (SDL_GetWindowID(w.window) != e.motion.windowID) continue;
          POINT p{e.motion.x, e.motion.y};
          ClientToScreen(h, &p);
          State().cursorPosition = p;
        }
        continue;
      }
      if (e.type != SDL_WINDOWEVENT) continue;
      HWND hwnd = nullptr;
      for (auto& [h, w] : windows_) {
        if (SDL_GetWindowID(w.window) == e.window.windowID) hwnd = h;
      }
      if (!hwnd) continue;
      SdlWindow& w = windows_[hwnd];
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
          Show(w);
          break;
        default:
          break;
      }
    }
    // An interrupt from the terminal closes the program as the close box would, once it has a window.
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

  // A class of this process holds an abstract local socket named after the user, the desktop session and the
  // class; another process of the same session finds the name taken. The kernel frees it when the process ends,
  // however it ends. Without a shared session no name is taken.
  void ClassWindowAdded(const std::string& className) override {
    ClassMark& mark = marks_[Upper(className)];
    if (mark.windows++ == 0 && !Session().empty()) mark.socket = BindClassName(className);
  }
  void ClassWindowRemoved(const std::string& className) override {
    auto it = marks_.find(Upper(className));
    if (it == marks_.end() || --it->second.windows > 0) return;
    if (it->second.socket >= 0) close(it->second.socket);
    marks_.erase(it);
  }
  bool OtherProcessHasClassWindow(const std::string& className) override {
    auto it = marks_.find(Upper(className));
    if (it != marks_.end() && it->second.socket >= 0) return false;  // the name is ours
    if (Session().empty()) return false;
    int probe = BindClassName(className);
    if (probe < 0) return errno == EADDRINUSE;
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
  static void Show(SdlWindow& w) {
    if (!w.renderer) return;
    SDL_RenderClear(w.renderer);
    if (w.texture) SDL_RenderCopy(w.renderer, w.texture, nullptr, nullptr);
    SDL_RenderPresent(w.renderer);
  }
  static void Release(SdlWindow& w) {
    if (w.texture) SDL_DestroyTexture(w.texture);
    if (w.renderer) SDL_DestroyRenderer(w.renderer);
    if (w.window) SDL_DestroyWindow(w.window);
    w = {};
  }

  struct ClassMark {
    int windows = 0;
    int socket = -1;
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
  int BindClassName(const std::string& className) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string name = "vomak-window-" + std::to_string(getuid()) + "-" + Session() + "-" + Upper(className);
    name = name.substr(0, sizeof(address.sun_path) - 2);
    std::memcpy(address.sun_path + 1, name.data(), name.size());  // a leading zero byte: the abstract space
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
      int error = errno;
      close(fd);
      errno = error;
      return -1;
    }
    return fd;
  }

  std::map<std::string, ClassMark> marks_;
  std::string session_;
  bool sessionKnown_ = false;
  bool videoUp_ = false;
  bool eventsUp_ = false;
  bool interrupted_ = false;
  std::map<HWND, SdlWindow> windows_;
  std::vector<uint32_t> converted_;
  std::unique_ptr<media::AudioOutput> audio_;
  SdlInput input_;
};

}  // namespace

std::unique_ptr<Host> CreateSdlHost() { return std::make_unique<SdlHost>(); }

}  // namespace host
