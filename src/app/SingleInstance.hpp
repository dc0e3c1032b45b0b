// One copy at a time: an advisory lock on a file named after the window class
// in $XDG_RUNTIME_DIR, else (or when that lock cannot be taken for any reason
// but another copy holding it) in /tmp, then /var/tmp, with the user id in
// the name. And what a start does when another copy holds it.
#pragma once

#include <string>
#include <vector>

namespace quadrel::app {

class SingleInstance {
 public:
  SingleInstance() = default;
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when this process now holds the lock; false when another copy does.
  bool Acquire(const std::string& className);
  // The same over the given lock files, tried in order: the first that can
  // be opened and locked is taken; one that another copy holds ends the
  // search with false; one that cannot be opened or locked (a folder, a
  // missing or read-only folder, a link) passes on to the next. When none
  // can be used at all the program runs (true), with a warning.
  bool AcquireAny(const std::vector<std::string>& paths);
  void Release();
  // Where the lock is looked for, in order.
  static std::vector<std::string> LockPaths(const std::string& className);
  static std::string LockPath(const std::string& className) { return LockPaths(className).front(); }
  // The file now held ("" when none).
  const std::string& HeldPath() const { return held_; }

 private:
  int fd_ = -1;
  std::string held_;
};

// The answer of a start that finds another copy running; the running copy is
// left as it is. A plain start ends at once with 0. A start asked to play a
// replay cannot play it: it says so on standard error and through the message
// sink ("Error"), and ends with 1, so a file manager or a script sees that
// nothing was played. replayArgument is the file as given ("" for none).
int AnswerOtherCopyRunning(const std::string& replayArgument);

}  // namespace quadrel::app
