#include "ServerFixture.hpp"

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "GameClient.hpp"

namespace quadrel::test {
namespace {

std::string Unique() {
  static std::atomic<int> counter{0};
  std::random_device random;
  return std::to_string(::getpid()) + "_" + std::to_string(random() % 1000000) + "_" +
         std::to_string(counter++);
}

}  // namespace

bool AdminCommand(const std::string& sql) {
  PGconn* c = PQconnectdb(PostgresAdminUrl().c_str());
  bool ok = PQstatus(c) == CONNECTION_OK;
  if (ok) {
    PGresult* r = PQexec(c, sql.c_str());
    ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
    if (!ok) ADD_FAILURE() << PQerrorMessage(c);
    PQclear(r);
  } else {
    ADD_FAILURE() << PQerrorMessage(c);
  }
  PQfinish(c);
  return ok;
}

namespace {

// The admin URL with another database name: "...host:port/db?..." -> ".../name?...".
std::string WithDatabase(const std::string& url, const std::string& name) {
  const size_t scheme = url.find("://");
  const size_t slash = url.find('/', scheme + 3);
  const size_t query = url.find('?', scheme + 3);
  const std::string base = url.substr(0, slash != std::string::npos ? slash : query);
  return base + "/" + name + (query != std::string::npos ? url.substr(query) : "");
}

}  // namespace

std::string PostgresUrlFor(const std::string& database) {
  return WithDatabase(PostgresAdminUrl(), database);
}

std::string NewPostgresDatabase() {
  const std::string name = "quadrel_" + Unique();
  return AdminCommand("CREATE DATABASE " + name) ? name : "";
}

std::string PostgresAdminUrl() {
  const char* url = std::getenv("QUADREL_TEST_POSTGRES_URL");
  return url ? url : "";
}

LiveServer::LiveServer(const std::string& backend, server::ServerOptions options, bool rateLimit) {
  if (!options.log) options.log = [](const std::string&) {};
  if (!rateLimit) options.http.ratePerSecond = 0;
  if (backend == "postgres") {
    if (PostgresAdminUrl().empty()) return;
    database_ = NewPostgresDatabase();
    if (database_.empty()) return;
    storage_ = server::OpenStorage(PostgresUrlFor(database_), options.threads);
  } else {
    file_ = (std::filesystem::temp_directory_path() / ("quadrel-ranking-" + Unique() + ".sqlite"))
                .string();
    storage_ = server::OpenStorage(file_, options.threads);
  }
  server_ = std::make_unique<server::RankingServer>(*storage_, options);
  port_ = server_->Bind("127.0.0.1", 0);
  if (port_ <= 0) return;
  thread_ = std::thread([this] { server_->Run(); });
  // Served once the page answers.
  for (int i = 0; i < 200 && StatusOf(HttpGet(port_, "/")) != 200; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

LiveServer::~LiveServer() {
  if (server_) server_->Stop();
  if (thread_.joinable()) thread_.join();
  server_.reset();
  storage_.reset();
  if (!database_.empty()) AdminCommand("DROP DATABASE IF EXISTS " + database_);
  if (!file_.empty()) {
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file_ + suffix, ec);
  }
}

}  // namespace quadrel::test
