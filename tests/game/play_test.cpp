// Whole games on the virtual clock with scripted keys: a player that dodges and fires through the mid-boss and the
// boss to the clear, the result screen and a replay; a game lost to game over; the high-score reset; Esc in each
// scene; the window closed in the middle of the stage and in the laser's frozen frames.
#include <cmath>
#include <algorithm>

#include "game/game_fixture.h"
#include "platform/host/headless/headless_input.h"

namespace {

constexpr int kEsc = 0x01, kBackspace = 0x0E, kLeftShift = 0x2A, kRightCtrl = 0x9D, kX = 0x2D, kC = 0x2E;
constexpr int kUp = 0xC8, kDown = 0xD0, kLeft = 0xCB, kRight = 0xCD;

// Keys held by the test: a press of a held key changes nothing, nor a release of a key that is up.
struct Keys {
  void Hold(int code, bool down) { down ? headless::PressKey(code) : headless::ReleaseKey(code); }
};

// Danger at the ship's place (px, py) f frames ahead: bullets near its body, bodies near its box, the laser's band.
double Danger(const GameLoop& g, float px, float py, int f) {
  double danger = 0;
  auto bullet = [&](double x, double y) {
    if (x >= px - 16 && x <= px + 60 && y >= py - 8 && y <= py + 34) danger += 1;
  };
  for (const EnemyBulletPool& b : g.enemyBullets) {
    for (int s = 0; s < kEnemyBullets; ++s) {
      if (!b.active[s]) continue;
      double a = std::atan2(b.targetY[s] - b.originY[s], b.targetX[s] - b.originX[s]);
      bullet(b.x[s] + 4 * f * std::cos(a), b.y[s] + 4 * f * std::sin(a));
    }
  }
  for (const BossBulletPool* pool : {&g.poolA, &g.poolB, &g.midBossPool}) {
    const int n = pool == &g.poolB ? 15 : 16;
    for (int r = 0; r < kPoolRows; ++r) {
      for (int j = 0; j < n; ++j) {
        double a = 2 * M_PI * (j + 1) / n;
        if (pool->active[r][j]) bullet(pool->x[r][j] + 4 * f * std::cos(a), pool->y[r][j] + 4 * f * std::sin(a));
      }
    }
  }
  auto body = [&](double x, double y, double w, double h) {
    if (x <= px + 60 && x + w >= px - 6 && y <= py + 36 && y + h >= py - 6) danger += 10;
  };
  for (const EnemyUnit& k : g.enemyKinds) {
    if (k.lifetime) body(k.x - f, k.y, 48, 48);
  }
  for (const auto* formation : {&g.formationA, &g.formationB}) {
    for (const auto& column : *formation) {
      for (const EnemyUnit& u : column) {
        // Formation B flies left; formation A, homing, is taken where it stands.
        if (u.lifetime) body(u.x - (formation == &g.formationB ? 3 * f : 0), u.y, 32, 42);
      }
    }
  }
  if (g.midBoss.frames) body(g.midBoss.x, g.midBoss.y, 72, 70);
  if (g.boss.attackCounter) {
    body(g.boss.x, g.boss.y, 96, 72);
    const int t = static_cast<int>(g.boss.attackCounter % 120) + f;
    if (t >= 108 && t <= 121 && py >= g.boss.y - 2 && py <= g.boss.y + 33) danger += 20;
  }
  return danger;
}

// A player: always firing; each frame it takes the move whose next frames are least dangerous, keeping in line
// with its next target (a homing enemy, the boss's weak point, an enemy kind, an item) at the left of the field.
void Steer(const GameLoop& g, Keys& keys) {
  double homeY = 224, nearest = 1e9;
  auto aim = [&](double x, double y) {
    if (x < nearest) nearest = x, homeY = y;
  };
  for (const auto& column : g.formationA) {
    for (const EnemyUnit& u : column) {
      if (u.lifetime && u.x < 640) aim(u.x - 1000, u.y);
    }
  }
  for (const EnemyUnit& k : g.enemyKinds) {
    if (k.lifetime && k.x < 600) aim(k.x, k.y + 8);
  }
  if (g.boss.attackCounter && nearest > 0) homeY = g.boss.y - 2;
  int bestX = 0, bestY = 0;
  double best = 1e18;
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      double cost = 0;
      float x = g.player.x, y = g.player.y;
      for (int f = 1; f <= 10; ++f) {
        x = std::clamp(x + dx * g.player.speed, -1.0f, 580.0f);
        y = std::clamp(y + dy * g.player.speed, -1.0f, 451.0f);
        cost += Danger(g, x, y, f) * (11 - f);
      }
      cost = cost * 100 + std::abs(y - homeY) + 0.5 * std::abs(x - 40);
      if (cost < best) best = cost, bestX = dx, bestY = dy;
    }
  }
  keys.Hold(kLeft, bestX < 0);
  keys.Hold(kRight, bestX > 0);
  keys.Hold(kUp, bestY < 0);
  keys.Hold(kDown, bestY > 0);
  keys.Hold(kC, true);
}

}  // namespace

// Confirm held through the splash starts a game at the first title frame; the player clears the stage; confirm on
// the result screen replays, which writes the new high score and shows the splash again; Esc then runs the scenes
// through to the program's end.
TEST_F(GameTest, PlayedThroughTheBossToTheClearAndAReplay) {
  Keys keys;
  keys.Hold(kX, true);
  uint32_t scoreAtClear = 0;
  int livesAtClear = 0, damageAtClear = 0, splashes = 0, shipFrames = 0, shipShown = 0;
  bool midBossSeen = false, cleared = false;
  float bossX = 0, bossY = 0;
  int result = Run([&](int, const headless::CapturedFrame& frame, GameLoop& g) {
    if (frame.Rgb(320, 240) == kSplashColour && ++splashes == 2) keys.Hold(kEsc, true);
    midBossSeen = midBossSeen || g.midBoss.frames != 0;
    if (g.boss.damage >= 150 && !cleared) {
      cleared = true;  // the first clear frame: no bonus counted yet
      scoreAtClear = g.score;
      livesAtClear = g.lives;
      damageAtClear = g.player.damage;
    } else if (cleared && g.clearTick < 240 && splashes < 2) {
      // The boss's random walk: x and y move by the same step of -8 to 9.
      const long step = std::lround(g.boss.x - bossX);
      EXPECT_EQ(step, std::lround(g.boss.y - bossY));
      EXPECT_TRUE(step >= -8 && step <= 9) << step;
    }
    bossX = g.boss.x, bossY = g.boss.y;
    if (g.stageFrameCounter == 0 || cleared) return;
    // Past the grace period the ship is drawn where it stands (frozen frames of a laser strike hide it), over the
    // backdrop.
    if (g.graceCounter > 120 && g.boss.attackCounter % 120 < 117) {
      ++shipFrames;
      shipShown += frame.Rgb(static_cast<int>(g.player.x) + 32, static_cast<int>(g.player.y) + 15) == kShipColour &&
                   frame.Rgb(600, 20) == kBackdropColour;
    }
    Steer(g, keys);
  });
  EXPECT_EQ(result, 0);
  ASSERT_TRUE(cleared);
  EXPECT_TRUE(midBossSeen);
  EXPECT_GT(shipFrames, 6000);
  EXPECT_EQ(shipShown, shipFrames);
  EXPECT_EQ(splashes, 2);
  // 20 points a tick: 500 per shield point and 5000 per life; the replay's reset wrote the final score.
  const uint32_t final = scoreAtClear + 500u * (5 - damageAtClear) + 5000u * livesAtClear;
  EXPECT_EQ(game->highScore, final);
  EXPECT_EQ(ReadBytes("file.sav"), SaveDigits(final));
  EXPECT_EQ(game->score, 0u);
}

// Idle at the start place with fire held: the lives run out to game over, drawn over the last stage frame, the only
// frame ever shown with the shield gone; Esc ends the program from the result screen; the save file keeps the score
// of the game's start; the confirm sound plays at the title's start and at each new life.
TEST_F(GameTest, LostToGameOver) {
  Keys keys;
  keys.Hold(kX, true);
  std::vector<int> lives;
  int shieldGone = 0;
  uint64_t firstStageAt = 0;
  std::vector<int> loudness;
  int result = Run([&](int, const headless::CapturedFrame& frame, GameLoop& g) {
    if (g.stageFrameCounter == 0) return;
    if (firstStageAt == 0) firstStageAt = frame.milliseconds;
    if (g.stageFrameCounter == 20 && loudness.empty()) {
      // The confirm sound of the first life plays with its first frames; the title's started 800 ms before.
      loudness = {Loudest(firstStageAt - 850, firstStageAt - 600), Loudest(firstStageAt - 500, firstStageAt - 100),
                  Loudest(firstStageAt, firstStageAt + 250)};
    }
    keys.Hold(kX, false);
    keys.Hold(kC, true);
    if (lives.empty() || lives.back() != g.lives) lives.push_back(g.lives);
    if (g.player.damage >= 5) {
      ++shieldGone;
      keys.Hold(kEsc, true);
    }
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(lives, (std::vector<int>{3, 2, 1, 0}));
  EXPECT_EQ(shieldGone, 1);
  ASSERT_EQ(loudness.size(), 3u);
  EXPECT_TRUE(loudness[0] > 4000 && loudness[1] == 0 && loudness[2] > 4000) << loudness[0] << " " << loudness[1];
  EXPECT_GT(game->highScore, 0u);
  EXPECT_EQ(ReadBytes("file.sav"), std::string(40, '\0'));
}

// The reset chord on the title: the message stays 2000 ms, the save file is rewritten with zeros and the splash
// comes back. Then Esc held from the title on: the stage path runs through without a stage frame to the result
// screen, which ends the program.
TEST_F(GameTest, HighScoreResetThenEscapeThroughEveryScene) {
  WriteBytes("file.sav", SaveWords({0, 0, 2, 1, 3}));
  Keys keys;
  int splashes = 0;
  uint64_t messageAt = 0, splashAt = 0;
  std::string saved;
  int result = Run([&](int, const headless::CapturedFrame& frame, GameLoop& g) {
    if (frame.Rgb(320, 240) == kSplashColour && ++splashes == 2) {
      splashAt = frame.milliseconds;
      saved = ReadBytes("file.sav");
      for (int key : {kBackspace, kLeftShift, kRightCtrl}) keys.Hold(key, false);
      keys.Hold(kEsc, true);
    } else if (splashes == 1 && g.titleBlinkCounter > 1) {
      if (g.highScore == 0 && messageAt == 0) messageAt = frame.milliseconds;
      for (int key : {kBackspace, kLeftShift, kRightCtrl}) keys.Hold(key, true);
    }
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(splashes, 2);
  EXPECT_GE(splashAt - messageAt, 2000u);
  EXPECT_EQ(saved, std::string(40, '\0'));
  EXPECT_EQ(game->stageFrameCounter, 0);
}

// Esc in the middle of the stage opens the result screen, where it ends the program; closing the window in the
// middle of the stage does the same; closing it in the laser's frozen frames ends the program from there. Each
// ends with 0 and a complete log.
TEST_F(GameTest, EscapeOrCloseInTheStageAndInFrozenFrames) {
  for (int ending = 0; ending < 3; ++ending) {
    RestartHeadless({});  // no key of the previous run is held
    ResetSystemState();
    Keys keys;
    keys.Hold(kX, true);
    int afterEnd = -1;
    int result = Run([&](int, const headless::CapturedFrame&, GameLoop& g) {
      if (afterEnd >= 0) ++afterEnd;
      if (g.stageFrameCounter == 0 || afterEnd >= 0) return;
      if (ending == 2 && g.stageFrameCounter < 6500) g.stageFrameCounter = 6500, g.scroll = -6499;
      Steer(g, keys);
      if (ending == 0 && g.stageFrameCounter == 300) keys.Hold(kEsc, true), afterEnd = 0;
      if (ending == 1 && g.stageFrameCounter == 300) headless::Close(), afterEnd = 0;
      if (ending == 2 && g.boss.attackCounter % 120 >= 117) headless::Close(), afterEnd = 0;
    });
    EXPECT_EQ(result, 0) << ending;
    EXPECT_LE(game->stageFrameCounter, ending == 2 ? 6541 : 301) << ending;
    EXPECT_EQ(afterEnd, ending == 0 ? 1 : 0) << ending;  // Esc: the result screen only
    EXPECT_TRUE(LogEndsWithShutdown()) << ending;
  }
}
