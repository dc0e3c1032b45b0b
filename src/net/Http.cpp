// The HTTP client on POSIX sockets. Sockets are non-blocking so that every
// wait goes through poll with a bound; writes never raise SIGPIPE.
#include "net/Http.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "base/Diagnostics.hpp"
#include "base/Translate.hpp"

namespace quadrel {
namespace {

constexpr char kUrlWrong[] = N_("URL is wrong.");
constexpr char kUrlInvalid[] = N_("The ranking server's address is not valid.");
constexpr char kLookupFailed[] = N_("Error: the ranking server's address could not be found.");
constexpr char kSocketFailed[] = N_("Error: no network connection could be opened.");
constexpr char kConnectFailed[] = N_("Error: could not connect to the ranking server.");
constexpr char kWaitFailed[] = N_("Sending failed:\nnetwork error.");
constexpr char kTimedOut[] = N_("The ranking server did not answer in time.");
constexpr char kSendFailed[] = N_("Error: could not send to the ranking server.");
constexpr char kReceiveFailed[] = N_("Network error while receiving the ranking server's answer.");
constexpr char kServerUnreachable[] = N_("Could not reach the ranking server.");
constexpr char kDataNotSent[] = N_("The data could not be sent.");
constexpr char kBodyAllocFailed[] = N_("Not enough memory to send the ranking entry.");
constexpr char kBodyFull[] = N_("Error: the data to send does not fit in the buffer.");

using Clock = std::chrono::steady_clock;

Clock::time_point DeadlineAfter(double seconds) {
  // A day is as good as forever here and keeps the arithmetic in range.
  seconds = std::clamp(std::isnan(seconds) ? 0.0 : seconds, 0.0, 86400.0);
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(
                            std::chrono::duration<double>(seconds));
}

// How often a wait that can be cancelled looks at its flag.
constexpr long long kCancelCheckMs = 50;

bool Cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(); }

// Waits until the socket is ready for events or the deadline passes:
// 1 ready (an error state also counts, the next call reports it), 0 time-out,
// -1 failure of the wait itself or a cancelled exchange.
int WaitUntil(int fd, short events, Clock::time_point deadline,
              const std::atomic<bool>* cancel) {
  if (fd < 0) return -1;  // poll would skip it and just sleep
  for (;;) {
    if (Cancelled(cancel)) return -1;
    long long left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    left = std::max<long long>(left, 0);
    if (cancel) left = std::min(left, kCancelCheckMs);
    pollfd entry{fd, events, 0};
    int ready = ::poll(&entry, 1, static_cast<int>(left));
    if (ready > 0) return (entry.revents & POLLNVAL) ? -1 : 1;
    if (ready == 0) {
      if (Clock::now() >= deadline) return 0;
      continue;
    }
    if (errno != EINTR) return -1;
  }
}

int WaitFor(int fd, short events, double seconds, const std::atomic<bool>* cancel) {
  return WaitUntil(fd, events, DeadlineAfter(seconds), cancel);
}

// One lookup on a detached thread: a resolver that hangs keeps only that
// thread, which ends on its own when the resolver gives up.
bool LookUpWithin(const Http::HostLookup& lookup, const std::string& host,
                  std::vector<std::string>& out, double seconds,
                  const std::atomic<bool>* cancel) {
  struct Shared {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool found = false;
    std::vector<std::string> texts;
  };
  auto shared = std::make_shared<Shared>();
  try {
    std::thread([shared, lookup, host] {
      std::vector<std::string> texts;
      bool found = false;
      try {
        found = lookup(host, texts);
      } catch (...) {
        found = false;
      }
      std::lock_guard<std::mutex> lock(shared->mutex);
      shared->found = found;
      shared->texts = std::move(texts);
      shared->finished = true;
      shared->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return lookup(host, out);  // no thread to spare: look up here, unbounded
  }
  const Clock::time_point deadline = DeadlineAfter(seconds);
  std::unique_lock<std::mutex> lock(shared->mutex);
  while (!shared->finished && !Cancelled(cancel) && Clock::now() < deadline) {
    shared->done.wait_until(
        lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(kCancelCheckMs)));
  }
  if (!shared->finished || !shared->found) return false;
  out = std::move(shared->texts);
  return true;
}

struct Candidate {
  sockaddr_storage address{};
  socklen_t length = 0;
};

// Parses a numeric address text (IPv4 or IPv6, with scope) without a lookup.
bool NumericAddress(const std::string& text, uint16_t port, Candidate& out) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  std::string service = std::to_string(port);
  if (::getaddrinfo(text.c_str(), service.c_str(), &hints, &found) != 0 || !found) return false;
  bool ok = found->ai_addrlen <= sizeof out.address;
  if (ok) {
    std::memcpy(&out.address, found->ai_addr, found->ai_addrlen);
    out.length = found->ai_addrlen;
  }
  ::freeaddrinfo(found);
  return ok;
}

// An IPv6 address goes into the Host line in its brackets.
std::string HostLine(const std::string& host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

bool SetNonBlocking(int fd) {
  int flags = ::fcntl(fd, F_GETFL, 0);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 &&
         ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

}  // namespace

size_t FormPartSize(size_t nameLength, size_t dataLength, bool binary) {
  return 18 + 41 + nameLength + (binary ? 30 : 28) + dataLength + 2;
}

bool SystemHostLookup(const std::string& host, std::vector<std::string>& out) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return false;
  for (addrinfo* entry = found; entry; entry = entry->ai_next) {
    char text[NI_MAXHOST];
    if (::getnameinfo(entry->ai_addr, entry->ai_addrlen, text, sizeof text, nullptr, 0,
                      NI_NUMERICHOST) != 0)
      continue;
    if (std::find(out.begin(), out.end(), text) == out.end()) out.push_back(text);
  }
  ::freeaddrinfo(found);
  return !out.empty();
}

Http::Http() : lookup(SystemHostLookup) {}

Http::~Http() { Close(); }

void Http::ReleaseBody() {
  body_.reset();
  bodyCapacity_ = 0;
  bodyLength_ = 0;
  bodyRefused_ = false;
}

int32_t Http::ParseUrl(UrlParts& out, const std::string& url) {
  if (url.compare(0, 7, "http://") != 0) {
    ShowDebugMessage(Tr(kUrlWrong));
    return kHttpFail;
  }
  size_t slash = url.find('/', 7);
  std::string host = url.substr(7, slash == std::string::npos ? std::string::npos : slash - 7);
  std::string path = slash == std::string::npos ? "/" : url.substr(slash);
  uint32_t port = 80;
  size_t colon = host.find(':');
  if (!host.empty() && host[0] == '[') {
    // An IPv6 address in brackets; the port's colon follows the closing one.
    size_t close = host.find(']');
    in6_addr v6{};
    if (close == std::string::npos || (close + 1 < host.size() && host[close + 1] != ':') ||
        ::inet_pton(AF_INET6, host.substr(1, close - 1).c_str(), &v6) != 1) {
      ShowDebugMessage(Tr(kUrlWrong));
      return kHttpFail;
    }
    colon = close + 1 < host.size() ? close + 1 : std::string::npos;
  }
  if (colon != std::string::npos) {
    std::string portText = host.substr(colon + 1);
    host.resize(colon);
    // Leading digits count, as atoi reads them; no digits give port 0.
    port = 0;
    size_t digits = 0;
    while (digits < portText.size() && portText[digits] >= '0' && portText[digits] <= '9') {
      port = std::min<uint32_t>(port * 10 + static_cast<uint32_t>(portText[digits] - '0'), 100000);
      ++digits;
    }
    // A port that would wrap into another port is refused, not guessed.
    if (portText.size() > 7 || port > 65535) {
      ShowDebugMessage(Tr(kUrlWrong));
      return kHttpFail;
    }
  }
  // The brackets belong to the URL and the Host line, not to the address.
  if (!host.empty() && host[0] == '[') host = host.substr(1, host.size() - 2);
  if (host.size() > kUrlHostMax || path.size() > kUrlPathMax) {
    ShowDebugMessage(Tr(kUrlWrong));
    return kHttpFail;
  }
  out.host = host;
  out.path = path;
  out.port = static_cast<uint16_t>(port);
  return kHttpOk;
}

int32_t Http::Connect(const std::string& host, uint16_t port) {
  Close();
  std::vector<Candidate> candidates;
  in_addr dotted{};
  if (::inet_aton(host.c_str(), &dotted) != 0) {
    Candidate candidate;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&candidate.address);
    v4->sin_family = AF_INET;
    v4->sin_port = htons(port);
    v4->sin_addr = dotted;
    candidate.length = sizeof(sockaddr_in);
    candidates.push_back(candidate);
  } else if (Candidate literal; host.find(':') != std::string::npos &&
                                NumericAddress(host, port, literal)) {
    candidates.push_back(literal);
  } else {
    ++lookupCount_;
    std::vector<std::string> texts;
    if (lookup && LookUpWithin(lookup, host, texts, lookupTimeoutSeconds, cancel)) {
      for (const std::string& text : texts) {
        Candidate candidate;
        if (NumericAddress(text, port, candidate)) candidates.push_back(candidate);
      }
    }
    if (candidates.empty()) {
      ShowDebugMessage(Tr(kLookupFailed));
      Close();
      return kHttpFail;
    }
  }

  bool anySocket = false;
  for (const Candidate& candidate : candidates) {
    int fd = ::socket(candidate.address.ss_family, SOCK_STREAM, 0);
    if (fd < 0) continue;
    anySocket = true;
    bool connected = false;
    if (SetNonBlocking(fd)) {
      if (::connect(fd, reinterpret_cast<const sockaddr*>(&candidate.address), candidate.length) ==
          0) {
        connected = true;
      } else if (errno == EINPROGRESS &&
                 WaitFor(fd, POLLOUT, connectTimeoutSeconds, cancel) == 1) {
        int error = 0;
        socklen_t size = sizeof error;
        connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
      }
    }
    if (connected) {
      socket_ = fd;
      return kHttpOk;
    }
    ::close(fd);
  }
  ShowDebugMessage(Tr(anySocket ? kConnectFailed : kSocketFailed));
  Close();
  return kHttpFail;
}

int32_t Http::Send(const void* bytes, size_t length, double timeoutSeconds) {
  int ready = WaitFor(socket_, POLLOUT, timeoutSeconds, cancel);
  Clock::time_point sendDeadline = DeadlineAfter(transferTimeoutSeconds);
  const auto* next = static_cast<const uint8_t*>(bytes);
  size_t left = length;
  while (ready == 1 && left > 0) {
    ssize_t sent = ::send(socket_, next, left, MSG_NOSIGNAL);
    if (sent > 0) {
      next += sent;
      left -= static_cast<size_t>(sent);
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // The rest goes as the peer takes it, as long as it keeps taking it.
      ready = WaitUntil(socket_, POLLOUT,
                        std::min(DeadlineAfter(progressTimeoutSeconds), sendDeadline), cancel);
    } else {
      ShowDebugMessage(std::to_string(sent < 0 ? errno : 0));
      ShowDebugMessage(Tr(kSendFailed));
      Close();
      return kHttpFail;
    }
  }
  if (ready != 1) {
    ShowDebugMessage(ready == 0 ? kTimedOut : kWaitFailed);
    Close();
    return kHttpFail;
  }
  // Tells the server the request is complete.
  ::shutdown(socket_, SHUT_WR);
  return kHttpOk;
}

int32_t Http::Receive(char* out, size_t capacity, double timeoutSeconds) {
  replyCut_ = false;
  if (!out || capacity == 0) {
    Close();
    return kHttpFail;
  }
  out[0] = '\0';
  int ready = WaitFor(socket_, POLLIN, timeoutSeconds, cancel);
  Clock::time_point replyDeadline = DeadlineAfter(transferTimeoutSeconds);
  size_t stored = 0;
  int32_t result = 0;
  while (ready == 1) {
    size_t room = capacity - 1 - stored;
    char probe;
    // With the buffer full, one more byte tells a finished reply from a cut one.
    ssize_t got = room > 0 ? ::recv(socket_, out + stored, room, 0) : ::recv(socket_, &probe, 1, 0);
    if (got > 0 && room == 0) {
      replyCut_ = true;
      result = static_cast<int32_t>(got);
      break;
    }
    if (got > 0) {
      stored += static_cast<size_t>(got);
    } else if (got == 0) {
      result = 0;
      break;
    } else if (errno == EINTR) {
      continue;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      ready = WaitUntil(socket_, POLLIN,
                        std::min(DeadlineAfter(progressTimeoutSeconds), replyDeadline), cancel);
    } else {
      ShowDebugMessage(Tr(kReceiveFailed));
      result = -1;
      break;
    }
  }
  out[stored] = '\0';
  if (ready != 1) {
    ShowDebugMessage(ready == 0 ? kTimedOut : kWaitFailed);
    Close();
    return kHttpFail;
  }
  ::shutdown(socket_, SHUT_RD);
  return result;
}

int32_t Http::Close() {
  if (socket_ >= 0) {
    ::shutdown(socket_, SHUT_RDWR);
    ::close(socket_);
    socket_ = -1;
  }
  return kHttpOk;
}

void Http::Exchange(const UrlParts& parts, const void* request, size_t length, char* out,
                    size_t capacity) {
  if (Connect(parts.host, parts.port) != kHttpOk) {
    ShowDebugMessage(Tr(kServerUnreachable));
    Close();
    return;
  }
  if (Send(request, length, kExchangeTimeout) != kHttpOk) {
    ShowDebugMessage(Tr(kDataNotSent));
    Close();
    return;
  }
  int32_t received = Receive(out, capacity, kExchangeTimeout);
  Close();
  exchangeComplete_ = received == 0;
}

int32_t Http::Get(const std::string& url, char* out, size_t capacity) {
  exchangeComplete_ = false;
  replyCut_ = false;
  if (out && capacity > 0) out[0] = '\0';
  UrlParts parts;
  if (ParseUrl(parts, url) != kHttpOk) {
    ShowDebugMessage(Tr(kUrlInvalid));
    return kHttpFail;
  }
  std::string request = "GET " + parts.path + " HTTP/1.0\r\nHost: " + HostLine(parts.host) +
                        ":" + std::to_string(parts.port) + "\r\n\r\n";
  Exchange(parts, request.data(), request.size(), out, capacity);
  return kHttpOk;
}

int32_t Http::Post(const std::string& url, char* out, size_t capacity) {
  exchangeComplete_ = false;
  replyCut_ = false;
  if (out && capacity > 0) out[0] = '\0';
  UrlParts parts;
  if (ParseUrl(parts, url) != kHttpOk) {
    ShowDebugMessage(Tr(kUrlInvalid));
    return kHttpFail;
  }
  std::string header = "POST " + parts.path +
                       " HTTP/1.0\r\n"
                       "Content-type: " + protocol::kFormContentType + "\r\nContent-Length: " +
                       std::to_string(bodyLength_ + kFormClosingLength) +
                       "\r\n"
                       "Host: " +
                       HostLine(parts.host) + "\r\n\r\n";
  // Host and path share a small fixed room before the body.
  if (header.size() > kPostHeaderRoom) {
    ShowDebugMessage(Tr(kUrlWrong));
    ShowDebugMessage(Tr(kUrlInvalid));
    return kHttpFail;
  }
  const std::string closing = std::string("--") + protocol::kFormBoundary + "--\r\n";
  if (!AppendToBody(closing.data(), closing.size())) return kHttpFail;

  size_t length = header.size() + bodyLength_;
  std::unique_ptr<uint8_t[]> request(new (std::nothrow) uint8_t[bodyLength_ + kPostHeaderRoom]);
  if (!request) {
    ShowDebugMessage(Tr(kBodyAllocFailed));
    return kHttpOk;
  }
  std::memcpy(request.get(), header.data(), header.size());
  std::memcpy(request.get() + header.size(), body_.get(), bodyLength_);
  Exchange(parts, request.get(), length, out, capacity);
  return kHttpOk;
}

void Http::BeginBody(size_t capacity) {
  ReleaseBody();
  body_.reset(new (std::nothrow) uint8_t[capacity == 0 ? 1 : capacity]());
  if (!body_) {
    ReportFatalError(Tr(kBodyAllocFailed), "Http", 79);
    return;
  }
  bodyCapacity_ = capacity;
}

bool Http::RefuseBody() {
  if (!bodyRefused_) ShowDebugMessage(Tr(kBodyFull));
  bodyRefused_ = true;
  return false;
}

bool Http::AppendToBody(const void* data, size_t length) {
  if (!body_ || bodyRefused_ || length > bodyCapacity_ - bodyLength_) return RefuseBody();
  if (length > 0) std::memcpy(body_.get() + bodyLength_, data, length);
  bodyLength_ += length;
  return true;
}

void Http::AddFormField(const std::string& name, const void* data, size_t length, bool binary) {
  // The whole part fits or none of it is written.
  if (!body_ || bodyRefused_ || (!data && length > 0) || length > bodyCapacity_ ||
      FormPartSize(name.size(), length, binary) > bodyCapacity_ - bodyLength_) {
    RefuseBody();
    return;
  }
  std::string head = std::string("--") + protocol::kFormBoundary +
                     "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n" +
                     (binary ? "Content-Type: octet/stream\r\n\r\n"
                             : "Content-Type: text/plain\r\n\r\n");
  AppendToBody(head.data(), head.size());
  AppendToBody(data, length);
  AppendToBody("\r\n", 2);
}

void Http::UrlEncode(std::string& out, const std::string& in) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out.clear();
  for (char c : in) {
    if (c == '\0') break;
    auto byte = static_cast<unsigned char>(c);
    bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                 (byte >= '0' && byte <= '9') || byte == '.' || byte == '-' || byte == '_';
    if (plain) {
      out.push_back(c);
    } else if (byte == ' ') {
      out.push_back('+');
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    }
  }
}

}  // namespace quadrel
