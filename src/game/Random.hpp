// The classic linear congruential generator. The game draws its item plan
// from one stream, the picture its shakes from another.
#pragma once

#include <cstdint>

namespace quadrel {

class Random {
 public:
  Random() = default;
  explicit Random(uint32_t seed) : state_(seed) {}
  void Seed(uint32_t seed) { state_ = seed; }
  // 0 .. 0x7FFF
  int Next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFFu);
  }
  uint32_t State() const { return state_; }

 private:
  uint32_t state_ = 1;
};

}  // namespace quadrel
