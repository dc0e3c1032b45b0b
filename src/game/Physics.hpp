// Per-step motion of balls, bars, items and blocks, and their collisions.
#pragma once

#include "game/GameScene.hpp"
#include "game/Turns.hpp"

namespace quadrel {


// Returns 1 on a hit, and then turns the ball's velocity away from the box.
int CollideBallWithBox(double px, double py, double top, double bottom, double left, double right,
                       Ball& ball);
void NormalizeVector2(double& x, double& y);
void RotateVector2(double& x, double& y, double degrees);

// Launches from the first unlaunched slot; false when every ball is out.
bool LaunchBall(GameScene& g);
void StepBalls(GameScene& g);
void SpawnItem(AppContext& ctx, double x, double y, int32_t kind);
void UpdateOptionBars(AppContext& ctx);
void UpdateItems(AppContext& ctx);
void AddOptionBar(AppContext& ctx);
void StepBlocks(GameScene& g);

}  // namespace quadrel
