// The shell's record every scene tick receives: window, clock, scene, pointer,
// and what one scene hands the next (how the game runs, the finished game's
// result, which replay to play). The rules' own state is the GameState.
#pragma once

#include <ctime>

#include "game/Types.hpp"

namespace quadrel {

struct AppContext {
  int32_t windowWidth;
  int32_t windowHeight;
  int32_t fullScreen;
  int32_t now;
  int32_t secondBase;
  double fps;
  int32_t drawnThisSecond;
  int32_t scene;
  int32_t mouseX;
  int32_t mouseY;
  // Set by the menus for the next game; the game scene hands back how it ended.
  int32_t replayMode;
  // The game that ended last, for the ranking.
  int32_t score;
  int32_t reachedLevel;
  std::time_t finishTime;
  std::tm finishLocalTime;
};

}  // namespace quadrel
