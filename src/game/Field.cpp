#include "game/Field.hpp"

#include <cmath>

#include "replay/ReplayStore.hpp"

namespace quadrel {

constexpr int kMaxDescendRows = 8;

double BlockColumnX(int column) { return column * 4.4 - 22.0 + 2.0; }

double RowHeight(int row) { return 50.0 - row * 2.5; }

int BlocksToClear(int level) { return (level * 5 + 25) * 2; }

int DescentPeriod(int level) { return 1800 - 350 * level; }

void BuildColourTable(GameState& g) {
  for (int k = 0; k < kBlockCount; ++k) g.colourTable[k] = (k / 5) % 5 + 1;
}

void SetupFirstLevel(GameState& g) {
  for (Block& block : g.blocks) block = Block{};
  for (int r = 0; r < 10; ++r) {
    for (int c = 0; c < 10; ++c) {
      Block& block = g.blocks[r * 10 + c];
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

void StartLevel(GameState& g, StepEvents& ev) {
  const int level = g.level;
  if (level > 0) {
    for (int r = 0; r <= level + 4; ++r) {
      for (int c = 0; c < 10; ++c) {
        Block& block = g.blocks[r * 10 + c];
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
  PlaceItems(g, ev);
  g.descendRows = 0;
  g.descendCountdown = DescentPeriod(level);
}

void PlaceItems(GameState& g, StepEvents& ev) {
  const int level = g.level;
  const int n = (level + 5) * 10;
  if (g.replayMode == Playback) {
    // The plan comes from a file: an index outside the field is ignored.
    ev.placedItems = true;
    ev.planLevel = level;
    ev.placedCount = n;
    int32_t* placed = ev.placed;  // NoItem where the plan puts none
    auto mark = [&](int index, int32_t kind) {
      const int k = g.replay->ItemPlanByte(level, index);
      if (k < 0 || k >= n) return;
      g.blocks[k].itemKind = kind;
      placed[k] = kind;
    };
    for (int i = 0; i <= level + 4; ++i) mark(i, OptionItem);
    mark(15, ExtendItem);
    mark(16, ExtendItem);
    return;
  }
  const bool recording = g.replayMode == Recording;
  if (recording) {
    ev.recordPlan = true;
    ev.planLevel = level;
    for (int32_t& slot : ev.plan) slot = -1;
  }
  auto draw = [&](int planIndex, int32_t kind) {
    int k;
    do {
      k = g.gameRandom.Next() % n;
    } while (g.blocks[k].itemKind != NoItem);
    g.blocks[k].itemKind = kind;
    if (recording) ev.plan[planIndex] = k;
  };
  for (int i = 0; i <= level + 4; ++i) draw(i, OptionItem);
  for (int i = 0; i < 2; ++i) draw(15 + i, ExtendItem);
}

void Descend(GameState& g) {
  g.descendCountdown -= 1;
  if (g.descendCountdown < 0) {
    g.descendCountdown = DescentPeriod(g.level);
    if (g.descendRows < kMaxDescendRows) g.descendRows += 1;
  }
}

}  // namespace quadrel
