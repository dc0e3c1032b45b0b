// The replay viewer's core: one replay re-simulated step by step exactly as
// the game's playback runs it, and drawn by the game's own drawing (GameView)
// on any Graphics. The page drives it: steps, seeks and draws.
#pragma once

#include <cstdint>
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "game/GameHud.hpp"
#include "game/GameState.hpp"
#include "game/StepEvents.hpp"
#include "platform/render/Graphics.hpp"
#include "replay/ReplayStore.hpp"
#include "scenes/GameView.hpp"

namespace quadrel {

// What a step asked to be heard (the game's sound calls, counted).
struct ViewerSounds {
  int32_t hits = 0;
  int32_t bars = 0;
  bool music = false;
};

// The one place the viewer runs the simulation: a playback step (the recorded
// input drives the bar) with the camera keys given; the sounds it reports are
// collected for the page.
StepEvents ViewerStep(GameState& g, const KeyboardState& keys, bool countUpDone, ViewerSounds& sounds);

class Viewer {
 public:
  Viewer();
  ~Viewer();

  // Loads the drawing resources (models, fonts, background); negative when one
  // is missing.
  int32_t LoadView(render::Graphics& g);
  // Starts the replay from its first step; false with the reason when the
  // bytes are no replay.
  bool Open(const uint8_t* bytes, size_t size, std::string* error);
  // Runs up to n steps with the camera keys down; the steps actually run (none
  // once the playback has faded out).
  int32_t Advance(int32_t n, const KeyboardState& keys);
  // Restarts and runs without drawing until step `step` (the camera stays).
  void Seek(int64_t step);
  void Draw(render::Graphics& g);

  // A game that never leaves (an all-clear left running) ends here.
  void SetStepLimit(int64_t steps) { stepLimit_ = steps; }
  bool Ended() const;
  // The steps from the start to the end (run once, then back where it was).
  int64_t Length();
  int64_t Steps() const { return steps_; }
  // The score the HUD shows (the all-clear's bonuses as counted in so far).
  int32_t Score() const;
  // The drawn frames per second the HUD's meter shows, as the game's loop counts them.
  void SetFps(double fps);
  // The sounds since the last call.
  ViewerSounds TakeSounds();

 private:
  struct Run;
  void Restart();

  std::vector<uint8_t> bytes_;
  std::unique_ptr<Run> run_;
  GameView view_;
  HudLayout hud_;
  HudState hudState_;
  Random pictureRandom_;
  HudLayout overlay_;
  double fps_ = 0;
  int64_t steps_ = 0;
  int64_t stepLimit_ = INT64_MAX;
  ViewerSounds sounds_;
};

}  // namespace quadrel
