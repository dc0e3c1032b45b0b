// The scene tick: step and draw pacing on fast, 30-fps and slow machines,
// the FPS meter, a pause that is not caught up, a failed initialisation.
#include <gtest/gtest.h>

#include "scenes/Scene.hpp"

namespace quadrel {
namespace {

// A scene whose update and draw take fixed times on a fake clock.
struct TimedScene : Scene {
  SceneId Id() const override { return SceneId::Title; }
  FixedStepClock& Clock() override { return clock; }
  int32_t Initialise(AppContext&) override { return initResult; }
  void Input(AppContext&) override { ++inputs; }
  void StepInput(AppContext& ctx) override {
    ++stepInputs;
    if (leaves) ctx.scene = SceneNumber(SceneId::Ranking);
  }
  StepKind StepAfterInput() override { return kind; }
  void Update(AppContext&) override {
    ++updates;
    now += updateCost;
    AdvanceFade(clock);
  }
  void Draw(AppContext&) override {
    ++draws;
    now += drawCost;
  }
  FixedStepClock clock;
  int32_t initResult = 0;
  uint32_t now = 0;
  uint32_t updateCost = 0, drawCost = 0, idleCost = 1;
  int inputs = 0, stepInputs = 0, updates = 0, draws = 0;
  StepKind kind = StepKind::Run;
  bool leaves = false;
};

// Runs ticks until the fake clock passes `until` milliseconds.
void RunUntil(TimedScene& s, AppContext& ctx, uint32_t until) {
  const MillisecondClock clock = [&s] { return s.now; };
  while (s.now < until) {
    RunSceneTick(s, ctx, clock);
    s.now += s.idleCost;
  }
}

TEST(Tick, FastMachineStepsAndDrawsSixtyTimesASecond) {
  TimedScene s;
  AppContext ctx{};
  RunUntil(s, ctx, 1000);
  EXPECT_NEAR(s.updates, 60, 1);
  EXPECT_EQ(s.draws, s.updates);
  EXPECT_GT(s.inputs, s.updates);  // input on every tick
  RunUntil(s, ctx, 3000);
  EXPECT_NEAR(ctx.fps, 60.0, 1.5);
}

TEST(Tick, ThirtyFpsMachineStillUpdatesSixtyTimesDrawingEverySecondStep) {
  TimedScene s;
  s.drawCost = 30;  // about 30 frames a second at most
  AppContext ctx{};
  RunUntil(s, ctx, 10000);
  EXPECT_NEAR(s.updates, 600, 12);
  // Drawing as fast as it can, it skips the draw of about every second step.
  EXPECT_NEAR(s.draws, s.updates / 2, 20);
  EXPECT_NEAR(ctx.fps, s.draws / 10.0, 1.5);
}

TEST(Tick, SlowMachineRunsSlowerAndForgetsItsDebtAtEachSecond) {
  TimedScene s;
  s.updateCost = 25;  // only 40 steps fit in a second
  AppContext ctx{};
  RunUntil(s, ctx, 5000);
  EXPECT_LE(s.updates, 5 * 41);
  EXPECT_GE(s.updates, 5 * 38);
  // Never more than one step per tick: no burst after a boundary.
  const int before = s.updates;
  const MillisecondClock clock = [&s] { return s.now; };
  RunSceneTick(s, ctx, clock);
  EXPECT_LE(s.updates - before, 1);
}

TEST(Tick, APauseIsNotCaughtUpAndAFailedInitialisationDoesNothing) {
  TimedScene s;
  AppContext ctx{};
  RunUntil(s, ctx, 1000);
  const int updates = s.updates;
  s.now += 10000;  // minimised for ten seconds: no ticks ran
  RunUntil(s, ctx, s.now + 100);
  EXPECT_LE(s.updates - updates, 8);
  s.initResult = -1;
  const int draws = s.draws, inputs = s.inputs;
  RunUntil(s, ctx, s.now + 100);
  EXPECT_EQ(s.draws, draws);
  EXPECT_EQ(s.inputs, inputs);
}

TEST(Tick, InputLeavingTheSceneEndsTheStepAndHeldStepsAreNoFrames) {
  TimedScene s;
  AppContext ctx{};
  RunUntil(s, ctx, 2000);
  ASSERT_NEAR(ctx.fps, 60.0, 1.5);
  // Held: the input runs once per step, nothing is updated, and only the
  // redraws the scene asks for are drawn, none of them counted.
  const int updates = s.updates, draws = s.draws, stepInputs = s.stepInputs;
  s.kind = StepKind::Held;
  RunUntil(s, ctx, 3000);
  EXPECT_NEAR(s.stepInputs - stepInputs, 60, 1);
  EXPECT_EQ(s.updates, updates);
  EXPECT_EQ(s.draws, draws);
  s.kind = StepKind::HeldDrawn;
  RunUntil(s, ctx, 4000);
  EXPECT_NEAR(s.draws - draws, 60, 1);
  EXPECT_NEAR(ctx.fps, 60.0, 1.5);  // the reading from before the hold
  // An input that left the scene: no update and no draw after it.
  s.kind = StepKind::Run;
  s.leaves = true;
  const int before = s.draws;
  RunUntil(s, ctx, 4100);
  EXPECT_EQ(s.updates, updates);
  EXPECT_EQ(s.draws, before);
}

}  // namespace
}  // namespace quadrel
