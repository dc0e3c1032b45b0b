// The title: the game's name, three buttons that pulse under the mouse, and
// the hand-over to a new game, the replay list or, after 15 idle seconds,
// the ranking table.
#pragma once

#include "scenes/FramedScene.hpp"
#include "scenes/SceneServices.hpp"

namespace quadrel {

enum TitleButton : int32_t { NoButton = 0, StartButton = 1, ExitButton = 2, PlaybackButton = 3 };

// The button under (x, y): strictly inside its box, tested in screen order.
TitleButton HitTestTitleButtons(int32_t x, int32_t y);

class TitleScene final : public FramedScene {
 public:
  explicit TitleScene(SceneServices& services) : FramedScene(services.graphics), s_(services) {}

  SceneId Id() const override { return Title; }
  FixedStepClock& Clock() override { return clock_; }
  int32_t Initialise(AppContext& ctx) override;
  void Input(AppContext& ctx) override;
  void Update(AppContext& ctx) override;

  // Also after a display-mode change.
  void Load();

  int32_t idleCounter() const { return idleCounter_; }
  int32_t pulsePhase() const { return pulsePhase_; }
  bool loaded() const { return loaded_; }

 private:
  void ChangeMode(AppContext& ctx) override;
  void DrawContents(AppContext& ctx) override;
  void Release(AppContext&) override { loaded_ = false; }
  void PlayStartupReplay(AppContext& ctx);
  void DrawButton(const char* text, int32_t x, int32_t y, int32_t halfWidth, int32_t halfHeight,
                  const AppContext& ctx);

  SceneServices& s_;
  FixedStepClock clock_;
  bool devicesCreated_ = false;
  bool loaded_ = false;
  int32_t idleCounter_ = 0;
  int32_t pulsePhase_ = 0;
  int32_t hoverMissCount_ = 0;
  int32_t frozenX_ = 0, frozenY_ = 0;
  MouseState mouse_{}, previousMouse_{};
  KeyboardState keyboard_{}, previousKeyboard_{};
  render::Font* titleFont_ = nullptr;
  render::Font* buttonFont_ = nullptr;
};

}  // namespace quadrel
