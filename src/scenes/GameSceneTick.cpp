#include "scenes/GameSceneTick.hpp"

#include <cstring>
#include <string>

#include "game/GameMain.hpp"
#include "replay/ReplayStore.hpp"
#include "scenes/SceneSetup.hpp"

namespace quadrel {

using namespace render;

GameSceneTick::GameSceneTick(SceneServices& services, GameState& game, GameSound& sound,
                             std::function<int32_t()> loadSounds)
    : FramedScene(services.graphics), s_(services), game_(game), sound_(sound), loadSounds_(std::move(loadSounds)),
      pause_(services, sound) {}

int32_t GameSceneTick::LoadGameResources() { return view_.Load(s_.graphics); }

void GameSceneTick::ChangeMode(AppContext& ctx) {
  s_.graphics.ChangeDisplayMode(ctx.fullScreen, ctx.windowWidth, ctx.windowHeight);
  LoadGameResources();
  s_.window.ShowCursor(ctx.fullScreen == 0 || pause_.Paused());
}

int32_t GameSceneTick::Initialise(AppContext& ctx) {
  if (!soundLoaded_) {
    if (loadSounds_() < 0) return kFail;
    soundLoaded_ = true;
  }
  if (gameSceneLoaded_) return kOk;
  if (LoadGameResources() < 0) return kFail;
  gameSceneLoaded_ = true;
  game_.replayMode = ctx.replayMode;
  std::optional<std::string> playback;
  if (ctx.replayMode == Playback && s_.replayToPlay)
    playback = (std::filesystem::path(game_.replay->folder()) / s_.replayToPlay->file).string();
  s_.replayToPlay.reset();
  EnterGameState(game_, playback ? &*playback : nullptr);
  if (playback) game_.replay->ReportRead(*playback);
  altEnterHeld_ = true;  // keys still held from the previous scene are no press
  hudState_ = HudState{};
  s_.window.ShowCursor(ctx.fullScreen == 0);
  hud_.count = 0;  // nothing of the last visit shows in a pause before the first frame
  pause_.Enter();
  sound_.StartMusic();
  return kOk;
}

void GameSceneTick::StepInput(AppContext& ctx) {
  stepMouse_ = MouseState{};
  stepKeys_ = KeyboardState{};
  // As the step: no reads at all while fading out.
  if (game_.vars.clock.nextScene >= 0) {
    pause_.NoKeys();
    return;
  }
  s_.input.ReadMouse(stepMouse_);
  s_.input.ReadKeyboard(stepKeys_);
  pause_.TakeKeys(ctx, stepKeys_);
  // The all-clear presentation waits on the millisecond clock: its waits
  // stand still while paused, so its stages do not fire at once on resume.
  if (const uint32_t paused = pause_.TakePausedTime(); paused != 0 && game_.phase == AllClear)
    hudState_.stageStart += paused;
  // A held step ends here, its mouse movement thrown away: the bar stays
  // where the pause left it.
  SceneKeys(ctx, stepKeys_);
}

void GameSceneTick::SceneKeys(AppContext& ctx, const KeyboardState& keys) {
  // One switch per press: held keys would flip the display every step.
  const bool altEnter = AltEnterDown(keys);
  if (altEnter && !altEnterHeld_) SwitchDisplayMode(ctx);
  altEnterHeld_ = altEnter;
  // Backspace leaves, paused or not: a new game, or the title from a playback.
  FixedStepClock& clock = game_.vars.clock;
  if (IsDown(keys.keys[key::Backspace]) && clock.fadeAlpha == 0) {
    if (pause_.Paused()) pause_.Leave();
    if (game_.replayMode != Playback) {
      clock.nextScene = Game;
    } else {
      game_.replayMode = Off;
      ctx.replayMode = Off;
      clock.nextScene = Title;
    }
  }
}

StepKind GameSceneTick::StepAfterInput() {
  if (!pause_.Held()) return StepKind::Run;
  return pause_.DrawDue() ? StepKind::HeldDrawn : StepKind::Held;
}

// The step every replay check and test runs too; the scene acts on what it reports.
void GameSceneTick::Update(AppContext& ctx) {
  quadrel::StepInput in;
  in.mouse = stepMouse_;
  in.keyboard = stepKeys_;
  in.countUpDone = hudState_.CountUpDone();
  const StepEvents ev = Step(game_, in);
  if (ev.stopSound) sound_.StopAllSound();
  for (int i = 0; i < ev.hits; ++i) sound_.PlayHitSound();
  for (int i = 0; i < ev.bars; ++i) sound_.PlayBarSound();
  if (ev.startMusic) sound_.StartMusic();
  if (game_.replay) RecordEvents(*game_.replay, ev);
  ctx.replayMode = game_.replayMode;
  if (ev.leaveTo >= 0) HandOverResult(game_, ctx);
}

void GameSceneTick::PlaceCamera(Camera& camera) { GameView::PlaceCamera(game_.vars, camera); }

void GameSceneTick::DrawContents(AppContext&) {
  view_.DrawField(s_.graphics, game_);
  // A held step draws the texts as they were: laying them out again would
  // move the juggling shake, the replay notice and the all-clear count-up on.
  if (!pause_.Held()) {
    hud_.count = 0;
    LayoutHud(game_, hudState_, pictureRandom_, s_.clock.Milliseconds(), hud_);
  }
  view_.DrawTexts(hud_);
}

void GameSceneTick::Release(AppContext&) {
  gameSceneLoaded_ = false;
  GameReset(game_);
  sound_.StopAllSound();
}

SceneId GameSceneTick::NextScene(int32_t exit) const {
  switch (exit) {
    case Game: return SceneId::Game;
    case Ranking: return SceneId::Ranking;
    default: return SceneId::Title;
  }
}

void GameSceneTick::DrawOverlay(AppContext& ctx) {
  // Over the fade, so that a pause during a fade-in is readable too.
  if (pause_.Paused()) s_.graphics.FadeQuad(kPauseDimColour);
  layout_.count = 0;
  pause_.Layout(layout_);
  view_.DrawTexts(layout_);
  layout_.count = 0;
  LayoutOverlay(game_, ctx.fps, layout_);
  view_.DrawTexts(layout_);
}

}  // namespace quadrel
