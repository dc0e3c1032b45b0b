#include "Viewer.hpp"

#include "game/GameMain.hpp"
#include "verify/ReplayCheck.hpp"

namespace quadrel {

using namespace render;

namespace {

// The millisecond clock the HUD's all-clear count-up waits on, counted in
// steps: the same replay shows the same count-up at any speed and after a seek.
uint32_t StepMilliseconds(int64_t steps) { return static_cast<uint32_t>(steps * 50 / 3); }

}  // namespace

StepEvents ViewerStep(GameState& g, const KeyboardState& keys, bool countUpDone, ViewerSounds& sounds) {
  StepInput in;
  in.keyboard = keys;
  in.countUpDone = countUpDone;
  const StepEvents ev = Step(g, in);
  if (ev.stopSound) sounds = ViewerSounds{};
  sounds.hits += ev.hits;
  sounds.bars += ev.bars;
  if (ev.startMusic) sounds.music = true;
  return ev;
}

struct Viewer::Run {
  ReplayStore store;
  GameState g{};
  Run() { g.replay = &store; }
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
  GameState& g = run_->g;
  GameReset(g);
  g.replayMode = Playback;
  EnterGameState(g, &kNoFile);
  g.replay->LoadReplayBytes(bytes_.data(), bytes_.size());
  g.replay->ReadInputFrame(g.vars.nextFrame);
  steps_ = 0;
  hudState_ = HudState{};
  pictureRandom_ = Random{};
  hud_.count = 0;
  LayoutHud(g, hudState_, pictureRandom_, StepMilliseconds(0), hud_);
  sounds_ = ViewerSounds{};
  sounds_.music = true;
}

bool Viewer::Ended() const {
  if (!run_) return true;
  const GameState& g = run_->g;
  // An all-clear records nothing more: the game waits for a click once its
  // presentation has counted the bonuses into the score and shown the prompt.
  if (g.phase == AllClear)
    return (hudState_.CountUpDone() && hudState_.alpha >= 255) || steps_ >= kAllClearStepLimit;
  // Any other playback ends at its leaving click and fades out as the game does.
  return steps_ >= stepLimit_ || (g.replayMode != Playback && FadeOutComplete(g.vars.clock));
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
    ViewerStep(run_->g, keys, hudState_.CountUpDone(), sounds_);
    ++steps_;
    ++done;
    // Laid out after every step, drawn or not: the count-up it drives then
    // reaches the same score however the steps were shown.
    hud_.count = 0;
    LayoutHud(run_->g, hudState_, pictureRandom_, StepMilliseconds(steps_), hud_);
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
    view_.DrawField(g, run_->g);
    view_.DrawTexts(hud_);
    const FixedStepClock& c = run_->g.vars.clock;
    if (c.nextScene != kFadeIdle) g.FadeQuad(static_cast<uint32_t>(c.fadeAlpha) << 24);
    overlay_.count = 0;
    LayoutOverlay(run_->g, fps_, overlay_);
    view_.DrawTexts(overlay_);
  }
  g.EndFrame();
}

void Viewer::SetFps(double fps) { fps_ = fps; }

int32_t Viewer::Score() const { return run_ ? WrappingAdd(run_->g.score, hudState_.moved) : 0; }

ViewerSounds Viewer::TakeSounds() {
  const ViewerSounds s = sounds_;
  sounds_ = ViewerSounds{};
  return s;
}

}  // namespace quadrel
