// The frame every scene draws, written once: begin the frame (a device that
// must be reset switches the mode and draws nothing), background, camera, the
// scene's own contents, the fade quad with the hand-over to the next scene,
// anything drawn over the fade, end the frame.
#pragma once

#include "platform/render/Graphics.hpp"
#include "scenes/Scene.hpp"

namespace quadrel {

class FramedScene : public Scene {
 public:
  void Draw(AppContext& ctx) final;

 protected:
  explicit FramedScene(render::Graphics& graphics) : graphics_(graphics) {}

  // Alt+Enter and a device that must be reset: switch the mode and reload.
  virtual void ChangeMode(AppContext& ctx) = 0;
  // Alt+Enter: full screen to window or back, then ChangeMode.
  void SwitchDisplayMode(AppContext& ctx) {
    ctx.fullScreen = ctx.fullScreen ? 0 : 1;
    ChangeMode(ctx);
  }
  // Before the camera is applied (the game moves its eye).
  virtual void PlaceCamera(render::Camera&) {}
  virtual void DrawContents(AppContext& ctx) = 0;
  // The fade-out has reached black: let go of the scene so its next entry
  // prepares it again. The frame then names the next scene in the context.
  virtual void Release(AppContext& ctx) = 0;
  // The scene a fade-out's nextScene names.
  virtual SceneId NextScene(int32_t fadeTarget) const { return static_cast<SceneId>(fadeTarget); }
  // Drawn over the fade quad (the game's overlay texts).
  virtual void DrawOverlay(AppContext&) {}

  render::Graphics& graphics_;
};

}  // namespace quadrel
