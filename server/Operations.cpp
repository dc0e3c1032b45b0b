#include "Operations.hpp"

#include <cstdio>
#include <filesystem>

#include "Storage.hpp"

namespace quadrel::server {

std::string LogLimiter::Admit(const std::string& cause, const std::string& line,
                              std::chrono::steady_clock::time_point now) {
  std::lock_guard lock(mutex_);
  Window& w = windows_[cause];
  std::string out;
  if (w.lines == 0 || now - w.start >= std::chrono::minutes(1)) {
    if (w.suppressed > 0)
      out = std::to_string(w.suppressed) + " more \"" + cause + "\" lines suppressed\n";
    w = Window{now, 0, 0};
  }
  if (w.lines >= perMinute_) {
    ++w.suppressed;
    return "";
  }
  ++w.lines;
  return out + line;
}

void Metrics::Verdict(server::Verdict verdict, double seconds) {
  // Accepted is 0 and the refusals count down from -1: the slot is the negation.
  ++verdicts_[static_cast<size_t>(-static_cast<int32_t>(verdict))];
  size_t b = 0;
  while (b < kBuckets.size() && seconds > kBuckets[b]) ++b;
  ++buckets_[b];
  microseconds_ += static_cast<int64_t>(seconds * 1e6);
}

void Metrics::Refused(const std::string& cause) {
  std::lock_guard lock(mutex_);
  ++refused_[cause];
}

std::string Metrics::Text(int64_t openConnections, int64_t waitingRegistrations) const {
  std::string t =
      "# HELP quadrel_registrations_total Registrations answered, by verdict.\n"
      "# TYPE quadrel_registrations_total counter\n";
  const char* names[] = {"accepted", "failed", "out_of_rank", "bad_version"};
  for (size_t i = 0; i < 4; ++i)
    t += "quadrel_registrations_total{verdict=\"" + std::string(names[i]) + "\"} " +
         std::to_string(verdicts_[i].load()) + "\n";
  t += "# HELP quadrel_verification_seconds Time from a complete registration to its verdict.\n"
       "# TYPE quadrel_verification_seconds histogram\n";
  int64_t cumulative = 0;
  char number[32];
  for (size_t b = 0; b <= kBuckets.size(); ++b) {
    cumulative += buckets_[b].load();
    if (b < kBuckets.size()) std::snprintf(number, sizeof number, "%g", kBuckets[b]);
    t += "quadrel_verification_seconds_bucket{le=\"" +
         std::string(b < kBuckets.size() ? number : "+Inf") + "\"} " +
         std::to_string(cumulative) + "\n";
  }
  std::snprintf(number, sizeof number, "%.6f", static_cast<double>(microseconds_.load()) / 1e6);
  t += "quadrel_verification_seconds_sum " + std::string(number) + "\n";
  t += "quadrel_verification_seconds_count " + std::to_string(cumulative) + "\n";
  t += "# HELP quadrel_registrations_waiting Registrations waiting for a worker.\n"
       "# TYPE quadrel_registrations_waiting gauge\n"
       "quadrel_registrations_waiting " + std::to_string(waitingRegistrations) + "\n";
  t += "# HELP quadrel_open_connections Connections open now.\n"
       "# TYPE quadrel_open_connections gauge\n"
       "quadrel_open_connections " + std::to_string(openConnections) + "\n";
  t += "# HELP quadrel_refused_total Requests refused or connections closed, by cause.\n"
       "# TYPE quadrel_refused_total counter\n";
  std::lock_guard lock(mutex_);
  for (const auto& [cause, count] : refused_)
    t += "quadrel_refused_total{cause=\"" + cause + "\"} " + std::to_string(count) + "\n";
  return t;
}

std::string DatabaseDescription(const std::string& where) {
  if (where.rfind("postgresql://", 0) != 0 && where.rfind("postgres://", 0) != 0) {
    std::error_code ec;
    const auto path = std::filesystem::absolute(where, ec);
    return "sqlite " + (ec ? where : path.string());
  }
  std::string url = where;
  // user:password@ in the authority
  const size_t start = url.find("://") + 3;
  const size_t slash = url.find_first_of("/?", start);
  const size_t at = url.rfind('@', slash == std::string::npos ? url.size() : slash);
  if (at != std::string::npos && at >= start) {
    const size_t colon = url.find(':', start);
    if (colon != std::string::npos && colon < at) url.erase(colon, at - colon);
  }
  // password=... among the parameters
  for (size_t p = url.find("password=", start); p != std::string::npos;
       p = url.find("password=", p)) {
    const bool starts = p > 0 && (url[p - 1] == '?' || url[p - 1] == '&');
    if (!starts) {
      p += 9;
      continue;
    }
    size_t end = url.find('&', p);
    if (end == std::string::npos) {
      url.erase(p - 1);  // with its '?' or '&'
    } else {
      url.erase(p, end + 1 - p);
    }
  }
  return "postgresql " + url;
}

}  // namespace quadrel::server
