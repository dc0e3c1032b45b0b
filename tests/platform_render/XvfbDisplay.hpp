// Tests that draw get a display of their own: an Xvfb server started on a
// free display number for the life of the test program.
#pragma once

#include <string>
#include <sys/types.h>

namespace quadrel::testing {

class XvfbDisplay {
 public:
  // Starts Xvfb (screen width x height x 24) and points DISPLAY at it.
  explicit XvfbDisplay(int width = 1024, int height = 768);
  ~XvfbDisplay();
  bool Ok() const { return pid_ > 0 && !display_.empty(); }
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace quadrel::testing
