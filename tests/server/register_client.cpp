// quadrel-register-client: the game's registration from the command line, for
// the scripts that test the server from outside and for measuring its load.
//   register PORT REPLAY NAME          one registration; prints the reply's last two characters
//   stream PORT COUNT FILE [ANSWERS]   distinct games one after another; each name answered
//                                      as accepted is appended to FILE, every name and its
//                                      answer to ANSWERS; stops at a dead server
//   check PORT FILE                    every name in FILE is on the server's board
//   integrity SQLITEFILE               the database file passes SQLite's integrity check
//   bench PORT COUNT CLIENTS FIRST     COUNT distinct games from CLIENTS connections at once
//   hold POSTGRESURL REPLAY NAME       registers the game straight into the database, and
//                                      once it holds the registration lock prints "locked"
//                                      and waits for SIGUSR1; then prints how it ended
#include <signal.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "GameClient.hpp"
#include "PostgresStorage.hpp"
#include "Storage.hpp"

using namespace quadrel::test;

namespace {

struct Games {
  std::vector<std::string> replays, names;
  Games() {
    for (const std::string& path : LostGoldenReplays()) {
      replays.push_back(ReadBinaryFile(path));
      names.push_back(path.substr(path.rfind('/') + 1));
    }
  }
  // Game i: a lost golden game with its leaving click a distinct number of steps later.
  GameFields Fields(long i, char tag) const {
    const size_t g = static_cast<size_t>(i) % replays.size();
    const long k = i / static_cast<long>(replays.size());
    const int dx = static_cast<int>(k % 32767) + 1;
    char name[32];
    std::snprintf(name, sizeof name, "%c%09ld", tag, i);
    GameFields f = FieldsFor(ReplayVariant(replays[g], k < 32767 ? dx : -dx), name, names[g]);
    return f;
  }
};

int Stream(int port, long count, const std::string& file, const std::string& answersFile) {
  Games games;
  std::ofstream out(file, std::ios::app);
  std::ofstream answers;
  if (!answersFile.empty()) answers.open(answersFile, std::ios::app);
  long accepted = 0;
  for (long i = 0; i < count; ++i) {
    const GameFields f = games.Fields(i, 'K');
    const std::string reply = Register(port, f);
    if (StatusOf(reply) == 0) break;  // the server is gone
    if (answers.is_open()) answers << f.name << " " << BodyOf(reply).substr(0, 80) << "\n" << std::flush;
    if (BodyOf(reply) == "OK") {
      out << f.name << "\n" << std::flush;
      ++accepted;
    }
  }
  std::printf("accepted %ld\n", accepted);
  return 0;
}

int Check(int port, const std::string& file) {
  const std::string json = BodyOf(HttpGet(port, "/api/top?n=1000000"));
  std::ifstream in(file);
  std::string name;
  long present = 0, missing = 0;
  while (std::getline(in, name)) {
    if (json.find("\"name\":\"" + name + "\"") != std::string::npos) {
      ++present;
    } else {
      ++missing;
      std::fprintf(stderr, "missing: %s\n", name.c_str());
    }
  }
  std::printf("present %ld missing %ld\n", present, missing);
  return missing == 0 && present > 0 ? 0 : 1;
}

int Integrity(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "cannot open %s\n", path.c_str());
    return 1;
  }
  sqlite3_stmt* s = nullptr;
  std::string result = "error";
  if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK &&
      sqlite3_step(s) == SQLITE_ROW)
    result = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
  sqlite3_finalize(s);
  sqlite3_close(db);
  std::printf("integrity %s\n", result.c_str());
  return result == "ok" ? 0 : 1;
}

int Bench(int port, long count, int clients, long first) {
  Games games;
  std::atomic<long> next{0};
  std::mutex mutex;
  std::vector<double> times;
  long accepted = 0, other = 0;
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&] {
      for (long i = next++; i < count; i = next++) {
        const GameFields f = games.Fields(first + i, 'B');
        const std::string request = GameRequest(GameBody(f));
        const auto t0 = std::chrono::steady_clock::now();
        const std::string reply = Exchange(port, request);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count();
        std::lock_guard lock(mutex);
        times.push_back(ms);
        (BodyOf(reply) == "OK" ? accepted : other) += 1;
      }
    });
  }
  for (auto& t : threads) t.join();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::sort(times.begin(), times.end());
  auto at = [&](double q) { return times.empty() ? 0.0 : times[static_cast<size_t>(q * (times.size() - 1))]; };
  std::printf("requests %ld accepted %ld other %ld seconds %.2f accepted/s %.1f median_ms %.2f "
              "p99_ms %.2f\n",
              count, accepted, other, seconds, accepted / seconds, at(0.5), at(0.99));
  return other == 0 ? 0 : 1;
}

// Holds the registration lock at a moment the calling script chooses.
int Hold(const std::string& url, const std::string& replayPath, const std::string& name) {
  sigset_t usr1;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  sigprocmask(SIG_BLOCK, &usr1, nullptr);
  signal(SIGPIPE, SIG_IGN);
  static sigset_t wake = usr1;
  quadrel::server::gPostgresRegisterStepForTests = [](const char* step, pg_conn*) {
    if (std::string(step) != "locked") return;
    quadrel::server::gPostgresRegisterStepForTests = nullptr;  // the retry runs through
    std::printf("locked\n");
    std::fflush(stdout);
    int got = 0;
    sigwait(&wake, &got);
  };
  const GameFields f = FieldsFor(ReadBinaryFile(replayPath), name, "hold.rep");
  quadrel::server::Registration r{f.name, f.daytime, std::stoi(f.score), std::stoi(f.level),
                                  f.filename, f.data};
  try {
    auto storage = quadrel::server::OpenStorage(url, 1);
    const quadrel::server::Digest d = quadrel::server::GameDigest(r.replay);
    const auto stored =
        storage->Register(r, quadrel::server::GameDigests{d, d, d}, 1000000, nullptr);
    std::printf("%s\n", stored == quadrel::server::StoreResult::Stored ? "stored" : "refused");
    return 0;
  } catch (const std::exception& e) {
    std::printf("error %s\n", e.what());
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> a(argv + 1, argv + argc);
  if (a.size() == 4 && a[0] == "register") {
    const std::string replay = ReadBinaryFile(a[2]);
    const std::string reply =
        Register(std::stoi(a[1]), FieldsFor(replay, a[3], a[2].substr(a[2].rfind('/') + 1)));
    std::printf("%s\n", reply.size() >= 2 ? reply.substr(reply.size() - 2).c_str() : "");
    return StatusOf(reply) == 200 ? 0 : 1;
  }
  if ((a.size() == 4 || a.size() == 5) && a[0] == "stream")
    return Stream(std::stoi(a[1]), std::stol(a[2]), a[3], a.size() == 5 ? a[4] : "");
  if (a.size() == 4 && a[0] == "hold") return Hold(a[1], a[2], a[3]);
  if (a.size() == 3 && a[0] == "check") return Check(std::stoi(a[1]), a[2]);
  if (a.size() == 2 && a[0] == "integrity") return Integrity(a[1]);
  if (a.size() == 5 && a[0] == "bench")
    return Bench(std::stoi(a[1]), std::stol(a[2]), std::stoi(a[3]), std::stol(a[4]));
  std::fprintf(stderr, "usage: see the top of register_client.cpp\n");
  return 2;
}
