// The sines and cosines of the simulation, written out as doubles. A maths
// library's sin and cos may differ in the last bit between C libraries (and
// between the processor variants of one), and a replay re-simulated anywhere
// must see the very same doubles. Each literal is the correctly rounded value
// of the expression beside it; tests/determinism recomputes them.
#pragma once

namespace quadrel {

// The launch angle, the double 1.0471975512666667 (about 60 degrees).
constexpr double kLaunchAngle = 0x1.0c15238324410p+0;
// cos(0x1.0c15238324410p+0); the true value is 0.4936 ulp above it.
constexpr double kLaunchCos = 0x1.fffffffef51ebp-2;
// sin(0x1.0c15238324410p+0)
constexpr double kLaunchSin = 0x1.bb67ae85d1d55p-1;

// A quarter turn as the game computes it: 90.0 * 3.1415926538 / 180.0, each
// step rounded to double, which is 0x1.921fb544b6618p+0 (a little more than
// pi/2, so its cosine is not zero). -90.0 gives exactly its negative.
constexpr double kQuarterTurnAngle = 0x1.921fb544b6618p+0;
// cos(0x1.921fb544b6618p+0), the same for the turn by -90 degrees.
constexpr double kQuarterTurnCos = -0x1.ce3fee59d9ccfp-34;
// sin(0x1.921fb544b6618p+0); the true value is 1 - 5.5e-21. For -90 degrees
// it is the negative.
constexpr double kQuarterTurnSin = 0x1.0000000000000p+0;

// cos and sin from + - * / alone, within a few ulps: the same on every
// machine, for the angles the simulation never turns by and for the camera.
// Arguments beyond 1e15 in size, infinities and NaN give NaN.
void PortableCosSin(double radians, double& cosine, double& sine);

}  // namespace quadrel
