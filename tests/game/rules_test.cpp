// The stage's rules one at a time on a started library, through the game's own units: the hit boxes at their
// edges, scoring, the ring-burst rows and directions, and the laser's firings and frozen frames.
#include <cmath>
#include <functional>

#include "game/game_fixture.h"
#include "game/game_units.h"
#include "game/hit_boxes.h"
#include "vomak.h"

namespace {

class RulesTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    ChangeWindowMode(1);
    ASSERT_EQ(StartupLibrary(), 0);
    SelectDrawTarget(-2);
    game = std::make_unique<GameLoop>();
    LoadGameAssets(game->assets);
    ASSERT_TRUE(NewGameReset(*game));
  }
  void TearDown() override {
    ShutdownLibrary();
    GameTest::TearDown();
  }
  // Shot (slot 0, stream 2) flying at (x, y).
  void Shoot(float x, float y) {
    game->shots.active[0][2] = 1;
    game->shots.x[0][2] = x;
    game->shots.y[0][2] = y;
  }
};

EnemyUnit At(float x, float y) { return EnemyUnit{x, y, 1, 0, 0, 0, 1}; }
PlayerShip Ship(float x, float y) { return PlayerShip{x, y, 3, 0, 0, 1}; }

}  // namespace

// Each box hits at its inclusive corners and not a hundredth beyond any of its four edges: the other actor (or the
// shot's centre) at (x, y) against the ship, or the target, at (100, 100).
TEST_F(RulesTest, HitBoxesAreInclusiveAtTheirEdges) {
  const PlayerShip p = Ship(100, 100);
  const EnemyUnit u = At(100, 100);
  const BossState b{100, 100, 0, 0, 0, 1};
  const MidBossState m{100, 100, 1, 0, 0, 1};
  struct Box {
    std::function<bool(float, float)> hits;
    float x0, x1, y0, y1;
  } boxes[] = {
      {[&](float x, float y) { return PlayerTouchesKind(p, At(x, y)); }, 55, 143, 55, 115},
      {[&](float x, float y) { return PlayerTouchesFormation(p, At(x, y)); }, 72, 136, 62, 114},
      {[&](float x, float y) { return PlayerTouchesBoss(p, BossState{x, y, 0, 0, 0, 1}); }, 7, 141, 32, 123},
      {[&](float x, float y) { return PlayerTouchesMidBoss(p, MidBossState{x, y, 1, 0, 0, 1}); }, 34, 95, 32, 123},
      {[&](float x, float y) { return PlayerTakesItem(p, At(x, y)); }, 75, 145, 80, 120},
      {[&](float x, float y) { return EnemyBulletHitsPlayer(x, y, p); }, 94, 154, 100, 129},
      {[&](float x, float y) { return PoolBulletHitsPlayer(x, y, p); }, 92, 144, 101, 124},
      {[&](float x, float y) { return ShotHitsKind(x, y, u); }, 100, 156, 114, 156},
      {[&](float x, float y) { return ShotHitsFormation(x, y, u); }, 86, 130, 114, 142},
      {[&](float x, float y) { return ShotHitsBoss(x, y, b); }, 86, 130, 116, 142},
      {[&](float x, float y) { return ShotHitsMidBoss(x, y, m); }, 136, 175, 98, 166},
  };
  const float e = 0.01f;
  for (const Box& box : boxes) {
    EXPECT_TRUE(box.hits(box.x0, box.y0) && box.hits(box.x1, box.y1)) << box.x0 << "," << box.y0;
    EXPECT_FALSE(box.hits(box.x0 - e, box.y0) || box.hits(box.x0, box.y0 - e)) << box.x0 << "," << box.y0;
    EXPECT_FALSE(box.hits(box.x1 + e, box.y1) || box.hits(box.x1, box.y1 + e)) << box.x1 << "," << box.y1;
  }
  // The laser's band has no horizontal part.
  EXPECT_TRUE(LaserHitsPlayer(b, Ship(-40000, 106)) && LaserHitsPlayer(b, Ship(40000, 125)));
  EXPECT_FALSE(LaserHitsPlayer(b, Ship(0, 106 - e)) || LaserHitsPlayer(b, Ship(0, 125 + e)));
}

// Three shots on a kind at six hits score 200 each; a formation record scores from its third hit; 150 strikes on
// the boss give 4,050; the mid-boss gives 800 from its 130th strike on.
TEST_F(RulesTest, ScoringRules) {
  game->enemyKinds[0] = At(300, 100);
  game->enemyKinds[0].hits = 6;
  for (int i = 0; i < 3; ++i) {
    Shoot(310, 130);
    TestShotOnEnemies(*game, 0, 2);
  }
  EXPECT_EQ(game->score, 600u);

  game->score = 0;
  game->enemyKinds[0].lifetime = 0;
  game->formationB[1][2] = At(300, 300);
  for (int i = 0; i < 4; ++i) {
    Shoot(310, 320);
    TestShotOnEnemies(*game, 0, 2);
  }
  EXPECT_EQ(game->score, 200u);  // hits 3 and 4

  game->score = 0;
  game->boss = BossState{400, 200, 0, 0, 0, 1};
  for (int i = 0; i < 150; ++i) {
    Shoot(400, 220);
    TestShotOnBoss(*game, 0, 2);
  }
  EXPECT_EQ(game->score, 4050u);

  game->score = 0;
  game->midBoss = MidBossState{400, 200, 1, 128, 0, 50};
  for (int i = 0; i < 3; ++i) {
    Shoot(450, 220);
    TestShotOnMidBoss(*game, 0, 2);
  }
  EXPECT_EQ(game->score, 1600u);  // strikes 130 and 131
}

// A due row fills its free slots at the port; directions spread over the circle, the last slot flying right.
TEST_F(RulesTest, RingBurstRowsAndDirections) {
  struct Case {
    PoolKind kind;
    uint32_t counter;
    int row;
    int slots;
  } cases[] = {
      {PoolKind::A, 1, 0, 16},   {PoolKind::A, 62, 1, 16},      {PoolKind::A, 901, 0, 16},
      {PoolKind::A, 855, 14, 16}, {PoolKind::B, 31, 0, 15},     {PoolKind::B, 885, 14, 15},
      {PoolKind::MidBoss, 42, 1, 16}, {PoolKind::MidBoss, 370, 9, 16}, {PoolKind::MidBoss, 411, -1, 0},
      {PoolKind::A, 916, -1, 0},  {PoolKind::B, 1, -1, 0},
  };
  for (const Case& c : cases) {
    BossBulletPool pool{};
    ResetPool(pool);
    FireDueRows(pool, c.kind, c.counter, 300, 200);
    int fired = 0;
    for (int r = 0; r < kPoolRows; ++r) {
      for (int j = 0; j < kPoolSlots; ++j) {
        if (!pool.active[r][j]) continue;
        ++fired;
        EXPECT_TRUE(r == c.row && j < c.slots && pool.x[r][j] == 300.0f && pool.y[r][j] == 200.0f) << c.counter;
      }
    }
    EXPECT_EQ(fired, c.slots) << c.counter;
  }
  // One step: slot 3 straight down, 7 left, 11 up, 15 right; pool B's first slot 24 degrees below right.
  game->player = Ship(0, 0);
  FireDueRows(game->poolA, PoolKind::A, 1, 300, 200);
  FireDueRows(game->poolB, PoolKind::B, 31, 300, 200);
  UpdatePool(*game, game->poolA, PoolKind::A);
  UpdatePool(*game, game->poolB, PoolKind::B);
  EXPECT_EQ(game->poolA.y[0][3], 204.0f);
  EXPECT_EQ(game->poolA.x[0][7], 296.0f);
  EXPECT_EQ(game->poolA.y[0][11], 196.0f);
  EXPECT_EQ(game->poolA.x[0][15], 304.0f);
  EXPECT_NEAR(game->poolB.x[0][0], 300 + 4 * std::cos(24 * M_PI / 180), 1e-4);
  EXPECT_NEAR(game->poolB.y[0][0], 200 + 4 * std::sin(24 * M_PI / 180), 1e-4);
}

// Through one attack cycle the laser fires at ticks 117, 118 and 119: a ship in the band takes three strikes and
// twelve frozen frames each, a ship outside it six frozen frames per firing and no damage.
TEST_F(RulesTest, LaserFiresThreeTimesPerCycleWithItsFrozenFrames) {
  for (bool inBand : {true, false}) {
    ASSERT_TRUE(NewGameReset(*game));
    game->stageFrameCounter = 6541;
    int presented = 0;
    headless::SetPresentObserver([&](const headless::CapturedFrame&) { ++presented; });
    std::vector<int> firedAt;
    for (int frame = 0; frame < 400 && game->boss.attackCounter < 120; ++frame) {
      // The ship follows the boss's band (or stays far below it).
      game->player.x = 20;
      game->player.y = inBand ? game->boss.y + 10 : 470;
      const int before = presented;
      const uint32_t t = game->boss.attackCounter % 120;
      UpdateBoss(*game);
      if (presented != before) {
        firedAt.push_back(static_cast<int>(t));
        EXPECT_EQ(presented - before, inBand ? 12 : 6) << t;
      }
    }
    headless::SetPresentObserver({});
    EXPECT_EQ(firedAt, (std::vector<int>{117, 118, 119}));
    EXPECT_EQ(game->player.damage, inBand ? 3 : 0);
    EXPECT_EQ(game->player.x, 20.0f);  // shaken back to where it stood
  }
}
