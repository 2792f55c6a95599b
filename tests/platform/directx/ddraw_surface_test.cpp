#include <algorithm>
#include <cstring>
#include <functional>
#include <random>

#include "ddraw_test_host.h"
#include "platform/win32/gdi.h"
#include "support/depth_case.h"

namespace {

class SurfaceTest : public DirectDrawTest {
 protected:
  void SetUp() override {
    DirectDrawTest::SetUp();
    void* out = nullptr;
    ASSERT_EQ(DirectDrawCreateEx(nullptr, &out, IID_IDirectDraw7, nullptr), DD_OK);
    dd = static_cast<IDirectDraw7*>(out);
  }
  void TearDown() override {
    for (auto* s : surfaces) s->Release();
    if (dd) {
      EXPECT_EQ(dd->Release(), 0u);
    }
    DirectDrawTest::TearDown();
  }

  IDirectDrawSurface7* Make(DWORD width, DWORD height, DWORD caps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddsCaps.dwCaps = caps;
    IDirectDrawSurface7* s = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DD_OK);
    if (s) surfaces.push_back(s);
    return s;
  }

  IDirectDrawSurface7* MakePrimary(DWORD caps = DDSCAPS_PRIMARYSURFACE, DWORD backBuffers = 0) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | (backBuffers ? DDSD_BACKBUFFERCOUNT : 0);
    desc.dwBackBufferCount = backBuffers;
    desc.ddsCaps.dwCaps = caps;
    IDirectDrawSurface7* s = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DD_OK);
    if (s) surfaces.push_back(s);
    return s;
  }

  // The surface's bytes, row by row without the pitch padding.
  static std::vector<uint8_t> Bytes(IDirectDrawSurface7* s) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    EXPECT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    size_t row = desc.dwWidth * desc.ddpfPixelFormat.dwRGBBitCount / 8;
    std::vector<uint8_t> out(row * desc.dwHeight);
    for (DWORD y = 0; y < desc.dwHeight; ++y)
      std::memcpy(out.data() + y * row, static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch, row);
    s->Unlock(nullptr);
    return out;
  }

  // Random bytes over the whole surface, row padding included.
  static void Scribble(IDirectDrawSurface7* s, std::mt19937& rng) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    for (size_t i = 0; i < size_t(desc.lPitch) * desc.dwHeight; ++i) static_cast<uint8_t*>(desc.lpSurface)[i] = uint8_t(rng());
    s->Unlock(nullptr);
  }

  static void Put(IDirectDrawSurface7* s, int x, int y, uint32_t value) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    int bytes = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
    std::memcpy(static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * bytes, &value, bytes);
    s->Unlock(nullptr);
  }

  static uint32_t Get(IDirectDrawSurface7* s, int x, int y) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    EXPECT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    int bytes = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
    uint32_t value = 0;
    std::memcpy(&value, static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch + x * bytes, bytes);
    s->Unlock(nullptr);
    return value;
  }

  static void Fill(IDirectDrawSurface7* s, RECT* rect, uint32_t colour) {
    DDBLTFX fx{};
    fx.dwSize = 100;
    fx.dwFillColor = colour;
    ASSERT_EQ(s->Blt(rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  }

  // A top-down DIB section, one row high.
  static HBITMAP Section(int width, int bits, void** pixels) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -1;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bits);
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, pixels, nullptr, 0);
  }

  IDirectDraw7* dd = nullptr;
  std::vector<IDirectDrawSurface7*> surfaces;
};

TEST_F(SurfaceTest, LockGivesAPitchAndTheRectangle) {
  IDirectDrawSurface7* s = Make(10, 4);
  DDSURFACEDESC2 desc{};
  desc.dwSize = 124;
  RECT r{3, 2, 5, 4};
  ASSERT_EQ(s->Lock(&r, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), DD_OK);
  EXPECT_GE(desc.lPitch, 40);
  EXPECT_EQ(desc.dwWidth, 10u);
  void* inner = desc.lpSurface;
  // A nested lock of the same surface by the one thread is allowed.
  DDSURFACEDESC2 whole{};
  whole.dwSize = sizeof whole;
  ASSERT_EQ(s->Lock(nullptr, &whole, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(static_cast<uint8_t*>(inner), static_cast<uint8_t*>(whole.lpSurface) + 2 * whole.lPitch + 12);
  EXPECT_EQ(s->Unlock(nullptr), DD_OK);
  EXPECT_EQ(s->Unlock(nullptr), DD_OK);
  EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
  RECT outside{8, 0, 11, 1};
  EXPECT_EQ(s->Lock(&outside, &desc, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);
  desc.dwSize = 7;
  EXPECT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
  headless::FailCall("Surface::Lock", 1);
  desc.dwSize = sizeof desc;
  EXPECT_TRUE(FAILED(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr)));
}

// Locks ask for injected failures without a lock of their own until one is armed; arming, skipping and clearing
// still act on the very next lock.
TEST_F(SurfaceTest, LockFailuresFollowArmingAndClearing) {
  IDirectDrawSurface7* s = Make(4, 4);
  auto lock = [&] {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    const HRESULT r = s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    if (r == DD_OK) s->Unlock(nullptr);
    return r;
  };
  for (int i = 0; i < 3; ++i) EXPECT_EQ(lock(), DD_OK);
  headless::FailCall("Surface::Lock", 1, 2);
  EXPECT_EQ(lock(), DD_OK);
  EXPECT_EQ(lock(), DD_OK);
  EXPECT_EQ(lock(), DDERR_GENERIC);
  EXPECT_EQ(lock(), DD_OK);
  headless::FailCall("Surface::GetDC");  // another name armed leaves locks alone
  EXPECT_EQ(lock(), DD_OK);
  headless::FailCall("Surface::Lock");
  EXPECT_EQ(lock(), DDERR_GENERIC);
  EXPECT_EQ(lock(), DDERR_GENERIC);
  headless::ClearFailures();
  EXPECT_EQ(lock(), DD_OK);
}

// A display change between two locks is seen by the second, however many locks saw the mode unchanged.
TEST_F(SurfaceTest, LockSeesADisplayChangeAfterManyLocks) {
  Window();
  IDirectDrawSurface7* s = Make(4, 4);
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    s->Unlock(nullptr);
  }
  headless::SetDesktop(800, 600, 16, true);
  EXPECT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(s->Restore(), DD_OK);
  ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  s->Unlock(nullptr);
  headless::SetDesktop(800, 600, 16, false);  // only the 16-bit layout changes
  EXPECT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
}

TEST_F(SurfaceTest, LostSurfacesRefuseUntilRestored) {
  IDirectDrawSurface7* a = Make(4, 4);
  IDirectDrawSurface7* b = Make(4, 4);
  EXPECT_EQ(a->IsLost(), DD_OK);
  MarkAllDirectDrawSurfacesLost();
  EXPECT_EQ(a->IsLost(), DDERR_SURFACELOST);
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  EXPECT_EQ(a->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
  HDC dc = nullptr;
  EXPECT_EQ(a->GetDC(&dc), DDERR_SURFACELOST);
  EXPECT_EQ(a->BltFast(0, 0, b, nullptr, 0), DDERR_SURFACELOST);
  EXPECT_EQ(a->Restore(), DD_OK);
  EXPECT_EQ(a->IsLost(), DD_OK);
  EXPECT_EQ(a->BltFast(0, 0, b, nullptr, 0), DDERR_SURFACELOST);  // the source is still lost
  EXPECT_EQ(b->Restore(), DD_OK);
  EXPECT_EQ(a->BltFast(0, 0, b, nullptr, 0), DD_OK);
}

TEST_F(SurfaceTest, AnotherProgramsDisplayChangeLosesSurfaces) {
  HWND window = Window();
  IDirectDrawSurface7* s = Make(4, 4);
  EXPECT_EQ(s->IsLost(), DD_OK);
  headless::PostDisplayChange(800, 600, 16);
  DisplayChanges();  // the platform looks at its queue, and the desktop changes
  EXPECT_EQ(host::CurrentDisplayMode().bitsPerPixel, 16);
  EXPECT_EQ(s->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(s->Restore(), DD_OK);
  EXPECT_EQ(s->IsLost(), DD_OK);
  // Surfaces made in the new mode are not lost.
  IDirectDrawSurface7* fresh = Make(4, 4);
  EXPECT_EQ(fresh->IsLost(), DD_OK);
  DDPIXELFORMAT format{};
  fresh->GetPixelFormat(&format);
  EXPECT_EQ(format.dwRGBBitCount, 16u);
  (void)window;
}

TEST_F(SurfaceTest, ColourFillThroughAWindowClipper) {
  Desktop(320, 240, 32);
  HWND kWindow = Window(RECT{100, 50, 200, 150});
  ASSERT_EQ(dd->SetCooperativeLevel(kWindow, DDSCL_NORMAL), DD_OK);
  IDirectDrawSurface7* primary = MakePrimary();
  IDirectDrawClipper* clipper = nullptr;
  ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
  ASSERT_EQ(clipper->SetHWnd(0, kWindow), DD_OK);
  ASSERT_EQ(primary->SetClipper(clipper), DD_OK);
  for (const IID* iid : {&IID_IUnknown, &IID_IDirectDrawClipper, &IID_IDirectDrawSurface7}) {
    void* same = nullptr;
    const bool known = iid != &IID_IDirectDrawSurface7;
    EXPECT_EQ(clipper->QueryInterface(*iid, &same), known ? S_OK : E_NOINTERFACE);
    EXPECT_EQ(same, known ? static_cast<void*>(clipper) : nullptr);
    if (same) clipper->Release();
  }
  EXPECT_EQ(clipper->Release(), 1u);  // the surface keeps it
  Fill(primary, nullptr, 0x123456);
  EXPECT_EQ(Get(primary, 100, 50), 0x123456u);
  EXPECT_EQ(Get(primary, 199, 149), 0x123456u);
  EXPECT_EQ(Get(primary, 99, 50), 0u);
  EXPECT_EQ(Get(primary, 200, 149), 0u);
  EXPECT_EQ(Get(primary, 150, 150), 0u);
  // A rectangle reaching past the desktop is cut, not refused, while a clipper is attached.
  RECT wide{-50, -50, 1000, 1000};
  Fill(primary, &wide, 0x00FF00);
  EXPECT_EQ(Get(primary, 150, 100), 0x00FF00u);
  EXPECT_EQ(Get(primary, 0, 0), 0u);
  // A stretch onto the widest rectangle there is, cut to the client rectangle.
  IDirectDrawSurface7* small = Make(2, 2);
  Fill(small, nullptr, 0x0000FF);
  RECT widest{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  ASSERT_EQ(primary->Blt(&widest, small, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(Get(primary, 150, 100), 0x0000FFu);
  EXPECT_EQ(Get(primary, 0, 0), 0u);
  // Without the clipper the same rectangle is refused and nothing changes.
  primary->SetClipper(nullptr);
  DDBLTFX fx{};
  fx.dwSize = 100;
  fx.dwFillColor = 0xFFFFFF;
  std::vector<uint8_t> before = Bytes(primary);
  EXPECT_EQ(primary->Blt(&wide, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDRECT);
  EXPECT_EQ(Bytes(primary), before);
  // A clipper without a window has no clip list.
  IDirectDrawClipper* empty = nullptr;
  dd->CreateClipper(0, &empty, nullptr);
  primary->SetClipper(empty);
  empty->Release();
  EXPECT_EQ(primary->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_NOCLIPLIST);
}

TEST_F(SurfaceTest, SourceKeysCompareColourBitsOnly) {
  IDirectDrawSurface7* src = Make(4, 1);
  IDirectDrawSurface7* dst = Make(4, 1);
  Fill(dst, nullptr, 0x00777777);
  Put(src, 0, 0, 0xFF000000);  // black with padding bits set: still the key
  Put(src, 1, 0, 0x00000000);
  Put(src, 2, 0, 0x00000001);
  Put(src, 3, 0, 0xFF102030);
  DDCOLORKEY key{0, 0};
  ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  ASSERT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT), DD_OK);
  EXPECT_EQ(Get(dst, 0, 0), 0x00777777u);
  EXPECT_EQ(Get(dst, 1, 0), 0x00777777u);
  EXPECT_EQ(Get(dst, 2, 0), 0x00000001u);
  EXPECT_EQ(Get(dst, 3, 0), 0xFF102030u);
  // Without the flag every pixel is copied.
  ASSERT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_NOCOLORKEY), DD_OK);
  EXPECT_EQ(Get(dst, 0, 0), 0xFF000000u);
}

TEST_F(SurfaceTest, SourceKeysOn555IgnoreTheTopBit) {
  Desktop(640, 480, 16, true);
  IDirectDrawSurface7* src = Make(2, 1);
  IDirectDrawSurface7* dst = Make(2, 1);
  Fill(dst, nullptr, 0x1234);
  Put(src, 0, 0, 0x8000);
  Put(src, 1, 0, 0x7FFF);
  DDCOLORKEY key{0x0000, 0x0000};
  src->SetColorKey(DDCKEY_SRCBLT, &key);
  ASSERT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_KEYSRC | DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(Get(dst, 0, 0), 0x1234u);
  EXPECT_EQ(Get(dst, 1, 0), 0x7FFFu);
}

TEST_F(SurfaceTest, OverlappingCopiesMoveLikeMemmove) {
  std::mt19937 random(7);
  const int w = 23, h = 17;
  for (int round = 0; round < 200; ++round) {
    IDirectDrawSurface7* s = Make(w, h);
    std::vector<uint32_t> reference(w * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        reference[y * w + x] = random() & 0xFFFFFF;
        Put(s, x, y, reference[y * w + x]);
      }
    int rw = 1 + random() % w, rh = 1 + random() % h;
    RECT from{static_cast<LONG>(random() % (w - rw + 1)), static_cast<LONG>(random() % (h - rh + 1)), 0, 0};
    from.right = from.left + rw;
    from.bottom = from.top + rh;
    int x = random() % (w - rw + 1), y = random() % (h - rh + 1);
    ASSERT_EQ(s->BltFast(x, y, s, &from, DDBLTFAST_WAIT), DD_OK);
    std::vector<uint32_t> expected = reference;
    for (int j = 0; j < rh; ++j)
      for (int i = 0; i < rw; ++i) expected[(y + j) * w + x + i] = reference[(from.top + j) * w + from.left + i];
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) ASSERT_EQ(Get(s, i, j), expected[j * w + i]) << round << " " << i << "," << j;
    surfaces.pop_back();
    s->Release();
  }
}

TEST_F(SurfaceTest, OutOfRangeRectanglesAreRefusedUntouched) {
  IDirectDrawSurface7* src = Make(8, 8);
  IDirectDrawSurface7* dst = Make(8, 8);
  Fill(src, nullptr, 0xABCDEF);
  std::vector<uint8_t> before = Bytes(dst);
  RECT tooWide{0, 0, 9, 8};
  RECT inverted{4, 4, 2, 6};
  RECT negative{-1, 0, 3, 3};
  RECT small{0, 0, 4, 4};
  EXPECT_EQ(dst->BltFast(5, 0, src, &small, 0), DDERR_INVALIDRECT);
  EXPECT_EQ(dst->BltFast(0, 0xFFFFFFFFu, src, &small, 0), DDERR_INVALIDRECT);
  EXPECT_EQ(dst->BltFast(0, 0, src, &tooWide, 0), DDERR_INVALIDRECT);
  EXPECT_EQ(dst->BltFast(0, 0, src, &inverted, 0), DDERR_INVALIDRECT);
  EXPECT_EQ(dst->BltFast(0, 0, src, &negative, 0), DDERR_INVALIDRECT);
  EXPECT_EQ(dst->Blt(&tooWide, src, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
  EXPECT_EQ(dst->Blt(&small, src, &negative, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
  EXPECT_EQ(dst->Blt(&inverted, src, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
  EXPECT_EQ(Bytes(dst), before);
}

TEST_F(SurfaceTest, StretchingBltPicksNearestPixels) {
  IDirectDrawSurface7* src = Make(2, 2);
  IDirectDrawSurface7* dst = Make(5, 4);
  Put(src, 0, 0, 1);
  Put(src, 1, 0, 2);
  Put(src, 0, 1, 3);
  Put(src, 1, 1, 4);
  RECT to{1, 0, 5, 4};
  ASSERT_EQ(dst->Blt(&to, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  const uint32_t expected[4][5] = {{0, 1, 1, 2, 2}, {0, 1, 1, 2, 2}, {0, 3, 3, 4, 4}, {0, 3, 3, 4, 4}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(Get(dst, x, y), expected[y][x]) << x << "," << y;
  // Shrinking takes every other pixel.
  RECT one{0, 0, 1, 1};
  RECT whole{0, 0, 5, 4};
  ASSERT_EQ(src->Blt(&one, dst, &whole, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(Get(src, 0, 0), 0u);
}

TEST_F(SurfaceTest, FlipChainsRotateAndPresent) {
  HWND kWindow = Window();
  ASSERT_EQ(dd->SetCooperativeLevel(kWindow, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
  IDirectDrawSurface7* front =
      MakePrimary(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE, 2);
  DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
  IDirectDrawSurface7* back = nullptr;
  ASSERT_EQ(front->GetAttachedSurface(&caps, &back), DD_OK);
  IDirectDrawSurface7* third = nullptr;
  DDSCAPS2 flip{DDSCAPS_FLIP, 0, 0, 0};
  ASSERT_EQ(back->GetAttachedSurface(&flip, &third), DD_OK);
  Fill(front, nullptr, 1);
  Fill(back, nullptr, 2);
  Fill(third, nullptr, 3);
  headless::ClearFrames();
  ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  // Full screen shows the whole primary.
  ASSERT_EQ(headless::Frames().size(), 1u);
  EXPECT_EQ(headless::Frames()[0].window, kWindow);
  EXPECT_EQ(headless::Frames()[0].width, 640);
  EXPECT_EQ(headless::Frames()[0].height, 480);
  EXPECT_EQ(headless::Frames()[0].Rgb(639, 479), 0x000010u);  // 2 on 5:6:5 is blue 2 << 3
  EXPECT_EQ(Get(front, 0, 0), 2u);
  EXPECT_EQ(Get(back, 0, 0), 3u);
  EXPECT_EQ(Get(third, 0, 0), 1u);
  EXPECT_EQ(back->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
  third->Release();
  EXPECT_EQ(back->Release(), 1u);  // the chain keeps it
  // Flip chains need exclusive mode.
  dd->SetCooperativeLevel(kWindow, DDSCL_NORMAL);
  DDSURFACEDESC2 desc{};
  desc.dwSize = 124;
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 1;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  surfaces.clear();
  EXPECT_EQ(front->Release(), 0u);
  IDirectDrawSurface7* s = nullptr;
  EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DDERR_NOEXCLUSIVEMODE);
}

TEST_F(SurfaceTest, AttachedZBufferAndEnumeration) {
  IDirectDrawSurface7* colour = Make(16, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
  IDirectDrawSurface7* z = Make(16, 16, DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY);
  ASSERT_EQ(colour->AddAttachedSurface(z), DD_OK);
  EXPECT_EQ(colour->AddAttachedSurface(z), DDERR_SURFACEALREADYATTACHED);
  DDBLTFX fx{};
  fx.dwSize = 100;
  fx.dwFillDepth = 0xFFFF;
  EXPECT_EQ(z->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx), DD_OK);
  EXPECT_EQ(Get(z, 15, 15), 0xFFFFu);
  EXPECT_EQ(colour->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL, &fx), DDERR_INVALIDPARAMS);
  int seen = 0;
  auto callback = [](IDirectDrawSurface7* s, DDSURFACEDESC2* desc, LPVOID context) -> HRESULT {
    EXPECT_TRUE(desc->ddsCaps.dwCaps & DDSCAPS_ZBUFFER);
    ++*static_cast<int*>(context);
    s->Release();  // the callback owns the reference it is handed
    return DDENUMRET_OK;
  };
  ASSERT_EQ(colour->EnumAttachedSurfaces(&seen, callback), DD_OK);
  EXPECT_EQ(seen, 1);
  ASSERT_EQ(colour->DeleteAttachedSurface(0, z), DD_OK);
  EXPECT_EQ(colour->DeleteAttachedSurface(0, z), DDERR_SURFACENOTATTACHED);
  surfaces.pop_back();
  EXPECT_EQ(z->Release(), 0u);
}

TEST_F(SurfaceTest, PalettesHoldEntriesAndCounts) {
  Desktop(640, 480, 8);
  PALETTEENTRY entries[256];
  for (int i = 0; i < 256; ++i) entries[i] = PALETTEENTRY{static_cast<BYTE>(i), 0, static_cast<BYTE>(255 - i), 0};
  IDirectDrawPalette* palette = nullptr;
  EXPECT_EQ(dd->CreatePalette(0, entries, &palette, nullptr), DDERR_INVALIDPARAMS);
  ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
  PALETTEENTRY got[4];
  ASSERT_EQ(palette->GetEntries(0, 252, 4, got), DD_OK);
  EXPECT_EQ(got[3].peRed, 255);
  EXPECT_EQ(got[3].peBlue, 0);
  EXPECT_EQ(palette->GetEntries(0, 253, 4, got), DDERR_INVALIDPARAMS);
  EXPECT_EQ(palette->SetEntries(0, 0xFFFFFFFFu, 2, got), DDERR_INVALIDPARAMS);
  PALETTEENTRY red{255, 0, 0, 0};
  ASSERT_EQ(palette->SetEntries(0, 7, 1, &red), DD_OK);
  IDirectDrawSurface7* s = Make(4, 4);
  ASSERT_EQ(s->SetPalette(palette), DD_OK);
  EXPECT_EQ(palette->AddRef(), 3u);
  EXPECT_EQ(palette->Release(), 2u);
  IDirectDrawPalette* back = nullptr;
  ASSERT_EQ(s->GetPalette(&back), DD_OK);
  EXPECT_EQ(back, palette);
  back->Release();
  // A GDI context over the surface sees the palette's colours.
  Put(s, 1, 1, 7);
  HDC dc = nullptr, again = nullptr;
  ASSERT_EQ(s->GetDC(&dc), DD_OK);
  EXPECT_EQ(s->GetDC(&again), DDERR_DCALREADYCREATED);
  void* bits = nullptr;
  HBITMAP section = Section(1, 32, &bits);
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(memory, section);
  ASSERT_TRUE(BitBlt(memory, 0, 0, 1, 1, dc, 1, 1, SRCCOPY));
  EXPECT_EQ(*static_cast<uint32_t*>(bits), 0xFF0000u);
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(section);
  ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
  EXPECT_EQ(palette->Release(), 1u);
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc.dwWidth = desc.dwHeight = 4;
  desc.ddpfPixelFormat = DDPIXELFORMAT{};
  desc.ddpfPixelFormat.dwSize = 32;
  desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
  desc.ddpfPixelFormat.dwRGBBitCount = 32;
  IDirectDrawSurface7* wide = nullptr;
  ASSERT_EQ(dd->CreateSurface(&desc, &wide, nullptr), DD_OK);
  surfaces.push_back(wide);
  EXPECT_EQ(wide->SetPalette(palette), DDERR_NOTPALETTIZED);
}

// Window mode: the back surface is copied into the window's client rectangle on the desktop-sized primary,
// and the frame the host shows is exactly what was drawn.
class PresentTest : public SurfaceTest, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(PresentTest, WindowCopyLandsInTheClientRectangle) {
  Desktop(400, 300, GetParam().bits, GetParam().rgb555);
  HWND kWindow = Window(RECT{50, 40, 114, 88});  // 64 x 48
  ASSERT_EQ(dd->SetCooperativeLevel(kWindow, DDSCL_NORMAL), DD_OK);
  IDirectDrawSurface7* primary = MakePrimary(DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE);
  IDirectDrawSurface7* back = Make(64, 48, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
  IDirectDrawPalette* palette = nullptr;
  if (GetParam().bits == 8) {
    PALETTEENTRY entries[256];
    for (int i = 0; i < 256; ++i)
      entries[i] = PALETTEENTRY{static_cast<BYTE>(i), static_cast<BYTE>(i * 3), static_cast<BYTE>(i * 7), 0};
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
    primary->SetPalette(palette);
    back->SetPalette(palette);
  }
  IDirectDrawClipper* clipper = nullptr;
  dd->CreateClipper(0, &clipper, nullptr);
  clipper->SetHWnd(0, kWindow);
  primary->SetClipper(clipper);
  clipper->Release();

  std::mt19937 random(GetParam().bits);
  std::vector<uint32_t> expected(64 * 48);
  DDSURFACEDESC2 desc{};
  desc.dwSize = 124;
  ASSERT_EQ(back->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      uint32_t v = random();
      uint8_t* p = static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch;
      uint32_t r, g, b;
      if (GetParam().bits == 8) {
        v &= 0xFF;
        p[x] = static_cast<uint8_t>(v);
        r = v, g = (v * 3) & 0xFF, b = (v * 7) & 0xFF;
      } else if (GetParam().bits == 16) {
        uint16_t w = static_cast<uint16_t>(v);
        std::memcpy(p + x * 2, &w, 2);
        // Channels widen to 8 bits by repeating their top bits.
        uint32_t r5 = GetParam().rgb555 ? (w >> 10) & 31 : w >> 11;
        uint32_t gn = GetParam().rgb555 ? (w >> 5) & 31 : (w >> 5) & 63;
        uint32_t b5 = w & 31;
        r = r5 << 3 | r5 >> 2;
        g = GetParam().rgb555 ? (gn << 3 | gn >> 2) : (gn << 2 | gn >> 4);
        b = b5 << 3 | b5 >> 2;
      } else {
        std::memcpy(p + x * 4, &v, 4);
        r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
      }
      expected[y * 64 + x] = (r << 16) | (g << 8) | b;
    }
  back->Unlock(nullptr);
  headless::ClearFrames();
  RECT to{50, 40, 114, 88};
  RECT from{0, 0, 64, 48};
  ASSERT_EQ(primary->Blt(&to, back, &from, DDBLT_WAIT, nullptr), DD_OK);
  ASSERT_EQ(headless::Frames().size(), 1u);
  const headless::CapturedFrame& frame = headless::Frames()[0];
  EXPECT_EQ(frame.window, kWindow);
  ASSERT_EQ(frame.width, 64);
  ASSERT_EQ(frame.height, 48);
  EXPECT_EQ(frame.bitsPerPixel, GetParam().bits);
  std::vector<uint32_t> shown;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) shown.push_back(frame.Rgb(x, y));
  EXPECT_EQ(shown, expected);
  // Nothing outside the client rectangle was written.
  EXPECT_EQ(Get(primary, 49, 40), 0u);
  EXPECT_EQ(Get(primary, 114, 87), 0u);
  if (palette) palette->Release();
}

INSTANTIATE_TEST_SUITE_P(Depths, PresentTest,
                         ::testing::Values(DepthCase{8, false}, DepthCase{16, false}, DepthCase{16, true},
                                           DepthCase{32, false}),
                         ::testing::PrintToStringParamName());

}  // namespace

namespace {

// GDI through surface contexts: a DIB section drawn into a 5:6:5 surface is converted, and releasing the
// primary's context shows the client rectangle.
TEST_F(SurfaceTest, DeviceContextsConvertIntoSurfaces) {
  Desktop(200, 100, 16);
  HWND window = Window(RECT{10, 20, 30, 30});
  ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
  IDirectDrawSurface7* primary = MakePrimary();
  IDirectDrawSurface7* work = Make(4, 2);

  uint8_t* bits = nullptr;
  HBITMAP section = Section(2, 24, reinterpret_cast<void**>(&bits));
  const uint8_t pixels[6] = {0xFF, 0x00, 0x00, 0x08, 0x84, 0xF8};  // blue, then (0xF8, 0x84, 0x08)
  std::memcpy(bits, pixels, sizeof pixels);
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(memory, section);
  HDC dc = nullptr;
  ASSERT_EQ(work->GetDC(&dc), DD_OK);
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 16);
  ASSERT_TRUE(BitBlt(dc, 1, 1, 2, 1, memory, 0, 0, SRCCOPY));
  ASSERT_EQ(work->ReleaseDC(dc), DD_OK);
  EXPECT_EQ(Get(work, 1, 1), 0x001Fu);
  EXPECT_EQ(Get(work, 2, 1), (0xF8u >> 3) << 11 | (0x84u >> 2) << 5 | 0x08u >> 3);
  EXPECT_EQ(Get(work, 0, 0), 0u);

  headless::ClearFrames();
  ASSERT_EQ(primary->GetDC(&dc), DD_OK);
  ASSERT_TRUE(BitBlt(dc, 10, 20, 2, 1, memory, 0, 0, SRCCOPY));
  EXPECT_TRUE(headless::Frames().empty());  // shown when the context is given back
  ASSERT_EQ(primary->ReleaseDC(dc), DD_OK);
  ASSERT_EQ(headless::Frames().size(), 1u);
  EXPECT_EQ(headless::Frames()[0].width, 20);
  EXPECT_EQ(headless::Frames()[0].height, 10);
  EXPECT_EQ(headless::Frames()[0].Rgb(0, 0), 0x0000FFu);
  EXPECT_EQ(headless::Frames()[0].Rgb(1, 0), 0xFF8608u);  // widened again by repeating top bits
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(section);
}

}  // namespace

// The keyed copy's vector rows and their tails against a plain per-pixel reference, at every width up to 67.
TEST_F(SurfaceTest, KeyedRowsOfEveryWidthMatchThePlainLoop) {
  std::mt19937 rng(3);
  for (int bits : {16, 32}) {
    Desktop(640, 480, bits);
    const uint32_t colourBits = bits == 16 ? 0xFFFF : 0x00FFFFFF, key = bits == 16 ? 0xF81F : 0x00FF00FF;
    for (DWORD width = 1; width <= 67; ++width) {
      IDirectDrawSurface7* src = Make(width, 1);
      IDirectDrawSurface7* dst = Make(width, 1);
      std::vector<uint32_t> from(width), to(width);
      for (DWORD x = 0; x < width; ++x) {
        // A third of the pixels are the key, some of them with padding bits set.
        from[x] = rng() % 3 == 0 ? key | (rng() & ~colourBits & 0xFF000000u) : rng() & (bits == 16 ? 0xFFFF : ~0u);
        to[x] = rng() & (bits == 16 ? 0xFFFF : ~0u);
        Put(src, x, 0, from[x]);
        Put(dst, x, 0, to[x]);
      }
      DDCOLORKEY colourKey{key, key};
      ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &colourKey), DD_OK);
      ASSERT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT), DD_OK);
      for (DWORD x = 0; x < width; ++x)
        ASSERT_EQ(Get(dst, x, 0), (from[x] & colourBits) == key ? to[x] : from[x]) << bits << " " << width << " " << x;
    }
  }
}

// The plain copy's 64-byte steps and their tails: every width up to 67 pixels, from an odd column of the source,
// leaves the pixels beside the rectangle alone.
TEST_F(SurfaceTest, PlainRowsOfEveryWidthCopyExactly) {
  std::mt19937 rng(4);
  for (int bits : {16, 32}) {
    Desktop(640, 480, bits);
    const uint32_t mask = bits == 16 ? 0xFFFF : ~0u;
    for (DWORD width = 1; width <= 67; ++width) {
      IDirectDrawSurface7* src = Make(width + 3, 2);
      IDirectDrawSurface7* dst = Make(width + 2, 2);
      std::vector<uint32_t> from(width + 3), to(width + 2);
      for (DWORD x = 0; x < width + 3; ++x) Put(src, x, 1, from[x] = rng() & mask);
      for (DWORD x = 0; x < width + 2; ++x) Put(dst, x, 1, to[x] = rng() & mask);
      RECT rect{3, 1, static_cast<LONG>(width) + 3, 2};
      ASSERT_EQ(dst->BltFast(1, 1, src, &rect, DDBLTFAST_NOCOLORKEY | DDBLTFAST_WAIT), DD_OK);
      for (DWORD x = 0; x < width + 2; ++x)
        ASSERT_EQ(Get(dst, x, 1), x >= 1 && x <= width ? from[x + 2] : to[x]) << bits << " " << width << " " << x;
    }
  }
}

// Plain copies of many rows at every depth: random rectangles by BltFast between offscreen surfaces of unlike
// pitches and within one surface, and by Blt onto a primary whose window clipper cuts the rectangle's top and left,
// against a reference; the rest stays.
TEST_F(SurfaceTest, PlainRectanglesCopyEveryRowExactly) {
  std::mt19937 rng(5);
  // Copies src's rectangle from to dst at (dx, dy) with pixel size bytes; only pixels inside keep may change.
  auto check = [&](IDirectDrawSurface7* dst, IDirectDrawSurface7* src, RECT from, LONG dx, LONG dy, RECT keep,
                   int bytes, const std::function<HRESULT()>& copy) {
    for (IDirectDrawSurface7* s : {src, dst}) Scribble(s, rng);
    DDSURFACEDESC2 d{}, f{};
    d.dwSize = f.dwSize = sizeof d;
    ASSERT_EQ(dst->GetSurfaceDesc(&d), DD_OK);
    ASSERT_EQ(src->GetSurfaceDesc(&f), DD_OK);
    std::vector<uint8_t> want = Bytes(dst);
    const std::vector<uint8_t> pixels = Bytes(src);
    for (LONG y = std::max(dy, keep.top); y < std::min(dy + from.bottom - from.top, keep.bottom); ++y)
      for (LONG x = std::max(dx, keep.left); x < std::min(dx + from.right - from.left, keep.right); ++x)
        std::memcpy(&want[(size_t(y) * d.dwWidth + x) * bytes],
                    &pixels[(size_t(from.top + y - dy) * f.dwWidth + from.left + x - dx) * bytes], bytes);
    ASSERT_EQ(copy(), DD_OK);
    EXPECT_EQ(Bytes(dst), want) << from.right - from.left << "x" << from.bottom - from.top << " at " << dx << "," << dy;
  };
  for (int bits : {8, 16, 24, 32}) {
    Desktop(320, 240, bits);
    for (int trial = 0; trial < 18; ++trial) {
      // Every third copy moves a rectangle within one surface a row up or down and a little sideways, onto most of
      // itself: a plain row-by-row copy downwards would read rows it has already written.
      const bool within = trial % 3 == 2;
      const DWORD sw = 1 + rng() % 150, sh = (within ? 3 : 1) + rng() % 6;
      const DWORD dw = within ? sw : 1 + rng() % 150, dh = within ? sh : 1 + rng() % 6;
      IDirectDrawSurface7 *src = Make(sw, sh), *dst = within ? src : Make(dw, dh);
      const LONG w = 1 + rng() % std::min(sw, dw), h = within ? sh - 1 : 1 + rng() % std::min(sh, dh);
      const LONG sx = rng() % (sw - w + 1), sy = rng() % (sh - h + 1);
      const LONG dx = within ? std::clamp<LONG>(sx + LONG(rng() % (2 * w - 1)) - w + 1, 0, dw - w)
                             : rng() % (dw - w + 1);
      const LONG dy = within ? 1 - sy : rng() % (dh - h + 1);
      RECT from{sx, sy, sx + w, sy + h};
      check(dst, src, from, dx, dy, RECT{0, 0, LONG(dw), LONG(dh)}, bits / 8,
            [&] { return dst->BltFast(dx, dy, src, &from, DDBLTFAST_NOCOLORKEY | DDBLTFAST_WAIT); });
    }
  }
  HWND window = Window(RECT{100, 50, 200, 150});
  ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
  IDirectDrawSurface7 *primary = MakePrimary(), *src = Make(80, 40);
  IDirectDrawClipper* clipper = nullptr;
  ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
  ASSERT_EQ(clipper->SetHWnd(0, window), DD_OK);
  ASSERT_EQ(primary->SetClipper(clipper), DD_OK);
  clipper->Release();
  for (int trial = 0; trial < 4; ++trial) {
    const LONG w = 20 + rng() % 60, h = 2 + rng() % 38, dx = 100 - LONG(rng() % 15), dy = 50 - LONG(rng() % 4);
    RECT from{0, 0, w, h}, to{dx, dy, dx + w, dy + h};
    check(primary, src, from, dx, dy, RECT{100, 50, 200, 150}, 4,
          [&] { return primary->Blt(&to, src, &from, DDBLT_WAIT, nullptr); });
  }
}

// Colour fills at every depth: random rectangles of every width up to 150 pixels on surfaces of unlike pitches,
// with colours whose bits reach past the depth, against a plain per-pixel reference; the rest stays.
TEST_F(SurfaceTest, ColourFillsOfEveryDepthMatchThePlainLoop) {
  std::mt19937 rng(6);
  for (int bits : {8, 16, 24, 32}) {
    Desktop(320, 240, bits);
    const int bytes = bits / 8;
    for (int trial = 0; trial < 40; ++trial) {
      const DWORD sw = 1 + rng() % 150, sh = 1 + rng() % 5;
      IDirectDrawSurface7* s = Make(sw, sh);
      Scribble(s, rng);
      const LONG w = 1 + rng() % sw, h = 1 + rng() % sh, x = rng() % (sw - w + 1), y = rng() % (sh - h + 1);
      RECT rect{x, y, x + w, y + h};
      const uint32_t colour = rng();
      std::vector<uint8_t> want = Bytes(s);
      for (LONG j = y; j < y + h; ++j)
        for (LONG i = x; i < x + w; ++i) std::memcpy(&want[(size_t(j) * sw + i) * bytes], &colour, bytes);
      Fill(s, &rect, colour);
      ASSERT_EQ(Bytes(s), want) << bits << " bits, " << w << "x" << h << " at " << x << "," << y << " of " << sw;
      surfaces.pop_back();
      s->Release();
    }
  }
}
