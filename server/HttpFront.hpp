// The ranking server's HTTP front end: one event thread on epoll does all
// socket I/O and reads each request within fixed limits; complete requests go
// to a small pool of workers through a bounded queue; the event thread writes
// the answers back. Every answer closes its connection. A connection that is
// slow or idle costs a descriptor and a small buffer, never a thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quadrel::server {

struct HttpLimits {
  size_t maxLine = 8 * 1024;          // request line and each header line
  size_t maxHeaders = 64;
  size_t maxHead = 16 * 1024;         // all header lines together
  size_t maxBody = 2 * 1024 * 1024;   // the largest replay and its fields fit
  // Bodies being received at once may claim this much memory together.
  size_t maxBodiesInFlight = 64 * 1024 * 1024;
  // The head must be in within this time of the accept. A whole request
  // within the other: the game gives up its own transfer after 30 s, so a
  // body still coming later has no reader for its answer (1.3 MB in 30 s
  // needs about 350 kbit/s).
  std::chrono::milliseconds headDeadline{5000};
  std::chrono::milliseconds requestDeadline{30000};
  std::chrono::milliseconds writeDeadline{30000};  // to hand out one answer
  std::chrono::milliseconds lingerTime{2000};      // reading what a refusal left unread
  int maxConnections = 1024;     // further lowered below the descriptor limit
  int perAddress = 16;           // connections at once from one client address
  double ratePerSecond = 5;      // requests per client address; 0: no limit
  double rateBurst = 20;
  size_t queueLength = 64;       // complete requests waiting for a worker
  // A streamed request that waited this long for a worker is refused unread.
  std::chrono::milliseconds queueWait{2000};
};

struct HttpRequest {
  std::string method;
  std::string target;   // as sent
  std::string path;     // the target before any '?'
  std::string query;    // after the '?'
  std::vector<std::pair<std::string, std::string>> headers;  // names lower case
  std::string body;
  std::string client;   // the client address (a trusted proxy's X-Forwarded-For)
  std::chrono::steady_clock::time_point complete;  // when the last byte was in

  // The first header of that (lower case) name, or empty.
  std::string_view Header(std::string_view name) const;
};

struct HttpResponse {
  int status = 200;
  std::string contentType = "text/plain; charset=us-ascii";
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::string logReason;  // for the log line, never sent
};

const char* StatusText(int status);

// What the front end asks of the routes.
struct HttpRoutes {
  // A path whose POST answers start at once with "HTTP/1.0 200 OK" as soon as
  // the body is in, and whose every answer ends with this token.
  std::string streamedPath;
  std::string refusalToken;
  // Runs on a worker thread.
  std::function<HttpResponse(const HttpRequest&)> handle;
  // One line per answer worth noting: cause (for the rate limit) and text.
  std::function<void(const std::string& cause, const std::string& line)> log;
  // Refusals by cause, connections open, requests waiting, for the metrics.
  std::function<void(const char* cause)> refused;
};

struct HttpStats {
  std::atomic<int64_t> open{0};
  std::atomic<int64_t> waitingStreamed{0};  // streamed requests not yet with a worker
};

class HttpFront {
 public:
  HttpFront(HttpLimits limits, std::vector<std::string> trustedProxies, int workers,
            HttpRoutes routes);
  ~HttpFront();
  HttpFront(const HttpFront&) = delete;
  HttpFront& operator=(const HttpFront&) = delete;

  // host: a name or an address literal; port 0 picks a free one. Returns the
  // port, or -1 with the reason in error().
  int Bind(const std::string& host, int port);
  // Serves until Stop. False when it could not serve.
  bool Run();
  // Safe from a signal handler.
  void Stop();
  const std::string& error() const { return error_; }
  const HttpStats& stats() const { return stats_; }

 private:
  struct Loop;
  HttpLimits limits_;
  std::vector<std::string> trusted_;
  int workers_;
  HttpRoutes routes_;
  HttpStats stats_;
  int listenFd_ = -1;
  int wakeFd_ = -1;
  std::atomic<bool> stop_{false};
  std::string error_;
};

// An IPv4 or IPv6 literal in its canonical text (an IPv4-mapped IPv6 address
// as IPv4); empty when the text is not an address.
std::string CanonicalAddress(std::string_view text);

}  // namespace quadrel::server
