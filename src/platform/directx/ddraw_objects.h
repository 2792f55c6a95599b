// The DirectDraw substitute's classes: the object, its surfaces, clipper and palette.
#pragma once
#include <memory>
#include <mutex>
#include <vector>

#include "platform/directx/ddraw.h"
#include "platform/directx/ddraw_display.h"
#include "platform/host/idle.h"
#include "platform/host/platform.h"
#include "platform/win32/gdi_pixels.h"

class DirectDrawSurface;

// What an object shares with the surfaces it made (surfaces may outlive the object): the video memory they use
// and the one primary surface.
struct DeviceShared {
  std::mutex lock;
  uint64_t videoUsed = 0;
  DirectDrawSurface* primary = nullptr;
  HWND window = nullptr;   // of the cooperative level: where the primary's pictures go
  bool exclusive = false;  // full screen: the whole primary is the picture
  bool TakeVideo(uint64_t bytes);
  void GiveVideo(uint64_t bytes);
};

class DirectDrawClipper final : public ComObject<IDirectDrawClipper> {
 public:
  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT GetHWnd(HWND* window) override;
  HRESULT SetHWnd(DWORD flags, HWND window) override;
  HWND Window() const { return window_; }

 private:
  HWND window_ = nullptr;
};

class DirectDrawPalette final : public ComObject<IDirectDrawPalette> {
 public:
  DirectDrawPalette(DWORD caps, const PALETTEENTRY* entries);
  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT GetCaps(DWORD* caps) override;
  HRESULT GetEntries(DWORD flags, DWORD first, DWORD count, PALETTEENTRY* entries) override;
  HRESULT SetEntries(DWORD flags, DWORD first, DWORD count, const PALETTEENTRY* entries) override;
  const uint32_t* Rgb() const { return rgb_; }
  const PALETTEENTRY* Entries() const { return entries_; }

 private:
  DWORD caps_;
  PALETTEENTRY entries_[256];
  uint32_t rgb_[256];
};

// What a surface is made of, after the description has been checked.
struct SurfaceShape {
  DWORD width = 0, height = 0;
  DDPIXELFORMAT format{};
  DWORD caps = 0;           // as reported by GetCaps (memory placement included)
  DWORD caps2 = 0;
  bool video = false;       // charged to the video memory pool
};

class DirectDrawSurface final : public ComObject<IDirectDrawSurface7> {
 public:
  DirectDrawSurface(const SurfaceShape& shape, std::shared_ptr<DeviceShared> device);
  static long PitchFor(DWORD width, DWORD bits) { return static_cast<long>((width * (bits / 8) + 31) & ~31u); }
  ~DirectDrawSurface() override;

  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT AddAttachedSurface(IDirectDrawSurface7* surface) override;
  HRESULT Blt(RECT* dstRect, IDirectDrawSurface7* src, RECT* srcRect, DWORD flags, DDBLTFX* fx) override;
  HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface7* src, RECT* srcRect, DWORD flags) override;
  HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface7* surface) override;
  HRESULT EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK7 callback) override;
  HRESULT Flip(IDirectDrawSurface7* override, DWORD flags) override;
  HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** out) override;
  HRESULT GetCaps(DDSCAPS2* caps) override;
  HRESULT GetClipper(IDirectDrawClipper** out) override;
  HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) override;
  HRESULT GetDC(HDC* dc) override;
  HRESULT GetPalette(IDirectDrawPalette** out) override;
  HRESULT GetPixelFormat(DDPIXELFORMAT* format) override;
  HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) override;
  HRESULT IsLost() override;
  HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) override;
  HRESULT ReleaseDC(HDC dc) override;
  HRESULT Restore() override;
  HRESULT SetClipper(IDirectDrawClipper* clipper) override;
  HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) override;
  HRESULT SetPalette(IDirectDrawPalette* palette) override;
  HRESULT Unlock(RECT* rect) override;

  // The pixels as a block (palette included on 8 bits); valid until the next flip.
  PixelBlock Block() const;
  const SurfaceShape& Shape() const { return shape_; }
  void MarkLost() { lost_ = true; }
  // Makes this the front of a flip chain over the given back buffers (already attached in order).
  void SetChain(std::vector<DirectDrawSurface*> chain) { chain_ = std::move(chain); }
  void AttachOwned(DirectDrawSurface* surface) { attached_.push_back(surface); }
  static DirectDrawSurface* From(IDirectDrawSurface7* surface);

 private:
  bool IsPrimary() const { return (shape_.caps & DDSCAPS_PRIMARYSURFACE) != 0; }
  void Present();
  void FillDesc(DDSURFACEDESC2* desc) const;
  bool ClipRect(RECT& rect, HRESULT* error) const;

  SurfaceShape shape_;
  std::shared_ptr<DeviceShared> device_;
  std::vector<uint8_t> memory_;
  long pitch_ = 0;
  bool lost_ = false;
  int locks_ = 0;
  HDC dc_ = nullptr;
  bool hasSourceKey_ = false, hasDestKey_ = false;
  DDCOLORKEY sourceKey_{}, destKey_{};
  DirectDrawClipper* clipper_ = nullptr;
  DirectDrawPalette* palette_ = nullptr;
  std::vector<DirectDrawSurface*> attached_;  // each holds a reference
  std::vector<DirectDrawSurface*> chain_;     // flip chain behind a front surface (references held by attached_)
};

// The colour-fill, copy and stretch loops of the surfaces (same pixel size on both sides).
struct BlitKey {
  bool on = false;
  uint32_t value = 0, mask = 0;  // source pixels with (p & mask) == (value & mask) are skipped
};
void FillPixels(const PixelBlock& dst, const RECT& rect, uint32_t value);
// Copies src rectangle srcFull onto the destination rectangle dstFull, writing only the part inside dstClip;
// sizes that differ stretch by nearest pixel. Overlapping rectangles of one block are copied as if through a
// temporary.
void CopyPixels(const PixelBlock& dst, const RECT& dstFull, const RECT& dstClip, const PixelBlock& src,
                const RECT& srcFull, const BlitKey& key);
// The channel bits of a format: what colour keys compare.
uint32_t ColourChannelMask(const DDPIXELFORMAT& format);

DDPIXELFORMAT PixelFormatForMode(int bits, bool rgb555);
const uint32_t* DefaultSurfacePalette();
void RegisterSurface(DirectDrawSurface* surface);
void UnregisterSurface(DirectDrawSurface* surface);

// The machine's display, shared by every DirectDraw object: the exclusive owner and the mode it set.
bool ClaimExclusiveMode(const void* owner);  // false when another object holds it
void ReleaseExclusiveMode(const void* owner);
// Sets a mode through the host (null: the desktop's again); a mode that differs loses every surface.
bool ApplyDisplayMode(int width, int height, int bits, int refresh);
void RestoreDesktopMode();
// Any change of the display mode since the last look (ours or another program's) loses every surface.
void NoticeDisplayChanges();
// Milliseconds of the host's clock.
uint32_t DisplayMilliseconds();
