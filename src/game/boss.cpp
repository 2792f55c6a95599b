// The boss: loops an orbit over the right half of the field from stage frame 6540, fires pools A and B and a
// charged laser on a 120-count cycle, and takes a point of damage per shot strike until 150 ends the stage. A
// laser firing freezes the game for a few unpaced frames; a strike costs a point of shield.
#include <cmath>
#include <numbers>

#include "game_units.h"
#include "hit_boxes.h"
#include "vomak.h"

namespace {

constexpr double kPi = std::numbers::pi;

uint32_t ChargeColour() { return PackScreenColor(255, 80, 80); }
uint32_t BeamColour() { return PackScreenColor(255, 50, 50); }

void DrawBossPicture(const GameLoop& game) {
  DrawGraph(Truncated(game.boss.x), Truncated(game.boss.y), game.assets.boss, 1);
}

// "e_HP:" and the hit-point bar, whose right end moves 3 pixels left per strike.
void DrawBossHud(const GameLoop& game, int labelY) {
  DrawTextWithFont(10, labelY, "e_HP:", White(), game.assets.smallFont, 0, 0);
  DrawBoxShape(60, 15, Truncated((150.0 - game.boss.damage) * 3.0 + 60.0), 25, PackScreenColor(255, 40, 40), 1);
}

void DrawBeam(const GameLoop& game) {
  const BossState& b = game.boss;
  DrawBoxShape(0, Truncated(b.y + 30.0), Truncated(b.x - 18.0), Truncated(b.y + 32.0), BeamColour(), 1);
}

void DrawCharge(const GameLoop& game, int radius) {
  DrawCircle(Truncated(game.boss.x - 16.0), Truncated(game.boss.y + 31.0), radius, ChargeColour(), 1);
}

void DrawBackdrop(const GameLoop& game) {
  ClearDrawTarget();
  DrawGraph(game.scroll, 0, game.assets.background, 0);
}

void DrawShipStill(const GameLoop& game) {
  DrawGraph(Truncated(game.player.x), Truncated(game.player.y), game.assets.shipFrames[0], 1);
}

// The kinds, the shots and the kinds' bullets where they stand, kind by kind.
void RedrawKindsShotsBullets(const GameLoop& game) {
  for (int kind = 0; kind < kEnemyKinds; ++kind) {
    DrawEnemyKind(game, kind);
    const EnemyBulletPool& bullets = game.enemyBullets[kind];
    for (int slot = 0; slot < kShotSlots; ++slot) {
      if (PumpWindowMessages() != 0) break;
      for (int stream = 0; stream < kShotStreams; ++stream) {
        if (PumpWindowMessages() != 0) break;
        if (game.shots.active[slot][stream] == 1) DrawShot(game, slot, stream);
      }
      if (bullets.active[slot] == 1) {
        DrawGraph(Truncated(bullets.x[slot]), Truncated(bullets.y[slot]), game.assets.enemyBullet, 1);
      }
    }
  }
}

// The pools, the kinds with the shots and their bullets, and the boss's hit points, as every frozen frame shows them.
void DrawFrozenField(const GameLoop& game, int labelY) {
  DrawPool(game, game.poolA, PoolKind::A);
  DrawPool(game, game.poolB, PoolKind::B);
  RedrawKindsShotsBullets(game);
  DrawBossHud(game, labelY);
}

// Presents a frozen frame; a closed window ends the program from here.
void PresentFrozen() {
  G_DDraw_FlipScreen();
  if (PumpWindowMessages() != 0) throw ProgramEnd{};
}

void HitSequence(GameLoop& game, int t) {
  PlayEffect(game.assets.hitSound);
  PlayerShip& p = game.player;
  // The flash grows over six frames, then shrinks over six more while the ship shakes back.
  for (int half = 0; half < 2; ++half) {
    for (int k = 0; k < 6; ++k) {
      DrawBackdrop(game);
      DrawBeam(game);
      DrawCharge(game, 130 - t);
      DrawBossPicture(game);
      DrawHitFlash(game, half == 0 ? k / 2 : 2 - k / 2);
      DrawFrozenField(game, half == 0 ? 14 : 13);
      DrawShieldGroup(game, true);
      DrawScoreGroup(game);
      p.x += half == 0 ? -1 : 1;
      PresentFrozen();
    }
  }
  ++p.damage;
  p.power = 0;
  p.speed = 3;
  if (p.damage < 5) return;
  // The shield is gone: the ship is swept off to the left.
  for (int k = 0; k < 150; ++k) {
    DrawBackdrop(game);
    DrawBeam(game);
    DrawBossPicture(game);
    DrawShipStill(game);
    DrawFrozenField(game, 13);
    DrawShieldGroup(game, false);
    DrawTextWithFont(Truncated(p.x - 40.0), Truncated(p.y - 40.0), "Hit!", PackScreenColor(60, 60, 255),
                     game.assets.bigFont, 0, 0);
    DrawScoreGroup(game);
    p.x -= k;
    PresentFrozen();
  }
}

void LaserMissSequence(GameLoop& game, int t) {
  for (int k = 0; k < 6; ++k) {
    DrawBackdrop(game);
    DrawBossPicture(game);
    DrawShipStill(game);
    DrawFrozenField(game, 13);
    DrawShieldGroup(game, true);
    DrawBeam(game);
    DrawCharge(game, 120 - t);
    DrawScoreGroup(game);
    PresentFrozen();
  }
}

}  // namespace

void ResetBoss(GameLoop& game) {
  game.boss = BossState{530.0f, 202.0f, 0.0, 0.0, 0.0, 0};
  game.orbitPhase = 0;
  game.phaseStep = 0;
}

void UpdateBoss(GameLoop& game) {
  BossState& b = game.boss;
  const int t = static_cast<int>(b.attackCounter % 120);

  b.orbitAngle = 2.0 * std::sin(kPi * game.orbitPhase);
  game.phaseStep = 0.02 * std::sin(0.1 * b.rateClock * kPi);
  if (b.rateClock > 9.9998) {
    b.rateClock = 0;
  } else {
    b.rateClock += 0.0002;
  }
  if (game.orbitPhase >= 1) {
    game.orbitPhase = 0;
  } else {
    game.orbitPhase += 0.0001 + game.phaseStep;
  }

  if (t >= 85 && t <= 118) DrawCharge(game, t - 93);
  if (t >= 117) {
    PlayEffect(game.assets.laserSound);
    if (LaserHitsPlayer(b, game.player)) {
      HitSequence(game, t);
    } else {
      LaserMissSequence(game, t);
    }
  }

  FireDueRows(game.poolA, PoolKind::A, b.attackCounter, b.x + 37.0f, b.y + 50.0f);
  UpdatePool(game, game.poolA, PoolKind::A);
  FireDueRows(game.poolB, PoolKind::B, b.attackCounter, b.x + 37.0f, b.y + 50.0f);
  UpdatePool(game, game.poolB, PoolKind::B);

  b.attackCounter += (t > 0 && t <= 70) ? static_cast<uint32_t>(GetRandomUpTo(2)) : 1u;
  if (b.attackCounter > 2700) b.attackCounter = 1;

  b.x = static_cast<float>(100.0 * std::cos(kPi * b.orbitAngle) + 430.0);
  b.y = static_cast<float>(130.0 * std::sin(kPi * b.orbitAngle) + 202.0);

  DrawBossPicture(game);
  DrawBossHud(game, 13);
}

void TestShotOnBoss(GameLoop& game, int slot, int stream) {
  BossState& b = game.boss;
  if (game.shots.active[slot][stream] != 1) return;
  if (!ShotHitsBoss(game.shots.x[slot][stream], game.shots.y[slot][stream], b)) return;
  PlayEffect(game.assets.enemyHitSound);
  b.damage += 1;
  game.score += 25;
  if (b.damage == 150.0) game.score += 300;
  game.shots.active[slot][stream] = 0;
  DrawTextWithFont(Truncated(b.x + 100.0), Truncated(b.y + 80.0), "Hit!", PackScreenColor(255, 220, 200),
                   game.assets.bigFont, 0, 0);
}
