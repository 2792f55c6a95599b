// The picture converter on a 640 x 480 picture: the fixed conversions against the general per-pixel path.
#include <benchmark/benchmark.h>

#include <vector>

#include "graphics/pixel_converter.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

ColorFormat BenchFormat(int depth, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  ColorFormat f{};
  ColorFormatFromMasks(&f, depth, r, g, b, a);
  return f;
}

// state.range(0): destination 0 = 5:6:5, 1 = A8R8G8B8; range(1): mirror (forces the general path);
// range(2): dither.
void BM_ConvertTrueColour(benchmark::State& state) {
  ColorFormat src{};
  SetColorFormatR8G8B8(&src);
  const ColorFormat dst = state.range(0) == 0 ? BenchFormat(16, 0xF800, 0x7E0, 0x1F, 0)
                                              : BenchFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
  std::vector<uint8_t> in(kWidth * 3 * kHeight), out(kWidth * 4 * kHeight);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 29);
  const RECT rect{0, 0, kWidth, kHeight};
  for (auto _ : state) {
    ConvertColorFormatRect(out.data(), kWidth * dst.bytesPerPixel, &dst, in.data(), kWidth * 3, &src, nullptr, 0,
                           nullptr, 0, 0, &rect, static_cast<int>(state.range(1)), 0, 0,
                           static_cast<int>(state.range(2)), 0);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_ConvertTrueColour)->Args({0, 0, 0})->Args({0, 1, 0})->Args({0, 0, 1})->Args({0, 0, 2})->Args({1, 0, 0})
    ->Args({1, 1, 0});

void BM_ConvertWithAlphaImage(benchmark::State& state) {
  ColorFormat src{}, alpha{};
  SetColorFormatR8G8B8(&src);
  SetColorFormatAlpha8(&alpha);
  for (int i = 0; i < 256; ++i) alpha.palette[i] = static_cast<uint32_t>(i) * 0x010101;
  const ColorFormat dst = BenchFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
  std::vector<uint8_t> in(kWidth * 3 * kHeight, 7), a(kWidth * kHeight, 9), out(kWidth * 4 * kHeight);
  const RECT rect{0, 0, kWidth, kHeight};
  for (auto _ : state) {
    ConvertColorFormatRect(out.data(), kWidth * 4, &dst, in.data(), kWidth * 3, &src, a.data(), kWidth, &alpha, 0, 0,
                           &rect, 0, 0, 0, 0, 0);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_ConvertWithAlphaImage);

}  // namespace
