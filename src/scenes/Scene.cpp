#include "scenes/Scene.hpp"

namespace quadrel {

void RunSceneTick(Scene& scene, AppContext& ctx, const MillisecondClock& clock) {
  if (scene.Initialise(ctx) < 0) return;
  FixedStepClock& c = scene.Clock();
  if (!scene.InputInsideStep()) scene.Input(ctx);
  if (c.stepsThisSecond * c.stepLength + ctx.secondBase <= ctx.now) {
    if (scene.InputInsideStep()) scene.StepInput(ctx);
    if (scene.ChecksSceneAfterInput() && ctx.scene != scene.Id()) return;
    scene.Update(ctx);
    c.stepsThisSecond += 1;
    if (scene.InputInsideStep()) ctx.frameNumber += 1;
    if (c.stepsThisSecond * c.stepLength + ctx.secondBase > ctx.now) {
      scene.Draw(ctx);
      ctx.drawnThisSecond += 1;
    }
  }
  const uint32_t t = clock();
  const int32_t elapsed = static_cast<int32_t>(t - static_cast<uint32_t>(ctx.secondBase));
  ctx.now = static_cast<int32_t>(t);
  if (elapsed >= 1000) {
    ctx.fps = ctx.drawnThisSecond / (elapsed / 1000.0);
    ctx.secondBase = static_cast<int32_t>(t);
    ctx.drawnThisSecond = 0;
    c.stepsThisSecond = 0;
  }
}

}  // namespace quadrel
