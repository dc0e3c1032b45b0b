// The loop's window events and the scenes' window needs on SDL2.
#pragma once

#include "app/Shell.hpp"
#include "scenes/SceneServices.hpp"

struct SDL_Window;

namespace quadrel::app {

class SdlWindowSystem final : public WindowSystem, public SceneWindow {
 public:
  explicit SdlWindowSystem(SDL_Window* window) : window_(window) {}

  bool PollEvent(WindowEvent& event) override;
  bool Minimised() override;
  void Idle() override;
  void WaitForEvent(int milliseconds) override;
  void ShowCursor(bool show) override;
  bool HasFocus() override;

 private:
  SDL_Window* window_;
};

}  // namespace quadrel::app
