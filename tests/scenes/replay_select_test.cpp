// The replay list on the headless platform: order and columns, unreadable
// files, scrolling, choosing a row, the frozen pointer and the fade-out.
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "SceneRig.hpp"
#include "base/Diagnostics.hpp"
#include "scenes/ReplaySelectScene.hpp"

namespace fs = std::filesystem;

namespace quadrel::test {
namespace {

struct Messages : MessageSink {
  std::vector<std::string> shown;
  void ShowMessage(const std::string&, const std::string& text) override { shown.push_back(text); }
  void RequestQuit(int) override {}
};

// A replay image: the signature, the header and n input frames.
std::string ReplayBytes(int32_t score, int32_t level, int32_t version = kReplayVersion,
                        int frames = 3) {
  std::string bytes(kReplayHeaderArea + kInputFrameSize * frames, '\0');
  std::memcpy(bytes.data(), kReplaySignature, sizeof kReplaySignature);
  std::memcpy(&bytes[20], &score, 4);
  std::memcpy(&bytes[24], "2005/05/11 13:04:05", 20);
  std::memcpy(&bytes[48], &version, 4);
  std::memcpy(&bytes[52], &level, 4);
  return bytes;
}

struct ReplaySelectTest : ::testing::Test {
  SceneRig rig;
  AppContext& ctx = rig.ctx;
  fs::path dir = fs::temp_directory_path() /
                 ("quadrel-select-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
  ReplaySelectScene scene{rig.services, rig.store, dir.string()};
  Messages messages;

  void SetUp() override {
    fs::remove_all(dir);
    fs::create_directories(dir);
    SetMessageSink(&messages);
  }
  void TearDown() override {
    SetMessageSink(nullptr);
    fs::remove_all(dir);
  }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
  }
  std::string Name(int32_t score) {
    char name[64];
    std::snprintf(name, sizeof name, "%08d_20050511_130405.rep", score);
    return name;
  }
  void Enter() { ASSERT_EQ(scene.Initialise(ctx), 0); }
  void MoveTo(int x, int y) {
    ctx.mouseX = x;
    ctx.mouseY = y;
  }
  void Click(int x, int y) {
    MoveTo(x, y);
    rig.input.Button(false);
    scene.Input(ctx);
    rig.input.Button(true);
    scene.Input(ctx);
  }
  void Steps(int n) {
    for (int i = 0; i < n; ++i) scene.Update(ctx);
  }
  void DrawLogged() {
    rig.StartLog();
    scene.Draw(ctx);
  }
};

TEST_F(ReplaySelectTest, RowsComeBestFirstWithTheirColumnsAndUnreadableFilesInDarkRed) {
  Write(Name(1500), ReplayBytes(1500, 0));
  Write(Name(987654), ReplayBytes(987654, 5));
  Write(Name(30000), ReplayBytes(30000, 2, 20040101));  // another format version
  Write(Name(20000), std::string(100, 'x'));             // not a replay
  Write(Name(10000), ReplayBytes(10000, 1).substr(0, 100));  // cut inside the header area
  Write("notes.txt", "not listed");
  fs::create_directory(dir / "folder.rep");
  // Larger than the store can hold: never read, reported as the game's read reports it.
  { std::ofstream(dir / Name(5000)).put('x'); }
  fs::resize_file(dir / Name(5000), kReplayBufferSize + 1);
  Enter();

  const auto& list = scene.List();
  ASSERT_EQ(list.size(), 6u);
  EXPECT_EQ(list[0].fileName, Name(987654));
  EXPECT_TRUE(list[0].valid);
  EXPECT_EQ(list[1].fileName, Name(30000));
  EXPECT_FALSE(list[1].valid);
  EXPECT_FALSE(list[2].valid);
  EXPECT_FALSE(list[3].valid);
  EXPECT_FALSE(list[4].valid);  // too large
  EXPECT_EQ(list[5].fileName, Name(1500));
  EXPECT_TRUE(list[5].valid);
  // What cannot be read shows the score and date of its name, and no level.
  EXPECT_EQ(list[2].score, 20000);
  EXPECT_STREQ(list[2].dateTime, "2005/05/11 13:04:05");
  EXPECT_EQ(list[2].level, -1);
  EXPECT_EQ(list[1].score, 30000);  // another version: its header is readable
  EXPECT_EQ(list[1].level, 2);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0], "Could not read the replay file: it is damaged or too large.");

  Steps(40);  // faded in
  MoveTo(10, 250);
  DrawLogged();
  EXPECT_GE(rig.Find("DrawTextShadow(\"Select Replay\",320,40,3,1,0xFF5096FF,0xFF323232)"), 0);
  EXPECT_GE(rig.Find("DrawTextShadow(\"LEVEL\",280,120,2,1,0xFF96FF64"), 0);
  EXPECT_GE(rig.Find("DrawTextShadow(\"00987654\",180,160,2,1,0xFFFFFFFF,0xFF323232)"), 0);
  EXPECT_GE(rig.Find("DrawTextShadow(\"ALL\",280,160,2,1,0xFFFFFFFF"), 0);
  EXPECT_GE(rig.Find("DrawTextShadow(\"2005/05/11 13:04:05\",420,160,2,1,0xFFFFFFFF"), 0);
  EXPECT_GE(rig.Find("DrawTextShadow(\"00030000\",180,180,2,1,0xFF960000"), 0);
  EXPECT_GE(rig.Find("DrawTextShadow(\"-\",280,200,2,1,0xFF960000"), 0);
  EXPECT_GE(rig.Find("DrawTextShadow(\"00001500\",180,260,2,1,0xFFFFFFFF"), 0);
  EXPECT_GE(rig.Find("DrawTextShadow(\"1\",280,260,2,1,0xFFFFFFFF"), 0);
  EXPECT_GE(rig.Find("DrawText(\"[ Back to Title ]\",320,400,1,0x50FFFF00)"), 0);

  // Hovered, a dark red row stays dark red and cannot be chosen.
  Click(300, 190);
  DrawLogged();
  EXPECT_GE(rig.Find("DrawTextShadow(\"00030000\",180,180,2,1,0xFF960000"), 0);
  EXPECT_LT(scene.Clock().nextScene, 0);
  EXPECT_EQ(ctx.replayMode, Off);
  // A readable row hovered turns pink.
  MoveTo(300, 170);
  DrawLogged();
  EXPECT_GE(rig.Find("DrawTextShadow(\"00987654\",180,160,2,1,0xFFFF9696"), 0);
}

TEST_F(ReplaySelectTest, FifteenRowsScrollToMinusOneHundredAndBack) {
  for (int i = 1; i <= 15; ++i) Write(Name(i * 100), ReplayBytes(i * 100, 0));
  Enter();
  MoveTo(320, 361);
  Steps(1);
  EXPECT_EQ(scene.scrollOffset(), -2.0);
  Steps(49);
  EXPECT_EQ(scene.scrollOffset(), -100.0);
  Steps(10);
  EXPECT_EQ(scene.scrollOffset(), -100.0);
  // The fifteenth row (the lowest score) stands at y 340 with alpha 240; the first is gone.
  Steps(40);
  DrawLogged();
  EXPECT_GE(rig.Find("DrawTextShadow(\"00000100\",180,340,2,1,0xF0FFFFFF"), 0);
  EXPECT_EQ(rig.Find("\"00001500\""), -1);
  EXPECT_GE(rig.Find("DrawTextShadow(\"00001100\",180,140,2,1,0x00FFFFFF"), 0);
  EXPECT_EQ(rig.Find("\"00001200\""), -1);
  // Within the list the rows stay put.
  MoveTo(320, 360);
  Steps(5);
  EXPECT_EQ(scene.scrollOffset(), -100.0);
  MoveTo(320, 159);
  Steps(50);
  EXPECT_EQ(scene.scrollOffset(), 0.0);
  Steps(5);
  EXPECT_EQ(scene.scrollOffset(), 0.0);

  // Ten rows never move.
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (int i = 1; i <= 10; ++i) Write(Name(i), ReplayBytes(i, 0));
  ReplaySelectScene ten{rig.services, rig.store, dir.string()};
  ASSERT_EQ(ten.Initialise(ctx), 0);
  MoveTo(320, 400);
  for (int i = 0; i < 20; ++i) ten.Update(ctx);
  EXPECT_EQ(ten.scrollOffset(), 0.0);
}

TEST_F(ReplaySelectTest, AChosenRowPlaysBackInTheGameSceneAfterTheFade) {
  for (int i = 1; i <= 15; ++i) Write(Name(i * 100), ReplayBytes(i * 100, 0));
  Enter();
  // Scrolled by 20: the row under y 170 is the second one.
  MoveTo(320, 400);
  Steps(10);
  MoveTo(320, 250);
  Steps(30);
  ASSERT_EQ(scene.scrollOffset(), -20.0);
  ctx.replayMode = Recording;
  Click(141, 161);
  EXPECT_EQ(scene.Clock().nextScene, Game);
  EXPECT_EQ(ctx.replayMode, Playback);
  ASSERT_TRUE(rig.services.replayToPlay);
  EXPECT_EQ(rig.services.replayToPlay->file, Name(1400));

  // The pointer stays where the click was while the mouse moves on.
  MoveTo(600, 250);
  Steps(1);
  DrawLogged();
  EXPECT_GE(rig.Find("DrawTextShadow(\"00001400\",180,160,2,1,0xFFFF9696"), 0);
  for (int i = 0; i < 30; ++i) scene.Update(ctx);
  scene.Draw(ctx);
  EXPECT_EQ(ctx.scene, Title);
  scene.Update(ctx);
  scene.Draw(ctx);
  EXPECT_EQ(ctx.scene, Game);
  EXPECT_FALSE(scene.prepared());

  // Row edges: x 140 and 500, and the list's band, do not count.
  Enter();
  ctx.replayMode = Off;
  Click(140, 170);
  Click(500, 170);
  Click(320, 160);  // the first row's top edge
  Click(320, 180);  // between two rows
  EXPECT_LT(scene.Clock().nextScene, 0);
  EXPECT_EQ(ctx.replayMode, Off);
}

TEST_F(ReplaySelectTest, AClickDuringTheFadeOutDoesNothingButDuringTheFadeInCounts) {
  Write(Name(1500), ReplayBytes(1500, 0));
  Enter();
  // Held from the title: no click.
  MoveTo(320, 170);
  rig.input.Button(true);
  scene.Input(ctx);
  EXPECT_LT(scene.Clock().nextScene, 0);

  Steps(3);  // still fading in
  Click(300, 410);
  EXPECT_EQ(scene.Clock().nextScene, Title);
  Click(320, 170);
  EXPECT_EQ(scene.Clock().nextScene, Title);
  EXPECT_EQ(ctx.replayMode, Off);
  // The back button blinks fast under the frozen pointer.
  MoveTo(10, 250);
  Steps(1);
  EXPECT_EQ(scene.pulsePhase(), 64);
}

TEST_F(ReplaySelectTest, AnEmptyOrMissingFolderStillShowsTheHeadsAndTheWayBack) {
  fs::remove_all(dir);
  Enter();
  EXPECT_TRUE(scene.List().empty());
  EXPECT_TRUE(rig.window.visible);
  EXPECT_EQ(rig.graphics.Background(), "./texture/select.dds");
  EXPECT_EQ(scene.Clock().fadeAlpha, 254);
  MoveTo(300, 410);
  Steps(2);
  EXPECT_EQ(scene.pulsePhase(), 16);
  DrawLogged();
  EXPECT_GE(rig.Find("DrawTextShadow(\"SCORE\",180,120"), 0);
  EXPECT_GE(rig.Find("DrawText(\"[ Back to Title ]\",320,400,1,0xEFFFFF00)"), 0);
  EXPECT_GE(rig.Find("FadeQuad(0xEE000000)"), 0);
}

TEST_F(ReplaySelectTest, AltEnterSwitchesOncePerPress) {
  Enter();
  rig.input.keys.keys[key::LeftAlt] = 0x80;
  rig.input.keys.keys[key::Enter] = 0x80;
  scene.Input(ctx);  // held at entry
  EXPECT_EQ(ctx.fullScreen, 1);
  rig.input.keys = KeyboardState{};
  scene.Input(ctx);
  rig.input.keys.keys[key::RightAlt] = 0x80;
  rig.input.keys.keys[key::Enter] = 0x80;
  rig.StartLog();
  for (int i = 0; i < 4; ++i) scene.Input(ctx);
  EXPECT_EQ(ctx.fullScreen, 0);
  EXPECT_EQ(rig.Count("ChangeDisplayMode(0"), 1);
  EXPECT_GE(rig.Find("LoadBackground(\"./texture/select.dds\""), 0);
}

}  // namespace
}  // namespace quadrel::test
