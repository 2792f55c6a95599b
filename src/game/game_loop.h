// Qelt's one record: every piece of game state, its asset handles and the stage's actors, held for the process's
// life by the entry function. Each game unit (scenes, save file, stage, player, enemies, mid-boss, boss, pools)
// reads and writes it under these names.
#pragma once
#include <cstdint>

// Asset handles by role, loaded once at start-up; -1 where a load failed (draws and plays of it do nothing).
struct GameAssets {
  int background = -1;
  int lifeIcon = -1;
  int powerItem = -1;
  int speedItem = -1;
  int enemyBullet = -1;
  int shot = -1;
  int bossBulletB = -1;
  int bossBulletA = -1;
  int enemyFrames[2] = {-1, -1};
  int boss = -1;
  int explosion = -1;
  int titlePictures[3] = {-1, -1, -1};
  int midBossFrames[3] = {-1, -1, -1};
  int splash = -1;
  int shipFrames[2] = {-1, -1};
  int hitFlash[3] = {-1, -1, -1};
  int formationBFrames[2] = {-1, -1};
  int formationAFrames[2] = {-1, -1};
  int stageMusic = -1;
  int confirmSound = -1;
  int shotSound = -1;
  int hitSound = -1;
  int laserSound = -1;
  int enemyHitSound = -1;
  int bigFont = -1;
  int smallFont = -1;
};

// The player's ship: position of its 64 by 30 picture's top-left corner, speed, damage (shield = 5 - damage),
// power and the volley timer.
struct PlayerShip {
  float x;
  float y;
  int16_t speed;
  int16_t damage;
  int16_t power;
  uint32_t shotTimer;
};

constexpr int kShotSlots = 12;
constexpr int kShotStreams = 5;

// Five streams of twelve shots each, positions at the shot picture's centre.
struct ShotGrid {
  uint16_t active[kShotSlots][kShotStreams];
  float x[kShotSlots][kShotStreams];
  float y[kShotSlots][kShotStreams];
  int16_t ringIndex[kShotStreams];
};

// An enemy kind, a formation record or an item.
struct EnemyUnit {
  float x;
  float y;
  int16_t speed;
  int16_t hits;
  uint16_t active;
  int16_t bulletRingIndex;
  uint32_t lifetime;
};

constexpr int kEnemyBullets = 12;

// The aimed bullets of one enemy kind.
struct EnemyBulletPool {
  float x[kEnemyBullets];
  float y[kEnemyBullets];
  float targetX[kEnemyBullets];
  float targetY[kEnemyBullets];
  float originX[kEnemyBullets];
  float originY[kEnemyBullets];
  uint16_t active[kEnemyBullets];
};

struct MidBossState {
  float x;
  float y;
  double exitSpeed;
  double hits;
  double drift;
  uint32_t frames;
};

struct BossState {
  float x;
  float y;
  double orbitAngle;
  double damage;
  double rateClock;
  uint32_t attackCounter;
};

constexpr int kPoolRows = 17;
constexpr int kPoolSlots = 16;

// A ring-burst pool: 17 rows of 16 slots.
struct BossBulletPool {
  float x[kPoolRows][kPoolSlots];
  float y[kPoolRows][kPoolSlots];
  uint16_t active[kPoolRows][kPoolSlots];
};

constexpr int kEnemyKinds = 5;
constexpr int kFormationColumns = 4;
constexpr int kFormationRows = 3;
constexpr int kPowerItems = 5;
constexpr int kSpeedItems = 3;

struct GameLoop {
  GameAssets assets;

  // Scenes and the save file.
  uint32_t highScore = 0;
  uint32_t score = 0;
  int16_t lives = 3;
  int16_t titleBlinkCounter = 1;
  int32_t titleCursor = 0;
  uint32_t frameStartTime = 0;
  uint32_t saveReadBuffer[10] = {};
  uint32_t saveWriteBuffer[10] = {};

  // The stage.
  int32_t stageFrameCounter = 0;
  uint32_t stagePadBits = 0;
  int32_t scroll = 0;
  uint32_t graceCounter = 1;
  double shotOriginX = 0;
  double shotOriginY = 0;

  // The clear sequence.
  int32_t clearTick = 0;
  int16_t clearBonusTicks = 0;
  int16_t clearShakeCount = 0;

  // The actors.
  PlayerShip player{};
  ShotGrid shots{};
  EnemyUnit enemyKinds[kEnemyKinds]{};
  EnemyUnit formationA[kFormationColumns][kFormationRows]{};
  EnemyUnit formationB[kFormationColumns][kFormationRows]{};
  EnemyUnit powerItems[kPowerItems]{};
  EnemyUnit speedItems[kSpeedItems]{};
  EnemyBulletPool enemyBullets[kEnemyKinds]{};
  MidBossState midBoss{};
  BossState boss{};
  double orbitPhase = 0;
  double phaseStep = 0;
  BossBulletPool poolA{};
  BossBulletPool poolB{};
  BossBulletPool midBossPool{};
};

// Runs the whole game on this record: start-up, the chain of scenes, shut-down. 0 after an orderly end, -1 when the
// library cannot start or the save file cannot be opened.
int QeltMain(GameLoop& game);
