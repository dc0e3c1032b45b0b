// What the game asks of the platform: the input device's records and key
// codes, and the narrow services for sound and input. The game and the
// platform both include this; neither includes the other.
#pragma once

#include <cstdint>

namespace quadrel {

// The input device's mouse record: relative movement and eight button bytes.
struct MouseState {
  int32_t lX, lY, lZ;
  uint8_t rgbButtons[8];
};
static_assert(sizeof(MouseState) == 20);

// 256 key bytes indexed by input-device key code; a set top bit means down.
struct KeyboardState {
  uint8_t keys[256];
};

// Key codes the scenes read.
namespace key {
constexpr int Escape = 0x01;
constexpr int Backspace = 0x0E;
constexpr int Enter = 0x1C;
constexpr int PadEnter = 0x9C;
constexpr int LeftAlt = 0x38;
constexpr int RightAlt = 0xB8;
constexpr int Up = 0xC8;
constexpr int Left = 0xCB;
constexpr int Right = 0xCD;
constexpr int Down = 0xD0;
}  // namespace key

inline bool IsDown(uint8_t b) { return b != 0; }

// Sounds the game scene plays (the step reports which); the platform layer
// plays them.
class GameSound {
 public:
  virtual ~GameSound() = default;
  virtual void PlayHitSound() {}
  virtual void PlayBarSound() {}
  // Intro once, then the loop queued behind it.
  virtual void StartMusic() {}
  virtual void StopAllSound() {}
  // The player's controls, outside the simulation: everything held while the
  // game is paused, and the level of all sound (0..10, 10 = as mixed) or muted.
  virtual void PauseAllSound(bool) {}
  virtual void SetPlayerVolume(int32_t, bool) {}
};

// Mouse and keyboard as the input device reports them.
class GameInputDevice {
 public:
  virtual ~GameInputDevice() = default;
  virtual void ReadMouse(MouseState& state) = 0;
  virtual void ReadKeyboard(KeyboardState& state) = 0;
};

}  // namespace quadrel
