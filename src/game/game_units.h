// The game's units as they call one another: scenes, save file, stage frame, player, enemies, mid-boss, boss and
// the ring-burst pools, all working on the one GameLoop record.
#pragma once
#include <cstdint>

#include "game_loop.h"

// Thrown when the main window is gone inside a frame that cannot go on (a frozen frame, a clear frame): the entry
// function catches it, shuts the library down and ends with 0.
struct ProgramEnd {};

// Pad bits and key codes the game reads.
constexpr uint32_t kPadDown = 0x01;
constexpr uint32_t kPadLeft = 0x02;
constexpr uint32_t kPadRight = 0x04;
constexpr uint32_t kPadUp = 0x08;
constexpr uint32_t kPadConfirm = 0x20;
constexpr uint32_t kPadFire = 0x40;
constexpr uint32_t kPadAnimate = 0x80;
constexpr int kKeyEscape = 0x01;
constexpr int kPadInputType = 0x1001;

// Small helpers shared by every unit.
uint32_t White();
void PlayEffect(int sound);                                 // style 1, restarted from the beginning
int Truncated(double position);                             // a draw position: cut toward zero
uint32_t ReadPadBits();                                     // pad 1 with the keyboard merged
bool EscapeHeld();
void DrawShot(const GameLoop& game, int slot, int stream);  // where it stands, as the shot pass draws it

// Start-up's asset loads, in their fixed order; the game tests none of them.
void LoadGameAssets(GameAssets& assets);
// Writes the save file, then puts every stage record back to its starting value; false when the save file could
// not be opened.
bool NewGameReset(GameLoop& game);

// Save file: 0, or -1 when the file cannot be opened (the message is already on the error stream).
int ReadHighScore(GameLoop& game);
int WriteHighScore(GameLoop& game);

// Stage frame (returns how it ended), the stage's HUD groups and frame pacing.
enum class FrameEnd { Presented, LifeLost, Clear };
FrameEnd RunStageFrame(GameLoop& game);
void DrawShieldGroup(const GameLoop& game, bool withBar);  // "SHIELD:", its bar, the spare-life icons
void DrawScoreGroup(const GameLoop& game);                 // "High Score:" and "Score:"
void FramePacer(GameLoop& game, uint32_t frameMs, int sleepMs);

// Player and shots.
void ResetPlayer(PlayerShip& player);
void ResetShotGrid(ShotGrid& shots);
void MoveAndFire(GameLoop& game);
bool RunShotPass(GameLoop& game);  // true once the boss's damage reached 150: the clear starts
void DrawPlayerShip(const GameLoop& game);

// Enemy kinds, formations, items and the kinds' bullets.
void ResetEnemies(GameLoop& game);
void ResetEnemyBullets(GameLoop& game);  // after the kinds: their bullets wait on the kinds' rows
void SpawnEnemyKinds(GameLoop& game);
void UpdateEnemyKinds(GameLoop& game);
void SpawnAndUpdateFormations(GameLoop& game);
void UpdateItems(GameLoop& game);
void DrawEnemies(const GameLoop& game);
void DrawEnemyKind(const GameLoop& game, int kind);
void UpdateEnemyBullets(GameLoop& game);
void TestShotOnEnemies(GameLoop& game, int slot, int stream);
void DrawHitFlash(const GameLoop& game, int cell);

// Ring-burst pools.
enum class PoolKind { A, B, MidBoss };
void ResetPool(BossBulletPool& pool);
void FireDueRows(BossBulletPool& pool, PoolKind kind, uint32_t counter, float originX, float originY);
void UpdatePool(GameLoop& game, BossBulletPool& pool, PoolKind kind);
void DrawPool(const GameLoop& game, const BossBulletPool& pool, PoolKind kind);

// Mid-boss.
void ResetMidBoss(MidBossState& midBoss);
void UpdateMidBoss(GameLoop& game);
void TestShotOnMidBoss(GameLoop& game, int slot, int stream);
void DrawMidBoss(const GameLoop& game);

// Boss and laser.
void ResetBoss(GameLoop& game);
void UpdateBoss(GameLoop& game);
void TestShotOnBoss(GameLoop& game, int slot, int stream);
