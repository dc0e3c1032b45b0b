// The title: idle hand-over, choices, hover edges, clicks and the pulse.
#include "SceneRig.hpp"
#include "scenes/SceneSetup.hpp"

namespace quadrel::test {
namespace {

struct TitleTest : ::testing::Test {
  SceneRig rig;
  TitleScene& title = rig.title;
  AppContext& ctx = rig.ctx;
  void SetUp() override { ASSERT_EQ(title.Initialise(ctx), 0); }
  void Steps(int n) {
    for (int i = 0; i < n; ++i) title.Update(ctx);
  }
  void Click(int x, int y) {
    ctx.mouseX = x;
    ctx.mouseY = y;
    rig.input.Button(false);
    title.Input(ctx);
    rig.input.Button(true);
    title.Input(ctx);
  }
};

TEST_F(TitleTest, FirstTickCreatesTheDevicesOnceAndShowsTheCursor) {
  SceneRig fresh;
  int starts = 0;
  fresh.services.startDevices = [&] { ++starts; };
  fresh.window.visible = false;
  ASSERT_EQ(fresh.title.Initialise(fresh.ctx), 0);
  ASSERT_EQ(fresh.title.Initialise(fresh.ctx), 0);
  EXPECT_EQ(starts, 1);
  EXPECT_TRUE(fresh.window.visible);
  EXPECT_EQ(fresh.title.Clock().fadeAlpha, 254);
  EXPECT_EQ(fresh.graphics.Background(), "./texture/title.dds");
}

TEST_F(TitleTest, TheSoundKeysWorkOnTheTitleAndAreKept) {
  std::vector<PlayerSettings> applied, saved;
  rig.services.applySound = [&](const PlayerSettings& s) { applied.push_back(s); };
  rig.services.saveSettings = [&](const PlayerSettings& s) { saved.push_back(s); };
  for (int code : {playerKey::M, playerKey::PadMinus, playerKey::Plus}) {
    rig.input.keys.keys[code] = 0;
    title.Input(ctx);
    rig.input.keys.keys[code] = 0x80;
    title.Input(ctx);
    title.Input(ctx);  // held: no second press
  }
  ASSERT_EQ(saved.size(), 3u);
  EXPECT_TRUE(saved[0].muted);
  EXPECT_EQ(saved[1].volume, kVolumeSteps - 1);
  EXPECT_FALSE(saved[1].muted);  // a step brings the sound back
  EXPECT_EQ(saved[2].volume, kVolumeSteps);
  EXPECT_EQ(applied.size(), saved.size());
}

TEST_F(TitleTest, NineHundredIdleStepsHandOverToTheRanking) {
  Steps(899);
  EXPECT_EQ(title.Clock().nextScene, kFadeIdle);
  Steps(1);
  EXPECT_EQ(title.Clock().nextScene, Ranking);
  EXPECT_EQ(title.Clock().fadeAlpha, 8);
}

TEST_F(TitleTest, TheIdleCounterOverwritesAChoiceStillFadingOut) {
  Steps(880);
  Click(320, 260);
  EXPECT_EQ(title.Clock().nextScene, Game);
  EXPECT_EQ(ctx.replayMode, Recording);
  Steps(20);
  EXPECT_EQ(title.Clock().nextScene, Ranking);
  EXPECT_EQ(ctx.replayMode, Recording);
}

TEST_F(TitleTest, ButtonEdgesAreOutsideAndTheFirstMatchWins) {
  EXPECT_EQ(HitTestTitleButtons(236, 260), NoButton);
  EXPECT_EQ(HitTestTitleButtons(237, 260), StartButton);
  EXPECT_EQ(HitTestTitleButtons(403, 260), StartButton);
  EXPECT_EQ(HitTestTitleButtons(404, 260), NoButton);
  EXPECT_EQ(HitTestTitleButtons(320, 244), NoButton);
  EXPECT_EQ(HitTestTitleButtons(320, 245), StartButton);
  EXPECT_EQ(HitTestTitleButtons(205, 320), PlaybackButton);
  EXPECT_EQ(HitTestTitleButtons(277, 395), ExitButton);
  EXPECT_EQ(HitTestTitleButtons(276, 380), NoButton);
}

TEST_F(TitleTest, AButtonHeldAtEntryIsNoClickAndExitQuitsAtOnce) {
  ctx.mouseX = 320;
  ctx.mouseY = 380;
  rig.input.Button(true);
  title.Input(ctx);
  title.Input(ctx);
  EXPECT_EQ(rig.quitCode, -1);
  Click(320, 380);
  EXPECT_EQ(rig.quitCode, 0);
  EXPECT_LT(title.Clock().nextScene, 0);  // no fade
  Click(320, 320);
  EXPECT_EQ(title.Clock().nextScene, SceneNumber(SceneId::ReplaySelect));
}

TEST_F(TitleTest, TheHoveredButtonPulsesTheOthersAreDimmed) {
  rig.StartLog();
  ctx.mouseX = 320;
  ctx.mouseY = 260;
  title.Draw(ctx);
  EXPECT_GE(rig.Find("DrawTextShadow(\"[ Game Start ]\",320,260,3,5,0xF7FFFF00"), 0);
  EXPECT_GE(rig.Find("DrawTextShadow(\"[ Exit ]\",320,380,3,5,0x50FFFF00"), 0);
  EXPECT_GE(rig.Find("DrawTextShadow(\"Q  u  a  d  r  e  l\",320,120,3,1,0xFF0064FF"), 0);
  // Away from every button the pulse starts over.
  ctx.mouseX = 10;
  title.Draw(ctx);
  EXPECT_EQ(title.pulsePhase(), 0);
  // After a choice the chosen button stays lit and blinks fast.
  ctx.mouseX = 320;
  title.Draw(ctx);
  Click(320, 260);
  ctx.mouseX = 10;  // the mouse moves on during the fade-out
  rig.StartLog();
  title.Draw(ctx);
  EXPECT_EQ(rig.Count("0x50FFFF00"), 2);
  EXPECT_EQ(title.pulsePhase(), 8 + 64);
}

TEST_F(TitleTest, TheFadeOutHandsOverOnTheFrameItIsComplete) {
  Steps(32);  // the fade-in
  ASSERT_EQ(title.Clock().nextScene, kFadeIdle);
  Click(320, 260);
  for (int i = 0; i < 31; ++i) title.Update(ctx);
  title.Draw(ctx);
  EXPECT_EQ(ctx.scene, Title);
  title.Update(ctx);
  title.Draw(ctx);
  EXPECT_EQ(ctx.scene, Game);
  EXPECT_FALSE(title.loaded());
}

TEST_F(TitleTest, AltEnterSwitchesTheDisplayOncePerPressAndReloads) {
  rig.input.keys.keys[key::LeftAlt] = 0x80;
  rig.input.keys.keys[key::Enter] = 0x80;
  title.Input(ctx);  // held at entry: no press
  EXPECT_EQ(ctx.fullScreen, 1);
  rig.input.keys = KeyboardState{};
  title.Input(ctx);
  rig.input.keys.keys[key::RightAlt] = 0x80;
  rig.input.keys.keys[key::Enter] = 0x80;
  rig.StartLog();
  for (int i = 0; i < 5; ++i) title.Input(ctx);
  EXPECT_EQ(ctx.fullScreen, 0);
  EXPECT_EQ(rig.Count("ChangeDisplayMode(0"), 1);
  EXPECT_GE(rig.Find("LoadBackground(\"./texture/title.dds\""), 0);
  EXPECT_TRUE(rig.window.visible);
}

}  // namespace
}  // namespace quadrel::test
