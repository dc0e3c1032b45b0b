// The bar and the mouse on a private Xvfb display, moved with xdotool like a
// hand on a mouse: in a window the bar keeps following while the pointer is
// outside the client area and when it comes back in, the same movement moves
// the bar as far in a window as in full screen (hidden cursor, relative
// mode), and movement while another window has the focus never counts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "MouseGame.hpp"
#include "XvfbDisplay.hpp"

namespace quadrel::test {
namespace {

// xdotool moves the pointer as XTest does: never accelerated.
class BarFollowsMouse : public MouseGame {
 protected:
  static testing::XvfbDisplay& Display() {
    static testing::XvfbDisplay display;
    return display;
  }
  void SetUp() override {
    ASSERT_TRUE(Display().Ok()) << "Xvfb did not start";
    setenv("DISPLAY", Display().Display().c_str(), 1);
    StartGame();
  }
  void Move(int dx) override { Xdotool("mousemove_relative -- " + std::to_string(dx) + " 0"); }
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
  game_.bars[0].x = 0;  // the jump there is not a hand's movement
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
  GoFullScreen();
  if (HasFatalFailure()) return;
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
  ASSERT_TRUE(Focus(other));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(MoveAndStep(-40), 0.0) << "background step " << i;
  ASSERT_TRUE(Focus(window_));
  // Losing the focus paused the game; the player resumes it.
  ASSERT_TRUE(scene_->Paused());
  scene_->pause().Resume(ctx_);
  EXPECT_EQ(MoveAndStep(6), 0.0);  // the device is taken back
  for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(MoveAndStep(6), step) << "step " << i;
  SDL_DestroyWindow(other);
}

}  // namespace
}  // namespace quadrel::test
