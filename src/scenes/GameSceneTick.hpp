// The game scene in the scene table: entry (sounds, resources, cursor, replay
// store, music), the step with its input, and the drawn frame.
#pragma once

#include <array>
#include <functional>

#include "game/GameHud.hpp"
#include "game/GameState.hpp"
#include "scenes/FramedScene.hpp"
#include "scenes/GamePause.hpp"
#include "scenes/GameView.hpp"
#include "scenes/SceneServices.hpp"

namespace quadrel {

class GameSceneTick final : public FramedScene {
 public:
  // loadSounds: loads the four sounds (once per run); negative after a fatal report.
  GameSceneTick(SceneServices& services, GameState& game, GameSound& sound,
                std::function<int32_t()> loadSounds);

  SceneId Id() const override { return SceneId::Game; }
  FixedStepClock& Clock() override { return game_.vars.clock; }
  int32_t Initialise(AppContext& ctx) override;  // EnterGameScene
  // Samples the step's input and takes the pause keys, Alt+Enter and
  // Backspace; a held step ends here.
  void StepInput(AppContext& ctx) override;
  // The simulation step on those samples; plays its sounds, records it.
  void Update(AppContext& ctx) override;
  // A paused step, and the one that resumes, is held; a few a second are drawn.
  StepKind StepAfterInput() override;
  bool Paused() const override { return pause_.Paused(); }

  // Alt+Enter and a device that must be reset: switch, reload, cursor.
  void ChangeMode(AppContext& ctx) override;
  // Negative after the fatal report of a missing model.
  int32_t LoadGameResources();

  GameState& game() { return game_; }
  HudState& hud() { return hudState_; }
  const Random& pictureRandom() const { return pictureRandom_; }
  GamePause& pause() { return pause_; }

 private:
  void PlaceCamera(render::Camera& camera) override;
  void DrawContents(AppContext& ctx) override;
  void Release(AppContext& ctx) override;
  // The game's exits: the title, a new game, the ranking.
  SceneId NextScene(int32_t exit) const override;
  void DrawOverlay(AppContext& ctx) override;
  // The keys the scene itself answers, paused or not: Alt+Enter and Backspace.
  void SceneKeys(AppContext& ctx, const KeyboardState& keys);

  SceneServices& s_;
  GameState& game_;
  GameSound& sound_;
  std::function<int32_t()> loadSounds_;
  GameView view_;
  HudLayout layout_;
  HudLayout hud_;  // kept: a held step draws the texts as they were
  HudState hudState_;
  // The picture's own random stream: drawing never touches the game's.
  Random pictureRandom_;
  bool soundLoaded_ = false;
  bool gameSceneLoaded_ = false;
  bool altEnterHeld_ = false;
  GamePause pause_;
  MouseState stepMouse_{};
  KeyboardState stepKeys_{};
};

}  // namespace quadrel
