// The display behind every DirectDraw object: exclusive owner, mode changes, live surfaces, video memory.
#include <algorithm>
#include <atomic>
#include <unordered_set>

#include "platform/directx/ddraw_objects.h"

namespace {

struct DisplayState {
  std::mutex lock;
  const void* exclusiveOwner = nullptr;
  uint32_t videoMemory = 32u << 20;
  std::unordered_set<DirectDrawSurface*> surfaces;
  bool modeSeen = false;
  host::DisplayMode seen{};  // the display mode the surfaces were last checked against
  // seen, packed (0 before the first check): every lock compares with it without taking the lock.
  std::atomic<uint64_t> seenPacked{0};
  uint32_t defaultPalette[256];
  DisplayState() {
    // 3:3:2 colour cube, so an 8-bit surface without a palette still shows colours.
    for (int i = 0; i < 256; ++i) {
      uint32_t r = (i >> 5) & 7, g = (i >> 2) & 7, b = i & 3;
      defaultPalette[i] = ((r * 255 / 7) << 16) | ((g * 255 / 7) << 8) | (b * 255 / 3);
    }
  }
};

DisplayState& State() {
  static DisplayState state;
  return state;
}

// The fields SameMode compares, in one word; 0 for a mode too large to pack, which then always takes the lock.
uint64_t PackMode(const host::DisplayMode& m) {
  if (m.width < 0 || m.height < 0 || m.width > 0xFFFFFF || m.height > 0xFFFFFF || m.bitsPerPixel < 0 ||
      m.bitsPerPixel > 0xFF)
    return 0;
  return uint64_t{1} << 63 | uint64_t(m.rgb555) << 56 | uint64_t(m.bitsPerPixel) << 48 | uint64_t(m.height) << 24 |
         uint64_t(m.width);
}

bool SameMode(const host::DisplayMode& a, const host::DisplayMode& b) {
  return a.width == b.width && a.height == b.height && a.bitsPerPixel == b.bitsPerPixel && a.rgb555 == b.rgb555;
}

}  // namespace

void SetDirectDrawVideoMemory(uint32_t bytes) {
  DisplayState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.videoMemory = bytes;
}

uint32_t DirectDrawVideoMemory() {
  DisplayState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.videoMemory;
}

uint32_t DisplayMilliseconds() { return static_cast<uint32_t>(host::Current().Nanoseconds() / 1000000u); }

bool ClaimExclusiveMode(const void* owner) {
  DisplayState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.exclusiveOwner && s.exclusiveOwner != owner) return false;
  s.exclusiveOwner = owner;
  return true;
}

void ReleaseExclusiveMode(const void* owner) {
  DisplayState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.exclusiveOwner == owner) s.exclusiveOwner = nullptr;
}

bool ApplyDisplayMode(int width, int height, int bits, int refresh) {
  NoticeDisplayChanges();
  if (!host::SetDisplayMode(width, height, bits, refresh)) return false;
  NoticeDisplayChanges();
  return true;
}

void RestoreDesktopMode() {
  NoticeDisplayChanges();
  host::RestoreDisplayMode();
  NoticeDisplayChanges();
}

void NoticeDisplayChanges() {
  host::DisplayMode now = host::CurrentDisplayMode();
  DisplayState& s = State();
  const uint64_t packed = PackMode(now);
  if (packed != 0 && packed == s.seenPacked.load(std::memory_order_acquire)) return;  // nothing changed
  std::lock_guard<std::mutex> guard(s.lock);
  bool changed = s.modeSeen && !SameMode(now, s.seen);
  s.seen = now;
  s.modeSeen = true;
  s.seenPacked.store(packed, std::memory_order_release);
  if (changed)
    for (DirectDrawSurface* surface : s.surfaces) surface->MarkLost();
}

void RegisterSurface(DirectDrawSurface* surface) {
  DisplayState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.surfaces.insert(surface);
}

void UnregisterSurface(DirectDrawSurface* surface) {
  DisplayState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.surfaces.erase(surface);
}

void MarkAllDirectDrawSurfacesLost() {
  DisplayState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  for (DirectDrawSurface* surface : s.surfaces) surface->MarkLost();
}

const uint32_t* DefaultSurfacePalette() { return State().defaultPalette; }

DDPIXELFORMAT PixelFormatForMode(int bits, bool rgb555) {
  DDPIXELFORMAT f{};
  f.dwSize = sizeof f;
  f.dwFlags = DDPF_RGB;
  f.dwRGBBitCount = static_cast<DWORD>(bits);
  if (bits == 8) {
    f.dwFlags |= DDPF_PALETTEINDEXED8;
  } else if (bits == 16) {
    f.dwRBitMask = rgb555 ? 0x7C00 : 0xF800;
    f.dwGBitMask = rgb555 ? 0x03E0 : 0x07E0;
    f.dwBBitMask = 0x001F;
  } else {
    f.dwRBitMask = 0xFF0000, f.dwGBitMask = 0xFF00, f.dwBBitMask = 0xFF;
  }
  return f;
}
