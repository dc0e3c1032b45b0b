// The game scene in the scene table: entry (sounds, resources, cursor, replay
// store, music), the step with its input, and the drawn frame.
#pragma once

#include <functional>

#include "game/GameHud.hpp"
#include "game/GameScene.hpp"
#include "scenes/FramedScene.hpp"
#include "scenes/GamePause.hpp"
#include "scenes/GameView.hpp"
#include "scenes/SceneServices.hpp"

namespace quadrel {

class GameSceneTick final : public FramedScene, public DisplayModeSwitch {
 public:
  // loadSounds: loads the four sounds (once per run); negative after a fatal report.
  GameSceneTick(SceneServices& services, GameScene& game, GameSound& sound,
                std::function<int32_t()> loadSounds);

  SceneId Id() const override { return Game; }
  FixedStepClock& Clock() override { return game_.vars.clock; }
  bool InputInsideStep() const override { return true; }
  int32_t Initialise(AppContext& ctx) override;  // EnterGameScene
  // Samples the step's input and takes the pause keys; a held step ends here.
  void StepInput(AppContext& ctx) override;
  // The simulation step on those samples.
  void Update(AppContext& ctx) override;
  bool Paused() const override { return pause_.Paused(); }
  bool HoldsStep() const override { return pause_.Held(); }
  bool HeldDrawDue() override { return pause_.DrawDue(); }

  // Alt+Enter and a device that must be reset: switch, reload, cursor.
  void ChangeMode(AppContext& ctx) override;
  // Negative after the fatal report of a missing model.
  int32_t LoadGameResources();

  GameScene& game() { return game_; }
  GamePause& pause() { return pause_; }

 private:
  void PlaceCamera(render::Camera& camera) override;
  void DrawContents(AppContext& ctx) override;
  void Release(AppContext& ctx) override;
  void DrawOverlay(AppContext& ctx) override;
  // The keys a paused game still takes: Alt+Enter and Backspace.
  void HeldInput(AppContext& ctx, const KeyboardState& keys);

  SceneServices& s_;
  GameScene& game_;
  GameSound& sound_;
  std::function<int32_t()> loadSounds_;
  GameView view_;
  HudLayout layout_;
  HudLayout hud_;  // kept: a held step draws the texts as they were
  GamePause pause_;
  MouseState stepMouse_{};
  KeyboardState stepKeys_{};
};

}  // namespace quadrel
