#include "scenes/TitleScene.hpp"

#include "base/Diagnostics.hpp"
#include "base/Translate.hpp"
#include "replay/ReplayStore.hpp"

namespace quadrel {

using namespace render;

namespace {

constexpr int32_t kIdleSteps = 900;

// In screen order; the hit test takes the first match.
constexpr MenuButton kButtons[] = {
    {"[ Game Start ]", 320, 260, 84, 16, StartButton},
    {"[ Playback Replay ]", 320, 320, 116, 16, PlaybackButton},
    {"[ Exit ]", 320, 380, 44, 16, ExitButton},
};

}  // namespace

TitleButton HitTestTitleButtons(int32_t x, int32_t y) {
  return static_cast<TitleButton>(HitButton(kButtons, x, y, NoButton));
}

int32_t TitleScene::Initialise(AppContext& ctx) {
  if (!devicesCreated_) {
    devicesCreated_ = true;
    if (s_.graphics.InitDirect3D(ctx.fullScreen) < 0) return kFail;
    s_.startDevices();
  }
  if (!s_.graphics.DeviceCreated()) return kFail;
  if (loaded_) return kOk;
  Load();
  loaded_ = true;
  idleCounter_ = kIdleSteps;
  ctx.score = 0;
  input_.HoldAll();
  s_.window.ShowCursor(true);
  pulsePhase_ = 0;
  ctx.finishTime = s_.calendarNow();
  ctx.finishLocalTime = LocalTime(ctx.finishTime);
  BeginFadeIn(clock_);
  PlayStartupReplay(ctx);
  return kOk;
}

void TitleScene::PlayStartupReplay(AppContext& ctx) {
  if (s_.startupReplay.empty()) return;
  s_.replayToPlay = ReplayChoice{std::move(s_.startupReplay)};
  s_.startupReplay.clear();
  ctx.replayMode = Playback;
  LeaveTo(SceneId::Game);
}

void TitleScene::Load() {
  LoadMenuScene(s_.graphics, 0xFF000000u, buttonFont_, 32, titleFont_, 72, "./texture/title.dds");
}

void TitleScene::Input(AppContext& ctx) {
  if (ReadChoiceInput(ctx) && input_.Clicked()) {
    switch (HitTestTitleButtons(ctx.mouseX, ctx.mouseY)) {
      case StartButton:
        ctx.replayMode = Recording;
        LeaveTo(SceneId::Game);
        break;
      case ExitButton:
        s_.quit(0);
        break;
      case PlaybackButton:
        LeaveTo(SceneId::ReplaySelect);
        break;
      case NoButton:
        break;
    }
  }
}

void TitleScene::Update(AppContext&) {
  idleCounter_ -= 1;
  if (idleCounter_ == 0) {
    // Fifteen idle seconds show the ranking, even over a choice still fading.
    pulsePhase_ = 0;
    LeaveTo(SceneId::Ranking);
  } else if (clock_.nextScene < 0) {
    AdvanceFade(clock_);
    return;
  }
  clock_.fadeAlpha += 8;
  if (clock_.fadeAlpha > 255) clock_.fadeAlpha = 255;
}

void TitleScene::DrawContents(AppContext& ctx) {
  const int32_t extra = (idleCounter_ > 0 && clock_.nextScene >= 0) ? 56 : 0;
  pulsePhase_ = (pulsePhase_ + 8 + extra) % 512;
  if (titleFont_)
    titleFont_->DrawTextShadow("Q  u  a  d  r  e  l", 320, 120, 3, kTextCenter, 0xFF0064FFu,
                               0xFF323232u);
  // During a fade-out the chosen button stays lit under the held pointer.
  FollowPointer(ctx);
  DrawPulsingButtons(kButtons, pulsePhase_, pointerX_, pointerY_,
                     [this](const MenuButton& b, int32_t alpha) {
                       if (!buttonFont_) return;
                       const uint32_t a = static_cast<uint32_t>(alpha) << 24;
                       buttonFont_->DrawTextShadow(b.text, b.x, b.y, 3, kTextCenter | kTextVCenter,
                                                   a | 0x00FFFF00u, a | 0x00323232u);
                     });
}

}  // namespace quadrel
