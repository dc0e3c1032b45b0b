// The game entered as the program enters it (title first), then Alt+Enter or
// a device that must be reset: the frames drawn afterwards run with the same
// render states as before, so blocks keep their highlight, far blocks and
// option bars stay blended and overlapping shadows darken once.
#include "SceneRig.hpp"

namespace quadrel::test {
namespace {

using render::rs::DestBlend;
using render::rs::SpecularEnable;
using render::rs::SrcBlend;
using render::rs::StencilFunc;

struct GameModeSwitch : ::testing::Test {
  SceneRig rig;
  void SetUp() override {
    rig.ctx.replayMode = Recording;
    ASSERT_EQ(rig.title.Initialise(rig.ctx), 0);
    rig.ctx.scene = Game;
    ASSERT_EQ(rig.gameScene.Initialise(rig.ctx), 0);
    // Past the fade-in: its quad resets the states every frame and would hide a fault.
    while (rig.game.vars.clock.fadeAlpha != 0) rig.GameFrame();
    rig.GameFrame();
  }
  const auto& States() { return rig.graphics.State().renderStates; }
  void ExpectGameLook() {
    EXPECT_EQ(States()[SpecularEnable], 1u);
    EXPECT_EQ(States()[SrcBlend], render::rv::BlendSrcAlpha);
    EXPECT_EQ(States()[DestBlend], render::rv::BlendOne);
    EXPECT_EQ(States()[StencilFunc], render::rv::CmpNotEqual);
  }
};

TEST_F(GameModeSwitch, AltEnterBothWaysKeepsEveryRenderState) {
  ExpectGameLook();
  const auto before = States();
  for (int expectFull : {0, 1}) {
    rig.input.keys.keys[key::LeftAlt] = 0x80;
    rig.input.keys.keys[key::Enter] = 0x80;
    rig.StartLog();
    rig.GameFrame();
    rig.input.keys.keys[key::LeftAlt] = 0;
    rig.input.keys.keys[key::Enter] = 0;
    ASSERT_EQ(rig.ctx.fullScreen, expectFull);
    const int change = rig.Find("ChangeDisplayMode(");
    const int reset = rig.Find("ResetRenderStates()", change);
    ASSERT_GE(change, 0);
    // After the meshes, before the light and the fonts.
    EXPECT_GT(reset, rig.Find("Load(\"./model/extend.x\")", change));
    EXPECT_LT(reset, rig.Find("SetMainLight(", change));
    EXPECT_LT(reset, rig.Find("CreateFontObject", change));
    rig.GameFrame();
    ExpectGameLook();
    EXPECT_TRUE(before == States());
    EXPECT_EQ(rig.window.visible, expectFull == 0);
  }
}

TEST_F(GameModeSwitch, ADeviceResetKeepsEveryRenderState) {
  const auto before = States();
  rig.graphics.QueueBeginFrameResult(render::kDeviceNotReset);
  rig.GameFrame();
  rig.GameFrame();
  ExpectGameLook();
  EXPECT_TRUE(before == States());
}

}  // namespace
}  // namespace quadrel::test
