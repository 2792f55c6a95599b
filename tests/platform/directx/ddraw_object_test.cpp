#include "ddraw_test_host.h"

namespace {

IDirectDraw7* MakeObject() {
  void* out = nullptr;
  EXPECT_EQ(DirectDrawCreateEx(nullptr, &out, IID_IDirectDraw7, nullptr), DD_OK);
  return static_cast<IDirectDraw7*>(out);
}

using DirectDrawObjectTest = DirectDrawTest;

// The system check's ladder: first-version object, second-version query, normal level, primary through the
// first-version description, then the third and fourth surface interfaces; every reference comes back.
TEST_F(DirectDrawObjectTest, CheckLadderWorksAndReleasesEverything) {
  void* out = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &out, nullptr), DD_OK);
  auto* first = static_cast<IDirectDraw*>(out);
  IDirectDraw2* second = nullptr;
  ASSERT_EQ(first->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&second)), S_OK);
  EXPECT_EQ(second->Release(), 1u);
  ASSERT_EQ(first->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
  DDSURFACEDESC desc{};
  desc.dwSize = 108;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  IDirectDrawSurface* surface = nullptr;
  ASSERT_EQ(first->CreateSurface(&desc, &surface, nullptr), DD_OK);
  IUnknown* third = nullptr;
  IUnknown* fourth = nullptr;
  ASSERT_EQ(surface->QueryInterface(IID_IDirectDrawSurface3, reinterpret_cast<void**>(&third)), S_OK);
  ASSERT_EQ(surface->QueryInterface(IID_IDirectDrawSurface4, reinterpret_cast<void**>(&fourth)), S_OK);
  EXPECT_EQ(third->Release(), 0u);
  EXPECT_EQ(fourth->Release(), 0u);
  EXPECT_EQ(surface->Release(), 0u);
  EXPECT_EQ(first->Release(), 0u);

  ASSERT_EQ(DirectDrawCreateEx(nullptr, &out, IID_IDirectDraw7, nullptr), DD_OK);
  EXPECT_EQ(static_cast<IDirectDraw7*>(out)->Release(), 0u);
  EXPECT_EQ(DirectDrawCreateEx(nullptr, &out, IID_IDirectDraw2, nullptr), DDERR_INVALIDPARAMS);
  EXPECT_EQ(out, nullptr);
}

TEST_F(DirectDrawObjectTest, ClassCreationNeedsInitialize) {
  HWND kWindow = Window();
  void* out = nullptr;
  EXPECT_EQ(CreateDirectDrawInstance(IID_IDirectDraw7, IID_IDirectDraw7, &out), REGDB_E_CLASSNOTREG);
  ASSERT_EQ(CreateDirectDrawInstance(CLSID_DirectDraw7, IID_IDirectDraw7, &out), S_OK);
  auto* dd = static_cast<IDirectDraw7*>(out);
  EXPECT_EQ(dd->SetCooperativeLevel(kWindow, DDSCL_NORMAL), DDERR_NOTINITIALIZED);
  EXPECT_EQ(dd->Initialize(nullptr), DD_OK);
  EXPECT_EQ(dd->Initialize(nullptr), DDERR_ALREADYINITIALIZED);
  EXPECT_EQ(dd->SetCooperativeLevel(kWindow, DDSCL_NORMAL), DD_OK);
  // The first-version interface shares the object and keeps it alive.
  IDirectDraw* first = nullptr;
  ASSERT_EQ(dd->QueryInterface(IID_IDirectDraw, reinterpret_cast<void**>(&first)), S_OK);
  EXPECT_EQ(dd->Release(), 1u);
  DDCAPS caps{};
  caps.dwSize = sizeof caps;
  EXPECT_EQ(first->GetCaps(&caps, nullptr), DD_OK);
  EXPECT_EQ(caps.dwVidMemTotal, 32u << 20);
  EXPECT_EQ(first->Release(), 0u);
}

TEST_F(DirectDrawObjectTest, InjectedFailures) {
  HWND kWindow = Window();
  void* out = reinterpret_cast<void*>(1);
  headless::FailCall("DirectDrawCreate");
  EXPECT_TRUE(FAILED(DirectDrawCreate(nullptr, &out, nullptr)));
  EXPECT_EQ(out, nullptr);
  EXPECT_TRUE(FAILED(CreateDirectDrawInstance(CLSID_DirectDraw7, IID_IDirectDraw7, &out)));
  headless::ClearFailures();
  IDirectDraw7* dd = MakeObject();
  headless::FailCall("SetCooperativeLevel", 1);
  headless::FailCall("SetDisplayMode");
  headless::FailCall("CreateSurface");
  EXPECT_TRUE(FAILED(dd->SetCooperativeLevel(kWindow, DDSCL_NORMAL)));
  ASSERT_EQ(dd->SetCooperativeLevel(kWindow, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
  EXPECT_TRUE(FAILED(dd->SetDisplayMode(640, 480, 16, 0, 0)));
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.dwWidth = desc.dwHeight = 8;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  IDirectDrawSurface7* surface = reinterpret_cast<IDirectDrawSurface7*>(1);
  EXPECT_TRUE(FAILED(dd->CreateSurface(&desc, &surface, nullptr)));
  EXPECT_EQ(surface, nullptr);
  headless::ClearFailures();
  dd->Release();
  EXPECT_TRUE(DisplayChanges().empty());
}

TEST_F(DirectDrawObjectTest, WindowModeReportsTheDesktop) {
  Desktop(800, 600, 16, true);
  HWND kWindow = Window();
  IDirectDraw7* dd = MakeObject();
  DDSURFACEDESC2 desc{};
  desc.dwSize = 108;  // the library reads the mode through the first-version size
  ASSERT_EQ(dd->GetDisplayMode(&desc), DD_OK);
  EXPECT_EQ(desc.dwWidth, 800u);
  EXPECT_EQ(desc.dwHeight, 600u);
  EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 16u);
  EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, 0x7C00u);
  EXPECT_EQ(desc.ddpfPixelFormat.dwGBitMask, 0x03E0u);
  EXPECT_EQ(desc.ddpfPixelFormat.dwBBitMask, 0x001Fu);
  // A normal-level object may not change the mode, and primaries need a cooperative level first.
  EXPECT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DDERR_NOEXCLUSIVEMODE);
  DDSURFACEDESC2 primary{};
  primary.dwSize = 124;
  primary.dwFlags = DDSD_CAPS;
  primary.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  IDirectDrawSurface7* surface = nullptr;
  EXPECT_EQ(dd->CreateSurface(&primary, &surface, nullptr), DDERR_NOCOOPERATIVELEVELSET);
  ASSERT_EQ(dd->SetCooperativeLevel(kWindow, DDSCL_NORMAL), DD_OK);
  ASSERT_EQ(dd->CreateSurface(&primary, &surface, nullptr), DD_OK);
  DDSURFACEDESC2 got{};
  got.dwSize = sizeof got;
  ASSERT_EQ(surface->GetSurfaceDesc(&got), DD_OK);
  EXPECT_EQ(got.dwWidth, 800u);
  EXPECT_EQ(got.dwHeight, 600u);
  IDirectDrawSurface7* second = nullptr;
  EXPECT_EQ(dd->CreateSurface(&primary, &second, nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);
  surface->Release();
  ASSERT_EQ(dd->CreateSurface(&primary, &second, nullptr), DD_OK);
  second->Release();
  dd->Release();
}

TEST_F(DirectDrawObjectTest, ExclusiveModesPostDisplayChanges) {
  HWND kWindow = Window();
  IDirectDraw7* dd = MakeObject();
  EXPECT_EQ(dd->SetCooperativeLevel(kWindow, DDSCL_NORMAL | DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
  EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
  ASSERT_EQ(dd->SetCooperativeLevel(kWindow, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_MULTITHREADED), DD_OK);
  EXPECT_EQ(dd->SetDisplayMode(640, 480, 24, 0, 0), DDERR_INVALIDMODE);
  EXPECT_EQ(dd->SetDisplayMode(640, 480, 16, 75, 0), DDERR_INVALIDMODE);
  EXPECT_EQ(dd->SetDisplayMode(641, 480, 16, 0, 0), DDERR_INVALIDMODE);
  EXPECT_TRUE(DisplayChanges().empty());
  IDirectDrawSurface7* surface = nullptr;
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.dwWidth = desc.dwHeight = 4;
  ASSERT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DD_OK);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 60, 0), DD_OK);
  auto changes = DisplayChanges();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0], std::make_tuple(16, 640, 480));
  EXPECT_EQ(host::CurrentDisplayMode().width, 640);
  // A mode change loses the surfaces made before it.
  EXPECT_EQ(surface->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(surface->Restore(), DD_OK);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
  EXPECT_EQ(surface->IsLost(), DD_OK);  // the same mode again loses nothing
  surface->Release();
  DisplayChanges();

  // A second object cannot take exclusive mode while the first holds it.
  IDirectDraw7* other = MakeObject();
  EXPECT_EQ(other->SetCooperativeLevel(kWindow, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DDERR_EXCLUSIVEMODEALREADYSET);
  EXPECT_EQ(other->SetCooperativeLevel(kWindow, DDSCL_NORMAL), DD_OK);

  ASSERT_EQ(dd->RestoreDisplayMode(), DD_OK);
  changes = DisplayChanges();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0], std::make_tuple(32, 1024, 768));
  // Releasing an owner whose mode is in force puts the desktop back.
  ASSERT_EQ(dd->SetDisplayMode(800, 600, 8, 0, 0), DD_OK);
  EXPECT_EQ(host::CurrentDisplayMode().bitsPerPixel, 8);
  dd->Release();
  EXPECT_EQ(DisplayChanges().size(), 2u);
  EXPECT_EQ(host::CurrentDisplayMode().bitsPerPixel, 32);
  EXPECT_EQ(other->SetCooperativeLevel(kWindow, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
  other->Release();
}

TEST_F(DirectDrawObjectTest, VideoMemoryBudgetAndFallBacks) {
  SetDirectDrawVideoMemory(1u << 20);
  IDirectDraw7* dd = MakeObject();
  DDSCAPS2 video{DDSCAPS_VIDEOMEMORY, 0, 0, 0};
  DWORD total = 0, free = 0;
  ASSERT_EQ(dd->GetAvailableVidMem(&video, &total, &free), DD_OK);
  EXPECT_EQ(total, 1u << 20);
  EXPECT_EQ(free, 1u << 20);
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.dwWidth = 256;
  desc.dwHeight = 256;  // 256 KiB at 32 bits
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;
  std::vector<IDirectDrawSurface7*> made;
  for (int i = 0; i < 4; ++i) {
    IDirectDrawSurface7* s = nullptr;
    ASSERT_EQ(dd->CreateSurface(&desc, &s, nullptr), DD_OK);
    made.push_back(s);
  }
  IDirectDrawSurface7* s = nullptr;
  EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DDERR_OUTOFVIDEOMEMORY);
  ASSERT_EQ(dd->GetAvailableVidMem(&video, &total, &free), DD_OK);
  EXPECT_EQ(free, 0u);
  // Without a placement the surface falls back to system memory.
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  ASSERT_EQ(dd->CreateSurface(&desc, &s, nullptr), DD_OK);
  DDSCAPS2 caps{};
  s->GetCaps(&caps);
  EXPECT_TRUE(caps.dwCaps & DDSCAPS_SYSTEMMEMORY);
  EXPECT_FALSE(caps.dwCaps & DDSCAPS_VIDEOMEMORY);
  s->Release();
  made[0]->GetCaps(&caps);
  EXPECT_TRUE(caps.dwCaps & DDSCAPS_VIDEOMEMORY);
  for (auto* m : made) m->Release();
  ASSERT_EQ(dd->GetAvailableVidMem(&video, &total, &free), DD_OK);
  EXPECT_EQ(free, 1u << 20);
  dd->Release();
}

TEST_F(DirectDrawObjectTest, OverlaysAndOddFormatsAreRefused) {
  void* out = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &out, nullptr), DD_OK);
  auto* first = static_cast<IDirectDraw*>(out);
  DDSURFACEDESC desc{};
  desc.dwSize = 108;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc.dwWidth = desc.dwHeight = 16;
  desc.dwBackBufferCount = 2;
  desc.ddsCaps.dwCaps = DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY;
  desc.ddpfPixelFormat.dwSize = 32;
  desc.ddpfPixelFormat.dwFlags = DDPF_FOURCC;
  IDirectDrawSurface* surface = nullptr;
  EXPECT_EQ(first->CreateSurface(&desc, &surface, nullptr), DDERR_NOOVERLAYHW);
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  EXPECT_EQ(first->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPIXELFORMAT);
  desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
  desc.ddpfPixelFormat.dwRGBBitCount = 16;
  desc.ddpfPixelFormat.dwRBitMask = 0xF800;
  desc.ddpfPixelFormat.dwGBitMask = 0x07E0;
  desc.ddpfPixelFormat.dwBBitMask = 0x001F;
  ASSERT_EQ(first->CreateSurface(&desc, &surface, nullptr), DD_OK);
  DDSCAPS caps{};
  EXPECT_EQ(surface->GetCaps(&caps), DD_OK);
  EXPECT_TRUE(caps.dwCaps & DDSCAPS_OFFSCREENPLAIN);
  surface->Release();
  first->Release();
}

TEST_F(DirectDrawObjectTest, VerticalBlankFollowsTheClock) {
  IDirectDraw7* dd = MakeObject();
  int blanks = 0, lines = 0;
  DWORD last = 0;
  for (int i = 0; i < 100; ++i, headless::AdvanceMilliseconds(1)) {  // 100 ms: six frames
    BOOL blank = FALSE;
    DWORD line = 0;
    dd->GetVerticalBlankStatus(&blank);
    dd->GetScanLine(&line);
    blanks += blank ? 1 : 0;
    if (line < last) ++lines;
    last = line;
    EXPECT_LT(line, 525u);
  }
  EXPECT_GT(blanks, 0);
  EXPECT_GE(lines, 4);
  ASSERT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
  BOOL blank = FALSE;
  dd->GetVerticalBlankStatus(&blank);
  EXPECT_TRUE(blank);
  DDDEVICEIDENTIFIER2 id{};
  EXPECT_EQ(dd->GetDeviceIdentifier(&id, 0), DD_OK);
  EXPECT_GT(std::strlen(id.szDriver), 0u);
  dd->Release();
}

TEST_F(DirectDrawObjectTest, DeviceEnumerationReportsOneDisplay) {
  int calls = 0;
  auto callback = [](GUID* guid, LPSTR description, LPSTR name, LPVOID context, HANDLE) -> BOOL {
    EXPECT_EQ(guid, nullptr);
    EXPECT_NE(description, nullptr);
    EXPECT_NE(name, nullptr);
    ++*static_cast<int*>(context);
    return TRUE;
  };
  EXPECT_EQ(DirectDrawEnumerateExA(callback, &calls, DDENUM_ATTACHEDSECONDARYDEVICES), DD_OK);
  EXPECT_EQ(calls, 1);
}

}  // namespace
