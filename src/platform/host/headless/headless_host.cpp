#include "platform/host/headless/headless_host.h"

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/host/headless/headless_audio.h"
#include "platform/host/headless/headless_input.h"
#include "platform/host/idle.h"
#include "platform/host/menu_bar.h"
#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/media/midi_synth.h"
#include "platform/win32/user.h"

namespace headless {
namespace {

constexpr uint64_t kNsPerMs = 1000000;

enum class EventKind { Activate, Deactivate, Close, DisplayChange, Action };

struct Event {
  uint64_t dueNs;
  EventKind kind;
  HWND window;
  host::DisplayMode mode;
  std::function<void()> action;
};

class HeadlessHost final : public host::Host {
 public:
  explicit HeadlessHost(const Config& config) : config_(config) {
    now_ = config.startMilliseconds * kNsPerMs;
    step_ = uint64_t{config.readStepMicroseconds} * 1000;
    desktop_.width = config.desktopWidth;
    desktop_.height = config.desktopHeight;
    desktop_.bitsPerPixel = config.bitsPerPixel;
    desktop_.rgb555 = config.rgb555;
  }

  const char* Name() const override { return "headless"; }

  uint64_t Nanoseconds() override { return now_.fetch_add(step_.load()) + step_.load(); }
  void SleepMilliseconds(uint32_t milliseconds) override { now_ += uint64_t{milliseconds} * kNsPerMs; }
  uint64_t EventPollInterval() override { return uint64_t{config_.pollIntervalMicroseconds} * 1000; }
  // An idle wait ends early at the first scripted event due before its end, as a real one wakes for it. Sound
  // is mixed as the clock moves, a millisecond at a time, so a sound that ends meanwhile ends the wait within
  // a millisecond of its last frame, as a device that mixes on its own thread ends it.
  uint64_t IdleUntil(uint64_t nanoseconds, uint64_t seen) override {
    uint64_t now = now_.load();
    for (const Event& e : events_) {
      if (e.dueNs > now) nanoseconds = std::min(nanoseconds, e.dueNs);
    }
    while (now < nanoseconds && host::ChangeCount() == seen) {
      const uint64_t next = audio_ ? std::min(nanoseconds, (now / kNsPerMs + 1) * kNsPerMs) : nanoseconds;
      while (now < next && !now_.compare_exchange_weak(now, next)) {
      }
      if (audio_) audio_->UpdateUntilToldEnd();
      now = now_.load();
    }
    return now;
  }
  // A 1 GHz counter that follows the virtual clock.
  uint64_t TimeStampCounter() override { return now_.load(); }
  uint64_t PerformanceFrequency() override { return 1000000; }

  host::DisplayMode DesktopMode() override { return desktop_; }
  std::vector<host::DisplayMode> DisplayModes() override {
    static const int sizes[][2] = {{320, 240}, {640, 480}, {800, 600}, {1024, 768}, {1280, 1024}};
    std::vector<host::DisplayMode> modes;
    for (int depth : {8, 16, 32}) {
      for (const auto& s : sizes) {
        if (s[0] > desktop_.width || s[1] > desktop_.height) continue;
        host::DisplayMode m;
        m.width = s[0];
        m.height = s[1];
        m.bitsPerPixel = depth;
        m.rgb555 = depth == 16 && desktop_.bitsPerPixel == 16 && desktop_.rgb555;
        modes.push_back(m);
      }
    }
    bool desktopListed = std::any_of(modes.begin(), modes.end(), [&](const host::DisplayMode& m) {
      return m.width == desktop_.width && m.height == desktop_.height && m.bitsPerPixel == desktop_.bitsPerPixel;
    });
    if (!desktopListed) modes.push_back(desktop_);
    return modes;
  }
  bool SetDisplayMode(const host::DisplayMode&) override { return true; }
  void RestoreDisplayMode() override {}

  UINT OemCodePage() override { return config_.oemCodePage; }
  std::string SoundFontPath() override {
    return config_.soundFont ? *config_.soundFont : media::FindSystemSoundFont();
  }
  std::string FontFile(const std::string& face) override {
    auto found = config_.fontFiles.find(face);
    return found != config_.fontFiles.end() ? found->second : std::string();
  }
  void MemoryStatus(uint64_t& total, uint64_t& available) override {
    total = config_.totalMemory;
    available = config_.availableMemory;
  }

  void WindowChanged(const host::WindowView& view) override {
    for (auto& v : views_) {
      if (v.window == view.window) {
        v = view;
        return;
      }
    }
    views_.push_back(view);
  }
  void WindowDestroyed(HWND window) override {
    std::erase_if(views_, [window](const host::WindowView& v) { return v.window == window; });
  }
  void MenuChanged(HWND) override { ++menuChanges_; }

  void Present(HWND window, const host::Frame& frame) override {
    CapturedFrame f;
    // The oldest frame's buffer is reused once the limit is reached: a fresh one per present costs page faults.
    if (!frames_.empty() && frames_.size() >= frameLimit_) {
      f.pixels = std::move(frames_.front().pixels);
      frames_.erase(frames_.begin());
    }
    f.window = window;
    f.width = frame.width;
    f.height = frame.height;
    f.bitsPerPixel = frame.bitsPerPixel;
    f.redMask = frame.redMask;
    f.greenMask = frame.greenMask;
    f.blueMask = frame.blueMask;
    const int rowBytes = (frame.width * frame.bitsPerPixel + 7) / 8;
    f.pitch = rowBytes;
    f.pixels.resize(static_cast<size_t>(rowBytes) * frame.height);
    for (int y = 0; y < frame.height; ++y) {
      std::memcpy(f.pixels.data() + static_cast<size_t>(y) * rowBytes,
                  static_cast<const uint8_t*>(frame.pixels) + static_cast<ptrdiff_t>(y) * frame.pitch, rowBytes);
    }
    if (frame.bitsPerPixel == 8 && frame.palette) f.palette.assign(frame.palette, frame.palette + 256);
    f.milliseconds = now_.load() / kNsPerMs;
    frames_.push_back(std::move(f));
    while (frames_.size() > frameLimit_) frames_.erase(frames_.begin());
    if (presentObserver_) presentObserver_(frames_.back());
  }

  void CursorVisible(bool visible) override { cursorShown_ = visible; }
  void ClassWindowAdded(const std::string&) override {}
  void ClassWindowRemoved(const std::string&) override {}
  bool OtherProcessHasClassWindow(const std::string& className) override {
    for (const std::string& c : otherClasses_) {
      if (strcasecmp(c.c_str(), className.c_str()) == 0) return true;
    }
    return false;
  }

  void PumpEvents() override {
    // Sound mixed up to now first: what it notifies (a song's end) is due now too. The output reads the clock
    // as any reader does, so a loop that pumps until a sound ends sees its end. It stops at an end it tells
    // of, so that a rewind in answer follows that end without a gap. What it notifies is posted before the
    // events due now.
    if (audio_) {
      Nanoseconds();
      audio_->UpdateUntilToldEnd();
      host::PostMarkedNotices();
    }
    // Due events in time order; an event's own messages may schedule nothing further here.
    for (;;) {
      const uint64_t now = now_.load();
      // The earliest due event; of events due together, the one scheduled first.
      auto it = std::min_element(events_.begin(), events_.end(),
                                 [](const Event& a, const Event& b) { return a.dueNs < b.dueNs; });
      if (it == events_.end() || it->dueNs > now) return;
      Event e = *it;
      events_.erase(it);
      switch (e.kind) {
        case EventKind::Activate:
          host::SetApplicationActive(true);
          break;
        case EventKind::Deactivate:
          host::SetApplicationActive(false);
          break;
        case EventKind::Close: {
          HWND target = e.window ? e.window : FirstVisibleWindow();
          if (target) host::RequestClose(target);
          break;
        }
        case EventKind::DisplayChange:
          desktop_ = e.mode;
          host::SetCurrentDisplayMode(e.mode);
          host::BroadcastDisplayChange();
          break;
        case EventKind::Action:
          e.action();
          break;
      }
    }
  }

  int MessageBox(const char* text, const char* caption, UINT type) override {
    CapturedMessageBox box;
    box.text = text;
    box.caption = caption;
    box.type = type;
    boxes_.push_back(box);
    return answer_;
  }
  void DebugOutput(const char* text) override {
    std::lock_guard<std::mutex> guard(outputLock_);
    debug_ += text;
  }

  media::AudioOutput& Audio() override {
    if (!audio_) audio_ = CreateHeadlessAudio([this] { return now_.load(); });
    return *audio_;
  }

  std::vector<host::JoystickInfo> Joysticks() override {
    std::vector<host::JoystickInfo> list;
    for (const PadBoard::Pad& p : pads_.pads) list.push_back(p.info);
    return list;
  }
  bool ReadJoystick(uint32_t id, host::JoystickReading& reading) override {
    PadBoard::Pad* p = pads_.Find(id);
    if (p) reading = p->reading;
    return p != nullptr;
  }

  static HWND FirstVisibleWindow() {
    for (auto& w : host::State().windows) {
      if (!w->destroyed && !w->parent && (w->style & WS_VISIBLE)) return w.get();
    }
    return nullptr;
  }

  Config config_;
  std::atomic<uint64_t> now_{0};
  std::atomic<uint64_t> step_{0};
  host::DisplayMode desktop_;
  std::vector<Event> events_;
  std::vector<host::WindowView> views_;
  int menuChanges_ = 0;
  std::vector<CapturedFrame> frames_;
  size_t frameLimit_ = 64;
  std::function<void(const CapturedFrame&)> presentObserver_;
  std::vector<CapturedMessageBox> boxes_;
  int answer_ = IDOK;
  std::mutex outputLock_;
  std::string debug_;
  bool cursorShown_ = true;
  std::vector<std::string> otherClasses_;
  std::unique_ptr<media::AudioOutput> audio_;
  PadBoard pads_;
};

HeadlessHost* Headless() {
  auto* h = dynamic_cast<HeadlessHost*>(host::State().host.get());
  if (!h) {
    Start();
    h = static_cast<HeadlessHost*>(host::State().host.get());
  }
  return h;
}

void Schedule(EventKind kind, uint64_t delayMs, HWND window = nullptr, host::DisplayMode mode = {},
              std::function<void()> action = {}) {
  HeadlessHost* h = Headless();
  h->events_.push_back({h->now_.load() + delayMs * kNsPerMs, kind, window, mode, std::move(action)});
}

}  // namespace

void Start(const Config& config) { host::ResetPlatform(std::make_unique<HeadlessHost>(config)); }

bool IsStarted() { return dynamic_cast<HeadlessHost*>(host::State().host.get()) != nullptr; }

uint64_t Nanoseconds() { return Headless()->now_.load(); }
uint64_t Milliseconds() { return Nanoseconds() / kNsPerMs; }
void AdvanceMilliseconds(uint64_t milliseconds) { Headless()->now_ += milliseconds * kNsPerMs; }
void SetMilliseconds(uint64_t milliseconds) { Headless()->now_ = milliseconds * kNsPerMs; }
void SetReadStepMicroseconds(uint32_t step) { Headless()->step_ = uint64_t{step} * 1000; }
void SetPollIntervalMicroseconds(uint32_t interval) { Headless()->config_.pollIntervalMicroseconds = interval; }

void SetDesktop(int width, int height, int bitsPerPixel, bool rgb555) {
  HeadlessHost* h = Headless();
  h->desktop_.width = width;
  h->desktop_.height = height;
  h->desktop_.bitsPerPixel = bitsPerPixel;
  h->desktop_.rgb555 = rgb555;
}

void SetOemCodePage(UINT codePage) { Headless()->config_.oemCodePage = codePage; }
void SetSoundFont(const std::optional<std::string>& path) { Headless()->config_.soundFont = path; }

void Activate(uint64_t delayMs) { Schedule(EventKind::Activate, delayMs); }
void Deactivate(uint64_t delayMs) { Schedule(EventKind::Deactivate, delayMs); }
void Close(HWND window, uint64_t delayMs) { Schedule(EventKind::Close, delayMs, window); }

void PostDisplayChange(int width, int height, int bitsPerPixel, uint64_t delayMs) {
  host::DisplayMode mode;
  mode.width = width;
  mode.height = height;
  mode.bitsPerPixel = bitsPerPixel;
  Schedule(EventKind::DisplayChange, delayMs, nullptr, mode);
}

void ScheduleAction(uint64_t delayMs, std::function<void()> action) {
  Schedule(EventKind::Action, delayMs, nullptr, {}, std::move(action));
}

PadBoard& Pads() { return Headless()->pads_; }

bool IsActive() { return host::State().applicationActive; }

void AddOtherProcessWindow(const std::string& className) { Headless()->otherClasses_.push_back(className); }

bool IsCursorShown() { return Headless()->cursorShown_; }

void FailCall(const std::string& name, int times, int skip) {
  Headless();
  host::PlatformState& s = host::State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.failures[name] = {skip, times};
  s.failuresArmed.store(true, std::memory_order_relaxed);
}

void ClearFailures() {
  host::PlatformState& s = host::State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.failures.clear();
  s.failuresArmed.store(false, std::memory_order_relaxed);
}

uint32_t CapturedFrame::Rgb(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  const uint8_t* p = pixels.data() + static_cast<size_t>(y) * pitch;
  uint32_t value = 0;
  switch (bitsPerPixel) {
    case 8:
      return palette.size() == 256 ? palette[p[x]] & 0xFFFFFF : 0;
    case 16:
      value = static_cast<uint32_t>(p[x * 2] | (p[x * 2 + 1] << 8));
      break;
    case 24:
      value = static_cast<uint32_t>(p[x * 3] | (p[x * 3 + 1] << 8) | (p[x * 3 + 2] << 16));
      break;
    case 32:
      std::memcpy(&value, p + x * 4, 4);
      break;
    default:
      return 0;
  }
  // Each channel widened to 8 bits by repeating its top bits.
  auto channel = [value](uint32_t mask) -> uint32_t {
    if (!mask) return 0;
    int shift = __builtin_ctz(mask);
    int bits = __builtin_popcount(mask);
    uint32_t c = (value & mask) >> shift;
    uint32_t wide = 0;
    for (int filled = 0; filled < 8; filled += bits) wide = (wide << bits) | c;
    int total = ((7 / bits) + 1) * bits;
    return (wide >> (total - 8)) & 0xFF;
  };
  return (channel(redMask) << 16) | (channel(greenMask) << 8) | channel(blueMask);
}

const std::vector<CapturedFrame>& Frames() { return Headless()->frames_; }

CapturedFrame WindowPicture(HWND window) {
  CapturedFrame picture;
  host::WindowView view;
  if (!FindWindowView(window, &view)) return picture;
  const host::ViewPlacement place = host::PlacementOf(view);
  picture.window = window;
  picture.width = std::max(place.width, 0);
  picture.height = std::max(place.height, 0);
  picture.bitsPerPixel = 32;
  picture.pitch = picture.width * 4;
  picture.redMask = 0xFF0000;
  picture.greenMask = 0x00FF00;
  picture.blueMask = 0x0000FF;
  picture.pixels.assign(static_cast<size_t>(picture.pitch) * picture.height, 0);
  picture.milliseconds = Milliseconds();
  auto put = [&picture](int x, int y, uint32_t rgb) {
    if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) return;
    std::memcpy(picture.pixels.data() + static_cast<size_t>(y) * picture.pitch + x * 4, &rgb, 4);
  };
  const std::vector<CapturedFrame>& frames = Headless()->frames_;
  for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
    if (it->window != window) continue;
    for (int y = 0; y < it->height; ++y) {
      for (int x = 0; x < it->width; ++x) put(x, place.stripHeight + y, it->Rgb(x, y));
    }
    break;
  }
  for (const host::MenuPicture& p : host::PaintMenu(host::MenuSceneOf(window))) {
    for (int y = 0; y < p.Height(); ++y) {
      for (int x = 0; x < p.Width(); ++x) put(p.place.left + x, p.place.top + y, p.At(x, y));
    }
  }
  return picture;
}
void ClearFrames() { Headless()->frames_.clear(); }
void SetFrameLimit(size_t limit) { Headless()->frameLimit_ = std::max<size_t>(limit, 1); }
void SetPresentObserver(std::function<void(const CapturedFrame&)> observer) {
  Headless()->presentObserver_ = std::move(observer);
}

const std::vector<CapturedMessageBox>& MessageBoxes() { return Headless()->boxes_; }
void SetMessageBoxAnswer(int answer) { Headless()->answer_ = answer; }

const std::string& DebugOutput() { return Headless()->debug_; }
void ClearDebugOutput() {
  std::lock_guard<std::mutex> guard(Headless()->outputLock_);
  Headless()->debug_.clear();
}

bool FindWindowView(HWND window, host::WindowView* view) {
  for (const auto& v : Headless()->views_) {
    if (v.window == window) {
      if (view) *view = v;
      return true;
    }
  }
  return false;
}

int MenuChangeCount() { return Headless()->menuChanges_; }

bool ChooseMenuItem(HWND window, UINT id) {
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STATE | MIIM_SUBMENU;
  HMENU menu = GetMenu(window);
  if (!menu || !GetMenuItemInfoA(menu, id, FALSE, &info)) return false;
  if ((info.fState & MFS_GRAYED) || info.hSubMenu) return false;
  return PostMessageA(window, WM_COMMAND, id & 0xFFFF, 0) != FALSE;
}

}  // namespace headless
