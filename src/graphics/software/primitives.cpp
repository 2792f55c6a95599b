// The software primitives: filled and frame boxes and circles, drawn as spans of one colour through the unscaled
// loops (the colour is the source pixel: blend mode, parameter and brightness apply; no key, no alpha plane).
#include <algorithm>
#include <cstring>

#include "core/memory.h"
#include "graphics/draw_state.h"
#include "graphics/software/draw_frame.h"
#include "graphics/software/graph_draw.h"
#include "graphics/software/primitive_shapes.h"
#include "platform/directx/ddraw.h"

namespace {

const DrawFrameTexts kPrimitiveTexts = {"転送先サーフェスのロックに失敗しました in G_DDraw_DrawPrimitive ",
                                       "転送元サーフェスのロックに失敗しました in G_DDraw_DrawPrimitive ",
                                       "転送元サーフェス２のロックに失敗しました in G_DDraw_DrawPrimitive "};

// Draws the spans that shape(left, top, right, bottom, emit) gives, all inside the bounding rectangle (left, top)-
// (right, bottom) (right and bottom exclusive, draw coordinates); the shape is told the part of it inside the clip.
template <class Shape>
int DrawSpans(int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t color, Shape shape) {
  DrawFrame f;
  if (OpenDrawFrame(&f) != 0) return -1;
  const int64_t cl = std::clamp<int64_t>(left, f.clip.left, f.clip.right);
  const int64_t cr = std::clamp<int64_t>(right, f.clip.left, f.clip.right);
  const int64_t ct = std::clamp<int64_t>(top, f.clip.top, f.clip.bottom);
  const int64_t cb = std::clamp<int64_t>(bottom, f.clip.top, f.clip.bottom);
  if (cr <= cl || cb <= ct) return 0;
  const RECT target{static_cast<LONG>(cl + f.offset.x), static_cast<LONG>(ct + f.offset.y),
                    static_cast<LONG>(cr + f.offset.x), static_cast<LONG>(cb + f.offset.y)};
  const GraphicsDrawState& state = GetGraphicsDrawState();
  if (f.destinationInVideoMemory != 0 && state.blendMode != 0) CopyBackgroundToWork(&f, target);
  const int bpp = f.depth / 8;
  const int width = static_cast<int>(cr - cl);
  if (bpp != 1 && bpp != 2 && bpp != 4) return 0;
  auto* row = static_cast<uint8_t*>(MemAlloc(width * bpp));
  if (row == nullptr) return -1;
  for (int i = 0; i < width; ++i) std::memcpy(row + i * bpp, &color, bpp);
  LockDrawFrame(&f, nullptr, DDLOCK_WAIT, DDLOCK_WAIT | DDLOCK_READONLY, kPrimitiveTexts);
  const blit::Settings st = DrawFrameSettings(f, 0, 0);
  shape(cl, ct, cr, cb, [&](int64_t y, int64_t x0, int64_t x1) {
    x0 = std::max(x0, cl);
    x1 = std::min(x1 + 1, cr);
    if (y < ct || y >= cb || x1 <= x0) return;
    blit::Job j;
    j.dst = f.dst + (y + f.offset.y) * f.dstPitch + (x0 + f.offset.x) * bpp;
    j.dstPitch = f.dstPitch;
    j.src = row;
    j.bg = f.backgroundCopied ? f.bg + (y - ct) * f.bgPitch + (x0 - cl) * bpp : j.dst;
    j.bgPitch = f.backgroundCopied ? f.bgPitch : f.dstPitch;
    j.w = static_cast<int>(x1 - x0);
    j.h = 1;
    if (blit::DrawUnscaled(j, st) == blit::Outcome::HardwareCopy) blit::CopyPixels(j, bpp, false, 0, 0, st.simd);
  });
  CloseDrawFrame(&f);
  MemFree(row);
  return 0;
}

// A box walks only its rows inside the clip.
int DrawBox(int x1, int y1, int x2, int y2, uint32_t color, bool fill) {
  return DrawSpans(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2), color,
                   [&](int64_t, int64_t top, int64_t, int64_t bottom, auto emit) {
                     shapes::BoxSpans(x1, y1, x2, y2, fill, emit, top, bottom);
                   });
}

}  // namespace

int G_DDraw_DrawFillBox(int x1, int y1, int x2, int y2, uint32_t color) { return DrawBox(x1, y1, x2, y2, color, true); }

int G_DDraw_DrawFrameBox(int x1, int y1, int x2, int y2, uint32_t color) {
  return DrawBox(x1, y1, x2, y2, color, false);
}

int G_DDraw_DrawCircle(int x, int y, int radius, uint32_t color, int fill) {
  if (radius < 0) return 0;
  const int64_t r = radius;
  return DrawSpans(x - r, y - r, x + r + 1, y + r + 1, color,
                   [&](int64_t, int64_t top, int64_t, int64_t bottom, auto emit) {
                     shapes::CircleSpans(x, y, r, fill != 0, emit, top, bottom);
                   });
}
