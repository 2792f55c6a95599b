// Surface copies and fills of the DirectDraw substitute and GDI conversions, at screen size. The copies and the
// fill ("_alone" in their names) work on the same surfaces over and over with nothing between: each row is its
// loop's speed alone, not what the loop costs a frame, where the clear, the backdrop, the present and the window's
// upload take turns with the caches. The game's frame is timed in a real window by qelt_stage_timing.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench_methods.h"
#include "platform/directx/ddraw.h"
#include "platform/host/headless/headless_host.h"
#include "platform/win32/gdi.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

// A DirectDraw object on a fresh headless host.
IDirectDraw7* StartDirectDraw() {
  headless::Start();
  void* out = nullptr;
  DirectDrawCreateEx(nullptr, &out, IID_IDirectDraw7, nullptr);
  return static_cast<IDirectDraw7*>(out);
}

IDirectDrawSurface7* MakeSurface(IDirectDraw7* dd) {
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.dwWidth = kWidth;
  desc.dwHeight = kHeight;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
  IDirectDrawSurface7* s = nullptr;
  dd->CreateSurface(&desc, &s, nullptr);
  return s;
}

void SurfaceCopy(benchmark::State& state, bool keyed) {
  state.SetLabel(kSubstituteCall);
  IDirectDraw7* dd = StartDirectDraw();
  IDirectDrawSurface7* src = MakeSurface(dd);
  IDirectDrawSurface7* dst = MakeSurface(dd);
  DDCOLORKEY key{0, 0};
  src->SetColorKey(DDCKEY_SRCBLT, &key);
  for (auto _ : state) dst->BltFast(0, 0, src, nullptr, keyed ? DDBLTFAST_SRCCOLORKEY : 0);
  src->Release();
  dst->Release();
  dd->Release();
}

// What every software draw pays twice before its pixels: a lock and an unlock, with no failure armed.
void BM_SurfaceLock(benchmark::State& state) {
  IDirectDraw7* dd = StartDirectDraw();
  IDirectDrawSurface7* s = MakeSurface(dd);
  for (auto _ : state) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    benchmark::DoNotOptimize(desc.lpSurface);
    s->Unlock(nullptr);
  }
  s->Release();
  dd->Release();
}

void BM_SurfaceCopy(benchmark::State& state) { SurfaceCopy(state, false); }
void BM_SurfaceCopyKeyed(benchmark::State& state) { SurfaceCopy(state, true); }

// A colour fill of the whole surface, as a frame's clear.
void BM_SurfaceFill(benchmark::State& state) {
  state.SetLabel(kSubstituteCall);
  IDirectDraw7* dd = StartDirectDraw();
  IDirectDrawSurface7* s = MakeSurface(dd);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  for (auto _ : state) s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  s->Release();
  dd->Release();
}

void BM_SurfaceCopyMemcpy(benchmark::State& state) {
  std::vector<uint8_t> a(kWidth * kHeight * 4), b(a.size());
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::DoNotOptimize(b.data());
  }
}

// GDI copy from a 32-bit section into a 5:6:5 one.
void BM_GdiConvert32To565(benchmark::State& state) {
  std::vector<uint8_t> bytes(40 + 12, 0);
  auto* info = reinterpret_cast<BITMAPINFO*>(bytes.data());
  info->bmiHeader = BITMAPINFOHEADER{40, kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP from = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
  info->bmiHeader.biBitCount = 16;
  info->bmiHeader.biCompression = BI_BITFIELDS;
  const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
  std::memcpy(bytes.data() + 40, masks, sizeof masks);
  HBITMAP to = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
  HGDIOBJ oldA = SelectObject(a, from), oldB = SelectObject(b, to);
  for (auto _ : state) BitBlt(b, 0, 0, kWidth, kHeight, a, 0, 0, SRCCOPY);
  SelectObject(a, oldA);
  SelectObject(b, oldB);
  DeleteDC(a);
  DeleteDC(b);
  DeleteObject(from);
  DeleteObject(to);
}

}  // namespace

BENCHMARK(BM_SurfaceLock)->Name("surface_lock_unlock/vomak");
BENCHMARK(BM_SurfaceCopy)->Name("surface_copy_alone_640x480/vomak");
BENCHMARK(BM_SurfaceCopyMemcpy)->Name("surface_copy_alone_640x480/memcpy");
BENCHMARK(BM_SurfaceCopyKeyed)->Name("surface_copy_keyed_alone_640x480/vomak");
BENCHMARK(BM_SurfaceFill)->Name("surface_fill_alone_640x480/vomak");
BENCHMARK(BM_GdiConvert32To565)->Name("gdi_convert_32_to_565/vomak");
