#include "scenes/GameSceneTick.hpp"

#include "game/GameInput.hpp"
#include "game/GameMain.hpp"
#include "scenes/SceneSetup.hpp"

namespace quadrel {

using namespace render;

GameSceneTick::GameSceneTick(SceneServices& services, GameScene& game, GameSound& sound,
                             std::function<int32_t()> loadSounds)
    : FramedScene(services.graphics), s_(services), game_(game), sound_(sound), loadSounds_(std::move(loadSounds)),
      pause_(services, sound) {
  game_.sound = &sound_;
  game_.input = &s_.input;
  game_.modeSwitch = this;
}

int32_t GameSceneTick::LoadGameResources() { return view_.Load(s_.graphics); }

void GameSceneTick::ChangeMode(AppContext& ctx) {
  s_.graphics.ChangeDisplayMode(ctx.fullScreen, ctx.windowWidth, ctx.windowHeight);
  LoadGameResources();
  s_.window.ShowCursor(ctx.fullScreen == 0 || pause_.Paused());
}

int32_t GameSceneTick::Initialise(AppContext& ctx) {
  GameVars& v = game_.vars;
  if (!v.soundLoaded) {
    if (loadSounds_() < 0) return kFail;
    v.soundLoaded = 1;
  }
  if (v.gameSceneLoaded) return kOk;
  if (LoadGameResources() < 0) return kFail;
  EnterGameState(game_);
  s_.window.ShowCursor(ctx.fullScreen == 0);
  hud_.count = 0;  // nothing of the last visit shows in a pause before the first frame
  pause_.Enter();
  sound_.StartMusic();
  return kOk;
}

void GameSceneTick::StepInput(AppContext& ctx) {
  stepMouse_ = MouseState{};
  stepKeys_ = KeyboardState{};
  // As GameInput: no reads at all while fading out.
  if (game_.vars.clock.nextScene >= 0) {
    pause_.NoKeys();
    return;
  }
  s_.input.ReadMouse(stepMouse_);
  s_.input.ReadKeyboard(stepKeys_);
  pause_.TakeKeys(ctx, stepKeys_);
  // The all-clear presentation waits on the millisecond clock: its waits
  // stand still while paused, so its stages do not fire at once on resume.
  if (const uint32_t paused = pause_.TakePausedTime(); paused != 0 && ctx.phase == AllClear)
    game_.vars.bannerStageStart += paused;
  // A held step throws its mouse movement away: the bar stays where the
  // pause left it.
  if (pause_.Held()) HeldInput(ctx, stepKeys_);
}

void GameSceneTick::HeldInput(AppContext& ctx, const KeyboardState& keys) {
  GameVars& v = game_.vars;
  const bool altEnter = AltEnterDown(keys);
  if (altEnter && !v.altEnterHeld) SwitchDisplayMode(ctx);
  v.altEnterHeld = altEnter ? 1 : 0;
  // Backspace leaves as in play: a new game, or the title from a playback.
  if (pause_.Paused() && IsDown(keys.keys[key::Backspace]) && v.clock.fadeAlpha == 0) {
    pause_.Leave();
    if (ctx.replayMode != Playback) {
      v.clock.nextScene = Game;
    } else {
      ctx.replayMode = Off;
      v.clock.nextScene = Title;
    }
  }
}

// The step every replay check and test runs too: input, update, frame count.
void GameSceneTick::Update(AppContext&) { SimulationStep(game_, stepMouse_, stepKeys_); }

void GameSceneTick::PlaceCamera(Camera& camera) { GameView::PlaceCamera(game_.vars, camera); }

void GameSceneTick::DrawContents(AppContext& ctx) {
  view_.DrawField(s_.graphics, ctx);
  // A held step draws the texts as they were: laying them out again would
  // move the juggling shake, the replay notice and the all-clear count-up on.
  if (!pause_.Held()) {
    hud_.count = 0;
    LayoutHud(ctx, game_.vars, game_.rng, s_.clock.Milliseconds(), hud_);
  }
  view_.DrawTexts(hud_);
}

void GameSceneTick::Release(AppContext&) {
  game_.vars.gameSceneLoaded = 0;
  GameReset(game_);
  sound_.StopAllSound();
}

void GameSceneTick::DrawOverlay(AppContext& ctx) {
  // Over the fade, so that a pause during a fade-in is readable too.
  if (pause_.Paused()) s_.graphics.FadeQuad(kPauseDimColour);
  layout_.count = 0;
  pause_.Layout(layout_);
  view_.DrawTexts(layout_);
  layout_.count = 0;
  LayoutOverlay(ctx, layout_);
  view_.DrawTexts(layout_);
}

}  // namespace quadrel
