// The game's screen texts: banners' slides and fades, the juggling shake,
// the all-clear count-up on the millisecond clock, notices and blink rules.
#include <cstring>
#include <string>

#include "GameFixture.hpp"
#include "game/GameHud.hpp"

namespace quadrel::test {
namespace {

const HudText* Find(const HudLayout& l, const std::string& text) {
  for (int i = 0; i < l.count; ++i)
    if (text == l.texts[i].text) return &l.texts[i];
  return nullptr;
}

HudLayout Layout(World& w, uint32_t now = 0) {
  HudLayout l;
  LayoutHud(w.g, w.hud, w.pictureRandom, now, l);
  return l;
}

TEST(Hud, ShowsScoreLevelJugglingAndBallsLeft) {
  auto w = MakeWorld();
  w->g.score = 1234;
  w->g.level = 2;
  w->g.phase = Playing;
  const HudLayout l = Layout(*w);
  ASSERT_NE(Find(l, "00001234"), nullptr);
  EXPECT_EQ(Find(l, "00001234")->colour, 0xFF0096FFu);
  EXPECT_TRUE(Find(l, "00001234")->shadow);
  ASSERT_NE(Find(l, "3"), nullptr);
  EXPECT_EQ(Find(l, "3")->x, 580);
  ASSERT_NE(Find(l, "x 0"), nullptr);  // no ball: the count stands still
  EXPECT_EQ(Find(l, "x 0")->x, 580);
  EXPECT_EQ(Find(l, "x 0")->y, 80);
  EXPECT_NE(Find(l, " 3"), nullptr);
  EXPECT_EQ(l.count, 7);
}

TEST(Hud, JugglingCountShakesWithinHalfItsValue) {
  for (int r = 0; r < 100; ++r) {
    EXPECT_GE(JugglingShake(9, r), -2);
    EXPECT_LE(JugglingShake(9, r), 2);
    EXPECT_EQ(JugglingShake(0, r), 0);
  }
  EXPECT_EQ(JugglingShake(9, 0), -2);
  EXPECT_EQ(JugglingShake(9, 9), 2);
  // Two values of the picture's stream per frame, whatever the count; the
  // game's stream is left alone.
  auto w = MakeWorld();
  Random copy(w->pictureRandom.State());
  const uint32_t game = w->g.gameRandom.State();
  Layout(*w);
  copy.Next();
  copy.Next();
  EXPECT_EQ(w->pictureRandom.State(), copy.State());
  EXPECT_EQ(w->g.gameRandom.State(), game);
}

TEST(Banners, LevelBannerSlidesInFromTheRightAndOutToTheLeft) {
  auto w = MakeWorld();
  w->g.level = 1;
  w->g.vars.levelClearBonus = 2000000;
  struct Case {
    int a, direction, x;
  } cases[] = {{0, 0, 470}, {128, 0, 357}, {255, 0, 320}, {255, 1, 320}, {128, 1, 283}, {0, 1, 170}};
  for (const Case& c : cases) {
    w->g.vars.bannerAlpha = c.a;
    w->g.vars.bannerDirection = c.direction;
    const HudLayout l = Layout(*w);
    const HudText* title = Find(l, "L E V E L  2");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->x, c.x) << c.a << "/" << c.direction;
    EXPECT_EQ(title->y, 220);
    EXPECT_EQ(title->colour, (static_cast<uint32_t>(c.a) << 24) | 0x0096FF64u);
    EXPECT_EQ(title->shadowColour, (static_cast<uint32_t>(c.a) << 24) | 0x00323232u);
    const HudText* bonus = Find(l, "JUGGLING BONUS 2000000");
    ASSERT_NE(bonus, nullptr);
    EXPECT_EQ(bonus->x, c.x);
  }
  w->g.level = 0;
  EXPECT_EQ(Find(Layout(*w), "JUGGLING BONUS 2000000"), nullptr);
}

TEST(Banners, GameOverDropsFiftyPixelsWhileFadingIn) {
  auto w = MakeWorld();
  w->g.phase = GameOver;
  w->g.vars.bannerAlpha = 0;
  HudLayout l = Layout(*w);
  EXPECT_EQ(Find(l, "G A M E   O V E R")->y, 170);
  EXPECT_EQ(Find(l, "[ Click to move ]")->y, 210);
  w->g.vars.bannerAlpha = 255;
  l = Layout(*w);
  EXPECT_EQ(Find(l, "G A M E   O V E R")->y, 220);
  EXPECT_EQ(Find(l, "[ Click to move ]")->colour, 0xFFFFFF00u);
  EXPECT_EQ(LevelBannerOffset(0), 150);
  EXPECT_EQ(AllClearHeadingOffset(0), 100);
}

TEST(Banners, OopsDuringReviveAndAPulsingReplayNotice) {
  auto w = MakeWorld();
  w->g.phase = Revive;
  EXPECT_NE(Find(Layout(*w), "O o p s !"), nullptr);
  w->g.replayMode = Playback;
  w->g.phase = Playing;
  uint32_t first = Find(Layout(*w), "Replay Mode")->colour >> 24;
  EXPECT_EQ(first, 255u);
  for (int i = 1; i < 64; ++i) Layout(*w);
  EXPECT_EQ(Find(Layout(*w), "Replay Mode")->colour >> 24, 1u);  // replayBlink 256
  for (int i = 65; i < 128; ++i) Layout(*w);
  EXPECT_EQ(w->hud.replayBlink, 0);  // a period of 128 drawn frames
}

TEST(AllClear, BonusesCountUpInPortionsAfterTheHeadingIsIn) {
  auto w = MakeWorld();
  w->g.phase = AllClear;
  w->g.score = 1000;
  w->g.vars.levelClearBonus = 5000000;
  w->g.vars.ballBonus = 3000000;
  auto shown = [&] { return WrappingAdd(w->g.score, w->hud.moved); };
  uint32_t now = 100000;
  int frames = 0;
  // The heading fades in by 2 per frame: 128 frames to 255.
  while (!(w->hud.stage & 2)) {
    Layout(*w, now);
    now += 16;
    ++frames;
  }
  EXPECT_EQ(frames, 128);
  const uint32_t headingIn = now - 16;
  EXPECT_EQ(w->hud.stageStart, headingIn);
  // Nothing moves before 1200 ms have passed.
  while (now <= headingIn + 1200) {
    Layout(*w, now);
    now += 16;
  }
  EXPECT_EQ(shown(), 1000);
  int portions = 0;
  int32_t last = 0;
  while (w->hud.levelBonusLeft > 0) {
    const int32_t before = shown();
    Layout(*w, now);
    last = shown() - before;
    ++portions;
    now += 16;
  }
  EXPECT_EQ(portions, 405);
  EXPECT_EQ(last, 12216);
  EXPECT_EQ(shown(), 1000 + 5000000);
  // Then the ball bonus, and finally the click line; the stage ends at 255.
  for (int i = 0; i < 2000 && w->hud.stage < 255; ++i) {
    Layout(*w, now);
    now += 16;
  }
  EXPECT_EQ(w->hud.stage, 255);
  EXPECT_TRUE(w->hud.CountUpDone());
  const HudLayout l = Layout(*w, now);
  EXPECT_NE(Find(l, "08001000"), nullptr);
  EXPECT_NE(Find(l, "CONGRATULATIONS !"), nullptr);
  EXPECT_NE(Find(l, "BALL BONUS"), nullptr);
  EXPECT_NE(Find(l, "[ Click to move ]"), nullptr);
  // Only the picture counted: the rules' score is the one the game ends with.
  EXPECT_EQ(w->g.score, 1000);
  EXPECT_EQ(FinalScore(w->g), 1000 + 8000000);
}

TEST(Overlay, FpsAlwaysAndTheGapNoticeOnlyAfterADivergence) {
  GameState game{};
  HudLayout l;
  LayoutOverlay(game, 59.5, l);
  ASSERT_NE(Find(l, "FPS:59.50"), nullptr);
  EXPECT_EQ(Find(l, "Replay Gapped!"), nullptr);
  game.gapMarker = 99.0;
  HudLayout g;
  LayoutOverlay(game, 59.5, g);
  ASSERT_NE(Find(g, "Replay Gapped!"), nullptr);
  EXPECT_EQ(Find(g, "Replay Gapped!")->colour, 0xFFFF0000u);
}

TEST(DrawRules, OptionBarsBlinkInTheirLastStepsAndFarBlocksBlend) {
  Bar bar{};
  bar.lifetime = 181;
  EXPECT_TRUE(BarShown(bar));
  bar.lifetime = 179;
  EXPECT_FALSE(BarShown(bar));
  bar.lifetime = 178;
  EXPECT_TRUE(BarShown(bar));
  bar.lifetime = -3;  // vanishing bars count below zero
  EXPECT_FALSE(BarShown(bar));
  Block b{};
  b.z = 50.0;
  EXPECT_FALSE(BlockBlended(b));
  b.z = 52.0;
  EXPECT_TRUE(BlockBlended(b));
  Item item{};
  item.scale = 0.5;
  EXPECT_DOUBLE_EQ(ItemWidthScale(item), 3.0);
}

}  // namespace
}  // namespace quadrel::test
