// A one-connection TCP server on the loopback interface for the network tests:
// it captures the request and then answers, stays silent, cuts or resets the
// reply. The OS picks the port, so tests can run side by side.
#pragma once

#include <sys/socket.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace quadrel::test {

class LoopbackServer {
 public:
  enum class Mode {
    Reply,        // read the request to its end, send the reply, close
    CloseAtOnce,  // close as soon as the connection is accepted
    Silent,       // read the request, then send nothing until stopped
    Stall,        // read the request, send the reply, then hold the connection open
    Reset,        // read the request, send the reply, then reset the connection
    Trickle,      // read the request, then send the reply a byte every 50 ms, over and over
    Deaf,         // accept, then neither read nor send until stopped
  };

  explicit LoopbackServer(Mode mode, std::string reply = {}, int family = AF_INET);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool listening() const { return listener_ >= 0; }
  uint16_t port() const { return port_; }
  // "http://127.0.0.1:PORT" ("http://[::1]:PORT" for IPv6) followed by path.
  std::string Url(const std::string& path) const;
  // The request bytes read so far; waits up to a few seconds for the request's end.
  std::string Request();
  int connections() const { return connections_.load(); }

 private:
  void Run();
  // Waits for fd to be readable or the stop signal; false on stop or time-out.
  bool WaitReadable(int fd, int milliseconds);

  Mode mode_;
  std::string reply_;
  int family_;
  int listener_ = -1;
  int stopPipe_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::atomic<int> connections_{0};
  std::mutex mutex_;
  std::condition_variable requestDone_;
  bool done_ = false;
  std::string request_;
  std::thread thread_;
};

// A port on which nothing listens (bound once, then released).
uint16_t UnusedPort();

}  // namespace quadrel::test
