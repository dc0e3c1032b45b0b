// The block grid, its colours, the generated levels, item placement, the
// field's descent and the settling motion of blocks.
#pragma once

#include "game/GameScene.hpp"

namespace quadrel {

double BlockColumnX(int column);
double RowHeight(int row);
int BlocksToClear(int level);     // 50, 60, 70, 80, 90
int DescentPeriod(int level);     // 1800 - 350 x level
void BuildColourTable(AppContext& ctx);
// The resting first level (part of the game reset).
void SetupFirstLevel(AppContext& ctx);
// When the level banner has gone: blocks drop in, items are placed, descent restarts.
void StartLevel(GameScene& g);
void PlaceItems(GameScene& g);
// One step of descent while playing.
void Descend(AppContext& ctx);
void SettleBlock(AppContext& ctx, Block& block, int k);

}  // namespace quadrel
