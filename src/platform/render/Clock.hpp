// The millisecond clock the frame loop runs on: monotonic, 32 bits, wrapping
// like the system's millisecond counter; and a fake one for tests.
#pragma once

#include <cstdint>
#include <functional>

namespace quadrel {

// Millisecond clock (32-bit, wrapping) as the scene tick reads it.
using MillisecondClock = std::function<uint32_t()>;

}  // namespace quadrel

namespace quadrel::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t Milliseconds() = 0;
  // The clock as the scene tick takes it.
  MillisecondClock AsFunction() {
    return [this] { return Milliseconds(); };
  }
};

// Milliseconds of the monotonic system clock, truncated to 32 bits.
class SystemClock final : public Clock {
 public:
  uint32_t Milliseconds() override;
};

// Time stands still until a test moves it; optionally every read advances it.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(uint32_t start = 0) : now_(start) {}
  uint32_t Milliseconds() override {
    const uint32_t t = now_;
    now_ += stepPerRead_;
    return t;
  }
  void Set(uint32_t t) { now_ = t; }
  void Advance(uint32_t ms) { now_ += ms; }
  void AdvancePerRead(uint32_t ms) { stepPerRead_ = ms; }
  uint32_t Peek() const { return now_; }

 private:
  uint32_t now_;
  uint32_t stepPerRead_ = 0;
};

}  // namespace quadrel::platform
