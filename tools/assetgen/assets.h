// The generated set: every picture and sound the game loads, made from one seed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "canvas.h"
#include "lettering.h"

namespace assetgen {

// One picture of the set: its file name under CG/ and whether it keeps an alpha plane.
struct Picture {
  std::string name;
  Canvas canvas;
  bool alpha;
};

// The sprites: ship, enemies, mid-boss, boss, bullets, shot, items, flashes, icon.
std::vector<Picture> MakeSprites(const Lettering& font, uint64_t seed);
// The opaque pictures: the stage backdrop, the title cells and the splash.
std::vector<Picture> MakeScenery(const Lettering& font, uint64_t seed);

// Cells drawn one by one and laid out row by row into one sheet.
Canvas Sheet(const std::vector<Canvas>& cells, int columns);

// Draws the player's ship facing right with its top-left at (x, y), scaled; flame 0 (none) to 1 (full thrust).
void DrawShip(Canvas& canvas, float x, float y, float scale, float flame);

}  // namespace assetgen
