// Surfaces: memory blocks with a pitch, locks, blits through the clipper, flip chains, device contexts.
#include <algorithm>

#include "platform/directx/ddraw_objects.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/user.h"

namespace {

// Older interfaces of a surface: each holds a reference to the surface it stands for.
template <class Interface>
class SurfaceFace : public ComObject<Interface> {
 public:
  explicit SurfaceFace(DirectDrawSurface* surface) : surface_(surface) { surface_->AddRef(); }
  ~SurfaceFace() override { surface_->Release(); }
  HRESULT QueryInterface(REFIID iid, void** out) override { return surface_->QueryInterface(iid, out); }

 protected:
  DirectDrawSurface* surface_;
};

class SurfaceFaceFirst final : public SurfaceFace<IDirectDrawSurface> {
 public:
  using SurfaceFace::SurfaceFace;
  HRESULT GetCaps(DDSCAPS* caps) override {
    if (!caps) return DDERR_INVALIDPARAMS;
    caps->dwCaps = surface_->Shape().caps;
    return DD_OK;
  }
};

bool InsideSurface(const RECT& r, DWORD width, DWORD height) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && static_cast<DWORD>(r.right) <= width &&
         static_cast<DWORD>(r.bottom) <= height;
}

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// A window's client rectangle in desktop coordinates.
bool ClientOnDesktop(HWND window, RECT* rect) {
  RECT client;
  POINT origin{0, 0};
  if (!GetClientRect(window, &client) || !ClientToScreen(window, &origin)) return false;
  *rect = RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
  return true;
}

// Which description a caller handed in: 0 none we know, 1 the first version, 2 the DirectDraw 7 one.
int DescKind(DWORD size) {
  if (size == 124 || size == sizeof(DDSURFACEDESC2)) return 2;
  if (size == 108 || size == sizeof(DDSURFACEDESC)) return 1;
  return 0;
}

}  // namespace

bool DeviceShared::TakeVideo(uint64_t bytes) {
  std::lock_guard<std::mutex> guard(lock);
  if (videoUsed + bytes > DirectDrawVideoMemory()) return false;
  videoUsed += bytes;
  return true;
}

void DeviceShared::GiveVideo(uint64_t bytes) {
  std::lock_guard<std::mutex> guard(lock);
  videoUsed -= std::min(videoUsed, bytes);
}

DirectDrawSurface::DirectDrawSurface(const SurfaceShape& shape, std::shared_ptr<DeviceShared> device)
    : shape_(shape), device_(std::move(device)) {
  DWORD bits = shape_.format.dwRGBBitCount;
  pitch_ = static_cast<long>((shape_.width * (bits / 8) + 31) & ~31u);
  memory_.assign(static_cast<size_t>(pitch_) * shape_.height, 0);
  RegisterSurface(this);
}

DirectDrawSurface::~DirectDrawSurface() {
  UnregisterSurface(this);
  if (dc_) DestroySurfaceContext(dc_);
  if (clipper_) clipper_->Release();
  if (palette_) palette_->Release();
  for (DirectDrawSurface* s : attached_) s->Release();
  if (shape_.video) device_->GiveVideo(static_cast<uint64_t>(pitch_) * shape_.height);
  std::lock_guard<std::mutex> guard(device_->lock);
  if (device_->primary == this) device_->primary = nullptr;
}

DirectDrawSurface* DirectDrawSurface::From(IDirectDrawSurface7* surface) {
  return dynamic_cast<DirectDrawSurface*>(surface);
}

HRESULT DirectDrawSurface::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDirectDrawSurface7) {
    AddRef();
    *out = static_cast<IDirectDrawSurface7*>(this);
  } else if (iid == IID_IDirectDrawSurface) {
    *out = static_cast<IDirectDrawSurface*>(new SurfaceFaceFirst(this));
  } else if (iid == IID_IDirectDrawSurface3) {
    *out = static_cast<IDirectDrawSurface3*>(new SurfaceFace<IDirectDrawSurface3>(this));
  } else if (iid == IID_IDirectDrawSurface4) {
    *out = static_cast<IDirectDrawSurface4*>(new SurfaceFace<IDirectDrawSurface4>(this));
  } else {
    return E_NOINTERFACE;
  }
  return S_OK;
}

PixelBlock DirectDrawSurface::Block() const {
  PixelBlock b;
  b.top = const_cast<uint8_t*>(memory_.data());
  b.pitch = pitch_;
  b.width = static_cast<int>(shape_.width);
  b.height = static_cast<int>(shape_.height);
  b.bits = static_cast<int>(shape_.format.dwRGBBitCount);
  if (shape_.format.dwFlags & DDPF_RGB) {
    b.redMask = shape_.format.dwRBitMask;
    b.greenMask = shape_.format.dwGBitMask;
    b.blueMask = shape_.format.dwBBitMask;
  }
  if (b.bits == 8) {
    b.palette = palette_ ? palette_->Rgb() : DefaultSurfacePalette();
    b.paletteCount = 256;
  }
  return b;
}

void DirectDrawSurface::Present() {
  if (!IsPrimary()) return;
  host::NoteSurfaceWork(true);
  HWND window;
  bool exclusive;
  {
    std::lock_guard<std::mutex> guard(device_->lock);
    window = device_->window;
    exclusive = device_->exclusive;
  }
  if (clipper_ && clipper_->Window()) window = clipper_->Window();
  if (!window) return;
  // Full screen shows the whole primary; window mode the window's client rectangle on the desktop-sized one.
  RECT area{0, 0, static_cast<LONG>(shape_.width), static_cast<LONG>(shape_.height)};
  if (!exclusive) {
    RECT client;
    if (!ClientOnDesktop(window, &client)) return;
    area = Intersect(area, client);
  }
  if (Empty(area)) return;
  PixelBlock block = Block();
  host::Frame frame;
  int bytes = block.bits / 8;
  frame.pixels = block.Row(area.top) + static_cast<long>(area.left) * bytes;
  frame.pitch = static_cast<int>(pitch_);
  frame.width = area.right - area.left;
  frame.height = area.bottom - area.top;
  frame.bitsPerPixel = block.bits;
  frame.redMask = block.redMask, frame.greenMask = block.greenMask, frame.blueMask = block.blueMask;
  frame.palette = block.bits == 8 ? block.palette : nullptr;
  host::PresentFrame(window, frame);
}

void DirectDrawSurface::FillDesc(DDSURFACEDESC2* desc) const {
  // The first-version description shares every field up to the first word of the capabilities.
  desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc->dwHeight = shape_.height;
  desc->dwWidth = shape_.width;
  desc->lPitch = pitch_;
  desc->dwBackBufferCount = static_cast<DWORD>(chain_.size());
  desc->lpSurface = nullptr;
  desc->ddpfPixelFormat = shape_.format;
  desc->ddsCaps.dwCaps = shape_.caps;
  if (hasSourceKey_) {
    desc->dwFlags |= DDSD_CKSRCBLT;
    desc->ddckCKSrcBlt = sourceKey_;
  }
  if (DescKind(desc->dwSize) == 2) {
    desc->ddsCaps.dwCaps2 = shape_.caps2;
    desc->ddsCaps.dwCaps3 = desc->ddsCaps.dwCaps4 = 0;
    desc->dwTextureStage = 0;
  }
}

bool DirectDrawSurface::ClipRect(RECT& rect, HRESULT* error) const {
  RECT whole{0, 0, static_cast<LONG>(shape_.width), static_cast<LONG>(shape_.height)};
  if (!clipper_) {
    if (!InsideSurface(rect, shape_.width, shape_.height)) {
      *error = DDERR_INVALIDRECT;
      return false;
    }
    return true;
  }
  if (!clipper_->Window()) {
    *error = DDERR_NOCLIPLIST;
    return false;
  }
  RECT client;
  if (IsPrimary() && ClientOnDesktop(clipper_->Window(), &client)) rect = Intersect(rect, client);
  rect = Intersect(rect, whole);
  return true;
}

HRESULT DirectDrawSurface::Blt(RECT* dstRect, IDirectDrawSurface7* srcSurface, RECT* srcRect, DWORD flags,
                               DDBLTFX* fx) {
  NoticeDisplayChanges();
  host::NoteSurfaceWork(false);
  if (lost_) return DDERR_SURFACELOST;
  RECT full = dstRect ? *dstRect : RECT{0, 0, static_cast<LONG>(shape_.width), static_cast<LONG>(shape_.height)};
  if (Empty(full)) return DDERR_INVALIDRECT;
  RECT clip = full;
  HRESULT error = DD_OK;
  if (!ClipRect(clip, &error)) return error;
  if (flags & (DDBLT_COLORFILL | DDBLT_DEPTHFILL)) {
    if (!fx) return DDERR_INVALIDPARAMS;
    bool depth = (flags & DDBLT_DEPTHFILL) != 0, zbuffer = (shape_.caps & DDSCAPS_ZBUFFER) != 0;
    if (depth != zbuffer) return DDERR_INVALIDPARAMS;
    FillPixels(Block(), clip, fx->dwFillColor);
    Present();
    return DD_OK;
  }
  DirectDrawSurface* src = From(srcSurface);
  if (!src) return DDERR_INVALIDPARAMS;
  if (src->lost_) return DDERR_SURFACELOST;
  if (src->shape_.format.dwRGBBitCount != shape_.format.dwRGBBitCount) return DDERR_INVALIDPIXELFORMAT;
  RECT from = srcRect ? *srcRect : RECT{0, 0, static_cast<LONG>(src->shape_.width), static_cast<LONG>(src->shape_.height)};
  if (!InsideSurface(from, src->shape_.width, src->shape_.height)) return DDERR_INVALIDRECT;
  BlitKey key;
  if (flags & DDBLT_KEYSRCOVERRIDE) {
    if (!fx) return DDERR_INVALIDPARAMS;
    key = BlitKey{true, fx->ddckSrcColorkey.dwColorSpaceLowValue, ColourChannelMask(src->shape_.format)};
  } else if ((flags & DDBLT_KEYSRC) && src->hasSourceKey_) {
    key = BlitKey{true, src->sourceKey_.dwColorSpaceLowValue, ColourChannelMask(src->shape_.format)};
  }
  CopyPixels(Block(), full, clip, src->Block(), from, key);
  Present();
  return DD_OK;
}

HRESULT DirectDrawSurface::BltFast(DWORD x, DWORD y, IDirectDrawSurface7* srcSurface, RECT* srcRect, DWORD flags) {
  NoticeDisplayChanges();
  host::NoteSurfaceWork(false);
  if (lost_) return DDERR_SURFACELOST;
  DirectDrawSurface* src = From(srcSurface);
  if (!src) return DDERR_INVALIDPARAMS;
  if (src->lost_) return DDERR_SURFACELOST;
  if (flags & DDBLTFAST_DESTCOLORKEY) return DDERR_UNSUPPORTED;
  RECT from = srcRect ? *srcRect : RECT{0, 0, static_cast<LONG>(src->shape_.width), static_cast<LONG>(src->shape_.height)};
  if (!InsideSurface(from, src->shape_.width, src->shape_.height)) return DDERR_INVALIDRECT;
  uint64_t right = uint64_t{x} + static_cast<uint64_t>(from.right - from.left);
  uint64_t bottom = uint64_t{y} + static_cast<uint64_t>(from.bottom - from.top);
  if (right > shape_.width || bottom > shape_.height) return DDERR_INVALIDRECT;
  if (src->shape_.format.dwRGBBitCount != shape_.format.dwRGBBitCount) return DDERR_INVALIDPIXELFORMAT;
  RECT to{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(right), static_cast<LONG>(bottom)};
  BlitKey key;
  if ((flags & DDBLTFAST_SRCCOLORKEY) && src->hasSourceKey_)
    key = BlitKey{true, src->sourceKey_.dwColorSpaceLowValue, ColourChannelMask(src->shape_.format)};
  CopyPixels(Block(), to, to, src->Block(), from, key);
  Present();
  return DD_OK;
}

HRESULT DirectDrawSurface::AddAttachedSurface(IDirectDrawSurface7* surface) {
  DirectDrawSurface* s = From(surface);
  if (!s || s == this) return DDERR_INVALIDPARAMS;
  if (std::find(attached_.begin(), attached_.end(), s) != attached_.end()) return DDERR_SURFACEALREADYATTACHED;
  if (!(s->shape_.caps & DDSCAPS_ZBUFFER) || s->shape_.width != shape_.width || s->shape_.height != shape_.height)
    return DDERR_INVALIDPARAMS;
  s->AddRef();
  attached_.push_back(s);
  return DD_OK;
}

HRESULT DirectDrawSurface::DeleteAttachedSurface(DWORD, IDirectDrawSurface7* surface) {
  DirectDrawSurface* s = From(surface);
  auto at = std::find(attached_.begin(), attached_.end(), s);
  if (!s || at == attached_.end()) return DDERR_SURFACENOTATTACHED;
  if (std::find(chain_.begin(), chain_.end(), s) != chain_.end()) return DDERR_INVALIDPARAMS;
  attached_.erase(at);
  s->Release();
  return DD_OK;
}

HRESULT DirectDrawSurface::EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK7 callback) {
  if (!callback) return DDERR_INVALIDPARAMS;
  std::vector<DirectDrawSurface*> list = attached_;
  for (DirectDrawSurface* s : list) s->AddRef();  // hold them while the callback runs
  size_t i = 0;
  for (; i < list.size(); ++i) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    list[i]->FillDesc(&desc);
    list[i]->AddRef();  // the callback's own reference, which it releases
    if (callback(list[i], &desc, context) == DDENUMRET_CANCEL) break;
  }
  for (DirectDrawSurface* s : list) s->Release();
  return DD_OK;
}

HRESULT DirectDrawSurface::Flip(IDirectDrawSurface7* override, DWORD) {
  NoticeDisplayChanges();
  host::NoteSurfaceWork(false);
  if (chain_.empty()) return DDERR_NOTFLIPPABLE;
  if (lost_) return DDERR_SURFACELOST;
  for (DirectDrawSurface* s : chain_)
    if (s->lost_) return DDERR_SURFACELOST;
  if (override) {
    DirectDrawSurface* s = From(override);
    if (std::find(chain_.begin(), chain_.end(), s) == chain_.end()) return DDERR_INVALIDPARAMS;
    std::swap(memory_, s->memory_);
  } else {
    // The front shows the first back buffer; every buffer moves one place forward, the old front goes last.
    std::vector<uint8_t> front = std::move(memory_);
    memory_ = std::move(chain_.front()->memory_);
    for (size_t i = 0; i + 1 < chain_.size(); ++i) chain_[i]->memory_ = std::move(chain_[i + 1]->memory_);
    chain_.back()->memory_ = std::move(front);
  }
  Present();
  return DD_OK;
}

HRESULT DirectDrawSurface::GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** out) {
  if (!caps || !out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  for (DirectDrawSurface* s : attached_) {
    if ((s->shape_.caps & caps->dwCaps) == caps->dwCaps) {
      s->AddRef();
      *out = s;
      return DD_OK;
    }
  }
  return DDERR_NOTFOUND;
}

HRESULT DirectDrawSurface::GetCaps(DDSCAPS2* caps) {
  if (!caps) return DDERR_INVALIDPARAMS;
  *caps = DDSCAPS2{shape_.caps, shape_.caps2, 0, 0};
  return DD_OK;
}

HRESULT DirectDrawSurface::GetClipper(IDirectDrawClipper** out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = clipper_;
  if (!clipper_) return DDERR_NOCLIPPERATTACHED;
  clipper_->AddRef();
  return DD_OK;
}

HRESULT DirectDrawSurface::SetClipper(IDirectDrawClipper* clipper) {
  auto* c = dynamic_cast<DirectDrawClipper*>(clipper);
  if (clipper && !c) return DDERR_INVALIDPARAMS;
  if (c) c->AddRef();
  if (clipper_) clipper_->Release();
  clipper_ = c;
  return DD_OK;
}

HRESULT DirectDrawSurface::GetColorKey(DWORD flags, DDCOLORKEY* key) {
  if (!key) return DDERR_INVALIDPARAMS;
  if ((flags & DDCKEY_SRCBLT) && hasSourceKey_) return *key = sourceKey_, DD_OK;
  if ((flags & DDCKEY_DESTBLT) && hasDestKey_) return *key = destKey_, DD_OK;
  return DDERR_NOCOLORKEY;
}

HRESULT DirectDrawSurface::SetColorKey(DWORD flags, DDCOLORKEY* key) {
  if (lost_) return DDERR_SURFACELOST;
  if (flags & DDCKEY_SRCBLT) {
    hasSourceKey_ = key != nullptr;
    if (key) sourceKey_ = *key;
    return DD_OK;
  }
  if (flags & DDCKEY_DESTBLT) {
    hasDestKey_ = key != nullptr;
    if (key) destKey_ = *key;
    return DD_OK;
  }
  return DDERR_INVALIDPARAMS;
}

HRESULT DirectDrawSurface::GetPalette(IDirectDrawPalette** out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = palette_;
  if (!palette_) return DDERR_NOPALETTEATTACHED;
  palette_->AddRef();
  return DD_OK;
}

HRESULT DirectDrawSurface::SetPalette(IDirectDrawPalette* palette) {
  auto* p = dynamic_cast<DirectDrawPalette*>(palette);
  if (palette && !p) return DDERR_INVALIDPARAMS;
  if (!(shape_.format.dwFlags & DDPF_PALETTEINDEXED8)) return DDERR_NOTPALETTIZED;
  if (p) p->AddRef();
  if (palette_) palette_->Release();
  palette_ = p;
  return DD_OK;
}

HRESULT DirectDrawSurface::GetPixelFormat(DDPIXELFORMAT* format) {
  if (!format) return DDERR_INVALIDPARAMS;
  *format = shape_.format;
  return DD_OK;
}

HRESULT DirectDrawSurface::GetSurfaceDesc(DDSURFACEDESC2* desc) {
  if (!desc || DescKind(desc->dwSize) == 0) return DDERR_INVALIDPARAMS;
  FillDesc(desc);
  return DD_OK;
}

HRESULT DirectDrawSurface::IsLost() {
  NoticeDisplayChanges();
  return lost_ ? DDERR_SURFACELOST : DD_OK;
}

HRESULT DirectDrawSurface::Restore() {
  NoticeDisplayChanges();
  lost_ = false;
  for (DirectDrawSurface* s : chain_) s->lost_ = false;
  return DD_OK;
}

HRESULT DirectDrawSurface::Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD, HANDLE) {
  NoticeDisplayChanges();
  host::NoteSurfaceWork(false);
  if (!desc || DescKind(desc->dwSize) == 0) return DDERR_INVALIDPARAMS;
  if (lost_) return DDERR_SURFACELOST;
  RECT r = rect ? *rect : RECT{0, 0, static_cast<LONG>(shape_.width), static_cast<LONG>(shape_.height)};
  if (!InsideSurface(r, shape_.width, shape_.height)) return DDERR_INVALIDRECT;
  if (host::ShouldFail("Surface::Lock")) return DDERR_GENERIC;
  FillDesc(desc);
  desc->dwFlags |= DDSD_LPSURFACE;
  desc->lpSurface = memory_.data() + static_cast<long>(r.top) * pitch_ +
                    static_cast<long>(r.left) * static_cast<long>(shape_.format.dwRGBBitCount / 8);
  ++locks_;  // one thread may nest locks of a surface (a graph drawn onto itself)
  return DD_OK;
}

HRESULT DirectDrawSurface::Unlock(RECT*) {
  if (locks_ == 0) return DDERR_NOTLOCKED;
  if (--locks_ == 0) Present();
  return DD_OK;
}

HRESULT DirectDrawSurface::GetDC(HDC* dc) {
  NoticeDisplayChanges();
  if (!dc) return DDERR_INVALIDPARAMS;
  *dc = nullptr;
  if (lost_) return DDERR_SURFACELOST;
  if (dc_) return DDERR_DCALREADYCREATED;
  if ((shape_.caps & DDSCAPS_ZBUFFER) || host::ShouldFail("Surface::GetDC")) return DDERR_CANTCREATEDC;
  dc_ = CreateSurfaceContext(Block());
  if (!dc_) return DDERR_CANTCREATEDC;
  *dc = dc_;
  return DD_OK;
}

HRESULT DirectDrawSurface::ReleaseDC(HDC dc) {
  if (!dc_) return DDERR_NODC;
  if (dc != dc_) return DDERR_INVALIDPARAMS;
  DestroySurfaceContext(dc_);
  dc_ = nullptr;
  Present();
  return DD_OK;
}
