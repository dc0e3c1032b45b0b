// Mouse and keyboard as the scenes poll them: relative mouse movement since
// the previous read with eight button bytes, and 256 key bytes by key code.
// A read while the window lacks input focus gives the all-zero state, and so
// does the first read after the focus comes back (the device is taken back
// then); reading resumes with the next one.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "base/GamePorts.hpp"
#include "base/IoResult.hpp"
#include "platform/input/RawMotion.hpp"

struct SDL_Window;
union SDL_Event;

namespace quadrel::io {

// What ReadMouse and ReadKeyboard reach.
class InputDevice {
 public:
  virtual ~InputDevice() = default;
  virtual int32_t ReadMouse(MouseState& state) = 0;
  virtual int32_t ReadKeyboard(KeyboardState& state) = 0;
};

// Collects movement, buttons, keys and focus between two reads. Thread-safe:
// events may be fed from another thread than the one that reads.
class InputTracker : public InputDevice {
 public:
  explicit InputTracker(bool focused = true);

  int32_t ReadMouse(MouseState& state) override;
  int32_t ReadKeyboard(KeyboardState& state) override;

 protected:
  void MoveMouse(int32_t dx, int32_t dy, int32_t dz = 0);
  // index 0 left, 1 right, 2 middle, 3.. extra buttons; others are ignored.
  void SetButton(int index, bool down);
  void SetKey(int code, bool down);
  void SetFocus(bool focused);

 private:
  std::mutex mutex_;
  bool focused_;
  bool mouseAcquired_;
  bool keyboardAcquired_;
  int64_t dx_ = 0, dy_ = 0, dz_ = 0;
  uint8_t buttons_[8] = {};
  uint8_t keys_[256] = {};
  // Pressed since the last read: a tap shorter than a step still reads as
  // down once, so no click or key press is lost between two reads.
  uint8_t buttonsPressed_[8] = {};
  uint8_t keysPressed_[256] = {};
};

// Fed by an SDL event watch, so the program's event pump needs no part in it.
// With the mouse in relative mode (the hidden cursor of the full-screen game)
// movement comes from SDL's relative events, the mouse's own counts on X11.
// Otherwise each read takes the mouse's movement since the previous one,
// wherever the pointer is, as long as the window has the focus: the same raw
// counts where the X server gives them (RawMotion), else the global
// pointer's travel. So a hand movement counts alike in a window and in full
// screen, whatever pointer acceleration the desktop sets.
class SdlInput final : public InputTracker {
 public:
  // Events of other windows are ignored; windowId 0 takes every window's.
  // globalPointer: outside relative mode, movement is the mouse's raw motion
  // when given, else the global pointer's travel (the program's window);
  // without it, every motion event counts.
  SdlInput(uint32_t windowId, bool focused, bool globalPointer = false,
           std::unique_ptr<RawMotion> raw = nullptr);
  ~SdlInput() override;
  SdlInput(const SdlInput&) = delete;
  SdlInput& operator=(const SdlInput&) = delete;

  int32_t ReadMouse(MouseState& state) override;
  void Handle(const SDL_Event& event);

 private:
  void SamplePointer();

  uint32_t windowId_;
  bool globalPointer_;
  std::unique_ptr<RawMotion> raw_;
  // The global pointer position of the previous read, while it is valid.
  std::atomic<bool> pointerSeen_{false};
  int pointerX_ = 0, pointerY_ = 0;
};

// The process-wide input device the free functions below use.
// InitInput(window): the SDL device for that window (kFail without a window).
// InitInput(device): a device owned by the caller.
int32_t InitInput(SDL_Window* window);
int32_t InitInput(InputDevice& device);
// Without a device both reads give the all-zero state and kFail.
int32_t ReadMouse(MouseState& state);
int32_t ReadKeyboard(KeyboardState& state);
void ShutdownInput();

// The game scene's view of the input layer.
class PlatformGameInput final : public GameInputDevice {
 public:
  void ReadMouse(MouseState& state) override { io::ReadMouse(state); }
  void ReadKeyboard(KeyboardState& state) override { io::ReadKeyboard(state); }
};

}  // namespace quadrel::io
