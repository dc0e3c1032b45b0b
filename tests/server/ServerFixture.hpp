// A ranking server running in the test process on a free loopback port, on a
// fresh SQLite file or a fresh PostgreSQL database of its own.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "RankingServer.hpp"
#include "Storage.hpp"

namespace quadrel::test {

// Set by the script that starts a private PostgreSQL cluster.
std::string PostgresAdminUrl();
// A new empty database on that cluster ("" after a failure reported to the
// test), the URL of a database there, and one statement as the administrator.
std::string NewPostgresDatabase();
std::string PostgresUrlFor(const std::string& database);
bool AdminCommand(const std::string& sql);

class LiveServer {
 public:
  // backend: "sqlite" or "postgres". Skips the test when PostgreSQL is not set up.
  // Every test client shares 127.0.0.1: the request rate is not limited
  // unless asked for.
  LiveServer(const std::string& backend, server::ServerOptions options, bool rateLimit = false);
  ~LiveServer();
  int port() const { return port_; }
  server::RankingStorage& storage() { return *storage_; }
  bool ready() const { return port_ > 0; }
  server::RankingServer& server() { return *server_; }

 private:
  std::string database_;  // PostgreSQL: the database made for this server
  std::string file_;      // SQLite: the file
  std::unique_ptr<server::RankingStorage> storage_;
  std::unique_ptr<server::RankingServer> server_;
  std::thread thread_;
  int port_ = -1;
};

}  // namespace quadrel::test
