#include "app/MinimalScene.hpp"

#include <cstdio>

#include "scenes/SceneSetup.hpp"

namespace quadrel::app {

using namespace quadrel::render;

MinimalScene::MinimalScene(SceneId id, Graphics& graphics, SceneHost& host, bool createsDevice,
                           uint32_t clearColour, std::string background, std::string caption)
    : id_(id),
      g_(graphics),
      host_(host),
      createsDevice_(createsDevice),
      clearColour_(clearColour),
      background_(std::move(background)),
      caption_(std::move(caption)) {}

int32_t MinimalScene::Initialise(AppContext& ctx) {
  if (createsDevice_ && !g_.DeviceCreated()) {
    if (g_.InitDirect3D(ctx.fullScreen) < 0) return kFail;
  }
  if (!g_.DeviceCreated()) return kFail;
  if (loaded_) return kOk;
  Load();
  loaded_ = true;
  modeKeysDown_ = true;
  buttonDown_ = true;
  stepsShown_ = 0;
  host_.ShowCursor(true);
  BeginFadeIn(clock_);
  return kOk;
}

void MinimalScene::Load() {
  g_.ResetRenderStates();
  g_.SetMainLight(Light{}, Vec3{0, 0, 0}, 1);
  LoadSceneView(g_, ColourValue{0.6f, 0.6f, 0.6f, 1.0f});
  g_.SetClearColour(clearColour_);
  g_.DestroyAllFonts();
  g_.CreateFontObject(font_);
  if (font_) font_->Create("Times New Roman", 32, 700, 0);
  g_.LoadBackground(background_.c_str(), 640, 480);
}

void MinimalScene::ChangeMode(AppContext& ctx) {
  g_.ChangeDisplayMode(ctx.fullScreen, ctx.windowWidth, ctx.windowHeight);
  Load();
  host_.ShowCursor(true);
}

void MinimalScene::Input(AppContext& ctx) {
  if (clock_.nextScene >= 0) return;
  // A press of Alt+Enter, seen on the tick it goes down.
  const bool down = host_.AltEnterDown();
  if (down && !modeKeysDown_) {
    ctx.fullScreen = ctx.fullScreen ? 0 : 1;
    ChangeMode(ctx);
  }
  modeKeysDown_ = down;
  const bool button = host_.LeftButtonDown();
  if (returnsToTitle_ && button && !buttonDown_) Leave(Title);
  buttonDown_ = button;
}

void MinimalScene::Update(AppContext&) {
  if (returnsToTitle_ && idleSteps_ > 0 && ++stepsShown_ == idleSteps_ && clock_.nextScene < 0)
    Leave(Title);
  AdvanceFade(clock_);
}

void MinimalScene::Draw(AppContext& ctx) {
  const int32_t r = g_.BeginFrame();
  if (r < 0) {
    if (r == kDeviceNotReset) ChangeMode(ctx);
    return;
  }
  g_.DrawBackground();
  g_.ApplyCamera();
  if (font_)
    font_->DrawTextShadow(caption_.c_str(), 320, 240, 3, kTextCenter | kTextVCenter, 0xFFFFFFFFu,
                          0xFF323232u);
  if (clock_.nextScene != kFadeIdle) {
    g_.FadeQuad(static_cast<uint32_t>(clock_.fadeAlpha) << 24);
    if (FadeOutComplete(clock_)) {
      loaded_ = false;
      ctx.scene = clock_.nextScene;
    }
  }
  if (font_) {
    std::snprintf(fpsText_, sizeof fpsText_, "FPS:%.02f", ctx.fps);
    font_->DrawText(fpsText_, 0, 448, kTextLeft, 0xFFFFFF00u);
  }
  g_.EndFrame();
}

}  // namespace quadrel::app
