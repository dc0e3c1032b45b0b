#include "app/SdlWindowSystem.hpp"

#include <SDL.h>

#include "platform/dialog/X11Session.hpp"
#include "platform/render/GameWindow.hpp"

namespace quadrel::app {

bool SdlWindowSystem::PollEvent(WindowEvent& event) {
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    switch (e.type) {
      case SDL_QUIT:
        event = WindowEvent{WindowEvent::Quit};
        return true;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
          event = WindowEvent{WindowEvent::Quit};
          return true;
        }
        break;
      case SDL_KEYDOWN:
        if (e.key.keysym.scancode == SDL_SCANCODE_ESCAPE) {
          event = WindowEvent{WindowEvent::Escape};
          return true;
        }
        break;
      case SDL_MOUSEMOTION: {
        int ww = 0, wh = 0;
        SDL_GetWindowSize(window_, &ww, &wh);
        event = WindowEvent{WindowEvent::MouseMove};
        render::WindowToPicture(e.motion.x, e.motion.y, ww, wh, event.x, event.y);
        return true;
      }
      default:
        break;
    }
  }
  return false;
}

bool SdlWindowSystem::Minimised() {
  return (SDL_GetWindowFlags(window_) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) != 0;
}

void SdlWindowSystem::Idle() { SDL_Delay(1); }

// Leaves the event queued for PollEvent; the input device has seen it already.
// On X11 the wait is on the connection itself, not SDL_WaitEventTimeout: that
// addresses a wake-up to the window over SDL's second connection, which the
// server may take after the window is destroyed at exit (see the message box).
void SdlWindowSystem::WaitForEvent(int milliseconds) {
  SDL_PumpEvents();
  if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) return;
  if (io::WaitForWindowInput(window_, milliseconds) == io::WindowWait::NotX11)
    SDL_WaitEventTimeout(nullptr, milliseconds);
}

bool SdlWindowSystem::HasFocus() {
  return (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void SdlWindowSystem::ShowCursor(bool show) {
  // A hidden cursor takes the mouse relative, so the bar never stops at a
  // screen edge.
  SDL_SetRelativeMouseMode(show ? SDL_FALSE : SDL_TRUE);
  SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

}  // namespace quadrel::app
