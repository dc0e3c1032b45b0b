// Game phases, level ends, bonuses, revive, and the reset between games.
#include "GameFixture.hpp"

namespace quadrel::test {
namespace {

// Leaves block 0 flying one step short of being counted.
void AlmostClearLevel(World& w, int toClear) {
  w.g.blocksCleared = toClear - 1;
  for (Block& b : w.g.blocks) b.alive = 0;
  Block& last = w.g.blocks[0];
  last.alive = 1;
  last.state = Struck;
  last.z = 119.0;
}

TEST(NewGame, StartsInTheLevelBannerWithThreeBallsAndFiftyRestingBlocks) {
  auto w = MakeWorld(Recording);
  EXPECT_EQ(w->g.phase, LevelIntro);
  EXPECT_EQ(w->g.ballStock, 3);
  EXPECT_EQ(w->g.score, 0);
  int alive = 0;
  for (int k = 0; k < kBlockCount; ++k) {
    const Block& b = w->g.blocks[k];
    if (b.alive == 0) continue;
    ++alive;
    EXPECT_LT(k, 50);
    EXPECT_EQ(b.state, Resting);
  }
  EXPECT_EQ(alive, 50);
  for (int i = 0; i < 127; ++i) GameUpdate(w->g, w->ev);
  EXPECT_EQ(w->g.phase, LevelIntro);
  GameUpdate(w->g, w->ev);
  EXPECT_EQ(w->g.phase, Playing);
  EXPECT_EQ(w->g.vars.bannerAlpha, 0);
}

TEST(LevelEnd, ClearingLevelOneWithTwoBallsInPlayAddsTwoMillion) {
  auto w = MakeWorld();
  w->g.phase = Playing;
  AlmostClearLevel(*w, 50);
  w->Launch(-10.0, 20.0, 0.3, 0.4, 0.5);
  w->Launch(10.0, 20.0, -0.3, 0.4, 0.5);
  GameUpdate(w->g, w->ev);
  EXPECT_EQ(w->g.level, 1);
  EXPECT_EQ(w->g.phase, LevelIntro);
  EXPECT_EQ(w->g.blocksCleared, 0);
  EXPECT_EQ(w->g.vars.levelClearBonus, 2000000);
  EXPECT_EQ(w->g.score, 20 + 2000000);
}

TEST(LevelEnd, ClearingTheFifthLevelSetsBothBonusesWithoutCreditingThem) {
  auto w = MakeWorld();
  w->g.phase = Playing;
  w->g.level = 4;
  w->g.ballStock = 5;
  w->g.ballsLaunched = 3;
  w->g.ballsLost = 2;
  w->g.descendCountdown = 0;
  AlmostClearLevel(*w, 90);
  w->Launch(0.0, 20.0, 0.3, 0.4, 0.5);
  const int32_t before = w->g.score;
  GameUpdate(w->g, w->ev);
  EXPECT_EQ(w->g.phase, AllClear);
  EXPECT_EQ(w->g.level, 4);
  EXPECT_EQ(w->g.vars.levelClearBonus, 5000000);
  EXPECT_EQ(w->g.vars.ballBonus, 3000000);
  EXPECT_EQ(w->g.score, before + 20);  // juggling of the step, no bonus
  // The step ended at the all-clear: no descent work was done.
  EXPECT_EQ(w->g.descendCountdown, 0);
}

TEST(LevelEnd, LastBallLostInTheSameStepWinsOverTheLevelEnd) {
  auto w = MakeWorld();
  w->g.phase = Playing;
  w->g.ballStock = 1;
  AlmostClearLevel(*w, 50);
  w->Launch(0.0, 1.2, 0.0, -0.5, 0.5);
  GameUpdate(w->g, w->ev);
  EXPECT_EQ(w->g.phase, GameOver);
  EXPECT_EQ(w->g.level, 0);
  EXPECT_EQ(w->g.blocksCleared, 50);
}

TEST(Revive, ExtendCaughtAfterTheLastBallFellRevivesForOneHundredTwentySteps) {
  auto w = MakeWorld();
  w->ClearField();
  w->g.phase = Playing;
  w->g.ballStock = 1;
  w->Launch(0.0, 1.2, 0.0, -0.5, 0.5);
  SpawnItem(w->g, w->g.bars[0].x, 20.0, ExtendItem);
  GameUpdate(w->g, w->ev);
  ASSERT_EQ(w->g.phase, GameOver);
  EXPECT_EQ(w->ev.stopSound, 1);
  int steps = 0;
  while (w->g.phase == GameOver && steps < 500) {
    GameUpdate(w->g, w->ev);
    ++steps;
  }
  ASSERT_EQ(w->g.phase, Revive);
  EXPECT_EQ(w->g.ballStock, 2);
  int revive = 0;
  while (w->g.phase == Revive) {
    GameUpdate(w->g, w->ev);
    ++revive;
  }
  EXPECT_EQ(revive, 120);
  EXPECT_EQ(w->g.phase, Playing);
  EXPECT_EQ(w->ev.startMusic, 1);
  EXPECT_EQ(w->g.vars.bannerAlpha, 0);
  EXPECT_EQ(w->g.ballStock - w->g.ballsLaunched, 1);
}

TEST(Revive, AGameRestartedDuringReviveStartsClean) {
  auto w = MakeWorld();
  w->g.vars.reviveActive = 1;
  w->g.vars.reviveTimer = 7;
  w->g.phase = Revive;
  GameReset(w->g);
  EnterGameState(w->g);
  EXPECT_EQ(w->g.vars.reviveActive, 0);
  EXPECT_EQ(w->g.vars.reviveTimer, 0);
  // A later revive in the new game runs its full length again.
  w->g.phase = Revive;
  int revive = 0;
  while (w->g.phase == Revive && revive < 1000) {
    GameUpdate(w->g, w->ev);
    ++revive;
  }
  EXPECT_EQ(revive, 120);
}

TEST(Phases, GameOverBannerRisesByTwoUpTo255) {
  auto w = MakeWorld();
  w->ClearField();
  w->g.phase = GameOver;
  w->g.ballStock = 0;
  for (int i = 0; i < 10; ++i) GameUpdate(w->g, w->ev);
  EXPECT_EQ(w->g.vars.bannerAlpha, 20);
  for (int i = 0; i < 200; ++i) GameUpdate(w->g, w->ev);
  EXPECT_EQ(w->g.vars.bannerAlpha, 255);
  EXPECT_EQ(w->g.phase, GameOver);
}

TEST(Phases, TheFirstResetZeroFillsButKeepsTheRandomStreamAndTheReplay) {
  ReplayStore store;
  GameState g{};
  g.replay = &store;
  g.gameRandom.Seed(99);
  g.score = 1234;
  GameReset(g);
  EXPECT_EQ(g.score, 0);
  EXPECT_EQ(g.gameRandom.State(), 99u);
  EXPECT_EQ(g.replay, &store);
  g.score = 1234;
  GameReset(g);  // later resets keep the score for the ranking
  EXPECT_EQ(g.score, 1234);
}

}  // namespace
}  // namespace quadrel::test
