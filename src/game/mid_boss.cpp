// The mid-boss: enters at stage frame 4360, swings in and circles the middle right of the field firing ring bursts,
// leaves to the right after frame 5940, or is destroyed by 130 shot strikes for 800 points each from then on.
#include <cmath>
#include <numbers>

#include "game_units.h"
#include "hit_boxes.h"
#include "vomak.h"

void ResetMidBoss(MidBossState& midBoss) { midBoss = MidBossState{820.0f, 202.0f, 1.0, 0.0, 0.0, 0}; }

void UpdateMidBoss(GameLoop& game) {
  MidBossState& m = game.midBoss;
  const int32_t f = game.stageFrameCounter;
  if (m.frames == 0 && f == 4360) m.frames = 1;
  if (m.frames >= 1) {
    ++m.frames;
    if (m.hits >= 130) m.frames = 0;
    if (f <= 5940) {
      if (m.frames <= 240) m.drift -= 1;
      const double angle = m.frames * std::numbers::pi / 360.0;
      m.x = static_cast<float>(80.0 * std::cos(angle) + (m.drift + 740.0));
      m.y = static_cast<float>(100.0 * std::sin(angle) + 202.0);
    } else {
      m.x = static_cast<float>(m.x + m.exitSpeed);
      if (m.x >= 640) m.hits = 130;
    }
    FireDueRows(game.midBossPool, PoolKind::MidBoss, m.frames, m.x + 37.0f, m.y + 50.0f);
  }
  UpdatePool(game, game.midBossPool, PoolKind::MidBoss);
}

void TestShotOnMidBoss(GameLoop& game, int slot, int stream) {
  MidBossState& m = game.midBoss;
  if (game.shots.active[slot][stream] != 1) return;
  if (!ShotHitsMidBoss(game.shots.x[slot][stream], game.shots.y[slot][stream], m)) return;
  PlayEffect(game.assets.enemyHitSound);
  m.hits += 1;
  game.shots.active[slot][stream] = 0;
  if (m.hits >= 130) game.score += 800;
  DrawTextWithFont(Truncated(m.x + 100.0), Truncated(m.y + 80.0), "Hit!", PackScreenColor(255, 220, 200),
                   game.assets.bigFont, 0, 0);
}

void DrawMidBoss(const GameLoop& game) {
  const MidBossState& m = game.midBoss;
  if (m.frames < 1) return;
  const uint32_t r = m.frames % 100;
  const int cell = r <= 25 ? 2 : r <= 35 ? 1 : r <= 65 ? 0 : r <= 75 ? 1 : 2;
  DrawGraph(Truncated(m.x), Truncated(m.y), game.assets.midBossFrames[cell], 1);
}
