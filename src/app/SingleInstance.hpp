// One copy at a time: an advisory lock on a file named after the window class
// in $XDG_RUNTIME_DIR (else /tmp, with the user id in the name).
#pragma once

#include <string>

namespace quadrel::app {

class SingleInstance {
 public:
  SingleInstance() = default;
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when this process now holds the lock; false when another copy does.
  // A lock file that cannot be opened at all does not stop the program.
  bool Acquire(const std::string& className);
  void Release();
  static std::string LockPath(const std::string& className);

 private:
  int fd_ = -1;
};

}  // namespace quadrel::app
