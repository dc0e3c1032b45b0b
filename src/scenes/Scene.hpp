// What a scene gives the loop, and the loop's one tick of a scene.
//
// A tick, in order:
//   1. Initialise: entry work (a prepared scene returns at once); a negative
//      result ends the tick.
//   2. Input: the menus read the devices on every tick.
//   3. When a step is due (the fixed clock's 60 a second), at most one:
//      StepInput (the game samples its input once per step, as its update
//      counts the frames); if the input left the scene (AppContext.scene
//      names another) the tick ends here. Then StepAfterInput decides:
//      Run: Update, and Draw when the clock has caught up (a counted frame);
//      Held / HeldDrawn: only the input was read; no update, no frame
//      counted, the step owes nothing; HeldDrawn redraws the frozen picture.
//   4. Once a second the FPS meter: frames drawn that second, unless a step
//      of it was held (paused redraws are no frames of the game).
// Between ticks the loop sleeps while Paused() says so (see app/Shell.hpp).
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

// What a due step does after its input.
enum class StepKind : uint8_t { Run, Held, HeldDrawn };

class Scene {
 public:
  virtual ~Scene() = default;
  virtual SceneId Id() const = 0;
  virtual FixedStepClock& Clock() = 0;
  virtual int32_t Initialise(AppContext& ctx) = 0;
  virtual void Input(AppContext&) {}
  virtual void StepInput(AppContext&) {}
  // Asked once per due step, after its input (a paused scene holds it).
  virtual StepKind StepAfterInput() { return StepKind::Run; }
  virtual void Update(AppContext& ctx) = 0;
  virtual void Draw(AppContext& ctx) = 0;
  // A paused scene: the loop may sleep between its ticks.
  virtual bool Paused() const { return false; }

 private:
  friend void RunSceneTick(Scene&, AppContext&, const MillisecondClock&);
  // A second with held steps keeps the last FPS reading.
  bool heldThisSecond_ = false;
};

// One tick of the scene, as described above.
void RunSceneTick(Scene& scene, AppContext& ctx, const MillisecondClock& clock);

}  // namespace quadrel
