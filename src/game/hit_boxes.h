// Every collision of the game: four inclusive comparisons of two positions, each with its own offsets.
#pragma once
#include "game_loop.h"

// The ship against the boss's body (counts only while the boss attacks).
inline bool PlayerTouchesBoss(const PlayerShip& p, const BossState& b) {
  return p.x + 41.0 >= b.x && b.x + 93.0 >= p.x && p.y + 23.0 >= b.y && b.y + 68.0 >= p.y;
}
// The ship against an enemy kind.
inline bool PlayerTouchesKind(const PlayerShip& p, const EnemyUnit& k) {
  return p.x + 43.0 >= k.x && k.x + 45.0 >= p.x && p.y + 15.0 >= k.y && k.y + 45.0 >= p.y;
}
// The ship against a formation record.
inline bool PlayerTouchesFormation(const PlayerShip& p, const EnemyUnit& f) {
  return p.x + 36.0 >= f.x && f.x + 28.0 >= p.x && p.y + 14.0 >= f.y && f.y + 38.0 >= p.y;
}
// The ship against the mid-boss: its x must lie between the mid-boss's x + 5 and x + 66.
inline bool PlayerTouchesMidBoss(const PlayerShip& p, const MidBossState& m) {
  return m.x + 5.0 <= p.x && m.x + 66.0 >= p.x && p.y + 23.0 >= m.y && m.y + 68.0 >= p.y;
}
// A shot's centre against an enemy kind.
inline bool ShotHitsKind(float sx, float sy, const EnemyUnit& k) {
  return sx >= k.x && k.x + 56.0 >= sx && k.y + 14.0 <= sy && k.y + 56.0 >= sy;
}
// A shot's centre against a formation record.
inline bool ShotHitsFormation(float sx, float sy, const EnemyUnit& f) {
  return sx + 14.0 >= f.x && f.x + 30.0 >= sx && f.y + 14.0 <= sy && f.y + 42.0 >= sy;
}
// A shot's centre against the boss's weak point.
inline bool ShotHitsBoss(float sx, float sy, const BossState& b) {
  return b.x - 14.0 <= sx && sx <= b.x + 30.0 && b.y + 16.0 <= sy && sy <= b.y + 42.0;
}
// A shot's centre against the mid-boss.
inline bool ShotHitsMidBoss(float sx, float sy, const MidBossState& m) {
  return m.x + 36.0 <= sx && sx <= m.x + 75.0 && m.y - 2.0 <= sy && sy <= m.y + 66.0;
}
// The ship picking up an item.
inline bool PlayerTakesItem(const PlayerShip& p, const EnemyUnit& i) {
  return p.x + 45.0 >= i.x && i.x + 25.0 >= p.x && i.y + 20.0 >= p.y && p.y + 20.0 >= i.y;
}
// An enemy kind's bullet against the ship.
inline bool EnemyBulletHitsPlayer(float ex, float ey, const PlayerShip& p) {
  return ex + 6.0 >= p.x && p.x + 54.0 >= ex && ey >= p.y && p.y + 30.0 >= ey + 1.0;
}
// A ring-burst bullet against the ship.
inline bool PoolBulletHitsPlayer(float x, float y, const PlayerShip& p) {
  return p.x - 8.0 <= x && x <= p.x + 44.0 && p.y + 1.0 <= y && y <= p.y + 24.0;
}
// The laser's band: no horizontal part, the beam spans the screen's left edge to the boss.
inline bool LaserHitsPlayer(const BossState& b, const PlayerShip& p) {
  return b.y + 6.0 <= p.y && p.y <= b.y + 25.0;
}
