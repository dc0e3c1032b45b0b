// The HTTP side: the game's registration endpoint, the leaderboard page, the
// JSON list and the replay downloads, with the limits that keep one client
// from starving the others.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <semaphore>
#include <string>
#include <string_view>

#include "Registration.hpp"
#include "Storage.hpp"

namespace httplib {
class Server;
}

namespace quadrel::server {

constexpr const char* kRegisterPath = "/quadrel/ranking/ranking.cgi";

struct ServerOptions {
  int top = 100;                  // size of the board; a score below it gets -2
  int threads = 8;                // connections served at once
  int verifiers = 2;              // re-simulations at once
  std::chrono::milliseconds verifierWait{3000};  // then 503
  size_t maxBody = 2 * 1024 * 1024;
  int readTimeoutSeconds = 5;     // per read: headers and body must keep coming
  int writeTimeoutSeconds = 5;
  int idleSeconds = 5;            // between requests on a kept-alive connection
  ReplayLimits limits;
  // One line per request worth noting (default: standard error).
  std::function<void(const std::string&)> log;
  // Called with a verifier held, before the re-simulation (tests hold it).
  std::function<void()> onVerify;
};

struct Answer {
  int status = 200;
  Verdict verdict = Verdict::Failed;
  std::string body;    // ends with the verdict token
  std::string reason;  // for the log
};

class RankingServer {
 public:
  RankingServer(RankingStorage& storage, ServerOptions options);
  ~RankingServer();
  RankingServer(const RankingServer&) = delete;
  RankingServer& operator=(const RankingServer&) = delete;

  // Binds to host:port (port 0: any free port). Returns the port, or -1.
  int Bind(const std::string& host, int port);
  // Serves until Stop; returns false when serving failed.
  bool Run();
  void Stop();

  // The verdict for one registration request body.
  Answer Register(std::string_view contentType, std::string_view body);

 private:
  void Routes();
  void Log(const std::string& line);

  RankingStorage& storage_;
  ServerOptions options_;
  std::counting_semaphore<1024> verifiers_;
  std::unique_ptr<httplib::Server> http_;
};

}  // namespace quadrel::server
