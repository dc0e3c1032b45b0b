#include "app/SingleInstance.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/Diagnostics.hpp"
#include "base/Translate.hpp"

namespace quadrel::app {

SingleInstance::~SingleInstance() { Release(); }

std::vector<std::string> SingleInstance::LockPaths(const std::string& className) {
  std::vector<std::string> paths;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) paths.push_back(std::string(runtime) + "/" + className + ".lock");
  const std::string name = className + "-" + std::to_string(getuid()) + ".lock";
  paths.push_back("/tmp/" + name);
  paths.push_back("/var/tmp/" + name);
  return paths;
}

bool SingleInstance::Acquire(const std::string& className) { return AcquireAny(LockPaths(className)); }

bool SingleInstance::AcquireAny(const std::vector<std::string>& paths) {
  Release();
  std::string problems;
  for (const std::string& path : paths) {
    // O_NOFOLLOW: in a shared folder the name may be a link planted by others.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
      problems += " " + path + ": " + std::strerror(errno) + ";";
      continue;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      fd_ = fd;
      held_ = path;
      return true;
    }
    const int error = errno;
    close(fd);
    if (error == EWOULDBLOCK) return false;  // another copy runs
    problems += " " + path + ": " + std::strerror(error) + ";";
  }
  std::fprintf(stderr, "quadrel: warning: no single-instance lock could be taken:%s\n",
               problems.c_str());
  return true;
}

void SingleInstance::Release() {
  if (fd_ >= 0) {
    flock(fd_, LOCK_UN);
    close(fd_);
  }
  fd_ = -1;
  held_.clear();
}

int AnswerOtherCopyRunning(const std::string& replayArgument) {
  if (replayArgument.empty()) return 0;
  const std::string text = Tr("Quadrel is already running; close it to play");
  std::fprintf(stderr, "%s\n", ReportLine("Error", text + " " + replayArgument, "").c_str());
  std::fflush(stderr);
  // The file on a line of its own: a long path stays readable in the box.
  CurrentMessageSink().ShowMessage("Error", text + "\r\n" + replayArgument);
  return 1;
}

}  // namespace quadrel::app
