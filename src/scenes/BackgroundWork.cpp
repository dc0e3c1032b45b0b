#include "scenes/BackgroundWork.hpp"

#include <exception>
#include <system_error>
#include <utility>

namespace quadrel {

BackgroundWork::~BackgroundWork() {
  Cancel();
  if (thread_.joinable()) thread_.join();
}

bool BackgroundWork::Start(Work work) {
  if (thread_.joinable()) return false;
  cancel_ = false;
  finished_ = false;
  outcome_ = 0;
  reports_ = HeldReports{};
  try {
    thread_ = std::thread([this, work = std::move(work)] {
      HoldReportsOnThisThread(&reports_);
      int32_t outcome = -1;
      try {
        outcome = work(cancel_);
      } catch (const std::exception& e) {
        // Thrown out of the thread it would end the program.
        ShowDebugMessage(e.what());
      }
      HoldReportsOnThisThread(nullptr);
      outcome_ = outcome;
      finished_.store(true, std::memory_order_release);
    });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

std::optional<int32_t> BackgroundWork::Collect() {
  if (!thread_.joinable() || !finished_.load(std::memory_order_acquire)) return std::nullopt;
  thread_.join();
  HeldReports reports = std::move(reports_);
  reports_ = HeldReports{};
  ShowHeldReports(reports);
  return outcome_;
}

void BackgroundWork::Cancel() { cancel_ = true; }

}  // namespace quadrel
