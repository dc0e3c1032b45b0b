// The event thread and its workers: see HttpFront.hpp.
#include "HttpFront.hpp"
#include "HttpHead.hpp"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "HttpHead.hpp"

namespace quadrel::server {

using Clock = std::chrono::steady_clock;

namespace {

constexpr uint64_t kListenId = 0, kWakeId = 1;
constexpr size_t kReadChunk = 16 * 1024;

std::string PeerText(const sockaddr_storage& addr) {
  char text[INET6_ADDRSTRLEN] = {};
  if (addr.ss_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(addr).sin_addr, text, sizeof text);
  else if (addr.ss_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(addr).sin6_addr, text, sizeof text);
  return CanonicalAddress(text);
}

// Sent as soon as a streamed request's body is in: the client has its first
// bytes at once, however long the verdict takes.
constexpr const char* kStreamedHead =
    "HTTP/1.0 200 OK\r\nContent-Type: text/plain; charset=us-ascii\r\n"
    "X-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n";

enum class Phase { Head, Body, Working, Writing, Linger };

struct Conn {
  uint64_t id = 0;
  int fd = -1;
  std::string peer;
  std::string counted;  // the address this connection counts against, if any
  Clock::time_point accepted;
  Clock::time_point deadline;
  Phase phase = Phase::Head;
  HeadScan scan;
  std::string head;
  HttpRequest request;
  size_t bodyWanted = 0;
  size_t claimed = 0;      // of the bodies' shared budget
  bool streamed = false;
  bool withBody = true;    // false for HEAD
  bool inputDone = false;  // the whole request was read
  std::string out;
  size_t sent = 0;
  bool finished = false;   // out holds the whole answer
  uint32_t events = 0;
};

struct Bucket {
  double tokens = 0;
  Clock::time_point last;
};

struct Job {
  uint64_t id;
  HttpRequest request;
  bool streamed;
};

struct Done {
  uint64_t id;
  HttpResponse response;
};

}  // namespace

struct HttpFront::Loop {
  HttpFront& f;
  int epoll = -1;
  int cap = 0;
  uint64_t nextId = 2;
  std::unordered_map<uint64_t, std::unique_ptr<Conn>> conns;
  std::unordered_map<std::string, int> perAddress;
  std::unordered_map<std::string, Bucket> buckets;
  size_t bodiesClaimed = 0;
  Clock::time_point acceptPausedUntil{};
  bool acceptPaused = false;

  std::mutex mutex;
  std::condition_variable wake;
  std::deque<Job> jobs;
  std::vector<Done> done;
  bool quit = false;
  std::vector<std::thread> workers;

  explicit Loop(HttpFront& front) : f(front) {}

  ~Loop() {
    {
      std::lock_guard lock(mutex);
      quit = true;
    }
    wake.notify_all();
    for (auto& t : workers) t.join();
    for (auto& [id, c] : conns) ::close(c->fd);
    f.stats_.open = 0;
    if (epoll >= 0) ::close(epoll);
  }

  void Watch(Conn& c, uint32_t events) {
    if (c.events == events) return;
    epoll_event e{};
    e.events = events;
    e.data.u64 = c.id;
    epoll_ctl(epoll, EPOLL_CTL_MOD, c.fd, &e);
    c.events = events;
  }

  void Log(const std::string& cause, const Conn& c, int status, const std::string& extra) {
    const HttpRequest& r = c.request;
    std::string line = UtcNow() + " " + (r.client.empty() ? c.peer : r.client) + " " +
                       (r.method.empty() ? "-" : r.method) + " " +
                       (r.path.empty() ? "-" : r.path.substr(0, 80)) + " " +
                       std::to_string(status);
    if (!extra.empty()) line += " " + extra;
    if (f.routes_.log) f.routes_.log(cause, line);
  }

  void Count(Conn& c, const std::string& address) {
    if (c.counted == address) return;
    Uncount(c);
    c.counted = address;
    ++perAddress[address];
  }
  void Uncount(Conn& c) {
    if (c.counted.empty()) return;
    auto it = perAddress.find(c.counted);
    if (it != perAddress.end() && --it->second <= 0) perAddress.erase(it);
    c.counted.clear();
  }

  void Close(uint64_t id) {
    auto it = conns.find(id);
    if (it == conns.end()) return;
    Conn& c = *it->second;
    ::close(c.fd);
    Uncount(c);
    bodiesClaimed -= c.claimed;
    conns.erase(it);
    --f.stats_.open;
  }

  // Also for a head refused before it was parsed, from its first bytes.
  bool OnStreamedPath(const Conn& c) const {
    const std::string& path = f.routes_.streamedPath;
    if (c.streamed || c.request.path == path) return true;
    if (!c.request.path.empty()) return false;
    const size_t space = c.head.find(' ');
    if (space == std::string::npos || space > 16 || c.head.compare(space + 1, path.size(), path) != 0)
      return false;
    const size_t after = space + 1 + path.size();
    return after < c.head.size() && (c.head[after] == ' ' || c.head[after] == '?');
  }

  // Answers without reading further. On the streamed path the answer still
  // ends with the refusal token the client looks for.
  void Refuse(Conn& c, int status, const char* cause, const std::string& reason) {
    if (f.routes_.refused) f.routes_.refused(cause);
    HttpResponse r;
    r.status = status;
    r.body = std::to_string(status) + " " + StatusText(status) + "\n";
    if (OnStreamedPath(c)) r.body += f.routes_.refusalToken;
    if (status == 405) r.headers.emplace_back("Allow", "GET, HEAD");
    Log(cause, c, status, reason);
    c.out = SerializeResponse(r, true);
    c.sent = 0;
    c.finished = true;
    c.phase = Phase::Writing;
    c.deadline = Clock::now() + f.limits_.writeDeadline;
    Flush(c);
  }

  bool Take(const std::string& client) {
    const HttpLimits& l = f.limits_;
    if (l.ratePerSecond <= 0) return true;
    const auto now = Clock::now();
    auto [it, fresh] = buckets.try_emplace(client, Bucket{l.rateBurst, now});
    Bucket& b = it->second;
    if (!fresh) {
      const double seconds = std::chrono::duration<double>(now - b.last).count();
      b.tokens = std::min(l.rateBurst, b.tokens + seconds * l.ratePerSecond);
      b.last = now;
    }
    if (b.tokens < 1) return false;
    b.tokens -= 1;
    return true;
  }

  // The head is in: refuse what must not be read on, or start the body.
  void HeadDone(Conn& c, std::string rest) {
    HttpRequest& r = c.request;
    HeadCheck check = ParseHead(c.head, c.scan, r);
    c.head.clear();
    c.head.shrink_to_fit();
    if (check.status != 0) return Refuse(c, check.status, check.cause, check.reason);
    const bool post = r.method == "POST";
    c.withBody = r.method != "HEAD";
    if (post && r.path != f.routes_.streamedPath)
      return Refuse(c, 405, "method", "POST elsewhere");
    c.streamed = post;

    // The client: the peer, or the last hop a trusted proxy appended.
    r.client = c.peer;
    const bool proxied =
        std::find(f.trusted_.begin(), f.trusted_.end(), c.peer) != f.trusted_.end();
    if (proxied && !r.Header("x-forwarded-for").empty()) {
      std::string_view forwarded;
      for (const auto& [name, value] : r.headers)
        if (name == "x-forwarded-for") forwarded = value;
      const size_t comma = forwarded.rfind(',');
      std::string_view last = comma == std::string_view::npos ? forwarded : forwarded.substr(comma + 1);
      while (!last.empty() && (last.front() == ' ' || last.front() == '\t')) last.remove_prefix(1);
      while (!last.empty() && (last.back() == ' ' || last.back() == '\t')) last.remove_suffix(1);
      r.client = CanonicalAddress(last);
      if (r.client.empty()) {
        r.client = c.peer;
        return Refuse(c, 400, "bad_request", "unusable X-Forwarded-For");
      }
    }
    if (proxied) {
      Count(c, r.client);
      if (perAddress[r.client] > f.limits_.perAddress)
        return Refuse(c, 429, "per_address", "too many connections");
    }
    if (!Take(r.client)) return Refuse(c, 429, "rate", "request rate");

    size_t length = 0;
    if (check.hasLength) length = check.length;
    if (post) {
      if (!check.hasLength) return Refuse(c, 411, "length_required", "no usable Content-Length");
      if (length > f.limits_.maxBody)
        return Refuse(c, 413, "too_large", "body of " + std::to_string(length) + " bytes");
      if (bodiesClaimed + length > f.limits_.maxBodiesInFlight)
        return Refuse(c, 503, "busy", "bodies in flight");
    } else if (length != 0) {
      return Refuse(c, 400, "bad_request", "a body on " + r.method);
    }
    c.bodyWanted = length;
    c.claimed = length;
    bodiesClaimed += length;
    c.phase = Phase::Body;
    c.deadline = c.accepted + f.limits_.requestDeadline;
    r.body = std::move(rest);
    if (r.body.size() > length) r.body.resize(length);
    if (r.body.size() == length) RequestDone(c);
  }

  void RequestDone(Conn& c) {
    c.inputDone = true;
    c.request.complete = Clock::now();
    c.deadline = c.request.complete + f.limits_.writeDeadline;
    bool queued = false;
    {
      std::lock_guard lock(mutex);
      if (jobs.size() < f.limits_.queueLength) {
        // The body moves; the rest stays for the log line.
        std::string body = std::move(c.request.body);
        jobs.push_back(Job{c.id, c.request, c.streamed});
        jobs.back().request.body = std::move(body);
        queued = true;
        if (c.streamed) ++f.stats_.waitingStreamed;
      }
    }
    if (queued) wake.notify_one();
    c.request.body.clear();
    c.request.body.shrink_to_fit();
    bodiesClaimed -= c.claimed;
    c.claimed = 0;
    if (c.streamed) {
      c.out = kStreamedHead;
      c.sent = 0;
    }
    c.phase = Phase::Working;
    if (!queued) {
      if (f.routes_.refused) f.routes_.refused("queue_full");
      Log("queue_full", c, c.streamed ? 200 : 503,
          c.streamed ? f.routes_.refusalToken + " every worker busy" : "every worker busy");
      if (c.streamed) {
        c.out += f.routes_.refusalToken;
      } else {
        HttpResponse r;
        r.status = 503;
        r.body = "503 Service Unavailable\n";
        c.out = SerializeResponse(r, c.withBody);
      }
      c.finished = true;
    }
    Flush(c);
  }

  void Answer(Done& d) {
    auto it = conns.find(d.id);
    if (it == conns.end()) return;  // gone while its answer was made
    Conn& c = *it->second;
    HttpResponse& r = d.response;
    if (c.streamed) {
      const std::string& b = r.body;
      const std::string token = b.size() >= 2 ? b.substr(b.size() - 2) : b;
      std::string extra = token;
      if (!r.logReason.empty()) extra += " " + r.logReason;
      Log(token, c, 200, extra);
      c.out += r.body;
    } else {
      if (r.status >= 400) Log(std::to_string(r.status), c, r.status, r.logReason);
      c.out = SerializeResponse(r, c.withBody);
      c.sent = 0;
    }
    c.finished = true;
    c.deadline = Clock::now() + f.limits_.writeDeadline;
    Flush(c);
  }

  // Writes what is pending; closes once the whole answer is out.
  void Flush(Conn& c) {
    while (c.sent < c.out.size()) {
      const ssize_t n = ::send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL);
      if (n > 0) {
        c.sent += static_cast<size_t>(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        return Watch(c, EPOLLOUT);
      } else {
        return Close(c.id);
      }
    }
    if (!c.finished) return Watch(c, 0);  // the streamed head is out; the rest comes later
    ::shutdown(c.fd, SHUT_WR);
    // Closing with unread input would reset the connection and could take
    // the answer with it: read and drop what still comes, for a short while.
    char peek;
    if (c.inputDone && ::recv(c.fd, &peek, 1, MSG_PEEK | MSG_DONTWAIT) <= 0) return Close(c.id);
    c.out.clear();
    c.out.shrink_to_fit();
    c.phase = Phase::Linger;
    c.deadline = Clock::now() + f.limits_.lingerTime;
    Watch(c, EPOLLIN);
  }

  void Read(Conn& c) {
    char buffer[kReadChunk];
    size_t want = sizeof buffer;
    if (c.phase == Phase::Body) want = std::min(want, c.bodyWanted - c.request.body.size());
    const ssize_t n = ::recv(c.fd, buffer, want, 0);
    if (n < 0) {
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) Close(c.id);
      return;
    }
    if (n == 0) {
      if (c.phase == Phase::Linger || (c.phase == Phase::Head && c.head.empty()))
        return Close(c.id);
      if (c.phase == Phase::Head) return Refuse(c, 400, "bad_request", "head cut short");
      return Refuse(c, 400, "bad_request", "body shorter than its length");
    }
    const std::string_view got(buffer, static_cast<size_t>(n));
    if (c.phase == Phase::Linger) return;
    if (c.phase == Phase::Body) {
      c.request.body.append(got);
      if (c.request.body.size() == c.bodyWanted) RequestDone(c);
      return;
    }
    c.head.append(got);
    const HeadScan::Result scanned = c.scan.Feed(c.head, f.limits_);
    if (scanned.status != 0) return Refuse(c, scanned.status, scanned.cause, scanned.reason);
    if (scanned.complete) HeadDone(c, c.head.substr(scanned.end));
  }

  void Accept() {
    for (;;) {
      sockaddr_storage addr{};
      socklen_t size = sizeof addr;
      const int fd = ::accept4(f.listenFd_, reinterpret_cast<sockaddr*>(&addr), &size,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
          // No descriptor to take it with: stop listening for a moment
          // rather than be woken for it again and again.
          epoll_ctl(epoll, EPOLL_CTL_DEL, f.listenFd_, nullptr);
          acceptPaused = true;
          acceptPausedUntil = Clock::now() + std::chrono::milliseconds(100);
        }
        return;
      }
      auto c = std::make_unique<Conn>();
      c->id = nextId++;
      c->fd = fd;
      c->peer = PeerText(addr);
      c->accepted = Clock::now();
      c->deadline = c->accepted + f.limits_.headDeadline;
      const bool proxied =
          std::find(f.trusted_.begin(), f.trusted_.end(), c->peer) != f.trusted_.end();
      const char* cause = nullptr;
      if (static_cast<int>(conns.size()) >= cap) {
        cause = "connection_cap";
      } else if (!proxied) {
        auto it = perAddress.find(c->peer);
        if (it != perAddress.end() && it->second >= f.limits_.perAddress) cause = "per_address";
      }
      if (cause) {
        // Closed at once: an answer would cost a write that may never end.
        if (f.routes_.refused) f.routes_.refused(cause);
        Log(cause, *c, 0, "closed at accept");
        ::close(fd);
        continue;
      }
      if (!proxied) Count(*c, c->peer);
      epoll_event e{};
      e.events = EPOLLIN;
      e.data.u64 = c->id;
      c->events = EPOLLIN;
      if (epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &e) != 0) {
        Uncount(*c);
        ::close(fd);
        continue;
      }
      ++f.stats_.open;
      conns.emplace(c->id, std::move(c));
    }
  }

  // Deadlines, and the rate buckets that are full again. Returns the time to
  // the next deadline.
  std::chrono::milliseconds Sweep() {
    const auto now = Clock::now();
    Clock::time_point next = now + std::chrono::seconds(1);
    std::vector<uint64_t> late;
    for (auto& [id, c] : conns) {
      if (c->deadline <= now) late.push_back(id);
      else next = std::min(next, c->deadline);
    }
    for (uint64_t id : late) {
      auto it = conns.find(id);
      if (it == conns.end()) continue;
      Conn& c = *it->second;
      if (c.phase == Phase::Head && !c.head.empty())
        Refuse(c, 408, "head_timeout", "head not in within its time");
      else if (c.phase == Phase::Body)
        Refuse(c, 408, "request_timeout", "body not in within its time");
      else if (c.phase == Phase::Head)
        Close(id);  // sent nothing: nobody to answer
      else if (c.phase == Phase::Working || c.phase == Phase::Writing) {
        if (f.routes_.refused) f.routes_.refused("write_timeout");
        Log("write_timeout", c, 0, "answer not taken within its time");
        Close(id);
      } else {
        Close(id);
      }
    }
    if (buckets.size() > 10000) {
      const double refill = f.limits_.rateBurst / std::max(f.limits_.ratePerSecond, 1e-9);
      std::erase_if(buckets, [&](const auto& kv) {
        return std::chrono::duration<double>(now - kv.second.last).count() > refill;
      });
    }
    if (acceptPaused && now >= acceptPausedUntil) {
      epoll_event e{};
      e.events = EPOLLIN;
      e.data.u64 = kListenId;
      epoll_ctl(epoll, EPOLL_CTL_ADD, f.listenFd_, &e);
      acceptPaused = false;
    }
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now);
    return std::max(wait, std::chrono::milliseconds(10));
  }

  void Work() {
    for (;;) {
      Job job;
      {
        std::unique_lock lock(mutex);
        wake.wait(lock, [&] { return quit || !jobs.empty(); });
        if (quit) return;
        job = std::move(jobs.front());
        jobs.pop_front();
      }
      if (job.streamed) --f.stats_.waitingStreamed;
      Done d{job.id, {}};
      // A streamed answer has sent its head already; the client waits at
      // most its progress time-out (10 s in the game) for the rest. What
      // waited too long for a worker is refused unread, so nothing is
      // stored that the client has already given up on.
      if (job.streamed && Clock::now() - job.request.complete > f.limits_.queueWait) {
        if (f.routes_.refused) f.routes_.refused("queue_wait");
        d.response.body = f.routes_.refusalToken;
        d.response.logReason = "waited too long for a worker";
      } else {
        try {
          d.response = f.routes_.handle(job.request);
        } catch (const std::exception& e) {
          d.response = HttpResponse{};
          d.response.status = 500;
          d.response.body = "500 Internal Server Error\n";
          if (job.streamed) d.response.body = f.routes_.refusalToken;
          d.response.logReason = e.what();
        }
      }
      {
        std::lock_guard lock(mutex);
        done.push_back(std::move(d));
      }
      const uint64_t one = 1;
      [[maybe_unused]] ssize_t w = ::write(f.wakeFd_, &one, sizeof one);
    }
  }

  bool Serve() {
    epoll = epoll_create1(EPOLL_CLOEXEC);
    if (epoll < 0) return false;
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    const auto spare = static_cast<rlim_t>(64);
    const long fit = files.rlim_cur > spare ? static_cast<long>(files.rlim_cur - spare) : 16;
    cap = static_cast<int>(std::max(16L, std::min<long>(f.limits_.maxConnections, fit)));
    for (auto [fd, id] : {std::pair{f.listenFd_, kListenId}, std::pair{f.wakeFd_, kWakeId}}) {
      epoll_event e{};
      e.events = EPOLLIN;
      e.data.u64 = id;
      if (epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &e) != 0) return false;
    }
    for (int i = 0; i < f.workers_; ++i) workers.emplace_back([this] { Work(); });
    epoll_event events[64];
    auto wait = std::chrono::milliseconds(1000);
    while (!f.stop_) {
      const int n = epoll_wait(epoll, events, 64, static_cast<int>(wait.count()));
      if (n < 0 && errno != EINTR) return false;
      for (int i = 0; i < n; ++i) {
        const uint64_t id = events[i].data.u64;
        if (id == kListenId) {
          Accept();
        } else if (id == kWakeId) {
          uint64_t count = 0;
          [[maybe_unused]] ssize_t r = ::read(f.wakeFd_, &count, sizeof count);
          std::vector<Done> ready;
          {
            std::lock_guard lock(mutex);
            ready.swap(done);
          }
          for (Done& d : ready) Answer(d);
        } else {
          auto it = conns.find(id);
          if (it == conns.end()) continue;
          Conn& c = *it->second;
          const uint32_t ev = events[i].events;
          if (ev & EPOLLOUT) Flush(c);
          else if (ev & EPOLLIN) Read(c);
          else if (ev & (EPOLLERR | EPOLLHUP)) Close(id);
        }
      }
      wait = Sweep();
    }
    return true;
  }
};

bool HttpFront::Run() {
  if (listenFd_ < 0 || wakeFd_ < 0) {
    error_ = "not bound";
    return false;
  }
  if (stop_) return true;
  Loop loop(*this);
  if (!loop.Serve()) {
    error_ = std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace quadrel::server
