// Shared game types: the game's exits, phase numbers, the game objects, the input
// records and the per-step replay record.
#pragma once

#include <array>
#include <cstdint>

#include "base/GamePorts.hpp"
#include "replay/ReplayFormat.hpp"

namespace quadrel {

// Where the game goes when its fade-out ends; the game scene maps it to a scene.
enum GameExit : int32_t { Title = 0, Game = 1, Ranking = 2 };

enum ReplayMode : int32_t { Off = 0, Recording = 1, Playback = 2, PlaybackEnded = 3 };

enum GamePhase : int32_t { Playing = 0, AllClear = 1, GameOver = 2, LevelIntro = 3, Revive = 5 };

enum BarState : int32_t { BarNormal = 0, BarAppearing = 1, BarVanishing = 2 };

enum BlockState : int32_t { Resting = 0, Struck = 1, Cleared = 2, Settling = 4, Dodging = 8 };

enum ItemKind : int32_t { NoItem = 0, OptionItem = 1, ExtendItem = 2 };

constexpr int kBarCount = 3;
constexpr int kBallSlots = 15;
constexpr int kBlockCount = 100;
constexpr int kItemSlots = 10;
constexpr int kHistoryLength = 10;

struct Bar {
  double x, y, z;
  double scale;
  int32_t active;
  int32_t barState;
  double history[kHistoryLength];
  int32_t lifetime;
};

struct Ball {
  double x, y, z;
  double scale;
  double vx, vy;
  double speed;
  int32_t launched;
  int32_t lost;
};

struct Block {
  double x, y, z;
  double scale;
  double angle;
  double fallVelocity;
  int32_t alive;
  int32_t state;
  int32_t itemKind;
};

struct Item {
  double x, y, z;
  double scale;
  double angle;
  int32_t active;
  int32_t caught;
  int32_t kind;
};

}  // namespace quadrel
