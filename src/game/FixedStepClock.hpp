// The fixed 60 Hz step every scene runs on, the fade hand-over between scenes
// and the once-a-second FPS meter.
#pragma once

#include <cstdint>
#include <functional>

#include "game/AppContext.hpp"

namespace quadrel {

constexpr int32_t kFadingIn = -1;
constexpr int32_t kFadeIdle = -2;

// Each scene's own clock and fade state.
struct FixedStepClock {
  double stepLength = 1000.0 / 60.0;  // milliseconds per update step
  int32_t stepsThisSecond = 0;
  int32_t nextScene = kFadingIn;  // -1 fading in, -2 idle, 0..3 fading out toward that scene
  int32_t fadeAlpha = 0;          // opacity of the full-screen fade quad
};

// The scene entry: fade in from almost black.
void BeginFadeIn(FixedStepClock& clock);
// One update step of the fade: in by 8 until idle, or out by 8 up to 255.
void AdvanceFade(FixedStepClock& clock);
// A draw that finds the fade complete hands the scene over.
inline bool FadeOutComplete(const FixedStepClock& clock) {
  return clock.nextScene >= 0 && clock.fadeAlpha == 255;
}

// What a scene gives the tick.
class Scene {
 public:
  virtual ~Scene() = default;
  virtual SceneId Id() const = 0;
  virtual FixedStepClock& Clock() = 0;
  // First-tick work; a negative result makes the tick return at once.
  virtual int32_t Initialise(AppContext& ctx) = 0;
  // Input on every tick (every scene but the game).
  virtual void Input(AppContext&) {}
  // Input inside the step (the game: one sample per step).
  virtual void StepInput(AppContext&) {}
  virtual void Update(AppContext& ctx) = 0;
  virtual void Draw(AppContext& ctx) = 0;
  // The game reads input inside the step and counts frames.
  virtual bool InputInsideStep() const { return false; }
  // Game and ranking stop before the update when the input left the scene.
  virtual bool ChecksSceneAfterInput() const { return false; }
};

// Millisecond clock (32-bit, wrapping).
using MillisecondClock = std::function<uint32_t()>;

// One pass of the loop for the current scene: at most one update step, a draw
// only when the clock has caught up, the FPS meter once a second.
void RunSceneTick(Scene& scene, AppContext& ctx, const MillisecondClock& clock);

}  // namespace quadrel
