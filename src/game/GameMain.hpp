// The game's state changes: reset, entry (the state part), one step.
#pragma once

#include <string>

#include "game/AppContext.hpp"
#include "game/GameState.hpp"
#include "game/StepEvents.hpp"

namespace quadrel {

// Reset of the game data; the first call zero-fills the state, keeping its
// random stream and its replay.
void GameReset(GameState& g);
// The state part of entering the game: phase, score, input edges, camera,
// replay store and playback start, fade-in. Resources, cursor and music are
// the scene's. A playback reads playbackPath (shows no messages); without one
// it has nothing to play and ends at once.
void EnterGameState(GameState& g, const std::string* playbackPath = nullptr);
// One whole simulation step, as the game scene, the replay check and the
// tests all run it: the input (live, or the recorded one in a playback), the
// update, the frame count. Reaches no device; what happened comes back.
StepEvents Step(GameState& g, const StepInput& in);
// The update part of a step (after the input).
void GameUpdate(GameState& g, StepEvents& ev);
// What a recording step asks to keep: its input frame and a level's item plan.
void RecordEvents(ReplayStore& store, const StepEvents& ev);
// The score the game ends with: an all-clear adds both bonuses.
int32_t FinalScore(const GameState& g);
// After a leaving click: the result for the ranking and, for a recording,
// the replay's name and header with the finishing time.
void HandOverResult(const GameState& g, AppContext& ctx);

// score += points, wrapping as a 32-bit two's complement number.
inline int32_t WrappingAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

}  // namespace quadrel
