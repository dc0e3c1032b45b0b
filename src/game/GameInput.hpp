// The game's per-step input: mouse and keys, playback substitution, bar,
// launch, recording, leaving click, restart, camera and Alt+Enter.
#pragma once

#include "game/GameScene.hpp"

namespace quadrel {

// One step's input from the records the scene read.
void GameInputWith(GameScene& g, const MouseState& mouse, const KeyboardState& keyboard);

}  // namespace quadrel
