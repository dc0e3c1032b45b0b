#include "game/Field.hpp"

#include <cmath>

#include "game/AppliedPlayback.hpp"
#include "replay/ReplayStore.hpp"

namespace quadrel {

constexpr int kMaxDescendRows = 8;

double BlockColumnX(int column) { return column * 4.4 - 22.0 + 2.0; }

double RowHeight(int row) { return 50.0 - row * 2.5; }

int BlocksToClear(int level) { return (level * 5 + 25) * 2; }

int DescentPeriod(int level) { return 1800 - 350 * level; }

void BuildColourTable(AppContext& ctx) {
  for (int k = 0; k < kBlockCount; ++k) ctx.colourTable[k] = (k / 5) % 5 + 1;
}

void SetupFirstLevel(AppContext& ctx) {
  for (Block& block : ctx.blocks) block = Block{};
  for (int r = 0; r < 10; ++r) {
    for (int c = 0; c < 10; ++c) {
      Block& block = ctx.blocks[r * 10 + c];
      block.x = BlockColumnX(c);
      block.y = RowHeight(r);
      block.z = 0.0;
      block.scale = 1.0;
      block.angle = 0.0;
      block.state = Resting;
      block.itemKind = NoItem;
      block.alive = r < 5 ? 1 : 0;
    }
  }
}

void StartLevel(GameScene& g) {
  AppContext& ctx = g.ctx;
  const int level = ctx.level;
  if (level > 0) {
    for (int r = 0; r <= level + 4; ++r) {
      for (int c = 0; c < 10; ++c) {
        Block& block = ctx.blocks[r * 10 + c];
        block.x = BlockColumnX(c);
        block.z = 0.0;
        block.scale = 1.0;
        block.fallVelocity = 0.0;
        block.alive = 1;
        block.state = Settling;
        block.y = (80.0 - r * 2.5) + c;
        block.angle = 0.0;
        block.itemKind = NoItem;
      }
    }
  }
  PlaceItems(g);
  ctx.descendRows = 0;
  ctx.descendCountdown = DescentPeriod(level);
}

void PlaceItems(GameScene& g) {
  AppContext& ctx = g.ctx;
  const int level = ctx.level;
  const int n = (level + 5) * 10;
  if (ctx.replayMode == Playback) {
    // The plan comes from a file: an index outside the field is ignored.
    int32_t placed[kBlockCount] = {};  // NoItem
    auto mark = [&](int index, int32_t kind) {
      const int k = g.replay.ItemPlanByte(level, index);
      if (k < 0 || k >= n) return;
      ctx.blocks[k].itemKind = kind;
      placed[k] = kind;
    };
    for (int i = 0; i <= level + 4; ++i) mark(i, OptionItem);
    mark(15, ExtendItem);
    mark(16, ExtendItem);
    if (g.applied) g.applied->Items(level, placed, n);
    return;
  }
  auto draw = [&](int planIndex, int32_t kind) {
    int k;
    do {
      k = g.rng.Next() % n;
    } while (ctx.blocks[k].itemKind != NoItem);
    ctx.blocks[k].itemKind = kind;
    if (ctx.replayMode == Recording) g.replay.SetItemPlanByte(level, planIndex, k);
  };
  for (int i = 0; i <= level + 4; ++i) draw(i, OptionItem);
  for (int i = 0; i < 2; ++i) draw(15 + i, ExtendItem);
}

void Descend(AppContext& ctx) {
  ctx.descendCountdown -= 1;
  if (ctx.descendCountdown < 0) {
    ctx.descendCountdown = DescentPeriod(ctx.level);
    if (ctx.descendRows < kMaxDescendRows) ctx.descendRows += 1;
  }
}

}  // namespace quadrel
