// The game scene on headless services: entry, the order of one frame's draw
// calls, notices over the fade, blinking option bars, the hand-over, the
// scene's own keys, drawing apart from the rules, and recorded games played
// on the scene to their end.
#include <filesystem>
#include <cstring>
#include <fstream>
#include <vector>

#include "SceneRig.hpp"
#include "base/Diagnostics.hpp"
#include "game/Physics.hpp"
#include "verify/ReplayCheck.hpp"

namespace fs = std::filesystem;

namespace quadrel::test {
namespace {

TEST(GameSceneEntry, LoadsSoundsOnceModelsFontsAndStartsTheMusic) {
  SceneRig rig;
  rig.ctx.replayMode = Recording;
  rig.StartLog();
  ASSERT_EQ(rig.gameScene.Initialise(rig.ctx), 0);
  ASSERT_EQ(rig.gameScene.Initialise(rig.ctx), 0);
  EXPECT_EQ(rig.soundLoads, 1);
  EXPECT_EQ(rig.sound.music, 1);
  EXPECT_EQ(rig.graphics.MeshCount(), kGameModelCount);
  EXPECT_EQ(rig.graphics.FontCount(), 2);
  EXPECT_FALSE(rig.window.visible);  // full screen hides the cursor
  EXPECT_EQ(rig.graphics.Background(), "./texture/back.dds");
  int previous = -1;
  for (const char* file : kGameModelFiles) {
    const int at = rig.Find(std::string("Load(\"") + file + "\")");
    EXPECT_GT(at, previous) << file;
    previous = at;
  }
  EXPECT_EQ(rig.game.phase, LevelIntro);
  EXPECT_EQ(rig.game.vars.clock.fadeAlpha, 254);
}

TEST(GameSceneEntry, AMissingModelIsAFatalReport) {
  struct Sink : MessageSink {
    std::vector<std::string> shown;
    int quit = -1;
    void ShowMessage(const std::string& c, const std::string& t) override { shown.push_back(c + ":" + t); }
    void RequestQuit(int code) override { quit = code; }
  } sink;
  SetMessageSink(&sink);
  SceneRig rig;
  rig.graphics.SetMeshLoadResult("./model/wall.x", render::kFail);
  EXPECT_LT(rig.gameScene.Initialise(rig.ctx), 0);
  EXPECT_LT(rig.gameScene.Initialise(rig.ctx), 0);
  SetMessageSink(nullptr);
  ASSERT_GE(sink.shown.size(), 2u);
  EXPECT_EQ(sink.shown[0], "Debug:Could not read a model file.\r\n./model/wall.x");
  EXPECT_EQ(sink.shown[1], "Error:" + FatalReportText("GameMain", "./model/wall.x"));
  EXPECT_EQ(sink.quit, 1);
}

TEST(GameSceneFrame, DrawsFieldThenTextsThenFadeThenOverlayInOrder) {
  SceneRig rig;
  ASSERT_EQ(rig.gameScene.Initialise(rig.ctx), 0);
  rig.game.bars[0].x = 3.0;
  rig.game.balls[0].launched = 1;
  rig.game.balls[0].x = 1.0;
  rig.game.balls[0].y = 10.0;
  rig.game.balls[0].scale = 1.0;
  rig.game.ballsLaunched = 1;
  rig.game.ballStock = 3;
  SpawnItem(rig.game, 5.0, 20.0, OptionItem);
  rig.StartLog();
  rig.gameScene.Draw(rig.ctx);
  const std::vector<std::string> expected = {
      "BeginFrame()",
      "DrawBackground()",
      "ApplyCamera()",
      "SetRenderState(28,0)",     // fog off
      "SetRenderState(137,0)",    // lighting off
      "SetRenderState(52,0)",     // stencil off
      ".SetScale(30,30,30)",      // the floor
      ".Draw(0)",
      "SetRenderState(137,1)",
      "SetRenderState(28,1)",
      ".SetPosition(-24.5,28,0)",  // the walls
      ".SetPosition(24.5,28,0)",
      ".SetRotation(0.5,-1,-1,0)",  // the first block
      ".SetPosition(-20,50,0)",
      ".SetPosition(5,20,0.1)",  // the item
      ".SetPosition(1,10,0)",            // the ball
      ".SetPosition(3,4,0)",             // the bar
      "DrawTextShadow(\"00000000\",0,0,3,0,0xFF0096FF,0xFF323232)",
      "DrawText(\"LEVEL\",580,0,1,0xFFFFFF00)",
      "\"x 1\"",
      "DrawText(\"BALL REST\",580,120,1,0xFFFFFF00)",
      "DrawTextShadow(\" 2\",580,140,3,1,0xFFFFFFFF,0xFF323232)",
      "\"L E V E L  1\",470,220",  // the banner, sliding in
      "FadeQuad(0xFE000000)",
      "DrawText(\"FPS:0.00\",0,460,0,0xFFFFFF00)",
      "EndFrame()",
  };
  int at = -1;
  for (const std::string& call : expected) {
    const int found = rig.Find(call, at + 1);
    ASSERT_GT(found, at) << "missing or out of order: " << call;
    at = found;
  }
  EXPECT_EQ(rig.Count(".Draw(1)"), 2 + 50 + 1 + 1 + 1);
}

TEST(GameSceneFrame, ReplayGappedStaysVisibleOverTheFade) {
  SceneRig rig;
  ASSERT_EQ(rig.gameScene.Initialise(rig.ctx), 0);
  rig.game.gapMarker = 99.0;
  rig.game.vars.clock.nextScene = Title;
  rig.game.vars.clock.fadeAlpha = 200;
  rig.StartLog();
  rig.gameScene.Draw(rig.ctx);
  const int fade = rig.Find("FadeQuad(0xC8000000)");
  const int gap = rig.Find("DrawText(\"Replay Gapped!\",320,240,1,0xFFFF0000)");
  ASSERT_GE(fade, 0);
  EXPECT_GT(gap, fade);
}

TEST(GameSceneFrame, OptionBarsAreBlendedAndBlinkInTheirLastSteps) {
  SceneRig rig;
  ASSERT_EQ(rig.gameScene.Initialise(rig.ctx), 0);
  Bar& option = rig.game.bars[1];
  option.active = 1;
  option.scale = 1.0;
  option.x = -7.0;
  option.y = 3.9;
  option.lifetime = 179;
  rig.StartLog();
  rig.gameScene.Draw(rig.ctx);
  const int position = rig.Find(".SetPosition(-7,3.9,0)");
  ASSERT_GE(position, 0);
  EXPECT_NE(rig.Log()[position + 1].find("SetRenderState"), std::string::npos);  // no draw: odd count
  option.lifetime = 178;
  rig.StartLog();
  rig.gameScene.Draw(rig.ctx);
  const int blend = rig.Find("SetRenderState(27,1)");
  const int drawn = rig.Find(".SetPosition(-7,3.9,0)", blend);
  ASSERT_GT(drawn, blend);
  EXPECT_NE(rig.Log()[drawn + 1].find(".Draw(1)"), std::string::npos);
}

TEST(GameSceneFrame, ACompletedFadeResetsTheGameStopsTheSoundAndSwitches) {
  SceneRig rig;
  ASSERT_EQ(rig.gameScene.Initialise(rig.ctx), 0);
  rig.game.ballsLaunched = 2;
  rig.game.vars.clock.nextScene = Ranking;
  rig.game.vars.clock.fadeAlpha = 255;
  rig.gameScene.Draw(rig.ctx);
  EXPECT_EQ(rig.ctx.scene, Ranking);
  EXPECT_EQ(rig.sound.stops, 1);
  EXPECT_EQ(rig.game.ballsLaunched, 0);
}

TEST(GameSceneFrame, ADeviceThatMustBeResetReloadsAndSkipsTheFrame) {
  SceneRig rig;
  ASSERT_EQ(rig.gameScene.Initialise(rig.ctx), 0);
  rig.graphics.QueueBeginFrameResult(render::kDeviceNotReset);
  rig.StartLog();
  rig.gameScene.Draw(rig.ctx);
  EXPECT_GE(rig.Find("ChangeDisplayMode(1"), 0);
  EXPECT_EQ(rig.Find("EndFrame()"), -1);
  EXPECT_EQ(rig.graphics.MeshCount(), kGameModelCount);
  EXPECT_EQ(rig.graphics.FontCount(), 2);
}

void HoldKeys(SceneRig& rig, std::initializer_list<int> down) {
  rig.input.keys = KeyboardState{};
  for (int code : down) rig.input.keys.keys[code] = 0x80;
  rig.GameFrame();
}

TEST(GameSceneKeys, AltEnterSwitchesOncePerPress) {
  SceneRig rig;
  ASSERT_EQ(rig.gameScene.Initialise(rig.ctx), 0);
  HoldKeys(rig, {key::RightAlt, key::Enter});  // held since the previous scene: no press
  EXPECT_EQ(rig.ctx.fullScreen, 1);
  HoldKeys(rig, {});
  for (int i = 0; i < 9; ++i) HoldKeys(rig, {key::RightAlt, key::Enter});
  EXPECT_EQ(rig.ctx.fullScreen, 0);
  HoldKeys(rig, {});
  HoldKeys(rig, {key::LeftAlt, key::Enter});
  EXPECT_EQ(rig.ctx.fullScreen, 1);
  HoldKeys(rig, {});
  HoldKeys(rig, {key::Enter});
  EXPECT_EQ(rig.ctx.fullScreen, 1);
}

TEST(GameSceneKeys, BackspaceWaitsForTheFadeInThenRestartsOrLeavesThePlayback) {
  for (int32_t mode : {Recording, Playback}) {
    SceneRig rig;
    rig.ctx.replayMode = Recording;
    ASSERT_EQ(rig.gameScene.Initialise(rig.ctx), 0);
    rig.game.replayMode = rig.ctx.replayMode = mode;
    rig.game.vars.nextFrame.frame = 1000000;  // nothing recorded comes up
    HoldKeys(rig, {key::Backspace});
    EXPECT_LT(rig.game.vars.clock.nextScene, 0);
    while (rig.game.vars.clock.fadeAlpha != 0) HoldKeys(rig, {});
    HoldKeys(rig, {key::Backspace});
    EXPECT_EQ(rig.game.vars.clock.nextScene, mode == Recording ? Game : Title);
    EXPECT_EQ(rig.ctx.replayMode, mode == Recording ? Recording : Off);
  }
}

// A live game played with the same hand: drawing frames between the steps
// (the juggling shake, the banners) changes nothing the rules compute, not
// even where the items go.
TEST(GameSceneFrame, DrawnFramesBetweenStepsChangeNothingTheGameComputes) {
  ReplayStore golden;
  ASSERT_EQ(golden.LoadReplayPath(fs::path(QUADREL_GOLDEN_DIR) / "05162450_20050514_111847.rep"),
            ReplayReadStatus::Ok);
  std::vector<InputFrame> hand;
  for (InputFrame f{}; golden.ReadInputFrame(f) && f.frame < 600;) hand.push_back(f);
  auto play = [&](int draws, std::vector<uint8_t>& recorded) {
    SceneRig rig;
    rig.ctx.replayMode = Recording;
    EXPECT_EQ(rig.gameScene.Initialise(rig.ctx), 0);
    size_t next = 0;
    for (int frame = 0; frame < 600; ++frame) {
      rig.input.mouse = MouseState{};
      if (next < hand.size() && hand[next].frame == frame) {
        rig.input.mouse.lX = hand[next].dx;
        rig.input.mouse.rgbButtons[0] = hand[next++].button;
      }
      rig.gameScene.StepInput(rig.ctx);
      rig.gameScene.Update(rig.ctx);
      for (int d = 0; d < draws; ++d) rig.gameScene.Draw(rig.ctx);
      rig.clock.Advance(16);
    }
    recorded.assign(rig.store.data(), rig.store.data() + rig.store.usedSize());
    std::vector<uint8_t> state(sizeof rig.game);
    std::memcpy(state.data(), &rig.game, sizeof rig.game);
    return state;
  };
  std::vector<uint8_t> undrawn, drawn;
  const std::vector<uint8_t> state = play(0, undrawn);
  EXPECT_EQ(play(3, drawn), state);
  EXPECT_EQ(drawn, undrawn);
  EXPECT_GT(undrawn.size(), kReplayHeaderArea);
}

// Plays a golden replay on the game scene from the replay folder of a fresh
// working directory.
class GoldenOnScene : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    dir_ = fs::temp_directory_path() /
           ("quadrel-scene-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "replay");
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }
  // Returns the rig after the playback ended, with the recorded scores checked.
  void Play(SceneRig& rig, const std::string& name) {
    fs::copy_file(fs::path(QUADREL_GOLDEN_DIR) / name, dir_ / "replay" / name);
    std::vector<TracePoint> trace;
    ASSERT_EQ(CheckReplay((dir_ / "replay" / name).string(), &trace).outcome, ReplayCheck::Outcome::Ok);
    rig.ctx.scene = Game;
    rig.ctx.replayMode = Playback;
    rig.services.replayToPlay = ReplayChoice{name};
    ASSERT_EQ(rig.gameScene.Initialise(rig.ctx), 0);
    size_t next = 0;
    int guard = 0;
    while (rig.ctx.replayMode == Playback && guard++ < 200000) {
      if (next < trace.size() && trace[next].frame == rig.game.frameNumber) {
        ASSERT_EQ(rig.game.score, trace[next].score) << "frame " << rig.game.frameNumber;
        ++next;
      }
      rig.GameFrame();
    }
    EXPECT_EQ(next, trace.size());
    EXPECT_NE(rig.game.gapMarker, 99.0);
  }
  fs::path previous_, dir_;
};

TEST_F(GoldenOnScene, ALostGamePlaysToItsRecordedClickAndReturnsToTheTitle) {
  SceneRig rig;
  rig.StartLog();
  Play(rig, "00109920_20050512_090421.rep");
  EXPECT_EQ(rig.ctx.replayMode, Off);
  EXPECT_EQ(rig.game.vars.clock.nextScene, Title);
  EXPECT_GT(rig.Count("\"Replay Mode\""), 100);
  EXPECT_EQ(rig.Count("Replay Gapped!"), 0);
  for (int i = 0; i < 40 && rig.ctx.scene == Game; ++i) rig.GameFrame();
  EXPECT_EQ(rig.ctx.scene, Title);
}

TEST_F(GoldenOnScene, TheStartupReplayIsHandedByItsFullPathAndTakenOnce) {
  const std::string name = "00109920_20050512_090421.rep";
  // Outside the replay folder, and longer than any fixed name buffer.
  const fs::path elsewhere = dir_ / std::string(240, 'd') / name;
  fs::create_directories(elsewhere.parent_path());
  ASSERT_GT(elsewhere.string().size(), 260u);
  fs::copy_file(fs::path(QUADREL_GOLDEN_DIR) / name, elsewhere);
  SceneRig rig;
  rig.services.startupReplay = elsewhere.string();
  ASSERT_EQ(rig.title.Initialise(rig.ctx), 0);
  EXPECT_EQ(rig.title.Clock().nextScene, Game);
  EXPECT_EQ(rig.ctx.replayMode, Playback);
  ASSERT_EQ(rig.gameScene.Initialise(rig.ctx), 0);
  EXPECT_EQ(rig.store.lastReadStatus(), ReplayReadStatus::Ok);
  EXPECT_EQ(rig.store.storedSize(), fs::file_size(elsewhere));
  EXPECT_FALSE(rig.services.replayToPlay);
}

TEST_F(GoldenOnScene, AnAllClearGameEndsItsPlaybackThenTheViewersClickLeaves) {
  SceneRig rig;
  Play(rig, "77600680_20050517_143926.rep");
  EXPECT_EQ(rig.ctx.replayMode, PlaybackEnded);
  while (rig.game.phase != AllClear) rig.GameFrame();
  // The presentation runs on the clock; a click counts once it has finished.
  while (!rig.gameScene.hud().CountUpDone()) rig.GameFrame();
  rig.input.Button(true);
  rig.GameFrame();
  EXPECT_EQ(rig.ctx.score, 77600680);
  EXPECT_EQ(rig.game.vars.clock.nextScene, Title);
  EXPECT_EQ(rig.ctx.replayMode, Off);
  EXPECT_EQ(rig.game.gapMarker, 0.0);
}

}  // namespace
}  // namespace quadrel::test
