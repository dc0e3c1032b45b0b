#include "platform/render/Clock.hpp"

#include <time.h>

namespace quadrel::platform {

uint32_t SystemClock::Milliseconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms = uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

}  // namespace quadrel::platform
