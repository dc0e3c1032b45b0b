// The shared back end: PostgreSQL through libpq, for several server processes
// behind one proxy. Registrations are serialised by a transaction-scoped
// advisory lock, so two processes never both take the last place of the board.
#include <libpq-fe.h>

#include <condition_variable>
#include <cstring>
#include <mutex>

#include "Storage.hpp"

namespace quadrel::server {
namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS entries ("
    " id BIGSERIAL PRIMARY KEY,"
    " name TEXT NOT NULL, daytime TEXT NOT NULL,"
    " score INTEGER NOT NULL, level INTEGER NOT NULL,"
    " filename TEXT NOT NULL, game BYTEA NOT NULL UNIQUE, replay BYTEA NOT NULL,"
    " registered TIMESTAMPTZ NOT NULL DEFAULT now());"
    "CREATE INDEX IF NOT EXISTS entries_rank ON entries (score DESC, id);"
    // Databases from before the re-simulation's digests gain their columns;
    // their rows keep nulls there and are matched by their file digest only.
    "ALTER TABLE entries ADD COLUMN IF NOT EXISTS played BYTEA;"
    "ALTER TABLE entries ADD COLUMN IF NOT EXISTS traced BYTEA;"
    "CREATE UNIQUE INDEX IF NOT EXISTS entries_played ON entries (played);"
    "CREATE UNIQUE INDEX IF NOT EXISTS entries_traced ON entries (traced);"
    "CREATE TABLE IF NOT EXISTS banned ("
    " digest BYTEA PRIMARY KEY, removed TIMESTAMPTZ NOT NULL DEFAULT now());";

// Any number; only this server takes it.
constexpr const char* kRegisterLock = "SELECT pg_advisory_xact_lock(20050511)";

struct Result {
  PGresult* r;
  explicit Result(PGresult* result) : r(result) {}
  ~Result() { PQclear(r); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
};

std::string ErrorOf(PGconn* c) {
  std::string message = PQerrorMessage(c);
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  return "postgresql: " + message;
}

void Check(PGconn* c, const Result& result, ExecStatusType wanted) {
  if (PQresultStatus(result.r) != wanted) throw StorageError(ErrorOf(c));
}

void Prepare(PGconn* c, const char* name, const char* sql) {
  Result result(PQprepare(c, name, sql, 0, nullptr));
  Check(c, result, PGRES_COMMAND_OK);
}

void PrepareAll(PGconn* c) {
  Prepare(c, "begin", "BEGIN");
  Prepare(c, "commit", "COMMIT");
  Prepare(c, "rollback", "ROLLBACK");
  Prepare(c, "lock", kRegisterLock);
  Prepare(c, "duplicate",
          "SELECT 1 FROM entries WHERE game IN ($1, $2, $3) OR played IN ($1, $2, $3)"
          " OR traced IN ($1, $2, $3)"
          " UNION ALL SELECT 1 FROM banned WHERE digest IN ($1, $2, $3)");
  Prepare(c, "better", "SELECT COUNT(*) FROM entries WHERE score >= $1");
  Prepare(c, "insert",
          "INSERT INTO entries (name, daytime, score, level, filename, game, replay, played, traced)"
          " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9) RETURNING id");
  Prepare(c, "top",
          "SELECT id, name, daytime, score, level, filename FROM entries"
          " ORDER BY score DESC, id LIMIT $1");
  Prepare(c, "replay", "SELECT filename, replay FROM entries WHERE id = $1");
  // The digests go to the ban list in the same statement that deletes the row.
  Prepare(c, "remove",
          "WITH gone AS (DELETE FROM entries WHERE id = $1"
          "  RETURNING id, name, daytime, score, level, filename, game, played, traced),"
          " ban AS (INSERT INTO banned (digest)"
          "  SELECT game FROM gone UNION SELECT played FROM gone WHERE played IS NOT NULL"
          "  UNION SELECT traced FROM gone WHERE traced IS NOT NULL"
          "  ON CONFLICT DO NOTHING)"
          " SELECT id, name, daytime, score, level, filename FROM gone");
}

// Parameters as text, except those marked binary (the digest and the replay).
struct Params {
  std::vector<std::string> text;
  std::vector<const char*> values;
  std::vector<int> lengths;
  std::vector<int> formats;
  void Text(std::string value) {
    text.push_back(std::move(value));
    values.push_back(nullptr);
    lengths.push_back(0);
    formats.push_back(0);
  }
  void Binary(const void* data, size_t size) {
    text.emplace_back();
    values.push_back(static_cast<const char*>(data));
    lengths.push_back(static_cast<int>(size));
    formats.push_back(1);
  }
  void Finish() {
    for (size_t i = 0; i < text.size(); ++i)
      if (formats[i] == 0) values[i] = text[i].c_str();
  }
};

// A row of id, name, daytime, score, level, filename in text form.
RankingRow RowOf(PGresult* r, int i) {
  RankingRow row;
  row.id = std::stoll(PQgetvalue(r, i, 0));
  row.name = PQgetvalue(r, i, 1);
  row.daytime = PQgetvalue(r, i, 2);
  row.score = static_cast<int32_t>(std::stol(PQgetvalue(r, i, 3)));
  row.level = static_cast<int32_t>(std::stol(PQgetvalue(r, i, 4)));
  row.fileName = PQgetvalue(r, i, 5);
  return row;
}

PGresult* Run(PGconn* c, const char* name, Params* params = nullptr, int resultFormat = 0) {
  if (params) params->Finish();
  return PQexecPrepared(c, name, params ? static_cast<int>(params->values.size()) : 0,
                        params ? params->values.data() : nullptr,
                        params ? params->lengths.data() : nullptr,
                        params ? params->formats.data() : nullptr, resultFormat);
}

class PostgresStorage final : public RankingStorage {
 public:
  PostgresStorage(const std::string& url, int connections) : url_(url) {
    PGconn* first = Connect(false);
    {
      Result result(PQexec(first, kSchema));
      if (PQresultStatus(result.r) != PGRES_COMMAND_OK) {
        const std::string error = ErrorOf(first);
        PQfinish(first);
        throw StorageError(error);
      }
    }
    try {
      PrepareAll(first);
    } catch (...) {
      PQfinish(first);
      throw;
    }
    free_.push_back(first);
    for (int i = 1; i < connections; ++i) free_.push_back(Connect());
  }
  ~PostgresStorage() override {
    for (PGconn* c : free_) PQfinish(c);
  }

  bool Known(const Digest& digest) override {
    Lease lease(*this);
    Params p;
    for (int i = 0; i < 3; ++i) p.Binary(digest.data(), digest.size());
    Result result(Run(lease.c, "duplicate", &p));
    Check(lease.c, result, PGRES_TUPLES_OK);
    return PQntuples(result.r) > 0;
  }

  std::optional<RankingRow> Remove(int64_t id) override {
    Lease lease(*this);
    PGconn* c = lease.c;
    Check(c, Result(Run(c, "begin")), PGRES_COMMAND_OK);
    try {
      Check(c, Result(Run(c, "lock")), PGRES_TUPLES_OK);
      Params p;
      p.Text(std::to_string(id));
      Result result(Run(c, "remove", &p));
      Check(c, result, PGRES_TUPLES_OK);
      std::optional<RankingRow> row;
      if (PQntuples(result.r) > 0) row = RowOf(result.r, 0);
      Check(c, Result(Run(c, "commit")), PGRES_COMMAND_OK);
      return row;
    } catch (...) {
      PQclear(Run(c, "rollback"));
      throw;
    }
  }

  StoreResult Register(const Registration& r, const GameDigests& digests, int top,
                       int64_t* id) override {
    Lease lease(*this);
    PGconn* c = lease.c;
    Check(c, Result(Run(c, "begin")), PGRES_COMMAND_OK);
    try {
      Check(c, Result(Run(c, "lock")), PGRES_TUPLES_OK);
      StoreResult outcome = StoreResult::Stored;
      {
        Params p;
        p.Binary(digests.file.data(), digests.file.size());
        p.Binary(digests.played.data(), digests.played.size());
        p.Binary(digests.traced.data(), digests.traced.size());
        Result result(Run(c, "duplicate", &p));
        Check(c, result, PGRES_TUPLES_OK);
        if (PQntuples(result.r) > 0) outcome = StoreResult::Duplicate;
      }
      if (outcome == StoreResult::Stored) {
        Params p;
        p.Text(std::to_string(r.score));
        Result result(Run(c, "better", &p));
        Check(c, result, PGRES_TUPLES_OK);
        if (std::stoll(PQgetvalue(result.r, 0, 0)) >= top) outcome = StoreResult::OutOfRank;
      }
      if (outcome == StoreResult::Stored) {
        Params p;
        p.Text(r.name);
        p.Text(r.daytime);
        p.Text(std::to_string(r.score));
        p.Text(std::to_string(r.level));
        p.Text(r.fileName);
        p.Binary(digests.file.data(), digests.file.size());
        p.Binary(r.replay.data(), r.replay.size());
        p.Binary(digests.played.data(), digests.played.size());
        p.Binary(digests.traced.data(), digests.traced.size());
        Result result(Run(c, "insert", &p));
        Check(c, result, PGRES_TUPLES_OK);
        if (id) *id = std::stoll(PQgetvalue(result.r, 0, 0));
      }
      // With synchronous_commit on (the default) COMMIT returns after the WAL flush.
      Check(c, Result(Run(c, "commit")), PGRES_COMMAND_OK);
      return outcome;
    } catch (...) {
      PQclear(Run(c, "rollback"));
      throw;
    }
  }

  std::vector<RankingRow> Top(int n) override {
    Lease lease(*this);
    Params p;
    p.Text(std::to_string(n));
    Result result(Run(lease.c, "top", &p));
    Check(lease.c, result, PGRES_TUPLES_OK);
    std::vector<RankingRow> rows;
    for (int i = 0; i < PQntuples(result.r); ++i) rows.push_back(RowOf(result.r, i));
    return rows;
  }

  std::optional<StoredReplay> Replay(int64_t id) override {
    Lease lease(*this);
    Params p;
    p.Text(std::to_string(id));
    Result result(Run(lease.c, "replay", &p, 1));  // binary: the replay arrives as its bytes
    Check(lease.c, result, PGRES_TUPLES_OK);
    if (PQntuples(result.r) == 0) return std::nullopt;
    StoredReplay replay;
    replay.fileName.assign(PQgetvalue(result.r, 0, 0),
                           static_cast<size_t>(PQgetlength(result.r, 0, 0)));
    replay.bytes.assign(PQgetvalue(result.r, 0, 1),
                        static_cast<size_t>(PQgetlength(result.r, 0, 1)));
    return replay;
  }

 private:
  // Statements are prepared once the tables exist.
  PGconn* Connect(bool prepare = true) {
    PGconn* c = PQconnectdb(url_.c_str());
    if (PQstatus(c) != CONNECTION_OK) {
      const std::string error = ErrorOf(c);
      PQfinish(c);
      throw StorageError(error);
    }
    try {
      if (prepare) PrepareAll(c);
    } catch (...) {
      PQfinish(c);
      throw;
    }
    return c;
  }

  // One connection for one request; a broken one is reconnected on return.
  struct Lease {
    PostgresStorage& s;
    PGconn* c;
    explicit Lease(PostgresStorage& storage) : s(storage) {
      std::unique_lock lock(s.mutex_);
      s.available_.wait(lock, [&] { return !s.free_.empty(); });
      c = s.free_.back();
      s.free_.pop_back();
    }
    ~Lease() {
      if (PQstatus(c) != CONNECTION_OK) {
        PQreset(c);
        if (PQstatus(c) == CONNECTION_OK) {
          try {
            PrepareAll(c);
          } catch (const StorageError&) {
          }
        }
      }
      std::lock_guard lock(s.mutex_);
      s.free_.push_back(c);
      s.available_.notify_one();
    }
  };

  std::string url_;
  std::mutex mutex_;
  std::condition_variable available_;
  std::vector<PGconn*> free_;
};

}  // namespace

std::unique_ptr<RankingStorage> OpenPostgresStorage(const std::string& url, int connections) {
  return std::make_unique<PostgresStorage>(url, connections < 1 ? 1 : connections);
}

}  // namespace quadrel::server
