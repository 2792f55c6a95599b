// Lettering: text rendered through FreeType into coverage masks, and masks blurred into glows.
#pragma once

#include <string>
#include <vector>

#include "canvas.h"

namespace assetgen {

// A coverage mask, 0..1 per pixel.
struct Mask {
  int width = 0;
  int height = 0;
  std::vector<float> cover;
  float at(int x, int y) const {
    return x < 0 || y < 0 || x >= width || y >= height ? 0 : cover[static_cast<size_t>(y) * width + x];
  }
};

// One font file opened through FreeType for the life of the object.
class Lettering {
 public:
  explicit Lettering(const std::string& fontFile);
  ~Lettering();
  Lettering(const Lettering&) = delete;
  Lettering& operator=(const Lettering&) = delete;
  bool ok() const { return face_ != nullptr; }
  // Renders one line of ASCII text at a pixel height (em size), anti-aliased, extra spacing in pixels between
  // letters; the mask is cropped to the ink with a margin around it.
  Mask Render(const std::string& text, int pixelSize, float spacing = 0, int margin = 0) const;

 private:
  void* library_ = nullptr;
  void* face_ = nullptr;
};

// A mask blurred with a few box passes of the given radius (it grows by the radius on every side).
Mask Blur(const Mask& mask, int radius);
// A mask grown by radius pixels (a disc dilation), for outlines.
Mask Dilate(const Mask& mask, int radius);
// Paints a mask onto a canvas at (x, y) with a colour that may vary with the pixel's place inside the mask.
void PaintMask(Canvas& canvas, const Mask& mask, int x, int y, const std::function<Rgba(int, int)>& colour,
               float strength = 1);
// Adds a mask as light (for glows).
void LightMask(Canvas& canvas, const Mask& mask, int x, int y, const Rgba& colour, float strength);

}  // namespace assetgen
