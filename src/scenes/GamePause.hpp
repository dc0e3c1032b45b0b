// The player's own controls in the game scene, beside the simulation: P
// pauses and resumes (a recorded game also pauses when the window loses the
// focus), M mutes, - and + step the sound level. While paused the steps only
// read the keys: nothing is simulated or recorded, the sound holds, the
// cursor is free and the frozen field is drawn a few times a second.
#pragma once

#include <cstdint>

#include "game/GameHud.hpp"
#include "scenes/SceneServices.hpp"
#include "scenes/SceneSetup.hpp"

namespace quadrel {

// A paused field is redrawn this often (milliseconds); a change redraws at once.
constexpr uint32_t kPausedFramePeriod = 500;
// How long the sound level stays on the screen after a change.
constexpr uint32_t kVolumeNoticeTime = 1000;
// The frozen field is dimmed under the pause banner.
constexpr uint32_t kPauseDimColour = 0x80000000;
// The pause texts keep to a band of their own below every phase banner and
// above the FPS line, so they never cover the game's own texts.
constexpr int32_t kPauseBannerY = 380;
constexpr int32_t kPauseHintY = 420;

class GamePause {
 public:
  GamePause(SceneServices& services, GameSound& sound) : s_(services), sound_(sound) {}

  // Scene entry: running, the sound going at the player's level.
  void Enter();
  // This step's keys, read before the game's input: the sound keys, P, and
  // the loss of the focus. Afterwards Held() says whether the step is held.
  void TakeKeys(AppContext& ctx, const KeyboardState& keys);
  // A step that reads no keys (a fade-out) is held only when paused.
  void NoKeys() { held_ = paused_; }
  void Pause();
  void Resume(const AppContext& ctx);
  // Leaving the scene from a pause (Backspace): the sound goes on, the next
  // scene sets its cursor.
  void Leave();

  bool Paused() const { return paused_; }
  // The step only reads the keys: paused, or the step that resumed.
  bool Held() const { return held_; }
  // A held step draws after a change, else every kPausedFramePeriod.
  bool DrawDue();
  // Milliseconds the pause that ended last lasted; 0 once taken, or when
  // none has ended since.
  uint32_t TakePausedTime();
  // "P A U S E" and its hint while paused; the sound level for a second
  // after a change.
  void Layout(HudLayout& out);

 private:
  void SoundChanged();

  SceneServices& s_;
  GameSound& sound_;
  bool paused_ = false;
  bool held_ = false;
  bool redraw_ = false;
  bool hadFocus_ = true;
  uint32_t lastDraw_ = 0;
  uint32_t pausedAt_ = 0;
  uint32_t pausedTime_ = 0;
  uint32_t noticeUntil_ = 0;
  bool noticeShown_ = false;
  InputEdges keys_;
};

}  // namespace quadrel
