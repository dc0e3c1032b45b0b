// The per-step input: bar, launch edges, recording rules, leaving clicks,
// restart, camera, Alt+Enter and the playback substitution.
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

void FinishFadeIn(World& w) {
  while (w.g.vars.clock.nextScene != kFadeIdle) w.Step();
}

TEST(Bar, FollowsTheMouseByAnEighthOfItsCountsWithinTheWalls) {
  auto w = MakeWorld();
  w->Step(80);
  EXPECT_DOUBLE_EQ(w->ctx.bars[0].x, 10.0);
  w->Step(80);
  EXPECT_DOUBLE_EQ(w->ctx.bars[0].x, 19.0);
  w->Step(-1000);
  EXPECT_DOUBLE_EQ(w->ctx.bars[0].x, -19.0);
}

TEST(Launch, HeldButtonLaunchesOnceAndEachNewPressLaunchesTheNextBall) {
  auto w = MakeWorld();
  w->Step(0, true);  // still held from the title: no click
  EXPECT_EQ(w->ctx.ballsLaunched, 0);
  w->Step(0, false);
  w->Step(0, true);
  w->Step(0, true);
  EXPECT_EQ(w->ctx.ballsLaunched, 1);
  const Ball& b = w->ctx.balls[0];
  EXPECT_EQ(b.launched, 1);
  EXPECT_NEAR(std::atan2(b.vy, b.vx), kLaunchAngle, 1e-6);
  for (int i = 0; i < 5; ++i) {
    w->Step(0, false);
    w->Step(0, true);
  }
  EXPECT_EQ(w->ctx.ballsLaunched, 3);  // the stock is three
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
  w->ctx.score = 777;
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
  w->ctx.phase = AllClear;
  w->Step(10, true);
  EXPECT_EQ(w->store.usedSize(), kReplayHeaderArea);
}

TEST(LeavingClick, GameOverClickGoesToTheRankingWithTheLevelAndFinishesTheReplay) {
  auto w = MakeWorld(Recording);
  w->store.calendarNow = [] { return std::time_t{1115802245}; };
  w->ctx.phase = GameOver;
  w->ctx.level = 2;
  w->ctx.score = 1234567;
  w->ctx.ballStock = 0;  // no revive
  w->Step(0, false);
  w->Step(0, true);
  EXPECT_EQ(w->g.vars.clock.nextScene, Ranking);
  EXPECT_EQ(w->ctx.reachedLevel, 2);
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
  EXPECT_EQ(w->ctx.bars[0].x, 0.0);
}

TEST(LeavingClick, AllClearClickCountsOnlyAfterThePresentation) {
  auto w = MakeWorld(Recording);
  w->ctx.phase = AllClear;
  w->Step(0, false);
  w->Step(0, true);
  EXPECT_LT(w->g.vars.clock.nextScene, 0);
  w->g.vars.bannerStage = 255;
  w->Step(0, false);
  w->Step(0, true);
  EXPECT_EQ(w->g.vars.clock.nextScene, Ranking);
  EXPECT_EQ(w->ctx.reachedLevel, 5);
}

TEST(LeavingClick, APlaybackAlwaysReturnsToTheTitle) {
  for (int32_t mode : {Playback, PlaybackEnded}) {
    auto w = MakeWorld();
    w->ctx.replayMode = mode;
    w->g.vars.nextFrame.frame = 1000000;  // nothing recorded comes up
    w->ctx.phase = GameOver;
    w->ctx.ballStock = 0;
    GameInputWith(w->g, MouseState{}, KeyboardState{});
    // Only recorded clicks reach a playback: feed one.
    if (mode == Playback) {
      w->g.vars.nextFrame = InputFrame{0, 0x80, 0, w->ctx.frameNumber, w->ctx.score};
      GameInputWith(w->g, MouseState{}, KeyboardState{});
    } else {
      MouseState click{};
      click.rgbButtons[0] = 0x80;
      GameInputWith(w->g, click, KeyboardState{});
    }
    EXPECT_EQ(w->g.vars.clock.nextScene, Title) << mode;
    EXPECT_EQ(w->ctx.replayMode, Off) << mode;
  }
}

TEST(Restart, BackspaceWaitsForTheFadeInThenRestartsOrLeavesThePlayback) {
  auto w = MakeWorld(Recording);
  const KeyboardState backspace = Keys({key::Backspace});
  w->Step(0, false, &backspace);
  EXPECT_LT(w->g.vars.clock.nextScene, 0);
  FinishFadeIn(*w);
  w->Step(0, false, &backspace);
  EXPECT_EQ(w->g.vars.clock.nextScene, Game);
  EXPECT_EQ(w->ctx.replayMode, Recording);

  auto p = MakeWorld();
  p->ctx.replayMode = Playback;
  p->g.vars.nextFrame.frame = 1000000;
  FinishFadeIn(*p);
  p->Step(0, false, &backspace);
  EXPECT_EQ(p->g.vars.clock.nextScene, Title);
  EXPECT_EQ(p->ctx.replayMode, Off);
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

struct CountingSwitch : DisplayModeSwitch {
  int calls = 0;
  void ChangeMode(AppContext&) override { ++calls; }
};

TEST(FullScreen, AltEnterSwitchesOncePerPress) {
  auto w = MakeWorld();
  CountingSwitch modes;
  w->g.modeSwitch = &modes;
  w->ctx.fullScreen = 1;
  const KeyboardState altEnter = Keys({key::RightAlt, key::Enter});
  const KeyboardState none{};
  w->Step(0, false, &altEnter);  // held since the previous scene: no press
  EXPECT_EQ(modes.calls, 0);
  w->Step(0, false, &none);
  for (int i = 0; i < 10; ++i) w->Step(0, false, &altEnter);
  EXPECT_EQ(w->ctx.fullScreen, 0);
  EXPECT_EQ(modes.calls, 1);
  w->Step(0, false, &none);
  const KeyboardState leftAltEnter = Keys({key::LeftAlt, key::Enter});
  w->Step(0, false, &leftAltEnter);
  EXPECT_EQ(w->ctx.fullScreen, 1);
  EXPECT_EQ(modes.calls, 2);
  const KeyboardState enter = Keys({key::Enter});
  w->Step(0, false, &none);
  w->Step(0, false, &enter);
  EXPECT_EQ(modes.calls, 2);
}

}  // namespace
}  // namespace quadrel::test
