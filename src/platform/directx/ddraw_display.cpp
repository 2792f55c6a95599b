// The display behind every DirectDraw object: host, mode in force, exclusive owner and live surfaces.
#include <algorithm>
#include <ctime>
#include <optional>
#include <unordered_set>

#include "platform/directx/ddraw_objects.h"

namespace {

struct DisplayState {
  std::mutex lock;
  DisplayHost builtIn;
  DisplayHost* host = nullptr;
  const void* exclusiveOwner = nullptr;
  std::optional<DisplayMode> mode;  // set while an exclusive owner's mode is in force
  std::unordered_set<DirectDrawSurface*> surfaces;
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

}  // namespace

uint32_t DisplayHost::Milliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

void SetDisplayHost(DisplayHost* host) {
  DisplayState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.host = host;
  s.mode.reset();
  s.exclusiveOwner = nullptr;
}

DisplayHost& GetDisplayHost() {
  DisplayState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.host ? *s.host : s.builtIn;
}

DisplayMode CurrentDisplayMode() {
  DisplayState& s = State();
  {
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.mode) return *s.mode;
  }
  DisplayDesktop d = GetDisplayHost().Desktop();
  return DisplayMode{d.width, d.height, d.bits, d.rgb555};
}

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

void ApplyDisplayMode(const DisplayMode* mode) {
  DisplayMode before = CurrentDisplayMode();
  {
    DisplayState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (mode) s.mode = *mode;
    else s.mode.reset();
  }
  DisplayMode after = CurrentDisplayMode();
  if (before.width == after.width && before.height == after.height && before.bits == after.bits &&
      before.rgb555 == after.rgb555)
    return;
  MarkAllDirectDrawSurfacesLost();
  GetDisplayHost().PostDisplayChange(after.bits, after.width, after.height);
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

std::vector<uint32_t> PresentedPixels(const PresentedPicture& picture, const RECT& rect) {
  LONG left = std::max<LONG>(rect.left, 0), top = std::max<LONG>(rect.top, 0);
  LONG right = std::min<LONG>(rect.right, picture.width), bottom = std::min<LONG>(rect.bottom, picture.height);
  if (right <= left || bottom <= top || !picture.pixels) return {};
  uint32_t palette[256];
  PixelBlock block;
  block.top = const_cast<uint8_t*>(picture.pixels);
  block.pitch = picture.pitch;
  block.width = picture.width;
  block.height = picture.height;
  block.bits = static_cast<int>(picture.format.dwRGBBitCount);
  block.redMask = picture.format.dwRBitMask;
  block.greenMask = picture.format.dwGBitMask;
  block.blueMask = picture.format.dwBBitMask;
  if (block.bits == 8) {
    for (int i = 0; i < 256; ++i) {
      const PALETTEENTRY& e = picture.palette ? picture.palette[i] : PALETTEENTRY{};
      palette[i] = picture.palette ? (e.peRed << 16) | (e.peGreen << 8) | e.peBlue : DefaultSurfacePalette()[i];
    }
    block.palette = palette;
    block.paletteCount = 256;
  }
  size_t width = static_cast<size_t>(right - left);
  std::vector<uint32_t> out(width * static_cast<size_t>(bottom - top));
  for (LONG y = top; y < bottom; ++y)
    RowConverter::ReadRgb(block, left, y, static_cast<int>(width), 1, out.data() + (y - top) * width);
  return out;
}
