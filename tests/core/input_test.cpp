// The per-step input: bar, launch edges, recording rules, leaving clicks,
// camera and the playback substitution.
#include <cmath>
#include <cstring>

#include "GameFixture.hpp"

namespace quadrel::test {
namespace {

KeyboardState Keys(std::initializer_list<int> down) {
  KeyboardState k{};
  for (int code : down) k.keys[code] = 0x80;
  return k;
}

TEST(Bar, FollowsTheMouseByAnEighthOfItsCountsWithinTheWalls) {
  auto w = MakeWorld();
  w->Step(80);
  EXPECT_DOUBLE_EQ(w->g.bars[0].x, 10.0);
  w->Step(80);
  EXPECT_DOUBLE_EQ(w->g.bars[0].x, 19.0);
  w->Step(-1000);
  EXPECT_DOUBLE_EQ(w->g.bars[0].x, -19.0);
}

TEST(Launch, HeldButtonLaunchesOnceAndEachNewPressLaunchesTheNextBall) {
  auto w = MakeWorld();
  w->Step(0, true);  // still held from the title: no click
  EXPECT_EQ(w->g.ballsLaunched, 0);
  w->Step(0, false);
  w->Step(0, true);
  w->Step(0, true);
  EXPECT_EQ(w->g.ballsLaunched, 1);
  const Ball& b = w->g.balls[0];
  EXPECT_EQ(b.launched, 1);
  EXPECT_NEAR(std::atan2(b.vy, b.vx), kLaunchAngle, 1e-6);
  for (int i = 0; i < 5; ++i) {
    w->Step(0, false);
    w->Step(0, true);
  }
  EXPECT_EQ(w->g.ballsLaunched, 3);  // the stock is three
}

TEST(Recording, OnlyStepsWithMovementOrAHeldButtonAreRecorded) {
  auto w = MakeWorld(Recording);
  w->Step(0, false);  // frame 0: nothing
  w->Step(5, false);  // frame 1: movement
  w->Step(0, true);   // frame 2: button held
  w->Step(0, false);  // frame 3: nothing
  ASSERT_EQ(w->store.usedSize(), kReplayHeaderArea + 2 * kInputFrameSize);
  int32_t frames[2];
  std::memcpy(&frames[0], w->store.data() + kReplayHeaderArea + 4, 4);
  std::memcpy(&frames[1], w->store.data() + kReplayHeaderArea + 16, 4);
  EXPECT_EQ(frames[0], 1);
  EXPECT_EQ(frames[1], 2);
}

TEST(Recording, FramesCarryDxButtonFrameAndTheScoreBeforeTheUpdate) {
  auto w = MakeWorld(Recording);
  w->Steps(3);
  w->g.score = 777;
  w->Step(-300, true);
  const uint8_t* p = w->store.data() + kReplayHeaderArea;
  int16_t dx;
  int32_t frame, score;
  std::memcpy(&dx, p, 2);
  std::memcpy(&frame, p + 4, 4);
  std::memcpy(&score, p + 8, 4);
  EXPECT_EQ(dx, -300);
  EXPECT_EQ(p[2], 0x80);
  EXPECT_EQ(frame, 3);
  EXPECT_EQ(score, 777);
  EXPECT_EQ(w->store.lastInputFrame(), 3);
}

TEST(Recording, NothingIsRecordedFromTheAllClearOn) {
  auto w = MakeWorld(Recording);
  w->g.phase = AllClear;
  w->Step(10, true);
  EXPECT_EQ(w->store.usedSize(), kReplayHeaderArea);
}

TEST(LeavingClick, GameOverClickGoesToTheRankingWithTheLevelAndFinishesTheReplay) {
  auto w = MakeWorld(Recording);
  w->store.calendarNow = [] { return std::time_t{1115802245}; };
  w->g.phase = GameOver;
  w->g.level = 2;
  w->g.score = 1234567;
  w->g.ballStock = 0;  // no revive
  w->Step(0, false);
  w->Step(0, true);
  EXPECT_EQ(w->g.vars.clock.nextScene, Ranking);
  EXPECT_EQ(w->g.reachedLevel, 2);
  const std::tm local = LocalTime(1115802245);
  EXPECT_EQ(w->store.fileName(), ReplayFileName(1234567, local));
  EXPECT_EQ(w->store.fileName().size(), 28u);
  EXPECT_EQ(w->store.header().score, 1234567);
  EXPECT_EQ(w->store.header().level, 2);
  EXPECT_EQ(w->store.header().lastInputFrame, 1);
  EXPECT_EQ(w->store.header().version, kReplayVersion);
  EXPECT_EQ(std::string(w->store.header().date), ReplayDate(local));
  EXPECT_STREQ(reinterpret_cast<const char*>(w->store.data()), "for Quadrel data.");
  // The fade has begun: further input is ignored.
  w->Step(500, false);
  EXPECT_EQ(w->g.bars[0].x, 0.0);
}

TEST(LeavingClick, AllClearClickCountsOnlyAfterThePresentation) {
  auto w = MakeWorld(Recording);
  w->g.phase = AllClear;
  w->Step(0, false);
  w->Step(0, true);
  EXPECT_LT(w->g.vars.clock.nextScene, 0);
  w->countUpDone = true;
  w->Step(0, false);
  w->Step(0, true);
  EXPECT_EQ(w->g.vars.clock.nextScene, Ranking);
  EXPECT_EQ(w->g.reachedLevel, 5);
}

TEST(LeavingClick, APlaybackAlwaysReturnsToTheTitle) {
  for (int32_t mode : {Playback, PlaybackEnded}) {
    auto w = MakeWorld();
    w->g.replayMode = mode;
    w->g.vars.nextFrame.frame = 1000000;  // nothing recorded comes up
    w->g.phase = GameOver;
    w->g.ballStock = 0;
    GameInput(w->g, StepInput{}, w->ev);
    // Only recorded clicks reach a playback: feed one.
    StepInput click;
    if (mode == Playback) {
      w->g.vars.nextFrame = InputFrame{0, 0x80, 0, w->g.frameNumber, w->g.score};
    } else {
      click.mouse.rgbButtons[0] = 0x80;
    }
    GameInput(w->g, click, w->ev);
    EXPECT_EQ(w->g.vars.clock.nextScene, Title) << mode;
    EXPECT_EQ(w->g.replayMode, Off) << mode;
  }
}

TEST(Camera, ArrowKeysTurnAndMoveTheEyeLeftAndNearerWinning) {
  auto w = MakeWorld();
  EXPECT_FLOAT_EQ(w->g.vars.cameraEye[2], -70.0f);
  const KeyboardState both = Keys({key::Left, key::Right, key::Up, key::Down});
  w->Step(0, false, &both);
  EXPECT_FLOAT_EQ(w->g.vars.cameraAngle, 269.0f);
  EXPECT_FLOAT_EQ(w->g.vars.cameraDistance, 69.0f);
  const float a = 269.0f * 3.1415927f / 180.0f;
  EXPECT_FLOAT_EQ(w->g.vars.cameraEye[0], std::cos(a) * 69.0f);
  EXPECT_FLOAT_EQ(w->g.vars.cameraEye[1], 20.0f);
  const KeyboardState up = Keys({key::Up});
  for (int i = 0; i < 100; ++i) w->Step(0, false, &up);
  EXPECT_FLOAT_EQ(w->g.vars.cameraDistance, 30.0f);
  const KeyboardState down = Keys({key::Down});
  for (int i = 0; i < 300; ++i) w->Step(0, false, &down);
  EXPECT_FLOAT_EQ(w->g.vars.cameraDistance, 200.0f);
}

}  // namespace
}  // namespace quadrel::test
