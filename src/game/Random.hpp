// The program's one random generator: the classic linear congruential one.
#pragma once

#include <cstdint>

namespace quadrel {

class Random {
 public:
  explicit Random(uint32_t seed = 1) : state_(seed) {}
  void Seed(uint32_t seed) { state_ = seed; }
  // 0 .. 0x7FFF
  int Next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFFu);
  }
  uint32_t State() const { return state_; }

 private:
  uint32_t state_;
};

}  // namespace quadrel
