// Which X protocol errors the game survives, and what it says about them.
// Xlib's own handler prints any error and ends the process; an error about a
// window that is already gone (a request that crossed the window's
// destruction in the server) is harmless and must not end a game. No X
// header here: the decisions are testable without a display.
#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <utility>

namespace quadrel::io {

struct XErrorReport {
  int errorCode = 0;       // BadWindow, BadMatch, ...
  int requestCode = 0;     // the core request or extension major opcode
  int minorCode = 0;
  unsigned long resourceId = 0;
  unsigned long serial = 0;
};

inline constexpr int kXBadWindow = 3;  // X.h's BadWindow

class XErrorFilter {
 public:
  // True for an error the game goes on after: a window that no longer exists.
  static bool Tolerated(const XErrorReport& error);

  // Counts a tolerated error. Returns the line to write to standard error for
  // the first error of its kind (error and request), "" for a repeat, so a
  // burst of them is one line. The names are the ones Xlib gives.
  std::string Note(const XErrorReport& error, const std::string& errorName,
                   const std::string& requestName);

  int ToleratedCount() const;
  void Reset();

 private:
  mutable std::mutex mutex_;  // Xlib may report on any thread that uses it
  std::set<std::pair<int, int>> seen_;
  int tolerated_ = 0;
};

}  // namespace quadrel::io
