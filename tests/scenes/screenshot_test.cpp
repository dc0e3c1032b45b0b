// Pictures of the real scenes with the game's own assets, drawn through
// OpenGL on a private Xvfb display and kept as PNG files for people to look
// at: the title, the level banner, play with two balls, an option bar and a
// falling item, the game-over screen, a paused game in every phase, a replay in
// playback, the ranking's name entry, its question to save the replay, its
// registration on the way and its table alone, and the replay list with
// readable and unreadable rows.
#include <SDL.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "SceneRig.hpp"
#include "XvfbDisplay.hpp"
#include "game/Physics.hpp"
#include "platform/render/GameWindow.hpp"
#include "platform/render/GlGraphics.hpp"
#include "scenes/RankingScene.hpp"
#include "scenes/ReplaySelectScene.hpp"

namespace fs = std::filesystem;

namespace quadrel::test {
namespace {

testing::XvfbDisplay& Display() {
  static testing::XvfbDisplay display;
  return display;
}

struct Rgb {
  int r, g, b;
};

class Screenshots : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Display().Ok()) << "Xvfb did not start";
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    window_ = render::CreateGameWindow(false, true);
    ASSERT_NE(window_, nullptr) << SDL_GetError();
    graphics_ = std::make_unique<render::GlGraphics>(window_);
    graphics_->SetSwapInterval(0);
    // A working folder of its own (for replay/), with the runtime's assets.
    home_ = fs::current_path();
    dir_ = fs::temp_directory_path() /
           ("quadrel-shots-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "replay");
    for (const char* sub : {"model", "texture", "sound"})
      fs::create_directory_symlink(fs::path(QUADREL_RUNTIME_DIR) / sub, dir_ / sub);
    fs::current_path(dir_);
    rig_ = std::make_unique<Rig>(*graphics_);
    rig_->ctx.fullScreen = 0;
    // The program starts on the title, whose first tick creates the device and
    // runs its load step; every other scene is entered after it.
    ASSERT_EQ(rig_->title.Initialise(rig_->ctx), 0);
  }
  void TearDown() override {
    rig_.reset();
    fs::current_path(home_);
    fs::remove_all(dir_);
    graphics_.reset();
    if (window_) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  // The scenes of SceneRig, drawing through OpenGL instead.
  struct Rig {
    explicit Rig(render::Graphics& g) : services{g, input, clock, window} {
      game.replay = &store;
      game.gameRandom.Seed(7);
      GameReset(game);
    }
    ScriptedInput input;
    platform::FakeClock clock{100000};
    CursorWindow window;
    SceneServices services;
    AppContext ctx{};
    ReplayStore store;
    GameState game{};
    SoundLog sound;
    GameSceneTick gameScene{services, game, sound, [] { return 0; }};
    TitleScene title{services};
    RankingTable table;
    RankingScene ranking{services, table, store};
    ReplaySelectScene select{services, store};
    // A step as the tick runs it; only the pictures kept are drawn.
    void GameFrame() {
      gameScene.StepInput(ctx);
      gameScene.Update(ctx);
      clock.Advance(16);
    }
    void Draw() { gameScene.Draw(ctx); }
    // The title hands over: the game's first tick runs its load step.
    int32_t EnterGame() {
      ctx.scene = Game;
      return gameScene.Initialise(ctx);
    }
  };

  // Keeps the last drawn picture as NAME.png and returns it for checks.
  void Keep(const std::string& name) {
    picture_ = graphics_->ReadPicture();
    const fs::path out = fs::path(QUADREL_SCREENSHOT_DIR);
    fs::create_directories(out);
    ASSERT_TRUE(stbi_write_png((out / (name + ".png")).c_str(), 640, 480, 4, picture_.data(), 640 * 4));
  }
  Rgb Pixel(int x, int y) const {
    const uint8_t* p = &picture_.at((static_cast<size_t>(y) * 640 + x) * 4);
    return Rgb{p[0], p[1], p[2]};
  }
  // Pixels in a rectangle close to a colour.
  int Near(int x0, int y0, int x1, int y1, Rgb c, int tolerance = 40) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const Rgb p = Pixel(x, y);
        if (std::abs(p.r - c.r) + std::abs(p.g - c.g) + std::abs(p.b - c.b) <= tolerance) ++n;
      }
    return n;
  }

  // The ranking after a game of this score, over a table of five rows, ticked
  // until its heading is in place.
  void EnterRanking(int32_t score) {
    Rig& r = *rig_;
    RankingTable t;
    for (int i = 0; i < 5; ++i) {
      t.rows[i].score = 9000000 - 1500000 * i;
      std::snprintf(t.rows[i].name, sizeof t.rows[i].name, "%-10s",
                    std::string("Player ").append(1, static_cast<char>('A' + i)).c_str());
      std::snprintf(t.rows[i].dateTime, sizeof t.rows[i].dateTime, "2026/12/0%d 1%d:2%d:3%d", i + 1,
                    i, i, i);
    }
    ASSERT_TRUE(SaveRankingFile(t));
    r.ctx.score = score;
    r.ctx.reachedLevel = 3;
    r.ctx.finishLocalTime = LocalTime(1796659200);
    r.store.ResetReplayStore();
    r.store.fileName() = ReplayFileName(score, r.ctx.finishLocalTime);
    r.store.FinishReplay(score, 3);
    ASSERT_EQ(r.ranking.Initialise(r.ctx), 0);
    RankingFrames(150);
  }
  void RankingFrames(int n) {
    Rig& r = *rig_;
    for (int i = 0; i < n; ++i) {
      r.ranking.Input(r.ctx);
      r.ranking.Update(r.ctx);
      r.ranking.Draw(r.ctx);
    }
  }
  void RankingKey(int code) {
    Rig& r = *rig_;
    r.input.keys.keys[code] = 0x80;
    RankingFrames(1);
    r.input.keys.keys[code] = 0;
    RankingFrames(1);
  }

  // P pressed after a drawn frame; the paused picture kept as NAME.png, with
  // the pause in its own band, readable.
  void PauseAndKeep(const std::string& name) {
    Rig& r = *rig_;
    r.Draw();  // the last frame before the pause
    r.input.keys.keys[playerKey::P] = 0x80;
    r.gameScene.StepInput(r.ctx);
    r.input.keys.keys[playerKey::P] = 0;
    ASSERT_TRUE(r.gameScene.pause().Paused());
    r.Draw();
    Keep(name);
    EXPECT_GT(Near(200, 375, 440, 415, Rgb{150, 200, 255}, 90), 300);  // "P A U S E"
    EXPECT_GT(Near(240, 418, 400, 442, Rgb{255, 255, 0}, 90), 100);    // "[ P ] to resume"
  }

  SDL_Window* window_ = nullptr;
  std::unique_ptr<render::GlGraphics> graphics_;
  std::unique_ptr<Rig> rig_;
  fs::path home_, dir_;
  std::vector<uint8_t> picture_;
};

TEST_F(Screenshots, Title) {
  Rig& r = *rig_;
  ASSERT_EQ(r.title.Initialise(r.ctx), 0);
  for (int i = 0; i < 40; ++i) r.title.Update(r.ctx);
  r.ctx.mouseX = 320;
  r.ctx.mouseY = 260;
  r.title.Draw(r.ctx);
  Keep("title");
  EXPECT_GT(Near(180, 120, 460, 190, Rgb{0, 100, 255}, 60), 500);   // the name
  EXPECT_GT(Near(236, 245, 404, 275, Rgb{247, 247, 0}, 80), 200);   // the lit button
}

TEST_F(Screenshots, LevelIntroOfTheFirstLevel) {
  Rig& r = *rig_;
  r.ctx.replayMode = Recording;
  ASSERT_EQ(r.EnterGame(), 0);
  for (int i = 0; i < 64; ++i) r.GameFrame();
  r.Draw();
  Keep("level_intro");
  EXPECT_GT(Near(200, 220, 440, 255, Rgb{150, 255, 100}, 90), 300);  // "L E V E L  1"
  EXPECT_GT(Near(0, 0, 180, 32, Rgb{0, 150, 255}, 90), 150);         // the score
  PauseAndKeep("paused_level_intro");
  EXPECT_GT(Near(200, 220, 440, 255, Rgb{75, 128, 50}, 60), 300);  // the banner, dimmed
}

TEST_F(Screenshots, PausedDuringTheFadeIn) {
  Rig& r = *rig_;
  r.ctx.replayMode = Recording;
  ASSERT_EQ(r.EnterGame(), 0);
  for (int i = 0; i < 4; ++i) r.GameFrame();
  ASSERT_GT(r.game.vars.clock.fadeAlpha, 200);
  PauseAndKeep("paused_fade_in");
}

TEST_F(Screenshots, PausedAllClear) {
  Rig& r = *rig_;
  r.ctx.replayMode = Recording;
  ASSERT_EQ(r.EnterGame(), 0);
  while (r.game.phase == LevelIntro || r.game.vars.clock.fadeAlpha != 0) r.GameFrame();
  r.game.phase = AllClear;
  r.game.vars.levelClearBonus = 5000000;
  r.game.vars.ballBonus = 3000000;
  // The presentation moves on drawn frames and the millisecond clock.
  while (!(r.gameScene.hud().stage & 32)) {
    r.GameFrame();
    r.Draw();
  }
  PauseAndKeep("paused_all_clear");
  EXPECT_GT(Near(150, 70, 490, 150, Rgb{128, 110, 100}, 60), 300);  // "CONGRATULATIONS !", dimmed
}

TEST_F(Screenshots, PlayWithTwoBallsAnOptionBarAndAFallingItem) {
  Rig& r = *rig_;
  r.ctx.replayMode = Recording;
  ASSERT_EQ(r.EnterGame(), 0);
  while (r.game.phase == LevelIntro) r.GameFrame();
  r.input.mouse.lX = -40;
  r.GameFrame();
  r.input.Button(true);
  r.GameFrame();
  r.input.Button(false);
  for (int i = 0; i < 20; ++i) r.GameFrame();
  r.input.mouse.lX = 90;
  r.GameFrame();
  r.input.Button(true);
  r.GameFrame();
  r.input.Button(false);
  AddOptionBar(r.game);
  for (int i = 0; i < 36; ++i) r.GameFrame();
  SpawnItem(r.game, -6.0, 24.0, ExtendItem);
  SpawnItem(r.game, 12.0, 30.0, OptionItem);
  for (int i = 0; i < 4; ++i) r.GameFrame();
  ASSERT_EQ(r.game.BallsInPlay(), 2);
  ASSERT_EQ(r.game.bars[1].barState, BarNormal);
  r.Draw();
  Keep("play");
  EXPECT_GT(Near(560, 80, 620, 115, Rgb{255, 100, 50}, 90), 40);  // "x 2"
}

TEST_F(Screenshots, GameOver) {
  Rig& r = *rig_;
  r.ctx.replayMode = Recording;
  ASSERT_EQ(r.EnterGame(), 0);
  while (r.game.phase == LevelIntro) r.GameFrame();
  r.game.ballStock = 3;
  r.game.ballsLaunched = 3;
  r.game.ballsLost = 3;
  r.game.phase = GameOver;
  for (int i = 0; i < 130; ++i) r.GameFrame();
  r.Draw();
  Keep("game_over");
  EXPECT_GT(Near(180, 220, 460, 255, Rgb{150, 100, 255}, 90), 300);  // "G A M E   O V E R"
  PauseAndKeep("paused_game_over");
  EXPECT_GT(Near(180, 220, 460, 255, Rgb{75, 50, 128}, 60), 300);  // the banner, dimmed
}

TEST_F(Screenshots, PausedGameWithTheSoundLevelShown) {
  Rig& r = *rig_;
  r.ctx.replayMode = Recording;
  ASSERT_EQ(r.gameScene.Initialise(r.ctx), 0);
  while (r.game.phase == LevelIntro) r.GameFrame();
  r.input.mouse.lX = 60;
  r.GameFrame();
  r.input.Button(true);
  r.GameFrame();
  r.input.Button(false);
  for (int i = 0; i < 40; ++i) r.GameFrame();
  r.Draw();  // the last frame before the pause
  r.input.keys.keys[playerKey::P] = 0x80;
  r.gameScene.StepInput(r.ctx);
  r.input.keys.keys[playerKey::P] = 0;
  ASSERT_TRUE(r.gameScene.pause().Paused());
  r.input.keys.keys[playerKey::Minus] = 0x80;  // the sound level, shown for a second
  r.gameScene.StepInput(r.ctx);
  r.Draw();
  Keep("paused");
  EXPECT_GT(Near(200, 375, 440, 415, Rgb{150, 200, 255}, 90), 300);  // "P A U S E"
  EXPECT_GT(Near(240, 418, 400, 442, Rgb{255, 255, 0}, 90), 100);    // "[ P ] to resume"
  EXPECT_GT(Near(250, 2, 390, 26, Rgb{255, 255, 0}, 90), 60);        // "VOLUME 9 / 10"
  EXPECT_GT(Near(0, 0, 180, 32, Rgb{0, 75, 128}, 60), 50);           // the score, dimmed
}

TEST_F(Screenshots, ReplayInPlayback) {
  Rig& r = *rig_;
  const std::string name = "07378920_20050513_101134.rep";
  fs::copy_file(fs::path(QUADREL_GOLDEN_DIR) / name, dir_ / "replay" / name);
  r.ctx.replayMode = Playback;
  r.services.replayToPlay = ReplayChoice{name};
  ASSERT_EQ(r.EnterGame(), 0);
  while (r.game.frameNumber < 2400) r.GameFrame();
  // The notice pulses; draw it at full strength.
  r.gameScene.hud().replayBlink = 0;
  r.Draw();
  Keep("replay");
  EXPECT_EQ(r.game.gapMarker, 0.0);
  EXPECT_GT(Near(520, 458, 626, 480, Rgb{0, 50, 255}, 90), 60);  // "Replay Mode"
}

// Alt+Enter to full screen in the middle of a game: the picture drawn right
// after it, with nothing moved, keeps the blocks' highlights and blending.
TEST_F(Screenshots, AltEnterKeepsTheLookOfTheField) {
  Rig& r = *rig_;
  r.ctx.replayMode = Recording;
  ASSERT_EQ(r.EnterGame(), 0);
  while (r.game.phase == LevelIntro || r.game.vars.clock.fadeAlpha != 0) r.GameFrame();
  r.GameFrame();
  r.Draw();
  Keep("alt_enter_before");
  const std::vector<uint8_t> before = picture_;
  r.input.keys.keys[key::LeftAlt] = 0x80;
  r.input.keys.keys[key::Enter] = 0x80;
  r.GameFrame();  // the switch; nothing is launched, so little moves
  ASSERT_EQ(r.ctx.fullScreen, 1);
  r.Draw();
  Keep("alt_enter_after");
  // The field's upper part holds the blocks; the brightest of them are
  // the specular highlights.
  int changed = 0, brightBefore = 0, brightAfter = 0;
  for (int y = 40; y < 300; ++y)
    for (int x = 100; x < 540; ++x) {
      const size_t i = (static_cast<size_t>(y) * 640 + x) * 4;
      int diff = 0, sumBefore = 0, sumAfter = 0;
      for (int c = 0; c < 3; ++c) {
        diff += std::abs(before[i + c] - picture_[i + c]);
        sumBefore += before[i + c];
        sumAfter += picture_[i + c];
      }
      if (diff > 24) ++changed;
      if (sumBefore > 600) ++brightBefore;
      if (sumAfter > 600) ++brightAfter;
    }
  std::printf("field pixels changed %d, bright before %d, after %d\n", changed, brightBefore,
              brightAfter);
  EXPECT_GT(brightBefore, 50);
  EXPECT_LT(changed, 200);
  EXPECT_NEAR(brightAfter, brightBefore, brightBefore / 10 + 5);
}

TEST_F(Screenshots, RankingNameEntry) {
  Rig& r = *rig_;
  EnterRanking(4321000);
  ASSERT_EQ(r.ranking.step(), NameEntryStep);
  ASSERT_EQ(r.table.newEntryIndex, 4);
  r.input.keys.keys[0x2A] = 0x80;  // Shift
  RankingKey(0x1E);                // A
  r.input.keys.keys[0x2A] = 0;
  for (int code : {0x2E, 0x12, 0x39, 0x30}) RankingKey(code);  // c e blank b
  // Drawn on a frame where the character at the cursor is dimmed.
  while (r.ranking.blinkCounter() != 10) RankingFrames(1);
  Keep("ranking_name_entry");
  EXPECT_GT(Near(170, 40, 470, 100, Rgb{255, 100, 50}, 90), 300);   // "Ranking"
  EXPECT_GT(Near(140, 140, 400, 240, Rgb{255, 255, 255}, 60), 300);  // the rows
  EXPECT_GT(Near(140, 220, 400, 240, Rgb{255, 200, 200}, 60), 60);   // the new row, tinted
  EXPECT_GT(Near(150, 340, 500, 400, Rgb{255, 255, 255}, 60), 300);  // the typed name
}

TEST_F(Screenshots, RankingSaveReplayQuestion) {
  Rig& r = *rig_;
  EnterRanking(4321000);
  for (int code : {0x1E, 0x2E, 0x12}) RankingKey(code);  // a c e
  RankingKey(0x1C);                                       // Enter
  ASSERT_EQ(r.ranking.step(), AskSaveStep);
  r.ctx.mouseX = 220;
  r.ctx.mouseY = 410;
  RankingFrames(3);
  Keep("ranking_save_question");
  EXPECT_GT(Near(100, 320, 540, 370, Rgb{255, 255, 0}, 80), 300);  // "Save Replay Data ?"
  EXPECT_GT(Near(190, 390, 250, 430, Rgb{255, 255, 0}, 80), 60);   // the lit Yes
}

TEST_F(Screenshots, RankingWhileTheRegistrationIsSent) {
  Rig& r = *rig_;
  // A server that does not answer until the scene lets go of it.
  r.services.registerOnline = [](const RankingEntry&, int32_t, const ReplayStore&,
                                 const std::atomic<bool>& cancel) {
    while (!cancel) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return -1;
  };
  EnterRanking(4321000);
  for (int code : {0x1E, 0x2E, 0x12}) RankingKey(code);  // a c e
  RankingKey(0x1C);                                       // Enter
  r.ctx.mouseX = 420;
  r.ctx.mouseY = 410;
  r.input.Button(true);
  RankingFrames(1);  // No to the replay
  r.input.Button(false);
  RankingFrames(40);
  ASSERT_EQ(r.ranking.step(), AskRegisterStep);
  r.ctx.mouseX = 220;
  r.input.Button(true);
  RankingFrames(1);  // Yes
  r.input.Button(false);
  RankingFrames(20);
  ASSERT_TRUE(r.ranking.sending());
  Keep("ranking_sending");
  EXPECT_GT(Near(260, 345, 380, 375, Rgb{200, 200, 215}, 100), 40);  // "Sending...", quiet
  EXPECT_EQ(Near(100, 320, 540, 370, Rgb{255, 255, 0}, 80), 0);     // the question is gone
}

TEST_F(Screenshots, RankingTableAlone) {
  Rig& r = *rig_;
  EnterRanking(0);
  ASSERT_EQ(r.ranking.step(), TableOnlyStep);
  RankingFrames(60);
  while (r.ranking.pulsePhase() != 200) RankingFrames(1);
  Keep("ranking_table_only");
  EXPECT_GT(Near(140, 140, 400, 240, Rgb{255, 255, 255}, 60), 300);  // the rows at 140
  EXPECT_EQ(Near(140, 250, 400, 300, Rgb{255, 255, 255}, 60), 0);   // no sixth row
  EXPECT_GT(Near(240, 390, 400, 420, Rgb{200, 200, 0}, 90), 30);     // "[ Click to return ]"
}

TEST_F(Screenshots, ReplayListWithReadableAndUnreadableRows) {
  Rig& r = *rig_;
  for (const auto& entry : fs::directory_iterator(QUADREL_GOLDEN_DIR))
    if (entry.path().extension() == ".rep")
      fs::copy_file(entry.path(), dir_ / "replay" / entry.path().filename());
  // Not a replay, and a replay of another format version.
  std::ofstream(dir_ / "replay" / "06000000_20051224_200000.rep") << "scribbled over";
  std::string other;
  {
    std::ifstream in(dir_ / "replay" / "00109920_20050512_090421.rep", std::ios::binary);
    other.assign(std::istreambuf_iterator<char>(in), {});
  }
  ASSERT_GT(other.size(), 60u);
  other[48] = 0x01;  // the version
  std::ofstream(dir_ / "replay" / "00200000_20060101_000000.rep", std::ios::binary) << other;
  ASSERT_EQ(r.select.Initialise(r.ctx), 0);
  ASSERT_GE(r.select.List().size(), 3u);
  r.ctx.mouseX = 300;
  r.ctx.mouseY = 250;  // in the middle of the list: no scrolling
  for (int i = 0; i < 40; ++i) {
    r.select.Input(r.ctx);
    r.select.Update(r.ctx);
    r.select.Draw(r.ctx);
  }
  Keep("replay_list");
  EXPECT_GT(Near(140, 160, 560, 260, Rgb{255, 255, 255}, 60), 300);  // readable rows
  EXPECT_GT(Near(140, 160, 560, 300, Rgb{150, 0, 0}, 60), 60);       // unreadable, dark red
}

}  // namespace
}  // namespace quadrel::test
