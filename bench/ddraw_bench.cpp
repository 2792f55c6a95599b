// Surface copies of the DirectDraw substitute and GDI conversions, at screen size.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench_methods.h"
#include "platform/directx/ddraw.h"
#include "platform/host/headless/headless_host.h"
#include "platform/win32/gdi.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

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
  headless::Start();
  void* out = nullptr;
  DirectDrawCreateEx(nullptr, &out, IID_IDirectDraw7, nullptr);
  auto* dd = static_cast<IDirectDraw7*>(out);
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
  headless::Start();
  void* out = nullptr;
  DirectDrawCreateEx(nullptr, &out, IID_IDirectDraw7, nullptr);
  auto* dd = static_cast<IDirectDraw7*>(out);
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
BENCHMARK(BM_SurfaceCopy)->Name("surface_copy_640x480/vomak");
BENCHMARK(BM_SurfaceCopyMemcpy)->Name("surface_copy_640x480/memcpy");
BENCHMARK(BM_SurfaceCopyKeyed)->Name("surface_copy_keyed_640x480/vomak");
BENCHMARK(BM_GdiConvert32To565)->Name("gdi_convert_32_to_565/vomak");
