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
#include <vector>

#include "HttpFront.hpp"
#include "Operations.hpp"
#include "Registration.hpp"
#include "Storage.hpp"

namespace quadrel::server {

constexpr const char* kRegisterPath = protocol::kRankingPath;

struct ServerOptions {
  int top = 100;                  // size of the board; a score below it gets -2
  int threads = 8;                // workers: requests handled at once
  int verifiers = 2;              // re-simulations at once
  // The answer's head is out before this wait; past it the verdict is -1.
  std::chrono::milliseconds verifierWait{2000};
  HttpLimits http;
  // Peers whose X-Forwarded-For names the client (address literals).
  std::vector<std::string> trustedProxies;
  ReplayLimits limits;
  // One line per request worth noting (default: standard error).
  std::function<void(const std::string&)> log;
  // The replay viewer and check page with their files (WebFiles.hpp); empty:
  // the board links them but they answer 404.
  std::string webFolder;
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

  // Binds to host:port (port 0: any free port). Returns the port, or -1
  // with the reason in BindError().
  int Bind(const std::string& host, int port);
  std::string BindError() const;
  // Serves until Stop; returns false when serving failed.
  bool Run();
  void Stop();

  // The verdict for one registration request body.
  Answer Register(std::string_view contentType, std::string_view body);

 private:
  HttpResponse Handle(const HttpRequest& request);
  HttpResponse Get(const HttpRequest& request);
  void Log(const std::string& cause, const std::string& line);

  RankingStorage& storage_;
  ServerOptions options_;
  std::counting_semaphore<1024> verifiers_;
  Metrics metrics_;
  LogLimiter logLimiter_;
  std::unique_ptr<HttpFront> front_;
};

}  // namespace quadrel::server
