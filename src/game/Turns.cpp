#include "game/Turns.hpp"

#include <cstdint>
#include <limits>

namespace quadrel {
namespace {

// pi/2 in three parts; the first two have 33 significant bits, so n times
// them is exact for every n this reduction meets below 2^20 and close beyond.
constexpr double kHalfPi1 = 0x1.921fb544p+0;
constexpr double kHalfPi2 = 0x1.0b4611a6p-34;
constexpr double kHalfPi3 = 0x1.3198a2e037073p-69;
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;

// Taylor series on [-pi/4, pi/4], Horner form; the next terms are below
// 1e-19 there.
double SinNear(double r) {
  const double r2 = r * r;
  double p = 1.0 / 355687428096000.0;  // 1/17!
  p = p * r2 - 1.0 / 1307674368000.0;  // 1/15!
  p = p * r2 + 1.0 / 6227020800.0;
  p = p * r2 - 1.0 / 39916800.0;
  p = p * r2 + 1.0 / 362880.0;
  p = p * r2 - 1.0 / 5040.0;
  p = p * r2 + 1.0 / 120.0;
  p = p * r2 - 1.0 / 6.0;
  return r + r * (r2 * p);
}

double CosNear(double r) {
  const double r2 = r * r;
  double p = -1.0 / 6402373705728000.0;  // -1/18!
  p = p * r2 + 1.0 / 20922789888000.0;   // 1/16!
  p = p * r2 - 1.0 / 87178291200.0;
  p = p * r2 + 1.0 / 479001600.0;
  p = p * r2 - 1.0 / 3628800.0;
  p = p * r2 + 1.0 / 40320.0;
  p = p * r2 - 1.0 / 720.0;
  p = p * r2 + 1.0 / 24.0;
  return (1.0 - 0.5 * r2) + r2 * (r2 * p);
}

}  // namespace

void PortableCosSin(double radians, double& cosine, double& sine) {
  if (!(radians < 1e15 && radians > -1e15)) {  // NaN compares false too
    cosine = sine = std::numeric_limits<double>::quiet_NaN();
    return;
  }
  const double scaled = radians * kTwoOverPi;
  const int64_t n = static_cast<int64_t>(scaled >= 0.0 ? scaled + 0.5 : scaled - 0.5);
  const double fn = static_cast<double>(n);
  const double r = ((radians - fn * kHalfPi1) - fn * kHalfPi2) - fn * kHalfPi3;
  const double s = SinNear(r);
  const double c = CosNear(r);
  switch (n & 3) {
    case 0: cosine = c; sine = s; break;
    case 1: cosine = -s; sine = c; break;
    case 2: cosine = -c; sine = -s; break;
    default: cosine = s; sine = -c; break;
  }
}

}  // namespace quadrel
