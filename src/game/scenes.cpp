// The game's flow: start-up and the assets, then the chain of scenes (splash, title, start delay, the stage with
// its lives, game over or the clear, the result screen) and the per-game reset that a replay goes back through.
#include <cmath>
#include <numbers>

#include "game_units.h"
#include "vomak.h"

namespace {

enum class TitleChoice { Start, Exit, Reset };
enum class ResultChoice { Replay, Exit };

}  // namespace

void LoadGameAssets(GameAssets& a) {
  LoadDividedGraphFileSimple("CG\\j0001.gph", 1, 1, 1, 7200, 480, &a.background);
  a.lifeIcon = LoadGraphFileSimple("CG\\b0301.gph");
  a.powerItem = LoadGraphFileSimple("CG\\b0201.gph");
  a.speedItem = LoadGraphFileSimple("CG\\b0202.gph");
  a.enemyBullet = LoadGraphFileSimple("CG\\b0402.gph");
  a.shot = LoadGraphFileSimple("CG\\b0401.gph");
  a.bossBulletB = LoadGraphFileSimple("CG\\b0403.gph");
  a.bossBulletA = LoadGraphFileSimple("CG\\b0404.gph");
  LoadDividedGraphFileSimple("CG\\p0101.gph", 2, 2, 1, 64, 64, a.enemyFrames);
  a.boss = LoadGraphFileSimple("CG\\b0105.gph");
  a.explosion = LoadGraphFileSimple("CG\\b0501.gph");
  LoadDividedGraphFileSimple("CG\\p0002.gph", 3, 1, 3, 640, 480, a.titlePictures);
  LoadDividedGraphFileSimple("CG\\p0102.gph", 3, 1, 3, 100, 74, a.midBossFrames);
  a.splash = LoadGraphFileSimple("CG\\p0001.gph");
  LoadDividedGraphFileSimple("CG\\b0101.gph", 2, 2, 1, 64, 30, a.shipFrames);
  LoadDividedGraphFileSimple("CG\\b0102.gph", 3, 1, 3, 70, 70, a.hitFlash);
  LoadDividedGraphFileSimple("CG\\b0103.gph", 2, 2, 1, 42, 48, a.formationBFrames);
  LoadDividedGraphFileSimple("CG\\b0104.gph", 2, 2, 1, 42, 48, a.formationAFrames);
  a.stageMusic = LoadSoundFromFile("SE\\m30001.snd");
  a.confirmSound = LoadSoundFromFile("SE\\m30101.snd");
  a.shotSound = LoadSoundFromFile("SE\\m30102.snd");
  a.hitSound = LoadSoundFromFile("SE\\m30103.snd");
  a.laserSound = LoadSoundFromFile("SE\\m30104.snd");
  a.enemyHitSound = LoadSoundFromFile("SE\\m30105.snd");
  a.bigFont = CreateFontToHandle("Century Gothic", 36, 10, 0, -1, -1, -1, -1);
  a.smallFont = CreateFontToHandle("Century Gothic", 15, 4, 0, -1, -1, -1, -1);
}

bool NewGameReset(GameLoop& game) {
  if (WriteHighScore(game) != 0) return false;
  ResetPlayer(game.player);
  ResetEnemies(game);
  ResetMidBoss(game.midBoss);
  ResetBoss(game);
  ResetEnemyBullets(game);
  ResetShotGrid(game.shots);
  ResetPool(game.poolB);
  ResetPool(game.poolA);
  ResetPool(game.midBossPool);
  game.score = 0;
  game.graceCounter = 1;
  game.scroll = 0;
  return true;
}

namespace {

void SplashScreen(GameLoop& game) {
  ClearDrawTarget();
  DrawGraph(0, 0, game.assets.splash, 0);
  G_DDraw_FlipScreen();
  game.titleBlinkCounter = 1;
  game.lives = 3;
  game.titleCursor = 0;
  const uint32_t start = static_cast<uint32_t>(GetMillisecondCount(0));
  WaitMilliseconds(400);
  for (;;) {
    if (PumpWindowMessages() != 0) break;
    if (static_cast<uint32_t>(GetMillisecondCount(0)) - start >= 1700) break;
    if (ReadPadBits() & kPadConfirm) break;
    Sleep(1);
  }
  WaitMilliseconds(400);
}

bool ResetChordHeld() {
  return QueryKeyDown(0x0E) != 0 && (QueryKeyDown(0x2A) != 0 || QueryKeyDown(0x36) != 0) &&
         (QueryKeyDown(0x1D) != 0 || QueryKeyDown(0x9D) != 0);
}

void HighScoreResetChord(GameLoop& game) {
  game.highScore = 0;
  DrawTextWithFont(200, 225, "High Scoreを初期化しました", White(), game.assets.smallFont, 0, 0);
  for (uint32_t& word : game.saveWriteBuffer) word = 0;
  G_DDraw_FlipScreen();
  WaitMilliseconds(2000);
}

TitleChoice TitleMenu(GameLoop& game) {
  for (;;) {
    // A closed window or a held Esc leads into the stage path, which runs on to an orderly end.
    if (PumpWindowMessages() != 0 || EscapeHeld()) return TitleChoice::Start;
    game.frameStartTime = static_cast<uint32_t>(GetMillisecondCount(0));
    ClearDrawTarget();
    game.titleBlinkCounter = static_cast<int16_t>(game.titleBlinkCounter < 61 ? game.titleBlinkCounter + 1 : 1);
    const uint32_t pad = ReadPadBits();
    const bool lit = game.titleBlinkCounter >= 1 && game.titleBlinkCounter <= 30;
    if (game.titleCursor == 0) {
      DrawGraph(0, 0, game.assets.titlePictures[lit ? 1 : 0], 0);
      if (pad & kPadConfirm) {
        PlayEffect(game.assets.confirmSound);
        return TitleChoice::Start;
      }
      if (pad & kPadDown) game.titleCursor = 1;
    } else {
      DrawGraph(0, 0, game.assets.titlePictures[lit ? 2 : 0], 0);
      if (pad & kPadUp) game.titleCursor = 0;
      if (pad & kPadConfirm) return TitleChoice::Exit;
    }
    if (ResetChordHeld()) {
      HighScoreResetChord(game);
      return TitleChoice::Reset;
    }
    G_DDraw_FlipScreen();
    FramePacer(game, 25, 1);
  }
}

void StageStartDelay(GameLoop& game) {
  const uint32_t start = static_cast<uint32_t>(GetMillisecondCount(0));
  while (PumpWindowMessages() == 0 && static_cast<uint32_t>(GetMillisecondCount(0)) - start < 800 &&
         !EscapeHeld()) {
  }
  game.stageFrameCounter = 0;
}

void LifeStart(GameLoop& game) {
  PlayEffect(game.assets.confirmSound);
  ResetPlayer(game.player);
  game.graceCounter = 1;
}

bool StageLoopTest(const GameLoop& game) {
  return PumpWindowMessages() == 0 && !EscapeHeld() && game.boss.damage < 150.0 && game.player.damage < 5 &&
         game.lives > 0;
}

void GameOverScreen(GameLoop& game) {
  DrawTextWithFont(190, 210, "GAME OVER!", PackScreenColor(40, 40, 255), game.assets.bigFont, 0, 0);
  G_DDraw_FlipScreen();
  ClearDrawTarget();
  while (PumpWindowMessages() == 0 && static_cast<uint32_t>(GetMillisecondCount(0)) - game.frameStartTime < 5000 &&
         !EscapeHeld() && (ReadPadBits() & kPadConfirm) == 0) {
  }
}

void GameClearSequence(GameLoop& game) {
  const int damage = game.player.damage;
  game.clearBonusTicks = static_cast<int16_t>((5 - damage) * 25 + game.lives * 250);
  game.clearShakeCount = 0;
  StartMusicFile("SE\\mi0101.snd", 1);
  for (game.clearTick = 0; game.clearTick <= (5 - damage) * 25 + game.lives * 250 + 370; ++game.clearTick) {
    const int t = game.clearTick;
    ClearDrawTarget();
    DrawGraph(game.scroll, 0, game.assets.background, 0);
    if (t < 240) {
      const int r = GetRandomUpTo(17) - 8;
      game.boss.x += static_cast<float>(r);
      game.boss.y += static_cast<float>(r);
      ++game.clearShakeCount;
    }
    if (t > 250 && game.clearBonusTicks > 0) {
      game.score += 20;
      --game.clearBonusTicks;
    }
    if (game.score > game.highScore) game.highScore = game.score;
    if (PumpWindowMessages() != 0) throw ProgramEnd{};
    DrawGraph(Truncated(game.player.x), Truncated(game.player.y), game.assets.shipFrames[0], 1);
    if (t < 50) {
      DrawGraph(Truncated(game.boss.x), Truncated(game.boss.y), game.assets.boss, 1);
    } else if (t < 245) {
      DrawGraph(Truncated(game.boss.x), Truncated(game.boss.y), game.assets.explosion, 1);
    }
    DrawTextWithFont(10, 13, "e_HP:", White(), game.assets.smallFont, 0, 0);
    DrawTextWithFont(190, 220, "GAME CLEAR!", White(), game.assets.bigFont, 0, 0);
    DrawShieldGroup(game, true);
    DrawFormattedText(340, 445, White(), "High Score:%u", game.highScore);
    // The score winds half a turn inward to rest at (240, 270).
    const double s = game.clearShakeCount;
    const double angle = s * std::numbers::pi / 240.0;
    DrawFormattedText(Truncated(240.0 + (240.0 - s) * std::cos(angle)), Truncated(270.0 + (240.0 - s) * std::sin(angle)),
                      White(), "Score:%u", game.score);
    G_DDraw_FlipScreen();
  }
}

// Plays one game from the first life to the stage's end.
void PlayStage(GameLoop& game) {
  LifeStart(game);
  while (StageLoopTest(game)) {
    switch (RunStageFrame(game)) {
      case FrameEnd::Clear:
        GameClearSequence(game);
        return;
      case FrameEnd::LifeLost:
        --game.lives;
        if (game.lives <= 0) GameOverScreen(game);
        LifeStart(game);
        break;
      case FrameEnd::Presented:
        break;
    }
  }
}

const char* ScoreComment(uint32_t score) {
  if (score == 0) return "COMMENT : You are a kind of god!!!";
  if (score < 12000) return "COMMENT : Do your best!";
  if (score < 20000) return "COMMENT : SENSE NAI!  kamo..";
  if (score < 32000) return "COMMENT : So so!";
  if (score < 38000) return "COMMENT : Good job!!";
  if (score < 40000) return "COMMENT : Excellent!!";
  return "COMMENT : Arienai!!!";
}

ResultChoice ResultScreen(GameLoop& game) {
  HaltSoundPlayback(game.assets.stageMusic);
  ClearDrawTarget();
  DrawTextWithFont(70, 110, ">>If replay,", White(), game.assets.bigFont, 0, 0);
  DrawTextWithFont(90, 160, "please push 'PAD_2 or X'..", White(), game.assets.bigFont, 0, 0);
  DrawTextWithFont(70, 230, ">>Else ,", White(), game.assets.bigFont, 0, 0);
  DrawTextWithFont(90, 280, "please push 'Esc'..", White(), game.assets.bigFont, 0, 0);
  DrawTextWithFont(70, 410, ScoreComment(game.score), White(), game.assets.smallFont, 0, 0);
  DrawFormattedText(70, 356, White(), "High Score:%u", game.highScore);
  DrawFormattedText(70, 380, White(), "Score:%u", game.score);
  G_DDraw_FlipScreen();
  for (;;) {
    if (PumpWindowMessages() != 0 || EscapeHeld()) return ResultChoice::Exit;
    game.frameStartTime = static_cast<uint32_t>(GetMillisecondCount(0));
    if (ReadPadBits() & kPadConfirm) return ResultChoice::Replay;
    FramePacer(game, 25, 5);
  }
}

// The chain of scenes from the first reset to the program's end: 0, or -1 when the save file cannot be written.
int RunScenes(GameLoop& game) {
  for (;;) {
    if (!NewGameReset(game)) return -1;
    SplashScreen(game);
    TitleChoice choice = TitleMenu(game);
    if (choice == TitleChoice::Exit) return 0;
    if (choice == TitleChoice::Reset) continue;
    StageStartDelay(game);
    PlayStage(game);
    if (ResultScreen(game) == ResultChoice::Exit) return 0;
  }
}

}  // namespace

int QeltMain(GameLoop& game) {
  SetMainWindowTitle("Qelt Ver1.03");
  ChangeWindowMode(1);
  if (StartupLibrary() == -1) return -1;
  LoadGameAssets(game.assets);
  SelectDrawTarget(-2);
  int result = ReadHighScore(game);
  if (result == 0) {
    try {
      result = RunScenes(game);
    } catch (const ProgramEnd&) {
      result = 0;
    }
  }
  // Also on the save file's failures: nothing of the started library is left behind.
  ShutdownLibrary();
  return result;
}
