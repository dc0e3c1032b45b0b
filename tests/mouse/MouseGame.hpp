// A game scene in a real SDL window, read through the real input layer, on a
// display the test started and moved by a hand the test provides: what the
// mouse tests share.
#pragma once

#include <SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/SdlWindowSystem.hpp"
#include "game/GameMain.hpp"
#include "platform/input/Input.hpp"
#include "platform/render/GameWindow.hpp"
#include "platform/render/HeadlessGraphics.hpp"
#include "replay/ReplayStore.hpp"
#include "scenes/GameSceneTick.hpp"

namespace quadrel::test {

struct NoSound : GameSound {
  void PlayHitSound() override {}
  void PlayBarSound() override {}
  void StartMusic() override {}
  void StopAllSound() override {}
};

inline void Xdotool(const std::string& args) {
  ASSERT_EQ(std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()), 0) << args;
}

class MouseGame : public ::testing::Test {
 protected:
  // The hand: the mouse moved by dx counts to the right.
  virtual void Move(int dx) = 0;

  // A window at (192, 144) with the focus, the input on it and a game in a
  // window waiting for its first ball. DISPLAY names the test's display.
  void StartGame() {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    window_ = render::CreateGameWindow(false);
    ASSERT_NE(window_, nullptr) << SDL_GetError();
    SDL_SetWindowPosition(window_, 192, 144);
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    // No window manager: give the window the focus by hand, and wait for it.
    ASSERT_TRUE(Focus(window_));
    ASSERT_EQ(io::InitInput(window_), io::kOk);
    system_ = std::make_unique<app::SdlWindowSystem>(window_);
    services_ = std::make_unique<SceneServices>(SceneServices{graphics_, input_, clock_, *system_});
    game_.replay = &store_;
    game_.gameRandom.Seed(3);
    GameReset(game_);
    scene_ = std::make_unique<GameSceneTick>(*services_, game_, sound_, [] { return 0; });
    graphics_.InitDirect3D(0);
    ctx_.fullScreen = 0;
    ctx_.replayMode = Recording;
    ASSERT_EQ(scene_->Initialise(ctx_), 0);
    while (game_.phase == LevelIntro) Step();
  }
  void TearDown() override {
    scene_.reset();
    io::ShutdownInput();
    SDL_SetRelativeMouseMode(SDL_FALSE);
    if (window_) SDL_DestroyWindow(window_);
    PinLoadedLibraries();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  // SDL unloads the X11 extension libraries it opened when video quits; kept
  // mapped, their process-lifetime allocations are named (and suppressed) in
  // the sanitizers' leak check at exit instead of showing as an unknown module.
  static void PinLoadedLibraries() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) -> int {
          if (info->dlpi_name && info->dlpi_name[0])
            dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
          return 0;
        },
        nullptr);
  }
  bool Focus(SDL_Window* window) {
    for (int i = 0; i < 200 && !(SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS); ++i) {
      SDL_SetWindowInputFocus(window);
      Pump();
    }
    return (SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS) != 0;
  }
  void Pump() {
    SDL_Delay(10);
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  }
  // One logic step as the game's tick runs it.
  void Step() {
    Pump();
    scene_->StepInput(ctx_);
    scene_->Update(ctx_);
    clock_.Advance(16);
  }
  // The mouse moved by dx, then one step: how far the bar went.
  double MoveAndStep(int dx) {
    const double before = game_.bars[0].x;
    Move(dx);
    Step();
    return game_.bars[0].x - before;
  }
  // Full screen as Alt+Enter makes it: hidden cursor, the mouse relative.
  void GoFullScreen() {
    ctx_.fullScreen = 1;
    scene_->ChangeMode(ctx_);
    SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
    Step();
    Step();
    ASSERT_TRUE(SDL_GetRelativeMouseMode());
  }
  int PointerX() {
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    return x;
  }

  SDL_Window* window_ = nullptr;
  render::HeadlessGraphics graphics_;
  io::PlatformGameInput input_;
  platform::FakeClock clock_{100000};
  std::unique_ptr<app::SdlWindowSystem> system_;
  std::unique_ptr<SceneServices> services_;
  AppContext ctx_{};
  ReplayStore store_;
  GameState game_{};
  NoSound sound_;
  std::unique_ptr<GameSceneTick> scene_;
};

}  // namespace quadrel::test
