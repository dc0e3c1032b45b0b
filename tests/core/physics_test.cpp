// Ball motion: walls, ceiling, floor, bars, blocks, speed rules and the box test.
#include <cmath>
#include <limits>

#include "GameFixture.hpp"

namespace quadrel::test {
namespace {

TEST(Walls, BallCrossingTheSideWallIsPutBackAndReversed) {
  auto w = MakeWorld();
  w->ClearField();
  Ball& b = w->Launch(22.0, 30.0, 0.5, 0.0, 0.5);
  b.vy = 0.3;
  b.vx = 0.4;  // |v| = 0.5
  b.x = 22.1;  // moves to 22.5
  StepBalls(w->g, w->ev);
  EXPECT_EQ(b.x, 22.0);
  EXPECT_LT(b.vx, 0.0);
  EXPECT_NEAR(b.vx, -0.4, 1e-12);
  EXPECT_EQ(w->ev.hits, 1);

  Ball& left = w->Launch(-21.8, 30.0, -0.4, 0.3, 0.5);  // to -22.2
  StepBalls(w->g, w->ev);
  EXPECT_EQ(left.x, -22.0);
  EXPECT_GT(left.vx, 0.0);
  EXPECT_EQ(w->ev.hits, 2);
}

TEST(Walls, BallExactlyOnTheWallLineIsNotReflected) {
  auto w = MakeWorld();
  w->ClearField();
  Ball& b = w->Launch(21.5, 30.0, 0.5, 0.0, 0.5);  // lands on exactly 22.0
  b.vy = 0.0;
  StepBalls(w->g, w->ev);
  EXPECT_EQ(b.x, 22.0);
  EXPECT_GT(b.vx, 0.0);
  EXPECT_EQ(w->ev.hits, 0);
}

TEST(Walls, CeilingClampsAndReverses) {
  auto w = MakeWorld();
  w->ClearField();
  Ball& b = w->Launch(0.0, 53.8, 0.0, 0.5, 0.5);
  StepBalls(w->g, w->ev);
  EXPECT_EQ(b.y, 54.0);
  EXPECT_LT(b.vy, 0.0);
  EXPECT_EQ(w->ev.hits, 1);
}

TEST(Floor, LastBallLostEndsTheGameOnceAndStopsTheSound) {
  auto w = MakeWorld();
  w->ClearField();
  w->g.phase = Playing;
  w->g.ballStock = 1;
  Ball& b = w->Launch(0.0, 1.2, 0.0, -0.5, 0.5);
  StepBalls(w->g, w->ev);
  EXPECT_EQ(b.lost, 1);
  EXPECT_EQ(w->g.ballsLost, 1);
  EXPECT_EQ(w->g.phase, GameOver);
  EXPECT_EQ(w->ev.stopSound, 1);
}

TEST(Floor, LosingEveryBallDuringAllClearIsNoGameOver) {
  auto w = MakeWorld();
  w->ClearField();
  w->g.phase = AllClear;
  w->g.ballStock = 1;
  w->Launch(0.0, 1.2, 0.0, -0.5, 0.5);
  StepBalls(w->g, w->ev);
  EXPECT_EQ(w->g.phase, AllClear);
  EXPECT_EQ(w->ev.stopSound, 0);
}

TEST(BarReflection, OffCentreHitAddsATenthOfTheOffsetAndSpeedsUp) {
  auto w = MakeWorld();
  w->ClearField();
  w->g.bars[0].x = 0.0;
  // Comes straight down onto the bar top (y 5.0) 3.5 right of its centre.
  Ball& b = w->Launch(3.5, 6.0, 0.0, -0.5, 0.5);
  StepBalls(w->g, w->ev);
  EXPECT_EQ(w->ev.bars, 1);
  EXPECT_DOUBLE_EQ(b.speed, 0.55);
  EXPECT_GT(b.vy, 0.0);
  // Before renormalisation the velocity was (0.35, 0.5).
  EXPECT_NEAR(b.vx / b.vy, 0.35 / 0.5, 1e-12);
  EXPECT_NEAR(std::hypot(b.vx, b.vy), 0.55, 1e-12);
}

TEST(BarReflection, BallRisingIntoTheBarStillLeavesUpwardAndSpeedStopsAtTheLevelCap) {
  auto w = MakeWorld();
  w->ClearField();
  w->g.level = 2;  // cap 0.8
  Ball& b = w->Launch(-2.0, 4.2, 0.3, 0.1, 0.8);
  StepBalls(w->g, w->ev);
  EXPECT_EQ(w->ev.bars, 1);
  EXPECT_GT(b.vy, 0.0);
  EXPECT_DOUBLE_EQ(b.speed, 0.8);
}

TEST(SpeedRules, NearlyHorizontalVelocityKeepsAMinimumClimb) {
  auto w = MakeWorld();
  w->ClearField();
  Ball& down = w->Launch(0.0, 30.0, 0.5, -0.05, 0.5);
  Ball& flat = w->Launch(5.0, 30.0, 0.5, 0.0, 0.5);
  StepBalls(w->g, w->ev);
  // vy became -0.2 (then the vector is rescaled), and a zero vy climbs.
  EXPECT_NEAR(down.vy / down.vx, -0.2 / 0.5, 1e-12);
  EXPECT_NEAR(flat.vy / flat.vx, 0.2 / 0.5, 1e-12);
  EXPECT_GT(flat.vy, 0.0);
}

TEST(BoxTest, FlatHitsReverseOneComponentAndCornersMixBoth) {
  Ball b{};
  b.vx = 0.3;
  b.vy = -0.4;
  // Above the top face.
  EXPECT_EQ(CollideBallWithBox(0.0, 1.5, 1.0, -1.0, -2.0, 2.0, b), 1);
  EXPECT_DOUBLE_EQ(b.vx, 0.3);
  EXPECT_DOUBLE_EQ(b.vy, 0.4);
  // Left of the left face.
  b.vx = 0.3;
  b.vy = -0.4;
  EXPECT_EQ(CollideBallWithBox(-2.5, 0.0, 1.0, -1.0, -2.0, 2.0, b), 1);
  EXPECT_DOUBLE_EQ(b.vx, -0.3);
  EXPECT_DOUBLE_EQ(b.vy, -0.4);
  // Corner at 45 degrees: both grow by 2|v| / sqrt(2) against the box.
  b.vx = 0.3;
  b.vy = -0.4;
  const double s = 0.5;
  EXPECT_EQ(CollideBallWithBox(2.0 + s, 1.0 + s, 1.0, -1.0, -2.0, 2.0, b), 1);
  EXPECT_NEAR(b.vx, 0.3 + 2 * 0.3 * std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(b.vy, -0.4 + 2 * 0.4 * std::sqrt(0.5), 1e-12);
  // Out of reach: no change.
  b.vx = 0.3;
  b.vy = -0.4;
  EXPECT_EQ(CollideBallWithBox(0.0, 2.0, 1.0, -1.0, -2.0, 2.0, b), 0);
  EXPECT_EQ(CollideBallWithBox(3.0, 0.0, 1.0, -1.0, -2.0, 2.0, b), 0);
  EXPECT_DOUBLE_EQ(b.vy, -0.4);
}

TEST(BoxTest, CentreInsideTheBoxIsSteppedBackAlongItsVelocity) {
  Ball b{};
  b.vx = 0.0;
  b.vy = -0.5;
  // Inside, 0.3 under the top: stepped back it is 0.2 above the top face.
  EXPECT_EQ(CollideBallWithBox(0.0, 0.7, 1.0, -1.0, -2.0, 2.0, b), 1);
  EXPECT_DOUBLE_EQ(b.vy, 0.5);
}

TEST(BoxTest, CentreThatStepsBackOntoTheBoxCountsWithoutANaN) {
  // Only a resting ball inside a box steps back onto the very point tested.
  Ball b{};
  b.vx = 0.0;
  b.vy = 0.0;
  EXPECT_EQ(CollideBallWithBox(0.0, 0.5, 1.0, -1.0, -2.0, 2.0, b), 1);
  EXPECT_EQ(b.vx, 0.0);
  EXPECT_EQ(b.vy, 0.0);
}

TEST(Vectors, NormaliseAndQuarterTurns) {
  double x = 3.0, y = 4.0;
  NormalizeVector2(x, y);
  EXPECT_DOUBLE_EQ(x, 0.6);
  EXPECT_DOUBLE_EQ(y, 0.8);
  double rx = 1.0, ry = 0.0;
  RotateVector2(rx, ry, 90.0);
  EXPECT_NEAR(rx, 0.0, 1e-9);
  EXPECT_NEAR(ry, 1.0, 1e-12);
  RotateVector2(rx, ry, -90.0);
  EXPECT_NEAR(rx, 1.0, 1e-12);
  double gx = 1.0, gy = 0.0;
  RotateVector2(gx, gy, 45.0);
  EXPECT_NEAR(gx, std::sqrt(0.5), 1e-9);
  EXPECT_NEAR(gy, std::sqrt(0.5), 1e-9);
}

TEST(Juggling, TwoBallsInPlayForSixtyStepsAddTwelveHundred) {
  auto w = MakeWorld();
  w->ClearField();
  w->g.phase = Playing;
  w->Launch(-10.0, 30.0, 0.3, 0.4, 0.5);
  w->Launch(10.0, 30.0, -0.3, 0.4, 0.5);
  for (int i = 0; i < 60; ++i) GameUpdate(w->g, w->ev);
  EXPECT_EQ(w->g.score, 1200);
}

TEST(Juggling, BlockHitWithThreeBallsInPlayScoresNineThousand) {
  auto w = MakeWorld();
  w->g.phase = Playing;
  w->Launch(-10.0, 10.0, 0.0, 0.5, 0.5);
  w->Launch(10.0, 10.0, 0.0, 0.5, 0.5);
  // Under block 40 (row 4 at y 40, column 0 at x -20), touching next step.
  w->Launch(-20.0, 37.9, 0.0, 0.5, 0.5);
  GameUpdate(w->g, w->ev);
  EXPECT_EQ(w->g.blocks[40].state, Struck);
  EXPECT_EQ(w->g.score, 30 + 9000);
  EXPECT_EQ(w->ev.hits, 1);
}

TEST(Juggling, ScoreWrapsAsTwosComplement) {
  auto w = MakeWorld();
  w->g.phase = Playing;
  w->g.score = std::numeric_limits<int32_t>::max() - 5;
  w->Launch(-20.0, 37.9, 0.0, 0.5, 0.5);
  GameUpdate(w->g, w->ev);
  EXPECT_EQ(w->g.score, static_cast<int32_t>(0x7FFFFFFAu + 1000u));
  EXPECT_LT(w->g.score, 0);
}

TEST(Blocks, StruckBlockFliesAwayCountsInItsSixtyFirstStepAndNoLongerDeflects) {
  auto w = MakeWorld();
  w->g.phase = Playing;
  Ball& b = w->Launch(-20.0, 37.9, 0.0, 0.5, 0.5);
  GameUpdate(w->g, w->ev);  // the hit, and the first fly-away move
  ASSERT_EQ(w->g.blocks[40].state, Struck);
  EXPECT_EQ(w->g.blocks[40].z, 2.0);
  for (int i = 2; i <= 60; ++i) GameUpdate(w->g, w->ev);
  EXPECT_EQ(w->g.blocksCleared, 0);
  GameUpdate(w->g, w->ev);
  EXPECT_EQ(w->g.blocksCleared, 1);
  EXPECT_EQ(w->g.blocks[40].alive, 0);
  // A ball overlapping a struck block passes.
  Block& other = w->g.blocks[41];
  other.state = Struck;
  b.x = other.x;
  b.y = other.y - 1.6;
  b.vx = 0.0;
  b.vy = 0.5;
  const int hits = w->ev.hits;
  StepBalls(w->g, w->ev);
  EXPECT_EQ(w->ev.hits, hits);
  EXPECT_GT(b.vy, 0.0);
}

TEST(Blocks, ABallHitsAtMostOneBarAndOneBlockPerStep) {
  auto w = MakeWorld();
  w->g.phase = Playing;
  // Between blocks 40 and 41 (x -20 and -15.6), just below both.
  Ball& b = w->Launch(-17.8, 37.9, 0.0, 0.5, 0.5);
  StepBalls(w->g, w->ev);
  EXPECT_EQ(w->g.blocks[40].state + w->g.blocks[41].state, Struck);
  EXPECT_EQ(w->g.blocks[40].state, Struck);  // the lower index wins
  EXPECT_LT(b.vy, 0.0);
}

}  // namespace
}  // namespace quadrel::test
