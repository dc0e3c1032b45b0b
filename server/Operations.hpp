// What an operator watches: the log, limited per cause so that a flood of one
// kind of refusal cannot bury the rest; the counters behind /metrics; the
// database named in the start line without its password.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "Registration.hpp"

namespace quadrel::server {

class LogLimiter {
 public:
  explicit LogLimiter(int perMinute = 10) : perMinute_(perMinute) {}
  // The lines to write for one line of this cause: none while the cause is
  // over its share of the minute, else the line, preceded by a count of
  // those suppressed before it.
  std::string Admit(const std::string& cause, const std::string& line,
                    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());

 private:
  struct Window {
    std::chrono::steady_clock::time_point start;
    int lines = 0;
    int64_t suppressed = 0;
  };
  int perMinute_;
  std::mutex mutex_;
  std::map<std::string, Window> windows_;
};

class Metrics {
 public:
  void Verdict(server::Verdict verdict, double seconds);
  void Refused(const std::string& cause);
  // Prometheus text format.
  std::string Text(int64_t openConnections, int64_t waitingRegistrations) const;

 private:
  static constexpr std::array<double, 9> kBuckets{0.01, 0.05, 0.1, 0.25, 0.5, 1, 2, 5, 10};
  std::array<std::atomic<int64_t>, 4> verdicts_{};
  std::array<std::atomic<int64_t>, kBuckets.size() + 1> buckets_{};  // the last: +Inf
  std::atomic<int64_t> microseconds_{0};
  mutable std::mutex mutex_;
  std::map<std::string, int64_t> refused_;
};

// "sqlite /abs/path" or "postgresql URL" with any password taken out.
std::string DatabaseDescription(const std::string& where);

}  // namespace quadrel::server
