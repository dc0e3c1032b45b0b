#include "platform/input/Input.hpp"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/input/KeyCodes.hpp"
#include "platform/input/RawMotion.hpp"

namespace quadrel::io {
namespace {

constexpr uint8_t kDown = 0x80;
// Wheel movement per notch, in the units the mouse record counts.
constexpr int32_t kWheelNotch = 120;

int32_t Saturate(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

InputTracker::InputTracker(bool focused)
    : focused_(focused), mouseAcquired_(focused), keyboardAcquired_(focused) {}

void InputTracker::MoveMouse(int32_t dx, int32_t dy, int32_t dz) {
  std::lock_guard lock(mutex_);
  // Movement counts only while the device is ours, as with a mouse that is
  // released while the window is in the background.
  if (!focused_ || !mouseAcquired_) return;
  dx_ += dx;
  dy_ += dy;
  dz_ += dz;
}

void InputTracker::SetButton(int index, bool down) {
  if (index < 0 || index >= 8) return;
  std::lock_guard lock(mutex_);
  buttons_[index] = down ? kDown : 0;
  if (down) buttonsPressed_[index] = kDown;
}

void InputTracker::SetKey(int code, bool down) {
  if (code <= 0 || code >= 256) return;
  std::lock_guard lock(mutex_);
  keys_[code] = down ? kDown : 0;
  if (down) keysPressed_[code] = kDown;
}

void InputTracker::SetFocus(bool focused) {
  std::lock_guard lock(mutex_);
  if (!focused) {
    // Keys and buttons released elsewhere never report here: forget them.
    mouseAcquired_ = false;
    keyboardAcquired_ = false;
    dx_ = dy_ = dz_ = 0;
    std::memset(buttons_, 0, sizeof buttons_);
    std::memset(keys_, 0, sizeof keys_);
    std::memset(buttonsPressed_, 0, sizeof buttonsPressed_);
    std::memset(keysPressed_, 0, sizeof keysPressed_);
  }
  focused_ = focused;
}

int32_t InputTracker::ReadMouse(MouseState& state) {
  std::lock_guard lock(mutex_);
  if (focused_ && mouseAcquired_) {
    state.lX = Saturate(dx_);
    state.lY = Saturate(dy_);
    state.lZ = Saturate(dz_);
    for (int i = 0; i < 8; ++i) state.rgbButtons[i] = buttons_[i] | buttonsPressed_[i];
    std::memset(buttonsPressed_, 0, sizeof buttonsPressed_);
    dx_ = dy_ = dz_ = 0;
    return kOk;
  }
  // The failed read: zero state, then one attempt to take the device back,
  // which works only while the window has the focus.
  std::memset(&state, 0, sizeof state);
  dx_ = dy_ = dz_ = 0;
  mouseAcquired_ = focused_;
  return focused_ ? kOk : kFail;
}

int32_t InputTracker::ReadKeyboard(KeyboardState& state) {
  std::lock_guard lock(mutex_);
  if (focused_ && keyboardAcquired_) {
    for (int i = 0; i < 256; ++i) state.keys[i] = keys_[i] | keysPressed_[i];
    std::memset(keysPressed_, 0, sizeof keysPressed_);
    return kOk;
  }
  std::memset(&state, 0, sizeof state);
  keyboardAcquired_ = focused_;
  return focused_ ? kOk : kFail;
}

namespace {

int SDLCALL WatchEvents(void* userdata, SDL_Event* event) {
  static_cast<SdlInput*>(userdata)->Handle(*event);
  return 1;
}

// SDL numbers buttons left 1, middle 2, right 3, then the extra ones; the
// mouse record has left, right, middle, then the extra ones.
int ButtonIndex(uint8_t sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    default: return sdlButton >= 4 ? sdlButton - 1 : -1;
  }
}

}  // namespace

SdlInput::SdlInput(uint32_t windowId, bool focused, bool globalPointer,
                   std::unique_ptr<RawMotion> raw)
    : InputTracker(focused),
      windowId_(windowId),
      globalPointer_(globalPointer),
      raw_(std::move(raw)) {
  // Without raw motion a window counts the global pointer: relative counts
  // scaled as the system scales the pointer keep full screen alike where SDL
  // has that scale. The warping relative mode would match it on X11 but
  // misplaces its first movement.
  SDL_SetHint(SDL_HINT_MOUSE_RELATIVE_SYSTEM_SCALE, "1");
  if (raw_) raw_->Listen(focused);
  SDL_AddEventWatch(WatchEvents, this);
}

void SdlInput::SamplePointer() {
  if (SDL_GetRelativeMouseMode()) {
    // The relative events count; a later window starts from a fresh position.
    pointerSeen_ = false;
    if (raw_) raw_->Discard();
    return;
  }
  if (raw_) {
    int dx = 0, dy = 0;
    raw_->Take(dx, dy);
    MoveMouse(dx, dy);  // ignored unless the device is ours (focus)
    return;
  }
  int x = 0, y = 0;
  SDL_GetGlobalMouseState(&x, &y);
  // Ignored unless the device is ours (focus), like any movement.
  if (pointerSeen_) MoveMouse(x - pointerX_, y - pointerY_);
  pointerX_ = x;
  pointerY_ = y;
  pointerSeen_ = true;
}

int32_t SdlInput::ReadMouse(MouseState& state) {
  if (globalPointer_) SamplePointer();
  return InputTracker::ReadMouse(state);
}

SdlInput::~SdlInput() { SDL_DelEventWatch(WatchEvents, this); }

void SdlInput::Handle(const SDL_Event& event) {
  auto ours = [this](uint32_t id) { return windowId_ == 0 || id == windowId_; };
  switch (event.type) {
    case SDL_MOUSEMOTION:
      // Outside relative mode the global pointer is sampled at each read.
      if (ours(event.motion.windowID) && (!globalPointer_ || SDL_GetRelativeMouseMode()))
        MoveMouse(event.motion.xrel, event.motion.yrel);
      break;
    case SDL_MOUSEWHEEL:
      if (ours(event.wheel.windowID)) {
        const int32_t notches =
            event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
        MoveMouse(0, 0, Saturate(int64_t{notches} * kWheelNotch));
      }
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (ours(event.button.windowID)) {
        SetButton(ButtonIndex(event.button.button), event.type == SDL_MOUSEBUTTONDOWN);
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (ours(event.key.windowID)) {
        SetKey(KeyCodeFromScancode(event.key.keysym.scancode), event.type == SDL_KEYDOWN);
      }
      break;
    case SDL_WINDOWEVENT:
      if (!ours(event.window.windowID)) break;
      if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        SetFocus(false);
        pointerSeen_ = false;  // travel in the background never counts
        if (raw_) raw_->Listen(false);
      }
      if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
        if (raw_) raw_->Listen(true);
        SetFocus(true);
      }
      break;
    default:
      break;
  }
}

namespace {

std::unique_ptr<SdlInput> sdlDevice;
InputDevice* device = nullptr;

}  // namespace

int32_t InitInput(SDL_Window* window) {
  ShutdownInput();
  if (!window) return kFail;
  const bool focused = (SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS) != 0;
  sdlDevice = std::make_unique<SdlInput>(SDL_GetWindowID(window), focused, true,
                                         RawMotion::Open(window));
  device = sdlDevice.get();
  return kOk;
}

int32_t InitInput(InputDevice& caller) {
  ShutdownInput();
  device = &caller;
  return kOk;
}

int32_t ReadMouse(MouseState& state) {
  if (device) return device->ReadMouse(state);
  std::memset(&state, 0, sizeof state);
  return kFail;
}

int32_t ReadKeyboard(KeyboardState& state) {
  if (device) return device->ReadKeyboard(state);
  std::memset(&state, 0, sizeof state);
  return kFail;
}

void ShutdownInput() {
  device = nullptr;
  sdlDevice.reset();
}

}  // namespace quadrel::io
