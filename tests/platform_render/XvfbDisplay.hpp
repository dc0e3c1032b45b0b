// Tests that draw get a display of their own: an Xvfb server started on a
// free display number for the life of the test program.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace quadrel::testing {

// Starts an X server in a process group of its own, quiet: the first of
// programs that runs, with args and "-displayfd". Waits up to timeoutMs for
// the display it picks. Returns its pid and ":N" in display, or -1 (a
// server that named no display is stopped).
pid_t StartXServer(const std::vector<std::string>& programs, const std::vector<std::string>& args,
                   int timeoutMs, std::string& display);
// Stops a server StartXServer started.
void StopXServer(pid_t pid);

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
