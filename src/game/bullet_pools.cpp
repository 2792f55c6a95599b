// Ring bursts: when a row of a pool is due, its free slots start at the owner's port and fly straight outwards, 4
// pixels a frame, in directions spread evenly over the circle, until they leave the field or strike the ship.
#include <cmath>
#include <numbers>

#include "game_units.h"
#include "hit_boxes.h"
#include "vomak.h"

namespace {

struct PoolShape {
  int usedSlots;   // slots of a row that are fired and scanned
  uint32_t modulus;
  uint32_t firstDue;  // row r is due when counter mod modulus = firstDue + dueStep * r
  uint32_t dueStep;
  float rightBound;
};

PoolShape ShapeOf(PoolKind kind) {
  switch (kind) {
    case PoolKind::A: return {16, 900, 1, 61, 640.0f};
    case PoolKind::B: return {15, 900, 31, 61, 640.0f};
    default: return {16, 400, 1, 41, 820.0f};
  }
}

int PictureOf(const GameLoop& game, PoolKind kind) {
  return kind == PoolKind::A ? game.assets.bossBulletA : game.assets.bossBulletB;
}

}  // namespace

void ResetPool(BossBulletPool& pool) {
  for (int r = 0; r < kPoolRows; ++r) {
    for (int j = 0; j < kPoolSlots; ++j) {
      pool.x[r][j] = 640.0f;
      pool.y[r][j] = 202.0f;
      pool.active[r][j] = 0;
    }
  }
}

void FireDueRows(BossBulletPool& pool, PoolKind kind, uint32_t counter, float originX, float originY) {
  const PoolShape shape = ShapeOf(kind);
  for (uint32_t r = 0; r < kPoolRows; ++r) {
    if (counter % shape.modulus != shape.firstDue + shape.dueStep * r) continue;
    for (int j = 0; j < shape.usedSlots; ++j) {
      if (PumpWindowMessages() != 0) break;
      if (pool.active[r][j] != 0) continue;
      pool.x[r][j] = originX;
      pool.y[r][j] = originY;
      pool.active[r][j] = 1;
    }
  }
}

void UpdatePool(GameLoop& game, BossBulletPool& pool, PoolKind kind) {
  const PoolShape shape = ShapeOf(kind);
  PlayerShip& p = game.player;
  for (int r = 0; r < kPoolRows; ++r) {
    for (int j = 0; j < shape.usedSlots; ++j) {
      float& x = pool.x[r][j];
      float& y = pool.y[r][j];
      if (pool.active[r][j] != 1 || !(x > -20 && x < shape.rightBound && y > -20 && y < 480)) {
        pool.active[r][j] = 0;
        continue;
      }
      double angle = 2.0 * std::numbers::pi * (j + 1) / shape.usedSlots;
      x = static_cast<float>(x + 4.0 * std::cos(angle));
      y = static_cast<float>(y + 4.0 * std::sin(angle));
      DrawGraph(Truncated(x), Truncated(y), PictureOf(game, kind), 1);
      if (!PoolBulletHitsPlayer(x, y, p)) continue;
      PlayEffect(game.assets.hitSound);
      ++p.damage;
      p.speed = 3;
      p.power = 0;
      pool.active[r][j] = 0;
      if (p.damage < 5) DrawHitFlash(game, 1);
    }
  }
}

void DrawPool(const GameLoop& game, const BossBulletPool& pool, PoolKind kind) {
  const PoolShape shape = ShapeOf(kind);
  for (int r = 0; r < kPoolRows; ++r) {
    for (int j = 0; j < shape.usedSlots; ++j) {
      if (pool.active[r][j] == 1) DrawGraph(Truncated(pool.x[r][j]), Truncated(pool.y[r][j]), PictureOf(game, kind), 1);
    }
  }
}
