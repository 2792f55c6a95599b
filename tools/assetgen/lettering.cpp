// Lettering through FreeType: glyphs rendered anti-aliased into masks, with blur and dilation for glows and rims.
#include "lettering.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>

namespace assetgen {

Lettering::Lettering(const std::string& fontFile) {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return;
  library_ = library;
  FT_Face face = nullptr;
  if (FT_New_Face(library, fontFile.c_str(), 0, &face) == 0) face_ = face;
}

Lettering::~Lettering() {
  if (face_) FT_Done_Face(static_cast<FT_Face>(face_));
  if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

Mask Lettering::Render(const std::string& text, int pixelSize, float spacing, int margin) const {
  Mask out;
  if (!face_) return out;
  FT_Face face = static_cast<FT_Face>(face_);
  FT_Set_Pixel_Sizes(face, 0, pixelSize);
  // First pass: measure the ink box on a baseline at y 0.
  struct Placed {
    std::vector<unsigned char> bits;
    int width, rows, left, top;
    float pen;
  };
  std::vector<Placed> glyphs;
  float pen = 0;
  int minX = 1 << 30, maxX = -(1 << 30), minY = 1 << 30, maxY = -(1 << 30);
  FT_UInt previous = 0;
  for (unsigned char ch : text) {
    FT_UInt index = FT_Get_Char_Index(face, ch);
    if (previous && index && FT_HAS_KERNING(face)) {
      FT_Vector kern;
      FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &kern);
      pen += kern.x / 64.0f;
    }
    previous = index;
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER) != 0) continue;
    FT_GlyphSlot slot = face->glyph;
    Placed p{{}, static_cast<int>(slot->bitmap.width), static_cast<int>(slot->bitmap.rows), slot->bitmap_left,
             slot->bitmap_top, pen};
    for (int r = 0; r < p.rows; ++r)
      for (int c = 0; c < p.width; ++c) p.bits.push_back(slot->bitmap.buffer[r * slot->bitmap.pitch + c]);
    if (p.width > 0 && p.rows > 0) {
      int gx = static_cast<int>(std::floor(pen)) + p.left;
      minX = std::min(minX, gx);
      maxX = std::max(maxX, gx + p.width);
      minY = std::min(minY, -p.top);
      maxY = std::max(maxY, -p.top + p.rows);
    }
    glyphs.push_back(std::move(p));
    pen += slot->advance.x / 64.0f + spacing;
  }
  if (minX > maxX) return out;
  out.width = maxX - minX + 2 * margin;
  out.height = maxY - minY + 2 * margin;
  out.cover.assign(static_cast<size_t>(out.width) * out.height, 0);
  for (const Placed& p : glyphs) {
    int gx = static_cast<int>(std::floor(p.pen)) + p.left - minX + margin;
    int gy = -p.top - minY + margin;
    for (int r = 0; r < p.rows; ++r)
      for (int c = 0; c < p.width; ++c) {
        float& cell = out.cover[static_cast<size_t>(gy + r) * out.width + gx + c];
        cell = std::min(1.0f, cell + p.bits[static_cast<size_t>(r) * p.width + c] / 255.0f);
      }
  }
  return out;
}

Mask Blur(const Mask& mask, int radius) {
  Mask out;
  out.width = mask.width + 2 * radius;
  out.height = mask.height + 2 * radius;
  out.cover.assign(static_cast<size_t>(out.width) * out.height, 0);
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x) out.cover[static_cast<size_t>(y + radius) * out.width + x + radius] = mask.at(x, y);
  std::vector<float> line;
  for (int pass = 0; pass < 3; ++pass) {
    int r = std::max(1, radius / 2);
    for (int y = 0; y < out.height; ++y) {
      line.assign(out.cover.begin() + static_cast<long>(y) * out.width,
                  out.cover.begin() + static_cast<long>(y + 1) * out.width);
      for (int x = 0; x < out.width; ++x) {
        float sum = 0;
        for (int k = -r; k <= r; ++k) sum += (x + k >= 0 && x + k < out.width) ? line[x + k] : 0;
        out.cover[static_cast<size_t>(y) * out.width + x] = sum / (2 * r + 1);
      }
    }
    for (int x = 0; x < out.width; ++x) {
      line.resize(out.height);
      for (int y = 0; y < out.height; ++y) line[y] = out.cover[static_cast<size_t>(y) * out.width + x];
      for (int y = 0; y < out.height; ++y) {
        float sum = 0;
        for (int k = -r; k <= r; ++k) sum += (y + k >= 0 && y + k < out.height) ? line[y + k] : 0;
        out.cover[static_cast<size_t>(y) * out.width + x] = sum / (2 * r + 1);
      }
    }
  }
  return out;
}

Mask Dilate(const Mask& mask, int radius) {
  Mask out;
  out.width = mask.width + 2 * radius;
  out.height = mask.height + 2 * radius;
  out.cover.assign(static_cast<size_t>(out.width) * out.height, 0);
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) {
      float best = 0;
      for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
          float reach = Clamp01(radius + 0.5f - std::hypot(static_cast<float>(dx), static_cast<float>(dy)));
          if (reach > 0) best = std::max(best, reach * mask.at(x - radius + dx, y - radius + dy));
        }
      out.cover[static_cast<size_t>(y) * out.width + x] = best;
    }
  return out;
}

void PaintMask(Canvas& canvas, const Mask& mask, int x, int y, const std::function<Rgba(int, int)>& colour,
               float strength) {
  for (int my = 0; my < mask.height; ++my)
    for (int mx = 0; mx < mask.width; ++mx) {
      float c = mask.cover[static_cast<size_t>(my) * mask.width + mx] * strength;
      if (c > 0) canvas.Blend(x + mx, y + my, colour(mx, my), c);
    }
}

void LightMask(Canvas& canvas, const Mask& mask, int x, int y, const Rgba& colour, float strength) {
  for (int my = 0; my < mask.height; ++my)
    for (int mx = 0; mx < mask.width; ++mx) {
      float c = mask.cover[static_cast<size_t>(my) * mask.width + mx] * strength;
      if (c > 0) canvas.AddLight(x + mx, y + my, colour, c);
    }
}

}  // namespace assetgen
