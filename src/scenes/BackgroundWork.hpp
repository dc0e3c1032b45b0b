// One piece of slow work (the internet registration) on a thread of its own,
// so that the frame loop keeps drawing and answering the window. The reports
// the work makes are held and shown by the loop's thread when it collects the
// outcome, in the order they were made.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>

#include "base/Diagnostics.hpp"

namespace quadrel {

class BackgroundWork {
 public:
  // The work looks at the flag in every wait and gives up once it is raised.
  using Work = std::function<int32_t(const std::atomic<bool>& cancel)>;

  BackgroundWork() = default;
  BackgroundWork(const BackgroundWork&) = delete;
  BackgroundWork& operator=(const BackgroundWork&) = delete;
  // Cancels a running work and waits for it; its reports are dropped.
  ~BackgroundWork();

  // Starts work unless one is running; false when none could be started
  // (the work then has not run).
  bool Start(Work work);
  bool Running() const { return thread_.joinable(); }
  // Once the work has ended: shows its reports here and returns its outcome;
  // nothing while it runs or when none was started.
  std::optional<int32_t> Collect();
  void Cancel();

 private:
  std::thread thread_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> finished_{false};
  int32_t outcome_ = 0;
  HeldReports reports_;
};

}  // namespace quadrel
