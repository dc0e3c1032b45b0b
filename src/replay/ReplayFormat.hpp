// A replay's input records as stored on disk, and the level count its item
// plan covers (one block per level).
#pragma once

#include <cstdint>

namespace quadrel {

constexpr int kLevelCount = 5;

// One step's input as stored in a replay (12 bytes on disk, little-endian).
struct InputFrame {
  int16_t dx;
  uint8_t button;
  uint8_t reserved;
  int32_t frame;
  int32_t score;
};
static_assert(sizeof(InputFrame) == 12);

}  // namespace quadrel
