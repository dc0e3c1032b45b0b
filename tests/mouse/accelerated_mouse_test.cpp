// The bar under a desktop that accelerates the pointer (`xset m 4 1`): the
// bar follows the mouse's own counts, so the same hand movement moves it as
// far in a window as in full screen, also while the pointer is outside the
// client area, however far the accelerated pointer goes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "MouseGame.hpp"
#include "XorgMouseDisplay.hpp"

namespace quadrel::test {
namespace {

class AcceleratedMouse : public MouseGame {
 protected:
  static testing::XorgMouseDisplay& Display() {
    static testing::XorgMouseDisplay display;
    return display;
  }
  void SetUp() override {
    ASSERT_TRUE(Display().Ok()) << "Xorg did not start: " << Display().LogTail();
    setenv("DISPLAY", Display().Display().c_str(), 1);
    Display().SetAcceleration(4, 1, 1);
    StartGame();
  }
  void Move(int dx) override { ASSERT_TRUE(Display().Move(dx)) << "the mouse report was lost"; }
};

TEST_F(AcceleratedMouse, SameHandMovementSameBarDistanceInAWindowAndInFullScreen) {
  int left = 0, top = 0;
  SDL_GetWindowPosition(window_, &left, &top);
  Display().Warp(left - 60, top + 100);
  // SDL notices a warp at the next movement of the device (where the pointer
  // is read); these two cancel out in raw counts.
  Xdotool("mousemove_relative -- 1 0");
  Xdotool("mousemove_relative -- -1 0");
  for (int i = 0; i < 3; ++i) Step();
  game_.bars[0].x = 0;  // the jump there is not a hand's movement
  const int start = Display().PointerX();
  ASSERT_EQ(start, left - 60);
  std::vector<double> window;
  std::vector<int> pointer;
  for (int i = 0; i < 8; ++i) {
    window.push_back(MoveAndStep(6));
    pointer.push_back(Display().PointerX());
  }
  // The desktop does accelerate: the pointer went much further than the
  // mouse's 48 counts, out of the client area's left edge and into it.
  const int travel = pointer.back() - start;
  EXPECT_GT(travel, 48 * 3 / 2);
  ASSERT_LT(pointer[0], left);
  ASSERT_GT(pointer.back(), left);
  for (size_t i = 0; i < window.size(); ++i) {
    SCOPED_TRACE("step " + std::to_string(i) + ", pointer at " + std::to_string(pointer[i]));
    EXPECT_GT(window[i], 0.0);
    EXPECT_DOUBLE_EQ(window[i], window[0]);
  }
  for (int i = 0; i < 8; ++i) EXPECT_DOUBLE_EQ(MoveAndStep(-6), -window[0]) << "step " << i;
  // Unaccelerated motion of the same size (XTest's) counts as much.
  const double before = game_.bars[0].x;
  Xdotool("mousemove_relative -- 6 0");
  Step();
  EXPECT_DOUBLE_EQ(game_.bars[0].x - before, window[0]);

  GoFullScreen();
  if (HasFatalFailure()) return;
  std::vector<double> full;
  for (int i = 0; i < 8; ++i) full.push_back(MoveAndStep(6));
  for (int i = 0; i < 8; ++i) full.push_back(-MoveAndStep(-6));
  for (size_t i = 0; i < full.size(); ++i) EXPECT_DOUBLE_EQ(full[i], window[0]) << "step " << i;
  std::printf("mouse 48 counts, pointer %d pixels; bar per 6 counts: %g in a window, %g in full "
              "screen\n",
              travel, window[0], full[0]);
}

}  // namespace
}  // namespace quadrel::test
