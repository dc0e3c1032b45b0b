#include "scenes/FramedScene.hpp"

namespace quadrel {

using namespace render;

void FramedScene::Draw(AppContext& ctx) {
  Graphics& g = graphics_;
  const int32_t r = g.BeginFrame();
  if (r < 0) {
    if (r == kDeviceNotReset) ChangeMode(ctx);
    return;
  }
  g.DrawBackground();
  PlaceCamera(g.GetCamera());
  g.ApplyCamera();
  DrawContents(ctx);
  FixedStepClock& c = Clock();
  if (c.nextScene != kFadeIdle) {
    g.FadeQuad(static_cast<uint32_t>(c.fadeAlpha) << 24);
    if (FadeOutComplete(c)) {
      const SceneId next = NextScene(c.nextScene);
      Release(ctx);
      ctx.scene = SceneNumber(next);
    }
  }
  DrawOverlay(ctx);
  g.EndFrame();
}

}  // namespace quadrel
