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

// The names of one game: its file's bytes, and what its re-simulation
// applied and scored (see Registration.hpp).
struct GameDigests {
  Digest file{};
  Digest played{};
  Digest traced{};
};

class RankingStorage {
 public:
  virtual ~RankingStorage() = default;
  // True when any digest of a stored or a removed entry is this one.
  virtual bool Known(const Digest& digest) = 0;
  // In one transaction: refuses a game registered (or removed) before by
  // any digest, refuses a score that would not enter the best `top` (an
  // equal score ranks below the earlier one), else stores the row and its
  // replay. Returns only after the commit is on disk. Throws StorageError
  // when the database fails.
  virtual StoreResult Register(const Registration& registration, const GameDigests& digests,
                               int top, int64_t* id) = 0;
  // In one transaction: deletes the entry and its replay and bans its
  // digests, so the same game cannot come back. nullopt for an unknown id.
  virtual std::optional<RankingRow> Remove(int64_t id) = 0;
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
