// The maths-library-free cosine and sine stay within a few ulps of the C
// library's, and give the camera the same single-precision eye.
#include <gtest/gtest.h>

#include <cmath>

#include "game/Turns.hpp"

namespace quadrel {
namespace {

// A few ulps of the result plus the absolute error the reduction leaves.
double Tolerance(double expected) { return 4.0 * std::fabs(expected) * 0x1p-52 + 0x1p-54; }

TEST(PortableCosSin, MatchesTheLibraryOverManyTurns) {
  int checked = 0;
  for (double a = -1000.0; a <= 1000.0; a += 0.0137) {
    double c, s;
    PortableCosSin(a, c, s);
    ASSERT_NEAR(c, std::cos(a), Tolerance(std::cos(a))) << a;
    ASSERT_NEAR(s, std::sin(a), Tolerance(std::sin(a))) << a;
    ++checked;
  }
  EXPECT_GT(checked, 100000);
}

TEST(PortableCosSin, QuadrantEdgesAndSmallAngles) {
  for (double a : {0.0, -0.0, 1e-300, 0x1.921fb54442d18p-1, 0x1.921fb54442d18p+0,
                   0x1.921fb54442d18p+1, -0x1.921fb54442d18p+1, 4.71238898038469, 1e5}) {
    double c, s;
    PortableCosSin(a, c, s);
    EXPECT_NEAR(c, std::cos(a), Tolerance(std::cos(a))) << a;
    EXPECT_NEAR(s, std::sin(a), Tolerance(std::sin(a))) << a;
  }
  double c, s;
  PortableCosSin(0.0, c, s);
  EXPECT_EQ(c, 1.0);
  EXPECT_EQ(s, 0.0);
}

TEST(PortableCosSin, OutOfRangeGivesNaNNotACrash) {
  for (double a : {double(INFINITY), double(-INFINITY), double(NAN), 1e300, -2e15}) {
    double c = 0.0, s = 0.0;
    PortableCosSin(a, c, s);
    EXPECT_TRUE(std::isnan(c) && std::isnan(s)) << a;
  }
}

TEST(PortableCosSin, CameraEyeInSinglePrecisionAsTheLibraryGivesIt) {
  // The camera turns in whole degrees, without wrapping the angle. The
  // single-precision cosf differs from the rounded double cosine in the last
  // bit now and then; ours rounds like the double one.
  int differing = 0;
  for (int degrees = -20000; degrees <= 20000; ++degrees) {
    const float a = static_cast<float>(degrees) * 3.1415927f / 180.0f;
    double c, s;
    PortableCosSin(a, c, s);
    ASSERT_FLOAT_EQ(static_cast<float>(c), std::cos(a)) << degrees;
    ASSERT_FLOAT_EQ(static_cast<float>(s), std::sin(a)) << degrees;
    differing += static_cast<float>(c) != static_cast<float>(std::cos(double{a})) ||
                 static_cast<float>(s) != static_cast<float>(std::sin(double{a}));
  }
  EXPECT_LT(differing, 5);
}

}  // namespace
}  // namespace quadrel
