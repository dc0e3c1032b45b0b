// Per-step motion of balls, bars, items and blocks, and their collisions.
#pragma once

#include "game/GameState.hpp"
#include "game/StepEvents.hpp"
#include "game/Turns.hpp"

namespace quadrel {

// Returns 1 on a hit, and then turns the ball's velocity away from the box.
int CollideBallWithBox(double px, double py, double top, double bottom, double left, double right,
                       Ball& ball);
void NormalizeVector2(double& x, double& y);
void RotateVector2(double& x, double& y, double degrees);

// Launches from the first unlaunched slot; false when every ball is out.
bool LaunchBall(GameState& g);
void StepBalls(GameState& g, StepEvents& ev);
void SpawnItem(GameState& g, double x, double y, int32_t kind);
void UpdateOptionBars(GameState& g);
void UpdateItems(GameState& g);
void AddOptionBar(GameState& g);
void StepBlocks(GameState& g);

}  // namespace quadrel
