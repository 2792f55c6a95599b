// The screen's life in window mode as the graphics layer drives it: object through COM, clipper, screen and work
// surfaces, the copy timing's two copies, a frame drawn and presented into the client rectangle.
#include <cstring>

#include "ddraw_test_host.h"
#include "platform/win32/gdi.h"

namespace {

class ScreenFlowTest : public DirectDrawTest {};

TEST_F(ScreenFlowTest, WindowModeFrameReachesTheWindow) {
  Desktop(800, 600, 16);
  HWND window = Window(RECT{100, 80, 420, 320});  // 320 x 240
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  IDirectDraw7* dd = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, reinterpret_cast<void**>(&dd)),
            S_OK);
  ASSERT_EQ(dd->Initialize(nullptr), DD_OK);
  IDirectDrawClipper* clipper = nullptr;
  ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
  ASSERT_EQ(clipper->SetHWnd(0, window), DD_OK);
  ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);

  auto make = [&](DWORD flags, DWORD caps, DWORD w, DWORD h) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = 124;
    desc.dwFlags = flags;
    desc.dwWidth = w;
    desc.dwHeight = h;
    desc.ddsCaps.dwCaps = caps;
    IDirectDrawSurface7* s = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DD_OK);
    return s;
  };
  IDirectDrawSurface7* primary = make(DDSD_CAPS, 0x2200, 0, 0);
  IDirectDrawSurface7* back = make(7, 0x2040, 320, 240);
  IDirectDrawSurface7* work = make(7, 0x840, 320, 240);
  DDBLTFX fx{};
  fx.dwSize = 100;
  ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, 0x1000400, &fx), DD_OK);
  DDCOLORKEY key{0, 0};
  ASSERT_EQ(work->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  DDSCAPS2 caps{};
  primary->GetCaps(&caps);
  EXPECT_TRUE(caps.dwCaps & DDSCAPS_VIDEOMEMORY);

  // The copy timing: primary into the work surface by BltFast, then by GDI through both surfaces' contexts.
  RECT screen{0, 0, 320, 240};
  EXPECT_EQ(work->BltFast(0, 0, primary, &screen, 0), DD_OK);
  HDC workDc = nullptr, primaryDc = nullptr;
  ASSERT_EQ(work->GetDC(&workDc), DD_OK);
  ASSERT_EQ(primary->GetDC(&primaryDc), DD_OK);
  EXPECT_TRUE(BitBlt(workDc, 0, 0, 320, 240, primaryDc, 0, 0, SRCCOPY));
  ASSERT_EQ(primary->ReleaseDC(primaryDc), DD_OK);
  ASSERT_EQ(work->ReleaseDC(workDc), DD_OK);

  // Draw a frame on the back surface: a keyed sprite from the work surface over a filled box.
  RECT box{10, 10, 50, 30};
  fx.dwFillColor = 0xF800;  // red on 5:6:5
  ASSERT_EQ(back->Blt(&box, nullptr, nullptr, 0x1000400, &fx), DD_OK);
  RECT spot{0, 0, 4, 4};
  fx.dwFillColor = 0x001F;
  ASSERT_EQ(work->Blt(&spot, nullptr, nullptr, 0x1000400, &fx), DD_OK);
  RECT sprite{0, 0, 8, 8};  // blue 4 x 4 in the corner, the rest key black
  ASSERT_EQ(back->BltFast(12, 12, work, &sprite, DDBLTFAST_SRCCOLORKEY), DD_OK);

  // Present: the clipper goes on the primary and the back surface is copied into the client rectangle.
  ASSERT_EQ(primary->SetClipper(clipper), DD_OK);
  headless::ClearFrames();
  RECT to{100, 80, 420, 320};
  ASSERT_EQ(primary->Blt(&to, back, &screen, DDBLT_WAIT, nullptr), DD_OK);
  ASSERT_EQ(headless::Frames().size(), 1u);
  const headless::CapturedFrame& frame = headless::Frames()[0];
  EXPECT_EQ(frame.window, window);
  ASSERT_EQ(frame.width, 320);
  ASSERT_EQ(frame.height, 240);
  EXPECT_EQ(frame.Rgb(0, 0), 0u);
  EXPECT_EQ(frame.Rgb(10, 10), 0xFF0000u);
  EXPECT_EQ(frame.Rgb(13, 13), 0x0000FFu);
  EXPECT_EQ(frame.Rgb(17, 17), 0xFF0000u);  // under the sprite's key
  EXPECT_EQ(frame.Rgb(49, 29), 0xFF0000u);
  EXPECT_EQ(frame.Rgb(50, 30), 0u);

  primary->SetClipper(nullptr);
  EXPECT_EQ(clipper->Release(), 0u);
  EXPECT_EQ(back->Release(), 0u);
  EXPECT_EQ(primary->Release(), 0u);
  EXPECT_EQ(work->Release(), 0u);
  EXPECT_EQ(dd->Release(), 0u);
  CoUninitialize();
}

}  // namespace
