// quadrel-slow-upstream SECONDS: a stand-in for a server that sends its head
// as soon as a request is in and its verdict later. It listens on a free
// loopback port, prints "listening on 127.0.0.1:PORT" as the server does, and
// answers every request with its head at once and "OK" SECONDS later.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

void Answer(int c, int seconds) {
  std::string in;
  char buffer[65536];
  size_t end = std::string::npos, length = 0;
  for (;;) {  // the head, then Content-Length bytes of body
    if (end == std::string::npos && (end = in.find("\r\n\r\n")) != std::string::npos) {
      const size_t at = in.find("Content-Length: ");
      if (at != std::string::npos && at < end) length = std::strtoul(in.c_str() + at + 16, nullptr, 10);
    }
    if (end != std::string::npos && in.size() >= end + 4 + length) break;
    const ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    in.append(buffer, static_cast<size_t>(n));
  }
  const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n";
  ::send(c, head.data(), head.size(), MSG_NOSIGNAL);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  ::send(c, "OK", 2, MSG_NOSIGNAL);
  ::close(c);
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc == 2 ? std::atoi(argv[1]) : -1;
  if (seconds < 0) {
    std::fprintf(stderr, "usage: quadrel-slow-upstream SECONDS\n");
    return 2;
  }
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof addr;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(fd, 16) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size) != 0) {
    std::perror("quadrel-slow-upstream");
    return 1;
  }
  std::printf("listening on 127.0.0.1:%d\n", ntohs(addr.sin_port));
  std::fflush(stdout);
  for (;;) {
    const int c = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (c >= 0) std::thread(Answer, c, seconds).detach();
  }
}
