// The written-out sines and cosines are the correctly rounded values of their
// angles. Each is recomputed here in double-double arithmetic (about 106
// bits, + - * / only) with an error bound, independent of any maths library.
#include <gtest/gtest.h>

#include <cmath>

#include "game/Physics.hpp"
#include "game/Turns.hpp"

namespace quadrel {
namespace {

struct DD {
  double hi, lo;
};

DD TwoSum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

DD FastTwoSum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

void Split(double a, double& hi, double& lo) {
  const double t = 134217729.0 * a;  // 2^27 + 1
  hi = t - (t - a);
  lo = a - hi;
}

DD TwoProd(double a, double b) {  // exact while no fused multiply-add is formed
  const double p = a * b;
  double ah, al, bh, bl;
  Split(a, ah, al);
  Split(b, bh, bl);
  return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

DD Add(DD a, DD b) {
  const DD s = TwoSum(a.hi, b.hi);
  const DD t = TwoSum(a.lo, b.lo);
  DD r = FastTwoSum(s.hi, s.lo + t.hi);
  return FastTwoSum(r.hi, r.lo + t.lo);
}

DD Mul(DD a, DD b) {
  const DD p = TwoProd(a.hi, b.hi);
  return FastTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

DD DivSmall(DD a, double d) {  // d a small integer
  const double q1 = a.hi / d;
  const DD r = Add(a, {-TwoProd(q1, d).hi, -TwoProd(q1, d).lo});
  const double q2 = r.hi / d;
  const DD r2 = Add(r, {-TwoProd(q2, d).hi, -TwoProd(q2, d).lo});
  return Add(FastTwoSum(q1, q2), {r2.hi / d, 0.0});
}

// sin (odd = true) or cos of a double x in [-2, 2] by its Taylor series.
// bound receives a safe bound on the absolute error: each double-double
// operation errs by far less than 2^-100 of the magnitudes involved, and
// the sum of the term magnitudes bounds those.
DD Series(double x, bool odd, double& bound) {
  const DD x2 = TwoProd(x, x);
  DD term = odd ? DD{x, 0.0} : DD{1.0, 0.0};
  DD sum = term;
  double magnitude = std::fabs(term.hi);
  for (int k = odd ? 1 : 0; k < 60; k += 2) {
    term = DivSmall(DivSmall(Mul(term, x2), k + 1.0), k + 2.0);
    term = {-term.hi, -term.lo};
    sum = Add(sum, term);
    magnitude += std::fabs(term.hi);
    if (std::fabs(term.hi) < 1e-45) break;
  }
  bound = magnitude * 0x1p-95 + 1e-45;
  return sum;
}

// The literal is the correctly rounded value of exact when it is exact's
// leading double and exact lies nearer to it than to the half-way point
// towards its neighbour, by more than the error bound.
::testing::AssertionResult CorrectlyRounded(double literal, DD exact, double bound) {
  const double toward = exact.lo >= 0.0 ? INFINITY : -INFINITY;
  const double halfGap = std::fabs(std::nextafter(exact.hi, toward) - exact.hi) / 2.0;
  if (literal != exact.hi) {
    return ::testing::AssertionFailure() << std::hexfloat << literal << " but the value is "
                                         << exact.hi << " + " << exact.lo;
  }
  if (!(std::fabs(exact.lo) + bound < halfGap)) {
    return ::testing::AssertionFailure() << "too near a half-way point to decide: "
                                         << std::hexfloat << exact.hi << " + " << exact.lo;
  }
  return ::testing::AssertionSuccess();
}

TEST(TurnConstants, SeriesAgreesWithKnownValuesAndIdentities) {
  double bs, bc;
  // cos of the double nearest pi/2 is pi/2's rounding error, 6.123233995736766e-17.
  const DD c = Series(0x1.921fb54442d18p+0, false, bc);
  EXPECT_EQ(c.hi, 0x1.1a62633145c07p-54);
  // sin^2 + cos^2 = 1 far beyond double precision.
  for (double x : {0.3, kLaunchAngle, kQuarterTurnAngle, -1.9}) {
    const DD s = Series(x, true, bs);
    const DD k = Series(x, false, bc);
    const DD one = Add(Mul(s, s), Mul(k, k));
    EXPECT_LT(std::fabs((one.hi - 1.0) + one.lo), 1e-29) << x;
  }
}

TEST(TurnConstants, AnglesAreTheGamesDoubles) {
  volatile double degrees = 90.0;
  EXPECT_EQ(degrees * 3.1415926538 / 180.0, kQuarterTurnAngle);
  EXPECT_EQ(-degrees * 3.1415926538 / 180.0, -kQuarterTurnAngle);
  EXPECT_EQ(kLaunchAngle, 1.0471975512666667);
}

TEST(TurnConstants, EachLiteralIsTheCorrectlyRoundedValue) {
  double bound;
  DD v = Series(kLaunchAngle, false, bound);
  EXPECT_TRUE(CorrectlyRounded(kLaunchCos, v, bound));
  v = Series(kLaunchAngle, true, bound);
  EXPECT_TRUE(CorrectlyRounded(kLaunchSin, v, bound));
  v = Series(kQuarterTurnAngle, false, bound);
  EXPECT_TRUE(CorrectlyRounded(kQuarterTurnCos, v, bound));
  v = Series(kQuarterTurnAngle, true, bound);
  EXPECT_TRUE(CorrectlyRounded(kQuarterTurnSin, v, bound));
  // The turn by -90 degrees: cosine even, sine odd.
  v = Series(-kQuarterTurnAngle, false, bound);
  EXPECT_TRUE(CorrectlyRounded(kQuarterTurnCos, v, bound));
  v = Series(-kQuarterTurnAngle, true, bound);
  EXPECT_TRUE(CorrectlyRounded(-kQuarterTurnSin, v, bound));
}

TEST(TurnConstants, TheCheckRejectsANeighbour) {
  double bound;
  const DD v = Series(kLaunchAngle, false, bound);
  // The cosine of the launch angle lies 0.4936 ulp above the literal: the
  // next double up is close but wrong, and the check must say so.
  EXPECT_FALSE(CorrectlyRounded(std::nextafter(kLaunchCos, 1.0), v, bound));
  EXPECT_GT(v.lo, 0.49 * (std::nextafter(kLaunchCos, 1.0) - kLaunchCos));
}

TEST(TurnConstants, SimulationUsesThem) {
  double x = 1.0, y = 0.0;
  RotateVector2(x, y, 90.0);
  EXPECT_EQ(x, kQuarterTurnCos);
  EXPECT_EQ(y, kQuarterTurnSin);
  x = 0.0, y = 1.0;
  RotateVector2(x, y, -90.0);
  EXPECT_EQ(x, kQuarterTurnSin);
  EXPECT_EQ(y, kQuarterTurnCos);
}

}  // namespace
}  // namespace quadrel
