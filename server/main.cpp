// quadrel-ranking-server: the internet ranking for Quadrel. Every registration
// is believed only after its replay re-simulates to the score it claims.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "Admin.hpp"
#include "RankingServer.hpp"
#include "Storage.hpp"

namespace {

quadrel::server::RankingServer* gServer = nullptr;

void OnSignal(int) {
  if (gServer) gServer->Stop();
}

void Usage() {
  std::fprintf(stderr,
               "usage: quadrel-ranking-server [--listen HOST:PORT] [--db FILE|postgresql://URL]\n"
               "                              [--top N] [--threads N] [--verifiers N]\n"
               "  --listen     address to serve on (default 127.0.0.1:8080; port 0 picks one)\n"
               "  --db         SQLite file (default ranking.sqlite) or a PostgreSQL URL\n"
               "  --top        size of the board (default 100)\n"
               "  --threads    connections served at once (default 8)\n"
               "  --verifiers  replays re-simulated at once (default: number of cores)\n"
               "       quadrel-ranking-server remove --db FILE|postgresql://URL ID...\n"
               "  deletes entries and bans their games from coming back\n");
}

bool ToInt(const char* text, int low, int high, int& out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < low || v > high) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "remove") == 0)
    return quadrel::server::RemoveCommand(argc, argv);
  std::string listen = "127.0.0.1:8080";
  std::string db = "ranking.sqlite";
  quadrel::server::ServerOptions options;
  options.verifiers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    bool ok = value != nullptr;
    if (arg == "--help" || arg == "-h") {
      Usage();
      return 0;
    } else if (arg == "--listen" && ok) {
      listen = value;
    } else if (arg == "--db" && ok) {
      db = value;
    } else if (arg == "--top" && ok) {
      ok = ToInt(value, 1, 1000000, options.top);
    } else if (arg == "--threads" && ok) {
      ok = ToInt(value, 1, 256, options.threads);
    } else if (arg == "--verifiers" && ok) {
      ok = ToInt(value, 1, 256, options.verifiers);
    } else {
      ok = false;
    }
    if (!ok) {
      std::fprintf(stderr, "quadrel-ranking-server: bad argument %s\n", argv[i]);
      Usage();
      return 2;
    }
    ++i;
  }
  const size_t colon = listen.rfind(':');
  int port = 0;
  if (colon == std::string::npos || !ToInt(listen.c_str() + colon + 1, 0, 65535, port)) {
    std::fprintf(stderr, "quadrel-ranking-server: --listen wants HOST:PORT, not %s\n",
                 listen.c_str());
    return 2;
  }
  std::string host = listen.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);

  std::unique_ptr<quadrel::server::RankingStorage> storage;
  try {
    storage = quadrel::server::OpenStorage(db, options.threads);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quadrel-ranking-server: %s\n", e.what());
    return 1;
  }
  quadrel::server::RankingServer server(*storage, options);
  const int bound = server.Bind(host, port);
  if (bound < 0) {
    std::fprintf(stderr, "quadrel-ranking-server: cannot listen on %s\n", listen.c_str());
    return 1;
  }
  gServer = &server;
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGPIPE, SIG_IGN);
  std::printf("listening on %s:%d\n", host.c_str(), bound);
  std::fflush(stdout);
  const bool ok = server.Run();
  gServer = nullptr;
  return ok ? 0 : 1;
}
