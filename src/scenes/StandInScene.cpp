#include "scenes/StandInScene.hpp"

#include <cstring>

#include "scenes/SceneSetup.hpp"

namespace quadrel {

using namespace render;

int32_t StandInScene::Initialise(AppContext&) {
  if (!graphics_.DeviceCreated()) return kFail;
  if (loaded_) return kOk;
  Load();
  loaded_ = true;
  // Keys and buttons held at entry are no press.
  std::memset(&previousKeyboard_, 0x80, sizeof previousKeyboard_);
  std::memset(previousMouse_.rgbButtons, 0x80, sizeof previousMouse_.rgbButtons);
  s_.window.ShowCursor(true);
  BeginFadeIn(clock_);
  return kOk;
}

void StandInScene::Load() {
  Graphics& g = graphics_;
  g.ResetRenderStates();
  g.SetMainLight(Light{}, Vec3{0, 0, 0}, 1);
  LoadSceneView(g, ColourValue{0.6f, 0.6f, 0.6f, 1.0f});
  g.SetClearColour(0xFF000000u);
  g.DestroyAllFonts();
  g.CreateFontObject(font_);
  if (font_) font_->Create("Times New Roman", 32, 700, 0);
  g.LoadBackground(background_.c_str(), 640, 480);
}

void StandInScene::ChangeMode(AppContext& ctx) {
  graphics_.ChangeDisplayMode(ctx.fullScreen, ctx.windowWidth, ctx.windowHeight);
  Load();
  s_.window.ShowCursor(true);
}

void StandInScene::Input(AppContext& ctx) {
  if (clock_.nextScene >= 0) return;
  s_.input.ReadMouse(mouse_);
  s_.input.ReadKeyboard(keyboard_);
  if (AltEnterDown(keyboard_) && !AltEnterDown(previousKeyboard_)) {
    ctx.fullScreen = ctx.fullScreen ? 0 : 1;
    ChangeMode(ctx);
  }
  if (IsDown(mouse_.rgbButtons[0]) && !IsDown(previousMouse_.rgbButtons[0]))
    clock_.nextScene = Title;
  previousMouse_ = mouse_;
  previousKeyboard_ = keyboard_;
}

void StandInScene::DrawContents(AppContext&) {
  if (font_)
    font_->DrawTextShadow(caption_.c_str(), 320, 240, 3, kTextCenter | kTextVCenter, 0xFFFFFFFFu,
                          0xFF323232u);
}

}  // namespace quadrel
