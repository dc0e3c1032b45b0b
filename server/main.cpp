// quadrel-ranking-server: the internet ranking for Quadrel. Every registration
// is believed only after its replay re-simulates to the score it claims.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "HttpFront.hpp"
#include "Operations.hpp"
#include "Admin.hpp"
#include "RankingServer.hpp"
#include "Storage.hpp"

namespace {

quadrel::server::RankingServer* gServer = nullptr;

void OnSignal(int) {
  if (gServer) gServer->Stop();
}

void Usage(std::FILE* to) {
  std::fprintf(to,
               "usage: quadrel-ranking-server [--listen HOST:PORT] [--db FILE|postgresql://URL]\n"
               "                              [--top N] [--threads N] [--verifiers N] [--web DIR]\n"
               "                              [--trusted-proxy ADDR]... [--per-address N]\n"
               "                              [--rate N] [--max-connections N]\n"
               "       quadrel-ranking-server remove --db FILE|postgresql://URL ID...\n"
               "       quadrel-ranking-server --version | --help\n"
               "  --listen           address to serve on (default 127.0.0.1:8080; port 0 picks one)\n"
               "  --db               SQLite file (default ranking.sqlite) or a PostgreSQL URL\n"
               "  --top              size of the board (default 100)\n"
               "  --web              folder of the replay viewer and check page (default\n"
               "                     " QUADREL_WEB_DIR ")\n"
               "  --threads          requests handled at once (default 8); connections\n"
               "                     themselves wait on one event thread\n"
               "  --verifiers        replays re-simulated at once (default: number of cores)\n"
               "  --trusted-proxy    a proxy's address (repeatable): from it, the last entry\n"
               "                     of X-Forwarded-For is the client\n"
               "  --per-address      connections at once from one client address (default 16)\n"
               "  --rate             requests per second from one client address, bursts of\n"
               "                     four times as many (default 5; 0: no limit)\n"
               "  --max-connections  connections at once in all (default 1024, and below\n"
               "                     the descriptor limit)\n"
               "  remove             deletes entries and bans their games from coming back\n");
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
  options.webFolder = QUADREL_WEB_DIR;
  options.verifiers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    bool ok = value != nullptr;
    if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("quadrel-ranking-server %s\n", QUADREL_VERSION);
      return 0;
    } else if (arg == "--trusted-proxy" && ok) {
      ok = !quadrel::server::CanonicalAddress(value).empty();
      options.trustedProxies.push_back(value);
    } else if (arg == "--per-address" && ok) {
      ok = ToInt(value, 1, 100000, options.http.perAddress);
    } else if (arg == "--rate" && ok) {
      int rate = 0;
      ok = ToInt(value, 0, 1000000, rate);
      options.http.ratePerSecond = rate;
      options.http.rateBurst = 4.0 * rate;
    } else if (arg == "--max-connections" && ok) {
      ok = ToInt(value, 16, 1000000, options.http.maxConnections);
    } else if (arg == "--listen" && ok) {
      listen = value;
    } else if (arg == "--db" && ok) {
      // SQLite takes an empty name for a temporary database, gone at exit.
      db = value;
      ok = !db.empty();
    } else if (arg == "--web" && ok) {
      options.webFolder = value;
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
      Usage(stderr);
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
    std::fprintf(stderr, "quadrel-ranking-server: cannot listen on %s: %s\n", listen.c_str(),
                 server.BindError().c_str());
    return 1;
  }
  gServer = &server;
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGPIPE, SIG_IGN);
  const bool v6 = host.find(':') != std::string::npos;
  std::printf("listening on %s%s%s:%d, database %s\n", v6 ? "[" : "", host.c_str(), v6 ? "]" : "",
              bound, quadrel::server::DatabaseDescription(db).c_str());
  std::fflush(stdout);
  const bool ok = server.Run();
  gServer = nullptr;
  if (!ok) std::fprintf(stderr, "quadrel-ranking-server: %s\n", server.BindError().c_str());
  return ok ? 0 : 1;
}
