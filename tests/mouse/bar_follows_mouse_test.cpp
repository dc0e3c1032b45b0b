// The bar and the mouse on a private Xvfb display, moved with xdotool like a
// hand on a mouse: in a window the bar keeps following while the pointer is
// outside the client area and when it comes back in, the same movement moves
// the bar as far in a window as in full screen (hidden cursor, relative
// mode), and movement while another window has the focus never counts.
#include <SDL.h>
#include <dlfcn.h>
#include <link.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "XvfbDisplay.hpp"
#include "app/SdlWindowSystem.hpp"
#include "game/GameMain.hpp"
#include "platform/render/GameWindow.hpp"
#include "platform/render/HeadlessGraphics.hpp"
#include "platform/input/Input.hpp"
#include "replay/ReplayStore.hpp"
#include "scenes/GameSceneTick.hpp"

namespace quadrel::test {
namespace {

struct NoSound : GameSound {
  void PlayHitSound() override {}
  void PlayBarSound() override {}
  void StartMusic() override {}
  void StopAllSound() override {}
};

void Xdotool(const std::string& args) {
  ASSERT_EQ(std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()), 0) << args;
}

class BarFollowsMouse : public ::testing::Test {
 protected:
  static testing::XvfbDisplay& Display() {
    static testing::XvfbDisplay display;
    return display;
  }
  void SetUp() override {
    ASSERT_TRUE(Display().Ok()) << "Xvfb did not start";
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    window_ = render::CreateGameWindow(false);
    ASSERT_NE(window_, nullptr) << SDL_GetError();
    SDL_SetWindowPosition(window_, 192, 144);
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    // No window manager: give the window the focus by hand, and wait for it.
    for (int i = 0; i < 200 && !(SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS); ++i) {
      SDL_SetWindowInputFocus(window_);
      Pump();
    }
    ASSERT_TRUE(SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS);
    ASSERT_EQ(io::InitInput(window_), io::kOk);
    system_ = std::make_unique<app::SdlWindowSystem>(window_);
    services_ = std::make_unique<SceneServices>(SceneServices{graphics_, input_, clock_, *system_});
    GameReset(game_);
    scene_ = std::make_unique<GameSceneTick>(*services_, game_, sound_, [] { return 0; });
    graphics_.InitDirect3D(0);
    ctx_.fullScreen = 0;
    ctx_.replayMode = Recording;
    ASSERT_EQ(scene_->Initialise(ctx_), 0);
    while (ctx_.phase == LevelIntro) Step();
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
  // The pointer moved by dx, then one step: how far the bar went.
  double MoveAndStep(int dx) {
    const double before = ctx_.bars[0].x;
    Xdotool("mousemove_relative -- " + std::to_string(dx) + " 0");
    Step();
    return ctx_.bars[0].x - before;
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
  Random rng_{3};
  GameScene game_{ctx_, store_, rng_};
  NoSound sound_;
  std::unique_ptr<GameSceneTick> scene_;
};

TEST_F(BarFollowsMouse, OutsideTheWindowBackInsideAndInFullScreenAlike) {
  // The pointer starts left of the client area, 8 moves from the inside.
  int left = 0, top = 0;
  SDL_GetWindowPosition(window_, &left, &top);
  Xdotool("mousemove " + std::to_string(left - 27) + " " + std::to_string(top + 100));
  // SDL notices a warp at the next movement of the device.
  Xdotool("mousemove_relative -- 1 0");
  Xdotool("mousemove_relative -- -1 0");
  for (int i = 0; i < 3; ++i) Step();
  ctx_.bars[0].x = 0;  // the jump there is not a hand's movement
  std::vector<double> window;
  std::vector<int> pointer;
  for (int i = 0; i < 8; ++i) {
    window.push_back(MoveAndStep(6));
    pointer.push_back(PointerX());
  }
  ASSERT_LT(pointer[0], left);
  ASSERT_GT(pointer.back(), left);  // came into the client area on the way
  for (size_t i = 0; i < window.size(); ++i) {
    SCOPED_TRACE("step " + std::to_string(i) + ", pointer at " + std::to_string(pointer[i]));
    EXPECT_GT(window[i], 0.0);
    EXPECT_DOUBLE_EQ(window[i], window[0]);  // no step lost, none doubled
  }
  // Back to the left, every step of it.
  for (int i = 0; i < 8; ++i) EXPECT_DOUBLE_EQ(MoveAndStep(-6), -window[0]);
  EXPECT_TRUE(SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE);  // the game shows the cursor in a window
  EXPECT_FALSE(SDL_GetRelativeMouseMode());

  // Full screen: the game hides the cursor and takes the mouse relative.
  ctx_.fullScreen = 1;
  scene_->ChangeMode(ctx_);
  SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
  Step();
  Step();
  ASSERT_TRUE(SDL_GetRelativeMouseMode());
  for (int i = 0; i < 8; ++i) EXPECT_DOUBLE_EQ(MoveAndStep(6), window[0]) << "step " << i;
  for (int i = 0; i < 8; ++i) EXPECT_DOUBLE_EQ(MoveAndStep(-6), -window[0]) << "step " << i;
  std::printf("bar per 6-pixel move: %g in a window, in full screen alike\n", window[0]);
}

// Movement while another window has the focus never reaches the bar, not
// even as a jump when the focus comes back; the first step back reads
// nothing, the next ones follow the hand again.
TEST_F(BarFollowsMouse, MovementInTheBackgroundNeverCounts) {
  const double step = MoveAndStep(6);
  ASSERT_GT(step, 0.0);
  SDL_Window* other = SDL_CreateWindow("other", 0, 0, 100, 100, SDL_WINDOW_SHOWN);
  ASSERT_NE(other, nullptr) << SDL_GetError();
  auto focus = [&](SDL_Window* w) {
    for (int i = 0; i < 200 && !(SDL_GetWindowFlags(w) & SDL_WINDOW_INPUT_FOCUS); ++i) {
      SDL_SetWindowInputFocus(w);
      Pump();
    }
    return (SDL_GetWindowFlags(w) & SDL_WINDOW_INPUT_FOCUS) != 0;
  };
  ASSERT_TRUE(focus(other));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(MoveAndStep(-40), 0.0) << "background step " << i;
  ASSERT_TRUE(focus(window_));
  // Losing the focus paused the game; the player resumes it.
  ASSERT_TRUE(scene_->Paused());
  scene_->pause().Resume(ctx_);
  EXPECT_EQ(MoveAndStep(6), 0.0);  // the device is taken back
  for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(MoveAndStep(6), step) << "step " << i;
  SDL_DestroyWindow(other);
}

}  // namespace
}  // namespace quadrel::test
