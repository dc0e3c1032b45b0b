// The title: the game's name, three buttons that pulse under the mouse, and
// the hand-over to a new game, the replay list or, after 15 idle seconds,
// the ranking table.
#pragma once

#include "scenes/MenuScene.hpp"

namespace quadrel {

enum TitleButton : int32_t { NoButton = 0, StartButton = 1, ExitButton = 2, PlaybackButton = 3 };

// The button under (x, y): strictly inside its box, tested in screen order.
TitleButton HitTestTitleButtons(int32_t x, int32_t y);

class TitleScene final : public MenuScene {
 public:
  explicit TitleScene(SceneServices& services) : MenuScene(services) {}

  SceneId Id() const override { return SceneId::Title; }
  int32_t Initialise(AppContext& ctx) override;
  void Input(AppContext& ctx) override;
  void Update(AppContext& ctx) override;

  // Also after a display-mode change.
  void Load() override;

  int32_t idleCounter() const { return idleCounter_; }
  int32_t pulsePhase() const { return pulsePhase_; }
  bool loaded() const { return loaded_; }

 private:
  void DrawContents(AppContext& ctx) override;
  void Release(AppContext&) override { loaded_ = false; }
  void PlayStartupReplay(AppContext& ctx);

  bool devicesCreated_ = false;
  bool loaded_ = false;
  int32_t idleCounter_ = 0;
  int32_t pulsePhase_ = 0;
  render::Font* titleFont_ = nullptr;
  render::Font* buttonFont_ = nullptr;
};

}  // namespace quadrel
