// The block grid, its colours, the generated levels, item placement, the
// field's descent and the settling motion of blocks.
#pragma once

#include <cmath>

#include "game/GameState.hpp"
#include "game/StepEvents.hpp"

namespace quadrel {

double BlockColumnX(int column);
double RowHeight(int row);
int BlocksToClear(int level);     // 50, 60, 70, 80, 90
int DescentPeriod(int level);     // 1800 - 350 x level
void BuildColourTable(GameState& g);
// The resting first level (part of the game reset).
void SetupFirstLevel(GameState& g);
// When the level banner has gone: blocks drop in, items are placed, descent restarts.
void StartLevel(GameState& g, StepEvents& ev);
void PlaceItems(GameState& g, StepEvents& ev);
// One step of descent while playing.
void Descend(GameState& g);

// One step of a settling block: it falls with growing speed toward its row
// and bounces back at half speed until it rests there.
inline void SettleBlock(const GameState& g, Block& block, int k) {
  const double target = 50.0 - (k / 10 + g.descendRows) * 2.5;
  block.y -= block.fallVelocity * std::fabs(block.fallVelocity);
  block.fallVelocity += 0.01;
  if (block.y < target) {
    block.y = target;
    block.fallVelocity = block.fallVelocity / -2.0;
    if (std::fabs(block.fallVelocity) < 0.2) block.fallVelocity = 0.0;
  }
}

}  // namespace quadrel
