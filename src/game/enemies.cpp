// The stage's small opponents and pick-ups: five scripted enemy kinds that drift left and fire aimed bullets, the
// homing formation A and the sine-wave formation B, and the power and speed items that destroyed enemies drop.
#include <cmath>
#include <numbers>

#include "game_units.h"
#include "hit_boxes.h"
#include "vomak.h"

namespace {

float KindStartY(int kind) { return static_cast<float>(90 * kind + 28); }
float FormationAStartY(int row) { return static_cast<float>(145 * row + 30); }
float FormationBStartY(int row) { return static_cast<float>(120 * row + 82); }

// A destroyed enemy leaves its item where it stood, unless that item is still drifting.
void DropItem(EnemyUnit& item, const EnemyUnit& from) {
  if (item.active != 0) return;
  item.active = 1;
  item.x = from.x;
  item.y = from.y;
}

void Activate(EnemyUnit& unit) {
  if (unit.lifetime == 0) unit.lifetime = 1;
}

// The kinds' spawns keyed to the stage frame counter and, during the boss fight, to the boss's attack counter.
bool KindDue(const GameLoop& game, int kind) {
  const int32_t f = game.stageFrameCounter;
  const uint32_t attack = game.boss.attackCounter % 2699;
  const bool lowScore = game.score < 100000;
  switch (kind) {
    case 0: return lowScore && (f == 1610 || attack == 1350);
    case 1: return f == 1580;
    case 2: return f == 2060 || f == 5900;
    case 3: return f == 420;
    default: return lowScore && (f == 450 || attack == 1);
  }
}

bool FormationADue(int32_t f, int column, int row) {
  const int at = 20 * column;
  switch (row) {
    case 0: return f == 260 + at || f == 3000 + at;
    case 1: return f == 1200 + at;
    default: return f == 400 + at || f == 5900 + at;
  }
}

bool FormationBDue(int32_t f, int column, int row) {
  const int at = 20 * column;
  switch (row) {
    case 0: return f % 934 == 160 + at || f == 3070 + at;
    case 1: return f % 1090 == 1000 + at;
    default: return f % 934 == 300 + at || f == 5940 + at;
  }
}

// A unit shot down or gone off screen waits, idle, at its start on the right edge.
void ParkFormationUnit(EnemyUnit& unit, float startY) {
  unit.hits = 0;
  unit.lifetime = 0;
  unit.x = 640.0f;
  unit.y = startY;
}

// Formation A homes on the ship: x first, then y with the angle taken anew from the new x.
void UpdateFormationA(GameLoop& game, int column, int row) {
  EnemyUnit& unit = game.formationA[column][row];
  if (unit.hits >= 3) {
    DropItem(game.speedItems[row], unit);
    ParkFormationUnit(unit, FormationAStartY(row));
  }
  if (unit.lifetime == 0) return;
  ++unit.lifetime;
  if (unit.x >= -64) {
    const PlayerShip& p = game.player;
    double angle = std::atan2(static_cast<double>(p.y) - unit.y, static_cast<double>(p.x) - unit.x);
    unit.x = static_cast<float>(unit.x + unit.speed * std::cos(angle));
    angle = std::atan2(static_cast<double>(p.y) - unit.y, static_cast<double>(p.x) - unit.x);
    unit.y = static_cast<float>(unit.y + unit.speed * std::sin(angle));
  } else {
    unit.hits = 3;
  }
}

void UpdateFormationB(GameLoop& game, int column, int row) {
  EnemyUnit& unit = game.formationB[column][row];
  if (unit.hits >= 3) ParkFormationUnit(unit, FormationBStartY(row));
  if (unit.lifetime == 0) return;
  ++unit.lifetime;
  if (unit.x >= -64) {
    unit.x -= unit.speed;
    unit.y = static_cast<float>(40.0 * std::sin(std::numbers::pi * unit.x / 160.0) + FormationBStartY(row));
  } else {
    unit.hits = 3;
  }
}

// One item's drift and pickup; true when it was taken.
bool DriftAndPickUp(GameLoop& game, EnemyUnit& item) {
  if (item.x > -30 && item.x < 640 && item.y > -30 && item.y < 480) {
    item.x -= 1;
  } else {
    item.active = 0;
  }
  if (!PlayerTakesItem(game.player, item)) return false;
  PlayEffect(game.assets.confirmSound);
  game.score += 100;
  item.active = 0;
  item.x = 640.0f;
  return true;
}

// A shot's strike on a kind or a formation record; scores once the hits reach the limit.
void Strike(GameLoop& game, EnemyUnit& unit, int slot, int stream, int limit, uint32_t points) {
  PlayEffect(game.assets.enemyHitSound);
  ++unit.hits;
  game.shots.active[slot][stream] = 0;
  if (unit.hits >= limit) game.score += points;
}

void TestShotOnFormation(GameLoop& game, EnemyUnit (&formation)[kFormationColumns][kFormationRows], int slot,
                         int stream) {
  for (int column = 0; column < kFormationColumns; ++column) {
    for (int row = 0; row < kFormationRows; ++row) {
      EnemyUnit& unit = formation[column][row];
      if (unit.lifetime == 0) continue;
      if (PumpWindowMessages() != 0) break;
      if (game.shots.active[slot][stream] != 0 &&
          ShotHitsFormation(game.shots.x[slot][stream], game.shots.y[slot][stream], unit)) {
        Strike(game, unit, slot, stream, 3, 100);
      }
    }
  }
}

void DrawFormation(const EnemyUnit (&formation)[kFormationColumns][kFormationRows], const int (&frames)[2]) {
  for (int row = 0; row < kFormationRows; ++row) {
    for (int column = 0; column < kFormationColumns; ++column) {
      const EnemyUnit& unit = formation[column][row];
      if (unit.lifetime == 0) continue;
      uint32_t phase = unit.lifetime % 100;
      DrawGraph(Truncated(unit.x), Truncated(unit.y), frames[phase >= 1 && phase <= 60 ? 0 : 1], 1);
    }
  }
}

}  // namespace

void ResetEnemies(GameLoop& game) {
  for (int k = 0; k < kEnemyKinds; ++k) game.enemyKinds[k] = EnemyUnit{640.0f, KindStartY(k), 1, 0, 0, 0, 0};
  for (int j = 0; j < kSpeedItems; ++j) game.speedItems[j] = EnemyUnit{640.0f, KindStartY(j), 1, 0, 0, 0, 0};
  for (int k = 0; k < kPowerItems; ++k) game.powerItems[k] = EnemyUnit{640.0f, FormationAStartY(k), 1, 0, 0, 0, 0};
  for (int i = 0; i < kFormationColumns; ++i) {
    for (int j = 0; j < kFormationRows; ++j) {
      game.formationA[i][j] = EnemyUnit{640.0f, FormationAStartY(j), 3, 0, 0, 0, 0};
      game.formationB[i][j] = EnemyUnit{640.0f, FormationBStartY(j), 3, 0, 0, 0, 0};
    }
  }
}

void ResetEnemyBullets(GameLoop& game) {
  for (int k = 0; k < kEnemyKinds; ++k) {
    EnemyBulletPool& pool = game.enemyBullets[k];
    pool = EnemyBulletPool{};
    for (int s = 0; s < kEnemyBullets; ++s) {
      pool.x[s] = 640.0f;
      pool.y[s] = game.enemyKinds[k].y;
    }
  }
}

void SpawnEnemyKinds(GameLoop& game) {
  for (int k = 0; k < kEnemyKinds; ++k) {
    if (KindDue(game, k)) Activate(game.enemyKinds[k]);
  }
}

void UpdateEnemyKinds(GameLoop& game) {
  for (int k = 0; k < kEnemyKinds; ++k) {
    if (PumpWindowMessages() != 0) break;
    EnemyUnit& kind = game.enemyKinds[k];
    if (kind.hits >= 7) {
      DropItem(game.powerItems[k], kind);
      kind.lifetime = 0;
      kind.x = 640.0f;
      kind.hits = 0;
    }
    if (kind.lifetime != 0) {
      ++kind.lifetime;
      if (kind.x >= -64) {
        kind.x -= kind.speed;
      } else {
        kind.hits = 0;
        kind.lifetime = 0;
        kind.x = 640.0f;
      }
    }
    EnemyBulletPool& bullets = game.enemyBullets[k];
    int slot = kind.bulletRingIndex;
    uint32_t phase = kind.lifetime % 100;
    if (bullets.active[slot] == 0 && (phase == 10 || phase == 20 || phase == 40)) {
      bullets.active[slot] = 1;
      bullets.targetX[slot] = game.player.x;
      bullets.targetY[slot] = game.player.y;
      bullets.originX[slot] = bullets.x[slot] = kind.x;
      bullets.originY[slot] = bullets.y[slot] = kind.y;
      kind.bulletRingIndex = static_cast<int16_t>(slot == kEnemyBullets - 1 ? 0 : slot + 1);
    }
  }
}

void SpawnAndUpdateFormations(GameLoop& game) {
  const int32_t f = game.stageFrameCounter;
  for (int i = 0; i < kFormationColumns; ++i) {
    for (int j = 0; j < kFormationRows; ++j) {
      if (FormationADue(f, i, j)) Activate(game.formationA[i][j]);
    }
  }
  for (int j = 0; j < kFormationRows; ++j) {
    for (int i = 0; i < kFormationColumns; ++i) UpdateFormationA(game, i, j);
  }
  for (int i = 0; i < kFormationColumns; ++i) {
    for (int j = 0; j < kFormationRows; ++j) {
      if (FormationBDue(f, i, j)) Activate(game.formationB[i][j]);
    }
  }
  for (int j = 0; j < kFormationRows; ++j) {
    for (int i = 0; i < kFormationColumns; ++i) UpdateFormationB(game, i, j);
  }
}

void UpdateItems(GameLoop& game) {
  for (EnemyUnit& item : game.powerItems) {
    if (item.active == 0) continue;
    if (DriftAndPickUp(game, item) && game.player.power < 7) ++game.player.power;
    DrawGraph(Truncated(item.x), Truncated(item.y), game.assets.powerItem, 1);
  }
  for (EnemyUnit& item : game.speedItems) {
    if (item.active == 0) continue;
    if (DriftAndPickUp(game, item) && game.player.speed < 8) game.player.speed += 2;
  }
  for (const EnemyUnit& item : game.speedItems) {
    if (item.active != 0) DrawGraph(Truncated(item.x), Truncated(item.y), game.assets.speedItem, 1);
  }
}

void DrawEnemyKind(const GameLoop& game, int kind) {
  const EnemyUnit& unit = game.enemyKinds[kind];
  uint32_t phase = unit.lifetime % 100;
  DrawGraph(Truncated(unit.x), Truncated(unit.y), game.assets.enemyFrames[phase >= 1 && phase <= 60 ? 1 : 0], 1);
}

void DrawEnemies(const GameLoop& game) {
  for (int k = 0; k < kEnemyKinds; ++k) DrawEnemyKind(game, k);
  DrawFormation(game.formationA, game.assets.formationAFrames);
  DrawFormation(game.formationB, game.assets.formationBFrames);
}

void DrawHitFlash(const GameLoop& game, int cell) {
  DrawGraph(Truncated(game.player.x - 3.0), Truncated(game.player.y - 19.0), game.assets.hitFlash[cell], 1);
}

void UpdateEnemyBullets(GameLoop& game) {
  PlayerShip& p = game.player;
  for (EnemyBulletPool& bullets : game.enemyBullets) {
    for (int s = 0; s < kEnemyBullets; ++s) {
      if (PumpWindowMessages() != 0) break;
      if (bullets.active[s] == 0) continue;
      float& x = bullets.x[s];
      float& y = bullets.y[s];
      DrawGraph(Truncated(x), Truncated(y), game.assets.enemyBullet, 1);
      if (x > -16 && x < 640 && y > -8 && y < 480) {
        double angle = std::atan2(static_cast<double>(bullets.targetY[s]) - bullets.originY[s],
                                  static_cast<double>(bullets.targetX[s]) - bullets.originX[s]);
        x = static_cast<float>(x + 4.0 * std::cos(angle));
        y = static_cast<float>(y + 4.0 * std::sin(angle));
      } else {
        bullets.active[s] = 0;
      }
      // Tested also in the frame in which it left the screen.
      if (!EnemyBulletHitsPlayer(x, y, p)) continue;
      PlayEffect(game.assets.hitSound);
      p.speed = 3;
      p.power = 0;
      ++p.damage;
      bullets.active[s] = 0;
      if (p.damage < 5) DrawHitFlash(game, 1);
    }
  }
}

void TestShotOnEnemies(GameLoop& game, int slot, int stream) {
  for (EnemyUnit& kind : game.enemyKinds) {
    if (kind.lifetime == 0) continue;
    if (PumpWindowMessages() != 0) break;
    if (game.shots.active[slot][stream] != 0 &&
        ShotHitsKind(game.shots.x[slot][stream], game.shots.y[slot][stream], kind)) {
      Strike(game, kind, slot, stream, 7, 200);
    }
  }
  TestShotOnFormation(game, game.formationA, slot, stream);
  TestShotOnFormation(game, game.formationB, slot, stream);
}
