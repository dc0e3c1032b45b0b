// A stand-in scene for the scene table until the real scenes exist: it loads
// the device states, a font and its background, clears the screen, fades in
// and out, and switches the display mode on Alt+Enter. The title's copy
// creates the device on its first tick.
#pragma once

#include <string>

#include "game/FixedStepClock.hpp"
#include "platform/Graphics.hpp"

namespace quadrel::app {

// What the scene needs from the window besides drawing.
class SceneHost {
 public:
  virtual ~SceneHost() = default;
  // Either Alt key and Return held now.
  virtual bool AltEnterDown() = 0;
  // The left mouse button held now.
  virtual bool LeftButtonDown() { return false; }
  virtual void ShowCursor(bool show) = 0;
};

class MinimalScene final : public Scene {
 public:
  MinimalScene(SceneId id, render::Graphics& graphics, SceneHost& host, bool createsDevice,
               uint32_t clearColour, std::string background, std::string caption);

  SceneId Id() const override { return id_; }
  FixedStepClock& Clock() override { return clock_; }
  int32_t Initialise(AppContext& ctx) override;
  void Input(AppContext& ctx) override;
  void Update(AppContext& ctx) override;
  void Draw(AppContext& ctx) override;

  // Fade out toward another scene.
  void Leave(SceneId next) { clock_.nextScene = next; }
  // A stand-in that is not a dead end: back to the title on a click, or after
  // idleSteps update steps when that is not 0.
  void ReturnToTitle(int32_t idleSteps) {
    returnsToTitle_ = true;
    idleSteps_ = idleSteps;
  }
  bool Loaded() const { return loaded_; }

 private:
  void Load();
  void ChangeMode(AppContext& ctx);

  SceneId id_;
  render::Graphics& g_;
  SceneHost& host_;
  bool createsDevice_;
  uint32_t clearColour_;
  std::string background_;
  std::string caption_;
  FixedStepClock clock_;
  bool loaded_ = false;
  bool modeKeysDown_ = true;  // keys held at entry are no press
  bool buttonDown_ = true;    // likewise the mouse button
  bool returnsToTitle_ = false;
  int32_t idleSteps_ = 0;
  int32_t stepsShown_ = 0;
  render::Font* font_ = nullptr;
  char fpsText_[32] = {};
};

}  // namespace quadrel::app
