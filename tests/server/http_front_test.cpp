// The ranking server's HTTP side: what is refused before any body byte is
// read, deadlines that trickling clients cannot stretch, limits counted per
// client address (behind a trusted proxy too), the registration's early head,
// and a failing database that stays out of every answer.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <mutex>
#include <thread>

#include "GameClient.hpp"
#include "Operations.hpp"
#include "ServerFixture.hpp"

namespace quadrel::test {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int Connect(int port, const char* from) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  inet_pton(AF_INET, from, &a.sin_addr);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  a.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Whether the server closes the connection (or answers) within ms.
bool ClosedWithin(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, ms) == 1;
}

const std::string kRegister = "POST /quadrel/ranking/ranking.cgi HTTP/1.0\r\n";

TEST(HttpFront, RefusesBeforeReadingAnyBodyByte) {
  LiveServer live("sqlite", server::ServerOptions{});
  ASSERT_TRUE(live.ready());
  std::string manyHeaders, bigHeaders;
  for (int i = 0; i < 65; ++i) manyHeaders += "X-" + std::to_string(i) + ": a\r\n";
  for (int i = 0; i < 20; ++i) bigHeaders += "X-" + std::to_string(i) + ": " + std::string(900, 'b') + "\r\n";
  const struct {
    std::string head;
    int status;
  } cases[] = {
      {kRegister + "Content-Length: 3145728\r\n\r\n", 413},
      {kRegister + "Content-Encoding: gzip\r\nContent-Length: 1000\r\n\r\n", 415},
      {"GET / HTTP/1.1\r\ncontent-encoding: br\r\n\r\n", 415},
      {kRegister + "Transfer-Encoding: chunked\r\n\r\n", 411},
      {kRegister + "Host: x\r\n\r\n", 411},
      {kRegister + "Content-Length: -5\r\n\r\n", 411},
      {kRegister + "Content-Length: 99999999999999999999999\r\n\r\n", 411},
      {kRegister + "Content-Length: 12abc\r\n\r\n", 411},
      {kRegister + "Content-Length: 5\r\nContent-Length: 5\r\n\r\n", 400},
      {"POST /api/top HTTP/1.1\r\nContent-Length: 10\r\n\r\n", 405},
      {"GET /" + std::string(9000, 'a') + " HTTP/1.1\r\n\r\n", 414},
      {"GET / HTTP/1.1\r\nX-A: " + std::string(9000, 'a') + "\r\n\r\n", 431},
      {kRegister + "X-A: " + std::string(9000, 'a') + "\r\n\r\n", 431},
      {"GET / HTTP/1.1\r\n" + manyHeaders + "\r\n", 431},
      {"GET / HTTP/1.1\r\n" + bigHeaders + "\r\n", 431},
      {"GET / HTTP/1.1\r\nX-A: a\r\n folded\r\n\r\n", 400},
      {"BREW / HTCPCP/1.0\r\n\r\n", 400},
      {"GET / HTTP/2.0\r\n\r\n", 505},
  };
  for (const auto& c : cases) {
    // The connection stays open: the answer must not wait for a body.
    const std::string reply = Exchange(live.port(), c.head, false, 3000);
    const std::string what = c.head.substr(0, 60);
    EXPECT_EQ(StatusOf(reply), c.status) << what << ": " << reply.substr(0, 200);
    EXPECT_NE(reply.find("X-Content-Type-Options: nosniff\r\n"), std::string::npos) << what;
    if (c.head.rfind(kRegister, 0) == 0) {
      EXPECT_EQ(VerdictOf(reply), -1) << what;
    }
  }
  // A body shorter than its length, then the client's end: still a verdict.
  std::string reply = Exchange(live.port(), kRegister + "Content-Length: 500\r\n\r\n--0123", true);
  EXPECT_EQ(VerdictOf(reply), -1) << reply;
  reply = Exchange(live.port(), "GET /quadrel/ranking/ranking.cgi HTTP/1.0\r\n\r\n", true);
  EXPECT_EQ(VerdictOf(reply), -1) << reply;
}

TEST(HttpFront, TricklingClientsMeetTheWholeRequestDeadline) {
  server::ServerOptions options;
  options.http.headDeadline = std::chrono::milliseconds(1000);
  options.http.requestDeadline = std::chrono::milliseconds(2000);
  LiveServer live("sqlite", options);
  ASSERT_TRUE(live.ready());
  // A header line every 200 ms: every read is quick, the head never ends.
  const int fd = Connect(live.port(), "127.0.0.1");
  const auto start = Clock::now();
  ::send(fd, "GET / HTTP/1.1\r\n", 16, MSG_NOSIGNAL);
  std::string reply;
  while (SecondsSince(start) < 5 && reply.empty()) {
    ::send(fd, "X-Slow: 1\r\n", 11, MSG_NOSIGNAL);
    if (ClosedWithin(fd, 200)) {
      char buffer[512];
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      reply.assign(buffer, n > 0 ? static_cast<size_t>(n) : 0);
      break;
    }
  }
  const double headSeconds = SecondsSince(start);
  ::close(fd);
  EXPECT_EQ(StatusOf(reply), 408) << reply;
  EXPECT_LT(headSeconds, 1.6);
  // A body that never comes: refused with a verdict at the request deadline.
  const auto bodyStart = Clock::now();
  reply = Exchange(live.port(), GameRequest(std::string(5000, 'x')).substr(0, 300), false, 8000);
  const double bodySeconds = SecondsSince(bodyStart);
  EXPECT_EQ(StatusOf(reply), 408) << reply;
  EXPECT_EQ(VerdictOf(reply), -1);
  EXPECT_GT(bodySeconds, 1.5);
  EXPECT_LT(bodySeconds, 2.6);
  std::printf("trickled head cut after %.2f s, stalled body after %.2f s\n", headSeconds,
              bodySeconds);
}

TEST(HttpFront, RegistrationHeadComesAtOnceAndTheVerifierWaitIsBounded) {
  std::promise<void> entered, release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> calls{0};
  server::ServerOptions options;
  options.verifiers = 1;
  options.verifierWait = std::chrono::milliseconds(1000);
  options.onVerify = [&] {
    if (calls++ == 0) {
      entered.set_value();
      released.wait();
    }
  };
  LiveServer live("sqlite", options);
  ASSERT_TRUE(live.ready());
  const std::vector<std::string> golden = GoldenReplays();
  const std::string a = ReadBinaryFile(golden.at(0)), b = ReadBinaryFile(golden.at(1));
  std::string first;
  std::thread holder([&] { first = Register(live.port(), FieldsFor(a, "HOLDER    ", "a.rep")); });
  entered.get_future().wait();
  double firstByteMs = -1;
  const auto start = Clock::now();
  const std::string busy = Exchange(live.port(), GameRequest(GameBody(FieldsFor(b, "WAITER    ", "b.rep"))),
                                    true, 10000, &firstByteMs);
  const double seconds = SecondsSince(start);
  EXPECT_EQ(busy.rfind("HTTP/1.0 200 OK\r\n", 0), 0u) << busy;
  EXPECT_LT(firstByteMs, 500);
  EXPECT_EQ(VerdictOf(busy), -1);
  EXPECT_GT(seconds, 0.9);
  EXPECT_LT(seconds, 2.5);
  release.set_value();
  holder.join();
  EXPECT_EQ(BodyOf(first), "OK");
  const std::vector<server::RankingRow> rows = live.storage().Top(10);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].name, "HOLDER    ");
  std::printf("head after %.1f ms, -1 after %.2f s\n", firstByteMs, seconds);
}

TEST(HttpFront, LimitsCountTheClientAddressBehindATrustedProxyToo) {
  server::ServerOptions options;
  options.http.perAddress = 4;
  options.http.ratePerSecond = 0.1;
  options.http.rateBurst = 3;
  options.trustedProxies = {"127.0.0.2"};
  std::mutex mutex;
  std::vector<std::string> lines;
  options.log = [&](const std::string& line) {
    std::lock_guard lock(mutex);
    lines.push_back(line);
  };
  LiveServer live("sqlite", options, true);
  ASSERT_TRUE(live.ready());
  // Connections at once: the fifth idle one from an address is closed at once.
  std::vector<int> idle;
  for (int i = 0; i < 5; ++i) idle.push_back(Connect(live.port(), "127.0.0.3"));
  EXPECT_TRUE(ClosedWithin(idle[4], 1000));
  EXPECT_FALSE(ClosedWithin(idle[3], 200));
  for (int fd : idle) ::close(fd);

  auto get = [&](const char* from, const std::string& forwarded) {
    const std::string head = "GET /healthz HTTP/1.0\r\n" +
                             (forwarded.empty() ? "" : "X-Forwarded-For: " + forwarded + "\r\n") +
                             "\r\n";
    return StatusOf(Exchange(live.port(), head, true, 3000, nullptr, from));
  };
  // Rate: three in a burst, then 429, for each client on its own.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(get("127.0.0.4", ""), 200) << i;
  EXPECT_EQ(get("127.0.0.4", ""), 429);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(get("127.0.0.2", "203.0.113.9, 198.51.100.7"), 200) << i;
  EXPECT_EQ(get("127.0.0.2", "198.51.100.7"), 429);
  EXPECT_EQ(get("127.0.0.2", "198.51.100.7, 198.51.100.8"), 200);
  EXPECT_EQ(get("127.0.0.2", "not an address"), 400);
  // From anyone else the header is the client's word: ignored.
  EXPECT_EQ(get("127.0.0.4", "198.51.100.99"), 429);
  const std::string limited =
      Exchange(live.port(), kRegister + "Content-Length: 1\r\n\r\nx", true, 3000, nullptr, "127.0.0.4");
  EXPECT_EQ(StatusOf(limited), 429);
  EXPECT_EQ(VerdictOf(limited), -1);

  std::lock_guard lock(mutex);
  bool forwardedLogged = false;
  for (const std::string& line : lines)
    forwardedLogged |= line.find(" 198.51.100.7 GET /healthz 429") != std::string::npos;
  EXPECT_TRUE(forwardedLogged);
}

// Every query fails, with words that must stay in the log.
class BrokenStorage : public server::RankingStorage {
 public:
  bool Known(const server::Digest&) override {
    throw server::StorageError("disk I/O error in /secret/ranking.sqlite");
  }
  server::StoreResult Register(const server::Registration&, const server::GameDigests&, int,
                               int64_t*) override {
    throw server::StorageError("disk I/O error in /secret/ranking.sqlite");
  }
  std::optional<server::RankingRow> Remove(int64_t) override {
    throw server::StorageError("disk I/O error in /secret/ranking.sqlite");
  }
  std::vector<server::RankingRow> Top(int) override {
    throw server::StorageError("disk I/O error in /secret/ranking.sqlite");
  }
  std::optional<server::StoredReplay> Replay(int64_t) override {
    throw server::StorageError("disk I/O error in /secret/ranking.sqlite");
  }
};

TEST(HttpFront, DatabaseErrorsReachTheLogNotTheClient) {
  BrokenStorage storage;
  std::mutex mutex;
  std::string log;
  server::ServerOptions options;
  options.log = [&](const std::string& line) {
    std::lock_guard lock(mutex);
    log += line + "\n";
  };
  server::RankingServer server(storage, options);
  const int port = server.Bind("127.0.0.1", 0);
  ASSERT_GT(port, 0);
  std::thread thread([&] { server.Run(); });
  EXPECT_EQ(StatusOf(HttpGet(port, "/healthz")), 503);
  std::string replies;
  for (const char* path : {"/", "/api/top", "/replays/1.rep"}) {
    const std::string reply = HttpGet(port, path);
    EXPECT_EQ(StatusOf(reply), 500) << path;
    replies += reply;
  }
  const std::string golden = ReadBinaryFile(GoldenReplays().at(0));
  const std::string reply = Register(port, FieldsFor(golden, "ABCDEFGHIJ", "a.rep"));
  EXPECT_EQ(VerdictOf(reply), -1) << reply;
  replies += reply;
  EXPECT_EQ(replies.find("secret"), std::string::npos) << replies;
  const std::string metrics = BodyOf(HttpGet(port, "/metrics"));
  EXPECT_NE(metrics.find("quadrel_registrations_total{verdict=\"failed\"} 1\n"), std::string::npos)
      << metrics;
  server.Stop();
  thread.join();
  std::lock_guard lock(mutex);
  EXPECT_NE(log.find("/secret/ranking.sqlite"), std::string::npos) << log;
}

TEST(Operations, LogLinesAreLimitedPerCause) {
  server::LogLimiter limiter(10);
  const auto t0 = Clock::now();
  int admitted = 0;
  for (int i = 0; i < 25; ++i) admitted += !limiter.Admit("413", "line", t0).empty();
  EXPECT_EQ(admitted, 10);
  EXPECT_EQ(limiter.Admit("404", "other", t0), "other");
  EXPECT_EQ(limiter.Admit("413", "later", t0 + std::chrono::seconds(61)),
            "15 more \"413\" lines suppressed\nlater");
}

TEST(Operations, TheStartLineNamesNoPassword) {
  EXPECT_EQ(server::DatabaseDescription("postgresql://quadrel:s3cret@db:5432/rank?sslmode=require"),
            "postgresql postgresql://quadrel@db:5432/rank?sslmode=require");
  EXPECT_EQ(server::DatabaseDescription("postgres://db/rank?password=s3cret&sslmode=require"),
            "postgresql postgres://db/rank?sslmode=require");
  EXPECT_EQ(server::DatabaseDescription("postgresql://db/rank?sslmode=require&password=s3cret"),
            "postgresql postgresql://db/rank?sslmode=require");
  EXPECT_EQ(server::DatabaseDescription("/var/lib/q.sqlite"), "sqlite /var/lib/q.sqlite");
  EXPECT_EQ(server::DatabaseDescription("q.sqlite").front(), 's');
  EXPECT_EQ(server::DatabaseDescription("q.sqlite").substr(0, 8), "sqlite /");
}

}  // namespace
}  // namespace quadrel::test
