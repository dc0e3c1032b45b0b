#include "HttpFront.hpp"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quadrel::server {

std::string_view HttpRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (key == name) return value;
  return {};
}

std::string CanonicalAddress(std::string_view text) {
  const std::string s(text);
  char out[INET6_ADDRSTRLEN] = {};
  in_addr v4{};
  in6_addr v6{};
  if (inet_pton(AF_INET, s.c_str(), &v4) == 1) return inet_ntop(AF_INET, &v4, out, sizeof out);
  if (inet_pton(AF_INET6, s.c_str(), &v6) != 1) return "";
  if (IN6_IS_ADDR_V4MAPPED(&v6)) {
    std::memcpy(&v4, v6.s6_addr + 12, 4);
    return inet_ntop(AF_INET, &v4, out, sizeof out);
  }
  return inet_ntop(AF_INET6, &v6, out, sizeof out);
}

HttpFront::HttpFront(HttpLimits limits, std::vector<std::string> trustedProxies, int workers,
                     HttpRoutes routes)
    : limits_(limits), trusted_(std::move(trustedProxies)), workers_(std::max(1, workers)),
      routes_(std::move(routes)) {
  for (std::string& a : trusted_) a = CanonicalAddress(a);
  wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

HttpFront::~HttpFront() {
  if (listenFd_ >= 0) ::close(listenFd_);
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

int HttpFront::Bind(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (const int rc = getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints,
                                 &found); rc != 0) {
    error_ = gai_strerror(rc);
    return -1;
  }
  for (addrinfo* a = found; a && listenFd_ < 0; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) continue;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, 1024) == 0) {
      listenFd_ = fd;
    } else {
      error_ = std::strerror(errno);
      ::close(fd);
    }
  }
  freeaddrinfo(found);
  if (listenFd_ < 0) return -1;
  sockaddr_storage bound{};
  socklen_t size = sizeof bound;
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &size);
  return ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(bound).sin6_port
                                           : reinterpret_cast<sockaddr_in&>(bound).sin_port);
}

void HttpFront::Stop() {
  stop_ = true;
  const uint64_t one = 1;
  if (wakeFd_ >= 0) [[maybe_unused]] ssize_t w = ::write(wakeFd_, &one, sizeof one);
}

}  // namespace quadrel::server
