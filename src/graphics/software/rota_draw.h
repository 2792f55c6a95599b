// The rotated drawer's geometry and pixel scan on plain surface views: corners, bounding box, clipping and the
// fixed-point source stepping (18 fraction bits), then one blend nest over the clipped box.
#pragma once
#include <cstdint>

#include "graphics/software/rota_blend.h"
#include "graphics/software/rota_span.h"

struct RotaRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
};

enum class RotaPlan : uint8_t { Nothing, Scan, Turn };

struct RotaGeometry {
  RotaPlan plan = RotaPlan::Nothing;
  int64_t cornerX[4] = {}, cornerY[4] = {};  // fixed point: top-left, bottom-left, bottom-right, top-right
  // Turn path: the whole-pixel corners for the four-corner drawer, as its top-left, top-right, bottom-left,
  // bottom-right (corners 3, 0, 2, 1: a left-right mirror).
  int32_t modiX[4] = {}, modiY[4] = {};
  // Scan path: the clipped box and the source stepping.
  RotaRect box;
  rotaspan::Wide uTop = 0, vTop = 0, duRow = 0, dvRow = 0;
  int64_t duPixel = 0, dvPixel = 0;
};

// Truncates toward zero into the 64-bit range (saturating; NaN gives 0).
int64_t RotaTruncate(double value);

// Works out what a rotated draw of a width x height graph centred on (x, y) does inside clip.
void RotaComputeGeometry(int32_t x, int32_t y, double scale, double angle, uint32_t width, uint32_t height,
                         bool turn, const RotaRect& clip, RotaGeometry* g);

// Runs the nest over the box: dst and bg are the origins the box positions are added to.
void RotaScanPixels(const RotaGeometry& g, const RotaNest& nest, const RotaBlendContext& c, RotaSurfaceView dst,
                    RotaSurfaceView bg, const RotaTexView& tex);
