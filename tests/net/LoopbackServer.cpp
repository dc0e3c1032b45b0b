#include "LoopbackServer.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace quadrel::test {
namespace {

int BindLoopback(int family, uint16_t& port) {
  int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_storage address{};
  socklen_t length;
  if (family == AF_INET6) {
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    v6->sin6_family = AF_INET6;
    v6->sin6_addr = in6addr_loopback;
    length = sizeof *v6;
  } else {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    v4->sin_family = AF_INET;
    v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    length = sizeof *v4;
  }
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 4) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                  : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
  return fd;
}

}  // namespace

uint16_t UnusedPort() {
  uint16_t port = 0;
  int fd = BindLoopback(AF_INET, port);
  if (fd >= 0) ::close(fd);
  return port;
}

LoopbackServer::LoopbackServer(Mode mode, std::string reply, int family)
    : mode_(mode), reply_(std::move(reply)), family_(family) {
  listener_ = BindLoopback(family, port_);
  if (listener_ < 0 || ::pipe2(stopPipe_, O_CLOEXEC) != 0) return;
  thread_ = std::thread([this] { Run(); });
}

LoopbackServer::~LoopbackServer() {
  if (stopPipe_[1] >= 0) (void)!::write(stopPipe_[1], "x", 1);
  if (thread_.joinable()) thread_.join();
  for (int fd : {listener_, stopPipe_[0], stopPipe_[1]})
    if (fd >= 0) ::close(fd);
}

std::string LoopbackServer::Url(const std::string& path) const {
  return std::string(family_ == AF_INET6 ? "http://[::1]:" : "http://127.0.0.1:") +
         std::to_string(port_) + path;
}

std::string LoopbackServer::Request() {
  std::unique_lock lock(mutex_);
  requestDone_.wait_for(lock, std::chrono::seconds(5), [this] { return done_; });
  return request_;
}

bool LoopbackServer::WaitReadable(int fd, int milliseconds) {
  pollfd entries[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
  int ready = ::poll(entries, 2, milliseconds);
  return ready > 0 && entries[1].revents == 0;
}

void LoopbackServer::Run() {
  auto finish = [this] {
    std::lock_guard lock(mutex_);
    done_ = true;
    requestDone_.notify_all();
  };
  if (!WaitReadable(listener_, 20000)) return finish();
  int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return finish();
  ++connections_;
  if (mode_ == Mode::CloseAtOnce || mode_ == Mode::Deaf) {
    if (mode_ == Mode::Deaf) {
      pollfd stop{stopPipe_[0], POLLIN, 0};
      ::poll(&stop, 1, 20000);
    }
    ::close(fd);
    return finish();
  }
  // The client ends its request by shutting its sending side.
  char chunk[65536];
  while (WaitReadable(fd, 10000)) {
    ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
    if (got <= 0) break;
    std::lock_guard lock(mutex_);
    request_.append(chunk, static_cast<size_t>(got));
  }
  finish();
  for (size_t i = 0; mode_ == Mode::Trickle && !reply_.empty(); ++i) {
    pollfd stop{stopPipe_[0], POLLIN, 0};
    if (::poll(&stop, 1, 50) != 0 ||
        ::send(fd, &reply_[i % reply_.size()], 1, MSG_NOSIGNAL) != 1)
      break;
  }
  if (mode_ != Mode::Silent && mode_ != Mode::Trickle && !reply_.empty())
    (void)!::send(fd, reply_.data(), reply_.size(), MSG_NOSIGNAL);
  if (mode_ == Mode::Silent || mode_ == Mode::Stall) {
    pollfd stop{stopPipe_[0], POLLIN, 0};
    ::poll(&stop, 1, 20000);
  } else if (mode_ == Mode::Reset) {
    linger hard{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  }
  ::close(fd);
}

}  // namespace quadrel::test
