// The application shell with a fake clock and a fake window: the fixed-step
// tick as machines of different speed see it, minimised windows, the ways the
// loop ends, the hand-over, display-mode switch and device reset of scenes on
// the shared frame, and single instance.
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <map>

#include "SampleAssets.hpp"
#include "app/Shell.hpp"
#include "app/SingleInstance.hpp"
#include "platform/render/Clock.hpp"
#include "platform/render/HeadlessGraphics.hpp"
#include "scenes/FramedScene.hpp"
#include "scenes/SceneSetup.hpp"

namespace quadrel::app {
namespace {

using platform::FakeClock;

class FakeWindow final : public WindowSystem {
 public:
  explicit FakeWindow(FakeClock& clock) : clock_(clock) {}
  bool PollEvent(WindowEvent& e) override {
    if (events.empty()) return false;
    e = events.front();
    events.pop_front();
    return true;
  }
  bool Minimised() override { return minimised; }
  void Idle() override {
    ++idles;
    clock_.Advance(1);
  }
  void ShowCursor(bool show) { cursorShown = show; }

  std::deque<WindowEvent> events;
  bool minimised = false;
  bool altEnter = false;
  bool button = false;
  bool cursorShown = false;
  int idles = 0;

 private:
  FakeClock& clock_;
};

// A scene whose update and draw take a given time on the fake clock; it counts
// steps and draws per FPS second (by the second's start time).
class TimedScene final : public Scene {
 public:
  TimedScene(FakeClock& clock, uint32_t updateMs, uint32_t drawMs)
      : clock_(clock), updateMs_(updateMs), drawMs_(drawMs) {}
  SceneId Id() const override { return SceneId::Title; }
  FixedStepClock& Clock() override { return fixed_; }
  int32_t Initialise(AppContext&) override {
    ++initialised;
    return initResult;
  }
  void Input(AppContext&) override { ++inputs; }
  void Update(AppContext& ctx) override {
    ++steps[ctx.secondBase];
    clock_.Advance(updateMs_);
  }
  void Draw(AppContext& ctx) override {
    ++draws[ctx.secondBase];
    clock_.Advance(drawMs_);
  }
  std::map<int32_t, int> steps, draws;
  int initialised = 0, inputs = 0;
  int32_t initResult = 0;

 private:
  FakeClock& clock_;
  uint32_t updateMs_, drawMs_;
  FixedStepClock fixed_;
};

struct Loop {
  explicit Loop(uint32_t updateMs, uint32_t drawMs, uint32_t start = 5000)
      : clock(start), window(clock), scene(clock, updateMs, drawMs) {}
  void RunUntil(uint32_t t) {
    while (clock.Peek() < t) ASSERT_TRUE(shell.Pass());
  }
  AppContext ctx{};
  FakeClock clock;
  FakeWindow window;
  TimedScene scene;
  Shell shell{ctx, window, clock, {&scene}};
};

TEST(FrameLoop, AThirtyFpsMachineDrawsEverySecondStep) {
  Loop loop(0, 33);  // drawing takes 33 ms
  loop.RunUntil(5000 + 4000);
  // Whole seconds after the first: 60 steps, about 30 draws.
  int seconds = 0;
  for (const auto& [base, steps] : loop.scene.steps) {
    if (base == 0 || base == loop.ctx.secondBase) continue;  // first and unfinished
    EXPECT_NEAR(steps, 60, 1) << base;
    EXPECT_NEAR(loop.scene.draws[base], 30, 1) << base;
    ++seconds;
  }
  EXPECT_GE(seconds, 2);
  EXPECT_NEAR(loop.ctx.fps, 30.0, 1.5);
}

TEST(FrameLoop, AFastMachineDrawsEveryStepAndWaitsBetween) {
  Loop loop(1, 2);
  loop.RunUntil(5000 + 3000);
  for (const auto& [base, steps] : loop.scene.steps) {
    if (base == 0 || base == loop.ctx.secondBase) continue;
    EXPECT_NEAR(steps, 60, 1);
    EXPECT_EQ(loop.scene.draws[base], steps);  // every step drawn
  }
  EXPECT_NEAR(loop.ctx.fps, 60.0, 1.5);
  // Most passes found nothing due and waited instead of spinning.
  EXPECT_GT(loop.window.idles, 2000);
}

TEST(FrameLoop, ASlowMachineForgetsTheDebtAtEachSecond) {
  Loop loop(25, 0);  // one step takes 25 ms: 40 a second at most
  loop.RunUntil(5000 + 5000);
  int total = 0, seconds = 0;
  for (const auto& [base, steps] : loop.scene.steps) {
    if (base == 0 || base == loop.ctx.secondBase) continue;
    // No burst after the boundary: the steps owed are dropped, not caught up.
    EXPECT_NEAR(steps, 40, 1) << base;
    total += steps;
    ++seconds;
  }
  EXPECT_GE(seconds, 3);
  EXPECT_LT(total, seconds * 45);
}

TEST(FrameLoop, AMinimisedWindowRunsNoTickAndResumesWithoutABurst) {
  Loop loop(0, 0);
  loop.RunUntil(5000 + 1500);
  const int inputsBefore = loop.scene.inputs;
  const int32_t nowBefore = loop.ctx.now;
  loop.window.minimised = true;
  for (int i = 0; i < 3000; ++i) ASSERT_TRUE(loop.shell.Pass());
  EXPECT_EQ(loop.scene.inputs, inputsBefore);  // no tick at all
  EXPECT_EQ(loop.ctx.now, nowBefore);          // the clock fields stand still
  loop.window.minimised = false;
  const uint32_t restored = loop.clock.Peek();
  ASSERT_TRUE(loop.shell.Pass());
  // The first tick refreshes the FPS second at the restore time.
  EXPECT_EQ(static_cast<uint32_t>(loop.ctx.secondBase), restored);
  loop.RunUntil(restored + 500);
  EXPECT_NEAR(loop.scene.steps[static_cast<int32_t>(restored)], 30, 2);
}

TEST(FrameLoop, ClockWrapsAroundWithoutStopping) {
  Loop loop(0, 0, 0xFFFFFFFFu - 1500);
  loop.RunUntil(0xFFFFFFFFu - 10);
  loop.clock.Advance(20);  // past the wrap
  const int before = static_cast<int>(loop.scene.steps.size());
  for (int i = 0; i < 3000; ++i) ASSERT_TRUE(loop.shell.Pass());
  EXPECT_GT(static_cast<int>(loop.scene.steps.size()), before);
  EXPECT_NEAR(loop.ctx.fps, 60.0, 1.5);
}

TEST(FrameLoop, EscapeAndCloseEndWithZeroAndMouseMovesAreKept) {
  for (WindowEvent::Kind kind : {WindowEvent::Escape, WindowEvent::Quit}) {
    Loop loop(0, 0);
    WindowEvent move{WindowEvent::MouseMove, 123, 456};
    loop.window.events.push_back(move);
    ASSERT_TRUE(loop.shell.Pass());
    EXPECT_EQ(loop.ctx.mouseX, 123);
    EXPECT_EQ(loop.ctx.mouseY, 456);
    loop.window.events.push_back(WindowEvent{kind});
    EXPECT_FALSE(loop.shell.Pass());
    EXPECT_EQ(loop.shell.ExitCode(), 0);
  }
}

class CountingSink final : public MessageSink {
 public:
  void ShowMessage(const std::string& caption, const std::string&) override {
    captions += caption + ";";
  }
  void RequestQuit(int code) override { quit = code; }
  std::string captions;
  int quit = -1;
};

TEST(FrameLoop, AFatalReportEndsTheLoopWithOneThroughTheInstalledSink) {
  CountingSink outer;
  MessageSink* previous = SetMessageSink(&outer);
  {
    Loop loop(0, 0);
    loop.scene.initResult = render::kFail;
    ASSERT_TRUE(loop.shell.Pass());
    ReportFatalError("Could not read a model file.", "GameMain", 244);
    EXPECT_FALSE(loop.shell.Pass());
    EXPECT_EQ(loop.shell.Run(), 1);
    EXPECT_EQ(loop.scene.inputs, 0);  // a failed initialisation skips the rest of the tick
  }
  EXPECT_EQ(outer.captions, "Debug;Error;");  // texts reach the sink the shell found
  EXPECT_EQ(outer.quit, 1);
  EXPECT_EQ(&CurrentMessageSink(), &outer);  // and it is back in place afterwards
  SetMessageSink(previous);
}

TEST(FrameLoop, ASceneIdWithNoSceneEndsTheLoopWithOneAndAMessage) {
  CountingSink outer;
  MessageSink* previous = SetMessageSink(&outer);
  {
    Loop loop(0, 0);
    loop.ctx.scene = SceneNumber(SceneId::Ranking);  // only the title is registered
    EXPECT_FALSE(loop.shell.Pass());
    EXPECT_EQ(loop.shell.ExitCode(), 1);
    EXPECT_EQ(loop.scene.initialised, 0);
  }
  EXPECT_EQ(outer.captions, "Debug;");
  SetMessageSink(previous);
}

// ------------------------------------------------------------ framed scenes

// A scene on the shared frame: loads its states, a font and its background,
// draws a caption, fades in and out, switches the display mode on Alt+Enter
// (read from the fake window). The title's copy creates the device.
class CaptionScene final : public FramedScene {
 public:
  CaptionScene(SceneId id, render::Graphics& g, FakeWindow& window, bool createsDevice,
               uint32_t clearColour, std::string background)
      : FramedScene(g),
        id_(id),
        window_(window),
        createsDevice_(createsDevice),
        clearColour_(clearColour),
        background_(std::move(background)) {}

  SceneId Id() const override { return id_; }
  FixedStepClock& Clock() override { return clock_; }
  int32_t Initialise(AppContext& ctx) override {
    if (createsDevice_ && !graphics_.DeviceCreated() && graphics_.InitDirect3D(ctx.fullScreen) < 0)
      return render::kFail;
    if (!graphics_.DeviceCreated()) return render::kFail;
    if (loaded_) return render::kOk;
    Load();
    loaded_ = true;
    modeKeysDown_ = buttonDown_ = true;  // held at entry: no press
    stepsShown_ = 0;
    window_.ShowCursor(true);
    BeginFadeIn(clock_);
    return render::kOk;
  }
  void Input(AppContext& ctx) override {
    if (clock_.nextScene >= 0) return;
    if (window_.altEnter && !modeKeysDown_) {
      ctx.fullScreen = ctx.fullScreen ? 0 : 1;
      ChangeMode(ctx);
    }
    modeKeysDown_ = window_.altEnter;
    if (returnsToTitle_ && window_.button && !buttonDown_) Leave(SceneId::Title);
    buttonDown_ = window_.button;
  }
  void Update(AppContext&) override {
    if (returnsToTitle_ && idleSteps_ > 0 && ++stepsShown_ == idleSteps_ && clock_.nextScene < 0)
      Leave(SceneId::Title);
    AdvanceFade(clock_);
  }
  void Leave(SceneId next) { clock_.nextScene = SceneNumber(next); }
  void ReturnToTitle(int32_t idleSteps) {
    returnsToTitle_ = true;
    idleSteps_ = idleSteps;
  }
  bool Loaded() const { return loaded_; }

 private:
  void Load() {
    graphics_.ResetRenderStates();
    LoadSceneView(graphics_, render::ColourValue{0.6f, 0.6f, 0.6f, 1.0f});
    graphics_.SetClearColour(clearColour_);
    graphics_.DestroyAllFonts();
    graphics_.CreateFontObject(font_);
    if (font_) font_->Create("Times New Roman", 32, 700, 0);
    graphics_.LoadBackground(background_.c_str(), 640, 480);
  }
  void ChangeMode(AppContext& ctx) override {
    graphics_.ChangeDisplayMode(ctx.fullScreen, ctx.windowWidth, ctx.windowHeight);
    Load();
    window_.ShowCursor(true);
  }
  void DrawContents(AppContext&) override {
    if (font_) font_->DrawText("caption", 320, 240, render::kTextCenter, 0xFFFFFFFFu);
  }
  void Release(AppContext&) override { loaded_ = false; }

  SceneId id_;
  FakeWindow& window_;
  bool createsDevice_;
  uint32_t clearColour_;
  std::string background_;
  FixedStepClock clock_;
  bool loaded_ = false, modeKeysDown_ = true, buttonDown_ = true, returnsToTitle_ = false;
  int32_t idleSteps_ = 0, stepsShown_ = 0;
  render::Font* font_ = nullptr;
};

struct SceneLoop {
  SceneLoop()
      : window(clock),
        title(SceneId::Title, g, window, true, 0xFF000000u, "./texture/title.dds"),
        game(SceneId::Game, g, window, false, 0xFF000096u, "./texture/back.dds"),
        ranking(SceneId::Ranking, g, window, false, 0xFF3264C8u, "./texture/ranking.dds"),
        select(SceneId::ReplaySelect, g, window, false, 0xFF000000u, "./texture/select.dds") {
    ctx.fullScreen = 1;
    ctx.windowWidth = 640;
    ctx.windowHeight = 480;
  }
  void Steps(int n) {
    for (int i = 0; i < n * 20 && n > 0; ++i) ASSERT_TRUE(shell.Pass());
  }
  AppContext ctx{};
  render::HeadlessGraphics g;
  FakeClock clock{1000};
  FakeWindow window;
  CaptionScene title, game, ranking, select;
  Shell shell{ctx, window, clock, {&title, &game, &ranking, &select}};
};

TEST(FramedScenes, TheTitleCreatesTheDeviceAndTheHandOverSwitchesScenes) {
  SceneLoop s;
  ASSERT_TRUE(s.shell.Pass());
  ASSERT_FALSE(s.g.Log().Lines().empty());
  EXPECT_EQ(s.g.Log().Lines().front(), "InitDirect3D(1)");
  EXPECT_TRUE(s.title.Loaded());
  EXPECT_EQ(s.g.State().clearColour, 0xFF000000u);
  s.Steps(40);  // fade-in over
  EXPECT_EQ(s.title.Clock().nextScene, kFadeIdle);
  s.title.Leave(SceneId::Game);
  s.Steps(40);
  EXPECT_EQ(s.ctx.scene, SceneNumber(SceneId::Game));
  EXPECT_FALSE(s.title.Loaded());
  EXPECT_TRUE(s.game.Loaded());
  EXPECT_EQ(s.g.State().clearColour, 0xFF000096u);
  // The last title frame faded to full black; the game enters at 254 and its
  // first step takes 8 off before its first frame.
  const auto& lines = s.g.Log().Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "FadeQuad(0xFF000000)"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "FadeQuad(0xF6000000)"), lines.end());
  EXPECT_EQ(s.g.FontCount(), 1);  // the game's load discarded the title's font
}

TEST(FramedScenes, AltEnterSwitchesModeOnceAndReloads) {
  SceneLoop s;
  s.Steps(5);
  s.g.Log().Clear();
  s.window.altEnter = true;
  s.Steps(5);  // held: one switch, not one per tick
  s.window.altEnter = false;
  s.Steps(2);
  EXPECT_EQ(s.ctx.fullScreen, 0);
  EXPECT_EQ(s.g.FullScreen(), 0);
  const auto& lines = s.g.Log().Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "ChangeDisplayMode(0,640,480)"), 1);
  EXPECT_EQ(s.g.FontCount(), 1);  // reloaded after the registries were emptied
  EXPECT_TRUE(s.window.cursorShown);
  s.window.altEnter = true;
  s.Steps(1);
  EXPECT_EQ(s.ctx.fullScreen, 1);
}

TEST(FramedScenes, ADeviceThatCanBeResetRunsTheModeChange) {
  SceneLoop s;
  s.Steps(3);
  s.g.Log().Clear();
  s.g.QueueBeginFrameResult(render::kDeviceLost);
  s.g.QueueBeginFrameResult(render::kDeviceNotReset);
  s.Steps(3);
  const auto& lines = s.g.Log().Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "ChangeDisplayMode(1,640,480)"), 1);
  EXPECT_EQ(s.ctx.fullScreen, 1);
}

TEST(FramedScenes, ScenesLeadBackToTheTitleOnAClickOrAfterTheirIdleSteps) {
  SceneLoop s;
  s.ranking.ReturnToTitle(900);
  s.select.ReturnToTitle(0);
  s.Steps(40);
  s.title.Leave(SceneId::Ranking);
  s.Steps(40);
  ASSERT_EQ(s.ctx.scene, SceneNumber(SceneId::Ranking));
  s.Steps(600);  // about 720 steps
  EXPECT_EQ(s.ctx.scene, SceneNumber(SceneId::Ranking));
  s.Steps(300);
  EXPECT_EQ(s.ctx.scene, SceneNumber(SceneId::Title));
  s.Steps(40);
  s.title.Leave(SceneId::ReplaySelect);
  s.window.button = true;  // held while entering: no click
  s.Steps(80);
  ASSERT_EQ(s.ctx.scene, SceneNumber(SceneId::ReplaySelect));
  s.window.button = false;
  s.Steps(1);
  s.window.button = true;
  s.Steps(40);
  EXPECT_EQ(s.ctx.scene, SceneNumber(SceneId::Title));
}

TEST(SingleInstance, ASecondHolderIsRefusedUntilTheFirstLetsGo) {
  sample::TempDir dir;
  const char* old = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = old ? old : "";
  setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
  EXPECT_EQ(SingleInstance::LockPath("Quadrel"), dir.Path() + "/Quadrel.lock");
  {
    SingleInstance first, second;
    EXPECT_TRUE(first.Acquire("Quadrel"));
    EXPECT_FALSE(second.Acquire("Quadrel"));
    first.Release();
    EXPECT_TRUE(second.Acquire("Quadrel"));
  }
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_NE(SingleInstance::LockPath("Quadrel").find("/tmp/Quadrel-"), std::string::npos);
  if (old) setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

}  // namespace
}  // namespace quadrel::app
