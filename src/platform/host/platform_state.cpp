#include "platform/host/platform_state.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/host/platform.h"
#include "platform/host/sdl/sdl_host.h"

namespace host {

PlatformState& State() {
  static PlatformState state;
  return state;
}

void ResetPlatform(std::unique_ptr<Host> newHost) {
  PlatformState& s = State();
  {
    std::lock_guard<std::mutex> guard(s.lock);
    s.posted.clear();
    s.postedPerWindow.clear();
    for (CrossThreadSend* send : s.sent) send->done = true;
    s.sent.clear();
    s.quitPending = false;
    s.quitCode = 0;
    s.failures.clear();
    s.failuresArmed.store(false, std::memory_order_relaxed);
    s.events.clear();
    s.noticesMarked.store(false, std::memory_order_relaxed);
  }
  s.sendDone.notify_all();
  s.classes.clear();
  s.windows.clear();
  s.menus.clear();
  s.guiThread = 0;
  s.applicationActive = false;
  s.activeWindow = nullptr;
  s.focusWindow = nullptr;
  s.cursor = nullptr;
  s.cursorCount = 0;
  s.cursorPosition = {};
  s.foregroundLockTimeout = 200000;
  s.modeSet = false;
  s.mode = {};
  s.comInitCount = 0;
  s.moduleReferences.clear();
  s.lastError = 0;
  s.periodsBegun = 0;
  s.processor = nullptr;
  s.input = {};
  s.idle.owner = std::thread::id{};
  s.idle.polled = false;
  s.idle.seenChanges = s.changes.load();
  s.idle.clockReads = 0;
  s.idle.clockReadsAtRound = 0;
  s.idle.presentedLast = false;
  s.idle.timedLook = false;
  s.idle.lastRoundEnd = 0;
  s.idle.quickRounds = 0;
  s.menuTracking = {};
  s.host = std::move(newHost);
}

Host& Current() {
  PlatformState& s = State();
  if (!s.host) s.host = CreateSdlHost();
  return *s.host;
}

uint64_t NowNanoseconds() { return Current().Nanoseconds(); }

bool ShouldFail(const char* name) {
  PlatformState& s = State();
  if (!s.failuresArmed.load(std::memory_order_relaxed)) return false;
  std::lock_guard<std::mutex> guard(s.lock);
  auto it = s.failures.find(std::string_view(name));
  if (it == s.failures.end()) return false;
  FailureRule& rule = it->second;
  if (rule.skip > 0) {
    --rule.skip;
    return false;
  }
  if (rule.times == 0) return false;
  if (rule.times > 0) --rule.times;
  return true;
}

ChannelMasks MasksOf(const DisplayMode& mode) {
  switch (mode.bitsPerPixel) {
    case 16:
      if (mode.rgb555) return {0x7C00, 0x03E0, 0x001F};
      return {0xF800, 0x07E0, 0x001F};
    case 24:
    case 32:
      return {0xFF0000, 0x00FF00, 0x0000FF};
    default:
      return {};
  }
}

DisplayMode CurrentDisplayMode() {
  PlatformState& s = State();
  if (s.modeSet) return s.mode;
  return Current().DesktopMode();
}

bool IsDisplayModeChanged() { return State().modeSet; }

void SetCurrentDisplayMode(const DisplayMode& mode) {
  PlatformState& s = State();
  s.mode = mode;
  s.modeSet = true;
}

bool SetDisplayMode(int width, int height, int bitsPerPixel, int refreshRate) {
  if (ShouldFail("SetDisplayMode")) return false;
  DisplayMode wanted;
  wanted.width = width;
  wanted.height = height;
  wanted.bitsPerPixel = bitsPerPixel;
  wanted.refreshRate = refreshRate;
  Host& h = Current();
  const DisplayMode desktop = h.DesktopMode();
  if (bitsPerPixel == 16 && desktop.bitsPerPixel == 16) wanted.rgb555 = desktop.rgb555;
  bool known = false;
  for (const DisplayMode& m : h.DisplayModes()) {
    if (m.width == width && m.height == height && m.bitsPerPixel == bitsPerPixel) {
      known = true;
      wanted.rgb555 = m.rgb555;
      if (refreshRate == 0) wanted.refreshRate = m.refreshRate;
    }
  }
  if (!known || !h.SetDisplayMode(wanted)) return false;
  SetCurrentDisplayMode(wanted);
  BroadcastDisplayChange();
  return true;
}

void RestoreDisplayMode() {
  PlatformState& s = State();
  if (s.modeSet) Current().RestoreDisplayMode();
  s.modeSet = false;
  // Posted also when nothing was set, so a caller waiting for the change never waits in vain.
  BroadcastDisplayChange();
}

void BroadcastDisplayChange() {
  const DisplayMode mode = CurrentDisplayMode();
  std::vector<HWND> targets;
  for (auto& w : State().windows) {
    if (!w->destroyed && !w->parent) targets.push_back(w.get());
  }
  for (HWND w : targets) {
    PostMessageA(w, WM_DISPLAYCHANGE, static_cast<WPARAM>(mode.bitsPerPixel),
                 MAKELPARAM(static_cast<WORD>(mode.width), static_cast<WORD>(mode.height)));
  }
}

void PresentFrame(HWND window, const Frame& frame) {
  if (!LiveWindow(window) || !frame.pixels || frame.width <= 0 || frame.height <= 0) return;
  Current().Present(window, frame);
}

std::string ShiftJisToUtf8(const char* text) {
  if (!text) return {};
  std::string out;
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  size_t inLeft = std::strlen(text);
  char* in = const_cast<char*>(text);
  std::vector<char> buffer(inLeft * 4 + 16);
  while (inLeft > 0) {
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer.data(), outPtr);
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // An invalid or cut sequence: show a replacement and go on with the next byte.
      out += "?";
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

void WriteStandardError(const char* text) {
  const std::string utf8 = ShiftJisToUtf8(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  std::fflush(stderr);
}

}  // namespace host
