// The shared back end: PostgreSQL through libpq, for several server processes
// behind one proxy. Registrations are serialised by a transaction-scoped
// advisory lock, so two processes never both take the last place of the board.
//
// Every wait on the database is bounded, a connection broken by a restart of
// the database or by the network is opened anew on its next use, and a
// request that met a broken connection is tried once more on a new one.
#include "PostgresStorage.hpp"

#include <libpq-fe.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <mutex>
#include <type_traits>
#include <utility>

#include "Storage.hpp"

namespace quadrel::server {

void (*gPostgresRegisterStepForTests)(const char* step, pg_conn* connection) = nullptr;

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

// Connection defaults; the same keyword in the URL wins. The connect time-out
// holds for each address tried. Over TCP a silent database is given up after
// about 11 s (keepalives) or when sent data stays unacknowledged for 10 s,
// instead of the system's hours.
constexpr std::pair<const char*, const char*> kConnectDefaults[] = {
    {"connect_timeout", "3"},      {"keepalives", "1"},
    {"keepalives_idle", "5"},      {"keepalives_interval", "2"},
    {"keepalives_count", "3"},     {"tcp_user_timeout", "10000"},
    {"application_name", "quadrel-ranking-server"},
};

// Session limits, so that a registration is answered within about 3 s, while
// the game still waits for the reply. A registration's transaction never
// rests between its statements longer than a round trip, so a holder of the
// lock that froze or vanished is ended by the database after 2 s idle; a
// waiter gives up after 3 s, which outlasts that; no statement of ours runs
// long, 5 s ends one that does. A value the operator gave for this connection
// (options in the URL), role or database stays.
constexpr const char* kSessionLimits =
    "SELECT set_config(name, wanted, false) FROM (VALUES"
    " ('idle_in_transaction_session_timeout', '2s'), ('lock_timeout', '3s'),"
    " ('statement_timeout', '5s')) AS limits (name, wanted) JOIN pg_settings USING (name)"
    " WHERE source NOT IN ('client', 'user', 'database', 'database user')";

// One line on standard error, as the server logs its requests.
void Log(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  const std::time_t t = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char now[32];
  std::strftime(now, sizeof now, "%Y-%m-%dT%H:%M:%SZ", &utc);
  std::fprintf(stderr, "%s %s\n", now, text.c_str());
}

struct Result {
  PGresult* r;
  explicit Result(PGresult* result) : r(result) {}
  ~Result() { PQclear(r); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
};

// libpq's message on one line: its continuation lines are indented, and a
// failed write and the read after it may both report the same close.
std::string OneLine(const char* text) {
  std::vector<std::string> entries;
  for (const char* p = text; *p;) {
    const char* end = std::strchr(p, '\n');
    const std::string line(p, end ? end : p + std::strlen(p));
    p = end ? end + 1 : p + line.size();
    if (line.empty()) continue;
    if (line[0] == '\t' && !entries.empty()) entries.back() += " " + line.substr(1);
    else entries.push_back(line);
  }
  std::string message;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (std::find(entries.begin(), entries.begin() + i, entries[i]) != entries.begin() + i) continue;
    message += (message.empty() ? "" : "; ") + entries[i];
  }
  return message;
}

std::string ErrorOf(PGconn* c) { return "postgresql: " + OneLine(PQerrorMessage(c)); }

// The database's warnings (a shutdown on its way) go to the log as one line;
// its notices ("already exists, skipping") do not.
void LogWarning(void*, const PGresult* notice) {
  const char* severity = PQresultErrorField(notice, PG_DIAG_SEVERITY_NONLOCALIZED);
  if (severity && std::strcmp(severity, "WARNING") == 0)
    Log("postgresql: " + OneLine(PQresultErrorMessage(notice)));
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
  Prepare(c, "xid", "SELECT txid_current()");
  // Whether a transaction of an earlier connection committed; NULL when it
  // never reached the database's log (the status of such an id is an error).
  Prepare(c, "committed",
          "SELECT CASE WHEN $1::bigint < txid_snapshot_xmax(txid_current_snapshot())"
          " THEN txid_status($1) END");
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
    free_.resize(static_cast<size_t>(connections), nullptr);  // the others when first needed
  }
  ~PostgresStorage() override {
    for (PGconn* c : free_) PQfinish(c);
  }

  bool Known(const Digest& digest) override {
    return Retrying([&](PGconn* c, bool) {
      Params p;
      for (int i = 0; i < 3; ++i) p.Binary(digest.data(), digest.size());
      Result result(Run(c, "duplicate", &p));
      Check(c, result, PGRES_TUPLES_OK);
      return PQntuples(result.r) > 0;
    });
  }

  std::optional<RankingRow> Remove(int64_t id) override {
    Lease lease(*this);
    PGconn* c = lease.Get();
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
      if (PQstatus(c) == CONNECTION_OK) PQclear(Run(c, "rollback"));
      throw;
    }
  }

  StoreResult Register(const Registration& r, const GameDigests& digests, int top,
                       int64_t* id) override {
    Insertion first;
    return Retrying([&](PGconn* c, bool again) {
      return RegisterOnce(c, r, digests, top, id, first, again);
    });
  }

  std::vector<RankingRow> Top(int n) override {
    return Retrying([&](PGconn* c, bool) {
      Params p;
      p.Text(std::to_string(n));
      Result result(Run(c, "top", &p));
      Check(c, result, PGRES_TUPLES_OK);
      std::vector<RankingRow> rows;
      for (int i = 0; i < PQntuples(result.r); ++i) rows.push_back(RowOf(result.r, i));
      return rows;
    });
  }

  std::optional<StoredReplay> Replay(int64_t id) override {
    return Retrying([&](PGconn* c, bool) -> std::optional<StoredReplay> {
      Params p;
      p.Text(std::to_string(id));
      Result result(Run(c, "replay", &p, 1));  // binary: the replay arrives as its bytes
      Check(c, result, PGRES_TUPLES_OK);
      if (PQntuples(result.r) == 0) return std::nullopt;
      StoredReplay replay;
      replay.fileName.assign(PQgetvalue(result.r, 0, 0),
                             static_cast<size_t>(PQgetlength(result.r, 0, 0)));
      replay.bytes.assign(PQgetvalue(result.r, 0, 1),
                          static_cast<size_t>(PQgetlength(result.r, 0, 1)));
      return replay;
    });
  }

 private:
  // The row an attempt inserted and its transaction, known before its COMMIT.
  struct Insertion {
    std::string xid;
    int64_t id = 0;
  };

  // One registration transaction. When the connection broke during the first
  // attempt's COMMIT, the commit may have happened all the same; the second
  // attempt then finds the game stored, and asks whether it was by that
  // transaction: if so the game counts as stored, not as registered before.
  StoreResult RegisterOnce(PGconn* c, const Registration& r, const GameDigests& digests, int top,
                           int64_t* id, Insertion& first, bool again) {
    Check(c, Result(Run(c, "begin")), PGRES_COMMAND_OK);
    try {
      Check(c, Result(Run(c, "lock")), PGRES_TUPLES_OK);
      if (gPostgresRegisterStepForTests) gPostgresRegisterStepForTests("locked", c);
      StoreResult outcome = StoreResult::Stored;
      bool present = false;
      {
        Params p;
        p.Binary(digests.file.data(), digests.file.size());
        p.Binary(digests.played.data(), digests.played.size());
        p.Binary(digests.traced.data(), digests.traced.size());
        Result result(Run(c, "duplicate", &p));
        Check(c, result, PGRES_TUPLES_OK);
        present = PQntuples(result.r) > 0;
      }
      if (present) {
        if (again && CommittedBefore(c, first)) {
          if (id) *id = first.id;
        } else {
          outcome = StoreResult::Duplicate;
        }
      } else {
        Params p;
        p.Text(std::to_string(r.score));
        Result result(Run(c, "better", &p));
        Check(c, result, PGRES_TUPLES_OK);
        if (std::stoll(PQgetvalue(result.r, 0, 0)) >= top) outcome = StoreResult::OutOfRank;
      }
      if (!present && outcome == StoreResult::Stored) {
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
        const int64_t row = std::stoll(PQgetvalue(result.r, 0, 0));
        if (id) *id = row;
        Result xid(Run(c, "xid"));
        Check(c, xid, PGRES_TUPLES_OK);
        if (!again) first = Insertion{PQgetvalue(xid.r, 0, 0), row};
      }
      if (gPostgresRegisterStepForTests) gPostgresRegisterStepForTests("commit", c);
      // With synchronous_commit on (the default) COMMIT returns after the WAL flush.
      Check(c, Result(Run(c, "commit")), PGRES_COMMAND_OK);
      return outcome;
    } catch (...) {
      if (PQstatus(c) == CONNECTION_OK) PQclear(Run(c, "rollback"));
      throw;
    }
  }

  // Under the registration lock, so the first attempt's transaction has ended.
  static bool CommittedBefore(PGconn* c, const Insertion& first) {
    if (first.xid.empty()) return false;
    Params p;
    p.Text(first.xid);
    Result result(Run(c, "committed", &p));
    Check(c, result, PGRES_TUPLES_OK);
    return std::strcmp(PQgetvalue(result.r, 0, 0), "committed") == 0;
  }

  // Runs work(connection, again) on a leased connection, and once more on a
  // new connection when the first one broke under it.
  template <class Work>
  std::invoke_result_t<Work&, PGconn*, bool> Retrying(Work work) {
    Lease lease(*this);
    try {
      return work(lease.Get(), false);
    } catch (const StorageError& e) {
      if (!lease.Broken()) throw;
      Log(std::string(e.what()) + " (connection lost; trying once more on a new one)");
      lease.Drop();
      return work(lease.Get(), true);
    }
  }

  // Statements are prepared once the tables exist.
  PGconn* Connect(bool prepare = true) {
    constexpr size_t n = std::size(kConnectDefaults);
    const char* keys[n + 2];
    const char* values[n + 2];
    for (size_t i = 0; i < n; ++i) {
      keys[i] = kConnectDefaults[i].first;
      values[i] = kConnectDefaults[i].second;
    }
    // The URL comes last so that what it says wins.
    keys[n] = "dbname";
    values[n] = url_.c_str();
    keys[n + 1] = nullptr;
    values[n + 1] = nullptr;
    PGconn* c = PQconnectdbParams(keys, values, 1);
    if (PQstatus(c) != CONNECTION_OK) {
      const std::string error = ErrorOf(c);
      PQfinish(c);
      throw StorageError(error);
    }
    PQsetNoticeReceiver(c, LogWarning, nullptr);
    try {
      Check(c, Result(PQexec(c, kSessionLimits)), PGRES_TUPLES_OK);
      if (prepare) PrepareAll(c);
    } catch (...) {
      PQfinish(c);
      throw;
    }
    return c;
  }

  // One connection for one request. A slot of the pool whose connection broke
  // is left empty and opened on its next use, by the request that needs it.
  class Lease {
   public:
    explicit Lease(PostgresStorage& storage) : s_(storage) {
      std::unique_lock lock(s_.mutex_);
      s_.available_.wait(lock, [&] { return !s_.free_.empty(); });
      c_ = s_.free_.back();
      s_.free_.pop_back();
    }
    ~Lease() {
      // A transaction left open (its ROLLBACK failed) must not reach the next request.
      if (c_ && (PQstatus(c_) != CONNECTION_OK || PQtransactionStatus(c_) != PQTRANS_IDLE)) Drop();
      std::lock_guard lock(s_.mutex_);
      s_.free_.push_back(c_);
      s_.available_.notify_one();
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    PGconn* Get() {
      if (!c_) c_ = s_.Connect();
      return c_;
    }
    bool Broken() {
      if (!c_) return false;
      // After a failed write libpq calls the connection good until it reads the close.
      if (PQstatus(c_) == CONNECTION_OK) PQconsumeInput(c_);
      return PQstatus(c_) == CONNECTION_BAD;
    }
    void Drop() {
      PQfinish(c_);
      c_ = nullptr;
    }

   private:
    PostgresStorage& s_;
    PGconn* c_ = nullptr;
  };

  std::string url_;
  std::mutex mutex_;
  std::condition_variable available_;
  std::vector<PGconn*> free_;  // nullptr: a slot to be connected on use
};

}  // namespace

std::unique_ptr<RankingStorage> OpenPostgresStorage(const std::string& url, int connections) {
  return std::make_unique<PostgresStorage>(url, connections < 1 ? 1 : connections);
}

}  // namespace quadrel::server
