// The game's state changes: reset, scene entry (the state part), one step.
#pragma once

#include <string>

#include "game/GameScene.hpp"

namespace quadrel {

// Reset of the game data; the first call in a scene's life zero-fills the AppContext.
void GameReset(GameScene& g);
// The state part of entering the game scene: phase, score, input edges,
// camera, replay store and playback start, fade-in. Resources, cursor and
// music are the caller's. A playback reads playbackPath (shows no messages);
// without one it has nothing to play and ends at once.
void EnterGameState(GameScene& g, const std::string* playbackPath = nullptr);
// The update part of a step (after GameInput).
void GameUpdate(GameScene& g);
// One whole simulation step, as the game scene, the replay check and the
// tests all run it: the input (live, or the recorded one in a playback), the
// update, the frame count. Returns true when the input asked to leave the
// game scene.
bool SimulationStep(GameScene& g, const MouseState& mouse, const KeyboardState& keyboard);

// score += points, wrapping as a 32-bit two's complement number.
inline int32_t WrappingAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

}  // namespace quadrel
