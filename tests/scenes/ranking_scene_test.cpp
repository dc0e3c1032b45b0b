// The ranking scene on headless services, in a fresh working folder: a whole
// visit with a new row, keys held at entry, Alt+Enter during the name entry,
// the answer boxes and their pulse, a replay that cannot be written, the
// registration's answers, and a score that does not make the table.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "SceneRig.hpp"
#include "scenes/RankingScene.hpp"
#include "scenes/SceneSetup.hpp"

namespace fs = std::filesystem;

namespace quadrel::test {
namespace {

constexpr int kA = 0x1E, kC = 0x2E, kE = 0x12, kShift = 0x2A;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs in its own temporary folder: ranking.dat and replay/ are relative.
struct RankingTest : ::testing::Test {
  fs::path home = fs::current_path();
  fs::path dir;
  SceneRig rig;
  RankingTable table;
  std::vector<std::string> registered;  // before the scene, whose end joins its exchange
  RankingScene scene{rig.services, table, rig.store};
  AppContext& ctx = rig.ctx;

  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quadrel-ranking-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    fs::current_path(dir);
    rig.services.registerOnline = [this](const RankingEntry& row, int32_t level,
                                         const ReplayStore& store, const std::atomic<bool>&) {
      registered.push_back(std::string(row.name) + "|" + std::to_string(row.score) + "|" +
                           std::to_string(level) + "|" + std::to_string(store.usedSize()));
      return 0;
    };
    std::tm end{};
    end.tm_year = 126;
    end.tm_mon = 11;
    end.tm_mday = 7;
    end.tm_hour = 18;
    end.tm_min = 5;
    end.tm_sec = 9;
    ctx.finishLocalTime = end;
    ctx.reachedLevel = 2;
    ctx.scene = Ranking;
    rig.store.ResetReplayStore();
  }
  void TearDown() override {
    fs::current_path(home);
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  // A finished recorded game of this score, as the game scene leaves it.
  void FinishGame(int32_t score) {
    ctx.score = score;
    rig.store.fileName() = ReplayFileName(score, ctx.finishLocalTime);
    rig.store.FinishReplay(score, ctx.reachedLevel);
  }
  void WriteTable(int rows, int32_t lowest) {
    RankingTable t;
    for (int i = 0; i < rows; ++i) {
      t.rows[i].score = lowest + 100 * (rows - 1 - i);
      std::snprintf(t.rows[i].name, sizeof t.rows[i].name, "player%04d", i);
      std::snprintf(t.rows[i].dateTime, sizeof t.rows[i].dateTime, "2026/01/01 00:00:%02d", i);
    }
    ASSERT_TRUE(SaveRankingFile(t));
  }
  // One tick on a machine that draws every step.
  void Tick() {
    if (ctx.scene != Ranking) return;
    ASSERT_EQ(scene.Initialise(ctx), 0);
    scene.Input(ctx);
    if (ctx.scene != Ranking) return;
    scene.Update(ctx);
    scene.Draw(ctx);
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) Tick();
  }
  void Key(int code, bool down) {
    rig.input.keys.keys[code] = down ? 0x80 : 0;
    Tick();
  }
  void Type(int code) {
    Key(code, true);
    Key(code, false);
  }
  void Click(int x, int y) {
    ctx.mouseX = x;
    ctx.mouseY = y;
    rig.input.Button(true);
    Tick();
    rig.input.Button(false);
    Tick();
  }
  // Ticks until the registration's answer is in (the tick that takes it draws it).
  void AwaitRegistration() {
    for (int i = 0; i < 5000 && scene.sending(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      Tick();
    }
    ASSERT_FALSE(scene.sending());
  }
  // Ticks until the step changes; returns the frames drawn in the old one.
  int FramesUntilStepLeaves(int32_t step) {
    int frames = 0;
    while (scene.step() == step && frames < 1000) {
      Tick();
      ++frames;
    }
    return frames;
  }
};

TEST_F(RankingTest, AWholeVisitWithANewRowSavesNameAndReplayAndReturnsToTheTitle) {
  WriteTable(3, 1000);  // 1200, 1100, 1000
  FinishGame(1150);
  Tick();
  ASSERT_EQ(scene.step(), NameEntryStep);
  EXPECT_EQ(table.newEntryIndex, 1);
  EXPECT_FALSE(rig.window.visible);  // full screen: no cursor while typing
  EXPECT_EQ(rig.graphics.Background(), "./texture/ranking.dds");
  EXPECT_EQ(rig.graphics.State().clearColour, 0xFF3264C8u);

  Key(kShift, true);
  Type(kA);
  Key(kShift, false);
  Type(kC);
  Type(kE);
  EXPECT_STREQ(table.rows[1].name, "Ace       ");
  rig.StartLog();
  Ticks(2);
  // The editor: the cursor's character blinks at alpha 50, the others at full.
  EXPECT_GE(rig.Find("DrawTextShadow(\"A\",176,365,3,1,0xFFFFFFFF"), 0);
  EXPECT_GE(rig.Find("DrawTextShadow(\"_\",272,370,3,1,"), 0);
  EXPECT_GE(rig.Find("DrawTextShadow(\"00001150   Ace       \",140,160,2,0,0xFFFFC8C8"), 0)
      << "the new row is tinted";
  EXPECT_EQ(ReadAll("ranking.dat").find("Ace"), std::string::npos);  // not saved before Enter

  Type(key::Enter);
  ASSERT_EQ(scene.step(), AskSaveStep);
  EXPECT_TRUE(rig.window.visible);
  const std::string saved = ReadAll("ranking.dat");
  EXPECT_EQ(saved.size(), 4u * 38u);
  EXPECT_EQ(saved.substr(38, 38), "00001150Ace       2026/12/07 18:05:09\n");

  // Editing keys after Enter change nothing: the saved row is the registered row.
  for (int code : {kA, static_cast<int>(key::Left), 0x0E /* Backspace */, 0xD3 /* Delete */})
    Type(code);
  EXPECT_STREQ(table.rows[1].name, "Ace       ");

  rig.StartLog();
  Tick();
  EXPECT_GE(rig.Find("DrawTextShadow(\"Save Replay Data ?\",320,340,3,1,0xFFFFFF00"), 0);
  Click(220, 410);
  ASSERT_EQ(scene.step(), SaveResultStep);
  EXPECT_EQ(scene.messageText(), "Complete !");
  EXPECT_EQ(scene.messageColour(), 0xFF96C8FFu);
  const fs::path replay = fs::path("replay") / rig.store.fileName();
  ASSERT_TRUE(fs::exists(replay));
  EXPECT_EQ(fs::file_size(replay), rig.store.usedSize());
  // The click's two ticks drew two result frames already.
  EXPECT_EQ(FramesUntilStepLeaves(SaveResultStep) + 2, 31);
  ASSERT_EQ(scene.step(), AskRegisterStep);

  Click(255, 429);
  ASSERT_EQ(scene.step(), RegisterResultStep);
  AwaitRegistration();
  ASSERT_EQ(registered.size(), 1u);
  EXPECT_EQ(registered[0], "Ace       |1150|2|" + std::to_string(rig.store.usedSize()));
  EXPECT_EQ(scene.messageText(), "Complete !");
  EXPECT_EQ(FramesUntilStepLeaves(RegisterResultStep) + 1, 31);
  ASSERT_EQ(scene.step(), FinishStep);

  // The scene fades out and enters itself again, now without a score.
  int frames = 0;
  while (scene.prepared() && frames < 100) {
    Tick();
    ++frames;
  }
  EXPECT_EQ(frames, 32);  // out by 8 from 0 to 255, drawn on the frame that reaches it
  EXPECT_EQ(ctx.scene, Ranking);
  EXPECT_EQ(ctx.score, 0);
  EXPECT_EQ(scene.letterCount(), 0);

  rig.StartLog();
  Tick();
  ASSERT_EQ(scene.step(), TableOnlyStep);
  EXPECT_EQ(table.newEntryIndex, kNoNewEntry);
  EXPECT_STREQ(table.rows[1].name, "Ace       ");  // as read back from the file
  EXPECT_EQ(rig.Find("Save Replay Data ?"), -1);
  // The table starts below the window and rises 3 pixels a step to 140.
  EXPECT_GE(rig.Find("DrawTextShadow(\" 1st\",100,597,2,2,0xFFFFFFFF"), 0);
  Ticks(160);
  rig.StartLog();
  Tick();
  EXPECT_GE(rig.Find("DrawTextShadow(\" 2nd\",100,160,2,2,0xFFFFFFFF"), 0);
  EXPECT_GE(rig.Find("DrawText(\"[ Click to return ]\",320,400,1,"), 0);
  EXPECT_EQ(FramesUntilStepLeaves(TableOnlyStep) + 162, 900);
  EXPECT_EQ(scene.step(), LeaveStep);
  Tick();
  EXPECT_EQ(scene.Clock().nextScene, Title);
  Ticks(40);
  EXPECT_EQ(ctx.scene, Title);
  EXPECT_EQ(ReadAll("ranking.dat"), saved);
}

TEST_F(RankingTest, AClickOnTheTableOnlyDisplayReturnsAtOnceAndTheHeadingSpirals) {
  FinishGame(0);  // the title's idle visit
  rig.StartLog();
  Tick();
  ASSERT_EQ(scene.step(), TableOnlyStep);
  EXPECT_EQ(scene.slideCounter(), 899);
  // The first letter shows at once at its start of the spiral, the second 10 frames later.
  EXPECT_GE(rig.Find("DrawTextShadow(\"R\",320,-60,3,1,0xFFFF6432,0xFF000A28)"), 0);
  EXPECT_EQ(rig.Find("DrawTextShadow(\"a\""), -1);
  Ticks(10);
  EXPECT_GE(rig.Find("DrawTextShadow(\"a\",360,-60,3,1,"), 0);
  Ticks(90);
  rig.StartLog();
  Tick();
  EXPECT_GE(rig.Find("DrawTextShadow(\"R\",200,60,3,1,"), 0) << "in place after 80 frames";
  Click(10, 10);
  EXPECT_EQ(scene.step(), LeaveStep);
  EXPECT_EQ(scene.Clock().nextScene, Title);
  Ticks(40);
  EXPECT_EQ(ctx.scene, Title);
}

TEST_F(RankingTest, EnterHeldAtEntryDoesNotEndTheNameEntry) {
  FinishGame(500);
  rig.input.keys.keys[key::Enter] = 0x80;
  rig.input.Button(true);
  Ticks(5);
  EXPECT_EQ(scene.step(), NameEntryStep);
  EXPECT_FALSE(fs::exists("ranking.dat") && fs::file_size("ranking.dat") > 0);
  Key(key::Enter, false);
  Key(key::Enter, true);
  EXPECT_EQ(scene.step(), AskSaveStep);
  EXPECT_EQ(ReadAll("ranking.dat").size(), 38u);
}

TEST_F(RankingTest, KeypadEnterEndsTheNameAndTheSoundKeysAreLettersOnlyWhileTyping) {
  FinishGame(500);
  Tick();
  int saves = 0;
  rig.services.saveSettings = [&](const PlayerSettings&) { ++saves; };
  Type(playerKey::M);
  Type(playerKey::Minus);
  EXPECT_STREQ(table.rows[0].name, "m-        ");
  EXPECT_EQ(saves, 0);
  Type(key::PadEnter);
  ASSERT_EQ(scene.step(), AskSaveStep);
  EXPECT_EQ(ReadAll("ranking.dat").substr(8, 10), "m-        ");
  Type(playerKey::Minus);
  Type(playerKey::M);
  EXPECT_EQ(rig.services.settings.volume, kVolumeSteps - 1);
  EXPECT_TRUE(rig.services.settings.muted);
  EXPECT_EQ(saves, 2);
}

TEST_F(RankingTest, AltEnterSwitchesOncePerPressAndNeverEndsTheNameEntry) {
  FinishGame(500);
  Tick();
  rig.StartLog();
  Key(key::LeftAlt, true);
  Key(key::Enter, true);
  Ticks(5);  // held: one switch
  EXPECT_EQ(rig.Count("ChangeDisplayMode(0,"), 1);
  EXPECT_EQ(ctx.fullScreen, 0);
  EXPECT_TRUE(rig.window.visible);  // windowed: the cursor shows
  EXPECT_EQ(rig.graphics.FontCount(), 2);  // reloaded
  EXPECT_EQ(scene.step(), NameEntryStep);
  // Letting go of Alt first is no Enter press.
  Key(key::LeftAlt, false);
  Ticks(2);
  EXPECT_EQ(scene.step(), NameEntryStep);
  // Right Alt with the held Enter: a new press, back to full screen.
  Key(key::RightAlt, true);
  EXPECT_EQ(ctx.fullScreen, 1);
  EXPECT_FALSE(rig.window.visible);  // full screen during the name entry
  Key(key::RightAlt, false);
  Key(key::Enter, false);
  EXPECT_EQ(scene.step(), NameEntryStep);
  Type(key::Enter);
  EXPECT_EQ(scene.step(), AskSaveStep);
  EXPECT_EQ(rig.Count("ChangeDisplayMode("), 2);
}

TEST_F(RankingTest, AnswerBoxEdgesAreOutsideAndLeavingBothRestartsThePulse) {
  EXPECT_EQ(HitTestRankingAnswer(184, 410), NoAnswer);
  EXPECT_EQ(HitTestRankingAnswer(185, 410), YesAnswer);
  EXPECT_EQ(HitTestRankingAnswer(255, 410), YesAnswer);
  EXPECT_EQ(HitTestRankingAnswer(256, 410), NoAnswer);
  EXPECT_EQ(HitTestRankingAnswer(220, 390), NoAnswer);
  EXPECT_EQ(HitTestRankingAnswer(220, 391), YesAnswer);
  EXPECT_EQ(HitTestRankingAnswer(220, 430), NoAnswer);
  EXPECT_EQ(HitTestRankingAnswer(396, 410), NoAnswer);
  EXPECT_EQ(HitTestRankingAnswer(397, 410), NoThanksAnswer);
  EXPECT_EQ(HitTestRankingAnswer(443, 429), NoThanksAnswer);
  EXPECT_EQ(HitTestRankingAnswer(444, 410), NoAnswer);

  FinishGame(500);
  Tick();
  Type(key::Enter);
  ASSERT_EQ(scene.step(), AskSaveStep);
  Click(184, 410);
  Click(256, 410);
  Click(320, 410);
  EXPECT_EQ(scene.step(), AskSaveStep);
  EXPECT_FALSE(fs::exists("replay"));
  // Off both buttons: both at 80 and the pulse restarts, so Yes lights up at 251.
  ctx.mouseX = 320;
  rig.StartLog();
  Tick();
  EXPECT_EQ(scene.pulsePhase(), 0);
  EXPECT_GE(rig.Find("DrawText(\"Yes\",220,410,5,0x50FFFF00)"), 0);
  EXPECT_GE(rig.Find("DrawText(\"No\",420,410,5,0x50FFFF00)"), 0);
  ctx.mouseX = 220;
  rig.StartLog();
  Tick();
  EXPECT_GE(rig.Find("DrawText(\"Yes\",220,410,5,0xFBFFFF00)"), 0);
  Click(420, 410);
  EXPECT_EQ(scene.step(), SaveResultStep);
  EXPECT_EQ(scene.messageText(), "Cancelled");
  EXPECT_EQ(scene.messageColour(), 0xFFFF6464u);
  EXPECT_FALSE(fs::exists("replay"));
}

TEST_F(RankingTest, AReplayThatCannotBeWrittenShowsErrorNotComplete) {
  std::ofstream("replay") << "a file where the folder should be";
  FinishGame(500);
  Tick();
  Type(key::Enter);
  Click(220, 410);
  ASSERT_EQ(scene.step(), SaveResultStep);
  EXPECT_EQ(scene.messageText(), "ERROR");
  EXPECT_EQ(scene.messageColour(), 0xFFFF0000u);
  rig.StartLog();
  Ticks(3);
  EXPECT_GE(rig.Find("DrawTextShadow(\"ERROR\",320,340,3,1,0xFFFF0000,0xFF323232)"), 0);
  EXPECT_EQ(rig.Find("Complete !"), -1);
}

TEST_F(RankingTest, EveryRegistrationOutcomeBecomesOneOfFourMessages) {
  const std::pair<int32_t, std::pair<const char*, uint32_t>> cases[] = {
      {0, {"Complete !", 0xFF96C8FFu}},      {-1, {"ERROR", 0xFFFF0000u}},
      {-2, {"Out of Rank...", 0xFFFF00C8u}}, {-3, {"Bad Version", 0xFFFF0000u}},
      {7, {"ERROR", 0xFFFF0000u}},
  };
  for (const auto& [outcome, message] : cases) {
    SceneRig fresh;
    fresh.services.registerOnline = [outcome = outcome](const RankingEntry&, int32_t,
                                                        const ReplayStore&,
                                                        const std::atomic<bool>&) {
      return outcome;
    };
    RankingTable t;
    RankingScene s(fresh.services, t, fresh.store, "table-" + std::to_string(outcome));
    fresh.ctx.score = 700;
    ASSERT_EQ(s.Initialise(fresh.ctx), 0);
    fresh.input.keys.keys[key::Enter] = 0;
    s.Input(fresh.ctx);
    fresh.input.keys.keys[key::Enter] = 0x80;
    s.Input(fresh.ctx);
    fresh.ctx.mouseX = 420;
    fresh.ctx.mouseY = 410;
    fresh.input.Button(false);
    s.Input(fresh.ctx);
    fresh.input.Button(true);
    s.Input(fresh.ctx);  // No to the replay
    for (int i = 0; i < 31; ++i) s.Draw(fresh.ctx);
    ASSERT_EQ(s.step(), AskRegisterStep);
    fresh.ctx.mouseX = 220;
    fresh.input.Button(false);
    s.Input(fresh.ctx);
    fresh.input.Button(true);
    s.Input(fresh.ctx);
    for (int i = 0; i < 5000 && s.sending(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      s.Input(fresh.ctx);
    }
    EXPECT_EQ(s.messageText(), message.first) << outcome;
    EXPECT_EQ(s.messageColour(), message.second) << outcome;
  }
  // Without a network the stand-in answers -1.
  SceneRig plain;
  const std::atomic<bool> never{false};
  EXPECT_EQ(plain.services.registerOnline(RankingEntry{}, 0, plain.store, never), -1);
}

TEST_F(RankingTest, AScoreThatMissesTheTableShowsItAloneAndNeverWritesTheFile) {
  WriteTable(10, 1000);
  const std::string before = ReadAll("ranking.dat");
  FinishGame(1000);  // ties the lowest row: the older row keeps its place
  Tick();
  ASSERT_EQ(scene.step(), TableOnlyStep);
  EXPECT_EQ(ctx.score, 0);
  EXPECT_EQ(scene.slideCounter(), 899);
  EXPECT_FALSE(rig.window.visible);  // the table alone in full screen: no cursor
  Type(kA);
  Type(key::Enter);
  EXPECT_EQ(scene.step(), TableOnlyStep);
  Ticks(894);
  EXPECT_EQ(scene.step(), TableOnlyStep);
  Tick();
  EXPECT_EQ(scene.step(), LeaveStep);
  Ticks(40);
  EXPECT_EQ(ctx.scene, Title);
  EXPECT_EQ(ReadAll("ranking.dat"), before);
  EXPECT_FALSE(fs::exists("replay"));
  EXPECT_TRUE(registered.empty());
}

}  // namespace
}  // namespace quadrel::test
