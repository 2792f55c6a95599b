// The player's ship and its shots: movement by the pad's direction bits, volleys of up to five streams, the shot
// pass with its hit tests, and the ship's two-frame picture that blinks after each new life.
#include <cmath>
#include <numbers>

#include "game_units.h"
#include "hit_boxes.h"
#include "vomak.h"

namespace {

// Stream k flies at (k - 2) * pi / 55 from the +x axis.
double StreamAngle(int stream) { return (stream - 2) * std::numbers::pi / 55.0; }

// Places stream k's next shot at the origin when its slot is free.
void PlaceShot(GameLoop& game, int stream) {
  ShotGrid& shots = game.shots;
  int slot = shots.ringIndex[stream];
  if (shots.active[slot][stream] != 0) return;
  shots.x[slot][stream] = static_cast<float>(game.shotOriginX);
  shots.y[slot][stream] = static_cast<float>(game.shotOriginY);
  shots.active[slot][stream] = 1;
  shots.ringIndex[stream] = static_cast<int16_t>(slot == kShotSlots - 1 ? 0 : slot + 1);
}

void Fire(GameLoop& game) {
  PlayerShip& player = game.player;
  if ((game.stagePadBits & kPadFire) == 0) {
    player.shotTimer = 1;
    return;
  }
  if (player.shotTimer == 1 && game.shots.active[game.shots.ringIndex[2]][2] == 0) {
    PlayEffect(game.assets.shotSound);
    PlaceShot(game, 2);
    if (player.power > 0) {
      PlaceShot(game, 1);
      PlaceShot(game, 3);
    }
    if (player.power > 4) {
      PlaceShot(game, 0);
      PlaceShot(game, 4);
    }
  }
  ++player.shotTimer;
  uint32_t period = player.power == 0 ? 6 : player.power <= 5 ? 10 : 14;
  if (player.shotTimer >= period) player.shotTimer = 1;
}

}  // namespace

void ResetPlayer(PlayerShip& player) { player = PlayerShip{70.0f, 224.0f, 3, 0, 0, 1}; }

void ResetShotGrid(ShotGrid& shots) {
  shots = ShotGrid{};
  for (auto& row : shots.x) {
    for (float& x : row) x = 640.0f;
  }
}

void MoveAndFire(GameLoop& game) {
  PlayerShip& p = game.player;
  uint32_t pad = game.stagePadBits;
  // Each bound is tested before the step, so the ship may end one step beyond it.
  if ((pad & kPadUp) && p.y >= 2) p.y -= p.speed;
  if ((pad & kPadDown) && p.y <= 448) p.y += p.speed;
  if ((pad & kPadLeft) && p.x >= 2) p.x -= p.speed;
  if ((pad & kPadRight) && p.x <= 574) p.x += p.speed;
  Fire(game);
}

void DrawShot(const GameLoop& game, int slot, int stream) {
  DrawRotaGraph(Truncated(game.shots.x[slot][stream]), Truncated(game.shots.y[slot][stream]), 1.0,
                StreamAngle(stream) + std::numbers::pi, game.assets.shot, 0, 1);
}

bool RunShotPass(GameLoop& game) {
  ShotGrid& shots = game.shots;
  for (int slot = 0; slot < kShotSlots; ++slot) {
    for (int stream = 0; stream < kShotStreams; ++stream) {
      if (PumpWindowMessages() != 0) break;
      if (shots.active[slot][stream] == 1) {
        DrawShot(game, slot, stream);
        float& x = shots.x[slot][stream];
        float& y = shots.y[slot][stream];
        if (x < 650 && y > -10 && y < 480) {
          x = static_cast<float>(x + 10.0 * std::cos(StreamAngle(stream)));
          y = static_cast<float>(y + 10.0 * std::sin(StreamAngle(stream)));
        } else {
          shots.active[slot][stream] = 0;
        }
      }
      TestShotOnEnemies(game, slot, stream);
      if (game.boss.attackCounter >= 1) {
        if (PumpWindowMessages() != 0) break;
        TestShotOnBoss(game, slot, stream);
      }
      if (game.midBoss.frames >= 1) {
        if (PumpWindowMessages() != 0) break;
        TestShotOnMidBoss(game, slot, stream);
      }
      if (game.boss.damage >= 150.0) return true;
    }
  }
  return false;
}

void DrawPlayerShip(const GameLoop& game) {
  uint32_t grace = game.graceCounter;
  bool shown = (grace >= 2 && grace <= 29) || (grace >= 42 && grace <= 69) || (grace >= 82 && grace <= 109) ||
               grace > 120;
  if (!shown) return;
  int phase = game.stageFrameCounter % 70;
  bool busy = (game.stagePadBits & (kPadDown | kPadRight | kPadUp | kPadFire | kPadAnimate)) != 0;
  int cell = busy ? (phase >= 15 ? 1 : 0) : (phase >= 40 ? 1 : 0);
  DrawGraph(Truncated(game.player.x), Truncated(game.player.y), game.assets.shipFrames[cell], 1);
}
