// The fixed 60 Hz step every scene runs on and the fade hand-over between
// scenes. The game core keeps its own clock in its state; the scene tick that
// drives the clocks lives with the scenes.
#pragma once

#include <cstdint>

namespace quadrel {

constexpr int32_t kFadingIn = -1;
constexpr int32_t kFadeIdle = -2;

// Each scene's own clock and fade state.
struct FixedStepClock {
  double stepLength = 1000.0 / 60.0;  // milliseconds per update step
  int32_t stepsThisSecond = 0;
  int32_t nextScene = kFadingIn;  // -1 fading in, -2 idle, 0..3 fading out toward that scene
  int32_t fadeAlpha = 0;          // opacity of the full-screen fade quad
};

// The scene entry: fade in from almost black.
void BeginFadeIn(FixedStepClock& clock);
// One update step of the fade: in by 8 until idle, or out by 8 up to 255.
void AdvanceFade(FixedStepClock& clock);
// A draw that finds the fade complete hands the scene over.
inline bool FadeOutComplete(const FixedStepClock& clock) {
  return clock.nextScene >= 0 && clock.fadeAlpha == 255;
}

}  // namespace quadrel
