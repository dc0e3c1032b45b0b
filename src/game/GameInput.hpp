// The game's per-step input: mouse and keys, playback substitution, bar,
// launch, recording, leaving click, restart, camera and Alt+Enter.
#pragma once

#include "game/GameScene.hpp"

namespace quadrel {

// Reads the devices through g.input (all zero when there is none).
void GameInput(GameScene& g);
// The same with the records already read.
void GameInputWith(GameScene& g, const MouseState& mouse, const KeyboardState& keyboard);

}  // namespace quadrel
