// The common road of the public draw calls after their checks: the mask save and apply around the draw, the
// subtract emulation on the Direct3D side, and the choice of back-end.
#pragma once
#include "graphics/color_format.h"
#include "graphics/direct3d/d3d_services.h"
#include "graphics/draw_state.h"
#include "graphics/graph_manager.h"
#include "graphics/software/backend_glue.h"

// A draw call returns 0 at once while graphics are suspended or the clip rectangle is empty.
inline bool DrawCallIdle() {
  const GraphicsDrawState& s = GetGraphicsDrawState();
  return s.suspended != 0 || s.clipEmpty != 0;
}

// Runs draw() inside the mask save and apply when mask drawing is on.
template <class Draw>
int MaskedDraw(const RECT& r, Draw draw) {
  const bool mask = GetGraphicsDrawState().maskDrawing != 0;
  if (mask) G_DDraw_MaskSaveBeforeDraw(r.left, r.top, r.right, r.bottom);
  const int result = draw();
  if (mask) G_DDraw_MaskApplyAfterDraw(r.left, r.top, r.right, r.bottom);
  return result;
}

// Subtract on the Direct3D side, whose mode 3 inverts and mode 5 adds: invert the rectangle, add, invert again.
template <class Draw>
int SubtractIn3D(const RECT& r, Draw draw) {
  GraphicsDrawState& s = GetGraphicsDrawState();
  const uint32_t white = PackScreenColor(255, 255, 255);
  const uint32_t saved = s.brightnessWord;
  const int param = s.blendParam;
  s.brightnessWord = 0xFFFFFFFF;
  G_D3D_DrawFillBox(r.left, r.top, r.right, r.bottom, white);
  s.brightnessWord = saved;
  SelectBlendMode(5, param);
  const int result = draw();
  s.brightnessWord = 0xFFFFFFFF;
  SelectBlendMode(3, param);
  G_D3D_DrawFillBox(r.left, r.top, r.right, r.bottom, white);
  s.brightnessWord = saved;
  return result;
}

// A graph draw: software for a DirectDraw-side graph, else Direct3D (with the subtract emulation in mode 3).
template <class Soft, class Hard>
int RouteGraphDraw(const GraphRecord* graph, const RECT& r, Soft soft, Hard hard) {
  return MaskedDraw(r, [&] {
    if (graph->params.texture == 0) return soft();
    if (GetGraphicsDrawState().blendMode == 3) return SubtractIn3D(r, hard);
    return hard();
  });
}
