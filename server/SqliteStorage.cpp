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
    "CREATE INDEX IF NOT EXISTS entries_rank ON entries (score DESC, id);";

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
    Exec(kSchema);
    begin_ = std::make_unique<Statement>(db_, "BEGIN IMMEDIATE");
    commit_ = std::make_unique<Statement>(db_, "COMMIT");
    rollback_ = std::make_unique<Statement>(db_, "ROLLBACK");
    duplicate_ = std::make_unique<Statement>(db_, "SELECT 1 FROM entries WHERE game = ?1");
    better_ = std::make_unique<Statement>(db_, "SELECT COUNT(*) FROM entries WHERE score >= ?1");
    insert_ = std::make_unique<Statement>(
        db_,
        "INSERT INTO entries (name, daytime, score, level, filename, game, replay)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    top_ = std::make_unique<Statement>(
        db_,
        "SELECT id, name, daytime, score, level, filename FROM entries"
        " ORDER BY score DESC, id LIMIT ?1");
    replay_ = std::make_unique<Statement>(db_, "SELECT filename, replay FROM entries WHERE id = ?1");
  }
  ~SqliteStorage() override {
    begin_.reset(), commit_.reset(), rollback_.reset(), duplicate_.reset(), better_.reset();
    insert_.reset(), top_.reset(), replay_.reset();
    sqlite3_close(db_);
  }

  StoreResult Register(const Registration& r, const std::array<uint8_t, 32>& game, int top,
                       int64_t* id) override {
    std::lock_guard lock(mutex_);
    Step(*begin_);
    try {
      StoreResult result = StoreResult::Stored;
      {
        Statement::Use use{duplicate_->get()};
        sqlite3_bind_blob(use.s, 1, game.data(), static_cast<int>(game.size()), SQLITE_STATIC);
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
        sqlite3_bind_blob(use.s, 6, game.data(), static_cast<int>(game.size()), SQLITE_STATIC);
        sqlite3_bind_blob(use.s, 7, r.replay.data(), static_cast<int>(r.replay.size()),
                          SQLITE_STATIC);
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

  std::vector<RankingRow> Top(int n) override {
    std::lock_guard lock(mutex_);
    std::vector<RankingRow> rows;
    Statement::Use use{top_->get()};
    sqlite3_bind_int(use.s, 1, n);
    while (StepRow(use.s)) {
      RankingRow row;
      row.id = sqlite3_column_int64(use.s, 0);
      row.name = Text(use.s, 1);
      row.daytime = Text(use.s, 2);
      row.score = sqlite3_column_int(use.s, 3);
      row.level = sqlite3_column_int(use.s, 4);
      row.fileName = Text(use.s, 5);
      rows.push_back(std::move(row));
    }
    return rows;
  }

  std::optional<StoredReplay> Replay(int64_t id) override {
    std::lock_guard lock(mutex_);
    Statement::Use use{replay_->get()};
    sqlite3_bind_int64(use.s, 1, id);
    if (!StepRow(use.s)) return std::nullopt;
    StoredReplay replay;
    replay.fileName = Text(use.s, 0);
    const void* blob = sqlite3_column_blob(use.s, 1);
    replay.bytes.assign(static_cast<const char*>(blob),
                        static_cast<size_t>(sqlite3_column_bytes(use.s, 1)));
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
      replay_;
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
