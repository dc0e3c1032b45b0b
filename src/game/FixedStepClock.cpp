#include "game/FixedStepClock.hpp"

namespace quadrel {

void BeginFadeIn(FixedStepClock& clock) {
  // 254, one below the value at which a draw hands over, so a fade-in never ends the scene.
  clock.nextScene = kFadingIn;
  clock.fadeAlpha = 254;
}

void AdvanceFade(FixedStepClock& clock) {
  if (clock.nextScene >= 0) {
    clock.fadeAlpha += 8;
    if (clock.fadeAlpha > 255) clock.fadeAlpha = 255;
  } else {
    clock.fadeAlpha -= 8;
    if (clock.fadeAlpha < 0) {
      clock.fadeAlpha = 0;
      clock.nextScene = kFadeIdle;
    }
  }
}

}  // namespace quadrel
