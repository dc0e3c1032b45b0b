#include "platform/dialog/XErrorFilter.hpp"

#include <cstdio>

namespace quadrel::io {

bool XErrorFilter::Tolerated(const XErrorReport& error) { return error.errorCode == kXBadWindow; }

std::string XErrorFilter::Note(const XErrorReport& error, const std::string& errorName,
                               const std::string& requestName) {
  std::lock_guard lock(mutex_);
  ++tolerated_;
  if (!seen_.insert({error.errorCode, error.requestCode}).second) return "";
  char line[512];
  std::snprintf(line, sizeof line,
                "Quadrel: X error ignored: %s in request %d (%s) for resource 0x%lx, serial %lu; "
                "the window is gone, the game goes on (repeats are not reported)",
                errorName.empty() ? "unknown error" : errorName.c_str(), error.requestCode,
                requestName.empty() ? "?" : requestName.c_str(), error.resourceId, error.serial);
  return line;
}

int XErrorFilter::ToleratedCount() const {
  std::lock_guard lock(mutex_);
  return tolerated_;
}

void XErrorFilter::Reset() {
  std::lock_guard lock(mutex_);
  seen_.clear();
  tolerated_ = 0;
}

}  // namespace quadrel::io
