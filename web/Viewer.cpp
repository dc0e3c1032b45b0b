#include "Viewer.hpp"

#include "game/GameMain.hpp"
#include "verify/ReplayCheck.hpp"

namespace quadrel {

using namespace render;

namespace {

class CollectedSound final : public GameSound {
 public:
  explicit CollectedSound(ViewerSounds& into) : into_(into) {}
  void PlayHitSound() override { ++into_.hits; }
  void PlayBarSound() override { ++into_.bars; }
  void StartMusic() override { into_.music = true; }

 private:
  ViewerSounds& into_;
};

// The millisecond clock the HUD's all-clear count-up waits on, counted in
// steps: the same replay shows the same count-up at any speed and after a seek.
uint32_t StepMilliseconds(int64_t steps) { return static_cast<uint32_t>(steps * 50 / 3); }

}  // namespace

bool ViewerStep(GameScene& g, const KeyboardState& keys, ViewerSounds& sounds) {
  CollectedSound sound(sounds);
  g.sound = &sound;
  g.input = nullptr;
  g.modeSwitch = nullptr;
  static const MouseState kNoMouse{};
  const bool leaving = SimulationStep(g, kNoMouse, keys);
  g.sound = nullptr;
  return leaving;
}

struct Viewer::Run {
  AppContext ctx{};
  ReplayStore store;
  Random rng;
  GameScene g{ctx, store, rng};
};

Viewer::Viewer() = default;
Viewer::~Viewer() = default;

int32_t Viewer::LoadView(Graphics& g) { return view_.Load(g); }

bool Viewer::Open(const uint8_t* bytes, size_t size, std::string* error) {
  bytes_.assign(bytes, bytes + size);
  Restart();
  const std::string problem = ReplayFileProblem(run_->store, run_->store.lastReadStatus());
  if (!problem.empty()) {
    if (error) *error = problem;
    run_.reset();
    bytes_.clear();
    return false;
  }
  return true;
}

void Viewer::Restart() {
  // Entered as the replay check enters it: the scene for a file that is not
  // there, then the image and its first frame.
  static const std::string kNoFile;
  run_ = std::make_unique<Run>();
  GameScene& g = run_->g;
  GameReset(g);
  run_->ctx.replayMode = Playback;
  EnterGameState(g, &kNoFile);
  g.replay.LoadReplayBytes(bytes_.data(), bytes_.size());
  g.replay.ReadInputFrame(g.vars.nextFrame);
  steps_ = 0;
  hud_.count = 0;
  LayoutHud(run_->ctx, g.vars, run_->rng, StepMilliseconds(0), hud_);
  sounds_ = ViewerSounds{};
  sounds_.music = true;
}

bool Viewer::Ended() const {
  if (!run_) return true;
  const AppContext& ctx = run_->ctx;
  const GameVars& v = run_->g.vars;
  // An all-clear records nothing more: the game waits for a click once its
  // presentation has moved the bonuses into the score and shown the prompt.
  if (ctx.phase == AllClear)
    return ((v.bannerStage & 128) != 0 && v.bannerAlpha >= 255) || steps_ >= kAllClearStepLimit;
  // Any other playback ends at its leaving click and fades out as the game does.
  return steps_ >= stepLimit_ || (ctx.replayMode != Playback && FadeOutComplete(v.clock));
}

int64_t Viewer::Length() {
  if (!run_) return 0;
  const int64_t at = steps_;
  Seek(INT64_MAX);
  const int64_t length = steps_;
  Seek(at);
  return length;
}

int32_t Viewer::Advance(int32_t n, const KeyboardState& keys) {
  int32_t done = 0;
  while (done < n && !Ended()) {
    ViewerStep(run_->g, keys, sounds_);
    ++steps_;
    ++done;
    // Laid out after every step, drawn or not: the count-up it drives then
    // reaches the same score however the steps were shown.
    hud_.count = 0;
    LayoutHud(run_->ctx, run_->g.vars, run_->rng, StepMilliseconds(steps_), hud_);
  }
  return done;
}

void Viewer::Seek(int64_t step) {
  if (!run_) return;
  const GameVars before = run_->g.vars;
  const bool rewind = step < steps_;
  if (rewind) Restart();
  // The camera is the visitor's, not the replay's.
  GameVars& v = run_->g.vars;
  v.cameraAngle = before.cameraAngle;
  v.cameraDistance = before.cameraDistance;
  for (int i = 0; i < 3; ++i) v.cameraEye[i] = before.cameraEye[i];
  static const KeyboardState kNoKeys{};
  while (steps_ < step && !Ended()) Advance(1, kNoKeys);
  sounds_ = ViewerSounds{};
  sounds_.music = rewind;
}

void Viewer::Draw(Graphics& g) {
  if (g.BeginFrame() < 0) return;
  g.DrawBackground();
  if (run_) {
    GameView::PlaceCamera(run_->g.vars, g.GetCamera());
    g.ApplyCamera();
    view_.DrawField(g, run_->ctx);
    view_.DrawTexts(hud_);
    const FixedStepClock& c = run_->g.vars.clock;
    if (c.nextScene != kFadeIdle) g.FadeQuad(static_cast<uint32_t>(c.fadeAlpha) << 24);
    overlay_.count = 0;
    LayoutOverlay(run_->ctx, overlay_);
    view_.DrawTexts(overlay_);
  }
  g.EndFrame();
}

void Viewer::SetFps(double fps) {
  if (run_) run_->ctx.fps = fps;
}

int32_t Viewer::Score() const { return run_ ? run_->ctx.score : 0; }

ViewerSounds Viewer::TakeSounds() {
  const ViewerSounds s = sounds_;
  sounds_ = ViewerSounds{};
  return s;
}

}  // namespace quadrel
