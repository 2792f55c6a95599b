// One stage frame in its fixed order: input, movement, contacts and the grace rule, spawns, the boss, enemies,
// formations, mid-boss, the shot pass, drawing and the HUD, then presenting and the 17 ms wait.
#include <initializer_list>

#include "game_units.h"
#include "hit_boxes.h"
#include "vomak.h"

namespace {

constexpr int32_t kBossFrame = 6540;

// Contacts cost the whole shield; for the first frames of a life (grace below 120) nothing counts.
void TestContacts(GameLoop& game) {
  PlayerShip& p = game.player;
  if (game.boss.attackCounter >= 1 && PlayerTouchesBoss(p, game.boss)) p.damage = 5;
  for (const EnemyUnit& kind : game.enemyKinds) {
    if (kind.lifetime != 0 && PlayerTouchesKind(p, kind)) p.damage = 5;
  }
  for (const auto* formation : {&game.formationA, &game.formationB}) {
    for (const auto& column : *formation) {
      for (const EnemyUnit& unit : column) {
        if (unit.lifetime != 0 && PlayerTouchesFormation(p, unit)) p.damage = 5;
      }
    }
  }
  if (game.midBoss.frames >= 1 && PlayerTouchesMidBoss(p, game.midBoss)) p.damage = 5;
  if (game.graceCounter < 120) p.damage = 0;
}

}  // namespace

void DrawShieldGroup(const GameLoop& game, bool withBar) {
  DrawTextWithFont(130, 448, "SHIELD:", White(), game.assets.smallFont, 0, 0);
  if (withBar) {
    DrawBoxShape(195, 450, (5 - game.player.damage) * 15 + 180, 460, PackScreenColor(60, 70, 255), 1);
  }
  for (int k = 1; k <= 3; ++k) {
    if (game.lives > k) DrawGraph(31 * k - 3, 441, game.assets.lifeIcon, 1);
  }
}

void DrawScoreGroup(const GameLoop& game) {
  DrawFormattedText(340, 445, White(), "High Score:%u", game.highScore);
  DrawFormattedText(500, 445, White(), "Score:%u", game.score);
}

void FramePacer(GameLoop& game, uint32_t frameMs, int sleepMs) {
  for (;;) {
    if (PumpWindowMessages() != 0) return;
    if (static_cast<uint32_t>(GetMillisecondCount(0)) - game.frameStartTime >= frameMs) return;
    if (sleepMs > 0) Sleep(static_cast<uint32_t>(sleepMs));
  }
}

FrameEnd RunStageFrame(GameLoop& game) {
  if (game.stageFrameCounter == 1) StartSoundPlayback(game.assets.stageMusic, 3, 1);
  if (game.stageFrameCounter <= kBossFrame) ++game.stageFrameCounter;
  if (++game.graceCounter > 10000000) game.graceCounter = 501;
  game.frameStartTime = static_cast<uint32_t>(GetMillisecondCount(0));

  ClearDrawTarget();
  DrawGraph(game.scroll, 0, game.assets.background, 0);
  if (game.stageFrameCounter < kBossFrame) --game.scroll;

  game.shotOriginX = static_cast<double>(game.player.x) + 52.0;
  game.shotOriginY = static_cast<double>(game.player.y) + 22.0;
  game.stagePadBits = ReadPadBits();
  MoveAndFire(game);
  TestContacts(game);
  SpawnEnemyKinds(game);
  if (game.stageFrameCounter >= kBossFrame) UpdateBoss(game);
  UpdateEnemyKinds(game);
  SpawnAndUpdateFormations(game);
  UpdateMidBoss(game);
  if (RunShotPass(game)) return FrameEnd::Clear;
  DrawPlayerShip(game);
  UpdateItems(game);
  DrawEnemies(game);
  DrawMidBoss(game);
  DrawShieldGroup(game, true);
  UpdateEnemyBullets(game);
  if (game.highScore < game.score) game.highScore = game.score;
  DrawScoreGroup(game);

  if (game.player.damage >= 5) return FrameEnd::LifeLost;
  G_DDraw_FlipScreen();
  FramePacer(game, 17, 0);
  return FrameEnd::Presented;
}
