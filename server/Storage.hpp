// Where the ranking lives. Two back ends behind one small interface: SQLite in
// a file beside the server, or PostgreSQL shared by several server processes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Registration.hpp"

namespace quadrel::server {

struct RankingRow {
  int64_t id = 0;
  std::string name;
  std::string daytime;
  int32_t score = 0;
  int32_t level = 0;
  std::string fileName;
};

struct StoredReplay {
  std::string fileName;
  std::string bytes;
};

enum class StoreResult { Stored, Duplicate, OutOfRank };

class RankingStorage {
 public:
  virtual ~RankingStorage() = default;
  // In one transaction: refuses a game registered before, refuses a score that
  // would not enter the best `top` (an equal score ranks below the earlier
  // one), else stores the row and its replay. Returns only after the commit
  // is on disk. Throws StorageError when the database fails.
  virtual StoreResult Register(const Registration& registration,
                               const std::array<uint8_t, 32>& gameDigest, int top,
                               int64_t* id) = 0;
  // The best n rows, best first.
  virtual std::vector<RankingRow> Top(int n) = 0;
  virtual std::optional<StoredReplay> Replay(int64_t id) = 0;
};

struct StorageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// "postgresql://..." or "postgres://..." opens PostgreSQL, anything else is a
// SQLite file. Creates the tables when missing. Throws StorageError.
std::unique_ptr<RankingStorage> OpenStorage(const std::string& where, int connections);

std::unique_ptr<RankingStorage> OpenSqliteStorage(const std::string& path);
std::unique_ptr<RankingStorage> OpenPostgresStorage(const std::string& url, int connections);

}  // namespace quadrel::server
