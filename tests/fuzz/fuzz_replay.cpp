// libFuzzer target: the replay reader and the check that re-simulates a
// replay, on any bytes given as a replay file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "verify/ReplayCheck.hpp"
#include "replay/ReplayStore.hpp"

using namespace quadrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The bytes as a file without touching the disk.
  const int fd = memfd_create("replay", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  ReplayStore store;
  store.ResetReplayStore();
  const ReplayReadStatus status = store.LoadReplayPath(path);
  (void)ReplayFileProblem(store, status);
  InputFrame frame;
  while (store.ReadInputFrame(frame)) {
  }
  for (int level = 0; level < 6; ++level) (void)store.ItemPlanByte(level, level * 4);
  // The full check, with a tight bound so that each input stays quick; an
  // all-clear header (level 5) runs a fixed long tail, so it is left out.
  int32_t level = 0;
  if (size >= 56) std::memcpy(&level, data + 52, 4);
  if (level != kLevelCount) (void)CheckReplay(path, nullptr, 120);
  close(fd);
  return 0;
}
