// A placeholder for a scene not built yet: its background and a caption; a
// click leads back to the title.
#pragma once

#include <string>

#include "scenes/FramedScene.hpp"
#include "scenes/SceneServices.hpp"

namespace quadrel {

class StandInScene final : public FramedScene {
 public:
  StandInScene(SceneId id, SceneServices& services, std::string background, std::string caption)
      : FramedScene(services.graphics),
        id_(id),
        s_(services),
        background_(std::move(background)),
        caption_(std::move(caption)) {}

  SceneId Id() const override { return id_; }
  FixedStepClock& Clock() override { return clock_; }
  int32_t Initialise(AppContext& ctx) override;
  void Input(AppContext& ctx) override;
  void Update(AppContext&) override { AdvanceFade(clock_); }

 private:
  void Load();
  void ChangeMode(AppContext& ctx) override;
  void DrawContents(AppContext& ctx) override;
  void Release(AppContext&) override { loaded_ = false; }

  SceneId id_;
  SceneServices& s_;
  std::string background_, caption_;
  FixedStepClock clock_;
  bool loaded_ = false;
  MouseState mouse_{}, previousMouse_{};
  KeyboardState keyboard_{}, previousKeyboard_{};
  render::Font* font_ = nullptr;
};

}  // namespace quadrel
