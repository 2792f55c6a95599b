// The DirectDraw object: cooperative levels, display modes, surface creation, caps and the vertical blank.
#include <algorithm>
#include <cstdio>

#include "platform/directx/ddraw_objects.h"

namespace {

constexpr GUID MakeGuid(uint32_t n) { return GUID{0x564D4B00u + n, 0x4444, 0x5257, {0x81, 0x5C, 0, 0, 0, 0, 0, 7}}; }
constexpr GUID kDeviceGuid = MakeGuid(0x80);

// Emulated display timing: 60 frames a second, 525 lines of which the last 45 are the vertical blank.
constexpr uint32_t kLines = 525, kVisibleLines = 480;
uint32_t ScanLineAt(uint32_t ms) { return (ms % 50u * 60u) % 1000u * kLines / 1000u; }
// An injected "VerticalBlank" failure stands for a display that neither blanks nor moves its scan line.
uint32_t CurrentScanLine() { return host::ShouldFail("VerticalBlank") ? 0u : ScanLineAt(DisplayMilliseconds()); }

HRESULT CheckPixelFormat(const DDPIXELFORMAT& f, DWORD caps) {
  if (f.dwFlags & DDPF_FOURCC) return DDERR_INVALIDPIXELFORMAT;
  if (f.dwFlags & DDPF_ZBUFFER) {
    bool depthOk = f.dwZBufferBitDepth == 16 || f.dwZBufferBitDepth == 24 || f.dwZBufferBitDepth == 32;
    return depthOk && (caps & DDSCAPS_ZBUFFER) ? DD_OK : DDERR_INVALIDPIXELFORMAT;
  }
  if (!(f.dwFlags & DDPF_RGB)) return DDERR_INVALIDPIXELFORMAT;
  switch (f.dwRGBBitCount) {
    case 8: return (f.dwFlags & DDPF_PALETTEINDEXED8) ? DD_OK : DDERR_INVALIDPIXELFORMAT;
    case 16: case 24: case 32: return DD_OK;
    default: return DDERR_INVALIDPIXELFORMAT;
  }
}

class DirectDrawObject;

// The first-version (and second-version) interface of an object: holds a reference to it.
class DirectDrawFace final : public ComObject<IDirectDraw2> {
 public:
  explicit DirectDrawFace(DirectDrawObject* object);
  ~DirectDrawFace() override;
  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, IUnknown* outer) override;
  HRESULT GetCaps(DDCAPS* driver, DDCAPS* emulation) override;
  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;

 private:
  DirectDrawObject* object_;
};

class DirectDrawObject final : public ComObject<IDirectDraw7> {
 public:
  explicit DirectDrawObject(bool initialized) : initialized_(initialized) {}
  ~DirectDrawObject() override {
    if (modeSet_) RestoreDesktopMode();
    ReleaseExclusiveMode(this);
  }

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDirectDraw7) {
      AddRef();
      *out = static_cast<IDirectDraw7*>(this);
    } else if (iid == IID_IDirectDraw || iid == IID_IDirectDraw2) {
      *out = static_cast<IDirectDraw2*>(new DirectDrawFace(this));
    } else {
      return E_NOINTERFACE;
    }
    return S_OK;
  }

  HRESULT CreateClipper(DWORD, IDirectDrawClipper** out, IUnknown* outer) override {
    if (!out || outer) return DDERR_INVALIDPARAMS;
    if (host::ShouldFail("CreateClipper")) return DDERR_OUTOFMEMORY;
    *out = new DirectDrawClipper;
    return DD_OK;
  }

  HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** out, IUnknown* outer) override {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!initialized_) return DDERR_NOTINITIALIZED;
    if (outer || !entries || !(flags & DDPCAPS_8BIT)) return DDERR_INVALIDPARAMS;
    *out = new DirectDrawPalette(flags, entries);
    return DD_OK;
  }

  HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** out, IUnknown* outer) override {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!desc || outer || !(desc->dwSize == 124 || desc->dwSize == sizeof(DDSURFACEDESC2))) return DDERR_INVALIDPARAMS;
    DirectDrawSurface* surface = nullptr;
    HRESULT hr = MakeSurface(desc->dwFlags, desc->dwWidth, desc->dwHeight, desc->ddpfPixelFormat,
                             desc->ddsCaps.dwCaps, desc->ddsCaps.dwCaps2, desc->dwBackBufferCount,
                             desc->ddckCKSrcBlt, &surface);
    *out = surface;
    return hr;
  }

  // Creation shared by both description versions.
  HRESULT MakeSurface(DWORD flags, DWORD width, DWORD height, const DDPIXELFORMAT& requested, DWORD caps, DWORD caps2,
                      DWORD backBuffers, const DDCOLORKEY& key, DirectDrawSurface** out) {
    if (!initialized_) return DDERR_NOTINITIALIZED;
    if (!(flags & DDSD_CAPS)) caps = 0;
    if (caps & DDSCAPS_OVERLAY) return DDERR_NOOVERLAYHW;
    if ((caps & DDSCAPS_SYSTEMMEMORY) && (caps & DDSCAPS_VIDEOMEMORY)) return DDERR_INVALIDCAPS;
    if (host::ShouldFail("CreateSurface")) return DDERR_OUTOFMEMORY;
    NoticeDisplayChanges();  // surfaces made now belong to the mode in force
    host::DisplayMode mode = host::CurrentDisplayMode();
    SurfaceShape shape;
    shape.caps2 = caps2;
    bool primary = (caps & DDSCAPS_PRIMARYSURFACE) != 0;
    if (primary) {
      if (!cooperativeSet_) return DDERR_NOCOOPERATIVELEVELSET;
      {
        std::lock_guard<std::mutex> guard(device_->lock);
        if (device_->primary) return DDERR_PRIMARYSURFACEALREADYEXISTS;
      }
      shape.width = static_cast<DWORD>(mode.width);
      shape.height = static_cast<DWORD>(mode.height);
      shape.format = PixelFormatForMode(mode.bitsPerPixel, mode.rgb555);
      if (caps & DDSCAPS_FLIP) {
        if (!(caps & DDSCAPS_COMPLEX) || !(flags & DDSD_BACKBUFFERCOUNT) || backBuffers < 1 || backBuffers > 8)
          return DDERR_INVALIDPARAMS;
        if (!exclusive_) return DDERR_NOEXCLUSIVEMODE;
      } else {
        backBuffers = 0;
      }
    } else {
      if ((caps & DDSCAPS_FLIP) || !(flags & DDSD_WIDTH) || !(flags & DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
      if (width < 1 || height < 1 || width > 16384 || height > 16384) return DDERR_INVALIDPARAMS;
      shape.width = width;
      shape.height = height;
      if (flags & DDSD_PIXELFORMAT) {
        if (HRESULT hr = CheckPixelFormat(requested, caps); FAILED(hr)) return hr;
        shape.format = requested;
        shape.format.dwSize = sizeof(DDPIXELFORMAT);
      } else if (caps & DDSCAPS_ZBUFFER) {
        shape.format = DDPIXELFORMAT{};
        shape.format.dwSize = sizeof(DDPIXELFORMAT);
        shape.format.dwFlags = DDPF_ZBUFFER;
        shape.format.dwZBufferBitDepth = 16;
        shape.format.dwZBitMask = 0xFFFF;
      } else {
        shape.format = PixelFormatForMode(mode.bitsPerPixel, mode.rgb555);
      }
      backBuffers = 0;
    }
    // Memory: system memory when asked; video memory when asked (failing when the budget is spent); else video
    // memory while it lasts. The primary itself is the display and costs nothing.
    uint64_t bytes = static_cast<uint64_t>((shape.width * (shape.format.dwRGBBitCount / 8) + 31) & ~31u) * shape.height;
    DWORD placeCaps = caps & ~(DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM);
    auto place = [&](bool charged, SurfaceShape& s) -> HRESULT {
      if (caps & DDSCAPS_SYSTEMMEMORY) {
        s.caps |= DDSCAPS_SYSTEMMEMORY;
        return DD_OK;
      }
      if (!charged || device_->TakeVideo(bytes)) {
        s.video = charged;
        s.caps |= DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
        return DD_OK;
      }
      if (caps & DDSCAPS_VIDEOMEMORY) return DDERR_OUTOFVIDEOMEMORY;
      s.caps |= DDSCAPS_SYSTEMMEMORY;
      return DD_OK;
    };
    shape.caps = placeCaps | (primary ? DDSCAPS_VISIBLE | (backBuffers ? DDSCAPS_FRONTBUFFER : 0) : 0);
    if (HRESULT hr = place(!primary, shape); FAILED(hr)) return hr;
    auto* front = new DirectDrawSurface(shape, device_);
    if (flags & DDSD_CKSRCBLT) front->SetColorKey(DDCKEY_SRCBLT, const_cast<DDCOLORKEY*>(&key));
    std::vector<DirectDrawSurface*> chain;
    DirectDrawSurface* previous = front;
    for (DWORD i = 0; i < backBuffers; ++i) {
      SurfaceShape back = shape;
      back.caps = (placeCaps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_VISIBLE | DDSCAPS_FRONTBUFFER)) |
                  (i == 0 ? DDSCAPS_BACKBUFFER : 0);
      back.video = false;
      if (HRESULT hr = place(true, back); FAILED(hr)) {
        front->Release();  // takes the back buffers made so far with it
        return hr;
      }
      auto* surface = new DirectDrawSurface(back, device_);
      previous->AttachOwned(surface);
      chain.push_back(surface);
      previous = surface;
    }
    if (!chain.empty()) front->SetChain(chain);
    if (primary) {
      std::lock_guard<std::mutex> guard(device_->lock);
      device_->primary = front;
    }
    *out = front;
    return DD_OK;
  }

  HRESULT GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) override {
    if (!caps) return DDERR_INVALIDPARAMS;
    if (!initialized_) return DDERR_NOTINITIALIZED;
    uint32_t budget = DirectDrawVideoMemory();
    uint64_t used;
    {
      std::lock_guard<std::mutex> guard(device_->lock);
      used = device_->videoUsed;
    }
    if (total) *total = budget;
    if (free) *free = static_cast<DWORD>(budget - std::min<uint64_t>(budget, used));
    return DD_OK;
  }

  HRESULT GetCaps(DDCAPS* driver, DDCAPS* emulation) override {
    if (!initialized_) return DDERR_NOTINITIALIZED;
    if (!driver && !emulation) return DDERR_INVALIDPARAMS;
    for (DDCAPS* caps : {driver, emulation}) {
      if (!caps) continue;
      if (caps->dwSize != sizeof(DDCAPS)) return DDERR_INVALIDPARAMS;
      *caps = DDCAPS{};
      caps->dwSize = sizeof(DDCAPS);
      caps->dwCaps = DDCAPS_BLT | DDCAPS_BLTSTRETCH | DDCAPS_BLTCOLORFILL | DDCAPS_COLORKEY | DDCAPS_CANCLIP |
                     DDCAPS_PALETTE;
      caps->dwCKeyCaps = DDCKEYCAPS_SRCBLT;
      caps->dwPalCaps = DDPCAPS_8BIT | DDPCAPS_PRIMARYSURFACE;
      caps->dwZBufferBitDepths = 0x400 | 0x200 | 0x100;  // 16, 24 and 32 bits
      caps->ddsCaps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX | DDSCAPS_FLIP | DDSCAPS_FRONTBUFFER |
                             DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PALETTE | DDSCAPS_PRIMARYSURFACE |
                             DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY | DDSCAPS_VISIBLE | DDSCAPS_ZBUFFER |
                             DDSCAPS_LOCALVIDMEM;
    }
    if (driver) {
      DWORD free = 0;
      DDSCAPS2 video{DDSCAPS_VIDEOMEMORY, 0, 0, 0};
      GetAvailableVidMem(&video, &driver->dwVidMemTotal, &free);
      driver->dwVidMemFree = free;
    }
    return DD_OK;
  }

  HRESULT GetDeviceIdentifier(DDDEVICEIDENTIFIER2* id, DWORD) override {
    if (!id) return DDERR_INVALIDPARAMS;
    if (!initialized_) return DDERR_NOTINITIALIZED;
    *id = DDDEVICEIDENTIFIER2{};
    std::snprintf(id->szDriver, sizeof id->szDriver, "%s", "vomak-display");
    std::snprintf(id->szDescription, sizeof id->szDescription, "%s", "Vomak memory display");
    id->liDriverVersion.QuadPart = (LONGLONG{1} << 48) | (LONGLONG{0} << 32) | (LONGLONG{0} << 16) | 1;
    id->guidDeviceIdentifier = kDeviceGuid;
    return DD_OK;
  }

  HRESULT GetDisplayMode(DDSURFACEDESC2* desc) override {
    if (!desc || !(desc->dwSize == 108 || desc->dwSize == 124 || desc->dwSize == sizeof(DDSURFACEDESC) ||
                   desc->dwSize == sizeof(DDSURFACEDESC2)))
      return DDERR_INVALIDPARAMS;
    if (!initialized_) return DDERR_NOTINITIALIZED;
    host::DisplayMode mode = host::CurrentDisplayMode();
    // Only the fields both description versions share are written.
    desc->dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
    desc->dwWidth = static_cast<DWORD>(mode.width);
    desc->dwHeight = static_cast<DWORD>(mode.height);
    desc->lPitch = mode.width * (mode.bitsPerPixel / 8);
    desc->dwRefreshRate = static_cast<DWORD>(mode.refreshRate);
    desc->ddpfPixelFormat = PixelFormatForMode(mode.bitsPerPixel, mode.rgb555);
    return DD_OK;
  }

  HRESULT GetScanLine(DWORD* line) override {
    if (!line) return DDERR_INVALIDPARAMS;
    *line = CurrentScanLine();
    return DD_OK;
  }

  HRESULT GetVerticalBlankStatus(BOOL* inBlank) override {
    if (!inBlank) return DDERR_INVALIDPARAMS;
    *inBlank = CurrentScanLine() >= kVisibleLines ? TRUE : FALSE;
    return DD_OK;
  }

  HRESULT WaitForVerticalBlank(DWORD flags, HANDLE) override {
    // Bounded waits: a clock that stands still must not hang the caller. The scan line moves with the
    // millisecond, so the wait sleeps from one millisecond to the next; a line below the last one seen means the
    // beam went through a blank, and out of it, while the wait slept.
    uint32_t start = DisplayMilliseconds();
    auto waitWhile = [&](bool state) {
      uint32_t last = 0;
      for (int spins = 0;; ++spins) {
        const uint32_t line = CurrentScanLine();
        if ((line >= kVisibleLines) != state || line < last) return;
        if (spins >= 4000000 || DisplayMilliseconds() - start >= 100) return;
        last = line;
        host::WaitForNextMillisecond();
      }
    };
    if (flags & DDWAITVB_BLOCKEND) {
      if (CurrentScanLine() < kVisibleLines) waitWhile(false);
      waitWhile(true);
    } else {
      waitWhile(true);
      waitWhile(false);
    }
    return DD_OK;
  }

  HRESULT Initialize(GUID* driver) override {
    if (initialized_) return DDERR_ALREADYINITIALIZED;
    if (driver && !(*driver == kDeviceGuid)) return DDERR_INVALIDPARAMS;
    if (host::ShouldFail("DirectDrawInitialize")) return DDERR_GENERIC;
    initialized_ = true;
    return DD_OK;
  }

  HRESULT RestoreDisplayMode() override {
    if (!initialized_) return DDERR_NOTINITIALIZED;
    if (modeSet_) RestoreDesktopMode();
    modeSet_ = false;
    return DD_OK;
  }

  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
    if (!initialized_) return DDERR_NOTINITIALIZED;
    bool normal = (flags & DDSCL_NORMAL) != 0;
    bool fullscreen = (flags & DDSCL_FULLSCREEN) != 0, exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
    if (normal == (fullscreen || exclusive) || fullscreen != exclusive || (exclusive && !window))
      return DDERR_INVALIDPARAMS;
    if (host::ShouldFail("SetCooperativeLevel")) return DDERR_GENERIC;
    if (exclusive) {
      if (!ClaimExclusiveMode(this)) return DDERR_EXCLUSIVEMODEALREADYSET;
    } else {
      ReleaseExclusiveMode(this);
    }
    exclusive_ = exclusive;
    cooperativeSet_ = true;
    std::lock_guard<std::mutex> guard(device_->lock);
    device_->window = window;
    device_->exclusive = exclusive;
    return DD_OK;
  }

  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD) override {
    if (!initialized_) return DDERR_NOTINITIALIZED;
    if (!exclusive_) return DDERR_NOEXCLUSIVEMODE;
    // The host knows the sizes; 24 bits and refresh rates other than the display's are refused here.
    if (!(bits == 8 || bits == 16 || bits == 32) || !(refresh == 0 || refresh == 60) || width > 0xFFFF ||
        height > 0xFFFF)
      return DDERR_INVALIDMODE;
    if (!ApplyDisplayMode(static_cast<int>(width), static_cast<int>(height), static_cast<int>(bits),
                          static_cast<int>(refresh)))
      return DDERR_INVALIDMODE;
    modeSet_ = true;
    return DD_OK;
  }

 private:
  std::shared_ptr<DeviceShared> device_ = std::make_shared<DeviceShared>();
  bool initialized_;
  bool cooperativeSet_ = false;
  bool exclusive_ = false;
  bool modeSet_ = false;
};

DirectDrawFace::DirectDrawFace(DirectDrawObject* object) : object_(object) { object_->AddRef(); }
DirectDrawFace::~DirectDrawFace() { object_->Release(); }

HRESULT DirectDrawFace::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IDirectDraw || iid == IID_IDirectDraw2) {
    AddRef();
    *out = static_cast<IDirectDraw2*>(this);
    return S_OK;
  }
  return object_->QueryInterface(iid, out);
}

HRESULT DirectDrawFace::CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, IUnknown* outer) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (!desc || outer || !(desc->dwSize == 108 || desc->dwSize == sizeof(DDSURFACEDESC))) return DDERR_INVALIDPARAMS;
  DirectDrawSurface* surface = nullptr;
  HRESULT hr = object_->MakeSurface(desc->dwFlags, desc->dwWidth, desc->dwHeight, desc->ddpfPixelFormat,
                                    desc->ddsCaps.dwCaps, 0, desc->dwBackBufferCount, desc->ddckCKSrcBlt, &surface);
  if (FAILED(hr)) return hr;
  hr = surface->QueryInterface(IID_IDirectDrawSurface, reinterpret_cast<void**>(out));
  surface->Release();
  return hr;
}

HRESULT DirectDrawFace::GetCaps(DDCAPS* driver, DDCAPS* emulation) { return object_->GetCaps(driver, emulation); }

HRESULT DirectDrawFace::SetCooperativeLevel(HWND window, DWORD flags) {
  return object_->SetCooperativeLevel(window, flags);
}

}  // namespace

const IID IID_IDirectDraw = MakeGuid(1);
const IID IID_IDirectDraw2 = MakeGuid(2);
const IID IID_IDirectDraw7 = MakeGuid(7);
const IID IID_IDirectDrawSurface = MakeGuid(0x11);
const IID IID_IDirectDrawSurface3 = MakeGuid(0x13);
const IID IID_IDirectDrawSurface4 = MakeGuid(0x14);
const IID IID_IDirectDrawSurface7 = MakeGuid(0x17);
const IID IID_IDirectDrawClipper = MakeGuid(0x21);
const IID IID_IDirectDrawPalette = MakeGuid(0x22);
const CLSID CLSID_DirectDraw = MakeGuid(0x41);
const CLSID CLSID_DirectDraw7 = MakeGuid(0x47);

HRESULT DirectDrawCreate(GUID* driver, void** out, IUnknown* outer) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (outer) return DDERR_INVALIDPARAMS;
  if (host::ShouldFail("DirectDrawCreate")) return DDERR_GENERIC;
  auto* object = new DirectDrawObject(false);
  HRESULT hr = object->Initialize(driver);
  if (SUCCEEDED(hr)) hr = object->QueryInterface(IID_IDirectDraw, out);
  object->Release();
  return hr;
}

HRESULT DirectDrawCreateEx(GUID* driver, void** out, REFIID iid, IUnknown* outer) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (outer || !(iid == IID_IDirectDraw7)) return DDERR_INVALIDPARAMS;
  if (host::ShouldFail("DirectDrawCreateEx")) return DDERR_GENERIC;
  auto* object = new DirectDrawObject(false);
  HRESULT hr = object->Initialize(driver);
  if (SUCCEEDED(hr)) *out = static_cast<IDirectDraw7*>(object);
  else object->Release();
  return hr;
}

HRESULT CreateDirectDrawInstance(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!(clsid == CLSID_DirectDraw || clsid == CLSID_DirectDraw7)) return REGDB_E_CLASSNOTREG;
  if (host::ShouldFail("DirectDrawCreate")) return DDERR_GENERIC;
  // Made uninitialised: the caller runs Initialize.
  auto* object = new DirectDrawObject(false);
  HRESULT hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

HRESULT DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, LPVOID context, DWORD) {
  if (!callback) return DDERR_INVALIDPARAMS;
  char description[] = "Vomak memory display";
  char name[] = "display";
  callback(nullptr, description, name, context, nullptr);
  return DD_OK;
}
