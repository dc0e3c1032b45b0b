// The game's per-step input: mouse and keys, playback substitution, bar,
// launch, recording, leaving click and camera.
#pragma once

#include "game/GameState.hpp"
#include "game/StepEvents.hpp"

namespace quadrel {

// One step's input; nothing is read while the game fades out.
void GameInput(GameState& g, const StepInput& in, StepEvents& ev);

}  // namespace quadrel
