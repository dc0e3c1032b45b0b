#include "scenes/GameSceneTick.hpp"

#include <cstring>
#include <string>

#include "base/Diagnostics.hpp"
#include "base/Translate.hpp"
#include "game/GameMain.hpp"
#include "replay/ReplayStore.hpp"
#include "scenes/SceneSetup.hpp"

namespace quadrel {

using namespace render;

const char* const kGameModelFiles[kGameModelCount] = {
    "./model/ball.x",    "./model/block_b.x", "./model/block_g.x", "./model/block_p.x",
    "./model/block_r.x", "./model/block_s.x", "./model/bar.x",     "./model/ground.x",
    "./model/wall.x",    "./model/option.x",  "./model/extend.x",
};

namespace {

enum Model { BallModel = 0, BarModel = 6, GroundModel = 7, WallModel = 8, OptionModel = 9, ExtendModel = 10 };

}  // namespace

GameSceneTick::GameSceneTick(SceneServices& services, GameState& game, GameSound& sound,
                             std::function<int32_t()> loadSounds)
    : FramedScene(services.graphics), s_(services), game_(game), sound_(sound), loadSounds_(std::move(loadSounds)),
      pause_(services, sound) {}

int32_t GameSceneTick::LoadGameResources() {
  Graphics& g = s_.graphics;
  g.DestroyAllMeshes();
  models_.fill(nullptr);
  for (int i = 0; i < kGameModelCount; ++i) {
    g.CreateMeshObject(models_[i]);
    if (!models_[i] || models_[i]->Load(kGameModelFiles[i]) < 0) {
      ReportFatalError(Tr("Could not read a model file."), "GameMain", 244, kGameModelFiles[i]);
      return kFail;
    }
  }
  // The device comes back from a mode switch or reset with its own defaults:
  // the load step puts the game's back, as every scene's does.
  g.ResetRenderStates();
  Light light{};
  light.type = kLightDirectional;
  light.diffuse = ColourValue{1.0f, 1.0f, 1.0f, 1.0f};
  light.specular = ColourValue{0.8f, 0.8f, 0.8f, 1.0f};
  light.ambient = ColourValue{0.2f, 0.2f, 0.2f, 1.0f};
  g.SetMainLight(light, Vec3{0, 0, 0}, 1);
  LoadSceneView(g, ColourValue{0.3137255f, 0.3137255f, 0.3137255f, 0.5882353f});
  g.DestroyAllFonts();
  g.CreateFontObject(smallFont_);
  g.CreateFontObject(bigFont_);
  if (smallFont_) smallFont_->Create("Times New Roman", 20, 700, 0);
  if (bigFont_) bigFont_->Create("Times New Roman", 32, 700, 0);
  g.LoadBackground("./texture/back.dds", 640, 480);
  return kOk;
}

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

void GameSceneTick::DrawField(const GameState& game) {
  Graphics& g = s_.graphics;
  g.SetRenderState(rs::FogEnable, 0);
  g.SetRenderState(rs::Lighting, 0);
  g.SetRenderState(rs::StencilEnable, 0);
  Mesh& ground = *models_[GroundModel];
  ground.SetScale(30, 30, 30);
  ground.SetPosition(0, 0, 0);
  ground.Draw(0);
  g.SetRenderState(rs::Lighting, 1);
  g.SetRenderState(rs::FogEnable, 1);

  Mesh& wall = *models_[WallModel];
  for (double x : {-24.5, 24.5}) {
    wall.SetPosition(x, 28.0, 0);
    wall.Draw(1);
  }

  for (int k = 0; k < kBlockCount; ++k) {
    const Block& b = game.blocks[k];
    if (b.alive != 1) continue;
    const int32_t colour = game.colourTable[k];
    if (colour < 1 || colour > 5) continue;
    Mesh& m = *models_[colour];
    m.SetScale(b.scale, b.scale, b.scale);
    m.SetRotation(0.5, -1.0, -1.0, b.angle);
    m.SetPosition(b.x, b.y, b.z);
    g.SetRenderState(rs::AlphaBlendEnable, BlockBlended(b) ? 1 : 0);
    m.Draw(1);
  }
  g.SetRenderState(rs::AlphaBlendEnable, 0);

  for (const Item& item : game.items) {
    if (item.active != 1) continue;
    if (item.kind != OptionItem && item.kind != ExtendItem) continue;
    Mesh& m = *models_[item.kind == OptionItem ? OptionModel : ExtendModel];
    m.SetScale(ItemWidthScale(item), item.scale, item.scale);
    m.SetRotation(-1, 0, 0, item.angle);
    m.SetPosition(item.x, item.y, item.z);
    m.Draw(1);
  }

  Mesh& ball = *models_[BallModel];
  for (const Ball& b : game.balls) {
    if (b.launched != 1) continue;
    ball.SetScale(b.scale, b.scale, b.scale);
    ball.SetPosition(b.x, b.y, b.z);
    ball.Draw(1);
  }

  Mesh& bar = *models_[BarModel];
  for (int j = 0; j < kBarCount; ++j) {
    const Bar& b = game.bars[j];
    if (b.active != 1) continue;
    g.SetRenderState(rs::AlphaBlendEnable, j == 0 ? 0 : 1);
    bar.SetScale(b.scale, b.scale, b.scale);
    bar.SetPosition(b.x, b.y, b.z);
    if (BarShown(b)) bar.Draw(1);
  }
  g.SetRenderState(rs::AlphaBlendEnable, 0);
}

void GameSceneTick::DrawTexts(const HudLayout& layout) {
  for (int i = 0; i < layout.count; ++i) {
    const HudText& t = layout.texts[i];
    Font* font = t.font == HudFont::Big ? bigFont_ : smallFont_;
    if (!font) continue;
    if (t.shadow) {
      font->DrawTextShadow(t.text, t.x, t.y, kTextShadowOffset, t.format, t.colour, t.shadowColour);
    } else {
      font->DrawText(t.text, t.x, t.y, t.format, t.colour);
    }
  }
}

void GameSceneTick::PlaceCamera(Camera& camera) {
  const GameVars& v = game_.vars;
  camera.eye = Vec3{v.cameraEye[0], v.cameraEye[1], v.cameraEye[2]};
}

void GameSceneTick::DrawContents(AppContext&) {
  DrawField(game_);
  // A held step draws the texts as they were: laying them out again would
  // move the juggling shake, the replay notice and the all-clear count-up on.
  if (!pause_.Held()) {
    hud_.count = 0;
    LayoutHud(game_, hudState_, pictureRandom_, s_.clock.Milliseconds(), hud_);
  }
  DrawTexts(hud_);
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
  DrawTexts(layout_);
  layout_.count = 0;
  LayoutOverlay(game_, ctx.fps, layout_);
  DrawTexts(layout_);
}

}  // namespace quadrel
