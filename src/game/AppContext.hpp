// The one application record every scene tick receives.
#pragma once

#include <ctime>

#include "game/Types.hpp"

namespace quadrel {

struct AppContext {
  // Shell and window (the platform layer fills what it needs).
  int32_t windowWidth;
  int32_t windowHeight;
  int32_t fullScreen;
  double gapMarker;  // 99.0 once a playback has diverged
  int32_t now;
  int32_t secondBase;
  double fps;
  int32_t drawnThisSecond;
  int32_t frameNumber;  // steps since the game scene was entered
  int32_t replayMode;
  int32_t mouseX;
  int32_t mouseY;
  std::time_t finishTime;
  std::tm finishLocalTime;

  Bar bars[kBarCount];
  Ball balls[kBallSlots];
  Block blocks[kBlockCount];
  Item items[kItemSlots];

  int32_t scene;
  int32_t phase;
  int32_t score;
  int32_t level;
  int32_t ballStock;
  int32_t ballsLaunched;
  int32_t ballsLost;
  int32_t blocksCleared;
  int32_t descendCountdown;
  int32_t descendRows;
  int32_t colourTable[kBlockCount];
  int32_t reachedLevel;

  int32_t BallsInPlay() const { return ballsLaunched - ballsLost; }
};

}  // namespace quadrel
