// Game phases, level ends, bonuses, revive, and the reset between games.
#include "GameFixture.hpp"

namespace quadrel::test {
namespace {

// Leaves block 0 flying one step short of being counted.
void AlmostClearLevel(World& w, int toClear) {
  w.ctx.blocksCleared = toClear - 1;
  for (Block& b : w.ctx.blocks) b.alive = 0;
  Block& last = w.ctx.blocks[0];
  last.alive = 1;
  last.state = Struck;
  last.z = 119.0;
}

TEST(NewGame, StartsInTheLevelBannerWithThreeBallsAndFiftyRestingBlocks) {
  auto w = MakeWorld(Recording);
  EXPECT_EQ(w->ctx.phase, LevelIntro);
  EXPECT_EQ(w->ctx.ballStock, 3);
  EXPECT_EQ(w->ctx.score, 0);
  int alive = 0;
  for (int k = 0; k < kBlockCount; ++k) {
    const Block& b = w->ctx.blocks[k];
    if (b.alive == 0) continue;
    ++alive;
    EXPECT_LT(k, 50);
    EXPECT_EQ(b.state, Resting);
  }
  EXPECT_EQ(alive, 50);
  for (int i = 0; i < 127; ++i) GameUpdate(w->g);
  EXPECT_EQ(w->ctx.phase, LevelIntro);
  GameUpdate(w->g);
  EXPECT_EQ(w->ctx.phase, Playing);
  EXPECT_EQ(w->g.vars.bannerAlpha, 0);
}

TEST(LevelEnd, ClearingLevelOneWithTwoBallsInPlayAddsTwoMillion) {
  auto w = MakeWorld();
  w->ctx.phase = Playing;
  AlmostClearLevel(*w, 50);
  w->Launch(-10.0, 20.0, 0.3, 0.4, 0.5);
  w->Launch(10.0, 20.0, -0.3, 0.4, 0.5);
  GameUpdate(w->g);
  EXPECT_EQ(w->ctx.level, 1);
  EXPECT_EQ(w->ctx.phase, LevelIntro);
  EXPECT_EQ(w->ctx.blocksCleared, 0);
  EXPECT_EQ(w->g.vars.levelClearBonus, 2000000);
  EXPECT_EQ(w->ctx.score, 20 + 2000000);
}

TEST(LevelEnd, ClearingTheFifthLevelSetsBothBonusesWithoutCreditingThem) {
  auto w = MakeWorld();
  w->ctx.phase = Playing;
  w->ctx.level = 4;
  w->ctx.ballStock = 5;
  w->ctx.ballsLaunched = 3;
  w->ctx.ballsLost = 2;
  w->ctx.descendCountdown = 0;
  AlmostClearLevel(*w, 90);
  w->Launch(0.0, 20.0, 0.3, 0.4, 0.5);
  const int32_t before = w->ctx.score;
  GameUpdate(w->g);
  EXPECT_EQ(w->ctx.phase, AllClear);
  EXPECT_EQ(w->ctx.level, 4);
  EXPECT_EQ(w->g.vars.levelClearBonus, 5000000);
  EXPECT_EQ(w->g.vars.ballBonus, 3000000);
  EXPECT_EQ(w->ctx.score, before + 20);  // juggling of the step, no bonus
  // The step ended at the all-clear: no descent work was done.
  EXPECT_EQ(w->ctx.descendCountdown, 0);
}

TEST(LevelEnd, LastBallLostInTheSameStepWinsOverTheLevelEnd) {
  auto w = MakeWorld();
  w->ctx.phase = Playing;
  w->ctx.ballStock = 1;
  AlmostClearLevel(*w, 50);
  w->Launch(0.0, 1.2, 0.0, -0.5, 0.5);
  GameUpdate(w->g);
  EXPECT_EQ(w->ctx.phase, GameOver);
  EXPECT_EQ(w->ctx.level, 0);
  EXPECT_EQ(w->ctx.blocksCleared, 50);
}

TEST(Revive, ExtendCaughtAfterTheLastBallFellRevivesForOneHundredTwentySteps) {
  auto w = MakeWorld();
  w->ClearField();
  w->ctx.phase = Playing;
  w->ctx.ballStock = 1;
  w->Launch(0.0, 1.2, 0.0, -0.5, 0.5);
  SpawnItem(w->ctx, w->ctx.bars[0].x, 20.0, ExtendItem);
  GameUpdate(w->g);
  ASSERT_EQ(w->ctx.phase, GameOver);
  EXPECT_EQ(w->sound.stops, 1);
  int steps = 0;
  while (w->ctx.phase == GameOver && steps < 500) {
    GameUpdate(w->g);
    ++steps;
  }
  ASSERT_EQ(w->ctx.phase, Revive);
  EXPECT_EQ(w->ctx.ballStock, 2);
  int revive = 0;
  while (w->ctx.phase == Revive) {
    GameUpdate(w->g);
    ++revive;
  }
  EXPECT_EQ(revive, 120);
  EXPECT_EQ(w->ctx.phase, Playing);
  EXPECT_EQ(w->sound.music, 1);
  EXPECT_EQ(w->g.vars.bannerAlpha, 0);
  EXPECT_EQ(w->ctx.ballStock - w->ctx.ballsLaunched, 1);
}

TEST(Revive, AGameRestartedDuringReviveStartsClean) {
  auto w = MakeWorld();
  w->g.vars.reviveActive = 1;
  w->g.vars.reviveTimer = 7;
  w->ctx.phase = Revive;
  GameReset(w->g);
  EnterGameState(w->g);
  EXPECT_EQ(w->g.vars.reviveActive, 0);
  EXPECT_EQ(w->g.vars.reviveTimer, 0);
  // A later revive in the new game runs its full length again.
  w->ctx.phase = Revive;
  int revive = 0;
  while (w->ctx.phase == Revive && revive < 1000) {
    GameUpdate(w->g);
    ++revive;
  }
  EXPECT_EQ(revive, 120);
}

TEST(Phases, GameOverBannerRisesByTwoUpTo255) {
  auto w = MakeWorld();
  w->ClearField();
  w->ctx.phase = GameOver;
  w->ctx.ballStock = 0;
  for (int i = 0; i < 10; ++i) GameUpdate(w->g);
  EXPECT_EQ(w->g.vars.bannerAlpha, 20);
  for (int i = 0; i < 200; ++i) GameUpdate(w->g);
  EXPECT_EQ(w->g.vars.bannerAlpha, 255);
  EXPECT_EQ(w->ctx.phase, GameOver);
}

TEST(Phases, GameResetKeepsTheScoreAndZeroFillsOnlyOnce) {
  auto w = MakeWorld();
  w->ctx.score = 1234;
  w->ctx.fullScreen = 1;
  GameReset(w->g);
  EXPECT_EQ(w->ctx.score, 1234);
  EXPECT_EQ(w->ctx.fullScreen, 1);
}

}  // namespace
}  // namespace quadrel::test
