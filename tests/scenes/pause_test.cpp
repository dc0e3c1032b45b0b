// Pause and the player's sound controls on the game scene with headless
// services, run through the real scene tick on a fake clock: P holds every
// step (frame, balls, replay), focus loss pauses a recorded game, a playback
// holds its frame, the bar ignores movement made while paused, Backspace still
// leaves, paused frames are few; M, - and + reach the sound service and the
// settings file; the loop sleeps while paused.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstddef>
#include <cstring>
#include <deque>
#include <filesystem>
#include <vector>

#include "app/Shell.hpp"
#include "game/GameMain.hpp"
#include "platform/render/HeadlessGraphics.hpp"
#include "replay/ReplayStore.hpp"
#include "scenes/GameSceneTick.hpp"
#include "scenes/SceneRig.hpp"

namespace fs = std::filesystem;

namespace quadrel::test {
namespace {

using Input = ScriptedInput;

struct Window : SceneWindow {
  bool visible = true;
  bool focused = true;
  void ShowCursor(bool show) override { visible = show; }
  bool HasFocus() override { return focused; }
};

struct Sound : GameSound {
  std::vector<std::string> calls;
  int32_t level = -1;
  bool muted = false;
  void StartMusic() override { calls.push_back("music"); }
  void StopAllSound() override { calls.push_back("stop"); }
  void PauseAllSound(bool paused) override { calls.push_back(paused ? "pause" : "resume"); }
  void SetPlayerVolume(int32_t l, bool m) override {
    level = l;
    muted = m;
    calls.push_back("volume " + std::to_string(l) + (m ? " muted" : ""));
  }
  int Count(const std::string& call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
  }
};

struct Rig {
  render::HeadlessGraphics graphics;
  Input input;
  platform::FakeClock clock{100000};
  Window window;
  SceneServices services{graphics, input, clock, window};
  AppContext ctx{};
  ReplayStore store;
  GameState game{};
  Sound sound;
  std::vector<PlayerSettings> saved;
  GameSceneTick scene{services, game, sound, [] { return 0; }};

  explicit Rig(int32_t mode = Recording) {
    services.saveSettings = [this](const PlayerSettings& s) { saved.push_back(s); };
    store.calendarNow = [] { return std::time_t{1796659200}; };
    game.replay = &store;
    game.gameRandom.Seed(1);
    GameReset(game);
    ctx.fullScreen = 1;
    ctx.scene = Game;
    ctx.replayMode = mode;
    graphics.InitDirect3D(1);
  }
  // One pass of the loop: the clock moves on a step's worth, one tick runs.
  void Tick() {
    clock.Advance(17);
    RunSceneTick(scene, ctx, clock.AsFunction());
  }
  void Key(int code, bool down) { input.keys.keys[code] = down ? 0x80 : 0; }
  // A key tapped for one tick.
  void Tap(int code) {
    Key(code, true);
    Tick();
    Key(code, false);
  }
  // A tap and a step with the key up, so the next tap is a new press.
  void Press(int code) {
    Tap(code);
    Tick();
  }
  void Enter() {
    ASSERT_EQ(scene.Initialise(ctx), 0);
    while (game.phase == LevelIntro) Tick();
  }
  void Launch() {
    input.mouse.rgbButtons[0] = 0x80;
    Tick();
    input.mouse.rgbButtons[0] = 0;
  }
  std::vector<uint8_t> Replay() const { return {store.data(), store.data() + store.usedSize()}; }
  void StartLog() {
    graphics.Log().Clear();
    graphics.Log().Enable(true);
  }
  // Index of the first logged call containing text; -1 if none.
  int Find(const std::string& text) {
    const auto& lines = graphics.Log().Lines();
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].find(text) != std::string::npos) return static_cast<int>(i);
    return -1;
  }
};

// Everything a step could change, to compare before and after a pause.
std::vector<uint8_t> Snapshot(const Rig& r) {
  std::vector<uint8_t> out(sizeof r.game);
  std::memcpy(out.data(), &r.game, sizeof r.game);
  // The loop's step count runs on.
  const size_t clock = offsetof(GameState, vars) + offsetof(GameVars, clock);
  std::memset(out.data() + clock, 0, sizeof(FixedStepClock));
  return out;
}

TEST(Pause, PHoldsEveryStepAndResumesWhereItStopped) {
  Rig r;
  r.Enter();
  r.Launch();
  for (int i = 0; i < 30; ++i) r.Tick();
  ASSERT_EQ(r.game.BallsInPlay(), 1);
  r.Tap(playerKey::P);
  ASSERT_TRUE(r.scene.pause().Paused());
  const int32_t frame = r.game.frameNumber;
  const double ballY = r.game.balls[0].y;
  const std::vector<uint8_t> before = Snapshot(r);
  const size_t recorded = r.store.usedSize();
  EXPECT_TRUE(r.window.visible);  // the cursor is free
  EXPECT_EQ(r.sound.Count("pause"), 1);
  for (int i = 0; i < 200; ++i) r.Tick();  // over three seconds of the loop
  r.Tap(playerKey::P);
  EXPECT_FALSE(r.scene.pause().Paused());
  EXPECT_EQ(r.game.frameNumber, frame);
  EXPECT_EQ(r.game.balls[0].y, ballY);
  EXPECT_EQ(Snapshot(r), before);
  EXPECT_EQ(r.store.usedSize(), recorded);
  EXPECT_FALSE(r.window.visible);  // full screen: the mouse is taken again
  EXPECT_EQ(r.sound.Count("resume"), 2);  // scene entry, then the resume
  r.Tick();
  EXPECT_EQ(r.game.frameNumber, frame + 1);
  EXPECT_NE(r.game.balls[0].y, ballY);
}

TEST(Pause, LosingTheFocusPausesARecordedGameButNotAPlayback) {
  Rig r;
  r.Enter();
  r.window.focused = false;
  r.Tick();
  EXPECT_TRUE(r.scene.pause().Paused());
  const int32_t frame = r.game.frameNumber;
  r.window.focused = true;
  for (int i = 0; i < 20; ++i) r.Tick();
  EXPECT_TRUE(r.scene.pause().Paused());  // coming back does not resume by itself
  EXPECT_EQ(r.game.frameNumber, frame);
  r.Tap(playerKey::P);
  r.Tick();
  EXPECT_EQ(r.game.frameNumber, frame + 1);

  Rig watching(PlaybackEnded);
  watching.Enter();
  watching.window.focused = false;
  watching.Tick();
  EXPECT_FALSE(watching.scene.pause().Paused());
}

// The same moves and clicks, once straight through and once with a pause in
// the middle during which the mouse moves and clicks: the replays match.
TEST(Pause, APausedGameRecordsTheSameReplayAsOneWithoutThePause) {
  auto play = [](Rig& r, bool pause) {
    r.Enter();
    for (int step = 0; step < 400; ++step) {
      if (pause && step == 150) {
        r.Tap(playerKey::P);
        for (int i = 0; i < 60; ++i) {
          r.input.mouse.lX = 37;
          r.input.mouse.rgbButtons[0] = i % 2 ? 0x80 : 0;
          r.Tick();
        }
        r.input.mouse.rgbButtons[0] = 0;
        r.input.mouse.lX = -300;
        r.Tap(playerKey::P);
      }
      r.input.mouse.lX = (step % 40) < 20 ? 6 : -7;
      r.input.mouse.rgbButtons[0] = step % 50 == 0 ? 0x80 : 0;
      const int32_t frame = r.game.frameNumber;
      r.Tick();
      ASSERT_EQ(r.game.frameNumber, frame + 1) << "step " << step;
    }
    r.store.FinishReplay(r.ctx.score, r.game.level);
  };
  Rig straight, paused;
  play(straight, false);
  play(paused, true);
  ASSERT_GT(straight.store.usedSize(), 1000u);
  EXPECT_EQ(paused.Replay(), straight.Replay());
  EXPECT_EQ(paused.ctx.score, straight.ctx.score);
  EXPECT_EQ(paused.game.bars[0].x, straight.game.bars[0].x);
}

// A recorded game played back with a pause in the middle still matches
// every recorded score and ends on its recorded click.
TEST(Pause, APausedPlaybackHoldsItsFrameAndStillPlaysTrue) {
  const std::string name = "00109920_20050512_090421.rep";
  const fs::path home = fs::current_path();
  const fs::path dir = fs::temp_directory_path() / ("quadrel-pause-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "replay");
  fs::copy_file(fs::path(QUADREL_GOLDEN_DIR) / name, dir / "replay" / name);
  fs::current_path(dir);
  {
    Rig r(Playback);
    r.services.replayToPlay = ReplayChoice{name};
    r.Enter();
    for (int i = 0; i < 600; ++i) r.Tick();
    r.Tap(playerKey::P);
    const int32_t frame = r.game.frameNumber;
    const std::vector<uint8_t> before = Snapshot(r);
    for (int i = 0; i < 50; ++i) r.Tick();
    EXPECT_EQ(r.game.frameNumber, frame);
    EXPECT_EQ(Snapshot(r), before);
    r.Tap(playerKey::P);
    EXPECT_EQ(r.game.frameNumber, frame);
    r.Tick();
    EXPECT_EQ(r.game.frameNumber, frame + 1);
    for (int guard = 0; r.ctx.replayMode != Off && guard < 100000; ++guard) r.Tick();
    EXPECT_EQ(r.ctx.replayMode, Off);
    EXPECT_EQ(r.ctx.score, 109920);
    EXPECT_EQ(r.game.gapMarker, 0.0);
  }
  fs::current_path(home);
  fs::remove_all(dir);
}

TEST(Pause, MouseMovementDuringThePauseDoesNotMoveTheBar) {
  Rig r;
  r.Enter();
  const double start = r.game.bars[0].x;
  r.input.mouse.lX = 40;
  r.Tick();
  const double x = r.game.bars[0].x;
  ASSERT_EQ(x, start + 5.0);
  r.Tap(playerKey::P);
  for (int i = 0; i < 10; ++i) {
    r.input.mouse.lX = -80;
    r.Tick();
  }
  r.input.mouse.lX = -80;  // moved between the last paused step and the resume
  r.Tap(playerKey::P);
  EXPECT_EQ(r.game.bars[0].x, x);
  r.Tick();
  EXPECT_EQ(r.game.bars[0].x, x);
  r.input.mouse.lX = 8;
  r.Tick();
  EXPECT_EQ(r.game.bars[0].x, x + 1.0);
}

TEST(Pause, BackspaceStillLeavesAndAltEnterKeepsTheCursorFree) {
  Rig r;
  r.Enter();
  r.Tap(playerKey::P);
  r.Key(key::LeftAlt, true);
  r.Tap(key::Enter);
  r.Key(key::LeftAlt, false);
  EXPECT_EQ(r.ctx.fullScreen, 0);
  EXPECT_TRUE(r.window.visible);
  EXPECT_TRUE(r.scene.pause().Paused());
  r.Tap(key::Backspace);
  EXPECT_FALSE(r.scene.pause().Paused());
  EXPECT_EQ(r.game.vars.clock.nextScene, Game);
  for (int i = 0; i < 60; ++i) r.Tick();
  EXPECT_EQ(r.sound.Count("music"), 2);  // a new game began
  EXPECT_LT(r.game.vars.clock.nextScene, 0);
  EXPECT_LT(r.game.frameNumber, 30);
  EXPECT_FALSE(r.scene.pause().Paused());
}

TEST(Pause, APausedFieldIsDrawnFrozenAFewTimesASecondWithItsBannerInABandOfItsOwn) {
  Rig r;
  r.Enter();
  r.Launch();
  for (int i = 0; i < 5; ++i) r.Tick();
  const double fps = r.ctx.fps;
  ASSERT_GT(fps, 30.0);
  r.Tap(playerKey::P);
  const uint32_t rng = r.scene.pictureRandom().State();
  r.StartLog();
  for (int i = 0; i < 120; ++i) r.Tick();  // about two seconds
  const auto& lines = r.graphics.Log().Lines();
  const int frames = static_cast<int>(std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.find("EndFrame()") != std::string::npos;
  }));
  EXPECT_GE(frames, 3);  // every half second
  EXPECT_LE(frames, 5);
  EXPECT_EQ(r.scene.pictureRandom().State(), rng);  // the juggling count does not shake
  EXPECT_EQ(r.ctx.fps, fps);      // paused redraws are no frames
  const int score = r.Find("\"00000000\"");
  const int dim = r.Find("FadeQuad(0x80000000)");
  const int banner = r.Find("DrawTextShadow(\"P A U S E\",320,380,3,1,0xFF96C8FF,0xFF323232)");
  const int hint = r.Find("DrawText(\"[ P ] to resume\",320,420,1,0xFFFFFF00)");
  ASSERT_GE(score, 0);
  EXPECT_GT(dim, score);
  EXPECT_GT(banner, dim);
  EXPECT_GT(hint, banner);
}

TEST(Pause, APauseDuringTheFadeInIsDrawnOverTheFade) {
  Rig r;
  ASSERT_EQ(r.scene.Initialise(r.ctx), 0);
  r.Tick();
  ASSERT_NE(r.game.vars.clock.nextScene, kFadeIdle);
  r.StartLog();
  r.Tap(playerKey::P);
  ASSERT_TRUE(r.scene.pause().Paused());
  const int fade = r.Find("FadeQuad(");
  const int dim = r.Find("FadeQuad(0x80000000)");
  ASSERT_GE(fade, 0);
  EXPECT_GT(dim, fade);  // the first quad is the fade, the dim comes after it
  EXPECT_GT(r.Find("\"P A U S E\",320,380"), dim);
}

TEST(Pause, TheAllClearWaitsStandStillWhilePaused) {
  Rig r;
  r.Enter();
  r.game.phase = AllClear;
  r.scene.hud().stageStart = r.clock.Peek();
  const uint32_t start = r.scene.hud().stageStart;
  r.Tap(playerKey::P);
  const uint32_t pausedAt = r.clock.Peek();
  for (int i = 0; i < 180; ++i) r.Tick();  // three seconds: every wait would be over
  r.Tap(playerKey::P);
  ASSERT_FALSE(r.scene.pause().Paused());
  EXPECT_EQ(r.scene.hud().stageStart, start + (r.clock.Peek() - pausedAt));
}

TEST(SoundControls, MinusPlusAndMuteReachTheSoundServiceAndTheSettings) {
  Rig r;
  r.services.settings = PlayerSettings{7, false};
  r.Enter();
  EXPECT_EQ(r.sound.calls.front(), "resume");
  EXPECT_EQ(r.sound.level, 7);
  r.Press(playerKey::Plus);
  EXPECT_EQ(r.sound.level, 8);
  r.Press(playerKey::PadPlus);
  r.Press(playerKey::PadPlus);
  r.Press(playerKey::Plus);  // at the top already
  EXPECT_EQ(r.sound.level, 10);
  r.Press(playerKey::M);
  EXPECT_TRUE(r.sound.muted);
  EXPECT_EQ(r.sound.level, 10);
  r.StartLog();
  r.scene.Draw(r.ctx);
  EXPECT_GE(r.Find("DrawText(\"SOUND OFF\",320,4,1,0xFFFFFF00)"), 0);
  r.Press(playerKey::M);
  EXPECT_FALSE(r.sound.muted);
  for (int i = 0; i < 12; ++i) r.Press(playerKey::PadMinus);
  EXPECT_EQ(r.sound.level, 0);
  r.Press(playerKey::M);
  r.Press(playerKey::Minus);  // stepping brings the sound back
  EXPECT_FALSE(r.sound.muted);
  EXPECT_EQ(r.sound.level, 0);
  r.Press(playerKey::Plus);
  ASSERT_FALSE(r.saved.empty());
  EXPECT_EQ(r.saved.back(), (PlayerSettings{1, false}));
  EXPECT_EQ(r.services.settings, (PlayerSettings{1, false}));
  // The level shows for a second, then goes.
  r.StartLog();
  r.scene.Draw(r.ctx);
  EXPECT_GE(r.Find("\"VOLUME 1 / 10\""), 0);
  for (int i = 0; i < 60; ++i) r.Tick();
  r.StartLog();
  r.scene.Draw(r.ctx);
  EXPECT_LT(r.Find("VOLUME"), 0);
  // A held key is one step.
  const size_t saves = r.saved.size();
  r.Key(playerKey::Plus, true);
  for (int i = 0; i < 10; ++i) r.Tick();
  r.Key(playerKey::Plus, false);
  EXPECT_EQ(r.saved.size(), saves + 1);
  EXPECT_EQ(r.sound.level, 2);
}

TEST(SoundControls, TheKeysWorkWhilePausedAndDoNotResume) {
  Rig r;
  r.Enter();
  r.Tap(playerKey::P);
  r.Tap(playerKey::Minus);
  EXPECT_EQ(r.sound.level, 9);
  EXPECT_TRUE(r.scene.pause().Paused());
}

// The loop while a scene is paused: every pass waits for an event instead of
// spinning, and Escape still ends the program.
TEST(PausedLoop, WaitsForEventsAndStillEndsOnEscape) {
  struct SleepyWindow final : app::WindowSystem {
    explicit SleepyWindow(platform::FakeClock& c) : clock(c) {}
    bool PollEvent(app::WindowEvent& e) override {
      if (events.empty()) return false;
      e = events.front();
      events.pop_front();
      return true;
    }
    bool Minimised() override { return false; }
    void Idle() override {
      ++idles;
      clock.Advance(1);
    }
    void WaitForEvent(int ms) override {
      ++waits;
      clock.Advance(static_cast<uint32_t>(ms));
    }
    platform::FakeClock& clock;
    std::deque<app::WindowEvent> events;
    int idles = 0, waits = 0;
  };
  Rig r;
  r.Enter();
  SleepyWindow window(r.clock);
  app::Shell shell(r.ctx, window, r.clock, {&r.scene});
  for (int i = 0; i < 200; ++i) shell.Pass();
  EXPECT_EQ(window.waits, 0);  // playing: short idles only
  r.Key(playerKey::P, true);
  for (int i = 0; i < 100 && !r.scene.pause().Paused(); ++i) shell.Pass();
  r.Key(playerKey::P, false);
  ASSERT_TRUE(r.scene.pause().Paused());
  window.waits = 0;
  const uint32_t start = r.clock.Peek();
  for (int i = 0; i < 50; ++i) shell.Pass();
  EXPECT_EQ(window.waits, 50);
  EXPECT_GE(r.clock.Peek() - start, 50u * app::kPausedWait);
  window.events.push_back(app::WindowEvent{app::WindowEvent::Escape});
  EXPECT_FALSE(shell.Pass());
  EXPECT_EQ(shell.ExitCode(), 0);
}

}  // namespace
}  // namespace quadrel::test
