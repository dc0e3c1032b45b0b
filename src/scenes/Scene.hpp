// What a scene gives the loop, and the loop's one tick of a scene: at most one
// fixed update step, a draw only when the clock has caught up, the FPS meter.
#pragma once

#include <cstdint>

#include "game/AppContext.hpp"
#include "game/FixedStepClock.hpp"
#include "platform/render/Clock.hpp"

namespace quadrel {

// The scenes by number: AppContext.scene and a fade-out's nextScene hold one.
enum class SceneId : int32_t { Title = 0, Game = 1, Ranking = 2, ReplaySelect = 3 };
constexpr int32_t kSceneCount = 4;
constexpr int32_t SceneNumber(SceneId id) { return static_cast<int32_t>(id); }

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
  // The game samples its input inside the step (its update counts the frames).
  virtual bool InputInsideStep() const { return false; }
  // Game and ranking stop before the update when the input left the scene.
  virtual bool ChecksSceneAfterInput() const { return false; }
  // A paused scene: the loop may sleep between its ticks.
  virtual bool Paused() const { return false; }
  // This step only read the input (the scene is paused or just resumed): no
  // update, no frame counted, and a draw only when HeldDrawDue says so.
  virtual bool HoldsStep() const { return false; }
  virtual bool HeldDrawDue() { return true; }

 private:
  friend void RunSceneTick(Scene&, AppContext&, const MillisecondClock&);
  // A second with held steps keeps the last FPS reading.
  bool heldThisSecond_ = false;
};

// One pass of the loop for the current scene: at most one update step, a draw
// only when the clock has caught up, the FPS meter once a second.
void RunSceneTick(Scene& scene, AppContext& ctx, const MillisecondClock& clock);

}  // namespace quadrel
