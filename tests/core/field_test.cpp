// The block grid, level generation, item placement, descent, settling, items,
// option bars and dodging.
#include <cmath>
#include <set>

#include "GameFixture.hpp"

namespace quadrel::test {
namespace {

TEST(Grid, PositionsAndColoursFollowRowsAndColumns) {
  EXPECT_DOUBLE_EQ(BlockColumnX(0), -20.0);
  EXPECT_DOUBLE_EQ(BlockColumnX(1), -15.6);
  EXPECT_DOUBLE_EQ(BlockColumnX(9), 19.6);
  EXPECT_DOUBLE_EQ(RowHeight(0), 50.0);
  EXPECT_DOUBLE_EQ(RowHeight(9), 27.5);
  auto w = MakeWorld();
  const int expected[5][2] = {{1, 2}, {3, 4}, {5, 1}, {2, 3}, {4, 5}};
  for (int r = 0; r < 10; ++r) {
    EXPECT_EQ(w->g.colourTable[r * 10 + 0], expected[r % 5][0]) << "row " << r;
    EXPECT_EQ(w->g.colourTable[r * 10 + 9], expected[r % 5][1]) << "row " << r;
  }
  for (int L = 0; L < 5; ++L) EXPECT_EQ(BlocksToClear(L), 50 + 10 * L);
  EXPECT_EQ(DescentPeriod(4), 400);
}

TEST(Levels, FirstLevelNeverDescendsEvenWhenTheCountGrows) {
  auto w = MakeWorld();
  w->ToPlaying();
  w->Steps(1801 * 3);
  EXPECT_EQ(w->g.descendRows, 3);
  for (int k = 0; k < 50; ++k) EXPECT_EQ(w->g.blocks[k].y, RowHeight(k / 10));
}

TEST(Levels, SecondLevelDropsInSettlesOnItsRowsAndDescendsAfter1451Steps) {
  auto w = MakeWorld();
  w->g.level = 1;
  w->g.phase = Playing;
  StartLevel(w->g, w->ev);
  for (int k = 0; k < 60; ++k) {
    EXPECT_EQ(w->g.blocks[k].state, Settling);
    EXPECT_DOUBLE_EQ(w->g.blocks[k].y, 80.0 - (k / 10) * 2.5 + (k % 10));
  }
  EXPECT_EQ(w->g.blocks[60].alive, 0);
  for (int i = 0; i < 1450; ++i) GameUpdate(w->g, w->ev);
  EXPECT_EQ(w->g.descendRows, 0);
  for (int k = 0; k < 60; ++k) EXPECT_DOUBLE_EQ(w->g.blocks[k].y, RowHeight(k / 10)) << k;
  GameUpdate(w->g, w->ev);
  EXPECT_EQ(w->g.descendRows, 1);
  for (int i = 0; i < 300; ++i) GameUpdate(w->g, w->ev);
  for (int k = 0; k < 60; ++k) EXPECT_DOUBLE_EQ(w->g.blocks[k].y, RowHeight(k / 10 + 1)) << k;
}

TEST(Levels, DescentStopsAtEightRowsAndOnlyRunsWhilePlaying) {
  auto w = MakeWorld();
  w->g.level = 4;
  w->g.phase = Playing;
  StartLevel(w->g, w->ev);
  for (int i = 0; i < 401 * 12; ++i) Descend(w->g);
  EXPECT_EQ(w->g.descendRows, 8);
  w->g.phase = Revive;
  w->g.vars.reviveActive = 1;
  w->g.vars.reviveTimer = 1000;
  const int countdown = w->g.descendCountdown;
  GameUpdate(w->g, w->ev);
  EXPECT_EQ(w->g.descendCountdown, countdown);
}

std::set<int> ItemBlocks(const GameState& ctx, int kind) {
  std::set<int> out;
  for (int k = 0; k < kBlockCount; ++k)
    if (ctx.blocks[k].itemKind == kind) out.insert(k);
  return out;
}

TEST(Items, PlacementIsRecordedAndReplayedWithoutDrawingRandomNumbers) {
  auto rec = MakeWorld(Recording);
  rec->g.level = 2;
  rec->g.gameRandom.Seed(12345);
  StartLevel(rec->g, rec->ev);
  RecordEvents(rec->store, rec->ev);
  const auto options = ItemBlocks(rec->g, OptionItem);
  const auto extends = ItemBlocks(rec->g, ExtendItem);
  EXPECT_EQ(options.size(), 7u);
  EXPECT_EQ(extends.size(), 2u);
  for (int k : options) EXPECT_LT(k, 70);
  for (int i = 0; i < 7; ++i) EXPECT_TRUE(options.count(rec->store.ItemPlanByte(2, i)));
  EXPECT_TRUE(extends.count(rec->store.ItemPlanByte(2, 15)));
  EXPECT_TRUE(extends.count(rec->store.ItemPlanByte(2, 16)));

  // The same seed gives the same field.
  auto again = MakeWorld(Off);
  again->g.level = 2;
  again->g.gameRandom.Seed(12345);
  StartLevel(again->g, again->ev);
  EXPECT_EQ(ItemBlocks(again->g, OptionItem), options);

  // Playback takes the plan from the replay and leaves the generator alone.
  auto play = MakeWorld(Off);
  play->g.replayMode = Playback;
  play->store.ResetReplayStore();
  for (int i = 0; i < 20; ++i) play->store.SetItemPlanByte(2, i, rec->store.ItemPlanByte(2, i));
  play->g.level = 2;
  const uint32_t state = play->g.gameRandom.State();
  StartLevel(play->g, play->ev);
  EXPECT_EQ(play->g.gameRandom.State(), state);
  EXPECT_EQ(ItemBlocks(play->g, OptionItem), options);
  EXPECT_EQ(ItemBlocks(play->g, ExtendItem), extends);
}

TEST(Items, PlanIndicesOutsideTheFieldAreIgnored) {
  auto w = MakeWorld();
  w->g.replayMode = Playback;
  w->store.ResetReplayStore();
  w->store.SetItemPlanByte(0, 0, -3);
  w->store.SetItemPlanByte(0, 1, 120);
  w->store.SetItemPlanByte(0, 2, 50);  // level 1 has blocks 0..49 only
  w->store.SetItemPlanByte(0, 15, 7);
  StartLevel(w->g, w->ev);
  // Plan bytes 3, 4 (options) and 16 (extend) are zero: block 0 carries the
  // extend placed after the options.
  EXPECT_EQ(ItemBlocks(w->g, ExtendItem), std::set<int>({0, 7}));
  EXPECT_TRUE(ItemBlocks(w->g, OptionItem).empty());
}

TEST(Items, HitBlockDropsItsItemButNotIntoAFullSetOfSlots) {
  auto w = MakeWorld();
  w->g.phase = Playing;
  w->g.blocks[40].itemKind = OptionItem;
  w->Launch(-20.0, 37.9, 0.0, 0.5, 0.5);
  StepBalls(w->g, w->ev);
  ASSERT_EQ(w->g.items[0].active, 1);
  EXPECT_EQ(w->g.items[0].kind, OptionItem);
  EXPECT_EQ(w->g.items[0].x, w->g.blocks[40].x);
  EXPECT_EQ(w->g.items[0].y, w->g.blocks[40].y);
  for (int i = 0; i < 20; ++i) SpawnItem(w->g, 0.0, 30.0 + i, ExtendItem);
  int active = 0;
  for (const Item& item : w->g.items) active += item.active;
  EXPECT_EQ(active, kItemSlots);
  EXPECT_EQ(w->g.items[0].kind, OptionItem);
}

TEST(Items, FallingItemsLeaveTheFieldAndOnlyThePlayersBarCatches) {
  auto w = MakeWorld();
  w->g.bars[0].x = -15.0;
  w->g.bars[1].active = 1;  // an option bar right under the item does not catch
  w->g.bars[1].x = 10.0;
  w->g.bars[1].y = 3.9;
  SpawnItem(w->g, 10.0, 10.0, ExtendItem);
  int steps = 0;
  while (w->g.items[0].active && steps < 1000) {
    UpdateItems(w->g);
    ++steps;
  }
  EXPECT_EQ(w->g.ballStock, 3);
  EXPECT_EQ(steps, 56);  // 10.0 down to below -1.0 by 0.2
}

TEST(OptionBars, FirstOptionGrowsInThirtyStepsLastsNineHundredAndShrinksInTwenty) {
  auto w = MakeWorld();
  AddOptionBar(w->g);
  Bar& bar = w->g.bars[1];
  EXPECT_EQ(bar.active, 1);
  EXPECT_EQ(bar.barState, BarAppearing);
  EXPECT_EQ(bar.scale, 4.0);
  for (int i = 0; i < 29; ++i) UpdateOptionBars(w->g);
  EXPECT_EQ(bar.barState, BarAppearing);
  UpdateOptionBars(w->g);
  EXPECT_EQ(bar.barState, BarNormal);
  EXPECT_EQ(bar.scale, 1.0);
  for (int i = 30; i < 899; ++i) UpdateOptionBars(w->g);
  EXPECT_EQ(bar.barState, BarNormal);
  UpdateOptionBars(w->g);
  EXPECT_EQ(bar.barState, BarVanishing);  // and the first of 20 shrinking steps
  for (int i = 0; i < 18; ++i) UpdateOptionBars(w->g);
  EXPECT_EQ(bar.active, 1);
  UpdateOptionBars(w->g);
  EXPECT_EQ(bar.active, 0);
}

TEST(OptionBars, SecondOptionTakesTheFirstsRemainingLifeAndTheFirstIsRenewed) {
  auto w = MakeWorld();
  AddOptionBar(w->g);
  for (int i = 0; i < 100; ++i) UpdateOptionBars(w->g);
  AddOptionBar(w->g);
  EXPECT_EQ(w->g.bars[1].lifetime, 900);
  EXPECT_EQ(w->g.bars[2].lifetime, 800);
  EXPECT_EQ(w->g.bars[2].active, 1);
  EXPECT_EQ(w->g.bars[2].barState, BarAppearing);
  // A third catch finds no free bar but still hands the lifetimes down.
  AddOptionBar(w->g);
  EXPECT_EQ(w->g.bars[2].lifetime, 900);
}

TEST(OptionBars, TrailTheBarInFrontByNineStepsAndDeflectOnlyWhenNormal) {
  auto w = MakeWorld();
  w->ClearField();
  AddOptionBar(w->g);
  for (int i = 0; i < 40; ++i) {
    w->g.bars[0].x = i * 0.5;
    UpdateOptionBars(w->g);
  }
  EXPECT_DOUBLE_EQ(w->g.bars[1].x, 39 * 0.5 - 9 * 0.5);
  EXPECT_DOUBLE_EQ(w->g.bars[2].x, 39 * 0.5 - 18 * 0.5);

  Bar& bar = w->g.bars[1];
  bar.barState = BarAppearing;
  w->g.bars[0].x = -15.0;
  Ball& b = w->Launch(bar.x, bar.y + 1.6, 0.0, -0.5, 0.5);
  StepBalls(w->g, w->ev);
  EXPECT_LT(b.vy, 0.0);
  bar.barState = BarNormal;
  b.y = bar.y + 1.6;
  StepBalls(w->g, w->ev);
  EXPECT_GT(b.vy, 0.0);
  EXPECT_EQ(w->ev.bars, 1);
}

TEST(Dodging, LastLevelBlocksStartDodgingAtFortyLeftAndSidestepTheBall) {
  auto w = MakeWorld();
  w->g.level = 4;
  w->g.phase = Playing;
  StartLevel(w->g, w->ev);
  for (int k = 0; k < 90; ++k) w->g.blocks[k].y = RowHeight(k / 10);
  w->g.blocksCleared = 49;
  StepBlocks(w->g);
  EXPECT_EQ(w->g.blocks[0].state, Settling);
  w->g.blocksCleared = 50;
  w->g.blocks[1].state = Struck;
  StepBlocks(w->g);
  EXPECT_EQ(w->g.blocks[0].state, Dodging);
  EXPECT_EQ(w->g.blocks[1].state, Struck);

  // A ball straight below an even block pushes it to one side, an odd block to the other.
  Block& even = w->g.blocks[44];
  Block& odd = w->g.blocks[45];
  const double evenX = even.x, oddX = odd.x;
  w->Launch((even.x + odd.x) / 2.0, even.y - 5.0, 0.0, 0.5, 0.5);
  StepBlocks(w->g);
  EXPECT_NE(even.x, evenX);
  EXPECT_NE(odd.x, oddX);
  EXPECT_GT(std::fabs(even.x - evenX) + std::fabs(odd.x - oddX), 0.1);
  for (const Block& b : w->g.blocks) {
    if (!b.alive) continue;
    EXPECT_GE(b.x, -21.0);
    EXPECT_LE(b.x, 21.0);
    EXPECT_GE(b.y, 10.0);
    EXPECT_LE(b.y, 53.0);
  }
}

TEST(Dodging, BallOnTheBlockCentreLeavesTheBlockWhereItIs) {
  auto w = MakeWorld();
  Block& b = w->g.blocks[10];
  b.state = Dodging;
  w->Launch(b.x, b.y, 0.0, 0.5, 0.5);
  const double x = b.x, y = b.y;
  StepBlocks(w->g);
  EXPECT_EQ(b.x, x);
  EXPECT_EQ(b.y, y);
}

}  // namespace
}  // namespace quadrel::test
