#include "scenes/GamePause.hpp"

#include <cstdio>

namespace quadrel {

void GamePause::Enter() {
  paused_ = false;
  held_ = false;
  redraw_ = false;
  noticeShown_ = false;
  pausedTime_ = 0;
  hadFocus_ = s_.window.HasFocus();
  // Keys still down from the previous scene are no press.
  keys_.HoldAll();
  sound_.PauseAllSound(false);
  sound_.SetPlayerVolume(s_.settings.volume, s_.settings.muted);
}

void GamePause::TakeKeys(AppContext& ctx, const KeyboardState& keys) {
  held_ = paused_;
  keys_.TakeKeys(keys);
  if (TakeSoundKeys(s_.settings, keys_)) SoundChanged();

  // A recorded game would lose its ball while the player is elsewhere; a
  // playback may run on.
  const bool focused = s_.window.HasFocus();
  const bool focusLost = hadFocus_ && !focused;
  hadFocus_ = focused;
  if (keys_.KeyPressed(playerKey::P)) {
    if (paused_) {
      Resume(ctx);
    } else {
      Pause();
    }
  } else if (focusLost && ctx.replayMode == Recording) {
    Pause();
  }
}

void GamePause::Pause() {
  if (paused_) return;
  paused_ = true;
  held_ = true;
  redraw_ = true;
  pausedAt_ = s_.clock.Milliseconds();
  sound_.PauseAllSound(true);
  s_.window.ShowCursor(true);
}

void GamePause::Resume(const AppContext& ctx) {
  if (!paused_) return;
  paused_ = false;
  held_ = true;  // the step that resumes is no step of the game yet
  redraw_ = true;
  pausedTime_ += s_.clock.Milliseconds() - pausedAt_;
  sound_.PauseAllSound(false);
  s_.window.ShowCursor(ctx.fullScreen == 0);
}

void GamePause::Leave() {
  paused_ = false;
  held_ = true;
  redraw_ = true;
  sound_.PauseAllSound(false);
}

void GamePause::SoundChanged() {
  const PlayerSettings& settings = s_.settings;
  sound_.SetPlayerVolume(settings.volume, settings.muted);
  s_.saveSettings(settings);
  noticeUntil_ = s_.clock.Milliseconds() + kVolumeNoticeTime;
  noticeShown_ = true;
  redraw_ = true;
}

uint32_t GamePause::TakePausedTime() {
  const uint32_t time = pausedTime_;
  pausedTime_ = 0;
  return time;
}

bool GamePause::DrawDue() {
  const uint32_t now = s_.clock.Milliseconds();
  if (!redraw_ && now - lastDraw_ < kPausedFramePeriod) return false;
  redraw_ = false;
  lastDraw_ = now;
  return true;
}

void GamePause::Layout(HudLayout& out) {
  if (paused_) {
    std::snprintf(out.AddShadowed(HudFont::Big, 320, kPauseBannerY, textFormat::Center, 0xFF96C8FF).text,
                  sizeof(HudText::text), "P A U S E");
    std::snprintf(out.Add(HudFont::Small, 320, kPauseHintY, textFormat::Center, 0xFFFFFF00).text,
                  sizeof(HudText::text), "[ P ] to resume");
  }
  if (noticeShown_) {
    const uint32_t now = s_.clock.Milliseconds();
    if (static_cast<int32_t>(noticeUntil_ - now) <= 0) {
      noticeShown_ = false;
      return;
    }
    const PlayerSettings& settings = s_.settings;
    HudText& t = out.Add(HudFont::Small, 320, 4, textFormat::Center, 0xFFFFFF00);
    if (settings.muted) {
      std::snprintf(t.text, sizeof t.text, "SOUND OFF");
    } else {
      std::snprintf(t.text, sizeof t.text, "VOLUME %d / %d", settings.volume, kVolumeSteps);
    }
  }
}

}  // namespace quadrel
