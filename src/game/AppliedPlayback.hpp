// What a playback took from its replay and acted on: the input of every step
// that had any, and the items each level start placed from the plan. Files
// that differ only where the simulation reads nothing (dates, unread plan
// bytes, recorded scores, padding, records without input) give equal bytes.
// The replay check collects it from the step events; the game keeps none.
#pragma once

#include <cstdint>
#include <string>

#include "game/StepEvents.hpp"

namespace quadrel {

struct AppliedPlayback {
  std::string bytes;  // fixed-size little-endian records, each with its tag

  // What one step of a playback applied.
  void Take(const StepEvents& ev) {
    if (ev.appliedInput) Input(ev.frame, ev.appliedDx, ev.appliedDown);
    if (ev.placedItems) Items(ev.planLevel, ev.placed, ev.placedCount);
  }
  void Input(int32_t frame, int16_t dx, bool down) {
    bytes += 'I';
    Put(static_cast<uint32_t>(frame), 4);
    Put(static_cast<uint16_t>(dx), 2);
    bytes += down ? '\1' : '\0';
  }
  // kinds[k]: the item the plan put into block k of the n blocks of the level.
  void Items(int32_t level, const int32_t* kinds, int n) {
    bytes += 'P';
    bytes += static_cast<char>(level);
    bytes += static_cast<char>(n);
    for (int k = 0; k < n; ++k) bytes += static_cast<char>(kinds[k]);
  }

 private:
  void Put(uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xff);
  }
};

}  // namespace quadrel
