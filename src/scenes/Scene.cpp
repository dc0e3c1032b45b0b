#include "scenes/Scene.hpp"

#include <algorithm>

namespace quadrel {

void RunSceneTick(Scene& scene, AppContext& ctx, const MillisecondClock& clock) {
  if (scene.Initialise(ctx) < 0) return;
  FixedStepClock& c = scene.Clock();
  scene.Input(ctx);
  if (c.stepsThisSecond * c.stepLength + ctx.secondBase <= ctx.now) {
    scene.StepInput(ctx);
    if (ctx.scene != SceneNumber(scene.Id())) return;
    const StepKind kind = scene.StepAfterInput();
    if (kind != StepKind::Run) {
      // A held step owes nothing: the count keeps up with the clock, so the
      // scene does not race through the missed steps when it resumes.
      const int32_t since = static_cast<int32_t>(static_cast<uint32_t>(ctx.now) -
                                                 static_cast<uint32_t>(ctx.secondBase));
      const int32_t behind = static_cast<int32_t>(since / c.stepLength);
      c.stepsThisSecond = std::max(c.stepsThisSecond + 1, behind + 1);
      // A paused redraw is no frame of the game: the meter leaves it out.
      scene.heldThisSecond_ = true;
      if (kind == StepKind::HeldDrawn) scene.Draw(ctx);
    } else {
      scene.Update(ctx);
      c.stepsThisSecond += 1;
      if (c.stepsThisSecond * c.stepLength + ctx.secondBase > ctx.now) {
        scene.Draw(ctx);
        ctx.drawnThisSecond += 1;
      }
    }
  }
  const uint32_t t = clock();
  const int32_t elapsed = static_cast<int32_t>(t - static_cast<uint32_t>(ctx.secondBase));
  ctx.now = static_cast<int32_t>(t);
  if (elapsed >= 1000) {
    if (!scene.heldThisSecond_) ctx.fps = ctx.drawnThisSecond / (elapsed / 1000.0);
    scene.heldThisSecond_ = false;
    ctx.secondBase = static_cast<int32_t>(t);
    ctx.drawnThisSecond = 0;
    c.stepsThisSecond = 0;
  }
}

}  // namespace quadrel
