// The fade hand-over of the fixed-step clock, and the random generator.
#include <gtest/gtest.h>

#include "game/FixedStepClock.hpp"
#include "game/Random.hpp"
#include "game/Types.hpp"

namespace quadrel {
namespace {

TEST(Fade, InFrom254InThirtyTwoStepsOutBy8ToCompletion) {
  FixedStepClock c;
  BeginFadeIn(c);
  EXPECT_EQ(c.fadeAlpha, 254);
  int steps = 0;
  while (c.nextScene != kFadeIdle) {
    AdvanceFade(c);
    ++steps;
  }
  EXPECT_EQ(steps, 32);
  EXPECT_EQ(c.fadeAlpha, 0);
  c.nextScene = Ranking;
  for (int i = 0; i < 31; ++i) AdvanceFade(c);
  EXPECT_EQ(c.fadeAlpha, 248);
  EXPECT_FALSE(FadeOutComplete(c));
  AdvanceFade(c);
  EXPECT_EQ(c.fadeAlpha, 255);
  EXPECT_TRUE(FadeOutComplete(c));
  // A fade-in never completes a hand-over.
  BeginFadeIn(c);
  EXPECT_FALSE(FadeOutComplete(c));
}

TEST(RandomGenerator, IsTheClassicLinearCongruentialSequence) {
  Random r(1);
  EXPECT_EQ(r.Next(), 41);
  EXPECT_EQ(r.Next(), 18467);
  EXPECT_EQ(r.Next(), 6334);
  EXPECT_EQ(r.Next(), 26500);
  Random zero(0);
  EXPECT_EQ(zero.Next(), 38);
  for (int i = 0; i < 1000; ++i) {
    const int v = zero.Next();
    EXPECT_GE(v, 0);
    EXPECT_LE(v, 0x7FFF);
  }
}

}  // namespace
}  // namespace quadrel
