#include "XvfbDisplay.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace quadrel::testing {

pid_t StartXServer(const std::vector<std::string>& programs, const std::vector<std::string>& args,
                   int timeoutMs, std::string& display) {
  display.clear();
  int fds[2];
  if (pipe(fds) != 0) return -1;
  // Everything the child needs is made before the fork.
  std::vector<std::string> words = args;
  words.push_back("-displayfd");
  words.push_back(std::to_string(fds[1]));
  std::vector<char*> argv;
  argv.push_back(nullptr);  // argv[0], the program's name: set per program
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  std::vector<std::string> names;
  for (const std::string& program : programs) names.push_back(program.substr(program.rfind('/') + 1));
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    setpgid(0, 0);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
    }
    for (size_t i = 0; i < programs.size(); ++i) {
      argv[0] = names[i].data();
      execvp(programs[i].c_str(), argv.data());
    }
    _exit(127);
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return -1;
  }
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  while (poll(&p, 1, timeoutMs) > 0) {
    char c;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) {
    StopXServer(pid);
    return -1;
  }
  display = ":" + number;
  return pid;
}

void StopXServer(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

XvfbDisplay::XvfbDisplay(int width, int height) {
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  pid_ = StartXServer({"Xvfb"}, {"-screen", "0", screen, "-nolisten", "tcp", "-noreset"}, 10000,
                      display_);
  if (pid_ > 0) setenv("DISPLAY", display_.c_str(), 1);
}

XvfbDisplay::~XvfbDisplay() { StopXServer(pid_); }

}  // namespace quadrel::testing
