// A private X server with a mouse of its own, for tests that need the
// desktop's pointer acceleration: xdotool's (XTest) motion is never
// accelerated, a mouse driver's is. Xorg runs on its dummy video driver, its
// mouse driver reads reports from a pipe that Move writes.
#pragma once

#include <sys/types.h>

#include <string>

struct _XDisplay;

namespace quadrel::testing {

class XorgMouseDisplay {
 public:
  // Starts Xorg on a free display (width x height x 24), points DISPLAY at it.
  explicit XorgMouseDisplay(int width = 1024, int height = 768);
  ~XorgMouseDisplay();
  XorgMouseDisplay(const XorgMouseDisplay&) = delete;
  XorgMouseDisplay& operator=(const XorgMouseDisplay&) = delete;

  bool Ok() const { return display_ != nullptr; }
  const std::string& Display() const { return name_; }
  // The end of the server's log, to say why it did not start.
  std::string LogTail() const;

  // The pointer acceleration, as `xset m numerator/denominator threshold`.
  void SetAcceleration(int numerator, int denominator, int threshold);
  // The mouse moved by dx counts to the right in one report; returns once
  // the server has turned it into motion (false if it did not in time).
  bool Move(int dx);
  // The pointer put at x, y, no movement of the mouse.
  void Warp(int x, int y);
  int PointerX();

 private:
  std::string dir_;
  pid_t pid_ = -1;
  int pipe_ = -1;
  std::string name_;
  _XDisplay* display_ = nullptr;
  int opcode_ = 0;
};

}  // namespace quadrel::testing
