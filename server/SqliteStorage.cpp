// The embedded back end: one SQLite file in WAL mode with full synchronous
// commits, so an answered registration survives a crash or a power cut.
#include <sqlite3.h>

#include <mutex>

#include "Storage.hpp"

namespace quadrel::server {
namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS entries ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " name TEXT NOT NULL, daytime TEXT NOT NULL,"
    " score INTEGER NOT NULL, level INTEGER NOT NULL,"
    " filename TEXT NOT NULL, game BLOB NOT NULL UNIQUE, replay BLOB NOT NULL,"
    " registered TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%SZ','now')));"
    "CREATE INDEX IF NOT EXISTS entries_rank ON entries (score DESC, id);"
    "CREATE TABLE IF NOT EXISTS banned ("
    " digest BLOB PRIMARY KEY,"
    " removed TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%SZ','now')));";
// Databases from before the re-simulation's digests gain their columns; their
// rows keep nulls there and are matched by their file digest only.
constexpr const char* kDigestIndexes =
    "CREATE UNIQUE INDEX IF NOT EXISTS entries_played ON entries (played);"
    "CREATE UNIQUE INDEX IF NOT EXISTS entries_traced ON entries (traced);";

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) != SQLITE_OK)
      throw StorageError(std::string("sqlite prepare: ") + sqlite3_errmsg(db));
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  // Resets the statement when the caller is done with it, whatever happened.
  struct Use {
    sqlite3_stmt* s;
    ~Use() {
      sqlite3_reset(s);
      sqlite3_clear_bindings(s);
    }
  };
  sqlite3_stmt* get() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

class SqliteStorage final : public RankingStorage {
 public:
  explicit SqliteStorage(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
      const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw StorageError("cannot open " + path + ": " + message);
    }
    sqlite3_busy_timeout(db_, 5000);
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA synchronous=FULL");
    Exec("BEGIN IMMEDIATE");
    try {
      Exec(kSchema);
      if (!HasColumn("entries", "played")) Exec("ALTER TABLE entries ADD COLUMN played BLOB");
      if (!HasColumn("entries", "traced")) Exec("ALTER TABLE entries ADD COLUMN traced BLOB");
      Exec(kDigestIndexes);
      Exec("COMMIT");
    } catch (...) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      sqlite3_close(db_);
      throw;
    }
    begin_ = std::make_unique<Statement>(db_, "BEGIN IMMEDIATE");
    commit_ = std::make_unique<Statement>(db_, "COMMIT");
    rollback_ = std::make_unique<Statement>(db_, "ROLLBACK");
    duplicate_ = std::make_unique<Statement>(
        db_,
        "SELECT 1 FROM entries WHERE game IN (?1, ?2, ?3) OR played IN (?1, ?2, ?3)"
        " OR traced IN (?1, ?2, ?3)"
        " UNION ALL SELECT 1 FROM banned WHERE digest IN (?1, ?2, ?3)");
    better_ = std::make_unique<Statement>(db_, "SELECT COUNT(*) FROM entries WHERE score >= ?1");
    insert_ = std::make_unique<Statement>(
        db_,
        "INSERT INTO entries (name, daytime, score, level, filename, game, replay, played, traced)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    top_ = std::make_unique<Statement>(
        db_,
        "SELECT id, name, daytime, score, level, filename FROM entries"
        " ORDER BY score DESC, id LIMIT ?1");
    replay_ = std::make_unique<Statement>(db_, "SELECT filename, replay FROM entries WHERE id = ?1");
    entry_ = std::make_unique<Statement>(
        db_, "SELECT id, name, daytime, score, level, filename, game, played, traced FROM entries"
             " WHERE id = ?1");
    ban_ = std::make_unique<Statement>(db_, "INSERT OR IGNORE INTO banned (digest) VALUES (?1)");
    delete_ = std::make_unique<Statement>(db_, "DELETE FROM entries WHERE id = ?1");
  }
  ~SqliteStorage() override {
    begin_.reset(), commit_.reset(), rollback_.reset(), duplicate_.reset(), better_.reset();
    insert_.reset(), top_.reset(), replay_.reset(), entry_.reset(), ban_.reset(), delete_.reset();
    sqlite3_close(db_);
  }

  bool Known(const Digest& digest) override {
    std::lock_guard lock(mutex_);
    Statement::Use use{duplicate_->get()};
    for (int i = 1; i <= 3; ++i) BindDigest(use.s, i, digest);
    return StepRow(use.s);
  }

  StoreResult Register(const Registration& r, const GameDigests& digests, int top,
                       int64_t* id) override {
    std::lock_guard lock(mutex_);
    Step(*begin_);
    try {
      StoreResult result = StoreResult::Stored;
      {
        Statement::Use use{duplicate_->get()};
        BindDigest(use.s, 1, digests.file);
        BindDigest(use.s, 2, digests.played);
        BindDigest(use.s, 3, digests.traced);
        if (StepRow(use.s)) result = StoreResult::Duplicate;
      }
      if (result == StoreResult::Stored) {
        Statement::Use use{better_->get()};
        sqlite3_bind_int(use.s, 1, r.score);
        StepRow(use.s);
        if (sqlite3_column_int64(use.s, 0) >= top) result = StoreResult::OutOfRank;
      }
      if (result == StoreResult::Stored) {
        Statement::Use use{insert_->get()};
        BindText(use.s, 1, r.name);
        BindText(use.s, 2, r.daytime);
        sqlite3_bind_int(use.s, 3, r.score);
        sqlite3_bind_int(use.s, 4, r.level);
        BindText(use.s, 5, r.fileName);
        BindDigest(use.s, 6, digests.file);
        sqlite3_bind_blob(use.s, 7, r.replay.data(), static_cast<int>(r.replay.size()),
                          SQLITE_STATIC);
        BindDigest(use.s, 8, digests.played);
        BindDigest(use.s, 9, digests.traced);
        StepRow(use.s);
        if (id) *id = sqlite3_last_insert_rowid(db_);
      }
      Step(*commit_);
      return result;
    } catch (...) {
      sqlite3_step(rollback_->get());
      sqlite3_reset(rollback_->get());
      throw;
    }
  }

  std::optional<RankingRow> Remove(int64_t id) override {
    std::lock_guard lock(mutex_);
    Step(*begin_);
    try {
      std::optional<RankingRow> row;
      std::vector<std::string> digests;
      {
        Statement::Use use{entry_->get()};
        sqlite3_bind_int64(use.s, 1, id);
        if (StepRow(use.s)) {
          row = RowOf(use.s);
          for (int column : {6, 7, 8})
            if (sqlite3_column_type(use.s, column) == SQLITE_BLOB) digests.push_back(Blob(use.s, column));
        }
      }
      for (const std::string& digest : digests) {
        Statement::Use use{ban_->get()};
        sqlite3_bind_blob(use.s, 1, digest.data(), static_cast<int>(digest.size()), SQLITE_STATIC);
        StepRow(use.s);
      }
      if (row) {
        Statement::Use use{delete_->get()};
        sqlite3_bind_int64(use.s, 1, id);
        StepRow(use.s);
      }
      Step(*commit_);
      return row;
    } catch (...) {
      sqlite3_step(rollback_->get());
      sqlite3_reset(rollback_->get());
      throw;
    }
  }

  std::vector<RankingRow> Top(int n) override {
    std::lock_guard lock(mutex_);
    std::vector<RankingRow> rows;
    Statement::Use use{top_->get()};
    sqlite3_bind_int(use.s, 1, n);
    while (StepRow(use.s)) rows.push_back(RowOf(use.s));
    return rows;
  }

  std::optional<StoredReplay> Replay(int64_t id) override {
    std::lock_guard lock(mutex_);
    Statement::Use use{replay_->get()};
    sqlite3_bind_int64(use.s, 1, id);
    if (!StepRow(use.s)) return std::nullopt;
    StoredReplay replay;
    replay.fileName = Text(use.s, 0);
    replay.bytes = Blob(use.s, 1);
    return replay;
  }

 private:
  void Exec(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
      const std::string message = error ? error : "unknown error";
      sqlite3_free(error);
      throw StorageError(std::string("sqlite: ") + message);
    }
  }
  bool HasColumn(const char* table, const char* column) {
    Statement info(db_, ("PRAGMA table_info(" + std::string(table) + ")").c_str());
    Statement::Use use{info.get()};
    while (StepRow(use.s))
      if (Text(use.s, 1) == column) return true;
    return false;
  }
  static RankingRow RowOf(sqlite3_stmt* s) {
    RankingRow row;
    row.id = sqlite3_column_int64(s, 0);
    row.name = Text(s, 1);
    row.daytime = Text(s, 2);
    row.score = sqlite3_column_int(s, 3);
    row.level = sqlite3_column_int(s, 4);
    row.fileName = Text(s, 5);
    return row;
  }
  static std::string Blob(sqlite3_stmt* s, int column) {
    const void* blob = sqlite3_column_blob(s, column);
    return blob ? std::string(static_cast<const char*>(blob),
                              static_cast<size_t>(sqlite3_column_bytes(s, column)))
                : std::string();
  }
  static void BindDigest(sqlite3_stmt* s, int index, const Digest& digest) {
    sqlite3_bind_blob(s, index, digest.data(), static_cast<int>(digest.size()), SQLITE_STATIC);
  }
  static void BindText(sqlite3_stmt* s, int index, const std::string& text) {
    sqlite3_bind_text(s, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  }
  static std::string Text(sqlite3_stmt* s, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(s, column))) : "";
  }
  // True for a row, false when done; throws on an error.
  bool StepRow(sqlite3_stmt* s) {
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw StorageError(std::string("sqlite: ") + sqlite3_errmsg(db_));
  }
  void Step(Statement& statement) {
    Statement::Use use{statement.get()};
    StepRow(use.s);
  }

  std::mutex mutex_;
  sqlite3* db_ = nullptr;
  std::unique_ptr<Statement> begin_, commit_, rollback_, duplicate_, better_, insert_, top_,
      replay_, entry_, ban_, delete_;
};

}  // namespace

std::unique_ptr<RankingStorage> OpenSqliteStorage(const std::string& path) {
  return std::make_unique<SqliteStorage>(path);
}

std::unique_ptr<RankingStorage> OpenStorage(const std::string& where, int connections) {
  if (where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0)
    return OpenPostgresStorage(where, connections);
  return OpenSqliteStorage(where);
}

}  // namespace quadrel::server
