// One step's input and what the step reports back. The step itself reaches
// no device: the caller reads the input and acts on the events (sounds,
// recording, leaving), so every caller runs the very same rules.
#pragma once

#include <cstdint>

#include "game/Types.hpp"

namespace quadrel {

struct StepInput {
  MouseState mouse{};
  KeyboardState keyboard{};
  // The all-clear count-up has been shown to its end: a click may leave.
  bool countUpDone = false;
};

// Plan indices a level start draws: 0 .. level+4 option items, 15 and 16 extends.
constexpr int kPlanSlots = 17;

struct StepEvents {
  int32_t frame = 0;  // the step's frame number

  // Sounds, in the order the caller plays them: stop first, then the rest.
  bool stopSound = false;
  uint8_t hits = 0;  // saturates; a step never has that many
  uint8_t bars = 0;
  bool startMusic = false;

  // A recorded game's input of this step, for the replay.
  bool recordInput = false;
  InputFrame recorded{};
  // A recorded game's item plan of the level that started (-1: no draw).
  bool recordPlan = false;
  int32_t plan[kPlanSlots]{};
  // The level that started, in a recording or a playback.
  int32_t planLevel = 0;

  // A playback applied recorded input this step.
  bool appliedInput = false;
  int16_t appliedDx = 0;
  bool appliedDown = false;
  // A playback placed items from its plan: kind of each of the placed count blocks.
  bool placedItems = false;
  int32_t placedCount = 0;
  int32_t placed[kBlockCount]{};

  // A click left the game toward this scene (-1: none); the input asked for
  // it before this step's update ran.
  int32_t leaveTo = -1;
  // The playback's recorded input ran out in this step.
  bool playbackEnded = false;
  // A recorded score differed from the simulated one in this step.
  bool gap = false;

  void Hit() { if (hits < 255) ++hits; }
  void Bar() { if (bars < 255) ++bars; }
};

}  // namespace quadrel
