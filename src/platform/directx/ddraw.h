// DirectDraw 7 on the substitute platform: records, constants and the interfaces the library calls.
// Surfaces are memory blocks with a pitch; video memory is a budget the display host reports.
#pragma once
#include "platform/directx/ddraw_entry.h"
#include "platform/win32/com.h"
#include "platform/win32/gdi.h"  // PALETTEENTRY

// ---- Results -------------------------------------------------------------------------------------------------

constexpr HRESULT MakeDirectDrawResult(DWORD code) { return static_cast<HRESULT>(0x88760000u | code); }

constexpr HRESULT DD_OK = S_OK;
constexpr HRESULT DDERR_GENERIC = E_FAIL;
constexpr HRESULT DDERR_INVALIDPARAMS = E_INVALIDARG;
constexpr HRESULT DDERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DDERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT DDERR_ALREADYINITIALIZED = MakeDirectDrawResult(5);
constexpr HRESULT DDERR_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
constexpr HRESULT DDERR_NOCOOPERATIVELEVELSET = MakeDirectDrawResult(60);
constexpr HRESULT DDERR_INVALIDCAPS = MakeDirectDrawResult(100);
constexpr HRESULT DDERR_INVALIDMODE = MakeDirectDrawResult(120);
constexpr HRESULT DDERR_INVALIDOBJECT = MakeDirectDrawResult(130);
constexpr HRESULT DDERR_INVALIDPIXELFORMAT = MakeDirectDrawResult(145);
constexpr HRESULT DDERR_INVALIDRECT = MakeDirectDrawResult(150);
constexpr HRESULT DDERR_NOCLIPLIST = MakeDirectDrawResult(205);
constexpr HRESULT DDERR_NOCOLORKEY = MakeDirectDrawResult(215);
constexpr HRESULT DDERR_NOOVERLAYHW = MakeDirectDrawResult(260);
constexpr HRESULT DDERR_NOTFOUND = MakeDirectDrawResult(255);
constexpr HRESULT DDERR_OUTOFVIDEOMEMORY = MakeDirectDrawResult(380);
constexpr HRESULT DDERR_SURFACEBUSY = MakeDirectDrawResult(430);
constexpr HRESULT DDERR_SURFACEALREADYATTACHED = MakeDirectDrawResult(410);
constexpr HRESULT DDERR_SURFACELOST = MakeDirectDrawResult(450);
constexpr HRESULT DDERR_SURFACENOTATTACHED = MakeDirectDrawResult(460);
constexpr HRESULT DDERR_NOEXCLUSIVEMODE = MakeDirectDrawResult(481);
constexpr HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS = MakeDirectDrawResult(564);
constexpr HRESULT DDERR_NOCLIPPERATTACHED = MakeDirectDrawResult(568);
constexpr HRESULT DDERR_HWNDSUBCLASSED = MakeDirectDrawResult(570);
constexpr HRESULT DDERR_HWNDALREADYSET = MakeDirectDrawResult(571);
constexpr HRESULT DDERR_NOPALETTEATTACHED = MakeDirectDrawResult(572);
constexpr HRESULT DDERR_EXCLUSIVEMODEALREADYSET = MakeDirectDrawResult(581);
constexpr HRESULT DDERR_NOTFLIPPABLE = MakeDirectDrawResult(582);
constexpr HRESULT DDERR_NOTLOCKED = MakeDirectDrawResult(584);
constexpr HRESULT DDERR_CANTCREATEDC = MakeDirectDrawResult(585);
constexpr HRESULT DDERR_NODC = MakeDirectDrawResult(586);
constexpr HRESULT DDERR_NOTPALETTIZED = MakeDirectDrawResult(589);
constexpr HRESULT DDERR_DCALREADYCREATED = MakeDirectDrawResult(620);

// ---- Constants -----------------------------------------------------------------------------------------------

// Surface description fields in use.
constexpr DWORD DDSD_CAPS = 0x1;
constexpr DWORD DDSD_HEIGHT = 0x2;
constexpr DWORD DDSD_WIDTH = 0x4;
constexpr DWORD DDSD_PITCH = 0x8;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x20;
constexpr DWORD DDSD_LPSURFACE = 0x800;
constexpr DWORD DDSD_PIXELFORMAT = 0x1000;
constexpr DWORD DDSD_CKSRCBLT = 0x10000;
constexpr DWORD DDSD_REFRESHRATE = 0x40000;
constexpr DWORD DDSD_TEXTURESTAGE = 0x100000;

// Surface capabilities.
constexpr DWORD DDSCAPS_BACKBUFFER = 0x4;
constexpr DWORD DDSCAPS_COMPLEX = 0x8;
constexpr DWORD DDSCAPS_FLIP = 0x10;
constexpr DWORD DDSCAPS_FRONTBUFFER = 0x20;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x40;
constexpr DWORD DDSCAPS_OVERLAY = 0x80;
constexpr DWORD DDSCAPS_PALETTE = 0x100;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr DWORD DDSCAPS_TEXTURE = 0x1000;
constexpr DWORD DDSCAPS_3DDEVICE = 0x2000;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr DWORD DDSCAPS_VISIBLE = 0x8000;
constexpr DWORD DDSCAPS_ZBUFFER = 0x20000;
constexpr DWORD DDSCAPS_LOCALVIDMEM = 0x10000000;
constexpr DWORD DDSCAPS2_TEXTUREMANAGE = 0x10;

// Pixel format flags.
constexpr DWORD DDPF_ALPHAPIXELS = 0x1;
constexpr DWORD DDPF_FOURCC = 0x4;
constexpr DWORD DDPF_PALETTEINDEXED8 = 0x20;
constexpr DWORD DDPF_RGB = 0x40;
constexpr DWORD DDPF_ZBUFFER = 0x400;

// Cooperative levels.
constexpr DWORD DDSCL_FULLSCREEN = 0x1;
constexpr DWORD DDSCL_ALLOWREBOOT = 0x2;
constexpr DWORD DDSCL_NOWINDOWCHANGES = 0x4;
constexpr DWORD DDSCL_NORMAL = 0x8;
constexpr DWORD DDSCL_EXCLUSIVE = 0x10;
constexpr DWORD DDSCL_MULTITHREADED = 0x400;

// Lock flags.
constexpr DWORD DDLOCK_SURFACEMEMORYPTR = 0x0;
constexpr DWORD DDLOCK_WAIT = 0x1;
constexpr DWORD DDLOCK_READONLY = 0x10;
constexpr DWORD DDLOCK_WRITEONLY = 0x20;

// Blt flags.
constexpr DWORD DDBLT_COLORFILL = 0x400;
constexpr DWORD DDBLT_KEYSRC = 0x8000;
constexpr DWORD DDBLT_KEYSRCOVERRIDE = 0x10000;
constexpr DWORD DDBLT_WAIT = 0x1000000;
constexpr DWORD DDBLT_DEPTHFILL = 0x2000000;
constexpr DWORD DDBLT_DONOTWAIT = 0x8000000;

// BltFast flags.
constexpr DWORD DDBLTFAST_NOCOLORKEY = 0x0;
constexpr DWORD DDBLTFAST_SRCCOLORKEY = 0x1;
constexpr DWORD DDBLTFAST_DESTCOLORKEY = 0x2;
constexpr DWORD DDBLTFAST_WAIT = 0x10;
constexpr DWORD DDBLTFAST_DONOTWAIT = 0x20;

// Flip flags.
constexpr DWORD DDFLIP_WAIT = 0x1;
constexpr DWORD DDFLIP_NOVSYNC = 0x8;

// Colour keys.
constexpr DWORD DDCKEY_COLORSPACE = 0x1;
constexpr DWORD DDCKEY_DESTBLT = 0x2;
constexpr DWORD DDCKEY_SRCBLT = 0x8;

// Palettes.
constexpr DWORD DDPCAPS_8BIT = 0x4;
constexpr DWORD DDPCAPS_PRIMARYSURFACE = 0x10;
constexpr DWORD DDPCAPS_ALLOW256 = 0x40;

// Vertical blank waits, enumeration answers and device enumeration.
constexpr DWORD DDWAITVB_BLOCKBEGIN = 0x1;
constexpr DWORD DDWAITVB_BLOCKEND = 0x4;
constexpr HRESULT DDENUMRET_CANCEL = 0;
constexpr HRESULT DDENUMRET_OK = 1;
constexpr DWORD DDENUM_ATTACHEDSECONDARYDEVICES = 0x1;

// Driver capabilities.
constexpr DWORD DDCAPS_BLT = 0x40;
constexpr DWORD DDCAPS_BLTSTRETCH = 0x200;
constexpr DWORD DDCAPS_OVERLAY = 0x800;
constexpr DWORD DDCAPS_PALETTE = 0x8000;
constexpr DWORD DDCAPS_COLORKEY = 0x400000;
constexpr DWORD DDCAPS_BLTCOLORFILL = 0x4000000;
constexpr DWORD DDCAPS_CANCLIP = 0x20000000;
constexpr DWORD DDCKEYCAPS_SRCBLT = 0x200;

// ---- Records -------------------------------------------------------------------------------------------------

struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue;
  DWORD dwColorSpaceHighValue;
};

struct DDSCAPS {
  DWORD dwCaps;
};

struct DDSCAPS2 {
  DWORD dwCaps;
  DWORD dwCaps2;
  DWORD dwCaps3;
  DWORD dwCaps4;
};

struct DDPIXELFORMAT {
  DWORD dwSize;  // 32
  DWORD dwFlags;
  DWORD dwFourCC;
  union {
    DWORD dwRGBBitCount;
    DWORD dwZBufferBitDepth;
  };
  union {
    DWORD dwRBitMask;
    DWORD dwStencilBitDepth;
  };
  union {
    DWORD dwGBitMask;
    DWORD dwZBitMask;
  };
  DWORD dwBBitMask;
  DWORD dwRGBAlphaBitMask;
};
static_assert(sizeof(DDPIXELFORMAT) == 32, "DDPIXELFORMAT layout");

// The fields both surface description versions share, in their order.
struct DDSURFACEDESC_FIELDS {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwHeight;
  DWORD dwWidth;
  LONG lPitch;
  DWORD dwBackBufferCount;
  DWORD dwRefreshRate;
  DWORD dwAlphaBitDepth;
  DWORD dwReserved;
  LPVOID lpSurface;
  DDCOLORKEY ddckCKDestOverlay;
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  DDPIXELFORMAT ddpfPixelFormat;
};

// The first-version description (size member 108 on the original platform).
struct DDSURFACEDESC : DDSURFACEDESC_FIELDS {
  DDSCAPS ddsCaps;
};

// The description DirectDraw 7 takes (size member 124 on the original platform, where pointers are 4 bytes;
// both that value and sizeof are accepted here).
struct DDSURFACEDESC2 : DDSURFACEDESC_FIELDS {
  DDSCAPS2 ddsCaps;
  DWORD dwTextureStage;
};

// Blit effects: 100 bytes, as the library's size member says.
struct DDBLTFX {
  DWORD dwSize;
  DWORD dwDDFX;
  DWORD dwROP;
  DWORD dwDDROP;
  DWORD dwRotationAngle;
  DWORD dwZBufferOpCode;
  DWORD dwZBufferLow;
  DWORD dwZBufferHigh;
  DWORD dwZBufferBaseDest;
  DWORD dwZDestConstBitDepth;
  DWORD dwZDestConst;
  DWORD dwZSrcConstBitDepth;
  DWORD dwZSrcConst;
  DWORD dwAlphaEdgeBlendBitDepth;
  DWORD dwAlphaEdgeBlend;
  DWORD dwReserved;
  DWORD dwAlphaDestConstBitDepth;
  DWORD dwAlphaDestConst;
  DWORD dwAlphaSrcConstBitDepth;
  DWORD dwAlphaSrcConst;
  union {
    DWORD dwFillColor;
    DWORD dwFillDepth;
    DWORD dwFillPixel;
  };
  DDCOLORKEY ddckDestColorkey;
  DDCOLORKEY ddckSrcColorkey;
};
static_assert(sizeof(DDBLTFX) == 100, "DDBLTFX layout");

// Driver capabilities, the 380-byte block of DirectDraw 7; the words nothing here reads are kept as reserved space.
struct DDCAPS {
  DWORD dwSize;  // 380
  DWORD dwCaps;
  DWORD dwCaps2;
  DWORD dwCKeyCaps;
  DWORD dwFXCaps;
  DWORD dwFXAlphaCaps;
  DWORD dwPalCaps;
  DWORD dwSVCaps;
  DWORD dwAlphaDepths[6];
  DWORD dwZBufferBitDepths;
  DWORD dwVidMemTotal;
  DWORD dwVidMemFree;
  DWORD dwMaxVisibleOverlays;
  DWORD dwCurrVisibleOverlays;
  DWORD dwNumFourCCCodes;
  DWORD dwAlignBoundarySrc;
  DWORD dwAlignSizeSrc;
  DWORD dwAlignBoundaryDest;
  DWORD dwAlignSizeDest;
  DWORD dwAlignStrideAlign;
  DWORD dwRops[8];
  DDSCAPS ddsOldCaps;
  DWORD dwMinOverlayStretch;
  DWORD dwMaxOverlayStretch;
  DWORD dwMinLiveVideoStretch;
  DWORD dwMaxLiveVideoStretch;
  DWORD dwMinHwCodecStretch;
  DWORD dwMaxHwCodecStretch;
  DWORD dwReservedBlock[51];
  DDSCAPS2 ddsCaps;
};
static_assert(sizeof(DDCAPS) == 380, "DDCAPS layout");

struct DDDEVICEIDENTIFIER2 {
  char szDriver[512];
  char szDescription[512];
  LARGE_INTEGER liDriverVersion;
  DWORD dwVendorId;
  DWORD dwDeviceId;
  DWORD dwSubSysId;
  DWORD dwRevision;
  GUID guidDeviceIdentifier;
  DWORD dwWHQLLevel;
};


// ---- Interfaces ----------------------------------------------------------------------------------------------

class IDirectDrawSurface7;

class IDirectDrawClipper : public IUnknown {
 public:
  virtual HRESULT GetHWnd(HWND* window) = 0;
  virtual HRESULT SetHWnd(DWORD flags, HWND window) = 0;
};

class IDirectDrawPalette : public IUnknown {
 public:
  virtual HRESULT GetCaps(DWORD* caps) = 0;
  virtual HRESULT GetEntries(DWORD flags, DWORD first, DWORD count, PALETTEENTRY* entries) = 0;
  virtual HRESULT SetEntries(DWORD flags, DWORD first, DWORD count, const PALETTEENTRY* entries) = 0;
};

using LPDDENUMSURFACESCALLBACK7 = HRESULT (*)(IDirectDrawSurface7* surface, DDSURFACEDESC2* desc, LPVOID context);

class IDirectDrawSurface7 : public IUnknown {
 public:
  virtual HRESULT AddAttachedSurface(IDirectDrawSurface7* surface) = 0;
  virtual HRESULT Blt(RECT* dstRect, IDirectDrawSurface7* src, RECT* srcRect, DWORD flags, DDBLTFX* fx) = 0;
  virtual HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface7* src, RECT* srcRect, DWORD flags) = 0;
  virtual HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface7* surface) = 0;
  virtual HRESULT EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK7 callback) = 0;
  virtual HRESULT Flip(IDirectDrawSurface7* override, DWORD flags) = 0;
  virtual HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** out) = 0;
  virtual HRESULT GetCaps(DDSCAPS2* caps) = 0;
  virtual HRESULT GetClipper(IDirectDrawClipper** out) = 0;
  virtual HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
  virtual HRESULT GetDC(HDC* dc) = 0;
  virtual HRESULT GetPalette(IDirectDrawPalette** out) = 0;
  virtual HRESULT GetPixelFormat(DDPIXELFORMAT* format) = 0;
  virtual HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) = 0;
  virtual HRESULT IsLost() = 0;
  virtual HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) = 0;
  virtual HRESULT ReleaseDC(HDC dc) = 0;
  virtual HRESULT Restore() = 0;
  virtual HRESULT SetClipper(IDirectDrawClipper* clipper) = 0;
  virtual HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
  virtual HRESULT SetPalette(IDirectDrawPalette* palette) = 0;
  virtual HRESULT Unlock(RECT* rect) = 0;
};

// Older surface interfaces: the system check only obtains and releases them; the overlay probe reads caps.
class IDirectDrawSurface : public IUnknown {
 public:
  virtual HRESULT GetCaps(DDSCAPS* caps) = 0;
};
class IDirectDrawSurface3 : public IUnknown {};
class IDirectDrawSurface4 : public IUnknown {};

// The first-version object interface: the system check, the driver-caps query and the overlay probe.
class IDirectDraw : public IUnknown {
 public:
  virtual HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, IUnknown* outer) = 0;
  virtual HRESULT GetCaps(DDCAPS* driver, DDCAPS* emulation) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
};
class IDirectDraw2 : public IDirectDraw {};

class IDirectDraw7 : public IUnknown {
 public:
  virtual HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** out, IUnknown* outer) = 0;
  virtual HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** out, IUnknown* outer) = 0;
  virtual HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** out, IUnknown* outer) = 0;
  virtual HRESULT GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) = 0;
  virtual HRESULT GetCaps(DDCAPS* driver, DDCAPS* emulation) = 0;
  virtual HRESULT GetDeviceIdentifier(DDDEVICEIDENTIFIER2* identifier, DWORD flags) = 0;
  virtual HRESULT GetDisplayMode(DDSURFACEDESC2* desc) = 0;
  virtual HRESULT GetScanLine(DWORD* line) = 0;
  virtual HRESULT GetVerticalBlankStatus(BOOL* inBlank) = 0;
  virtual HRESULT Initialize(GUID* driver) = 0;
  virtual HRESULT RestoreDisplayMode() = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD flags) = 0;
  virtual HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) = 0;
};

using LPDIRECTDRAW7 = IDirectDraw7*;
using LPDIRECTDRAWSURFACE7 = IDirectDrawSurface7*;
using LPDIRECTDRAWCLIPPER = IDirectDrawClipper*;
using LPDIRECTDRAWPALETTE = IDirectDrawPalette*;

extern const IID IID_IDirectDraw;
extern const IID IID_IDirectDraw2;
extern const IID IID_IDirectDraw7;
extern const IID IID_IDirectDrawSurface;
extern const IID IID_IDirectDrawSurface3;
extern const IID IID_IDirectDrawSurface4;
extern const IID IID_IDirectDrawSurface7;
extern const IID IID_IDirectDrawClipper;
extern const IID IID_IDirectDrawPalette;
extern const CLSID CLSID_DirectDraw;
extern const CLSID CLSID_DirectDraw7;

// The device enumeration DDRAW.DLL offers by name: one device, the primary display driver (null GUID).
using LPDDENUMCALLBACKEXA = BOOL (*)(GUID* guid, LPSTR description, LPSTR driverName, LPVOID context,
                                     HANDLE monitor);
HRESULT DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, LPVOID context, DWORD flags);
