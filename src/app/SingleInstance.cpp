#include "app/SingleInstance.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

namespace quadrel::app {

SingleInstance::~SingleInstance() { Release(); }

std::string SingleInstance::LockPath(const std::string& className) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/" + className + ".lock";
  return "/tmp/" + className + "-" + std::to_string(getuid()) + ".lock";
}

bool SingleInstance::Acquire(const std::string& className) {
  Release();
  const std::string path = LockPath(className);
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) return true;
  if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

void SingleInstance::Release() {
  if (fd_ >= 0) {
    flock(fd_, LOCK_UN);
    close(fd_);
  }
  fd_ = -1;
}

}  // namespace quadrel::app
